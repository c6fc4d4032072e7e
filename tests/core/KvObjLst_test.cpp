// The object list and the sorted list: growth, index checks, ownership, notifications, duplicates.
#include "ObjLstTestClasses.h"

#include "platform/ui/SysUtils.h"

#include <functional>
#include <gtest/gtest.h>

using namespace kv;
using namespace objlsttest;

namespace {

class ObjectList : public ::testing::Test {
protected:
    void SetUp() override { registerTestClasses(); }
    void TearDown() override { EXPECT_EQ(g_liveItems, 0) << "objects leaked or freed twice"; }
};

std::string listErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const host::EListError& e) {
        return e.Message();
    }
    return "no EListError";
}

} // namespace

TEST_F(ObjectList, CapacityGrowsByFourEightThenSixteen) {
    TObjectList list;
    std::vector<int> capacities;
    for (int i = 0; i < 48; ++i) {
        list.AddObject(new TItem(i));
        if (capacities.empty() || capacities.back() != list.Capacity()) capacities.push_back(list.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{4, 8, 16, 32, 48}));
    list.FreeAll(); // frees the objects and releases the array
    EXPECT_EQ(list.Capacity(), 0);
    EXPECT_EQ(g_liveItems, 0);
}

TEST_F(ObjectList, IndexErrorsCarryTheRuntimeMessage) {
    TObjectList list;
    for (int i = 0; i < 3; ++i) list.AddObject(new TItem(i));
    struct Case {
        const char* what;
        std::function<void()> call;
        int index;
    } cases[] = {
        {"Get(-1)", [&] { list.Get(-1); }, -1},
        {"Get(count)", [&] { list.Get(3); }, 3},
        {"Put(count)", [&] { list.Put(3, nullptr); }, 3},
        {"Insert(count + 1)", [&] { list.Insert(4, nullptr); }, 4},
        {"Delete(count)", [&] { list.Delete(3); }, 3},
        {"Exchange(0, 5)", [&] { list.Exchange(0, 5); }, 5},
        {"Move(0, 3)", [&] { list.Move(0, 3); }, 3},
        {"SetCount(-1)", [&] { list.SetCount(-1); }, -1},
        {"SetCapacity below count", [&] { list.SetCapacity(2); }, 2},
        {"FreeAt(-2)", [&] { list.FreeAt(-2); }, -2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(listErrorOf(c.call), host::FmtMessage(host::SListIndexError, c.index)) << c.what;
    EXPECT_EQ(host::FmtMessage(host::SListIndexError, 3), "リストのインデックスが範囲を超えています (3)");
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(listErrorOf([&] { list.FreeObject(&list); }), "TObject kv::TObjectList not in item list");
    TItem outsider(7);
    EXPECT_EQ(listErrorOf([&] { list.FreeObject(&outsider); }), "TObject TItem not in item list");
}

TEST_F(ObjectList, DeleteAtBothEndsAndRearranging) {
    TObjectList list;
    TItem* items[5];
    for (int i = 0; i < 5; ++i) list.AddObject(items[i] = new TItem(i));
    list.Delete(4); // the last: nothing shifts
    list.Delete(0);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.First(), items[1]);
    EXPECT_EQ(list.Last(), items[3]);
    list.Exchange(0, 2);
    EXPECT_EQ(list[0], items[3]);
    list.Move(0, 2);
    EXPECT_EQ(list[2], items[3]);
    EXPECT_EQ(list.Remove(items[2]), 0);
    EXPECT_EQ(list.Remove(items[2]), -1);
    list.SetCount(4); // two empty places at the end
    EXPECT_EQ(list[3], nullptr);
    list.Insert(0, nullptr);
    list.Pack();
    EXPECT_EQ(list.Count(), 2);
    delete items[0];
    delete items[2];
    delete items[4];
    list.FreeObject(items[1]);
    EXPECT_EQ(list.Count(), 1);
}

TEST_F(ObjectList, OwnershipFollowsTheFreeOnRemovalFlag) {
    TItem keep(1);
    {
        TObjectList borrowed(false, 2);
        EXPECT_EQ(borrowed.Capacity(), 2);
        borrowed.AddObject(&keep);
        borrowed.FreeAll(); // does not free what it does not own
    }
    EXPECT_EQ(keep.value, 1);
    TObjectList owning;
    owning.AddObject(new TItem(2));
    owning.AddObject(new TItem(3));
    owning.FreeAt(0);
    EXPECT_EQ(g_liveItems, 2); // keep and item 3; the list frees the last one when it goes
}

TEST_F(ObjectList, FullListRefusesAnotherItem) {
    TObjectList list(false, kMaxListSize);
    list.SetCount(kMaxListSize);
    EXPECT_THROW(list.AddObject(nullptr), host::EListError);
    EXPECT_EQ(list.Count(), kMaxListSize);
    EXPECT_THROW(list.SetCount(kMaxListSize + 1), host::EListError);
}

TEST_F(ObjectList, UpdateBracketsSendOneChangingAndOneChange) {
    TObjectList list;
    std::string events;
    host::TObject* lastSender = nullptr;
    list.OnChanging = [&](host::TObject* sender) {
        lastSender = sender;
        events += "<";
    };
    list.OnChange = [&](host::TObject*) { events += ">"; };
    list.AddObject(new TItem(1));
    EXPECT_EQ(events, "<>");
    EXPECT_EQ(lastSender, &list);
    events.clear();
    list.BeginUpdate();
    list.BeginUpdate();
    list.AddObject(new TItem(2));
    list.Exchange(0, 1);
    list.FreeAt(0);
    list.EndUpdate();
    EXPECT_EQ(events, "<");
    list.EndUpdate();
    EXPECT_EQ(events, "<>");
    events.clear();
    TObjectList source(false, 0);
    TItem a(5), b(6);
    source.AddObject(&a);
    source.AddObject(&b);
    TObjectList borrowed(false, 0);
    borrowed.OnChange = list.OnChange;
    borrowed.OnChanging = list.OnChanging;
    borrowed.AddObjects(source);
    EXPECT_EQ(events, "<>");
    EXPECT_EQ(borrowed.Count(), 2);
    borrowed.Clear();
    borrowed.Clear(); // already empty: nothing to report
    EXPECT_EQ(events, "<><>");
}

TEST_F(ObjectList, SortedListDuplicateModes) {
    struct Case {
        TDuplicates mode;
        int count;           // items kept after adding 5, 3, 5
        bool laterFirst;     // the second 5 sits before the first
        bool raises;
    } cases[] = {
        {dupIgnore, 2, false, false},
        {dupAccept, 3, true, false},
        {dupError, 2, false, true},
    };
    for (const Case& c : cases) {
        TItemSortedList list(c.mode);
        auto* first = new TItem(5);
        auto* second = new TItem(5);
        EXPECT_EQ(list.AddObject(first), 0);
        list.AddObject(new TItem(3));
        if (c.raises) {
            try {
                list.AddObject(second);
                ADD_FAILURE() << "dupError accepted a duplicate";
            } catch (const host::EListError& e) {
                EXPECT_EQ(e.Message(), "Duplicate Object index");
            }
        } else {
            list.AddObject(second);
        }
        ASSERT_EQ(list.Count(), c.count) << int(c.mode);
        EXPECT_EQ(static_cast<TItem*>(list[0])->value, 3);
        if (c.laterFirst) {
            EXPECT_EQ(list[1], second);
            EXPECT_EQ(list[2], first);
        } else {
            EXPECT_EQ(list[1], first);
            delete second; // not taken
        }
    }
}

TEST_F(ObjectList, SortedListKeepsOrderAndRefusesPut) {
    TItemSortedList list(dupAccept);
    for (int v : {9, 1, 7, 3, 5, 3}) list.AddObject(new TItem(v));
    std::vector<int> values;
    for (int i = 0; i < list.Count(); ++i) values.push_back(static_cast<TItem*>(list[i])->value);
    EXPECT_EQ(values, (std::vector<int>{1, 3, 3, 5, 7, 9}));
    TItem probe(7);
    EXPECT_EQ(list.IndexOf(&probe), 4); // found by key, not by identity
    TItem missing(4);
    EXPECT_EQ(list.IndexOf(&missing), -1);
    int at = -1;
    EXPECT_FALSE(list.Search(&missing, at));
    EXPECT_EQ(at, 3);
    EXPECT_EQ(listErrorOf([&] { list.Put(0, &probe); }), "Cannot <Put> an Object in a sorted list!");
}
