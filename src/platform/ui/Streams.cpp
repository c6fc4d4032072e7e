#include "platform/ui/Streams.h"

#include "platform/ui/SysUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace host {

// ---- TStream ----

std::int64_t TStream::Size() {
    const std::int64_t pos = Seek(0, soFromCurrent);
    const std::int64_t size = Seek(0, soFromEnd);
    Seek(pos, soFromBeginning);
    return size;
}

void TStream::SetSize(std::int64_t) {}

std::int64_t TStream::bytesLeft() {
    const std::int64_t pos = Position();
    const std::int64_t size = Size();
    return pos >= 0 && size > pos ? size - pos : 0;
}

void TStream::ReadBuffer(void* buffer, std::int32_t count) {
    if (count == 0) return;
    if (count < 0) throw EReadError("Stream read error: negative byte count " + std::to_string(count));
    const std::int32_t got = Read(buffer, count);
    if (got != count)
        throw EReadError("Stream read error: " + std::to_string(count) + " bytes wanted, " +
                         std::to_string(got) + " available");
}

void TStream::WriteBuffer(const void* buffer, std::int32_t count) {
    if (count == 0) return;
    if (count < 0) throw EWriteError("Stream write error: negative byte count " + std::to_string(count));
    const std::int32_t put = Write(buffer, count);
    if (put != count)
        throw EWriteError("Stream write error: " + std::to_string(count) + " bytes offered, " +
                          std::to_string(put) + " written");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
    if (count < 0) throw EReadError("Stream read error: negative byte count " + std::to_string(count));
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr std::int64_t kChunk = 64 * 1024;
    std::vector<std::uint8_t> buffer(std::size_t(std::min(count, kChunk)));
    for (std::int64_t left = count; left > 0;) {
        const auto n = std::int32_t(std::min(left, kChunk));
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return count;
}

// ---- TMemoryStream ----

std::int32_t TMemoryStream::Read(void* buffer, std::int32_t count) {
    const auto size = std::int64_t(m_data.size());
    if (count <= 0 || m_position < 0 || m_position >= size) return 0;
    const auto n = std::int32_t(std::min<std::int64_t>(count, size - m_position));
    std::memcpy(buffer, m_data.data() + m_position, std::size_t(n));
    m_position += n;
    return n;
}

std::int32_t TMemoryStream::Write(const void* buffer, std::int32_t count) {
    if (count <= 0 || m_position < 0 || m_position > kMaxSize) return 0;
    const std::int64_t end = m_position + count;
    if (end > std::int64_t(m_data.size()) && !growTo(end)) return 0;
    std::memcpy(m_data.data() + m_position, buffer, std::size_t(count));
    m_position = end;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, std::uint16_t origin) {
    std::int64_t base = 0;
    if (origin == soFromCurrent) base = m_position;
    else if (origin == soFromEnd) base = std::int64_t(m_data.size());
    std::int64_t target = 0;
    // A position beyond the 64-bit range leaves the position where it was.
    if (!__builtin_add_overflow(base, offset, &target)) m_position = target;
    return m_position;
}

bool TMemoryStream::growTo(std::int64_t size) {
    if (size < 0 || size > kMaxSize) return false;
    try {
        // Amortised growth: the vector doubles its capacity, so byte-wise writing stays linear.
        m_data.resize(std::size_t(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void TMemoryStream::SetSize(std::int64_t size) {
    if (size < 0 || size > kMaxSize)
        throw EStreamError("Memory stream size out of range (" + std::to_string(size) + ")");
    if (!growTo(size)) throw EOutOfMemory("Out of memory for a memory stream of " + std::to_string(size) + " bytes");
    if (m_position > size) m_position = size;
}

void TMemoryStream::Clear() {
    m_data.clear();
    m_data.shrink_to_fit();
    m_position = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
    source.SetPosition(0);
    const std::int64_t size = source.Size();
    SetSize(size);
    m_position = 0;
    if (size > 0) source.ReadBuffer(m_data.data(), std::int32_t(size));
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, fmOpenRead);
    LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& dest) const {
    if (!m_data.empty()) dest.WriteBuffer(m_data.data(), std::int32_t(m_data.size()));
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
    TFileStream file(fileName, fmCreate);
    SaveToStream(file);
}

// ---- TFileStream ----

namespace {

std::string systemReason(int error) { return std::strerror(error); }

} // namespace

TFileStream::TFileStream(const std::string& fileName, std::uint16_t mode) : m_fileName(fileName) {
    if (mode == fmCreate) {
        m_fd = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (m_fd < 0) throw EFCreateError("Cannot create file \"" + fileName + "\": " + systemReason(errno));
        return;
    }
    int flags = 0;
    switch (mode & 0x0003) {
    case fmOpenRead: flags = O_RDONLY; break;
    case fmOpenWrite: flags = O_WRONLY; break;
    case fmOpenReadWrite: flags = O_RDWR; break;
    default: throw EFOpenError("Cannot open file \"" + fileName + "\": invalid open mode");
    }
    m_fd = ::open(fileName.c_str(), flags | O_CLOEXEC);
    if (m_fd < 0) throw EFOpenError("Cannot open file \"" + fileName + "\": " + systemReason(errno));
    struct stat st {};
    if (::fstat(m_fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        throw EFOpenError("Cannot open file \"" + fileName + "\": " + systemReason(EISDIR));
    }
}

TFileStream::~TFileStream() {
    if (m_fd >= 0) ::close(m_fd);
}

std::int32_t TFileStream::Read(void* buffer, std::int32_t count) {
    std::int32_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(m_fd, static_cast<char*>(buffer) + done, std::size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += std::int32_t(n);
    }
    return done;
}

std::int32_t TFileStream::Write(const void* buffer, std::int32_t count) {
    std::int32_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, static_cast<const char*>(buffer) + done, std::size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += std::int32_t(n);
    }
    return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, std::uint16_t origin) {
    int whence = SEEK_SET;
    if (origin == soFromCurrent) whence = SEEK_CUR;
    else if (origin == soFromEnd) whence = SEEK_END;
    return std::int64_t(::lseek(m_fd, off_t(offset), whence));
}

void TFileStream::SetSize(std::int64_t size) {
    if (size < 0 || ::ftruncate(m_fd, off_t(size)) != 0)
        throw EStreamError("Cannot set the size of \"" + m_fileName + "\": " + systemReason(size < 0 ? EINVAL : errno));
    if (Position() > size) SetPosition(size);
}

} // namespace host
