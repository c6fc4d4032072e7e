// A list of markers (an identifier, an optional link to another marker, a sample position, a name and a
// colour), kept in order of position.
#pragma once

#include "dsp/RecordList.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kv {

#pragma pack(push, 1)
// The stored marker record, 363 bytes. The bytes after the name and after the colour belong to the
// marker panel; the list copies them without looking at them.
struct TKvMarker {
    std::int32_t ID;        // positive, unique in the list
    std::int32_t LinkID;    // the ID of a connected marker; ≤ 0 for none
    std::int32_t Offset;    // sample position, the sort key
    std::uint8_t Name[256]; // length byte, then up to 255 characters
    std::uint8_t Reserved1[82];
    std::uint8_t Visible;
    std::uint32_t Color;
    std::uint8_t Reserved2[8];

    std::string GetName() const { return std::string(reinterpret_cast<const char*>(Name + 1), Name[0]); }
    // Stores the first 255 characters of name.
    void SetName(const std::string& name) {
        const std::size_t n = name.size() < 255 ? name.size() : 255;
        Name[0] = static_cast<std::uint8_t>(n);
        for (std::size_t i = 0; i < n; ++i) Name[1 + i] = static_cast<std::uint8_t>(name[i]);
    }
};
#pragma pack(pop)
static_assert(sizeof(TKvMarker) == 363);
static_assert(offsetof(TKvMarker, ID) == 0 && offsetof(TKvMarker, LinkID) == 4 && offsetof(TKvMarker, Offset) == 8);
static_assert(offsetof(TKvMarker, Name) == 12 && offsetof(TKvMarker, Reserved1) == 268);
static_assert(offsetof(TKvMarker, Visible) == 350 && offsetof(TKvMarker, Color) == 351);
static_assert(offsetof(TKvMarker, Reserved2) == 355);

class TKvMarkerList : public RecordList<TKvMarker> {
public:
    // Copies as the base does, then sorts, all with one notification.
    void Assign(const host::TPersistent* source) override;

    // Whether the two markers sit at the same Offset.
    static bool CompareMarkers(const TKvMarker& a, const TKvMarker& b) { return a.Offset == b.Offset; }
    // The first marker at the same Offset, or −1.
    std::int32_t IndexOf(const TKvMarker& marker) const;
    std::int32_t Remove(const TKvMarker& marker);

    // Inserts the marker at its place by Offset (after markers at the same Offset); returns its index.
    std::int32_t AddMarker(const TKvMarker& marker);
    // As the cut list: −1 for an empty list, Count at or after the last Offset, else the first index
    // whose Offset is greater.
    std::int32_t LocateMarker(std::int32_t offset) const;
    // The index of a marker exactly at offset (the last of several), or −1.
    std::int32_t FindMarker(std::int32_t offset) const;
    // True when no marker is exactly at offset.
    bool QueryMarker(std::int32_t offset) const;

    // The index of the first marker whose ID is the LinkID of marker index; −1 if it has no link or
    // the linked marker is not in the list.
    std::int32_t FindConnectedMarker(std::int32_t index) const;
    // A positive identifier no marker holds, drawn at random.
    std::int32_t FindFreeID() const;

    // Moves the marker to offset and re-sorts the list, with one notification.
    void SetOffset(std::int32_t index, std::int32_t offset);
    // Notifies only when the colour differs.
    void SetColor(std::int32_t index, std::uint32_t color);
    void Exchange(std::int32_t i, std::int32_t j);
    // Moves the record at from to index to (nothing when equal), with one notification.
    void Move(std::int32_t from, std::int32_t to);
    // Shell sort by Offset with the gaps …, 40, 13, 4, 1.
    void Sort();
};

} // namespace kv
