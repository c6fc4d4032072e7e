// Device-independent bitmaps (packed DIBs: header, colour table or masks, pixel rows) and their
// conversion into device bitmaps and palettes.
#pragma once

#include "platform/gdi/Gdi.h"

namespace kv {

// Converts a packed DIB into a device bitmap compatible with the display and the palette it was drawn
// with (0 for DIBs of 16 and 32 bits without colour table). The palette is returned whether or not the
// bitmap could be made; a DIB that fails validation or conversion gives a null bitmap. Never throws.
void DIB_DIBToBitmap(const win::BITMAPINFOHEADER* dib, win::HBITMAP& bitmap, win::HPALETTE& palette);

// The logical palette for showing a DIB: its own colour table (for 16 colours on a palette screen the
// system palette's first and last 8 entries), a fixed 8x8x4 colour cube for 24-bit DIBs without
// table, otherwise none (0). The caller owns the palette.
win::HPALETTE DIB_CreatePalette(const win::BITMAPINFOHEADER* dib);

} // namespace kv
