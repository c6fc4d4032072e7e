#include "core/KvMulDiv.h"

#include "platform/ui/SysUtils.h"

#include <cmath>
#include <limits>

namespace kv {
namespace {

using Wide = __int128;
using UWide = unsigned __int128;

// The exact product of two 64-bit values. Formed unsigned so no overflow check or helper routine of the
// sanitizers is involved; the two's-complement result equals the true product, which always fits.
Wide wideProduct(std::int64_t a, std::int64_t b) {
    return static_cast<Wide>(static_cast<UWide>(static_cast<Wide>(a)) * static_cast<UWide>(static_cast<Wide>(b)));
}

void checkDivisor(std::int64_t c) {
    if (c == 0) throw host::EDivByZero("Division by zero");
}

[[noreturn]] void overflow() { throw host::EIntOverflow("Integer overflow"); }

std::int32_t toInt32(std::int64_t v) {
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) overflow();
    return static_cast<std::int32_t>(v);
}

std::uint32_t toUInt32(std::uint64_t v) {
    if (v > std::numeric_limits<std::uint32_t>::max()) overflow();
    return static_cast<std::uint32_t>(v);
}

std::int32_t toInt32(Wide v) {
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) overflow();
    return static_cast<std::int32_t>(v);
}

} // namespace

std::int32_t MulDiv32(std::int32_t a, std::int32_t b, std::int32_t c) {
    checkDivisor(c);
    return toInt32(std::int64_t(a) * b / c);
}

std::int32_t MulDiv32RN(std::int32_t a, std::int32_t b, std::int32_t c) {
    checkDivisor(c);
    const std::int64_t p = std::int64_t(a) * b;
    const std::int64_t q = p / c;
    const std::int64_t r = p % c;
    // |2r| < 2|c|, so the correction is −1, 0 or 1 and carries the sign of the exact quotient.
    return toInt32(q + (2 * r) / c);
}

std::uint32_t MulDivRD(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    checkDivisor(c);
    return toUInt32(std::uint64_t(a) * b / c);
}

std::uint32_t MulDivRN(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    checkDivisor(c);
    // (2^32 − 1)^2 + 2^31 still fits 64 bits.
    return toUInt32((std::uint64_t(a) * b + c / 2) / c);
}

std::uint32_t MulDivRU(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    checkDivisor(c);
    return toUInt32((std::uint64_t(a) * b + c - 1) / c);
}

void DivMod32(std::uint32_t dividend, std::uint16_t divisor, std::uint16_t& quotient, std::uint16_t& remainder) {
    checkDivisor(divisor);
    const std::uint32_t q = dividend / divisor;
    if (q > 0xFFFF) overflow();
    quotient = static_cast<std::uint16_t>(q);
    remainder = static_cast<std::uint16_t>(dividend % divisor);
}

std::int32_t Sal(std::int32_t x, std::int32_t n) {
    if (n < 0) return n <= -32 ? (x < 0 ? -1 : 0) : x >> -n;
    if (n >= 32) return 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(x) << n);
}

std::int32_t Sar(std::int32_t x, std::int32_t n) {
    if (n < 0) return n <= -32 ? 0 : static_cast<std::int32_t>(static_cast<std::uint32_t>(x) << -n);
    if (n >= 32) return x < 0 ? -1 : 0;
    return x >> n;
}

std::int32_t RangeScale(std::int32_t x, std::int32_t lo, std::int32_t hi, std::int32_t a, std::int32_t b) {
    const std::int64_t span = std::int64_t(hi) - lo;
    checkDivisor(span);
    const Wide num = wideProduct(std::int64_t(x) - lo, b) + wideProduct(std::int64_t(hi) - x, a);
    return toInt32(num / span);
}

std::int32_t RangeScaleRN(std::int32_t x, std::int32_t lo, std::int32_t hi, std::int32_t a, std::int32_t b) {
    const std::int64_t span = std::int64_t(hi) - lo;
    checkDivisor(span);
    const long double num = static_cast<long double>(std::int64_t(x) - lo) * b +
                            static_cast<long double>(std::int64_t(hi) - x) * a;
    const long double v = std::round(num / static_cast<long double>(span));
    if (!(v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max())) {
        overflow();
    }
    return static_cast<std::int32_t>(v);
}

bool MulCompare(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    return std::int64_t(a) * b == std::int64_t(c) * d;
}

std::int64_t MulDiv64(std::int64_t a, std::int64_t b, std::int64_t c) {
    checkDivisor(c);
    const Wide q = wideProduct(a, b) / c;
    if (q < std::numeric_limits<std::int64_t>::min() || q > std::numeric_limits<std::int64_t>::max()) overflow();
    return static_cast<std::int64_t>(q);
}

} // namespace kv
