// Formats of the frame decompressor: the stream's source format as read from its BITMAPINFOHEADER
// (validated once, with every size computed in 64 bits), the output DIB format chosen for the caller or
// the display, and the packed output DIB that frames are delivered in.
#pragma once

#include "platform/win/DibLayout.h"
#include "platform/win/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace win::vfw {

// Largest side and largest image (source or output) the decompressor accepts.
constexpr std::int64_t kMaxFrameSide = 32768;
constexpr std::uint64_t kMaxFrameBytes = 512ull << 20;

// The FOURCC as text for messages: printable characters as they are, anything else as a hex value.
std::string fourccText(DWORD fourcc);

enum class SourceKind {
    Raw,       // uncompressed BI_RGB or BI_BITFIELDS pixels
    Rle8,      // BI_RLE8
    Rle4,      // BI_RLE4
    Compressed // anything else: decoded by libavcodec
};

struct SourceFormat {
    BITMAPINFOHEADER header{}; // first 40 bytes of the format, copied
    SourceKind kind = SourceKind::Raw;
    DWORD compression = 0; // biCompression; FOURCC aliases of BI_RGB and RLE are normalised
    int width = 0;
    int height = 0; // |biHeight|
    bool topDown = false;
    int bpp = 0;
    DWORD masks[3] = {};                 // red, green, blue masks for 16 and 32-bit raw pixels
    std::vector<RGBQUAD> palette;        // colour table for sources of 8 bits or less
    std::vector<std::uint8_t> extradata; // format bytes after the 40-byte header
    std::size_t stride = 0;              // raw and RLE sources: bytes per row of the unpacked image
    std::size_t imageSize = 0;           // raw sources: bytes of one frame

    bool paletted() const { return bpp <= 8; }
};

// Parses and validates a video format block (BITMAPINFOHEADER, colour table or masks, codec data).
// On failure returns nullopt and a message naming the cause.
std::optional<SourceFormat> parseSourceFormat(std::span<const std::uint8_t> format, std::string& error);

// Reads the colour table of a format block (after biSize bytes). The count is biClrUsed, or 1 << bpp
// when it is 0, capped at 1 << bpp and 256; entries missing from a short block are black.
std::vector<RGBQUAD> readColourTable(std::span<const std::uint8_t> format, const BITMAPINFOHEADER& header);

inline bool samePalette(std::span<const RGBQUAD> a, std::span<const RGBQUAD> b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].rgbRed != b[i].rgbRed || a[i].rgbGreen != b[i].rgbGreen || a[i].rgbBlue != b[i].rgbBlue)
            return false;
    return true;
}

enum class PixelLayout { Indexed8, Rgb555, Rgb565, Rgb24, Rgb32 };
enum class OutputPalette { None, Source, Cube };

struct OutputFormat {
    PixelLayout layout = PixelLayout::Rgb24;
    OutputPalette palette = OutputPalette::None;
    bool bitfields = false; // BI_BITFIELDS header with masks instead of BI_RGB
    bool topDown = false;
};

// The fixed 6x6x6 colour cube used for 8-bit output of colour sources: index r*36 + g*6 + b, levels
// 0, 51, ..., 255. Mapping a colour to its nearest cube entry rounds each channel separately.
constexpr int kCubeColours = 216;
std::span<const RGBQUAD> cubePalette();
inline std::uint8_t cubeIndex(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return std::uint8_t(((r + 25) / 51) * 36 + ((g + 25) / 51) * 6 + (b + 25) / 51);
}

// The output format for a source. wanted == nullptr (or the best-display marker, which the caller
// turns into nullptr) picks the display's format; otherwise the wanted header must be one we can
// deliver exactly. For BI_BITFIELDS the three masks follow the wanted header, as in a BITMAPINFO.
std::optional<OutputFormat> chooseOutputFormat(const SourceFormat& source, const BITMAPINFOHEADER* wanted,
                                               int displayBpp, std::string& error);

int layoutBits(PixelLayout layout);

// The packed DIB handed to callers: header, colour table or masks, pixel rows, in one block that is
// allocated once and reused for every frame.
class OutputDib {
  public:
    // paletteEntries is used by Indexed8 layouts only.
    bool create(const OutputFormat& format, int width, int height, int paletteEntries, std::string& error);

    const OutputFormat& format() const { return m_format; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    std::size_t stride() const { return m_stride; }
    std::size_t imageSize() const { return m_stride * std::size_t(m_height); }
    void* dib() { return m_block.data(); }
    BITMAPINFOHEADER* header() { return reinterpret_cast<BITMAPINFOHEADER*>(m_block.data()); }
    std::uint8_t* pixels() { return m_block.data() + m_pixelOffset; }
    // Row y counted from the top of the picture.
    std::uint8_t* row(int y) {
        return pixels() + std::size_t(m_format.topDown ? y : m_height - 1 - y) * m_stride;
    }
    int paletteEntries() const { return m_paletteEntries; }
    // Replaces the colour table (Indexed8 only); entries beyond colours are black.
    void setPalette(std::span<const RGBQUAD> colours);
    // Trades blocks with other, a DIB of the same format: this one takes other's picture, and other
    // gets this one's old pixels under a copy of the new header and colour table, so that a decoder
    // drawing into other keeps the colours it set there.
    void exchange(OutputDib& other);

  private:
    OutputFormat m_format;
    int m_width = 0;
    int m_height = 0;
    int m_paletteEntries = 0;
    std::size_t m_stride = 0;
    std::size_t m_pixelOffset = 0;
    std::vector<std::uint8_t> m_block;
};

} // namespace win::vfw
