// The graphics device interface as the library uses it: one screen, device contexts, logical palettes
// and the system palette, device-dependent bitmaps, DIB sections and the conversions between DIBs and
// device bitmaps; pens, brushes, fonts and rectangular clip regions; block transfers with raster
// operations, lines, rectangles and text. Names, argument order and results follow the Windows
// functions they stand in for.
//
// Handles are validated: a stale, foreign or wrong-kind handle makes a function fail (0 or FALSE), it
// never touches memory. All functions may be called from any thread; drawing into one bitmap from two
// threads at once is the callers' business, as on the platform.
//
// Pixel memory of every bitmap is laid out like BMP pixel data: rows padded to 4 bytes, bottom row
// first (DIB sections made from a negative height are top-down). Device bitmaps have the screen's depth:
// 8 bits are indices into the system palette, 16 bits are 5-5-5 (bit 15 zero), 24 bits are blue, green,
// red, 32 bits are blue, green, red, 0. Monochrome device bitmaps (1 bit) hold 0 for black, 1 for white.
//
// Drawing happens in memory DCs, on the bitmap selected into them; coordinates are device pixels (no
// mapping modes). A window or screen DC has no pixels of its own: drawing there succeeds and leaves no
// trace, and it cannot be the source of a block transfer.
#pragma once

#include "platform/win/WinTypes.h"

#include <cstdint>

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

// Drawing object handles.
struct HPEN__;
struct HBRUSH__;
struct HFONT__;
struct HRGN__;
using HPEN = HPEN__*;
using HBRUSH = HBRUSH__*;
using HFONT = HFONT__*;
using HRGN = HRGN__*;

struct SIZE {
    LONG cx, cy;
};

struct LOGPEN {
    UINT lopnStyle;
    POINT lopnWidth; // x is the width; y is unused
    COLORREF lopnColor;
};

struct LOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    std::uintptr_t lbHatch;
};

constexpr int LF_FACESIZE = 32;
struct LOGFONTA {
    LONG lfHeight; // < 0: character height in pixels; > 0: cell height; 0: the default size
    LONG lfWidth;  // average character width; 0 keeps the face's own proportions
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight; // 0 (default) or 1 to 1000, 400 normal, 700 bold
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    char lfFaceName[LF_FACESIZE]; // UTF-8, zero-terminated
};
static_assert(sizeof(LOGFONTA) == 60);

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};
static_assert(sizeof(TEXTMETRICA) == 56);

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

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int OEM_FIXED_FONT = 10;
constexpr int ANSI_FIXED_FONT = 11;
constexpr int ANSI_VAR_FONT = 12;
constexpr int SYSTEM_FONT = 13;
constexpr int DEVICE_DEFAULT_FONT = 14;
constexpr int SYSTEM_FIXED_FONT = 16;
constexpr int DEFAULT_GUI_FONT = 17;

// Pens and brushes.
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_DASHDOT = 3;
constexpr int PS_DASHDOTDOT = 4;
constexpr int PS_NULL = 5;
constexpr int PS_INSIDEFRAME = 6;
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;

// Colours.
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;
// A colour given as an index into the logical palette selected into the DC.
constexpr COLORREF PALETTEINDEX(WORD i) {
    return 0x01000000u | i;
}

// System colours (GetSysColor, GetSysColorBrush).
constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_INACTIVECAPTION = 3;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_ACTIVEBORDER = 10;
constexpr int COLOR_INACTIVEBORDER = 11;
constexpr int COLOR_APPWORKSPACE = 12;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
constexpr int COLOR_HOTLIGHT = 26;
constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;
constexpr int COLOR_DESKTOP = COLOR_BACKGROUND;
constexpr int COLOR_3DFACE = COLOR_BTNFACE;
constexpr int COLOR_3DSHADOW = COLOR_BTNSHADOW;
constexpr int COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT;
constexpr int COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT;
constexpr int COLOR_BTNHILIGHT = COLOR_BTNHIGHLIGHT;

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Mix modes of pens and brushes: the pen P and the destination D combined bitwise.
constexpr int R2_BLACK = 1;
constexpr int R2_NOTMERGEPEN = 2;
constexpr int R2_MASKNOTPEN = 3;
constexpr int R2_NOTCOPYPEN = 4;
constexpr int R2_MASKPENNOT = 5;
constexpr int R2_NOT = 6;
constexpr int R2_XORPEN = 7;
constexpr int R2_NOTMASKPEN = 8;
constexpr int R2_MASKPEN = 9;
constexpr int R2_NOTXORPEN = 10;
constexpr int R2_NOP = 11;
constexpr int R2_MERGENOTPEN = 12;
constexpr int R2_COPYPEN = 13;
constexpr int R2_MERGEPENNOT = 14;
constexpr int R2_MERGEPEN = 15;
constexpr int R2_WHITE = 16;

