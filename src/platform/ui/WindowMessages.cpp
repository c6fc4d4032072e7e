#include "platform/ui/WindowMessages.h"

#include <algorithm>
#include <atomic>
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
    RECT rect{};             // in the parent's client coordinates, or the screen's for a top-level window
    LONG_PTR msgResult = 0;  // DWLP_MSGRESULT
    RECT invalid{};          // the area waiting for WM_PAINT; empty when there is none
    HBITMAP surface = nullptr;
    int surfaceWidth = 0;
    int surfaceHeight = 0;
};

struct Timer {
    HWND window;
    UINT_PTR id;
    UINT elapse;
    TIMERPROC proc;
    std::thread::id thread;
    std::chrono::steady_clock::time_point due;
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
    std::vector<Timer> timers;
    UINT_PTR nextThreadTimer = 0x7FF0;
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
        std::erase_if(t.timers, [self](const Timer& timer) { return timer.thread == self; });
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

bool inRange(UINT message, UINT first, UINT last) {
    return !(first || last) || (message >= first && message <= last);
}

bool filterTakes(Table& t, HWND filter, HWND window) {
    if (!filter) return true;
    if (filter == threadMessagesOnly) return window == nullptr;
    return window == filter || t.isDescendant(filter, window);
}

bool emptyRect(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// The messages made when the queue has nothing else: WM_TIMER of a due timer, then WM_PAINT of a window
// with an invalid area. Taking a timer's message starts its next period; WM_PAINT stays until the area
// is validated. Needs the table's lock.
bool takeTimerOrPaint(Table& t, MSG* out, HWND filter, UINT first, UINT last, bool remove) {
    const std::thread::id self = std::this_thread::get_id();
    const auto now = std::chrono::steady_clock::now();
    if (inRange(WM_TIMER, first, last))
        for (Timer& timer : t.timers) {
            if (timer.thread != self || timer.due > now || !filterTakes(t, filter, timer.window)) continue;
            if (out)
                *out = MSG{timer.window,  WM_TIMER,   timer.id, reinterpret_cast<LPARAM>(timer.proc),
                           messageTime(), POINT{0, 0}};
            if (remove) timer.due = now + std::chrono::milliseconds(timer.elapse);
            return true;
        }
    if (inRange(WM_PAINT, first, last))
        for (auto& [handle, w] : t.windows) {
            if (w.thread != self || w.destroying || emptyRect(w.invalid) || !filterTakes(t, filter, handle))
                continue;
            if (out) *out = MSG{handle, WM_PAINT, 0, 0, messageTime(), POINT{0, 0}};
            return true;
        }
    return false;
}

// How long GetMessageA may sleep before one of the thread's timers falls due.
std::chrono::steady_clock::time_point nextTimerDue(Table& t) {
    auto next = std::chrono::steady_clock::time_point::max();
    for (const Timer& timer : t.timers)
        if (timer.thread == std::this_thread::get_id()) next = std::min(next, timer.due);
    return next;
}

// Takes (or with remove false copies) the first matching message of the calling thread's queue that was
// posted no later than serial maxSerial. Needs the table's lock.
bool takeMessage(Table& t, MSG* out, HWND filter, UINT first, UINT last, bool remove, std::uint64_t maxSerial,
                 bool synthesize = true) {
    // A thread that was never posted to has no queue, but its timers and invalid windows still make
    // messages.
    if (auto it = t.queues.find(std::this_thread::get_id()); it != t.queues.end()) {
        std::deque<Posted>& messages = it->second->messages;
        for (auto m = messages.begin(); m != messages.end() && m->serial <= maxSerial; ++m) {
            if (!matches(t, m->msg, filter, first, last)) continue;
            if (out) *out = m->msg;
            if (remove) messages.erase(m);
            return true;
        }
    }
    return synthesize && takeTimerOrPaint(t, out, filter, first, last, remove);
}

// A filter window must be 0, the thread-messages marker or a window of the calling thread.
bool validFilter(Table& t, HWND filter) {
    return !filter || filter == threadMessagesOnly || t.findOwn(filter);
}

std::atomic<void (*)()> g_arrivalHook{nullptr};

BOOL postTo(Table& t, std::thread::id thread, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Queue& q = t.queueOf(thread);
    if (q.messages.size() >= std::size_t(POSTED_MESSAGE_LIMIT)) return FALSE;
    q.messages.push_back(
        Posted{MSG{window, message, wParam, lParam, messageTime(), POINT{0, 0}}, t.nextSerial++});
    q.arrived.notify_all();
    if (void (*hook)() = g_arrivalHook.load()) hook();
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
    std::erase_if(t.timers, [window](const Timer& timer) { return timer.window == window; });
    if (w->surface) DeleteObject(w->surface);
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
        w.rect = RECT{x, y, LONG(x + std::max(width, 0)), LONG(y + std::max(height, 0))};
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

HWND GetWindow(HWND window, UINT command) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* w = t.find(window);
    if (!w) return nullptr;
    if (command == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    Window* parent = t.find(w->parent);
    if (!parent) return nullptr; // top-level windows are not kept in an order
    const std::vector<HWND>& siblings = parent->children;
    auto at = std::find(siblings.begin(), siblings.end(), window);
    if (at == siblings.end()) return nullptr;
    switch (command) {
    case GW_HWNDFIRST:
        return siblings.front();
    case GW_HWNDLAST:
        return siblings.back();
    case GW_HWNDNEXT:
        return at + 1 == siblings.end() ? nullptr : *(at + 1);
    case GW_HWNDPREV:
        return at == siblings.begin() ? nullptr : *(at - 1);
    default:
        return nullptr;
    }
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
    case DWLP_MSGRESULT:
        old = std::exchange(w->msgResult, value);
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
    case DWLP_MSGRESULT:
        return w->msgResult;
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
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
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
        const auto due = nextTimerDue(t);
        if (due == std::chrono::steady_clock::time_point::max())
            q.arrived.wait(lock);
        else
            q.arrived.wait_until(lock, due);
    }
}

BOOL TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    if (!msg->hwnd) return 0;
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

void setMessageArrivalHook(void (*hook)()) {
    g_arrivalHook = hook;
}

DWORD nextTimerTimeout() {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const auto next = nextTimerDue(t);
    if (next == std::chrono::steady_clock::time_point::max()) return INFINITE;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - std::chrono::steady_clock::now());
    return DWORD(std::clamp<std::int64_t>(left.count(), 0, 0x7FFFFFFF));
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
            if (!validFilter(t, window) || !takeMessage(t, &msg, window, 0, 0, false, last, false)) break;
            if (msg.message == WM_QUIT) return count;
            takeMessage(t, nullptr, window, 0, 0, true, last, false);
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        ++count;
    }
    // Then each due timer and each window waiting for a paint once.
    std::vector<MSG> synthesized;
    {
        std::lock_guard lock(t.mutex);
        if (!validFilter(t, window)) return count;
        MSG msg{};
        while (takeTimerOrPaint(t, &msg, window, WM_TIMER, WM_TIMER, true))
            synthesized.push_back(msg);
        for (auto& [handle, w] : t.windows)
            if (w.thread == std::this_thread::get_id() && !w.destroying && !emptyRect(w.invalid) &&
                filterTakes(t, window, handle))
                synthesized.push_back(MSG{handle, WM_PAINT, 0, 0, messageTime(), POINT{0, 0}});
    }
    for (const MSG& msg : synthesized) {
        if (msg.message == WM_PAINT && !IsWindow(msg.hwnd)) continue;
        DispatchMessageA(&msg);
        ++count;
    }
    return count;
}

