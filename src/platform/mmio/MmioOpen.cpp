// Opening and closing mmio files and memory images, the name operations of mmioOpen (parse, exist,
// delete) and renaming.
#include "platform/mmio/MmioFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace win::mmio {
namespace {

// The caller's name buffer holds at least this many bytes, whatever it held before.
constexpr std::size_t kNameBuffer = 128;

// Expands name in place to a full, normalised path. The result is written only when it fits the
// 128 bytes every caller provides, or the space the name already took.
bool expandName(LPSTR name) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(name, ec);
    if (ec) return false;
    std::string text = full.lexically_normal().string();
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    std::size_t room = std::max(kNameBuffer, std::strlen(name) + 1);
    if (text.size() + 1 > room) return false;
    std::memcpy(name, text.c_str(), text.size() + 1);
    return true;
}

HMMIO fail(LPMMIOINFO info, MMRESULT error) {
    if (info) info->wErrorRet = error;
    return nullptr;
}

HMMIO nameOperation(LPSTR name, LPMMIOINFO info, DWORD flags) {
    if (!name || !*name) return fail(info, MMIOERR_FILENOTFOUND);
    if (flags & MMIO_DELETE) {
        if (::unlink(name) == 0) return reinterpret_cast<HMMIO>(TRUE);
        struct stat st {};
        bool missing = errno == ENOENT || errno == ENOTDIR;
        bool folder = ::stat(name, &st) == 0 && S_ISDIR(st.st_mode);
        return fail(info, missing  ? MMIOERR_FILENOTFOUND
                          : folder ? MMIOERR_ACCESSDENIED
                                   : MMIOERR_CANNOTOPEN);
    }
    if (!expandName(name)) return fail(info, MMIOERR_PATHNOTFOUND);
    if (flags & MMIO_EXIST) {
        struct stat st {};
        if (::stat(name, &st) != 0 || S_ISDIR(st.st_mode)) return fail(info, MMIOERR_FILENOTFOUND);
    }
    if (info) info->wErrorRet = MMSYSERR_NOERROR;
    return reinterpret_cast<HMMIO>(TRUE);
}

LPMMIOPROC chooseProc(const MMIOINFO* info) {
    if (info && info->pIOProc) return info->pIOProc;
    if (info && info->fccIOProc) return findIOProc(info->fccIOProc);
    return dosIOProc;
}

// A memory image: the caller's bytes, or an internal zeroed block when no bytes are given.
MMRESULT setUpImage(MmioFile& f, const MMIOINFO& in, DWORD flags) {
    if (in.cchBuffer < 0) return MMSYSERR_INVALPARAM;
    char* image = in.pchBuffer;
    std::int64_t size = in.cchBuffer;
    if (!image && size > 0) {
        if (size > kMaxBuffer) return MMIOERR_OUTOFMEMORY;
        f.owned.reset(new (std::nothrow) char[std::size_t(size)]());
        if (!f.owned) return MMIOERR_OUTOFMEMORY;
        f.ownedSize = size;
        image = f.owned.get();
        f.info.dwFlags |= MMIO_ALLOCBUF;
    }
    f.info.pchBuffer = size > 0 ? image : nullptr;
    f.info.cchBuffer = LONG(size);
    f.info.lBufOffset = 0;
    f.info.pchNext = f.info.pchBuffer;
    // A created image starts empty; otherwise the whole image is the file.
    f.info.pchEndRead = f.info.pchBuffer + ((flags & MMIO_CREATE) ? 0 : size);
    f.info.pchEndWrite = f.info.pchBuffer + size;
    return MMSYSERR_NOERROR;
}

MMRESULT setUpFileBuffer(MmioFile& f, const MMIOINFO* in, DWORD flags) {
    LONG size = in ? in->cchBuffer : 0;
    if (size < 0) return MMSYSERR_INVALPARAM;
    if (in && in->pchBuffer && size > 0) return installBuffer(f, in->pchBuffer, size);
    if (flags & MMIO_ALLOCBUF) return installBuffer(f, nullptr, size > 0 ? size : MMIO_DEFAULTBUFFER);
    return MMSYSERR_NOERROR;
}

} // namespace
} // namespace win::mmio

