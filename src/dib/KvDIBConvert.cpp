// DIBs to device bitmaps and palettes and back, and drawing DIBs onto device contexts.
#include "dib/KvDIB.h"

#include "dib/KvDIBInternal.h"
#include "platform/win/GlobalMemory.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace kv {
namespace {

using namespace win;
using dibunit::FocusDC;
using dibunit::SelectedPalette;

// The layout of a DIB handed in by a caller. A DIB in a global block must fit its block; other memory
// (decoder buffers, module resources) is taken to hold what the header describes, and only a stated
// image size smaller than the rows need is refused there.
std::optional<DibLayout> layoutOf(const BITMAPINFOHEADER* dib) {
    if (!dib) return std::nullopt;
    const HGLOBAL block = GlobalHandle(dib);
    const std::size_t available = block ? GlobalSize(block) : SIZE_MAX / 2;
    auto layout = DibLayoutOf(dib, available);
    if (!layout) return std::nullopt;
    if (!layout->compressed() && layout->sizeImage != 0 && layout->sizeImage < layout->imageBytes)
        return std::nullopt;
    return layout;
}

HPALETTE makePalette(const std::vector<PALETTEENTRY>& entries) {
    // The logical palette's description lives only for the CreatePalette call.
    std::vector<std::uint8_t> buffer(offsetof(LOGPALETTE, palPalEntry) +
                                     entries.size() * sizeof(PALETTEENTRY));
    auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
    log->palVersion = 0x300;
    log->palNumEntries = WORD(entries.size());
    std::memcpy(log->palPalEntry, entries.data(), entries.size() * sizeof(PALETTEENTRY));
    return CreatePalette(log);
}

// On a palette screen a 16-colour DIB is shown in the system palette's first and last eight colours.
bool systemSixteen(std::vector<PALETTEENTRY>& entries) {
    FocusDC dc;
    const int size = GetDeviceCaps(dc.Get(), SIZEPALETTE);
    if (size < 16) return false;
    GetSystemPaletteEntries(dc.Get(), 0, 8, entries.data());
    GetSystemPaletteEntries(dc.Get(), UINT(size - 8), 8, entries.data() + 8);
    for (PALETTEENTRY& e : entries)
        e.peFlags = 0;
    return true;
}

std::vector<PALETTEENTRY> ownColours(const BITMAPINFOHEADER* dib, const DibLayout& layout) {
    std::vector<PALETTEENTRY> entries(layout.colours);
    const auto* table = reinterpret_cast<const std::uint8_t*>(dib) + layout.colourOffset;
    for (DWORD k = 0; k < layout.colours; ++k) {
        const std::uint8_t* e = table + std::size_t(k) * layout.entryBytes;
        entries[k] = PALETTEENTRY{e[2], e[1], e[0], 0};
    }
    return entries;
}

std::vector<PALETTEENTRY> colourCube() {
    // 8 levels of red and green, 4 of blue.
    std::vector<PALETTEENTRY> entries(256);
    for (int k = 0; k < 256; ++k)
        entries[std::size_t(k)] = PALETTEENTRY{BYTE(k % 8 * 32), BYTE(k / 8 % 8 * 32), BYTE(k / 64 * 64), 0};
    return entries;
}

} // namespace

HPALETTE DIB_CreatePalette(const BITMAPINFOHEADER* dib) {
    const auto layout = layoutOf(dib);
    if (!layout) return nullptr;
    // The masks of a bit-field DIB are not colours.
    const DWORD n = layout->compression == BI_BITFIELDS ? 0 : layout->colours;
    if (n > 0) {
        std::vector<PALETTEENTRY> entries(n);
        if (n != 16 || !systemSixteen(entries)) entries = ownColours(dib, *layout);
        return makePalette(entries);
    }
    if (layout->bitCount == 24) return makePalette(colourCube());
    return nullptr;
}

void DIB_DIBToBitmap(const BITMAPINFOHEADER* dib, HBITMAP& bitmap, HPALETTE& palette) {
    bitmap = nullptr;
    palette = nullptr;
    const auto layout = layoutOf(dib);
    if (!layout || layout->core) return;
    FocusDC dc;
    if (!dc.Get()) return;
    palette = DIB_CreatePalette(dib);
    SelectedPalette selected(dc.Get(), palette);
    const auto* bits = reinterpret_cast<const std::uint8_t*>(dib) + layout->pixelOffset;
    bitmap = CreateDIBitmap(dc.Get(), dib, CBM_INIT, bits, reinterpret_cast<const BITMAPINFO*>(dib),
                            DIB_RGB_COLORS);
}

BITMAPINFOHEADER* DIB_BitmapToDIB(HBITMAP bitmap, HPALETTE palette, int bits, int orientation) {
    BITMAP bm{};
    if (!bitmap || GetObject(bitmap, sizeof bm, &bm) == 0 || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return nullptr;
    BITMAPINFOHEADER* dib = DIB_Create(bits, orientation, bm.bmWidth, bm.bmHeight, true);
    if (!dib) return nullptr;
    int copied = 0;
    {
        FocusDC dc;
        if (dc.Get()) {
            SelectedPalette selected(dc.Get(), palette);
            // Also fills the colour table of DIBs of 8 bits and less.
            copied = GetDIBits(dc.Get(), bitmap, 0, UINT(bm.bmHeight), DIB_Ptr(dib),
                               reinterpret_cast<BITMAPINFO*>(dib), DIB_RGB_COLORS);
        }
    }
    if (copied != bm.bmHeight) {
        DIB_Free(dib);
        return nullptr;
    }
    return dib;
}

void DIB_Display(const BITMAPINFOHEADER* dib, HDC dc, int left, int top, int right, int bottom) {
    const auto layout = layoutOf(dib);
    if (!layout || layout->core || !dc) return;
    HPALETTE palette = DIB_CreatePalette(dib);
    {
        SelectedPalette selected(dc, palette);
        SetStretchBltMode(dc, COLORONCOLOR);
        // The DIB becomes a bitmap of the target's kind, which is then stretched onto it.
        const auto* bits = reinterpret_cast<const std::uint8_t*>(dib) + layout->pixelOffset;
        HBITMAP picture =
            CreateDIBitmap(dc, dib, CBM_INIT, bits, reinterpret_cast<const BITMAPINFO*>(dib), DIB_RGB_COLORS);
        HDC source = picture ? CreateCompatibleDC(dc) : nullptr;
        if (source) {
            HGDIOBJ old = SelectObject(source, picture);
            StretchBlt(dc, left, top, right - left, bottom - top, source, 0, 0, layout->width, layout->height,
                       SRCCOPY);
            SelectObject(source, old);
            DeleteDC(source);
        }
        if (picture) DeleteObject(picture);
    }
    if (palette) DeleteObject(palette);
}

} // namespace kv
