// The high-resolution performance counter: a monotonic count of nanoseconds, so the frequency is 1e9.
#pragma once

#include "platform/win/WinTypes.h"

namespace win {

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    std::int64_t QuadPart;
};
static_assert(sizeof(LARGE_INTEGER) == 8);

// Both return FALSE only for a null argument.
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);

} // namespace win
