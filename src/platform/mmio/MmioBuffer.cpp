// Buffered and unbuffered reading, writing and seeking, and direct access to the I/O buffer.
#include "platform/mmio/MmioFile.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace win::mmio {

bool diskSeek(MmioFile& f, std::int64_t pos) {
    if (pos < 0 || pos > kMaxPosition) return false;
    if (f.info.lDiskOffset == pos) return true;
    return send(f, MMIOM_SEEK, LPARAM(pos), SEEK_SET) == LRESULT(pos);
}

void resetBuffer(MmioFile& f, std::int64_t pos) {
    f.info.lBufOffset = LONG(pos);
    f.info.pchNext = f.info.pchEndRead = f.info.pchBuffer;
    f.info.pchEndWrite = f.info.pchBuffer ? f.info.pchBuffer + f.info.cchBuffer : nullptr;
}

MMRESULT flushBuffer(MmioFile& f) {
    if (f.memory || !(f.info.dwFlags & MMIO_DIRTY)) return MMSYSERR_NOERROR;
    std::int64_t bytes = std::max(validIndex(f), nextIndex(f));
    if (!diskSeek(f, f.info.lBufOffset)) return MMIOERR_CANNOTWRITE;
    if (bytes > 0 && send(f, MMIOM_WRITE, LPARAM(f.info.pchBuffer), LPARAM(bytes)) != LRESULT(bytes))
        return MMIOERR_CANNOTWRITE;
    f.info.dwFlags &= ~MMIO_DIRTY;
    return MMSYSERR_NOERROR;
}

std::int64_t fileLength(MmioFile& f) {
    if (f.memory) return validIndex(f);
    std::int64_t length = -1;
    if (f.proc == dosIOProc) {
        length = dosLength(f.info); // also a length past what a LONG holds, for the checks to judge
    } else {
        std::int64_t keep = f.info.lDiskOffset;
        length = send(f, MMIOM_SEEK, 0, SEEK_END);
        diskSeek(f, keep);
    }
    if (length < 0) return -1;
    if (buffered(f)) length = std::max(length, std::int64_t(f.info.lBufOffset) + validIndex(f));
    return length;
}

MMRESULT growMemory(MmioFile& f, std::int64_t needed) {
    if (needed <= f.info.cchBuffer) return MMSYSERR_NOERROR;
    std::int64_t step = f.info.adwInfo[0];
    if (step == 0 || needed > kMaxBuffer) return MMIOERR_CANNOTEXPAND;
    // Grow by whole increments; a huge increment is cut back to what the image may reach.
    std::int64_t size = f.info.cchBuffer + ((needed - f.info.cchBuffer + step - 1) / step) * step;
    size = std::min(size, kMaxBuffer);
    std::unique_ptr<char[]> image(new (std::nothrow) char[std::size_t(size)]);
    if (!image) return MMIOERR_OUTOFMEMORY;
    std::int64_t next = nextIndex(f), valid = validIndex(f);
    if (valid > 0) std::memcpy(image.get(), f.info.pchBuffer, std::size_t(valid));
    std::memset(image.get() + valid, 0, std::size_t(size - valid));
    f.owned = std::move(image);
    f.ownedSize = size;
    f.info.pchBuffer = f.owned.get();
    f.info.cchBuffer = LONG(size);
    f.info.pchNext = f.info.pchBuffer + next;
    f.info.pchEndRead = f.info.pchBuffer + valid;
    f.info.pchEndWrite = f.info.pchBuffer + size;
    return MMSYSERR_NOERROR;
}

MMRESULT installBuffer(MmioFile& f, char* buf, std::int64_t size) {
    std::int64_t pos = tell(f);
    std::unique_ptr<char[]> mine;
    if (!buf && size > 0) {
        if (size > kMaxBuffer) return MMIOERR_OUTOFMEMORY;
        mine.reset(new (std::nothrow) char[std::size_t(size)]);
        if (!mine) return MMIOERR_OUTOFMEMORY;
        buf = mine.get();
    }
    f.owned = std::move(mine);
    f.ownedSize = f.owned ? size : 0;
    f.info.dwFlags = f.owned ? (f.info.dwFlags | MMIO_ALLOCBUF) : (f.info.dwFlags & ~MMIO_ALLOCBUF);
    f.info.pchBuffer = size > 0 ? buf : nullptr;
    f.info.cchBuffer = size > 0 ? LONG(size) : 0;
    resetBuffer(f, pos);
    if (!f.info.pchBuffer) {
        f.info.lBufOffset = 0;
        if (!diskSeek(f, pos)) return MMIOERR_CANNOTSEEK;
    }
    return MMSYSERR_NOERROR;
}

