// Paths, temporary files, file sizes, disk space and starting programs. Paths are native: the separator
// is "/", and the root "/" plays the part of a drive's root.
#include "core/KvUtils.h"

#include "platform/win/CommandLine.h"
#include "platform/win/Files.h"

#include <cerrno>
#include <filesystem>
#include <limits>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

namespace kv {
namespace {

namespace fs = std::filesystem;

std::int64_t clampToInt64(std::uint64_t v) {
    return v > std::uint64_t(std::numeric_limits<std::int64_t>::max())
               ? std::numeric_limits<std::int64_t>::max()
               : std::int64_t(v);
}

// The path itself when it exists, else its nearest existing parent (at last the root or the current
// folder), so that the space of the file system a file would be created on can be asked for.
fs::path existingFolder(const std::string& path) {
    std::error_code ec;
    fs::path p = path.empty() ? fs::current_path(ec) : fs::absolute(path, ec).lexically_normal();
    if (ec) return fs::path(".");
    while (!fs::exists(p, ec) && p.has_relative_path())
        p = p.parent_path();
    return p;
}

} // namespace

// The root "/" stays as it is when the separator is removed: an empty path would no longer name it.
std::string CheckPath(const std::string& path, bool add) {
    if (path.empty()) return path;
    bool ends = path.back() == '/';
    if (add) return ends ? path : path + "/";
    return ends && path != "/" ? path.substr(0, path.size() - 1) : path;
}

// A new, empty file of the temporary folder whose name starts with "w"; the file is created so that
// nobody else takes the name. Empty when no file can be created.
std::string GetTempFile() {
    char folder[win::MAX_PATH], name[win::MAX_PATH];
    win::DWORD length = win::GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder) return {};
    if (win::GetTempFileNameA(folder, "w", 0, name) == 0) return {};
    return name;
}

// -1 when the name does not exist; 0 for what exists but is no regular file (a folder, a device).
std::int64_t GetFileSize(const std::string& name) {
    struct stat info {};
    if (name.empty() || ::stat(name.c_str(), &info) != 0) return -1;
    return S_ISREG(info.st_mode) ? std::int64_t(info.st_size) : 0;
}

bool GetDiskStats(const std::string& path, std::int64_t& free, std::int64_t& total) {
    std::uint64_t available = 0, size = 0;
    if (!win::GetDiskFreeSpaceExA(existingFolder(path).c_str(), &available, &size, nullptr)) {
        free = 0;
        total = 1;
        return false;
    }
    free = clampToInt64(available);
    total = clampToInt64(size);
    return true;
}

bool GetDiskFree(const std::string& path, std::int64_t needed) {
    std::int64_t free = 0, total = 0;
    return GetDiskStats(path, free, total) && free >= needed;
}

// There are no short 8.3 names here: the name made absolute, when the file or folder exists.
std::string GetShortFileName(const std::string& name) {
    if (name.empty()) return {};
    std::error_code ec;
    fs::path p = fs::absolute(name, ec).lexically_normal();
    if (ec || !fs::exists(p, ec)) return {};
    return p.string();
}

// Starts the program directly (searched on PATH when the name has no "/"), never through a shell, with
// the arguments split by the platform's quoting rules, and waits for it to end.
bool WinExecAndWait(const std::string& commandLine) {
    std::vector<std::string> args = win::splitCommandLine(commandLine);
    if (args.empty() || args[0].empty()) return false;
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

} // namespace kv
