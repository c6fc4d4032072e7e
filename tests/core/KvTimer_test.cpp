#include "core/KvTimer.h"
#include "platform/winmm/TimeApi.h"

#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

using namespace kv;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

// Counts the calls of one event; handed to the procedure as its user data.
struct Counter {
    std::atomic<int> count{0};
    std::atomic<bool> inside{false};
    milliseconds work{0};
    int killOnCall = 0; // the procedure kills its own event on this call
    std::atomic<Clock::rep> lastCall{0};
};

void countCalls(PKvTimerEvent event, std::uintptr_t data) {
    auto* c = reinterpret_cast<Counter*>(data);
    c->inside = true;
    std::this_thread::sleep_for(c->work);
    c->lastCall = Clock::now().time_since_epoch().count();
    if (++c->count == c->killOnCall) KvTimeKillEvent(event);
    c->inside = false;
}

PKvTimerEvent start(Counter& c, std::int32_t interval, bool suspended = false) {
    return KvTimeSetEvent(interval, suspended, countCalls, reinterpret_cast<std::uintptr_t>(&c));
}

} // namespace

TEST(KvTimer, IntervalsAreWholeTicksOf25Milliseconds) {
    Counter c10, c25, c100;
    const auto t0 = Clock::now();
    PKvTimerEvent e10 = start(c10, 10), e25 = start(c25, 25), e100 = start(c100, 100);
    ASSERT_TRUE(e10 && e25 && e100);
    std::this_thread::sleep_for(milliseconds(1000));
    KvTimeKillEvent(e10);
    KvTimeKillEvent(e25);
    KvTimeKillEvent(e100);
    const auto ms = std::chrono::duration_cast<milliseconds>(Clock::now() - t0).count();
    // All three count the same ticks; registering and killing them one after the other can split a tick.
    EXPECT_LE(std::abs(c10.count - c25.count), 2);
    EXPECT_LE(std::abs(4 * c100.count - c25.count), 6);
    EXPECT_GE(c25.count, 8);
    EXPECT_LE(c25.count, ms / 25 + 2);
}

TEST(KvTimer, SuspendsAreCountedAndResumesStopAtZero) {
    Counter c;
    PKvTimerEvent e = start(c, 25, true);
    ASSERT_TRUE(e);
    KvTimeSuspendEvent(e);
    KvTimeResumeEvent(e);
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_EQ(c.count, 0);
    KvTimeResumeEvent(e);
    EXPECT_TRUE(waitFor([&] { return c.count > 0; }));
    // Extra resumes leave the count at 0, so one suspend stops the event again at once.
    KvTimeResumeEvent(e);
    KvTimeResumeEvent(e);
    KvTimeSuspendEvent(e);
    const int calls = c.count;
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_EQ(c.count, calls);
    KvTimeKillEvent(e);
}

TEST(KvTimer, KillStopsCallsAtOnceAndLaterCallsWithTheHandleAreIgnored) {
    Counter c;
    c.work = milliseconds(10);
    PKvTimerEvent e = start(c, 25);
    ASSERT_TRUE(e);
    ASSERT_TRUE(waitFor([&] { return c.count >= 2 && c.inside; }));
    KvTimeKillEvent(e);
    EXPECT_FALSE(c.inside);
    const int calls = c.count;
    // The handle is stale now; none of these may touch it.
    KvTimeKillEvent(e);
    KvTimeSuspendEvent(e);
    KvTimeResumeEvent(e);
    KvTimeSetInterval(e, 50);
    KvTimeKillEvent(nullptr);
    KvTimeSuspendEvent(nullptr);
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(c.count, calls);
}

TEST(KvTimer, TheSharedTimerRunsFromTheFirstEventToTheLast) {
    ASSERT_EQ(win::activeTimerEvents(), 0u);
    EXPECT_EQ(KvTimeSetEvent(25, false, nullptr, 0), nullptr);
    EXPECT_EQ(win::activeTimerEvents(), 0u);

    Counter a, b;
    PKvTimerEvent ea = start(a, 25), eb = start(b, 50);
    ASSERT_TRUE(ea && eb);
    EXPECT_EQ(win::activeTimerEvents(), 1u);
    // The 25 ms resolution is requested while the timer runs (checked by releasing and re-requesting it).
    EXPECT_EQ(win::timeEndPeriod(25), win::TIMERR_NOERROR);
    EXPECT_EQ(win::timeBeginPeriod(25), win::TIMERR_NOERROR);
    KvTimeKillEvent(ea);
    EXPECT_EQ(win::activeTimerEvents(), 1u);
    KvTimeKillEvent(eb);
    EXPECT_EQ(win::activeTimerEvents(), 0u);
    EXPECT_EQ(win::timeEndPeriod(25), win::TIMERR_NOCANDO);

    Counter c;
    PKvTimerEvent ec = start(c, 25);
    ASSERT_TRUE(ec);
    EXPECT_EQ(win::activeTimerEvents(), 1u);
    EXPECT_TRUE(waitFor([&] { return c.count > 0; }));
    KvTimeKillEvent(ec);
    EXPECT_EQ(win::activeTimerEvents(), 0u);
}

TEST(KvTimer, SetIntervalAndSuspendStartCountingAfresh) {
    const std::function<void(PKvTimerEvent)> restarts[] = {
        [](PKvTimerEvent e) { KvTimeSetInterval(e, 1000); },
        [](PKvTimerEvent e) {
            KvTimeSuspendEvent(e);
            KvTimeResumeEvent(e);
        },
    };
    for (const auto& restart : restarts) {
        Counter c;
        PKvTimerEvent e = start(c, 1000);
        ASSERT_TRUE(e);
        // Restarting every 100 ms keeps a 1000 ms event from ever being due.
        for (int i = 0; i < 15; ++i) {
            std::this_thread::sleep_for(milliseconds(100));
            restart(e);
        }
        const auto restarted = Clock::now();
        EXPECT_EQ(c.count, 0);
        ASSERT_TRUE(waitFor([&] { return c.count > 0; }));
        EXPECT_GE(Clock::duration(c.lastCall.load()), restarted.time_since_epoch() + milliseconds(950));
        KvTimeKillEvent(e);
    }
}

TEST(KvTimer, ProcedureMayKillItsOwnEvent) {
    Counter self, other;
    self.killOnCall = 2;
    PKvTimerEvent es = start(self, 25), eo = start(other, 25);
    ASSERT_TRUE(es && eo);
    ASSERT_TRUE(waitFor([&] { return other.count >= 6; }));
    EXPECT_EQ(self.count, 2);
    KvTimeKillEvent(eo);

    // Killing the last event from its procedure stops the timer from inside its own tick.
    Counter last;
    last.killOnCall = 1;
    ASSERT_TRUE(start(last, 25));
    ASSERT_TRUE(waitFor([&] { return win::activeTimerEvents() == 0 && last.count == 1 && !last.inside; }));
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(last.count, 1);
    EXPECT_EQ(win::timeEndPeriod(25), win::TIMERR_NOCANDO);
}
