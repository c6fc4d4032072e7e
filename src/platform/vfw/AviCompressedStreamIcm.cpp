// The encoder of compressed streams over an installable compressor: the driver is opened for
// compression, given the saved state, asked for the output format and the largest frame, and then fed
// one DIB after another between ICM_COMPRESS_BEGIN and ICM_COMPRESS_END.
#include "platform/vfw/AviCompressedStream.h"
#include "platform/vfw/FrameFormat.h"
#include "platform/vfw/Icm.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace win {

namespace {

// Largest compressed format block we take from a driver.
constexpr LRESULT kMaxFormatBytes = 1 << 16;

template <typename T> DWORD_PTR arg(T* p) {
    return reinterpret_cast<DWORD_PTR>(p);
}

class IcmEncoder final : public AviFrameEncoder {
  public:
    IcmEncoder(HIC hic, FOURCC handler) : m_hic(hic), m_handler(handler) {}
    ~IcmEncoder() override {
        if (m_begun) ICSendMessage(m_hic, ICM_COMPRESS_END, 0, 0);
        ICClose(m_hic);
    }

    HRESULT setUp(const BITMAPINFOHEADER* input, const AVICOMPRESSOPTIONS& options, DWORD rate, DWORD scale) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(input);
        m_input.assign(p, p + aviDibSizes(*input).header);
        inputHeader()->biSizeImage = DWORD(aviDibSizes(*input).image);
        if (options.lpParms && options.cbParms)
            ICSendMessage(m_hic, ICM_SETSTATE, arg(options.lpParms), options.cbParms);
        if (ICSendMessage(m_hic, ICM_COMPRESS_QUERY, arg(inputHeader()), 0) != ICERR_OK) {
            AVISetLastErrorDetail("the compressor " + vfw::fourccText(m_handler) + " does not take " +
                                  std::to_string(input->biBitCount) + "-bit frames of " +
                                  std::to_string(input->biWidth) + "x" + std::to_string(input->biHeight));
            return AVIERR_BADFORMAT;
        }
        LRESULT size = ICSendMessage(m_hic, ICM_COMPRESS_GET_FORMAT, arg(inputHeader()), 0);
        if (size < LRESULT(sizeof(BITMAPINFOHEADER)) || size > kMaxFormatBytes) return AVIERR_COMPRESSOR;
        m_format.assign(std::size_t(size), 0);
        if (ICSendMessage(m_hic, ICM_COMPRESS_GET_FORMAT, arg(inputHeader()), arg(m_format.data())) !=
            ICERR_OK)
            return AVIERR_COMPRESSOR;
        LRESULT most = ICSendMessage(m_hic, ICM_COMPRESS_GET_SIZE, arg(inputHeader()), arg(m_format.data()));
        m_maxSize = DWORD(std::clamp<LRESULT>(most, 0, LRESULT(vfw::kMaxFrameBytes)));
        if (m_maxSize == 0)
            m_maxSize = DWORD(std::max<std::size_t>(inputHeader()->biSizeImage, 1) * 2 + 4096);
        m_scratch.reset();
        ICINFO info{};
        info.dwSize = sizeof info;
        // A temporal compressor is handed the previous frame's pixels unless it keeps its own reference
        // (VIDCF_FASTTEMPORALC): the libavcodec drivers do, and copying a frame for each frame is wasted.
        if (ICGetInfo(m_hic, &info, sizeof info) > 0)
            m_temporal = (info.dwFlags & VIDCF_TEMPORAL) && !(info.dwFlags & VIDCF_FASTTEMPORALC);
        m_quality = options.dwQuality;
        // A data rate asked for becomes a size wanted for each frame.
        if ((options.dwFlags & AVICOMPRESSF_DATARATE) && options.dwBytesPerSecond && rate)
            m_frameSize = DWORD(std::uint64_t(options.dwBytesPerSecond) * scale / rate);
        return AVIERR_OK;
    }

    const std::vector<std::uint8_t>& format() const override { return m_format; }
    FOURCC handler() const override { return m_handler; }
    DWORD maxSampleSize() const override { return m_maxSize; }

