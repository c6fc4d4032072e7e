#include "core/KvMath.h"

#include "platform/ui/SysUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kv;

TEST(KvMath, CeilAndFloorByTheFraction) {
    struct Case {
        long double x;
        std::int32_t ceil, floor;
    };
    const Case cases[] = {{1.5L, 2, 1}, {-1.5L, -1, -2}, {2.0L, 2, 2}, {-2.0L, -2, -2},
                          {0.0001L, 1, 0}, {-0.0001L, 0, -1}, {2147483646.5L, 2147483647, 2147483646}};
    for (const auto& t : cases) {
        SCOPED_TRACE(static_cast<double>(t.x));
        EXPECT_EQ(Ceil(t.x), t.ceil);
        EXPECT_EQ(Floor(t.x), t.floor);
    }
    EXPECT_THROW(Ceil(2147483647.5L), host::EIntOverflow);
    EXPECT_THROW(Floor(-2147483648.5L), host::EIntOverflow);
    EXPECT_THROW(Floor(std::numeric_limits<long double>::quiet_NaN()), host::EIntOverflow);
}

TEST(KvMath, ClampsModAndPowers) {
    EXPECT_EQ(LimitR(5, 10, 0), 5);
    EXPECT_EQ(LimitR(-3, 10, 0), 0);
    EXPECT_EQ(LimitR(11, 0, 10), 10);
    EXPECT_EQ(MinMaxR(-1, 0, 10), 0);
    EXPECT_EQ(MinMaxR(12, 0, 10), 10);
    EXPECT_EQ(ModR(7.5L, 2), 1.5L);
    EXPECT_EQ(ModR(-7.5L, 2), -1.5L); // the sign of x
    EXPECT_NEAR(static_cast<double>(Pow(2, 10)), 1024.0, 1e-12);
    EXPECT_NEAR(static_cast<double>(Pow(10, -2)), 0.01, 1e-15);
    EXPECT_EQ(Pow(-2, 3), -8);
    EXPECT_EQ(Pow(0, 2), 0);
    EXPECT_EQ(Pow(0, 0), 1);
    EXPECT_NEAR(static_cast<double>(Log2(1024)), 10.0, 1e-15);
    EXPECT_NEAR(static_cast<double>(Cotan(std::atan(0.25L))), 4.0, 1e-14);
}
