// The installable compressors: opening, locating and enumerating video compressors and decompressors and
// talking to them with ICM_ messages, with the names, numbers and records of the platform interface.
// The installed drivers are ours: uncompressed DIBs, RLE8, and libavcodec's MJPEG, MPEG-4 Visual, FFV1,
// Huffyuv and (when the library has an encoder for it) H.264. Further drivers can be installed as a
// driver procedure with ICInstall.
#pragma once

#include "platform/win/WinTypes.h"

namespace win {

// Handles of open compressors and of driver instances; distinct types so they cannot be mixed up.
struct HIC__;
struct HDRVR__;
using HIC = HIC__*;
using HDRVR = HDRVR__*;
using WCHAR = char16_t;
using LPDWORD = DWORD*;

constexpr FOURCC ICTYPE_VIDEO = mmioFOURCC('v', 'i', 'd', 'c');
constexpr FOURCC ICTYPE_AUDIO = mmioFOURCC('a', 'u', 'd', 'c');

// Modes of ICOpen and ICLocate.
constexpr UINT ICMODE_COMPRESS = 1;
constexpr UINT ICMODE_DECOMPRESS = 2;
constexpr UINT ICMODE_FASTDECOMPRESS = 3;
constexpr UINT ICMODE_QUERY = 4;
constexpr UINT ICMODE_FASTCOMPRESS = 5;
constexpr UINT ICMODE_DRAW = 8;

// Results of the messages (LRESULT) and of ICCompress / ICDecompress.
constexpr LRESULT ICERR_OK = 0;
constexpr LRESULT ICERR_DONTDRAW = 1;
constexpr LRESULT ICERR_NEWPALETTE = 2;
constexpr LRESULT ICERR_GOTOKEYFRAME = 3;
constexpr LRESULT ICERR_STOPDRAWING = 4;
constexpr LRESULT ICERR_UNSUPPORTED = -1;
constexpr LRESULT ICERR_BADFORMAT = -2;
constexpr LRESULT ICERR_MEMORY = -3;
constexpr LRESULT ICERR_INTERNAL = -4;
constexpr LRESULT ICERR_BADFLAGS = -5;
constexpr LRESULT ICERR_BADPARAM = -6;
constexpr LRESULT ICERR_BADSIZE = -7;
constexpr LRESULT ICERR_BADHANDLE = -8;
constexpr LRESULT ICERR_CANTUPDATE = -9;
constexpr LRESULT ICERR_ABORT = -10;
constexpr LRESULT ICERR_ERROR = -100;
constexpr LRESULT ICERR_BADBITDEPTH = -200;
constexpr LRESULT ICERR_BADIMAGESIZE = -201;
constexpr LRESULT ICERR_CUSTOM = -400;

// Driver messages of the driver procedure (ICInstall with ICINSTALL_FUNCTION).
constexpr UINT DRV_LOAD = 0x0001;
constexpr UINT DRV_ENABLE = 0x0002;
constexpr UINT DRV_OPEN = 0x0003;
constexpr UINT DRV_CLOSE = 0x0004;
constexpr UINT DRV_DISABLE = 0x0005;
constexpr UINT DRV_FREE = 0x0006;
constexpr UINT DRV_USER = 0x4000;

// Message numbers.
constexpr UINT ICM_USER = DRV_USER + 0x0000;
constexpr UINT ICM_RESERVED_LOW = DRV_USER + 0x1000;
constexpr UINT ICM_RESERVED_HIGH = DRV_USER + 0x2000;
constexpr UINT ICM_RESERVED = ICM_RESERVED_LOW;

constexpr UINT ICM_GETSTATE = ICM_RESERVED + 0;
constexpr UINT ICM_SETSTATE = ICM_RESERVED + 1;
constexpr UINT ICM_GETINFO = ICM_RESERVED + 2;
constexpr UINT ICM_CONFIGURE = ICM_RESERVED + 10;
constexpr UINT ICM_ABOUT = ICM_RESERVED + 11;
constexpr UINT ICM_GETERRORTEXT = ICM_RESERVED + 12;
constexpr UINT ICM_GETFORMATNAME = ICM_RESERVED + 20;
constexpr UINT ICM_ENUMFORMATS = ICM_RESERVED + 21;
constexpr UINT ICM_GETDEFAULTQUALITY = ICM_RESERVED + 30;
constexpr UINT ICM_GETQUALITY = ICM_RESERVED + 31;
constexpr UINT ICM_SETQUALITY = ICM_RESERVED + 32;
constexpr UINT ICM_SET = ICM_RESERVED + 40;
constexpr UINT ICM_GET = ICM_RESERVED + 41;

constexpr UINT ICM_COMPRESS_GET_FORMAT = ICM_USER + 4;
constexpr UINT ICM_COMPRESS_GET_SIZE = ICM_USER + 5;
constexpr UINT ICM_COMPRESS_QUERY = ICM_USER + 6;
constexpr UINT ICM_COMPRESS_BEGIN = ICM_USER + 7;
constexpr UINT ICM_COMPRESS = ICM_USER + 8;
constexpr UINT ICM_COMPRESS_END = ICM_USER + 9;
constexpr UINT ICM_DECOMPRESS_GET_FORMAT = ICM_USER + 10;
constexpr UINT ICM_DECOMPRESS_QUERY = ICM_USER + 11;
constexpr UINT ICM_DECOMPRESS_BEGIN = ICM_USER + 12;
constexpr UINT ICM_DECOMPRESS = ICM_USER + 13;
constexpr UINT ICM_DECOMPRESS_END = ICM_USER + 14;
constexpr UINT ICM_DRAW_BEGIN = ICM_USER + 15;
constexpr UINT ICM_DRAW_GET_PALETTE = ICM_USER + 16;
constexpr UINT ICM_DRAW_UPDATE = ICM_USER + 17;
constexpr UINT ICM_DRAW_START = ICM_USER + 18;
constexpr UINT ICM_DRAW_STOP = ICM_USER + 19;
constexpr UINT ICM_DRAW_BITS = ICM_USER + 20;
constexpr UINT ICM_DRAW_END = ICM_USER + 21;
constexpr UINT ICM_DECOMPRESS_SET_PALETTE = ICM_USER + 29;
constexpr UINT ICM_DECOMPRESS_GET_PALETTE = ICM_USER + 30;
constexpr UINT ICM_DRAW_QUERY = ICM_USER + 31;
constexpr UINT ICM_DRAW_GETTIME = ICM_USER + 32;
constexpr UINT ICM_DRAW = ICM_USER + 33;
constexpr UINT ICM_DRAW_WINDOW = ICM_USER + 34;
constexpr UINT ICM_DRAW_SETTIME = ICM_USER + 35;
constexpr UINT ICM_DRAW_REALIZE = ICM_USER + 36;
constexpr UINT ICM_DRAW_FLUSH = ICM_USER + 37;
constexpr UINT ICM_DRAW_RENDERBUFFER = ICM_USER + 38;
constexpr UINT ICM_DRAW_START_PLAY = ICM_USER + 39;
constexpr UINT ICM_DRAW_STOP_PLAY = ICM_USER + 40;
constexpr UINT ICM_GETBUFFERSWANTED = ICM_USER + 41;
constexpr UINT ICM_GETDEFAULTKEYFRAMERATE = ICM_USER + 42;
constexpr UINT ICM_DRAW_SUGGESTFORMAT = ICM_USER + 50;
constexpr UINT ICM_DRAW_CHANGEPALETTE = ICM_USER + 51;
constexpr UINT ICM_DRAW_IDLE = ICM_USER + 52;
constexpr UINT ICM_DECOMPRESSEX_BEGIN = ICM_USER + 60;
constexpr UINT ICM_DECOMPRESSEX_QUERY = ICM_USER + 61;
constexpr UINT ICM_DECOMPRESSEX = ICM_USER + 62;
constexpr UINT ICM_DECOMPRESSEX_END = ICM_USER + 63;
constexpr UINT ICM_COMPRESS_FRAMES_INFO = ICM_USER + 70;
constexpr UINT ICM_COMPRESS_FRAMES = ICM_USER + 71;
constexpr UINT ICM_SET_STATUS_PROC = ICM_USER + 72;

// lParam2 of ICM_ABOUT / ICM_CONFIGURE with -1 as lParam1: only ask whether the dialog exists.
constexpr DWORD ICMF_CONFIGURE_QUERY = 0x00000001;
constexpr DWORD ICMF_ABOUT_QUERY = 0x00000001;

constexpr DWORD ICQUALITY_LOW = 0;
constexpr DWORD ICQUALITY_HIGH = 10000;
constexpr DWORD ICQUALITY_DEFAULT = DWORD(-1);

// ICINFO.dwFlags: what a video compressor supports.
constexpr DWORD VIDCF_QUALITY = 0x0001;
constexpr DWORD VIDCF_CRUNCH = 0x0002;
constexpr DWORD VIDCF_TEMPORAL = 0x0004;
constexpr DWORD VIDCF_COMPRESSFRAMES = 0x0008;
constexpr DWORD VIDCF_DRAW = 0x0010;
constexpr DWORD VIDCF_FASTTEMPORALC = 0x0020;
constexpr DWORD VIDCF_FASTTEMPORALD = 0x0080;
constexpr DWORD VIDCF_QUALITYTIME = 0x0040;

constexpr DWORD ICVERSION = 0x0104;

// Everything a driver tells about itself (ICM_GETINFO, ICInfo). Texts are 16-bit units, NUL-terminated.
struct ICINFO {
    DWORD dwSize; // sizeof(ICINFO)
    DWORD fccType;
    DWORD fccHandler;
    DWORD dwFlags; // VIDCF_*
    DWORD dwVersion;
    DWORD dwVersionICM; // ICVERSION
    WCHAR szName[16];
    WCHAR szDescription[128];
    WCHAR szDriver[128];
};
static_assert(sizeof(ICINFO) == 568);

// ICCOMPRESS.dwFlags
constexpr DWORD ICCOMPRESS_KEYFRAME = 0x00000001;

// Parameter block of ICM_COMPRESS.
struct ICCOMPRESS {
    DWORD dwFlags; // ICCOMPRESS_KEYFRAME: the frame must be a key frame
    LPBITMAPINFOHEADER lpbiOutput;
    LPVOID lpOutput;
    LPBITMAPINFOHEADER lpbiInput;
    LPVOID lpInput;
    LPDWORD lpckid;    // receives the chunk id (may be null)
    LPDWORD lpdwFlags; // receives AVIIF_KEYFRAME for a key frame (may be null)
    LONG lFrameNum;
    DWORD dwFrameSize; // size wanted for the frame, 0 for any
    DWORD dwQuality;
    LPBITMAPINFOHEADER lpbiPrev;
    LPVOID lpPrev;
};

// ICDECOMPRESS.dwFlags and ICDECOMPRESSEX.dwFlags
constexpr DWORD ICDECOMPRESS_HURRYUP = 0x80000000;
constexpr DWORD ICDECOMPRESS_UPDATE = 0x40000000;
constexpr DWORD ICDECOMPRESS_PREROLL = 0x20000000;
constexpr DWORD ICDECOMPRESS_NULLFRAME = 0x10000000;
constexpr DWORD ICDECOMPRESS_NOTKEYFRAME = 0x08000000;

// Parameter block of ICM_DECOMPRESS.
struct ICDECOMPRESS {
    DWORD dwFlags;
    LPBITMAPINFOHEADER lpbiInput; // biSizeImage is the size of this frame's data
    LPVOID lpInput;
    LPBITMAPINFOHEADER lpbiOutput;
    LPVOID lpOutput;
    DWORD ckid;
};

// Parameter block of ICM_DECOMPRESSEX, _BEGIN and _QUERY (52 bytes in the 32-bit layout).
struct ICDECOMPRESSEX {
    DWORD dwFlags;
    LPBITMAPINFOHEADER lpbiSrc;
    LPVOID lpSrc;
    LPBITMAPINFOHEADER lpbiDst;
    LPVOID lpDst;
    int xDst;
    int yDst;
    int dxDst;
    int dyDst;
    int xSrc;
    int ySrc;
    int dxSrc;
    int dySrc;
};

// Parameter block of ICM_DRAW_SUGGESTFORMAT (28 bytes in the 32-bit layout).
struct ICDRAWSUGGEST {
    LPBITMAPINFOHEADER lpbiIn;
    LPBITMAPINFOHEADER lpbiSuggest;
    int dxSrc;
    int dySrc;
    int dxDst;
    int dyDst;
    HIC hicDecompressor;
};

// Status callback of ICM_SET_STATUS_PROC: message is one of ICSTATUS_*; a non-zero answer asks to stop.
constexpr UINT ICSTATUS_START = 0;
constexpr UINT ICSTATUS_STATUS = 1;
constexpr UINT ICSTATUS_END = 2;
constexpr UINT ICSTATUS_ERROR = 3;
constexpr UINT ICSTATUS_YIELD = 4;
using ICSTATUSPROC = LONG (*)(LPARAM lParam, UINT message, LONG l);

// Parameter block of ICM_SET_STATUS_PROC (12 bytes in the 32-bit layout).
struct ICSETSTATUSPROC {
    DWORD dwFlags;
    LPARAM lParam;
    ICSTATUSPROC Status;
};

// Parameter block of ICM_COMPRESS_FRAMES_INFO: what a sequence of frames about to be compressed asks
// for (the drivers here take the quality and the key-frame rate from it).
constexpr DWORD ICCOMPRESSFRAMES_PADDING = 0x00000001;
struct ICCOMPRESSFRAMES {
    DWORD dwFlags;
    LPBITMAPINFOHEADER lpbiOutput;
    LPARAM lOutput;
    LPBITMAPINFOHEADER lpbiInput;
    LPARAM lInput;
    LONG lStartFrame;
    LONG lFrameCount;
    LONG lQuality;  // 0..10000, or -1 for the default
    LONG lDataRate; // bytes per second, 0 for any
    LONG lKeyRate;  // a key frame every n frames, 0 for only the first
    DWORD dwRate;   // frame rate: dwRate / dwScale frames a second
    DWORD dwScale;
    DWORD dwOverheadPerFrame;
    DWORD dwReserved2;
    LONG (*GetData)(LPARAM lInput, LONG lFrame, LPVOID lpBits, LONG len);
    LONG (*PutData)(LPARAM lOutput, LONG lFrame, LPVOID lpBits, LONG len);
};

#if INTPTR_MAX == INT32_MAX
static_assert(sizeof(ICDECOMPRESSEX) == 52);
static_assert(sizeof(ICDRAWSUGGEST) == 28);
static_assert(sizeof(ICSETSTATUSPROC) == 12);
static_assert(sizeof(ICCOMPRESS) == 48);
static_assert(sizeof(ICDECOMPRESS) == 24);
#endif

// Opens the driver of type fccType (ICTYPE_VIDEO, or 0 for any type) named fccHandler (compared without
// regard to case) in mode ICMODE_*. 0 when there is no such driver or it refuses the mode.
HIC ICOpen(DWORD fccType, DWORD fccHandler, UINT wMode);
LRESULT ICClose(HIC hic);
LRESULT ICSendMessage(HIC hic, UINT msg, DWORD_PTR dw1, DWORD_PTR dw2);

// A driver that can handle lpbiIn (to lpbiOut, which may be null) in the mode of wFlags (ICMODE_COMPRESS,
// ICMODE_DECOMPRESS, ICMODE_DRAW and their fast forms): fccHandler first, for decompression then the
// input's biCompression, then every installed driver of the type. 0 when none can.
HIC ICLocate(DWORD fccType, DWORD fccHandler, LPBITMAPINFOHEADER lpbiIn, LPBITMAPINFOHEADER lpbiOut,
             WORD wFlags);

// Enumeration: with fccHandler below the driver count it is an index and fills the info of that driver
// of the type (0: any type); otherwise it names the driver. TRUE when there is such a driver.
BOOL ICInfo(DWORD fccType, DWORD fccHandler, ICINFO* lpicinfo);
// ICM_GETINFO of an open driver: the bytes written (at most cb).
LRESULT ICGetInfo(HIC hic, ICINFO* picinfo, DWORD cb);

// Compresses one frame (ICM_COMPRESS). Returns ICERR_OK or an error; lpbiOutput->biSizeImage receives
// the size of the compressed data.
DWORD ICCompress(HIC hic, DWORD dwFlags, LPBITMAPINFOHEADER lpbiOutput, LPVOID lpData,
                 LPBITMAPINFOHEADER lpbiInput, LPVOID lpBits, LPDWORD lpckid, LPDWORD lpdwFlags,
                 LONG lFrameNum, DWORD dwFrameSize, DWORD dwQuality, LPBITMAPINFOHEADER lpbiPrev,
                 LPVOID lpPrev);
// Decompresses one frame (ICM_DECOMPRESS); lpbiFormat->biSizeImage is the size of lpData.
DWORD ICDecompress(HIC hic, DWORD dwFlags, LPBITMAPINFOHEADER lpbiFormat, LPVOID lpData,
                   LPBITMAPINFOHEADER lpbi, LPVOID lpBits);

// A driver procedure: called with DRV_OPEN (lParam2 an ICOPEN record; the answer is the instance id
// passed back with every later message, 0 refuses), the ICM_ messages and DRV_CLOSE.
using DRIVERPROC = LRESULT (*)(DWORD_PTR dwDriverId, HDRVR hdrvr, UINT msg, LPARAM lParam1, LPARAM lParam2);

// What DRV_OPEN gets in lParam2.
struct ICOPEN {
    DWORD dwSize;
    DWORD fccType;
    DWORD fccHandler;
    DWORD dwVersion;
    DWORD dwFlags; // the ICMODE_ of ICOpen
    LRESULT dwError;
    LPVOID pV1Reserved;
    LPVOID pV2Reserved;
    DWORD dnDevNode;
};

constexpr UINT ICINSTALL_UNICODE = 0x8000;
constexpr UINT ICINSTALL_FUNCTION = 0x0001;
constexpr UINT ICINSTALL_DRIVER = 0x0002;
constexpr UINT ICINSTALL_HDRV = 0x0004;
constexpr UINT ICINSTALL_DRIVERW = 0x8002;

// Installs a driver procedure (wFlags ICINSTALL_FUNCTION, lParam the DRIVERPROC) for this process under
// fccType / fccHandler, ahead of the built-in drivers. Other forms are not supported (FALSE).
BOOL ICInstall(DWORD fccType, DWORD fccHandler, LPARAM lParam, LPSTR szDesc, UINT wFlags);
// Removes a driver installed with ICInstall.
BOOL ICRemove(DWORD fccType, DWORD fccHandler, UINT wFlags);

} // namespace win
