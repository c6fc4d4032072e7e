#include "platform/vfw/AviWriter.h"

#include "platform/vfw/AviFile.h"
#include "platform/vfw/AviParser.h"
#include "platform/vfw/AviRiff.h"
#include "platform/vfw/AviShare.h"
#include "platform/win/ByteReader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace win {

namespace {

constexpr std::uint64_t kDefaultRiffLimit = 1ull << 30;
constexpr std::uint64_t kMaxRiffLimit = 1ull << 31; // RIFF sizes and index offsets are 32-bit
std::atomic<std::uint64_t> g_riffLimit{0};

constexpr std::uint32_t kSuperSlots = 256;      // super index entries reserved per stream: 256 RIFFs
constexpr std::size_t kHeaderSlack = 2048;      // room for header changes after the data has begun
constexpr std::uint32_t kRefreshEvery = 64;     // chunks between rewrites of the header counts
constexpr std::uint64_t kMaxSeconds = 1u << 22; // seconds tracked for the peak data rate
constexpr std::uint32_t kDmlhSize = 248;

std::size_t padded(std::size_t n) {
    return n + (n & 1);
}

void putChunk(ByteWriter& w, FOURCC id, const void* data, std::size_t n) {
    w.u32(id);
    w.u32(std::uint32_t(n));
    if (n) w.bytes(data, n);
    if (n & 1) w.u8(0);
}

std::size_t beginList(ByteWriter& w, FOURCC id, FOURCC form) {
    w.u32(id);
    std::size_t at = w.size();
    w.u32(0);
    w.u32(form);
    return at;
}

void endList(ByteWriter& w, std::size_t at) {
    w.patchU32(at, std::uint32_t(w.size() - at - 4));
}

FOURCC chunkId(std::uint32_t number, char a, char b) {
    return mmioFOURCC(char('0' + number / 10), char('0' + number % 10), a, b);
}

} // namespace

void AviSetRiffLimit(std::uint64_t bytes) {
    g_riffLimit = bytes;
}
std::uint64_t AviRiffLimit() {
    std::uint64_t v = g_riffLimit;
    return v ? std::min<std::uint64_t>(v, kMaxRiffLimit) : kDefaultRiffLimit;
}

AviWriter::~AviWriter() {
    finish();
    ::close(m_fd);
}

std::size_t AviWriterSource::readSome(std::uint64_t offset, void* out, std::size_t n) const {
    return preadFully(m_fd, offset, out, n);
}

// ---- writing helpers ----

bool AviWriter::put(std::uint64_t at, const void* data, std::size_t n) {
    auto* p = static_cast<const std::uint8_t*>(data);
    while (n) {
        ssize_t r = ::pwrite(m_fd, p, n, off_t(at));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        at += std::uint64_t(r);
        n -= std::size_t(r);
    }
    return true;
}

HRESULT AviWriter::failed(const char* what) {
    m_failed = true;
    AVISetLastErrorDetail(std::string(what) + ": " + std::strerror(errno ? errno : EIO));
    return AVIERR_FILEWRITE;
}

// ---- the header ----

MainAVIHeader AviWriter::avih() const {
    MainAVIHeader h{};
    const AviWriteStreamState* main = nullptr;
    for (auto& s : m_streams)
        if (s.model.isVideo()) {
            main = &s;
            break;
        }
    if (main && main->model.rate)
        h.dwMicroSecPerFrame =
            DWORD(std::llround(1e6 * double(main->model.scale) / double(main->model.rate)));
    if (main && main->model.format.size() >= 12) {
        ByteReader r(main->model.format);
        r.skip(4);
        std::int64_t w = *r.i32(), hgt = *r.i32();
        h.dwWidth = DWORD(std::max<std::int64_t>(w, 0));
        h.dwHeight = DWORD(hgt < 0 ? -hgt : hgt);
    }
    if (!main && !m_streams.empty()) main = &m_streams[0];
    h.dwMaxBytesPerSec = DWORD(std::min<std::uint64_t>(m_maxBytesPerSecond, 0xFFFFFFFFu));
    bool interleaved = false;
    std::uint32_t withData = 0;
    for (auto& s : m_streams)
        withData += s.model.chunks.empty() ? 0 : 1;
    interleaved = m_recordMode || (withData >= 2 && m_runs > withData);
    h.dwFlags = (m_indexed ? AVIF_HASINDEX : 0) | (interleaved ? AVIF_ISINTERLEAVED : 0);
    if (main) h.dwTotalFrames = m_riffIndex == 0 ? DWORD(main->model.chunks.size()) : main->firstRiffChunks;
    h.dwStreams = DWORD(m_streams.size());
    h.dwSuggestedBufferSize = m_largestChunk;
    return h;
}

