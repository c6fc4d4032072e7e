#include "platform/win/GlobalMemory.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace win {
namespace {

// Blocks never move, so a handle and the address of its data are the same value. The table of live
// blocks lets every call check that it was given a block of this heap before touching it.
struct Block {
    std::size_t size;
    long locks;
};

constexpr std::size_t kMaxBlock = std::size_t(1) << 40;

std::mutex& heapLock() {
    static std::mutex m;
    return m;
}
std::unordered_map<const void*, Block>& blocks() {
    static std::unordered_map<const void*, Block> b;
    return b;
}

} // namespace

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
    if (bytes > kMaxBlock) return nullptr;
    void* p = (flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
    if (!p) return nullptr;
    std::lock_guard g(heapLock());
    blocks()[p] = Block{bytes, 0};
    return p;
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, std::size_t bytes, UINT flags) {
    if (bytes > kMaxBlock) return nullptr;
    std::lock_guard g(heapLock());
    auto it = blocks().find(mem);
    if (it == blocks().end()) return nullptr;
    Block b = it->second;
    void* n = std::realloc(mem, bytes ? bytes : 1);
    if (!n) return nullptr;
    blocks().erase(it);
    if ((flags & GMEM_ZEROINIT) && bytes > b.size) std::memset(static_cast<char*>(n) + b.size, 0, bytes - b.size);
    blocks()[n] = Block{bytes, b.locks};
    return n;
}

HGLOBAL GlobalFree(HGLOBAL mem) {
    if (!mem) return nullptr;
    {
        std::lock_guard g(heapLock());
        if (blocks().erase(mem) == 0) return mem;
    }
    std::free(mem);
    return nullptr;
}

LPVOID GlobalLock(HGLOBAL mem) {
    std::lock_guard g(heapLock());
    auto it = blocks().find(mem);
    if (it == blocks().end()) return nullptr;
    ++it->second.locks;
    return mem;
}

BOOL GlobalUnlock(HGLOBAL mem) {
    std::lock_guard g(heapLock());
    auto it = blocks().find(mem);
    if (it == blocks().end() || it->second.locks <= 0) return FALSE;
    return --it->second.locks > 0 ? TRUE : FALSE;
}

std::size_t GlobalSize(HGLOBAL mem) {
    std::lock_guard g(heapLock());
    auto it = blocks().find(mem);
    return it == blocks().end() ? 0 : it->second.size;
}

HGLOBAL GlobalHandle(const void* p) {
    std::lock_guard g(heapLock());
    return blocks().count(p) ? const_cast<void*>(p) : nullptr;
}

LPVOID GlobalAllocPtr(UINT flags, std::size_t bytes) { return GlobalLock(GlobalAlloc(flags, bytes)); }

void GlobalFreePtr(LPVOID p) {
    if (!p) return;
    GlobalUnlock(p);
    GlobalFree(p);
}

} // namespace win
