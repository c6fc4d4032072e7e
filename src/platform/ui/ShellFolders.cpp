#include "platform/ui/ShellFolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace win {
namespace {

namespace fs = std::filesystem;

// Item kinds (the byte after the count).
constexpr BYTE kindRoot = 'R';
constexpr BYTE kindName = 'F';
constexpr BYTE kindComputer = 'C';

// A list longer than this is taken as malformed: no real path comes near it.
constexpr std::size_t maxListBytes = 0x10000;
constexpr int maxItems = 1024;

class TaskAllocator final : public IMalloc {
  public:
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    void* Alloc(std::size_t size) override {
        void* block = std::malloc(size ? size : 1);
        if (!block) return nullptr;
        std::lock_guard lock(m_mutex);
        m_blocks[block] = size;
        return block;
    }
    void* Realloc(void* block, std::size_t size) override {
        if (!block) return Alloc(size);
        std::lock_guard lock(m_mutex);
        auto it = m_blocks.find(block);
        if (it == m_blocks.end()) return nullptr;
        void* moved = std::realloc(block, size ? size : 1);
        if (!moved) return nullptr;
        m_blocks.erase(it);
        m_blocks[moved] = size;
        return moved;
    }
    void Free(void* block) override {
        if (!block) return;
        std::lock_guard lock(m_mutex);
        // Blocks that are not ours are left alone rather than handed to free().
        if (m_blocks.erase(block)) std::free(block);
    }
    std::size_t GetSize(void* block) override {
        std::lock_guard lock(m_mutex);
        auto it = m_blocks.find(block);
        return it == m_blocks.end() ? std::size_t(-1) : it->second;
    }
    int DidAlloc(void* block) override {
        std::lock_guard lock(m_mutex);
        return block && m_blocks.count(block) ? 1 : 0;
    }
    void HeapMinimize() override {}