namespace {

// Fills the buffer from the current position; the count read, or -1.
LRESULT refill(MmioFile& f) {
    std::int64_t pos = tell(f);
    if (flushBuffer(f) != MMSYSERR_NOERROR) return -1;
    resetBuffer(f, pos);
    if (!diskSeek(f, pos)) return -1;
    std::int64_t room = std::min<std::int64_t>(f.info.cchBuffer, kMaxPosition - pos);
    LRESULT n = room > 0 ? send(f, MMIOM_READ, LPARAM(f.info.pchBuffer), LPARAM(room)) : 0;
    if (n < 0 || n > room) return -1;
    f.info.pchEndRead = f.info.pchBuffer + n;
    return n;
}

LONG readBuffered(MmioFile& f, char* out, std::int64_t want) {
    std::int64_t done = 0;
    while (done < want) {
        std::int64_t avail = validIndex(f) - nextIndex(f);
        if (avail > 0) {
            std::int64_t n = std::min(avail, want - done);
            std::memcpy(out + done, f.info.pchNext, std::size_t(n));
            f.info.pchNext += n;
            done += n;
            continue;
        }
        if (f.memory) break;
        if (want - done >= f.info.cchBuffer) { // large reads bypass the buffer
            std::int64_t pos = tell(f);
            if (flushBuffer(f) != MMSYSERR_NOERROR || !diskSeek(f, pos)) return done ? LONG(done) : -1;
            LRESULT n = send(f, MMIOM_READ, LPARAM(out + done), LPARAM(want - done));
            if (n < 0) return done ? LONG(done) : -1;
            resetBuffer(f, pos + n);
            done += n;
            break;
        }
        LRESULT n = refill(f);
        if (n < 0) return done ? LONG(done) : -1;
        if (n == 0) break;
    }
    return LONG(done);
}

LONG writeBuffered(MmioFile& f, const char* in, std::int64_t want) {
    std::int64_t done = 0;
    while (done < want) {
        std::int64_t space = f.info.cchBuffer - nextIndex(f);
        if (f.memory && space < want - done && growMemory(f, nextIndex(f) + want - done) == MMSYSERR_NOERROR)
            space = f.info.cchBuffer - nextIndex(f);
        if (space > 0) {
            std::int64_t n = std::min(space, want - done);
            std::memcpy(f.info.pchNext, in + done, std::size_t(n));
            f.info.pchNext += n;
            f.info.pchEndRead = std::max(f.info.pchEndRead, f.info.pchNext);
            f.info.dwFlags |= MMIO_DIRTY;
            done += n;
            continue;
        }
        if (f.memory) break; // a full image that may not grow: a short write
        std::int64_t pos = tell(f);
        if (flushBuffer(f) != MMSYSERR_NOERROR) return done ? LONG(done) : -1;
        resetBuffer(f, pos);
        if (want - done >= f.info.cchBuffer) { // large writes bypass the buffer
            if (!diskSeek(f, pos)) return done ? LONG(done) : -1;
            LRESULT n = send(f, MMIOM_WRITE, LPARAM(in + done), LPARAM(want - done));
            if (n < 0) return done ? LONG(done) : -1;
            resetBuffer(f, pos + n);
            done += n;
            break;
        }
    }
    if (f.memory) f.info.dwFlags &= ~MMIO_DIRTY;
    return done > 0 || want == 0 ? LONG(done) : -1;
}

// Takes over what a direct-access caller changed: its position in the buffer and MMIO_DIRTY.
MMRESULT applyInfo(MmioFile& f, const MMIOINFO& in) {
    if (!buffered(f)) return MMSYSERR_NOERROR;
    if (in.pchBuffer != f.info.pchBuffer || in.pchNext < f.info.pchBuffer ||
        in.pchNext > f.info.pchBuffer + f.info.cchBuffer)
        return MMSYSERR_INVALPARAM;
    bool dirty = (in.dwFlags & MMIO_DIRTY) != 0;
    if (in.pchNext > f.info.pchEndRead && !dirty)
        return MMSYSERR_INVALPARAM; // past data never read or written
    f.info.pchNext = in.pchNext;
    if (dirty) {
        f.info.pchEndRead = std::max(f.info.pchEndRead, f.info.pchNext);
        if (!f.memory) f.info.dwFlags |= MMIO_DIRTY;
    }
    return MMSYSERR_NOERROR;
}

} // namespace
} // namespace win::mmio

