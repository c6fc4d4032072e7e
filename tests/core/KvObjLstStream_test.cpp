// Object streaming: the list stream layout, round trips through streams, files, copies, the clipboard
// and binary properties, malformed input, and the stream over a memory block.
#include "ObjLstTestClasses.h"

#include "platform/ui/Filer.h"
#include "platform/ui/SysUtils.h"
#include "platform/win/Clipboard.h"
#include "support/TestWork.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace kv;
using namespace objlsttest;

namespace {

class ObjectStream : public ::testing::Test {
protected:
    void SetUp() override {
        registerTestClasses();
        g_failLoadAt = -1;
    }
    void TearDown() override {
        g_failLoadAt = -1;
        EXPECT_EQ(g_liveItems, 0) << "objects leaked or freed twice";
    }
};

std::vector<std::uint8_t> written(const TObjectList& list) {
    host::TMemoryStream s;
    list.WriteData(s);
    return bytesOf(s);
}

// A list of an item, a group holding two items, and another item.
void fillSample(TObjectList& list) {
    list.AddObject(new TItem(1));
    auto* group = new TGroup;
    group->tag = 7;
    group->items.AddObject(new TItem(2));
    group->items.AddObject(new TItem(-3));
    list.AddObject(group);
    list.AddObject(new TItem(0x7FFFFFFF));
}

// Runs f and returns "<exception class>: <message>", or "none".
std::string failureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const host::EClassNotFound& e) {
        return "EClassNotFound: " + e.Message();
    } catch (const host::EReadError& e) {
        return "EReadError";
    } catch (const host::EStreamError& e) {
        return "EStreamError: " + e.Message();
    } catch (const host::EListError& e) {
        return "EListError: " + e.Message();
    }
    return "none";
}

} // namespace

TEST_F(ObjectStream, ListStreamLayout) {
    TObjectList empty;
    EXPECT_EQ(written(empty), (std::vector<std::uint8_t>{'O', 'B', 'J', 0, 1, 0, 0}));
    TItemSortedList sorted(dupError);
    EXPECT_EQ(written(sorted), (std::vector<std::uint8_t>{'O', 'B', 'J', 0, 2, 1, 0, 0}));
    TObjectList one(false, 0);
    TItem item(0x01020304);
    one.AddObject(&item);
    EXPECT_EQ(written(one),
              (std::vector<std::uint8_t>{'O', 'B', 'J', 0, 0, 1, 0, 5, 'T', 'I', 't', 'e', 'm', 4, 3, 2, 1}));
}

TEST_F(ObjectStream, ListRoundTripsByteForByte) {
    TObjectList list;
    fillSample(list);
    const auto original = written(list);

    host::TMemoryStream s;
    list.WriteData(s);
    s.SetPosition(0);
    TObjectList copy;
    copy.AddObject(new TItem(99)); // replaced (and freed) by the read
    copy.ReadData(s);
    EXPECT_EQ(s.Position(), s.Size());
    ASSERT_EQ(copy.Count(), 3);
    EXPECT_NE(copy[0], list[0]);
    EXPECT_EQ(written(copy), original);

    const auto file = testsupport::workDir("objlst") / "list.obj";
    list.SaveToFile(file.string());
    EXPECT_EQ(testsupport::readFile(file), original);
    TObjectList loaded(file.string());
    EXPECT_EQ(written(loaded), original);
    loaded.LoadFromFile(file.string()); // again, over its own items
    EXPECT_EQ(written(loaded), original);
}

TEST_F(ObjectStream, CopyOfIsADeepCopy) {
    TGroup group;
    group.tag = 3;
    group.items.AddObject(new TItem(10));
    std::unique_ptr<host::TObject> copy(CopyOf(&group));
    auto* g = dynamic_cast<TGroup*>(copy.get());
    ASSERT_NE(g, nullptr);
    EXPECT_NE(g, &group);
    EXPECT_EQ(g->tag, 3);
    ASSERT_EQ(g->items.Count(), 1);
    EXPECT_NE(g->items[0], group.items[0]);
    EXPECT_EQ(static_cast<TItem*>(g->items[0])->value, 10);
}

