// Tiny WAVE files for the codec tests: writing one from a format record and data, and finding the
// format and data of one that sox or ffmpeg made.
#pragma once

#include "platform/win/ByteReader.h"
#include "wave/KvRegs.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

namespace adpcmtest {

struct WaveParts {
    std::vector<std::uint8_t> format; // the fmt chunk, at least a TWaveFormatEx (cbSize zero if absent)
    std::vector<std::uint8_t> data;
    const kv::TWaveFormatEx* wfx() const { return reinterpret_cast<const kv::TWaveFormatEx*>(format.data()); }
};

inline std::vector<std::uint8_t> makeWave(const void* format, std::size_t formatBytes,
                                          const std::vector<std::uint8_t>& data) {
    win::ByteWriter w;
    w.fourcc("RIFF");
    w.u32(0);
    w.fourcc("WAVE");
    w.fourcc("fmt ");
    w.u32(std::uint32_t(formatBytes));
    w.bytes(format, formatBytes);
    if (formatBytes & 1) w.u8(0);
    w.fourcc("data");
    w.u32(std::uint32_t(data.size()));
    w.bytes(data.data(), data.size());
    if (data.size() & 1) w.u8(0);
    w.patchU32(4, std::uint32_t(w.size() - 8));
    return w.buffer();
}

inline void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Walks the top-level chunks of a RIFF WAVE file for "fmt " and "data".
inline std::optional<WaveParts> readWave(const std::vector<std::uint8_t>& file) {
    win::ByteReader r(file);
    if (r.fourcc() != 0x46464952u || !r.u32() || r.fourcc() != 0x45564157u) return std::nullopt;
    WaveParts parts;
    bool haveData = false;
    while (r.remaining() >= 8) {
        auto id = r.fourcc();
        auto size = r.u32();
        auto body = r.span(std::min<std::size_t>(*size, r.remaining()));
        if (*size & 1) r.skip(std::min<std::size_t>(1, r.remaining()));
        if (*id == 0x20746d66u) {
            parts.format.assign(body->begin(), body->end());
            if (parts.format.size() < sizeof(kv::TWaveFormatEx))
                parts.format.resize(sizeof(kv::TWaveFormatEx), 0);
        } else if (*id == 0x61746164u) {
            parts.data.assign(body->begin(), body->end());
            haveData = true;
        }
    }
    if (parts.format.empty() || !haveData) return std::nullopt;
    return parts;
}

} // namespace adpcmtest
