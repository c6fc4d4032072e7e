#include "dsp/KvCutLst.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kv;

namespace {

TKvCutRegion region(std::int32_t start, std::int32_t length) {
    return TKvCutRegion{start, start * 4, length, length * 4, 0};
}

std::vector<std::int32_t> starts(const TKvCutList& l) {
    std::vector<std::int32_t> out;
    for (std::int32_t i = 0; i < l.Count(); ++i) out.push_back(l.Get(i)->Start);
    return out;
}

// Records the notifications of a list as a string: '<' for OnChanging, '>' for OnChange.
struct Events {
    std::string log;
    void watch(TKvCutList& l) {
        l.OnChanging = [this](host::TObject*) { log += '<'; };
        l.OnChange = [this](host::TObject*) { log += '>'; };
    }
};

} // namespace

TEST(KvCutList, LocateAndFindRegions) {
    TKvCutList l;
    EXPECT_EQ(l.LocateRegion(5), -1);
    EXPECT_EQ(l.FindRegion(5), -1);
    ASSERT_TRUE(l.AddRegion(region(100, 50)));
    ASSERT_TRUE(l.AddRegion(region(0, 100)));
    EXPECT_EQ(starts(l), (std::vector<std::int32_t>{0, 100}));

    struct Case {
        std::int32_t sample, locate, find;
    };
    const Case cases[] = {{-5, 0, -1}, {0, 1, 0}, {50, 1, 0}, {99, 1, 0},
                          {100, 2, 1}, {149, 2, 1}, {150, 2, -1}, {1000, 2, -1}};
    for (const auto& t : cases) {
        SCOPED_TRACE(t.sample);
        EXPECT_EQ(l.LocateRegion(t.sample), t.locate);
        EXPECT_EQ(l.FindRegion(t.sample), t.find);
        EXPECT_EQ(l.QueryRegion(t.sample), t.find < 0);
    }
}

TEST(KvCutList, AddRegionRefusesAStartInsideAnotherRegion) {
    TKvCutList l;
    ASSERT_TRUE(l.AddRegion(region(100, 100)));
    Events e;
    e.watch(l);
    EXPECT_FALSE(l.AddRegion(region(150, 10)));
    EXPECT_FALSE(l.AddRegion(region(100, 1)));
    EXPECT_EQ(l.Count(), 1);
    EXPECT_EQ(e.log, "");
    // Overlaps are only looked for at the new start.
    EXPECT_TRUE(l.AddRegion(region(50, 100)));
    EXPECT_TRUE(l.AddRegion(region(200, 5)));
    EXPECT_TRUE(l.AddRegion(region(-10, 5)));
    EXPECT_EQ(starts(l), (std::vector<std::int32_t>{-10, 50, 100, 200}));
    EXPECT_EQ(e.log, "<><><>");
    EXPECT_EQ(l.IndexOf(region(50, 100)), 1);
    EXPECT_EQ(l.IndexOf(region(50, 99)), -1);
    EXPECT_EQ(l.Remove(region(50, 100)), 1);
    EXPECT_EQ(starts(l), (std::vector<std::int32_t>{-10, 100, 200}));
}

TEST(KvCutList, CapacityGrowsBy4Then8Then16) {
    TKvCutList l;
    std::vector<std::int32_t> capacities{l.Capacity()};
    for (int i = 0; i < 48; ++i) {
        l.Add(region(i, 1));
        if (l.Capacity() != capacities.back()) capacities.push_back(l.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<std::int32_t>{0, 4, 8, 16, 32, 48}));
    l.Clear();
    EXPECT_EQ(l.Count(), 0);
    EXPECT_EQ(l.Capacity(), 0);
}

TEST(KvCutList, IndexAndSizeErrorsRaiseTheListErrorText) {
    TKvCutList l;
    l.Add(region(0, 1));
    Events e;
    e.watch(l);
    try {
        l.Get(1);
        FAIL() << "no error";
    } catch (const host::EListError& err) {
        EXPECT_EQ(err.Message(), "リストのインデックスが範囲を超えています (1)");
    }
    EXPECT_THROW(l.Get(-1), host::EListError);
    EXPECT_THROW(l.Insert(2, region(5, 1)), host::EListError);
    EXPECT_THROW(l.Delete(1), host::EListError);
    EXPECT_THROW(l.Put(1, region(5, 1)), host::EListError);
    EXPECT_THROW(l.SetParams(1, 0, 0), host::EListError);
    EXPECT_THROW(l.SetCount(-1), host::EListError);
    EXPECT_THROW(l.SetCount(0x8000000), host::EListError);
    EXPECT_THROW(l.SetCapacity(0), host::EListError); // below Count
    EXPECT_THROW(l.SetCapacity(0x8000000), host::EListError);
    EXPECT_EQ(e.log, ""); // a refused operation notifies nobody
    EXPECT_EQ(l.Count(), 1);

    TKvCutList empty;
    EXPECT_THROW(empty.First(), host::EListError);
    EXPECT_THROW(empty.Last(), host::EListError);
}

TEST(KvCutList, EditingOperationsKeepTheRecordsInPlace) {
    TKvCutList l;
    for (std::int32_t s : {0, 10, 20}) l.Add(region(s, 5));
    l.Insert(0, region(-10, 5));
    l.Insert(4, region(30, 5));
    l.Insert(2, region(5, 1));
    EXPECT_EQ(starts(l), (std::vector<std::int32_t>{-10, 0, 5, 10, 20, 30}));
    l.Delete(2);
    l.Delete(4);
    EXPECT_EQ(starts(l), (std::vector<std::int32_t>{-10, 0, 10, 20}));
    l.Put(1, region(3, 2));
    EXPECT_EQ(l.Get(1)->StartBytes, 12);
    EXPECT_EQ(l.First()->Start, -10);
    EXPECT_EQ(l.Last()->Start, 20);

    l.SetCount(6); // new records are zero-filled
    EXPECT_EQ(l.Get(5)->Start | l.Get(5)->Length | l.Get(5)->UserValue, 0);
    l.SetCount(2);
    l.SetCapacity(2);
    EXPECT_EQ(l.Capacity(), 2);
    l.Expand();
    EXPECT_EQ(l.Capacity(), 6);
    EXPECT_EQ(starts(l), (std::vector<std::int32_t>{-10, 3}));
}

TEST(KvCutList, NotificationsAndAssign) {
    TKvCutList l;
    Events e;
    e.watch(l);
    l.Add(region(0, 10));
    EXPECT_EQ(e.log, "<>");
    e.log.clear();
    l.BeginUpdate();
    l.Add(region(10, 10));
    l.BeginUpdate();
    l.SetParams(0, 1, 2);
    l.EndUpdate();
    EXPECT_EQ(e.log, "<");
    l.EndUpdate();
    EXPECT_EQ(e.log, "<>");
    EXPECT_EQ(l.Get(0)->Start, 1);
    EXPECT_EQ(l.Get(0)->Length, 2);
    EXPECT_EQ(l.Get(0)->StartBytes, 0); // byte fields are left alone

    TKvCutList copy;
    Events ce;
    ce.watch(copy);
    copy.Add(region(99, 1));
    ce.log.clear();
    copy.Assign(&l);
    EXPECT_EQ(ce.log, "<>"); // one notification for the whole copy
    EXPECT_EQ(starts(copy), starts(l));
    e.log.clear();
    l.Assign(&l);
    EXPECT_EQ(e.log, "");
    EXPECT_EQ(l.Count(), 2);
    copy.Assign(nullptr);
    EXPECT_EQ(copy.Count(), 0);
}
