// Temporary files and disk space, as the system's kernel functions give them. The temporary folder is
// $TMPDIR, or /tmp when it is not set.
#pragma once

#include "platform/win/WinTypes.h"

#include <cstdint>

namespace win {

constexpr DWORD MAX_PATH = 260;

// Copies the temporary folder, ending in "/", into buffer; returns its length. When the buffer is too
// small: the size needed (with the terminating zero), and the buffer is left alone.
DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer);

// Makes the name <path>/<prefix, 3 characters at most><hexadecimal number>.tmp in lpTempFileName
// (MAX_PATH bytes). With uUnique 0 the number is chosen so that the file does not exist yet, and the
// file is created (empty, private to the user) to reserve the name; otherwise the name is only built.
// Returns the number used, 0 on failure (folder missing or not writable, every number taken, name too
// long).
UINT GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique, LPSTR lpTempFileName);

// The space of the file system that holds lpDirectoryName (an existing file or folder; null for the
// current folder): bytes free for this user, total bytes, bytes free in all. Any output may be null.
BOOL GetDiskFreeSpaceExA(LPCSTR lpDirectoryName, std::uint64_t* lpFreeBytesAvailableToCaller,
                         std::uint64_t* lpTotalNumberOfBytes, std::uint64_t* lpTotalNumberOfFreeBytes);

} // namespace win
