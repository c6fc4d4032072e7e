// The compressor component: streams with one compression options record each, the options dialog, the
// save into a new file with progress, and the records kept in the registry as one binary value.
#include "avi/KvAVI.h"

#include "core/KvUtils.h"
#include "platform/win/ByteReader.h"
#include "platform/win/GlobalMemory.h"

#include <cstring>
#include <exception>

namespace kv {
namespace {

// The compressor whose save is running; the progress callback of the platform's save reaches its
// OnSave through it.
TKvAVICompressor* g_currentSaver = nullptr;
// An exception thrown by OnSave inside the platform's save: kept, the save aborted, then rethrown.
std::exception_ptr g_saveError;

win::BOOL saveProgress(int percent) {
    TKvAVICompressor* saver = g_currentSaver;
    if (!saver) return 0;
    bool abort = false;
    try {
        if (saver->OnSave) saver->OnSave(saver, percent, abort);
    } catch (...) {
        g_saveError = std::current_exception();
        return -1;
    }
    return abort ? -1 : 0;
}

// Makes a compressor the current saver for one save, and puts back whichever was current before (a save
// started from inside another's OnSave must not leave the outer one without its events).
class CurrentSaver {
  public:
    explicit CurrentSaver(TKvAVICompressor* saver)
        : m_previous(g_currentSaver), m_previousError(g_saveError) {
        g_currentSaver = saver;
        g_saveError = nullptr;
    }
    ~CurrentSaver() {
        g_currentSaver = m_previous;
        g_saveError = m_previousError;
    }
    std::exception_ptr error() const { return g_saveError; }

  private:
    TKvAVICompressor* m_previous;
    std::exception_ptr m_previousError;
};

void freeRecord(win::AVICOMPRESSOPTIONS* o) {
    if (!o) return;
    win::AVISaveOptionsFree(1, &o);
    win::GlobalFreePtr(o);
}

// A copy of bytes as a new block of the global heap (null for no bytes).
void* globalCopy(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) return nullptr;
    void* p = win::GlobalAllocPtr(win::GPTR, bytes.size());
    if (!p) throw host::EOutOfMemory("Out of memory");
    std::memcpy(p, bytes.data(), bytes.size());
    return p;
}

// Appends count bytes of a record's block; bytes the block does not have (no block, or a global block
// smaller than the record says) are stored as zeros.
void appendArea(win::ByteWriter& w, const void* block, win::DWORD count) {
    std::size_t have = 0;
    if (block)
        have = win::GlobalHandle(block)
                   ? std::min<std::size_t>(win::GlobalSize(win::GlobalHandle(block)), count)
                   : count;
    w.bytes(block, have);
    w.zeros(count - have);
}

} // namespace

// ---- the stored form of the records ----

std::vector<std::uint8_t> aviOptionsToBytes(const std::vector<win::AVICOMPRESSOPTIONS*>& records) {
    win::ByteWriter w;
    for (const win::AVICOMPRESSOPTIONS* o : records) {
        for (win::DWORD v :
             {o->fccType, o->fccHandler, o->dwKeyFrameEvery, o->dwQuality, o->dwBytesPerSecond, o->dwFlags,
              win::DWORD(0), o->cbFormat, win::DWORD(0), o->cbParms, o->dwInterleaveEvery})
            w.u32(v);
        appendArea(w, o->lpFormat, o->cbFormat);
        appendArea(w, o->lpParms, o->cbParms);
    }
    return std::move(w.buffer());
}

