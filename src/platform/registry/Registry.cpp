#include "platform/registry/Registry.h"

#include "platform/registry/RegistryStore.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <pwd.h>
#include <string_view>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace win {
namespace {

constexpr std::uintptr_t FirstRoot = 0x80000000u;
constexpr std::uintptr_t LastRoot = 0x80000006u;

struct OpenKey {
    std::shared_ptr<RegistryStore> store;
    RegistryStore::KeyId id = 0;
    REGSAM access = 0;
};

// Handles are numbers that are never reused, so a closed or made-up handle is refused rather than
// reaching another key.
struct HandleTable {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, OpenKey> open;
    std::uintptr_t next = 0x1000;
    std::shared_ptr<RegistryStore> current; // the database the root keys use
};

// Made on first use, so the registry also works from static initialisers of other files.
HandleTable& table() {
    static HandleTable t;
    return t;
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/tmp";
}

std::string databasePath() {
    if (const char* env = std::getenv("QUILLAN_REGISTRY"); env && *env) {
        std::error_code ec;
        auto absolute = std::filesystem::absolute(env, ec);
        return ec ? std::string(env) : absolute.string();
    }
    // Relative XDG folders are to be ignored.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string config = xdg && xdg[0] == '/' ? std::string(xdg) : homeFolder() + "/.config";
    return config + "/quillan/registry.db";
}

LONG resolve(HKEY key, OpenKey& out) {
    auto value = reinterpret_cast<std::uintptr_t>(key);
    HandleTable& t = table();
    std::lock_guard lock(t.mutex);
    if (value >= FirstRoot && value <= LastRoot) {
        std::string path = databasePath();
        // A database file deleted or replaced while open is opened anew: writing on into the old one
        // would lose every change.
        if (!t.current || t.current->path() != path || !t.current->isCurrentFile()) {
            LONG error = ERROR_SUCCESS;
            auto store = RegistryStore::open(path, error);
            if (!store) return error;
            t.current = std::move(store);
        }
        out = {t.current, RegistryStore::rootKey(int(value - FirstRoot)), KEY_ALL_ACCESS};
        return ERROR_SUCCESS;
    }
    auto it = t.open.find(value);
    if (it == t.open.end()) return ERROR_INVALID_HANDLE;
    out = it->second;
    return ERROR_SUCCESS;
}

HKEY addHandle(OpenKey key) {
    HandleTable& t = table();
    std::lock_guard lock(t.mutex);
    std::uintptr_t value = t.next;
    t.next += 4;
    t.open.emplace(value, std::move(key));
    return reinterpret_cast<HKEY>(value);
}

// Splits a key path at "\"; empty parts (leading, trailing or doubled separators) are skipped.
LONG splitPath(LPCSTR subKey, std::vector<std::string>& parts) {
    if (!subKey) return ERROR_SUCCESS;
    std::string_view s(subKey);
    std::size_t start = 0;
    while (start <= s.size()) {
        std::size_t end = s.find('\\', start);
        if (end == std::string_view::npos) end = s.size();
        if (end > start) {
            if (end - start > MaxRegKeyNameLength) return ERROR_INVALID_PARAMETER;
            parts.emplace_back(s.substr(start, end - start));
        }
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

LONG valueName(LPCSTR name, std::string& out) {
    out = name ? name : "";
    return out.size() > MaxRegValueNameLength ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
}

// Copies a name with its terminating zero into a buffer of *count bytes; *count becomes its length.
LONG copyName(const std::string& name, LPSTR buffer, LPDWORD count) {
    if (name.size() + 1 > *count) return ERROR_MORE_DATA;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *count = DWORD(name.size());
    return ERROR_SUCCESS;
}

void emptyClass(LPSTR lpClass, LPDWORD lpcchClass) {
    if (lpClass && lpcchClass && *lpcchClass > 0) lpClass[0] = '\0';
    if (lpcchClass) *lpcchClass = 0;
}

} // namespace

bool IsPredefinedKey(HKEY key) {
    auto value = reinterpret_cast<std::uintptr_t>(key);
    return value >= FirstRoot && value <= LastRoot;
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, const void* lpSecurityAttributes, PHKEY phkResult,
                     LPDWORD lpdwDisposition) {
    setRegistryErrorDetail({});
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    OpenKey base;
    std::vector<std::string> parts;
    if (LONG rc = resolve(hKey, base); rc != ERROR_SUCCESS) return rc;
    if (LONG rc = splitPath(lpSubKey, parts); rc != ERROR_SUCCESS) return rc;
    if (!parts.empty() && !(base.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    RegistryStore::KeyId id = 0;
    bool created = false;
    LONG rc = parts.empty() ? base.store->openKey(base.id, parts, id)
                            : base.store->createKey(base.id, parts, id, created);
    if (rc != ERROR_SUCCESS) return rc;
    *phkResult = addHandle({base.store, id, samDesired});
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
    setRegistryErrorDetail({});
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    OpenKey base;
    std::vector<std::string> parts;
    if (LONG rc = resolve(hKey, base); rc != ERROR_SUCCESS) return rc;
    if (LONG rc = splitPath(lpSubKey, parts); rc != ERROR_SUCCESS) return rc;
    RegistryStore::KeyId id = 0;
    if (LONG rc = base.store->openKey(base.id, parts, id); rc != ERROR_SUCCESS) return rc;
    *phkResult = addHandle({base.store, id, samDesired});
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
    if (IsPredefinedKey(hKey)) return ERROR_SUCCESS;
    HandleTable& t = table();
    std::shared_ptr<RegistryStore> last; // a store closes outside the table's lock
    std::lock_guard lock(t.mutex);
    auto it = t.open.find(reinterpret_cast<std::uintptr_t>(hKey));
    if (it == t.open.end()) return ERROR_INVALID_HANDLE;
    last = std::move(it->second.store);
    t.open.erase(it);
    return ERROR_SUCCESS;
}

LONG RegFlushKey(HKEY hKey) {
    OpenKey key;
    return resolve(hKey, key);
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
    setRegistryErrorDetail({});
    OpenKey key;
    std::string name;
    if (LONG rc = resolve(hKey, key); rc != ERROR_SUCCESS) return rc;
    if (LONG rc = valueName(lpValueName, name); rc != ERROR_SUCCESS) return rc;
    if (!(key.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (!lpData && cbData > 0) return ERROR_INVALID_PARAMETER;
    if ((dwType == REG_DWORD || dwType == REG_DWORD_BIG_ENDIAN) && cbData != 4)
        return ERROR_INVALID_PARAMETER;
    if (dwType == REG_QWORD && cbData != 8) return ERROR_INVALID_PARAMETER;
    return key.store->setValue(key.id, name, dwType, lpData, cbData);
}

// Hands a value out the platform's way: its type, and its data when the buffer is large enough, else
// ERROR_MORE_DATA with the size needed; a null buffer asks for the size only.
static LONG copyValue(const RegistryStore::Value& value, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (value.data.size() > 0xFFFFFFFFu) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD size = DWORD(value.data.size());
    if (lpType) *lpType = value.type;
    if (!lpcbData) return ERROR_SUCCESS;
    if (lpData && *lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData && size > 0) std::memcpy(lpData, value.data.data(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData) {
    setRegistryErrorDetail({});
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    OpenKey key;
    std::string name;
    if (LONG rc = resolve(hKey, key); rc != ERROR_SUCCESS) return rc;
    if (LONG rc = valueName(lpValueName, name); rc != ERROR_SUCCESS) return rc;
    RegistryStore::Value value;
    if (LONG rc = key.store->queryValue(key.id, name, value); rc != ERROR_SUCCESS) return rc;
    return copyValue(value, lpType, lpData, lpcbData);
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    setRegistryErrorDetail({});
    OpenKey key;
    std::string name;
    if (LONG rc = resolve(hKey, key); rc != ERROR_SUCCESS) return rc;
    if (LONG rc = valueName(lpValueName, name); rc != ERROR_SUCCESS) return rc;
    if (!(key.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    return key.store->deleteValue(key.id, name);
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    setRegistryErrorDetail({});
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    OpenKey key;
    std::vector<std::string> parts;
    if (LONG rc = resolve(hKey, key); rc != ERROR_SUCCESS) return rc;
    if (LONG rc = splitPath(lpSubKey, parts); rc != ERROR_SUCCESS) return rc;
    return key.store->deleteKey(key.id, parts);
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                   LPSTR lpClass, LPDWORD lpcchClass, void* lpftLastWriteTime) {
    setRegistryErrorDetail({});
    if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
    OpenKey key;
    if (LONG rc = resolve(hKey, key); rc != ERROR_SUCCESS) return rc;
    std::string name;
    if (LONG rc = key.store->enumKey(key.id, dwIndex, name); rc != ERROR_SUCCESS) return rc;
    if (LONG rc = copyName(name, lpName, lpcchName); rc != ERROR_SUCCESS) return rc;
    emptyClass(lpClass, lpcchClass);
    return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    setRegistryErrorDetail({});
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    OpenKey key;
    if (LONG rc = resolve(hKey, key); rc != ERROR_SUCCESS) return rc;
    RegistryStore::Value value;
    if (LONG rc = key.store->enumValue(key.id, dwIndex, value); rc != ERROR_SUCCESS) return rc;
    if (LONG rc = copyName(value.name, lpValueName, lpcchValueName); rc != ERROR_SUCCESS) return rc;
    return copyValue(value, lpType, lpData, lpcbData);
}

LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                      LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                      LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                      void* lpftLastWriteTime) {
    setRegistryErrorDetail({});
    if (lpReserved) return ERROR_INVALID_PARAMETER;
    OpenKey key;
    if (LONG rc = resolve(hKey, key); rc != ERROR_SUCCESS) return rc;
    RegistryStore::KeyInfo info;
    if (LONG rc = key.store->queryInfo(key.id, info); rc != ERROR_SUCCESS) return rc;
    emptyClass(lpClass, lpcchClass);
    if (lpcSubKeys) *lpcSubKeys = info.subKeys;
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = info.maxSubKeyLen;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcValues) *lpcValues = info.values;
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = info.maxValueNameLen;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = info.maxValueLen;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    return ERROR_SUCCESS;
}

std::string RegDatabasePath() {
    return databasePath();
}

std::string RegLastErrorDetail() {
    return registryErrorDetail();
}

} // namespace win
