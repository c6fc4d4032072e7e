// The MCI window helpers: each sends its message with the parameters the window expects.
#include "avi/KvVFW.h"

namespace kv {
namespace {

using win::HWND;
using win::LONG;
using win::LPARAM;
using win::UINT;
using win::WPARAM;

win::LRESULT send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return MCIWndSM(window, message, wParam, lParam);
}
LONG sendLong(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return LONG(send(window, message, wParam, lParam));
}
win::BOOL sendBool(HWND window, UINT message) {
    return send(window, message) ? -1 : 0;
}
LPARAM text(win::LPCSTR s) {
    return reinterpret_cast<LPARAM>(s);
}
// A file name of -1 makes the window ask the user for it.
constexpr LPARAM askForFile = -1;

} // namespace

win::LRESULT MCIWndSM(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return win::SendMessageA(window, message, wParam, lParam);
}

win::BOOL MCIWndCanPlay(HWND w) {
    return sendBool(w, win::MCIWNDM_CAN_PLAY);
}
win::BOOL MCIWndCanRecord(HWND w) {
    return sendBool(w, win::MCIWNDM_CAN_RECORD);
}
win::BOOL MCIWndCanSave(HWND w) {
    return sendBool(w, win::MCIWNDM_CAN_SAVE);
}
win::BOOL MCIWndCanWindow(HWND w) {
    return sendBool(w, win::MCIWNDM_CAN_WINDOW);
}
win::BOOL MCIWndCanEject(HWND w) {
    return sendBool(w, win::MCIWNDM_CAN_EJECT);
}
win::BOOL MCIWndCanConfig(HWND w) {
    return sendBool(w, win::MCIWNDM_CAN_CONFIG);
}
win::BOOL MCIWndPaletteKick(HWND w) {
    return sendBool(w, win::MCIWNDM_PALETTEKICK);
}

LONG MCIWndSave(HWND w, win::LPCSTR file) {
    return sendLong(w, win::MCI_SAVE, 0, text(file));
}
LONG MCIWndSaveDialog(HWND w) {
    return sendLong(w, win::MCI_SAVE, 0, askForFile);
}
LONG MCIWndNew(HWND w, win::LPCSTR device) {
    return sendLong(w, win::MCIWNDM_NEW, 0, text(device));
}
LONG MCIWndRecord(HWND w) {
    return sendLong(w, win::MCI_RECORD);
}
LONG MCIWndOpen(HWND w, win::LPCSTR file, UINT flags) {
    return sendLong(w, win::MCIWNDM_OPEN, flags, text(file));
}
LONG MCIWndOpenDialog(HWND w) {
    return sendLong(w, win::MCIWNDM_OPEN, 0, askForFile);
}
LONG MCIWndClose(HWND w) {
    return sendLong(w, win::MCI_CLOSE);
}
LONG MCIWndPlay(HWND w) {
    return sendLong(w, win::MCI_PLAY);
}
LONG MCIWndStop(HWND w) {
    return sendLong(w, win::MCI_STOP);
}
LONG MCIWndPause(HWND w) {
    return sendLong(w, win::MCI_PAUSE);
}
LONG MCIWndResume(HWND w) {
    return sendLong(w, win::MCI_RESUME);
}
LONG MCIWndSeek(HWND w, LONG pos) {
    return sendLong(w, win::MCI_SEEK, 0, pos);
}
LONG MCIWndEject(HWND w) {
    return sendLong(w, win::MCIWNDM_EJECT);
}
LONG MCIWndHome(HWND w) {
    return MCIWndSeek(w, win::MCIWND_START);
}
LONG MCIWndEnd(HWND w) {
    return MCIWndSeek(w, win::MCIWND_END);
}

LONG MCIWndGetSource(HWND w, win::RECT* r) {
    return sendLong(w, win::MCIWNDM_GET_SOURCE, 0, LPARAM(r));
}
LONG MCIWndPutSource(HWND w, win::RECT* r) {
    return sendLong(w, win::MCIWNDM_PUT_SOURCE, 0, LPARAM(r));
}
LONG MCIWndGetDest(HWND w, win::RECT* r) {
    return sendLong(w, win::MCIWNDM_GET_DEST, 0, LPARAM(r));
}
LONG MCIWndPutDest(HWND w, win::RECT* r) {
    return sendLong(w, win::MCIWNDM_PUT_DEST, 0, LPARAM(r));
}

LONG MCIWndPlayReverse(HWND w) {
    return sendLong(w, win::MCIWNDM_PLAYREVERSE);
}
LONG MCIWndPlayFrom(HWND w, LONG pos) {
    return sendLong(w, win::MCIWNDM_PLAYFROM, 0, pos);
}
LONG MCIWndPlayTo(HWND w, LONG pos) {
    return sendLong(w, win::MCIWNDM_PLAYTO, 0, pos);
}
LONG MCIWndPlayFromTo(HWND w, LONG start, LONG end) {
    MCIWndSeek(w, start);
    return MCIWndPlayTo(w, end);
}