bool aviOptionsFromBytes(const std::uint8_t* data, std::size_t size, std::vector<StoredAviOptions>& records) {
    records.clear();
    win::ByteReader r(std::span<const std::uint8_t>(data, size));
    while (!r.atEnd()) {
        if (r.remaining() < kStoredOptionsSize) return false;
        StoredAviOptions s;
        win::AVICOMPRESSOPTIONS& o = s.record;
        o.fccType = *r.u32();
        o.fccHandler = *r.u32();
        o.dwKeyFrameEvery = *r.u32();
        o.dwQuality = *r.u32();
        o.dwBytesPerSecond = *r.u32();
        o.dwFlags = *r.u32();
        r.skip(4); // lpFormat: no meaning when stored
        o.cbFormat = *r.u32();
        r.skip(4); // lpParms
        o.cbParms = *r.u32();
        o.dwInterleaveEvery = *r.u32();
        if (o.cbFormat > r.remaining()) return false;
        s.format.assign(r.current(), r.current() + o.cbFormat);
        r.skip(o.cbFormat);
        if (o.cbParms > r.remaining()) return false;
        s.parms.assign(r.current(), r.current() + o.cbParms);
        r.skip(o.cbParms);
        records.push_back(std::move(s));
    }
    return true;
}

// ---- streams and records ----

TKvAVICompressor::~TKvAVICompressor() {
    FreeStreams();
}

void TKvAVICompressor::AddStream(TKvAVIStream* s) {
    if (!s) return;
    if (!m_streams) m_streams = std::make_unique<std::vector<TKvAVIStream*>>();
    m_streams->push_back(s);
    s->AddRef();
    try {
        NewSaveOptions(s);
    } catch (...) {
        // Stream i and record i belong together: a stream without its record would shift every later
        // stream's options onto the wrong stream.
        m_streams->pop_back();
        s->Release();
        throw;
    }
}

void TKvAVICompressor::AddFile(TKvCustomAVIFile* f) {
    const int count = f->GetStreamCount();
    for (int i = 0; i < count; ++i)
        AddStream(f->GetStreams(i));
}

void TKvAVICompressor::NewSaveOptions(TKvAVIStream* s) {
    if (!m_options) m_options = std::make_unique<std::vector<win::AVICOMPRESSOPTIONS*>>();
    auto* o = static_cast<win::AVICOMPRESSOPTIONS*>(
        win::GlobalAllocPtr(win::GPTR, sizeof(win::AVICOMPRESSOPTIONS)));
    if (!o) throw host::EOutOfMemory("Out of memory");
    try {
        win::AVISTREAMINFOA info;
        s->GetStreamInfo(info);
        o->fccType = info.fccType;
        if (o->fccType == win::streamtypeVIDEO) {
            o->fccHandler = 0;
            o->dwKeyFrameEvery = 7;
            o->dwQuality = win::DWORD(-1);
            o->dwBytesPerSecond = 60000;
            o->dwFlags = win::AVICOMPRESSF_INTERLEAVE | win::AVICOMPRESSF_DATARATE |
                         win::AVICOMPRESSF_KEYFRAMES | win::AVICOMPRESSF_VALID;
            o->dwInterleaveEvery = 5;
        } else if (o->fccType == win::streamtypeAUDIO) {
            o->dwFlags = win::AVICOMPRESSF_INTERLEAVE | win::AVICOMPRESSF_VALID;
            o->dwInterleaveEvery = 5;
            const std::int32_t start = s->GetStartPos();
            std::int32_t size = s->GetFormatSize(start);
            if (size > 0) {
                o->lpFormat = win::GlobalAllocPtr(win::GPTR, std::size_t(size));
                if (!o->lpFormat) throw host::EOutOfMemory("Out of memory");
                o->cbFormat = win::DWORD(size);
                s->GetFormat(start, o->lpFormat, size);
            }
        }
        m_options->push_back(o);
    } catch (...) {
        freeRecord(o);
        throw;
    }
}

int TKvAVICompressor::GetStreamCount() const {
    return m_streams ? int(m_streams->size()) : 0;
}

TKvAVIStream* TKvAVICompressor::GetStreams(int i) const {
    if (i < 0 || i >= GetStreamCount()) throw host::EListError(host::FmtMessage(host::SListIndexError, i));
    return (*m_streams)[std::size_t(i)];
}

win::AVICOMPRESSOPTIONS* TKvAVICompressor::GetOptions(int i) const {
    if (!m_options || i < 0 || i >= int(m_options->size())) return nullptr;
    return (*m_options)[std::size_t(i)];
}

