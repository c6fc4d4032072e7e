#include "platform/winmm/TimeApi.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace win {
namespace {

using Clock = std::chrono::steady_clock;

constexpr UINT kPeriodMin = 1;
constexpr UINT kPeriodMax = 1000000;

// One timer event. The timer thread and timeKillEvent meet under m: killed stops the thread before its
// next call, running tells timeKillEvent that a call is in progress.
struct TimerEvent {
    UINT id = 0;
    Clock::duration period{};
    LPTIMECALLBACK callback = nullptr;
    DWORD_PTR user = 0;
    bool periodic = false;
    Clock::time_point start;

    std::mutex m;
    std::condition_variable cv;
    bool killed = false;
    bool running = false;
    std::thread::id thread;
};

// Live events by identifier, and the counted resolution requests. Never destroyed, so timers that are
// still stopped by other units' static destructors at program end find it intact.
struct TimerTable {
    std::mutex m;
    std::map<UINT, std::shared_ptr<TimerEvent>> events;
    UINT nextId = 1;
    std::map<UINT, long> periods;
};

TimerTable& table() {
    static TimerTable* t = new TimerTable;
    return *t;
}

// Removes ev from the table unless it was removed (and maybe its identifier reused) meanwhile.
void forget(const std::shared_ptr<TimerEvent>& ev) {
    TimerTable& t = table();
    std::lock_guard g(t.m);
    auto it = t.events.find(ev->id);
    if (it != t.events.end() && it->second == ev) t.events.erase(it);
}

// The next deadline of a periodic event: one period on; when that is more than a period in the past
// already, the next deadline of the same phase that lies ahead.
Clock::time_point nextDeadline(Clock::time_point deadline, Clock::duration period) {
    deadline += period;
    const Clock::time_point now = Clock::now();
    if (now - deadline > period) deadline += ((now - deadline) / period + 1) * period;
    return deadline;
}

void runEvent(std::shared_ptr<TimerEvent> ev) {
    std::unique_lock lock(ev->m);
    ev->thread = std::this_thread::get_id();
    Clock::time_point deadline = ev->start + ev->period;
    bool fired = false;
    while (!ev->killed) {
        if (ev->cv.wait_until(lock, deadline, [&] { return ev->killed; })) break;
        ev->running = true;
        lock.unlock();
        ev->callback(ev->id, 0, ev->user, 0, 0);
        lock.lock();
        ev->running = false;
        ev->cv.notify_all();
        if (!ev->periodic) {
            fired = true;
            break;
        }
        deadline = nextDeadline(deadline, ev->period);
    }
    lock.unlock();
    if (fired) forget(ev);
}

} // namespace

DWORD timeGetTime() {
    using namespace std::chrono;
    return DWORD(duration_cast<milliseconds>(Clock::now().time_since_epoch()).count());
}

MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size) {
    if (!caps || size < sizeof(TIMECAPS)) return TIMERR_STRUCT;
    caps->wPeriodMin = kPeriodMin;
    caps->wPeriodMax = kPeriodMax;
    return TIMERR_NOERROR;
}

MMRESULT timeBeginPeriod(UINT period) {
    if (period < kPeriodMin || period > kPeriodMax) return TIMERR_NOCANDO;
    TimerTable& t = table();
    std::lock_guard g(t.m);
    ++t.periods[period];
    return TIMERR_NOERROR;
}

MMRESULT timeEndPeriod(UINT period) {
    TimerTable& t = table();
    std::lock_guard g(t.m);
    auto it = t.periods.find(period);
    if (it == t.periods.end()) return TIMERR_NOCANDO;
    if (--it->second == 0) t.periods.erase(it);
    return TIMERR_NOERROR;
}

MMRESULT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
    constexpr UINT kCallbackKinds = TIME_CALLBACK_EVENT_SET | TIME_CALLBACK_EVENT_PULSE;
    if (!callback || delay < kPeriodMin || delay > kPeriodMax || (flags & kCallbackKinds)) return 0;
    auto ev = std::make_shared<TimerEvent>();
    ev->period = std::chrono::milliseconds(delay);
    ev->callback = callback;
    ev->user = user;
    ev->periodic = (flags & TIME_PERIODIC) != 0;
    ev->start = Clock::now();

    TimerTable& t = table();
    std::lock_guard g(t.m);
    // Identifiers count up from 1 and skip 0 and those still in use when they wrap around.
    while (t.nextId == 0 || t.events.count(t.nextId))
        ++t.nextId;
    ev->id = t.nextId++;
    try {
        std::thread(runEvent, ev).detach();
    } catch (const std::system_error&) {
        return 0;
    }
    t.events.emplace(ev->id, ev);
    return ev->id;
}

MMRESULT timeKillEvent(UINT id) {
    std::shared_ptr<TimerEvent> ev;
    {
        TimerTable& t = table();
        std::lock_guard g(t.m);
        auto it = t.events.find(id);
        if (it == t.events.end()) return MMSYSERR_INVALPARAM;
        ev = it->second;
        t.events.erase(it);
    }
    std::unique_lock lock(ev->m);
    ev->killed = true;
    ev->cv.notify_all();
    // From inside the event's own callback there is nothing to wait for: the thread stops when it returns.
    if (ev->thread != std::this_thread::get_id()) ev->cv.wait(lock, [&] { return !ev->running; });
    return TIMERR_NOERROR;
}

std::size_t activeTimerEvents() {
    TimerTable& t = table();
    std::lock_guard g(t.m);
    return t.events.size();
}

} // namespace win
