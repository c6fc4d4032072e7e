#include "platform/win/WinMath.h"

#include <gtest/gtest.h>

#include <climits>

TEST(WinMath, MulDivRoundsHalvesAwayFromZeroAndAnswersMinusOneOnFailure) {
    struct Case {
        win::INT a, b, c, result;
    };
    const Case cases[] = {
        {7, 1, 2, 4},         {-7, 1, 2, -4},          {7, -1, 2, -4},      {7, 1, -2, -4},
        {5, 1, 3, 2},         {4, 1, 3, 1},            {0, 5, 3, 0},        {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
        {65536, 65536, 2, -1}, // 2^31 does not fit
        {INT_MIN, 1, 1, INT_MIN}, {INT_MIN, -1, 1, -1},
        {5, 5, 0, -1},
    };
    for (const auto& t : cases) {
        EXPECT_EQ(win::MulDiv(t.a, t.b, t.c), t.result) << t.a << " * " << t.b << " / " << t.c;
    }
}
