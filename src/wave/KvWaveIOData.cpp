// Working on a control block: creating a file for writing, opening, positioning, reading, writing and
// closing (which finishes a written file: sizes, fact, DISP and INFO chunks).
#include "wave/KvWaveIO.h"

#include "platform/ui/FileHandles.h"
#include "platform/ui/Streams.h"
#include "platform/win/Files.h"
#include "platform/win/GlobalMemory.h"
#include "wave/KvWaveIOInternal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kv {
namespace {

constexpr win::FOURCC kWave = win::mmioFOURCC('W', 'A', 'V', 'E');
constexpr win::FOURCC kFmt = win::mmioFOURCC('f', 'm', 't', ' ');
constexpr win::FOURCC kData = win::mmioFOURCC('d', 'a', 't', 'a');
constexpr win::FOURCC kFact = win::mmioFOURCC('f', 'a', 'c', 't');

bool ok(win::MMRESULT r) {
    return r == win::MMSYSERR_NOERROR;
}

win::DWORD blockAlign(const TWAVEIOCB* cb) {
    return cb->Format.nBlockAlign ? cb->Format.nBlockAlign : 1;
}

char* copyText(const char* text) {
    const std::size_t n = std::strlen(text);
    auto* copy = static_cast<char*>(win::GlobalAllocPtr(win::GHND, n + 1));
    if (copy) std::memcpy(copy, text, n);
    return copy;
}

bool writeChunk(win::HMMIO h, win::FOURCC id, const void* data, std::size_t size) {
    win::MMCKINFO ck{};
    ck.ckid = id;
    if (size > 0x7FFFFFFF || !ok(win::mmioCreateChunk(h, &ck, 0))) return false;
    if (size && win::mmioWrite(h, static_cast<const char*>(data), win::LONG(size)) != win::LONG(size))
        return false;
    return ok(win::mmioAscend(h, &ck, 0));
}

// The header of a new file: RIFF WAVE, the format, and a data chunk left open for the samples.
bool writeHeader(PWAVEIOCB cb, win::HMMIO h) {
    cb->RiffChunk = win::MMCKINFO{};
    cb->RiffChunk.fccType = kWave;
    if (!ok(win::mmioCreateChunk(h, &cb->RiffChunk, win::MMIO_CREATERIFF))) return false;
    const std::int32_t size = wioSizeOfWaveFormat(&cb->Format);
    std::vector<char> format(std::size_t(size), 0);
    std::memcpy(format.data(), &cb->Format,
                cb->Format.wFormatTag == WAVE_FORMAT_PCM ? 16 : std::size_t(size));
    if (!writeChunk(h, kFmt, format.data(), format.size())) return false;
    cb->DataChunk = win::MMCKINFO{};
    cb->DataChunk.ckid = kData;
    if (!ok(win::mmioCreateChunk(h, &cb->DataChunk, 0))) return false;
    cb->DataChunk.dwFlags |= win::MMIO_DIRTY;
    return true;
}

// Writes what follows the samples and the true sizes of the data and RIFF chunks.
int finishWrittenFile(PWAVEIOCB cb) {
    win::HMMIO h = wio::mmioHandle(cb);
    win::MMIOINFO info{};
    if (!ok(win::mmioGetInfo(h, &info, 0)) || !ok(win::mmioFlush(h, 0))) return WIOERR_FILEERROR;
    if (!(info.dwFlags & win::MMIO_CREATE)) {
        // An existing file rewritten in place: the ascents below measure the sizes anew.
        cb->DataChunk.cksize = 0;
        cb->RiffChunk.cksize = 0;
    }
    cb->DataChunk.dwFlags |= win::MMIO_DIRTY;
    cb->RiffChunk.dwFlags |= win::MMIO_DIRTY;
    // The data ends at its furthest byte written, wherever the last write left the file.
    const std::uint64_t end = std::uint64_t(cb->DataOffset) + cb->DataBytes;
    if (end > 0x7FFFFFFF || win::mmioSeek(h, win::LONG(end), SEEK_SET) != win::LONG(end))
        return WIOERR_FILEERROR;
    if (!ok(win::mmioAscend(h, &cb->DataChunk, 0))) return WIOERR_FILEERROR;
    const std::uint8_t fact[4] = {std::uint8_t(cb->DataSamples), std::uint8_t(cb->DataSamples >> 8),
                                  std::uint8_t(cb->DataSamples >> 16), std::uint8_t(cb->DataSamples >> 24)};
    if (!writeChunk(h, kFact, fact, 4)) return WIOERR_FILEERROR;
    for (const wio::PendingChunk& chunk : wio::takePendingChunks(cb))
        if (!writeChunk(h, chunk.id, chunk.data.data(), chunk.data.size())) return WIOERR_FILEERROR;
    if (cb->DispList && RiffWriteDISP(h, cb->DispList) != RIFFERR_NOERROR) return WIOERR_FILEERROR;
    if (cb->InfoChunk && RiffWriteINFO(h, cb->InfoChunk) != RIFFERR_NOERROR) return WIOERR_FILEERROR;
    if (!ok(win::mmioAscend(h, &cb->RiffChunk, 0))) return WIOERR_FILEERROR;
    const win::LONG size = win::mmioSeek(h, 0, SEEK_END);
    if (size < 0) return WIOERR_FILEERROR;
    cb->FileSize = win::DWORD(size);
    cb->LastSample = cb->DataSamples;
    return WIOERR_NOERROR;
}

void closeHandle(PWAVEIOCB cb) {
    if (cb->Flags & WIO_RAW) {
        host::FileClose(wio::rawHandle(cb));
    } else {
        win::HMMIO h = wio::mmioHandle(cb);
        wioFileClose(h, cb->ResHandle);
    }
    cb->Handle = nullptr;
}

// Bytes from the start of the data to the end of the active range, never past the data read.
win::DWORD rangeEndBytes(const TWAVEIOCB* cb) {
    return std::min(wio::samplesToBytes(cb, cb->LastSample), cb->DataBytes);
}

// After `count` bytes came from the file or went to it.
void afterWrite(PWAVEIOCB cb) {
    cb->DataChunk.dwFlags |= win::MMIO_DIRTY;
    const win::LONG at = win::mmioSeek(wio::mmioHandle(cb), 0, SEEK_CUR);
    const win::DWORD cur = at > win::LONG(cb->DataOffset) ? win::DWORD(at) - cb->DataOffset : 0;
    cb->Position = wio::bytesToSamples(cb, cur);
    cb->DataBytes = std::max(cb->DataBytes, cur);
    cb->DataSamples = std::max(cb->DataSamples, cb->Position);
}

void afterRead(PWAVEIOCB cb, std::int32_t count) {
    cb->BytesLeft = cb->BytesLeft > win::DWORD(count) ? cb->BytesLeft - win::DWORD(count) : 0;
    const win::DWORD range = cb->LastSample > cb->FirstSample ? cb->LastSample - cb->FirstSample : 0;
    const win::DWORD left = wio::bytesToSamples(cb, cb->BytesLeft);
    cb->Position = range > left ? range - left : 0;
}

int seekOpen(PWAVEIOCB cb, win::DWORD b) {
    const std::uint64_t target = std::uint64_t(cb->DataOffset) + b;
    if (target > 0x7FFFFFFF || (!(cb->Flags & WIO_RAW) && cb->DataOffset < 8)) return WIOERR_FILEERROR;
    if (cb->Flags & WIO_RAW)
        return host::FileSeek(wio::rawHandle(cb), std::int64_t(target), 0) == std::int64_t(target)
                   ? WIOERR_NOERROR
                   : WIOERR_FILEERROR;
    win::HMMIO h = wio::mmioHandle(cb);
    const win::LONG header = win::LONG(cb->DataOffset - 8);
    if (win::mmioSeek(h, header, SEEK_SET) != header) return WIOERR_FILEERROR;
    if (!ok(win::mmioDescend(h, &cb->DataChunk, nullptr, 0)) || cb->DataChunk.dwDataOffset != cb->DataOffset)
        return WIOERR_FILEERROR;
    return win::mmioSeek(h, win::LONG(b), SEEK_CUR) == win::LONG(target) ? WIOERR_NOERROR : WIOERR_FILEERROR;
}

} // namespace