namespace win {
using namespace mmio;

HMMIO mmioOpen(LPSTR pszFileName, LPMMIOINFO pmmioinfo, DWORD fdwOpen) {
    if (fdwOpen & (MMIO_PARSE | MMIO_EXIST | MMIO_DELETE))
        return nameOperation(pszFileName, pmmioinfo, fdwOpen);
    if (fdwOpen & MMIO_GETTEMP) return fail(pmmioinfo, MMSYSERR_INVALFLAG);
    if ((fdwOpen & MMIO_RWMODE) == MMIO_RWMODE) return fail(pmmioinfo, MMSYSERR_INVALFLAG);
    LPMMIOPROC proc = chooseProc(pmmioinfo);
    if (!proc) return fail(pmmioinfo, MMIOERR_INVALIDFILE);
    // A name is needed unless an open descriptor is handed over or the file is a memory image.
    if (!pszFileName && !pmmioinfo) return nullptr;

    auto file = std::make_unique<MmioFile>();
    MmioFile& f = *file;
    f.proc = proc;
    f.memory = proc == memIOProc;
    f.info.dwFlags = fdwOpen & ~MMIO_DIRTY;
    f.info.fccIOProc = pmmioinfo && pmmioinfo->fccIOProc ? pmmioinfo->fccIOProc
                       : f.memory                        ? FOURCC_MEM
                                                         : FOURCC_DOS;
    f.info.pIOProc = proc;
    if (pmmioinfo) std::memcpy(f.info.adwInfo, pmmioinfo->adwInfo, sizeof f.info.adwInfo);

    MMRESULT r = f.memory ? setUpImage(f, *pmmioinfo, fdwOpen) : MMSYSERR_NOERROR;
    if (r != MMSYSERR_NOERROR) return fail(pmmioinfo, r);
    LRESULT opened = send(f, MMIOM_OPEN, LPARAM(pszFileName), 0);
    if (opened != 0) return fail(pmmioinfo, MMRESULT(opened));
    if (!f.memory) {
        f.info.lBufOffset = f.info.lDiskOffset;
        r = setUpFileBuffer(f, pmmioinfo, fdwOpen);
        if (r != MMSYSERR_NOERROR) {
            send(f, MMIOM_CLOSE, 0, 0);
            return fail(pmmioinfo, r);
        }
    }
    if (pmmioinfo) pmmioinfo->wErrorRet = MMSYSERR_NOERROR;
    return registerFile(std::move(file));
}

MMRESULT mmioClose(HMMIO hmmio, UINT fuClose) {
    MmioFile* f = lookup(hmmio);
    if (!f) return MMSYSERR_INVALHANDLE;
    MMRESULT flushed = flushBuffer(*f);
    LRESULT closed = send(*f, MMIOM_CLOSE, LPARAM(fuClose), 0);
    unregisterFile(hmmio);
    if (flushed != MMSYSERR_NOERROR) return flushed;
    return closed == 0 ? MMSYSERR_NOERROR : MMRESULT(closed);
}

MMRESULT mmioRename(LPCSTR pszFileName, LPCSTR pszNewFileName, LPCMMIOINFO pmmioinfo, DWORD) {
    if (!pszFileName || !pszNewFileName) return MMSYSERR_INVALPARAM;
    LPMMIOPROC proc = chooseProc(pmmioinfo);
    if (!proc) return MMIOERR_INVALIDFILE;
    MMIOINFO scratch{};
    if (pmmioinfo) scratch = *pmmioinfo;
    return MMRESULT(
        proc(reinterpret_cast<LPSTR>(&scratch), MMIOM_RENAME, LPARAM(pszFileName), LPARAM(pszNewFileName)));
}

} // namespace win