  private:
    std::mutex m_mutex;
    std::unordered_map<void*, std::size_t> m_blocks;
};

TaskAllocator& allocator() {
    static TaskAllocator* a = new TaskAllocator; // lives as long as the lists it handed out
    return *a;
}

struct Item {
    BYTE kind;
    std::string_view name;
};

const BYTE* bytesOf(LPCITEMIDLIST list) {
    return reinterpret_cast<const BYTE*>(list);
}

USHORT countAt(const BYTE* p) {
    USHORT cb;
    std::memcpy(&cb, p, 2);
    return cb;
}

// The items of a list; false for a malformed one (an item shorter than its count and kind, too long a
// list, too many items).
bool itemsOf(LPCITEMIDLIST list, std::vector<Item>& items) {
    items.clear();
    if (!list) return false;
    const BYTE* p = bytesOf(list);
    std::size_t total = 0;
    for (;;) {
        const USHORT cb = countAt(p);
        if (cb == 0) return true;
        if (cb < 3 || int(items.size()) >= maxItems || (total += cb) + 2 > maxListBytes) return false;
        items.push_back(Item{p[2], std::string_view(reinterpret_cast<const char*>(p + 3), cb - 3u)});
        p += cb;
    }
}

LPITEMIDLIST buildList(const std::vector<Item>& items) {
    std::size_t total = 2;
    for (const Item& item : items)
        total += 3 + item.name.size();
    if (total > maxListBytes) return nullptr;
    BYTE* out = static_cast<BYTE*>(allocator().Alloc(total));
    if (!out) return nullptr;
    BYTE* p = out;
    for (const Item& item : items) {
        const USHORT cb = USHORT(3 + item.name.size());
        std::memcpy(p, &cb, 2);
        p[2] = item.kind;
        std::memcpy(p + 3, item.name.data(), item.name.size());
        p += cb;
    }
    p[0] = p[1] = 0;
    return reinterpret_cast<LPITEMIDLIST>(out);
}

// The path components of an absolute path with "." and ".." resolved; false for a relative path.
bool componentsOf(const std::string& path, std::vector<std::string>& parts) {
    parts.clear();
    if (path.empty() || path[0] != '/') return false;
    std::size_t i = 0;
    while (i < path.size()) {
        const std::size_t end = std::min(path.find('/', i), path.size());
        const std::string part = path.substr(i, end - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = end + 1;
    }
    return true;
}

std::string utf8Of(LPCOLESTR text) {
    std::string out;
    for (; text && *text; ++text) {
        char32_t c = *text;
        if (c >= 0xD800 && c <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(text[1]) - 0xDC00);
            ++text;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD; // a lone surrogate
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool hasSubfolder(const std::string& path) {
    std::error_code ec;
    for (fs::directory_iterator it(path, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code e2;
        if (it->is_directory(e2)) return true;
    }
    return false;
}

class DesktopFolder final : public IShellFolder {
  public:
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT ParseDisplayName(HWND, void*, LPCOLESTR name, ULONG* eaten, LPITEMIDLIST* list,
                             ULONG* attributes) override {
        if (!list) return E_INVALIDARG;
        *list = nullptr;
        if (!name) return E_INVALIDARG;
        const std::string path = utf8Of(name);
        std::vector<std::string> parts;
        if (!componentsOf(path, parts)) return E_INVALIDARG;
        std::error_code ec;
        if (!fs::exists(path, ec)) return HRESULT_FILE_NOT_FOUND;
        *list = idListFromPath(path);
        if (!*list) return E_OUTOFMEMORY;
        if (eaten) {
            ULONG n = 0;
            for (LPCOLESTR c = name; *c; ++c)
                ++n;
            *eaten = n;
        }
        if (attributes) *attributes = attributesOfPath(pathOfIDList(*list), *attributes);
        return S_OK;
    }
    HRESULT GetAttributesOf(UINT count, LPCITEMIDLIST* lists, ULONG* inOut) override {
        if (!inOut || (count && !lists)) return E_INVALIDARG;
        const ULONG wanted = *inOut ? *inOut : ~ULONG(0);
        ULONG common = wanted;
        std::vector<Item> items;
        for (UINT i = 0; i < count; ++i) {
            if (!itemsOf(lists[i], items)) return E_INVALIDARG;
            if (!items.empty() && items.back().kind == kindComputer)
                common &= SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_FILESYSANCESTOR;
            else
                common &= attributesOfPath(pathOfIDList(lists[i]), wanted);
        }
        *inOut = common;
        return S_OK;
    }
};

DesktopFolder& desktop() {
    static DesktopFolder d;
    return d;
}

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && v[0] == '/' ? std::string(v) : fallback;
}

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

} // namespace

HRESULT SHGetMalloc(IMalloc** malloc) {
    if (!malloc) return E_INVALIDARG;
    *malloc = &allocator();
    return S_OK;
}

HRESULT SHGetDesktopFolder(IShellFolder** folder) {
    if (!folder) return E_INVALIDARG;
    *folder = &desktop();
    return S_OK;
}

std::string homeFolder() {
    return envOr("HOME", "/");
}

std::string xdgUserDir(const std::string& key) {
    const std::string home = homeFolder();
    const std::string config = envOr("XDG_CONFIG_HOME", home + "/.config");
    std::ifstream in(config + "/user-dirs.dirs");
    const std::string prefix = "XDG_" + key + "_DIR=";
    std::string line, found;
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) != 0) continue;
        std::string value = line.substr(prefix.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0)
            value = home + value.substr(5);
        else if (value.empty() || value[0] != '/')
            continue; // only absolute paths and $HOME-relative ones are valid
        found = value;
    }
    if (found.empty() && key == "DESKTOP" && isDirectory(home + "/Desktop")) found = home + "/Desktop";
    return found;
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path) {
    if (!path) return FALSE;
    path[0] = '\0';
    const std::string p = pathOfIDList(list);
    if (p.empty() || p.size() >= MAX_PATH) return FALSE;
    std::memcpy(path, p.c_str(), p.size() + 1);
    return TRUE;
}

HRESULT SHGetSpecialFolderLocation(HWND, int csidl, LPITEMIDLIST* list) {
    if (!list) return E_INVALIDARG;
    *list = nullptr;
    const std::string home = homeFolder();
    std::string path;
    switch (csidl) {
    case CSIDL_DESKTOP:
        *list = buildList({});
        return *list ? S_OK : E_OUTOFMEMORY;
    case CSIDL_DRIVES:
        *list = computerIDList();
        return *list ? S_OK : E_OUTOFMEMORY;
    case CSIDL_PROFILE:
        path = home;
        break;
    case CSIDL_PERSONAL:
        path = xdgUserDir("DOCUMENTS");
        break;
    case CSIDL_DESKTOPDIRECTORY:
        path = xdgUserDir("DESKTOP");
        break;
    case CSIDL_MYMUSIC:
        path = xdgUserDir("MUSIC");
        break;
    case CSIDL_MYPICTURES:
        path = xdgUserDir("PICTURES");
        break;
    case CSIDL_MYVIDEO:
        path = xdgUserDir("VIDEOS");
        break;
    case CSIDL_TEMPLATES:
        path = xdgUserDir("TEMPLATES");
        break;
    case CSIDL_PROGRAMS:
        path = envOr("XDG_DATA_HOME", home + "/.local/share") + "/applications";
        break;
    case CSIDL_APPDATA:
        path = envOr("XDG_CONFIG_HOME", home + "/.config");
        break;
    default:
        return E_FAIL;
    }
    if (!isDirectory(path)) return E_FAIL;
    *list = idListFromPath(path);
    return *list ? S_OK : E_OUTOFMEMORY;
}