TEST_F(ObjectStream, RegistryAndWriteErrors) {
    EXPECT_TRUE(IsRegistered<TItem>());
    EXPECT_TRUE(IsRegistered("TGroup"));
    EXPECT_TRUE(IsRegistered(ClassOf<TItem>("TItem")));
    EXPECT_FALSE(IsRegistered<TUnregistered>());
    // A name is registered once: TUnregistered does not take over "TItem".
    RegisterObjectClass<TUnregistered>(
        "TItem", [](TUnregistered&, host::TStream&) {}, [](const TUnregistered&, host::TStream&) {});
    EXPECT_FALSE(IsRegistered<TUnregistered>());
    EXPECT_EQ(ClassNameOf(nullptr), "nil");

    host::TMemoryStream s;
    TUnregistered stranger;
    EXPECT_EQ(failureOf([&] { WriteObjectToStream(nullptr, s); }), "EClassNotFound: Nil Source Class!");
    EXPECT_EQ(failureOf([&] { CopyOf(nullptr); }), "EClassNotFound: Nil Source Class!");
    EXPECT_EQ(failureOf([&] { WriteObjectToStream(&stranger, s); }),
              "EClassNotFound: Source Class <objlsttest::TUnregistered> not registered");
    TObjectList holes(false, 0);
    holes.SetCount(1);
    EXPECT_EQ(failureOf([&] { holes.WriteData(s); }), "EClassNotFound: Nil Source Class!");
}

TEST_F(ObjectStream, LongClassNamesAreCutTo63Characters) {
    const std::string longName(80, 'L');
    RegisterObjectClass<TUnregistered>(
        longName, [](TUnregistered&, host::TStream&) {}, [](const TUnregistered&, host::TStream&) {});
    EXPECT_TRUE(IsRegistered(longName.substr(0, 63)));
    TUnregistered object;
    host::TMemoryStream s;
    WriteObjectToStream(&object, s);
    EXPECT_EQ(s.Size(), 64);
    s.SetPosition(0);
    std::unique_ptr<host::TObject> back(ReadObjectFromStream(s));
    EXPECT_NE(dynamic_cast<TUnregistered*>(back.get()), nullptr);
}

TEST_F(ObjectStream, MalformedListStreamsFailCleanly) {
    struct Case {
        const char* what;
        StreamBuilder bytes;
        std::string failure;
        int kept; // items left in the list afterwards
    } cases[] = {
        // A bad signature is found before the list lets go of its items.
        {"wrong signature", StreamBuilder().raw({'O', 'B', 'X', 0, 1, 0, 0}), "EStreamError: Invalid Object stream",
         1},
        {"short signature", StreamBuilder().raw({'O', 'B'}), "EReadError", 1},
        {"no count", StreamBuilder().raw({'O', 'B', 'J', 0, 1}), "EReadError", 0},
        {"unknown class", StreamBuilder().header(1).name("TNope").raw({0, 0, 0, 0}),
         "EClassNotFound: Class <TNope> not registered", 0},
        {"control bytes in a name", StreamBuilder().header(1).raw({3, 'A', 0, 'B'}),
         "EClassNotFound: Class <A?B> not registered", 0},
        {"negative count", StreamBuilder().header(-1), "EStreamError: Invalid Object stream: negative count -1", 0},
        {"count beyond the data", StreamBuilder().header(32767).item(1),
         "EStreamError: Invalid Object stream: 32767 objects cannot fit in 10 bytes", 0},
        {"fewer objects than counted", StreamBuilder().header(3).item(1).item(2), "EReadError", 2},
        {"truncated object", StreamBuilder().header(2).item(1).name("TItem").raw({1, 2}), "EReadError", 1},
        {"name longer than the stream", StreamBuilder().header(1).raw({200, 'T', 'I'}), "EReadError", 0},
        {"load procedure fails", StreamBuilder().header(3).item(1).item(-77).item(2), "EReadError", 1},
        {"nested list with a bad signature",
         StreamBuilder().header(2).item(1).name("TGroup").raw({9, 'O', 'B', 'J', 1, 1, 0, 0}),
         "EStreamError: Invalid Object stream", 1},
    };
    for (const Case& c : cases) {
        g_failLoadAt = -77;
        host::TMemoryStream s;
        c.bytes.into(s);
        TObjectList list;
        list.AddObject(new TItem(5));
        EXPECT_EQ(failureOf([&] { list.ReadData(s); }), c.failure) << c.what;
        EXPECT_EQ(list.Count(), c.kept) << c.what;
        EXPECT_LE(list.Capacity(), 4) << c.what; // nothing reserved for a count the data cannot hold
        list.FreeAll();
        EXPECT_EQ(g_liveItems, 0) << c.what;
    }
}

