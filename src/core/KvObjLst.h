// Object lists and object streaming: a registry of classes that can write themselves to a stream and
// be read back as new instances (deep copies, lists in files and form properties, the clipboard), a
// list of objects that can own its items and reports changes, a sorted variant with binary search,
// and a stream over a fixed block of memory.
//
// Object stream record: 1 byte n (the class name's length, at most 63), n bytes of the name, then the
// object's data as its store procedure writes it.
//
// List stream (WriteData/ReadData, and the files of SaveToFile):
//   4 bytes  STREAMKENNUNG, "OBJ" and a zero byte
//   1 byte   sorted lists only: the duplicates mode
//   1 byte   the free-on-removal flag
//   2 bytes  count, signed 16-bit little-endian
//   …        count object stream records, in list order
//
// Everything read from a stream is untrusted: class names must be registered, counts must fit the
// bytes that remain, nesting of lists inside objects is bounded, and an object whose load fails is
// freed. Failures raise EClassNotFound, EStreamError (EReadError for truncation) or EListError.
#pragma once

#include "core/KvObj.h"
#include "platform/ui/Classes.h"
#include "platform/ui/Filer.h"
#include "platform/ui/Streams.h"
#include "platform/win/WinTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <typeindex>
#include <typeinfo>

namespace kv {

// ---- class registry ----

// The load procedure fills a freshly made instance from the stream; the store procedure writes an
// object's own data.
using TLoadProc = std::function<void(host::TObject& object, host::TStream& stream)>;
using TStoreProc = std::function<void(const host::TObject& object, host::TStream& stream)>;

// A class as the registry knows it: the stable name it is stored under, its C++ type, and a factory
// that default-constructs a bare instance for the load procedure to fill.
struct TObjectClass {
    std::string name;
    std::type_index type;
    std::function<host::TObject*()> create;
};

// Longest class name stored in an object stream; longer names are cut.
constexpr std::size_t kMaxClassNameLength = 63;

template <typename T> TObjectClass ClassOf(std::string name) {
    static_assert(std::is_base_of_v<host::TObject, T> && std::is_default_constructible_v<T>);
    return {std::move(name), std::type_index(typeid(T)), [] { return static_cast<host::TObject*>(new T()); }};
}

// Enters the class under its name (cut to 63 characters) with its two procedures. A name is entered
// once; later registrations of the same name are ignored. An empty name is refused (EClassNotFound).
void DoRegisterClass(TLoadProc loadProc, TStoreProc storeProc, const TObjectClass& cls);

// Registers T under name; load is called as load(T&, TStream&), store as store(const T&, TStream&).
template <typename T, typename Load, typename Store>
void RegisterObjectClass(std::string name, Load load, Store store) {
    DoRegisterClass([load](host::TObject& o, host::TStream& s) { load(static_cast<T&>(o), s); },
                    [store](const host::TObject& o, host::TStream& s) { store(static_cast<const T&>(o), s); },
                    ClassOf<T>(std::move(name)));
}

bool IsRegistered(const TObjectClass& cls);
bool IsRegistered(const std::string& name);
bool IsRegistered(std::type_index type);
template <typename T> bool IsRegistered() { return IsRegistered(std::type_index(typeid(T))); }

// The name object's class is registered under; for an unregistered class, its C++ type name.
std::string ClassNameOf(const host::TObject* object);

// Writes the class name record and the object's data. Raises EClassNotFound "Nil Source Class!" for
// no object and "Source Class <name> not registered" for an object of an unregistered class.
void WriteObjectToStream(const host::TObject* object, host::TStream& stream);
// Reads one object record and returns a new instance (the caller owns it). Raises EClassNotFound
// "Class <name> not registered" for an unknown name; a failing load frees the instance and lets the
// exception through.
host::TObject* ReadObjectFromStream(host::TStream& stream);
// A deep copy through the registered procedures; the caller owns it.
host::TObject* CopyOf(const host::TObject* object);

// ---- clipboard ----

win::UINT RegisterClipBoardType(const std::string& name);
// Puts the object's stream record on the clipboard under format. The caller opens and empties the
// clipboard; false when the clipboard refuses the data (for instance when it is not open).
bool CopyObjectToClipboard(win::UINT format, const host::TObject* object);
// A new object read from the clipboard's data of that format, or nullptr when there is none.
host::TObject* PasteObjectFromClipboard(win::UINT format);

// ---- object list ----

// Signature at the start of a list stream: "OBJ" and a zero byte.
inline constexpr char STREAMKENNUNG[4] = {'O', 'B', 'J', '\0'};

// Largest number of items a list holds: counts and indices are 16-bit.
constexpr int kMaxListSize = 32767;

class TObjectList : public host::TPersistent {
public:
    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

