// 64-bit products and division of a 64-bit value by a 32-bit unsigned divisor.
#pragma once

#include <cstdint>

namespace kv {

// a × b; a product outside the 64-bit range raises host::EIntOverflow.
std::int64_t int64x64(std::int64_t a, std::int64_t b);
// Quotient (truncated toward zero) and remainder (with the sign of a) of a by d; d = 0 raises
// host::EDivByZero. The quotient always fits, since |a / d| ≤ |a|.
std::int64_t int64Div32(std::int64_t a, std::uint32_t d);
std::int64_t int64Mod32(std::int64_t a, std::uint32_t d);

} // namespace kv
