#include "core/KvMath.h"

#include "platform/ui/SysUtils.h"

#include <cmath>
#include <utility>

namespace kv {
namespace {

std::int32_t truncToInt32(long double t) {
    if (!(t >= -2147483648.0L && t <= 2147483647.0L)) throw host::EIntOverflow("Integer overflow");
    return static_cast<std::int32_t>(t);
}

} // namespace

long double MinR(long double a, long double b) { return a < b ? a : b; }
long double MaxR(long double a, long double b) { return a > b ? a : b; }

long double MinMaxR(long double x, long double lo, long double hi) { return x < lo ? lo : MinR(x, hi); }

long double LimitR(long double x, long double a, long double b) {
    if (a > b) std::swap(a, b);
    return x < a ? a : (x > b ? b : x);
}

long double ModR(long double x, long double y) { return x - std::trunc(x / y) * y; }

std::int32_t Ceil(long double x) {
    const long double t = std::trunc(x);
    return truncToInt32(x - t > 0 ? t + 1 : t);
}

std::int32_t Floor(long double x) {
    const long double t = std::trunc(x);
    return truncToInt32(x - t < 0 ? t - 1 : t);
}

long double ArcCos(long double x) { return std::acos(x); }
long double ArcSin(long double x) { return std::asin(x); }
long double ArcTan2(long double y, long double x) { return std::atan2(y, x); }
long double Tan(long double x) { return std::tan(x); }
long double Cotan(long double x) { return 1.0L / std::tan(x); }
long double Log(long double x) { return std::log(x); }
long double Log2(long double x) { return std::log2(x); }
long double Log10(long double x) { return std::log10(x); }

long double Pow(long double x, long double y) {
    if (x > 0) return std::exp2(y * std::log2(x));
    return std::pow(x, y);
}

} // namespace kv