int wioWriteFileInfo(PWAVEIOCB& cb, const char* fileName) {
    if (!cb || !fileName || !*fileName) return WIOERR_BADPARAM;
    char name[win::MAX_PATH] = {};
    const std::size_t length = strnlen(fileName, win::MAX_PATH);
    if (length >= win::MAX_PATH) return WIOERR_BADPARAM;
    std::memcpy(name, fileName, length);
    win::HMMIO h = win::mmioOpen(name, nullptr, win::MMIO_ALLOCBUF | win::MMIO_CREATE | win::MMIO_READWRITE);
    if (!h) return WIOERR_FILEERROR;
    char* nameCopy = copyText(fileName);
    if (!nameCopy || !writeHeader(cb, h)) {
        if (nameCopy) win::GlobalFreePtr(nameCopy);
        win::mmioClose(h, 0);
        wioFileDelete(fileName);
        return WIOERR_FILEERROR;
    }
    cb->Handle = h;
    cb->Flags = WIO_FILE;
    cb->ResHandle = nullptr;
    cb->DataOffset = cb->DataChunk.dwDataOffset;
    if (cb->FileName) win::GlobalFreePtr(cb->FileName);
    cb->FileName = nameCopy;
    cb->DataSamples = wio::bytesToSamples(cb, cb->DataBytes);
    cb->FirstSample = 0;
    cb->LastSample = cb->DataSamples;
    return WIOERR_NOERROR;
}

