// Builds AVI files byte by byte for tests: streams with their headers and formats, data chunks (zero-length
// ones too), palette changes, idx1 relative or absolute or none, OpenDML (indx, ix##, AVIX, dmlh),
// 'rec ' lists, JUNK, odd chunks with or without pad bytes, unfinished headers. The chunk positions of
// the built file are recorded so tests can compare what a reader returns with what was written.
#pragma once

#include "platform/win/ByteReader.h"
#include "platform/win/WinTypes.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace avitest {

using win::BYTE;
using win::DWORD;
using win::FOURCC;
using win::mmioFOURCC;

inline FOURCC fcc(const char (&s)[5]) {
    return mmioFOURCC(s[0], s[1], s[2], s[3]);
}

struct Stream {
    win::AVIStreamHeader header{};
    std::vector<std::uint8_t> format;
    std::string name;
};

struct Chunk {
    int stream = 0;
    char twocc[2] = {'d', 'c'};
    std::vector<std::uint8_t> data;
    bool key = true;
    std::uint64_t dataPos = 0; // where the data landed in the built file
};

enum class Idx1 { Relative, Absolute, None };

struct Options {
    Idx1 idx1 = Idx1::Relative;
    std::int32_t idx1Bias = 0;          // added to every idx1 offset (writers that are off by a few bytes)
    bool openDml = false;               // indx super index + ix## per RIFF + dmlh
    std::size_t chunksPerRiff = 0;      // OpenDML: start an AVIX RIFF after this many chunks (0: one RIFF)
    bool fieldIndex = false;            // OpenDML: standard index entries of three longs
    std::size_t recEvery = 0;           // group this many chunks in a LIST 'rec '
    bool junkBeforeMovi = false;        // a JUNK chunk before movi (alignment padding)
    bool padOddChunks = true;           // false: writer that leaves out pad bytes
    bool riffSizeZero = false;          // unfinished file: RIFF size 0
    bool moviSizeZero = false;          // unfinished file: movi size 0
    DWORD avihTotalFrames = 0xFFFFFFFF; // 0xFFFFFFFF: the real count
    DWORD avihMicroSecPerFrame = 100000;
    // OpenDML: a hole of this many bytes (filled with JUNK chunks) before the first AVIX, so that later
    // chunks lie above 4 GB. build() then returns the bytes without the hole; writeFile() puts them on
    // disk as a sparse file.
    std::uint64_t gapBeforeAvix = 0;
};

class AviBuilder {
  public:
    Options options;
    std::vector<Stream> streams;
    std::vector<Chunk> chunks;

    int addVideo(std::int32_t width, std::int32_t height, std::uint16_t bpp = 24, DWORD compression = 0,
                 DWORD rate = 10, DWORD scale = 1, std::vector<win::RGBQUAD> palette = {}) {
        Stream s;
        s.header.fccType = fcc("vids");
        s.header.fccHandler = compression;
        s.header.dwScale = scale;
        s.header.dwRate = rate;
        win::BITMAPINFOHEADER bi{};
        bi.biSize = 40;
        bi.biWidth = width;
        bi.biHeight = height;
        bi.biPlanes = 1;
        bi.biBitCount = bpp;
        bi.biCompression = compression;
        bi.biClrUsed = DWORD(palette.size());
        bi.biSizeImage = DWORD(((width * bpp + 31) / 32) * 4 * (height < 0 ? -height : height));
        win::ByteWriter w;
        w.record(bi);
        for (auto& q : palette)
            w.record(q);
        s.format = w.buffer();
        streams.push_back(s);
        return int(streams.size()) - 1;
    }

    int addAudio(std::uint16_t channels = 2, DWORD sampleRate = 8000, std::uint16_t bits = 16) {
        Stream s;
        win::WAVEFORMATEX wf{};
        wf.wFormatTag = win::WAVE_FORMAT_PCM;
        wf.nChannels = channels;
        wf.nSamplesPerSec = sampleRate;
        wf.nBlockAlign = std::uint16_t(channels * bits / 8);
        wf.nAvgBytesPerSec = sampleRate * wf.nBlockAlign;
        wf.wBitsPerSample = bits;
        s.header.fccType = fcc("auds");
        s.header.dwScale = wf.nBlockAlign;
        s.header.dwRate = wf.nAvgBytesPerSec;
        s.header.dwSampleSize = wf.nBlockAlign;
        win::ByteWriter w;
        w.record(wf);
        s.format = w.buffer();
        streams.push_back(s);
        return int(streams.size()) - 1;
    }

