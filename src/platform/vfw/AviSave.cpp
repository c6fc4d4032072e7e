// Saving streams into a new file: each stream read from its source (or from a compressed stream over
// it), written to a stream of the new file with its key frames, the streams interleaved on request, with
// progress and abort. The file is written under a temporary name and renamed into place at the end.
#include "platform/vfw/AviSave.h"

#include "platform/vfw/AviSaveTarget.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace win {

namespace {

__extension__ using U128 = unsigned __int128;

constexpr FOURCC kDibHandler = mmioFOURCC('D', 'I', 'B', ' ');
constexpr FOURCC kStrd = mmioFOURCC('s', 't', 'r', 'd');
// Samples of fixed size (audio) go to the file in pieces of at most this many bytes.
constexpr std::uint64_t kMaxPieceBytes = 1u << 20;

// A counted reference released at the end of its scope.
template <typename T> class Ref {
  public:
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    Ref& operator=(Ref&& o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }
    ~Ref() { reset(); }
    void reset() {
        if (m_p) m_p->Release();
        m_p = nullptr;
    }
    T* get() const { return m_p; }
    T** put() {
        reset();
        return &m_p;
    }

  private:
    T* m_p = nullptr;
};

struct SaveStream {
    Ref<IAVIStream> read; // where the samples come from: the source or a compressed stream over it
    Ref<IAVIStream> out;
    AVISTREAMINFOA info{}; // of read
    LONG length = 0;
    LONG next = 0;        // the next sample to write
    LONG nextFormat = -1; // the next sample at which the format changes (-1: none after next)
    double weight = 1;    // the stream's share of the progress (its duration)
    bool chunked() const { return info.dwSampleSize == 0; }
};

std::vector<std::uint8_t> formatAt(IAVIStream* s, LONG pos, HRESULT& hr) {
    LONG size = 0;
    hr = s->ReadFormat(pos, nullptr, &size);
    if (hr != AVIERR_OK) return {};
    std::vector<std::uint8_t> f(std::size_t(std::max<LONG>(size, 0)));
    if (!f.empty()) hr = s->ReadFormat(pos, f.data(), &size);
    if (hr == AVIERR_OK) f.resize(std::size_t(std::clamp<LONG>(size, 0, LONG(f.size()))));
    return f;
}

bool uncompressedDib(const std::vector<std::uint8_t>& f) {
    BITMAPINFOHEADER bi{};
    if (f.size() < sizeof bi) return false;
    std::memcpy(&bi, f.data(), sizeof bi);
    return bi.biCompression == BI_RGB;
}

// Two wave formats describe the same samples: the same bytes, or for PCM the same basic fields (a
// trailing cbSize of either does not matter).
bool sameWaveFormat(const std::vector<std::uint8_t>& a, const void* b, std::size_t bSize) {
    if (a.size() == bSize && std::memcmp(a.data(), b, bSize) == 0) return true;
    constexpr std::size_t kPcmSize = 16;
    if (a.size() < kPcmSize || bSize < kPcmSize) return false;
    WORD tagA, tagB;
    std::memcpy(&tagA, a.data(), 2);
    std::memcpy(&tagB, b, 2);
    return tagA == WAVE_FORMAT_PCM && tagB == WAVE_FORMAT_PCM && std::memcmp(a.data(), b, kPcmSize) == 0;
}

// Chooses what a stream's samples are read from: video with a compressor chosen goes through a
// compressed stream (full frames of an uncompressed source are copied as they are); other streams are
// copied. Audio is saved in its own format: a different format asked for is refused.
HRESULT openRead(IAVIStream* source, const AVICOMPRESSOPTIONS* opt, Ref<IAVIStream>& read) {
    AVISTREAMINFOA si{};
    if (HRESULT hr = source->Info(&si, sizeof si)) return hr;
    if (si.fccType == streamtypeVIDEO && opt && opt->fccHandler != 0) {
        HRESULT hr = AVIERR_OK;
        bool copy =
            opt->fccHandler == kDibHandler && !opt->lpFormat && uncompressedDib(formatAt(source, 0, hr));
        if (!copy)
            return AVIMakeCompressedStream(read.put(), source, const_cast<AVICOMPRESSOPTIONS*>(opt), nullptr);
    }
    if (si.fccType == streamtypeAUDIO && opt && opt->lpFormat && opt->cbFormat) {
        HRESULT hr = AVIERR_OK;
        std::vector<std::uint8_t> own = formatAt(source, 0, hr);
        if (hr != AVIERR_OK) return hr;
        if (!sameWaveFormat(own, opt->lpFormat, opt->cbFormat)) {
            AVISetLastErrorDetail("audio is saved in its own format; converting it is not supported");
            return AVIERR_BADFORMAT;
        }
    }
    source->AddRef();
    *read.put() = source;
    return AVIERR_OK;
}

// The stream of the new file: the read stream's information and first format, and for copied streams
// the codec data of the source's header.
HRESULT createOut(IAVIFile* file, SaveStream& s, bool copied) {
    if (HRESULT hr = s.read.get()->Info(&s.info, sizeof s.info)) return hr;
    s.length = std::max<LONG>(s.read.get()->Length(), 0);
    AVISTREAMINFOA info = s.info;
    info.dwLength = 0;
    info.dwSuggestedBufferSize = 0;
    if (HRESULT hr = file->CreateStream(s.out.put(), &info)) return hr;
    HRESULT hr = AVIERR_OK;
    std::vector<std::uint8_t> f = formatAt(s.read.get(), 0, hr);
    if (hr != AVIERR_OK) return hr;
    if (HRESULT h = s.out.get()->SetFormat(0, f.data(), LONG(f.size()))) return h;
    if (copied) {
        LONG size = 0;
        if (s.read.get()->ReadData(kStrd, nullptr, &size) == AVIERR_OK && size > 0) {
            std::vector<std::uint8_t> d(static_cast<std::size_t>(size));
            if (s.read.get()->ReadData(kStrd, d.data(), &size) == AVIERR_OK)
                if (HRESULT h = s.out.get()->WriteData(kStrd, d.data(), size)) return h;
        }
    }
    if (s.chunked() && s.length > 1) s.nextFormat = s.read.get()->FindSample(1, FIND_NEXT | FIND_FORMAT);
    if (s.info.dwRate && s.info.dwScale)
        s.weight = std::max(1e-9, double(s.length) * s.info.dwScale / s.info.dwRate);
    return AVIERR_OK;
}

class Saver {
  public:
    Saver(std::vector<SaveStream>& streams, AVISAVECALLBACK callback)
        : m_streams(streams), m_callback(callback) {
        for (auto& s : m_streams)
            m_total += s.weight;
    }

