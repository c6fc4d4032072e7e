// Wave file I/O: RIFF WAVE files (on disk, as "WAVE" resources of the module, or as memory images) and
// headerless PCM files, scanned once into a control block that then opens, positions, reads, writes and
// closes the file; the unit conversions between bytes, samples and milliseconds; format names and
// descriptions; file-name helpers.
//
// No function raises. Failures are the status codes below, -1 from the data operations, or 0 from a
// unit conversion whose format has a zero rate or block size.
//
// The sources are split by concern: KvWaveIOFormat.cpp (conversions, format records, names and
// descriptions), KvWaveIONames.cpp (file names), KvWaveIOScan.cpp (opening and scanning),
// KvWaveIOData.cpp (creating, reading, writing, positioning, closing), KvWaveIOFiles.cpp (whole files,
// raw files, resources, memory images, chunk copies).
#pragma once

#include "platform/mmio/Mmio.h"
#include "platform/win/WinTypes.h"
#include "wave/KvRIFF.h"
#include "wave/KvRegs.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

// ---- status codes ----
constexpr int WIOERR_NOERROR = 0;
constexpr int WIOERR_ERROR = 101;     // no usable format, metadata copy failed, I/O buffer not set
constexpr int WIOERR_BADPARAM = 104;  // missing block, format or name; sample index out of range
constexpr int WIOERR_FILEERROR = 106; // open, seek, descend, read, write or ascend failed; not RIFF WAVE
constexpr int WIOERR_NOMEM = 107;

// ---- open modes (the block's Flags) ----
constexpr win::DWORD WIO_FILE = 1;     // a file on disk
constexpr win::DWORD WIO_RESOURCE = 2; // a "WAVE" resource of the module; the name is the resource name
constexpr win::DWORD WIO_MEMORY = 4;   // a memory image; the name argument is an MMIOINFO describing it
constexpr win::DWORD WIO_RAW = 16;     // a headerless PCM file read with plain file functions

// The control block of a scanned or open wave file: one zero-filled block of global memory sized for
// its format, which ends the block.
//
// BlockSize is WAVEIOCB_FIXED_SIZE + the format's bytes (at least 18): the fields before Format, the
// record's tail padding and one spare byte. A block built from a format is WAVEIOCB_FIXED_SIZE + 18 +
// cbSize bytes (cbSize 0 for PCM); one read from a file is WAVEIOCB_FIXED_SIZE + the fmt chunk's size,
// at least WAVEIOCB_FIXED_SIZE + 18. With 4-byte pointers these were 109 and 127.
struct TWAVEIOCB {
    win::DWORD BlockSize;
    win::DWORD Flags;
    win::HANDLE Handle; // the open mmio handle; for raw files the file handle + 1; null when closed
    win::MMCKINFO RiffChunk;
    win::MMCKINFO DataChunk;
    win::HGLOBAL ResHandle;
    win::DWORD FileSize;
    win::DWORD DataBytes;
    win::DWORD DataOffset;
    win::DWORD DataSamples;
    win::DWORD FirstSample;
    win::DWORD LastSample; // exclusive
    win::DWORD BytesLeft;
    win::DWORD Position; // in samples, from FirstSample
    char* FileName;      // the file or resource name; for memory images a copy of the MMIOINFO
    PDispList DispList;
    PInfoChunk InfoChunk;
    double ByteRate; // reserved, always 0
    TWaveFormatEx Format;
};
using PWAVEIOCB = TWAVEIOCB*;

constexpr std::size_t WAVEIOCB_FIXED_SIZE = sizeof(TWAVEIOCB) - sizeof(TWaveFormatEx) + 1;
static_assert(WAVEIOCB_FIXED_SIZE + sizeof(TWaveFormatEx) >= sizeof(TWAVEIOCB));

// ---- unit conversions (32-bit: results saturate at the int32 range) ----
std::int32_t wioBytesToSamples(const TWaveFormatEx* wfx, std::int32_t bytes);
std::int32_t wioBytesToTime(const TWaveFormatEx* wfx, std::int32_t bytes);
std::int32_t wioSamplesToBytes(const TWaveFormatEx* wfx, std::int32_t samples);
std::int32_t wioSamplesToTime(const TWaveFormatEx* wfx, std::int32_t samples);
std::int32_t wioTimeToSamples(const TWaveFormatEx* wfx, std::int32_t ms);
std::int32_t wioTimeToBytes(const TWaveFormatEx* wfx, std::int32_t ms);
std::int32_t wioBytesPerSample(const TWaveFormatEx* wfx);
// 64-bit, truncated toward zero (results saturate at UINT64_MAX).
std::uint64_t wioBytesToSamples64(const TWaveFormatEx* wfx, std::uint64_t bytes);
std::uint64_t wioBytesToTime64(const TWaveFormatEx* wfx, std::uint64_t bytes);
std::uint64_t wioSamplesToBytes64(const TWaveFormatEx* wfx, std::uint64_t samples);
std::uint64_t wioSamplesToTime64(const TWaveFormatEx* wfx, std::uint64_t samples);
std::uint64_t wioTimeToSamples64(const TWaveFormatEx* wfx, std::uint64_t ms);
std::uint64_t wioTimeToBytes64(const TWaveFormatEx* wfx, std::uint64_t ms);
// The 32-bit conversions on a block's format (0 without a block).
std::int32_t wioBytesToSamplesEx(const TWAVEIOCB* cb, std::int32_t bytes);
std::int32_t wioBytesToTimeEx(const TWAVEIOCB* cb, std::int32_t bytes);
std::int32_t wioSamplesToBytesEx(const TWAVEIOCB* cb, std::int32_t samples);
std::int32_t wioSamplesToTimeEx(const TWAVEIOCB* cb, std::int32_t samples);
std::int32_t wioTimeToSamplesEx(const TWAVEIOCB* cb, std::int32_t ms);
std::int32_t wioTimeToBytesEx(const TWAVEIOCB* cb, std::int32_t ms);

