// The AVIFile interface: files, streams and the frame decompressor, with the calls and result codes of
// the platform library it stands in for. Files are parsed by our own RIFF code (AviParser); frames are
// decoded by built-in DIB decoders or by libavcodec behind the frame decompressor.
#pragma once

#include "platform/win/WinError.h"
#include "platform/win/WinTypes.h"

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
    virtual HRESULT Read(LONG start, LONG count, LPVOID buffer, LONG bufferSize, LONG* bytes, LONG* samples) = 0;
    virtual LONG Start() = 0;
    virtual LONG Length() = 0;

protected:
    virtual ~IAVIStream() = default;
};

struct IAVIFile {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT Info(AVIFILEINFOA* info, LONG size) = 0;
    // The lParam-th stream of type fccType (0: any type); AVIERR_NODATA when there is none.
    virtual HRESULT GetStream(IAVIStream** stream, DWORD fccType, LONG lParam) = 0;

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
