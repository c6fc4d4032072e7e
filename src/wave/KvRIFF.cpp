// RIFF chunk copies and the INFO list: the table of known tags, reading, parsing, editing, copying and
// writing the LIST INFO chunk.
#include "wave/KvRIFF.h"

#include "platform/win/ByteReader.h"
#include "wave/KvRIFFInternal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kv {

const TInfoTag aINFO[INFO_TAG_COUNT + 1] = {
    {"IARL", "Archival Location", "Where the subject of the file is archived."},
    {"IART", "Artist", "The original artist of the subject of the file."},
    {"ICMS", "Commissioned", "Who commissioned the subject of the file."},
    {"ICMT", "Comments", "General remarks about the file or its subject."},
    {"ICOP", "Copyright", "The copyright notice for the file, one claim per sentence."},
    {"ICRD", "Creation date", "The date the subject was created, written year-month-day."},
    {"ICRP", "Cropped", "Whether and how an image was cropped from a larger original."},
    {"IDIM", "Dimensions", "The size of the original subject, such as the measures of a print."},
    {"IDPI", "Dots Per Inch", "The resolution in dots per inch at which the image was digitised."},
    {"IENG", "Engineer", "The engineers who worked on the file, separated by semicolons."},
    {"IGNR", "Genre", "The kind of work, such as a jingle, a speech or a landscape."},
    {"IKEY", "Keywords", "Words that name the file or its subject for searches, separated by semicolons."},
    {"ILGT", "Lightness", "How the lightness or brightness of the original was changed."},
    {"IMED", "Medium", "The medium of the original subject, such as tape, film or paper."},
    {"INAM", "Name", "The title of the subject of the file."},
    {"IPLT", "Palette Setting", "How many colours were asked for when the image was digitised."},
    {"IPRD", "Product", "The product the file was made for, such as an album or a title."},
    {"ISBJ", "Subject", "What the contents of the file are about."},
    {"ISFT", "Software", "The program that made the file."},
    {"ISHP", "Sharpness", "How the sharpness of the original was changed."},
    {"ISRC", "Source", "Who supplied the subject of the file."},
    {"ISRF", "Source Form", "The form the original came in, such as a slide or a recording."},
    {"ITCH", "Technician", "The person who digitised the subject."},
    {nullptr, nullptr, nullptr},
};

namespace riff {

std::int64_t bytesAvailable(win::HMMIO hmmio) {
    const win::LONG cur = win::mmioSeek(hmmio, 0, SEEK_CUR);
    if (cur < 0) return -1;
    const win::LONG end = win::mmioSeek(hmmio, 0, SEEK_END);
    if (win::mmioSeek(hmmio, cur, SEEK_SET) != cur || end < cur) return -1;
    return std::int64_t(end) - cur;
}

std::size_t blockSize(const void* p) {
    return p ? win::GlobalSize(win::GlobalHandle(p)) : 0;
}

} // namespace riff

namespace {

using riff::allocBlock;
using riff::freeBlock;

constexpr win::FOURCC kInfo = win::mmioFOURCC('I', 'N', 'F', 'O');
constexpr win::LONG kCopyPiece = 1 << 20;

bool isEmptyText(const char* text) {
    return !text || !*text;
}

// The text read from the file for an entry, or null when there is none.
const char* rawValue(PInfoChunk chunk, PInfoData entry) {
    if (!chunk || !chunk->RawText || entry->TextOffset == 0 || entry->TextOffset >= chunk->RawSize)
        return nullptr;
    return chunk->RawText + entry->TextOffset;
}

void storeText(PInfoData entry, char* text, win::WORD flags) {
    entry->NewText = text;
    entry->Flags = flags;
}

char* copyText(const char* text, std::size_t length) {
    auto* copy = static_cast<char*>(allocBlock(length + 1));
    if (copy) std::memcpy(copy, text, length);
    return copy;
}

// Moves cksize bytes from src to dst in pieces of at most kCopyPiece bytes.
bool copyBytes(win::HMMIO src, win::HMMIO dst, win::DWORD cksize) {
    const std::int64_t available = riff::bytesAvailable(src);
    if (available < 0 || available < std::int64_t(cksize)) return false;
    const win::LONG piece = win::LONG(std::min<win::DWORD>(cksize, kCopyPiece));
    char* buffer = static_cast<char*>(allocBlock(std::size_t(piece ? piece : 1)));
    if (!buffer) return false;
    bool ok = true;
    for (win::DWORD left = cksize; ok && left > 0;) {
        const win::LONG n = win::LONG(std::min<win::DWORD>(left, win::DWORD(piece)));
        ok = win::mmioRead(src, buffer, n) == n && win::mmioWrite(dst, buffer, n) == n;
        left -= win::DWORD(n);
    }
    freeBlock(buffer);
    return ok;
}

bool copyChunk(win::HMMIO src, win::HMMIO dst, const win::MMCKINFO& ck, bool list) {
    if (!src || !dst) return false;
    win::MMCKINFO out{};
    out.ckid = ck.ckid;
    out.cksize = ck.cksize;
    out.fccType = ck.fccType;
    if (list && ck.cksize < 4) return false;
    if (win::mmioCreateChunk(dst, &out, list ? win::MMIO_CREATELIST : 0) != win::MMSYSERR_NOERROR)
        return false;
    if (!copyBytes(src, dst, list ? ck.cksize - 4 : ck.cksize)) return false;
    return win::mmioAscend(dst, &out, 0) == win::MMSYSERR_NOERROR;
}

// Records the value of a known tag whose body starts at `offset` in RawText and holds `length` bytes.
void recordValue(PInfoChunk chunk, PInfoData entry, std::size_t offset, std::size_t length) {
    const char* body = chunk->RawText + offset;
    if (std::memchr(body, 0, length)) {
        RiffModifyINFO(chunk, entry, RIFF_AS_READ, nullptr, win::DWORD(offset));
        return;
    }
    // The value does not end inside its sub-chunk: a terminated copy of the body is its value, so
    // that the bytes of the next sub-chunk never become part of the text.
    RiffModifyINFO(chunk, entry, RIFF_AS_READ, copyText(body, length), win::DWORD(offset));
}

bool writeTag(win::HMMIO hmmio, const TInfoTag& tag, const char* value) {
    win::MMCKINFO ck{};
    ck.ckid = win::mmioStringToFOURCC(tag.Id, 0);
    if (win::mmioCreateChunk(hmmio, &ck, 0) != win::MMSYSERR_NOERROR) return false;
    const std::size_t length = std::strlen(value) + 1;
    if (length > 0x7FFFFFFF || win::mmioWrite(hmmio, value, win::LONG(length)) != win::LONG(length))
        return false;
    return win::mmioAscend(hmmio, &ck, 0) == win::MMSYSERR_NOERROR;
}

} // namespace

