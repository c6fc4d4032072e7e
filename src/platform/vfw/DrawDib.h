// DrawDib: draws DIBs into device contexts, stretched as asked, and keeps the last picture so that it can
// be drawn again (DDF_UPDATE) without the caller's bits. It draws uncompressed DIBs of 1 to 32 bits
// (BI_RGB, and BI_BITFIELDS at 16 and 32 bits) and BI_RLE8; a run-length frame of the same size draws
// over the picture before it. A handle is used by one thread at a time.
#pragma once

#include "platform/gdi/Gdi.h"
#include "platform/win/WinTypes.h"

namespace win {

struct HDRAWDIB__;
using HDRAWDIB = HDRAWDIB__*;

constexpr UINT DDF_UPDATE = 0x0002;        // draw the kept picture again; format and bits are not used
constexpr UINT DDF_SAME_HDC = 0x0004;      // hints that the DC is the one of the last call
constexpr UINT DDF_SAME_DRAW = 0x0008;     // hints that the format and sizes are those of the last call
constexpr UINT DDF_DONTDRAW = 0x0010;      // take the picture in but do not draw it
constexpr UINT DDF_ANIMATE = 0x0020;       // palette animation (no effect here)
constexpr UINT DDF_BUFFER = 0x0040;        // buffer the picture (it always is)
constexpr UINT DDF_JUSTDRAWIT = 0x0080;    // draw through the GDI (it always does)
constexpr UINT DDF_FULLSCREEN = 0x0100;    // not supported; ignored
constexpr UINT DDF_BACKGROUNDPAL = 0x0200; // realize the palette in the background (no effect here)
constexpr UINT DDF_NOTKEYFRAME = 0x0400;   // hints that the frame depends on the one before
constexpr UINT DDF_HURRYUP = 0x0800;       // the picture may be dropped (it is drawn all the same)
constexpr UINT DDF_HALFTONE = 0x1000;      // halftone stretching (nearest pixels are used)
constexpr UINT DDF_PREROLL = DDF_DONTDRAW;
constexpr UINT DDF_SAME_DIB = DDF_SAME_DRAW;
constexpr UINT DDF_SAME_SIZE = DDF_SAME_DRAW;

HDRAWDIB DrawDibOpen();
// Frees the handle and the picture it keeps; FALSE for a handle that is not open.
BOOL DrawDibClose(HDRAWDIB hdd);
// Checks that the format can be drawn and takes the destination size for the draws that give none;
// FALSE for a format it cannot draw.
BOOL DrawDibBegin(HDRAWDIB hdd, HDC hdc, int dxDst, int dyDst, LPBITMAPINFOHEADER lpbi, int dxSrc, int dySrc,
                  UINT flags);
// Lets go of the kept picture.
BOOL DrawDibEnd(HDRAWDIB hdd);

// Draws the source rectangle (from the top left corner of the picture) of the DIB lpbi / lpBits into the
// destination rectangle of hdc. lpBits nullptr: the bits follow the colour table. A source size of 0 or
// less takes the rest of the picture from (xSrc, ySrc); a destination size of 0 or less takes the source
// size, with DDF_UPDATE the size of the last draw. FALSE for a format it cannot draw, a source rectangle
// outside the picture, DDF_UPDATE without a kept picture, or a failing DC.
BOOL DrawDibDraw(HDRAWDIB hdd, HDC hdc, int xDst, int yDst, int dxDst, int dyDst, LPBITMAPINFOHEADER lpbi,
                 LPVOID lpBits, int xSrc, int ySrc, int dxSrc, int dySrc, UINT wFlags);

} // namespace win
