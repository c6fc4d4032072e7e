// The library's binding of the video interfaces: the records under the library's names and the helper
// macros of the video SDK header as ordinary functions over the AVIFile, installable-compressor,
// DrawDib, MCI window and capture window calls. Boolean results are -1 (all bits set) for true, 0 for
// false.
#pragma once

#include "platform/vfw/AviSave.h"
#include "platform/vfw/Icm.h"
#include "platform/vfw/Vfw.h"

namespace kv {

// ---- records ----

// ---- FOURCC and chunk ids ----

// ---- stream positions and times ----

// ---- installable compressors ----
// Each sends its ICM_ message with the parameters as the SDK header's macro of the same name does.

// True (-1) when the driver has an about box / a configuration dialog (asked with -1 and the query flag).
win::BOOL ICQueryAbout(win::HIC hic);
win::LRESULT ICAbout(win::HIC hic, win::HWND hwnd);
win::BOOL ICQueryConfigure(win::HIC hic);
win::LRESULT ICConfigure(win::HIC hic, win::HWND hwnd);
win::LRESULT ICGetState(win::HIC hic, win::LPVOID pv, win::DWORD cb);
win::LRESULT ICSetState(win::HIC hic, win::LPVOID pv, win::DWORD cb);
win::DWORD ICGetStateSize(win::HIC hic);
// The value the driver wrote; 0 when it wrote none.
win::DWORD ICGetDefaultQuality(win::HIC hic);
win::DWORD ICGetDefaultKeyFrameRate(win::HIC hic);
win::LRESULT ICDrawWindow(win::HIC hic, win::RECT* prc);
win::LRESULT ICCompressBegin(win::HIC hic, win::LPBITMAPINFOHEADER lpbiInput, win::LPBITMAPINFOHEADER lpbiOutput);
win::LRESULT ICCompressQuery(win::HIC hic, win::LPBITMAPINFOHEADER lpbiInput, win::LPBITMAPINFOHEADER lpbiOutput);
win::LRESULT ICCompressGetFormat(win::HIC hic, win::LPBITMAPINFOHEADER lpbiInput,
                                 win::LPBITMAPINFOHEADER lpbiOutput);
win::DWORD ICCompressGetFormatSize(win::HIC hic, win::LPBITMAPINFOHEADER lpbi);
win::DWORD ICCompressGetSize(win::HIC hic, win::LPBITMAPINFOHEADER lpbiInput, win::LPBITMAPINFOHEADER lpbiOutput);
win::LRESULT ICCompressEnd(win::HIC hic);
win::LRESULT ICDecompressBegin(win::HIC hic, win::LPBITMAPINFOHEADER lpbiInput, win::LPBITMAPINFOHEADER lpbiOutput);
win::LRESULT ICDecompressQuery(win::HIC hic, win::LPBITMAPINFOHEADER lpbiInput, win::LPBITMAPINFOHEADER lpbiOutput);
win::LRESULT ICDecompressGetFormat(win::HIC hic, win::LPBITMAPINFOHEADER lpbiInput,
                                   win::LPBITMAPINFOHEADER lpbiOutput);
win::LONG ICDecompressGetFormatSize(win::HIC hic, win::LPBITMAPINFOHEADER lpbi);
win::LRESULT ICDecompressGetPalette(win::HIC hic, win::LPBITMAPINFOHEADER lpbiInput,
                                    win::LPBITMAPINFOHEADER lpbiOutput);
win::LRESULT ICDecompressSetPalette(win::HIC hic, win::LPBITMAPINFOHEADER lpbiPalette);
win::LRESULT ICDecompressEnd(win::HIC hic);
win::LRESULT ICDecompressEx(win::HIC hic, win::DWORD dwFlags, win::LPBITMAPINFOHEADER lpbiSrc, win::LPVOID lpSrc,
                            int xSrc, int ySrc, int dxSrc, int dySrc, win::LPBITMAPINFOHEADER lpbiDst,
                            win::LPVOID lpDst, int xDst, int yDst, int dxDst, int dyDst);
win::LRESULT ICDecompressExBegin(win::HIC hic, win::DWORD dwFlags, win::LPBITMAPINFOHEADER lpbiSrc,
                                 win::LPVOID lpSrc, int xSrc, int ySrc, int dxSrc, int dySrc,
                                 win::LPBITMAPINFOHEADER lpbiDst, win::LPVOID lpDst, int xDst, int yDst, int dxDst,
                                 int dyDst);
win::LRESULT ICDecompressExQuery(win::HIC hic, win::DWORD dwFlags, win::LPBITMAPINFOHEADER lpbiSrc,
                                 win::LPVOID lpSrc, int xSrc, int ySrc, int dxSrc, int dySrc,
                                 win::LPBITMAPINFOHEADER lpbiDst, win::LPVOID lpDst, int xDst, int yDst, int dxDst,
                                 int dyDst);
win::LRESULT ICDecompressExEnd(win::HIC hic);
win::LRESULT ICDrawSuggestFormat(win::HIC hic, win::LPBITMAPINFOHEADER lpbiIn, win::LPBITMAPINFOHEADER lpbiOut,
                                 int dxSrc, int dySrc, int dxDst, int dyDst, win::HIC hicDecomp);
win::LRESULT ICDrawQuery(win::HIC hic, win::LPBITMAPINFOHEADER lpbiInput);
win::LRESULT ICDrawChangePalette(win::HIC hic, win::LPBITMAPINFOHEADER lpbiInput);
win::LRESULT ICGetBuffersWanted(win::HIC hic, win::LPDWORD lpdwBuffers);
win::LRESULT ICDrawEnd(win::HIC hic);
win::LRESULT ICDrawStart(win::HIC hic);
win::LRESULT ICDrawStartPlay(win::HIC hic, win::LONG lFrom, win::LONG lTo);
win::LRESULT ICDrawStop(win::HIC hic);
win::LRESULT ICDrawStopPlay(win::HIC hic);
win::LRESULT ICDrawGetTime(win::HIC hic, win::LONG* lplTime);
win::LRESULT ICDrawSetTime(win::HIC hic, win::LONG lTime);
win::LRESULT ICDrawRealize(win::HIC hic, win::HDC hdc, win::BOOL fBackground);
win::LRESULT ICDrawFlush(win::HIC hic);
win::LRESULT ICDrawRenderBuffer(win::HIC hic);
win::LRESULT ICSetStatusProc(win::HIC hic, win::DWORD dwFlags, win::LPARAM lParam, win::ICSTATUSPROC fpfnStatus);
win::HIC ICDecompressOpen(win::DWORD fccType, win::DWORD fccHandler, win::LPBITMAPINFOHEADER lpbiIn,
                          win::LPBITMAPINFOHEADER lpbiOut);
win::HIC ICDrawOpen(win::DWORD fccType, win::DWORD fccHandler, win::LPBITMAPINFOHEADER lpbiIn);

// ---- DrawDib ----

// ---- MCI window ----

// ---- capture window ----

} // namespace kv
