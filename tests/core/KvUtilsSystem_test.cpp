#include "core/KvUtils.h"

#include "platform/win/Display.h"
#include "platform/win/SystemMetrics.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

using namespace kv;

namespace {

// The flags line of /proc/cpuinfo, as an independent account of the processor's features.
std::string cpuinfoFlags() {
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("flags", 0) == 0) return line.substr(line.find(':') + 1) + " ";
    return {};
}

bool hasFlag(const std::string& flags, const std::string& flag) {
    return flags.find(" " + flag + " ") != std::string::npos;
}

} // namespace

TEST(KvUtilsSystem, ThePlatformIsOfTheNt4AndLaterFamily) {
    EXPECT_TRUE(_WinNT4_);
    EXPECT_TRUE(_WinNT_);
    EXPECT_FALSE(_WinNT3_ || _Win95_ || _Win98_);
    EXPECT_TRUE(HaveWinNT() && HaveWinNT4());
    EXPECT_FALSE(HaveWin95() || HaveWin98());
    EXPECT_TRUE(_USECPUEXT_);
    EXPECT_EQ(GetCPUMode(), int(sizeof(void*) * 8));
}

TEST(KvUtilsSystem, ProcessorTypeAndFeaturesAgreeWithTheKernelsAccount) {
    EXPECT_EQ(_CPU_, GetCPUType());
#if defined(__x86_64__) || defined(__i386__)
    std::string flags = cpuinfoFlags();
    if (flags.empty()) GTEST_SKIP() << "no /proc/cpuinfo";
    std::uint32_t features = GetCPUFeatures();
    EXPECT_EQ(_MMX_, hasFlag(flags, "mmx"));
    EXPECT_EQ((features >> 23) & 1, hasFlag(flags, "mmx") ? 1u : 0u);
    EXPECT_EQ((features >> 26) & 1, hasFlag(flags, "sse2") ? 1u : 0u);
    EXPECT_EQ((features >> 4) & 1, hasFlag(flags, "tsc") ? 1u : 0u);
    EXPECT_EQ(GetCPUType(), 6); // every 64-bit x86 processor is of the 686 class or later
#else
    EXPECT_EQ(GetCPUType(), 0);
    EXPECT_FALSE(_MMX_);
#endif
}

TEST(KvUtilsSystem, CyclesAdvanceAndUsageIsAPercentage) {
    std::int64_t before = GetCPUCycles();
    GetCPUUsage();
    // Keep one processor busy for a while: the share of busy time must show.
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    volatile unsigned spin = 0;
    while (std::chrono::steady_clock::now() < end)
        spin = spin + 1;
    std::int32_t usage = GetCPUUsage();
    EXPECT_GT(GetCPUCycles(), before);
    EXPECT_GE(usage, 1);
    EXPECT_LE(usage, 100);
}

TEST(KvUtilsSystem, DisplayDepthAndWindowMetrics) {
    win::SetDisplayBitsPerPixelForTesting(16);
    EXPECT_EQ(BitsPerPixel(), 16);
    win::SetDisplayBitsPerPixelForTesting(0);
    EXPECT_EQ(BitsPerPixel(), win::DisplayBitsPerPixel());
    EXPECT_EQ(NonClientHeight(), 19 + 2 * 4);
    EXPECT_EQ(MenuHeight(), 19);
    EXPECT_EQ(win::GetSystemMetrics(win::SM_CXSCREEN), 1920);
    EXPECT_EQ(win::GetSystemMetrics(9999), 0);
}
