// Writing AVI files: a file opened with OF_CREATE hands out streams that append samples to it.
//
// Layout: RIFF 'AVI ' { LIST hdrl, file chunks, JUNK, LIST movi { chunks, 'rec ' lists }, idx1 }, then,
// once the first RIFF reaches the RIFF limit, RIFF 'AVIX' { LIST movi } parts (OpenDML), each movi ending
// with the ix## standard indexes of its chunks, and an indx super index per stream in the header.
//
// The header is written when the first sample is written, with room to spare for later changes of its
// contents; sample data goes to the file at once, and the RIFF, movi and 'rec ' sizes are kept exact after
// every chunk, so a writer that stops without finishing leaves a file whose chunks can be found by
// walking movi. The counts in the header are brought up to date every few chunks and at the end.
#pragma once

#include "platform/vfw/AviStream.h"

#include <mutex>

namespace win {

class AviWriter;

// The file object of a file being written. Streams share the writer with it; the file is finished (the
// index and the final header written) when the last reference to the file or its streams goes.
class AviWriteFile final : public IAVIFile {
  public:
    explicit AviWriteFile(std::shared_ptr<AviWriter> writer) : m_writer(std::move(writer)) {}

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Info(AVIFILEINFOA* info, LONG size) override;
    HRESULT GetStream(IAVIStream** stream, DWORD fccType, LONG lParam) override;
    HRESULT CreateStream(IAVIStream** stream, AVISTREAMINFOA* info) override;
    HRESULT WriteData(FOURCC ckid, LPVOID data, LONG size) override;
    HRESULT ReadData(FOURCC ckid, LPVOID data, LONG* size) override;
    HRESULT EndRecord() override;

  private:
    ~AviWriteFile() override = default;
    std::shared_ptr<AviWriter> m_writer;
    std::atomic<ULONG> m_refs{1};
};

// Opens path for writing a new file (emptied if it exists). mode carries the access and share flags.
HRESULT aviCreateFile(PAVIFILE* file, const char* path, UINT mode);

} // namespace win
