#include "dib/KvDIB.h"

#include "platform/win/GlobalMemory.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace kv {
namespace {

using namespace win;

// Largest bitmap header in use (the version 5 header); anything longer is not a header.
constexpr DWORD kMaxHeaderSize = 124;
constexpr LONG kMaxDimension = 1 << 16;
constexpr std::uint64_t kMaxImageBytes = std::uint64_t(1) << 30;

// Where a DIB's parts lie, worked out from a header that passed the checks below.
struct DibLayout {
    DWORD colours = 0;           // entries of the colour table (0 for bit-field DIBs)
    std::size_t pixelOffset = 0; // from the start of the header
    std::size_t imageBytes = 0;
};

bool validBitCount(WORD bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// Checks every field that sizes or locates data before anything behind the header is read. The colour
// table holds biClrUsed entries, or 2^bits when biClrUsed is 0 at 8 bits or less (so pixels are never
// read from the colour table). Bit-field masks follow a 40-byte header and lie inside longer ones. When
// the DIB is a global memory block, the block must hold all of it.
bool checkDIB(const BITMAPINFOHEADER* dib, DibLayout& out) {
    if (!dib) return false;
    // A DIB in a global memory block is checked against the block's size before any field is read.
    const HGLOBAL block = GlobalHandle(dib);
    if (block && GlobalSize(block) < sizeof(BITMAPINFOHEADER)) return false;
    const BITMAPINFOHEADER& h = *dib;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > kMaxHeaderSize) return false;
    if (h.biWidth <= 0 || h.biWidth > kMaxDimension || h.biHeight == 0 || h.biHeight > kMaxDimension ||
        h.biHeight < -kMaxDimension)
        return false;
    if (h.biPlanes != 1 || !validBitCount(h.biBitCount) || h.biClrUsed > 256) return false;
    std::size_t table = 0;
    if (h.biCompression == BI_BITFIELDS) {
        if (h.biBitCount != 16 && h.biBitCount != 32) return false;
        table = h.biSize == sizeof(BITMAPINFOHEADER) ? 12 : 0;
    } else if (h.biCompression == BI_RGB) {
        out.colours = h.biClrUsed ? h.biClrUsed : (h.biBitCount <= 8 ? DWORD(1) << h.biBitCount : 0);
        table = std::size_t(out.colours) * sizeof(RGBQUAD);
    } else {
        return false; // run-length encoded DIBs are not handed out by the decoders
    }
    const std::uint64_t stride = (std::uint64_t(h.biWidth) * h.biBitCount + 31) / 32 * 4;
    const std::uint64_t rows = std::uint64_t(h.biHeight < 0 ? -std::int64_t(h.biHeight) : h.biHeight);
    if (stride * rows > kMaxImageBytes) return false;
    out.imageBytes = std::size_t(stride * rows);
    out.pixelOffset = h.biSize + table;
    if (h.biSizeImage != 0 && h.biSizeImage < out.imageBytes) return false; // truncated pixel data
    if (block && GlobalSize(block) < out.pixelOffset + out.imageBytes) return false;
    return true;
}

class ScreenDC {
  public:
    ScreenDC() : m_window(GetFocus()), m_dc(GetDC(m_window)) {}
    ~ScreenDC() {
        if (m_dc) ReleaseDC(m_window, m_dc);
    }
    ScreenDC(const ScreenDC&) = delete;
    ScreenDC& operator=(const ScreenDC&) = delete;
    HDC Get() const { return m_dc; }

  private:
    HWND m_window;
    HDC m_dc;
};

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

} // namespace

win::HPALETTE DIB_CreatePalette(const win::BITMAPINFOHEADER* dib) {
    DibLayout layout;
    if (!checkDIB(dib, layout)) return nullptr;
    const DWORD n = layout.colours;
    std::vector<PALETTEENTRY> entries;
    if (n > 0) {
        entries.resize(n);
        bool fromSystem = false;
        if (n == 16) {
            ScreenDC dc;
            const int size = GetDeviceCaps(dc.Get(), SIZEPALETTE);
            if (size >= 16) {
                GetSystemPaletteEntries(dc.Get(), 0, 8, entries.data());
                GetSystemPaletteEntries(dc.Get(), UINT(size - 8), 8, entries.data() + 8);
                for (PALETTEENTRY& e : entries)
                    e.peFlags = 0;
                fromSystem = true;
            }
        }
        if (!fromSystem) {
            const auto* table = reinterpret_cast<const std::uint8_t*>(dib) + dib->biSize;
            for (DWORD k = 0; k < n; ++k) {
                RGBQUAD q;
                std::memcpy(&q, table + 4 * k, sizeof q);
                entries[k] = PALETTEENTRY{q.rgbRed, q.rgbGreen, q.rgbBlue, 0};
            }
        }
    } else if (dib->biBitCount == 24) {
        // 8 levels of red and green, 4 of blue.
        entries.resize(256);
        for (int k = 0; k < 256; ++k)
            entries[std::size_t(k)] =
                PALETTEENTRY{BYTE(k % 8 * 32), BYTE(k / 8 % 8 * 32), BYTE(k / 64 * 64), 0};
    } else {
        return nullptr;
    }
    return makePalette(entries);
}

void DIB_DIBToBitmap(const win::BITMAPINFOHEADER* dib, win::HBITMAP& bitmap, win::HPALETTE& palette) {
    bitmap = nullptr;
    palette = nullptr;
    DibLayout layout;
    if (!checkDIB(dib, layout)) return;
    ScreenDC dc;
    if (!dc.Get()) return;
    palette = DIB_CreatePalette(dib);
    HPALETTE previous = nullptr;
    if (palette) {
        previous = SelectPalette(dc.Get(), palette, FALSE);
        RealizePalette(dc.Get());
    }
    const auto* bits = reinterpret_cast<const std::uint8_t*>(dib) + layout.pixelOffset;
    bitmap = CreateDIBitmap(dc.Get(), dib, CBM_INIT, bits, reinterpret_cast<const BITMAPINFO*>(dib),
                            DIB_RGB_COLORS);
    if (previous) SelectPalette(dc.Get(), previous, FALSE);
}

} // namespace kv
