// The graphics device interface as the library uses it: one screen, device contexts, logical palettes
// and the system palette, device-dependent bitmaps, DIB sections and the conversions between DIBs and
// device bitmaps. Names, argument order and results follow the Windows functions they stand in for.
//
// Handles are validated: a stale, foreign or wrong-kind handle makes a function fail (0 or FALSE), it
// never touches memory. All functions may be called from any thread.
//
// Pixel memory of every bitmap is laid out like BMP pixel data: rows padded to 4 bytes, bottom row
// first (DIB sections made from a negative height are top-down). Device bitmaps have the screen's depth:
// 8 bits are indices into the system palette, 16 bits are 5-5-5 (bit 15 zero), 24 bits are blue, green,
// red, 32 bits are blue, green, red, 0.
#pragma once

#include "platform/win/WinTypes.h"

namespace win {

// ---- records ----
struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};

struct DIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3];
    HANDLE dshSection;
    DWORD dsOffset;
};

// ---- constants ----
constexpr DWORD CBM_INIT = 0x04;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;

constexpr int PLANES = 14;
constexpr int BITSPIXEL = 12;
constexpr int NUMCOLORS = 24;
constexpr int RASTERCAPS = 38;
constexpr int SIZEPALETTE = 104;
constexpr int NUMRESERVED = 106;
constexpr int COLORRES = 108;

constexpr int RC_BITBLT = 0x0001;
constexpr int RC_DI_BITMAP = 0x0080;
constexpr int RC_PALETTE = 0x0100;
constexpr int RC_DIBTODEV = 0x0200;
constexpr int RC_STRETCHDIB = 0x2000;

constexpr int DEFAULT_PALETTE = 15;

constexpr BYTE PC_RESERVED = 0x01;
constexpr BYTE PC_EXPLICIT = 0x02;
constexpr BYTE PC_NOCOLLAPSE = 0x04;

constexpr UINT GDI_ERROR = 0xFFFFFFFFu;

// ---- windows and device contexts ----
// The window with the keyboard focus; 0 when no window has it. The window layer plugs its own query in
// with SetFocusQuery; without one there is never a focus window.
HWND GetFocus();
void SetFocusQuery(HWND (*query)());

// A device context for the client area of a window, or for the whole screen when hwnd is 0.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
int GetDeviceCaps(HDC hdc, int index);

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
// BITMAP (or DIBSECTION when cb is large enough) for a bitmap, the WORD entry count for a palette.
int GetObject(HGDIOBJ object, int cb, LPVOID out);

// ---- palettes ----
HPALETTE CreatePalette(const LOGPALETTE* logPalette);
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* entries);
HPALETTE SelectPalette(HDC hdc, HPALETTE palette, BOOL forceBackground);
// Maps the palette selected into hdc onto the system palette; returns the number of system palette
// entries that changed (0 on a screen without a palette), GDI_ERROR for a bad DC.
UINT RealizePalette(HDC hdc);
// With entries null: the size of the system palette. 0 on a screen without a palette.
UINT GetSystemPaletteEntries(HDC hdc, UINT start, UINT count, PALETTEENTRY* entries);

// ---- bitmaps ----
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage);
// Copies rows start..start+lines-1 (counted from the bottom of the picture) of the bitmap into bits in
// the format info describes (1, 4, 8, 16, 24 or 32 bits); for 8 bits and less the colour table of info
// is filled from the palette selected into hdc (the system palette when it holds the default palette)
// and the pixels are the nearest entries. With bits null only the header is filled in.
int GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, BITMAPINFO* info, UINT usage);
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);

} // namespace win
