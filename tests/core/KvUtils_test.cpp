#include "core/KvUtils.h"

#include "platform/ui/SysUtils.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <numeric>
#include <vector>

using namespace kv;

TEST(KvUtils, ClampsAndRanges) {
    struct Case {
        std::int32_t x, a, b, limit;
        bool inRange;
    };
    const Case cases[] = {{5, 10, 0, 5, true},   {-3, 10, 0, 0, false}, {11, 10, 0, 10, false},
                          {11, 0, 10, 10, false}, {0, 0, 10, 0, true},  {10, 10, 0, 10, true}};
    for (const auto& t : cases) {
        SCOPED_TRACE(testing::Message() << t.x << " in " << t.a << ".." << t.b);
        EXPECT_EQ(Limit(t.x, t.a, t.b), t.limit);
        EXPECT_EQ(InRange(t.x, t.a, t.b), t.inRange);
    }
    EXPECT_EQ(MinMax(-5, 0, 10), 0);
    EXPECT_EQ(MinMax(15, 0, 10), 10);
    EXPECT_FALSE(InMinMax(5, 10, 0)); // bounds in this order only
    EXPECT_EQ(MinMax64(INT64_MAX, 0, 1LL << 40), 1LL << 40);
    EXPECT_TRUE(InMinMax64(1LL << 40, 0, 1LL << 41));
    EXPECT_EQ(Sign(-(1LL << 40)), -1);
    EXPECT_EQ(Sign(0), 0);
    EXPECT_EQ(Sign(1LL << 40), 1);
}

TEST(KvUtils, ProcedureVariablesCanBeReplaced) {
    auto* saved = Max;
    Max = [](std::int32_t, std::int32_t) { return std::int32_t(77); };
    EXPECT_EQ(Max(1, 2), 77);
    Max = saved;
    EXPECT_EQ(Max(1, 2), 2);
}

TEST(KvUtils, FillMoveAndCompareMemory) {
    unsigned char buf[11];
    std::memset(buf, 0xEE, sizeof buf);
    GlobalFillLong(buf, 10, 0x04030201);
    const unsigned char expected[11] = {1, 2, 3, 4, 1, 2, 3, 4, 1, 1, 0xEE};
    EXPECT_EQ(std::memcmp(buf, expected, sizeof buf), 0);
    GlobalFillLong(buf, -4, 0); // negative counts do nothing
    GlobalFillMem(buf, 0, 0);
    EXPECT_EQ(std::memcmp(buf, expected, sizeof buf), 0);
    GlobalFillMem(buf + 1, 3, 9);
    EXPECT_EQ(buf[0], 1);
    EXPECT_EQ(buf[3], 9);
    EXPECT_EQ(buf[4], 1);

    // Overlapping moves in both directions.
    std::vector<int> v(10), w;
    std::iota(v.begin(), v.end(), 0);
    GlobalMoveMem(v.data(), v.data() + 2, 6 * sizeof(int));
    EXPECT_EQ(v, (std::vector<int>{0, 1, 0, 1, 2, 3, 4, 5, 8, 9}));
    GlobalMoveMem(v.data() + 2, v.data(), 6 * sizeof(int));
    EXPECT_EQ(v, (std::vector<int>{0, 1, 2, 3, 4, 5, 4, 5, 8, 9}));

    const char a[] = "abcdefgh1", b[] = "abcdefgh2";
    EXPECT_TRUE(GlobalCmpMem(a, b, 8));
    EXPECT_FALSE(GlobalCmpMem(a, b, 9));
    EXPECT_FALSE(GlobalCmpMem("ab", "ax", 2));
    EXPECT_TRUE(GlobalCmpMem(a, b, 0));

    void* p = buf;
    incHuge(p, 3);
    EXPECT_EQ(p, buf + 3);
    incHuge(p, -3);
    EXPECT_EQ(p, buf);
}

TEST(KvUtils, GlobalMemoryBlocksAreZeroFilledAndKnowTheirSize) {
    auto* p = static_cast<unsigned char*>(GlobalAllocMem(1000));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(GlobalMemSize(p), 1000);
    EXPECT_EQ(p[0] | p[999], 0);
    p[5] = 7;
    GlobalReAllocMem(p, 2000); // a new block: contents are not kept
    EXPECT_EQ(GlobalMemSize(p), 2000);
    EXPECT_EQ(p[5], 0);
    GlobalFreeMem(p);
    EXPECT_EQ(p, nullptr);
    GlobalFreeMem(p); // freeing none is harmless
    EXPECT_EQ(GlobalMemSize(nullptr), 0);
    int local = 0;
    EXPECT_EQ(GlobalMemSize(&local), 0);

    void* q = GlobalAllocMem(0);
    EXPECT_EQ(GlobalMemSize(q), 0);
    GlobalFreeMem(q);
    EXPECT_THROW(GlobalAllocMem(-1), host::EOutOfMemory);
    void* r = GlobalAllocMem(16);
    EXPECT_THROW(GlobalReAllocMem(r, -1), host::EOutOfMemory);
    EXPECT_EQ(r, nullptr); // the old block is gone either way, and not left dangling
}
