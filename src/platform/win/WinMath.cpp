#include "platform/win/WinMath.h"

#include <cstdint>
#include <limits>

namespace win {

INT MulDiv(INT a, INT b, INT c) {
    if (c == 0) return -1;
    const std::int64_t p = std::int64_t(a) * b;
    const std::int64_t q = p / c + (2 * (p % c)) / c;
    if (q < std::numeric_limits<INT>::min() || q > std::numeric_limits<INT>::max()) return -1;
    return static_cast<INT>(q);
}

} // namespace win