bool RiffCopyChunk(win::HMMIO src, win::HMMIO dst, const win::MMCKINFO& ck) {
    return copyChunk(src, dst, ck, false);
}

bool RiffCopyList(win::HMMIO src, win::HMMIO dst, const win::MMCKINFO& ck) {
    return copyChunk(src, dst, ck, true);
}

int RiffInitINFO(PInfoChunk& chunk) {
    chunk = static_cast<PInfoChunk>(allocBlock(sizeof(TInfoChunk)));
    if (!chunk) return RIFFERR_NOMEM;
    for (int i = 0; i < INFO_TAG_COUNT; ++i) {
        PInfoData entry = RiffCreateINFO(RIFF_AS_READ, win::WORD(i), 0, nullptr);
        if (!entry) {
            RiffFreeINFO(chunk);
            return RIFFERR_NOMEM;
        }
        RiffInsertINFO(chunk, entry);
    }
    return RIFFERR_NOERROR;
}

int RiffReadINFO(win::HMMIO hmmio, const win::MMCKINFO& ck, PInfoChunk chunk) {
    if (!hmmio || !chunk) return RIFFERR_BADPARAM;
    if (ck.cksize < 5) return RIFFERR_NOERROR;
    const win::DWORD size = ck.cksize - 4;
    const std::int64_t available = riff::bytesAvailable(hmmio);
    if (available < std::int64_t(size) || size > 0x7FFFFFFE) return RIFFERR_FILEERROR;
    // A body read earlier is released, and with it every offset into it.
    freeBlock(chunk->RawText);
    chunk->RawSize = 0;
    for (PInfoData e = chunk->Head; e; e = e->Next)
        e->TextOffset = 0;
    char* raw = static_cast<char*>(allocBlock(std::size_t(size) + 1)); // + 1: a zero behind the copy
    if (!raw) return RIFFERR_NOMEM;
    if (win::mmioRead(hmmio, raw, win::LONG(size)) != win::LONG(size)) {
        freeBlock(raw);
        return RIFFERR_FILEERROR;
    }
    chunk->RawText = raw;
    chunk->RawSize = size;
    return RiffParseINFO(chunk);
}

int RiffParseINFO(PInfoChunk chunk) {
    if (!chunk || !chunk->RawText) return RIFFERR_NOERROR;
    win::ByteReader reader({reinterpret_cast<const std::uint8_t*>(chunk->RawText), chunk->RawSize});
    while (reader.remaining() >= 8) {
        const win::FOURCC id = *reader.fourcc();
        const std::uint64_t size = *reader.u32();
        const std::size_t offset = reader.position();
        const std::size_t length = std::size_t(std::min<std::uint64_t>(size, reader.remaining()));
        PInfoData entry = RiffFindPIINFO(chunk, id);
        if (entry && length > 0) recordValue(chunk, entry, offset, length);
        // Sub-chunks are padded to even length; one running past the body ends the walk.
        const std::uint64_t step = size + (size & 1);
        if (step > reader.remaining()) break;
        reader.skip(std::size_t(step));
    }
    return RIFFERR_NOERROR;
}

const char* RiffINFOValue(PInfoChunk chunk, PInfoData entry) {
    if (!entry) return nullptr;
    const char* value = entry->NewText ? entry->NewText : rawValue(chunk, entry);
    return isEmptyText(value) ? nullptr : value;
}

