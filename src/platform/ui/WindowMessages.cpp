#include "platform/ui/WindowMessages.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace win {
namespace {

struct WindowClass {
    WNDPROC proc = nullptr;
    ATOM atom = 0;
};

struct Window {
    WNDPROC proc = nullptr;
    std::string classKey;
    std::string text;
    HWND parent = nullptr;
    std::vector<HWND> children; // in creation order
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    HINSTANCE instance = nullptr;
    std::thread::id thread;
    bool destroying = false; // WM_DESTROY was sent; the handle lives until WM_NCDESTROY is answered
};

struct Posted {
    MSG msg;
    std::uint64_t serial;
};

struct Queue {
    std::deque<Posted> messages;
    std::condition_variable arrived;
};

// Names of classes and registered messages share one range of numbers, as atoms do.
constexpr UINT firstAtom = 0xC000;
constexpr UINT lastAtom = 0xFFFF;

struct Table {
    std::mutex mutex;
    std::unordered_map<HWND, Window> windows;
    std::map<std::string, WindowClass> classes;
    std::map<std::string, UINT> messageNames;
    std::unordered_map<std::thread::id, std::unique_ptr<Queue>> queues;
    UINT nextAtom = firstAtom;
    std::uintptr_t nextHandle = 0x20000;
    std::uint64_t nextSerial = 1;

    Window* find(HWND handle) {
        auto it = windows.find(handle);
        return it == windows.end() ? nullptr : &it->second;
    }
    Window* findOwn(HWND handle) {
        Window* w = find(handle);
        return w && w->thread == std::this_thread::get_id() ? w : nullptr;
    }
    Queue& queueOf(std::thread::id thread) {
        std::unique_ptr<Queue>& q = queues[thread];
        if (!q) q = std::make_unique<Queue>();
        return *q;
    }
    bool isDescendant(HWND ancestor, HWND handle) {
        for (Window* w = find(handle); w && w->parent; w = find(w->parent))
            if (w->parent == ancestor) return true;
        return false;
    }
    UINT allocAtom() { return nextAtom <= lastAtom ? nextAtom++ : 0; }
};

// Kept for the life of the process: threads that end after static destruction began still find it.
Table& table() {
    static Table* t = new Table;
    return *t;
}

std::string foldCase(LPCSTR name) {
    std::string key(name);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return key;
}

// When a thread ends, its queue goes and its windows are dropped without messages (their procedures
// may use state of the thread that is already gone).
struct ThreadEnd {
    ~ThreadEnd() {
        Table& t = table();
        std::lock_guard lock(t.mutex);
        const std::thread::id self = std::this_thread::get_id();
        t.queues.erase(self);
        for (auto it = t.windows.begin(); it != t.windows.end();) {
            if (it->second.thread != self) {
                ++it;
                continue;
            }
            if (Window* parent = t.find(it->second.parent)) std::erase(parent->children, it->first);
            it = t.windows.erase(it);
        }
    }
};

void noteThread() {
    thread_local ThreadEnd end;
    (void)end;
}

DWORD messageTime() {
    using namespace std::chrono;
    return DWORD(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

const HWND threadMessagesOnly = reinterpret_cast<HWND>(-1);

bool matches(Table& t, const MSG& msg, HWND filter, UINT first, UINT last) {
    if ((first || last) && (msg.message < first || msg.message > last)) return false;
    if (!filter) return true;
    if (filter == threadMessagesOnly) return msg.hwnd == nullptr;
    return msg.hwnd == filter || t.isDescendant(filter, msg.hwnd);
}

// Takes (or with remove false copies) the first matching message of the calling thread's queue that was
// posted no later than serial maxSerial. Needs the table's lock.
bool takeMessage(Table& t, MSG* out, HWND filter, UINT first, UINT last, bool remove,
                 std::uint64_t maxSerial) {
    auto it = t.queues.find(std::this_thread::get_id());
    if (it == t.queues.end()) return false;
    std::deque<Posted>& messages = it->second->messages;
    for (auto m = messages.begin(); m != messages.end() && m->serial <= maxSerial; ++m) {
        if (!matches(t, m->msg, filter, first, last)) continue;
        if (out) *out = m->msg;
        if (remove) messages.erase(m);
        return true;
    }
    return false;
}

// A filter window must be 0, the thread-messages marker or a window of the calling thread.
bool validFilter(Table& t, HWND filter) {
    return !filter || filter == threadMessagesOnly || t.findOwn(filter);
}

BOOL postTo(Table& t, std::thread::id thread, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Queue& q = t.queueOf(thread);
    if (q.messages.size() >= std::size_t(POSTED_MESSAGE_LIMIT)) return FALSE;
    q.messages.push_back(
        Posted{MSG{window, message, wParam, lParam, messageTime(), POINT{0, 0}}, t.nextSerial++});
    q.arrived.notify_all();
    return TRUE;
}

WNDPROC procOf(HWND window) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* w = t.findOwn(window);
    return w ? w->proc : nullptr;
}

std::vector<HWND> childrenOf(HWND window) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* w = t.find(window);
    return w ? w->children : std::vector<HWND>{};
}

// WM_DESTROY to the window, then to its children.
void sendDestroy(HWND window) {
    WNDPROC proc = nullptr;
    {
        Table& t = table();
        std::lock_guard lock(t.mutex);
        Window* w = t.findOwn(window);
        if (!w || w->destroying) return;
        w->destroying = true;
        proc = w->proc;
    }
    proc(window, WM_DESTROY, 0, 0);
    for (HWND child : childrenOf(window))
        sendDestroy(child);
}

// WM_NCDESTROY to the children, then to the window, and the handles freed.
void freeWindow(HWND window) {
    for (HWND child : childrenOf(window))
        freeWindow(child);
    if (WNDPROC proc = procOf(window)) proc(window, WM_NCDESTROY, 0, 0);
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* w = t.findOwn(window);
    if (!w) return;
    if (Window* parent = t.find(w->parent)) std::erase(parent->children, window);
    if (auto q = t.queues.find(w->thread); q != t.queues.end())
        std::erase_if(q->second->messages, [window](const Posted& p) { return p.msg.hwnd == window; });
    t.windows.erase(window);
}

} // namespace

