// The runtime's file handles: open, read, write, seek and close a file by an integer handle, as the
// framework's SysUtils file functions do. A failed open returns -1 (the system's reason is in errno).
#pragma once

#include <cstdint>
#include <string>

namespace host {

// Share modes, or-ed with fmOpenRead, fmOpenWrite or fmOpenReadWrite (Streams.h). This system's files
// have no mandatory locks, so the share modes are accepted and not enforced.
constexpr std::uint32_t fmShareCompat = 0x0000;
constexpr std::uint32_t fmShareExclusive = 0x0010;
constexpr std::uint32_t fmShareDenyWrite = 0x0020;
constexpr std::uint32_t fmShareDenyRead = 0x0030;
constexpr std::uint32_t fmShareDenyNone = 0x0040;

int FileOpen(const std::string& fileName, std::uint32_t mode);
// Creates the file, or empties an existing one, open for reading and writing.
int FileCreate(const std::string& fileName);
// Bytes read or written; -1 on failure. A read returns fewer bytes only at the end of the file.
std::int32_t FileRead(int handle, void* buffer, std::int32_t count);
std::int32_t FileWrite(int handle, const void* buffer, std::int32_t count);
// The new position from the start of the file (origin 0 start, 1 current, 2 end); -1 on failure.
std::int64_t FileSeek(int handle, std::int64_t offset, int origin);
void FileClose(int handle);

} // namespace host
