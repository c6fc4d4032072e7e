// Small registered classes for the object list tests: a value item, a group that holds a nested list
// of items, a sorted list of items, and helpers that build list streams byte by byte. Items and groups
// count their live instances so tests can tell that nothing leaked or was freed twice.
#pragma once

#include "core/KvObjLst.h"

#include <cstdint>
#include <string>
#include <vector>

namespace objlsttest {

inline int g_liveItems = 0;
inline int g_failLoadAt = -1; // the value whose load throws, for tests of failing loads

class TItem : public host::TObject {
public:
    TItem() { ++g_liveItems; }
    explicit TItem(std::int32_t v) : value(v) { ++g_liveItems; }
    ~TItem() override { --g_liveItems; }
    std::int32_t value = 0;
};

class TGroup : public host::TObject {
public:
    TGroup() { ++g_liveItems; }
    // The group owns its items whatever flag a stream gave the list.
    ~TGroup() override {
        items.SetFreeOnRemoval(true);
        items.FreeAll();
        --g_liveItems;
    }
    std::uint8_t tag = 0;
    kv::TObjectList items;
};

class TUnregistered : public host::TObject {};

inline void writeInt32(host::TStream& s, std::int32_t v) { s.WriteBuffer(&v, 4); }
inline std::int32_t readInt32(host::TStream& s) {
    std::int32_t v = 0;
    s.ReadBuffer(&v, 4);
    return v;
}

inline void registerTestClasses() {
    kv::RegisterObjectClass<TItem>(
        "TItem",
        [](TItem& item, host::TStream& s) {
            item.value = readInt32(s);
            if (item.value == g_failLoadAt) throw host::EReadError("refused to load");
        },
        [](const TItem& item, host::TStream& s) { writeInt32(s, item.value); });
    kv::RegisterObjectClass<TGroup>(
        "TGroup",
        [](TGroup& g, host::TStream& s) {
            s.ReadBuffer(&g.tag, 1);
            g.items.ReadData(s);
        },
        [](const TGroup& g, host::TStream& s) {
            s.WriteBuffer(&g.tag, 1);
            g.items.WriteData(s);
        });
}

class TItemSortedList : public kv::TSortedObjectList {
public:
    using kv::TSortedObjectList::TSortedObjectList;
    int Compare(const void* a, const void* b) const override {
        const auto x = static_cast<const TItem*>(a)->value;
        const auto y = static_cast<const TItem*>(b)->value;
        return x < y ? -1 : x > y ? 1 : 0;
    }
};

inline std::vector<std::uint8_t> bytesOf(host::TMemoryStream& s) {
    const auto* p = static_cast<const std::uint8_t*>(s.Memory());
    return std::vector<std::uint8_t>(p, p + s.Size());
}

// Builds streams by hand: the list header and object records.
struct StreamBuilder {
    std::vector<std::uint8_t> bytes;
    StreamBuilder& raw(std::initializer_list<int> b) {
        for (int v : b) bytes.push_back(std::uint8_t(v));
        return *this;
    }
    StreamBuilder& header(int count, bool freeOnRemoval = true) {
        raw({'O', 'B', 'J', 0, freeOnRemoval ? 1 : 0, count & 0xFF, (count >> 8) & 0xFF});
        return *this;
    }
    StreamBuilder& name(const std::string& n) {
        bytes.push_back(std::uint8_t(n.size()));
        bytes.insert(bytes.end(), n.begin(), n.end());
        return *this;
    }
    StreamBuilder& item(std::int32_t v) {
        name("TItem");
        for (int i = 0; i < 4; ++i) bytes.push_back(std::uint8_t(std::uint32_t(v) >> (8 * i)));
        return *this;
    }
    // Replaces s's contents with the bytes, positioned at the start.
    void into(host::TMemoryStream& s) const {
        s.Clear();
        if (!bytes.empty()) s.WriteBuffer(bytes.data(), std::int32_t(bytes.size()));
        s.SetPosition(0);
    }
};

} // namespace objlsttest