UINT MCIWndGetDeviceID(HWND w) {
    return UINT(send(w, win::MCIWNDM_GETDEVICEID));
}
UINT MCIWndGetAlias(HWND w) {
    return UINT(send(w, win::MCIWNDM_GETALIAS));
}
LONG MCIWndGetMode(HWND w, win::LPSTR buffer, UINT size) {
    return sendLong(w, win::MCIWNDM_GETMODE, size, LPARAM(buffer));
}
LONG MCIWndGetPosition(HWND w) {
    return sendLong(w, win::MCIWNDM_GETPOSITION);
}
LONG MCIWndGetPositionString(HWND w, win::LPSTR buffer, UINT size) {
    return sendLong(w, win::MCIWNDM_GETPOSITION, size, LPARAM(buffer));
}
LONG MCIWndGetStart(HWND w) {
    return sendLong(w, win::MCIWNDM_GETSTART);
}
LONG MCIWndGetLength(HWND w) {
    return sendLong(w, win::MCIWNDM_GETLENGTH);
}
LONG MCIWndGetEnd(HWND w) {
    return sendLong(w, win::MCIWNDM_GETEND);
}
LONG MCIWndStep(HWND w, LONG n) {
    return sendLong(w, win::MCI_STEP, 0, n);
}

void MCIWndDestroy(HWND w) {
    send(w, win::WM_CLOSE);
}
void MCIWndSetZoom(HWND w, UINT zoom) {
    send(w, win::MCIWNDM_SETZOOM, 0, LPARAM(zoom));
}
UINT MCIWndGetZoom(HWND w) {
    return UINT(send(w, win::MCIWNDM_GETZOOM));
}
LONG MCIWndSetVolume(HWND w, UINT volume) {
    return sendLong(w, win::MCIWNDM_SETVOLUME, 0, LPARAM(volume));
}
LONG MCIWndGetVolume(HWND w) {
    return sendLong(w, win::MCIWNDM_GETVOLUME);
}
LONG MCIWndSetSpeed(HWND w, UINT speed) {
    return sendLong(w, win::MCIWNDM_SETSPEED, 0, LPARAM(speed));
}
LONG MCIWndGetSpeed(HWND w) {
    return sendLong(w, win::MCIWNDM_GETSPEED);
}
LONG MCIWndSetTimeFormat(HWND w, win::LPCSTR format) {
    return sendLong(w, win::MCIWNDM_SETTIMEFORMAT, 0, text(format));
}
LONG MCIWndGetTimeFormat(HWND w, win::LPSTR buffer, UINT size) {
    return sendLong(w, win::MCIWNDM_GETTIMEFORMAT, size, LPARAM(buffer));
}
void MCIWndValidateMedia(HWND w) {
    send(w, win::MCIWNDM_VALIDATEMEDIA);
}

void MCIWndSetRepeat(HWND w, win::BOOL repeat) {
    send(w, win::MCIWNDM_SETREPEAT, 0, repeat);
}
win::BOOL MCIWndGetRepeat(HWND w) {
    return sendBool(w, win::MCIWNDM_GETREPEAT);
}
LONG MCIWndUseFrames(HWND w) {
    return MCIWndSetTimeFormat(w, "frames");
}
LONG MCIWndUseTime(HWND w) {
    return MCIWndSetTimeFormat(w, "ms");
}

void MCIWndSetActiveTimer(HWND w, UINT active) {
    send(w, win::MCIWNDM_SETACTIVETIMER, active);
}
void MCIWndSetInactiveTimer(HWND w, UINT inactive) {
    send(w, win::MCIWNDM_SETINACTIVETIMER, inactive);
}
void MCIWndSetTimers(HWND w, UINT active, UINT inactive) {
    send(w, win::MCIWNDM_SETTIMERS, active, LPARAM(inactive));
}
UINT MCIWndGetActiveTimer(HWND w) {
    return UINT(send(w, win::MCIWNDM_GETACTIVETIMER));
}
UINT MCIWndGetInactiveTimer(HWND w) {
    return UINT(send(w, win::MCIWNDM_GETINACTIVETIMER));
}
LONG MCIWndRealize(HWND w, win::BOOL background) {
    return sendLong(w, win::MCIWNDM_REALIZE, WPARAM(background));
}

LONG MCIWndSendString(HWND w, win::LPCSTR command) {
    return sendLong(w, win::MCIWNDM_SENDSTRING, 0, text(command));
}
LONG MCIWndReturnString(HWND w, win::LPSTR buffer, UINT size) {
    return sendLong(w, win::MCIWNDM_RETURNSTRING, size, LPARAM(buffer));
}
LONG MCIWndGetError(HWND w, win::LPSTR buffer, UINT size) {
    return sendLong(w, win::MCIWNDM_GETERROR, size, LPARAM(buffer));
}

win::HPALETTE MCIWndGetPalette(HWND w) {
    return reinterpret_cast<win::HPALETTE>(send(w, win::MCIWNDM_GETPALETTE));
}
LONG MCIWndSetPalette(HWND w, win::HPALETTE palette) {
    return sendLong(w, win::MCIWNDM_SETPALETTE, reinterpret_cast<WPARAM>(palette));
}
LONG MCIWndGetFileName(HWND w, win::LPSTR buffer, UINT size) {
    return sendLong(w, win::MCIWNDM_GETFILENAME, size, LPARAM(buffer));
}
LONG MCIWndGetDevice(HWND w, win::LPSTR buffer, UINT size) {
    return sendLong(w, win::MCIWNDM_GETDEVICE, size, LPARAM(buffer));
}
UINT MCIWndGetStyles(HWND w) {
    return UINT(send(w, win::MCIWNDM_GETSTYLES));
}
LONG MCIWndChangeStyles(HWND w, UINT mask, LONG value) {
    return sendLong(w, win::MCIWNDM_CHANGESTYLES, mask, value);
}
LONG MCIWndOpenInterface(HWND w, void* unknown) {
    return sendLong(w, win::MCIWNDM_OPENINTERFACE, 0, LPARAM(unknown));
}
LONG MCIWndSetOwner(HWND w, HWND owner) {
    return sendLong(w, win::MCIWNDM_SETOWNER, WPARAM(owner));
}

} // namespace kv