// ---- dialog items ----

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageA(item, message, wParam, lParam) : 0;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowTextA(item, text) : FALSE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
    if (buffer && size > 0) buffer[0] = '\0';
    HWND item = GetDlgItem(dialog, id);
    return item ? UINT(GetWindowTextA(item, buffer, size)) : 0;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) return FALSE;
    SendMessageA(item, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    return UINT(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

// ---- enabled and visible ----

namespace {

// Sets or clears bits of the style of a window of this thread; returns whether they were set before,
// and changed whether anything changed. False for no window.
bool changeStyle(HWND window, DWORD bits, bool set, bool& changed) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    changed = false;
    Window* w = t.findOwn(window);
    if (!w) return false;
    const bool was = (w->style & bits) == bits;
    if (was != set) {
        w->style = set ? (w->style | bits) : (w->style & ~bits);
        changed = true;
    }
    return was;
}

} // namespace

BOOL EnableWindow(HWND window, BOOL enable) {
    bool changed = false;
    const bool wasDisabled = changeStyle(window, WS_DISABLED, !enable, changed);
    if (changed) SendMessageA(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* w = t.find(window);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command) {
    bool changed = false;
    const bool show = command != SW_HIDE;
    const bool wasVisible = changeStyle(window, WS_VISIBLE, show, changed);
    if (changed) SendMessageA(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* w = t.find(window);
    if (!w) return FALSE;
    for (; w; w = w->parent ? t.find(w->parent) : nullptr)
        if (!(w->style & WS_VISIBLE)) return FALSE;
    return TRUE;
}

// ---- geometry ----

namespace {

// The screen position of the window's client origin. Needs the table's lock.
bool screenOrigin(Table& t, HWND window, POINT& origin) {
    origin = POINT{0, 0};
    Window* w = t.find(window);
    if (!w) return false;
    for (; w; w = w->parent ? t.find(w->parent) : nullptr) {
        origin.x += w->rect.left;
        origin.y += w->rect.top;
    }
    return true;
}

} // namespace

BOOL SetWindowPos(HWND window, HWND, int x, int y, int width, int height, UINT flags) {
    WINDOWPOS pos{window, nullptr, 0, 0, 0, 0, flags};
    bool moved = false;
    {
        Table& t = table();
        std::lock_guard lock(t.mutex);
        Window* w = t.findOwn(window);
        if (!w) return FALSE;
        RECT r = w->rect;
        if (!(flags & SWP_NOMOVE)) {
            r.right += x - r.left;
            r.bottom += y - r.top;
            r.left = x;
            r.top = y;
        }
        if (!(flags & SWP_NOSIZE)) {
            r.right = r.left + std::max(width, 0);
            r.bottom = r.top + std::max(height, 0);
        }
        moved = r.left != w->rect.left || r.top != w->rect.top || r.right != w->rect.right ||
                r.bottom != w->rect.bottom;
        w->rect = r;
        pos = WINDOWPOS{window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, flags};
    }
    if (moved) SendMessageA(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    if (flags & SWP_SHOWWINDOW) ShowWindow(window, SW_SHOWNA);
    if (flags & SWP_HIDEWINDOW) ShowWindow(window, SW_HIDE);
    return IsWindow(window);
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    const BOOL done = SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (done && repaint) InvalidateRect(window, nullptr, TRUE);
    return done;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* w = t.find(window);
    POINT parentOrigin{0, 0};
    if (!w || !rect || (w->parent && !screenOrigin(t, w->parent, parentOrigin))) return FALSE;
    *rect = RECT{w->rect.left + parentOrigin.x, w->rect.top + parentOrigin.y, w->rect.right + parentOrigin.x,
                 w->rect.bottom + parentOrigin.y};
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* w = t.find(window);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

namespace {

// Moves the points from from's client coordinates to to's (0: the screen); false for a handle that is no
// window.
bool mapPoints(HWND from, HWND to, POINT* points, UINT count, POINT& offset) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    POINT a{0, 0}, b{0, 0};
    if ((from && !screenOrigin(t, from, a)) || (to && !screenOrigin(t, to, b))) return false;
    offset = POINT{a.x - b.x, a.y - b.y};
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += offset.x;
        points[i].y += offset.y;
    }
    return true;
}

} // namespace

BOOL ClientToScreen(HWND window, POINT* point) {
    POINT offset{};
    return window && point && mapPoints(window, nullptr, point, 1, offset) ? TRUE : FALSE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
    POINT offset{};
    return window && point && mapPoints(nullptr, window, point, 1, offset) ? TRUE : FALSE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
    POINT offset{};
    if (!mapPoints(from, to, points, count, offset)) return 0;
    return int(MAKELONG(WORD(offset.x), WORD(offset.y)));
}

// ---- timers ----

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    if (window && !t.findOwn(window)) return 0;
    noteThread();
    elapse = std::max<UINT>(elapse, 10);
    const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(elapse);
    if (!window) {
        // A thread timer: a fresh id unless it names one of this thread's timers.
        auto own = std::find_if(t.timers.begin(), t.timers.end(), [&](const Timer& timer) {
            return !timer.window && timer.id == id && timer.thread == std::this_thread::get_id();
        });
        if (!id || own == t.timers.end()) id = ++t.nextThreadTimer;
    }
    for (Timer& timer : t.timers)
        if (timer.window == window && timer.id == id && timer.thread == std::this_thread::get_id()) {
            timer = Timer{window, id, elapse, proc, timer.thread, due};
            return window ? 1 : id;
        }
    t.timers.push_back(Timer{window, id, elapse, proc, std::this_thread::get_id(), due});
    if (auto q = t.queues.find(std::this_thread::get_id()); q != t.queues.end())
        q->second->arrived.notify_all();
    return window ? 1 : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const auto removed = std::erase_if(t.timers, [&](const Timer& timer) {
        return timer.window == window && timer.id == id && timer.thread == std::this_thread::get_id();
    });
    return removed ? TRUE : FALSE;
}

// ---- painting ----

namespace {

RECT unite(const RECT& a, const RECT& b) {
    if (emptyRect(a)) return b;
    if (emptyRect(b)) return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

RECT intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    return emptyRect(r) ? RECT{} : r;
}

RECT clientOf(const Window& w) {
    return RECT{0, 0, w.rect.right - w.rect.left, w.rect.bottom - w.rect.top};
}

HBITMAP makeSurface(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

} // namespace

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* w = t.find(window);
    if (!w) return FALSE;
    const RECT area = intersect(rect ? *rect : clientOf(*w), clientOf(*w));
    w->invalid = unite(w->invalid, area);
    if (!emptyRect(area))
        if (auto q = t.queues.find(w->thread); q != t.queues.end()) q->second->arrived.notify_all();
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* w = t.find(window);
    if (!w) return FALSE;
    // The invalid area is one rectangle: validating part of it keeps all of it unless it is covered.
    const bool covers = rect && rect->left <= w->invalid.left && rect->top <= w->invalid.top &&
                        rect->right >= w->invalid.right && rect->bottom >= w->invalid.bottom;
    if (!rect || covers) w->invalid = RECT{};
    return TRUE;
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* w = t.find(window);
    if (!w) return FALSE;
    if (rect) *rect = w->invalid;
    return emptyRect(w->invalid) ? FALSE : TRUE;
}

BOOL UpdateWindow(HWND window) {
    RECT r{};
    if (!IsWindow(window)) return FALSE;
    if (GetUpdateRect(window, &r, FALSE)) SendMessageA(window, WM_PAINT, 0, 0);
    return TRUE;
}

HBITMAP windowSurface(HWND window) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Window* w = t.find(window);
    if (!w) return nullptr;
    const int width = std::max(1, int(w->rect.right - w->rect.left));
    const int height = std::max(1, int(w->rect.bottom - w->rect.top));
    if (w->surface && (w->surfaceWidth != width || w->surfaceHeight != height)) {
        DeleteObject(w->surface);
        w->surface = nullptr;
    }
    if (!w->surface) {
        w->surface = makeSurface(width, height);
        w->surfaceWidth = w->surface ? width : 0;
        w->surfaceHeight = w->surface ? height : 0;
    }
    return w->surface;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    if (!paint) return nullptr;
    *paint = PAINTSTRUCT{};
    HBITMAP surface = windowSurface(window);
    if (!surface) return nullptr;
    RECT area{};
    {
        Table& t = table();
        std::lock_guard lock(t.mutex);
        Window* w = t.find(window);
        if (!w) return nullptr;
        area = std::exchange(w->invalid, RECT{});
    }
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return nullptr;
    SelectObject(dc, surface);
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    paint->hdc = dc;
    paint->fErase = TRUE;
    paint->rcPaint = area;
    return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
    if (!paint || !paint->hdc) return FALSE;
    // Deleting the DC lets go of the surface, which stays with the window.
    DeleteDC(paint->hdc);
    return TRUE;
}

// ---- dialog units ----

LONG GetDialogBaseUnits() {
    // The system font of a 96-dpi desktop: 8 pixels average width, 16 pixels height.
    return MAKELONG(8, 16);
}

} // namespace win
