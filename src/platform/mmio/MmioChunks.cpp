// The RIFF chunk walk over an mmio file: descending into (and searching for) chunks, ascending out of
// them with their sizes written back, creating chunks, and FOURCC codes from text.
#include "platform/mmio/MmioFile.h"

#include "platform/win/ByteReader.h"

#include <cctype>

namespace win::mmio {
namespace {

struct Header {
    std::int64_t at = 0; // offset of the chunk's id
    MMCKINFO ck{};
};

bool isForm(FOURCC id) {
    return id == FOURCC_RIFF || id == FOURCC_LIST;
}

// Reads the chunk header at the current position: id, size and, for RIFF and LIST chunks that are
// large enough to hold one, the form type. False when the header is not all there.
bool readHeader(HMMIO hmmio, MmioFile& f, Header& h) {
    h.at = tell(f);
    std::uint8_t bytes[8];
    if (mmioRead(hmmio, reinterpret_cast<char*>(bytes), 8) != 8) return false;
    ByteReader r(std::span<const std::uint8_t>(bytes, 8), std::uint64_t(h.at));
    h.ck.ckid = *r.fourcc();
    h.ck.cksize = *r.u32();
    h.ck.fccType = 0;
    h.ck.dwDataOffset = DWORD(h.at + 8);
    h.ck.dwFlags = 0;
    // A form chunk too small for its type has none; its body is left where it is.
    if (isForm(h.ck.ckid) && h.ck.cksize >= 4) {
        std::uint8_t type[4];
        if (mmioRead(hmmio, reinterpret_cast<char*>(type), 4) != 4) return false;
        h.ck.fccType = *ByteReader(std::span<const std::uint8_t>(type, 4)).fourcc();
    }
    return true;
}

bool matches(const Header& h, const MMCKINFO& want, UINT flags) {
    if (flags & MMIO_FINDCHUNK) return h.ck.ckid == want.ckid;
    if (flags & MMIO_FINDRIFF) return h.ck.ckid == FOURCC_RIFF && h.ck.fccType == want.fccType;
    if (flags & MMIO_FINDLIST) return h.ck.ckid == FOURCC_LIST && h.ck.fccType == want.fccType;
    return true;
}

std::int64_t paddedEnd(const MMCKINFO& ck) {
    return std::int64_t(ck.dwDataOffset) + ck.cksize + (ck.cksize & 1);
}

} // namespace
} // namespace win::mmio

