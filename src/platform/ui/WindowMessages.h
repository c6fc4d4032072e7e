// The window-message layer: window handles of registered classes, each with a window procedure, sent
// and posted messages, a message queue per thread, subclassing and registered message numbers.
//
// Threading: a window belongs to the thread that created it. Sending to a window of another thread is
// refused (the call answers 0 without calling the procedure), as is destroying it; posting to it is
// allowed and lands in the owner thread's queue. A thread reads only its own queue.
#pragma once

#include "platform/gdi/Gdi.h"
#include "platform/win/WinTypes.h"

#include <cstddef>

namespace win {

using ATOM = WORD;
struct HMENU__;
using HMENU = HMENU__*;

using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

// What WM_NCCREATE and WM_CREATE carry in lParam.
struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

static_assert(sizeof(WNDCLASSA) == 72);
static_assert(sizeof(CREATESTRUCTA) == 80);
static_assert(sizeof(MSG) == 48);

// ---- message numbers ----
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_CTLCOLOR = 0x0019;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

constexpr WPARAM SC_CLOSE = 0xF060;

// ---- window styles and long indexes ----
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_BORDER = 0x00800000;

constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_HINSTANCE = -6;
constexpr int GWLP_HWNDPARENT = -8;
constexpr int GWLP_ID = -12;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWLP_USERDATA = -21;
// Every window has the dialog slot in which a dialog procedure leaves its message result.
constexpr int DWLP_MSGRESULT = 0;

// ---- PeekMessage ----
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

// ---- ShowWindow ----
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_SHOWNA = 8;

// ---- SetWindowPos ----
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;

// What WM_WINDOWPOSCHANGED carries in lParam: the window's new place, in its parent's client
// coordinates (screen coordinates for a top-level window).
struct WINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
};

// The header of every WM_NOTIFY record: the sending control, its identifier and the notification code.
struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

using TIMERPROC = void (*)(HWND window, UINT message, UINT_PTR id, DWORD time);

static_assert(sizeof(WINDOWPOS) == 40);
static_assert(sizeof(NMHDR) == 24);
static_assert(sizeof(PAINTSTRUCT) == 72);

// ---- button messages and states, WM_COMMAND codes ----
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BM_CLICK = 0x00F5;
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;
constexpr UINT BST_INDETERMINATE = 2;
constexpr WORD BN_CLICKED = 0;
constexpr WORD EN_CHANGE = 0x0300;

constexpr WORD LOWORD(DWORD_PTR v) {
    return WORD(v & 0xFFFF);
}
constexpr WORD HIWORD(DWORD_PTR v) {
    return WORD((v >> 16) & 0xFFFF);
}
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) {
    return WPARAM(DWORD(low) | (DWORD(high) << 16));
}
constexpr LONG MAKELONG(WORD low, WORD high) {
    return LONG(DWORD(low) | (DWORD(high) << 16));
}

// A thread's queue holds at most this many posted messages; posting more fails.
constexpr int POSTED_MESSAGE_LIMIT = 10000;

// ---- classes ----
// The class atom (0xC000 and up), or 0 when the name is empty, the procedure missing or a class of that
// name (compared without case) exists already.
ATOM RegisterClassA(const WNDCLASSA* wndClass);
// Fails while windows of the class exist.
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);

// ---- windows ----
// Makes a window of a registered class owned by the calling thread, a child of parent when given (menu
// is then the child's identifier). The procedure gets WM_NCCREATE (FALSE fails the creation) and
// WM_CREATE (-1 fails it); a window whose creation failed is destroyed again and 0 returned.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Sends WM_DESTROY to the window and then to its children (parents before children), then
// WM_NCDESTROY to the children and last to the window itself, and frees the handles; messages still
// posted to them are dropped. FALSE for a handle that is no window or belongs to another thread.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
HWND GetParent(HWND window);
BOOL IsChild(HWND parent, HWND window);
// The child of parent with that identifier; 0 when there is none.
HWND GetDlgItem(HWND parent, int id);
int GetDlgCtrlID(HWND window);
// GW_CHILD: the first child (in creation order); GW_HWNDNEXT / GW_HWNDPREV: the next or previous sibling;
// GW_HWNDFIRST / GW_HWNDLAST: the first or last sibling. 0 when there is none.
constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDLAST = 1;
constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_HWNDPREV = 3;
constexpr UINT GW_CHILD = 5;
HWND GetWindow(HWND window, UINT command);

// ---- window data ----
// GWLP_WNDPROC, GWLP_USERDATA, GWLP_ID, GWL_STYLE and GWL_EXSTYLE can be set, and read together with
// GWLP_HWNDPARENT and GWLP_HINSTANCE. Setting returns the previous value; 0 for a handle that is no
// window or another index.
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND window, int index);

