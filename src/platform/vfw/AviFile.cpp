// The AVIFile entry points over our own AVI reader: opening files, file and stream information,
// reading samples and formats, reference counting, and the per-thread error detail.
#include "platform/vfw/AviFile.h"

#include "platform/vfw/AviParser.h"
#include "platform/vfw/AviShare.h"
#include "platform/vfw/AviWriter.h"
#include "platform/win/ByteReader.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>

namespace win {

namespace {

thread_local std::string t_lastErrorDetail;
std::atomic<int> g_initCount{0};

HRESULT toResult(const AviError& e) {
    switch (e.kind) {
    case AviErrorKind::FileOpen:
        return AVIERR_FILEOPEN;
    case AviErrorKind::FileRead:
        return AVIERR_FILEREAD;
    case AviErrorKind::Memory:
        return AVIERR_MEMORY;
    case AviErrorKind::BadFormat:
        break;
    }
    return AVIERR_BADFORMAT;
}

HRESULT openSource(PAVIFILE* file, std::unique_ptr<const AviSource> source, std::shared_ptr<void> lock = {}) {
    try {
        auto parsed = parseAvi(*source);
        if (!parsed) {
            AVISetLastErrorDetail(parsed.error().describe());
            return toResult(parsed.error());
        }
        auto shared = std::make_shared<AviShared>(
            AviShared{std::move(source), std::move(parsed.value()), std::move(lock)});
        *file = new AviFile(std::move(shared));
        return AVIERR_OK;
    } catch (const std::bad_alloc&) {
        AVISetLastErrorDetail("not enough memory to read the file's index");
        return AVIERR_MEMORY;
    }
}

// The frame size of the file: avih, or the first video format when avih leaves it out.
void frameSize(const MainAVIHeader& avih, const std::vector<const AviStreamModel*>& streams, DWORD& w,
               DWORD& h) {
    w = avih.dwWidth;
    h = avih.dwHeight;
    if (w && h) return;
    for (auto* sp : streams) {
        const AviStreamModel& s = *sp;
        if (!s.isVideo() || s.format.size() < 12) continue;
        ByteReader r(s.format);
        r.skip(4);
        std::int64_t bw = *r.i32(), bh = *r.i32();
        w = DWORD(std::max<std::int64_t>(bw, 0));
        h = DWORD(bh < 0 ? -bh : bh);
        return;
    }
}

} // namespace

ULONG AviFile::AddRef() {
    return ++m_refs;
}

ULONG AviFile::Release() {
    ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
}

// Rate and length of the file are those of its first video stream when it has one, otherwise the
// avih frame period; the length is the longest stream expressed in those units.
AVIFILEINFOA aviFileInfo(const MainAVIHeader& avih, const std::vector<const AviStreamModel*>& streams) {
    AVIFILEINFOA i{};
    i.dwMaxBytesPerSec = avih.dwMaxBytesPerSec;
    i.dwFlags = avih.dwFlags & (AVIFILEINFO_HASINDEX | AVIFILEINFO_MUSTUSEINDEX | AVIFILEINFO_ISINTERLEAVED |
                                AVIFILEINFO_WASCAPTUREFILE | AVIFILEINFO_COPYRIGHTED);
    i.dwCaps = AVIFILECAPS_CANREAD;
    i.dwStreams = DWORD(streams.size());
    frameSize(avih, streams, i.dwWidth, i.dwHeight);
    auto video = std::find_if(streams.begin(), streams.end(), [](auto* s) { return s->isVideo(); });
    if (video != streams.end()) {
        i.dwScale = (*video)->scale;
        i.dwRate = (*video)->rate;
    } else if (avih.dwMicroSecPerFrame) {
        i.dwScale = avih.dwMicroSecPerFrame;
        i.dwRate = 1000000;
    } else {
        i.dwScale = 1;
        i.dwRate = 25;
    }
    long double longest = 0;
    for (auto* s : streams) {
        i.dwSuggestedBufferSize = std::max(i.dwSuggestedBufferSize, s->largestChunk);
        long double units = (long double)s->length * s->scale * i.dwRate / ((long double)s->rate * i.dwScale);
        longest = std::max(longest, units);
    }
    i.dwLength = DWORD(std::min<long double>(std::ceil(longest - 1e-9L), 0xFFFFFFFFu));
    std::strcpy(i.szFileType, "AVI");
    return i;
}

HRESULT AviFile::Info(AVIFILEINFOA* out, LONG size) {
    if (!out || size < 0) return AVIERR_BADPARAM;
    const AviFileModel& m = model();
    std::vector<const AviStreamModel*> streams;
    for (auto& s : m.streams)
        streams.push_back(&s);
    AVIFILEINFOA i = aviFileInfo(m.avih, streams);
    std::memcpy(out, &i, std::min<std::size_t>(std::size_t(size), sizeof i));
    return AVIERR_OK;
}

HRESULT AviFile::ReadData(FOURCC ckid, LPVOID data, LONG* size) {
    for (auto& e : model().extra)
        if (e.id == ckid) return aviCopyData(e.data, data, size);
    if (size && !data) *size = 0;
    return AVIERR_NODATA;
}

HRESULT AviFile::GetStream(IAVIStream** stream, DWORD fccType, LONG lParam) {
    if (!stream) return AVIERR_BADPARAM;
    *stream = nullptr;
    if (lParam < 0) return AVIERR_NODATA;
    const AviFileModel& m = model();
    LONG seen = 0;
    for (std::size_t i = 0; i < m.streams.size(); ++i) {
        if (fccType != 0 && m.streams[i].header.fccType != fccType) continue;
        if (seen++ == lParam) {
            *stream = new AviStream(m_shared, i);
            return AVIERR_OK;
        }
    }
    return AVIERR_NODATA;
}

HRESULT AviFileOpenMemory(PAVIFILE* file, std::vector<std::uint8_t> bytes) {
    if (!file) return AVIERR_BADPARAM;
    *file = nullptr;
    AVISetLastErrorDetail({});
    return openSource(file, std::make_unique<AviMemorySource>(std::move(bytes)));
}

void AVIFileInit() {
    ++g_initCount;
}
void AVIFileExit() {
    if (g_initCount > 0) --g_initCount;
}

HRESULT AVIFileOpenA(PAVIFILE* file, LPCSTR path, UINT mode, CLSID* /*handler*/) {
    if (!file) return AVIERR_BADPARAM;
    *file = nullptr;
    AVISetLastErrorDetail({});
    if (!path) return AVIERR_BADPARAM;
    if (mode & OF_CREATE) return aviCreateFile(file, path, mode);
    // An existing file opened for writing must be writable; its contents are read only here.
    const bool writing = (mode & 3) == OF_WRITE || (mode & 3) == OF_READWRITE;
    std::string why;
    auto source = AviFileSource::open(path, why, writing);
    if (!source) {
        AVISetLastErrorDetail(why);
        return AVIERR_FILEOPEN;
    }
    auto lock = aviShareAcquire(source->fd(), mode, why);
    if (!lock) {
        AVISetLastErrorDetail(why);
        return AVIERR_FILEOPEN;
    }
    return openSource(file, std::move(source), std::move(lock));
}

ULONG AVIFileAddRef(PAVIFILE file) {
    return file ? file->AddRef() : 0;
}
ULONG AVIFileRelease(PAVIFILE file) {
    return file ? file->Release() : 0;
}

HRESULT AVIFileInfoA(PAVIFILE file, AVIFILEINFOA* info, LONG size) {
    return file ? file->Info(info, size) : AVIERR_BADHANDLE;
}

HRESULT AVIFileGetStream(PAVIFILE file, PAVISTREAM* stream, DWORD fccType, LONG lParam) {
    if (!file) {
        if (stream) *stream = nullptr;
        return AVIERR_BADHANDLE;
    }
    return file->GetStream(stream, fccType, lParam);
}

ULONG AVIStreamAddRef(PAVISTREAM stream) {
    return stream ? stream->AddRef() : 0;
}
ULONG AVIStreamRelease(PAVISTREAM stream) {
    return stream ? stream->Release() : 0;
}

HRESULT AVIStreamInfoA(PAVISTREAM stream, AVISTREAMINFOA* info, LONG size) {
    return stream ? stream->Info(info, size) : AVIERR_BADHANDLE;
}

HRESULT AVIStreamReadFormat(PAVISTREAM stream, LONG pos, LPVOID format, LONG* size) {
    return stream ? stream->ReadFormat(pos, format, size) : AVIERR_BADHANDLE;
}

LONG AVIStreamLength(PAVISTREAM stream) {
    return stream ? stream->Length() : -1;
}
LONG AVIStreamStart(PAVISTREAM stream) {
    return stream ? stream->Start() : -1;
}

HRESULT AVIStreamRead(PAVISTREAM stream, LONG start, LONG count, LPVOID buffer, LONG bufferSize, LONG* bytes,
                      LONG* samples) {
    return stream ? stream->Read(start, count, buffer, bufferSize, bytes, samples) : AVIERR_BADHANDLE;
}

LONG AVIStreamFindSample(PAVISTREAM stream, LONG pos, LONG flags) {
    return stream ? stream->FindSample(pos, flags) : -1;
}

HRESULT AVIFileCreateStreamA(PAVIFILE file, PAVISTREAM* stream, AVISTREAMINFOA* info) {
    if (!file) {
        if (stream) *stream = nullptr;
        return AVIERR_BADHANDLE;
    }
    return file->CreateStream(stream, info);
}

HRESULT AVIFileWriteData(PAVIFILE file, DWORD ckid, LPVOID data, LONG size) {
    return file ? file->WriteData(ckid, data, size) : AVIERR_BADHANDLE;
}

HRESULT AVIFileReadData(PAVIFILE file, DWORD ckid, LPVOID data, LONG* size) {
    return file ? file->ReadData(ckid, data, size) : AVIERR_BADHANDLE;
}

HRESULT AVIFileEndRecord(PAVIFILE file) {
    return file ? file->EndRecord() : AVIERR_BADHANDLE;
}

HRESULT AVIStreamSetFormat(PAVISTREAM stream, LONG pos, LPVOID format, LONG size) {
    return stream ? stream->SetFormat(pos, format, size) : AVIERR_BADHANDLE;
}

HRESULT AVIStreamWrite(PAVISTREAM stream, LONG start, LONG samples, LPVOID buffer, LONG size, DWORD flags,
                       LONG* samplesWritten, LONG* bytesWritten) {
    if (!stream) return AVIERR_BADHANDLE;
    return stream->Write(start, samples, buffer, size, flags, samplesWritten, bytesWritten);
}

HRESULT AVIStreamReadData(PAVISTREAM stream, DWORD ckid, LPVOID data, LONG* size) {
    return stream ? stream->ReadData(ckid, data, size) : AVIERR_BADHANDLE;
}

HRESULT AVIStreamWriteData(PAVISTREAM stream, DWORD ckid, LPVOID data, LONG size) {
    return stream ? stream->WriteData(ckid, data, size) : AVIERR_BADHANDLE;
}

HRESULT AVIStreamOpenFromFileA(PAVISTREAM* stream, LPCSTR path, DWORD fccType, LONG lParam, UINT mode,
                               CLSID* handler) {
    if (!stream) return AVIERR_BADPARAM;
    *stream = nullptr;
    PAVIFILE file = nullptr;
    HRESULT hr = AVIFileOpenA(&file, path, mode, handler);
    if (hr != AVIERR_OK) return hr;
    hr = file->GetStream(stream, fccType, lParam);
    file->Release(); // the stream keeps what it needs of the file
    return hr;
}

namespace {

__extension__ using U128 = unsigned __int128;

struct Rate {
    std::int64_t start, end;
    std::uint64_t rate, scale;
    bool audioLike; // a thousand samples a second or more
};

std::optional<Rate> streamRate(PAVISTREAM stream) {
    AVISTREAMINFOA i{};
    if (!stream || stream->Info(&i, sizeof i) != AVIERR_OK || i.dwRate == 0 || i.dwScale == 0)
        return std::nullopt;
    Rate r{i.dwStart, std::int64_t(i.dwStart) + i.dwLength, i.dwRate, i.dwScale,
           i.dwRate / i.dwScale >= 1000};
    return r;
}

std::uint64_t divide(U128 num, U128 den, bool up) {
    U128 q = up ? (num + den - 1) / den : num / den;
    return q > 0x7FFFFFFF ? 0x7FFFFFFF : std::uint64_t(q);
}

} // namespace

LONG AVIStreamSampleToTime(PAVISTREAM stream, LONG sample) {
    auto r = streamRate(stream);
    if (!r) return -1;
    std::int64_t pos = std::clamp<std::int64_t>(sample, r->start, r->end);
    if (pos < 0) pos = 0;
    return LONG(divide(U128(std::uint64_t(pos)) * r->scale * 1000, r->rate, !r->audioLike));
}

LONG AVIStreamTimeToSample(PAVISTREAM stream, LONG ms) {
    auto r = streamRate(stream);
    if (!r) return -1;
    std::int64_t pos =
        ms <= 0
            ? 0
            : std::int64_t(divide(U128(std::uint64_t(ms)) * r->rate, U128(r->scale) * 1000, r->audioLike));
    return LONG(std::clamp<std::int64_t>(pos, r->start, r->end));
}

HRESULT AVIClearClipboard() {
    return AVIERR_OK;
}

const std::string& AVILastErrorDetail() {
    return t_lastErrorDetail;
}
void AVISetLastErrorDetail(std::string detail) {
    t_lastErrorDetail = std::move(detail);
}

} // namespace win
