// A list of wave regions (start and length in samples and in bytes), kept in order of their start.
#pragma once

#include "dsp/RecordList.h"

#include <cstddef>
#include <cstdint>

namespace kv {

struct TKvCutRegion {
    std::int32_t Start;       // first sample
    std::int32_t StartBytes;  // byte offset of Start
    std::int32_t Length;      // samples
    std::int32_t LengthBytes; // bytes
    std::int32_t UserValue;   // not interpreted by the list
};
static_assert(sizeof(TKvCutRegion) == 20);
static_assert(offsetof(TKvCutRegion, Length) == 8 && offsetof(TKvCutRegion, UserValue) == 16);

class TKvCutList : public RecordList<TKvCutRegion> {
public:
    // The first index whose Start and Length both equal the region's, or −1.
    std::int32_t IndexOf(const TKvCutRegion& region) const;
    // Removes the region IndexOf finds; returns its index or −1.
    std::int32_t Remove(const TKvCutRegion& region);

    // Where a region starting at sample belongs: −1 for an empty list, Count at or after the last
    // region's start, otherwise the first index whose Start is greater than sample.
    std::int32_t LocateRegion(std::int32_t sample) const;
    // The index of the region containing sample (Start ≤ sample ≤ Start + Length − 1), or −1.
    std::int32_t FindRegion(std::int32_t sample) const;
    // True when no region contains sample.
    bool QueryRegion(std::int32_t sample) const;
    // Inserts the region at its place unless an existing region contains its Start (then false and the
    // list is unchanged). Overlaps are detected only at the new region's start.
    bool AddRegion(const TKvCutRegion& region);
    // Sets Start and Length with one notification; the byte fields and the order are left as they are.
    void SetParams(std::int32_t index, std::int32_t start, std::int32_t length);
};

} // namespace kv
