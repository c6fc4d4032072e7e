// The AVIFile interface: files, streams and the frame decompressor, with the calls and result codes of
// the platform library it stands in for. Files are parsed by our own RIFF code (AviParser); frames are
// decoded by built-in DIB decoders or by libavcodec behind the frame decompressor.
#pragma once

#include "platform/win/WinError.h"
#include "platform/win/WinTypes.h"

#include <cstdint>
#include <string>

namespace win {

// Reference-counted interfaces in the manner of COM: the creator holds one reference.
struct IAVIStream {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT Info(AVISTREAMINFOA* info, LONG size) = 0;
    // Nearest sample of the kind in flags (FIND_KEY, FIND_ANY, FIND_FORMAT) in the direction in flags
    // (FIND_NEXT, FIND_PREV, FIND_FROM_START); -1 when there is none.
    virtual LONG FindSample(LONG pos, LONG flags) = 0;
    // Format valid at pos. format == nullptr asks for the size only (*size receives it).
    virtual HRESULT ReadFormat(LONG pos, LPVOID format, LONG* size) = 0;
    // Reads samples [start, start + count). buffer == nullptr asks for sizes only.
    // count == AVISTREAMREAD_CONVENIENT reads as many whole samples as fit.
    virtual HRESULT Read(LONG start, LONG count, LPVOID buffer, LONG bufferSize, LONG* bytes,
                         LONG* samples) = 0;
    virtual LONG Start() = 0;
    virtual LONG Length() = 0;
    // The changing calls answer AVIERR_READONLY on streams that cannot be written and AVIERR_UNSUPPORTED
    // where the stream has no such operation (Delete and the other edits: only editable streams have them).
    virtual HRESULT SetFormat(LONG /*pos*/, LPVOID /*format*/, LONG /*size*/) { return AVIERR_READONLY; }
    // Appends samples at start (the stream's end, or -1 for the end); flags: AVIIF_KEYFRAME.
    virtual HRESULT Write(LONG /*start*/, LONG /*samples*/, LPVOID /*buffer*/, LONG /*size*/, DWORD /*flags*/,
                          LONG* /*samplesWritten*/, LONG* /*bytesWritten*/) {
        return AVIERR_READONLY;
    }
    virtual HRESULT Delete(LONG /*start*/, LONG /*samples*/) { return AVIERR_UNSUPPORTED; }
    // Extra data chunks of the stream header ('strd' and others); data == nullptr asks for the size.
    virtual HRESULT ReadData(FOURCC /*ckid*/, LPVOID /*data*/, LONG* size) {
        if (size) *size = 0;
        return AVIERR_NODATA;
    }
    virtual HRESULT WriteData(FOURCC /*ckid*/, LPVOID /*data*/, LONG /*size*/) { return AVIERR_READONLY; }
    virtual HRESULT SetInfo(AVISTREAMINFOA* /*info*/, LONG /*size*/) { return AVIERR_UNSUPPORTED; }

  protected:
    virtual ~IAVIStream() = default;
};

struct IAVIFile {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT Info(AVIFILEINFOA* info, LONG size) = 0;
    // The lParam-th stream of type fccType (0: any type); AVIERR_NODATA when there is none.
    virtual HRESULT GetStream(IAVIStream** stream, DWORD fccType, LONG lParam) = 0;
    virtual HRESULT CreateStream(IAVIStream** stream, AVISTREAMINFOA* /*info*/) {
        if (stream) *stream = nullptr;
        return AVIERR_READONLY;
    }
    // Chunks of the file's own, outside the streams; data == nullptr asks for the size.
    virtual HRESULT WriteData(FOURCC /*ckid*/, LPVOID /*data*/, LONG /*size*/) { return AVIERR_READONLY; }
    virtual HRESULT ReadData(FOURCC /*ckid*/, LPVOID /*data*/, LONG* size) {
        if (size) *size = 0;
        return AVIERR_NODATA;
    }
    virtual HRESULT EndRecord() { return AVIERR_READONLY; }
    virtual HRESULT DeleteStream(DWORD /*fccType*/, LONG /*lParam*/) { return AVIERR_UNSUPPORTED; }

