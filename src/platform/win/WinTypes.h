// Base types, handles and byte-exact records of the Windows interfaces our platform layer stands in for.
// Every record that is stored in files or passed as bytes keeps its Windows layout; sizes are checked below.
#pragma once

#include <cstddef>
#include <cstdint>

namespace win {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = std::uint32_t;
using INT = std::int32_t;
using BOOL = std::int32_t;
using HRESULT = std::int32_t;
using FOURCC = DWORD;
using COLORREF = DWORD;
using LPVOID = void*;
using LPCSTR = const char*;
using LPSTR = char*;
// Pointer-sized integers of window messages and callbacks.
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Opaque handles. Each kind is a distinct pointer type so they cannot be mixed up by accident.
struct HBITMAP__;
struct HPALETTE__;
struct HDC__;
struct HWND__;
struct HGDIOBJ__;
struct HINSTANCE__;
struct HCURSOR__;
struct HICON__;
struct HKEY__;
using HBITMAP = HBITMAP__*;
using HPALETTE = HPALETTE__*;
using HDC = HDC__*;
using HWND = HWND__*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HCURSOR = HCURSOR__*;
using HICON = HICON__*;
using HKEY = HKEY__*;
using HGDIOBJ = void*;
using HGLOBAL = void*;
using HANDLE = void*;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
    return DWORD(BYTE(a)) | (DWORD(BYTE(b)) << 8) | (DWORD(BYTE(c)) << 16) | (DWORD(BYTE(d)) << 24);
}

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return DWORD(r) | (DWORD(g) << 8) | (DWORD(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) {
    return BYTE(c);
}
constexpr BYTE GetGValue(COLORREF c) {
    return BYTE(c >> 8);
}
constexpr BYTE GetBValue(COLORREF c) {
    return BYTE(c >> 16);
}

struct RECT {
    LONG left, top, right, bottom;
    bool operator==(const RECT&) const = default;
};
struct POINT {
    LONG x, y;
    bool operator==(const POINT&) const = default;
};

// ---- DIBs and BMP files ----
constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
using LPBITMAPINFOHEADER = BITMAPINFOHEADER*;

struct RGBQUAD {
    BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)

// ---- palettes ----
struct PALETTEENTRY {
    BYTE peRed, peGreen, peBlue, peFlags;
};
struct LOGPALETTE {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
};

// ---- AVI file structures (as stored in the file) ----
struct MainAVIHeader {
    DWORD dwMicroSecPerFrame;
    DWORD dwMaxBytesPerSec;
    DWORD dwPaddingGranularity;
    DWORD dwFlags;
    DWORD dwTotalFrames;
    DWORD dwInitialFrames;
    DWORD dwStreams;
    DWORD dwSuggestedBufferSize;
    DWORD dwWidth;
    DWORD dwHeight;
    DWORD dwReserved[4];
};

struct AVIStreamHeader {
    FOURCC fccType;
    FOURCC fccHandler;
    DWORD dwFlags;
    WORD wPriority;
    WORD wLanguage;
    DWORD dwInitialFrames;
    DWORD dwScale;
    DWORD dwRate;
    DWORD dwStart;
    DWORD dwLength;
    DWORD dwSuggestedBufferSize;
    DWORD dwQuality;
    DWORD dwSampleSize;
    struct {
        std::int16_t left, top, right, bottom;
    } rcFrame;
};

struct AVIINDEXENTRY {
    DWORD ckid;
    DWORD dwFlags;
    DWORD dwChunkOffset;
    DWORD dwChunkLength;
};

constexpr DWORD AVIF_HASINDEX = 0x00000010;
constexpr DWORD AVIF_MUSTUSEINDEX = 0x00000020;
constexpr DWORD AVIF_ISINTERLEAVED = 0x00000100;
constexpr DWORD AVIF_TRUSTCKTYPE = 0x00000800;
constexpr DWORD AVIF_WASCAPTUREFILE = 0x00010000;
constexpr DWORD AVIF_COPYRIGHTED = 0x00020000;

constexpr DWORD AVIIF_LIST = 0x00000001;
constexpr DWORD AVIIF_KEYFRAME = 0x00000010;
constexpr DWORD AVIIF_NOTIME = 0x00000100;

constexpr DWORD AVISF_DISABLED = 0x00000001;
constexpr DWORD AVISF_VIDEO_PALCHANGES = 0x00010000;

// Palette change chunk (##pc) header; PALETTEENTRY[bNumEntries] follows (0 means 256).
struct AVIPALCHANGE {
    BYTE bFirstEntry;
    BYTE bNumEntries;
    WORD wFlags;
};

// ---- AVIFile information records ----
// One layout for the ANSI and the wide forms, which differ only in the characters of their names.
template <class Char> struct AviFileInfo {
    DWORD dwMaxBytesPerSec;
    DWORD dwFlags;
    DWORD dwCaps;
    DWORD dwStreams;
    DWORD dwSuggestedBufferSize;
    DWORD dwWidth;
    DWORD dwHeight;
    DWORD dwScale;
    DWORD dwRate;
    DWORD dwLength;
    DWORD dwEditCount;
    Char szFileType[64];
};

template <class Char> struct AviStreamInfo {
    DWORD fccType;
    DWORD fccHandler;
    DWORD dwFlags;
    DWORD dwCaps;
    WORD wPriority;
    WORD wLanguage;
    DWORD dwScale;
    DWORD dwRate;
    DWORD dwStart;
    DWORD dwLength;
    DWORD dwInitialFrames;
    DWORD dwSuggestedBufferSize;
    DWORD dwQuality;
    DWORD dwSampleSize;
    RECT rcFrame;
    DWORD dwEditCount;
    DWORD dwFormatChangeCount;
    Char szName[64];
};

using AVIFILEINFOA = AviFileInfo<char>;
using AVISTREAMINFOA = AviStreamInfo<char>;
using TAVISTREAMINFOA = AVISTREAMINFOA;

constexpr DWORD AVIFILEINFO_HASINDEX = 0x00000010;
constexpr DWORD AVIFILEINFO_MUSTUSEINDEX = 0x00000020;
constexpr DWORD AVIFILEINFO_ISINTERLEAVED = 0x00000100;
constexpr DWORD AVIFILEINFO_WASCAPTUREFILE = 0x00010000;
constexpr DWORD AVIFILEINFO_COPYRIGHTED = 0x00020000;
constexpr DWORD AVIFILECAPS_CANREAD = 0x00000001;
constexpr DWORD AVIFILECAPS_CANWRITE = 0x00000002;
constexpr DWORD AVIFILECAPS_ALLKEYFRAMES = 0x00000010;
constexpr DWORD AVIFILECAPS_NOCOMPRESSION = 0x00000020;

constexpr DWORD AVISTREAMINFO_DISABLED = 0x00000001;
constexpr DWORD AVISTREAMINFO_FORMATCHANGES = 0x00010000;

// ---- wave format ----
#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
constexpr WORD WAVE_FORMAT_PCM = 1;

// ---- open flags (OF_) ----
constexpr UINT OF_READ = 0x0000;
constexpr UINT OF_WRITE = 0x0001;
constexpr UINT OF_READWRITE = 0x0002;
constexpr UINT OF_SHARE_COMPAT = 0x0000;
constexpr UINT OF_SHARE_EXCLUSIVE = 0x0010;
constexpr UINT OF_SHARE_DENY_WRITE = 0x0020;
constexpr UINT OF_SHARE_DENY_READ = 0x0030;
constexpr UINT OF_SHARE_DENY_NONE = 0x0040;
constexpr UINT OF_CREATE = 0x1000;

static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(BITMAPFILEHEADER) == 14);
static_assert(sizeof(RGBQUAD) == 4);
static_assert(sizeof(PALETTEENTRY) == 4);
static_assert(sizeof(LOGPALETTE) == 8);
static_assert(sizeof(MainAVIHeader) == 56);
static_assert(sizeof(AVIStreamHeader) == 56);
static_assert(sizeof(AVIINDEXENTRY) == 16);
static_assert(sizeof(AVIPALCHANGE) == 4);
static_assert(sizeof(AVIFILEINFOA) == 108);
static_assert(sizeof(AVISTREAMINFOA) == 140);
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(RECT) == 16);

} // namespace win
