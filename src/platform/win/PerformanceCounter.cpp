#include "platform/win/PerformanceCounter.h"

#include <chrono>

namespace win {

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (!count) return FALSE;
    using namespace std::chrono;
    count->QuadPart = duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency) return FALSE;
    frequency->QuadPart = 1000000000;
    return TRUE;
}

} // namespace win