// Raster operations of block transfers: bits 16 to 23 are the truth table over pattern P (0xF0),
// source S (0xCC) and destination D (0xAA); every one of the 256 tables is carried out.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD SRCERASE = 0x00440328;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD NOTSRCERASE = 0x001100A6;
constexpr DWORD MERGECOPY = 0x00C000CA;
constexpr DWORD MERGEPAINT = 0x00BB0226;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATPAINT = 0x00FB0A09;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;
// The destination left as it is (as the background operation of MaskBlt).
constexpr DWORD DSTCOPY = 0x00AA0029;
// MaskBlt's operation: fore where the mask is 1, back where it is 0.
constexpr DWORD MAKEROP4(DWORD fore, DWORD back) {
    return ((back << 8) & 0xFF000000u) | fore;
}

// Stretch modes (StretchBlt always picks the nearest source pixel).
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;

// Region kinds returned by the clipping functions.
constexpr int RGN_ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;

// Text alignment.
constexpr UINT TA_NOUPDATECP = 0;
constexpr UINT TA_UPDATECP = 1;
constexpr UINT TA_LEFT = 0;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_TOP = 0;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;

// ExtTextOutA options.
constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;

// DrawTextA formats.
constexpr UINT DT_TOP = 0x00000000;
constexpr UINT DT_LEFT = 0x00000000;
constexpr UINT DT_CENTER = 0x00000001;
constexpr UINT DT_RIGHT = 0x00000002;
constexpr UINT DT_VCENTER = 0x00000004;
constexpr UINT DT_BOTTOM = 0x00000008;
constexpr UINT DT_WORDBREAK = 0x00000010;
constexpr UINT DT_SINGLELINE = 0x00000020;
constexpr UINT DT_EXPANDTABS = 0x00000040;
constexpr UINT DT_NOCLIP = 0x00000100;
constexpr UINT DT_CALCRECT = 0x00000400;
constexpr UINT DT_NOPREFIX = 0x00000800;
constexpr UINT DT_EXTERNALLEADING = 0x00000200;
constexpr UINT DT_PATH_ELLIPSIS = 0x00004000;
constexpr UINT DT_END_ELLIPSIS = 0x00008000;
constexpr UINT DT_MODIFYSTRING = 0x00010000;
constexpr UINT DT_WORD_ELLIPSIS = 0x00040000;

// Font weights, character sets, quality and pitch.
constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SHIFTJIS_CHARSET = 128;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE NONANTIALIASED_QUALITY = 3;
constexpr BYTE ANTIALIASED_QUALITY = 4;
constexpr BYTE DEFAULT_PITCH = 0;
constexpr BYTE FIXED_PITCH = 1;
constexpr BYTE VARIABLE_PITCH = 2;
constexpr BYTE FF_DONTCARE = 0x00;
constexpr BYTE FF_ROMAN = 0x10;
constexpr BYTE FF_SWISS = 0x20;
constexpr BYTE FF_MODERN = 0x30;
// Set in tmPitchAndFamily for a font whose characters have different widths (sic).
constexpr BYTE TMPF_FIXED_PITCH = 0x01;

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

// Selects a bitmap (memory DCs only, one DC at a time), pen, brush or font and returns the one it
// replaces; a region is copied in as the clip rectangle (the result is then the region kind).
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
// Objects selected into a DC are not deleted (FALSE); stock objects are never deleted (TRUE).
BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
// BITMAP (or DIBSECTION when cb is large enough) for a bitmap, the WORD entry count for a palette,
// LOGPEN, LOGBRUSH or LOGFONTA for pens, brushes and fonts.
int GetObject(HGDIOBJ object, int cb, LPVOID out);

// ---- DC attributes ----
// Each setter returns the previous value (CLR_INVALID or 0 for a bad DC).
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
int SetROP2(HDC hdc, int mode);
int GetROP2(HDC hdc);
int SetStretchBltMode(HDC hdc, int mode);
UINT SetTextAlign(HDC hdc, UINT align); // GDI_ERROR for a bad DC
UINT GetTextAlign(HDC hdc);
BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous);
BOOL GetCurrentPositionEx(HDC hdc, POINT* position);

// ---- pens, brushes, regions ----
// Styled pens (dash, dot) draw as such only at width 0 or 1; wider ones are solid. Pens draw at most
// 256 pixels wide.
HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);

// ---- clipping: one rectangle per DC ----
// A null region removes the clip rectangle; otherwise the region's rectangle becomes it.
int SelectClipRgn(HDC hdc, HRGN region);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
// The clip rectangle, or the bitmap's bounds when there is none.
int GetClipBox(HDC hdc, RECT* rect);

