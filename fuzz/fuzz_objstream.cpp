// Hands arbitrary bytes to object streaming: as one object record (ReadObjectFromStream), as a list
// stream (TObjectList::ReadData) and as a sorted list stream. Two classes are registered: an item with a
// key, and a group that holds a nested list. Whatever reads successfully is written again and must
// read back to the same bytes.
//
// The first byte chooses the reader (bits 0-1) and the stream class (bit 2: a memory stream or a
// stream over a fixed block). QUILLAN_FUZZ_WRITE_SEEDS=<folder> writes the seed corpus and exits.
#include "core/KvObjLst.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

class TFuzzNode : public host::TObject {
public:
    std::int32_t key = 0;
};

class TFuzzItem : public TFuzzNode {};

class TFuzzGroup : public TFuzzNode {
public:
    // The group owns its items whatever flag the stream gave the list.
    ~TFuzzGroup() override {
        items.SetFreeOnRemoval(true);
        items.FreeAll();
    }
    kv::TObjectList items;
};

class TFuzzSortedList : public kv::TSortedObjectList {
public:
    using kv::TSortedObjectList::TSortedObjectList;
    int Compare(const void* a, const void* b) const override {
        const auto x = static_cast<const TFuzzNode*>(a)->key;
        const auto y = static_cast<const TFuzzNode*>(b)->key;
        return x < y ? -1 : x > y ? 1 : 0;
    }
};

void registerClasses() {
    kv::RegisterObjectClass<TFuzzItem>(
        "TFuzzItem", [](TFuzzItem& o, host::TStream& s) { s.ReadBuffer(&o.key, 4); },
        [](const TFuzzItem& o, host::TStream& s) { s.WriteBuffer(&o.key, 4); });
    kv::RegisterObjectClass<TFuzzGroup>(
        "TFuzzGroup",
        [](TFuzzGroup& o, host::TStream& s) {
            s.ReadBuffer(&o.key, 4);
            o.items.ReadData(s);
        },
        [](const TFuzzGroup& o, host::TStream& s) {
            s.WriteBuffer(&o.key, 4);
            o.items.WriteData(s);
        });
}

std::vector<std::uint8_t> bytesOf(host::TMemoryStream& s) {
    const auto* p = static_cast<const std::uint8_t*>(s.Memory());
    return std::vector<std::uint8_t>(p, p + s.Size());
}

// Writes what was read, then reads that back and writes it again, twice. A sorted list that accepts
// duplicates reverses each run of equal keys on every read, so the bytes must agree after two rounds;
// other readers must agree after each one. Valid output that fails to read back is a fault as well.
template <typename Write, typename Reread> void checkRoundTrip(bool stableOnce, Write write, Reread reread) {
    try {
        host::TMemoryStream first;
        write(first);
        host::TMemoryStream second;
        first.SetPosition(0);
        reread(first, second);
        host::TMemoryStream third;
        second.SetPosition(0);
        reread(second, third);
        if (bytesOf(first) != bytesOf(third)) std::abort();
        if (stableOnce && bytesOf(first) != bytesOf(second)) std::abort();
    } catch (...) {
        std::abort();
    }
}

void readOne(host::TStream& s) {
    std::unique_ptr<host::TObject> object(kv::ReadObjectFromStream(s));
    checkRoundTrip(
        true, [&](host::TStream& out) { kv::WriteObjectToStream(object.get(), out); },
        [](host::TStream& in, host::TStream& out) {
            std::unique_ptr<host::TObject> again(kv::ReadObjectFromStream(in));
            kv::WriteObjectToStream(again.get(), out);
        });
}

template <typename List> void readList(host::TStream& s) {
    List list;
    try {
        list.ReadData(s);
    } catch (const host::Exception&) {
        // The objects read before the failure stay in the list; the list frees them.
        list.SetFreeOnRemoval(true);
        throw;
    }
    checkRoundTrip(
        !std::is_base_of_v<kv::TSortedObjectList, List>, [&](host::TStream& out) { list.WriteData(out); },
        [](host::TStream& in, host::TStream& out) {
            List again;
            again.ReadData(in);
            again.WriteData(out);
            again.SetFreeOnRemoval(true);
        });
    list.SetFreeOnRemoval(true);
}

void writeSeed(const std::string& folder, const char* name, std::uint8_t mode,
               const std::function<void(host::TStream&)>& write) {
    host::TMemoryStream s;
    s.WriteBuffer(&mode, 1);
    write(s);
    s.SaveToFile(folder + "/" + name);
}

TFuzzItem* item(std::int32_t key) {
    auto* i = new TFuzzItem;
    i->key = key;
    return i;
}

void writeSeeds(const std::string& folder) {
    writeSeed(folder, "empty-list", 1, [](host::TStream& s) { kv::TObjectList().WriteData(s); });
    writeSeed(folder, "items", 5, [](host::TStream& s) {
        kv::TObjectList list;
        for (int k : {3, -1, 70000})
            list.AddObject(item(k));
        list.WriteData(s);
    });
    writeSeed(folder, "nested-groups", 1, [](host::TStream& s) {
        kv::TObjectList list;
        auto* outer = new TFuzzGroup;
        outer->key = 1;
        outer->items.AddObject(item(2));
        auto* inner = new TFuzzGroup;
        inner->items.AddObject(item(3));
        outer->items.AddObject(inner);
        list.AddObject(outer);
        list.AddObject(item(4));
        list.WriteData(s);
    });
    writeSeed(folder, "sorted-duplicates", 2, [](host::TStream& s) {
        TFuzzSortedList list(kv::dupAccept);
        for (int k : {5, 1, 5, 3})
            list.AddObject(item(k));
        list.WriteData(s);
    });
    writeSeed(folder, "one-group", 4, [](host::TStream& s) {
        TFuzzGroup group;
        group.key = 9;
        group.items.AddObject(item(8));
        kv::WriteObjectToStream(&group, s);
    });
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    registerClasses();
    if (const char* folder = std::getenv("QUILLAN_FUZZ_WRITE_SEEDS")) {
        writeSeeds(folder);
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > std::size_t(INT32_MAX)) return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;
    std::vector<std::uint8_t> copy(data, data + size);
    host::TMemoryStream memory;
    kv::TAbsMemStream block(copy.data(), std::int32_t(copy.size()));
    if (size) memory.WriteBuffer(data, std::int32_t(size));
    memory.SetPosition(0);
    host::TStream& s = (mode & 4) ? static_cast<host::TStream&>(block) : memory;
    try {
        switch (mode & 3) {
        case 0:
            readOne(s);
            break;
        case 1:
            readList<kv::TObjectList>(s);
            break;
        default:
            readList<TFuzzSortedList>(s);
            break;
        }
    } catch (const host::Exception&) {
        // Refusing malformed input is the expected outcome.
    }
    return 0;
}