void AviWriter::streamHeader(ByteWriter& w, const AviWriteStreamState& st) const {
    const AVISTREAMINFOA& i = st.info;
    const AviStreamModel& m = st.model;
    AVIStreamHeader h{};
    h.fccType = i.fccType;
    h.fccHandler = i.fccHandler;
    h.dwFlags = (i.dwFlags & AVISF_DISABLED) | (m.paletteChanges.empty() ? 0 : AVISF_VIDEO_PALCHANGES);
    h.wPriority = i.wPriority;
    h.wLanguage = i.wLanguage;
    h.dwInitialFrames = i.dwInitialFrames;
    h.dwScale = i.dwScale;
    h.dwRate = i.dwRate;
    h.dwStart = i.dwStart;
    h.dwLength = m.length;
    h.dwSuggestedBufferSize = std::max(i.dwSuggestedBufferSize, m.largestChunk);
    h.dwQuality = i.dwQuality;
    h.dwSampleSize = m.sampleSize;
    RECT r = i.rcFrame;
    if (r.right == 0 && r.bottom == 0 && m.isVideo() && m.format.size() >= 12) {
        ByteReader fr(m.format);
        fr.skip(4);
        std::int64_t fw = *fr.i32(), fh = *fr.i32();
        r = RECT{0, 0, LONG(std::clamp<std::int64_t>(fw, 0, 0x7FFF)),
                 LONG(std::clamp<std::int64_t>(fh < 0 ? -fh : fh, 0, 0x7FFF))};
    }
    auto s16 = [](LONG v) { return std::int16_t(std::clamp<LONG>(v, -0x8000, 0x7FFF)); };
    h.rcFrame = {s16(r.left), s16(r.top), s16(r.right), s16(r.bottom)};

    std::size_t strl = beginList(w, kList, kStrl);
    putChunk(w, kStrh, &h, sizeof h);
    putChunk(w, kStrf, m.format.data(), m.format.size());
    for (auto& e : m.extra)
        putChunk(w, e.id, e.data.data(), e.data.size());
    if (!m.name.empty()) putChunk(w, kStrn, m.name.c_str(), m.name.size() + 1);
    // The super index: a JUNK chunk of its size until the file is finished as an OpenDML file.
    const std::size_t indxSize = 24 + 16 * kSuperSlots;
    if (m_indexed && m_riffIndex > 0) {
        w.u32(kIndx);
        w.u32(std::uint32_t(indxSize));
        w.u16(4);
        w.u8(0);
        w.u8(0); // an index of indexes
        w.u32(std::uint32_t(st.super.size()));
        w.u32(st.dataId);
        w.zeros(12);
        for (auto& e : st.super) {
            w.u64(e.offset);
            w.u32(e.size);
            w.u32(e.duration);
        }
        w.zeros(16 * (kSuperSlots - st.super.size()));
    } else {
        w.u32(kJunk);
        w.u32(std::uint32_t(indxSize));
        w.zeros(indxSize);
    }
    endList(w, strl);
}

std::vector<std::uint8_t> AviWriter::buildHeader() const {
    ByteWriter w;
    std::size_t hdrl = beginList(w, kList, kHdrl);
    MainAVIHeader h = avih();
    putChunk(w, kAvih, &h, sizeof h);
    for (auto& s : m_streams)
        streamHeader(w, s);
    std::size_t odml = beginList(w, kList, kOdml);
    std::uint8_t dmlh[kDmlhSize] = {};
    const AviWriteStreamState* main = nullptr;
    for (auto& s : m_streams)
        if (!main || (s.model.isVideo() && !main->model.isVideo())) main = &s;
    DWORD total = main ? DWORD(main->model.chunks.size()) : 0;
    std::memcpy(dmlh, &total, 4);
    putChunk(w, kDmlh, dmlh, sizeof dmlh);
    endList(w, odml);
    endList(w, hdrl);
    for (auto& c : m_fileChunks)
        putChunk(w, c.id, c.data.data(), c.data.size());
    return std::move(w.buffer());
}

