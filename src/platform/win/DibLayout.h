// Where the parts of a packed DIB lie: the header (a 12-byte core header or a 40- to 124-byte info
// header), the bit-field masks, the colour table and the pixel rows. Every place that measures a DIB
// (decoders, GDI, compressors, writers, dialogs) takes these numbers from ParseDibLayout, so they can
// never disagree about where a DIB's pixels start.
//
// The rules, as the system's own GDI applies them to packed DIBs:
// - The colour table holds biClrUsed entries when that is not 0, else 2^bits for 8 bits or less, else
//   none (DibColourCount). Entries are 4 bytes (blue, green, red, 0); 3 bytes after a core header. A
//   table longer than 2^bits is stored whole; only its first 2^bits entries can be indexed.
// - BI_BITFIELDS masks (red, green, blue) follow a 40-byte header as 12 bytes; a longer header holds
//   them itself (bytes 40 to 51) and nothing extra follows it.
// - The colour table starts behind the header and the masks; the pixels start behind the table.
// - Rows are padded to 32 bits; a negative height means the rows are stored top row first.
#pragma once

#include "platform/win/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace win {

constexpr DWORD BI_JPEG = 4;
constexpr DWORD BI_PNG = 5;

// The header of old-style (OS/2 1.x) bitmaps.
struct BITMAPCOREHEADER {
    DWORD bcSize;
    WORD bcWidth;
    WORD bcHeight;
    WORD bcPlanes;
    WORD bcBitCount;
};
static_assert(sizeof(BITMAPCOREHEADER) == 12);

constexpr DWORD kDibCoreHeaderSize = 12;
constexpr DWORD kDibInfoHeaderSize = 40;
constexpr DWORD kDibMaxHeaderSize = 124; // the version 5 header

// Bytes per row of width pixels of bpp bits, padded to 32 bits.
constexpr std::uint64_t DibStride(std::uint64_t width, unsigned bpp) {
    return ((width * bpp + 31) / 32) * 4;
}

// Colour-table entries of a header with this bit count and biClrUsed.
constexpr DWORD DibColourCount(unsigned bitCount, DWORD clrUsed) {
    if (clrUsed != 0) return clrUsed;
    return bitCount >= 1 && bitCount <= 8 ? DWORD(1) << bitCount : 0;
}

struct DibLayout {
    DWORD headerSize = 0; // as stored: 12 for a core header, 40 to 124 for info headers
    bool core = false;    // BITMAPCOREHEADER: 16-bit sizes, 3-byte colour entries
    LONG width = 0;
    LONG height = 0; // rows, always positive
    bool topDown = false;
    WORD bitCount = 0;
    DWORD compression = BI_RGB;
    DWORD sizeImage = 0; // biSizeImage as stored (0 allowed for uncompressed DIBs)
    DWORD colours = 0;   // colour-table entries stored
    DWORD entryBytes = 4;
    DWORD masks[3] = {}; // BI_BITFIELDS: as stored; BI_RGB 16 bits: 5-5-5; BI_RGB 32 bits: 8-8-8
    std::size_t maskBytes = 0;    // masks stored behind the header (12 behind a 40-byte header, else 0)
    std::size_t colourOffset = 0; // from the start of the header
    std::size_t pixelOffset = 0;  // from the start of the header
    std::size_t stride = 0;       // bytes per row of the unpacked picture
    std::size_t imageBytes = 0;   // uncompressed: stride x height; compressed: biSizeImage

    bool indexed() const { return bitCount <= 8; }
    bool compressed() const { return compression != BI_RGB && compression != BI_BITFIELDS; }
    // Colour entries a pixel can address: the table, at most 2^bits.
    DWORD usableColours() const {
        return indexed() && colours > (DWORD(1) << bitCount) ? DWORD(1) << bitCount : colours;
    }
    // The whole packed DIB: header, masks, colour table and pixels.
    std::size_t packedSize() const { return pixelOffset + imageBytes; }
};

// Limits of what ParseDibLayout accepts; the defaults admit every bitmap a person has.
struct DibLimits {
    std::int64_t maxSide = 1 << 16;
    std::uint64_t maxImageBytes = std::uint64_t(1) << 30;
    DWORD maxColours = 256;
};

// The layout of the DIB whose header starts at header[0]. Only the header (and the masks behind a
// 40-byte header) must be present in the span; the colour table and pixels are located, not read.
// Accepted: core and info headers; 1, 4, 8, 16, 24 and 32 bits (and 0 for JPEG/PNG); BI_RGB,
// BI_RLE8 (8 bits), BI_RLE4 (4 bits), BI_BITFIELDS (16 and 32 bits), BI_JPEG, BI_PNG. Anything else, or
// sizes past the limits, fails with a sentence for the user in *error (and, when given, the offset
// within header at which the fault lies in *errorOffset).
std::optional<DibLayout> ParseDibLayout(std::span<const std::uint8_t> header, std::string* error = nullptr,
                                        const DibLimits& limits = {}, std::size_t* errorOffset = nullptr);

// The layout of a DIB in memory known to span `available` bytes from its header (a global block's size,
// say); fails like ParseDibLayout, and also when the DIB's parts do not fit in those bytes.
std::optional<DibLayout> DibLayoutOf(const BITMAPINFOHEADER* dib, std::size_t available,
                                     std::string* error = nullptr, const DibLimits& limits = {});

} // namespace win
