// One registry database: a tree of keys with case-insensitive names under the seven root keys, each key
// holding typed values. It lives in an SQLite file in WAL mode. Every change runs in its own immediate
// transaction with full sync, so a value written is on disk when the call returns, a crash leaves the
// last committed state, and several processes can write at once (each waits its turn, up to a timeout).
#pragma once

#include "platform/win/WinTypes.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace win {

class RegistryStore {
  public:
    using KeyId = std::int64_t;
    static constexpr int RootCount = 7;
    // The root keys have the fixed ids 1 … 7 (HKEY_CLASSES_ROOT … HKEY_DYN_DATA).
    static constexpr KeyId rootKey(int index) { return KeyId(index) + 1; }
    // How long a call waits for another process's write to finish before it fails.
    static constexpr int BusyTimeoutMs = 15000;

    struct Value {
        std::string name;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    struct KeyInfo {
        DWORD subKeys = 0, maxSubKeyLen = 0, values = 0, maxValueNameLen = 0, maxValueLen = 0;
    };

    // Opens the database at path, creating the file and its folder when missing. On failure: null, with
    // error set to a registry result code and the cause in registryErrorDetail().
    static std::shared_ptr<RegistryStore> open(const std::string& path, LONG& error);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    const std::string& path() const { return m_path; }
    // Whether the file at path() is still the one this store opened (not deleted or replaced since).
    bool isCurrentFile() const;

    // All operations return a registry result code. A key id that no longer exists (deleted, possibly by
    // another process) gives ERROR_KEY_DELETED.
    LONG openKey(KeyId base, const std::vector<std::string>& path, KeyId& result);
    LONG createKey(KeyId base, const std::vector<std::string>& path, KeyId& result, bool& created);
    // Deletes the key at path below base (base itself for an empty path) together with its values. A key
    // that still has subkeys, and a root key, are refused with ERROR_ACCESS_DENIED.
    LONG deleteKey(KeyId base, const std::vector<std::string>& path);
    LONG setValue(KeyId key, const std::string& name, DWORD type, const BYTE* data, std::size_t size);
    LONG queryValue(KeyId key, const std::string& name, Value& value);
    LONG deleteValue(KeyId key, const std::string& name);
    // Subkeys in name order, values in the order they were first written; ERROR_NO_MORE_ITEMS past the end.
    LONG enumKey(KeyId key, DWORD index, std::string& name);
    LONG enumValue(KeyId key, DWORD index, Value& value);
    LONG queryInfo(KeyId key, KeyInfo& info);

  private:
    class Statement;
    class Transaction;

    RegistryStore(std::string path, sqlite3* db) : m_path(std::move(path)), m_db(db) {}
    int initialise();
    int exec(const char* sql);
    int keyExists(KeyId key, bool& exists);
    int findChild(KeyId parent, const std::string& name, KeyId& child);
    int walk(KeyId base, const std::vector<std::string>& path, KeyId& result, LONG& missing);
    int fail(int rc);
    LONG mapped(int rc, LONG fallback) const;

    std::string m_path;
    sqlite3* m_db = nullptr;
    std::uint64_t m_device = 0, m_inode = 0;
    std::mutex m_mutex;
};

// The cause of the last failure of a registry function on this thread ("" when there is none).
const std::string& registryErrorDetail();
void setRegistryErrorDetail(std::string detail);

} // namespace win
