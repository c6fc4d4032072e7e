// Unit variables, the elementary routines behind the procedure variables, 64-bit compares and the
// global-heap memory blocks.
#include "core/KvUtils.h"

#include "platform/ui/SysUtils.h"
#include "platform/win/GlobalMemory.h"

#include <cstring>
#include <utility>

namespace kv {
namespace {

void swapSmall(std::int16_t& a, std::int16_t& b) { std::swap(a, b); }
void swapInt(std::int32_t& a, std::int32_t& b) { std::swap(a, b); }

std::int32_t minPlain(std::int32_t a, std::int32_t b) { return a < b ? a : b; }
std::int32_t maxPlain(std::int32_t a, std::int32_t b) { return a > b ? a : b; }

std::int32_t minMaxPlain(std::int32_t x, std::int32_t lo, std::int32_t hi) { return x < lo ? lo : Min(x, hi); }

std::int32_t limitPlain(std::int32_t x, std::int32_t a, std::int32_t b) {
    if (a > b) std::swap(a, b);
    return x < a ? a : (x > b ? b : x);
}

bool inMinMaxPlain(std::int32_t x, std::int32_t lo, std::int32_t hi) { return lo <= x && x <= hi; }

bool inRangePlain(std::int32_t x, std::int32_t a, std::int32_t b) {
    if (a > b) std::swap(a, b);
    return a <= x && x <= b;
}

// Address arithmetic done on the integer value, so stepping a null or foreign pointer is not undefined.
void incHugePlain(void*& p, std::intptr_t n) {
    p = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(p) + static_cast<std::uintptr_t>(n));
}

void fillMemPlain(void* p, std::int32_t n, std::uint8_t value) {
    if (n > 0) std::memset(p, value, static_cast<std::size_t>(n));
}

void fillLongPlain(void* p, std::int32_t n, std::uint32_t value) {
    if (n <= 0) return;
    auto* d = static_cast<unsigned char*>(p);
    const std::int32_t words = n / 4;
    for (std::int32_t i = 0; i < words; ++i, d += 4) std::memcpy(d, &value, 4);
    std::memset(d, static_cast<unsigned char>(value & 0xFF), static_cast<std::size_t>(n % 4));
}

void moveMemPlain(const void* src, void* dst, std::int32_t n) {
    if (n > 0) std::memmove(dst, src, static_cast<std::size_t>(n));
}

bool cmpMemPlain(const void* p, const void* q, std::int32_t n) {
    return n <= 0 || std::memcmp(p, q, static_cast<std::size_t>(n)) == 0;
}

} // namespace

void (*SwapSmall)(std::int16_t&, std::int16_t&) = swapSmall;
void (*SwapInt)(std::int32_t&, std::int32_t&) = swapInt;
void (*SwapLong)(std::int32_t&, std::int32_t&) = swapInt;
std::int32_t (*Min)(std::int32_t, std::int32_t) = minPlain;
std::int32_t (*Max)(std::int32_t, std::int32_t) = maxPlain;
std::int32_t (*MinMax)(std::int32_t, std::int32_t, std::int32_t) = minMaxPlain;
std::int32_t (*Limit)(std::int32_t, std::int32_t, std::int32_t) = limitPlain;
bool (*InMinMax)(std::int32_t, std::int32_t, std::int32_t) = inMinMaxPlain;
bool (*InRange)(std::int32_t, std::int32_t, std::int32_t) = inRangePlain;
void (*incHuge)(void*&, std::intptr_t) = incHugePlain;
void (*GlobalFillMem)(void*, std::int32_t, std::uint8_t) = fillMemPlain;
void (*GlobalFillLong)(void*, std::int32_t, std::uint32_t) = fillLongPlain;
void (*GlobalMoveMem)(const void*, void*, std::int32_t) = moveMemPlain;
bool (*GlobalCmpMem)(const void*, const void*, std::int32_t) = cmpMemPlain;

std::int64_t Min64(std::int64_t a, std::int64_t b) { return a < b ? a : b; }
std::int64_t Max64(std::int64_t a, std::int64_t b) { return a > b ? a : b; }
std::int64_t MinMax64(std::int64_t x, std::int64_t lo, std::int64_t hi) { return x < lo ? lo : Min64(x, hi); }
bool InMinMax64(std::int64_t x, std::int64_t lo, std::int64_t hi) { return lo <= x && x <= hi; }
std::int32_t Sign(std::int64_t x) { return x < 0 ? -1 : (x > 0 ? 1 : 0); }

void* GlobalAllocMem(std::int32_t n) {
    void* p = n < 0 ? nullptr : win::GlobalAllocPtr(win::GPTR, static_cast<std::size_t>(n));
    if (!p) throw host::EOutOfMemory("Out of memory");
    return p;
}

void GlobalReAllocMem(void*& p, std::int32_t n) {
    GlobalFreeMem(p);
    p = GlobalAllocMem(n);
}

void GlobalFreeMem(void*& p) {
    if (p) win::GlobalFreePtr(p);
    p = nullptr;
}

std::int32_t GlobalMemSize(const void* p) {
    if (!p) return 0;
    const std::size_t size = win::GlobalSize(win::GlobalHandle(p));
    return size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<std::int32_t>(size);
}

} // namespace kv