  protected:
    virtual ~IAVIFile() = default;
};

struct IGetFrame {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // The packed DIB of frame pos, owned by the decompressor and valid until its next call; nullptr
    // when the frame cannot be produced.
    virtual LPVOID GetFrame(LONG pos) = 0;

  protected:
    virtual ~IGetFrame() = default;
};

using PAVIFILE = IAVIFile*;
using PAVISTREAM = IAVIStream*;
using PGETFRAME = IGetFrame*;
struct CLSID;

constexpr FOURCC streamtypeVIDEO = mmioFOURCC('v', 'i', 'd', 's');
constexpr FOURCC streamtypeAUDIO = mmioFOURCC('a', 'u', 'd', 's');
constexpr FOURCC streamtypeMIDI = mmioFOURCC('m', 'i', 'd', 's');
constexpr FOURCC streamtypeTEXT = mmioFOURCC('t', 'x', 't', 's');

constexpr LONG FIND_DIR = 0x0000000F;
constexpr LONG FIND_NEXT = 0x00000001;
constexpr LONG FIND_PREV = 0x00000004;
constexpr LONG FIND_FROM_START = 0x00000008;
constexpr LONG FIND_TYPE = 0x000000F0;
constexpr LONG FIND_KEY = 0x00000010;
constexpr LONG FIND_ANY = 0x00000020;
constexpr LONG FIND_FORMAT = 0x00000040;

// What FindSample returns about the sample it found: its position (FIND_POS), the bytes it holds
// (FIND_LENGTH), the file offset of the chunk that holds it (FIND_OFFSET, the chunk's header), the bytes
// of that chunk (FIND_SIZE), or the number of that chunk among the stream's chunks (FIND_INDEX). -1 when
// no sample was found or the answer does not fit a LONG.
constexpr LONG FIND_RET = 0x0000F000;
constexpr LONG FIND_POS = 0x00000000;
constexpr LONG FIND_LENGTH = 0x00001000;
constexpr LONG FIND_OFFSET = 0x00002000;
constexpr LONG FIND_SIZE = 0x00003000;
constexpr LONG FIND_INDEX = 0x00004000;

constexpr LONG AVISTREAMREAD_CONVENIENT = -1;
// Passed as the wanted format: decompress to what suits the display best.
inline LPBITMAPINFOHEADER const AVIGETFRAMEF_BESTDISPLAYFMT = reinterpret_cast<LPBITMAPINFOHEADER>(1);

void AVIFileInit();
void AVIFileExit();

HRESULT AVIFileOpenA(PAVIFILE* file, LPCSTR path, UINT mode, CLSID* handler);
ULONG AVIFileAddRef(PAVIFILE file);
ULONG AVIFileRelease(PAVIFILE file);
HRESULT AVIFileInfoA(PAVIFILE file, AVIFILEINFOA* info, LONG size);
HRESULT AVIFileGetStream(PAVIFILE file, PAVISTREAM* stream, DWORD fccType, LONG lParam);

ULONG AVIStreamAddRef(PAVISTREAM stream);
ULONG AVIStreamRelease(PAVISTREAM stream);
HRESULT AVIStreamInfoA(PAVISTREAM stream, AVISTREAMINFOA* info, LONG size);
HRESULT AVIStreamReadFormat(PAVISTREAM stream, LONG pos, LPVOID format, LONG* size);
LONG AVIStreamLength(PAVISTREAM stream);
LONG AVIStreamStart(PAVISTREAM stream);
HRESULT AVIStreamRead(PAVISTREAM stream, LONG start, LONG count, LPVOID buffer, LONG bufferSize, LONG* bytes,
                      LONG* samples);
LONG AVIStreamFindSample(PAVISTREAM stream, LONG pos, LONG flags);

// Writing. mode of AVIFileOpenA: OF_READ, OF_WRITE or OF_READWRITE, one OF_SHARE_ flag, OF_CREATE to make a
// new file (an existing one is emptied). Share modes are honoured between the opens of this process
// (another open that the mode denies fails with AVIERR_FILEOPEN); other processes are not held off.
// An existing file opened for writing without OF_CREATE must be writable but is read only through this
// interface: its streams cannot be changed (AVIERR_READONLY).
HRESULT AVIFileCreateStreamA(PAVIFILE file, PAVISTREAM* stream, AVISTREAMINFOA* info);
HRESULT AVIFileWriteData(PAVIFILE file, DWORD ckid, LPVOID data, LONG size);
HRESULT AVIFileReadData(PAVIFILE file, DWORD ckid, LPVOID data, LONG* size);
HRESULT AVIFileEndRecord(PAVIFILE file);
HRESULT AVIStreamSetFormat(PAVISTREAM stream, LONG pos, LPVOID format, LONG size);
HRESULT AVIStreamWrite(PAVISTREAM stream, LONG start, LONG samples, LPVOID buffer, LONG size, DWORD flags,
                       LONG* samplesWritten, LONG* bytesWritten);
HRESULT AVIStreamReadData(PAVISTREAM stream, DWORD ckid, LPVOID data, LONG* size);
HRESULT AVIStreamWriteData(PAVISTREAM stream, DWORD ckid, LPVOID data, LONG size);
HRESULT AVIStreamOpenFromFileA(PAVISTREAM* stream, LPCSTR path, DWORD fccType, LONG lParam, UINT mode,
                               CLSID* handler);

// Sample positions and milliseconds, clamped to [start, start + length]; -1 for a stream without a rate.
// Video-like streams (rate/scale below 1000 samples a second) round a sample's time up and a time's
// sample down, so that converting a sample to its time and back gives the same sample; audio-like
// streams round the other way, so that a time converted to samples and back gives the same time.
// The arithmetic is exact (64-bit), without the floating-point steps that lose precision on long files.
LONG AVIStreamSampleToTime(PAVISTREAM stream, LONG sample);
LONG AVIStreamTimeToSample(PAVISTREAM stream, LONG ms);

// The position and time helpers of the SDK header, as functions.
inline LONG AVIStreamEnd(PAVISTREAM s) {
    return AVIStreamStart(s) + AVIStreamLength(s);
}
inline LONG AVIStreamStartTime(PAVISTREAM s) {
    return AVIStreamSampleToTime(s, AVIStreamStart(s));
}
inline LONG AVIStreamEndTime(PAVISTREAM s) {
    return AVIStreamSampleToTime(s, AVIStreamEnd(s));
}
inline LONG AVIStreamLengthTime(PAVISTREAM s) {
    return AVIStreamSampleToTime(s, AVIStreamLength(s));
}
inline HRESULT AVIStreamSampleSize(PAVISTREAM s, LONG pos, LONG* size) {
    return AVIStreamRead(s, pos, 1, nullptr, 0, size, nullptr);
}
inline HRESULT AVIStreamFormatSize(PAVISTREAM s, LONG pos, LONG* size) {
    return AVIStreamReadFormat(s, pos, nullptr, size);
}
inline HRESULT AVIStreamDataSize(PAVISTREAM s, DWORD ckid, LONG* size) {
    return AVIStreamReadData(s, ckid, nullptr, size);
}
inline LONG AVIStreamNextSample(PAVISTREAM s, LONG pos) {
    return AVIStreamFindSample(s, pos + 1, FIND_NEXT | FIND_ANY);
}
inline LONG AVIStreamPrevSample(PAVISTREAM s, LONG pos) {
    return AVIStreamFindSample(s, pos - 1, FIND_PREV | FIND_ANY);
}
inline LONG AVIStreamNearestSample(PAVISTREAM s, LONG pos) {
    return AVIStreamFindSample(s, pos, FIND_PREV | FIND_ANY);
}
inline LONG AVIStreamNextKeyFrame(PAVISTREAM s, LONG pos) {
    return AVIStreamFindSample(s, pos + 1, FIND_NEXT | FIND_KEY);
}
inline LONG AVIStreamPrevKeyFrame(PAVISTREAM s, LONG pos) {
    return AVIStreamFindSample(s, pos - 1, FIND_PREV | FIND_KEY);
}
inline LONG AVIStreamNearestKeyFrame(PAVISTREAM s, LONG pos) {
    return AVIStreamFindSample(s, pos, FIND_PREV | FIND_KEY);
}
inline bool AVIStreamIsKeyFrame(PAVISTREAM s, LONG pos) {
    return AVIStreamNearestKeyFrame(s, pos) == pos;
}
inline LONG AVIStreamSampleToSample(PAVISTREAM a, PAVISTREAM b, LONG pos) {
    return AVIStreamTimeToSample(a, AVIStreamSampleToTime(b, pos));
}
// The time forms: milliseconds to a sample, the search, and the sample found back to milliseconds.
inline LONG aviSearchAtTime(PAVISTREAM s, LONG ms, LONG (*search)(PAVISTREAM, LONG)) {
    return AVIStreamSampleToTime(s, search(s, AVIStreamTimeToSample(s, ms)));
}
inline LONG AVIStreamNextSampleTime(PAVISTREAM s, LONG ms) {
    return aviSearchAtTime(s, ms, AVIStreamNextSample);
}
inline LONG AVIStreamPrevSampleTime(PAVISTREAM s, LONG ms) {
    return aviSearchAtTime(s, ms, AVIStreamPrevSample);
}
inline LONG AVIStreamNearestSampleTime(PAVISTREAM s, LONG ms) {
    return aviSearchAtTime(s, ms, AVIStreamNearestSample);
}
inline LONG AVIStreamNextKeyFrameTime(PAVISTREAM s, LONG ms) {
    return aviSearchAtTime(s, ms, AVIStreamNextKeyFrame);
}
inline LONG AVIStreamPrevKeyFrameTime(PAVISTREAM s, LONG ms) {
    return aviSearchAtTime(s, ms, AVIStreamPrevKeyFrame);
}
inline LONG AVIStreamNearestKeyFrameTime(PAVISTREAM s, LONG ms) {
    return aviSearchAtTime(s, ms, AVIStreamNearestKeyFrame);
}

// The size limit of one RIFF of a written file (about 1 GB; files that go past it continue in AVIX
// RIFFs, OpenDML). Tests set a small limit to make multi-RIFF files of a few kilobytes; 0 restores the
// default. Takes effect for files created afterwards.
void AviSetRiffLimit(std::uint64_t bytes);
std::uint64_t AviRiffLimit();

// wanted: a BITMAPINFOHEADER the frames must come out in, nullptr or AVIGETFRAMEF_BESTDISPLAYFMT for
// the format that suits the display. Returns nullptr when no decompressor can deliver it.
PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM stream, LPBITMAPINFOHEADER wanted);
LPVOID AVIStreamGetFrame(PGETFRAME frame, LONG pos);
HRESULT AVIStreamGetFrameClose(PGETFRAME frame);

// The clipboard holds no AVI file on this platform until the writing side exists; clearing succeeds.
HRESULT AVIClearClipboard();

// The cause behind the last failing call on this thread, in words (for example the operating system's
// reason a file could not be opened, or what is wrong in a file), or empty. The result codes stay the
// platform's; this gives a user-facing message its detail.
const std::string& AVILastErrorDetail();
void AVISetLastErrorDetail(std::string detail);

} // namespace win
