#include "platform/win/PerformanceCounter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace win;

TEST(WinPerformanceCounter, CountsNanosecondsMonotonically) {
    LARGE_INTEGER f{}, a{}, b{};
    ASSERT_TRUE(QueryPerformanceFrequency(&f));
    EXPECT_EQ(f.QuadPart, 1000000000);
    ASSERT_TRUE(QueryPerformanceCounter(&a));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(QueryPerformanceCounter(&b));
    EXPECT_GE(b.QuadPart - a.QuadPart, 10000000);
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
    EXPECT_FALSE(QueryPerformanceFrequency(nullptr));
}