    Chunk& addChunk(int stream, std::vector<std::uint8_t> data, bool key = true,
                    const char* twocc = nullptr) {
        Chunk c;
        c.stream = stream;
        bool audio = streams[std::size_t(stream)].header.fccType == fcc("auds");
        const char* t = twocc ? twocc : (audio ? "wb" : "dc");
        c.twocc[0] = t[0];
        c.twocc[1] = t[1];
        c.data = std::move(data);
        c.key = key;
        chunks.push_back(std::move(c));
        return chunks.back();
    }

    // A frame whose bytes are all `fill`, `size` long (0: a dropped frame).
    Chunk& addFrame(int stream, std::size_t size, std::uint8_t fill, bool key = true) {
        return addChunk(stream, std::vector<std::uint8_t>(size, fill), key);
    }

    void addPaletteChange(int stream, std::uint8_t first, const std::vector<win::PALETTEENTRY>& entries) {
        win::ByteWriter w;
        w.u8(first);
        w.u8(std::uint8_t(entries.size() == 256 ? 0 : entries.size()));
        w.u16(0);
        for (auto& e : entries)
            w.record(e);
        addChunk(stream, w.buffer(), false, "pc");
    }

    std::vector<std::uint8_t> build() {
        win::ByteWriter w;
        m_w = &w;
        m_shift = 0;
        m_indxPos.assign(streams.size(), 0);
        std::size_t riff = begin("RIFF", "AVI ");
        writeHeaders();
        if (options.junkBeforeMovi) {
            w.fourcc("JUNK");
            w.u32(20);
            w.zeros(20);
        }
        std::vector<std::vector<Superslot>> superSlots(streams.size());
        std::size_t next = 0;
        bool first = true;
        while (next < chunks.size() || first) {
            std::size_t count =
                options.openDml && options.chunksPerRiff ? options.chunksPerRiff : chunks.size();
            std::size_t end = std::min(chunks.size(), next + count);
            if (!first && options.gapBeforeAvix && !m_shift) {
                m_gapAt = w.size();
                m_shift = options.gapBeforeAvix;
            }
            std::size_t riffAt = first ? riff : begin("RIFF", "AVIX");
            std::size_t movi = begin("LIST", "movi");
            writeChunks(next, end);
            if (options.openDml) writeStandardIndexes(next, end, superSlots);
            finish(movi, options.moviSizeZero && first);
            if (first && options.idx1 != Idx1::None) writeIdx1(movi + 8, end);
            finish(riffAt, options.riffSizeZero && first);
            first = false;
            next = end;
        }
        if (options.openDml) patchSuperIndexes(superSlots);
        m_w = nullptr;
        return w.buffer();
    }