TEST_F(ObjectStream, EveryTruncationOfAValidStreamFailsWithoutLeaks) {
    TObjectList list;
    fillSample(list);
    TItemSortedList sorted(dupAccept);
    for (int v : {4, 4, -8, 1}) sorted.AddObject(new TItem(v));
    const auto check = [](const std::vector<std::uint8_t>& full, TObjectList& target) {
        for (std::size_t n = 0; n < full.size(); ++n) {
            StreamBuilder b;
            b.bytes.assign(full.begin(), full.begin() + std::ptrdiff_t(n));
            host::TMemoryStream s;
            b.into(s);
            EXPECT_THROW(target.ReadData(s), host::EStreamError) << n;
        }
        target.FreeAll();
    };
    TObjectList plainTarget;
    check(written(list), plainTarget);
    TItemSortedList sortedTarget;
    check(written(sorted), sortedTarget);
}

TEST_F(ObjectStream, SortedListStreams) {
    // A sorted stream read with dupIgnore: the second of two equal items is not kept, and is freed.
    StreamBuilder b;
    b.raw({'O', 'B', 'J', 0, dupIgnore}).raw({1, 3, 0}).item(4).item(2).item(4);
    host::TMemoryStream s;
    b.into(s);
    TItemSortedList list(dupError);
    list.ReadData(s);
    EXPECT_EQ(list.Duplicates(), dupIgnore);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(static_cast<TItem*>(list[0])->value, 2);
    EXPECT_EQ(g_liveItems, 2);

    // dupError in the stream: the duplicate raises, the item is freed, the first two stay.
    b.bytes[4] = dupError;
    b.into(s);
    EXPECT_EQ(failureOf([&] { list.ReadData(s); }), "EListError: Duplicate Object index");
    EXPECT_EQ(list.Count(), 2);

    b.bytes[4] = 3;
    b.into(s);
    EXPECT_EQ(failureOf([&] { list.ReadData(s); }), "EStreamError: Invalid Object stream: duplicates mode 3");
}

TEST_F(ObjectStream, DeeplyNestedStreamsAreRefused) {
    const auto nested = [](int depth) {
        StreamBuilder b;
        for (int i = 0; i < depth; ++i) b.name("TGroup").raw({0}).header(1);
        b.item(1);
        return b;
    };
    host::TMemoryStream s;
    nested(20).into(s);
    std::unique_ptr<host::TObject> ok(ReadObjectFromStream(s));
    EXPECT_NE(ok, nullptr);
    ok.reset();
    nested(100000).into(s);
    EXPECT_EQ(failureOf([&] { ReadObjectFromStream(s); }),
              "EStreamError: Object stream nested more than 64 levels deep");
}

TEST_F(ObjectStream, LoadFromFileFailures) {
    const auto dir = testsupport::workDir("objlst");
    TObjectList list;
    EXPECT_THROW(list.LoadFromFile((dir / "missing.obj").string()), host::EFOpenError);

    // A list that does not own its items, cut short in its second item.
    TItem one(1), two(2);
    TObjectList good(false, 0);
    good.AddObject(&one);
    good.AddObject(&two);
    const auto file = (dir / "cut.obj").string();
    good.SaveToFile(file);
    {
        host::TFileStream f(file, host::fmOpenWrite);
        f.SetSize(f.Size() - 1);
    }
    EXPECT_EQ(failureOf([&] { list.LoadFromFile(file); }), "EStreamError: Unable to load Object stream");
    EXPECT_EQ(list.Count(), 1); // the first item was read before the file ran out
    EXPECT_FALSE(list.FreeOnRemoval());
    delete list[0];
    // A constructor that fails frees what it read, whatever the file's flag: nobody else can.
    EXPECT_THROW(TObjectList fromFile(file), host::EStreamError);
}

