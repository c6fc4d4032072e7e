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
};

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

    // The stream information as Info reports it.
    AVISTREAMINFOA info() const;

  private:
    ~AviStream() override = default;
    const AviStreamModel& s() const { return m_shared->model.streams[m_index]; }
    std::vector<std::uint8_t> formatAt(LONG pos) const;
    HRESULT readChunks(LONG start, LONG count, std::uint8_t* buffer, LONG bufferSize, LONG* bytes,
                       LONG* samples) const;
    HRESULT readFixed(LONG start, LONG count, std::uint8_t* buffer, LONG bufferSize, LONG* bytes,
                      LONG* samples) const;
    LONG findAny(LONG pos, bool forward) const;

    std::shared_ptr<const AviShared> m_shared;
    std::size_t m_index;
    std::vector<std::uint32_t> m_keys;    // sample positions of key frames, ascending
    std::vector<std::uint32_t> m_formats; // sample positions where a format begins, ascending
    std::atomic<ULONG> m_refs{1};
};

} // namespace win