// After a change of what the header holds: before the data begins nothing is on disk yet; afterwards
// the new header must fit the room reserved for it.
HRESULT AviWriter::headerChanged() {
    if (!m_started) return AVIERR_OK;
    std::size_t n = buildHeader().size();
    if (n != m_reserve && n + 8 > m_reserve) {
        AVISetLastErrorDetail("the file's header has no room left for this change");
        return AVIERR_UNSUPPORTED;
    }
    return writeHeader();
}

HRESULT AviWriter::writeHeader() {
    std::vector<std::uint8_t> h = buildHeader();
    if (h.size() != m_reserve && h.size() + 8 > m_reserve) {
        AVISetLastErrorDetail("the file's header has no room left for this change");
        return AVIERR_UNSUPPORTED;
    }
    if (h.size() != m_reserve) {
        ByteWriter junk;
        junk.u32(kJunk);
        junk.u32(std::uint32_t(m_reserve - h.size() - 8));
        junk.zeros(m_reserve - h.size() - 8);
        h.insert(h.end(), junk.buffer().begin(), junk.buffer().end());
    }
    if (!put(12, h.data(), h.size())) return failed("the header could not be written");
    m_sinceRefresh = 0;
    return AVIERR_OK;
}

// The first chunk: the RIFF, the header with its reserve and the movi list go to the file.
HRESULT AviWriter::start() {
    std::size_t n = buildHeader().size();
    m_reserve = n + 8 + kHeaderSlack;
    m_started = true;
    std::uint8_t riff[12] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '};
    m_moviPos = 12 + m_reserve;
    std::uint8_t movi[12] = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'm', 'o', 'v', 'i'};
    if (!put(0, riff, sizeof riff) || !put(m_moviPos, movi, sizeof movi))
        return failed("the file could not be written");
    m_end = m_moviPos + 12;
    if (HRESULT hr = writeHeader()) return hr;
    return updateSizes();
}

HRESULT AviWriter::updateSizes() {
    bool ok = put32(m_riffPos + 4, std::uint32_t(m_end - m_riffPos - 8)) &&
              put32(m_moviPos + 4, std::uint32_t(m_end - m_moviPos - 8)) &&
              (!m_recOpen || put32(m_recPos + 4, std::uint32_t(m_end - m_recPos - 8)));
    return ok ? AVIERR_OK : failed("the file could not be written");
}

// ---- chunks, records and RIFFs ----

