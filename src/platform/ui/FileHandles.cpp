#include "platform/ui/FileHandles.h"

#include "platform/ui/Streams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace host {

int FileOpen(const std::string& fileName, std::uint32_t mode) {
    int flags = O_CLOEXEC;
    switch (mode & 3) {
    case fmOpenWrite: flags |= O_WRONLY; break;
    case fmOpenReadWrite: flags |= O_RDWR; break;
    default: flags |= O_RDONLY; break;
    }
    return ::open(fileName.c_str(), flags);
}

int FileCreate(const std::string& fileName) {
    return ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

std::int32_t FileRead(int handle, void* buffer, std::int32_t count) {
    if (handle < 0 || count < 0) return -1;
    auto* p = static_cast<char*>(buffer);
    std::int32_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(handle, p + done, std::size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return done ? done : -1;
        if (n == 0) break;
        done += std::int32_t(n);
    }
    return done;
}

std::int32_t FileWrite(int handle, const void* buffer, std::int32_t count) {
    if (handle < 0 || count < 0) return -1;
    auto* p = static_cast<const char*>(buffer);
    std::int32_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(handle, p + done, std::size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return done ? done : -1;
        done += std::int32_t(n);
    }
    return done;
}

std::int64_t FileSeek(int handle, std::int64_t offset, int origin) {
    if (handle < 0 || origin < 0 || origin > 2) return -1;
    const int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
    const off_t r = ::lseek(handle, off_t(offset), whence);
    return r < 0 ? -1 : std::int64_t(r);
}

void FileClose(int handle) {
    if (handle >= 0) ::close(handle);
}

} // namespace host
