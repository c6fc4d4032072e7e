#include "platform/ui/DialogTemplates.h"

#include <mutex>
#include <unordered_map>

namespace win {
namespace {

struct ItemState {
    char kind = 0;
    UINT check = BST_UNCHECKED;
};

std::mutex g_mutex;
std::unordered_map<HWND, ItemState> g_items;

void noteItem(HWND window, char kind) {
    std::lock_guard lock(g_mutex);
    g_items[window] = ItemState{kind, BST_UNCHECKED};
}

void forgetItem(HWND window) {
    std::lock_guard lock(g_mutex);
    g_items.erase(window);
}

UINT checkOf(HWND window) {
    std::lock_guard lock(g_mutex);
    auto it = g_items.find(window);
    return it == g_items.end() ? BST_UNCHECKED : it->second.check;
}

void setCheck(HWND window, UINT check) {
    std::lock_guard lock(g_mutex);
    auto it = g_items.find(window);
    if (it != g_items.end()) it->second.check = check;
}

// Tells the parent what happened to the control, as WM_COMMAND (id, code) with the control's window.
void notifyParent(HWND window, WORD code) {
    if (HWND parent = GetParent(window))
        SendMessageA(parent, WM_COMMAND, MAKEWPARAM(WORD(GetDlgCtrlID(window)), code),
                     reinterpret_cast<LPARAM>(window));
}

// Shared by the three classes: the bookkeeping of creation and destruction.
bool lifetime(HWND window, UINT message, char kind) {
    if (message == WM_NCCREATE) noteItem(window, kind);
    if (message == WM_NCDESTROY) forgetItem(window);
    return false;
}

LRESULT buttonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    lifetime(window, message, 'B');
    const DWORD kind = DWORD(GetWindowLongPtrA(window, GWL_STYLE)) & BS_TYPEMASK;
    switch (message) {
    case BM_GETCHECK:
        return LRESULT(checkOf(window));
    case BM_SETCHECK:
        setCheck(window, UINT(wParam));
        return 0;
    case BM_CLICK:
        if (!IsWindowEnabled(window)) return 0;
        if (kind == BS_AUTOCHECKBOX)
            setCheck(window, checkOf(window) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
        else if (kind == BS_AUTORADIOBUTTON)
            setCheck(window, BST_CHECKED);
        notifyParent(window, BN_CLICKED);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT staticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    lifetime(window, message, 'S');
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    lifetime(window, message, 'E');
    if (message != WM_SETTEXT) return DefWindowProcA(window, message, wParam, lParam);
    const LRESULT done = DefWindowProcA(window, message, wParam, lParam);
    if (done) notifyParent(window, EN_CHANGE);
    return done;
}

bool registerOne(const char* name, WNDPROC proc) {
    WNDCLASSA c{};
    c.lpfnWndProc = proc;
    c.lpszClassName = name;
    return RegisterClassA(&c) != 0;
}

} // namespace

BOOL MapDialogRect(HWND, RECT* rect) {
    if (!rect) return FALSE;
    const LONG units = GetDialogBaseUnits();
    const LONG bx = LOWORD(DWORD(units)), by = HIWORD(DWORD(units));
    *rect = RECT{rect->left * bx / 4, rect->top * by / 8, rect->right * bx / 4, rect->bottom * by / 8};
    return TRUE;
}

void registerStandardControls() {
    static const bool done = [] {
        registerOne("Button", &buttonProc);
        registerOne("Static", &staticProc);
        registerOne("Edit", &editProc);
        return true;
    }();
    (void)done;
}

int createDialogItems(HWND dialog, const DialogTemplate& dialogTemplate) {
    registerStandardControls();
    if (!IsWindow(dialog)) return 0;
    int made = 0;
    for (const DialogItemTemplate& item : dialogTemplate.items) {
        RECT r{item.x, item.y, item.x + item.cx, item.y + item.cy};
        MapDialogRect(dialog, &r);
        HWND child =
            CreateWindowExA(0, item.className.c_str(), item.text.c_str(), item.style | WS_CHILD, r.left,
                            r.top, r.right - r.left, r.bottom - r.top, dialog,
                            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), nullptr, nullptr);
        if (child) ++made;
    }
    return made;
}

char standardControlKind(HWND window) {
    std::lock_guard lock(g_mutex);
    auto it = g_items.find(window);
    return it == g_items.end() ? 0 : it->second.kind;
}

} // namespace win
