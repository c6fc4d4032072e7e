#include "platform/win/Files.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/statvfs.h>
#include <unistd.h>

namespace win {
namespace {

std::string tempFolder() {
    const char* env = std::getenv("TMPDIR");
    std::string folder = env && *env ? env : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string tempName(const std::string& folder, const std::string& prefix, UINT number) {
    char tail[16];
    std::snprintf(tail, sizeof tail, "%X.tmp", number & 0xFFFFu);
    return folder + prefix + tail;
}

// Where the search for a free number starts: differs between processes and calls, so that concurrent
// callers rarely try the same names.
UINT startNumber() {
    auto now = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    UINT n = UINT((now ^ (now >> 17) ^ (std::uint64_t(getpid()) * 2654435761u)) & 0xFFFFu);
    return n == 0 ? 1 : n;
}

bool copyOut(const std::string& name, LPSTR buffer) {
    if (name.size() + 1 > MAX_PATH) return false;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return true;
}

} // namespace

DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
    std::string folder = tempFolder();
    if (!lpBuffer || folder.size() + 1 > nBufferLength) return DWORD(folder.size() + 1);
    std::memcpy(lpBuffer, folder.c_str(), folder.size() + 1);
    return DWORD(folder.size());
}

UINT GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique, LPSTR lpTempFileName) {
    if (!lpPathName || !lpTempFileName) return 0;
    std::string folder = lpPathName;
    if (folder.empty()) folder = "./";
    if (folder.back() != '/') folder += '/';
    std::string prefix = lpPrefixString ? std::string(lpPrefixString).substr(0, 3) : std::string();
    if (uUnique != 0) {
        uUnique &= 0xFFFFu;
        return copyOut(tempName(folder, prefix, uUnique), lpTempFileName) ? uUnique : 0;
    }
    if (tempName(folder, prefix, 0xFFFF).size() + 1 > MAX_PATH) return 0;
    UINT number = startNumber();
    for (UINT tries = 0; tries < 0xFFFF; ++tries) {
        std::string name = tempName(folder, prefix, number);
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            copyOut(name, lpTempFileName);
            return number;
        }
        if (errno != EEXIST) return 0;
        number = number == 0xFFFF ? 1 : number + 1;
    }
    return 0;
}

BOOL GetDiskFreeSpaceExA(LPCSTR lpDirectoryName, std::uint64_t* lpFreeBytesAvailableToCaller,
                         std::uint64_t* lpTotalNumberOfBytes, std::uint64_t* lpTotalNumberOfFreeBytes) {
    struct statvfs info {};
    if (::statvfs(lpDirectoryName && *lpDirectoryName ? lpDirectoryName : ".", &info) != 0) return FALSE;
    // Block counts times the fragment size, saturating rather than wrapping on absurd values.
    auto bytes = [&](std::uint64_t blocks) {
        std::uint64_t result = 0;
        return __builtin_mul_overflow(blocks, std::uint64_t(info.f_frsize), &result) ? UINT64_MAX : result;
    };
    if (lpFreeBytesAvailableToCaller) *lpFreeBytesAvailableToCaller = bytes(info.f_bavail);
    if (lpTotalNumberOfBytes) *lpTotalNumberOfBytes = bytes(info.f_blocks);
    if (lpTotalNumberOfFreeBytes) *lpTotalNumberOfFreeBytes = bytes(info.f_bfree);
    return TRUE;
}

} // namespace win
