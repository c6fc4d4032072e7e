#include "platform/vfw/AviSource.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace win {

std::unique_ptr<AviFileSource> AviFileSource::open(const std::string& path, std::string& error,
                                                   bool writable) {
    int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
        error = std::strerror(EISDIR);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<AviFileSource>(new AviFileSource(fd, std::uint64_t(st.st_size)));
}

std::size_t preadFully(int fd, std::uint64_t offset, void* out, std::size_t n) {
    auto* p = static_cast<std::uint8_t*>(out);
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(fd, p + done, n - done, off_t(offset + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += std::size_t(r);
    }
    return done;
}

AviFileSource::~AviFileSource() {
    ::close(m_fd);
}

std::size_t AviFileSource::readSome(std::uint64_t offset, void* out, std::size_t n) const {
    return preadFully(m_fd, offset, out, n);
}

std::size_t AviMemorySource::readSome(std::uint64_t offset, void* out, std::size_t n) const {
    if (offset >= m_bytes.size()) return 0;
    std::size_t avail = std::size_t(m_bytes.size() - offset);
    std::size_t k = n < avail ? n : avail;
    if (k) std::memcpy(out, m_bytes.data() + offset, k);
    return k;
}

} // namespace win
