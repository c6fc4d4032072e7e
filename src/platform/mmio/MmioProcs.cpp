// The handle table, the built-in "DOS " (POSIX files) and "MEM " (memory images) I/O procedures, and
// the table of installed procedures.
#include "platform/mmio/MmioFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace win::mmio {
namespace {

std::mutex g_lock;
std::unordered_map<std::uintptr_t, std::unique_ptr<MmioFile>>& files() {
    static std::unordered_map<std::uintptr_t, std::unique_ptr<MmioFile>> table;
    return table;
}
// Handle values start well above the TRUE that the name operations of mmioOpen return.
std::uintptr_t g_nextHandle = 0x10000;

std::vector<std::pair<FOURCC, LPMMIOPROC>>& installed() {
    static std::vector<std::pair<FOURCC, LPMMIOPROC>> procs;
    return procs;
}

MMIOINFO& infoOf(LPSTR lpmmioinfo) {
    return *reinterpret_cast<MMIOINFO*>(lpmmioinfo);
}

MMRESULT openError(int error, const char* name) {
    switch (error) {
    case ENOENT: {
        std::string parent(name);
        auto slash = parent.find_last_of('/');
        parent = slash == std::string::npos ? "." : slash == 0 ? "/" : parent.substr(0, slash);
        struct stat st {};
        return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? MMIOERR_FILENOTFOUND
                                                                     : MMIOERR_PATHNOTFOUND;
    }
    case ENOTDIR:
    case ENAMETOOLONG:
        return MMIOERR_PATHNOTFOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return MMIOERR_ACCESSDENIED;
    case EMFILE:
    case ENFILE:
        return MMIOERR_TOOMANYOPENFILES;
    case ENOMEM:
        return MMIOERR_OUTOFMEMORY;
    case ETXTBSY:
    case EBUSY:
        return MMIOERR_SHARINGVIOLATION;
    default:
        return MMIOERR_CANNOTOPEN;
    }
}

LRESULT dosOpen(MMIOINFO& info, const char* name) {
    if (!name) { // the caller passed an open file descriptor in adwInfo[0]
        if (fcntl(int(info.adwInfo[0]), F_GETFD) < 0) return MMIOERR_CANNOTOPEN;
        off_t at = lseek(int(info.adwInfo[0]), 0, SEEK_CUR);
        info.lDiskOffset = at >= 0 && at <= kMaxPosition ? LONG(at) : 0;
        return MMSYSERR_NOERROR;
    }
    int access = (info.dwFlags & MMIO_RWMODE) == MMIO_WRITE       ? O_WRONLY
                 : (info.dwFlags & MMIO_RWMODE) == MMIO_READWRITE ? O_RDWR
                                                                  : O_RDONLY;
    int flags = access | O_CLOEXEC;
    if (info.dwFlags & MMIO_CREATE)
        flags = (access == O_WRONLY ? O_WRONLY : O_RDWR) | O_CLOEXEC | O_CREAT | O_TRUNC;
    int fd = ::open(name, flags, 0666);
    if (fd < 0) return openError(errno, name);
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return MMIOERR_ACCESSDENIED;
    }
    info.adwInfo[0] = DWORD(fd);
    info.lDiskOffset = 0;
    return MMSYSERR_NOERROR;
}

LRESULT dosTransfer(MMIOINFO& info, UINT msg, char* p, LPARAM count) {
    if (count < 0 || (count > 0 && !p)) return -1;
    int fd = int(info.adwInfo[0]);
    LPARAM done = 0;
    while (done < count) {
        ssize_t n = msg == MMIOM_READ ? ::read(fd, p + done, std::size_t(count - done))
                                      : ::write(fd, p + done, std::size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return done > 0 ? done : -1;
        if (n == 0) break;
        done += n;
    }
    if (msg != MMIOM_READ && done < count) return -1;
    info.lDiskOffset = LONG(std::min<std::int64_t>(info.lDiskOffset + std::int64_t(done), kMaxPosition));
    return done;
}

LRESULT dosSeek(MMIOINFO& info, LPARAM offset, LPARAM origin) {
    if (origin != SEEK_SET && origin != SEEK_CUR && origin != SEEK_END) return -1;
    int fd = int(info.adwInfo[0]);
    off_t base = origin == SEEK_SET   ? 0
                 : origin == SEEK_CUR ? off_t(info.lDiskOffset)
                                      : lseek(fd, 0, SEEK_END);
    if (base < 0) return -1;
    std::int64_t target = std::int64_t(base) + std::int64_t(offset);
    if (target < 0 || target > kMaxPosition) return -1;
    if (lseek(fd, off_t(target), SEEK_SET) < 0) return -1;
    info.lDiskOffset = LONG(target);
    return LRESULT(target);
}

} // namespace

HMMIO registerFile(std::unique_ptr<MmioFile> file) {
    std::lock_guard lock(g_lock);
    std::uintptr_t key = g_nextHandle;
    g_nextHandle += 16;
    auto handle = reinterpret_cast<HMMIO>(key);
    file->info.hmmio = handle;
    files().emplace(key, std::move(file));
    return handle;
}

