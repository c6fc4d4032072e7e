#include "platform/vfw/AviCompressedStream.h"
#include "platform/win/DibLayout.h"

#include "platform/vfw/FrameFormat.h"

#include <algorithm>
#include <cstring>

namespace win {

namespace {

constexpr FOURCC kDibHandler = mmioFOURCC('D', 'I', 'B', ' ');

// Full frames: the decoded DIB's pixels are the samples; every frame is a key frame.
class DibEncoder final : public AviFrameEncoder {
  public:
    explicit DibEncoder(const BITMAPINFOHEADER* first) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(first);
        m_format.assign(p, p + aviDibSizes(*first).header);
        BITMAPINFOHEADER& bi = *reinterpret_cast<BITMAPINFOHEADER*>(m_format.data());
        bi.biSizeImage = DWORD(aviDibSizes(bi).image);
    }
    const std::vector<std::uint8_t>& format() const override { return m_format; }
    FOURCC handler() const override { return kDibHandler; }
    HRESULT begin() override { return AVIERR_OK; }
    HRESULT encode(const BITMAPINFOHEADER* dib, bool, std::vector<std::uint8_t>& out, bool& key) override {
        const auto* p = reinterpret_cast<const std::uint8_t*>(dib) + aviDibSizes(*dib).header;
        out.assign(p, p + aviDibSizes(*dib).image);
        key = true;
        return AVIERR_OK;
    }
    DWORD maxSampleSize() const override {
        return DWORD(aviDibSizes(*reinterpret_cast<const BITMAPINFOHEADER*>(m_format.data())).image);
    }

  private:
    std::vector<std::uint8_t> m_format;
};

// The DIB the frames are decoded to: the format asked for, or 24-bit colour at the source's size.
BITMAPINFOHEADER decodeFormat(PAVISTREAM source, const AVICOMPRESSOPTIONS& options) {
    BITMAPINFOHEADER bi{};
    if ((options.fccHandler == 0 || options.fccHandler == kDibHandler) && options.lpFormat &&
        options.cbFormat >= sizeof bi) {
        std::memcpy(&bi, options.lpFormat, sizeof bi);
        return bi;
    }
    LONG size = sizeof bi;
    BITMAPINFOHEADER src{};
    std::vector<std::uint8_t> f(std::size_t(sizeof bi));
    if (source->ReadFormat(0, nullptr, &size) == AVIERR_OK && size >= LONG(sizeof bi)) {
        f.resize(std::size_t(size));
        if (source->ReadFormat(0, f.data(), &size) == AVIERR_OK) std::memcpy(&src, f.data(), sizeof src);
    }
    bi.biSize = sizeof bi;
    bi.biWidth = src.biWidth;
    bi.biHeight = src.biHeight < 0 ? -src.biHeight : src.biHeight;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    bi.biCompression = BI_RGB;
    bi.biSizeImage = DWORD(aviDibSizes(bi).image);
    return bi;
}

} // namespace

AviDibSizes aviDibSizes(const BITMAPINFOHEADER& bi) {
    // The header, the masks behind a 40-byte header and the whole colour table, as the parsed layout
    // places them (only the 40-byte header is at hand here).
    std::size_t head = bi.biSize;
    if (bi.biCompression == BI_BITFIELDS && bi.biSize == sizeof bi) head += 12;
    head += 4 * std::size_t(DibColourCount(bi.biBitCount, bi.biClrUsed));
    const std::uint64_t h = std::uint64_t(bi.biHeight < 0 ? -std::int64_t(bi.biHeight) : bi.biHeight);
    return {head, std::size_t(DibStride(std::uint64_t(std::max<LONG>(bi.biWidth, 0)), bi.biBitCount) * h)};
}

