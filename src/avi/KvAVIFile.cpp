#include "avi/KvAVI.h"

#include <cstdio>

namespace kv {

TKvCustomAVIFile::TKvCustomAVIFile(host::TComponent* owner) : TKvNonVisualComponent(owner) {}

TKvCustomAVIFile::~TKvCustomAVIFile() {
    CloseFile();
    CloseStreams();
}

win::PAVIFILE TKvCustomAVIFile::GetPFile() const {
    if (!m_file) throw EKvAVIError("File not opened");
    return m_file;
}

void TKvCustomAVIFile::SetPFile(win::PAVIFILE p) {
    if (p == m_file) return;
    // Whatever list there is belongs to the old interface (or to none): it goes with every change.
    CloseStreams();
    if (m_file) {
        win::AVIFileRelease(m_file);
        m_file = nullptr;
        if (!m_tempFileName.empty()) {
            std::remove(m_tempFileName.c_str());
            m_tempFileName.clear();
        }
    }
    m_file = p;
    if (m_file) win::AVIFileAddRef(m_file);
}

void TKvCustomAVIFile::CloseFile() { SetPFile(nullptr); }

void TKvCustomAVIFile::GetFileInfo(win::AVIFILEINFOA& info) const {
    AVICheck(win::AVIFileInfoA(GetPFile(), &info, sizeof info));
}

void TKvCustomAVIFile::AccessStreams() {
    if (!m_streams) OpenStreams();
}

void TKvCustomAVIFile::OpenStreams() {
    CloseStreams();
    // Without a file this raises before any list exists, so every later access raises again instead of
    // finding an empty list. A failure while listing keeps the streams listed so far.
    win::AVIFILEINFOA info;
    GetFileInfo(info);
    m_streams = std::make_unique<std::vector<TKvAVIStream*>>();
    const win::DWORD suggested = info.dwSuggestedBufferSize;
    for (win::LONG index = 0;; ++index) {
        win::PAVISTREAM ps = nullptr;
        win::HRESULT rc = AVICheckExcl(win::AVIFileGetStream(GetPFile(), &ps, 0, index),
                                       {win::AVIERR_NODATA, win::AVIERR_BADPARAM, win::AVIERR_UNSUPPORTED});
        if (rc != 0) break;
        try {
            auto* stream = new TKvAVIStream(ps);
            stream->SetSuggestedBufferSize(suggested);
            m_streams->push_back(stream);
        } catch (...) {
            win::AVIStreamRelease(ps);
            throw;
        }
        win::AVIStreamRelease(ps);
    }
}

void TKvCustomAVIFile::CloseStreams() {
    if (!m_streams) return;
    for (TKvAVIStream* s : *m_streams) s->Release();
    m_streams.reset();
}

int TKvCustomAVIFile::GetStreamCount() {
    AccessStreams();
    return int(m_streams->size());
}

TKvAVIStream* TKvCustomAVIFile::GetStreams(int i) {
    AccessStreams();
    if (i < 0 || i >= int(m_streams->size()))
        throw host::EListError(host::FmtMessage(host::SListIndexError, i));
    return (*m_streams)[std::size_t(i)];
}

bool TKvCustomAVIFile::GetEmpty() { return GetStreamCount() <= 0; }

int TKvCustomAVIFile::GetTypedStreamCount(TKvAVIStreamType t) {
    AccessStreams();
    int count = 0;
    for (TKvAVIStream* s : *m_streams)
        if (s->GetStreamType() == t) ++count;
    return count;
}

TKvAVIStream* TKvCustomAVIFile::GetTypedStreams(TKvAVIStreamType t, int n) {
    AccessStreams();
    for (TKvAVIStream* s : *m_streams)
        if (s->GetStreamType() == t && n-- == 0) return s;
    return nullptr;
}

void TKvAVIFile::SetFileName(const std::string& name) {
    if (name == m_fileName) return;
    CloseFile();
    m_fileName = name;
}

win::DWORD TKvAVIFile::GetOpenFlags() const {
    static constexpr win::DWORD share[] = {win::OF_SHARE_EXCLUSIVE, win::OF_SHARE_DENY_WRITE, win::OF_SHARE_DENY_READ,
                                           win::OF_SHARE_DENY_NONE};
    static constexpr win::DWORD access[] = {win::OF_READ, win::OF_WRITE, win::OF_READWRITE};
    return share[m_shareMode] | access[m_accessMode];
}

namespace {

// Opens through the AVIFile library and hands the interface to the component, which takes its own
// reference; the local one is released on every path.
void openInto(TKvCustomAVIFile& component, const std::string& name, win::DWORD flags) {
    win::PAVIFILE file = nullptr;
    win::AVISetLastErrorDetail({});
    AVICheck(win::AVIFileOpenA(&file, name.c_str(), flags, nullptr));
    try {
        component.SetPFile(file);
    } catch (...) {
        win::AVIFileRelease(file);
        throw;
    }
    win::AVIFileRelease(file);
}

} // namespace

void TKvAVIFile::OpenFile() {
    CloseFile();
    openInto(*this, m_fileName, GetOpenFlags());
}

void TKvAVIFile::CreateFile() { openInto(*this, m_fileName, GetOpenFlags() | win::OF_CREATE); }

} // namespace kv
