// Saving streams into a new file with compression: the compression options record, compressing streams,
// the save itself with progress, the options dialog and the file-type filter of the open and save dialogs.
#pragma once

#include "platform/vfw/Vfw.h"

namespace win {

// The compression chosen for one stream. lpFormat and lpParms are blocks of the global heap
// (GlobalAllocPtr) owned by the record; AVISaveOptionsFree frees them and clears the pointers.
// In memory the record has this build's pointer size; where it is stored (the registry), it is kept in
// its 44-byte 32-bit form with the pointer fields zero.
struct AVICOMPRESSOPTIONS {
    DWORD fccType;
    DWORD fccHandler;       // 0: no compression (the samples are copied)
    DWORD dwKeyFrameEvery;  // a key frame every n frames (AVICOMPRESSF_KEYFRAMES)
    DWORD dwQuality;        // 0..10000, or (DWORD)-1 for the compressor's default
    DWORD dwBytesPerSecond; // data rate asked for (AVICOMPRESSF_DATARATE)
    DWORD dwFlags;          // AVICOMPRESSF_*
    LPVOID lpFormat;        // the output format (audio: the wave format to save in)
    DWORD cbFormat;
    LPVOID lpParms;         // the compressor's own state (ICM_GETSTATE)
    DWORD cbParms;
    DWORD dwInterleaveEvery; // interleave the streams every n frames (AVICOMPRESSF_INTERLEAVE)
};
using LPAVICOMPRESSOPTIONS = AVICOMPRESSOPTIONS*;

constexpr DWORD AVICOMPRESSF_INTERLEAVE = 0x00000001;
constexpr DWORD AVICOMPRESSF_DATARATE = 0x00000002;
constexpr DWORD AVICOMPRESSF_KEYFRAMES = 0x00000004;
constexpr DWORD AVICOMPRESSF_VALID = 0x00000008;

// Flags of AVISaveOptions: which fields the dialog offers.
constexpr UINT ICMF_CHOOSE_KEYFRAME = 0x0001;
constexpr UINT ICMF_CHOOSE_DATARATE = 0x0002;
constexpr UINT ICMF_CHOOSE_PREVIEW = 0x0004;
constexpr UINT ICMF_CHOOSE_ALLCOMPRESSORS = 0x0008;

// The progress callback of AVISaveVA: the percentage done; a non-zero answer aborts the save.
using AVISAVECALLBACK = BOOL (*)(int percent);

// A stream that reads the samples of source compressed as options say (video: through the installable
// compressor options->fccHandler; 0 or 'DIB ' copies). The new stream holds a reference on source.
HRESULT AVIMakeCompressedStream(PAVISTREAM* compressed, PAVISTREAM source, AVICOMPRESSOPTIONS* options,
                                CLSID* handler);

// Writes the streams into a new file (replacing one of that name), each compressed as its options say,
// interleaved and with key frames as the options ask. callback gets the progress; an abort answers
// AVIERR_USERABORT.
HRESULT AVISaveVA(LPCSTR file, CLSID* handler, AVISAVECALLBACK callback, int streams, PAVISTREAM* stream,
                  LPAVICOMPRESSOPTIONS* options);

// The compression options dialog: one page per stream with the installed compressors, quality, key
// frames and data rate as flags ask. TRUE when the user confirmed (the records hold the choices).
INT_PTR AVISaveOptions(HWND owner, UINT flags, int streams, PAVISTREAM* stream, LPAVICOMPRESSOPTIONS* options);

// Frees the format and parameter blocks of the records and clears their pointers.
HRESULT AVISaveOptionsFree(int streams, LPAVICOMPRESSOPTIONS* options);

// The file types our AVIFile layer reads (saving false) or writes (saving true) as dialog filter pairs:
// name NUL pattern NUL ... NUL. AVIERR_BUFFERTOOSMALL when it does not fit in size bytes.
HRESULT AVIBuildFilterA(LPSTR filter, LONG size, BOOL saving);

} // namespace win
