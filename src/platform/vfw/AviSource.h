// Random-access byte sources an AVI file is read from: a file on disk (positioned reads, safe to use
// from several threads at once) or a block of memory (the fuzzer and in-memory tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace win {

class AviSource {
  public:
    virtual ~AviSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads up to n bytes at offset; returns how many were read (short only at the end or on error).
    virtual std::size_t readSome(std::uint64_t offset, void* out, std::size_t n) const = 0;
    // Reads exactly n bytes at offset; false when they are not all there.
    bool readExact(std::uint64_t offset, void* out, std::size_t n) const {
        return readSome(offset, out, n) == n;
    }
};

// Reads n bytes at offset from a file descriptor, retrying interrupted and short reads; returns the
// count read, less than n only at the end of the file or on an error.
std::size_t preadFully(int fd, std::uint64_t offset, void* out, std::size_t n);

class AviFileSource final : public AviSource {
  public:
    // Opens path for reading (and writing, when writable is set, to check that it can be written); on
    // failure returns nullptr and puts the system's reason in error.
    static std::unique_ptr<AviFileSource> open(const std::string& path, std::string& error,
                                               bool writable = false);
    ~AviFileSource() override;
    std::uint64_t size() const override { return m_size; }
    std::size_t readSome(std::uint64_t offset, void* out, std::size_t n) const override;
    int fd() const { return m_fd; }

  private:
    AviFileSource(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
    int m_fd;
    std::uint64_t m_size;
};

class AviMemorySource final : public AviSource {
  public:
    explicit AviMemorySource(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    std::uint64_t size() const override { return m_bytes.size(); }
    std::size_t readSome(std::uint64_t offset, void* out, std::size_t n) const override;

  private:
    std::vector<std::uint8_t> m_bytes;
};

} // namespace win
