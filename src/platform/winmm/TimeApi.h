// Multimedia timers: a millisecond clock, timer resolution requests and timer events whose callbacks run
// on a timer thread of their own.
//
// A periodic event is scheduled against absolute deadlines (start + k × delay), so a slow callback does
// not make it drift; when it falls behind by more than one period the missed ticks are dropped instead
// of being delivered in a burst. timeKillEvent returns only after a callback that is running has
// returned, so nothing is called after it; called from inside the event's own callback it returns at
// once and the event ends when the callback returns. Two callbacks that kill each other's events at the
// same moment would wait for each other: callers must not do that.
#pragma once

#include "platform/win/WinTypes.h"

#include <cstdint>

namespace win {

using DWORD_PTR = std::uintptr_t;
using MMRESULT = UINT;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT TIMERR_BASE = 96;
constexpr MMRESULT TIMERR_NOERROR = 0;
constexpr MMRESULT TIMERR_NOCANDO = TIMERR_BASE + 1;
constexpr MMRESULT TIMERR_STRUCT = TIMERR_BASE + 33;

constexpr UINT TIME_ONESHOT = 0x0000;
constexpr UINT TIME_PERIODIC = 0x0001;
constexpr UINT TIME_CALLBACK_FUNCTION = 0x0000;
constexpr UINT TIME_CALLBACK_EVENT_SET = 0x0010;
constexpr UINT TIME_CALLBACK_EVENT_PULSE = 0x0020;
constexpr UINT TIME_KILL_SYNCHRONOUS = 0x0100;

// uMsg, dw1 and dw2 are always 0; dwUser is the value given to timeSetEvent.
using LPTIMECALLBACK = void (*)(UINT uTimerID, UINT uMsg, DWORD_PTR dwUser, DWORD_PTR dw1, DWORD_PTR dw2);

struct TIMECAPS {
    UINT wPeriodMin;
    UINT wPeriodMax;
};

// Milliseconds since an arbitrary start; monotonic, wraps around after 2^32 ms.
DWORD timeGetTime();

MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size);

// Resolution requests are counted per period; every timeBeginPeriod needs a timeEndPeriod with the
// same period. A period outside the device's range, or an end without a begin, gives TIMERR_NOCANDO.
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);

// Starts an event that calls callback after delay ms (TIME_ONESHOT) or every delay ms (TIME_PERIODIC).
// Only TIME_CALLBACK_FUNCTION is supported. Returns the event's identifier, or 0 for a delay outside the
// device's range, no callback, another callback kind, or when no timer thread can be started.
// A one-shot event ends by itself after its callback has returned.
MMRESULT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags);
// MMSYSERR_INVALPARAM for an identifier that is not a live event.
MMRESULT timeKillEvent(UINT id);

// Not part of the platform's interface: the number of live timer events, for diagnostics and tests.
std::size_t activeTimerEvents();

} // namespace win
