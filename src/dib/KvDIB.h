// Device-independent bitmaps (packed DIBs: a 40-byte header, the colour table or the three bit-field
// masks, then the pixel rows): header arithmetic, locating pixels, creating, reading BMP files,
// converting to and from device bitmaps and drawing.
//
// Every DIB this unit creates or reads is one movable global memory block kept locked for its life,
// handled by its address and released with DIB_Free. Its biClrUsed is filled in (0 for bit-field and
// true-colour DIBs without table), so the measuring functions below and win::ParseDibLayout agree on
// where every part lies. The accessors take a pointer to the header and do not check it for null.
#pragma once

#include "platform/gdi/Gdi.h"
#include "platform/win/DibLayout.h"

#include <cstdint>
#include <string>

namespace kv {

using win::BITMAPINFOHEADER;

// ---- accessors and arithmetic ----
bool IsWinDIB(const BITMAPINFOHEADER* dib); // biSize is 40
win::HGLOBAL HandleFrom_DIB(const BITMAPINFOHEADER* dib);
BITMAPINFOHEADER* DIB_FromHandle(win::HGLOBAL handle);
// Unlocks and frees the DIB's block; nothing for null or for memory that is not a global block (a
// bitmap resource of the module).
void DIB_Free(BITMAPINFOHEADER* dib);
win::LONG DIB_Width(const BITMAPINFOHEADER* dib);
win::LONG DIB_Height(const BITMAPINFOHEADER* dib); // negative for top-down DIBs
// biBitCount, or the bit count of a 12-byte core header.
win::WORD DIB_BitCount(const BITMAPINFOHEADER* dib);
win::DWORD DIB_Compression(const BITMAPINFOHEADER* dib);
// Colour-table entries: biClrUsed, or 2^bits when that is 0 at 8 bits or less.
win::DWORD DIB_NumColors(const BITMAPINFOHEADER* dib);
// Bytes of a row of biWidth pixels of `bits` bits, padded to 32 bits.
win::LONG DIB_WidthBytesN(const BITMAPINFOHEADER* dib, int bits);
win::LONG DIB_WidthBytes(const BITMAPINFOHEADER* dib);
// Bytes between the header and the pixels: the colour table, and the masks of a bit-field DIB.
win::DWORD DIB_PaletteSize(const BITMAPINFOHEADER* dib);
// Header, masks and colour table: the offset of the pixels.
win::DWORD DIB_BISize(const BITMAPINFOHEADER* dib);
// biSizeImage, or the uncompressed size of all rows when it is 0.
win::DWORD DIB_SizeImage(const BITMAPINFOHEADER* dib);
// The whole packed DIB from its stored fields: header, masks, table and biSizeImage bytes.
win::DWORD DIB_Size(const BITMAPINFOHEADER* dib);
// The stored row that holds picture row y (counted from the top).
int DIB_FlipY(const BITMAPINFOHEADER* dib, int y);
std::uint8_t* DIB_Colors(BITMAPINFOHEADER* dib);
const std::uint8_t* DIB_Colors(const BITMAPINFOHEADER* dib);
std::uint8_t* DIB_Ptr(BITMAPINFOHEADER* dib);
const std::uint8_t* DIB_Ptr(const BITMAPINFOHEADER* dib);
// Address of pixel x of stored row y in `bits`, rows of biWidth pixels of bitCount bits.
std::uint8_t* DIB_XYN(const BITMAPINFOHEADER* dib, std::uint8_t* bits, int x, int bitCount, int y);
std::uint8_t* DIB_XY(BITMAPINFOHEADER* dib, int x, int y);
void DIB_Info(const BITMAPINFOHEADER* dib);

// ---- creating, reading and converting ----
// An empty DIB of 1, 4, 8 or 24 bits (other depths above 8 give 24; 0, 2, 3, 5, 6 and 7 give null),
// at least 1 x 1, bottom-up for a positive orientation and top-down for a negative one; room for the
// pixels when withPixels. Colour tables: 16 standard colours (repeated 16 times at 8 bits), black and
// white at 1 bit. Null when the memory cannot be had.
BITMAPINFOHEADER* DIB_Create(int bits, int orientation, int width, int height, bool withPixels);
// The DIB in a BMP file (or a raw DIB file); when the file cannot be opened, the module's bitmap
// resource of that name (read-only, never freed). Null when neither gives a DIB.
BITMAPINFOHEADER* DIB_OpenFile(const char* fileName);
// Header and colour table of the BMP file or raw DIB at the handle's position (a runtime file handle),
// the file left at the first pixel byte. biSizeImage is filled in. Null on failure.
BITMAPINFOHEADER* DIB_ReadBitmapInfo(int handle);
// Fills the colour table from the palette (0: the default palette; usage 0) or with the indices 0 to
// n - 1 as 16-bit words (usage 1). False for a null DIB.
bool DIB_SetUsage(BITMAPINFOHEADER* dib, win::HPALETTE palette, int usage);
// The device bitmap's pixels as a new DIB of `bits` bits (see DIB_Create), drawn with the palette
// selected (0: none). Null on failure.
BITMAPINFOHEADER* DIB_BitmapToDIB(win::HBITMAP bitmap, win::HPALETTE palette, int bits, int orientation);

// Converts a packed DIB into a device bitmap compatible with the display and the palette it was drawn
// with (0 for DIBs of 16 and 32 bits without colour table). The palette is returned whether or not the
// bitmap could be made; a DIB that fails validation or conversion gives a null bitmap. Never throws.
void DIB_DIBToBitmap(const BITMAPINFOHEADER* dib, win::HBITMAP& bitmap, win::HPALETTE& palette);

// The logical palette for showing a DIB: its own colour table (for 16 colours on a palette screen the
// system palette's first and last 8 entries), a fixed 8x8x4 colour cube for 24-bit DIBs without
// table, otherwise none (0). The caller owns the palette.
win::HPALETTE DIB_CreatePalette(const BITMAPINFOHEADER* dib);

// Draws the whole DIB stretched into the rectangle (nearest pixels), with its palette selected.
void DIB_Display(const BITMAPINFOHEADER* dib, win::HDC dc, int left, int top, int right, int bottom);

// ---- BMP files with the reason of a failure ----
// What a BMP file holds, as stored in it.
struct BmpFileFacts {
    bool fileHeader = false;       // starts with a "BM" file header
    std::uint64_t pixelOffset = 0; // of the pixel data, from the start of the file (or raw DIB)
    std::uint64_t fileSize = 0;    // bytes from the start of the bitmap to the end of the file
    win::DibLayout layout;         // of the header as stored (core or info header of any size)
};

// The result of reading a BMP file: the packed DIB (owned by the caller, DIB_Free) or the reason why
// there is none, in words for the user.
struct BmpFileRead {
    BITMAPINFOHEADER* dib = nullptr;
    BmpFileFacts facts;
    std::string error;
};

// Reads the BMP file or raw DIB at the handle's position: with its pixels, or only its header and
// colour table (the file then left at the first pixel byte, as DIB_ReadBitmapInfo does).
BmpFileRead ReadBmpFile(int handle, bool withPixels);
// Opens and reads a BMP file (no resource fallback); the error names the cause, not the file.
BmpFileRead OpenBmpFile(const std::string& fileName);

} // namespace kv