    // Tells the callback the percentage done when it has changed; AVIERR_USERABORT when it asks to stop.
    HRESULT progress(bool last = false) {
        double done = 0;
        for (auto& s : m_streams)
            done += s.length ? s.weight * s.next / s.length : s.weight;
        int percent = last ? 100 : std::min(99, int(100 * done / m_total));
        if (percent <= m_percent) return AVIERR_OK;
        m_percent = percent;
        return m_callback && m_callback(percent) ? AVIERR_USERABORT : AVIERR_OK;
    }

    // Writes the samples of s up to (not including) end.
    HRESULT writeUpTo(SaveStream& s, LONG end) {
        end = std::min(end, s.length);
        while (s.next < end) {
            HRESULT hr = s.chunked() ? writeChunk(s) : writeFixed(s, end);
            if (hr == AVIERR_OK) hr = progress();
            if (hr != AVIERR_OK) return hr;
        }
        return AVIERR_OK;
    }

  private:
    HRESULT writeChunk(SaveStream& s) {
        IAVIStream* in = s.read.get();
        const LONG pos = s.next;
        if (pos == s.nextFormat) {
            HRESULT hr = AVIERR_OK;
            std::vector<std::uint8_t> f = formatAt(in, pos, hr);
            if (hr == AVIERR_OK) hr = s.out.get()->SetFormat(pos, f.data(), LONG(f.size()));
            if (hr != AVIERR_OK) return hr;
            s.nextFormat = pos + 1 < s.length ? in->FindSample(pos + 1, FIND_NEXT | FIND_FORMAT) : -1;
        }
        LONG bytes = 0, samples = 0;
        if (HRESULT hr = in->Read(pos, 1, nullptr, 0, &bytes, &samples)) return hr;
        m_buffer.resize(std::size_t(std::max<LONG>(bytes, 0)));
        if (bytes > 0)
            if (HRESULT hr = in->Read(pos, 1, m_buffer.data(), bytes, &bytes, &samples)) return hr;
        // A compressed stream knows a frame's kind once it has made it, so the search follows the read.
        const DWORD flags = in->FindSample(pos, FIND_PREV | FIND_KEY) == pos ? AVIIF_KEYFRAME : 0;
        if (HRESULT hr = s.out.get()->Write(-1, 1, m_buffer.data(), bytes, flags, nullptr, nullptr))
            return hr;
        ++s.next;
        return AVIERR_OK;
    }

