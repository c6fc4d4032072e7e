// DISP chunks: a clipboard-format text or packed DIB that represents the file, read, edited, copied and
// written as a list of entries.
#include "wave/KvRIFF.h"

#include "core/KvUtils.h"
#include "platform/win/ByteReader.h"
#include "platform/win/DibLayout.h"
#include "wave/KvRIFFInternal.h"

#include <cstring>

namespace kv {
namespace {

using riff::allocBlock;
using riff::blockSize;
using riff::freeBlock;

constexpr win::FOURCC kDisp = win::mmioFOURCC('D', 'I', 'S', 'P');

bool isEmptyBlock(const void* p) {
    return !p || *static_cast<const std::uint8_t*>(p) == 0;
}

bool sameBlock(const void* a, const void* b) {
    if (!a || !b) return false;
    const std::size_t size = blockSize(a);
    return size == blockSize(b) && size <= 0x7FFFFFFF && GlobalCmpMem(a, b, std::int32_t(size));
}

// The size in bytes of the packed DIB at `dib` by the one DIB layout, 0 when its header is not one a
// block of `limit` bytes (0: not a global block, so only the 40-byte header is known to be there) holds.
std::size_t packedDibSize(const void* dib, std::size_t limit) {
    const auto* header = static_cast<const win::BITMAPINFOHEADER*>(dib);
    const std::size_t available = limit ? limit : sizeof(win::BITMAPINFOHEADER);
    if (available < sizeof(win::BITMAPINFOHEADER)) return 0;
    if (!limit) {
        const auto layout = win::ParseDibLayout({static_cast<const std::uint8_t*>(dib), available});
        return layout && layout->packedSize() <= 0x7FFFFFF0 ? layout->packedSize() : 0;
    }
    const auto layout = win::DibLayoutOf(header, available);
    return layout ? layout->packedSize() : 0;
}

// The bytes a present value takes in its DISP chunk: text with its terminating zero, or the whole
// packed DIB. 0 when the value cannot be written (a text block without a zero, a DIB whose header
// describes more than its block holds).
std::size_t valueBytes(win::DWORD clipFormat, const void* value) {
    const std::size_t limit = blockSize(value);
    if (clipFormat == CF_TEXT) {
        const auto* text = static_cast<const char*>(value);
        if (!limit) return std::strlen(text) + 1;
        const void* end = std::memchr(text, 0, limit);
        return end ? std::size_t(static_cast<const char*>(end) - text) + 1 : 0;
    }
    return packedDibSize(value, limit);
}

bool writeEntry(win::HMMIO hmmio, PDisp entry, const void* value) {
    const std::size_t bytes = valueBytes(entry->ClipFormat, value);
    if (bytes == 0 || bytes > 0x7FFFFFF0) return true; // nothing this entry could write
    win::MMCKINFO ck{};
    ck.ckid = kDisp;
    if (win::mmioCreateChunk(hmmio, &ck, 0) != win::MMSYSERR_NOERROR) return false;
    const win::DWORD format = entry->ClipFormat;
    const char bytesOfFormat[4] = {char(format), char(format >> 8), char(format >> 16), char(format >> 24)};
    if (win::mmioWrite(hmmio, bytesOfFormat, 4) != 4) return false;
    if (win::mmioWrite(hmmio, static_cast<const char*>(value), win::LONG(bytes)) != win::LONG(bytes))
        return false;
    return win::mmioAscend(hmmio, &ck, 0) == win::MMSYSERR_NOERROR;
}

void storeData(PDisp entry, void* data, win::WORD flags) {
    entry->NewData = data;
    entry->Flags = flags;
}

} // namespace

int RiffInitDISP(PDispList& list) {
    list = static_cast<PDispList>(allocBlock(sizeof(TDispList)));
    return list ? RIFFERR_NOERROR : RIFFERR_NOMEM;
}

int RiffReadDISP(win::HMMIO hmmio, const win::MMCKINFO& ck, PDispList& list) {
    if (!list || !hmmio) return RIFFERR_BADPARAM;
    PDisp entry = RiffCreateDISP(RIFF_AS_READ, 0, nullptr, nullptr);
    if (!entry) return RIFFERR_NOMEM;
    if (ck.cksize < 5) {
        freeBlock(entry);
        return RIFFERR_NOERROR;
    }
    const win::DWORD size = ck.cksize - 4;
    const std::int64_t available = riff::bytesAvailable(hmmio);
    int status = RIFFERR_NOERROR;
    char format[4] = {};
    if (available < std::int64_t(ck.cksize) || size > 0x7FFFFFFE) {
        status = RIFFERR_FILEERROR; // checked before allocating what the size field asks for
    } else if (!(entry->Data = allocBlock(size))) {
        status = RIFFERR_NOMEM;
    } else if (win::mmioRead(hmmio, format, 4) != 4 ||
               win::mmioRead(hmmio, static_cast<char*>(entry->Data), win::LONG(size)) != win::LONG(size)) {
        status = RIFFERR_FILEERROR;
    }
    if (status != RIFFERR_NOERROR) {
        freeBlock(entry->Data);
        freeBlock(entry);
        return status;
    }
    win::ByteReader reader({reinterpret_cast<const std::uint8_t*>(format), 4});
    entry->ClipFormat = *reader.u32();
    RiffInsertDISP(list, entry);
    return RIFFERR_NOERROR;
}

const void* RiffDISPValue(PDisp entry) {
    if (!entry) return nullptr;
    const void* value =
        entry->NewData ? entry->NewData : (entry->Flags == RIFF_MODIFIED ? nullptr : entry->Data);
    return isEmptyBlock(value) ? nullptr : value;
}

int RiffWriteDISP(win::HMMIO hmmio, PDispList list) {
    if (!hmmio || !list) return RIFFERR_BADPARAM;
    for (PDisp e = list->Head; e; e = e->Next) {
        if (e->ClipFormat != CF_TEXT && e->ClipFormat != CF_DIB) continue;
        const void* value = RiffDISPValue(e);
        if (value && !writeEntry(hmmio, e, value)) return RIFFERR_FILEERROR;
    }
    return RIFFERR_NOERROR;
}

int RiffCopyDISP(PDispList dst, PDispList src) {
    if (!dst || !src) return RIFFERR_BADPARAM;
    if (RiffFreeDISP(dst, false) != RIFFERR_NOERROR) return RIFFERR_ERROR;
    for (PDisp e = src->Head; e; e = e->Next) {
        const void* value = RiffDISPValue(e);
        if (e->ClipFormat == 0 || !value) continue;
        const std::size_t size = blockSize(value);
        if (size == 0 || size > 0x7FFFFFFF) continue; // not a block of this heap: its size is unknown
        PDisp copy = RiffCreateDISP(RIFF_AS_READ, e->ClipFormat, nullptr, nullptr);
        void* data = copy ? allocBlock(size) : nullptr;
        if (!data) {
            freeBlock(copy);
            return RIFFERR_NOMEM;
        }
        GlobalMoveMem(value, data, std::int32_t(size));
        copy->NewData = data;
        RiffInsertDISP(dst, copy);
    }
    return RIFFERR_NOERROR;
}

PDisp RiffCreateDISP(win::WORD flags, win::DWORD clipFormat, void* data, void* newData) {
    auto* entry = static_cast<PDisp>(allocBlock(sizeof(TDisp)));
    if (!entry) return nullptr;
    entry->Flags = flags;
    entry->ClipFormat = clipFormat;
    entry->Data = data;
    entry->NewData = newData;
    return entry;
}

void RiffInsertDISP(PDispList list, PDisp entry) {
    if (!list || !entry) return;
    PDisp* link = &list->Head;
    while (*link)
        link = &(*link)->Next;
    *link = entry;
}

void RiffModifyDISP(PDispList list, PDisp entry, win::WORD flags, void* data) {
    if (!entry) {
        freeBlock(data);
        return;
    }
    if (entry->NewData) {
        if (!data) {
            freeBlock(entry->NewData);
            entry->Flags = RIFF_REVERTED;
        } else if (sameBlock(data, entry->NewData)) {
            freeBlock(data);
        } else {
            freeBlock(entry->NewData);
            if (!isEmptyBlock(data)) {
                storeData(entry, data, flags);
            } else {
                freeBlock(data);
                entry->Flags = RIFF_REVERTED;
            }
        }
        return;
    }
    if (!data) return;
    if (!entry->Data) {
        if (!isEmptyBlock(data))
            storeData(entry, data, flags);
        else
            freeBlock(data);
        return;
    }
    if (sameBlock(data, entry->Data) || (isEmptyBlock(data) && isEmptyBlock(entry->Data))) {
        freeBlock(data);
    } else if (!isEmptyBlock(data) || !isEmptyBlock(entry->Data)) {
        storeData(entry, data, flags);
    } else {
        freeBlock(data);
    }
}

int RiffFreeDISP(PDispList& list, bool freeList) {
    if (!list) return RIFFERR_BADPARAM;
    for (PDisp e = list->Head; e;) {
        PDisp next = e->Next;
        freeBlock(e->Data);
        freeBlock(e->NewData);
        freeBlock(e);
        e = next;
    }
    list->Head = nullptr;
    if (freeList) freeBlock(list);
    return RIFFERR_NOERROR;
}

} // namespace kv
