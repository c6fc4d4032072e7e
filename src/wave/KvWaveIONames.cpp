// File-name helpers over mmioOpen's parse, exist and delete modes and the system's temporary files.
#include "wave/KvWaveIO.h"

#include "platform/win/Files.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace kv {
namespace {

// mmioOpen takes a writable name: a copy of at most MAX_PATH - 1 characters.
bool withNameCopy(const char* name, win::DWORD flags) {
    if (!name) return false;
    char buffer[win::MAX_PATH] = {};
    const std::size_t length = strnlen(name, win::MAX_PATH);
    if (length == 0 || length >= win::MAX_PATH) return false;
    std::memcpy(buffer, name, length);
    return win::mmioOpen(buffer, nullptr, flags) != nullptr;
}

} // namespace

bool wioGetFullPathName(char* name) {
    if (!name || !*name) return false;
    return win::mmioOpen(name, nullptr, win::MMIO_PARSE) != nullptr;
}

bool wioFileExists(const char* name) {
    return withNameCopy(name, win::MMIO_EXIST);
}

bool wioFileDelete(const char* name) {
    return withNameCopy(name, win::MMIO_DELETE);
}

std::int32_t wioExtractPath(char* name) {
    if (!name) return 0;
    char* slash = std::strrchr(name, '/');
    if (slash)
        slash[1] = 0;
    else
        name[0] = 0;
    return std::int32_t(std::strlen(name));
}

bool wioFileCreateTemp(char* path) {
    if (!path) return false;
    if (!*path && win::GetTempPathA(win::MAX_PATH - 1, path) == 0) return false;
    if (!wioGetFullPathName(path)) return false;
    // A folder stays whole; a file name is cut back to its folder.
    std::error_code ec;
    const std::size_t length = std::strlen(path);
    if (std::filesystem::is_directory(path, ec) && length + 1 < win::MAX_PATH && path[length - 1] != '/') {
        path[length] = '/';
        path[length + 1] = 0;
    }
    wioExtractPath(path);
    char folder[win::MAX_PATH] = {};
    std::memcpy(folder, path, strnlen(path, win::MAX_PATH - 1));
    // Number 0 lets the system pick a name that is not taken yet and reserve it; a number chosen at
    // random could name an existing file, which the caller would then overwrite.
    if (win::GetTempFileNameA(folder, "w", 0, path) == 0) return false;
    if (!wioGetFullPathName(path)) return false;
    wioFileDelete(path);
    return true;
}

} // namespace kv