    // Writes built bytes to path, with the hole of gapBeforeAvix as JUNK chunks that take no disk space.
    bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) const {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        std::size_t head = m_shift ? m_gapAt : bytes.size();
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(head));
        std::uint64_t pos = head, left = m_shift;
        while (left > 0) {
            std::uint64_t size = std::min<std::uint64_t>(left - 8, 0x7FFFFFF0);
            if (left - 8 - size < 8) size = left - 8; // no room for another header: take it all
            win::ByteWriter h;
            h.fourcc("JUNK");
            h.u32(DWORD(size));
            out.seekp(std::streamoff(pos));
            out.write(reinterpret_cast<const char*>(h.buffer().data()), 8);
            pos += 8 + size;
            left -= 8 + size;
        }
        out.seekp(std::streamoff(pos));
        out.write(reinterpret_cast<const char*>(bytes.data() + head), std::streamsize(bytes.size() - head));
        return bool(out);
    }

  private:
    struct Superslot {
        std::uint64_t offset;
        DWORD size, duration;
    };
    static constexpr std::size_t kSlots = 32;

    std::size_t begin(const char (&id)[5], const char (&form)[5]) {
        std::size_t at = m_w->size();
        m_w->fourcc(id);
        m_w->u32(0);
        m_w->fourcc(form);
        return at;
    }
    void finish(std::size_t at, bool leaveZero = false) {
        if (!leaveZero) m_w->patchU32(at + 4, DWORD(m_w->size() - at - 8));
    }
    void chunk(const char (&id)[5], const void* data, std::size_t n) {
        m_w->fourcc(id);
        m_w->u32(DWORD(n));
        m_w->bytes(data, n);
        if (n & 1) m_w->u8(0);
    }
    static std::string chunkId(const Chunk& c) {
        std::string s = (c.stream < 10 ? "0" : "") + std::to_string(c.stream);
        return s + c.twocc[0] + c.twocc[1];
    }
    static bool isPaletteChange(const Chunk& c) { return c.twocc[0] == 'p' && c.twocc[1] == 'c'; }
    // Samples of a stream: chunks, or blocks for streams with a fixed sample size.
    std::size_t frameCount(int stream) const {
        std::size_t n = 0, bytes = 0;
        for (auto& c : chunks)
            if (c.stream == stream && !isPaletteChange(c)) {
                ++n;
                bytes += c.data.size();
            }
        DWORD ss = streams[std::size_t(stream)].header.dwSampleSize;
        return ss ? bytes / ss : n;
    }
    std::string dataChunkId(std::size_t stream) const {
        Chunk c;
        c.stream = int(stream);
        if (streams[stream].header.fccType == fcc("auds")) c.twocc[0] = 'w', c.twocc[1] = 'b';
        return chunkId(c);
    }

    void writeHeaders() {
        auto& w = *m_w;
        std::size_t hdrl = begin("LIST", "hdrl");
        win::MainAVIHeader avih{};
        avih.dwMicroSecPerFrame = options.avihMicroSecPerFrame;
        avih.dwFlags = options.idx1 != Idx1::None ? win::AVIF_HASINDEX : 0;
        avih.dwStreams = DWORD(streams.size());
        avih.dwTotalFrames = options.avihTotalFrames != 0xFFFFFFFF
                                 ? options.avihTotalFrames
                                 : DWORD(streams.empty() ? 0 : frameCount(0));
        for (auto& s : streams) {
            if (s.header.fccType != fcc("vids") || s.format.size() < 12) continue;
            win::ByteReader r(s.format);
            r.skip(4);
            avih.dwWidth = DWORD(*r.i32());
            std::int32_t h = *r.i32();
            avih.dwHeight = DWORD(h < 0 ? -h : h);
            break;
        }
        chunk("avih", &avih, sizeof avih);
        for (std::size_t i = 0; i < streams.size(); ++i) {
            Stream& s = streams[i];
            std::size_t strl = begin("LIST", "strl");
            win::AVIStreamHeader h = s.header;
            if (h.dwLength == 0) h.dwLength = DWORD(frameCount(int(i)));
            chunk("strh", &h, sizeof h);
            chunk("strf", s.format.data(), s.format.size());
            if (!s.name.empty()) chunk("strn", s.name.c_str(), s.name.size() + 1);
            if (options.openDml) {
                w.fourcc("indx");
                w.u32(24 + 16 * kSlots);
                m_indxPos[i] = w.size();
                w.u16(4);
                w.u8(0);
                w.u8(0); // index of indexes
                w.u32(0);
                w.bytes(dataChunkId(i).data(), 4);
                w.zeros(12 + 16 * kSlots);
            }
            finish(strl);
        }
        if (options.openDml) {
            std::size_t odml = begin("LIST", "odml");
            DWORD total = DWORD(streams.empty() ? 0 : frameCount(0));
            chunk("dmlh", &total, 4);
            finish(odml);
        }
        finish(hdrl);
    }

    void writeChunks(std::size_t from, std::size_t to) {
        auto& w = *m_w;
        std::size_t rec = 0, inRec = 0;
        for (std::size_t i = from; i < to; ++i) {
            if (options.recEvery && inRec == 0) rec = begin("LIST", "rec ");
            Chunk& c = chunks[i];
            std::string id = chunkId(c);
            w.bytes(id.data(), 4);
            w.u32(DWORD(c.data.size()));
            c.dataPos = w.size() + m_shift;
            w.bytes(c.data.data(), c.data.size());
            if ((c.data.size() & 1) && options.padOddChunks) w.u8(0);
            if (options.recEvery && (++inRec == options.recEvery || i + 1 == to)) {
                finish(rec);
                inRec = 0;
            }
        }
    }

    void writeIdx1(std::size_t moviFourcc, std::size_t to) {
        auto& w = *m_w;
        w.fourcc("idx1");
        std::size_t sizeAt = w.size();
        w.u32(0);
        for (std::size_t i = 0; i < to; ++i) {
            const Chunk& c = chunks[i];
            std::string id = chunkId(c);
            w.bytes(id.data(), 4);
            w.u32(c.key && !c.data.empty() ? win::AVIIF_KEYFRAME : 0);
            std::uint64_t header = c.dataPos - 8;
            std::uint64_t off = options.idx1 == Idx1::Absolute ? header : header - moviFourcc;
            w.u32(DWORD(std::int64_t(off) + options.idx1Bias));
            w.u32(DWORD(c.data.size()));
        }
        w.patchU32(sizeAt, DWORD(w.size() - sizeAt - 4));
    }

    void writeStandardIndexes(std::size_t from, std::size_t to, std::vector<std::vector<Superslot>>& superSlots) {
        auto& w = *m_w;
        for (std::size_t s = 0; s < streams.size(); ++s) {
            std::vector<const Chunk*> mine;
            for (std::size_t i = from; i < to; ++i)
                if (chunks[i].stream == int(s) && !isPaletteChange(chunks[i])) mine.push_back(&chunks[i]);
            if (mine.empty()) continue;
            bool field = options.fieldIndex && streams[s].header.fccType == fcc("vids");
            std::uint64_t base = mine.front()->dataPos - 8;
            std::uint64_t at = w.size() + m_shift;
            std::string ix = std::string("ix") + (s < 10 ? "0" : "") + std::to_string(s);
            w.bytes(ix.data(), 4);
            std::size_t entry = field ? 12 : 8;
            w.u32(DWORD(24 + entry * mine.size()));
            w.u16(field ? 3 : 2);
            w.u8(field ? 1 : 0);
            w.u8(1); // index of chunks
            w.u32(DWORD(mine.size()));
            std::string id = chunkId(*mine.front());
            w.bytes(id.data(), 4);
            w.u64(base);
            w.u32(0);
            for (auto* c : mine) {
                w.u32(DWORD(c->dataPos - base));
                w.u32(DWORD(c->data.size()) | (c->key && !c->data.empty() ? 0 : 0x80000000u));
                if (field) w.u32(DWORD(c->dataPos - base + c->data.size() / 2));
            }
            superSlots[s].push_back({at, DWORD(w.size() + m_shift - at), DWORD(mine.size())});
        }
    }

    void patchSuperIndexes(const std::vector<std::vector<Superslot>>& superSlots) {
        for (std::size_t s = 0; s < streams.size(); ++s) {
            std::size_t at = m_indxPos[s];
            std::size_t n = std::min(superSlots[s].size(), kSlots);
            m_w->patchU32(at + 4, DWORD(n));
            for (std::size_t k = 0; k < n; ++k) {
                std::size_t e = at + 24 + 16 * k;
                m_w->patchU32(e, DWORD(superSlots[s][k].offset));
                m_w->patchU32(e + 4, DWORD(superSlots[s][k].offset >> 32));
                m_w->patchU32(e + 8, superSlots[s][k].size);
                m_w->patchU32(e + 12, superSlots[s][k].duration);
            }
        }
    }

    win::ByteWriter* m_w = nullptr;
    std::uint64_t m_shift = 0; // hole before the current position (gapBeforeAvix)
    std::size_t m_gapAt = 0;
    std::vector<std::size_t> m_indxPos;
};

// Little helpers for test data.
inline std::vector<std::uint8_t> truncated(std::vector<std::uint8_t> bytes, std::size_t size) {
    bytes.resize(std::min(bytes.size(), size));
    return bytes;
}

inline void patchU32(std::vector<std::uint8_t>& bytes, std::size_t at, DWORD v) {
    for (int i = 0; i < 4; ++i)
        bytes[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

} // namespace avitest