MmioFile* lookup(HMMIO hmmio) {
    std::lock_guard lock(g_lock);
    auto it = files().find(reinterpret_cast<std::uintptr_t>(hmmio));
    return it == files().end() ? nullptr : it->second.get();
}

std::unique_ptr<MmioFile> unregisterFile(HMMIO hmmio) {
    std::lock_guard lock(g_lock);
    auto it = files().find(reinterpret_cast<std::uintptr_t>(hmmio));
    if (it == files().end()) return nullptr;
    auto file = std::move(it->second);
    files().erase(it);
    return file;
}

LRESULT dosIOProc(LPSTR lpmmioinfo, UINT msg, LPARAM lParam1, LPARAM lParam2) {
    if (!lpmmioinfo) return MMSYSERR_INVALPARAM;
    MMIOINFO& info = infoOf(lpmmioinfo);
    switch (msg) {
    case MMIOM_OPEN:
        return dosOpen(info, reinterpret_cast<const char*>(lParam1));
    case MMIOM_CLOSE:
        if (!(UINT(lParam1) & MMIO_FHOPEN) && ::close(int(info.adwInfo[0])) != 0) return MMIOERR_CANNOTCLOSE;
        return MMSYSERR_NOERROR;
    case MMIOM_READ:
    case MMIOM_WRITE:
    case MMIOM_WRITEFLUSH:
        return dosTransfer(info, msg, reinterpret_cast<char*>(lParam1), lParam2);
    case MMIOM_SEEK:
        return dosSeek(info, lParam1, lParam2);
    case MMIOM_RENAME: {
        auto from = reinterpret_cast<const char*>(lParam1);
        auto to = reinterpret_cast<const char*>(lParam2);
        if (!from || !to) return MMSYSERR_INVALPARAM;
        return ::rename(from, to) == 0 ? MMSYSERR_NOERROR : LRESULT(openError(errno, from));
    }
    default:
        return 0;
    }
}

// A memory image is its own buffer: mmio reads and writes it directly, so the procedure only has to
// say that there is nothing beyond the image and keep the disk position within it.
LRESULT memIOProc(LPSTR lpmmioinfo, UINT msg, LPARAM lParam1, LPARAM lParam2) {
    if (!lpmmioinfo) return MMSYSERR_INVALPARAM;
    MMIOINFO& info = infoOf(lpmmioinfo);
    switch (msg) {
    case MMIOM_OPEN:
    case MMIOM_CLOSE:
        return MMSYSERR_NOERROR;
    case MMIOM_READ:
        return 0;
    case MMIOM_WRITE:
    case MMIOM_WRITEFLUSH:
        return -1;
    case MMIOM_SEEK: {
        std::int64_t length = info.pchEndRead - info.pchBuffer;
        std::int64_t base = lParam2 == SEEK_SET ? 0 : lParam2 == SEEK_CUR ? info.lDiskOffset : length;
        std::int64_t target = base + std::int64_t(lParam1);
        if (lParam2 < SEEK_SET || lParam2 > SEEK_END || target < 0 || target > length) return -1;
        info.lDiskOffset = LONG(target);
        return LRESULT(target);
    }
    default:
        return 0;
    }
}

std::int64_t dosLength(const MMIOINFO& info) {
    struct stat st {};
    return fstat(int(info.adwInfo[0]), &st) == 0 ? std::int64_t(st.st_size) : -1;
}

LPMMIOPROC findIOProc(FOURCC fcc) {
    {
        std::lock_guard lock(g_lock);
        auto& procs = installed();
        for (auto it = procs.rbegin(); it != procs.rend(); ++it)
            if (it->first == fcc) return it->second;
    }
    if (fcc == FOURCC_DOS) return dosIOProc;
    if (fcc == FOURCC_MEM) return memIOProc;
    return nullptr;
}

} // namespace win::mmio

namespace win {

LPMMIOPROC mmioInstallIOProc(FOURCC fccIOProc, LPMMIOPROC pIOProc, DWORD dwFlags) {
    using namespace mmio;
    if (dwFlags & MMIO_INSTALLPROC) {
        if (!pIOProc || fccIOProc == 0) return nullptr;
        std::lock_guard lock(g_lock);
        installed().emplace_back(fccIOProc, pIOProc);
        return pIOProc;
    }
    if (dwFlags & MMIO_REMOVEPROC) {
        std::lock_guard lock(g_lock);
        auto& procs = installed();
        for (auto it = procs.rbegin(); it != procs.rend(); ++it) {
            if (it->first != fccIOProc) continue;
            LPMMIOPROC removed = it->second;
            procs.erase(std::next(it).base());
            return removed;
        }
        return nullptr; // the built-in procedures cannot be removed
    }
    if (dwFlags & MMIO_FINDPROC) return findIOProc(fccIOProc);
    return nullptr;
}

LRESULT mmioSendMessage(HMMIO hmmio, UINT uMsg, LPARAM lParam1, LPARAM lParam2) {
    mmio::MmioFile* f = mmio::lookup(hmmio);
    if (!f) return MMSYSERR_INVALHANDLE;
    return mmio::send(*f, uMsg, lParam1, lParam2);
}

} // namespace win
