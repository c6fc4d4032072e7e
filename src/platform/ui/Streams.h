// The runtime's streams: the abstract TStream with positioned reads and writes and the checked
// ReadBuffer/WriteBuffer, a growable memory stream that owns its bytes, and a stream over a file.
#pragma once

#include "platform/ui/Classes.h"
#include "platform/ui/SysUtils.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// Seek origins.
constexpr std::uint16_t soFromBeginning = 0;
constexpr std::uint16_t soFromCurrent = 1;
constexpr std::uint16_t soFromEnd = 2;

class TStream : public TObject {
public:
    // Copies up to count bytes into buffer; returns how many were read (0 at the end or for count <= 0).
    virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
    // Writes up to count bytes; returns how many were written.
    virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
    // Moves the position by offset from the origin and returns the new position.
    virtual std::int64_t Seek(std::int64_t offset, std::uint16_t origin) = 0;

    std::int64_t Position() { return Seek(0, soFromCurrent); }
    void SetPosition(std::int64_t position) { Seek(position, soFromBeginning); }
    virtual std::int64_t Size();
    virtual void SetSize(std::int64_t size);
    // Bytes between the position and the end; 0 when the position is at or past the end.
    std::int64_t bytesLeft();

    // Reads or writes exactly count bytes, else raises EReadError / EWriteError.
    void ReadBuffer(void* buffer, std::int32_t count);
    void WriteBuffer(const void* buffer, std::int32_t count);
    // Copies count bytes from source's position on; count 0 copies all of source from its start.
    // Returns the number of bytes copied.
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// A stream over a growable block of memory that it owns. Writing past the end extends it; the gap
// left by a seek past the end reads as zeros.
class TMemoryStream : public TStream {
public:
    // Largest size a memory stream grows to; the block stays addressable with 32-bit counts.
    static constexpr std::int64_t kMaxSize = INT32_MAX;

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    std::int64_t Seek(std::int64_t offset, std::uint16_t origin) override;
    std::int64_t Size() override { return std::int64_t(m_data.size()); }
    // Raises EStreamError for a size outside 0 .. kMaxSize, EOutOfMemory when the block cannot grow.
    void SetSize(std::int64_t size) override;

    void* Memory() { return m_data.data(); }
    const void* Memory() const { return m_data.data(); }
    void Clear();

    // Replaces the contents with all of source (read from its start); position 0 afterwards.
    void LoadFromStream(TStream& source);
    void LoadFromFile(const std::string& fileName);
    // Writes the whole contents to dest, whatever the position.
    void SaveToStream(TStream& dest) const;
    void SaveToFile(const std::string& fileName) const;

private:
    bool growTo(std::int64_t size);

    std::vector<std::uint8_t> m_data;
    std::int64_t m_position = 0;
};

// File open modes. fmCreate creates the file or empties an existing one, open for reading and writing.
constexpr std::uint16_t fmOpenRead = 0x0000;
constexpr std::uint16_t fmOpenWrite = 0x0001;
constexpr std::uint16_t fmOpenReadWrite = 0x0002;
constexpr std::uint16_t fmCreate = 0xFFFF;

// A stream over an open file. Failing to open raises EFOpenError, failing to create EFCreateError;
// both name the file and the system's reason.
class TFileStream : public TStream {
public:
    TFileStream(const std::string& fileName, std::uint16_t mode);
    ~TFileStream() override;

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    // Returns -1 when the system refuses the position (a negative one, for instance).
    std::int64_t Seek(std::int64_t offset, std::uint16_t origin) override;
    void SetSize(std::int64_t size) override;

    int Handle() const { return m_fd; }
    const std::string& FileName() const { return m_fileName; }

private:
    std::string m_fileName;
    int m_fd = -1;
};

} // namespace host
