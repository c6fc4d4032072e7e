// Timing helpers of KvUtils: the microsecond clock, interval measurements in microseconds and processor
// cycles, and waiting with or without keeping the user interface alive.
#include "core/KvUtils.h"

#include "platform/ui/MessagePump.h"
#include "platform/ui/WindowMessages.h"
#include "platform/win/PerformanceCounter.h"
#include "platform/winmm/TimeApi.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace kv {
namespace {

// The processor's time-stamp counter; elsewhere the nanoseconds of the monotonic clock.
std::int64_t readCycleCounter() {
#if defined(__x86_64__) || defined(__i386__)
    return std::int64_t(__rdtsc());
#else
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
#endif
}

// One series of measured intervals: shortest, longest and total, and the number of starts.
struct Measure {
    std::int64_t starts = 0;
    std::int64_t min = 0x7FFFFFFF;
    std::int64_t max = 0;
    std::int64_t total = 0;
    std::int64_t last = 0;

    void init() { *this = Measure{}; }
    void start(std::int64_t now) {
        ++starts;
        last = now;
    }
    std::string stop(const char* label, std::int64_t now, std::int32_t n) {
        // Without a start there is no interval to take (and no average to divide by).
        if (starts > 0) {
            const std::int64_t interval = now - last;
            min = std::min(min, interval);
            max = std::max(max, interval);
            total += interval;
        }
        const double div = std::max(n, std::int32_t(1));
        const double avg = starts > 0 ? double(total) / double(starts) / div : 0.0;
        char text[160];
        std::snprintf(text, sizeof text, "%s  Min: %f Max: %f Avg: %f", label, double(min) / div,
                      double(max) / div, avg);
        return text;
    }
};

Measure g_time;
Measure g_cycles;

} // namespace

std::int64_t TimeGetExactTime() {
    win::LARGE_INTEGER frequency{}, count{};
    if (!win::QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 ||
        !win::QueryPerformanceCounter(&count))
        return std::int64_t(win::timeGetTime()) * 1000;
    // count × 1000000 / frequency, split so the product cannot overflow for large counts.
    const std::int64_t f = frequency.QuadPart;
    return count.QuadPart / f * 1000000 + count.QuadPart % f * 1000000 / f;
}

void InitTimeMeasure() {
    g_time.init();
}
void StartTimeMeasure() {
    g_time.start(TimeGetExactTime());
}
std::string StopTimeMeasure(std::int32_t n) {
    return g_time.stop("Time:", TimeGetExactTime(), n);
}

void InitCyclesMeasure() {
    g_cycles.init();
}
void StartCyclesMeasure() {
    g_cycles.start(readCycleCounter());
}
std::string StopCyclesMeasure(std::int32_t n) {
    return g_cycles.stop("CPU-Cycles:", readCycleCounter(), n);
}

void Delay(std::int32_t ms, bool processMessages) {
    if (ms <= 0) return;
    host::IMessagePump* pump = processMessages ? host::GetMessagePump() : nullptr;
    if (!pump) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    while (!pump->Terminated()) {
        const Clock::duration left = end - Clock::now();
        if (left <= Clock::duration::zero()) return;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        if (pump->WaitForInput(std::uint32_t(wait))) pump->ProcessMessages();
    }
}

void WinYield(win::HWND window) {
    win::dispatchPendingMessages(window);
}

} // namespace kv
