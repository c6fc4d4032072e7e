// Device bitmaps and DIB sections: creation, conversion from DIBs and back.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiState.h"
#include "platform/gdi/GdiSurface.h"
#include "platform/win/DibLayout.h"
#include "platform/win/DibRle.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <optional>

namespace win {
namespace gdi {
namespace {

// Bitmaps larger than this are refused rather than allocated.
constexpr std::uint64_t kMaxImageBytes = std::uint64_t(1) << 30;
constexpr LONG kMaxDimension = 1 << 16;

bool validBpp(int bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

struct Layout {
    int width = 0;
    int height = 0;
    bool topDown = false;
    std::uint32_t stride = 0;
};

bool layoutOf(LONG width, LONG height, int bpp, Layout& out) {
    if (width <= 0 || width > kMaxDimension || height == 0 || height < -kMaxDimension ||
        height > kMaxDimension || !validBpp(bpp))
        return false;
    out.width = width;
    out.height = height < 0 ? -height : height;
    out.topDown = height < 0;
    std::uint64_t stride = DibStride(std::uint64_t(width), unsigned(bpp));
    if (stride == 0 || stride * std::uint64_t(out.height) > kMaxImageBytes) return false;
    out.stride = std::uint32_t(stride);
    return true;
}

// The layout of a caller's DIB header. As GDI does, the block is trusted to hold the header its
// first word announces (and the masks behind a 40-byte header); every other size is checked by the
// layout itself.
std::optional<DibLayout> headerLayout(const void* header) {
    if (!header) return std::nullopt;
    DWORD size;
    std::memcpy(&size, header, sizeof size);
    if (size < kDibCoreHeaderSize || size > kDibMaxHeaderSize) return std::nullopt;
    const std::size_t bytes = size + (size == kDibInfoHeaderSize ? 12 : 0);
    const DibLimits limits{kMaxDimension, kMaxImageBytes, 256};
    return ParseDibLayout({static_cast<const std::uint8_t*>(header), bytes}, nullptr, limits);
}

Layout sizesOf(const DibLayout& d) {
    return Layout{d.width, d.height, d.topDown, std::uint32_t(d.stride)};
}

std::shared_ptr<std::uint8_t[]> allocPixels(std::size_t bytes, bool zero) {
    std::uint8_t* p =
        zero ? new (std::nothrow) std::uint8_t[bytes]() : new (std::nothrow) std::uint8_t[bytes];
    return std::shared_ptr<std::uint8_t[]>(p);
}

RGBQUAD quad(const PALETTEENTRY& e) {
    return RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
}

// The pixel format of a DIB: bit count, bit-field masks and the colour table the pixels can index
// (RGB values, or indices into dcPalette for DIB_PAL_COLORS). Run-length DIBs give the format of their
// expanded indices; other compressions have none.
bool formatOf(const void* info, const DibLayout& d, UINT usage, const std::vector<PALETTEENTRY>& dcPalette,
              RowFormat& f) {
    f = RowFormat{};
    if (d.compression == BI_RLE8 || d.compression == BI_RLE4) {
        f.bpp = 8; // expanded to one index byte a pixel
    } else if (d.compressed() || !validBpp(d.bitCount)) {
        return false;
    } else {
        f.bpp = d.bitCount;
    }
    std::memcpy(f.masks, d.masks, sizeof f.masks);
    f.bitfields = d.compression == BI_BITFIELDS;
    if (!d.indexed()) return true;
    const auto* table = static_cast<const std::uint8_t*>(info) + d.colourOffset;
    const DWORD n = d.usableColours();
    f.colors.resize(n);
    for (DWORD i = 0; i < n; ++i) {
        if (usage == DIB_PAL_COLORS) {
            WORD index;
            std::memcpy(&index, table + 2 * i, sizeof index);
            f.colors[i] = index < dcPalette.size() ? quad(dcPalette[index]) : RGBQUAD{0, 0, 0, 0};
        } else {
            const std::uint8_t* e = table + std::size_t(i) * d.entryBytes;
            f.colors[i] = RGBQUAD{e[0], e[1], e[2], 0};
        }
    }
    return true;
}

struct Image {
    const std::uint8_t* bits;
    std::uint32_t stride;
    int height;
    bool topDown;
    // Address of the row `r` rows above the bottom of the picture.
    const std::uint8_t* FromBottom(int r) const {
        return bits + std::size_t(topDown ? height - 1 - r : r) * stride;
    }
};

// Converts `rows` rows, the first being row `first` above the bottom of the source, into the target
// rows starting at the bottom of the target. Row padding of the target is zeroed.
void convertRows(const RowFormat& from, const Image& src, const RowFormat& to, const Image& dst, int width,
                 int first, int rows, ColorMatcher* matcher) {
    const bool copy = SameLayout(from, to);
    const std::size_t used = std::size_t(DibStride(std::uint64_t(width), unsigned(to.bpp)));
    const std::size_t pixelBytes = (std::size_t(width) * std::size_t(to.bpp) + 7) / 8;
    std::vector<std::uint8_t> bgr(copy ? 0 : std::size_t(width) * 3);
    for (int r = 0; r < rows; ++r) {
        const std::uint8_t* in = src.FromBottom(first + r);
        auto* out = const_cast<std::uint8_t*>(dst.FromBottom(r));
        if (copy) {
            std::memcpy(out, in, pixelBytes);
        } else {
            DecodeRow(from, in, width, bgr.data());
            EncodeRow(to, bgr.data(), width, out, matcher);
        }
        std::memset(out + pixelBytes, 0, used - pixelBytes);
    }
}

HBITMAP addBitmap(BitmapData data) {
    State& s = State::Get();
    auto lock = s.Lock();
    BitmapObject object;
    object.data = std::move(data);
    return ToHandle<HBITMAP>(s.Add(std::move(object)));
}

std::vector<PALETTEENTRY> dcPaletteEntries(State& s, HDC hdc) {
    DCObject* dc = s.Find<DCObject>(hdc);
    if (!dc) return {};
    auto* p = s.Find<PaletteObject>(dc->palette);
    return p ? p->entries : std::vector<PALETTEENTRY>{};
}

BitmapData deviceBitmap(const Layout& l, int bpp) {
    BitmapData d;
    d.width = l.width;
    d.height = l.height;
    d.bpp = bpp;
    d.stride = l.stride;
    d.device = true;
    if (bpp == 1) d.colors = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    return d;
}

// The colour table GetDIBits hands out for a target of 8 bits or less, and how many of its entries
// are real colours (the rest are zero and never chosen).
std::vector<RGBQUAD> tableFor(State& s, HDC hdc, int bpp, std::size_t& real) {
    const std::size_t full = std::size_t(1) << bpp;
    std::vector<RGBQUAD> table(full, RGBQUAD{0, 0, 0, 0});
    DCObject* dc = s.Find<DCObject>(hdc);
    auto* pal = dc ? s.Find<PaletteObject>(dc->palette) : nullptr;
    if (pal && !s.IsStock(dc->palette)) {
        real = std::min(full, pal->entries.size());
        for (std::size_t i = 0; i < real; ++i)
            table[i] = quad(pal->entries[i]);
        return table;
    }
    real = full;
    if (bpp == 1) {
        table[1] = RGBQUAD{255, 255, 255, 0};
    } else if (bpp == 4) {
        const auto& st = StaticColours();
        for (std::size_t i = 0; i < 16; ++i)
            table[i] = quad(st[i < 8 ? i : i + 4]);
    } else if (IsPaletteScreen()) {
        for (std::size_t i = 0; i < 256; ++i)
            table[i] = quad(s.systemPalette[i]);
    } else {
        // A colour cube of 8 levels of red and green and 4 of blue.
        for (std::size_t k = 0; k < 256; ++k)
            table[k] = RGBQUAD{BYTE(k / 64 * 64), BYTE(k / 8 % 8 * 32), BYTE(k % 8 * 32), 0};
    }
    return table;
}

// A source DIB's rows as convertRows reads them; run-length pixels are first expanded into indices,
// one byte a pixel, with what the data skips left at index 0.
struct Dib {
    Image image{};
    std::vector<std::uint8_t> expanded;
};

Dib expandDib(const DibLayout& d, const std::uint8_t* bits) {
    Dib out;
    if (d.compression != BI_RLE8 && d.compression != BI_RLE4) {
        out.image = Image{bits, std::uint32_t(d.stride), d.height, d.topDown};
        return out;
    }
    // The run-length data has no end but the one biSizeImage gives it.
    if (d.sizeImage == 0) return out;
    const std::size_t width = std::size_t(d.width), height = std::size_t(d.height);
    out.expanded.assign(width * height, 0);
    DecodeDibRle({bits, d.sizeImage}, d.compression == BI_RLE4, out.expanded.data(), d.width, d.height,
                 false);
    out.image = Image{out.expanded.data(), std::uint32_t(width), d.height, true};
    return out;
}

// Hands out GetDIBits' colour table behind the caller's header: colour entries of the header's kind,
// or for DIB_PAL_COLORS the palette indices 0, 1, 2, ...
void writeColourTable(BITMAPINFO* info, const DibLayout& d, UINT usage, const std::vector<RGBQUAD>& table) {
    auto* at = reinterpret_cast<std::uint8_t*>(info) + d.colourOffset;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (usage == DIB_PAL_COLORS) {
            const WORD index = WORD(i);
            std::memcpy(at + 2 * i, &index, sizeof index);
        } else {
            std::memcpy(at + i * d.entryBytes, &table[i], d.entryBytes);
        }
    }
}

} // namespace

bool GetBitmapData(HBITMAP bitmap, BitmapData& out) {
    State& s = State::Get();
    auto lock = s.Lock();
    auto* b = s.Find<BitmapObject>(bitmap);
    if (!b || s.IsStock(bitmap)) return false;
    out = b->data;
    return true;
}

HBITMAP DuplicateBitmap(HBITMAP bitmap) {
    BitmapData data;
    if (!GetBitmapData(bitmap, data)) return nullptr;
    auto copy = allocPixels(data.ImageSize(), false);
    if (!copy) return nullptr;
    std::memcpy(copy.get(), data.bits.get(), data.ImageSize());
    data.bits = std::move(copy);
    return addBitmap(std::move(data));
}

} // namespace gdi

using namespace gdi;

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
    State::Target target;
    {
        State& s = State::Get();
        auto lock = s.Lock();
        if (!s.DescribeTarget(hdc, target)) return nullptr;
        if (width == 0 || height == 0) return s.StockBitmap();
    }
    Layout l;
    if (height < 0 || !layoutOf(width, height, target.bpp, l)) return nullptr;
    BitmapData d = deviceBitmap(l, target.bpp);
    d.bits = allocPixels(d.ImageSize(), true);
    if (!d.bits) return nullptr;
    return addBitmap(std::move(d));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (width == 0 || height == 0) {
        State& s = State::Get();
        auto lock = s.Lock();
        return s.StockBitmap();
    }
    Layout l;
    if (planes != 1 || height < 0 || !layoutOf(width, height, int(bitsPerPixel), l)) return nullptr;
    BitmapData d = deviceBitmap(l, int(bitsPerPixel));
    d.bits = allocPixels(d.ImageSize(), true);
    if (!d.bits) return nullptr;
    if (bits) {
        // The rows come top down, padded to 16 bits; device pixels of 16 and 32 bits keep their
        // unused bits zero.
        const std::size_t used = (std::size_t(l.width) * bitsPerPixel + 7) / 8;
        const std::size_t stride = (std::size_t(l.width) * bitsPerPixel + 15) / 16 * 2;
        const auto* in = static_cast<const std::uint8_t*>(bits);
        for (int y = 0; y < l.height; ++y) {
            std::uint8_t* row = d.Row(y);
            std::memcpy(row, in + std::size_t(y) * stride, used);
            if (bitsPerPixel == 16)
                for (int x = 0; x < l.width; ++x)
                    row[2 * x + 1] &= 0x7F;
            if (bitsPerPixel == 32)
                for (int x = 0; x < l.width; ++x)
                    row[4 * x + 3] = 0;
        }
    }
    return addBitmap(std::move(d));
}

HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage) {
    const auto shape = headerLayout(header);
    if (!shape) return nullptr;
    State::Target target;
    std::vector<PALETTEENTRY> dcPalette;
    {
        State& s = State::Get();
        auto lock = s.Lock();
        if (!s.DescribeTarget(hdc, target)) return nullptr;
        dcPalette = dcPaletteEntries(s, hdc);
    }
    Layout l;
    if (!layoutOf(shape->width, shape->height, target.bpp, l)) return nullptr;
    BitmapData d = deviceBitmap(l, target.bpp);
    const bool initialise = (init & CBM_INIT) != 0;
    d.bits = allocPixels(d.ImageSize(), !initialise);
    if (!d.bits) return nullptr;
    if (initialise) {
        const auto source = headerLayout(info);
        RowFormat from;
        if (!bits || !source || !formatOf(info, *source, usage, dcPalette, from) ||
            source->width != l.width || source->height != l.height)
            return nullptr;
        RowFormat to;
        to.bpp = target.bpp;
        ColorMatcher matcher(target.colours, target.indices);
        const Dib dib = expandDib(*source, static_cast<const std::uint8_t*>(bits));
        if (!dib.image.bits) return nullptr;
        Image dst{d.bits.get(), d.stride, d.height, false};
        convertRows(from, dib.image, to, dst, l.width, 0, l.height, target.bpp <= 8 ? &matcher : nullptr);
    }
    return addBitmap(std::move(d));
}

int GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, BITMAPINFO* info, UINT usage) {
    if (!info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) return 0;
    BITMAPINFOHEADER& h = info->bmiHeader;
    BitmapData data;
    RowFormat from;
    std::vector<RGBQUAD> table;
    std::size_t real = 0;
    State& s = State::Get();
    {
        auto lock = s.Lock();
        auto* b = s.Find<BitmapObject>(bitmap);
        if (!s.Find<DCObject>(hdc) || !b) return 0;
        data = b->data;
        from = FormatOf(data, s);
        const int bpp = h.biBitCount ? h.biBitCount : data.bpp;
        if (bpp <= 8 && validBpp(bpp)) table = tableFor(s, hdc, bpp, real);
    }
    if (!bits) {
        // Describe the bitmap only.
        if (h.biBitCount == 0) h.biBitCount = WORD(data.bpp);
        if (!validBpp(h.biBitCount)) return 0;
        h.biWidth = data.width;
        h.biHeight = data.height;
        h.biPlanes = 1;
        h.biCompression = BI_RGB;
        h.biSizeImage =
            DWORD(DibStride(std::uint64_t(data.width), h.biBitCount) * std::uint64_t(data.height));
        return data.height;
    }
    const auto target = headerLayout(info);
    if (!target || target->compressed() || target->width != data.width) return 0;
    const Layout l = sizesOf(*target);
    RowFormat to;
    to.bpp = target->bitCount;
    to.bitfields = target->compression == BI_BITFIELDS;
    std::memcpy(to.masks, target->masks, sizeof to.masks);
    if (start >= UINT(data.height)) return 0;
    const int count =
        int(std::min<std::uint64_t>({lines, std::uint64_t(data.height) - start, std::uint64_t(l.height)}));
    std::unique_ptr<ColorMatcher> matcher;
    if (to.bpp <= 8) {
        to.colors = table;
        std::vector<std::uint8_t> indices(real);
        for (std::size_t i = 0; i < real; ++i)
            indices[i] = std::uint8_t(i);
        matcher = std::make_unique<ColorMatcher>(
            std::vector<RGBQUAD>(table.begin(), table.begin() + long(real)), std::move(indices));
        writeColourTable(info, *target, usage, table);
    }
    Image src{data.bits.get(), data.stride, data.height, data.topDown};
    // Target rows: the `count` rows written are the lowest rows of the target picture.
    Image dst{static_cast<std::uint8_t*>(bits), l.stride, l.height, l.topDown};
    if (l.topDown) dst.bits += std::size_t(l.height - count) * l.stride, dst.height = count;
    convertRows(from, src, to, dst, l.width, int(start), count, matcher.get());
    if (h.biSizeImage == 0) h.biSizeImage = DWORD(std::uint64_t(l.stride) * std::uint64_t(l.height));
    return count;
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
    if (bits) *bits = nullptr;
    if (!info || section) return nullptr; // sections over file mappings are not supported
    std::vector<PALETTEENTRY> dcPalette;
    if (usage == DIB_PAL_COLORS) {
        State& s = State::Get();
        auto lock = s.Lock();
        if (!s.Find<DCObject>(hdc)) return nullptr;
        dcPalette = dcPaletteEntries(s, hdc);
    }
    const auto shape = headerLayout(info);
    RowFormat f;
    if (!shape || shape->compressed() || !formatOf(info, *shape, usage, dcPalette, f)) return nullptr;
    const Layout l = sizesOf(*shape);
    BitmapData d;
    d.width = l.width;
    d.height = l.height;
    d.bpp = f.bpp;
    d.stride = l.stride;
    d.topDown = l.topDown;
    d.compression = f.bitfields ? BI_BITFIELDS : BI_RGB;
    std::memcpy(d.masks, f.masks, sizeof d.masks);
    d.colors = std::move(f.colors);
    d.bits = allocPixels(d.ImageSize(), true);
    if (!d.bits) return nullptr;
    void* address = d.bits.get();
    HBITMAP handle = addBitmap(std::move(d));
    if (bits) *bits = address;
    return handle;
}

} // namespace win
