#include "platform/winmm/TimeApi.h"

#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

using namespace win;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

// What a callback saw, shared with the test through dwUser.
struct Probe {
    std::mutex m;
    std::vector<Clock::time_point> calls;
    std::vector<UINT> ids;
    std::atomic<int> count{0};
    std::atomic<bool> inside{false};
    milliseconds work{0};
    int killOnCall = 0;
    std::atomic<MMRESULT> killResult{~0u};
};

void probe(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* p = reinterpret_cast<Probe*>(user);
    p->inside = true;
    {
        std::lock_guard g(p->m);
        p->calls.push_back(Clock::now());
        p->ids.push_back(id);
    }
    std::this_thread::sleep_for(p->work);
    const int n = ++p->count;
    if (n == p->killOnCall) p->killResult = timeKillEvent(id);
    p->inside = false;
}

void noop(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

} // namespace

TEST(WinmmTimer, TimeGetTimeFollowsTheSteadyClock) {
    const DWORD t0 = timeGetTime();
    std::this_thread::sleep_for(milliseconds(50));
    const DWORD d = timeGetTime() - t0; // unsigned difference: correct across the 32-bit wrap
    EXPECT_GE(d, 50u);
    EXPECT_LT(d, 5000u);
}

TEST(WinmmTimer, ResolutionRequestsAreCounted) {
    TIMECAPS caps{};
    ASSERT_EQ(timeGetDevCaps(&caps, sizeof caps), TIMERR_NOERROR);
    EXPECT_EQ(timeGetDevCaps(nullptr, sizeof caps), TIMERR_STRUCT);
    EXPECT_EQ(timeBeginPeriod(caps.wPeriodMin - 1), TIMERR_NOCANDO);
    EXPECT_EQ(timeBeginPeriod(caps.wPeriodMax + 1), TIMERR_NOCANDO);
    EXPECT_EQ(timeEndPeriod(7), TIMERR_NOCANDO);
    EXPECT_EQ(timeBeginPeriod(7), TIMERR_NOERROR);
    EXPECT_EQ(timeBeginPeriod(7), TIMERR_NOERROR);
    EXPECT_EQ(timeEndPeriod(7), TIMERR_NOERROR);
    EXPECT_EQ(timeEndPeriod(7), TIMERR_NOERROR);
    EXPECT_EQ(timeEndPeriod(7), TIMERR_NOCANDO);
}

TEST(WinmmTimer, RefusesEventsItCannotRun) {
    struct Row {
        UINT delay;
        LPTIMECALLBACK callback;
        UINT flags;
    };
    const Row rows[] = {
        {0, noop, TIME_PERIODIC},
        {10, nullptr, TIME_ONESHOT},
        {10, noop, TIME_PERIODIC | TIME_CALLBACK_EVENT_SET},
        {10, noop, TIME_ONESHOT | TIME_CALLBACK_EVENT_PULSE},
    };
    for (const Row& r : rows)
        EXPECT_EQ(timeSetEvent(r.delay, 0, r.callback, 0, r.flags), 0u) << r.delay;
    EXPECT_EQ(timeKillEvent(0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(timeKillEvent(0xFFFFFFF0u), MMSYSERR_INVALPARAM);
}

TEST(WinmmTimer, OneShotFiresOnceAfterItsDelayAndEndsByItself) {
    Probe p;
    const auto t0 = Clock::now();
    const UINT id = timeSetEvent(30, 0, probe, reinterpret_cast<DWORD_PTR>(&p), TIME_ONESHOT);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(waitFor([&] { return p.count == 1; }));
    ASSERT_TRUE(waitFor([] { return activeTimerEvents() == 0; }));
    EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM);
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(p.count, 1);
    std::lock_guard g(p.m);
    EXPECT_GE(p.calls[0] - t0, milliseconds(30));
    EXPECT_EQ(p.ids[0], id);
}

TEST(WinmmTimer, PeriodicEventsKeepToAbsoluteDeadlines) {
    // Each call takes 15 of the 20 ms; a timer that waited a full period after each call would fall
    // 15 ms further behind every time (300 ms over 20 calls).
    Probe p;
    p.work = milliseconds(15);
    constexpr int kCalls = 20;
    const auto t0 = Clock::now();
    const UINT id = timeSetEvent(20, 0, probe, reinterpret_cast<DWORD_PTR>(&p), TIME_PERIODIC);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(waitFor([&] { return p.count >= kCalls; }));
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    std::lock_guard g(p.m);
    for (int k = 0; k < kCalls; ++k)
        EXPECT_GE(p.calls[k] - t0, milliseconds(20 * (k + 1))) << "call " << k;
    EXPECT_LT(p.calls[kCalls - 1] - t0, milliseconds(20 * kCalls + 150));
}

TEST(WinmmTimer, KillWaitsForTheRunningCallbackAndNothingRunsAfter) {
    Probe p;
    p.work = milliseconds(40);
    const UINT id = timeSetEvent(5, 0, probe, reinterpret_cast<DWORD_PTR>(&p), TIME_PERIODIC);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(activeTimerEvents(), 1u);
    ASSERT_TRUE(waitFor([&] { return p.inside.load(); }));
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    EXPECT_FALSE(p.inside);
    const int calls = p.count;
    EXPECT_GE(calls, 1);
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(p.count, calls);
    EXPECT_EQ(activeTimerEvents(), 0u);
    EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM);
}

TEST(WinmmTimer, CallbackCanKillItsOwnEvent) {
    for (UINT flags : {TIME_PERIODIC, TIME_ONESHOT}) {
        Probe p;
        p.killOnCall = flags == TIME_PERIODIC ? 3 : 1;
        const UINT id = timeSetEvent(5, 0, probe, reinterpret_cast<DWORD_PTR>(&p), flags);
        ASSERT_NE(id, 0u);
        // The callback kills its event and then returns; nothing waits for it, so the test does.
        ASSERT_TRUE(waitFor([&] { return p.killResult != ~0u && !p.inside; })) << flags;
        EXPECT_EQ(p.killResult, TIMERR_NOERROR);
        std::this_thread::sleep_for(milliseconds(50));
        EXPECT_EQ(p.count, p.killOnCall);
        EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM);
        EXPECT_TRUE(waitFor([] { return activeTimerEvents() == 0; }));
    }
}