// ---- messages ----
// Calls the window's procedure and returns its answer; 0 for a handle that is no window and for a
// window of another thread (cross-thread sends are not supported).
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Calls proc if it is given, else answers 0. Subclassing procedures pass on what they do not handle.
LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// WM_NCCREATE takes the window text from the creation record and answers TRUE; WM_SETTEXT,
// WM_GETTEXT and WM_GETTEXTLENGTH work on the window's text; WM_CLOSE destroys the window; every other
// message answers 0.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Queues the message for the window's thread (window 0: for the calling thread itself). FALSE for a
// handle that is no window or when the queue is full.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Posts WM_QUIT with the exit code to the calling thread.
void PostQuitMessage(int exitCode);
// The first message of the calling thread's queue that matches: window 0 takes any message, a window
// its own messages and those of its children; with both filter numbers 0 any message number, otherwise
// those from first to last. FALSE when none is waiting.
BOOL PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove);
// Waits for a matching message and removes it: 0 for WM_QUIT, -1 for a filter window that is no window
// of this thread, else nonzero.
//
// When no posted message matches, a due timer of the filter's windows gives WM_TIMER, and after that a
// window with an invalid area gives WM_PAINT (which stays until the area is validated).
BOOL GetMessageA(MSG* msg, HWND window, UINT first, UINT last);
// Keyboard messages do not pass through this layer (the widgets take them from the window system), so
// there is nothing to translate: always FALSE.
BOOL TranslateMessage(const MSG* msg);
// Hands the message to its window's procedure and returns the answer; 0 for thread messages and for
// windows that are gone. WM_TIMER with a timer procedure in lParam calls that procedure instead.
LRESULT DispatchMessageA(const MSG* msg);

// The message number for the name (the same name, compared without case, gives the same number),
// 0xC000 to 0xFFFF; 0 for an empty name or when the numbers are used up.
UINT RegisterWindowMessageA(LPCSTR name);

// ---- text helpers over WM_SETTEXT / WM_GETTEXT ----
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR buffer, int size);
int GetWindowTextLengthA(HWND window);

// ---- dialog items: children addressed by their identifier ----
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);

// ---- state: enabled and visible ----
// Sets or clears WS_DISABLED and sends WM_ENABLE when that changed; returns TRUE when the window was
// disabled before.
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
// SW_HIDE clears WS_VISIBLE, the SW_SHOW commands set it; WM_SHOWWINDOW is sent when that changed.
// Returns TRUE when the window was visible before.
BOOL ShowWindow(HWND window, int command);
// Whether the window and all its parents have WS_VISIBLE.
BOOL IsWindowVisible(HWND window);

// ---- geometry ----
// A window's place is kept in its parent's client coordinates (screen coordinates for a top-level
// window); its client area is the whole window (the frames of top-level windows belong to the window
// system). Moves and sizes send WM_WINDOWPOSCHANGED when the place changed; SWP_SHOWWINDOW and
// SWP_HIDEWINDOW show and hide as ShowWindow does. The insertion order is not changed.
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
// The window's rectangle in screen coordinates.
BOOL GetWindowRect(HWND window, RECT* rect);
// (0, 0, width, height).
BOOL GetClientRect(HWND window, RECT* rect);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
// Converts points from the client coordinates of from to those of to (0: the screen); returns the
// horizontal offset in the low word and the vertical in the high word.
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);

// ---- timers ----
// Starts (or with the same window and id restarts) a timer that makes the window's thread get WM_TIMER
// every elapse milliseconds (at least 10). Without a window the timer belongs to the thread and its id
// is chosen; the result is the id, 0 on failure. WM_TIMER is made by the message pump when the queue
// has nothing else; a timer never has more than one waiting.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

// ---- painting ----
// Each window has a surface of its client size (a 32-bit DIB section) that BeginPaint gives a memory DC
// over. rect 0 invalidates the whole client area; the invalid area is the bounding box of the parts.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);
// Sends WM_PAINT at once when the window has an invalid area.
BOOL UpdateWindow(HWND window);
// The DC for painting the invalid area (drawing is clipped to it); the area becomes valid. 0 when the
// surface cannot be made.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
// The window's surface (made on first use, remade when the client size changed); owned by the window.
HBITMAP windowSurface(HWND window);

// ---- dialog units ----
// The average character width in the low word and height in the high word of the system's dialog font.
LONG GetDialogBaseUnits();

// ---- our own helpers ----
// Answers WM_GETTEXT for a window procedure that keeps its text elsewhere: copies as much of text as fits
// into the buffer of size bytes (lParam), cut at a character boundary, with the closing NUL; returns the
// number of bytes copied without the NUL.
LRESULT copyWindowText(const char* text, std::size_t length, WPARAM size, LPARAM buffer);
// Dispatches the messages posted to the window (and its children; window 0: all of the calling
// thread's) that are waiting when the call starts; messages posted while it runs wait for the next
// call. A WM_QUIT met on the way stays queued and ends the run. Returns the number dispatched.
int dispatchPendingMessages(HWND window);
// A wait without a time limit.
constexpr DWORD INFINITE = 0xFFFFFFFF;
// Milliseconds until the calling thread's next timer falls due (0 when one is due already); INFINITE
// when the thread has no timer. An event loop that also runs this layer's messages sleeps no longer.
DWORD nextTimerTimeout();
// hook runs (on the posting thread, which may be any) after every message posted to a queue, so that
// an event loop waiting for its own events can wake up and dispatch it. nullptr removes it.
void setMessageArrivalHook(void (*hook)());

} // namespace win