HRESULT AviCompressedStream::create(PAVISTREAM* out, PAVISTREAM source, const AVICOMPRESSOPTIONS& options) {
    *out = nullptr;
    AVISTREAMINFOA info{};
    if (HRESULT hr = source->Info(&info, sizeof info)) return hr;
    if (info.fccType != streamtypeVIDEO) {
        AVISetLastErrorDetail("only video streams are compressed");
        return AVIERR_UNSUPPORTED;
    }
    BITMAPINFOHEADER wanted = decodeFormat(source, options);
    PGETFRAME frames = AVIStreamGetFrameOpen(source, &wanted);
    if (!frames) return AVIERR_BADFORMAT;
    // The first frame gives the exact DIB the encoder takes.
    std::vector<std::uint8_t> empty;
    const BITMAPINFOHEADER* first = nullptr;
    if (source->Length() > 0) {
        first = static_cast<const BITMAPINFOHEADER*>(frames->GetFrame(0));
        if (!first) {
            frames->Release();
            return AVIERR_FILEREAD;
        }
    } else {
        empty.resize(sizeof wanted + 4 * 256);
        std::memcpy(empty.data(), &wanted, sizeof wanted);
        first = reinterpret_cast<const BITMAPINFOHEADER*>(empty.data());
    }
    std::unique_ptr<AviFrameEncoder> encoder;
    HRESULT hr = AVIERR_OK;
    if (options.fccHandler == 0 || options.fccHandler == kDibHandler)
        encoder = std::make_unique<DibEncoder>(first);
    else
        encoder = aviMakeIcmEncoder(first, options, info.dwRate, info.dwScale, hr);
    if (!encoder) {
        frames->Release();
        return hr ? hr : AVIERR_NOCOMPRESSOR;
    }
    *out = new AviCompressedStream(source, frames, std::move(encoder), options);
    return AVIERR_OK;
}

AviCompressedStream::AviCompressedStream(PAVISTREAM source, PGETFRAME frames,
                                         std::unique_ptr<AviFrameEncoder> encoder,
                                         const AVICOMPRESSOPTIONS& options)
    : m_source(source), m_frames(frames), m_encoder(std::move(encoder)) {
    m_source->AddRef();
    m_source->Info(&m_info, sizeof m_info);
    m_length = std::max<LONG>(m_source->Length(), 0);
    m_info.fccHandler = m_encoder->handler();
    m_info.dwStart = 0;
    m_info.dwLength = DWORD(m_length);
    m_info.dwSampleSize = 0;
    m_info.dwQuality = options.dwQuality;
    m_info.dwSuggestedBufferSize = m_encoder->maxSampleSize();
    m_info.dwCaps = AVIFILECAPS_CANREAD;
    m_info.dwEditCount = 0;
    m_info.dwFormatChangeCount = 0;
    if (options.dwFlags & AVICOMPRESSF_KEYFRAMES) m_keyEvery = options.dwKeyFrameEvery;
    m_key.reserve(std::size_t(m_length));
}

AviCompressedStream::~AviCompressedStream() {
    m_encoder.reset();
    m_frames->Release();
    m_source->Release();
}

ULONG AviCompressedStream::Release() {
    ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
}

HRESULT AviCompressedStream::Info(AVISTREAMINFOA* info, LONG size) {
    if (!info || size < 0) return AVIERR_BADPARAM;
    std::memcpy(info, &m_info, std::min<std::size_t>(std::size_t(size), sizeof m_info));
    return AVIERR_OK;
}

HRESULT AviCompressedStream::ReadFormat(LONG /*pos*/, LPVOID format, LONG* size) {
    if (!size) return AVIERR_BADPARAM;
    const std::vector<std::uint8_t>& f = m_encoder->format();
    if (!format) {
        *size = LONG(f.size());
        return AVIERR_OK;
    }
    const std::size_t n = std::min(f.size(), std::size_t(std::max<LONG>(*size, 0)));
    std::memcpy(format, f.data(), n);
    *size = LONG(n);
    return n < f.size() ? AVIERR_BUFFERTOOSMALL : AVIERR_OK;
}

// Frames not made yet are key frames where a key frame will be forced; the frames made carry what the
// encoder made of them.
bool AviCompressedStream::isKey(LONG pos) const {
    if (pos < LONG(m_key.size())) return m_key[std::size_t(pos)];
    if (pos == 0) return true;
    if (m_keyEvery == 0) return false;
    // Counting on from the last key frame made.
    LONG last = LONG(m_key.size()) - 1;
    while (last > 0 && !m_key[std::size_t(last)])
        --last;
    return (pos - std::max<LONG>(last, 0)) % LONG(m_keyEvery) == 0;
}