    HRESULT writeFixed(SaveStream& s, LONG end) {
        const std::uint64_t sampleSize = s.info.dwSampleSize;
        const LONG piece = LONG(std::max<std::uint64_t>(1, kMaxPieceBytes / sampleSize));
        const LONG count = std::min(end - s.next, piece);
        m_buffer.resize(std::size_t(std::uint64_t(count) * sampleSize));
        LONG bytes = 0, samples = 0;
        if (HRESULT hr =
                s.read.get()->Read(s.next, count, m_buffer.data(), LONG(m_buffer.size()), &bytes, &samples))
            return hr;
        if (samples <= 0) {
            AVISetLastErrorDetail("a stream gave fewer samples than its length");
            return AVIERR_FILEREAD;
        }
        if (HRESULT hr =
                s.out.get()->Write(-1, samples, m_buffer.data(), bytes, AVIIF_KEYFRAME, nullptr, nullptr))
            return hr;
        s.next += samples;
        return AVIERR_OK;
    }

    std::vector<SaveStream>& m_streams;
    AVISAVECALLBACK m_callback;
    double m_total = 0;
    int m_percent = -1;
    std::vector<std::uint8_t> m_buffer;
};

// The sample of s at the time of sample pos of master (rounded up), for interleaving.
LONG sampleAtTimeOf(const SaveStream& master, LONG pos, const SaveStream& s) {
    const AVISTREAMINFOA &m = master.info, &i = s.info;
    if (!i.dwRate || !i.dwScale) return s.length;
    U128 num = U128(std::uint64_t(m.dwStart) + std::uint64_t(pos)) * m.dwScale * i.dwRate;
    U128 den = U128(m.dwRate) * i.dwScale;
    U128 at = (num + den - 1) / den;
    at = at > i.dwStart ? at - i.dwStart : 0;
    return at > U128(s.length) ? s.length : LONG(at);
}

// Interleaved: in turns of `every` frames of the master stream (the first video stream), first the
// other streams' samples up to the end of the turn's time, then the master's frames, so that what a
// player needs for a moment always lies before or beside its picture.
HRESULT writeInterleaved(std::vector<SaveStream>& streams, Saver& saver, std::size_t master, DWORD every) {
    SaveStream& m = streams[master];
    for (;;) {
        const LONG turnEnd = LONG(std::min<std::int64_t>(m.length, std::int64_t(m.next) + every));
        const bool lastTurn = turnEnd >= m.length;
        for (std::size_t i = 0; i < streams.size(); ++i) {
            if (i == master) continue;
            LONG end = lastTurn ? streams[i].length : sampleAtTimeOf(m, turnEnd, streams[i]);
            if (HRESULT hr = saver.writeUpTo(streams[i], end)) return hr;
        }
        if (HRESULT hr = saver.writeUpTo(m, turnEnd)) return hr;
        if (lastTurn) return AVIERR_OK;
    }
}

HRESULT writeAll(std::vector<SaveStream>& streams, AVISAVECALLBACK callback, int count,
                 LPAVICOMPRESSOPTIONS* options) {
    Saver saver(streams, callback);
    if (HRESULT hr = saver.progress()) return hr;
    // The interleave setting of the first record that asks for it applies to the file.
    DWORD every = 0;
    for (int i = 0; options && i < count && !every; ++i)
        if (options[i] && (options[i]->dwFlags & AVICOMPRESSF_INTERLEAVE))
            every = std::max<DWORD>(options[i]->dwInterleaveEvery, 1);
    std::size_t master = 0;
    for (std::size_t i = 0; i < streams.size(); ++i)
        if (streams[i].info.fccType == streamtypeVIDEO && streams[i].chunked()) {
            master = i;
            break;
        }
    // Turns are counted in frames of a video stream; files without one are written stream by stream.
    const SaveStream& m = streams[master];
    const bool interleave = every && streams.size() > 1 && m.info.fccType == streamtypeVIDEO && m.chunked() &&
                            m.info.dwRate && m.info.dwScale;
    if (interleave) {
        if (HRESULT hr = writeInterleaved(streams, saver, master, every)) return hr;
    } else {
        for (auto& s : streams)
            if (HRESULT hr = saver.writeUpTo(s, s.length)) return hr;
    }
    return saver.progress(true);
}

// Reads the finished file back: every stream must be there with all its samples.
HRESULT verify(const std::string& path, const std::vector<SaveStream>& streams) {
    PAVIFILE raw = nullptr;
    HRESULT hr = AVIFileOpenA(&raw, path.c_str(), OF_READ | OF_SHARE_DENY_NONE, nullptr);
    Ref<IAVIFile> file;
    *file.put() = raw;
    if (hr != AVIERR_OK) return AVIERR_FILEWRITE;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        Ref<IAVIStream> s;
        if (file.get()->GetStream(s.put(), 0, LONG(i)) != AVIERR_OK || s.get()->Length() != streams[i].next) {
            AVISetLastErrorDetail("the written file does not hold every sample");
            return AVIERR_FILEWRITE;
        }
    }
    return AVIERR_OK;
}

} // namespace

