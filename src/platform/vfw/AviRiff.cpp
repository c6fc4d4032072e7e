#include "platform/vfw/AviRiff.h"

#include "platform/win/ByteReader.h"

#include <cstdio>

namespace win {

std::string AviError::describe() const {
    if (offset == UINT64_MAX) return message;
    char buf[40];
    std::snprintf(buf, sizeof buf, " (offset 0x%llx)", static_cast<unsigned long long>(offset));
    return message + buf;
}

static bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int aviStreamNumber(FOURCC ckid) {
    char a = fourccByte(ckid, 0), b = fourccByte(ckid, 1);
    if (!isDigit(a) || !isDigit(b)) return -1;
    return (a - '0') * 10 + (b - '0');
}

int aviIndexStreamNumber(FOURCC ckid) {
    char c0 = fourccByte(ckid, 0), c1 = fourccByte(ckid, 1), c2 = fourccByte(ckid, 2),
         c3 = fourccByte(ckid, 3);
    if (c0 == 'i' && c1 == 'x' && isDigit(c2) && isDigit(c3)) return (c2 - '0') * 10 + (c3 - '0');
    if (c2 == 'i' && c3 == 'x' && isDigit(c0) && isDigit(c1)) return (c0 - '0') * 10 + (c1 - '0');
    return -1;
}

bool aviValidFourcc(FOURCC f) {
    for (int i = 0; i < 4; ++i) {
        char c = fourccByte(f, i);
        bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ' ' ||
                  c == '_';
        if (!ok) return false;
    }
    return true;
}

std::string aviFourccText(FOURCC f) {
    std::string s;
    for (int i = 0; i < 4; ++i) {
        char c = fourccByte(f, i);
        s += (c >= 32 && c < 127) ? c : '?';
    }
    return s;
}

std::optional<RiffHeader> readRiffHeader(const AviSource& src, std::uint64_t pos) {
    std::uint8_t b[12];
    std::size_t n = src.readSome(pos, b, sizeof b);
    if (n < 8) return std::nullopt;
    ByteReader r({b, n}, pos);
    RiffHeader h;
    h.pos = pos;
    h.id = *r.u32();
    h.size = *r.u32();
    if (h.isList()) {
        if (n < 12) return std::nullopt;
        h.form = *r.u32();
    }
    return h;
}

void aviAddPaletteChange(const AviSource& src, AviStreamModel& stream, std::uint64_t dataPos,
                         std::uint32_t size) {
    // AVIPALCHANGE: first entry, entry count (0 means 256), flags, then the entries.
    constexpr std::uint32_t kMax = 4 + 4 * 256;
    if (size < 4 || size > kMax) return;
    std::uint8_t buf[kMax];
    if (!src.readExact(dataPos, buf, size)) return;
    std::uint32_t first = buf[0];
    std::uint32_t count = buf[1] ? buf[1] : 256;
    if (first + count > 256 || 4 + 4 * count > size) return;
    AviPaletteChange change;
    change.position = std::uint32_t(stream.chunks.size());
    change.first = first;
    change.entries.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = buf + 4 + 4 * i;
        change.entries[i] = PALETTEENTRY{e[0], e[1], e[2], e[3]};
    }
    stream.paletteChanges.push_back(std::move(change));
}

std::optional<AviError> aviCheckChunksInFile(AviFileModel& model, bool fileIsCut) {
    for (auto& s : model.streams) {
        for (std::size_t i = 0; i < s.chunks.size(); ++i) {
            const AviChunk& c = s.chunks[i];
            if (c.offset >= 8 && c.offset + c.size <= model.fileSize) continue;
            if (fileIsCut) {
                // The file ends early: what lies before the cut stays readable.
                s.chunks.resize(i);
                break;
            }
            return aviFormatError("stream " + std::to_string(s.number) + ": index entry " +
                                      std::to_string(i) + " points past the end of the file",
                                  c.offset);
        }
    }
    return std::nullopt;
}

} // namespace win
