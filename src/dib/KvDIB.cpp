// DIB header arithmetic, empty DIBs and colour-table usage.
#include "dib/KvDIB.h"

#include "dib/KvDIBInternal.h"
#include "platform/win/GlobalMemory.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kv {
namespace {

using namespace win;

// The masks of a bit-field DIB lie behind a 40-byte header; longer headers hold them themselves.
DWORD maskBytes(const BITMAPINFOHEADER* dib) {
    return dib->biCompression == BI_BITFIELDS && dib->biSize == kDibInfoHeaderSize ? 12 : 0;
}

std::uint64_t rows(const BITMAPINFOHEADER* dib) {
    const std::int64_t h = dib->biHeight;
    return std::uint64_t(h < 0 ? -h : h);
}

// The 16 standard colours as red, green, blue.
constexpr BYTE kStandardColours[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                          {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                          {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                          {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

bool creatableBits(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits > 8;
}

} // namespace

namespace dibunit {

BITMAPINFOHEADER* allocDib(std::size_t bytes) {
    HGLOBAL block = GlobalAlloc(GHND, bytes);
    if (!block) return nullptr;
    return static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
}

BITMAPINFOHEADER* reallocDib(BITMAPINFOHEADER* dib, std::size_t bytes) {
    HGLOBAL block = GlobalReAlloc(GlobalHandle(dib), bytes, GMEM_MOVEABLE | GMEM_ZEROINIT);
    return static_cast<BITMAPINFOHEADER*>(block);
}

} // namespace dibunit

bool IsWinDIB(const BITMAPINFOHEADER* dib) {
    return dib->biSize == kDibInfoHeaderSize;
}

HGLOBAL HandleFrom_DIB(const BITMAPINFOHEADER* dib) {
    return GlobalHandle(dib);
}

BITMAPINFOHEADER* DIB_FromHandle(HGLOBAL handle) {
    return static_cast<BITMAPINFOHEADER*>(GlobalLock(handle));
}

void DIB_Free(BITMAPINFOHEADER* dib) {
    if (!dib) return;
    HGLOBAL block = GlobalHandle(dib);
    if (!block) return; // a module resource: owned by the module
    GlobalUnlock(block);
    GlobalFree(block);
}

LONG DIB_Width(const BITMAPINFOHEADER* dib) {
    return dib->biWidth;
}

LONG DIB_Height(const BITMAPINFOHEADER* dib) {
    return dib->biHeight;
}

WORD DIB_BitCount(const BITMAPINFOHEADER* dib) {
    if (IsWinDIB(dib)) return dib->biBitCount;
    WORD bits;
    std::memcpy(&bits, reinterpret_cast<const std::uint8_t*>(dib) + 10, sizeof bits);
    return bits;
}

DWORD DIB_Compression(const BITMAPINFOHEADER* dib) {
    return dib->biCompression;
}

DWORD DIB_NumColors(const BITMAPINFOHEADER* dib) {
    return DibColourCount(dib->biBitCount, dib->biClrUsed);
}

LONG DIB_WidthBytesN(const BITMAPINFOHEADER* dib, int bits) {
    const std::int64_t n = std::int64_t(dib->biWidth) * bits;
    return LONG(((n + 31) >> 5) << 2);
}

LONG DIB_WidthBytes(const BITMAPINFOHEADER* dib) {
    return DIB_WidthBytesN(dib, dib->biBitCount);
}

DWORD DIB_PaletteSize(const BITMAPINFOHEADER* dib) {
    return DIB_NumColors(dib) * 4 + maskBytes(dib);
}

DWORD DIB_BISize(const BITMAPINFOHEADER* dib) {
    return dib->biSize + DIB_PaletteSize(dib);
}

DWORD DIB_SizeImage(const BITMAPINFOHEADER* dib) {
    if (dib->biSizeImage != 0) return dib->biSizeImage;
    // Top-down DIBs store a negative height; their rows take as many bytes as bottom-up ones.
    return DWORD(std::uint64_t(std::uint32_t(DIB_WidthBytes(dib))) * rows(dib));
}

DWORD DIB_Size(const BITMAPINFOHEADER* dib) {
    return dib->biSize + maskBytes(dib) + dib->biClrUsed * 4 + dib->biSizeImage;
}

int DIB_FlipY(const BITMAPINFOHEADER* dib, int y) {
    // Top-down DIBs store picture row y as row y.
    if (dib->biHeight < 0) return y;
    return dib->biHeight - y - 1;
}

std::uint8_t* DIB_Colors(BITMAPINFOHEADER* dib) {
    return reinterpret_cast<std::uint8_t*>(dib) + dib->biSize;
}

const std::uint8_t* DIB_Colors(const BITMAPINFOHEADER* dib) {
    return reinterpret_cast<const std::uint8_t*>(dib) + dib->biSize;
}

std::uint8_t* DIB_Ptr(BITMAPINFOHEADER* dib) {
    return DIB_Colors(dib) + DIB_PaletteSize(dib);
}

const std::uint8_t* DIB_Ptr(const BITMAPINFOHEADER* dib) {
    return DIB_Colors(dib) + DIB_PaletteSize(dib);
}

std::uint8_t* DIB_XYN(const BITMAPINFOHEADER* dib, std::uint8_t* bits, int x, int bitCount, int y) {
    const std::int64_t offset =
        std::int64_t(y) * DIB_WidthBytesN(dib, bitCount) + std::int64_t(x) * bitCount / 8;
    return bits + offset;
}

std::uint8_t* DIB_XY(BITMAPINFOHEADER* dib, int x, int y) {
    return DIB_XYN(dib, DIB_Ptr(dib), x, dib->biBitCount, y);
}

void DIB_Info(const BITMAPINFOHEADER*) {}

BITMAPINFOHEADER* DIB_Create(int bits, int orientation, int width, int height, bool withPixels) {
    if (!creatableBits(bits)) return nullptr;
    if (bits > 8) bits = 24;
    width = std::max(width, 1);
    height = std::max(height, 1);
    const std::uint64_t stride = DibStride(std::uint64_t(width), unsigned(bits));
    const std::uint64_t image = withPixels ? stride * std::uint64_t(height) : 0;
    if (image > DibLimits{}.maxImageBytes) return nullptr;
    BITMAPINFOHEADER* dib = dibunit::allocDib(std::size_t(image) + 40 + 256 * 4);
    if (!dib) return nullptr;
    dib->biSize = kDibInfoHeaderSize;
    dib->biWidth = width;
    dib->biHeight = orientation < 0 ? -height : height;
    dib->biPlanes = 1;
    dib->biBitCount = WORD(bits);
    dib->biCompression = BI_RGB;
    dib->biSizeImage = DWORD(image);
    // Every table entry a pixel can address is present and counted.
    dib->biClrUsed = bits <= 8 ? DWORD(1) << bits : 0;
    auto* table = reinterpret_cast<RGBQUAD*>(DIB_Colors(dib));
    if (bits == 1) {
        table[1] = RGBQUAD{255, 255, 255, 0};
    } else {
        for (DWORD k = 0; k < dib->biClrUsed; ++k) {
            const BYTE* c = kStandardColours[k % 16];
            table[k] = RGBQUAD{c[2], c[1], c[0], 0};
        }
    }
    return dib;
}

bool DIB_SetUsage(BITMAPINFOHEADER* dib, HPALETTE palette, int usage) {
    if (!dib) return false;
    if (!palette) palette = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
    DWORD n = DIB_NumColors(dib);
    if (dib->biCompression == BI_BITFIELDS && n == 3) n = 0;
    if (n == 0) return true;
    std::uint8_t* table = DIB_Colors(dib);
    if (usage == DIB_PAL_COLORS) {
        for (DWORD k = 0; k < n; ++k) {
            const WORD index = WORD(k);
            std::memcpy(table + 2 * k, &index, sizeof index);
        }
        return true;
    }
    // Entries the palette does not have keep the colours they had.
    std::vector<PALETTEENTRY> entries(std::min<DWORD>(n, 256));
    const UINT got = GetPaletteEntries(palette, 0, UINT(entries.size()), entries.data());
    for (UINT k = 0; k < got && k < entries.size(); ++k) {
        const RGBQUAD q{entries[k].peBlue, entries[k].peGreen, entries[k].peRed, 0};
        std::memcpy(table + 4 * k, &q, sizeof q);
    }
    return true;
}

} // namespace kv
