// Helpers shared by the sources of the RIFF unit: its memory blocks and a look at how many bytes an
// open file still holds, so that no size read from a file is allocated before it is known to fit.
#pragma once

#include "platform/mmio/Mmio.h"
#include "platform/win/GlobalMemory.h"

#include <cstddef>
#include <cstdint>

namespace kv::riff {

inline void* allocBlock(std::size_t bytes) {
    return win::GlobalAllocPtr(win::GMEM_MOVEABLE | win::GMEM_ZEROINIT, bytes);
}
template <typename T> void freeBlock(T*& p) {
    if (p) win::GlobalFreePtr(const_cast<void*>(static_cast<const void*>(p)));
    p = nullptr;
}

// Bytes between the current position of the file and its end, or -1 when the file cannot tell; the
// position is left where it was.
std::int64_t bytesAvailable(win::HMMIO hmmio);

// The size of a block of this heap, 0 for memory that is not one.
std::size_t blockSize(const void* p);

} // namespace kv::riff
