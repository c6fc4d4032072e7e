// The global heap: movable memory blocks addressed by handles, locked to get their address.
// Blocks are real heap allocations; a handle maps to its block so GlobalSize and GlobalHandle work.
#pragma once

#include "platform/win/WinTypes.h"

namespace win {

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_SHARE = 0x2000;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
HGLOBAL GlobalReAlloc(HGLOBAL mem, std::size_t bytes, UINT flags);
HGLOBAL GlobalFree(HGLOBAL mem); // returns nullptr on success, as the platform does
LPVOID GlobalLock(HGLOBAL mem);
BOOL GlobalUnlock(HGLOBAL mem);
std::size_t GlobalSize(HGLOBAL mem);
HGLOBAL GlobalHandle(const void* p);

// The pointer forms used by most of the library: allocate and lock in one step, free by address.
LPVOID GlobalAllocPtr(UINT flags, std::size_t bytes);
void GlobalFreePtr(LPVOID p);

} // namespace win