int wioWaveOpen(PWAVEIOCB cb) {
    if (!cb) return WIOERR_BADPARAM;
    if (!cb->Handle && cb->FileName) {
        if (cb->Flags & WIO_RAW) {
            wio::setRawHandle(cb, host::FileOpen(cb->FileName, host::fmOpenRead | host::fmShareDenyNone));
        } else {
            win::HMMIO h = nullptr;
            if (wioFileOpen(h, cb->RiffChunk, cb->ResHandle, cb->Flags, kWave, cb->FileName) ==
                WIOERR_NOERROR)
                cb->Handle = h;
        }
    }
    if (!cb->Handle) return WIOERR_FILEERROR;
    return wioWaveSetPosition(cb, std::int32_t(std::min<win::DWORD>(cb->Position, 0x7FFFFFFF))) ==
                   WIOERR_NOERROR
               ? WIOERR_NOERROR
               : WIOERR_FILEERROR;
}

int wioWaveClose(PWAVEIOCB cb) {
    if (!cb || !cb->Handle) return WIOERR_NOERROR;
    int status = WIOERR_NOERROR;
    if (!(cb->Flags & WIO_RAW) && (cb->DataChunk.dwFlags & win::MMIO_DIRTY)) status = finishWrittenFile(cb);
    closeHandle(cb);
    cb->BytesLeft = 0;
    cb->Position = 0;
    return status;
}

int wioWaveSetFirstSample(PWAVEIOCB cb, std::int32_t n) {
    if (!cb || n < 0 || win::DWORD(n) >= cb->LastSample) return WIOERR_BADPARAM;
    cb->FirstSample = win::DWORD(n);
    cb->BytesLeft = std::min(wio::samplesToBytes(cb, cb->LastSample - cb->FirstSample), cb->DataBytes);
    return WIOERR_NOERROR;
}

int wioWaveSetLastSample(PWAVEIOCB cb, std::int32_t n) {
    if (!cb || n < 0 || win::DWORD(n) <= cb->FirstSample || win::DWORD(n) > cb->DataSamples)
        return WIOERR_BADPARAM;
    cb->LastSample = win::DWORD(n);
    cb->BytesLeft = std::min(wio::samplesToBytes(cb, cb->LastSample - cb->FirstSample), cb->DataBytes);
    return WIOERR_NOERROR;
}

int wioWaveSetPosition(PWAVEIOCB cb, std::int32_t pos) {
    if (!cb || pos < 0) return WIOERR_FILEERROR;
    const win::DWORD range = cb->LastSample > cb->FirstSample ? cb->LastSample - cb->FirstSample : 0;
    const win::DWORD p = std::min<win::DWORD>(win::DWORD(pos), range ? range - 1 : 0);
    win::DWORD b = wio::samplesToBytes(cb, cb->FirstSample + p);
    if (cb->Handle) {
        b = std::min(b, cb->DataBytes);
        b -= b % blockAlign(cb);
        if (seekOpen(cb, b) != WIOERR_NOERROR) return WIOERR_FILEERROR;
        const win::DWORD end = rangeEndBytes(cb);
        cb->BytesLeft = end > b ? end - b : 0;
    }
    const win::DWORD at = wio::bytesToSamples(cb, b);
    cb->Position = at > cb->FirstSample ? at - cb->FirstSample : 0;
    return WIOERR_NOERROR;
}

