// RIFF chunk headers read straight from a source: an id, a size and, for RIFF and LIST, the form type.
#pragma once

#include "platform/vfw/AviModel.h"
#include "platform/vfw/AviSource.h"

#include <optional>

namespace win {

constexpr FOURCC kRiff = mmioFOURCC('R', 'I', 'F', 'F');
constexpr FOURCC kList = mmioFOURCC('L', 'I', 'S', 'T');
constexpr FOURCC kJunk = mmioFOURCC('J', 'U', 'N', 'K');
constexpr FOURCC kAvi = mmioFOURCC('A', 'V', 'I', ' ');
constexpr FOURCC kAvix = mmioFOURCC('A', 'V', 'I', 'X');
constexpr FOURCC kHdrl = mmioFOURCC('h', 'd', 'r', 'l');
constexpr FOURCC kStrl = mmioFOURCC('s', 't', 'r', 'l');
constexpr FOURCC kMovi = mmioFOURCC('m', 'o', 'v', 'i');
constexpr FOURCC kRec = mmioFOURCC('r', 'e', 'c', ' ');
constexpr FOURCC kIdx1 = mmioFOURCC('i', 'd', 'x', '1');
constexpr FOURCC kAvih = mmioFOURCC('a', 'v', 'i', 'h');
constexpr FOURCC kStrh = mmioFOURCC('s', 't', 'r', 'h');
constexpr FOURCC kStrf = mmioFOURCC('s', 't', 'r', 'f');
constexpr FOURCC kStrn = mmioFOURCC('s', 't', 'r', 'n');
constexpr FOURCC kIndx = mmioFOURCC('i', 'n', 'd', 'x');
constexpr FOURCC kDmlh = mmioFOURCC('d', 'm', 'l', 'h');
constexpr FOURCC kOdml = mmioFOURCC('o', 'd', 'm', 'l');

struct RiffHeader {
    std::uint64_t pos = 0; // of the id
    FOURCC id = 0;
    std::uint32_t size = 0;
    FOURCC form = 0; // RIFF/LIST only
    bool isList() const { return id == kRiff || id == kList; }
    std::uint64_t dataPos() const { return pos + 8; }
    // End including the pad byte of odd sizes (64-bit arithmetic: no wrap).
    std::uint64_t paddedEnd() const { return pos + 8 + std::uint64_t(size) + (size & 1); }
};

// Reads the header at pos (12 bytes for lists); nullopt when it is not all in the source.
std::optional<RiffHeader> readRiffHeader(const AviSource& src, std::uint64_t pos);

// Where the file's parts are, as found by walking the top-level chunks.
struct AviLayout {
    std::uint64_t riffEnd = 0;
    bool unfinished = false;     // RIFF size 0 or past the end of the file
    bool moviUnfinished = false; // movi size 0 or past the end of its RIFF: no index was written
    bool cut = false;            // some RIFF claims more than the file holds: the file was truncated
    bool hasMovi = false;
    std::uint64_t moviPos = 0; // of the 'movi' form type (idx1 offsets are relative to it)
    std::uint64_t moviEnd = 0;
    bool hasIdx1 = false;
    std::uint64_t idx1Pos = 0; // of its data
    std::uint32_t idx1Size = 0;
    bool idx1Truncated = false;
    bool hasAvix = false;
};

// Loaders of the chunk lists. Each fills the streams' chunk lists or returns why it could not.
std::optional<AviError> aviLoadIdx1(const AviSource& src, const AviLayout& layout, AviFileModel& model);
std::optional<AviError> aviLoadOpenDml(const AviSource& src, AviFileModel& model);
std::optional<AviError> aviScanMovi(const AviSource& src, const AviLayout& layout, AviFileModel& model);

// Records a ##pc chunk of a stream (validated; bad ones are ignored) at the stream's current length.
void aviAddPaletteChange(const AviSource& src, AviStreamModel& stream, std::uint64_t dataPos,
                         std::uint32_t size);

// Rejects index entries whose data lies outside the file; drops a truncated tail when the file is cut.
std::optional<AviError> aviCheckChunksInFile(AviFileModel& model, bool fileIsCut);

} // namespace win
