// The RLE8 driver: compresses 8-bit DIBs into BI_RLE8 frames (runs, literal runs, end of line, end of
// bitmap; every frame a full picture) and decompresses BI_RLE8 frames through the frame decompressor's
// RLE decoder.
#include "platform/vfw/DibDecoder.h"
#include "platform/vfw/IcmDriver.h"

#include <cstring>

namespace win::icm {
namespace {

constexpr FOURCC kRleHandler = mmioFOURCC('M', 'R', 'L', 'E');
constexpr DWORD kCompressedChunk = DWORD('d') | (DWORD('c') << 8);
constexpr std::size_t kMaxRun = 255;

// Length of the run of equal bytes starting at i (at most kMaxRun).
std::size_t runAt(const std::uint8_t* row, std::size_t i, std::size_t width) {
    std::size_t n = 1;
    while (i + n < width && n < kMaxRun && row[i + n] == row[i])
        ++n;
    return n;
}

} // namespace

// Encodes one line. Runs of two or more equal pixels become encoded runs; stretches without such runs
// become literal runs of three or more pixels (padded to a 16-bit boundary), shorter ones runs of one.
// No pixel costs more than two bytes, which bounds the output.
std::size_t encodeRle8Line(const std::uint8_t* row, std::size_t width, std::uint8_t* out) {
    std::uint8_t* p = out;
    std::size_t i = 0;
    while (i < width) {
        const std::size_t run = runAt(row, i, width);
        if (run >= 2) {
            *p++ = std::uint8_t(run);
            *p++ = row[i];
            i += run;
            continue;
        }
        std::size_t j = i;
        while (j < width && j - i < kMaxRun && runAt(row, j, width) < 2)
            ++j;
        const std::size_t n = j - i;
        if (n >= 3) {
            *p++ = 0;
            *p++ = std::uint8_t(n);
            std::memcpy(p, row + i, n);
            p += n;
            if (n & 1) *p++ = 0;
        } else {
            for (std::size_t k = 0; k < n; ++k) {
                *p++ = 1;
                *p++ = row[i + k];
            }
        }
        i = j;
    }
    return std::size_t(p - out);
}

namespace {

std::size_t maxRleBytes(const BITMAPINFOHEADER* h) {
    const std::size_t height = std::size_t(h->biHeight < 0 ? -std::int64_t(h->biHeight) : h->biHeight);
    return height * (2 * std::size_t(h->biWidth) + 2) + 2;
}

class RleDriver final : public BuiltInDecompressor {
  protected:
    DriverInfo info() const override { return {kRleHandler, 0, "RLE8", "Run-length encoded 8-bit frames"}; }

    LRESULT compressQuery(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) override {
        if (!plainRgbInput(in, {8})) return ICERR_BADFORMAT;
        if (!out) return ICERR_OK;
        const LONG height = in->biHeight < 0 ? -in->biHeight : in->biHeight;
        const bool ok = out->biCompression == BI_RLE8 && out->biBitCount == 8 &&
                        out->biWidth == in->biWidth && out->biHeight == height;
        return ok ? ICERR_OK : ICERR_BADFORMAT;
    }

    LRESULT compressFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) override {
        if (!plainRgbInput(in, {8})) return ICERR_BADFORMAT;
        const DWORD colours = colourCount(in);
        const LRESULT bytes = LRESULT(sizeof(BITMAPINFOHEADER) + colours * 4);
        if (!out) return bytes;
        BITMAPINFOHEADER h = *in;
        h.biSize = sizeof h;
        h.biHeight = in->biHeight < 0 ? -in->biHeight : in->biHeight; // RLE pictures are stored bottom-up
        h.biCompression = BI_RLE8;
        h.biSizeImage = DWORD(maxRleBytes(in));
        h.biClrUsed = colours;
        std::memcpy(out, &h, sizeof h);
        std::memcpy(reinterpret_cast<std::uint8_t*>(out) + sizeof h,
                    reinterpret_cast<const std::uint8_t*>(in) + in->biSize, std::size_t(colours) * 4);
        return bytes;
    }

    LRESULT compressMaxSize(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER*) override {
        return plainRgbInput(in, {8}) ? LRESULT(maxRleBytes(in)) : 0;
    }

    LRESULT compressBegin(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) override {
        return compressQuery(in, out);
    }

    // Lines are written from the bottom of the picture up, each but the last ended by an end of line.
    LRESULT compress(ICCOMPRESS& ic) override {
        const BITMAPINFOHEADER* in = ic.lpbiInput;
        if (!plainRgbInput(in, {8}) || !ic.lpbiOutput || !ic.lpOutput || !ic.lpInput) return ICERR_BADPARAM;
        const std::size_t width = std::size_t(in->biWidth);
        const int height = in->biHeight < 0 ? -in->biHeight : in->biHeight;
        const std::size_t stride = std::size_t(DibStride(width, 8));
        const auto* bits = static_cast<const std::uint8_t*>(ic.lpInput);
        auto* out = static_cast<std::uint8_t*>(ic.lpOutput);
        std::size_t at = 0;
        for (int line = 0; line < height; ++line) {
            const int stored = in->biHeight < 0 ? height - 1 - line : line;
            at += encodeRle8Line(bits + std::size_t(stored) * stride, width, out + at);
            if (line + 1 < height) {
                out[at++] = 0;
                out[at++] = 0;
            }
        }
        out[at++] = 0;
        out[at++] = 1;
        ic.lpbiOutput->biSizeImage = DWORD(at);
        if (ic.lpdwFlags) *ic.lpdwFlags = AVIIF_KEYFRAME;
        if (ic.lpckid) *ic.lpckid = kCompressedChunk;
        return ICERR_OK;
    }

    vfw::SourceKind sourceKind() const override { return vfw::SourceKind::Rle8; }
    void begun() override { m_indices.assign(std::size_t(m_source.width) * std::size_t(m_source.height), 0); }

    LRESULT decompress(const ICDECOMPRESS& d) override {
        if (!m_begun && decompressBegin(d.lpbiInput, d.lpbiOutput) != ICERR_OK) return ICERR_BADFORMAT;
        if (!d.lpbiInput || !d.lpOutput || (!d.lpInput && d.lpbiInput->biSizeImage)) return ICERR_BADPARAM;
        followPalette(d.lpbiInput);
        const std::span<const std::uint8_t> data(static_cast<const std::uint8_t*>(d.lpInput),
                                                 d.lpbiInput->biSizeImage);
        DecodeDibRle(data, false, m_indices.data(), m_source.width, m_source.height, m_source.topDown);
        if (d.dwFlags & ICDECOMPRESS_HURRYUP) return ICERR_OK;
        for (int y = 0; y < m_source.height; ++y)
            m_writer.convertIndices(m_indices.data() + std::size_t(y) * std::size_t(m_source.width),
                                    m_writer.row(d.lpOutput, y));
        return ICERR_OK;
    }

  private:
    // The colours of the frame's format replace the ones begun with when they differ.
    void followPalette(const BITMAPINFOHEADER* in) {
        const auto bytes = formatSpan(in);
        if (bytes.empty()) return;
        auto palette = vfw::readColourTable(bytes, *in);
        if (palette.empty() || vfw::samePalette(palette, m_source.palette)) return;
        m_source.palette = std::move(palette);
        m_writer.setPalette(m_source.palette);
    }

    std::vector<std::uint8_t> m_indices; // the picture as palette indices, rows from the top
};

} // namespace

std::unique_ptr<Driver> makeRleDriver() {
    return std::make_unique<RleDriver>();
}

} // namespace win::icm