// ---- format records ----
// 18 for PCM, else 18 + cbSize; 0 without a format.
std::int32_t wioSizeOfWaveFormat(const TWaveFormatEx* wfx);
// A new global block holding a copy (cbSize 0 for PCM); null without a format. Release it with
// GlobalFreeMem.
TWaveFormatEx* wioCopyWaveFormat(const TWaveFormatEx* wfx);
// The format's display name; an EXTENSIBLE format with the standard base GUID is named by its
// sub-format. "Unknown" when nothing matches or the format is missing.
void wioGetFormatName(const TWaveFormatEx* wfx, std::string& name);
// A one-line description, such as "44.100 kHz, 16 Bit, Stereo", with the user's decimal and list
// separators.
void wioGetFormat(const TWaveFormatEx* wfx, std::string& text);
// Forgets the separators read for wioGetFormat, so the next call reads them again.
void wioResetIntlSettings();

// ---- file names (buffers of at least 260 bytes) ----
bool wioGetFullPathName(char* name);
bool wioFileExists(const char* name);
bool wioFileDelete(const char* name);
// Cuts the name back to its folder, keeping the last "/"; returns the remaining length.
std::int32_t wioExtractPath(char* name);
// Makes a new temporary file name in the folder of `path` (the temporary folder when empty), as
// GetTempFileName does, and removes the empty file again; the name is written into `path`.
bool wioFileCreateTemp(char* path);

// ---- opening and scanning ----
int wioFileOpen(win::HMMIO& handle, win::MMCKINFO& ck, win::HGLOBAL& resHandle, win::DWORD flags,
                win::FOURCC formType, const char* name);
void wioFileClose(win::HMMIO& handle, win::HGLOBAL& resHandle);
// Scans the file into a new block (closed again); cb is null on failure. For WIO_MEMORY `name` points
// at an MMIOINFO whose pchBuffer and cchBuffer describe the image.
int wioReadFileInfo(PWAVEIOCB& cb, const char* name, win::FOURCC formType, win::DWORD flags);
bool wioIsWaveFile(const char* fileName, win::DWORD flags);
int wioBuildFileInfoFromMem(PWAVEIOCB& cb, const void* data, std::int32_t size);
int wioBuildFileInfoFromResource(PWAVEIOCB& cb, const char* resName);
int wioBuildFileInfoFromRAWEx(PWAVEIOCB& cb, const char* fileName, std::int32_t headerSize,
                              const TWaveFormatEx* wfx);
int wioBuildFileInfoFromRAW(PWAVEIOCB& cb, const char* fileName, std::int32_t headerSize,
                            std::int32_t sampleRate, std::int32_t channels, std::int32_t bitsPerSample);
// What the scan of this block repaired in the file, one line each (a data size taken from the file, a
// RIFF size cut to the file, a PCM block alignment recomputed, a chunk without its pad byte, ...).
std::vector<std::string> wioGetScanRepairs(const TWAVEIOCB* cb);

// ---- creating and writing ----
int wioCreateFileInfo(PWAVEIOCB& cb, const TWaveFormatEx* wfx);
int wioCopyFileInfo(PWAVEIOCB dst, PWAVEIOCB src);
int wioWriteFileInfo(PWAVEIOCB& cb, const char* fileName);
int wioFreeFileInfo(PWAVEIOCB& cb);
int wioSetIOBufferSize(PWAVEIOCB cb, std::int32_t size);

// ---- working on an open block ----
int wioWaveOpen(PWAVEIOCB cb);
int wioWaveClose(PWAVEIOCB cb);
int wioWaveSetFirstSample(PWAVEIOCB cb, std::int32_t n);
int wioWaveSetLastSample(PWAVEIOCB cb, std::int32_t n);
int wioWaveSetPosition(PWAVEIOCB cb, std::int32_t pos);
std::int32_t wioWaveReadData(PWAVEIOCB cb, void* buffer, std::int32_t bytes);
std::int32_t wioWaveReadDataDirect(PWAVEIOCB cb, void* buffer, std::int32_t bytes);
std::int32_t wioWaveReadSamples(PWAVEIOCB cb, void* buffer, std::int32_t samples);
std::int32_t wioWaveWriteData(PWAVEIOCB cb, const void* buffer, std::int32_t bytes);
std::int32_t wioWaveWriteDataDirect(PWAVEIOCB cb, const void* buffer, std::int32_t bytes);
std::int32_t wioWaveWriteSamples(PWAVEIOCB cb, const void* buffer, std::int32_t samples);

// ---- whole files ----
// Reads a whole file: a copy of its format and its sample data, both global blocks the caller releases.
int wioWaveLoadFile(const char* fileName, TWaveFormatEx*& wfx, void*& data, std::int32_t& size);
int wioWaveSaveFile(const char* fileName, const TWaveFormatEx* wfx, const void* data, std::int32_t size);

// Copies the "cue " and "plst" chunks of src's file into dst's file: cue points and their play list
// describe sample positions and belong together, so both are copied as they are, in the order found.
// They are read now and written when dst's file is finished (wioWaveClose of a written block), right
// behind its "fact" chunk, so dst may be in the middle of writing its samples. Chunks of every other
// kind between or around them are not copied: this unit writes its own format, data, fact, DISP and
// INFO chunks, and an unknown chunk cannot be known to stay true for the new file.
// 104 without both blocks; 106 when src's file cannot be opened or read.
int wioWaveCopyUselessChunks(PWAVEIOCB dst, PWAVEIOCB src);

} // namespace kv