std::int32_t wioWaveReadData(PWAVEIOCB cb, void* buffer, std::int32_t bytes) {
    if (!cb || !cb->Handle || !buffer) return -1;
    if (cb->BytesLeft == 0 || bytes <= 0) return -1;
    const std::int32_t n = std::int32_t(std::min<std::uint64_t>(std::uint64_t(bytes), cb->BytesLeft));
    const std::int32_t count = (cb->Flags & WIO_RAW)
                                   ? host::FileRead(wio::rawHandle(cb), buffer, n)
                                   : win::mmioRead(wio::mmioHandle(cb), static_cast<char*>(buffer), n);
    if (count < bytes) cb->BytesLeft = 0; // asking for more than is left ends the range
    if (count <= 0) return count < 0 ? count : -1;
    afterRead(cb, count);
    return count;
}

std::int32_t wioWaveReadDataDirect(PWAVEIOCB cb, void* buffer, std::int32_t bytes) {
    if (!cb || !cb->Handle || !buffer || (cb->Flags & WIO_RAW) || bytes <= 0) return -1;
    win::HMMIO h = wio::mmioHandle(cb);
    win::MMIOINFO info{};
    if (!ok(win::mmioGetInfo(h, &info, 0))) return -1;
    const std::int32_t n = std::int32_t(std::min<std::uint64_t>(std::uint64_t(bytes), cb->BytesLeft));
    auto* out = static_cast<char*>(buffer);
    std::int32_t count = 0;
    while (count < n) {
        if (info.pchNext >= info.pchEndRead) {
            if (!ok(win::mmioAdvance(h, &info, win::MMIO_READ)) || info.pchNext >= info.pchEndRead) {
                win::mmioSetInfo(h, &info, 0);
                return -1;
            }
        }
        const std::int32_t piece =
            std::int32_t(std::min<std::ptrdiff_t>(info.pchEndRead - info.pchNext, n - count));
        std::memcpy(out + count, info.pchNext, std::size_t(piece));
        info.pchNext += piece;
        count += piece;
    }
    win::mmioSetInfo(h, &info, 0);
    cb->BytesLeft -= win::DWORD(count);
    cb->Position += wio::bytesToSamples(cb, win::DWORD(count));
    return count;
}

std::int32_t wioWaveReadSamples(PWAVEIOCB cb, void* buffer, std::int32_t samples) {
    if (!cb || samples <= 0) return -1;
    const std::int32_t count = wioWaveReadData(cb, buffer, wioSamplesToBytesEx(cb, samples));
    return count <= 0 ? -1 : wioBytesToSamplesEx(cb, count);
}

std::int32_t wioWaveWriteData(PWAVEIOCB cb, const void* buffer, std::int32_t bytes) {
    if (!cb || !cb->Handle || !buffer || bytes <= 0 || (cb->Flags & WIO_RAW)) return -1;
    const std::int32_t count = win::mmioWrite(wio::mmioHandle(cb), static_cast<const char*>(buffer), bytes);
    if (count <= 0) return -1;
    afterWrite(cb);
    return count;
}

std::int32_t wioWaveWriteDataDirect(PWAVEIOCB cb, const void* buffer, std::int32_t bytes) {
    if (!cb || !cb->Handle || !buffer || bytes <= 0 || (cb->Flags & WIO_RAW)) return -1;
    win::HMMIO h = wio::mmioHandle(cb);
    win::MMIOINFO info{};
    if (!ok(win::mmioGetInfo(h, &info, 0))) return -1;
    const auto* in = static_cast<const char*>(buffer);
    for (std::int32_t done = 0; done < bytes;) {
        if (info.pchNext >= info.pchEndWrite) {
            info.dwFlags |= win::MMIO_DIRTY;
            if (!ok(win::mmioAdvance(h, &info, win::MMIO_WRITE)) || info.pchNext >= info.pchEndWrite) {
                win::mmioSetInfo(h, &info, 0);
                return -1;
            }
        }
        const std::int32_t piece =
            std::int32_t(std::min<std::ptrdiff_t>(info.pchEndWrite - info.pchNext, bytes - done));
        std::memcpy(info.pchNext, in + done, std::size_t(piece));
        info.pchNext += piece;
        done += piece;
    }
    info.dwFlags |= win::MMIO_DIRTY;
    if (!ok(win::mmioSetInfo(h, &info, 0))) return -1;
    afterWrite(cb);
    return bytes;
}

std::int32_t wioWaveWriteSamples(PWAVEIOCB cb, const void* buffer, std::int32_t samples) {
    if (!cb || samples <= 0) return -1;
    const std::int32_t count = wioWaveWriteData(cb, buffer, wioSamplesToBytesEx(cb, samples));
    return count <= 0 ? -1 : wioBytesToSamplesEx(cb, count);
}

} // namespace kv
