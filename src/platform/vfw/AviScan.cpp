// Rebuilding the chunk lists by walking movi (and the movi of every AVIX continuation) to the end of the
// file, for files whose index is missing, cut short or does not match the data.
#include "platform/vfw/AviRiff.h"
#include "platform/win/ByteReader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace win {

namespace {

constexpr std::size_t kWindowBytes = 16u << 10;
constexpr std::uint64_t kResyncLimit = 4u << 20;

// Small reads near each other are served from one larger positioned read.
class Window {
  public:
    explicit Window(const AviSource& src) : m_src(src), m_buf(kWindowBytes) {}
    std::size_t read(std::uint64_t pos, std::uint8_t* out, std::size_t n) {
        if (pos < m_pos || pos + n > m_pos + m_len) {
            m_pos = pos;
            m_len = m_src.readSome(pos, m_buf.data(), m_buf.size());
        }
        std::size_t avail = pos - m_pos < m_len ? std::size_t(m_len - (pos - m_pos)) : 0;
        std::size_t k = std::min(n, avail);
        if (k) std::memcpy(out, m_buf.data() + (pos - m_pos), k);
        return k;
    }

  private:
    const AviSource& m_src;
    std::vector<std::uint8_t> m_buf;
    std::uint64_t m_pos = 0;
    std::size_t m_len = 0;
};

bool isMpeg4Asp(const AviStreamModel& s) {
    if (s.format.size() < 20) return false;
    char fcc[5] = {};
    for (int i = 0; i < 4; ++i)
        fcc[i] = char(std::toupper(s.format[16 + i]));
    for (const char* c : {"XVID", "DIVX", "DX50", "FMP4", "3IV2", "MP4S"})
        if (std::memcmp(fcc, c, 4) == 0) return true;
    return false;
}

class Scanner {
  public:
    Scanner(const AviSource& src, AviFileModel& model) : m_src(src), m_model(model), m_win(src) {
        m_byNumber.fill(-1);
        for (std::size_t i = 0; i < model.streams.size(); ++i) {
            m_byNumber[model.streams[i].number] = int(i);
            m_mpeg4[i] = isMpeg4Asp(model.streams[i]);
        }
    }

    void run(std::uint64_t pos) {
        const std::uint64_t end = m_src.size();
        bool lastOdd = false;
        while (pos + 8 <= end) {
            std::uint8_t b[12] = {};
            std::size_t got = m_win.read(pos, b, 12);
            if (got < 8) break;
            ByteReader r({b, got}, pos);
            FOURCC id = *r.u32();
            std::uint32_t size = *r.u32();
            FOURCC form = r.u32().value_or(0);
            if (!aviValidFourcc(id)) {
                // A writer that left out the pad byte of an odd chunk: the header sits one byte earlier.
                if (lastOdd && plausibleAt(pos - 1)) {
                    pos -= 1;
                } else if (auto next = resync(pos + 1)) {
                    pos = *next;
                } else {
                    break;
                }
                lastOdd = false;
                continue;
            }
            if ((id == kRiff || id == kList) && (form == kAvix || form == kMovi || form == kRec)) {
                pos += 12; // step into the containers that hold data chunks
                lastOdd = false;
                continue;
            }
            int n = aviStreamNumber(id);
            int si = n >= 0 ? m_byNumber[std::size_t(n)] : -1;
            if (si >= 0 && aviIndexStreamNumber(id) < 0) {
                if (!addChunk(m_model.streams[std::size_t(si)], std::size_t(si), id, pos, size)) break;
            }
            pos += 8 + std::uint64_t(size) + (size & 1);
            lastOdd = (size & 1) != 0;
        }
    }

  private:
    // Returns false when the chunk runs past the end of the file (the scan stops there).
    bool addChunk(AviStreamModel& s, std::size_t si, FOURCC id, std::uint64_t pos, std::uint32_t size) {
        const std::uint64_t data = pos + 8;
        if (data + size > m_src.size()) {
            // Cut off by the end of the file: audio keeps what is there, a partial frame is dropped.
            if (s.isAudio() && data < m_src.size())
                s.chunks.push_back({data, std::uint32_t(m_src.size() - data), true});
            return false;
        }
        if (fourccByte(id, 2) == 'p' && fourccByte(id, 3) == 'c') {
            aviAddPaletteChange(m_src, s, data, size);
            return true;
        }
        s.chunks.push_back({data, size, size > 0 && isKey(si, data, size)});
        return true;
    }

    // Without an index, key frames are guessed: MPEG-4 frames are I-frames when their first VOP is
    // coded intra; every other codec here is taken as intra-coded.
    bool isKey(std::size_t si, std::uint64_t data, std::uint32_t size) {
        if (!m_mpeg4[si]) return true;
        std::uint8_t b[64];
        std::size_t n = m_win.read(data, b, std::min<std::size_t>(size, sizeof b));
        for (std::size_t i = 0; i + 4 < n; ++i)
            if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1 && b[i + 3] == 0xB6) return (b[i + 4] >> 6) == 0;
        return true;
    }

    bool plausibleAt(std::uint64_t pos) {
        std::uint8_t b[8];
        if (m_win.read(pos, b, 8) < 8) return false;
        ByteReader r(b);
        FOURCC id = *r.u32();
        std::uint32_t size = *r.u32();
        if (!aviValidFourcc(id) || pos + 8 + std::uint64_t(size) > m_src.size()) return false;
        int n = aviStreamNumber(id);
        bool known = (n >= 0 && m_byNumber[std::size_t(n)] >= 0) || id == kList || id == kRiff ||
                     id == kJunk || id == kIdx1 || aviIndexStreamNumber(id) >= 0;
        return known;
    }

    // Damaged data: look ahead for the next chunk of a known stream or a known container.
    std::optional<std::uint64_t> resync(std::uint64_t from) {
        const std::uint64_t limit = std::min(m_src.size(), from + kResyncLimit);
        for (std::uint64_t p = from; p + 8 <= limit; ++p)
            if (plausibleAt(p)) return p;
        return std::nullopt;
    }

    const AviSource& m_src;
    AviFileModel& m_model;
    Window m_win;
    std::array<int, 100> m_byNumber{};
    std::array<bool, 100> m_mpeg4{};
};

} // namespace

std::optional<AviError> aviScanMovi(const AviSource& src, const AviLayout& layout, AviFileModel& model) {
    Scanner(src, model).run(layout.moviPos + 4);
    return std::nullopt;
}

} // namespace win
