// A growable array of fixed-size records with nested update brackets and two notifications: OnChanging
// before and OnChange after every modification. The common base of the cut list and the marker list.
//
// The first BeginUpdate sends OnChanging and the EndUpdate that closes the outermost bracket sends OnChange;
// inside a bracket neither is sent. Index and size errors go through Error (EListError); an allocation that
// fails raises host::EOutOfMemory and leaves the list as it was.
#pragma once

#include "core/KvObj.h"
#include "platform/ui/SysUtils.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace kv {

template <typename Item> class RecordList : public TKvObject {
    static_assert(std::is_trivially_copyable_v<Item>, "records are moved as bytes");

public:
    // Counts and capacities are limited so that the array's byte size stays far from overflowing.
    static constexpr std::int32_t MaxListSize = 0x7FFFFFF;

    TNotifyEvent OnChanging;

    RecordList() = default;
    ~RecordList() override { std::free(m_items); }

    std::int32_t Count() const { return m_count; }
    std::int32_t Capacity() const { return m_capacity; }

    // Appends a copy; returns its index.
    std::int32_t Add(const Item& item) {
        Changing();
        if (m_count == m_capacity) Grow();
        const std::int32_t index = m_count;
        m_items[index] = item;
        ++m_count;
        Changed();
        return index;
    }

    // Stores a copy at index (0 … Count), moving the records from there one place up.
    void Insert(std::int32_t index, const Item& item) {
        if (index < 0 || index > m_count) fail(index);
        Changing();
        if (m_count == m_capacity) Grow();
        std::memmove(m_items + index + 1, m_items + index, sizeof(Item) * static_cast<std::size_t>(m_count - index));
        m_items[index] = item;
        ++m_count;
        Changed();
    }

    void Delete(std::int32_t index) {
        checkIndex(index);
        Changing();
        --m_count;
        std::memmove(m_items + index, m_items + index + 1, sizeof(Item) * static_cast<std::size_t>(m_count - index));
        Changed();
    }

    // The address of the stored record; valid until the array is next reallocated.
    Item* Get(std::int32_t index) {
        checkIndex(index);
        return m_items + index;
    }
    const Item* Get(std::int32_t index) const {
        checkIndex(index);
        return m_items + index;
    }

    void Put(std::int32_t index, const Item& item) {
        checkIndex(index);
        Changing();
        m_items[index] = item;
        Changed();
    }

    Item* First() { return Get(0); }
    Item* Last() { return Get(m_count - 1); }

    // Makes room for at least one more record.
    void Expand() {
        if (m_count == m_capacity) Grow();
    }

    // Empties the list and releases the array.
    virtual void Clear() {
        Changing();
        std::free(m_items);
        m_items = nullptr;
        m_count = m_capacity = 0;
        Changed();
    }

    // New records are zero-filled; a smaller count drops records from the end.
    void SetCount(std::int32_t n) {
        if (n < 0 || n > MaxListSize) fail(n);
        if (n == m_count) return;
        if (n > m_capacity) SetCapacity(n);
        Changing();
        if (n > m_count) std::memset(m_items + m_count, 0, sizeof(Item) * static_cast<std::size_t>(n - m_count));
        m_count = n;
        Changed();
    }

    // Reallocates the array to exactly n records (Count … MaxListSize).
    void SetCapacity(std::int32_t n) {
        if (n < m_count || n > MaxListSize) fail(n);
        if (n == m_capacity) return;
        if (n == 0) {
            std::free(m_items);
            m_items = nullptr;
        } else {
            void* p = std::realloc(m_items, sizeof(Item) * static_cast<std::size_t>(n));
            if (!p) throw host::EOutOfMemory("Out of memory");
            m_items = static_cast<Item*>(p);
        }
        m_capacity = n;
    }

    // Copies all records of another list of the same kind (a null source empties the list), with one
    // notification for the whole copy. Other sources go to the inherited Assign.
    void Assign(const host::TPersistent* source) override {
        if (source == this) return;
        const auto* list = dynamic_cast<const RecordList*>(source);
        if (source && !list) {
            TKvObject::Assign(source);
            return;
        }
        inUpdate([&] {
            Clear();
            if (!list) return;
            SetCapacity(list->m_count);
            for (std::int32_t i = 0; i < list->m_count; ++i) Add(list->m_items[i]);
        });
    }

    void SetUpdateState(bool Updating) override {
        if (Updating) {
            Changing();
        } else {
            Changed();
        }
    }

    // Notifies OnChanging unless an update bracket is open.
    virtual void Changing() {
        if (UpdateCount() == 0 && OnChanging) OnChanging(this);
    }

    // Raises EListError with the runtime's list-index message naming the offending index or size.
    virtual void Error(std::int32_t index) const {
        throw host::EListError(host::FmtMessage(host::SListIndexError, index));
    }

protected:
    // Grows the capacity by 16 above 8 records, by 8 above 4, else by 4.
    virtual void Grow() {
        const std::int32_t delta = m_capacity > 8 ? 16 : (m_capacity > 4 ? 8 : 4);
        SetCapacity(m_capacity + delta);
    }

    void checkIndex(std::int32_t index) const {
        if (index < 0 || index >= m_count) fail(index);
    }

    // Error, and never return to a caller that would go on with a bad index even if an override does.
    [[noreturn]] void fail(std::int32_t index) const {
        Error(index);
        throw host::EListError(host::FmtMessage(host::SListIndexError, index));
    }

    // Runs f inside an update bracket that is closed even when f throws.
    template <typename F> void inUpdate(F&& f) {
        BeginUpdate();
        try {
            f();
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
    }

    Item* m_items = nullptr;
    std::int32_t m_count = 0;
    std::int32_t m_capacity = 0;
};

} // namespace kv