HRESULT AVISaveVA(LPCSTR fileName, CLSID* /*handler*/, AVISAVECALLBACK callback, int count,
                  PAVISTREAM* stream, LPAVICOMPRESSOPTIONS* options) {
    AVISetLastErrorDetail({});
    if (!fileName || count <= 0 || !stream) return AVIERR_BADPARAM;
    for (int i = 0; i < count; ++i)
        if (!stream[i]) return AVIERR_BADPARAM;

    std::vector<SaveStream> streams(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        if (HRESULT hr = openRead(stream[i], options ? options[i] : nullptr, streams[std::size_t(i)].read))
            return hr;

    AviSaveTarget target;
    if (HRESULT hr = target.create(fileName)) return hr;
    {
        Ref<IAVIFile> file;
        if (HRESULT hr = AVIFileOpenA(file.put(), target.path().c_str(),
                                      OF_CREATE | OF_WRITE | OF_SHARE_EXCLUSIVE, nullptr))
            return hr;
        for (int i = 0; i < count; ++i) {
            SaveStream& s = streams[std::size_t(i)];
            if (HRESULT hr = createOut(file.get(), s, s.read.get() == stream[i])) return hr;
        }
        if (HRESULT hr = writeAll(streams, callback, count, options)) return hr;
        for (auto& s : streams)
            s.out.reset();
        // Releasing the last reference finishes the file: its indexes and final header are written.
    }
    if (HRESULT hr = verify(target.path(), streams)) return hr;
    return target.commit();
}

} // namespace win
