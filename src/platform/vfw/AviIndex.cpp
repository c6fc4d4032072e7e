// The file's own indexes: idx1 (AVI 1.0, offsets relative to movi or absolute) and the OpenDML super
// index (indx) with its standard indexes (ix##), which address chunks anywhere in a file above 4 GB.
#include "platform/vfw/AviRiff.h"
#include "platform/win/ByteReader.h"

#include <algorithm>
#include <array>

namespace win {

namespace {

constexpr std::size_t kBlockBytes = 1u << 20;
constexpr FOURCC kPc = mmioFOURCC('\0', '\0', 'p', 'c');

std::array<int, 100> streamsByNumber(const AviFileModel& model) {
    std::array<int, 100> map;
    map.fill(-1);
    for (std::size_t i = 0; i < model.streams.size(); ++i)
        map[model.streams[i].number] = int(i);
    return map;
}

bool isPaletteChange(FOURCC ckid) {
    return (ckid & 0xFFFF0000u) == kPc;
}

bool chunkIdAt(const AviSource& src, std::uint64_t pos, FOURCC expected) {
    std::uint8_t b[4];
    if (!src.readExact(pos, b, 4)) return false;
    return (DWORD(b[0]) | DWORD(b[1]) << 8 | DWORD(b[2]) << 16 | DWORD(b[3]) << 24) == expected;
}

struct Idx1Entry {
    FOURCC ckid;
    DWORD flags, offset, length;
};

bool usable(const Idx1Entry& e, const std::array<int, 100>& map) {
    if (e.ckid == 0 || e.offset == 0 || (e.flags & AVIIF_LIST) || e.ckid == mmioFOURCC('r', 'e', 'c', ' '))
        return false;
    int n = aviStreamNumber(e.ckid);
    return n >= 0 && map[n] >= 0;
}

// Offsets in idx1 are meant to be relative to the 'movi' id, but some writers store file offsets and
// some are four bytes off; the first usable entry tells which, by the chunk id found where it points.
std::optional<std::uint64_t> findIdx1Base(const AviSource& src, const AviLayout& layout, const Idx1Entry& e) {
    const std::uint64_t m = layout.moviPos;
    std::array<std::uint64_t, 4> bases = {m, 0, m + 4, m - 4};
    if (e.offset >= m) std::swap(bases[0], bases[1]); // likely absolute: try that first
    for (std::uint64_t base : bases)
        if (chunkIdAt(src, base + e.offset, e.ckid)) return base;
    return std::nullopt;
}

} // namespace

std::optional<AviError> aviLoadIdx1(const AviSource& src, const AviLayout& layout, AviFileModel& model) {
    const auto map = streamsByNumber(model);
    const std::uint64_t count = layout.idx1Size / 16;
    const std::uint64_t spotStep = count / 8 + 1;
    std::optional<std::uint64_t> base;
    std::vector<std::uint8_t> block;
    std::size_t usableCount = 0;
    for (std::uint64_t first = 0; first < count; first += kBlockBytes / 16) {
        std::uint64_t n = std::min<std::uint64_t>(count - first, kBlockBytes / 16);
        block.resize(n * 16);
        std::uint64_t at = layout.idx1Pos + first * 16;
        if (!src.readExact(at, block.data(), block.size()))
            return AviError{AviErrorKind::FileRead, at, "idx1 could not be read"};
        ByteReader r(block, at);
        for (std::uint64_t i = 0; i < n; ++i) {
            Idx1Entry e{*r.u32(), *r.u32(), *r.u32(), *r.u32()};
            if (!usable(e, map)) continue;
            if (!base && !(base = findIdx1Base(src, layout, e)))
                return aviFormatError("idx1 does not point at the chunks in movi", layout.idx1Pos);
            std::uint64_t pos = *base + e.offset;
            if ((first + i) % spotStep == 0 && !chunkIdAt(src, pos, e.ckid))
                return aviFormatError("idx1 entry " + std::to_string(first + i) +
                                          " does not point at chunk " + aviFourccText(e.ckid),
                                      pos);
            AviStreamModel& s = model.streams[std::size_t(map[std::size_t(aviStreamNumber(e.ckid))])];
            if (isPaletteChange(e.ckid))
                aviAddPaletteChange(src, s, pos + 8, e.length);
            else
                s.chunks.push_back({pos + 8, e.length, (e.flags & AVIIF_KEYFRAME) != 0});
            ++usableCount;
        }
    }
    if (usableCount == 0 && layout.moviEnd > layout.moviPos + 4 + 8)
        return aviFormatError("idx1 lists none of the chunks in movi", layout.idx1Pos);
    return std::nullopt;
}

namespace {

struct StdIndexHeader {
    std::uint16_t longsPerEntry = 0;
    std::uint8_t subType = 0, type = 0;
    std::uint32_t entries = 0;
    FOURCC chunkId = 0;
    std::uint64_t baseOffset = 0;
};

constexpr std::uint8_t kIndexOfIndexes = 0;
constexpr std::uint8_t kIndexOfChunks = 1;

std::optional<StdIndexHeader> readIndexHeader(ByteReader& r) {
    StdIndexHeader h;
    auto wl = r.u16();
    auto st = r.u8();
    auto t = r.u8();
    auto n = r.u32();
    auto id = r.u32();
    auto base = r.u64();
    if (!wl || !st || !t || !n || !id || !base || !r.skip(4)) return std::nullopt;
    h.longsPerEntry = *wl;
    h.subType = *st;
    h.type = *t;
    h.entries = *n;
    h.chunkId = *id;
    h.baseOffset = *base; // the reserved words of a super index read as a base; not used there
    return h;
}

class OpenDmlLoader {
  public:
    OpenDmlLoader(const AviSource& src, std::uint64_t budget) : m_src(src), m_budget(budget) {}

