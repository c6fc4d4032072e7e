// An opened AVI file: the parsed structure shared with the streams it hands out.
#pragma once

#include "platform/vfw/AviStream.h"

namespace win {

class AviFile final : public IAVIFile {
  public:
    explicit AviFile(std::shared_ptr<const AviShared> shared) : m_shared(std::move(shared)) {}

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Info(AVIFILEINFOA* info, LONG size) override;
    HRESULT GetStream(IAVIStream** stream, DWORD fccType, LONG lParam) override;
    HRESULT ReadData(FOURCC ckid, LPVOID data, LONG* size) override;

    const AviFileModel& model() const { return m_shared->model; }

  private:
    ~AviFile() override = default;
    std::shared_ptr<const AviShared> m_shared;
    std::atomic<ULONG> m_refs{1};
};

// The file information of a file with this main header and these streams (read or being written):
// rate and length of the first video stream, the largest chunk, flags from the header.
AVIFILEINFOA aviFileInfo(const MainAVIHeader& avih, const std::vector<const AviStreamModel*>& streams);

// Opens an AVI held in memory (tests and the fuzzer): the same parser as for files on disk.
HRESULT AviFileOpenMemory(PAVIFILE* file, std::vector<std::uint8_t> bytes);

} // namespace win
