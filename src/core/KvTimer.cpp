#include "core/KvTimer.h"

#include "platform/winmm/TimeApi.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace kv {

struct TKvTimerEvent {
    std::int32_t interval;
    std::uintptr_t data;
    TKvTimerProc procedure;
    std::uint32_t suspendCount;
    std::uint32_t elapsed;
    TKvTimerEvent* next;
    // Killed from a procedure while the tick walks the list; unlinked and freed when the walk ends.
    bool dead;
};

namespace {

constexpr std::int32_t kTick = 25;

// The unit's state. Everything but the re-entry counter is guarded by lock. The destructor stops a
// timer that is still running when the program ends.
class TimerUnit {
  public:
    ~TimerUnit();

    PKvTimerEvent add(std::int32_t interval, bool suspended, TKvTimerProc procedure, std::uintptr_t data);
    void kill(PKvTimerEvent event);
    template <typename F> void with(PKvTimerEvent event, F f);

  private:
    static void onTimer(win::UINT, win::UINT, win::DWORD_PTR user, win::DWORD_PTR, win::DWORD_PTR);
    void tick(std::uint64_t generation);
    bool registered(PKvTimerEvent event) const;
    void unlinkDead();
    win::UINT takeTimer();
    static void stopTimer(win::UINT id);

    std::recursive_mutex m_lock;
    TKvTimerEvent* m_head = nullptr;
    std::int32_t m_count = 0;
    win::UINT m_timerId = 0;
    // Counts timer starts. A tick of a timer that was stopped (and is being killed while a new one has
    // already started) sees an older generation and does nothing.
    std::uint64_t m_generation = 0;
    bool m_walking = false;
    std::atomic<int> m_reentry{0};
};

TimerUnit g_unit;

TimerUnit::~TimerUnit() {
    win::UINT id = 0;
    {
        std::lock_guard g(m_lock);
        id = takeTimer();
        while (m_head) {
            TKvTimerEvent* next = m_head->next;
            delete m_head;
            m_head = next;
        }
        m_count = 0;
    }
    stopTimer(id);
}

void TimerUnit::onTimer(win::UINT, win::UINT, win::DWORD_PTR user, win::DWORD_PTR, win::DWORD_PTR) {
    g_unit.tick(user);
}

bool TimerUnit::registered(PKvTimerEvent event) const {
    if (!event) return false;
    for (const TKvTimerEvent* e = m_head; e; e = e->next)
        if (e == event) return !e->dead;
    return false;
}

// The caller holds the lock. Returns the running timer's identifier (0 for none) and forgets it.
win::UINT TimerUnit::takeTimer() {
    win::UINT id = m_timerId;
    m_timerId = 0;
    return id;
}

// Called without the lock held (unless from a procedure, where timeKillEvent does not wait): the tick
// may be waiting for the lock, and timeKillEvent waits for the tick.
void TimerUnit::stopTimer(win::UINT id) {
    if (!id) return;
    win::timeKillEvent(id);
    win::timeEndPeriod(kTick);
}

PKvTimerEvent TimerUnit::add(std::int32_t interval, bool suspended, TKvTimerProc procedure,
                             std::uintptr_t data) {
    if (!procedure) return nullptr;
    auto* event =
        new TKvTimerEvent{std::max(interval, kTick), data, procedure, suspended ? 1u : 0u, 0, nullptr, false};
    std::lock_guard g(m_lock);
    if (m_count == 0 && m_timerId == 0) {
        win::timeBeginPeriod(kTick);
        const std::uint64_t generation = m_generation + 1;
        m_timerId = win::timeSetEvent(kTick, 0, onTimer, win::DWORD_PTR(generation), win::TIME_PERIODIC);
        if (m_timerId == 0) {
            win::timeEndPeriod(kTick);
            delete event;
            return nullptr;
        }
        m_generation = generation;
    }
    TKvTimerEvent** link = &m_head;
    while (*link)
        link = &(*link)->next;
    *link = event;
    ++m_count;
    return event;
}

void TimerUnit::kill(PKvTimerEvent event) {
    win::UINT id = 0;
    {
        std::lock_guard g(m_lock);
        if (!registered(event)) return;
        if (m_walking) {
            event->dead = true;
        } else {
            TKvTimerEvent** link = &m_head;
            while (*link != event)
                link = &(*link)->next;
            *link = event->next;
            delete event;
        }
        if (--m_count == 0) id = takeTimer();
    }
    stopTimer(id);
}

template <typename F> void TimerUnit::with(PKvTimerEvent event, F f) {
    std::lock_guard g(m_lock);
    if (registered(event)) f(*event);
}

void TimerUnit::tick(std::uint64_t generation) {
    if (++m_reentry == 1) {
        std::lock_guard g(m_lock);
        if (m_timerId != 0 && generation == m_generation) {
            m_walking = true;
            // A procedure may stop this timer (killing the last event) and start a new one (registering
            // an event); the walk ends there.
            for (TKvTimerEvent* e = m_head; e && generation == m_generation && m_timerId != 0; e = e->next) {
                if (e->dead || e->suspendCount != 0) continue;
                e->elapsed += kTick;
                if (e->elapsed >= std::uint32_t(e->interval)) {
                    e->procedure(e, e->data);
                    e->elapsed = 0;
                }
            }
            m_walking = false;
            unlinkDead();
        }
    }
    --m_reentry;
}

void TimerUnit::unlinkDead() {
    TKvTimerEvent** link = &m_head;
    while (*link) {
        TKvTimerEvent* e = *link;
        if (e->dead) {
            *link = e->next;
            delete e;
        } else {
            link = &e->next;
        }
    }
}

} // namespace

PKvTimerEvent KvTimeSetEvent(std::int32_t interval, bool suspended, TKvTimerProc procedure,
                             std::uintptr_t data) {
    return g_unit.add(interval, suspended, procedure, data);
}

void KvTimeSetInterval(PKvTimerEvent event, std::int32_t interval) {
    g_unit.with(event, [&](TKvTimerEvent& e) {
        e.interval = std::max(interval, kTick);
        e.elapsed = 0;
    });
}

void KvTimeSuspendEvent(PKvTimerEvent event) {
    g_unit.with(event, [](TKvTimerEvent& e) {
        ++e.suspendCount;
        e.elapsed = 0;
    });
}

void KvTimeResumeEvent(PKvTimerEvent event) {
    g_unit.with(event, [](TKvTimerEvent& e) {
        if (e.suspendCount > 0) --e.suspendCount;
    });
}

void KvTimeKillEvent(PKvTimerEvent event) {
    g_unit.kill(event);
}

} // namespace kv
