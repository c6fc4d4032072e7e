// Builds RIFF WAVE files byte by byte for tests: any chunks in any order, with true or wrong sizes, pad
// bytes kept or left out, and the usual bodies (fmt of 16/18/40 bytes, data, fact, LIST INFO, DISP).
// The offsets where chunk bodies landed are recorded, so tests can compare a reader's results with
// what was written.
#pragma once

#include "platform/win/ByteReader.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace wavetest {

using Bytes = std::vector<std::uint8_t>;

struct Chunk {
    std::string id; // four characters
    Bytes body;
    std::int64_t sizeField = -1;  // -1: the body's size; else the value written
    bool pad = true;              // false: an odd body gets no pad byte
    std::uint32_t bodyOffset = 0; // where the body landed in the built file
};

struct PcmFormat {
    std::uint16_t tag = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 8000;
    std::uint16_t bits = 8;
    std::int32_t blockAlign = -1; // -1: channels * bits / 8
    std::int64_t byteRate = -1;   // -1: rate * blockAlign
    bool withCbSize = false;      // 18-byte record instead of 16
    Bytes extra;                  // bytes after cbSize (cbSize = their count)
};

inline Bytes fmtBody(const PcmFormat& f) {
    win::ByteWriter w;
    const std::uint16_t align =
        f.blockAlign >= 0 ? std::uint16_t(f.blockAlign) : std::uint16_t(std::uint32_t(f.channels) * f.bits / 8);
    w.u16(f.tag);
    w.u16(f.channels);
    w.u32(f.rate);
    w.u32(f.byteRate >= 0 ? std::uint32_t(f.byteRate) : f.rate * align);
    w.u16(align);
    w.u16(f.bits);
    if (f.withCbSize || !f.extra.empty()) {
        w.u16(std::uint16_t(f.extra.size()));
        w.bytes(f.extra.data(), f.extra.size());
    }
    return w.buffer();
}

// An EXTENSIBLE format whose sub-format is the standard GUID of `subTag`.
inline PcmFormat extensible(std::uint16_t subTag, std::uint16_t channels, std::uint32_t rate,
                            std::uint16_t bits) {
    PcmFormat f;
    f.tag = 0xFFFE;
    f.channels = channels;
    f.rate = rate;
    f.bits = bits;
    win::ByteWriter w;
    w.u16(bits);
    w.u32(channels == 2 ? 3 : 4);
    w.u32(subTag);
    const std::uint8_t tail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    w.bytes(tail, 12);
    f.extra = w.buffer();
    return f;
}

// The body of a LIST INFO chunk: "INFO" and one sub-chunk per tag (each value zero-terminated unless
// `terminate` is false, padded to even length unless `pad` is false).
inline Bytes infoBody(const std::vector<std::pair<std::string, std::string>>& tags, bool terminate = true,
                      bool pad = true) {
    win::ByteWriter w;
    w.fourcc("INFO");
    for (const auto& [id, text] : tags) {
        w.bytes(id.data(), 4);
        const std::uint32_t size = std::uint32_t(text.size() + (terminate ? 1 : 0));
        w.u32(size);
        w.bytes(text.data(), text.size());
        if (terminate) w.u8(0);
        if (pad && (size & 1)) w.u8(0);
    }
    return w.buffer();
}

inline Bytes dispText(const std::string& text) {
    win::ByteWriter w;
    w.u32(1);
    w.bytes(text.c_str(), text.size() + 1);
    return w.buffer();
}

class WaveBuilder {
  public:
    std::vector<Chunk> chunks;
    std::int64_t riffSize = -1; // -1: the true size
    std::string riffId = "RIFF";
    std::string form = "WAVE";

    WaveBuilder& add(std::string id, Bytes body, std::int64_t sizeField = -1, bool pad = true) {
        chunks.push_back(Chunk{std::move(id), std::move(body), sizeField, pad, 0});
        return *this;
    }
    WaveBuilder& fmt(const PcmFormat& f) { return add("fmt ", fmtBody(f)); }
    WaveBuilder& data(Bytes samples, std::int64_t sizeField = -1, bool pad = true) {
        return add("data", std::move(samples), sizeField, pad);
    }
    WaveBuilder& fact(std::uint32_t samples) {
        win::ByteWriter w;
        w.u32(samples);
        return add("fact", w.buffer());
    }
    WaveBuilder& info(const std::vector<std::pair<std::string, std::string>>& tags) {
        return add("LIST", infoBody(tags));
    }

    // The body offset of the first chunk with this id (after build()).
    std::uint32_t offsetOf(const std::string& id) const {
        for (const Chunk& c : chunks)
            if (c.id == id) return c.bodyOffset;
        return 0;
    }

    Bytes build() {
        win::ByteWriter w;
        w.bytes(riffId.data(), 4);
        w.u32(0);
        w.bytes(form.data(), 4);
        for (Chunk& c : chunks) {
            w.bytes(c.id.data(), 4);
            w.u32(c.sizeField >= 0 ? std::uint32_t(c.sizeField) : std::uint32_t(c.body.size()));
            c.bodyOffset = std::uint32_t(w.size());
            w.bytes(c.body.data(), c.body.size());
            if (c.pad && (c.body.size() & 1)) w.u8(0);
        }
        w.patchU32(4, riffSize >= 0 ? std::uint32_t(riffSize) : std::uint32_t(w.size() - 8));
        return w.buffer();
    }

    void writeFile(const std::string& path) {
        const Bytes bytes = build();
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
};

// Samples 0, 1, 2, ... as bytes (8-bit) for tests that check what was read back.
inline Bytes ramp(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = std::uint8_t(i * 7 + 3);
    return b;
}

} // namespace wavetest
