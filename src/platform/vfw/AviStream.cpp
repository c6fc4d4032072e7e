#include "platform/vfw/AviStream.h"
#include "platform/win/DibLayout.h"

#include "platform/win/ByteReader.h"

#include <algorithm>
#include <cstring>

namespace win {

void AviSampleIndex::build(const AviStreamModel& st) {
    keys.clear();
    formats.assign(1, 0);
    if (st.sampleSize == 0) {
        for (std::uint32_t i = 0; i < st.length; ++i)
            if (st.chunks[i].key) keys.push_back(i);
    }
    for (auto& c : st.paletteChanges)
        if (c.position < st.length && c.position != formats.back()) formats.push_back(c.position);
}

AviStream::AviStream(std::shared_ptr<const AviShared> shared, std::size_t index)
    : m_shared(std::move(shared)), m_index(index) {
    m_search.build(s());
}

ULONG AviStream::AddRef() {
    return ++m_refs;
}

ULONG AviStream::Release() {
    ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
}

AVISTREAMINFOA aviStreamInfo(const AviStreamModel& st) {
    const AVIStreamHeader& h = st.header;
    AVISTREAMINFOA i{};
    i.fccType = h.fccType;
    i.fccHandler = h.fccHandler;
    i.dwFlags =
        (h.dwFlags & AVISTREAMINFO_DISABLED) | (st.paletteChanges.empty() ? 0 : AVISTREAMINFO_FORMATCHANGES);
    i.dwCaps = AVIFILECAPS_CANREAD;
    i.wPriority = h.wPriority;
    i.wLanguage = h.wLanguage;
    i.dwScale = st.scale;
    i.dwRate = st.rate;
    i.dwStart = h.dwStart;
    i.dwLength = st.length;
    i.dwInitialFrames = h.dwInitialFrames;
    i.dwSuggestedBufferSize = st.largestChunk;
    i.dwQuality = h.dwQuality;
    i.dwSampleSize = st.sampleSize;
    i.rcFrame = RECT{h.rcFrame.left, h.rcFrame.top, h.rcFrame.right, h.rcFrame.bottom};
    if (st.isVideo() && i.rcFrame.right == 0 && i.rcFrame.bottom == 0 && st.format.size() >= 12) {
        ByteReader r(st.format);
        r.skip(4);
        std::int64_t w = *r.i32(), hgt = *r.i32();
        i.rcFrame.right = LONG(std::clamp<std::int64_t>(w, 0, 0x7FFF));
        i.rcFrame.bottom = LONG(std::clamp<std::int64_t>(hgt < 0 ? -hgt : hgt, 0, 0x7FFF));
    }
    i.dwFormatChangeCount = DWORD(st.paletteChanges.size());
    std::size_t n = std::min(st.name.size(), sizeof i.szName - 1);
    std::memcpy(i.szName, st.name.data(), n);
    return i;
}

HRESULT AviStream::Info(AVISTREAMINFOA* out, LONG size) {
    if (!out || size < 0) return AVIERR_BADPARAM;
    AVISTREAMINFOA i = info();
    std::memcpy(out, &i, std::min<std::size_t>(std::size_t(size), sizeof i));
    return AVIERR_OK;
}

LONG AviStream::Start() {
    return LONG(std::min<DWORD>(s().header.dwStart, 0x7FFFFFFF));
}
LONG AviStream::Length() {
    return LONG(s().length);
}

// Palette changes are applied to the colour table of the stream format in file order, so the format at
// pos carries every ##pc that came before sample pos.
std::vector<std::uint8_t> aviFormatAt(const AviStreamModel& st, LONG pos) {
    std::vector<std::uint8_t> f = st.format;
    if (st.paletteChanges.empty() || f.size() < 40) return f;
    ByteReader r(f);
    BITMAPINFOHEADER bi{};
    r.readRecord(bi, f.size());
    std::size_t table = std::clamp<std::size_t>(bi.biSize, 40, f.size());
    std::size_t entries = DibColourCount(bi.biBitCount, bi.biClrUsed);
    entries = std::min({entries, std::size_t(256), (f.size() - table) / 4});
    for (auto& c : st.paletteChanges) {
        if (LONG(c.position) > pos) break;
        for (std::size_t j = 0; j < c.entries.size(); ++j) {
            std::size_t idx = c.first + j;
            if (idx >= entries) break;
            std::uint8_t* q = &f[table + 4 * idx];
            q[0] = c.entries[j].peBlue;
            q[1] = c.entries[j].peGreen;
            q[2] = c.entries[j].peRed;
            q[3] = 0;
        }
    }
    return f;
}

HRESULT aviReadFormat(const AviStreamModel& st, LONG pos, LPVOID format, LONG* size) {
    if (!size) return AVIERR_BADPARAM;
    if (!format) {
        *size = LONG(st.format.size());
        return AVIERR_OK;
    }
    if (*size < 0) return AVIERR_BADPARAM;
    std::vector<std::uint8_t> f = aviFormatAt(st, pos);
    std::size_t n = std::min(f.size(), std::size_t(*size));
    if (n) std::memcpy(format, f.data(), n);
    *size = LONG(n);
    return n < f.size() ? AVIERR_BUFFERTOOSMALL : AVIERR_OK;
}

static void setResult(LONG* bytes, LONG* samples, std::uint64_t b, std::uint64_t n) {
    if (bytes) *bytes = LONG(std::min<std::uint64_t>(b, 0x7FFFFFFF));
    if (samples) *samples = LONG(std::min<std::uint64_t>(n, 0x7FFFFFFF));
}

// One sample is one chunk: each is read with one positioned read straight into the caller's buffer.
static HRESULT readChunks(const AviStreamModel& st, const AviSource& src, LONG start, LONG count,
                          std::uint8_t* buffer, LONG bufferSize, LONG* bytes, LONG* samples) {
    const std::uint32_t remaining = st.length - std::uint32_t(start);
    std::uint32_t n = count == AVISTREAMREAD_CONVENIENT ? (buffer ? remaining : 1u)
                                                        : std::min(std::uint32_t(count), remaining);
    if (!buffer) {
        std::uint64_t total = 0;
        for (std::uint32_t i = 0; i < n; ++i)
            total += st.chunks[std::size_t(start) + i].size;
        setResult(bytes, samples, total, n);
        return AVIERR_OK;
    }
    std::uint64_t used = 0;
    std::uint32_t k = 0;
    for (; k < n; ++k) {
        const AviChunk& c = st.chunks[std::size_t(start) + k];
        if (used + c.size > std::uint64_t(bufferSize)) break;
        if (!src.readExact(c.offset, buffer + used, c.size)) {
            setResult(bytes, samples, used, k);
            return AVIERR_FILEREAD;
        }
        used += c.size;
    }
    if (k == 0) {
        setResult(bytes, samples, st.chunks[std::size_t(start)].size, 0);
        return AVIERR_BUFFERTOOSMALL;
    }
    setResult(bytes, samples, used, k);
    return AVIERR_OK;
}

// Samples of a fixed size (audio blocks) are a byte stream spread over the chunks.
static HRESULT readFixed(const AviStreamModel& st, const AviSource& src, LONG start, LONG count,
                         std::uint8_t* buffer, LONG bufferSize, LONG* bytes, LONG* samples) {
    const std::uint64_t ss = st.sampleSize;
    const std::uint64_t remaining = st.length - std::uint32_t(start);
    std::uint64_t first = std::uint64_t(start) * ss;
    const auto& before = st.chunkBytesBefore;
    std::size_t ci = std::size_t(std::upper_bound(before.begin(), before.end(), first) - before.begin()) - 1;
    std::uint64_t n;
    if (count == AVISTREAMREAD_CONVENIENT) {
        if (buffer)
            n = std::min<std::uint64_t>(remaining, std::uint64_t(bufferSize) / ss);
        else
            n = std::max<std::uint64_t>(1, (before[ci + 1] - first) / ss); // the rest of this chunk
        n = std::min(n, remaining);
    } else {
        n = std::min<std::uint64_t>(std::uint64_t(count), remaining);
    }
    if (!buffer) {
        setResult(bytes, samples, n * ss, n);
        return AVIERR_OK;
    }
    n = std::min<std::uint64_t>(n, std::uint64_t(bufferSize) / ss);
    if (n == 0) {
        setResult(bytes, samples, ss, 0);
        return AVIERR_BUFFERTOOSMALL;
    }
    std::uint64_t want = n * ss, done = 0;
    while (done < want && ci < st.chunks.size()) {
        const AviChunk& c = st.chunks[ci];
        std::uint64_t within = first + done - before[ci];
        std::uint64_t take = std::min<std::uint64_t>(c.size - within, want - done);
        if (take && !src.readExact(c.offset + within, buffer + done, std::size_t(take))) {
            setResult(bytes, samples, done, done / ss);
            return AVIERR_FILEREAD;
        }
        done += take;
        ++ci;
    }
    setResult(bytes, samples, done, done / ss);
    return AVIERR_OK;
}

static LONG findAny(const AviStreamModel& st, LONG pos, bool forward) {
    if (st.sampleSize) return pos;
    for (LONG i = pos; i >= 0 && i < LONG(st.length); i += forward ? 1 : -1)
        if (st.chunks[std::size_t(i)].size > 0) return i;
    return -1;
}

// Positions are sample numbers from 0. FIND_NEXT and FIND_FROM_START search forward including pos (from
// 0 for FIND_FROM_START), FIND_PREV backward including pos; FIND_ANY finds samples holding data.
static LONG findPosition(const AviStreamModel& st, const AviSampleIndex& index, LONG pos, LONG flags) {
    const LONG length = LONG(st.length);
    if (length == 0) return -1;
    bool forward = (flags & FIND_PREV) == 0;
    if (flags & FIND_FROM_START) {
        pos = 0;
        forward = true;
    }
    if (forward) {
        if (pos >= length) return -1;
        pos = std::max<LONG>(pos, 0);
    } else {
        if (pos < 0) return -1;
        pos = std::min<LONG>(pos, length - 1);
    }
    auto search = [&](const std::vector<std::uint32_t>& v) -> LONG {
        if (forward) {
            auto it = std::lower_bound(v.begin(), v.end(), std::uint32_t(pos));
            return it == v.end() ? -1 : LONG(*it);
        }
        auto it = std::upper_bound(v.begin(), v.end(), std::uint32_t(pos));
        return it == v.begin() ? -1 : LONG(*(it - 1));
    };
    switch (flags & FIND_TYPE) {
    case FIND_KEY:
        return st.sampleSize ? pos : search(index.keys);
    case FIND_FORMAT:
        return search(index.formats);
    case FIND_ANY:
        return findAny(st, pos, forward);
    default:
        return pos;
    }
}

// The chunk that holds sample pos: the sample itself for chunk streams, the chunk whose bytes cover the
// sample's first byte for fixed-size samples.
static std::size_t chunkOf(const AviStreamModel& st, LONG pos) {
    if (st.sampleSize == 0) return std::size_t(pos);
    const auto& before = st.chunkBytesBefore;
    const std::uint64_t first = std::uint64_t(pos) * st.sampleSize;
    return std::size_t(std::upper_bound(before.begin(), before.end(), first) - before.begin()) - 1;
}

static LONG asLong(std::uint64_t v) {
    return v > 0x7FFFFFFF ? -1 : LONG(v);
}

LONG aviFindSample(const AviStreamModel& st, const AviSampleIndex& index, LONG pos, LONG flags) {
    const LONG found = findPosition(st, index, pos, flags);
    const LONG form = flags & FIND_RET;
    if (found < 0 || form == FIND_POS) return found;
    if (form == FIND_LENGTH && st.sampleSize) return asLong(st.sampleSize);
    if (st.chunks.empty()) return -1;
    const std::size_t chunk = chunkOf(st, found);
    if (chunk >= st.chunks.size()) return -1;
    switch (form) {
    case FIND_LENGTH:
    case FIND_SIZE:
        return asLong(st.chunks[chunk].size);
    case FIND_OFFSET:
        return asLong(st.chunks[chunk].offset - 8);
    case FIND_INDEX:
        return asLong(chunk);
    default:
        return -1;
    }
}

HRESULT aviReadSamples(const AviStreamModel& st, const AviSource& src, LONG start, LONG count, LPVOID buffer,
                       LONG bufferSize, LONG* bytes, LONG* samples) {
    setResult(bytes, samples, 0, 0);
    const LONG length = LONG(st.length);
    if (count < AVISTREAMREAD_CONVENIENT || (buffer && bufferSize < 0)) return AVIERR_BADPARAM;
    if (count == 0) return AVIERR_OK;
    if (start < 0 || start >= length) return AVIERR_BADPARAM;
    auto* out = static_cast<std::uint8_t*>(buffer);
    return st.sampleSize ? readFixed(st, src, start, count, out, bufferSize, bytes, samples)
                         : readChunks(st, src, start, count, out, bufferSize, bytes, samples);
}

HRESULT aviCopyData(const std::vector<std::uint8_t>& data, LPVOID buffer, LONG* size) {
    if (!size) return AVIERR_BADPARAM;
    if (!buffer) {
        *size = LONG(std::min<std::size_t>(data.size(), 0x7FFFFFFF));
        return AVIERR_OK;
    }
    if (*size < 0) return AVIERR_BADPARAM;
    std::size_t n = std::min(data.size(), std::size_t(*size));
    if (n) std::memcpy(buffer, data.data(), n);
    *size = LONG(n);
    return n < data.size() ? AVIERR_BUFFERTOOSMALL : AVIERR_OK;
}

HRESULT AviStream::Read(LONG start, LONG count, LPVOID buffer, LONG bufferSize, LONG* bytes, LONG* samples) {
    return aviReadSamples(s(), *m_shared->source, start, count, buffer, bufferSize, bytes, samples);
}

HRESULT AviStream::ReadFormat(LONG pos, LPVOID format, LONG* size) {
    return aviReadFormat(s(), pos, format, size);
}

LONG AviStream::FindSample(LONG pos, LONG flags) {
    return aviFindSample(s(), m_search, pos, flags);
}

HRESULT AviStream::ReadData(FOURCC ckid, LPVOID data, LONG* size) {
    for (auto& e : s().extra)
        if (e.id == ckid) return aviCopyData(e.data, data, size);
    if (size && !data) *size = 0;
    return AVIERR_NODATA;
}

} // namespace win
