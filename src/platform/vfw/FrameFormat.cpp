#include "platform/vfw/FrameFormat.h"

#include "platform/win/ByteReader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>

namespace win::vfw {
namespace {

constexpr DWORD kMasks555[3] = {0x7C00, 0x03E0, 0x001F};
constexpr DWORD kMasks565[3] = {0xF800, 0x07E0, 0x001F};
constexpr DWORD kMasks888[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};

std::string sizeText(LONG w, LONG h) {
    return std::to_string(w) + " x " + std::to_string(h);
}

// Aliases some writers use for BI_RGB and the RLE compressions.
DWORD normaliseCompression(DWORD c, int bpp) {
    if (c == mmioFOURCC('D', 'I', 'B', ' ') || c == mmioFOURCC('R', 'A', 'W', ' ') ||
        c == mmioFOURCC('r', 'a', 'w', ' '))
        return BI_RGB;
    if (c == mmioFOURCC('R', 'L', 'E', '8') || (c == mmioFOURCC('m', 'r', 'l', 'e') && bpp == 8))
        return BI_RLE8;
    if (c == mmioFOURCC('R', 'L', 'E', '4') || (c == mmioFOURCC('m', 'r', 'l', 'e') && bpp == 4))
        return BI_RLE4;
    return c;
}

bool setRawLayout(SourceFormat& f, std::span<const std::uint8_t> format, std::string& error) {
    const int bpp = f.bpp;
    if (f.compression == BI_BITFIELDS) {
        if (bpp != 16 && bpp != 32) {
            error = "BI_BITFIELDS frames of " + std::to_string(bpp) + " bits are not supported";
            return false;
        }
        ByteReader r(format);
        r.skip(40);
        for (auto& m : f.masks) {
            auto v = r.u32();
            if (!v) {
                error = "BI_BITFIELDS format lacks its colour masks";
                return false;
            }
            m = *v;
        }
    } else if (bpp == 16) {
        std::memcpy(f.masks, kMasks555, sizeof f.masks);
    } else if (bpp == 32) {
        std::memcpy(f.masks, kMasks888, sizeof f.masks);
    } else if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) {
        error = "uncompressed frames of " + std::to_string(bpp) + " bits are not supported";
        return false;
    }
    f.stride = std::size_t(DibStride(std::uint64_t(f.width), unsigned(bpp)));
    return true;
}

} // namespace

std::string fourccText(DWORD fourcc) {
    std::string s;
    for (int i = 0; i < 4; ++i) {
        char c = char((fourcc >> (8 * i)) & 0xFF);
        if (c < 0x20 || c > 0x7E) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "0x%08X", unsigned(fourcc));
            return buf;
        }
        s += c;
    }
    return s;
}

std::vector<RGBQUAD> readColourTable(std::span<const std::uint8_t> format, const BITMAPINFOHEADER& header) {
    const unsigned bpp = header.biBitCount;
    if (bpp == 0 || bpp > 8) return {};
    // A table longer than the indices reach is stored whole; only its first 2^bpp entries count.
    const DWORD full = 1u << bpp;
    const DWORD count = std::min(DibColourCount(bpp, header.biClrUsed), full);
    std::vector<RGBQUAD> table(count, RGBQUAD{0, 0, 0, 0});
    const std::size_t offset = header.biSize >= 40 && header.biSize <= format.size() ? header.biSize : 40;
    for (DWORD i = 0; i < count; ++i) {
        const std::size_t at = offset + std::size_t(i) * 4;
        if (at + 4 > format.size()) break;
        table[i] = RGBQUAD{format[at], format[at + 1], format[at + 2], 0};
    }
    return table;
}

