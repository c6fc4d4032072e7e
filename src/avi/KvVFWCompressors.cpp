// The installable-compressor helpers of the binding: each sends one ICM_ message with the parameters
// its SDK macro passes, the parameter blocks filled from the arguments and sent with their size.
#include "avi/KvVFW.h"

namespace kv {

using namespace win;

namespace {

constexpr BOOL kTrue = -1;

DWORD_PTR ptr(const void* p) {
    return reinterpret_cast<DWORD_PTR>(p);
}

LRESULT send(HIC hic, UINT msg, DWORD_PTR dw1 = 0, DWORD_PTR dw2 = 0) {
    return ICSendMessage(hic, msg, dw1, dw2);
}

ICDECOMPRESSEX decompressEx(DWORD flags, LPBITMAPINFOHEADER lpbiSrc, LPVOID lpSrc, int xSrc, int ySrc,
                            int dxSrc, int dySrc, LPBITMAPINFOHEADER lpbiDst, LPVOID lpDst, int xDst,
                            int yDst, int dxDst, int dyDst) {
    ICDECOMPRESSEX ic{};
    ic.dwFlags = flags;
    ic.lpbiSrc = lpbiSrc;
    ic.lpSrc = lpSrc;
    ic.xSrc = xSrc;
    ic.ySrc = ySrc;
    ic.dxSrc = dxSrc;
    ic.dySrc = dySrc;
    ic.lpbiDst = lpbiDst;
    ic.lpDst = lpDst;
    ic.xDst = xDst;
    ic.yDst = yDst;
    ic.dxDst = dxDst;
    ic.dyDst = dyDst;
    return ic;
}

// The driver writes one DWORD into the value; when it does not answer, the value stays 0 rather than
// whatever the stack held.
DWORD askValue(HIC hic, UINT msg) {
    DWORD value = 0;
    send(hic, msg, ptr(&value), sizeof(DWORD));
    return value;
}

} // namespace

BOOL ICQueryAbout(HIC hic) {
    return send(hic, ICM_ABOUT, DWORD_PTR(-1), ICMF_ABOUT_QUERY) == ICERR_OK ? kTrue : FALSE;
}

LRESULT ICAbout(HIC hic, HWND hwnd) {
    return send(hic, ICM_ABOUT, ptr(hwnd), 0);
}

BOOL ICQueryConfigure(HIC hic) {
    return send(hic, ICM_CONFIGURE, DWORD_PTR(-1), ICMF_CONFIGURE_QUERY) == ICERR_OK ? kTrue : FALSE;
}

LRESULT ICConfigure(HIC hic, HWND hwnd) {
    return send(hic, ICM_CONFIGURE, ptr(hwnd), 0);
}

LRESULT ICGetState(HIC hic, LPVOID pv, DWORD cb) {
    return send(hic, ICM_GETSTATE, ptr(pv), cb);
}

LRESULT ICSetState(HIC hic, LPVOID pv, DWORD cb) {
    return send(hic, ICM_SETSTATE, ptr(pv), cb);
}

DWORD ICGetStateSize(HIC hic) {
    return DWORD(ICGetState(hic, nullptr, 0));
}

DWORD ICGetDefaultQuality(HIC hic) {
    return askValue(hic, ICM_GETDEFAULTQUALITY);
}

DWORD ICGetDefaultKeyFrameRate(HIC hic) {
    return askValue(hic, ICM_GETDEFAULTKEYFRAMERATE);
}

LRESULT ICDrawWindow(HIC hic, RECT* prc) {
    return send(hic, ICM_DRAW_WINDOW, ptr(prc), sizeof(RECT));
}

LRESULT ICCompressBegin(HIC hic, LPBITMAPINFOHEADER lpbiInput, LPBITMAPINFOHEADER lpbiOutput) {
    return send(hic, ICM_COMPRESS_BEGIN, ptr(lpbiInput), ptr(lpbiOutput));
}

LRESULT ICCompressQuery(HIC hic, LPBITMAPINFOHEADER lpbiInput, LPBITMAPINFOHEADER lpbiOutput) {
    return send(hic, ICM_COMPRESS_QUERY, ptr(lpbiInput), ptr(lpbiOutput));
}

LRESULT ICCompressGetFormat(HIC hic, LPBITMAPINFOHEADER lpbiInput, LPBITMAPINFOHEADER lpbiOutput) {
    return send(hic, ICM_COMPRESS_GET_FORMAT, ptr(lpbiInput), ptr(lpbiOutput));
}

DWORD ICCompressGetFormatSize(HIC hic, LPBITMAPINFOHEADER lpbi) {
    return DWORD(ICCompressGetFormat(hic, lpbi, nullptr));
}

DWORD ICCompressGetSize(HIC hic, LPBITMAPINFOHEADER lpbiInput, LPBITMAPINFOHEADER lpbiOutput) {
    return DWORD(send(hic, ICM_COMPRESS_GET_SIZE, ptr(lpbiInput), ptr(lpbiOutput)));
}

LRESULT ICCompressEnd(HIC hic) {
    return send(hic, ICM_COMPRESS_END);
}

LRESULT ICDecompressBegin(HIC hic, LPBITMAPINFOHEADER lpbiInput, LPBITMAPINFOHEADER lpbiOutput) {
    return send(hic, ICM_DECOMPRESS_BEGIN, ptr(lpbiInput), ptr(lpbiOutput));
}

LRESULT ICDecompressQuery(HIC hic, LPBITMAPINFOHEADER lpbiInput, LPBITMAPINFOHEADER lpbiOutput) {
    return send(hic, ICM_DECOMPRESS_QUERY, ptr(lpbiInput), ptr(lpbiOutput));
}

LRESULT ICDecompressGetFormat(HIC hic, LPBITMAPINFOHEADER lpbiInput, LPBITMAPINFOHEADER lpbiOutput) {
    return send(hic, ICM_DECOMPRESS_GET_FORMAT, ptr(lpbiInput), ptr(lpbiOutput));
}

LONG ICDecompressGetFormatSize(HIC hic, LPBITMAPINFOHEADER lpbi) {
    return LONG(ICDecompressGetFormat(hic, lpbi, nullptr));
}

LRESULT ICDecompressGetPalette(HIC hic, LPBITMAPINFOHEADER lpbiInput, LPBITMAPINFOHEADER lpbiOutput) {
    return send(hic, ICM_DECOMPRESS_GET_PALETTE, ptr(lpbiInput), ptr(lpbiOutput));
}

LRESULT ICDecompressSetPalette(HIC hic, LPBITMAPINFOHEADER lpbiPalette) {
    return send(hic, ICM_DECOMPRESS_SET_PALETTE, ptr(lpbiPalette), 0);
}

LRESULT ICDecompressEnd(HIC hic) {
    return send(hic, ICM_DECOMPRESS_END);
}

LRESULT ICDecompressEx(HIC hic, DWORD dwFlags, LPBITMAPINFOHEADER lpbiSrc, LPVOID lpSrc, int xSrc, int ySrc,
                       int dxSrc, int dySrc, LPBITMAPINFOHEADER lpbiDst, LPVOID lpDst, int xDst, int yDst,
                       int dxDst, int dyDst) {
    ICDECOMPRESSEX ic = decompressEx(dwFlags, lpbiSrc, lpSrc, xSrc, ySrc, dxSrc, dySrc, lpbiDst, lpDst, xDst,
                                     yDst, dxDst, dyDst);
    return send(hic, ICM_DECOMPRESSEX, ptr(&ic), sizeof ic);
}

LRESULT ICDecompressExBegin(HIC hic, DWORD dwFlags, LPBITMAPINFOHEADER lpbiSrc, LPVOID lpSrc, int xSrc,
                            int ySrc, int dxSrc, int dySrc, LPBITMAPINFOHEADER lpbiDst, LPVOID lpDst,
                            int xDst, int yDst, int dxDst, int dyDst) {
    ICDECOMPRESSEX ic = decompressEx(dwFlags, lpbiSrc, lpSrc, xSrc, ySrc, dxSrc, dySrc, lpbiDst, lpDst, xDst,
                                     yDst, dxDst, dyDst);
    return send(hic, ICM_DECOMPRESSEX_BEGIN, ptr(&ic), sizeof ic);
}

LRESULT ICDecompressExQuery(HIC hic, DWORD dwFlags, LPBITMAPINFOHEADER lpbiSrc, LPVOID lpSrc, int xSrc,
                            int ySrc, int dxSrc, int dySrc, LPBITMAPINFOHEADER lpbiDst, LPVOID lpDst,
                            int xDst, int yDst, int dxDst, int dyDst) {
    ICDECOMPRESSEX ic = decompressEx(dwFlags, lpbiSrc, lpSrc, xSrc, ySrc, dxSrc, dySrc, lpbiDst, lpDst, xDst,
                                     yDst, dxDst, dyDst);
    return send(hic, ICM_DECOMPRESSEX_QUERY, ptr(&ic), sizeof ic);
}

LRESULT ICDecompressExEnd(HIC hic) {
    return send(hic, ICM_DECOMPRESSEX_END);
}

LRESULT ICDrawSuggestFormat(HIC hic, LPBITMAPINFOHEADER lpbiIn, LPBITMAPINFOHEADER lpbiOut, int dxSrc,
                            int dySrc, int dxDst, int dyDst, HIC hicDecomp) {
    ICDRAWSUGGEST ic{};
    ic.lpbiIn = lpbiIn;
    ic.lpbiSuggest = lpbiOut;
    ic.dxSrc = dxSrc;
    ic.dySrc = dySrc;
    ic.dxDst = dxDst;
    ic.dyDst = dyDst;
    ic.hicDecompressor = hicDecomp;
    return send(hic, ICM_DRAW_SUGGESTFORMAT, ptr(&ic), sizeof ic);
}

LRESULT ICDrawQuery(HIC hic, LPBITMAPINFOHEADER lpbiInput) {
    return send(hic, ICM_DRAW_QUERY, ptr(lpbiInput), 0);
}

LRESULT ICDrawChangePalette(HIC hic, LPBITMAPINFOHEADER lpbiInput) {
    return send(hic, ICM_DRAW_CHANGEPALETTE, ptr(lpbiInput), 0);
}

LRESULT ICGetBuffersWanted(HIC hic, LPDWORD lpdwBuffers) {
    return send(hic, ICM_GETBUFFERSWANTED, ptr(lpdwBuffers), 0);
}

LRESULT ICDrawEnd(HIC hic) {
    return send(hic, ICM_DRAW_END);
}

LRESULT ICDrawStart(HIC hic) {
    return send(hic, ICM_DRAW_START);
}

LRESULT ICDrawStartPlay(HIC hic, LONG lFrom, LONG lTo) {
    return send(hic, ICM_DRAW_START_PLAY, DWORD_PTR(lFrom), DWORD_PTR(lTo));
}

LRESULT ICDrawStop(HIC hic) {
    return send(hic, ICM_DRAW_STOP);
}

LRESULT ICDrawStopPlay(HIC hic) {
    return send(hic, ICM_DRAW_STOP_PLAY);
}

LRESULT ICDrawGetTime(HIC hic, LONG* lplTime) {
    return send(hic, ICM_DRAW_GETTIME, ptr(lplTime), 0);
}

LRESULT ICDrawSetTime(HIC hic, LONG lTime) {
    return send(hic, ICM_DRAW_SETTIME, DWORD_PTR(lTime), 0);
}

LRESULT ICDrawRealize(HIC hic, HDC hdc, BOOL fBackground) {
    return send(hic, ICM_DRAW_REALIZE, ptr(hdc), DWORD_PTR(fBackground));
}

LRESULT ICDrawFlush(HIC hic) {
    return send(hic, ICM_DRAW_FLUSH);
}

LRESULT ICDrawRenderBuffer(HIC hic) {
    return send(hic, ICM_DRAW_RENDERBUFFER);
}

LRESULT ICSetStatusProc(HIC hic, DWORD dwFlags, LPARAM lParam, ICSTATUSPROC fpfnStatus) {
    ICSETSTATUSPROC ic{};
    ic.dwFlags = dwFlags;
    ic.lParam = lParam;
    ic.Status = fpfnStatus;
    return send(hic, ICM_SET_STATUS_PROC, ptr(&ic), sizeof ic);
}

HIC ICDecompressOpen(DWORD fccType, DWORD fccHandler, LPBITMAPINFOHEADER lpbiIn, LPBITMAPINFOHEADER lpbiOut) {
    return ICLocate(fccType, fccHandler, lpbiIn, lpbiOut, ICMODE_DECOMPRESS);
}

HIC ICDrawOpen(DWORD fccType, DWORD fccHandler, LPBITMAPINFOHEADER lpbiIn) {
    return ICLocate(fccType, fccHandler, lpbiIn, nullptr, ICMODE_DRAW);
}

} // namespace kv