HRESULT AviWriter::appendChunk(FOURCC id, const void* data, std::uint32_t size, DWORD idx1Flags) {
    if (!m_started)
        if (HRESULT hr = start()) return hr;
    if (HRESULT hr = maybeNewRiff(size)) return hr;
    if (m_recordMode && !m_recOpen)
        if (HRESULT hr = openRecord()) return hr;
    std::uint32_t head[2] = {id, size};
    std::uint8_t pad = 0;
    iovec io[3] = {{head, 8}, {const_cast<void*>(data), size}, {&pad, size & 1u}};
    std::uint64_t total = 8 + padded(size), done = 0;
    while (done < total) {
        // pwritev of whatever is left: skip the parts already written.
        iovec left[3];
        int k = 0;
        std::uint64_t skip = done;
        for (auto& v : io) {
            if (skip >= v.iov_len) {
                skip -= v.iov_len;
                continue;
            }
            left[k++] = {static_cast<std::uint8_t*>(v.iov_base) + skip, v.iov_len - skip};
            skip = 0;
        }
        ssize_t r = ::pwritev(m_fd, left, k, off_t(m_end + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return failed("a chunk could not be written");
        done += std::uint64_t(r);
    }
    if (m_riffIndex == 0) m_idx1.push_back({id, idx1Flags, std::uint32_t(m_end - (m_moviPos + 8)), size});
    m_end += total;
    ++m_chunksInRiff;
    return updateSizes();
}

// A chunk that would take the RIFF past its limit (with the indexes still to be written into it)
// begins an AVIX RIFF instead. A RIFF always takes at least one chunk.
HRESULT AviWriter::maybeNewRiff(std::uint32_t size) {
    if (m_chunksInRiff == 0) return AVIERR_OK;
    std::uint64_t indexes = 0;
    for (auto& s : m_streams)
        indexes += 32 + 8 * (s.model.chunks.size() - s.segmentFirst + 1);
    if (m_riffIndex == 0) indexes += 8 + 16 * (m_idx1.size() + 2);
    if (m_end - m_riffPos + 8 + padded(size) + 12 + indexes <= m_limit) return AVIERR_OK;
    for (auto& s : m_streams) {
        if (s.super.size() >= kSuperSlots) {
            AVISetLastErrorDetail("the file has reached the largest size this writer supports");
            return AVIERR_FILEWRITE;
        }
    }
    if (HRESULT hr = closeRiff()) return hr;
    return openAvix();
}

// Ends the current RIFF: closes its record, writes the standard index of every stream's chunks in it
// at the end of its movi, and for the first RIFF the idx1 of old readers after movi.
HRESULT AviWriter::closeRiff() {
    if (HRESULT hr = closeRecord()) return hr;
    for (auto& s : m_streams) {
        const auto& chunks = s.model.chunks;
        std::size_t n = chunks.size() - s.segmentFirst;
        if (n == 0) continue;
        ByteWriter w;
        w.u32(mmioFOURCC('i', 'x', char('0' + s.model.number / 10), char('0' + s.model.number % 10)));
        w.u32(std::uint32_t(24 + 8 * n));
        w.u16(2);
        w.u8(0);
        w.u8(1); // an index of chunks
        w.u32(std::uint32_t(n));
        w.u32(s.dataId);
        w.u64(m_riffPos);
        w.u32(0);
        std::uint64_t samples = 0;
        for (std::size_t i = s.segmentFirst; i < chunks.size(); ++i) {
            w.u32(std::uint32_t(chunks[i].offset - m_riffPos));
            w.u32(chunks[i].size | (chunks[i].key ? 0u : 0x80000000u));
            samples += s.model.sampleSize ? chunks[i].size / s.model.sampleSize : 1;
        }
        if (!put(m_end, w.buffer().data(), w.size())) return failed("an index could not be written");
        s.super.push_back({m_end, std::uint32_t(w.size()), std::uint32_t(samples)});
        m_end += w.size();
        s.segmentFirst = chunks.size();
        if (m_riffIndex == 0) s.firstRiffChunks = std::uint32_t(n);
    }
    if (HRESULT hr = updateSizes()) return hr;
    if (m_riffIndex == 0) return writeIdx1();
    return AVIERR_OK;
}

HRESULT AviWriter::writeIdx1() {
    ByteWriter w;
    w.u32(kIdx1);
    w.u32(std::uint32_t(16 * m_idx1.size()));
    for (auto& e : m_idx1)
        w.record(e);
    if (!put(m_end, w.buffer().data(), w.size())) return failed("the index could not be written");
    m_end += w.size();
    if (!put32(m_riffPos + 4, std::uint32_t(m_end - m_riffPos - 8)))
        return failed("the file could not be written");
    return AVIERR_OK;
}

HRESULT AviWriter::openAvix() {
    m_riffPos = m_end;
    m_moviPos = m_end + 12;
    std::uint8_t head[24] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', 'X',
                             'L', 'I', 'S', 'T', 4, 0, 0, 0, 'm', 'o', 'v', 'i'};
    if (!put(m_riffPos, head, sizeof head)) return failed("the file could not be written");
    m_end += sizeof head;
    ++m_riffIndex;
    m_chunksInRiff = 0;
    if (HRESULT hr = updateSizes()) return hr;
    return writeHeader();
}

HRESULT AviWriter::openRecord() {
    std::uint8_t head[12] = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'r', 'e', 'c', ' '};
    if (!put(m_end, head, sizeof head)) return failed("the file could not be written");
    m_recPos = m_end;
    m_recOpen = true;
    if (m_riffIndex == 0) {
        m_recEntry = m_idx1.size();
        m_idx1.push_back({kRec, AVIIF_LIST, std::uint32_t(m_recPos - (m_moviPos + 8)), 4});
    }
    m_end += sizeof head;
    return updateSizes();
}

