// The file and stream objects of a file being written, over the shared writer.
#include "platform/vfw/AviFile.h"
#include "platform/vfw/AviShare.h"
#include "platform/vfw/AviWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace win {

namespace {

class AviWriteStream final : public IAVIStream {
  public:
    AviWriteStream(std::shared_ptr<AviWriter> writer, std::size_t index)
        : m_w(std::move(writer)), m_i(index) {}

    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG n = --m_refs;
        if (n == 0) delete this;
        return n;
    }
    HRESULT Info(AVISTREAMINFOA* out, LONG size) override {
        if (!out || size < 0) return AVIERR_BADPARAM;
        std::lock_guard lock(m_w->mutex);
        AVISTREAMINFOA i = aviStreamInfo(st().model);
        i.dwCaps = AVIFILECAPS_CANREAD | AVIFILECAPS_CANWRITE;
        i.dwQuality = st().info.dwQuality;
        i.dwSuggestedBufferSize = std::max(i.dwSuggestedBufferSize, st().info.dwSuggestedBufferSize);
        std::memcpy(out, &i, std::min<std::size_t>(std::size_t(size), sizeof i));
        return AVIERR_OK;
    }
    LONG FindSample(LONG pos, LONG flags) override {
        std::lock_guard lock(m_w->mutex);
        return aviFindSample(st().model, st().search, pos, flags);
    }
    HRESULT ReadFormat(LONG pos, LPVOID format, LONG* size) override {
        std::lock_guard lock(m_w->mutex);
        return aviReadFormat(st().model, pos, format, size);
    }
    HRESULT Read(LONG start, LONG count, LPVOID buffer, LONG bufferSize, LONG* bytes,
                 LONG* samples) override {
        std::lock_guard lock(m_w->mutex);
        return aviReadSamples(st().model, m_w->source(), start, count, buffer, bufferSize, bytes, samples);
    }
    LONG Start() override {
        std::lock_guard lock(m_w->mutex);
        return LONG(std::min<DWORD>(st().info.dwStart, 0x7FFFFFFF));
    }
    LONG Length() override {
        std::lock_guard lock(m_w->mutex);
        return LONG(st().model.length);
    }
    HRESULT SetFormat(LONG pos, LPVOID format, LONG size) override {
        std::lock_guard lock(m_w->mutex);
        return m_w->setFormat(m_i, pos, format, size);
    }
    HRESULT Write(LONG start, LONG samples, LPVOID buffer, LONG size, DWORD flags, LONG* samplesWritten,
                  LONG* bytesWritten) override {
        std::lock_guard lock(m_w->mutex);
        return m_w->write(m_i, start, samples, buffer, size, flags, samplesWritten, bytesWritten);
    }
    HRESULT ReadData(FOURCC ckid, LPVOID data, LONG* size) override {
        std::lock_guard lock(m_w->mutex);
        for (auto& e : st().model.extra)
            if (e.id == ckid) return aviCopyData(e.data, data, size);
        if (size && !data) *size = 0;
        return AVIERR_NODATA;
    }
    HRESULT WriteData(FOURCC ckid, LPVOID data, LONG size) override {
        std::lock_guard lock(m_w->mutex);
        return m_w->writeStreamData(m_i, ckid, data, size);
    }

  private:
    ~AviWriteStream() override = default;
    AviWriteStreamState& st() { return m_w->stream(m_i); }

    std::shared_ptr<AviWriter> m_w;
    std::size_t m_i;
    std::atomic<ULONG> m_refs{1};
};

} // namespace

ULONG AviWriteFile::AddRef() {
    return ++m_refs;
}

ULONG AviWriteFile::Release() {
    ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
}

HRESULT AviWriteFile::Info(AVIFILEINFOA* out, LONG size) {
    if (!out || size < 0) return AVIERR_BADPARAM;
    std::lock_guard lock(m_writer->mutex);
    std::vector<const AviStreamModel*> streams;
    for (std::size_t i = 0; i < m_writer->streamCount(); ++i)
        streams.push_back(&m_writer->stream(i).model);
    AVIFILEINFOA i = aviFileInfo(m_writer->avih(), streams);
    i.dwCaps = AVIFILECAPS_CANREAD | AVIFILECAPS_CANWRITE;
    std::memcpy(out, &i, std::min<std::size_t>(std::size_t(size), sizeof i));
    return AVIERR_OK;
}

HRESULT AviWriteFile::GetStream(IAVIStream** stream, DWORD fccType, LONG lParam) {
    if (!stream) return AVIERR_BADPARAM;
    *stream = nullptr;
    if (lParam < 0) return AVIERR_NODATA;
    std::lock_guard lock(m_writer->mutex);
    LONG seen = 0;
    for (std::size_t i = 0; i < m_writer->streamCount(); ++i) {
        if (fccType != 0 && m_writer->stream(i).info.fccType != fccType) continue;
        if (seen++ == lParam) {
            *stream = new AviWriteStream(m_writer, i);
            return AVIERR_OK;
        }
    }
    return AVIERR_NODATA;
}

HRESULT AviWriteFile::CreateStream(IAVIStream** stream, AVISTREAMINFOA* info) {
    if (!stream) return AVIERR_BADPARAM;
    *stream = nullptr;
    if (!info) return AVIERR_BADPARAM;
    std::lock_guard lock(m_writer->mutex);
    if (HRESULT hr = m_writer->createStream(*info)) return hr;
    *stream = new AviWriteStream(m_writer, m_writer->streamCount() - 1);
    return AVIERR_OK;
}

HRESULT AviWriteFile::WriteData(FOURCC ckid, LPVOID data, LONG size) {
    std::lock_guard lock(m_writer->mutex);
    return m_writer->writeFileData(ckid, data, size);
}

HRESULT AviWriteFile::ReadData(FOURCC ckid, LPVOID data, LONG* size) {
    std::lock_guard lock(m_writer->mutex);
    for (auto& e : m_writer->fileChunks())
        if (e.id == ckid) return aviCopyData(e.data, data, size);
    if (size && !data) *size = 0;
    return AVIERR_NODATA;
}

HRESULT AviWriteFile::EndRecord() {
    std::lock_guard lock(m_writer->mutex);
    return m_writer->endRecord();
}

HRESULT aviCreateFile(PAVIFILE* file, const char* path, UINT mode) {
    int fd = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        AVISetLastErrorDetail(std::strerror(errno));
        return AVIERR_FILEOPEN;
    }
    std::string why;
    auto lock = aviShareAcquire(fd, mode, why);
    if (!lock) {
        ::close(fd);
        AVISetLastErrorDetail(why);
        return AVIERR_FILEOPEN;
    }
    if (::ftruncate(fd, 0) != 0) {
        AVISetLastErrorDetail(std::strerror(errno));
        ::close(fd);
        return AVIERR_FILEWRITE;
    }
    *file = new AviWriteFile(std::make_shared<AviWriter>(fd, std::move(lock), AviRiffLimit()));
    return AVIERR_OK;
}

} // namespace win