LONG AviCompressedStream::FindSample(LONG pos, LONG flags) {
    if (m_length == 0) return -1;
    const bool forward = (flags & FIND_PREV) == 0 || (flags & FIND_FROM_START);
    if (flags & FIND_FROM_START) pos = 0;
    if (forward ? pos >= m_length : pos < 0) return -1;
    pos = std::clamp<LONG>(pos, 0, m_length - 1);
    switch (flags & FIND_TYPE) {
    case FIND_KEY:
        for (LONG p = pos; p >= 0 && p < m_length; p += forward ? 1 : -1)
            if (isKey(p)) return p;
        return -1;
    case FIND_FORMAT:
        return forward ? (pos == 0 ? 0 : -1) : 0;
    default:
        return pos;
    }
}

HRESULT AviCompressedStream::encodeNext() {
    const LONG pos = m_made + 1;
    const auto* dib = static_cast<const BITMAPINFOHEADER*>(m_frames->GetFrame(pos));
    if (!dib) {
        AVISetLastErrorDetail("frame " + std::to_string(pos) + " cannot be decoded: " + AVILastErrorDetail());
        return AVIERR_FILEREAD;
    }
    const bool runStart = pos == 0 || m_sinceKey < 0;
    const bool force = runStart || (m_keyEvery && DWORD(m_sinceKey) + 1 >= m_keyEvery);
    if (runStart)
        if (HRESULT hr = m_encoder->begin()) return hr;
    bool key = false;
    if (HRESULT hr = m_encoder->encode(dib, force, m_sample, key)) return hr;
    key = key || force;
    if (pos == LONG(m_key.size())) m_key.push_back(key);
    m_sinceKey = key ? 0 : m_sinceKey + 1;
    m_made = pos;
    m_info.dwSuggestedBufferSize = std::max<DWORD>(m_info.dwSuggestedBufferSize, DWORD(m_sample.size()));
    return AVIERR_OK;
}

HRESULT AviCompressedStream::produce(LONG pos) {
    if (pos == m_made) return AVIERR_OK;
    // The nearest key frame made at or before pos: a run may start there instead of going on (behind
    // the frame asked for, or far ahead of the frames made).
    LONG key = std::min<LONG>(pos, LONG(m_key.size()) - 1);
    while (key > 0 && !m_key[std::size_t(key)])
        --key;
    if (pos < m_made || key > m_made + 1) {
        m_made = std::max<LONG>(key, 0) - 1;
        m_sinceKey = -1; // the run's first frame is a key frame
    }
    while (m_made < pos)
        if (HRESULT hr = encodeNext()) return hr;
    return AVIERR_OK;
}

HRESULT AviCompressedStream::Read(LONG start, LONG count, LPVOID buffer, LONG bufferSize, LONG* bytes,
                                  LONG* samples) {
    if (bytes) *bytes = 0;
    if (samples) *samples = 0;
    if (count < AVISTREAMREAD_CONVENIENT || (buffer && bufferSize < 0)) return AVIERR_BADPARAM;
    if (count == 0) return AVIERR_OK;
    if (start < 0 || start >= m_length) return AVIERR_BADPARAM;
    if (HRESULT hr = produce(start)) return hr;
    // One frame per read: the samples are of varying size.
    const LONG n = LONG(m_sample.size());
    if (buffer) {
        if (bufferSize < n) return AVIERR_BUFFERTOOSMALL;
        std::memcpy(buffer, m_sample.data(), m_sample.size());
    }
    if (bytes) *bytes = n;
    if (samples) *samples = 1;
    return AVIERR_OK;
}

HRESULT AVIMakeCompressedStream(PAVISTREAM* compressed, PAVISTREAM source, AVICOMPRESSOPTIONS* options,
                                CLSID* /*handler*/) {
    if (!compressed) return AVIERR_BADPARAM;
    *compressed = nullptr;
    if (!source || !options) return AVIERR_BADPARAM;
    return AviCompressedStream::create(compressed, source, *options);
}

} // namespace win
