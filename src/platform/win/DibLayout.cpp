#include "platform/win/DibLayout.h"

#include "platform/win/ByteReader.h"

#include <algorithm>
#include <climits>

namespace win {
namespace {

constexpr DWORD kMasks555[3] = {0x7C00, 0x03E0, 0x001F};
constexpr DWORD kMasks888[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};

struct Failure {
    std::string* error;
    std::size_t* offset;
    std::optional<DibLayout> operator()(std::string message, std::size_t at) const {
        if (error) *error = std::move(message);
        if (offset) *offset = at;
        return std::nullopt;
    }
};

bool validInfoHeaderSize(DWORD size) {
    // 40 (info), 52 and 56 (info with masks), 64 (OS/2 2.x), 108 (version 4), 124 (version 5).
    return size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
}

bool validBitCount(unsigned bpp, DWORD compression) {
    switch (compression) {
    case BI_RGB: return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    case BI_RLE8: return bpp == 8;
    case BI_RLE4: return bpp == 4;
    case BI_BITFIELDS: return bpp == 16 || bpp == 32;
    case BI_JPEG:
    case BI_PNG: return true;
    default: return false;
    }
}

// Reads the fields common to both header kinds into out; the masks come later.
std::optional<DibLayout> readHeader(ByteReader& r, const Failure& fail) {
    DibLayout out;
    const auto size = r.u32();
    if (!size) return fail("the bitmap header is cut short", r.failureOffset());
    out.headerSize = *size;
    if (*size == kDibCoreHeaderSize) {
        out.core = true;
        out.entryBytes = 3;
        const auto w = r.u16(), h = r.u16(), planes = r.u16(), bpp = r.u16();
        if (r.failed()) return fail("the bitmap core header is cut short", r.failureOffset());
        out.width = LONG(*w);
        out.height = LONG(*h);
        out.bitCount = *bpp;
        if (*planes != 1) return fail("the bitmap has " + std::to_string(*planes) + " planes", 8);
        return out;
    }
    if (!validInfoHeaderSize(*size))
        return fail("bitmap header of " + std::to_string(*size) + " bytes is not a known kind", 0);
    const auto w = r.i32(), h = r.i32();
    const auto planes = r.u16(), bpp = r.u16();
    const auto comp = r.u32(), image = r.u32();
    r.skip(8); // resolution
    const auto used = r.u32();
    if (r.failed()) return fail("the bitmap header is cut short", r.failureOffset());
    if (*h == INT32_MIN) return fail("the bitmap height is invalid", 8);
    out.width = *w;
    out.topDown = *h < 0;
    out.height = *h < 0 ? -*h : *h;
    out.bitCount = *bpp;
    out.compression = *comp;
    out.sizeImage = *image;
    out.colours = *used;
    if (*planes != 1) return fail("the bitmap has " + std::to_string(*planes) + " planes", 12);
    return out;
}

} // namespace

std::optional<DibLayout> ParseDibLayout(std::span<const std::uint8_t> header, std::string* error,
                                        const DibLimits& limits, std::size_t* errorOffset) {
    const Failure fail{error, errorOffset};
    ByteReader r(header);
    auto parsed = readHeader(r, fail);
    if (!parsed) return std::nullopt;
    DibLayout out = *parsed;
    if (out.width <= 0 || out.height <= 0)
        return fail("bitmap size " + std::to_string(out.width) + " x " + std::to_string(out.height) +
                        " is invalid",
                    4);
    if (out.width > limits.maxSide || out.height > limits.maxSide)
        return fail("bitmap size " + std::to_string(out.width) + " x " + std::to_string(out.height) +
                        " is too large",
                    4);
    if (!validBitCount(out.bitCount, out.compression)) {
        if (out.compression > BI_PNG)
            return fail("bitmap compression " + std::to_string(out.compression) + " is not supported", 16);
        return fail("bitmaps of " + std::to_string(out.bitCount) + " bits with compression " +
                        std::to_string(out.compression) + " are not supported",
                    14);
    }
    if (out.core) {
        if (out.compression != BI_RGB || out.bitCount > 24 || out.bitCount == 16)
            return fail("core bitmap of " + std::to_string(out.bitCount) + " bits is not supported", 10);
    }
    if (out.bitCount == 0 && !out.compressed()) return fail("bitmap of 0 bits per pixel", 14);

    // Masks: inside a long header, behind a 40-byte one.
    if (out.compression == BI_BITFIELDS) {
        ByteReader m(header);
        const bool behind = out.headerSize == kDibInfoHeaderSize;
        m.seek(kDibInfoHeaderSize);
        for (DWORD& mask : out.masks) {
            const auto v = m.u32();
            if (!v) return fail("the bit-field masks of the bitmap are missing", m.failureOffset());
            mask = *v;
        }
        if (!out.masks[0] && !out.masks[1] && !out.masks[2])
            return fail("the bit-field masks of the bitmap are all zero", kDibInfoHeaderSize);
        if (out.bitCount == 16 && ((out.masks[0] | out.masks[1] | out.masks[2]) >> 16))
            return fail("the bit-field masks do not fit 16-bit pixels", kDibInfoHeaderSize);
        out.maskBytes = behind ? 12 : 0;
    } else if (out.compression == BI_RGB && out.bitCount == 16) {
        std::copy(std::begin(kMasks555), std::end(kMasks555), out.masks);
    } else if (out.compression == BI_RGB && out.bitCount == 32) {
        std::copy(std::begin(kMasks888), std::end(kMasks888), out.masks);
    }

    out.colours = DibColourCount(out.bitCount, out.colours);
    if (out.colours > limits.maxColours)
        return fail("colour table of " + std::to_string(out.colours) + " entries is too large", 32);
    out.colourOffset = out.headerSize + out.maskBytes;
    out.pixelOffset = out.colourOffset + std::size_t(out.colours) * out.entryBytes;

    const std::uint64_t stride = DibStride(std::uint64_t(out.width), out.bitCount);
    const std::uint64_t bytes = stride * std::uint64_t(out.height);
    if (bytes > limits.maxImageBytes) return fail("bitmap of " + std::to_string(bytes) + " bytes is too large", 4);
    out.stride = std::size_t(stride);
    if (out.compressed()) {
        if (out.topDown && (out.compression == BI_RLE8 || out.compression == BI_RLE4))
            return fail("run-length encoded bitmaps cannot be stored top-down", 8);
        if (out.sizeImage > limits.maxImageBytes) return fail("bitmap data size is too large", 20);
        out.imageBytes = out.sizeImage;
    } else {
        out.imageBytes = std::size_t(bytes);
    }
    return out;
}

std::optional<DibLayout> DibLayoutOf(const BITMAPINFOHEADER* dib, std::size_t available, std::string* error,
                                     const DibLimits& limits) {
    if (!dib) {
        if (error) *error = "no bitmap";
        return std::nullopt;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(dib);
    auto layout = ParseDibLayout({bytes, available}, error, limits);
    if (!layout) return std::nullopt;
    if (layout->packedSize() > available) {
        if (error)
            *error = "bitmap of " + std::to_string(layout->packedSize()) + " bytes is held in " +
                     std::to_string(available) + " bytes";
        return std::nullopt;
    }
    return layout;
}

} // namespace win
