#include "dsp/KvCutLst.h"

#include "core/KvUtils.h"

namespace kv {

std::int32_t TKvCutList::IndexOf(const TKvCutRegion& region) const {
    for (std::int32_t i = 0; i < m_count; ++i) {
        if (m_items[i].Start == region.Start && m_items[i].Length == region.Length) return i;
    }
    return -1;
}

std::int32_t TKvCutList::Remove(const TKvCutRegion& region) {
    const std::int32_t i = IndexOf(region);
    if (i >= 0) Delete(i);
    return i;
}

std::int32_t TKvCutList::LocateRegion(std::int32_t sample) const {
    if (m_count == 0) return -1;
    if (sample >= m_items[m_count - 1].Start) return m_count;
    std::int32_t lo = 0, hi = m_count - 1; // the answer lies in [lo, hi]; items[hi].Start > sample
    while (lo < hi) {
        const std::int32_t mid = lo + (hi - lo) / 2;
        if (m_items[mid].Start > sample) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

std::int32_t TKvCutList::FindRegion(std::int32_t sample) const {
    const std::int32_t i = LocateRegion(sample) - 1;
    if (i < 0) return -1;
    const TKvCutRegion& r = m_items[i];
    return InMinMax64(sample, r.Start, std::int64_t(r.Start) + r.Length - 1) ? i : -1;
}

bool TKvCutList::QueryRegion(std::int32_t sample) const { return FindRegion(sample) < 0; }

bool TKvCutList::AddRegion(const TKvCutRegion& region) {
    if (FindRegion(region.Start) >= 0) return false;
    const std::int32_t i = LocateRegion(region.Start);
    if (i < 0 || i == m_count) {
        Add(region);
    } else {
        Insert(i, region);
    }
    return true;
}

void TKvCutList::SetParams(std::int32_t index, std::int32_t start, std::int32_t length) {
    checkIndex(index);
    inUpdate([&] {
        TKvCutRegion* r = Get(index); // looked up again: an OnChanging handler may have edited the list
        r->Start = start;
        r->Length = length;
    });
}

} // namespace kv
