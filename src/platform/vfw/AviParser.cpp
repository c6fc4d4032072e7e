#include "platform/vfw/AviParser.h"

#include "platform/vfw/AviRiff.h"
#include "platform/win/ByteReader.h"

#include <algorithm>

namespace win {

namespace {

constexpr std::uint64_t kMaxHeaderBytes = 16u << 20; // far above any real hdrl
constexpr std::uint64_t kMoviSearchLimit = 64u << 20;
constexpr std::uint32_t kMaxFileChunkBytes = 1u << 20;
constexpr int kMaxStreams = 100; // chunk ids have two decimal digits

// Iterates the chunks of an in-memory list. Tolerates a missing pad byte after an odd-sized chunk and
// clamps a chunk that claims more than its parent holds.
class ChunkCursor {
  public:
    explicit ChunkCursor(ByteReader r) : m_r(r) {}
    bool next(FOURCC& id, ByteReader& body) {
        if (m_r.remaining() < 8) return false;
        std::size_t start = m_r.position();
        FOURCC peek = *ByteReader(m_r.bytes().subspan(start, 4)).u32();
        if (!aviValidFourcc(peek) && m_lastOdd && start > 0) m_r.seek(start - 1);
        id = *m_r.u32();
        std::uint32_t size = *m_r.u32();
        std::size_t n = std::min<std::size_t>(size, m_r.remaining());
        body = *m_r.split(n);
        m_lastOdd = (size & 1) != 0;
        if (m_lastOdd) m_r.skip(1);
        return true;
    }