HRESULT AviWriter::closeRecord() {
    if (!m_recOpen) return AVIERR_OK;
    HRESULT hr = updateSizes();
    if (m_recEntry < m_idx1.size()) m_idx1[m_recEntry].dwChunkLength = std::uint32_t(m_end - m_recPos - 8);
    m_recEntry = SIZE_MAX;
    m_recOpen = false;
    return hr;
}

HRESULT AviWriter::endRecord() {
    if (m_failed) return AVIERR_FILEWRITE;
    m_recordMode = true;
    return closeRecord();
}

// ---- streams ----

HRESULT AviWriter::createStream(const AVISTREAMINFOA& info) {
    if (m_failed) return AVIERR_FILEWRITE;
    if (m_streams.size() >= 100) {
        AVISetLastErrorDetail("an AVI file holds at most 100 streams");
        return AVIERR_UNSUPPORTED;
    }
    AviWriteStreamState st;
    st.info = info;
    st.info.szName[sizeof st.info.szName - 1] = 0;
    st.model.number = std::uint32_t(m_streams.size());
    st.model.name = st.info.szName;
    AVIStreamHeader& h = st.model.header;
    h.fccType = info.fccType;
    h.fccHandler = info.fccHandler;
    h.dwFlags = info.dwFlags & AVISF_DISABLED;
    h.wPriority = info.wPriority;
    h.wLanguage = info.wLanguage;
    h.dwInitialFrames = info.dwInitialFrames;
    h.dwScale = info.dwScale;
    h.dwRate = info.dwRate;
    h.dwStart = info.dwStart;
    h.dwQuality = info.dwQuality;
    h.dwSampleSize = info.dwSampleSize;
    auto s16 = [](LONG v) { return std::int16_t(std::clamp<LONG>(v, -0x8000, 0x7FFF)); };
    h.rcFrame = {s16(info.rcFrame.left), s16(info.rcFrame.top), s16(info.rcFrame.right),
                 s16(info.rcFrame.bottom)};
    aviFinishStream(st.model, MainAVIHeader{});
    st.search.build(st.model);
    m_streams.push_back(std::move(st));
    if (HRESULT hr = headerChanged()) {
        m_streams.pop_back();
        return hr;
    }
    return AVIERR_OK;
}

HRESULT AviWriter::setFormat(std::size_t s, LONG pos, const void* format, LONG size) {
    if (m_failed) return AVIERR_FILEWRITE;
    if (size < 0 || (!format && size > 0)) return AVIERR_BADPARAM;
    AviWriteStreamState& st = m_streams[s];
    const auto* p = static_cast<const std::uint8_t*>(format);
    std::vector<std::uint8_t> next(p, p + size);
    if (st.model.chunks.empty() && st.model.paletteChanges.empty()) {
        std::vector<std::uint8_t> old = std::move(st.model.format);
        st.model.format = std::move(next);
        aviFinishStream(st.model, MainAVIHeader{});
        if (HRESULT hr = headerChanged()) {
            st.model.format = std::move(old);
            aviFinishStream(st.model, MainAVIHeader{});
            return hr;
        }
        return AVIERR_OK;
    }
    std::vector<std::uint8_t> now = aviFormatAt(st.model, LONG(st.model.length));
    if (now == next) return AVIERR_OK; // the format of every frame is set again: no change
    if (pos != LONG(st.model.length)) {
        AVISetLastErrorDetail("a format can only change at the end of the stream");
        return AVIERR_UNSUPPORTED;
    }
    return writePaletteChange(s, now, next);
}