std::optional<SourceFormat> parseSourceFormat(std::span<const std::uint8_t> format, std::string& error) {
    if (format.size() < sizeof(BITMAPINFOHEADER)) {
        error = "video format of " + std::to_string(format.size()) + " bytes is too short";
        return std::nullopt;
    }
    SourceFormat f;
    ByteReader reader(format);
    reader.readRecord(f.header, format.size());
    const BITMAPINFOHEADER& h = f.header;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT_MIN) {
        error = "frame size " + sizeText(h.biWidth, h.biHeight) + " is invalid";
        return std::nullopt;
    }
    f.width = h.biWidth;
    f.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    f.topDown = h.biHeight < 0;
    if (f.width > kMaxFrameSide || f.height > kMaxFrameSide) {
        error = "frame size " + sizeText(f.width, f.height) + " is too large";
        return std::nullopt;
    }
    f.bpp = h.biBitCount;
    f.compression = normaliseCompression(h.biCompression, f.bpp);
    f.extradata.assign(format.begin() + 40, format.end());

    if (f.compression == BI_RGB || f.compression == BI_BITFIELDS) {
        f.kind = SourceKind::Raw;
        if (!setRawLayout(f, format, error)) return std::nullopt;
    } else if (f.compression == BI_RLE8 || f.compression == BI_RLE4) {
        const int need = f.compression == BI_RLE8 ? 8 : 4;
        if (f.bpp != need) {
            error = "run-length frames with " + std::to_string(f.bpp) + " bits per pixel are invalid";
            return std::nullopt;
        }
        f.kind = f.compression == BI_RLE8 ? SourceKind::Rle8 : SourceKind::Rle4;
        f.stride = std::size_t(f.width); // unpacked to one index byte per pixel
    } else {
        f.kind = SourceKind::Compressed;
    }
    auto bytes = checkedSize(f.stride, std::uint64_t(f.height), kMaxFrameBytes);
    if (!bytes) {
        error = "frame size " + sizeText(f.width, f.height) + " at " + std::to_string(f.bpp) +
                " bits is too large";
        return std::nullopt;
    }
    f.imageSize = f.kind == SourceKind::Raw ? *bytes : 0;
    if (f.bpp >= 1 && f.bpp <= 8) f.palette = readColourTable(format, h);
    return f;
}

std::span<const RGBQUAD> cubePalette() {
    static const auto table = [] {
        std::array<RGBQUAD, kCubeColours> t{};
        for (int i = 0; i < kCubeColours; ++i)
            t[i] = RGBQUAD{BYTE((i % 6) * 51), BYTE((i / 6 % 6) * 51), BYTE((i / 36) * 51), 0};
        return t;
    }();
    return table;
}

int layoutBits(PixelLayout layout) {
    switch (layout) {
    case PixelLayout::Indexed8:
        return 8;
    case PixelLayout::Rgb555:
    case PixelLayout::Rgb565:
        return 16;
    case PixelLayout::Rgb24:
        return 24;
    case PixelLayout::Rgb32:
        return 32;
    }
    return 24;
}

