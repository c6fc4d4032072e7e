#include "dsp/KvMrkLst.h"

#include <random>
#include <utility>

namespace kv {

void TKvMarkerList::Assign(const host::TPersistent* source) {
    if (source == this) return;
    if (source && !dynamic_cast<const TKvMarkerList*>(source)) {
        RecordList::Assign(source); // not a marker list: the inherited handling
        return;
    }
    inUpdate([&] {
        RecordList::Assign(source);
        Sort();
    });
}

std::int32_t TKvMarkerList::IndexOf(const TKvMarker& marker) const {
    for (std::int32_t i = 0; i < m_count; ++i) {
        if (CompareMarkers(m_items[i], marker)) return i;
    }
    return -1;
}

std::int32_t TKvMarkerList::Remove(const TKvMarker& marker) {
    const std::int32_t i = IndexOf(marker);
    if (i >= 0) Delete(i);
    return i;
}

std::int32_t TKvMarkerList::AddMarker(const TKvMarker& marker) {
    const std::int32_t i = LocateMarker(marker.Offset);
    if (i < 0 || i == m_count) return Add(marker);
    Insert(i, marker);
    return i;
}

std::int32_t TKvMarkerList::LocateMarker(std::int32_t offset) const {
    if (m_count == 0) return -1;
    if (offset >= m_items[m_count - 1].Offset) return m_count;
    std::int32_t lo = 0, hi = m_count - 1; // the answer lies in [lo, hi]; items[hi].Offset > offset
    while (lo < hi) {
        const std::int32_t mid = lo + (hi - lo) / 2;
        if (m_items[mid].Offset > offset) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

std::int32_t TKvMarkerList::FindMarker(std::int32_t offset) const {
    const std::int32_t i = LocateMarker(offset) - 1;
    return i >= 0 && m_items[i].Offset == offset ? i : -1;
}

bool TKvMarkerList::QueryMarker(std::int32_t offset) const { return FindMarker(offset) < 0; }

std::int32_t TKvMarkerList::FindConnectedMarker(std::int32_t index) const {
    const std::int32_t link = Get(index)->LinkID;
    if (link <= 0) return -1;
    for (std::int32_t i = 0; i < m_count; ++i) {
        if (m_items[i].ID == link) return i;
    }
    return -1;
}

std::int32_t TKvMarkerList::FindFreeID() const {
    // At most MaxListSize markers hold IDs out of 0x7FFFFFFE candidates, so a free one is soon drawn.
    std::mt19937 rng{std::random_device{}()};
    std::uniform_int_distribution<std::int32_t> draw(0, 0x7FFFFFFE);
    for (;;) {
        const std::int32_t id = draw(rng);
        if (id <= 0) continue;
        bool used = false;
        for (std::int32_t i = 0; i < m_count && !used; ++i) used = m_items[i].ID == id;
        if (!used) return id;
    }
}

void TKvMarkerList::SetOffset(std::int32_t index, std::int32_t offset) {
    checkIndex(index);
    inUpdate([&] {
        Get(index)->Offset = offset;
        Sort();
    });
}

void TKvMarkerList::SetColor(std::int32_t index, std::uint32_t color) {
    if (Get(index)->Color == color) return;
    Changing();
    Get(index)->Color = color;
    Changed();
}

void TKvMarkerList::Exchange(std::int32_t i, std::int32_t j) {
    checkIndex(i);
    checkIndex(j);
    Changing();
    std::swap(m_items[i], m_items[j]);
    Changed();
}

void TKvMarkerList::Move(std::int32_t from, std::int32_t to) {
    if (from == to) return;
    checkIndex(from);
    checkIndex(to);
    inUpdate([&] {
        const TKvMarker item = *Get(from);
        Delete(from);
        Insert(to, item);
    });
}

void TKvMarkerList::Sort() {
    Changing();
    std::int32_t gap = 1;
    while (gap * 3 + 1 <= m_count / 9) gap = gap * 3 + 1;
    for (; gap > 0; gap /= 3) {
        for (std::int32_t i = gap; i < m_count; ++i) {
            const TKvMarker item = m_items[i];
            std::int32_t j = i;
            for (; j >= gap && m_items[j - gap].Offset > item.Offset; j -= gap) m_items[j] = m_items[j - gap];
            m_items[j] = item;
        }
    }
    Changed();
}

} // namespace kv
