// A minimal observer pattern: an observable keeps an ordered list of observers and notifies them from
// the last registered to the first. Both sides carry a lock count that suppresses notification (a
// counter, not a thread lock: everything here runs on one thread). An observer is registered with at
// most one observable; freeing either side unregisters the pair, and an observable never frees its
// observers.
#pragma once

#include "platform/ui/Classes.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kv {

class TKvObservable;

using TKvObsNotifyEvent = std::function<void(host::TObject* Sender, host::TObject* Data)>;

class TKvObserver : public host::TObject {
  public:
    TKvObserver() = default;
    // Unregisters from the observable it is registered with.
    ~TKvObserver() override;

    TKvObsNotifyEvent OnNotify;

    // Passes Data to DoNotify unless the observer is locked.
    virtual void Notify(host::TObject* Data);

    void Lock() { ++m_lockCount; }
    void UnLock() { --m_lockCount; }
    bool GetLocked() const { return m_lockCount != 0; }

    // The observable this observer is registered with, or null.
    TKvObservable* Observable() const { return m_observable; }

  protected:
    void DoNotify(host::TObject* Data);

  private:
    friend class TKvObservable;
    TKvObservable* m_observable = nullptr;
    std::int32_t m_lockCount = 0;
};

class TKvObservable : public host::TObject {
  public:
    TKvObservable() = default;
    // Unregisters every observer, last first; the observers stay alive.
    ~TKvObservable() override;

    // Appends o, first removing it from the observable it is registered with (this one included, so
    // adding twice leaves it once, at the end). Null does nothing.
    void AddObserver(TKvObserver* o);
    // Removes o only when it is registered here.
    void RemoveObserver(TKvObserver* o);
    // Calls Notify(Data) on every observer from the last to the first, unless the observable is locked.
    // An observer may add or remove observers (itself included) from its notification.
    void NotifyObservers(host::TObject* Data);

    void Lock() { ++m_lockCount; }
    void Unlock() { --m_lockCount; }
    std::int32_t LockCount() const { return m_lockCount; }

    int ObserverCount() const { return int(m_observers.size()); }
    TKvObserver* Observers(int index) const { return m_observers.at(std::size_t(index)); }

  private:
    std::vector<TKvObserver*> m_observers;
    std::int32_t m_lockCount = 0;
};

} // namespace kv