// A later format that differs from the current one in its colour table only (8-bit video) is written as
// a ##pc chunk with the entries that changed; other format changes cannot be stored in an AVI file.
HRESULT AviWriter::writePaletteChange(std::size_t s, const std::vector<std::uint8_t>& now,
                                      const std::vector<std::uint8_t>& next) {
    AviWriteStreamState& st = m_streams[s];
    BITMAPINFOHEADER a{}, b{};
    bool paletted = st.model.isVideo() && now.size() == next.size() && now.size() >= sizeof a;
    if (paletted) {
        std::memcpy(&a, now.data(), sizeof a);
        std::memcpy(&b, next.data(), sizeof b);
        paletted = a.biBitCount <= 8 && std::memcmp(&a, &b, sizeof a) == 0 && a.biSize >= sizeof a &&
                   a.biSize < now.size();
    }
    if (!paletted) {
        AVISetLastErrorDetail("only the palette of 8-bit video can change within a stream");
        return AVIERR_UNSUPPORTED;
    }
    std::size_t table = a.biSize, entries = std::min<std::size_t>((now.size() - table) / 4, 256);
    std::size_t first = entries, last = 0;
    for (std::size_t i = 0; i < entries; ++i) {
        if (std::memcmp(&now[table + 4 * i], &next[table + 4 * i], 3) != 0) {
            first = std::min(first, i);
            last = i;
        }
    }
    if (first == entries) return AVIERR_OK; // only reserved bytes differ
    std::size_t count = last - first + 1;
    ByteWriter w;
    w.u8(std::uint8_t(first));
    w.u8(std::uint8_t(count == 256 ? 0 : count));
    w.u16(0);
    AviPaletteChange change;
    change.position = st.model.length;
    change.first = std::uint32_t(first);
    for (std::size_t i = first; i <= last; ++i) {
        const std::uint8_t* q = &next[table + 4 * i];
        PALETTEENTRY e{q[2], q[1], q[0], 0};
        w.record(e);
        change.entries.push_back(e);
    }
    if (HRESULT hr = appendChunk(chunkId(st.model.number, 'p', 'c'), w.buffer().data(),
                                 std::uint32_t(w.size()), AVIIF_NOTIME))
        return hr;
    st.model.paletteChanges.push_back(std::move(change));
    if (st.search.formats.back() != st.model.length) st.search.formats.push_back(st.model.length);
    return writeHeader();
}

HRESULT AviWriter::write(std::size_t s, LONG start, LONG samples, const void* buffer, LONG size, DWORD flags,
                         LONG* samplesWritten, LONG* bytesWritten) {
    if (samplesWritten) *samplesWritten = 0;
    if (bytesWritten) *bytesWritten = 0;
    if (m_failed) return AVIERR_FILEWRITE;
    AviWriteStreamState& st = m_streams[s];
    AviStreamModel& m = st.model;
    if (size < 0 || samples < 0 || (!buffer && size > 0)) return AVIERR_BADPARAM;
    const std::int64_t end = m.length;
    if (start != -1 && start != end && std::int64_t(start) != end + st.info.dwStart) {
        AVISetLastErrorDetail("samples can only be appended at the end of a stream being written");
        return AVIERR_BADPARAM;
    }
    std::uint64_t bytes = std::uint64_t(size);
    std::uint64_t count = 1;
    if (m.sampleSize) {
        // Whole samples only: a trailing part of a sample would shift every later sample.
        count = std::uint64_t(samples);
        bytes = count * m.sampleSize;
        if (bytes > std::uint64_t(size)) return AVIERR_BADSIZE;
        if (count == 0) return AVIERR_OK;
    } else if (samples != 1) {
        AVISetLastErrorDetail("a stream with samples of varying size is written one sample at a time");
        return AVIERR_BADPARAM;
    }
    if (m.length + count > 0x7FFFFFFF) return AVIERR_BADSIZE;
    const bool key = bytes > 0 && (m.sampleSize || !m.isVideo() || (flags & AVIIF_KEYFRAME));
    char a = 'd', b = 'c';
    if (m.isAudio()) {
        a = 'w', b = 'b';
    } else if (m.header.fccType == mmioFOURCC('t', 'x', 't', 's')) {
        a = 't', b = 'x';
    } else if (m.isVideo() && m.format.size() >= 20) {
        DWORD compression;
        std::memcpy(&compression, &m.format[16], 4);
        if (compression == BI_RGB) b = 'b';
    }
    st.dataId = chunkId(m.number, a, b);
    if (HRESULT hr = appendChunk(st.dataId, buffer, std::uint32_t(bytes), key ? AVIIF_KEYFRAME : 0))
        return hr;
    // appendChunk may have begun a RIFF or a record first: the data ends the file.
    const std::uint64_t firstSample = m.sampleSize ? m.chunkBytesBefore.back() / m.sampleSize : m.length;
    m.chunks.push_back({m_end - padded(std::size_t(bytes)), std::uint32_t(bytes), key});
    if (m.sampleSize) m.chunkBytesBefore.push_back(m.chunkBytesBefore.back() + bytes);
    if (!m.sampleSize && key) st.search.keys.push_back(m.length);
    m.length += std::uint32_t(count);
    m.largestChunk = std::max(m.largestChunk, std::uint32_t(bytes));
    countChunk(s, firstSample, std::uint32_t(bytes));
    if (samplesWritten) *samplesWritten = LONG(count);
    if (bytesWritten) *bytesWritten = LONG(bytes);
    if (++m_sinceRefresh >= kRefreshEvery) return writeHeader();
    return AVIERR_OK;
}

