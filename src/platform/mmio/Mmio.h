// Multimedia file I/O: buffered reading and writing of files, memory images and the module's "WAVE"
// resources through one handle type, and the RIFF chunk walk (descend, ascend, create) on top of it.
// Names, arguments, flags and result codes are those of the system's mmio functions.
#pragma once

#include "platform/win/WinTypes.h"

#include <cstdio>

namespace win {

using MMRESULT = UINT;
using HPSTR = char*;
struct HMMIO__;
using HMMIO = HMMIO__*;

// An I/O procedure: gets the MMIOINFO of the open file as its first argument.
using LPMMIOPROC = LRESULT (*)(LPSTR lpmmioinfo, UINT uMsg, LPARAM lParam1, LPARAM lParam2);

// The state of an open file, shared with the caller by mmioGetInfo/mmioSetInfo for direct buffer access.
struct MMIOINFO {
    DWORD dwFlags;
    FOURCC fccIOProc;
    LPMMIOPROC pIOProc;
    UINT wErrorRet;
    HANDLE htask;
    LONG cchBuffer;
    HPSTR pchBuffer;
    HPSTR pchNext;
    HPSTR pchEndRead;
    HPSTR pchEndWrite;
    LONG lBufOffset;
    LONG lDiskOffset;
    DWORD adwInfo[3];
    DWORD dwReserved1;
    DWORD dwReserved2;
    HMMIO hmmio;
};
using LPMMIOINFO = MMIOINFO*;
using LPCMMIOINFO = const MMIOINFO*;

// One RIFF chunk: its id, the size of its data, the form or list type (RIFF and LIST chunks), where its
// data starts in the file, and MMIO_DIRTY when its size must be written on ascending.
struct MMCKINFO {
    FOURCC ckid;
    DWORD cksize;
    FOURCC fccType;
    DWORD dwDataOffset;
    DWORD dwFlags;
};
using LPMMCKINFO = MMCKINFO*;
static_assert(sizeof(MMCKINFO) == 20);

// ---- result codes ----
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MMIOERR_BASE = 256;
constexpr MMRESULT MMIOERR_FILENOTFOUND = MMIOERR_BASE + 1;
constexpr MMRESULT MMIOERR_OUTOFMEMORY = MMIOERR_BASE + 2;
constexpr MMRESULT MMIOERR_CANNOTOPEN = MMIOERR_BASE + 3;
constexpr MMRESULT MMIOERR_CANNOTCLOSE = MMIOERR_BASE + 4;
constexpr MMRESULT MMIOERR_CANNOTREAD = MMIOERR_BASE + 5;
constexpr MMRESULT MMIOERR_CANNOTWRITE = MMIOERR_BASE + 6;
constexpr MMRESULT MMIOERR_CANNOTSEEK = MMIOERR_BASE + 7;
constexpr MMRESULT MMIOERR_CANNOTEXPAND = MMIOERR_BASE + 8;
constexpr MMRESULT MMIOERR_CHUNKNOTFOUND = MMIOERR_BASE + 9;
constexpr MMRESULT MMIOERR_UNBUFFERED = MMIOERR_BASE + 10;
constexpr MMRESULT MMIOERR_PATHNOTFOUND = MMIOERR_BASE + 11;
constexpr MMRESULT MMIOERR_ACCESSDENIED = MMIOERR_BASE + 12;
constexpr MMRESULT MMIOERR_SHARINGVIOLATION = MMIOERR_BASE + 13;
constexpr MMRESULT MMIOERR_NETWORKERROR = MMIOERR_BASE + 14;
constexpr MMRESULT MMIOERR_TOOMANYOPENFILES = MMIOERR_BASE + 15;
constexpr MMRESULT MMIOERR_INVALIDFILE = MMIOERR_BASE + 16;

// ---- mmioOpen flags ----
constexpr DWORD MMIO_READ = 0x00000000;
constexpr DWORD MMIO_WRITE = 0x00000001;
constexpr DWORD MMIO_READWRITE = 0x00000002;
constexpr DWORD MMIO_COMPAT = 0x00000000;
constexpr DWORD MMIO_EXCLUSIVE = 0x00000010;
constexpr DWORD MMIO_DENYWRITE = 0x00000020;
constexpr DWORD MMIO_DENYREAD = 0x00000030;
constexpr DWORD MMIO_DENYNONE = 0x00000040;
constexpr DWORD MMIO_CREATE = 0x00001000;
constexpr DWORD MMIO_PARSE = 0x00000100;
constexpr DWORD MMIO_DELETE = 0x00000200;
constexpr DWORD MMIO_EXIST = 0x00004000;
constexpr DWORD MMIO_ALLOCBUF = 0x00010000;
constexpr DWORD MMIO_GETTEMP = 0x00020000;
constexpr DWORD MMIO_DIRTY = 0x10000000;
constexpr DWORD MMIO_RWMODE = 0x00000003;
constexpr DWORD MMIO_SHAREMODE = 0x00000070;

// mmioClose, mmioFlush, mmioAdvance, mmioStringToFOURCC, mmioInstallIOProc, chunk flags.
constexpr UINT MMIO_FHOPEN = 0x0010;
constexpr UINT MMIO_EMPTYBUF = 0x0010;
constexpr UINT MMIO_TOUPPER = 0x0010;
constexpr DWORD MMIO_INSTALLPROC = 0x00010000;
constexpr DWORD MMIO_GLOBALPROC = 0x10000000;
constexpr DWORD MMIO_REMOVEPROC = 0x00020000;
constexpr DWORD MMIO_FINDPROC = 0x00040000;
constexpr UINT MMIO_FINDCHUNK = 0x0010;
constexpr UINT MMIO_FINDRIFF = 0x0020;
constexpr UINT MMIO_FINDLIST = 0x0040;
constexpr UINT MMIO_CREATERIFF = 0x0020;
constexpr UINT MMIO_CREATELIST = 0x0040;

// Messages to I/O procedures.
constexpr UINT MMIOM_READ = MMIO_READ;
constexpr UINT MMIOM_WRITE = MMIO_WRITE;
constexpr UINT MMIOM_SEEK = 2;
constexpr UINT MMIOM_OPEN = 3;
constexpr UINT MMIOM_CLOSE = 4;
constexpr UINT MMIOM_WRITEFLUSH = 5;
constexpr UINT MMIOM_RENAME = 6;
constexpr UINT MMIOM_USER = 0x8000;

constexpr FOURCC FOURCC_RIFF = mmioFOURCC('R', 'I', 'F', 'F');
constexpr FOURCC FOURCC_LIST = mmioFOURCC('L', 'I', 'S', 'T');
constexpr FOURCC FOURCC_DOS = mmioFOURCC('D', 'O', 'S', ' ');
constexpr FOURCC FOURCC_MEM = mmioFOURCC('M', 'E', 'M', ' ');

constexpr LONG MMIO_DEFAULTBUFFER = 8192;

// Seek origins are the C library's SEEK_SET, SEEK_CUR and SEEK_END (0, 1, 2, as the system has them).

// ---- functions ----
// Files are native paths opened through the "DOS " procedure; with a null name and the "DOS " procedure,
// adwInfo[0] is an open file descriptor (closed by mmioClose unless MMIO_FHOPEN is given). A memory
// image (fccIOProc FOURCC_MEM) is the pchBuffer/cchBuffer bytes, or cchBuffer zeroed bytes of mmio's
// own when pchBuffer is null; it grows by whole increments of adwInfo[0] only when that is non-zero,
// into a block of mmio's own (the caller's bytes then stay as they were: mmioGetInfo gives the new
// block). MMIO_CREATE makes an image start empty. MMIO_PARSE and MMIO_EXIST expand the name in place,
// writing at most 128 bytes or the length the name already had; they and MMIO_DELETE return TRUE or
// null. MMIO_GETTEMP is not offered (MMSYSERR_INVALFLAG). Offsets beyond 0x7FFFFFFF are refused,
// never wrapped: such seeks return -1, reads stop short of them and writes fail.
HMMIO mmioOpen(LPSTR pszFileName, LPMMIOINFO pmmioinfo, DWORD fdwOpen);
MMRESULT mmioClose(HMMIO hmmio, UINT fuClose);
LONG mmioRead(HMMIO hmmio, HPSTR pch, LONG cch);
LONG mmioWrite(HMMIO hmmio, const char* pch, LONG cch);
LONG mmioSeek(HMMIO hmmio, LONG lOffset, int iOrigin);
MMRESULT mmioGetInfo(HMMIO hmmio, LPMMIOINFO pmmioinfo, UINT fuInfo);
MMRESULT mmioSetInfo(HMMIO hmmio, LPCMMIOINFO pmmioinfo, UINT fuInfo);
MMRESULT mmioSetBuffer(HMMIO hmmio, LPSTR pchBuffer, LONG cchBuffer, UINT fuBuffer);
MMRESULT mmioFlush(HMMIO hmmio, UINT fuFlush);
MMRESULT mmioAdvance(HMMIO hmmio, LPMMIOINFO pmmioinfo, UINT fuAdvance);
FOURCC mmioStringToFOURCC(LPCSTR sz, UINT uFlags);
LPMMIOPROC mmioInstallIOProc(FOURCC fccIOProc, LPMMIOPROC pIOProc, DWORD dwFlags);
LRESULT mmioSendMessage(HMMIO hmmio, UINT uMsg, LPARAM lParam1, LPARAM lParam2);
// Without a find flag the chunk at the current position is read as it claims to be (its size may run
// past its parent: the caller judges). A search skips only siblings that end within the parent and the
// file. RIFF and LIST chunks of 4 bytes or more read their type, and the position is left behind it.
MMRESULT mmioDescend(HMMIO hmmio, LPMMCKINFO pmmcki, const MMCKINFO* pmmckiParent, UINT fuDescend);
// A dirty chunk gets its measured size written and an odd one its pad byte; the flag is cleared. A
// clean one is left by seeking past its padded end, which must lie within the file (a missing pad byte
// after the last chunk is forgiven); otherwise MMIOERR_CANNOTSEEK.
MMRESULT mmioAscend(HMMIO hmmio, LPMMCKINFO pmmcki, UINT fuAscend);
MMRESULT mmioCreateChunk(HMMIO hmmio, LPMMCKINFO pmmcki, UINT fuCreate);
MMRESULT mmioRename(LPCSTR pszFileName, LPCSTR pszNewFileName, LPCMMIOINFO pmmioinfo, DWORD fdwRename);

} // namespace win
