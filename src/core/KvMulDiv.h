// Integer multiply-then-divide with defined rounding, shifts and linear range scaling.
//
// Products are formed at twice the argument width, so a × b never overflows on its own. A quotient that
// does not fit the result type raises host::EIntOverflow and a zero divisor raises host::EDivByZero;
// neither is ever undefined behaviour.
#pragma once

#include <cstdint>

namespace kv {

// (a × b) / c, quotient truncated toward zero.
std::int32_t MulDiv32(std::int32_t a, std::int32_t b, std::int32_t c);
// (a × b) / c rounded to nearest, halves away from zero: q + (2 × r) / c for quotient q and remainder r.
std::int32_t MulDiv32RN(std::int32_t a, std::int32_t b, std::int32_t c);
// Unsigned (a × b) / c rounded down, to nearest ((a × b + c / 2) / c) and up ((a × b + c − 1) / c).
std::uint32_t MulDivRD(std::uint32_t a, std::uint32_t b, std::uint32_t c);
std::uint32_t MulDivRN(std::uint32_t a, std::uint32_t b, std::uint32_t c);
std::uint32_t MulDivRU(std::uint32_t a, std::uint32_t b, std::uint32_t c);

// 32-bit by 16-bit unsigned division with 16-bit results; a quotient above 0xFFFF raises EIntOverflow.
void DivMod32(std::uint32_t dividend, std::uint16_t divisor, std::uint16_t& quotient, std::uint16_t& remainder);

// Shift left, and arithmetic shift right, of a 32-bit value. Every count is defined: counts of 32 and
// more act as if the bits were shifted out one at a time (Sal gives 0, Sar gives 0 or −1 by the sign),
// and a negative count shifts the other way. Sal wraps like the hardware shift (bits leave at the top).
std::int32_t Sal(std::int32_t x, std::int32_t n);
std::int32_t Sar(std::int32_t x, std::int32_t n);

// ((x − lo) × b + (hi − x) × a) / (hi − lo), truncated: a at lo, b at hi, linear between.
std::int32_t RangeScale(std::int32_t x, std::int32_t lo, std::int32_t hi, std::int32_t a, std::int32_t b);
// The same in floating point, rounded to nearest (halves away from zero).
std::int32_t RangeScaleRN(std::int32_t x, std::int32_t lo, std::int32_t hi, std::int32_t a, std::int32_t b);

// a × b = c × d, compared exactly.
bool MulCompare(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);

// (a × b) / c for 64-bit values with an exact 128-bit product, truncated toward zero.
std::int64_t MulDiv64(std::int64_t a, std::int64_t b, std::int64_t c);

} // namespace kv
