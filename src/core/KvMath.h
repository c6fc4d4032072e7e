// Real functions in extended precision (long double).
#pragma once

#include <cstdint>

namespace kv {

long double MinR(long double a, long double b);
long double MaxR(long double a, long double b);
// lo when x < lo, else the smaller of x and hi.
long double MinMaxR(long double x, long double lo, long double hi);
// x clamped between a and b, which may be given in either order.
long double LimitR(long double x, long double a, long double b);
// x − Int(x / y) × y: the remainder with the sign of x.
long double ModR(long double x, long double y);

// The smallest integer not below x, and the largest not above x. A value outside the 32-bit range (or not
// a number) raises host::EIntOverflow.
std::int32_t Ceil(long double x);
std::int32_t Floor(long double x);

long double ArcCos(long double x);
long double ArcSin(long double x);
long double ArcTan2(long double y, long double x);
long double Tan(long double x);
long double Cotan(long double x);
long double Log(long double x); // natural logarithm
long double Log2(long double x);
long double Log10(long double x);
// x to the power y, computed as 2^(y × log2 x) for x > 0. For x ≤ 0 the logarithm does not exist, so the
// standard power is taken instead (0^y, and negative bases with integral exponents, come out right).
long double Pow(long double x, long double y);

} // namespace kv