// ---- classes ----

ATOM RegisterClassA(const WNDCLASSA* wndClass) {
    if (!wndClass || !wndClass->lpfnWndProc || !wndClass->lpszClassName || !*wndClass->lpszClassName)
        return 0;
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const std::string key = foldCase(wndClass->lpszClassName);
    if (t.classes.count(key)) return 0;
    const UINT atom = t.allocAtom();
    if (!atom) return 0;
    t.classes[key] = WindowClass{wndClass->lpfnWndProc, ATOM(atom)};
    return ATOM(atom);
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    if (!className) return FALSE;
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const std::string key = foldCase(className);
    if (!t.classes.count(key)) return FALSE;
    for (const auto& [handle, w] : t.windows)
        if (w.classKey == key) return FALSE;
    t.classes.erase(key);
    return TRUE;
}

// ---- windows ----

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    if (!className) return nullptr;
    HWND handle = nullptr;
    {
        Table& t = table();
        std::lock_guard lock(t.mutex);
        const std::string key = foldCase(className);
        auto cls = t.classes.find(key);
        if (cls == t.classes.end()) return nullptr;
        Window* parentWindow = nullptr;
        if (parent && !(parentWindow = t.find(parent))) return nullptr;
        if (parentWindow && parentWindow->destroying) return nullptr;
        noteThread();
        t.nextHandle += 4;
        handle = reinterpret_cast<HWND>(t.nextHandle);
        Window w;
        w.proc = cls->second.proc;
        w.classKey = key;
        w.parent = parent;
        w.id = parent ? LONG_PTR(reinterpret_cast<std::uintptr_t>(menu)) : 0;
        w.style = style;
        w.exStyle = exStyle;
        w.instance = instance;
        w.thread = std::this_thread::get_id();
        t.windows.emplace(handle, std::move(w));
        if (parentWindow) parentWindow->children.push_back(handle);
    }
    CREATESTRUCTA create{param, instance, menu,        parent,     height,    width,
                         y,     x,        LONG(style), windowName, className, exStyle};
    if (!SendMessageA(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
        if (IsWindow(handle)) freeWindow(handle);
        return nullptr;
    }
    if (SendMessageA(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    return IsWindow(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND window) {
    {
        Table& t = table();
        std::lock_guard lock(t.mutex);
        Window* w = t.findOwn(window);
        if (!w || w->destroying) return FALSE;
    }
    sendDestroy(window);
    freeWindow(window);
    return TRUE;
}

BOOL IsWindow(HWND window) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    return t.find(window) ? TRUE : FALSE;
}

HWND GetParent(HWND window) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* w = t.find(window);
    return w ? w->parent : nullptr;
}

BOOL IsChild(HWND parent, HWND window) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    return parent && t.isDescendant(parent, window) ? TRUE : FALSE;
}

HWND GetDlgItem(HWND parent, int id) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* p = t.find(parent);
    if (!p) return nullptr;
    for (HWND child : p->children)
        if (Window* c = t.find(child); c && c->id == id) return child;
    return nullptr;
}

int GetDlgCtrlID(HWND window) {
    return int(GetWindowLongPtrA(window, GWLP_ID));
}