void TKvAVICompressor::FreeOptions() {
    if (!m_options) return;
    std::vector<win::AVICOMPRESSOPTIONS*>& list = *m_options;
    win::AVISaveOptionsFree(int(list.size()), list.data());
    for (win::AVICOMPRESSOPTIONS* o : list)
        freeRecord(o);
    m_options.reset();
}

void TKvAVICompressor::FreeStreams() {
    if (m_streams) {
        for (TKvAVIStream* s : *m_streams)
            s->Release();
        m_streams.reset();
    }
    FreeOptions();
}

// ---- the dialog and the save ----

bool TKvAVICompressor::SaveToFile(const std::string& FileName) {
    if (GetStreamCount() == 0) throw EKvAVIError("No data to save");
    std::vector<win::PAVISTREAM> streams;
    for (int i = 0; i < GetStreamCount(); ++i)
        streams.push_back(GetStreams(i)->GetPStream());
    std::vector<win::AVICOMPRESSOPTIONS*> records =
        m_options ? *m_options : std::vector<win::AVICOMPRESSOPTIONS*>{};
    win::HRESULT rc;
    {
        CurrentSaver current(this);
        win::AVISetLastErrorDetail({});
        rc = win::AVISaveVA(FileName.c_str(), nullptr, saveProgress, int(records.size()), streams.data(),
                            records.data());
        if (current.error()) std::rethrow_exception(current.error());
    }
    rc = AVICheckExcl(rc, {win::AVIERR_USERABORT});
    if (rc != 0) return false;
    // The save is over and no longer current: the closing 100 goes to OnSave directly.
    bool abort = false;
    if (OnSave) OnSave(this, 100, abort);
    return true;
}

// ---- the registry ----

void TKvAVICompressor::SaveOptionsToRegistry(win::HKEY root, const std::string& key,
                                             const std::string& name) const {
    if (!m_options || m_options->empty()) return;
    const std::vector<std::uint8_t> value = aviOptionsToBytes(*m_options);
    if (value.size() > std::size_t(INT32_MAX)) throw host::EIntOverflow("Integer overflow");
    SaveInRegistryBinary(root, key, name, std::int32_t(value.size()), value.data());
}

bool TKvAVICompressor::LoadOptionsFromRegistry(win::HKEY root, const std::string& key,
                                               const std::string& name) {
    if (!m_options) return false;
    const std::int32_t size = GetFromRegistryBinary(root, key, name, 0, nullptr);
    if (size <= 0) return false;
    std::vector<std::uint8_t> value(static_cast<std::size_t>(size));
    const std::int32_t got = GetFromRegistryBinary(root, key, name, size, value.data());
    return got == size && loadOptionsFromBytes(value.data(), value.size());
}

bool TKvAVICompressor::loadOptionsFromBytes(const std::uint8_t* data, std::size_t size) {
    std::vector<StoredAviOptions> stored;
    if (!m_options || !aviOptionsFromBytes(data, size, stored)) return false;

    // Which record each stored one lands on: the first stream of its type. Found before anything changes,
    // so that a stream that cannot tell its type leaves every record as it was.
    std::vector<win::FOURCC> types;
    for (int i = 0; i < GetStreamCount(); ++i) {
        win::AVISTREAMINFOA info;
        GetStreams(i)->GetStreamInfo(info);
        types.push_back(info.fccType);
    }
    for (StoredAviOptions& s : stored) {
        int target = -1;
        for (std::size_t i = 0; i < types.size() && i < m_options->size(); ++i)
            if (types[i] == s.record.fccType) {
                target = int(i);
                break;
            }
        if (target < 0) continue;
        void* format = globalCopy(s.format);
        void* parms = nullptr;
        try {
            parms = globalCopy(s.parms);
        } catch (...) {
            win::GlobalFreePtr(format);
            throw;
        }
        win::AVICOMPRESSOPTIONS* o = (*m_options)[std::size_t(target)];
        win::AVISaveOptionsFree(1, &o);
        *o = s.record;
        o->lpFormat = format;
        o->lpParms = parms;
    }
    return true;
}

} // namespace kv
