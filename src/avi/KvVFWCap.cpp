// The capture window helpers: each sends its message with the parameters the window expects, and only
// to a handle that is a window.
#include "avi/KvVFW.h"

namespace kv {
namespace {

using win::BOOL;
using win::DWORD;
using win::HWND;
using win::LPARAM;
using win::UINT;
using win::WPARAM;

BOOL ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return AVICapSM(window, message, wParam, lParam) ? -1 : 0;
}
DWORD askDword(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return DWORD(AVICapSM(window, message, wParam, lParam));
}
template <typename T> LPARAM ptr(T* p) {
    return reinterpret_cast<LPARAM>(p);
}
template <typename F> LPARAM proc(F f) {
    return reinterpret_cast<LPARAM>(f);
}

} // namespace

win::LRESULT AVICapSM(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return win::IsWindow(window) ? win::SendMessageA(window, message, wParam, lParam) : 0;
}

BOOL capSetCallbackOnError(HWND w, win::CAPERRORCALLBACK f) {
    return ask(w, win::WM_CAP_SET_CALLBACK_ERROR, 0, proc(f));
}
BOOL capSetCallbackOnStatus(HWND w, win::CAPSTATUSCALLBACK f) {
    return ask(w, win::WM_CAP_SET_CALLBACK_STATUS, 0, proc(f));
}
BOOL capSetCallbackOnYield(HWND w, win::CAPYIELDCALLBACK f) {
    return ask(w, win::WM_CAP_SET_CALLBACK_YIELD, 0, proc(f));
}
BOOL capSetCallbackOnFrame(HWND w, win::CAPVIDEOCALLBACK f) {
    return ask(w, win::WM_CAP_SET_CALLBACK_FRAME, 0, proc(f));
}
BOOL capSetCallbackOnVideoStream(HWND w, win::CAPVIDEOCALLBACK f) {
    return ask(w, win::WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0, proc(f));
}
BOOL capSetCallbackOnWaveStream(HWND w, win::CAPWAVECALLBACK f) {
    return ask(w, win::WM_CAP_SET_CALLBACK_WAVESTREAM, 0, proc(f));
}
BOOL capSetCallbackOnCapControl(HWND w, win::CAPCONTROLCALLBACK f) {
    return ask(w, win::WM_CAP_SET_CALLBACK_CAPCONTROL, 0, proc(f));
}
BOOL capSetUserData(HWND w, LPARAM user) {
    return ask(w, win::WM_CAP_SET_USER_DATA, 0, user);
}
win::LRESULT capGetUserData(HWND w) {
    return AVICapSM(w, win::WM_CAP_GET_USER_DATA, 0, 0);
}

BOOL capDriverConnect(HWND w, WPARAM index) {
    return ask(w, win::WM_CAP_DRIVER_CONNECT, index);
}
BOOL capDriverDisconnect(HWND w) {
    return ask(w, win::WM_CAP_DRIVER_DISCONNECT);
}
BOOL capDriverGetName(HWND w, win::LPSTR name, WPARAM size) {
    return ask(w, win::WM_CAP_DRIVER_GET_NAME, size, ptr(name));
}
BOOL capDriverGetVersion(HWND w, win::LPSTR version, WPARAM size) {
    return ask(w, win::WM_CAP_DRIVER_GET_VERSION, size, ptr(version));
}
BOOL capDriverGetCaps(HWND w, TCAPDRIVERCAPS* caps, WPARAM size) {
    return ask(w, win::WM_CAP_DRIVER_GET_CAPS, size, ptr(caps));
}

BOOL capFileSetCaptureFile(HWND w, win::LPCSTR name) {
    return ask(w, win::WM_CAP_FILE_SET_CAPTURE_FILE, 0, ptr(name));
}
BOOL capFileGetCaptureFile(HWND w, win::LPSTR name, WPARAM size) {
    return ask(w, win::WM_CAP_FILE_GET_CAPTURE_FILE, size, ptr(name));
}
BOOL capFileAlloc(HWND w, DWORD size) {
    return ask(w, win::WM_CAP_FILE_ALLOCATE, 0, LPARAM(size));
}
BOOL capFileSaveAs(HWND w, win::LPCSTR name) {
    return ask(w, win::WM_CAP_FILE_SAVEAS, 0, ptr(name));
}
BOOL capFileSetInfoChunk(HWND w, TCAPINFOCHUNK* chunk) {
    return ask(w, win::WM_CAP_FILE_SET_INFOCHUNK, 0, ptr(chunk));
}
BOOL capFileSaveDIB(HWND w, win::LPCSTR name) {
    return ask(w, win::WM_CAP_FILE_SAVEDIB, 0, ptr(name));
}
BOOL capEditCopy(HWND w) {
    return ask(w, win::WM_CAP_EDIT_COPY);
}

BOOL capSetAudioFormat(HWND w, win::WAVEFORMATEX* format, WPARAM size) {
    return ask(w, win::WM_CAP_SET_AUDIOFORMAT, size, ptr(format));
}
DWORD capGetAudioFormat(HWND w, win::WAVEFORMATEX* format, WPARAM size) {
    return askDword(w, win::WM_CAP_GET_AUDIOFORMAT, size, ptr(format));
}
DWORD capGetAudioFormatSize(HWND w) {
    return askDword(w, win::WM_CAP_GET_AUDIOFORMAT);
}