    HRESULT begin() override {
        if (m_begun) ICSendMessage(m_hic, ICM_COMPRESS_END, 0, 0);
        m_begun = false;
        if (ICSendMessage(m_hic, ICM_COMPRESS_BEGIN, arg(inputHeader()), arg(m_format.data())) != ICERR_OK) {
            AVISetLastErrorDetail("the compressor " + vfw::fourccText(m_handler) + " cannot start");
            return AVIERR_COMPRESSOR;
        }
        m_begun = true;
        m_frameNum = 0;
        m_prev.clear();
        return AVIERR_OK;
    }

    HRESULT encode(const BITMAPINFOHEADER* dib, bool forceKey, std::vector<std::uint8_t>& out,
                   bool& key) override {
        const auto [headerBytes, imageBytes] = aviDibSizes(*dib);
        if (imageBytes != inputHeader()->biSizeImage) return AVIERR_BADFORMAT; // the frames' size changed
        auto* pixels = const_cast<std::uint8_t*>(reinterpret_cast<const std::uint8_t*>(dib) + headerBytes);
        std::vector<std::uint8_t> outHeader = m_format;
        auto* bo = reinterpret_cast<BITMAPINFOHEADER*>(outHeader.data());
        bo->biSizeImage = m_maxSize;
        // The compressor writes into a scratch block of the largest size it may produce, made once: sizing
        // the sample itself to that would clear megabytes for every frame.
        if (!m_scratch) m_scratch = std::make_unique_for_overwrite<std::uint8_t[]>(m_maxSize);
        DWORD ckid = 0, flags = 0;
        const bool withPrev = m_temporal && !m_prev.empty();
        DWORD r = ICCompress(m_hic, forceKey ? ICCOMPRESS_KEYFRAME : 0, bo, m_scratch.get(), inputHeader(),
                             pixels, &ckid, &flags, m_frameNum, m_frameSize, m_quality,
                             withPrev ? inputHeader() : nullptr, withPrev ? m_prev.data() : nullptr);
        if (LRESULT(std::int32_t(r)) != ICERR_OK) {
            AVISetLastErrorDetail("the compressor " + vfw::fourccText(m_handler) + " failed on frame " +
                                  std::to_string(m_frameNum));
            return AVIERR_COMPRESSOR;
        }
        if (bo->biSizeImage > m_maxSize) return AVIERR_COMPRESSOR;
        out.assign(m_scratch.get(), m_scratch.get() + bo->biSizeImage);
        key = (flags & AVIIF_KEYFRAME) != 0;
        if (m_temporal) m_prev.assign(pixels, pixels + imageBytes);
        ++m_frameNum;
        return AVIERR_OK;
    }

  private:
    BITMAPINFOHEADER* inputHeader() { return reinterpret_cast<BITMAPINFOHEADER*>(m_input.data()); }

    HIC m_hic;
    FOURCC m_handler;
    std::vector<std::uint8_t> m_input;  // the input DIB's header and colour table
    std::vector<std::uint8_t> m_format; // the compressed format
    std::vector<std::uint8_t> m_prev;   // the previous frame's pixels, for compressors that are handed them
    DWORD m_maxSize = 0;
    std::unique_ptr<std::uint8_t[]> m_scratch; // m_maxSize bytes once the first frame is compressed
    DWORD m_quality = ICQUALITY_DEFAULT;
    DWORD m_frameSize = 0;
    LONG m_frameNum = 0;
    bool m_temporal = false;
    bool m_begun = false;
};

} // namespace

std::unique_ptr<AviFrameEncoder> aviMakeIcmEncoder(const BITMAPINFOHEADER* input,
                                                   const AVICOMPRESSOPTIONS& options, DWORD rate, DWORD scale,
                                                   HRESULT& hr) {
    HIC hic = ICOpen(ICTYPE_VIDEO, options.fccHandler, ICMODE_COMPRESS);
    if (!hic) {
        AVISetLastErrorDetail("no compressor " + vfw::fourccText(options.fccHandler) + " is installed");
        hr = AVIERR_NOCOMPRESSOR;
        return nullptr;
    }
    auto encoder = std::make_unique<IcmEncoder>(hic, options.fccHandler);
    hr = encoder->setUp(input, options, rate, scale);
    if (hr != AVIERR_OK) return nullptr;
    return encoder;
}

} // namespace win
