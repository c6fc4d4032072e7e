// Whole files in and out of memory, headerless PCM files, and copying cue points and play lists from one
// wave file to another.
#include "wave/KvWaveIO.h"

#include "platform/ui/FileHandles.h"
#include "platform/ui/Streams.h"
#include "platform/win/ByteReader.h"
#include "platform/win/GlobalMemory.h"
#include "wave/KvPCMSup.h"
#include "wave/KvWaveIOInternal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kv {
namespace {

constexpr win::FOURCC kWave = win::mmioFOURCC('W', 'A', 'V', 'E');
constexpr win::FOURCC kCue = win::mmioFOURCC('c', 'u', 'e', ' ');
constexpr win::FOURCC kPlst = win::mmioFOURCC('p', 'l', 's', 't');
constexpr win::DWORD kMaxCopiedChunk = 1024 * 1024;

// The size of a file opened read-only and shared, -1 when it cannot be opened.
std::int64_t rawFileSize(const char* fileName) {
    const int h = host::FileOpen(fileName, host::fmOpenRead | host::fmShareDenyNone);
    if (h < 0) return -1;
    const std::int64_t size = host::FileSeek(h, 0, 2);
    host::FileClose(h);
    return size;
}

bool readAt(win::HMMIO h, std::uint64_t pos, void* out, win::DWORD n) {
    if (pos > 0x7FFFFFFF || n > 0x7FFFFFFF) return false;
    return win::mmioSeek(h, win::LONG(pos), SEEK_SET) == win::LONG(pos) &&
           win::mmioRead(h, static_cast<char*>(out), win::LONG(n)) == win::LONG(n);
}

// Collects the cue and plst chunks of the open file `h` whose RIFF chunk is `riff` for dst.
int collectCueChunks(win::HMMIO h, const win::MMCKINFO& riff, PWAVEIOCB dst) {
    const win::LONG fileEnd = win::mmioSeek(h, 0, SEEK_END);
    if (fileEnd < 0) return WIOERR_FILEERROR;
    const std::uint64_t end =
        std::min<std::uint64_t>(std::uint64_t(riff.dwDataOffset) + riff.cksize, std::uint64_t(fileEnd));
    std::uint64_t pos = std::uint64_t(riff.dwDataOffset) + 4;
    for (int count = 0; count < 10000 && pos + 8 <= end; ++count) {
        std::uint8_t header[8];
        if (!readAt(h, pos, header, 8)) return WIOERR_FILEERROR;
        win::ByteReader reader(std::span<const std::uint8_t>(header, 8));
        const win::FOURCC id = *reader.fourcc();
        const win::DWORD size = *reader.u32();
        const std::uint64_t body = pos + 8;
        if ((id == kCue || id == kPlst) && size <= kMaxCopiedChunk && body + size <= end) {
            wio::PendingChunk chunk{id, std::vector<std::uint8_t>(size)};
            if (size && !readAt(h, body, chunk.data.data(), size)) return WIOERR_FILEERROR;
            wio::addPendingChunk(dst, std::move(chunk));
        }
        pos = body + size + (size & 1);
    }
    return WIOERR_NOERROR;
}

} // namespace

int wioBuildFileInfoFromRAWEx(PWAVEIOCB& cb, const char* fileName, std::int32_t headerSize,
                              const TWaveFormatEx* wfx) {
    cb = nullptr;
    if (!fileName || headerSize < 0) return WIOERR_BADPARAM;
    PWAVEIOCB block = nullptr;
    if (wioCreateFileInfo(block, wfx) != WIOERR_NOERROR) return WIOERR_FILEERROR;
    const std::int64_t size = rawFileSize(fileName);
    const std::size_t nameLength = std::strlen(fileName);
    block->FileName = static_cast<char*>(win::GlobalAllocPtr(win::GHND, nameLength + 1));
    if (size < 0 || size > 0xFFFFFFFFll || !block->FileName) {
        wioFreeFileInfo(block);
        return size < 0 || size > 0xFFFFFFFFll ? WIOERR_FILEERROR : WIOERR_NOMEM;
    }
    std::memcpy(block->FileName, fileName, nameLength);
    block->Flags = WIO_RAW;
    block->FileSize = win::DWORD(size);
    // A header longer than the file leaves no data rather than a negative length.
    block->DataOffset = win::DWORD(std::min<std::int64_t>(headerSize, size));
    block->DataBytes = block->FileSize - block->DataOffset;
    block->DataSamples = wio::bytesToSamples(block, block->DataBytes);
    block->LastSample = block->DataSamples;
    cb = block;
    return WIOERR_NOERROR;
}