  private:
    ByteReader m_r;
    bool m_lastOdd = false;
};

void parseStrl(ByteReader r, std::uint64_t strlOffset, AviFileModel& model, std::uint32_t number) {
    AviStreamModel s;
    s.number = number;
    bool haveStrh = false, haveStrf = false;
    ChunkCursor c(r);
    FOURCC id;
    ByteReader body;
    while (c.next(id, body)) {
        if (id == kStrh && !haveStrh) {
            body.readRecord(s.header, body.size());
            haveStrh = true;
        } else if (id == kStrf && haveStrh && !haveStrf) {
            s.format.assign(body.bytes().begin(), body.bytes().end());
            haveStrf = true;
        } else if (id == kStrn) {
            auto b = body.bytes();
            auto end = std::find(b.begin(), b.end(), std::uint8_t(0));
            s.name.assign(b.begin(), std::min(end, b.begin() + 255));
        } else if (id == kIndx && s.indx.empty()) {
            s.indx.assign(body.bytes().begin(), body.bytes().end());
            s.indxOffset = body.absolutePosition();
        } else if (id != kStrh && id != kStrf && id != kIndx && id != kJunk && id != kList) {
            s.extra.push_back({id, std::vector<std::uint8_t>(body.bytes().begin(), body.bytes().end())});
        }
    }
    (void)strlOffset;
    if (haveStrh) model.streams.push_back(std::move(s));
}

void parseHdrl(ByteReader r, AviFileModel& model) {
    ChunkCursor c(r);
    FOURCC id;
    ByteReader body;
    std::uint32_t strlCount = 0;
    while (c.next(id, body)) {
        if (id == kAvih) {
            body.readRecord(model.avih, body.size());
            model.hasAvih = true;
        } else if (id == kList && body.size() >= 4) {
            FOURCC form = *body.u32();
            ByteReader inner = *body.split(body.remaining());
            if (form == kStrl) {
                if (strlCount < kMaxStreams) parseStrl(inner, inner.absolutePosition(), model, strlCount);
                ++strlCount;
            } else if (form == kOdml) {
                ChunkCursor oc(inner);
                FOURCC oid;
                ByteReader ob;
                while (oc.next(oid, ob))
                    if (oid == kDmlh) model.dmlhTotalFrames = ob.u32().value_or(0);
            }
        } else if (id != kJunk && id != kList) {
            model.extra.push_back({id, std::vector<std::uint8_t>(body.bytes().begin(), body.bytes().end())});
        }
    }
}

bool readHdrl(const AviSource& src, const RiffHeader& h, std::uint64_t parentEnd, AviFileModel& model) {
    std::uint64_t declaredEnd = h.pos + 8 + std::uint64_t(h.size);
    std::uint64_t end = std::min({declaredEnd, parentEnd, src.size()});
    std::uint64_t start = h.pos + 12;
    if (end <= start) return declaredEnd <= parentEnd;
    std::uint64_t n = std::min(end - start, kMaxHeaderBytes);
    std::vector<std::uint8_t> bytes(n);
    n = src.readSome(start, bytes.data(), n);
    parseHdrl(ByteReader({bytes.data(), std::size_t(n)}, start), model);
    return declaredEnd <= parentEnd;
}

// Tries the positions around pos for a plausible chunk header (writers that skip pad bytes, stray zero
// bytes between chunks).
std::optional<RiffHeader> headerNear(const AviSource& src, std::uint64_t pos, std::uint64_t end) {
    static constexpr int kDeltas[] = {0, -1, 1, 2, 3, 4, -2, -3, -4, 5, 6, 7, 8};
    for (int d : kDeltas) {
        if (d < 0 && pos < std::uint64_t(-d) + 12) continue;
        std::uint64_t p = pos + std::int64_t(d);
        if (p + 8 > end) continue;
        auto h = readRiffHeader(src, p);
        if (!h || !aviValidFourcc(h->id)) continue;
        // At the expected place any valid id will do (sizes are clamped by the caller); elsewhere the
        // size must fit as well, or garbage would pass for a chunk.
        if (d == 0 || h->dataPos() + h->size <= end || h->isList()) return h;
    }
    return std::nullopt;
}

// A chunk of the file's own (AVIFileReadData): kept when it lies whole inside its RIFF.
void readFileChunk(const AviSource& src, const RiffHeader& h, std::uint64_t riffEnd, AviFileModel& model) {
    if (h.size > kMaxFileChunkBytes || h.dataPos() + h.size > riffEnd) return;
    std::vector<std::uint8_t> data(h.size);
    if (src.readExact(h.dataPos(), data.data(), data.size())) model.extra.push_back({h.id, std::move(data)});
}

void setMovi(AviLayout& layout, const RiffHeader& h, std::uint64_t parentEnd) {
    layout.hasMovi = true;
    layout.moviPos = h.pos + 8;
    std::uint64_t end = h.pos + 8 + std::uint64_t(h.size);
    if (h.size < 4 || end > parentEnd) {
        layout.moviUnfinished = true;
        end = parentEnd;
    }
    layout.moviEnd = end;
}

// Last resort when the header list is broken: look for "LIST....movi" in the first part of the file.
void searchMovi(const AviSource& src, AviLayout& layout) {
    const std::uint64_t limit = std::min(src.size(), kMoviSearchLimit);
    std::vector<std::uint8_t> block(1 << 16);
    for (std::uint64_t base = 12; base + 12 <= limit; base += block.size() - 12) {
        std::size_t n = src.readSome(base, block.data(), block.size());
        for (std::size_t i = 0; i + 12 <= n; ++i) {
            if (std::memcmp(&block[i], "LIST", 4) == 0 && std::memcmp(&block[i + 8], "movi", 4) == 0) {
                if (auto h = readRiffHeader(src, base + i)) return setMovi(layout, *h, layout.riffEnd);
            }
        }
        if (n < block.size()) break;
    }
}

AviResult<AviLayout> walkTopLevel(const AviSource& src, AviFileModel& model) {
    const std::uint64_t fileSize = src.size();
    auto riff = readRiffHeader(src, 0);
    if (!riff || riff->id != kRiff || riff->form != kAvi) return aviFormatError("not a RIFF AVI file", 0);
    AviLayout layout;
    layout.riffEnd = 8 + std::uint64_t(riff->size);
    if (riff->size < 4 || layout.riffEnd > fileSize) {
        layout.unfinished = true;
        layout.cut = layout.riffEnd > fileSize;
        layout.riffEnd = fileSize;
    }
    bool hdrlSound = true;
    std::uint64_t pos = 12;
    while (pos + 8 <= layout.riffEnd) {
        auto h = headerNear(src, pos, layout.riffEnd);
        if (!h) break;
        if (h->id == kList && h->form == kHdrl) {
            hdrlSound = readHdrl(src, *h, layout.riffEnd, model);
            if (!hdrlSound) break;
        } else if (h->id == kList && h->form == kMovi) {
            setMovi(layout, *h, layout.riffEnd);
        } else if (h->id != kList && h->id != kRiff && h->id != kJunk && h->id != kIdx1) {
            readFileChunk(src, *h, layout.riffEnd, model);
        } else if (h->id == kIdx1) {
            layout.hasIdx1 = true;
            layout.idx1Pos = h->dataPos();
            layout.idx1Size = h->size;
            layout.idx1Truncated = h->dataPos() + h->size > fileSize;
        }
        std::uint64_t next = h->paddedEnd();
        if (layout.hasMovi && layout.moviUnfinished) break;
        pos = std::max(next, pos + 1);
    }
    if (!layout.hasMovi) searchMovi(src, layout);
    // Continuation RIFFs of OpenDML files.
    pos = std::uint64_t(8) + riff->size + (riff->size & 1);
    for (int i = 0; !layout.unfinished && pos + 12 <= fileSize && i < 1 << 20; ++i) {
        auto h = readRiffHeader(src, pos);
        if (!h || !aviValidFourcc(h->id)) break; // JUNK between RIFFs is skipped, garbage ends the walk
        if (h->id == kRiff && h->form == kAvix) layout.hasAvix = true;
        if (h->dataPos() + h->size > fileSize) layout.cut = true;
        pos = h->paddedEnd();
    }
    return layout;
}

void clearChunks(AviFileModel& model) {
    for (auto& s : model.streams) {
        s.chunks.clear();
        s.paletteChanges.clear();
    }
}

std::size_t totalChunks(const AviFileModel& model) {
    std::size_t n = 0;
    for (auto& s : model.streams)
        n += s.chunks.size() + s.paletteChanges.size();
    return n;
}

// OpenDML standard indexes list a stream's samples only: the ##pc chunks of the streams that announce
// palette changes are found by walking movi. Kept only when the walk finds the indexed samples.
void findPaletteChanges(const AviSource& src, const AviLayout& layout, AviFileModel& model) {
    if (!layout.hasMovi) return;
    for (auto& s : model.streams) {
        if (!(s.header.dwFlags & AVISF_VIDEO_PALCHANGES)) continue;
        AviFileModel one;
        one.fileSize = model.fileSize;
        AviStreamModel copy;
        copy.number = s.number;
        copy.header = s.header;
        copy.format = s.format;
        one.streams.push_back(std::move(copy));
        if (aviScanMovi(src, layout, one)) continue;
        if (one.streams[0].chunks.size() == s.chunks.size())
            s.paletteChanges = std::move(one.streams[0].paletteChanges);
    }
}

// Uses the file's indexes in order of preference and falls back to scanning movi.
std::optional<AviError> loadChunks(const AviSource& src, const AviLayout& layout, AviFileModel& model) {
    bool haveIndx =
        std::any_of(model.streams.begin(), model.streams.end(), [](auto& s) { return !s.indx.empty(); });
    std::optional<AviError> firstProblem;
    auto attempt = [&](AviFileModel::IndexSource kind) {
        clearChunks(model);
        auto err = kind == AviFileModel::IndexSource::Idx1 ? aviLoadIdx1(src, layout, model)
                                                           : aviLoadOpenDml(src, model);
        if (!err) err = aviCheckChunksInFile(model, layout.cut);
        if (!err) {
            model.indexSource = kind;
            if (kind == AviFileModel::IndexSource::OpenDml) findPaletteChanges(src, layout, model);
            return true;
        }
        if (!firstProblem) firstProblem = err;
        return false;
    };
    bool done = false;
    if (!layout.moviUnfinished || layout.hasAvix) {
        // idx1 covers the first RIFF only: with AVIX continuations it would lose their chunks.
        bool idx1Usable = layout.hasIdx1 && !layout.idx1Truncated && layout.hasMovi && !layout.hasAvix;
        if (haveIndx && (layout.hasAvix || !idx1Usable)) done = attempt(AviFileModel::IndexSource::OpenDml);
        if (!done && idx1Usable) done = attempt(AviFileModel::IndexSource::Idx1);
        if (!done && haveIndx && !layout.hasAvix && idx1Usable)
            done = attempt(AviFileModel::IndexSource::OpenDml);
    }
    if (done) return std::nullopt;
    clearChunks(model);
    if (firstProblem) model.indexProblem = firstProblem->describe();
    if (layout.hasMovi) {
        if (auto err = aviScanMovi(src, layout, model)) return err;
        model.indexSource = AviFileModel::IndexSource::Scan;
    }
    if (totalChunks(model) == 0 && firstProblem) return firstProblem;
    return std::nullopt;
}

} // namespace

void aviFinishStream(AviStreamModel& s, const MainAVIHeader& avih) {
    ByteReader fmt(s.format);
    WAVEFORMATEX wf{};
    bool hasWave = s.isAudio() && s.format.size() >= 14 && fmt.readRecord(wf, s.format.size());
    std::uint32_t blockAlign = hasWave ? wf.nBlockAlign : 0;
    if (hasWave && blockAlign == 0 && wf.wFormatTag == WAVE_FORMAT_PCM)
        blockAlign = std::uint32_t(wf.nChannels) * ((wf.wBitsPerSample + 7u) / 8u);

    if (s.isVideo() || s.header.dwSampleSize == 0)
        s.sampleSize = 0;
    else if (hasWave && wf.wFormatTag == 0x55 && blockAlign >= 1152)
        s.sampleSize = 0; // VBR MP3
    else
        s.sampleSize = blockAlign ? blockAlign : s.header.dwSampleSize;

    s.largestChunk = 0;
    bool anyKey = false;
    for (auto& c : s.chunks) {
        s.largestChunk = std::max(s.largestChunk, c.size);
        if (c.size == 0)
            c.key = false; // a dropped frame is never a place to start decoding
        else if (!s.isVideo())
            c.key = true;
        anyKey |= c.key;
    }
    if (!anyKey) {
        auto first = std::find_if(s.chunks.begin(), s.chunks.end(), [](auto& c) { return c.size > 0; });
        if (first != s.chunks.end()) first->key = true;
    }

    std::uint64_t samples = s.chunks.size();
    s.chunkBytesBefore.clear();
    if (s.sampleSize) {
        s.chunkBytesBefore.reserve(s.chunks.size() + 1);
        std::uint64_t total = 0;
        for (auto& c : s.chunks) {
            s.chunkBytesBefore.push_back(total);
            total += c.size;
        }
        s.chunkBytesBefore.push_back(total);
        samples = total / s.sampleSize;
    }
    s.length = std::uint32_t(std::min<std::uint64_t>(samples, 0x7FFFFFFF));

    s.scale = s.header.dwScale;
    s.rate = s.header.dwRate;
    if (s.scale == 0 || s.rate == 0) {
        if (hasWave && wf.nAvgBytesPerSec && s.sampleSize) {
            s.rate = wf.nAvgBytesPerSec;
            s.scale = s.sampleSize;
        } else if (avih.dwMicroSecPerFrame) {
            s.rate = 1000000;
            s.scale = avih.dwMicroSecPerFrame;
        } else {
            s.rate = 25;
            s.scale = 1;
        }
    }
}

AviResult<AviFileModel> parseAvi(const AviSource& src) {
    AviFileModel model;
    model.fileSize = src.size();
    auto layout = walkTopLevel(src, model);
    if (!layout) return layout.error();
    if (model.streams.empty()) return aviFormatError("the file has no stream headers");
    if (auto err = loadChunks(src, layout.value(), model)) return *err;
    for (auto& s : model.streams)
        aviFinishStream(s, model.avih);
    return model;
}

} // namespace win
