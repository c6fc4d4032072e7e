#include "platform/ui/Registry.h"

#include <cstring>

namespace host {

using namespace win;

namespace {

std::string typeName(DWORD type) {
    switch (type) {
    case REG_NONE:
        return "REG_NONE";
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN:
        return "REG_DWORD_BIG_ENDIAN";
    case REG_LINK:
        return "REG_LINK";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    case REG_QWORD:
        return "REG_QWORD";
    default:
        return "type " + std::to_string(type);
    }
}

// Why a registry call failed, for an exception message.
std::string reason(LONG rc) {
    std::string detail = RegLastErrorDetail();
    if (!detail.empty()) return detail;
    switch (rc) {
    case ERROR_INVALID_HANDLE:
        return "no key is open";
    case ERROR_ACCESS_DENIED:
        return "the key is open for reading only";
    case ERROR_KEY_DELETED:
        return "the key has been deleted";
    case ERROR_INVALID_PARAMETER:
        return "invalid name or size";
    default:
        return "error " + std::to_string(rc);
    }
}

TRegDataType dataType(DWORD type) {
    switch (type) {
    case REG_SZ:
        return rdString;
    case REG_EXPAND_SZ:
        return rdExpandString;
    case REG_DWORD:
        return rdInteger;
    case REG_BINARY:
        return rdBinary;
    default:
        return rdUnknown;
    }
}

// Deletes the key at path below base after everything below it.
bool deleteTree(HKEY base, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(base, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
    std::vector<std::string> names;
    char name[MaxRegKeyNameLength + 1];
    for (DWORD i = 0;; ++i) {
        DWORD count = sizeof name;
        if (RegEnumKeyExA(key, i, name, &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, count);
    }
    for (const std::string& sub : names)
        deleteTree(key, sub);
    RegCloseKey(key);
    return RegDeleteKeyA(base, path.c_str()) == ERROR_SUCCESS;
}

} // namespace

TRegistry::~TRegistry() {
    CloseKey();
}

void TRegistry::SetRootKey(HKEY root) {
    if (root == m_rootKey) return;
    CloseKey();
    m_rootKey = root;
}

void TRegistry::CloseKey() {
    if (m_currentKey) RegCloseKey(m_currentKey);
    m_currentKey = nullptr;
    m_currentPath.clear();
}

HKEY TRegistry::baseKey(bool relative) const {
    return m_currentKey && relative ? m_currentKey : m_rootKey;
}

void TRegistry::changeKey(HKEY key, const std::string& path) {
    CloseKey();
    m_currentKey = key;
    m_currentPath = path;
}

bool TRegistry::openAt(const std::string& key, bool canCreate, REGSAM access) {
    bool relative = key.empty() || key[0] != '\\';
    std::string path = relative ? key : key.substr(1);
    HKEY opened = nullptr;
    LONG rc = !canCreate || path.empty()
                  ? RegOpenKeyExA(baseKey(relative), path.c_str(), 0, access, &opened)
                  : RegCreateKeyExA(baseKey(relative), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    access, nullptr, &opened, nullptr);
    if (rc != ERROR_SUCCESS) return false;
    if (m_currentKey && relative) path = m_currentPath.empty() ? path : m_currentPath + "\\" + path;
    changeKey(opened, path);
    return true;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    return openAt(key, canCreate, m_access);
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
    return openAt(key, false, KEY_READ);
}

bool TRegistry::KeyExists(const std::string& key) {
    bool relative = key.empty() || key[0] != '\\';
    HKEY probe = nullptr;
    if (RegOpenKeyExA(baseKey(relative), relative ? key.c_str() : key.c_str() + 1, 0, KEY_READ, &probe) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(probe);
    return true;
}

bool TRegistry::DeleteKey(const std::string& key) {
    bool relative = key.empty() || key[0] != '\\';
    std::string path = relative ? key : key.substr(1);
    if (path.empty()) return false; // the open key or the root itself is not deleted this way
    return deleteTree(baseKey(relative), path);
}

bool TRegistry::GetKeyInfo(TRegKeyInfo& info) {
    DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxData = 0;
    info = {};
    if (RegQueryInfoKeyA(m_currentKey, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values,
                         &maxValueName, &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    info = {std::int32_t(subKeys), std::int32_t(maxSubKey), std::int32_t(values), std::int32_t(maxValueName),
            std::int32_t(maxData)};
    return true;
}

bool TRegistry::HasSubKeys() {
    TRegKeyInfo info;
    return GetKeyInfo(info) && info.NumSubKeys > 0;
}

std::vector<std::string> TRegistry::GetKeyNames() {
    std::vector<std::string> names;
    char name[MaxRegKeyNameLength + 1];
    for (DWORD i = 0;; ++i) {
        DWORD count = sizeof name;
        if (RegEnumKeyExA(m_currentKey, i, name, &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, count);
    }
    return names;
}

std::vector<std::string> TRegistry::GetValueNames() {
    std::vector<std::string> names;
    std::vector<char> name(MaxRegValueNameLength + 1);
    for (DWORD i = 0;; ++i) {
        DWORD count = DWORD(name.size());
        if (RegEnumValueA(m_currentKey, i, name.data(), &count, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name.data(), count);
    }
    return names;
}

bool TRegistry::ValueExists(const std::string& name) {
    return RegQueryValueExA(m_currentKey, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool TRegistry::DeleteValue(const std::string& name) {
    return RegDeleteValueA(m_currentKey, name.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::GetDataInfo(const std::string& name, TRegDataInfo& info) {
    DWORD type = 0, size = 0;
    info = {};
    if (RegQueryValueExA(m_currentKey, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    info = {dataType(type), size > 0x7FFFFFFFu ? 0x7FFFFFFF : std::int32_t(size)};
    return true;
}

TRegDataType TRegistry::GetDataType(const std::string& name) {
    TRegDataInfo info;
    return GetDataInfo(name, info) ? info.RegData : rdUnknown;
}

std::int32_t TRegistry::GetDataSize(const std::string& name) {
    TRegDataInfo info;
    return GetDataInfo(name, info) ? info.DataSize : -1;
}

// ---- writing ----

void TRegistry::putData(const std::string& name, DWORD type, const void* data, std::size_t size) {
    LONG rc = size > 0xFFFFFFFFu ? ERROR_INVALID_PARAMETER
                                 : RegSetValueExA(m_currentKey, name.c_str(), 0, type,
                                                  static_cast<const BYTE*>(data), DWORD(size));
    if (rc != ERROR_SUCCESS) throw ERegistryException("Failed to set data for '" + name + "': " + reason(rc));
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    putData(name, REG_SZ, value.c_str(), value.size() + 1);
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value) {
    putData(name, REG_EXPAND_SZ, value.c_str(), value.size() + 1);
}

void TRegistry::WriteInteger(const std::string& name, std::int32_t value) {
    putData(name, REG_DWORD, &value, 4);
}

void TRegistry::WriteBool(const std::string& name, bool value) {
    WriteInteger(name, value ? 1 : 0);
}

void TRegistry::WriteFloat(const std::string& name, double value) {
    putData(name, REG_BINARY, &value, 8);
}

void TRegistry::WriteCurrency(const std::string& name, TCurrency value) {
    putData(name, REG_BINARY, &value.units, 8);
}

void TRegistry::WriteDate(const std::string& name, TDateTime value) {
    WriteFloat(name, value);
}
void TRegistry::WriteTime(const std::string& name, TDateTime value) {
    WriteFloat(name, value);
}
void TRegistry::WriteDateTime(const std::string& name, TDateTime value) {
    WriteFloat(name, value);
}

void TRegistry::WriteBinaryData(const std::string& name, const void* buffer, std::int32_t size) {
    if (size < 0 || (size > 0 && !buffer))
        throw ERegistryException("Failed to set data for '" + name + "': invalid buffer or size");
    putData(name, REG_BINARY, buffer, std::size_t(size));
}

// ---- reading ----

bool TRegistry::getData(const std::string& name, DWORD& type, std::vector<std::uint8_t>& data) {
    // The value may change size between the size query and the read (another process writing); ask again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD size = 0;
        LONG rc = RegQueryValueExA(m_currentKey, name.c_str(), nullptr, &type, nullptr, &size);
        if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_INVALID_HANDLE) return false;
        if (rc != ERROR_SUCCESS)
            throw ERegistryException("Failed to get data for '" + name + "': " + reason(rc));
        data.resize(size);
        rc =
            RegQueryValueExA(m_currentKey, name.c_str(), nullptr, &type, size ? data.data() : nullptr, &size);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc == ERROR_FILE_NOT_FOUND) return false;
        if (rc != ERROR_SUCCESS)
            throw ERegistryException("Failed to get data for '" + name + "': " + reason(rc));
        data.resize(size);
        return true;
    }
    throw ERegistryException("Failed to get data for '" + name + "': the value keeps changing");
}

void TRegistry::readError(const std::string& name, DWORD stored, std::size_t size, const char* wanted) {
    throw ERegistryException("Invalid data type for '" + name + "': stored as " + typeName(stored) + " of " +
                             std::to_string(size) + " bytes, read as " + wanted);
}

std::string TRegistry::ReadString(const std::string& name) {
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (!getData(name, type, data)) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ) readError(name, type, data.size(), "a string");
    std::string text(data.begin(), data.end());
    return text.substr(0, text.find('\0'));
}

std::int32_t TRegistry::ReadInteger(const std::string& name) {
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (!getData(name, type, data))
        throw ERegistryException("Failed to get data for '" + name + "': no such value");
    if (type != REG_DWORD || data.size() != 4) readError(name, type, data.size(), "an integer");
    std::int32_t value = 0;
    std::memcpy(&value, data.data(), 4);
    return value;
}

bool TRegistry::ReadBool(const std::string& name) {
    return ReadInteger(name) != 0;
}

void TRegistry::readEightBytes(const std::string& name, const char* what, void* out) {
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (!getData(name, type, data))
        throw ERegistryException("Failed to get data for '" + name + "': no such value");
    if (type != REG_BINARY || data.size() != 8) readError(name, type, data.size(), what);
    std::memcpy(out, data.data(), 8);
}

double TRegistry::ReadFloat(const std::string& name) {
    double value = 0;
    readEightBytes(name, "a real number (8 bytes)", &value);
    return value;
}

TCurrency TRegistry::ReadCurrency(const std::string& name) {
    TCurrency value;
    readEightBytes(name, "a currency value (8 bytes)", &value.units);
    return value;
}

TDateTime TRegistry::ReadDate(const std::string& name) {
    return ReadDateTime(name);
}
TDateTime TRegistry::ReadTime(const std::string& name) {
    return ReadDateTime(name);
}

TDateTime TRegistry::ReadDateTime(const std::string& name) {
    TDateTime value = 0;
    readEightBytes(name, "a date and time (8 bytes)", &value);
    return value;
}

std::vector<std::uint8_t> TRegistry::ReadBinary(const std::string& name) {
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (!getData(name, type, data)) return {};
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_DWORD)
        readError(name, type, data.size(), "binary data");
    return data;
}

std::int32_t TRegistry::ReadBinaryData(const std::string& name, void* buffer, std::int32_t size) {
    std::vector<std::uint8_t> data = ReadBinary(name);
    if (data.empty()) return 0;
    if (size < 0 || data.size() > std::size_t(size))
        throw ERegistryException("Failed to get data for '" + name + "': the value has " +
                                 std::to_string(data.size()) + " bytes, more than the " +
                                 std::to_string(size < 0 ? 0 : size) + " bytes of the buffer");
    std::memcpy(buffer, data.data(), data.size());
    return std::int32_t(data.size());
}

} // namespace host
