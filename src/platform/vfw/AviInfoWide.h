// The wide-character forms of the AVIFile information records: the same fields as AVIFILEINFOA and
// AVISTREAMINFOA, with names of 16-bit characters.
#pragma once

#include "platform/win/WinTypes.h"

#include <cstddef>

namespace win {

using WCHAR = char16_t;

struct AVISTREAMINFOW {
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
    WCHAR szName[64];
};

struct AVIFILEINFOW {
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
    WCHAR szFileType[64];
};

static_assert(sizeof(AVISTREAMINFOW) == 204);
static_assert(offsetof(AVISTREAMINFOW, rcFrame) == 52);
static_assert(offsetof(AVISTREAMINFOW, szName) == 76);
static_assert(sizeof(AVIFILEINFOW) == 172);
static_assert(offsetof(AVIFILEINFOW, szFileType) == 44);

} // namespace win
