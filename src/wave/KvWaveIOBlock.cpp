// The control block's life: allocation from a format, copying metadata, the I/O buffer, release, and
// the side data a block carries outside its layout.
#include "wave/KvWaveIO.h"

#include "platform/ui/FileHandles.h"
#include "platform/win/GlobalMemory.h"
#include "wave/KvWaveIOInternal.h"

#include <cstring>
#include <map>
#include <mutex>

namespace kv {
namespace wio {
namespace {

struct SideData {
    std::vector<std::string> repairs;
    std::vector<PendingChunk> pending;
};

std::mutex& sideLock() {
    static std::mutex m;
    return m;
}
std::map<const TWAVEIOCB*, SideData>& sideData() {
    static std::map<const TWAVEIOCB*, SideData> data;
    return data;
}

} // namespace

PWAVEIOCB allocBlock(std::size_t formatBytes) {
    if (formatBytes < sizeof(TWaveFormatEx)) formatBytes = sizeof(TWaveFormatEx);
    const std::size_t size = WAVEIOCB_FIXED_SIZE + formatBytes;
    auto* cb = static_cast<PWAVEIOCB>(win::GlobalAllocPtr(win::GHND, size));
    if (cb) cb->BlockSize = win::DWORD(size);
    return cb;
}

void setRepairs(const TWAVEIOCB* cb, std::vector<std::string> repairs) {
    std::lock_guard g(sideLock());
    if (repairs.empty()) {
        auto it = sideData().find(cb);
        if (it != sideData().end()) it->second.repairs.clear();
        return;
    }
    sideData()[cb].repairs = std::move(repairs);
}

void addPendingChunk(const TWAVEIOCB* cb, PendingChunk chunk) {
    std::lock_guard g(sideLock());
    sideData()[cb].pending.push_back(std::move(chunk));
}

std::vector<PendingChunk> takePendingChunks(const TWAVEIOCB* cb) {
    std::lock_guard g(sideLock());
    auto it = sideData().find(cb);
    if (it == sideData().end()) return {};
    return std::move(it->second.pending);
}

void dropSideData(const TWAVEIOCB* cb) {
    std::lock_guard g(sideLock());
    sideData().erase(cb);
}

} // namespace wio

std::vector<std::string> wioGetScanRepairs(const TWAVEIOCB* cb) {
    std::lock_guard g(wio::sideLock());
    auto it = wio::sideData().find(cb);
    return it == wio::sideData().end() ? std::vector<std::string>{} : it->second.repairs;
}

int wioCreateFileInfo(PWAVEIOCB& cb, const TWaveFormatEx* wfx) {
    cb = nullptr;
    if (!wfx) return WIOERR_BADPARAM;
    const std::size_t extra = wfx->wFormatTag == WAVE_FORMAT_PCM ? 0 : wfx->cbSize;
    PWAVEIOCB block = wio::allocBlock(sizeof(TWaveFormatEx) + extra);
    if (!block) return WIOERR_NOMEM;
    std::memcpy(&block->Format, wfx, wfx->wFormatTag == WAVE_FORMAT_PCM ? 16 : sizeof(TWaveFormatEx) + extra);
    if (RiffInitINFO(block->InfoChunk) != RIFFERR_NOERROR ||
        RiffInitDISP(block->DispList) != RIFFERR_NOERROR) {
        wioFreeFileInfo(block);
        return WIOERR_NOMEM;
    }
    cb = block;
    return WIOERR_NOERROR;
}

int wioCopyFileInfo(PWAVEIOCB dst, PWAVEIOCB src) {
    if (!dst || !src) return WIOERR_BADPARAM;
    if (RiffCopyInfo(dst->InfoChunk, src->InfoChunk) != RIFFERR_NOERROR) return WIOERR_ERROR;
    if (RiffCopyDISP(dst->DispList, src->DispList) != RIFFERR_NOERROR) return WIOERR_ERROR;
    return WIOERR_NOERROR;
}

int wioFreeFileInfo(PWAVEIOCB& cb) {
    if (!cb) return WIOERR_BADPARAM;
    if (cb->Handle) {
        if (cb->Flags & WIO_RAW) {
            host::FileClose(wio::rawHandle(cb));
            cb->Handle = nullptr;
        } else {
            win::HMMIO h = wio::mmioHandle(cb);
            wioFileClose(h, cb->ResHandle);
            cb->Handle = nullptr;
        }
    }
    if (cb->FileName) win::GlobalFreePtr(cb->FileName);
    if (cb->InfoChunk) RiffFreeINFO(cb->InfoChunk);
    if (cb->DispList) RiffFreeDISP(cb->DispList, true);
    wio::dropSideData(cb);
    win::GlobalFreePtr(cb);
    cb = nullptr;
    return WIOERR_NOERROR;
}

int wioSetIOBufferSize(PWAVEIOCB cb, std::int32_t size) {
    if (!cb) return WIOERR_BADPARAM;
    if (cb->Flags & (WIO_MEMORY | WIO_RESOURCE | WIO_RAW)) return WIOERR_NOERROR;
    if (!cb->Handle || size < 0) return WIOERR_ERROR;
    return int(win::mmioSetBuffer(wio::mmioHandle(cb), nullptr, size, 0));
}

} // namespace kv