// Statistics of the header: the largest chunk, the peak data rate over whole seconds, and how the
// streams' chunks alternate (an interleaved file changes stream more often than it has streams).
void AviWriter::countChunk(std::size_t s, std::uint64_t firstSample, std::uint32_t size) {
    const AviStreamModel& m = m_streams[s].model;
    m_largestChunk = std::max(m_largestChunk, size);
    if (m_lastStream != int(s)) ++m_runs;
    m_lastStream = int(s);
    if (!m.rate) return;
    std::uint64_t second = firstSample * m.scale / m.rate;
    if (second >= kMaxSeconds) return;
    if (m_bytesPerSecond.size() <= second) m_bytesPerSecond.resize(second + 1);
    m_bytesPerSecond[second] += size;
    m_maxBytesPerSecond = std::max(m_maxBytesPerSecond, m_bytesPerSecond[second]);
}

HRESULT AviWriter::writeStreamData(std::size_t s, FOURCC ckid, const void* data, LONG size) {
    if (m_failed) return AVIERR_FILEWRITE;
    if (size < 0 || (!data && size > 0) || !aviValidFourcc(ckid)) return AVIERR_BADPARAM;
    auto& extra = m_streams[s].model.extra;
    const auto* p = static_cast<const std::uint8_t*>(data);
    extra.push_back({ckid, std::vector<std::uint8_t>(p, p + size)});
    if (HRESULT hr = headerChanged()) {
        extra.pop_back();
        return hr;
    }
    return AVIERR_OK;
}

HRESULT AviWriter::writeFileData(FOURCC ckid, const void* data, LONG size) {
    if (m_failed) return AVIERR_FILEWRITE;
    if (size < 0 || (!data && size > 0) || !aviValidFourcc(ckid) || ckid == kList || ckid == kRiff ||
        ckid == kJunk || ckid == kIdx1)
        return AVIERR_BADPARAM;
    const auto* p = static_cast<const std::uint8_t*>(data);
    m_fileChunks.push_back({ckid, std::vector<std::uint8_t>(p, p + size)});
    if (HRESULT hr = headerChanged()) {
        m_fileChunks.pop_back();
        return hr;
    }
    return AVIERR_OK;
}

// The end of writing: the last record and RIFF are closed, the indexes written and the header brought
// up to date. A file whose writing failed is left as it is (what was written stays readable).
void AviWriter::finish() {
    if (m_failed) return;
    if (!m_started && start() != AVIERR_OK) return;
    if (closeRecord() != AVIERR_OK) return;
    if (m_riffIndex == 0) {
        if (writeIdx1() != AVIERR_OK) return;
    } else if (closeRiff() != AVIERR_OK) {
        return;
    }
    m_indexed = true;
    writeHeader();
}

} // namespace win
