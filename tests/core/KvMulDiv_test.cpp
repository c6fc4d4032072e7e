#include "core/KvInt64.h"
#include "core/KvMulDiv.h"

#include "platform/ui/SysUtils.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

using namespace kv;

TEST(KvMulDiv, SignedRounding) {
    struct Case {
        std::int32_t a, b, c, trunc, nearest;
    };
    const Case cases[] = {
        {7, 1, 2, 3, 4},      {-7, 1, 2, -3, -4},   {7, 1, -2, -3, -4},   {-7, -1, -2, -3, -4},
        {5, 1, 3, 1, 2},      {4, 1, 3, 1, 1},      {-5, 1, 3, -1, -2},   {6, 1, 3, 2, 2},
        // the product needs 64 bits, the quotient does not
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX}, {INT_MIN, 2, 4, INT_MIN / 2, INT_MIN / 2},
        {100000, 30000, 7, 428571428, 428571429},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(testing::Message() << t.a << " * " << t.b << " / " << t.c);
        EXPECT_EQ(MulDiv32(t.a, t.b, t.c), t.trunc);
        EXPECT_EQ(MulDiv32RN(t.a, t.b, t.c), t.nearest);
    }
}

TEST(KvMulDiv, UnsignedRounding) {
    struct Case {
        std::uint32_t a, b, c, down, nearest, up;
    };
    const Case cases[] = {
        {7, 1, 2, 3, 4, 4},
        {6, 1, 2, 3, 3, 3},
        {5, 1, 3, 1, 2, 2},
        {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
        {0xFFFFFFFF, 3, 4, 0xBFFFFFFF, 0xBFFFFFFF, 0xC0000000},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(testing::Message() << t.a << " * " << t.b << " / " << t.c);
        EXPECT_EQ(MulDivRD(t.a, t.b, t.c), t.down);
        EXPECT_EQ(MulDivRN(t.a, t.b, t.c), t.nearest);
        EXPECT_EQ(MulDivRU(t.a, t.b, t.c), t.up);
    }
}

TEST(KvMulDiv, QuotientsThatDoNotFitAndZeroDivisorsRaise) {
    EXPECT_THROW(MulDiv32(INT_MIN, 1, -1), host::EIntOverflow);
    EXPECT_THROW(MulDiv32(INT_MAX, 2, 1), host::EIntOverflow);
    EXPECT_THROW(MulDiv32RN(INT_MAX, 3, 2), host::EIntOverflow);
    EXPECT_THROW(MulDiv32RN(1, 1, 0), host::EDivByZero);
    EXPECT_THROW(MulDiv32(1, 1, 0), host::EDivByZero);
    EXPECT_THROW(MulDivRD(0xFFFFFFFF, 2, 1), host::EIntOverflow);
    EXPECT_THROW(MulDivRN(0xFFFFFFFF, 1, 0), host::EDivByZero);
    // 14329 × 599479 = 2^33 − 1: rounding down fits 32 bits, rounding to nearest or up does not
    EXPECT_EQ(MulDivRD(14329, 599479, 2), 0xFFFFFFFFu);
    EXPECT_THROW(MulDivRN(14329, 599479, 2), host::EIntOverflow);
    EXPECT_THROW(MulDivRU(14329, 599479, 2), host::EIntOverflow);
    EXPECT_THROW(MulDiv64(INT64_MAX, 2, 1), host::EIntOverflow);
    EXPECT_THROW(MulDiv64(INT64_MIN, 1, -1), host::EIntOverflow);
    EXPECT_THROW(MulDiv64(1, 1, 0), host::EDivByZero);
    EXPECT_THROW(RangeScale(5, 3, 3, 0, 10), host::EDivByZero);
    EXPECT_THROW(RangeScaleRN(5, 3, 3, 0, 10), host::EDivByZero);
    EXPECT_THROW(RangeScale(INT_MAX, 0, 1, 0, INT_MAX), host::EIntOverflow);
    EXPECT_THROW(int64x64(INT64_MAX, 2), host::EIntOverflow);
    EXPECT_THROW(int64Div32(1, 0), host::EDivByZero);
    EXPECT_THROW(int64Mod32(1, 0), host::EDivByZero);
}

TEST(KvMulDiv, DivMod32HasSixteenBitResults) {
    std::uint16_t q = 0, r = 0;
    DivMod32(1000003, 1000, q, r);
    EXPECT_EQ(q, 1000);
    EXPECT_EQ(r, 3);
    DivMod32(0xFFFF * 7 + 6, 7, q, r);
    EXPECT_EQ(q, 0xFFFF);
    EXPECT_EQ(r, 6);
    EXPECT_THROW(DivMod32(0x10000 * 7, 7, q, r), host::EIntOverflow);
    EXPECT_THROW(DivMod32(5, 0, q, r), host::EDivByZero);
}

TEST(KvMulDiv, ShiftsAreDefinedForEveryCount) {
    struct Case {
        std::int32_t x, n, sal, sar;
    };
    const Case cases[] = {
        {1, 0, 1, 1},           {-8, 2, -32, -2},      {1, 31, INT_MIN, 0},   {-1, 31, INT_MIN, -1},
        {0x40000000, 1, INT_MIN, 0x20000000},          {5, 32, 0, 0},         {-5, 32, 0, -1},
        {-5, 1000, 0, -1},      {8, -2, 2, 32},        {-8, -2, -2, -32},     {-8, -40, -1, 0},
        {7, INT_MIN, 0, 0},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(testing::Message() << t.x << " by " << t.n);
        EXPECT_EQ(Sal(t.x, t.n), t.sal);
        EXPECT_EQ(Sar(t.x, t.n), t.sar);
    }
}

TEST(KvMulDiv, RangeScaleMapsTheEndsAndIsLinearBetween) {
    EXPECT_EQ(RangeScale(10, 10, 20, -100, 300), -100);
    EXPECT_EQ(RangeScale(20, 10, 20, -100, 300), 300);
    EXPECT_EQ(RangeScale(15, 10, 20, -100, 300), 100);
    EXPECT_EQ(RangeScale(1, 0, 3, 0, 2), 0);   // 2/3 truncated
    EXPECT_EQ(RangeScaleRN(1, 0, 3, 0, 2), 1); // 2/3 rounded
    EXPECT_EQ(RangeScaleRN(1, 0, 2, 0, 1), 1); // a half goes away from zero
    EXPECT_EQ(RangeScaleRN(1, 0, 2, 0, -1), -1);
    // spans and products beyond 32 bits
    EXPECT_EQ(RangeScale(0, INT_MIN, INT_MAX, INT_MIN, INT_MAX), 0);
    EXPECT_EQ(RangeScale(INT_MAX, INT_MIN, INT_MAX, INT_MIN, INT_MAX), INT_MAX);
}

TEST(KvMulDiv, WideProductsAreExact) {
    EXPECT_TRUE(MulCompare(INT_MAX, INT_MAX, INT_MAX, INT_MAX));
    EXPECT_FALSE(MulCompare(65536, 65536, 1, 0)); // wraps to 0 in 32 bits
    EXPECT_TRUE(MulCompare(6, 4, -8, -3));
    // (2^62 × 3) / 4 needs more than 64 bits in between
    EXPECT_EQ(MulDiv64(std::int64_t(1) << 62, 3, 4), 3 * (std::int64_t(1) << 60));
    EXPECT_EQ(MulDiv64(-7, 1, 2), -3);
    EXPECT_EQ(MulDiv64(INT64_MAX, INT64_MAX, INT64_MAX), INT64_MAX);
    EXPECT_EQ(int64x64(3000000000LL, 3000000000LL), 9000000000000000000LL);
    EXPECT_EQ(int64Div32(-10000000000LL, 3), -3333333333LL);
    EXPECT_EQ(int64Mod32(-10000000000LL, 3), -1);
    EXPECT_EQ(int64Div32(INT64_MIN, 0xFFFFFFFFu), INT64_MIN / 0xFFFFFFFFLL);
}
