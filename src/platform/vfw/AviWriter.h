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
#include "platform/win/ByteReader.h"

#include <mutex>

namespace win {

// Reads the file being written (the streams of a file being written read back what was written).
class AviWriterSource final : public AviSource {
  public:
    AviWriterSource(int fd, const std::uint64_t& end) : m_fd(fd), m_end(end) {}
    std::uint64_t size() const override { return m_end; }
    std::size_t readSome(std::uint64_t offset, void* out, std::size_t n) const override;

  private:
    int m_fd;
    const std::uint64_t& m_end;
};

// What the writer keeps of a stream: the information it was created with, the chunks written so far
// (the same model a reader builds, so the stream reads back what it wrote) and its OpenDML indexes.
struct AviWriteStreamState {
    AVISTREAMINFOA info{};
    AviStreamModel model;
    AviSampleIndex search;
    struct SuperEntry {
        std::uint64_t offset;
        std::uint32_t size, duration;
    };
    std::vector<SuperEntry> super;
    std::size_t segmentFirst = 0;      // first chunk of the current RIFF
    std::uint32_t firstRiffChunks = 0; // chunks of the first RIFF, once it is closed
    FOURCC dataId = 0;                 // the id of its data chunks (##db, ##dc, ##wb, ##tx)
};

// The state of a file being written, shared by its file and stream objects; every call is made under
// its mutex. Finishes the file when destroyed.
class AviWriter {
  public:
    AviWriter(int fd, std::shared_ptr<void> lock, std::uint64_t limit)
        : m_fd(fd), m_lock(std::move(lock)), m_limit(limit), m_source(fd, m_end) {}
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    std::mutex mutex;

    std::size_t streamCount() const { return m_streams.size(); }
    AviWriteStreamState& stream(std::size_t i) { return m_streams[i]; }
    const AviSource& source() const { return m_source; }
    const std::vector<AviExtraChunk>& fileChunks() const { return m_fileChunks; }
    MainAVIHeader avih() const;

    HRESULT createStream(const AVISTREAMINFOA& info);
    HRESULT setFormat(std::size_t s, LONG pos, const void* format, LONG size);
    HRESULT write(std::size_t s, LONG start, LONG samples, const void* buffer, LONG size, DWORD flags,
                  LONG* samplesWritten, LONG* bytesWritten);
    HRESULT writeStreamData(std::size_t s, FOURCC ckid, const void* data, LONG size);
    HRESULT writeFileData(FOURCC ckid, const void* data, LONG size);
    HRESULT endRecord();

  private:
    std::vector<std::uint8_t> buildHeader() const;
    void streamHeader(ByteWriter& w, const AviWriteStreamState& st) const;
    HRESULT headerChanged();
    HRESULT writeHeader();
    HRESULT start();
    HRESULT appendChunk(FOURCC id, const void* data, std::uint32_t size, DWORD idx1Flags);
    HRESULT updateSizes();
    HRESULT maybeNewRiff(std::uint32_t size);
    HRESULT closeRiff();
    HRESULT openAvix();
    HRESULT writeIdx1();
    HRESULT openRecord();
    HRESULT closeRecord();
    HRESULT writePaletteChange(std::size_t s, const std::vector<std::uint8_t>& now,
                               const std::vector<std::uint8_t>& next);
    void countChunk(std::size_t s, std::uint64_t firstSample, std::uint32_t size);
    void finish();

    bool put(std::uint64_t at, const void* data, std::size_t n);
    bool put32(std::uint64_t at, std::uint32_t v) { return put(at, &v, 4); }
    HRESULT failed(const char* what);

    int m_fd;
    std::shared_ptr<void> m_lock;
    std::uint64_t m_limit;
    std::uint64_t m_end = 0; // where the next chunk goes
    AviWriterSource m_source;
    std::vector<AviWriteStreamState> m_streams;
    std::vector<AviExtraChunk> m_fileChunks;
    bool m_failed = false;
    bool m_started = false;
    bool m_indexed = false;    // idx1 (and for OpenDML files the indx super indexes) written
    std::size_t m_reserve = 0; // header bytes from offset 12 to the movi list
    std::uint64_t m_riffPos = 0, m_moviPos = 0;
    std::uint32_t m_riffIndex = 0;
    std::uint32_t m_chunksInRiff = 0;
    std::uint32_t m_sinceRefresh = 0;
    std::vector<AVIINDEXENTRY> m_idx1;
    bool m_recordMode = false, m_recOpen = false;
    std::uint64_t m_recPos = 0;
    std::size_t m_recEntry = SIZE_MAX;
    int m_lastStream = -1;
    std::uint32_t m_runs = 0;
    std::uint32_t m_largestChunk = 0;
    std::vector<std::uint64_t> m_bytesPerSecond;
    std::uint64_t m_maxBytesPerSecond = 0;
};

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