    std::optional<AviError> loadStream(AviStreamModel& s) {
        ByteReader r(s.indx, s.indxOffset);
        auto h = readIndexHeader(r);
        if (!h)
            return aviFormatError("indx of stream " + std::to_string(s.number) + " is too short",
                                  s.indxOffset);
        if (h->type == kIndexOfChunks) return entries(*h, r, s);
        if (h->type != kIndexOfIndexes || h->longsPerEntry != 4)
            return aviFormatError("indx of stream " + std::to_string(s.number) + " has an unknown layout",
                                  s.indxOffset);
        std::uint32_t n = std::min<std::uint64_t>(h->entries, r.remaining() / 16);
        for (std::uint32_t i = 0; i < n; ++i) {
            std::uint64_t offset = *r.u64();
            std::uint32_t size = *r.u32();
            r.skip(4);                              // duration: counted from the entries instead
            if (offset == 0 && size == 0) continue; // reserved slot
            if (auto err = subIndex(offset, s)) return err;
        }
        return std::nullopt;
    }

  private:
    std::optional<AviError> subIndex(std::uint64_t offset, AviStreamModel& s) {
        const std::uint64_t fileSize = m_src.size();
        auto ck = readRiffHeader(m_src, offset);
        if (!ck || aviIndexStreamNumber(ck->id) != int(s.number) || ck->size < 24 ||
            ck->dataPos() + ck->size > fileSize)
            return aviFormatError(
                "stream " + std::to_string(s.number) + ": super index points at no ix chunk", offset);
        std::uint8_t head[24];
        if (!m_src.readExact(ck->dataPos(), head, sizeof head))
            return AviError{AviErrorKind::FileRead, ck->dataPos(), "ix chunk could not be read"};
        ByteReader hr(head, ck->dataPos());
        auto h = readIndexHeader(hr);
        if (!h || h->type != kIndexOfChunks)
            return aviFormatError("stream " + std::to_string(s.number) + ": bad standard index", offset);
        std::uint64_t bodyPos = ck->dataPos() + 24, bodySize = ck->size - 24;
        if (h->longsPerEntry != 2 && h->longsPerEntry != 3)
            return aviFormatError(
                "stream " + std::to_string(s.number) + ": unknown standard index entry size", offset);
        // Entries are read in blocks bounded by the chunk, not by the count the chunk claims.
        const std::size_t entryBytes = 4u * h->longsPerEntry;
        std::uint64_t n = std::min<std::uint64_t>(h->entries, bodySize / entryBytes);
        const std::uint64_t perBlock = kBlockBytes / entryBytes;
        std::vector<std::uint8_t> block;
        for (std::uint64_t first = 0; first < n; first += perBlock) {
            std::uint64_t k = std::min(n - first, perBlock);
            block.resize(std::size_t(k * entryBytes));
            std::uint64_t at = bodyPos + first * entryBytes;
            if (!m_src.readExact(at, block.data(), block.size()))
                return AviError{AviErrorKind::FileRead, at, "ix chunk could not be read"};
            StdIndexHeader part = *h;
            part.entries = std::uint32_t(k);
            ByteReader br(block, at);
            if (auto err = entries(part, br, s)) return err;
        }
        return std::nullopt;
    }

    std::optional<AviError> entries(const StdIndexHeader& h, ByteReader& r, AviStreamModel& s) {
        if (h.longsPerEntry != 2 && h.longsPerEntry != 3)
            return aviFormatError("stream " + std::to_string(s.number) +
                                  ": unknown standard index entry size");
        if (h.baseOffset > m_src.size())
            return aviFormatError("stream " + std::to_string(s.number) +
                                  ": standard index base past the end");
        std::uint64_t n = std::min<std::uint64_t>(h.entries, r.remaining() / (4u * h.longsPerEntry));
        if (n > m_budget)
            return aviFormatError("stream " + std::to_string(s.number) +
                                  ": the indexes list more chunks than the file can hold");
        m_budget -= n;
        std::size_t before = s.chunks.size();
        for (std::uint64_t i = 0; i < n; ++i) {
            std::uint32_t off = *r.u32(), size = *r.u32();
            if (h.longsPerEntry == 3) r.skip(4); // second field's offset: both fields are in the one chunk
            s.chunks.push_back({h.baseOffset + off, size & 0x7FFFFFFFu, (size & 0x80000000u) == 0});
        }
        // The first chunk of each standard index must carry this stream's id.
        if (s.chunks.size() > before) {
            std::uint64_t pos = s.chunks[before].offset;
            std::uint8_t id[4];
            if (pos < 8 || !m_src.readExact(pos - 8, id, 4) ||
                aviStreamNumber(DWORD(id[0]) | DWORD(id[1]) << 8 | DWORD(id[2]) << 16 | DWORD(id[3]) << 24) !=
                    int(s.number))
                return aviFormatError("stream " + std::to_string(s.number) + ": standard index entry " +
                                          std::to_string(before) + " does not point at a chunk of the stream",
                                      pos);
        }
        return std::nullopt;
    }

    const AviSource& m_src;
    std::uint64_t m_budget; // every chunk takes at least 8 bytes of the file
};

} // namespace

std::optional<AviError> aviLoadOpenDml(const AviSource& src, AviFileModel& model) {
    OpenDmlLoader loader(src, src.size() / 8 + 1);
    for (auto& s : model.streams) {
        if (s.indx.empty())
            return aviFormatError("stream " + std::to_string(s.number) + " has no OpenDML index");
        if (auto err = loader.loadStream(s)) return err;
    }
    return std::nullopt;
}

} // namespace win