void ILFree(LPITEMIDLIST list) {
    allocator().Free(list);
}

UINT ILGetSize(LPCITEMIDLIST list) {
    std::vector<Item> items;
    if (!itemsOf(list, items)) return 0;
    UINT total = 2;
    for (const Item& item : items)
        total += UINT(3 + item.name.size());
    return total;
}

LPITEMIDLIST ILClone(LPCITEMIDLIST list) {
    std::vector<Item> items;
    return itemsOf(list, items) ? buildList(items) : nullptr;
}

LPITEMIDLIST ILCombine(LPCITEMIDLIST first, LPCITEMIDLIST second) {
    std::vector<Item> a, b;
    if ((first && !itemsOf(first, a)) || (second && !itemsOf(second, b))) return nullptr;
    a.insert(a.end(), b.begin(), b.end());
    return buildList(a);
}

BOOL ILIsEqual(LPCITEMIDLIST a, LPCITEMIDLIST b) {
    const UINT sa = ILGetSize(a), sb = ILGetSize(b);
    return sa && sa == sb && std::memcmp(a, b, sa) == 0 ? TRUE : FALSE;
}

LPITEMIDLIST idListFromPath(const std::string& path) {
    std::vector<std::string> parts;
    if (!componentsOf(path, parts)) return nullptr;
    std::vector<Item> items{Item{kindRoot, {}}};
    for (const std::string& part : parts)
        items.push_back(Item{kindName, part});
    return buildList(items);
}

std::string pathOfIDList(LPCITEMIDLIST list) {
    std::vector<Item> items;
    if (!itemsOf(list, items)) return {};
    if (items.empty()) {
        const std::string desktopDir = xdgUserDir("DESKTOP");
        return desktopDir.empty() ? homeFolder() : desktopDir;
    }
    if (items[0].kind != kindRoot) return {};
    std::string path = "/";
    for (std::size_t i = 1; i < items.size(); ++i) {
        const Item& item = items[i];
        // A name must be one plain component: separators, NULs and dot names would leave the folder.
        if (item.kind != kindName || item.name.empty() || item.name == "." || item.name == ".." ||
            item.name.find('/') != std::string_view::npos || item.name.find('\0') != std::string_view::npos)
            return {};
        if (path.size() > 1) path += '/';
        path += item.name;
    }
    return path;
}

std::string displayNameOfIDList(LPCITEMIDLIST list) {
    std::vector<Item> items;
    if (!itemsOf(list, items)) return {};
    if (items.empty()) return "Desktop";
    const Item& last = items.back();
    if (last.kind == kindComputer) return "Computer";
    if (last.kind == kindRoot) return "/";
    return std::string(last.name);
}

int idListCount(LPCITEMIDLIST list) {
    std::vector<Item> items;
    return itemsOf(list, items) ? int(items.size()) : -1;
}

LPITEMIDLIST computerIDList() {
    return buildList({Item{kindComputer, {}}});
}

ULONG attributesOfPath(const std::string& path, ULONG wanted) {
    struct stat st {};
    if (path.empty() || lstat(path.c_str(), &st) != 0) return 0;
    ULONG a = SFGAO_FILESYSTEM | SFGAO_CANCOPY | SFGAO_CANLINK | SFGAO_HASPROPSHEET;
    const bool isLink = S_ISLNK(st.st_mode);
    if (isLink) {
        a |= SFGAO_LINK;
        struct stat target {};
        if (stat(path.c_str(), &target) == 0) st = target;
    }
    const bool folder = S_ISDIR(st.st_mode);
    if (folder) a |= SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_DROPTARGET;
    const std::string parent = path == "/" ? "/" : fs::path(path).parent_path().string();
    if (path != "/" && access(parent.c_str(), W_OK) == 0)
        a |= SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE;
    if (access(path.c_str(), W_OK) != 0) a |= SFGAO_READONLY;
    const std::string name = fs::path(path).filename().string();
    if (!name.empty() && name[0] == '.') a |= SFGAO_HIDDEN;
    if (folder && (wanted & SFGAO_HASSUBFOLDER) && hasSubfolder(path)) a |= SFGAO_HASSUBFOLDER;
    return wanted ? (a & wanted) : a;
}

} // namespace win
