#include "core/KvInt64.h"

#include "platform/ui/SysUtils.h"

namespace kv {
namespace {

void checkDivisor(std::uint32_t d) {
    if (d == 0) throw host::EDivByZero("Division by zero");
}

} // namespace

std::int64_t int64x64(std::int64_t a, std::int64_t b) {
    std::int64_t r;
    if (__builtin_mul_overflow(a, b, &r)) throw host::EIntOverflow("Integer overflow");
    return r;
}

std::int64_t int64Div32(std::int64_t a, std::uint32_t d) {
    checkDivisor(d);
    return a / std::int64_t(d);
}

std::int64_t int64Mod32(std::int64_t a, std::uint32_t d) {
    checkDivisor(d);
    return a % std::int64_t(d);
}

} // namespace kv
