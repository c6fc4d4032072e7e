#include "platform/win/Clipboard.h"

#include "platform/win/GlobalMemory.h"

#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace win {
namespace {

constexpr UINT kFirstRegisteredFormat = 0xC000;
constexpr UINT kLastRegisteredFormat = 0xFFFF;

struct ClipboardState {
    ClipboardState() {
        // The global heap must outlive this state, whose destructor frees the stored blocks.
        GlobalSize(nullptr);
    }
    ~ClipboardState() {
        for (auto& [format, block] : data) GlobalFree(block);
    }

    std::mutex lock;
    std::vector<std::string> names; // format kFirstRegisteredFormat + i
    std::map<UINT, HGLOBAL> data;
    std::thread::id owner;
    int depth = 0;
    bool changed = false;
    std::shared_ptr<ClipboardBackend> backend;
};

ClipboardState& state() {
    static ClipboardState s;
    return s;
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

UINT registerLocked(ClipboardState& s, const std::string& name) {
    for (std::size_t i = 0; i < s.names.size(); ++i)
        if (sameName(s.names[i], name)) return kFirstRegisteredFormat + UINT(i);
    if (s.names.size() > kLastRegisteredFormat - kFirstRegisteredFormat) return 0;
    s.names.push_back(name);
    return kFirstRegisteredFormat + UINT(s.names.size() - 1);
}

bool heldByCaller(const ClipboardState& s) { return s.depth > 0 && s.owner == std::this_thread::get_id(); }

void clearLocked(ClipboardState& s) {
    for (auto& [format, block] : s.data) GlobalFree(block);
    s.data.clear();
}

// Replaces the store with what the backend fetched from the desktop clipboard.
void importLocked(ClipboardState& s, const std::vector<ClipboardItem>& items) {
    clearLocked(s);
    for (const ClipboardItem& item : items) {
        const UINT format = item.name.empty() ? item.format : registerLocked(s, item.name);
        if (format == 0) continue;
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, item.bytes.size());
        if (!block) continue;
        if (!item.bytes.empty()) std::memcpy(GlobalLock(block), item.bytes.data(), item.bytes.size());
        GlobalUnlock(block);
        if (auto old = s.data.find(format); old != s.data.end()) GlobalFree(old->second);
        s.data[format] = block;
    }
}

std::vector<ClipboardItem> exportLocked(ClipboardState& s) {
    std::vector<ClipboardItem> items;
    for (auto& [format, block] : s.data) {
        ClipboardItem item;
        item.format = format;
        if (format >= kFirstRegisteredFormat && format - kFirstRegisteredFormat < s.names.size())
            item.name = s.names[format - kFirstRegisteredFormat];
        const auto* p = static_cast<const BYTE*>(GlobalLock(block));
        if (p) item.bytes.assign(p, p + GlobalSize(block));
        GlobalUnlock(block);
        items.push_back(std::move(item));
    }
    return items;
}

} // namespace

UINT RegisterClipboardFormatA(LPCSTR name) {
    if (!name || !*name) return 0;
    ClipboardState& s = state();
    std::lock_guard g(s.lock);
    return registerLocked(s, name);
}

bool GetClipboardFormatNameA(UINT format, std::string& name) {
    ClipboardState& s = state();
    std::lock_guard g(s.lock);
    if (format < kFirstRegisteredFormat || format - kFirstRegisteredFormat >= s.names.size()) return false;
    name = s.names[format - kFirstRegisteredFormat];
    return true;
}

BOOL OpenClipboard(HWND) {
    ClipboardState& s = state();
    std::shared_ptr<ClipboardBackend> backend;
    {
        std::lock_guard g(s.lock);
        if (s.depth > 0 && s.owner != std::this_thread::get_id()) return FALSE;
        s.owner = std::this_thread::get_id();
        if (++s.depth > 1) return TRUE;
        s.changed = false;
        backend = s.backend;
    }
    if (backend) {
        std::vector<ClipboardItem> items;
        if (backend->fetch(items)) {
            std::lock_guard g(s.lock);
            importLocked(s, items);
        }
    }
    return TRUE;
}

BOOL CloseClipboard() {
    ClipboardState& s = state();
    std::shared_ptr<ClipboardBackend> backend;
    std::vector<ClipboardItem> items;
    {
        std::lock_guard g(s.lock);
        if (!heldByCaller(s)) return FALSE;
        if (s.depth > 1) {
            --s.depth;
            return TRUE;
        }
        if (s.changed && s.backend) {
            backend = s.backend;
            items = exportLocked(s);
        }
    }
    // Published while this thread still holds the clipboard, so the contents cannot change meanwhile.
    if (backend) backend->publish(items);
    std::lock_guard g(s.lock);
    s.depth = 0;
    s.owner = std::thread::id();
    s.changed = false;
    return TRUE;
}

BOOL EmptyClipboard() {
    ClipboardState& s = state();
    std::lock_guard g(s.lock);
    if (!heldByCaller(s)) return FALSE;
    clearLocked(s);
    s.changed = true;
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE mem) {
    if (!mem || format == 0 || !GlobalHandle(mem)) return nullptr;
    ClipboardState& s = state();
    std::lock_guard g(s.lock);
    if (!heldByCaller(s)) return nullptr;
    auto it = s.data.find(format);
    if (it != s.data.end()) {
        if (it->second != mem) GlobalFree(it->second);
        it->second = mem;
    } else {
        s.data[format] = mem;
    }
    s.changed = true;
    return mem;
}

HANDLE GetClipboardData(UINT format) {
    ClipboardState& s = state();
    std::lock_guard g(s.lock);
    if (!heldByCaller(s)) return nullptr;
    auto it = s.data.find(format);
    return it == s.data.end() ? nullptr : it->second;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    ClipboardState& s = state();
    std::lock_guard g(s.lock);
    return s.data.count(format) ? TRUE : FALSE;
}

void SetClipboardBackend(std::shared_ptr<ClipboardBackend> backend) {
    ClipboardState& s = state();
    std::lock_guard g(s.lock);
    s.backend = std::move(backend);
}

} // namespace win
