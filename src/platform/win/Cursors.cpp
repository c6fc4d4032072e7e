#include "platform/win/Cursors.h"

#include "platform/win/CursorArt.h"
#include "platform/win/Resources.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace win {
namespace {

// The pictures of one cursor or icon. They never change once made, so copies share them.
struct Pictures {
    IconImage large;
    IconImage small; // empty for cursors
};

struct IconObject {
    std::shared_ptr<const Pictures> pictures;
    bool shared; // a loaded resource: lives as long as the program
};

// Handles are numbers handed out by this table, never addresses: a handle that is not in the table
// (foreign, destroyed, or of another kind of object) is refused before anything is read. The numbers
// start far from those of the other handle tables so that a mixed-up handle is not found by chance.
class IconTable {
public:
    static IconTable& Get() {
        static IconTable table;
        return table;
    }

    std::uintptr_t Add(std::shared_ptr<const Pictures> pictures, bool shared) {
        std::lock_guard lock(m_mutex);
        std::uintptr_t handle = kFirstHandle + 4 * m_next++;
        m_objects.emplace(handle, IconObject{std::move(pictures), shared});
        return handle;
    }

    std::shared_ptr<const Pictures> Find(const void* handle) {
        std::lock_guard lock(m_mutex);
        auto it = m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
        return it == m_objects.end() ? nullptr : it->second.pictures;
    }

    bool Destroy(const void* handle) {
        std::lock_guard lock(m_mutex);
        auto it = m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == m_objects.end() || it->second.shared) return false;
        m_objects.erase(it);
        return true;
    }

    // The shared object of a resource, made on its first load.
    template <typename Make> std::uintptr_t Resource(const std::string& key, Make make) {
        {
            std::lock_guard lock(m_mutex);
            auto it = m_resources.find(key);
            if (it != m_resources.end()) return it->second;
        }
        std::shared_ptr<const Pictures> pictures = make();
        if (!pictures) return 0;
        std::lock_guard lock(m_mutex);
        auto [it, added] = m_resources.emplace(key, 0);
        if (added) {
            it->second = kFirstHandle + 4 * m_next++;
            m_objects.emplace(it->second, IconObject{std::move(pictures), true});
        }
        return it->second;
    }

    std::size_t OwnedCount() {
        std::lock_guard lock(m_mutex);
        std::size_t n = 0;
        for (const auto& [handle, object] : m_objects) n += object.shared ? 0 : 1;
        return n;
    }

private:
    static constexpr std::uintptr_t kFirstHandle = 0x1C000000;
    std::mutex m_mutex;
    std::unordered_map<std::uintptr_t, IconObject> m_objects;
    std::map<std::string, std::uintptr_t> m_resources;
    std::uintptr_t m_next = 0;
};

template <typename H> H toHandle(std::uintptr_t value) { return reinterpret_cast<H>(value); }

// Where a resource comes from: the program module, the system, or nowhere (a foreign module).
enum class Source { Module, System, None };

Source sourceOf(HINSTANCE module) {
    if (!module) return Source::System;
    return module == GetModuleHandleA(nullptr) ? Source::Module : Source::None;
}

// The number of an integer resource name or of a "#123" string; 0 for a true name.
WORD resourceNumber(LPCSTR name) {
    if (IS_INTRESOURCE(name)) return WORD(reinterpret_cast<std::uintptr_t>(name));
    if (name[0] != '#' || name[1] == '\0') return 0;
    unsigned long n = 0;
    for (const char* p = name + 1; *p; ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p))) return 0;
        n = n * 10 + unsigned(*p - '0');
        if (n > 0xFFFF) return 0;
    }
    return WORD(n);
}

bool sameName(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::toupper(static_cast<unsigned char>(*a)) != std::toupper(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

std::shared_ptr<const Pictures> makeCursor(std::span<const art::CursorArt> table, WORD id) {
    for (const art::CursorArt& a : table) {
        if (a.id == id) {
            auto pictures = std::make_shared<Pictures>();
            pictures->large = art::render(a.picture, art::kCursorSize);
            return pictures;
        }
    }
    return nullptr;
}

std::shared_ptr<const Pictures> makeIcon(std::span<const art::IconArt> table, WORD id, LPCSTR name) {
    for (const art::IconArt& a : table) {
        if (id ? a.id != id : (!a.name || !sameName(a.name, name))) continue;
        auto pictures = std::make_shared<Pictures>();
        pictures->large = art::render(a.large, art::kLargeIcon);
        pictures->small = a.small.empty() ? art::halve(pictures->large) : art::render(a.small, art::kSmallIcon);
        return pictures;
    }
    return nullptr;
}

std::string resourceKey(char kind, Source source, WORD id, LPCSTR name) {
    std::string key{kind, source == Source::Module ? 'm' : 's', ':'};
    if (id) return key + std::to_string(id);
    for (const char* p = name; *p; ++p) key += char(std::toupper(static_cast<unsigned char>(*p)));
    return key;
}

} // namespace

HCURSOR LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    Source source = sourceOf(hInstance);
    if (source == Source::None || !lpCursorName) return nullptr;
    WORD id = resourceNumber(lpCursorName);
    if (id == 0) return nullptr; // the module has no named cursors
    auto table = source == Source::Module ? art::libraryCursors() : art::systemCursors();
    return toHandle<HCURSOR>(
        IconTable::Get().Resource(resourceKey('c', source, id, nullptr), [&] { return makeCursor(table, id); }));
}

HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    Source source = sourceOf(hInstance);
    if (source == Source::None || !lpIconName) return nullptr;
    WORD id = resourceNumber(lpIconName);
    if (source == Source::System && id == OIC_WINLOGO) id = OIC_SAMPLE;
    auto table = source == Source::Module ? art::moduleIcons() : art::systemIcons();
    return toHandle<HICON>(IconTable::Get().Resource(resourceKey('i', source, id, lpIconName),
                                                     [&] { return makeIcon(table, id, lpIconName); }));
}

HCURSOR CreateCursor(HINSTANCE, int xHotSpot, int yHotSpot, int nWidth, int nHeight, const void* pvANDPlane,
                     const void* pvXORPlane) {
    if (nWidth < 1 || nWidth > 256 || nHeight < 1 || nHeight > 256 || !pvANDPlane || !pvXORPlane) return nullptr;
    if (xHotSpot < 0 || xHotSpot >= nWidth || yHotSpot < 0 || yHotSpot >= nHeight) return nullptr;
    auto pictures = std::make_shared<Pictures>();
    IconImage& image = pictures->large;
    image.width = nWidth;
    image.height = nHeight;
    image.xHotspot = xHotSpot;
    image.yHotspot = yHotSpot;
    image.pixels.resize(std::size_t(nWidth) * std::size_t(nHeight));
    const std::size_t stride = std::size_t((nWidth + 15) / 16) * 2;
    const auto* andPlane = static_cast<const BYTE*>(pvANDPlane);
    const auto* xorPlane = static_cast<const BYTE*>(pvXORPlane);
    for (int y = 0; y < nHeight; ++y) {
        for (int x = 0; x < nWidth; ++x) {
            std::size_t byte = std::size_t(y) * stride + std::size_t(x / 8);
            BYTE bit = BYTE(0x80 >> (x % 8));
            bool a = andPlane[byte] & bit, o = xorPlane[byte] & bit;
            // AND 1 / XOR 1 would invert the screen; a picture cannot, so it shows black.
            std::uint32_t pixel = a && !o ? 0x00000000u : (!a && o ? 0xFFFFFFFFu : 0xFF000000u);
            image.pixels[std::size_t(y) * std::size_t(nWidth) + std::size_t(x)] = pixel;
        }
    }
    return toHandle<HCURSOR>(IconTable::Get().Add(std::move(pictures), false));
}

HICON CopyIcon(HICON hIcon) {
    auto pictures = IconTable::Get().Find(hIcon);
    return pictures ? toHandle<HICON>(IconTable::Get().Add(std::move(pictures), false)) : nullptr;
}

HCURSOR CopyCursor(HCURSOR hCursor) { return reinterpret_cast<HCURSOR>(CopyIcon(reinterpret_cast<HICON>(hCursor))); }

BOOL DestroyIcon(HICON hIcon) { return IconTable::Get().Destroy(hIcon) ? TRUE : FALSE; }

BOOL DestroyCursor(HCURSOR hCursor) { return IconTable::Get().Destroy(hCursor) ? TRUE : FALSE; }

bool GetCursorImage(HCURSOR hCursor, IconImage& out) {
    auto pictures = IconTable::Get().Find(hCursor);
    if (!pictures) return false;
    out = pictures->large;
    return true;
}

bool GetIconImage(HICON hIcon, int size, IconImage& out) {
    auto pictures = IconTable::Get().Find(hIcon);
    if (!pictures) return false;
    const IconImage& small = pictures->small;
    bool useSmall = small.width > 0 && std::abs(size - small.width) < std::abs(size - pictures->large.width);
    out = useSmall ? small : pictures->large;
    return true;
}

std::size_t OwnedIconCount() { return IconTable::Get().OwnedCount(); }

} // namespace win
