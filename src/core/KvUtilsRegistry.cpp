// Registry values through the runtime's registry object: one object per call, the root key taken only
// when it is a predefined key, the key created when writing. Reading a missing key or value gives the
// default (or 0), never an error; a value stored with another type than the one read raises
// ERegistryException.
#include "core/KvUtils.h"

#include "platform/ui/Registry.h"

#include <algorithm>
#include <cstring>

namespace kv {
namespace {

void takeRoot(host::TRegistry& reg, win::HKEY root) {
    if (win::IsPredefinedKey(root)) reg.SetRootKey(root);
}

void openForWriting(host::TRegistry& reg, win::HKEY root, const std::string& key) {
    takeRoot(reg, root);
    if (!reg.OpenKey(key, true)) {
        std::string detail = win::RegLastErrorDetail();
        throw host::ERegistryException("Failed to create key '" + key + "'" +
                                       (detail.empty() ? "" : ": " + detail));
    }
}

bool openForReading(host::TRegistry& reg, win::HKEY root, const std::string& key, const std::string& name) {
    takeRoot(reg, root);
    return reg.OpenKeyReadOnly(key) && reg.ValueExists(name);
}

} // namespace

void SaveInRegistry(win::HKEY root, const std::string& key, const std::string& name,
                    const host::Variant& value) {
    host::TRegistry reg;
    openForWriting(reg, root, key);
    switch (value.VarType()) {
    case host::varNull:
    case host::varSmallint:
    case host::varInteger:
    case host::varByte:
        reg.WriteInteger(name, std::int32_t(value.AsInteger()));
        break;
    case host::varSingle:
    case host::varDouble:
        reg.WriteFloat(name, value.AsDouble());
        break;
    case host::varCurrency:
        reg.WriteCurrency(name, value.AsCurrency());
        break;
    case host::varDate:
        reg.WriteDateTime(name, value.AsDouble());
        break;
    case host::varOleStr:
    case host::varString:
        reg.WriteString(name, value.AsString());
        break;
    case host::varBoolean:
        reg.WriteBool(name, value.AsBoolean());
        break;
    default:
        break; // other types are not written
    }
}

// The value read takes the type it was read as: Integer for the integer kinds, Double for both real
// kinds, String for both string kinds; currency, date and Boolean keep theirs.
host::Variant GetFromRegistry(win::HKEY root, const std::string& key, const std::string& name,
                              const host::Variant& value) {
    host::Variant result = value;
    host::TRegistry reg;
    if (!openForReading(reg, root, key, name)) return result;
    switch (value.VarType()) {
    case host::varNull:
    case host::varSmallint:
    case host::varInteger:
    case host::varByte:
        result = host::Variant(reg.ReadInteger(name));
        break;
    case host::varSingle:
    case host::varDouble:
        result = host::Variant(reg.ReadFloat(name));
        break;
    case host::varCurrency:
        result = host::Variant(reg.ReadCurrency(name));
        break;
    case host::varDate:
        result = host::Variant::Date(reg.ReadDateTime(name));
        break;
    case host::varOleStr:
    case host::varString:
        result = host::Variant(reg.ReadString(name));
        break;
    case host::varBoolean:
        result = host::Variant(reg.ReadBool(name));
        break;
    default:
        break;
    }
    return result;
}

void SaveInRegistryBinary(win::HKEY root, const std::string& key, const std::string& name, std::int32_t size,
                          const void* buffer) {
    host::TRegistry reg;
    openForWriting(reg, root, key);
    reg.WriteBinaryData(name, buffer, size);
}

// With size 0 the value's size; otherwise the bytes copied, at most size of them (a larger value gives
// its first size bytes).
std::int32_t GetFromRegistryBinary(win::HKEY root, const std::string& key, const std::string& name,
                                   std::int32_t size, void* buffer) {
    host::TRegistry reg;
    if (!openForReading(reg, root, key, name)) return 0;
    if (size == 0) return std::max(reg.GetDataSize(name), 0);
    if (size < 0 || !buffer) return 0;
    std::vector<std::uint8_t> data = reg.ReadBinary(name);
    std::size_t count = std::min(data.size(), std::size_t(size));
    if (count > 0) std::memcpy(buffer, data.data(), count);
    return std::int32_t(count);
}

} // namespace kv
