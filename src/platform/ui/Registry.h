// The runtime's registry object: one open key at a time below a root key, with typed reads and writes.
// Integers and Booleans are REG_DWORD values, strings REG_SZ, and reals, dates and currency 8-byte
// REG_BINARY values. Reading a value stored with another type raises ERegistryException.
#pragma once

#include "platform/registry/Registry.h"
#include "platform/ui/Classes.h"
#include "platform/ui/SysUtils.h"
#include "platform/ui/Variants.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host {

class ERegistryException : public Exception {
  public:
    using Exception::Exception;
};

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
    TRegDataType RegData = rdUnknown;
    std::int32_t DataSize = 0;
};

struct TRegKeyInfo {
    std::int32_t NumSubKeys = 0, MaxSubKeyLen = 0, NumValues = 0, MaxValueLen = 0, MaxDataLen = 0;
};

class TRegistry : public TObject {
  public:
    TRegistry() = default;
    explicit TRegistry(win::REGSAM access) : m_access(access) {}
    ~TRegistry() override;

    win::HKEY RootKey() const { return m_rootKey; }
    // Closes the open key; the root key is HKEY_CURRENT_USER until set.
    void SetRootKey(win::HKEY root);
    win::HKEY CurrentKey() const { return m_currentKey; }
    const std::string& CurrentPath() const { return m_currentPath; }
    win::REGSAM Access() const { return m_access; }
    void SetAccess(win::REGSAM access) { m_access = access; }

    // Opens key, relative to the open key unless it starts with "\" (then from the root key), and makes
    // it the open key. With canCreate the key and the keys above it are created as needed. False when
    // the key does not exist or cannot be opened; the open key stays as it was.
    bool OpenKey(const std::string& key, bool canCreate);
    bool OpenKeyReadOnly(const std::string& key);
    void CloseKey();
    bool KeyExists(const std::string& key);
    // Deletes the key with everything below it.
    bool DeleteKey(const std::string& key);
    bool HasSubKeys();
    bool GetKeyInfo(TRegKeyInfo& info);
    std::vector<std::string> GetKeyNames();
    std::vector<std::string> GetValueNames();

    bool ValueExists(const std::string& name);
    bool DeleteValue(const std::string& name);
    TRegDataType GetDataType(const std::string& name);
    // The value's size in bytes; -1 when there is no such value.
    std::int32_t GetDataSize(const std::string& name);
    bool GetDataInfo(const std::string& name, TRegDataInfo& info);

    // Writes raise ERegistryException when the value cannot be stored.
    void WriteString(const std::string& name, const std::string& value);
    void WriteExpandString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, std::int32_t value);
    void WriteBool(const std::string& name, bool value);
    void WriteFloat(const std::string& name, double value);
    void WriteCurrency(const std::string& name, TCurrency value);
    void WriteDate(const std::string& name, TDateTime value);
    void WriteTime(const std::string& name, TDateTime value);
    void WriteDateTime(const std::string& name, TDateTime value);
    void WriteBinaryData(const std::string& name, const void* buffer, std::int32_t size);

    // A missing string reads as empty; the other reads raise ERegistryException for a missing value, and
    // all of them for a value of another type (or, for 8-byte values, another size).
    std::string ReadString(const std::string& name);
    std::int32_t ReadInteger(const std::string& name);
    bool ReadBool(const std::string& name);
    double ReadFloat(const std::string& name);
    TCurrency ReadCurrency(const std::string& name);
    TDateTime ReadDate(const std::string& name);
    TDateTime ReadTime(const std::string& name);
    TDateTime ReadDateTime(const std::string& name);
    // Reads a binary value into buffer and returns its size: 0 for a missing value; a value larger than
    // size raises ERegistryException and leaves the buffer untouched.
    std::int32_t ReadBinaryData(const std::string& name, void* buffer, std::int32_t size);
    // The whole of a binary value (empty for a missing one).
    std::vector<std::uint8_t> ReadBinary(const std::string& name);

  private:
    win::HKEY baseKey(bool relative) const;
    void changeKey(win::HKEY key, const std::string& path);
    bool openAt(const std::string& key, bool canCreate, win::REGSAM access);
    // Reads the whole value; false when it does not exist. Raises for other failures.
    bool getData(const std::string& name, win::DWORD& type, std::vector<std::uint8_t>& data);
    void putData(const std::string& name, win::DWORD type, const void* data, std::size_t size);
    // The 8 bytes of a REG_BINARY value of that size (reals, dates, currency) into out.
    void readEightBytes(const std::string& name, const char* what, void* out);
    [[noreturn]] static void readError(const std::string& name, win::DWORD stored, std::size_t size,
                                       const char* wanted);

    win::HKEY m_rootKey = win::HKEY_CURRENT_USER;
    win::HKEY m_currentKey = nullptr;
    std::string m_currentPath;
    win::REGSAM m_access = win::KEY_ALL_ACCESS;
};

} // namespace host
