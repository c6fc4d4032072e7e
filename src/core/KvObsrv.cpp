#include "core/KvObsrv.h"

#include <algorithm>

namespace kv {

TKvObserver::~TKvObserver() {
    if (m_observable) m_observable->RemoveObserver(this);
}

void TKvObserver::Notify(host::TObject* Data) {
    if (m_lockCount == 0) DoNotify(Data);
}

void TKvObserver::DoNotify(host::TObject* Data) {
    if (OnNotify) OnNotify(this, Data);
}

TKvObservable::~TKvObservable() {
    while (!m_observers.empty())
        RemoveObserver(m_observers.back());
}

void TKvObservable::AddObserver(TKvObserver* o) {
    if (!o) return;
    if (o->m_observable) o->m_observable->RemoveObserver(o);
    m_observers.push_back(o);
    o->m_observable = this;
}

void TKvObservable::RemoveObserver(TKvObserver* o) {
    if (!o || o->m_observable != this) return;
    auto it = std::find(m_observers.begin(), m_observers.end(), o);
    if (it != m_observers.end()) m_observers.erase(it);
    o->m_observable = nullptr;
}

void TKvObservable::NotifyObservers(host::TObject* Data) {
    if (m_lockCount != 0) return;
    // Walk down by position. After each call the next position is taken below the notified observer's
    // present place, so an observer that removes itself or others (or adds new ones at the end) neither
    // makes the walk skip the remaining observers nor read past the list.
    std::size_t next = m_observers.size();
    while (next > 0) {
        TKvObserver* o = m_observers[next - 1];
        o->Notify(Data);
        auto it = std::find(m_observers.begin(), m_observers.end(), o);
        next = it != m_observers.end() ? std::size_t(it - m_observers.begin())
                                       : std::min(next - 1, m_observers.size());
    }
}

} // namespace kv
