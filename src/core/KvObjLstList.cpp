// TObjectList and TSortedObjectList.
#include "core/KvObjLst.h"

#include "platform/ui/SysUtils.h"

#include <algorithm>
#include <cstring>

namespace kv {
namespace {

void writeByte(host::TStream& s, std::uint8_t v) { s.WriteBuffer(&v, 1); }

std::uint8_t readByte(host::TStream& s) {
    std::uint8_t v = 0;
    s.ReadBuffer(&v, 1);
    return v;
}

void writeInt16(host::TStream& s, std::int16_t v) {
    const std::uint8_t b[2] = {std::uint8_t(std::uint16_t(v)), std::uint8_t(std::uint16_t(v) >> 8)};
    s.WriteBuffer(b, 2);
}

std::int16_t readInt16(host::TStream& s) {
    std::uint8_t b[2];
    s.ReadBuffer(b, 2);
    return std::int16_t(std::uint16_t(b[0] | b[1] << 8));
}

// Smallest object record: a length byte and a class name of at least one character.
constexpr std::int64_t kMinObjectRecord = 2;

} // namespace

// ---- construction ----

TObjectList::TObjectList() = default;

TObjectList::TObjectList(bool freeOnRemoval, int capacity) : m_freeOnRemoval(freeOnRemoval) {
    SetCapacity(capacity);
}

TObjectList::TObjectList(const std::string& fileName) {
    try {
        LoadFromFile(fileName);
    } catch (...) {
        // The destructor does not run for a constructor that fails, and nobody else can reach the
        // objects read so far: free them whatever flag the file gave the list.
        m_freeOnRemoval = true;
        FreeAll();
        throw;
    }
}

TObjectList::~TObjectList() {
    OnChange = nullptr;
    OnChanging = nullptr;
    FreeAll();
    Clear();
}

// ---- access ----

void TObjectList::Error(int index) const { throw host::EListError(host::FmtMessage(host::SListIndexError, index)); }

host::TObject* TObjectList::Get(int index) const {
    if (index < 0 || index >= m_count) Error(index);
    return m_items[index];
}

void TObjectList::Put(int index, host::TObject* object) {
    if (index < 0 || index >= m_count) Error(index);
    m_items[index] = object;
}

int TObjectList::IndexOf(const host::TObject* object) const {
    for (int i = 0; i < m_count; ++i)
        if (m_items[i] == object) return i;
    return -1;
}

// ---- insertion and removal ----

void TObjectList::Insert(int index, host::TObject* object) {
    if (index < 0 || index > m_count) Error(index);
    if (m_count >= kMaxListSize) throw host::EListError(host::FmtMessage(host::SListCapacityError, kMaxListSize + 1));
    Changing();
    if (m_count == m_capacity) Grow();
    std::copy_backward(m_items.get() + index, m_items.get() + m_count, m_items.get() + m_count + 1);
    m_items[index] = object;
    ++m_count;
    Changed();
}

int TObjectList::AddObject(host::TObject* object) {
    const int index = m_count;
    Insert(index, object);
    return index;
}

void TObjectList::AddObjects(const TObjectList& list) {
    BeginUpdate();
    try {
        // The source's count is taken once, so a list can add its own items.
        for (int i = 0, n = list.Count(); i < n; ++i) AddObject(list.Get(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TObjectList::Delete(int index) {
    if (index < 0 || index >= m_count) Error(index);
    Changing();
    std::copy(m_items.get() + index + 1, m_items.get() + m_count, m_items.get() + index);
    --m_count;
    Changed();
}

int TObjectList::Remove(const host::TObject* object) {
    const int index = IndexOf(object);
    if (index >= 0) Delete(index);
    return index;
}

void TObjectList::FreeItem(host::TObject* object) {
    if (m_freeOnRemoval) delete object;
}

void TObjectList::FreeAt(int index) {
    FreeItem(Get(index));
    Delete(index);
}

void TObjectList::FreeObject(host::TObject* object) {
    const int index = IndexOf(object);
    if (index < 0) throw host::EListError(host::FmtMessage("TObject %s not in item list", ClassNameOf(object)));
    FreeAt(index);
}

void TObjectList::FreeAll() {
    for (int i = 0; i < m_count; ++i) FreeItem(m_items[i]);
    Clear();
}

void TObjectList::Clear() {
    if (m_count == 0) return;
    Changing();
    m_count = 0;
    m_capacity = 0;
    m_items.reset();
    Changed();
}

// ---- rearranging and sizing ----

void TObjectList::Exchange(int index1, int index2) {
    if (index1 == index2) return;
    if (index1 < 0 || index1 >= m_count) Error(index1);
    if (index2 < 0 || index2 >= m_count) Error(index2);
    Changing();
    std::swap(m_items[index1], m_items[index2]);
    Changed();
}

void TObjectList::Move(int fromIndex, int toIndex) {
    if (fromIndex == toIndex) return;
    if (toIndex < 0 || toIndex >= m_count) Error(toIndex);
    host::TObject* object = Get(fromIndex);
    Delete(fromIndex);
    Insert(toIndex, object);
}

void TObjectList::Pack() {
    for (int i = m_count - 1; i >= 0; --i)
        if (!m_items[i]) Delete(i);
}

void TObjectList::SetCapacity(int capacity) {
    if (capacity == m_capacity) return;
    if (capacity < m_count || capacity > kMaxListSize) Error(capacity);
    std::unique_ptr<host::TObject*[]> items(capacity ? new host::TObject* [std::size_t(capacity)]() : nullptr);
    std::copy(m_items.get(), m_items.get() + m_count, items.get());
    m_items = std::move(items);
    m_capacity = capacity;
}

void TObjectList::SetCount(int count) {
    if (count < 0 || count > kMaxListSize) Error(count);
    if (count > m_capacity) SetCapacity(count);
    if (count > m_count) std::fill(m_items.get() + m_count, m_items.get() + count, nullptr);
    m_count = count;
}

void TObjectList::Grow() {
    const int delta = m_capacity > 8 ? 16 : m_capacity > 4 ? 8 : 4;
    SetCapacity(std::min(m_capacity + delta, kMaxListSize));
}

// ---- notification ----

void TObjectList::BeginUpdate() {
    if (m_updateCount == 0) SetUpdateState(true);
    ++m_updateCount;
}

void TObjectList::EndUpdate() {
    --m_updateCount;
    if (m_updateCount == 0) SetUpdateState(false);
}

void TObjectList::SetUpdateState(bool updating) {
    if (updating) Changing();
    else Changed();
}

void TObjectList::Changing() {
    if (m_updateCount == 0 && OnChanging) OnChanging(this);
}

void TObjectList::Changed() {
    if (m_updateCount == 0 && OnChange) OnChange(this);
}

// ---- streaming ----

void TObjectList::DefineProperties(host::TFiler* filer) {
    filer->DefineBinaryProperty(
        "ObjectContainer", [this](host::TStream& s) { ReadData(s); }, [this](host::TStream& s) { WriteData(s); },
        m_count > 0);
}

void TObjectList::WriteData(host::TStream& stream) const {
    stream.WriteBuffer(STREAMKENNUNG, sizeof STREAMKENNUNG);
    writeItems(stream);
}

void TObjectList::writeItems(host::TStream& stream) const {
    writeByte(stream, m_freeOnRemoval ? 1 : 0);
    writeInt16(stream, std::int16_t(m_count));
    for (int i = 0; i < m_count; ++i) WriteObjectToStream(m_items[i], stream);
}

void TObjectList::ReadData(host::TStream& stream) {
    BeginUpdate();
    try {
        checkSignature(stream);
        FreeAll();
        readItems(stream);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TObjectList::checkSignature(host::TStream& stream) {
    char signature[sizeof STREAMKENNUNG];
    stream.ReadBuffer(signature, sizeof signature);
    if (std::memcmp(signature, STREAMKENNUNG, sizeof signature) != 0)
        throw host::EStreamError("Invalid Object stream");
}

void TObjectList::readItems(host::TStream& stream) {
    m_freeOnRemoval = readByte(stream) != 0;
    const int count = readInt16(stream);
    if (count < 0) throw host::EStreamError("Invalid Object stream: negative count " + std::to_string(count));
    // Every object takes some bytes: a count the rest of the stream cannot hold is refused before any
    // capacity is reserved for it.
    const std::int64_t left = stream.bytesLeft();
    if (count > left / kMinObjectRecord)
        throw host::EStreamError("Invalid Object stream: " + std::to_string(count) + " objects cannot fit in " +
                                 std::to_string(left) + " bytes");
    if (m_capacity < count) SetCapacity(count);
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<host::TObject> object(ReadObjectFromStream(stream));
        // A sorted list may decline the object (an equal one is kept); nobody else holds it then.
        const int before = m_count;
        try {
            AddObject(object.get());
        } catch (...) {
            if (m_count > before) object.release();
            throw;
        }
        if (m_count > before) object.release();
    }
}

void TObjectList::SaveToFile(const std::string& fileName) const {
    host::TFileStream file(fileName, host::fmCreate);
    WriteData(file);
}

void TObjectList::LoadFromFile(const std::string& fileName) {
    host::TFileStream file(fileName, host::fmOpenRead);
    try {
        ReadData(file);
    } catch (...) {
        throw host::EStreamError("Unable to load Object stream");
    }
}

// ---- TSortedObjectList ----

TSortedObjectList::TSortedObjectList(TDuplicates duplicates) : m_duplicates(duplicates) {}

bool TSortedObjectList::Search(const void* key, int& index) const {
    bool found = false;
    int lo = 0;
    int hi = Count() - 1;
    while (hi >= lo) {
        const int mid = (lo + hi) / 2;
        const int c = Compare(KeyOf(Get(mid)), key);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (m_duplicates != dupAccept) lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

void TSortedObjectList::Put(int, host::TObject*) {
    throw host::EListError("Cannot <Put> an Object in a sorted list!");
}

int TSortedObjectList::IndexOf(const host::TObject* object) const {
    int index = 0;
    return Search(KeyOf(object), index) ? index : -1;
}

void TSortedObjectList::Insert(int, host::TObject* object) {
    int index = 0;
    if (Search(KeyOf(object), index)) {
        if (m_duplicates == dupIgnore) return;
        if (m_duplicates == dupError) throw host::EListError("Duplicate Object index");
    }
    TObjectList::Insert(index, object);
}

int TSortedObjectList::AddObject(host::TObject* object) {
    Insert(-1, object);
    return IndexOf(object);
}

void TSortedObjectList::WriteData(host::TStream& stream) const {
    stream.WriteBuffer(STREAMKENNUNG, sizeof STREAMKENNUNG);
    writeByte(stream, m_duplicates);
    writeItems(stream);
}

void TSortedObjectList::ReadData(host::TStream& stream) {
    BeginUpdate();
    try {
        checkSignature(stream);
        FreeAll();
        const std::uint8_t duplicates = readByte(stream);
        if (duplicates > dupError)
            throw host::EStreamError("Invalid Object stream: duplicates mode " + std::to_string(duplicates));
        m_duplicates = TDuplicates(duplicates);
        readItems(stream);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

} // namespace kv
