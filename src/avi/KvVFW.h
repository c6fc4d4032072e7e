// The library's binding of the video interfaces: the records under the library's names and the helper
// macros of the video SDK header as ordinary functions over the AVIFile, installable-compressor,
// DrawDib, MCI window and capture window calls. Boolean results are -1 (all bits set) for true, 0 for
// false.
#pragma once

#include "platform/ui/WindowMessages.h"
#include "platform/vfw/AviInfoWide.h"
#include "platform/vfw/AviSave.h"
#include "platform/vfw/Capture.h"
#include "platform/vfw/DrawDib.h"
#include "platform/vfw/Icm.h"
#include "platform/vfw/MciWindow.h"
#include "platform/vfw/Vfw.h"

#include <cstddef>

namespace kv {

// ---- records ----

using TAVISTREAMINFOA = win::AVISTREAMINFOA;
using TAVISTREAMINFOW = win::AVISTREAMINFOW;
using TAVIFILEINFOW = win::AVIFILEINFOW;
using TAVIFILEINFOA = win::AVIFILEINFOA;
using TAVICOMPRESSOPTIONS = win::AVICOMPRESSOPTIONS;
using TVIDEOHDR = win::VIDEOHDR;
using TCAPDRIVERCAPS = win::CAPDRIVERCAPS;
using TCAPSTATUS = win::CAPSTATUS;
using TCAPTUREPARMS = win::CAPTUREPARMS;
using TCAPINFOCHUNK = win::CAPINFOCHUNK;

// The compression options in memory: the 64-bit layout, with the two pointers 8-byte aligned.
static_assert(sizeof(TAVICOMPRESSOPTIONS) == 56);
static_assert(offsetof(TAVICOMPRESSOPTIONS, lpFormat) == 24);
static_assert(offsetof(TAVICOMPRESSOPTIONS, cbFormat) == 32);
static_assert(offsetof(TAVICOMPRESSOPTIONS, lpParms) == 40);
static_assert(offsetof(TAVICOMPRESSOPTIONS, cbParms) == 48);
static_assert(offsetof(TAVICOMPRESSOPTIONS, dwInterleaveEvery) == 52);

// ---- FOURCC and chunk ids ----

constexpr win::FOURCC MKFOURCC(char a, char b, char c, char d) {
    return win::mmioFOURCC(a, b, c, d);
}
using win::mmioFOURCC;
constexpr win::WORD aviTWOCC(char a, char b) {
    return win::WORD(win::BYTE(a) | (win::BYTE(b) << 8));
}
// The hex digit of 0..15, upper case.
constexpr win::BYTE ToHex(int n) {
    return win::BYTE(n > 9 ? n - 10 + 'A' : n + '0');
}
// The value of an upper-case hex digit.
constexpr int FromHex(win::BYTE c) {
    return c >= 'A' ? c + 10 - 'A' : c - '0';
}
// The chunk id of stream `stream` (0..255): two hex digits, then the two-character code.
constexpr win::FOURCC MAKEAVICKID(win::WORD twocc, int stream) {
    const win::WORD digits = win::WORD((ToHex(stream & 0x0F) << 8) | ToHex((stream & 0xF0) >> 4));
    return win::FOURCC(digits) | (win::FOURCC(twocc) << 16);
}
constexpr win::WORD StreamFromFOURCC(win::FOURCC fcc) {
    return win::WORD((FromHex(win::BYTE(fcc)) << 4) + FromHex(win::BYTE(fcc >> 8)));
}
constexpr win::WORD TWOCCFromFOURCC(win::FOURCC fcc) {
    return win::WORD(fcc >> 16);
}

// ---- stream positions and times ----

using win::AVIStreamDataSize;
using win::AVIStreamEnd;
using win::AVIStreamEndTime;
using win::AVIStreamFormatSize;
using win::AVIStreamLengthTime;
using win::AVIStreamNearestKeyFrame;
using win::AVIStreamNearestKeyFrameTime;
using win::AVIStreamNearestSample;
using win::AVIStreamNearestSampleTime;
using win::AVIStreamNextKeyFrame;
using win::AVIStreamNextKeyFrameTime;
using win::AVIStreamNextSample;
using win::AVIStreamNextSampleTime;
using win::AVIStreamPrevKeyFrame;
using win::AVIStreamPrevKeyFrameTime;
using win::AVIStreamPrevSample;
using win::AVIStreamPrevSampleTime;
using win::AVIStreamSampleSize;
using win::AVIStreamSampleToSample;
using win::AVIStreamStartTime;
// -1 when pos is a key frame (its nearest key frame is itself), else 0. Call it qualified
// (kv::AVIStreamIsKeyFrame): for a platform stream argument, an unqualified call also finds the platform's
// own form (true/false) and is ambiguous.
inline win::BOOL AVIStreamIsKeyFrame(win::PAVISTREAM stream, win::LONG pos) {
    return win::AVIStreamIsKeyFrame(stream, pos) ? -1 : 0;
}

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

// Draws the picture that the last DrawDibDraw of hdd drew, again, at (x, y) in dc.
win::BOOL DrawDibUpdate(win::HDRAWDIB hdd, win::HDC dc, int x, int y);

// ---- MCI window ----
// Messages to an MCI window; the dialog forms pass -1 as the file name.

win::LRESULT MCIWndSM(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
win::BOOL MCIWndCanPlay(win::HWND window);
win::BOOL MCIWndCanRecord(win::HWND window);
win::BOOL MCIWndCanSave(win::HWND window);
win::BOOL MCIWndCanWindow(win::HWND window);
win::BOOL MCIWndCanEject(win::HWND window);
win::BOOL MCIWndCanConfig(win::HWND window);
win::BOOL MCIWndPaletteKick(win::HWND window);
win::LONG MCIWndSave(win::HWND window, win::LPCSTR file);
win::LONG MCIWndSaveDialog(win::HWND window);
win::LONG MCIWndNew(win::HWND window, win::LPCSTR device);
win::LONG MCIWndRecord(win::HWND window);
win::LONG MCIWndOpen(win::HWND window, win::LPCSTR file, win::UINT flags);
win::LONG MCIWndOpenDialog(win::HWND window);
win::LONG MCIWndClose(win::HWND window);
win::LONG MCIWndPlay(win::HWND window);
win::LONG MCIWndStop(win::HWND window);
win::LONG MCIWndPause(win::HWND window);
win::LONG MCIWndResume(win::HWND window);
win::LONG MCIWndSeek(win::HWND window, win::LONG pos);
win::LONG MCIWndEject(win::HWND window);
win::LONG MCIWndHome(win::HWND window);
win::LONG MCIWndEnd(win::HWND window);
win::LONG MCIWndGetSource(win::HWND window, win::RECT* rect);
win::LONG MCIWndPutSource(win::HWND window, win::RECT* rect);
win::LONG MCIWndGetDest(win::HWND window, win::RECT* rect);
win::LONG MCIWndPutDest(win::HWND window, win::RECT* rect);
win::LONG MCIWndPlayReverse(win::HWND window);
win::LONG MCIWndPlayFrom(win::HWND window, win::LONG pos);
win::LONG MCIWndPlayTo(win::HWND window, win::LONG pos);
// Seeks to start, then plays to end; the answer of the play.
win::LONG MCIWndPlayFromTo(win::HWND window, win::LONG start, win::LONG end);
win::UINT MCIWndGetDeviceID(win::HWND window);
win::UINT MCIWndGetAlias(win::HWND window);
win::LONG MCIWndGetMode(win::HWND window, win::LPSTR buffer, win::UINT size);
win::LONG MCIWndGetPosition(win::HWND window);
win::LONG MCIWndGetPositionString(win::HWND window, win::LPSTR buffer, win::UINT size);
win::LONG MCIWndGetStart(win::HWND window);
win::LONG MCIWndGetLength(win::HWND window);
win::LONG MCIWndGetEnd(win::HWND window);
win::LONG MCIWndStep(win::HWND window, win::LONG n);
void MCIWndDestroy(win::HWND window);
void MCIWndSetZoom(win::HWND window, win::UINT zoom);
win::UINT MCIWndGetZoom(win::HWND window);
win::LONG MCIWndSetVolume(win::HWND window, win::UINT volume);
win::LONG MCIWndGetVolume(win::HWND window);
win::LONG MCIWndSetSpeed(win::HWND window, win::UINT speed);
win::LONG MCIWndGetSpeed(win::HWND window);
win::LONG MCIWndSetTimeFormat(win::HWND window, win::LPCSTR format);
win::LONG MCIWndGetTimeFormat(win::HWND window, win::LPSTR buffer, win::UINT size);
void MCIWndValidateMedia(win::HWND window);
void MCIWndSetRepeat(win::HWND window, win::BOOL repeat);
win::BOOL MCIWndGetRepeat(win::HWND window);
win::LONG MCIWndUseFrames(win::HWND window);
win::LONG MCIWndUseTime(win::HWND window);
void MCIWndSetActiveTimer(win::HWND window, win::UINT active);
void MCIWndSetInactiveTimer(win::HWND window, win::UINT inactive);
void MCIWndSetTimers(win::HWND window, win::UINT active, win::UINT inactive);
win::UINT MCIWndGetActiveTimer(win::HWND window);
win::UINT MCIWndGetInactiveTimer(win::HWND window);
win::LONG MCIWndRealize(win::HWND window, win::BOOL background);
win::LONG MCIWndSendString(win::HWND window, win::LPCSTR command);
win::LONG MCIWndReturnString(win::HWND window, win::LPSTR buffer, win::UINT size);
win::LONG MCIWndGetError(win::HWND window, win::LPSTR buffer, win::UINT size);
win::HPALETTE MCIWndGetPalette(win::HWND window);
win::LONG MCIWndSetPalette(win::HWND window, win::HPALETTE palette);
win::LONG MCIWndGetFileName(win::HWND window, win::LPSTR buffer, win::UINT size);
win::LONG MCIWndGetDevice(win::HWND window, win::LPSTR buffer, win::UINT size);
win::UINT MCIWndGetStyles(win::HWND window);
win::LONG MCIWndChangeStyles(win::HWND window, win::UINT mask, win::LONG value);
win::LONG MCIWndOpenInterface(win::HWND window, void* unknown);
win::LONG MCIWndSetOwner(win::HWND window, win::HWND owner);

// ---- capture window ----
// Messages to a capture window; AVICapSM sends nothing to a handle that is no window and answers 0.

win::LRESULT AVICapSM(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
win::BOOL capSetCallbackOnError(win::HWND window, win::CAPERRORCALLBACK proc);
win::BOOL capSetCallbackOnStatus(win::HWND window, win::CAPSTATUSCALLBACK proc);
win::BOOL capSetCallbackOnYield(win::HWND window, win::CAPYIELDCALLBACK proc);
win::BOOL capSetCallbackOnFrame(win::HWND window, win::CAPVIDEOCALLBACK proc);
win::BOOL capSetCallbackOnVideoStream(win::HWND window, win::CAPVIDEOCALLBACK proc);
win::BOOL capSetCallbackOnWaveStream(win::HWND window, win::CAPWAVECALLBACK proc);
win::BOOL capSetCallbackOnCapControl(win::HWND window, win::CAPCONTROLCALLBACK proc);
win::BOOL capSetUserData(win::HWND window, win::LPARAM user);
win::LRESULT capGetUserData(win::HWND window);
win::BOOL capDriverConnect(win::HWND window, win::WPARAM index);
win::BOOL capDriverDisconnect(win::HWND window);
win::BOOL capDriverGetName(win::HWND window, win::LPSTR name, win::WPARAM size);
win::BOOL capDriverGetVersion(win::HWND window, win::LPSTR version, win::WPARAM size);
win::BOOL capDriverGetCaps(win::HWND window, TCAPDRIVERCAPS* caps, win::WPARAM size);
win::BOOL capFileSetCaptureFile(win::HWND window, win::LPCSTR name);
win::BOOL capFileGetCaptureFile(win::HWND window, win::LPSTR name, win::WPARAM size);
win::BOOL capFileAlloc(win::HWND window, win::DWORD size);
win::BOOL capFileSaveAs(win::HWND window, win::LPCSTR name);
win::BOOL capFileSetInfoChunk(win::HWND window, TCAPINFOCHUNK* chunk);
win::BOOL capFileSaveDIB(win::HWND window, win::LPCSTR name);
win::BOOL capEditCopy(win::HWND window);
win::BOOL capSetAudioFormat(win::HWND window, win::WAVEFORMATEX* format, win::WPARAM size);
win::DWORD capGetAudioFormat(win::HWND window, win::WAVEFORMATEX* format, win::WPARAM size);
win::DWORD capGetAudioFormatSize(win::HWND window);
win::BOOL capDlgVideoFormat(win::HWND window);
win::BOOL capDlgVideoSource(win::HWND window);
win::BOOL capDlgVideoDisplay(win::HWND window);
win::BOOL capDlgVideoCompression(win::HWND window);
win::DWORD capGetVideoFormat(win::HWND window, void* format, win::WPARAM size);
win::DWORD capGetVideoFormatSize(win::HWND window);
win::BOOL capSetVideoFormat(win::HWND window, void* format, win::WPARAM size);
win::BOOL capPreview(win::HWND window, win::BOOL on);
win::BOOL capPreviewRate(win::HWND window, win::WPARAM ms);
win::BOOL capOverlay(win::HWND window, win::BOOL on);
win::BOOL capPreviewScale(win::HWND window, win::BOOL on);
win::BOOL capGetStatus(win::HWND window, TCAPSTATUS* status, win::WPARAM size);
win::BOOL capSetScrollPos(win::HWND window, win::POINT* pos);
win::BOOL capGrabFrame(win::HWND window);
win::BOOL capGrabFrameNoStop(win::HWND window);
win::BOOL capCaptureSequence(win::HWND window);
win::BOOL capCaptureSequenceNoFile(win::HWND window);
win::BOOL capCaptureStop(win::HWND window);
win::BOOL capCaptureAbort(win::HWND window);
win::BOOL capCaptureSingleFrameOpen(win::HWND window);
win::BOOL capCaptureSingleFrameClose(win::HWND window);
win::BOOL capCaptureSingleFrame(win::HWND window);
win::BOOL capCaptureGetSetup(win::HWND window, TCAPTUREPARMS* parms, win::WPARAM size);
win::BOOL capCaptureSetSetup(win::HWND window, TCAPTUREPARMS* parms, win::WPARAM size);
win::BOOL capSetMCIDeviceName(win::HWND window, win::LPCSTR name);
win::BOOL capGetMCIDeviceName(win::HWND window, win::LPSTR name, win::WPARAM size);
win::BOOL capPaletteOpen(win::HWND window, win::LPCSTR name);
win::BOOL capPaletteSave(win::HWND window, win::LPCSTR name);
win::BOOL capPalettePaste(win::HWND window);
win::BOOL capPaletteAuto(win::HWND window, win::WPARAM frames, win::DWORD colors);
win::BOOL capPaletteManual(win::HWND window, win::BOOL grab, win::DWORD colors);

} // namespace kv