namespace win {
using namespace mmio;

MMRESULT mmioDescend(HMMIO hmmio, LPMMCKINFO pmmcki, const MMCKINFO* pmmckiParent, UINT fuDescend) {
    MmioFile* f = lookup(hmmio);
    if (!f) return MMSYSERR_INVALHANDLE;
    if (!pmmcki) return MMSYSERR_INVALPARAM;
    UINT find = fuDescend & (MMIO_FINDCHUNK | MMIO_FINDRIFF | MMIO_FINDLIST);
    if (find != 0 && find != MMIO_FINDCHUNK && find != MMIO_FINDRIFF && find != MMIO_FINDLIST)
        return MMSYSERR_INVALFLAG;
    // A parent's end is where its body ends; a header that does not fit before it is not searched.
    std::int64_t parentEnd =
        pmmckiParent ? std::int64_t(pmmckiParent->dwDataOffset) + pmmckiParent->cksize : INT64_MAX;
    std::int64_t length = find ? fileLength(*f) : -1;
    for (;;) {
        if (tell(*f) + 8 > parentEnd) return MMIOERR_CHUNKNOTFOUND;
        Header h;
        if (!readHeader(hmmio, *f, h)) return MMIOERR_CHUNKNOTFOUND;
        if (matches(h, *pmmcki, find)) {
            *pmmcki = h.ck;
            return MMSYSERR_NOERROR;
        }
        // Skip the sibling: its padded end must lie within the parent and the file.
        std::int64_t next = paddedEnd(h.ck);
        if (next > parentEnd + ((pmmckiParent && (h.ck.cksize & 1)) ? 1 : 0)) return MMIOERR_CHUNKNOTFOUND;
        if (next > length + (h.ck.cksize & 1) || next > kMaxPosition) return MMIOERR_CHUNKNOTFOUND;
        if (next > length) next = length; // a last chunk of odd size without its pad byte
        if (mmioSeek(hmmio, LONG(next), SEEK_SET) != next) return MMIOERR_CHUNKNOTFOUND;
    }
}

MMRESULT mmioAscend(HMMIO hmmio, LPMMCKINFO pmmcki, UINT) {
    MmioFile* f = lookup(hmmio);
    if (!f) return MMSYSERR_INVALHANDLE;
    if (!pmmcki || pmmcki->dwDataOffset < 8) return MMSYSERR_INVALPARAM;
    if (pmmcki->dwFlags & MMIO_DIRTY) {
        std::int64_t end = tell(*f);
        if (end < std::int64_t(pmmcki->dwDataOffset)) return MMIOERR_CANNOTSEEK;
        DWORD size = DWORD(end - pmmcki->dwDataOffset);
        std::uint8_t field[4] = {BYTE(size), BYTE(size >> 8), BYTE(size >> 16), BYTE(size >> 24)};
        if (mmioSeek(hmmio, LONG(pmmcki->dwDataOffset - 4), SEEK_SET) < 0) return MMIOERR_CANNOTSEEK;
        if (mmioWrite(hmmio, reinterpret_cast<const char*>(field), 4) != 4) return MMIOERR_CANNOTWRITE;
        if (mmioSeek(hmmio, LONG(end), SEEK_SET) != end) return MMIOERR_CANNOTSEEK;
        if (size & 1) {
            const char pad = 0;
            if (mmioWrite(hmmio, &pad, 1) != 1) return MMIOERR_CANNOTWRITE;
        }
        pmmcki->cksize = size;
        pmmcki->dwFlags &= ~MMIO_DIRTY;
        return MMSYSERR_NOERROR;
    }
    // A chunk that claims to run past the end of the file cannot be left by seeking; only a missing
    // pad byte after a last chunk of odd size is forgiven.
    std::int64_t target = paddedEnd(*pmmcki);
    std::int64_t length = fileLength(*f);
    if (length < 0 || target > length + (pmmcki->cksize & 1) || target > kMaxPosition)
        return MMIOERR_CANNOTSEEK;
    if (target > length) target = length;
    return mmioSeek(hmmio, LONG(target), SEEK_SET) == target ? MMSYSERR_NOERROR : MMIOERR_CANNOTSEEK;
}

MMRESULT mmioCreateChunk(HMMIO hmmio, LPMMCKINFO pmmcki, UINT fuCreate) {
    MmioFile* f = lookup(hmmio);
    if (!f) return MMSYSERR_INVALHANDLE;
    if (!pmmcki) return MMSYSERR_INVALPARAM;
    if ((fuCreate & MMIO_CREATERIFF) && (fuCreate & MMIO_CREATELIST)) return MMSYSERR_INVALFLAG;
    if (fuCreate & MMIO_CREATERIFF) pmmcki->ckid = FOURCC_RIFF;
    if (fuCreate & MMIO_CREATELIST) pmmcki->ckid = FOURCC_LIST;
    bool form = (fuCreate & (MMIO_CREATERIFF | MMIO_CREATELIST)) != 0;
    std::int64_t at = tell(*f);
    if (at + 8 > kMaxPosition) return MMIOERR_CANNOTSEEK;
    ByteWriter w;
    w.u32(pmmcki->ckid);
    w.u32(pmmcki->cksize);
    if (form) w.u32(pmmcki->fccType);
    LONG bytes = LONG(w.size());
    if (mmioWrite(hmmio, reinterpret_cast<const char*>(w.buffer().data()), bytes) != bytes)
        return MMIOERR_CANNOTWRITE;
    pmmcki->dwDataOffset = DWORD(at + 8);
    pmmcki->dwFlags = MMIO_DIRTY;
    return MMSYSERR_NOERROR;
}

FOURCC mmioStringToFOURCC(LPCSTR sz, UINT uFlags) {
    char c[4] = {' ', ' ', ' ', ' '};
    for (int i = 0; sz && i < 4 && sz[i]; ++i)
        c[i] = (uFlags & MMIO_TOUPPER) ? char(std::toupper(static_cast<unsigned char>(sz[i]))) : sz[i];
    return mmioFOURCC(c[0], c[1], c[2], c[3]);
}

} // namespace win