TEST_F(ObjectStream, AbsMemStreamStaysInsideItsBlock) {
    std::uint8_t block[10] = {};
    std::uint8_t data[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    TAbsMemStream s(block, 10);
    EXPECT_EQ(s.Write(data, 10), 10);
    EXPECT_EQ(block[9], 10);
    s.SetPosition(0);
    EXPECT_EQ(failureOf([&] { s.Write(data, 11); }), "EStreamError: MemStream writing behond limits");
    EXPECT_EQ(failureOf([&] { s.Read(data, 11); }), "EStreamError: MemStream reading behond limits");
    EXPECT_EQ(s.Read(data, 0), 0);
    EXPECT_EQ(s.Read(data, -1), 0);
    EXPECT_EQ(s.Seek(3, host::soFromEnd), 7); // counted back from the end
    EXPECT_EQ(s.Read(data, 3), 3);
    EXPECT_EQ(data[0], 8);
    EXPECT_EQ(s.Size(), 10);
    const std::pair<int, std::uint16_t> outside[] = {
        {11, host::soFromBeginning}, {-11, host::soFromCurrent}, {-1, host::soFromEnd}};
    for (const auto& seek : outside)
        EXPECT_EQ(failureOf([&] { s.Seek(seek.first, seek.second); }),
                  "EStreamError: MemStream seeking behond limits");
    EXPECT_EQ(s.Position(), 10);
}

TEST_F(ObjectStream, ClipboardCopyAndPaste) {
    const win::UINT format = RegisterClipBoardType("QUILLAN test object");
    EXPECT_EQ(RegisterClipBoardType("QUILLAN test object"), format);
    TGroup group;
    group.tag = 4;
    group.items.AddObject(new TItem(11));
    EXPECT_FALSE(CopyObjectToClipboard(format, &group)); // not open: refused, block freed

    ASSERT_TRUE(win::OpenClipboard(nullptr));
    win::EmptyClipboard();
    EXPECT_TRUE(CopyObjectToClipboard(format, &group));
    std::unique_ptr<host::TObject> pastedWhileOpen(PasteObjectFromClipboard(format));
    EXPECT_NE(pastedWhileOpen, nullptr);
    win::CloseClipboard();

    std::unique_ptr<host::TObject> pasted(PasteObjectFromClipboard(format));
    auto* g = dynamic_cast<TGroup*>(pasted.get());
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->tag, 4);
    ASSERT_EQ(g->items.Count(), 1);
    EXPECT_EQ(static_cast<TItem*>(g->items[0])->value, 11);
    EXPECT_EQ(PasteObjectFromClipboard(RegisterClipBoardType("QUILLAN nothing here")), nullptr);

    ASSERT_TRUE(win::OpenClipboard(nullptr));
    win::EmptyClipboard();
    win::CloseClipboard();
}

TEST_F(ObjectStream, ListAsBinaryPropertyThroughWriterAndReader) {
    host::TMemoryStream s;
    TObjectList empty;
    host::TWriter(s).WriteProperties(empty);
    EXPECT_EQ(bytesOf(s), (std::vector<std::uint8_t>{0})); // nothing stored for an empty list

    TObjectList list;
    fillSample(list);
    s.Clear();
    host::TWriter(s).WriteProperties(list);
    const auto data = written(list);
    const auto bytes = bytesOf(s);
    ASSERT_EQ(bytes.size(), 1 + 15 + 1 + 4 + data.size() + 1);
    EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 16), "ObjectContainer");

    s.SetPosition(0);
    TObjectList back;
    host::TReader(s).ReadProperties(back);
    EXPECT_EQ(written(back), data);
}
