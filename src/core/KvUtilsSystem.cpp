// System detection: the platform's version family, the processor and its load, and display metrics.
#include "core/KvUtils.h"

#include "platform/win/Display.h"
#include "platform/win/SystemMetrics.h"

#include <cstdio>
#include <ctime>
#include <mutex>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define KV_X86 1
#endif

namespace kv {
namespace {

// The platform belongs to the NT family (platform id 2) at version 4 or later, like every current
// system of that line.
constexpr unsigned PlatformId = 2; // 1: the Windows 9x family, 2: the NT family
constexpr unsigned MajorVersion = 10;
constexpr unsigned MinorVersion = 0;

// CPUID leaf 1: EAX holds the signature, EDX the feature flags. False without CPUID or leaf 1.
bool cpuidLeaf1(unsigned& eax, unsigned& edx) {
#ifdef KV_X86
    unsigned ebx = 0, ecx = 0;
    if (__get_cpuid_max(0, nullptr) < 1) return false;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0;
#else
    eax = edx = 0;
    return false;
#endif
}

struct CpuTimes {
    unsigned long long total = 0, idle = 0;
};

// The system-wide processor time counters of /proc/stat, in clock ticks since boot.
bool readCpuTimes(CpuTimes& times) {
    std::FILE* f = std::fopen("/proc/stat", "r");
    if (!f) return false;
    unsigned long long v[8] = {};
    int n = std::fscanf(f, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1], &v[2], &v[3], &v[4],
                        &v[5], &v[6], &v[7]);
    std::fclose(f);
    if (n < 4) return false;
    // user, nice, system, idle, iowait, irq, softirq, steal; guest time is already part of user.
    times.total = 0;
    for (unsigned long long x : v)
        times.total += x;
    times.idle = v[3] + v[4];
    return true;
}

} // namespace

bool _Win95_ = PlatformId == 1 && MajorVersion == 4 && MinorVersion == 0;
bool _Win98_ = PlatformId == 1 && MajorVersion == 4 && MinorVersion == 10;
bool _WinNT3_ = PlatformId == 2 && MajorVersion == 3;
bool _WinNT4_ = PlatformId == 2 && MajorVersion > 3;
bool _WinNT_ = _WinNT3_ || _WinNT4_;
std::int32_t _CPU_ = GetCPUType();
bool _MMX_ = (GetCPUFeatures() >> 23) & 1;
bool _USECPUEXT_ = true;

bool HaveWin95() {
    return _Win95_;
}
bool HaveWin98() {
    return _Win98_;
}
bool HaveWinNT() {
    return _WinNT_;
}
bool HaveWinNT4() {
    return _WinNT4_;
}

// The processor class by the family of CPUID leaf 1: 4 for a 486, 5 for a Pentium (586), 6 for the
// 686 class, which takes in every later family as well (family 15 and the extended families). 3 (a 386)
// for an x86 processor without CPUID. 0 on processors of other architectures.
std::int32_t GetCPUType() {
#ifdef KV_X86
    unsigned eax = 0, edx = 0;
    if (!cpuidLeaf1(eax, edx)) return 3;
    unsigned family = (eax >> 8) & 0xF;
    if (family == 0xF) family += (eax >> 20) & 0xFF;
    return family <= 3 ? 3 : family >= 6 ? 6 : std::int32_t(family);
#else
    return 0;
#endif
}

// The feature flags of CPUID leaf 1 (EDX): bit 0 FPU, 4 TSC, 15 CMOV, 23 MMX, 25 SSE, 26 SSE2. 0 where
// there is no such instruction.
std::uint32_t GetCPUFeatures() {
    unsigned eax = 0, edx = 0;
    return cpuidLeaf1(eax, edx) ? edx : 0;
}

// The processor's operating mode, as the width in bits of the code running: 64 in 64-bit (long) mode,
// 32 in 32-bit protected mode.
std::int32_t GetCPUMode() {
    return std::int32_t(sizeof(void*) * 8);
}

// The time-stamp counter on x86; elsewhere a monotonic clock in nanoseconds.
std::int64_t GetCPUCycles() {
#ifdef KV_X86
    return std::int64_t(__rdtsc());
#else
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
#endif
}

// The percentage of processor time (all processors together) spent busy since the previous call; the
// first call measures from system start. A call within the same clock tick repeats the last result; 0
// when the counters cannot be read.
std::int32_t GetCPUUsage() {
    static std::mutex mutex;
    static CpuTimes previous;
    static std::int32_t last = 0;
    CpuTimes now;
    if (!readCpuTimes(now)) return 0;
    std::lock_guard lock(mutex);
    if (now.total <= previous.total) return last;
    unsigned long long total = now.total - previous.total;
    unsigned long long idle = now.idle >= previous.idle ? now.idle - previous.idle : 0;
    if (idle > total) idle = total;
    last = std::int32_t(((total - idle) * 100 + total / 2) / total);
    previous = now;
    return last;
}

std::int32_t BitsPerPixel() {
    return win::DisplayBitsPerPixel();
}

std::int32_t NonClientHeight() {
    return win::GetSystemMetrics(win::SM_CYCAPTION) + 2 * win::GetSystemMetrics(win::SM_CYFRAME);
}

std::int32_t MenuHeight() {
    return win::GetSystemMetrics(win::SM_CYMENU);
}

} // namespace kv
