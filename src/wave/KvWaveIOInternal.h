// What the sources of the wave file unit share: conversions on a block's unsigned fields, the raw-file
// handle kept in the block, the block's allocation, and the side data kept for a block outside its
// fixed layout (the scan's repair notes, chunks to copy when the file is finished).
#pragma once

#include "wave/KvWaveIO.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kv::wio {

// 32-bit conversions on the block's format for the block's unsigned fields (capped at 0xFFFFFFFF).
win::DWORD bytesToSamples(const TWAVEIOCB* cb, win::DWORD bytes);
win::DWORD samplesToBytes(const TWAVEIOCB* cb, win::DWORD samples);
// The format tag that names a format (an EXTENSIBLE format's standard sub-format).
win::WORD namingTag(const TWaveFormatEx* wfx);

// A zero-filled block of WAVEIOCB_FIXED_SIZE + formatBytes bytes with BlockSize set; null when the
// memory is not there.
PWAVEIOCB allocBlock(std::size_t formatBytes);

// Raw files keep their runtime file handle + 1 in Handle, so that a closed file is a null Handle.
inline int rawHandle(const TWAVEIOCB* cb) {
    return int(reinterpret_cast<std::intptr_t>(cb->Handle)) - 1;
}
inline void setRawHandle(TWAVEIOCB* cb, int handle) {
    cb->Handle = handle < 0 ? nullptr : reinterpret_cast<win::HANDLE>(std::intptr_t(handle) + 1);
}
inline win::HMMIO mmioHandle(const TWAVEIOCB* cb) {
    return static_cast<win::HMMIO>(cb->Handle);
}

// A chunk copied from another file, written into this block's file when it is finished.
struct PendingChunk {
    win::FOURCC id;
    std::vector<std::uint8_t> data;
};

void setRepairs(const TWAVEIOCB* cb, std::vector<std::string> repairs);
void addPendingChunk(const TWAVEIOCB* cb, PendingChunk chunk);
std::vector<PendingChunk> takePendingChunks(const TWAVEIOCB* cb);
void dropSideData(const TWAVEIOCB* cb);

} // namespace kv::wio
