// One stream of an opened AVI file. Immutable after construction apart from its reference count, so
// several threads may read from it at once; each read goes to the file with positioned reads.
#pragma once

#include "platform/vfw/AviModel.h"
#include "platform/vfw/AviSource.h"
#include "platform/vfw/Vfw.h"

#include <atomic>
#include <memory>

namespace win {

// The parsed file shared by the file object and every stream handed out; streams outlive the file.
struct AviShared {
    std::unique_ptr<const AviSource> source;
    AviFileModel model;
    std::shared_ptr<void> shareLock; // the file's entry in the table of open files, while it is open
};

// Where a stream's key frames and format changes are, for searching. Built once for a read stream,
// extended sample by sample for a stream being written.
struct AviSampleIndex {
    std::vector<std::uint32_t> keys;    // sample positions of key frames, ascending (chunk streams only)
    std::vector<std::uint32_t> formats; // sample positions where a format begins, ascending
    void build(const AviStreamModel& stream);
};

// Stream operations over a stream model, shared by the streams of read files and of files being written.
AVISTREAMINFOA aviStreamInfo(const AviStreamModel& stream);
LONG aviFindSample(const AviStreamModel& stream, const AviSampleIndex& index, LONG pos, LONG flags);
std::vector<std::uint8_t> aviFormatAt(const AviStreamModel& stream, LONG pos);
HRESULT aviReadFormat(const AviStreamModel& stream, LONG pos, LPVOID format, LONG* size);
HRESULT aviReadSamples(const AviStreamModel& stream, const AviSource& source, LONG start, LONG count,
                       LPVOID buffer, LONG bufferSize, LONG* bytes, LONG* samples);
// Copies an extra data chunk (ReadData of streams and files): buffer == nullptr asks for the size.
HRESULT aviCopyData(const std::vector<std::uint8_t>& data, LPVOID buffer, LONG* size);

class AviStream final : public IAVIStream {
  public:
    AviStream(std::shared_ptr<const AviShared> shared, std::size_t index);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Info(AVISTREAMINFOA* info, LONG size) override;
    LONG FindSample(LONG pos, LONG flags) override;
    HRESULT ReadFormat(LONG pos, LPVOID format, LONG* size) override;
    HRESULT Read(LONG start, LONG count, LPVOID buffer, LONG bufferSize, LONG* bytes, LONG* samples) override;
    LONG Start() override;
    LONG Length() override;
    HRESULT ReadData(FOURCC ckid, LPVOID data, LONG* size) override;

    // The stream information as Info reports it.
    AVISTREAMINFOA info() const { return aviStreamInfo(s()); }

  private:
    ~AviStream() override = default;
    const AviStreamModel& s() const { return m_shared->model.streams[m_index]; }

    std::shared_ptr<const AviShared> m_shared;
    std::size_t m_index;
    AviSampleIndex m_search;
    std::atomic<ULONG> m_refs{1};
};

} // namespace win