// ---- drawing ----
COLORREF GetPixel(HDC hdc, int x, int y); // CLR_INVALID outside the bitmap or the clip rectangle
// Returns the colour actually set (the nearest the bitmap can hold), or CLR_INVALID.
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
// Fills left..right-1, top..bottom-1 with the brush; ignores the mix mode.
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop);
// Colour to monochrome: source pixels of the source DC's background colour become 1 (white), all
// others 0. Monochrome to colour: 0 becomes the destination DC's text colour, 1 its background colour.
// Monochrome means a 1-bit device bitmap; 1-bit DIB sections convert through their colour tables.
BOOL BitBlt(HDC hdc, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop);
// Where the 1-bit mask is 1 the foreground operation (the low 24 bits of rop) is carried out, where it
// is 0 (or outside the mask) the background operation (MAKEROP4).
BOOL MaskBlt(HDC hdc, int x, int y, int width, int height, HDC source, int sx, int sy, HBITMAP mask, int mx,
             int my, DWORD rop);
// Nearest-neighbour scaling; a negative width or height mirrors.
BOOL StretchBlt(HDC hdc, int x, int y, int width, int height, HDC source, int sx, int sy, int swidth,
                int sheight, DWORD rop);
// Draws from the current position to (x, y), that last pixel excluded, and moves there.
BOOL LineTo(HDC hdc, int x, int y);
BOOL Polyline(HDC hdc, const POINT* points, int count);
// Outline with the pen, inside with the brush, both in the mix mode; with the null pen the filled area
// is one pixel smaller to the right and bottom.
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
// Inverts every other pixel of the rectangle's 1-pixel frame: drawn twice, it is gone.
BOOL DrawFocusRect(HDC hdc, const RECT* rect);
// A 1-pixel frame just inside the rectangle in the brush; ignores the mix mode.
int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush);
// Closed outline through the points with the pen, inside (alternate rule) with the brush.
BOOL Polygon(HDC hdc, const POINT* points, int count);

// Ellipses: the ellipse is the one inscribed in left..right-1, top..bottom-1. Outlines are drawn with
// the pen (solid, centred on the curve), insides with the brush, every pixel once in the mix mode; with
// the null pen the filled area is one pixel smaller to the right and bottom.
BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom);
// The parts of the ellipse counter-clockwise from the radial (centre to point) through (xStart, yStart)
// to the radial through (xEnd, yEnd); when both radials coincide, the whole ellipse. Arc draws that
// part of the outline; Pie the wedge with its two radial lines; Chord the segment cut off by the line
// between the points where the radials meet the ellipse.
BOOL Arc(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
BOOL Pie(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
BOOL Chord(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);

// ---- system colours ----
// The colour of a COLOR_ index in the classic scheme (button face light grey, window white, active
// caption navy, ...); 0 for an unknown index.
DWORD GetSysColor(int index);
// A solid brush of a system colour, owned by the system (DeleteObject leaves it alone); 0 for an unknown
// index.
HBRUSH GetSysColorBrush(int index);

// ---- fonts and text (UTF-8) ----
HFONT CreateFontIndirectA(const LOGFONTA* font);
BOOL GetTextExtentPoint32A(HDC hdc, const char* text, int count, SIZE* size);
BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* metrics);
// Draws in the text colour at the reference point given by the text alignment; in OPAQUE mode the
// text's cell is filled with the background colour first. Text ignores the mix mode.
BOOL TextOutA(HDC hdc, int x, int y, const char* text, int count);
// ETO_OPAQUE fills rect with the background colour; ETO_CLIPPED keeps the text inside rect.
BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, const char* text, UINT count,
                 const int* dx);
// Text in a rectangle: single or several lines (cut at line breaks, and at spaces with DT_WORDBREAK),
// aligned, shortened with "..." at the end or in the middle of a path, '&' prefixes removed (the next
// character underlined) unless DT_NOPREFIX, clipped to the rectangle unless DT_NOCLIP. DT_CALCRECT only
// measures: the rectangle is widened or narrowed to the text. Returns the height of the text (with
// DT_VCENTER or DT_BOTTOM the offset of its bottom from the rectangle's top), 0 on failure.
int DrawTextA(HDC hdc, const char* text, int count, RECT* rect, UINT format);
// DrawTextA that, with DT_MODIFYSTRING and an ellipsis format, copies the first line as shown back into
// text, which must have room for count + 4 bytes (the text is cut at a character to fit). The parameters
// record (tab stops, margins) is not used.
int DrawTextExA(HDC hdc, char* text, int count, RECT* rect, UINT format, const void* params);

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
// A device bitmap of 1 (monochrome), 4, 8, 16, 24 or 32 bits, filled from bits when given: rows top
// down, each padded to an even number of bytes.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
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