std::optional<OutputFormat> chooseOutputFormat(const SourceFormat& source, const BITMAPINFOHEADER* wanted,
                                               int displayBpp, std::string& error) {
    OutputFormat out;
    const OutputPalette eightBitPalette = source.paletted() && source.bpp > 0 && !source.palette.empty()
                                              ? OutputPalette::Source
                                              : OutputPalette::Cube;
    if (!wanted) {
        switch (displayBpp) {
        case 8:
            out.layout = PixelLayout::Indexed8;
            out.palette = eightBitPalette;
            break;
        case 16:
            out.layout = PixelLayout::Rgb555;
            break;
        case 32:
            out.layout = PixelLayout::Rgb32;
            break;
        default:
            out.layout = PixelLayout::Rgb24;
        }
        return out;
    }
    const LONG wh = wanted->biHeight;
    if (wanted->biWidth != source.width || wh == INT_MIN || (wh < 0 ? -wh : wh) != source.height) {
        error = "wanted frame size " + sizeText(wanted->biWidth, wh) + " differs from the stream's " +
                sizeText(source.width, source.height);
        return std::nullopt;
    }
    out.topDown = wh < 0;
    const auto cannot = [&] {
        error = "cannot deliver " + std::to_string(wanted->biBitCount) + "-bit frames with compression '" +
                fourccText(wanted->biCompression) + "'";
        return std::nullopt;
    };
    if (wanted->biCompression == BI_RGB) {
        switch (wanted->biBitCount) {
        case 8:
            out.layout = PixelLayout::Indexed8;
            out.palette = eightBitPalette;
            return out;
        case 16:
            out.layout = PixelLayout::Rgb555;
            return out;
        case 24:
            out.layout = PixelLayout::Rgb24;
            return out;
        case 32:
            out.layout = PixelLayout::Rgb32;
            return out;
        default:
            return cannot();
        }
    }
    if (wanted->biCompression != BI_BITFIELDS) return cannot();
    // A BI_BITFIELDS header is followed by its masks, as in a BITMAPINFO.
    DWORD masks[3];
    std::memcpy(masks, reinterpret_cast<const std::uint8_t*>(wanted) + sizeof(BITMAPINFOHEADER),
                sizeof masks);
    out.bitfields = true;
    if (wanted->biBitCount == 16 && std::memcmp(masks, kMasks565, sizeof masks) == 0)
        out.layout = PixelLayout::Rgb565;
    else if (wanted->biBitCount == 16 && std::memcmp(masks, kMasks555, sizeof masks) == 0)
        out.layout = PixelLayout::Rgb555;
    else if (wanted->biBitCount == 32 && std::memcmp(masks, kMasks888, sizeof masks) == 0)
        out.layout = PixelLayout::Rgb32;
    else
        return cannot();
    return out;
}

bool OutputDib::create(const OutputFormat& format, int width, int height, int paletteEntries,
                       std::string& error) {
    const unsigned bits = unsigned(layoutBits(format.layout));
    const std::uint64_t stride = DibStride(std::uint64_t(width), bits);
    auto image = checkedSize(stride, std::uint64_t(height), kMaxFrameBytes);
    if (width <= 0 || height <= 0 || !image) {
        error = "output frame of " + sizeText(width, height) + " at " + std::to_string(bits) +
                " bits is too large";
        return false;
    }
    m_format = format;
    m_width = width;
    m_height = height;
    m_stride = std::size_t(stride);
    m_paletteEntries = format.layout == PixelLayout::Indexed8 ? paletteEntries : 0;
    const std::size_t tableBytes = format.bitfields ? 12 : std::size_t(m_paletteEntries) * 4;
    m_pixelOffset = sizeof(BITMAPINFOHEADER) + tableBytes;
    m_block.assign(m_pixelOffset + *image, 0);

    BITMAPINFOHEADER h{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = format.topDown ? -height : height;
    h.biPlanes = 1;
    h.biBitCount = WORD(bits);
    h.biCompression = format.bitfields ? BI_BITFIELDS : BI_RGB;
    h.biSizeImage = DWORD(*image);
    h.biClrUsed = DWORD(m_paletteEntries);
    std::memcpy(m_block.data(), &h, sizeof h);
    if (format.bitfields) {
        const DWORD* masks = format.layout == PixelLayout::Rgb565   ? kMasks565
                             : format.layout == PixelLayout::Rgb555 ? kMasks555
                                                                    : kMasks888;
        std::memcpy(m_block.data() + sizeof h, masks, 12);
    }
    if (format.palette == OutputPalette::Cube) setPalette(cubePalette());
    return true;
}

void OutputDib::exchange(OutputDib& other) {
    m_block.swap(other.m_block);
    std::memcpy(other.m_block.data(), m_block.data(), m_pixelOffset);
}

void OutputDib::setPalette(std::span<const RGBQUAD> colours) {
    auto* table = m_block.data() + sizeof(BITMAPINFOHEADER);
    for (int i = 0; i < m_paletteEntries; ++i) {
        RGBQUAD q = std::size_t(i) < colours.size() ? colours[std::size_t(i)] : RGBQUAD{0, 0, 0, 0};
        q.rgbReserved = 0;
        std::memcpy(table + std::size_t(i) * 4, &q, 4);
    }
}

} // namespace win::vfw