// ---- window data ----

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* w = t.find(window);
    if (!w) return 0;
    LONG_PTR old = 0;
    switch (index) {
    case GWLP_WNDPROC:
        if (!value) return 0;
        old = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(value);
        break;
    case GWLP_USERDATA:
        old = std::exchange(w->userData, value);
        break;
    case GWLP_ID:
        old = std::exchange(w->id, value);
        break;
    case GWL_STYLE:
        old = LONG_PTR(std::exchange(w->style, DWORD(value)));
        break;
    case GWL_EXSTYLE:
        old = LONG_PTR(std::exchange(w->exStyle, DWORD(value)));
        break;
    default:
        return 0;
    }
    return old;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* w = t.find(window);
    if (!w) return 0;
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_USERDATA:
        return w->userData;
    case GWLP_ID:
        return w->id;
    case GWL_STYLE:
        return LONG_PTR(w->style);
    case GWL_EXSTYLE:
        return LONG_PTR(w->exStyle);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w->parent);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    default:
        return 0;
    }
}

// ---- messages ----

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // A window of another thread is not called: its procedure must only run on its own thread, and this
    // layer does not hand sent messages between threads.
    WNDPROC proc = procOf(window);
    return proc ? proc(window, message, wParam, lParam) : 0;
}

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(window, message, wParam, lParam) : 0;
}

LRESULT copyWindowText(const char* text, std::size_t length, WPARAM size, LPARAM buffer) {
    char* out = reinterpret_cast<char*>(buffer);
    if (!out || size == 0) return 0;
    std::size_t n = std::min<std::size_t>(length, size - 1);
    // Never end on the first bytes of a multi-byte character.
    if (n < length)
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    std::memcpy(out, text, n);
    out[n] = '\0';
    return LRESULT(n);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (create && create->lpszName) DefWindowProcA(window, WM_SETTEXT, 0, LPARAM(create->lpszName));
        return TRUE;
    }
    case WM_SETTEXT: {
        Table& t = table();
        std::lock_guard lock(t.mutex);
        Window* w = t.find(window);
        if (!w) return FALSE;
        const char* text = reinterpret_cast<const char*>(lParam);
        w->text = text ? text : "";
        return TRUE;
    }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
        Table& t = table();
        std::lock_guard lock(t.mutex);
        Window* w = t.find(window);
        if (!w) return 0;
        if (message == WM_GETTEXTLENGTH) return LRESULT(w->text.size());
        return copyWindowText(w->text.data(), w->text.size(), wParam, lParam);
    }
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    default:
        return 0;
    }
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    if (!window) {
        noteThread();
        return postTo(t, std::this_thread::get_id(), nullptr, message, wParam, lParam);
    }
    Window* w = t.find(window);
    if (!w) return FALSE;
    return postTo(t, w->thread, window, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    PostMessageA(nullptr, WM_QUIT, WPARAM(exitCode), 0);
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    if (!validFilter(t, window)) return FALSE;
    return takeMessage(t, msg, window, first, last, (remove & PM_REMOVE) != 0, UINT64_MAX) ? TRUE : FALSE;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT first, UINT last) {
    Table& t = table();
    std::unique_lock lock(t.mutex);
    noteThread();
    Queue& q = t.queueOf(std::this_thread::get_id());
    for (;;) {
        if (!validFilter(t, window)) return -1;
        MSG m{};
        if (takeMessage(t, &m, window, first, last, true, UINT64_MAX)) {
            if (msg) *msg = m;
            return m.message == WM_QUIT ? 0 : TRUE;
        }
        q.arrived.wait(lock);
    }
}

BOOL TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

UINT RegisterWindowMessageA(LPCSTR name) {
    if (!name || !*name) return 0;
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const std::string key = foldCase(name);
    auto it = t.messageNames.find(key);
    if (it != t.messageNames.end()) return it->second;
    const UINT number = t.allocAtom();
    if (number) t.messageNames.emplace(key, number);
    return number;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    return int(SendMessageA(window, WM_GETTEXT, WPARAM(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND window) {
    return int(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
}

int dispatchPendingMessages(HWND window) {
    Table& t = table();
    std::uint64_t last = 0;
    {
        std::lock_guard lock(t.mutex);
        if (!validFilter(t, window)) return 0;
        last = t.nextSerial - 1;
    }
    int count = 0;
    for (;;) {
        MSG msg{};
        {
            std::lock_guard lock(t.mutex);
            if (!validFilter(t, window) || !takeMessage(t, &msg, window, 0, 0, false, last)) break;
            if (msg.message == WM_QUIT) break;
            takeMessage(t, nullptr, window, 0, 0, true, last);
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        ++count;
    }
    return count;
}

} // namespace win
