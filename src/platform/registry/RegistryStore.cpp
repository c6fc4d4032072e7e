#include "platform/registry/RegistryStore.h"

#include "platform/win/ErrorCodes.h"

#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>

namespace win {
namespace {

thread_local std::string t_detail;

constexpr int SchemaVersion = 1;

const char* const RootNames[RegistryStore::RootCount] = {
    "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA",
};

// Creates the folders of path that are missing, private to the user like the rest of the configuration.
bool createParentFolders(const std::string& path, std::string& error) {
    for (std::size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1)) {
        std::string folder = path.substr(0, pos);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot create folder " + folder + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

} // namespace

const std::string& registryErrorDetail() {
    return t_detail;
}
void setRegistryErrorDetail(std::string detail) {
    t_detail = std::move(detail);
}

// A prepared statement; failures of prepare and step are recorded by the store that made it.
class RegistryStore::Statement {
  public:
    Statement(RegistryStore& store, const char* sql) : m_store(store) {
        m_rc = store.fail(sqlite3_prepare_v2(store.m_db, sql, -1, &m_stmt, nullptr));
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int i, std::int64_t v) {
        if (m_rc == SQLITE_OK) sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    Statement& bind(int i, const std::string& s) {
        if (m_rc == SQLITE_OK)
            sqlite3_bind_text64(m_stmt, i, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        return *this;
    }
    // An empty blob is bound as a zero-length blob, never as NULL.
    Statement& bindBlob(int i, const BYTE* data, std::size_t size) {
        if (m_rc != SQLITE_OK) return *this;
        if (size == 0)
            sqlite3_bind_zeroblob(m_stmt, i, 0);
        else
            sqlite3_bind_blob64(m_stmt, i, data, size, SQLITE_TRANSIENT);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code (recorded).
    int step() {
        if (m_rc != SQLITE_OK) return m_rc;
        int rc = sqlite3_step(m_stmt);
        return rc == SQLITE_ROW || rc == SQLITE_DONE ? rc : m_store.fail(rc);
    }
    std::int64_t integer(int col) { return sqlite3_column_int64(m_stmt, col); }
    std::string text(int col) {
        auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
        return p ? std::string(p, std::size_t(sqlite3_column_bytes(m_stmt, col))) : std::string();
    }
    std::vector<BYTE> blob(int col) {
        auto* p = static_cast<const BYTE*>(sqlite3_column_blob(m_stmt, col));
        return p ? std::vector<BYTE>(p, p + sqlite3_column_bytes(m_stmt, col)) : std::vector<BYTE>();
    }

  private:
    RegistryStore& m_store;
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

// BEGIN IMMEDIATE takes the write lock up front (waiting for other writers through the busy timeout), so
// a transaction never has to upgrade a read lock and cannot deadlock with another process.
class RegistryStore::Transaction {
  public:
    explicit Transaction(RegistryStore& store) : m_store(store), m_rc(store.exec("BEGIN IMMEDIATE")) {}
    ~Transaction() {
        if (m_rc == SQLITE_OK && !m_done) sqlite3_exec(m_store.m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    int begun() const { return m_rc; }
    int commit() {
        int rc = m_store.exec("COMMIT");
        m_done = rc == SQLITE_OK;
        return rc;
    }

  private:
    RegistryStore& m_store;
    int m_rc;
    bool m_done = false;
};

std::shared_ptr<RegistryStore> RegistryStore::open(const std::string& path, LONG& error) {
    std::string why;
    if (!createParentFolders(path, why)) {
        setRegistryErrorDetail("registry " + path + ": " + why);
        error = ERROR_CANTOPEN;
        return nullptr;
    }
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        setRegistryErrorDetail("registry " + path + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
        sqlite3_close(db);
        error = ERROR_CANTOPEN;
        return nullptr;
    }
    std::shared_ptr<RegistryStore> store(new RegistryStore(path, db));
    rc = store->initialise();
    if (rc != SQLITE_OK) {
        error = store->mapped(rc, ERROR_CANTOPEN);
        return nullptr;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        store->m_device = info.st_dev;
        store->m_inode = info.st_ino;
    }
    error = ERROR_SUCCESS;
    return store;
}

RegistryStore::~RegistryStore() {
    sqlite3_close(m_db);
}

bool RegistryStore::isCurrentFile() const {
    struct stat info {};
    return ::stat(m_path.c_str(), &info) == 0 && info.st_dev == m_device && info.st_ino == m_inode;
}

int RegistryStore::initialise() {
    sqlite3_busy_timeout(m_db, BusyTimeoutMs);
    {
        Statement mode(*this, "PRAGMA journal_mode=WAL");
        int rc = mode.step();
        if (rc != SQLITE_ROW) return rc;
        if (mode.text(0) != "wal") {
            setRegistryErrorDetail("registry " + m_path + ": the database cannot use write-ahead logging");
            return SQLITE_CANTOPEN;
        }
    }
    if (int rc = exec("PRAGMA synchronous=FULL"); rc != SQLITE_OK) return rc;

    Transaction txn(*this);
    if (txn.begun() != SQLITE_OK) return txn.begun();
    Statement version(*this, "PRAGMA user_version");
    int rc = version.step();
    if (rc != SQLITE_ROW) return rc;
    std::int64_t found = version.integer(0);
    if (found > SchemaVersion) {
        setRegistryErrorDetail("registry " + m_path + ": written by a newer version (schema " +
                               std::to_string(found) + ")");
        return SQLITE_CORRUPT;
    }
    if (found == SchemaVersion) return txn.commit();
    // The roots have parent NULL; every other key names its parent. Key ids are never reused, so a
    // handle to a deleted key cannot reach a key made later under the same name. Values keep their rowid when
    // they are overwritten, so enumerating by rowid gives the order in which they were first written.
    rc = exec("CREATE TABLE IF NOT EXISTS reg_keys ("
              " id INTEGER PRIMARY KEY AUTOINCREMENT,"
              " parent INTEGER REFERENCES reg_keys(id),"
              " name TEXT NOT NULL COLLATE NOCASE,"
              " UNIQUE (parent, name));"
              "CREATE TABLE IF NOT EXISTS reg_values ("
              " key INTEGER NOT NULL REFERENCES reg_keys(id),"
              " name TEXT NOT NULL COLLATE NOCASE,"
              " type INTEGER NOT NULL,"
              " data BLOB NOT NULL,"
              " PRIMARY KEY (key, name));"
              "PRAGMA user_version = 1;");
    if (rc != SQLITE_OK) return rc;
    for (int i = 0; i < RootCount; ++i) {
        Statement root(*this, "INSERT OR IGNORE INTO reg_keys (id, parent, name) VALUES (?1, NULL, ?2)");
        rc = root.bind(1, rootKey(i)).bind(2, std::string(RootNames[i])).step();
        if (rc != SQLITE_DONE) return rc;
    }
    return txn.commit();
}

int RegistryStore::exec(const char* sql) {
    return fail(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr));
}

// Records the cause of a failed SQLite call; passes every code through.
int RegistryStore::fail(int rc) {
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
        setRegistryErrorDetail("registry " + m_path + ": " + sqlite3_errmsg(m_db));
    return rc;
}

// Called on failure paths only: even an unexpected SQLITE_DONE or SQLITE_ROW maps to the fallback code.
LONG RegistryStore::mapped(int rc, LONG fallback) const {
    switch (rc & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return ERROR_BADDB;
    case SQLITE_NOMEM:
    case SQLITE_TOOBIG:
        return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_FULL:
        return ERROR_DISK_FULL;
    case SQLITE_IOERR:
        return ERROR_REGISTRY_IO_FAILED;
    default:
        return fallback;
    }
}

int RegistryStore::keyExists(KeyId key, bool& exists) {
    Statement st(*this, "SELECT 1 FROM reg_keys WHERE id = ?1");
    int rc = st.bind(1, key).step();
    exists = rc == SQLITE_ROW;
    return rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int RegistryStore::findChild(KeyId parent, const std::string& name, KeyId& child) {
    Statement st(*this, "SELECT id FROM reg_keys WHERE parent = ?1 AND name = ?2");
    int rc = st.bind(1, parent).bind(2, name).step();
    child = rc == SQLITE_ROW ? st.integer(0) : 0;
    return rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// Follows path from base. missing is ERROR_SUCCESS when the whole path exists, ERROR_KEY_DELETED when
// base is gone, ERROR_FILE_NOT_FOUND when a part of the path is.
int RegistryStore::walk(KeyId base, const std::vector<std::string>& path, KeyId& result, LONG& missing) {
    bool exists = false;
    missing = ERROR_SUCCESS;
    if (int rc = keyExists(base, exists); rc != SQLITE_OK) return rc;
    if (!exists) {
        missing = ERROR_KEY_DELETED;
        return SQLITE_OK;
    }
    result = base;
    for (const std::string& name : path) {
        KeyId child = 0;
        if (int rc = findChild(result, name, child); rc != SQLITE_OK) return rc;
        if (child == 0) {
            missing = ERROR_FILE_NOT_FOUND;
            return SQLITE_OK;
        }
        result = child;
    }
    return SQLITE_OK;
}

LONG RegistryStore::openKey(KeyId base, const std::vector<std::string>& path, KeyId& result) {
    std::lock_guard lock(m_mutex);
    LONG missing = ERROR_SUCCESS;
    KeyId found = 0;
    if (int rc = walk(base, path, found, missing); rc != SQLITE_OK) return mapped(rc, ERROR_CANTREAD);
    if (missing == ERROR_SUCCESS) result = found;
    return missing;
}

LONG RegistryStore::createKey(KeyId base, const std::vector<std::string>& path, KeyId& result,
                              bool& created) {
    std::lock_guard lock(m_mutex);
    Transaction txn(*this);
    if (txn.begun() != SQLITE_OK) return mapped(txn.begun(), ERROR_CANTWRITE);
    bool exists = false;
    if (int rc = keyExists(base, exists); rc != SQLITE_OK) return mapped(rc, ERROR_CANTREAD);
    if (!exists) return ERROR_KEY_DELETED;
    KeyId id = base;
    created = false;
    for (const std::string& name : path) {
        KeyId child = 0;
        if (int rc = findChild(id, name, child); rc != SQLITE_OK) return mapped(rc, ERROR_CANTREAD);
        created = child == 0;
        if (created) {
            Statement insert(*this, "INSERT INTO reg_keys (parent, name) VALUES (?1, ?2)");
            if (int rc = insert.bind(1, id).bind(2, name).step(); rc != SQLITE_DONE)
                return mapped(rc, ERROR_CANTWRITE);
            child = sqlite3_last_insert_rowid(m_db);
        }
        id = child;
    }
    if (int rc = txn.commit(); rc != SQLITE_OK) return mapped(rc, ERROR_CANTWRITE);
    result = id;
    return ERROR_SUCCESS;
}

LONG RegistryStore::deleteKey(KeyId base, const std::vector<std::string>& path) {
    std::lock_guard lock(m_mutex);
    Transaction txn(*this);
    if (txn.begun() != SQLITE_OK) return mapped(txn.begun(), ERROR_CANTWRITE);
    LONG missing = ERROR_SUCCESS;
    KeyId target = 0;
    if (int rc = walk(base, path, target, missing); rc != SQLITE_OK) return mapped(rc, ERROR_CANTREAD);
    if (missing != ERROR_SUCCESS) return missing;
    if (target <= RootCount) return ERROR_ACCESS_DENIED;
    Statement children(*this, "SELECT 1 FROM reg_keys WHERE parent = ?1 LIMIT 1");
    int rc = children.bind(1, target).step();
    if (rc == SQLITE_ROW) return ERROR_ACCESS_DENIED;
    if (rc != SQLITE_DONE) return mapped(rc, ERROR_CANTREAD);
    Statement values(*this, "DELETE FROM reg_values WHERE key = ?1");
    if (rc = values.bind(1, target).step(); rc != SQLITE_DONE) return mapped(rc, ERROR_CANTWRITE);
    Statement key(*this, "DELETE FROM reg_keys WHERE id = ?1");
    if (rc = key.bind(1, target).step(); rc != SQLITE_DONE) return mapped(rc, ERROR_CANTWRITE);
    if (rc = txn.commit(); rc != SQLITE_OK) return mapped(rc, ERROR_CANTWRITE);
    return ERROR_SUCCESS;
}

LONG RegistryStore::setValue(KeyId key, const std::string& name, DWORD type, const BYTE* data,
                             std::size_t size) {
    std::lock_guard lock(m_mutex);
    Transaction txn(*this);
    if (txn.begun() != SQLITE_OK) return mapped(txn.begun(), ERROR_CANTWRITE);
    bool exists = false;
    if (int rc = keyExists(key, exists); rc != SQLITE_OK) return mapped(rc, ERROR_CANTREAD);
    if (!exists) return ERROR_KEY_DELETED;
    Statement st(*this, "INSERT INTO reg_values (key, name, type, data) VALUES (?1, ?2, ?3, ?4)"
                        " ON CONFLICT (key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
    if (int rc = st.bind(1, key).bind(2, name).bind(3, std::int64_t(type)).bindBlob(4, data, size).step();
        rc != SQLITE_DONE)
        return mapped(rc, ERROR_CANTWRITE);
    if (int rc = txn.commit(); rc != SQLITE_OK) return mapped(rc, ERROR_CANTWRITE);
    return ERROR_SUCCESS;
}

LONG RegistryStore::queryValue(KeyId key, const std::string& name, Value& value) {
    std::lock_guard lock(m_mutex);
    Statement st(*this, "SELECT name, type, data FROM reg_values WHERE key = ?1 AND name = ?2");
    int rc = st.bind(1, key).bind(2, name).step();
    if (rc == SQLITE_ROW) {
        value.name = st.text(0);
        value.type = DWORD(st.integer(1));
        value.data = st.blob(2);
        return ERROR_SUCCESS;
    }
    if (rc != SQLITE_DONE) return mapped(rc, ERROR_CANTREAD);
    bool exists = false;
    if (rc = keyExists(key, exists); rc != SQLITE_OK) return mapped(rc, ERROR_CANTREAD);
    return exists ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
}

LONG RegistryStore::deleteValue(KeyId key, const std::string& name) {
    std::lock_guard lock(m_mutex);
    Transaction txn(*this);
    if (txn.begun() != SQLITE_OK) return mapped(txn.begun(), ERROR_CANTWRITE);
    bool exists = false;
    if (int rc = keyExists(key, exists); rc != SQLITE_OK) return mapped(rc, ERROR_CANTREAD);
    if (!exists) return ERROR_KEY_DELETED;
    Statement st(*this, "DELETE FROM reg_values WHERE key = ?1 AND name = ?2");
    if (int rc = st.bind(1, key).bind(2, name).step(); rc != SQLITE_DONE) return mapped(rc, ERROR_CANTWRITE);
    if (sqlite3_changes(m_db) == 0) return ERROR_FILE_NOT_FOUND;
    if (int rc = txn.commit(); rc != SQLITE_OK) return mapped(rc, ERROR_CANTWRITE);
    return ERROR_SUCCESS;
}

LONG RegistryStore::enumKey(KeyId key, DWORD index, std::string& name) {
    std::lock_guard lock(m_mutex);
    Statement st(*this, "SELECT name FROM reg_keys WHERE parent = ?1 ORDER BY name, id LIMIT 1 OFFSET ?2");
    int rc = st.bind(1, key).bind(2, std::int64_t(index)).step();
    if (rc == SQLITE_ROW) {
        name = st.text(0);
        return ERROR_SUCCESS;
    }
    if (rc != SQLITE_DONE) return mapped(rc, ERROR_CANTREAD);
    bool exists = false;
    if (rc = keyExists(key, exists); rc != SQLITE_OK) return mapped(rc, ERROR_CANTREAD);
    return exists ? ERROR_NO_MORE_ITEMS : ERROR_KEY_DELETED;
}

LONG RegistryStore::enumValue(KeyId key, DWORD index, Value& value) {
    std::lock_guard lock(m_mutex);
    Statement st(*this,
                 "SELECT name, type, data FROM reg_values WHERE key = ?1 ORDER BY rowid LIMIT 1 OFFSET ?2");
    int rc = st.bind(1, key).bind(2, std::int64_t(index)).step();
    if (rc == SQLITE_ROW) {
        value.name = st.text(0);
        value.type = DWORD(st.integer(1));
        value.data = st.blob(2);
        return ERROR_SUCCESS;
    }
    if (rc != SQLITE_DONE) return mapped(rc, ERROR_CANTREAD);
    bool exists = false;
    if (rc = keyExists(key, exists); rc != SQLITE_OK) return mapped(rc, ERROR_CANTREAD);
    return exists ? ERROR_NO_MORE_ITEMS : ERROR_KEY_DELETED;
}

LONG RegistryStore::queryInfo(KeyId key, KeyInfo& info) {
    std::lock_guard lock(m_mutex);
    bool exists = false;
    if (int rc = keyExists(key, exists); rc != SQLITE_OK) return mapped(rc, ERROR_CANTREAD);
    if (!exists) return ERROR_KEY_DELETED;
    // Lengths in bytes, as the A functions count them.
    Statement keys(*this, "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))), 0)"
                          " FROM reg_keys WHERE parent = ?1");
    if (int rc = keys.bind(1, key).step(); rc != SQLITE_ROW) return mapped(rc, ERROR_CANTREAD);
    Statement values(*this, "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))), 0),"
                            " coalesce(max(length(data)), 0) FROM reg_values WHERE key = ?1");
    if (int rc = values.bind(1, key).step(); rc != SQLITE_ROW) return mapped(rc, ERROR_CANTREAD);
    info.subKeys = DWORD(keys.integer(0));
    info.maxSubKeyLen = DWORD(keys.integer(1));
    info.values = DWORD(values.integer(0));
    info.maxValueNameLen = DWORD(values.integer(1));
    info.maxValueLen = DWORD(values.integer(2));
    return ERROR_SUCCESS;
}

} // namespace win
