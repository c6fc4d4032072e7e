// Bounds-checked little-endian reading over a byte span, and the matching writer.
// Every binary format of the project is read through this pair: a read past the end fails instead of
// touching memory, sub-readers confine a chunk to its declared size, and counts are overflow-checked.
// The reader remembers where its first failed read was attempted (an offset in the outer source), so a
// parser can read a run of fields and report one failure with its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

namespace win {

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> data, std::uint64_t baseOffset = 0)
        : m_data(data), m_base(baseOffset) {}

    std::size_t size() const { return m_data.size(); }
    std::size_t position() const { return m_pos; }
    std::size_t remaining() const { return m_data.size() - m_pos; }
    bool atEnd() const { return m_pos >= m_data.size(); }
    // Offset of the current position in the outer source (file), for error messages.
    std::uint64_t absolutePosition() const { return m_base + m_pos; }
    const std::uint8_t* current() const { return m_data.data() + m_pos; }

    bool seek(std::size_t pos) {
        if (pos > m_data.size()) return failFlag();
        m_pos = pos;
        return true;
    }
    bool skip(std::size_t n) {
        if (n > remaining()) return failFlag();
        m_pos += n;
        return true;
    }

    // The first failure: a read, skip, seek or split that did not fit.
    bool failed() const { return m_failed; }
    // Offset in the outer source where the first failed operation was attempted (valid when failed()).
    std::uint64_t failureOffset() const { return m_failOffset; }

    template <typename T> std::optional<T> read() {
        static_assert(std::is_integral_v<T>);
        if (remaining() < sizeof(T)) return fail<T>();
        T v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            v = T(v | (T(m_data[m_pos + i]) << (8 * i)));
        m_pos += sizeof(T);
        return v;
    }
    std::optional<std::uint8_t> u8() { return read<std::uint8_t>(); }
    std::optional<std::uint16_t> u16() { return read<std::uint16_t>(); }
    std::optional<std::uint32_t> u32() { return read<std::uint32_t>(); }
    std::optional<std::uint64_t> u64() { return read<std::uint64_t>(); }
    std::optional<std::int16_t> i16() { return read<std::int16_t>(); }
    std::optional<std::int32_t> i32() { return read<std::int32_t>(); }
    // A four-character code, first character in the lowest byte (as RIFF stores it).
    std::optional<std::uint32_t> fourcc() { return read<std::uint32_t>(); }

    // A view of the next n bytes, which the reader moves past; fails without moving when fewer remain.
    std::optional<std::span<const std::uint8_t>> span(std::size_t n) {
        if (n > remaining()) return fail<std::span<const std::uint8_t>>();
        auto s = m_data.subspan(m_pos, n);
        m_pos += n;
        return s;
    }

    // Copies n bytes out; fails without moving when fewer remain.
    bool readBytes(void* out, std::size_t n) {
        if (n > remaining()) return failFlag();
        if (n) std::memcpy(out, m_data.data() + m_pos, n);
        m_pos += n;
        return true;
    }

    // Reads a record of trivially copyable type T. When fewer than sizeof(T) bytes are available
    // (and lenient is set), the missing tail reads as zero: short headers in real files are common.
    template <typename T> bool readRecord(T& out, std::size_t available, bool lenient = true) {
        static_assert(std::is_trivially_copyable_v<T>);
        std::memset(&out, 0, sizeof(T));
        std::size_t n = available < sizeof(T) ? available : sizeof(T);
        if (n < sizeof(T) && !lenient) return failFlag();
        if (n > remaining()) return failFlag();
        std::memcpy(&out, m_data.data() + m_pos, n);
        m_pos += available <= remaining() ? available : n;
        return true;
    }

    // A reader over the next n bytes; the parent moves past them. Fails when fewer remain.
    std::optional<ByteReader> split(std::size_t n) {
        if (n > remaining()) return fail<ByteReader>();
        ByteReader sub(m_data.subspan(m_pos, n), m_base + m_pos);
        m_pos += n;
        return sub;
    }

    std::span<const std::uint8_t> bytes() const { return m_data; }

private:
    bool failFlag() {
        if (!m_failed) {
            m_failed = true;
            m_failOffset = absolutePosition();
        }
        return false;
    }
    template <typename T> std::optional<T> fail() {
        failFlag();
        return std::nullopt;
    }

    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    std::uint64_t m_base = 0;
    bool m_failed = false;
    std::uint64_t m_failOffset = 0;
};

// Multiplies a count by an element size, failing on overflow or when the result exceeds limit.
inline std::optional<std::size_t> checkedSize(std::uint64_t count, std::uint64_t elementSize,
                                              std::uint64_t limit = UINT64_MAX) {
    if (elementSize != 0 && count > limit / elementSize) return std::nullopt;
    std::uint64_t total = count * elementSize;
    if (total > limit || total > SIZE_MAX) return std::nullopt;
    return std::size_t(total);
}

class ByteWriter {
public:
    std::vector<std::uint8_t>& buffer() { return m_buf; }
    const std::vector<std::uint8_t>& buffer() const { return m_buf; }
    std::size_t size() const { return m_buf.size(); }

    template <typename T> void write(T v) {
        static_assert(std::is_integral_v<T>);
        for (std::size_t i = 0; i < sizeof(T); ++i)
            m_buf.push_back(std::uint8_t(std::make_unsigned_t<T>(v) >> (8 * i)));
    }
    void u8(std::uint8_t v) { write(v); }
    void u16(std::uint16_t v) { write(v); }
    void u32(std::uint32_t v) { write(v); }
    void u64(std::uint64_t v) { write(v); }
    void i16(std::int16_t v) { write(v); }
    void i32(std::int32_t v) { write(v); }
    void fourcc(const char (&s)[5]) { bytes(s, 4); }
    void bytes(const void* p, std::size_t n) {
        auto* b = static_cast<const std::uint8_t*>(p);
        m_buf.insert(m_buf.end(), b, b + n);
    }
    template <typename T> void record(const T& r) { bytes(&r, sizeof(T)); }
    void zeros(std::size_t n) { m_buf.insert(m_buf.end(), n, 0); }
    // Overwrites a 32-bit value at an earlier position (chunk sizes written after their contents).
    void patchU32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) m_buf[at + i] = std::uint8_t(v >> (8 * i));
    }

private:
    std::vector<std::uint8_t> m_buf;
};

} // namespace win