    TObjectList();
    TObjectList(bool freeOnRemoval, int capacity);
    explicit TObjectList(const std::string& fileName);
    // No notifications during destruction; frees the items when the list owns them.
    ~TObjectList() override;

    int Count() const { return m_count; }
    int Capacity() const { return m_capacity; }
    bool FreeOnRemoval() const { return m_freeOnRemoval; }
    void SetFreeOnRemoval(bool value) { m_freeOnRemoval = value; }

    virtual host::TObject* Get(int index) const;
    // Replaces the reference at index without notifying; the old object is not freed.
    virtual void Put(int index, host::TObject* object);
    host::TObject* First() const { return Get(0); }
    host::TObject* Last() const { return Get(m_count - 1); }
    host::TObject* operator[](int index) const { return Get(index); }

    virtual int IndexOf(const host::TObject* object) const;
    virtual void Insert(int index, host::TObject* object);
    virtual int AddObject(host::TObject* object);
    virtual void AddObjects(const TObjectList& list);
    // Removes the reference at index; the object is not freed.
    void Delete(int index);
    int Remove(const host::TObject* object);

    virtual void FreeItem(host::TObject* object);
    void FreeAt(int index);
    void FreeObject(host::TObject* object);
    virtual void FreeAll();
    // Forgets all references (without freeing the objects) and releases the array.
    virtual void Clear();
    void DeleteAll() { Clear(); }

    void Exchange(int index1, int index2);
    void Move(int fromIndex, int toIndex);
    // Deletes every empty reference.
    void Pack();
    void SetCapacity(int capacity);
    void SetCount(int count);

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return m_updateCount; }
    virtual void Changed();
    virtual void Changing();

    virtual void WriteData(host::TStream& stream) const;
    // Replaces the items with those of a list stream. On failure the objects read so far stay in the
    // list; the one being read is freed.
    virtual void ReadData(host::TStream& stream);
    void SaveToFile(const std::string& fileName) const;
    // Raises EFOpenError for a file that cannot be opened and EStreamError "Unable to load Object
    // stream" for anything that goes wrong while reading it.
    void LoadFromFile(const std::string& fileName);

protected:
    // Raises EListError with the runtime's list-index message for index.
    [[noreturn]] void Error(int index) const;
    virtual void Grow();
    virtual void SetUpdateState(bool updating);
    // One binary property, "ObjectContainer", stored when the list has items.
    void DefineProperties(host::TFiler* filer) override;

    void checkSignature(host::TStream& stream);
    void writeItems(host::TStream& stream) const;
    void readItems(host::TStream& stream);

private:
    bool m_freeOnRemoval = true;
    std::unique_ptr<host::TObject*[]> m_items;
    int m_count = 0;
    int m_capacity = 0;
    std::int32_t m_updateCount = 0;
};

// ---- sorted object list ----

enum TDuplicates : std::uint8_t { dupIgnore, dupAccept, dupError };

// A list kept in the order of Compare over the items' keys. Insert ignores its index; Put is refused.
class TSortedObjectList : public TObjectList {
public:
    explicit TSortedObjectList(TDuplicates duplicates = dupIgnore);

    TDuplicates Duplicates() const { return m_duplicates; }
    void SetDuplicates(TDuplicates value) { m_duplicates = value; }

    // The key an item is sorted by: the item itself unless a descendant says otherwise.
    virtual const void* KeyOf(const host::TObject* item) const { return item; }
    // Negative, 0 or positive as key1 sorts before, equal to or after key2.
    virtual int Compare(const void* key1, const void* key2) const = 0;
    // Binary search for key: true when an equal key exists; index is where key belongs (with dupAccept
    // the first of a run of equal keys).
    virtual bool Search(const void* key, int& index) const;

    void Put(int index, host::TObject* object) override;
    int IndexOf(const host::TObject* object) const override;
    void Insert(int index, host::TObject* object) override;
    int AddObject(host::TObject* object) override;
    void WriteData(host::TStream& stream) const override;
    void ReadData(host::TStream& stream) override;

private:
    TDuplicates m_duplicates = dupIgnore;
};

// ---- stream over a fixed block of memory ----

// Reads and writes a block it does not own. Reading or writing past the end of the block and seeking
// outside it raise EStreamError. Seeking from the end counts offset back from the end (size − offset).
class TAbsMemStream : public host::TStream {
public:
    TAbsMemStream(void* memory, std::int32_t size);

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    std::int64_t Seek(std::int64_t offset, std::uint16_t origin) override;
    std::int64_t Size() override { return m_size; }
    void* Memory() const { return m_memory; }

private:
    std::uint8_t* m_memory;
    std::int32_t m_size;
    std::int32_t m_position = 0;
};

} // namespace kv