BOOL capDlgVideoFormat(HWND w) {
    return ask(w, win::WM_CAP_DLG_VIDEOFORMAT);
}
BOOL capDlgVideoSource(HWND w) {
    return ask(w, win::WM_CAP_DLG_VIDEOSOURCE);
}
BOOL capDlgVideoDisplay(HWND w) {
    return ask(w, win::WM_CAP_DLG_VIDEODISPLAY);
}
BOOL capDlgVideoCompression(HWND w) {
    return ask(w, win::WM_CAP_DLG_VIDEOCOMPRESSION);
}

DWORD capGetVideoFormat(HWND w, void* format, WPARAM size) {
    return askDword(w, win::WM_CAP_GET_VIDEOFORMAT, size, ptr(format));
}
DWORD capGetVideoFormatSize(HWND w) {
    return askDword(w, win::WM_CAP_GET_VIDEOFORMAT);
}
BOOL capSetVideoFormat(HWND w, void* format, WPARAM size) {
    return ask(w, win::WM_CAP_SET_VIDEOFORMAT, size, ptr(format));
}

BOOL capPreview(HWND w, BOOL on) {
    return ask(w, win::WM_CAP_SET_PREVIEW, WPARAM(on));
}
BOOL capPreviewRate(HWND w, WPARAM ms) {
    return ask(w, win::WM_CAP_SET_PREVIEWRATE, ms);
}
BOOL capOverlay(HWND w, BOOL on) {
    return ask(w, win::WM_CAP_SET_OVERLAY, WPARAM(on));
}
BOOL capPreviewScale(HWND w, BOOL on) {
    return ask(w, win::WM_CAP_SET_SCALE, WPARAM(on));
}
BOOL capGetStatus(HWND w, TCAPSTATUS* status, WPARAM size) {
    return ask(w, win::WM_CAP_GET_STATUS, size, ptr(status));
}
BOOL capSetScrollPos(HWND w, win::POINT* pos) {
    return ask(w, win::WM_CAP_SET_SCROLL, 0, ptr(pos));
}

BOOL capGrabFrame(HWND w) {
    return ask(w, win::WM_CAP_GRAB_FRAME);
}
BOOL capGrabFrameNoStop(HWND w) {
    return ask(w, win::WM_CAP_GRAB_FRAME_NOSTOP);
}
BOOL capCaptureSequence(HWND w) {
    return ask(w, win::WM_CAP_SEQUENCE);
}
BOOL capCaptureSequenceNoFile(HWND w) {
    return ask(w, win::WM_CAP_SEQUENCE_NOFILE);
}
BOOL capCaptureStop(HWND w) {
    return ask(w, win::WM_CAP_STOP);
}
BOOL capCaptureAbort(HWND w) {
    return ask(w, win::WM_CAP_ABORT);
}
BOOL capCaptureSingleFrameOpen(HWND w) {
    return ask(w, win::WM_CAP_SINGLE_FRAME_OPEN);
}
BOOL capCaptureSingleFrameClose(HWND w) {
    return ask(w, win::WM_CAP_SINGLE_FRAME_CLOSE);
}
BOOL capCaptureSingleFrame(HWND w) {
    return ask(w, win::WM_CAP_SINGLE_FRAME);
}
BOOL capCaptureGetSetup(HWND w, TCAPTUREPARMS* parms, WPARAM size) {
    return ask(w, win::WM_CAP_GET_SEQUENCE_SETUP, size, ptr(parms));
}
BOOL capCaptureSetSetup(HWND w, TCAPTUREPARMS* parms, WPARAM size) {
    return ask(w, win::WM_CAP_SET_SEQUENCE_SETUP, size, ptr(parms));
}
BOOL capSetMCIDeviceName(HWND w, win::LPCSTR name) {
    return ask(w, win::WM_CAP_SET_MCI_DEVICE, 0, ptr(name));
}
BOOL capGetMCIDeviceName(HWND w, win::LPSTR name, WPARAM size) {
    return ask(w, win::WM_CAP_GET_MCI_DEVICE, size, ptr(name));
}

BOOL capPaletteOpen(HWND w, win::LPCSTR name) {
    return ask(w, win::WM_CAP_PAL_OPEN, 0, ptr(name));
}
BOOL capPaletteSave(HWND w, win::LPCSTR name) {
    return ask(w, win::WM_CAP_PAL_SAVE, 0, ptr(name));
}
BOOL capPalettePaste(HWND w) {
    return ask(w, win::WM_CAP_PAL_PASTE);
}
BOOL capPaletteAuto(HWND w, WPARAM frames, DWORD colors) {
    return ask(w, win::WM_CAP_PAL_AUTOCREATE, frames, LPARAM(colors));
}
BOOL capPaletteManual(HWND w, BOOL grab, DWORD colors) {
    return ask(w, win::WM_CAP_PAL_MANUALCREATE, WPARAM(grab), LPARAM(colors));
}

} // namespace kv