namespace win {
using namespace mmio;

LONG mmioRead(HMMIO hmmio, HPSTR pch, LONG cch) {
    MmioFile* f = lookup(hmmio);
    if (!f || cch < 0 || (cch > 0 && !pch) || !canRead(*f)) return -1;
    std::int64_t want = std::min<std::int64_t>(cch, kMaxPosition - tell(*f));
    if (want <= 0) return 0;
    if (buffered(*f)) return readBuffered(*f, pch, want);
    LRESULT n = send(*f, MMIOM_READ, LPARAM(pch), LPARAM(want));
    return n < 0 || n > want ? -1 : LONG(n);
}

LONG mmioWrite(HMMIO hmmio, const char* pch, LONG cch) {
    MmioFile* f = lookup(hmmio);
    if (!f || cch < 0 || (cch > 0 && !pch) || !canWrite(*f)) return -1;
    if (tell(*f) + cch > kMaxPosition) return -1; // the end would not fit a LONG offset
    if (cch == 0) return 0;
    if (buffered(*f)) return writeBuffered(*f, pch, cch);
    LRESULT n = send(*f, MMIOM_WRITE, LPARAM(pch), LPARAM(cch));
    return n != cch ? -1 : LONG(n);
}

LONG mmioSeek(HMMIO hmmio, LONG lOffset, int iOrigin) {
    MmioFile* f = lookup(hmmio);
    if (!f || iOrigin < SEEK_SET || iOrigin > SEEK_END) return -1;
    std::int64_t base = iOrigin == SEEK_SET ? 0 : iOrigin == SEEK_CUR ? tell(*f) : fileLength(*f);
    if (base < 0) return -1;
    std::int64_t target = base + lOffset;
    if (target < 0 || target > kMaxPosition) return -1;
    if (f->memory) {
        if (target > validIndex(*f)) return -1; // nothing exists past the image's end
        f->info.pchNext = f->info.pchBuffer + target;
        return LONG(target);
    }
    if (!buffered(*f)) {
        LRESULT r = send(*f, MMIOM_SEEK, LPARAM(target), SEEK_SET);
        return r == target ? LONG(r) : -1;
    }
    std::int64_t start = f->info.lBufOffset;
    if (target >= start && target <= start + validIndex(*f)) {
        f->info.pchNext = f->info.pchBuffer + (target - start);
        return LONG(target);
    }
    if (flushBuffer(*f) != MMSYSERR_NOERROR) return -1;
    resetBuffer(*f, target);
    return LONG(target);
}

MMRESULT mmioFlush(HMMIO hmmio, UINT fuFlush) {
    MmioFile* f = lookup(hmmio);
    if (!f) return MMSYSERR_INVALHANDLE;
    if (!buffered(*f) || f->memory) return MMSYSERR_NOERROR;
    MMRESULT r = flushBuffer(*f);
    if (r == MMSYSERR_NOERROR && (fuFlush & MMIO_EMPTYBUF)) resetBuffer(*f, tell(*f));
    return r;
}

MMRESULT mmioGetInfo(HMMIO hmmio, LPMMIOINFO pmmioinfo, UINT) {
    MmioFile* f = lookup(hmmio);
    if (!f) return MMSYSERR_INVALHANDLE;
    if (!pmmioinfo) return MMSYSERR_INVALPARAM;
    *pmmioinfo = f->info;
    return MMSYSERR_NOERROR;
}

MMRESULT mmioSetInfo(HMMIO hmmio, LPCMMIOINFO pmmioinfo, UINT) {
    MmioFile* f = lookup(hmmio);
    if (!f) return MMSYSERR_INVALHANDLE;
    if (!pmmioinfo) return MMSYSERR_INVALPARAM;
    return applyInfo(*f, *pmmioinfo);
}

MMRESULT mmioAdvance(HMMIO hmmio, LPMMIOINFO pmmioinfo, UINT fuAdvance) {
    MmioFile* f = lookup(hmmio);
    if (!f) return MMSYSERR_INVALHANDLE;
    if (fuAdvance != MMIO_READ && fuAdvance != MMIO_WRITE) return MMSYSERR_INVALFLAG;
    if (!buffered(*f)) return MMIOERR_UNBUFFERED;
    if (pmmioinfo) {
        MMRESULT r = applyInfo(*f, *pmmioinfo);
        if (r != MMSYSERR_NOERROR) return r;
    }
    MMRESULT result = MMSYSERR_NOERROR;
    if (fuAdvance == MMIO_READ) {
        if (!canRead(*f))
            result = MMIOERR_CANNOTREAD;
        else if (!f->memory && (flushBuffer(*f) != MMSYSERR_NOERROR))
            result = MMIOERR_CANNOTWRITE;
        else if (!f->memory && refill(*f) < 0)
            result = MMIOERR_CANNOTREAD;
    } else if (!canWrite(*f)) {
        result = MMIOERR_CANNOTWRITE;
    } else if (f->memory) {
        if (f->info.pchNext == f->info.pchEndWrite)
            result = growMemory(*f, std::int64_t(f->info.cchBuffer) + 1);
    } else {
        std::int64_t pos = tell(*f);
        if (flushBuffer(*f) != MMSYSERR_NOERROR)
            result = MMIOERR_CANNOTWRITE;
        else
            resetBuffer(*f, pos);
    }
    if (pmmioinfo) *pmmioinfo = f->info;
    return result;
}

MMRESULT mmioSetBuffer(HMMIO hmmio, LPSTR pchBuffer, LONG cchBuffer, UINT) {
    MmioFile* f = lookup(hmmio);
    if (!f) return MMSYSERR_INVALHANDLE;
    if (cchBuffer < 0 || f->memory) return MMSYSERR_INVALPARAM; // an image cannot trade its buffer away
    if (flushBuffer(*f) != MMSYSERR_NOERROR) return MMIOERR_CANNOTWRITE;
    return installBuffer(*f, pchBuffer, cchBuffer);
}

} // namespace win
