// The class registry, object streaming, the clipboard operations and the stream over a memory block.
// The lists themselves are in KvObjLstList.cpp.
#include "core/KvObjLst.h"

#include "platform/ui/SysUtils.h"
#include "platform/win/Clipboard.h"
#include "platform/win/GlobalMemory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <map>
#include <mutex>
#include <unordered_map>

namespace kv {
namespace {

struct Registration {
    TLoadProc load;
    TStoreProc store;
    TObjectClass cls;
};
using RegistrationPtr = std::shared_ptr<const Registration>;

// Registrations are shared out so that load and store procedures run without the lock held: they
// read and write nested objects through the registry themselves.
struct Registry {
    std::mutex lock;
    std::map<std::string, RegistrationPtr> byName;
    std::unordered_map<std::type_index, RegistrationPtr> byType;
};

Registry& registry() {
    static Registry r;
    return r;
}

RegistrationPtr findName(const std::string& name) {
    Registry& r = registry();
    std::lock_guard g(r.lock);
    auto it = r.byName.find(name);
    return it == r.byName.end() ? nullptr : it->second;
}

RegistrationPtr findType(std::type_index type) {
    Registry& r = registry();
    std::lock_guard g(r.lock);
    auto it = r.byType.find(type);
    return it == r.byType.end() ? nullptr : it->second;
}

// A class name read from a stream, fit for a message: control characters shown as '?'.
std::string printableName(std::string name) {
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return name;
}

// Lists hold objects whose load procedures read lists again; a stream that nests deeper than any real
// data would is refused before it exhausts the stack.
constexpr int kMaxObjectNesting = 64;
thread_local int t_nesting = 0;

struct NestingGuard {
    NestingGuard() {
        if (t_nesting >= kMaxObjectNesting)
            throw host::EStreamError("Object stream nested more than " + std::to_string(kMaxObjectNesting) +
                                     " levels deep");
        ++t_nesting;
    }
    ~NestingGuard() { --t_nesting; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;
};

} // namespace

// ---- class registry ----

void DoRegisterClass(TLoadProc loadProc, TStoreProc storeProc, const TObjectClass& cls) {
    if (cls.name.empty() || !cls.create || !loadProc || !storeProc)
        throw host::EClassNotFound("A class is registered with a name, a factory and both procedures");
    auto reg = std::make_shared<Registration>(Registration{std::move(loadProc), std::move(storeProc), cls});
    reg->cls.name.resize(std::min(cls.name.size(), kMaxClassNameLength));
    Registry& r = registry();
    std::lock_guard g(r.lock);
    if (!r.byName.emplace(reg->cls.name, reg).second) return;
    r.byType.emplace(reg->cls.type, reg);
}

bool IsRegistered(const TObjectClass& cls) { return IsRegistered(cls.name); }

bool IsRegistered(const std::string& name) {
    return findName(name.substr(0, kMaxClassNameLength)) != nullptr;
}

bool IsRegistered(std::type_index type) { return findType(type) != nullptr; }

std::string ClassNameOf(const host::TObject* object) {
    if (!object) return "nil";
    if (auto reg = findType(typeid(*object))) return reg->cls.name;
    int status = 0;
    char* demangled = abi::__cxa_demangle(typeid(*object).name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : typeid(*object).name();
    std::free(demangled);
    return name;
}

// ---- object streaming ----

void WriteObjectToStream(const host::TObject* object, host::TStream& stream) {
    if (!object) throw host::EClassNotFound("Nil Source Class!");
    RegistrationPtr reg = findType(typeid(*object));
    if (!reg) throw host::EClassNotFound(host::FmtMessage("Source Class <%s> not registered", ClassNameOf(object)));
    const auto length = std::uint8_t(reg->cls.name.size());
    stream.WriteBuffer(&length, 1);
    stream.WriteBuffer(reg->cls.name.data(), length);
    reg->store(*object, stream);
}

host::TObject* ReadObjectFromStream(host::TStream& stream) {
    NestingGuard nesting;
    std::uint8_t length = 0;
    stream.ReadBuffer(&length, 1);
    std::string name(length, '\0');
    stream.ReadBuffer(name.data(), length);
    RegistrationPtr reg = findName(name);
    if (!reg) throw host::EClassNotFound(host::FmtMessage("Class <%s> not registered", printableName(name)));
    // The factory makes a bare instance; the load procedure sets up everything else. When it fails,
    // the instance is freed here.
    std::unique_ptr<host::TObject> object(reg->cls.create());
    reg->load(*object, stream);
    return object.release();
}

host::TObject* CopyOf(const host::TObject* object) {
    if (!object) throw host::EClassNotFound("Nil Source Class!");
    host::TMemoryStream stream;
    WriteObjectToStream(object, stream);
    stream.SetPosition(0);
    return ReadObjectFromStream(stream);
}

// ---- clipboard ----

win::UINT RegisterClipBoardType(const std::string& name) { return win::RegisterClipboardFormatA(name.c_str()); }

bool CopyObjectToClipboard(win::UINT format, const host::TObject* object) {
    if (!object) throw host::EClassNotFound("Nil Source Class!");
    host::TMemoryStream stream;
    WriteObjectToStream(object, stream);
    const auto size = std::size_t(stream.Size());
    win::HGLOBAL block = win::GlobalAlloc(win::GMEM_MOVEABLE | win::GMEM_ZEROINIT, size);
    void* p = block ? win::GlobalLock(block) : nullptr;
    if (!p) {
        win::GlobalFree(block);
        throw host::EOutOfMemory("Not enough memory to copy object to clipboard");
    }
    if (size) std::memcpy(p, stream.Memory(), size);
    win::GlobalUnlock(block);
    if (!win::SetClipboardData(format, block)) {
        win::GlobalFree(block);
        return false;
    }
    return true;
}

host::TObject* PasteObjectFromClipboard(win::UINT format) {
    // Opening nests when the caller holds the clipboard open already.
    if (!win::OpenClipboard(nullptr)) return nullptr;
    struct Closer {
        ~Closer() { win::CloseClipboard(); }
    } closer;
    win::HGLOBAL block = win::GetClipboardData(format);
    if (!block) return nullptr;
    const std::size_t size = win::GlobalSize(block);
    void* p = win::GlobalLock(block);
    if (!p || size > std::size_t(INT32_MAX)) {
        win::GlobalUnlock(block);
        return nullptr;
    }
    struct Unlocker {
        win::HGLOBAL block;
        ~Unlocker() { win::GlobalUnlock(block); }
    } unlocker{block};
    TAbsMemStream stream(p, std::int32_t(size));
    return ReadObjectFromStream(stream);
}

// ---- TAbsMemStream ----

TAbsMemStream::TAbsMemStream(void* memory, std::int32_t size)
    : m_memory(static_cast<std::uint8_t*>(memory)), m_size(memory && size > 0 ? size : 0) {}

std::int32_t TAbsMemStream::Read(void* buffer, std::int32_t count) {
    if (m_position < 0 || count <= 0) return 0;
    if (count > m_size - m_position) throw host::EStreamError("MemStream reading behond limits");
    std::memcpy(buffer, m_memory + m_position, std::size_t(count));
    m_position += count;
    return count;
}

std::int32_t TAbsMemStream::Write(const void* buffer, std::int32_t count) {
    if (m_position < 0 || count <= 0) return 0;
    if (count > m_size - m_position) throw host::EStreamError("MemStream writing behond limits");
    std::memcpy(m_memory + m_position, buffer, std::size_t(count));
    m_position += count;
    return count;
}

std::int64_t TAbsMemStream::Seek(std::int64_t offset, std::uint16_t origin) {
    std::int64_t target = -1;
    // Offsets far outside the block cannot overflow here: the block is at most 2 GB.
    const std::int64_t clamped = std::max<std::int64_t>(std::min<std::int64_t>(offset, INT64_MAX / 4), INT64_MIN / 4);
    switch (origin) {
    case host::soFromBeginning: target = clamped; break;
    case host::soFromCurrent: target = m_position + clamped; break;
    case host::soFromEnd: target = m_size - clamped; break;
    default: break;
    }
    if (target < 0 || target > m_size) throw host::EStreamError("MemStream seeking behond limits");
    m_position = std::int32_t(target);
    return m_position;
}

} // namespace kv