int wioBuildFileInfoFromRAW(PWAVEIOCB& cb, const char* fileName, std::int32_t headerSize,
                            std::int32_t sampleRate, std::int32_t channels, std::int32_t bitsPerSample) {
    TWaveFormatEx wfx{};
    pcmBuildWaveHeader(&wfx, bitsPerSample, channels, sampleRate);
    return wioBuildFileInfoFromRAWEx(cb, fileName, headerSize, &wfx);
}

int wioWaveLoadFile(const char* fileName, TWaveFormatEx*& wfx, void*& data, std::int32_t& size) {
    wfx = nullptr;
    data = nullptr;
    size = 0;
    PWAVEIOCB cb = nullptr;
    int status = wioReadFileInfo(cb, fileName, kWave, WIO_FILE);
    if (status != WIOERR_NOERROR) return status;
    status = wioWaveOpen(cb);
    if (status == WIOERR_NOERROR && cb->DataBytes > 0x7FFFFFFF) status = WIOERR_NOMEM;
    if (status == WIOERR_NOERROR &&
        !(data = win::GlobalAllocPtr(win::GPTR, cb->DataBytes ? cb->DataBytes : 1)))
        status = WIOERR_NOMEM;
    std::int32_t count = 0;
    if (status == WIOERR_NOERROR && (count = wioWaveReadData(cb, data, std::int32_t(cb->DataBytes))) <= 0)
        status = WIOERR_FILEERROR;
    const std::size_t formatBytes = sizeof(TWaveFormatEx) + cb->Format.cbSize;
    if (status == WIOERR_NOERROR &&
        !(wfx = static_cast<TWaveFormatEx*>(win::GlobalAllocPtr(win::GPTR, formatBytes))))
        status = WIOERR_NOMEM;
    if (status == WIOERR_NOERROR) {
        std::memcpy(wfx, &cb->Format, formatBytes);
        size = count;
    } else {
        if (data) win::GlobalFreePtr(data);
        if (wfx) win::GlobalFreePtr(wfx);
        data = nullptr;
        wfx = nullptr;
    }
    wioWaveClose(cb);
    wioFreeFileInfo(cb);
    return status;
}

int wioWaveSaveFile(const char* fileName, const TWaveFormatEx* wfx, const void* data, std::int32_t size) {
    if (!fileName || !wfx) return WIOERR_BADPARAM;
    PWAVEIOCB cb = nullptr;
    int status = wioCreateFileInfo(cb, wfx);
    if (status != WIOERR_NOERROR) return status;
    status = wioWriteFileInfo(cb, fileName);
    const bool created = status == WIOERR_NOERROR; // a failed wioWriteFileInfo removed its file itself
    if (created && wioWaveWriteData(cb, data, size) <= 0) status = WIOERR_FILEERROR;
    const int closed = wioWaveClose(cb);
    if (status == WIOERR_NOERROR) status = closed;
    wioFreeFileInfo(cb);
    if (status != WIOERR_NOERROR && created) wioFileDelete(fileName);
    return status;
}

int wioWaveCopyUselessChunks(PWAVEIOCB dst, PWAVEIOCB src) {
    if (!dst || !src || !src->FileName) return WIOERR_BADPARAM;
    if (src->Flags & WIO_RAW) return WIOERR_NOERROR; // a headerless file has no chunks
    win::HMMIO h = nullptr;
    win::HGLOBAL res = nullptr;
    win::MMCKINFO riff{};
    if (wioFileOpen(h, riff, res, src->Flags, kWave, src->FileName) != WIOERR_NOERROR)
        return WIOERR_FILEERROR;
    const int status = collectCueChunks(h, riff, dst);
    wioFileClose(h, res);
    return status;
}

} // namespace kv
