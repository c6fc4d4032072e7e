#include "dsp/KvMrkLst.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

using namespace kv;

namespace {

TKvMarker marker(std::int32_t id, std::int32_t offset, std::int32_t link = 0) {
    TKvMarker m;
    std::memset(&m, 0, sizeof m);
    m.ID = id;
    m.LinkID = link;
    m.Offset = offset;
    m.SetName("M" + std::to_string(id));
    m.Reserved2[7] = static_cast<std::uint8_t>(id);
    return m;
}

std::vector<std::int32_t> ids(const TKvMarkerList& l) {
    std::vector<std::int32_t> out;
    // Copies: a packed field may be misaligned, so no reference may bind to it.
    for (std::int32_t i = 0; i < l.Count(); ++i) out.push_back(std::int32_t{l.Get(i)->ID});
    return out;
}

} // namespace

TEST(KvMarkerList, AddMarkerKeepsOffsetOrderAndDuplicatesInArrivalOrder) {
    TKvMarkerList l;
    EXPECT_EQ(l.AddMarker(marker(1, 500)), 0);
    EXPECT_EQ(l.AddMarker(marker(2, 100)), 0);
    EXPECT_EQ(l.AddMarker(marker(3, 300)), 1);
    EXPECT_EQ(l.AddMarker(marker(4, 300)), 2); // after the marker already at 300
    EXPECT_EQ(l.AddMarker(marker(5, 900)), 4);
    EXPECT_EQ(ids(l), (std::vector<std::int32_t>{2, 3, 4, 1, 5}));

    EXPECT_EQ(l.FindMarker(300), 2);
    EXPECT_EQ(l.FindMarker(301), -1);
    EXPECT_EQ(l.FindMarker(50), -1);
    EXPECT_TRUE(l.QueryMarker(301));
    EXPECT_FALSE(l.QueryMarker(900));
    EXPECT_EQ(l.LocateMarker(300), 3);
    EXPECT_EQ(l.IndexOf(marker(99, 300)), 1); // compared by Offset alone
    EXPECT_EQ(l.Remove(marker(99, 300)), 1);
    EXPECT_EQ(ids(l), (std::vector<std::int32_t>{2, 4, 1, 5}));
    EXPECT_EQ(l.Get(1)->GetName(), "M4");
    EXPECT_EQ(l.Get(1)->Reserved2[7], 4); // uninterpreted bytes travel with the record
}

TEST(KvMarkerList, SetOffsetMovesTheMarkerToItsSortedPlace) {
    TKvMarkerList l;
    for (std::int32_t i = 1; i <= 5; ++i) l.AddMarker(marker(i, i * 100));
    int changes = 0;
    l.OnChange = [&](host::TObject*) { ++changes; };
    l.SetOffset(0, 450);
    EXPECT_EQ(ids(l), (std::vector<std::int32_t>{2, 3, 4, 1, 5}));
    l.SetOffset(4, -1);
    EXPECT_EQ(ids(l), (std::vector<std::int32_t>{5, 2, 3, 4, 1}));
    EXPECT_EQ(changes, 2);
    EXPECT_THROW(l.SetOffset(5, 0), host::EListError);
}

TEST(KvMarkerList, ShellSortMatchesAStableSortOnManyRecords) {
    // Gaps above 1 are used from 36 records on. Many offsets repeat; the same records (offset and ID)
    // must come out, in order of offset.
    for (int n : {0, 1, 2, 9, 40, 130, 1000}) {
        TKvMarkerList l;
        std::vector<std::pair<std::int32_t, std::int32_t>> expected;
        for (int i = 0; i < n; ++i) {
            const std::int32_t offset = (i * 7919) % 97 - 40;
            l.Add(marker(i + 1, offset));
            expected.emplace_back(offset, i + 1);
        }
        l.Sort();
        std::vector<std::pair<std::int32_t, std::int32_t>> got;
        for (std::int32_t i = 0; i < l.Count(); ++i) {
            got.emplace_back(std::int32_t{l.Get(i)->Offset}, std::int32_t{l.Get(i)->ID});
        }
        for (std::size_t i = 1; i < got.size(); ++i) ASSERT_LE(got[i - 1].first, got[i].first) << n;
        std::sort(expected.begin(), expected.end());
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, expected) << n;
    }
}

TEST(KvMarkerList, LinksIdsColoursExchangeAndMove) {
    TKvMarkerList l;
    l.AddMarker(marker(10, 0, 30));
    l.AddMarker(marker(20, 10, 0));
    l.AddMarker(marker(30, 20, 99));
    EXPECT_EQ(l.FindConnectedMarker(0), 2);
    EXPECT_EQ(l.FindConnectedMarker(1), -1);
    EXPECT_EQ(l.FindConnectedMarker(2), -1); // links to a marker that is not there
    EXPECT_THROW(l.FindConnectedMarker(3), host::EListError);

    std::set<std::int32_t> seen;
    for (int i = 0; i < 20; ++i) {
        const std::int32_t id = l.FindFreeID();
        EXPECT_GT(id, 0);
        EXPECT_NE(id, 10);
        EXPECT_NE(id, 20);
        EXPECT_NE(id, 30);
        seen.insert(id);
    }
    EXPECT_GT(seen.size(), 1u);

    std::string log;
    l.OnChanging = [&](host::TObject*) { log += '<'; };
    l.OnChange = [&](host::TObject*) { log += '>'; };
    l.SetColor(1, 0xFF);
    l.SetColor(1, 0xFF); // same colour: nothing
    EXPECT_EQ(std::uint32_t{l.Get(1)->Color}, 0xFFu);
    EXPECT_EQ(log, "<>");
    l.Exchange(0, 2);
    EXPECT_EQ(ids(l), (std::vector<std::int32_t>{30, 20, 10}));
    EXPECT_THROW(l.Exchange(0, 3), host::EListError);
    log.clear();
    l.Move(0, 2);
    EXPECT_EQ(ids(l), (std::vector<std::int32_t>{20, 10, 30}));
    EXPECT_EQ(log, "<>");
    l.Move(1, 1);
    EXPECT_THROW(l.Move(0, 3), host::EListError);
    EXPECT_EQ(log, "<>");
}

TEST(KvMarkerList, AssignCopiesAndSorts) {
    TKvMarkerList src;
    src.Add(marker(1, 300));
    src.Add(marker(2, 100)); // out of order on purpose
    TKvMarkerList dst;
    int changes = 0;
    dst.OnChange = [&](host::TObject*) { ++changes; };
    dst.Assign(&src);
    EXPECT_EQ(ids(dst), (std::vector<std::int32_t>{2, 1}));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(ids(src), (std::vector<std::int32_t>{1, 2}));
}
