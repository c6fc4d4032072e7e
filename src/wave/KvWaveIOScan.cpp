// Opening a wave file in any of its three RIFF forms, and the scan that walks its chunks once into a new
// control block.
//
// The scan reads chunk headers only and seeks over chunk bodies, so its cost does not grow with the
// length of the audio. Its leniency is one policy, and every repair it makes is noted for the caller:
// - a RIFF size past the end of the file is cut to the file; one too small for the chunks it should
//   hold lets the walk go on to the end of the file;
// - a chunk past the end of the RIFF chunk ends the walk once "fmt " and "data" were seen, else it is
//   cut to the end of the file;
// - a data size of 0, 0xFFFFFFFF or past the end of the file means the writer never finished the file:
//   the data runs to the end of the file and the walk ends there;
// - an odd-sized chunk whose writer left out the pad byte is followed at the unpadded position when
//   only there a chunk id is found;
// - a PCM format's block alignment and byte rate are recomputed from its bits and channels.
// Refused: no "fmt " (101), no "data" (106), a "fmt " chunk over 64 KiB, a format without channels or
// whose recomputed sizes do not fit their fields (101).
#include "wave/KvWaveIO.h"

#include "platform/win/ByteReader.h"
#include "platform/win/Files.h"
#include "platform/win/GlobalMemory.h"
#include "platform/win/ModuleResources.h"
#include "wave/KvWaveIOInternal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kv {
namespace {

constexpr win::FOURCC kWave = win::mmioFOURCC('W', 'A', 'V', 'E');
constexpr win::FOURCC kFmt = win::mmioFOURCC('f', 'm', 't', ' ');
constexpr win::FOURCC kData = win::mmioFOURCC('d', 'a', 't', 'a');
constexpr win::FOURCC kFact = win::mmioFOURCC('f', 'a', 'c', 't');
constexpr win::FOURCC kDisp = win::mmioFOURCC('D', 'I', 'S', 'P');
constexpr win::FOURCC kInfo = win::mmioFOURCC('I', 'N', 'F', 'O');
constexpr const char* kResourceType = "WAVE";

constexpr win::DWORD kMaxFmtChunk = 64 * 1024;
constexpr win::DWORD kMaxInfoList = 1024 * 1024;
constexpr win::DWORD kMaxDispChunk = 16 * 1024 * 1024;
constexpr int kMaxChunks = 10000;

std::string fourccText(win::FOURCC id) {
    std::string s;
    for (int i = 0; i < 4; ++i) {
        const char c = char(id >> (8 * i));
        s += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return s;
}

bool plausibleId(win::FOURCC id) {
    for (int i = 0; i < 4; ++i) {
        const unsigned c = (id >> (8 * i)) & 0xFF;
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

int riffToWio(int status) {
    switch (status) {
    case RIFFERR_NOERROR:
        return WIOERR_NOERROR;
    case RIFFERR_FILEERROR:
        return WIOERR_FILEERROR;
    case RIFFERR_NOMEM:
        return WIOERR_NOMEM;
    default:
        return WIOERR_ERROR;
    }
}

// A resource name kept as text: integer ids as "#<id>", turned back when the resource is opened again.
std::string resourceNameText(const char* name) {
    if (win::IS_INTRESOURCE(name)) {
        // Built by appending: GCC 12 at -O3 misreads "#" + text as an overlapping copy.
        std::string text(1, '#');
        text.append(std::to_string(unsigned(reinterpret_cast<std::uintptr_t>(name))));
        return text;
    }
    return name;
}
win::LPCSTR resourceNameArg(const char* name) {
    if (win::IS_INTRESOURCE(name)) return name;
    if (name[0] == '#' && name[1] >= '0' && name[1] <= '9') {
        const unsigned long id = std::strtoul(name + 1, nullptr, 10);
        if (id <= 0xFFFF) return win::MAKEINTRESOURCEA(win::WORD(id));
    }
    return name;
}

win::HMMIO openMemory(char* data, win::LONG size) {
    win::MMIOINFO info{};
    info.fccIOProc = win::FOURCC_MEM;
    info.pchBuffer = data;
    info.cchBuffer = size;
    info.adwInfo[0] = 0; // no growth: the image is read only
    return win::mmioOpen(nullptr, &info, win::MMIO_READ);
}

win::HMMIO openResource(const char* name, win::HGLOBAL& resHandle) {
    if (!name) return nullptr;
    win::HRSRC res = win::FindResourceA(nullptr, resourceNameArg(name), kResourceType);
    if (!res) return nullptr;
    resHandle = win::LoadResource(nullptr, res);
    void* data = resHandle ? win::LockResource(resHandle) : nullptr;
    const win::DWORD size = win::SizeofResource(nullptr, res);
    if (!data || size == 0 || size > 0x7FFFFFFF) return nullptr;
    return openMemory(static_cast<char*>(data), win::LONG(size));
}

win::HMMIO openFile(const char* name) {
    if (!name) return nullptr;
    char buffer[win::MAX_PATH] = {};
    const std::size_t length = strnlen(name, win::MAX_PATH);
    if (length == 0 || length >= win::MAX_PATH) return nullptr;
    std::memcpy(buffer, name, length);
    win::HMMIO h = win::mmioOpen(buffer, nullptr, win::MMIO_ALLOCBUF | win::MMIO_READWRITE);
    // A file that may only be read is still a wave file to scan and play.
    if (!h) h = win::mmioOpen(buffer, nullptr, win::MMIO_ALLOCBUF | win::MMIO_READ);
    return h;
}

} // namespace

int wioFileOpen(win::HMMIO& handle, win::MMCKINFO& ck, win::HGLOBAL& resHandle, win::DWORD flags,
                win::FOURCC formType, const char* name) {
    handle = nullptr;
    resHandle = nullptr;
    if (flags & WIO_RESOURCE) {
        handle = openResource(name, resHandle);
    } else if (flags & WIO_MEMORY) {
        if (name) {
            const auto* given = reinterpret_cast<const win::MMIOINFO*>(name);
            if (given->pchBuffer && given->cchBuffer > 0)
                handle = openMemory(given->pchBuffer, given->cchBuffer);
        }
    } else {
        handle = openFile(name);
    }
    ck = win::MMCKINFO{};
    if (handle && win::mmioDescend(handle, &ck, nullptr, 0) == win::MMSYSERR_NOERROR &&
        ck.ckid == win::FOURCC_RIFF && ck.fccType == formType)
        return WIOERR_NOERROR;
    wioFileClose(handle, resHandle);
    return WIOERR_FILEERROR;
}

void wioFileClose(win::HMMIO& handle, win::HGLOBAL& resHandle) {
    if (resHandle) win::FreeResource(resHandle);
    if (handle) win::mmioClose(handle, 0);
    handle = nullptr;
    resHandle = nullptr;
}

namespace {

// Everything the walk over one file collects.
struct Scan {
    win::HMMIO h = nullptr;
    win::DWORD fileSize = 0;
    std::uint64_t riffEnd = 0;
    std::uint64_t walkEnd = 0;
    bool seenFmt = false, seenData = false, seenFact = false;
    win::DWORD fmtSize = 0;
    win::DWORD dataOffset = 0;
    std::uint64_t dataEnd = 0;
    PWAVEIOCB cb = nullptr;
    PInfoChunk info = nullptr;
    PDispList disp = nullptr;
    std::vector<std::string> repairs;

    void note(std::string text) { repairs.push_back(std::move(text)); }
};

enum class Step { Next, Stop, Fail };

bool readAt(win::HMMIO h, std::uint64_t pos, char* out, win::LONG n) {
    if (pos > 0x7FFFFFFF) return false;
    return win::mmioSeek(h, win::LONG(pos), SEEK_SET) == win::LONG(pos) && win::mmioRead(h, out, n) == n;
}

bool readHeader(Scan& s, std::uint64_t pos, win::MMCKINFO& ck) {
    char bytes[8];
    if (pos + 8 > s.walkEnd || !readAt(s.h, pos, bytes, 8)) return false;
    win::ByteReader reader({reinterpret_cast<const std::uint8_t*>(bytes), 8});
    ck = win::MMCKINFO{};
    ck.ckid = *reader.fourcc();
    ck.cksize = *reader.u32();
    ck.dwDataOffset = win::DWORD(pos + 8);
    return true;
}

// Whether a whole chunk header lies at `pos`: a printable id and a size that fits in the file.
bool chunkAt(Scan& s, std::uint64_t pos) {
    win::MMCKINFO ck;
    return readHeader(s, pos, ck) && plausibleId(ck.ckid) && pos + 8 + ck.cksize <= s.fileSize;
}

// Where the chunk after `ck` starts: behind its pad byte, or right behind it when an odd chunk's writer
// left the pad byte out (a chunk is found there and not at the padded place).
std::uint64_t nextChunk(Scan& s, const win::MMCKINFO& ck) {
    const std::uint64_t end = std::uint64_t(ck.dwDataOffset) + ck.cksize;
    if ((ck.cksize & 1) == 0 || chunkAt(s, end + 1) || !chunkAt(s, end)) return end + (ck.cksize & 1);
    s.note("chunk '" + fourccText(ck.ckid) + "' of odd size " + std::to_string(ck.cksize) +
           " has no pad byte; the next chunk follows right behind it");
    return end;
}

Step readFmt(Scan& s, const win::MMCKINFO& ck, int& status) {
    if (s.seenFmt) return Step::Stop;
    s.seenFmt = true;
    if (ck.cksize > kMaxFmtChunk) {
        s.note("'fmt ' chunk of " + std::to_string(ck.cksize) + " bytes refused");
        status = WIOERR_ERROR;
        return Step::Fail;
    }
    s.cb = wio::allocBlock(ck.cksize);
    if (!s.cb) {
        status = WIOERR_NOMEM;
        return Step::Fail;
    }
    s.fmtSize = ck.cksize;
    if (ck.cksize &&
        !readAt(s.h, ck.dwDataOffset, reinterpret_cast<char*>(&s.cb->Format), win::LONG(ck.cksize))) {
        status = WIOERR_FILEERROR;
        return Step::Fail;
    }
    return Step::Next;
}

Step readData(Scan& s, const win::MMCKINFO& ck) {
    if (s.seenData) return Step::Stop;
    s.seenData = true;
    s.dataOffset = ck.dwDataOffset;
    const std::uint64_t end = std::uint64_t(ck.dwDataOffset) + ck.cksize;
    if (ck.cksize != 0 && ck.cksize != 0xFFFFFFFF && end <= s.fileSize) {
        s.dataEnd = end;
        return Step::Next;
    }
    // The writer never finished the file: the samples run to its end.
    s.dataEnd = s.fileSize;
    s.note("data size " + std::to_string(ck.cksize) + " is wrong; the data taken from the file is " +
           std::to_string(s.fileSize - std::min<std::uint64_t>(s.fileSize, ck.dwDataOffset)) + " bytes");
    return Step::Stop;
}

Step readMetadata(Scan& s, const win::MMCKINFO& ck, int& status) {
    int riff = RIFFERR_NOERROR;
    if (ck.ckid == kDisp) {
        if (ck.cksize > kMaxDispChunk) {
            s.note("DISP chunk of " + std::to_string(ck.cksize) + " bytes skipped");
            return Step::Next;
        }
        if (win::mmioSeek(s.h, win::LONG(ck.dwDataOffset), SEEK_SET) != win::LONG(ck.dwDataOffset))
            return Step::Stop;
        riff = RiffReadDISP(s.h, ck, s.disp);
    } else {
        char type[4];
        if (ck.cksize < 4 || !readAt(s.h, ck.dwDataOffset, type, 4)) return Step::Next;
        win::ByteReader reader({reinterpret_cast<const std::uint8_t*>(type), 4});
        if (*reader.fourcc() != kInfo) return Step::Next;
        if (ck.cksize - 4 > kMaxInfoList) {
            s.note("LIST INFO of " + std::to_string(ck.cksize) + " bytes skipped");
            return Step::Next;
        }
        riff = RiffReadINFO(s.h, ck, s.info);
    }
    if (riff == RIFFERR_NOERROR) return Step::Next;
    status = riffToWio(riff);
    return Step::Fail;
}

Step visitChunk(Scan& s, win::MMCKINFO& ck, int& status) {
    const std::uint64_t end = std::uint64_t(ck.dwDataOffset) + ck.cksize;
    if (end > s.riffEnd) {
        if (s.seenFmt && s.seenData) return Step::Stop;
        if (end > s.fileSize && ck.ckid != kData) {
            ck.cksize = win::DWORD(s.fileSize - std::min<std::uint64_t>(s.fileSize, ck.dwDataOffset));
            s.note("chunk '" + fourccText(ck.ckid) + "' cut to the end of the file");
        }
    }
    if (ck.ckid == kFmt) return readFmt(s, ck, status);
    if (ck.ckid == kData) return readData(s, ck);
    if (ck.ckid == kFact) {
        if (s.seenFact) return Step::Stop;
        s.seenFact = true; // its count is replaced by the one computed from the data
        return Step::Next;
    }
    if (ck.ckid == kDisp || ck.ckid == win::FOURCC_LIST) return readMetadata(s, ck, status);
    return Step::Next;
}

int walk(Scan& s, std::uint64_t start) {
    std::uint64_t pos = start;
    bool extended = false;
    for (int count = 0; count < kMaxChunks; ++count) {
        win::MMCKINFO ck;
        if (!readHeader(s, pos, ck)) {
            // A RIFF size too small for the chunks it should hold: the walk goes on to the file's end.
            if (extended || (s.seenFmt && s.seenData) || s.walkEnd >= s.fileSize) break;
            s.note("RIFF size ends before the file's chunks; walked on to the end of the file");
            s.walkEnd = s.fileSize;
            s.riffEnd = s.fileSize;
            extended = true;
            --count;
            continue;
        }
        int status = WIOERR_NOERROR;
        const Step step = visitChunk(s, ck, status);
        if (step == Step::Fail) return status;
        if (step == Step::Stop) break;
        pos = nextChunk(s, ck);
    }
    return WIOERR_NOERROR;
}

// Checks and repairs the format read, then fills the block from what the walk found.
int finishBlock(Scan& s, win::DWORD flags) {
    if (!s.seenFmt) return WIOERR_ERROR;
    if (!s.seenData) {
        s.note("no 'data' chunk");
        return WIOERR_FILEERROR;
    }
    TWaveFormatEx& f = s.cb->Format;
    if (s.fmtSize < sizeof(TWaveFormatEx)) {
        f.cbSize = 0;
    } else if (f.cbSize > s.fmtSize - sizeof(TWaveFormatEx)) {
        s.note("format extra size " + std::to_string(f.cbSize) + " cut to the chunk's " +
               std::to_string(s.fmtSize - sizeof(TWaveFormatEx)));
        f.cbSize = win::WORD(s.fmtSize - sizeof(TWaveFormatEx));
    }
    if (f.nChannels == 0) return WIOERR_ERROR;
    if (wio::namingTag(&f) == WAVE_FORMAT_PCM) {
        const std::uint64_t align = (std::uint64_t(f.wBitsPerSample) * f.nChannels) >> 3;
        const std::uint64_t rate = align * f.nSamplesPerSec;
        if (align > 0xFFFF || rate > 0xFFFFFFFF) return WIOERR_ERROR;
        if (align != f.nBlockAlign || rate != f.nAvgBytesPerSec)
            s.note("PCM block align " + std::to_string(f.nBlockAlign) + " and byte rate " +
                   std::to_string(f.nAvgBytesPerSec) + " recomputed as " + std::to_string(align) + " and " +
                   std::to_string(rate));
        f.nBlockAlign = win::WORD(align);
        f.nAvgBytesPerSec = win::DWORD(rate);
    }
    const std::uint64_t align = f.nBlockAlign ? f.nBlockAlign : 1;
    const std::uint64_t end = std::min<std::uint64_t>(s.dataEnd, s.fileSize);
    const std::uint64_t span = end > s.dataOffset ? end - s.dataOffset : 0;
    PWAVEIOCB cb = s.cb;
    cb->Handle = nullptr;
    cb->Flags = flags;
    cb->FileSize = s.fileSize;
    cb->DataBytes = win::DWORD(align * (span / align));
    cb->DataOffset = s.dataOffset;
    cb->DataSamples = wio::bytesToSamples(cb, cb->DataBytes);
    cb->FirstSample = 0;
    cb->LastSample = cb->DataSamples;
    cb->BytesLeft = 0;
    cb->Position = 0;
    return WIOERR_NOERROR;
}

// A copy of the name: the text, or for memory images the MMIOINFO record and one spare byte.
char* copyName(const char* name, win::DWORD flags) {
    if (flags & WIO_MEMORY) {
        auto* copy = static_cast<char*>(win::GlobalAllocPtr(win::GHND, sizeof(win::MMIOINFO) + 1));
        if (copy) std::memcpy(copy, name, sizeof(win::MMIOINFO));
        return copy;
    }
    const std::string text = (flags & WIO_RESOURCE) ? resourceNameText(name) : std::string(name);
    auto* copy = static_cast<char*>(win::GlobalAllocPtr(win::GHND, text.size() + 1));
    if (copy) std::memcpy(copy, text.data(), text.size());
    return copy;
}

int scanOpenFile(Scan& s, win::MMCKINFO& riff, win::DWORD flags) {
    const win::LONG size = win::mmioSeek(s.h, 0, SEEK_END);
    if (size < 0) return WIOERR_FILEERROR;
    s.fileSize = win::DWORD(size);
    const std::uint64_t start = std::uint64_t(riff.dwDataOffset) + 4;
    if (start > 0x7FFFFFFF || win::mmioSeek(s.h, win::LONG(start), SEEK_SET) != win::LONG(start))
        return WIOERR_FILEERROR;
    s.riffEnd = std::uint64_t(riff.dwDataOffset) + riff.cksize;
    if (s.riffEnd > s.fileSize) {
        s.note("RIFF size " + std::to_string(riff.cksize) + " cut to the file's " +
               std::to_string(s.fileSize - riff.dwDataOffset));
        s.riffEnd = s.fileSize;
        riff.cksize = win::DWORD(s.fileSize - riff.dwDataOffset);
    }
    s.walkEnd = s.riffEnd;
    int status = riffToWio(RiffInitINFO(s.info));
    if (status == WIOERR_NOERROR) status = riffToWio(RiffInitDISP(s.disp));
    if (status == WIOERR_NOERROR) status = walk(s, start);
    if (status == WIOERR_NOERROR) status = finishBlock(s, flags);
    return status;
}

void releaseScan(Scan& s) {
    if (s.cb) win::GlobalFreePtr(s.cb);
    if (s.info) RiffFreeINFO(s.info);
    if (s.disp) RiffFreeDISP(s.disp, true);
    s.cb = nullptr;
}

} // namespace

int wioReadFileInfo(PWAVEIOCB& cb, const char* name, win::FOURCC formType, win::DWORD flags) {
    cb = nullptr;
    if (!name) return WIOERR_BADPARAM;
    Scan s;
    win::MMCKINFO riff{};
    win::HGLOBAL resHandle = nullptr;
    if (wioFileOpen(s.h, riff, resHandle, flags, formType, name) != WIOERR_NOERROR) return WIOERR_FILEERROR;
    char* nameCopy = copyName(name, flags);
    int status = nameCopy ? scanOpenFile(s, riff, flags) : WIOERR_NOMEM;
    wioFileClose(s.h, resHandle);
    if (status != WIOERR_NOERROR) {
        releaseScan(s);
        if (nameCopy) win::GlobalFreePtr(nameCopy);
        return status;
    }
    s.cb->RiffChunk = riff;
    s.cb->FileName = nameCopy;
    s.cb->InfoChunk = s.info;
    s.cb->DispList = s.disp;
    cb = s.cb;
    wio::setRepairs(cb, std::move(s.repairs));
    return WIOERR_NOERROR;
}

bool wioIsWaveFile(const char* fileName, win::DWORD flags) {
    PWAVEIOCB cb = nullptr;
    if (wioReadFileInfo(cb, fileName, kWave, flags) != WIOERR_NOERROR) return false;
    wioFreeFileInfo(cb);
    return true;
}

int wioBuildFileInfoFromMem(PWAVEIOCB& cb, const void* data, std::int32_t size) {
    cb = nullptr;
    if (!data || size <= 0) return WIOERR_FILEERROR;
    win::MMIOINFO info{};
    info.pchBuffer = static_cast<char*>(const_cast<void*>(data));
    info.cchBuffer = size;
    return wioReadFileInfo(cb, reinterpret_cast<const char*>(&info), kWave, WIO_MEMORY);
}

int wioBuildFileInfoFromResource(PWAVEIOCB& cb, const char* resName) {
    return wioReadFileInfo(cb, resName, kWave, WIO_RESOURCE);
}

} // namespace kv
