// Timer events served by one shared periodic timer of 25 ms. The timer runs while at least one event is
// registered. Every event counts the milliseconds that pass while it is not suspended and calls its
// procedure when its interval is reached.
//
// Procedures run on the timer's thread while the event list is locked, so they must be short and hand
// any user-interface work to the UI thread. A procedure may suspend, resume, re-time or kill events
// (its own too) and register new ones; killing takes effect at once.
#pragma once

#include <cstdint>

namespace kv {

struct TKvTimerEvent;
using PKvTimerEvent = TKvTimerEvent*;
using TKvTimerProc = void (*)(PKvTimerEvent event, std::uintptr_t data);

// Registers an event that calls procedure(event, data) every interval ms (25 ms at least, in steps of
// 25 ms). A suspended event waits for KvTimeResumeEvent. Returns nullptr when the timer cannot be
// started or procedure is null.
PKvTimerEvent KvTimeSetEvent(std::int32_t interval, bool suspended, TKvTimerProc procedure,
                             std::uintptr_t data);

// The following ignore a handle that is not a registered event (nullptr, or one killed already).
// A new interval starts counting from 0.
void KvTimeSetInterval(PKvTimerEvent event, std::int32_t interval);
// Suspends are counted: the event runs again after as many resumes. Suspending starts counting from 0.
void KvTimeSuspendEvent(PKvTimerEvent event);
void KvTimeResumeEvent(PKvTimerEvent event);
// After it returns the procedure is not called again and is not running (unless KvTimeKillEvent was
// called from that procedure). Killing the last event stops the timer.
void KvTimeKillEvent(PKvTimerEvent event);

} // namespace kv
