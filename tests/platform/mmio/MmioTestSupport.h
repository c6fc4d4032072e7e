// Helpers of the mmio tests: RIFF images built byte by byte, and mmio files opened over them.
#pragma once

#include "platform/mmio/Mmio.h"
#include "platform/win/ByteReader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mmiotest {

// Appends a chunk: id, size (the body's unless given), body, pad byte for odd bodies.
inline void chunk(win::ByteWriter& w, const char (&id)[5], const std::vector<std::uint8_t>& body,
                  std::int64_t size = -1) {
    w.fourcc(id);
    w.u32(size < 0 ? std::uint32_t(body.size()) : std::uint32_t(size));
    w.bytes(body.data(), body.size());
    if (body.size() & 1) w.u8(0);
}

// A form chunk (RIFF or LIST) around the given children.
inline std::vector<std::uint8_t> form(const char (&id)[5], const char (&type)[5],
                                      const std::vector<std::uint8_t>& children) {
    win::ByteWriter w;
    w.fourcc(id);
    w.u32(std::uint32_t(children.size() + 4));
    w.fourcc(type);
    w.bytes(children.data(), children.size());
    return w.buffer();
}

inline std::vector<std::uint8_t> bytesOf(const std::string& s) {
    return {s.begin(), s.end()};
}

// Opens bytes as a read-only memory image.
inline win::HMMIO openImage(std::vector<std::uint8_t>& bytes, win::DWORD flags = win::MMIO_READ,
                            win::DWORD grow = 0) {
    win::MMIOINFO info{};
    info.fccIOProc = win::FOURCC_MEM;
    info.pchBuffer = reinterpret_cast<char*>(bytes.data());
    info.cchBuffer = win::LONG(bytes.size());
    info.adwInfo[0] = grow;
    return win::mmioOpen(nullptr, &info, flags);
}

} // namespace mmiotest
