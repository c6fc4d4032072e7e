// The state behind one mmio handle and the helpers the mmio functions share: the handle table, the
// I/O procedure calls, and the buffer bookkeeping. Positions are computed in 64 bits and kept within
// what a LONG can express, so the LONG-based functions never report a wrapped offset.
#pragma once

#include "platform/mmio/Mmio.h"

#include <cstdint>
#include <memory>

namespace win::mmio {

constexpr std::int64_t kMaxPosition = 0x7FFFFFFF;
// The largest I/O buffer and the largest memory image mmio allocates itself.
constexpr std::int64_t kMaxBuffer = 256 * 1024 * 1024;

struct MmioFile {
    MMIOINFO info{};
    LPMMIOPROC proc = nullptr;
    bool memory = false;           // a memory image: the buffer is the whole file
    std::unique_ptr<char[]> owned; // the buffer or image mmio allocated, if any
    std::int64_t ownedSize = 0;
};

// The handle table: handles are never reused, so a closed handle is reliably rejected.
HMMIO registerFile(std::unique_ptr<MmioFile> file);
MmioFile* lookup(HMMIO hmmio);
std::unique_ptr<MmioFile> unregisterFile(HMMIO hmmio);

// The built-in I/O procedures and the installed ones.
LRESULT dosIOProc(LPSTR lpmmioinfo, UINT msg, LPARAM lParam1, LPARAM lParam2);
LRESULT memIOProc(LPSTR lpmmioinfo, UINT msg, LPARAM lParam1, LPARAM lParam2);
LPMMIOPROC findIOProc(FOURCC fcc);
// The full length of a file open through the "DOS " procedure, also beyond what a LONG holds; -1 on error.
std::int64_t dosLength(const MMIOINFO& info);

inline LRESULT send(MmioFile& f, UINT msg, LPARAM a, LPARAM b) {
    return f.proc(reinterpret_cast<LPSTR>(&f.info), msg, a, b);
}

inline bool buffered(const MmioFile& f) {
    return f.memory || f.info.pchBuffer != nullptr;
}
inline std::int64_t nextIndex(const MmioFile& f) {
    return f.info.pchNext - f.info.pchBuffer;
}
inline std::int64_t validIndex(const MmioFile& f) {
    return f.info.pchEndRead - f.info.pchBuffer;
}
inline std::int64_t tell(const MmioFile& f) {
    return buffered(f) ? std::int64_t(f.info.lBufOffset) + nextIndex(f) : f.info.lDiskOffset;
}
inline DWORD rwMode(const MmioFile& f) {
    return f.info.dwFlags & MMIO_RWMODE;
}
inline bool canRead(const MmioFile& f) {
    return rwMode(f) != MMIO_WRITE;
}
inline bool canWrite(const MmioFile& f) {
    return rwMode(f) != MMIO_READ;
}

// Writes a dirty buffer out; 0 or MMIOERR_CANNOTWRITE.
MMRESULT flushBuffer(MmioFile& f);
// Empties the buffer and places its start at pos (nothing is read).
void resetBuffer(MmioFile& f, std::int64_t pos);
// Moves the I/O procedure's position to pos when it is elsewhere.
bool diskSeek(MmioFile& f, std::int64_t pos);
// The length of the file, counting bytes still in the buffer.
std::int64_t fileLength(MmioFile& f);
// Gives a memory image room for at least `needed` bytes; MMIOERR_CANNOTEXPAND when it may not grow.
MMRESULT growMemory(MmioFile& f, std::int64_t needed);
// Installs a buffer (null buf with size: an internal one; size 0: unbuffered) at the current position.
MMRESULT installBuffer(MmioFile& f, char* buf, std::int64_t size);

} // namespace win::mmio
