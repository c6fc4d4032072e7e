// The uncompressed driver ('DIB ', also opened as handler 0): compression copies the frame as it is;
// decompression converts an uncompressed DIB into the caller's format.
#include "platform/vfw/IcmDriver.h"

#include <cstring>

namespace win::icm {
namespace {

constexpr FOURCC kDib = mmioFOURCC('D', 'I', 'B', ' ');
constexpr DWORD kUncompressedChunk = DWORD('d') | (DWORD('b') << 8);

std::size_t imageBytes(const BITMAPINFOHEADER* h) {
    const std::int64_t height = h->biHeight < 0 ? -std::int64_t(h->biHeight) : h->biHeight;
    return std::size_t(DibStride(std::uint64_t(h->biWidth), h->biBitCount) * std::uint64_t(height));
}

class DibDriver final : public BuiltInDecompressor {
  protected:
    DriverInfo info() const override {
        return {kDib, 0, "Uncompressed", "Uncompressed frames (full frames)"};
    }

    LRESULT compressQuery(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) override {
        if (!plainRgbInput(in, {8, 16, 24, 32})) return ICERR_BADFORMAT;
        if (!out) return ICERR_OK;
        const bool same = (out->biCompression == BI_RGB || out->biCompression == kDib) &&
                          out->biBitCount == in->biBitCount && out->biWidth == in->biWidth &&
                          out->biHeight == in->biHeight;
        return same ? ICERR_OK : ICERR_BADFORMAT;
    }

    LRESULT compressFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) override {
        if (!plainRgbInput(in, {8, 16, 24, 32})) return ICERR_BADFORMAT;
        const DWORD colours = colourCount(in);
        const LRESULT bytes = LRESULT(sizeof(BITMAPINFOHEADER) + colours * 4);
        if (!out) return bytes;
        BITMAPINFOHEADER h = *in;
        h.biSize = sizeof h;
        h.biCompression = BI_RGB;
        h.biSizeImage = DWORD(imageBytes(in));
        h.biClrUsed = colours;
        std::memcpy(out, &h, sizeof h);
        if (colours)
            std::memcpy(reinterpret_cast<std::uint8_t*>(out) + sizeof h,
                        reinterpret_cast<const std::uint8_t*>(in) + in->biSize, std::size_t(colours) * 4);
        return bytes;
    }

    LRESULT compressMaxSize(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER*) override {
        return plainRgbInput(in, {8, 16, 24, 32}) ? LRESULT(imageBytes(in)) : 0;
    }

    LRESULT compressBegin(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) override {
        return compressQuery(in, out);
    }

    LRESULT compress(ICCOMPRESS& ic) override {
        if (!plainRgbInput(ic.lpbiInput, {8, 16, 24, 32}) || !ic.lpbiOutput || !ic.lpOutput || !ic.lpInput)
            return ICERR_BADPARAM;
        const std::size_t bytes = imageBytes(ic.lpbiInput);
        std::memcpy(ic.lpOutput, ic.lpInput, bytes);
        ic.lpbiOutput->biSizeImage = DWORD(bytes);
        if (ic.lpdwFlags) *ic.lpdwFlags = AVIIF_KEYFRAME;
        if (ic.lpckid) *ic.lpckid = kUncompressedChunk;
        return ICERR_OK;
    }

    LRESULT decompress(const ICDECOMPRESS& d) override {
        if (!m_begun && decompressBegin(d.lpbiInput, d.lpbiOutput) != ICERR_OK) return ICERR_BADFORMAT;
        if (!d.lpInput || !d.lpOutput || !d.lpbiInput) return ICERR_BADPARAM;
        // A frame shorter than a picture is refused rather than read past its end.
        if (d.lpbiInput->biSizeImage != 0 && d.lpbiInput->biSizeImage < m_source.imageSize)
            return ICERR_BADSIZE;
        if (d.dwFlags & ICDECOMPRESS_HURRYUP) return ICERR_OK;
        const auto* base = static_cast<const std::uint8_t*>(d.lpInput);
        const int h = m_source.height;
        for (int y = 0; y < h; ++y)
            m_writer.convertRow(base + std::size_t(m_source.topDown ? y : h - 1 - y) * m_source.stride,
                                m_writer.row(d.lpOutput, y));
        return ICERR_OK;
    }

    vfw::SourceKind sourceKind() const override { return vfw::SourceKind::Raw; }
};

} // namespace

std::unique_ptr<Driver> makeDibDriver() {
    return std::make_unique<DibDriver>();
}

} // namespace win::icm
