// RIFF chunk I/O over mmio: FOURCC codes, copying whole chunks between open files, and the two
// in-memory models of optional RIFF metadata a wave file may carry: the LIST INFO text tags and the
// DISP chunks (a text or a picture that represents the file).
//
// Every block of this unit is zero-filled movable global memory locked to a pointer (GlobalAllocPtr)
// and released with GlobalFreePtr. No function raises: failures are the status codes below or a
// null/false result, and what was allocated on the failing path is released again.
#pragma once

#include "platform/mmio/Mmio.h"
#include "platform/win/WinTypes.h"

#include <cstdint>

namespace kv {

// ---- status codes ----
constexpr int RIFFERR_NOERROR = 0;
constexpr int RIFFERR_ERROR = 1;     // emptying the destination list failed
constexpr int RIFFERR_BADPARAM = 2;  // a required list or chunk is missing
constexpr int RIFFERR_FILEERROR = 3; // a read, write, create or ascend failed
constexpr int RIFFERR_NOMEM = 4;

// Edit state of an INFO tag or a DISP entry.
constexpr win::WORD RIFF_AS_READ = 0;  // the value read from the file counts
constexpr win::WORD RIFF_MODIFIED = 1; // the new value counts
constexpr win::WORD RIFF_REVERTED = 2; // the new value was dropped again

// Clipboard formats that DISP chunks carry and this unit writes.
constexpr win::DWORD CF_TEXT = 1;
constexpr win::DWORD CF_DIB = 8;

// ---- the known INFO tags ----
struct TInfoTag {
    const char* Id;          // the four-letter chunk id
    const char* Name;        // a short name for editors
    const char* Description; // one sentence for editors
};
constexpr int INFO_TAG_COUNT = 23;
// The 23 known tags in their fixed order, ended by a row of null texts. A row's index is the tag's
// index everywhere in this unit.
extern const TInfoTag aINFO[INFO_TAG_COUNT + 1];

// One INFO tag's state, one per row of aINFO, kept in table order.
struct TInfoData {
    win::WORD Index;       // row of aINFO
    win::WORD Flags;       // RIFF_AS_READ, RIFF_MODIFIED or RIFF_REVERTED
    win::DWORD TextOffset; // offset of the zero-terminated value read from the file; 0: none
    char* NewText;         // a separately allocated new value, or null
    TInfoData* Next;
};
using PInfoData = TInfoData*;

// One file's INFO list: the body of its LIST INFO chunk as read (after the form type; one zero byte is
// kept behind the copy, so every value read ends inside the block) and one entry per known tag.
struct TInfoChunk {
    char* RawText;
    win::DWORD RawSize;
    PInfoData Head;
};
using PInfoChunk = TInfoChunk*;

// One DISP chunk: its clipboard format, edit state, the data read (the body after the 4-byte format)
// and replacement data.
struct TDisp {
    win::DWORD ClipFormat;
    win::WORD Flags;
    void* Data;
    void* NewData;
    TDisp* Next;
};
using PDisp = TDisp*;

struct TDispList {
    PDisp Head;
};
using PDispList = TDispList*;

// The layouts keep the fields and their order; with 8-byte pointers they grow from 16 and 18 bytes.
static_assert(sizeof(TInfoData) == 8 + 2 * sizeof(void*));
static_assert(sizeof(TDisp) == 8 + 3 * sizeof(void*));

// ---- chunks ----
constexpr win::FOURCC mmioFourCC(char c0, char c1, char c2, char c3) {
    return win::mmioFOURCC(c0, c1, c2, c3);
}
// Copies the chunk `ck` (src positioned at its data, as a descend leaves it) into dst: same id and size,
// then ascends out of the new chunk. True only if every step moved exactly cksize bytes.
bool RiffCopyChunk(win::HMMIO src, win::HMMIO dst, const win::MMCKINFO& ck);
// The same for a LIST chunk whose form type the descend in src has already consumed.
bool RiffCopyList(win::HMMIO src, win::HMMIO dst, const win::MMCKINFO& ck);

// ---- INFO list ----
int RiffInitINFO(PInfoChunk& chunk);
// Reads the body of the LIST INFO chunk `ck` (descended into, form type consumed) and parses it.
// A body of 4 bytes or less reads as empty. A body read earlier is replaced.
int RiffReadINFO(win::HMMIO hmmio, const win::MMCKINFO& ck, PInfoChunk chunk);
// Records where each known tag's value lies in RawText. Safe on any body: sub-chunks past RawSize are
// cut, and a value that does not end inside its sub-chunk gets a terminated copy as its value.
int RiffParseINFO(PInfoChunk chunk);
// Writes a LIST INFO chunk holding every present value; nothing when no value is present.
int RiffWriteINFO(win::HMMIO hmmio, PInfoChunk chunk);
// Copies every present value of src into dst as a modified value.
int RiffCopyInfo(PInfoChunk& dst, PInfoChunk src);
void RiffInsertINFO(PInfoChunk chunk, PInfoData entry);
PInfoData RiffCreateINFO(win::WORD flags, win::WORD index, win::DWORD offset, char* text);
PInfoData RiffFindPIINFO(PInfoChunk chunk, win::FOURCC fourcc);
int RiffFindaINFO(win::FOURCC fourcc);
// Sets, clears or reverts a tag's value. Takes ownership of `text` (a GlobalAllocPtr block): it is
// either stored or released.
void RiffModifyINFO(PInfoChunk chunk, PInfoData entry, win::WORD flags, char* text, win::DWORD offset);
int RiffFreeINFO(PInfoChunk& chunk);
// The value that counts for an entry (new text, else the text read), or null when absent or empty.
const char* RiffINFOValue(PInfoChunk chunk, PInfoData entry);

// ---- DISP chunks ----
int RiffInitDISP(PDispList& list);
// Reads the DISP chunk `ck` (descended into) and appends it. A body of 4 bytes or less is ignored.
int RiffReadDISP(win::HMMIO hmmio, const win::MMCKINFO& ck, PDispList& list);
// Writes a DISP chunk for every entry of format CF_TEXT or CF_DIB whose value is present.
int RiffWriteDISP(win::HMMIO hmmio, PDispList list);
// Replaces dst's entries by copies of src's present values (as new data, flags 0).
int RiffCopyDISP(PDispList dst, PDispList src);
PDisp RiffCreateDISP(win::WORD flags, win::DWORD clipFormat, void* data, void* newData);
void RiffInsertDISP(PDispList list, PDisp entry);
// Sets or clears an entry's value; takes ownership of `data` (stored or released).
void RiffModifyDISP(PDispList list, PDisp entry, win::WORD flags, void* data);
int RiffFreeDISP(PDispList& list, bool freeList);
// The value that counts for an entry, or null when absent or empty.
const void* RiffDISPValue(PDisp entry);

} // namespace kv
