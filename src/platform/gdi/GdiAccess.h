// Direct access to the objects behind GDI handles, for the bitmap object of the UI layer: it adopts a
// bitmap's pixel memory (shared, never copied) and writes it to files from any thread.
#pragma once

#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace win::gdi {

struct BitmapData {
    int width = 0;
    int height = 0;
    int bpp = 0;
    std::uint32_t stride = 0; // bytes per row, a multiple of 4
    bool device = false;      // device bitmap (screen depth) rather than DIB section
    bool topDown = false;     // DIB section whose first row in memory is the top row
    DWORD compression = BI_RGB;
    DWORD masks[3] = {0, 0, 0};  // BI_BITFIELDS only
    std::vector<RGBQUAD> colors; // DIB sections of 8 bits and less
    std::shared_ptr<std::uint8_t[]> bits;

    std::size_t ImageSize() const { return std::size_t(stride) * std::size_t(height); }
    // Address of picture row y counted from the top.
    std::uint8_t* Row(int y) const {
        int stored = topDown ? y : height - 1 - y;
        return bits.get() + std::size_t(stored) * stride;
    }
};

// A snapshot of the bitmap's description sharing its pixel memory; false for an invalid handle.
bool GetBitmapData(HBITMAP bitmap, BitmapData& out);
// A new bitmap of the same kind, size and format with its own copy of the pixels; 0 on failure.
HBITMAP DuplicateBitmap(HBITMAP bitmap);
// A new logical palette with the same entries; 0 on failure.
HPALETTE DuplicatePalette(HPALETTE palette);
// The entries of a logical palette (empty for an invalid handle).
std::vector<PALETTEENTRY> PaletteEntries(HPALETTE palette);
// The current system palette: 256 entries on a palette screen, empty otherwise.
std::vector<PALETTEENTRY> SystemPalette();
// Back to the 20 static colours with all middle entries free (tests switch display depths).
void ResetSystemPalette();
// Number of live objects in the handle table (leak checks in tests).
std::size_t LiveObjectCount();

} // namespace win::gdi
