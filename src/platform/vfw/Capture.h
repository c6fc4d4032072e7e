// The records and window messages of the capture window. There is no capture driver on this platform;
// these are the layouts and numbers that callers exchange with a capture window.
#pragma once

#include "platform/win/WinTypes.h"

#include <cstddef>

namespace win {

// A buffer of captured video, handed to the frame and video-stream callbacks.
struct VIDEOHDR {
    BYTE* lpData;
    DWORD dwBufferLength;
    DWORD dwBytesUsed;
    DWORD dwTimeCaptured;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD_PTR dwReserved[4];
};

constexpr DWORD VHDR_DONE = 0x00000001;
constexpr DWORD VHDR_PREPARED = 0x00000002;
constexpr DWORD VHDR_INQUEUE = 0x00000004;
constexpr DWORD VHDR_KEYFRAME = 0x00000008;

struct CAPDRIVERCAPS {
    UINT wDeviceIndex;
    BOOL fHasOverlay;
    BOOL fHasDlgVideoSource;
    BOOL fHasDlgVideoFormat;
    BOOL fHasDlgVideoDisplay;
    BOOL fCaptureInitialized;
    BOOL fDriverSuppliesPalettes;
    HANDLE hVideoIn;
    HANDLE hVideoOut;
    HANDLE hVideoExtIn;
    HANDLE hVideoExtOut;
};

struct CAPSTATUS {
    UINT uiImageWidth;
    UINT uiImageHeight;
    BOOL fLiveWindow;
    BOOL fOverlayWindow;
    BOOL fScale;
    POINT ptScroll;
    BOOL fUsingDefaultPalette;
    BOOL fAudioHardware;
    BOOL fCapFileExists;
    DWORD dwCurrentVideoFrame;
    DWORD dwCurrentVideoFramesDropped;
    DWORD dwCurrentWaveSamples;
    DWORD dwCurrentTimeElapsedMS;
    HPALETTE hPalCurrent;
    BOOL fCapturingNow;
    DWORD dwReturn;
    UINT wNumVideoAllocated;
    UINT wNumAudioAllocated;
};

struct CAPTUREPARMS {
    DWORD dwRequestMicroSecPerFrame;
    BOOL fMakeUserHitOKToCapture;
    UINT wPercentDropForError;
    BOOL fYield;
    DWORD dwIndexSize;
    UINT wChunkGranularity;
    BOOL fUsingDOSMemory;
    UINT wNumVideoRequested;
    BOOL fCaptureAudio;
    UINT wNumAudioRequested;
    UINT vKeyAbort;
    BOOL fAbortLeftMouse;
    BOOL fAbortRightMouse;
    BOOL fLimitEnabled;
    UINT wTimeLimit;
    BOOL fMCIControl;
    BOOL fStepMCIDevice;
    DWORD dwMCIStartTime;
    DWORD dwMCIStopTime;
    BOOL fStepCaptureAt2x;
    UINT wStepCaptureAverageFrames;
    DWORD dwAudioBufferSize;
    BOOL fDisableWriteCache;
    UINT AVStreamMaster;
};

// An INFO chunk to write into the capture file.
struct CAPINFOCHUNK {
    FOURCC fccInfoID;
    LPVOID lpData;
    LONG cbData;
};

// The 64-bit layouts: pointers and handles are 8 bytes wide and 8-byte aligned.
static_assert(sizeof(VIDEOHDR) == 72);
static_assert(offsetof(VIDEOHDR, dwUser) == 24);
static_assert(offsetof(VIDEOHDR, dwFlags) == 32);
static_assert(offsetof(VIDEOHDR, dwReserved) == 40);
static_assert(sizeof(CAPDRIVERCAPS) == 64);
static_assert(offsetof(CAPDRIVERCAPS, hVideoIn) == 32);
static_assert(sizeof(CAPSTATUS) == 80);
static_assert(offsetof(CAPSTATUS, ptScroll) == 20);
static_assert(offsetof(CAPSTATUS, hPalCurrent) == 56);
static_assert(offsetof(CAPSTATUS, fCapturingNow) == 64);
static_assert(sizeof(CAPTUREPARMS) == 96);
static_assert(offsetof(CAPTUREPARMS, AVStreamMaster) == 92);
static_assert(sizeof(CAPINFOCHUNK) == 24);
static_assert(offsetof(CAPINFOCHUNK, lpData) == 8);
static_assert(offsetof(CAPINFOCHUNK, cbData) == 16);

// Callbacks that a capture window calls.
struct WAVEHDR;
using CAPYIELDCALLBACK = LRESULT (*)(HWND window);
using CAPSTATUSCALLBACK = LRESULT (*)(HWND window, int id, LPCSTR text);
using CAPERRORCALLBACK = LRESULT (*)(HWND window, int id, LPCSTR text);
using CAPVIDEOCALLBACK = LRESULT (*)(HWND window, VIDEOHDR* header);
using CAPWAVECALLBACK = LRESULT (*)(HWND window, WAVEHDR* header);
using CAPCONTROLCALLBACK = LRESULT (*)(HWND window, int state);

// ---- messages of the capture window (the ANSI forms), from WM_USER on ----
constexpr UINT WM_CAP_START = 0x0400;
constexpr UINT WM_CAP_GET_CAPSTREAMPTR = WM_CAP_START + 1;
constexpr UINT WM_CAP_SET_CALLBACK_ERROR = WM_CAP_START + 2;
constexpr UINT WM_CAP_SET_CALLBACK_STATUS = WM_CAP_START + 3;
constexpr UINT WM_CAP_SET_CALLBACK_YIELD = WM_CAP_START + 4;
constexpr UINT WM_CAP_SET_CALLBACK_FRAME = WM_CAP_START + 5;
constexpr UINT WM_CAP_SET_CALLBACK_VIDEOSTREAM = WM_CAP_START + 6;
constexpr UINT WM_CAP_SET_CALLBACK_WAVESTREAM = WM_CAP_START + 7;
constexpr UINT WM_CAP_GET_USER_DATA = WM_CAP_START + 8;
constexpr UINT WM_CAP_SET_USER_DATA = WM_CAP_START + 9;
constexpr UINT WM_CAP_DRIVER_CONNECT = WM_CAP_START + 10;
constexpr UINT WM_CAP_DRIVER_DISCONNECT = WM_CAP_START + 11;
constexpr UINT WM_CAP_DRIVER_GET_NAME = WM_CAP_START + 12;
constexpr UINT WM_CAP_DRIVER_GET_VERSION = WM_CAP_START + 13;
constexpr UINT WM_CAP_DRIVER_GET_CAPS = WM_CAP_START + 14;
constexpr UINT WM_CAP_FILE_SET_CAPTURE_FILE = WM_CAP_START + 20;
constexpr UINT WM_CAP_FILE_GET_CAPTURE_FILE = WM_CAP_START + 21;
constexpr UINT WM_CAP_FILE_ALLOCATE = WM_CAP_START + 22;
constexpr UINT WM_CAP_FILE_SAVEAS = WM_CAP_START + 23;
constexpr UINT WM_CAP_FILE_SET_INFOCHUNK = WM_CAP_START + 24;
constexpr UINT WM_CAP_FILE_SAVEDIB = WM_CAP_START + 25;
constexpr UINT WM_CAP_EDIT_COPY = WM_CAP_START + 30;
constexpr UINT WM_CAP_SET_AUDIOFORMAT = WM_CAP_START + 35;
constexpr UINT WM_CAP_GET_AUDIOFORMAT = WM_CAP_START + 36;
constexpr UINT WM_CAP_DLG_VIDEOFORMAT = WM_CAP_START + 41;
constexpr UINT WM_CAP_DLG_VIDEOSOURCE = WM_CAP_START + 42;
constexpr UINT WM_CAP_DLG_VIDEODISPLAY = WM_CAP_START + 43;
constexpr UINT WM_CAP_GET_VIDEOFORMAT = WM_CAP_START + 44;
constexpr UINT WM_CAP_SET_VIDEOFORMAT = WM_CAP_START + 45;
constexpr UINT WM_CAP_DLG_VIDEOCOMPRESSION = WM_CAP_START + 46;
constexpr UINT WM_CAP_SET_PREVIEW = WM_CAP_START + 50;
constexpr UINT WM_CAP_SET_OVERLAY = WM_CAP_START + 51;
constexpr UINT WM_CAP_SET_PREVIEWRATE = WM_CAP_START + 52;
constexpr UINT WM_CAP_SET_SCALE = WM_CAP_START + 53;
constexpr UINT WM_CAP_GET_STATUS = WM_CAP_START + 54;
constexpr UINT WM_CAP_SET_SCROLL = WM_CAP_START + 55;
constexpr UINT WM_CAP_GRAB_FRAME = WM_CAP_START + 60;
constexpr UINT WM_CAP_GRAB_FRAME_NOSTOP = WM_CAP_START + 61;
constexpr UINT WM_CAP_SEQUENCE = WM_CAP_START + 62;
constexpr UINT WM_CAP_SEQUENCE_NOFILE = WM_CAP_START + 63;
constexpr UINT WM_CAP_SET_SEQUENCE_SETUP = WM_CAP_START + 64;
constexpr UINT WM_CAP_GET_SEQUENCE_SETUP = WM_CAP_START + 65;
constexpr UINT WM_CAP_SET_MCI_DEVICE = WM_CAP_START + 66;
constexpr UINT WM_CAP_GET_MCI_DEVICE = WM_CAP_START + 67;
constexpr UINT WM_CAP_STOP = WM_CAP_START + 68;
constexpr UINT WM_CAP_ABORT = WM_CAP_START + 69;
constexpr UINT WM_CAP_SINGLE_FRAME_OPEN = WM_CAP_START + 70;
constexpr UINT WM_CAP_SINGLE_FRAME_CLOSE = WM_CAP_START + 71;
constexpr UINT WM_CAP_SINGLE_FRAME = WM_CAP_START + 72;
constexpr UINT WM_CAP_PAL_OPEN = WM_CAP_START + 80;
constexpr UINT WM_CAP_PAL_SAVE = WM_CAP_START + 81;
constexpr UINT WM_CAP_PAL_PASTE = WM_CAP_START + 82;
constexpr UINT WM_CAP_PAL_AUTOCREATE = WM_CAP_START + 83;
constexpr UINT WM_CAP_PAL_MANUALCREATE = WM_CAP_START + 84;
constexpr UINT WM_CAP_SET_CALLBACK_CAPCONTROL = WM_CAP_START + 85;

} // namespace win