int RiffWriteINFO(win::HMMIO hmmio, PInfoChunk chunk) {
    if (!hmmio || !chunk) return RIFFERR_BADPARAM;
    win::MMCKINFO list{};
    bool listOpen = false;
    for (PInfoData e = chunk->Head; e; e = e->Next) {
        const char* value = RiffINFOValue(chunk, e);
        if (!value || e->Index >= INFO_TAG_COUNT) continue;
        if (!listOpen) {
            list.fccType = kInfo;
            if (win::mmioCreateChunk(hmmio, &list, win::MMIO_CREATELIST) != win::MMSYSERR_NOERROR)
                return RIFFERR_FILEERROR;
            listOpen = true;
        }
        if (!writeTag(hmmio, aINFO[e->Index], value)) return RIFFERR_FILEERROR;
    }
    if (listOpen && win::mmioAscend(hmmio, &list, 0) != win::MMSYSERR_NOERROR) return RIFFERR_FILEERROR;
    return RIFFERR_NOERROR;
}

int RiffCopyInfo(PInfoChunk& dst, PInfoChunk src) {
    if (!dst || !src) return RIFFERR_BADPARAM;
    for (PInfoData e = src->Head; e; e = e->Next) {
        const char* value =
            e->NewText ? e->NewText : (e->Flags != RIFF_MODIFIED ? rawValue(src, e) : nullptr);
        if (isEmptyText(value) || e->Index >= INFO_TAG_COUNT) continue;
        char* copy = copyText(value, std::strlen(value));
        if (!copy) return RIFFERR_NOMEM;
        PInfoData target = RiffFindPIINFO(dst, win::mmioStringToFOURCC(aINFO[e->Index].Id, 0));
        RiffModifyINFO(dst, target, RIFF_MODIFIED, copy, 0);
    }
    return RIFFERR_NOERROR;
}

void RiffInsertINFO(PInfoChunk chunk, PInfoData entry) {
    if (!chunk || !entry) return;
    PInfoData* link = &chunk->Head;
    while (*link)
        link = &(*link)->Next;
    *link = entry;
}

PInfoData RiffCreateINFO(win::WORD flags, win::WORD index, win::DWORD offset, char* text) {
    auto* entry = static_cast<PInfoData>(allocBlock(sizeof(TInfoData)));
    if (!entry) return nullptr;
    entry->Flags = flags;
    entry->Index = index;
    entry->TextOffset = offset;
    entry->NewText = text;
    return entry;
}

PInfoData RiffFindPIINFO(PInfoChunk chunk, win::FOURCC fourcc) {
    if (!chunk) return nullptr;
    for (PInfoData e = chunk->Head; e; e = e->Next)
        if (e->Index < INFO_TAG_COUNT && win::mmioStringToFOURCC(aINFO[e->Index].Id, 0) == fourcc) return e;
    return nullptr;
}

int RiffFindaINFO(win::FOURCC fourcc) {
    for (int i = 0; i < INFO_TAG_COUNT; ++i)
        if (win::mmioStringToFOURCC(aINFO[i].Id, 0) == fourcc) return i;
    return -1;
}

void RiffModifyINFO(PInfoChunk chunk, PInfoData entry, win::WORD flags, char* text, win::DWORD offset) {
    if (!entry) {
        freeBlock(text); // the text is owned here, so it is released even when there is nowhere to put it
        return;
    }
    if ((flags & (RIFF_MODIFIED | RIFF_REVERTED)) == 0) entry->TextOffset = offset;
    if (entry->NewText) {
        if (text) {
            if (std::strcmp(text, entry->NewText) == 0) {
                freeBlock(text);
                return;
            }
            freeBlock(entry->NewText);
            if (!isEmptyText(text)) {
                storeText(entry, text, flags);
            } else {
                freeBlock(text);
                entry->Flags = RIFF_REVERTED;
            }
        } else if (flags & RIFF_REVERTED) {
            freeBlock(entry->NewText);
            entry->Flags = flags;
        }
        return;
    }
    if (!text) return;
    const char* raw = rawValue(chunk, entry);
    if (!raw) {
        if (!isEmptyText(text))
            storeText(entry, text, flags);
        else
            freeBlock(text);
        return;
    }
    if (std::strcmp(text, raw) == 0) {
        freeBlock(text);
    } else if (!isEmptyText(text) || !isEmptyText(raw)) {
        storeText(entry, text, flags); // an empty text clears a tag that had a value
    } else {
        freeBlock(text);
    }
}

int RiffFreeINFO(PInfoChunk& chunk) {
    if (!chunk) return RIFFERR_BADPARAM;
    freeBlock(chunk->RawText);
    for (PInfoData e = chunk->Head; e;) {
        PInfoData next = e->Next;
        freeBlock(e->NewText);
        freeBlock(e);
        e = next;
    }
    freeBlock(chunk);
    return RIFFERR_NOERROR;
}

} // namespace kv
