// What the AVI parser learns about a file: the headers, every stream's format and the list of its data
// chunks (from idx1, from the OpenDML indexes, or from scanning movi), and parse errors with their place.
#pragma once

#include "platform/win/WinTypes.h"

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace win {

enum class AviErrorKind { FileOpen, FileRead, BadFormat, Memory };

// A parse failure: what kind, where in the file (if known), and a sentence for the user.
struct AviError {
    AviErrorKind kind = AviErrorKind::BadFormat;
    std::uint64_t offset = UINT64_MAX;
    std::string message;

    // The message with the offset appended, as shown to the user.
    std::string describe() const;
};

template <typename T> class AviResult {
  public:
    AviResult(T value) : m_v(std::move(value)) {}
    AviResult(AviError error) : m_v(std::move(error)) {}
    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(m_v); }
    const AviError& error() const { return std::get<1>(m_v); }

  private:
    std::variant<T, AviError> m_v;
};

inline AviError aviFormatError(std::string message, std::uint64_t offset = UINT64_MAX) {
    return AviError{AviErrorKind::BadFormat, offset, std::move(message)};
}

// One data chunk of a stream: where its data starts (after the 8-byte header) and how long it is.
struct AviChunk {
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
    bool key = false;
};

// A ##pc palette change: applies to the samples from `position` on.
struct AviPaletteChange {
    std::uint32_t position = 0;
    std::uint32_t first = 0;
    std::vector<PALETTEENTRY> entries;
};

// A chunk of extra data kept with a stream (strd and other chunks of its strl) or with the file (chunks
// of hdrl and of the first RIFF that are not part of the AVI structure), for ReadData.
struct AviExtraChunk {
    FOURCC id = 0;
    std::vector<std::uint8_t> data;
};

struct AviStreamModel {
    std::uint32_t number = 0; // the ## of its chunk ids: the order of its strl in hdrl
    AVIStreamHeader header{};
    std::vector<std::uint8_t> format;
    std::string name;
    std::vector<std::uint8_t> indx; // raw OpenDML index chunk from the strl, if any
    std::uint64_t indxOffset = 0;
    std::vector<AviExtraChunk> extra;

    std::vector<AviChunk> chunks;
    std::vector<AviPaletteChange> paletteChanges;

    // Derived once the chunks are known.
    std::uint32_t sampleSize = 0;                // 0: one chunk is one sample
    std::vector<std::uint64_t> chunkBytesBefore; // fixed-size samples: bytes in chunks [0, i)
    std::uint32_t length = 0;
    std::uint32_t largestChunk = 0;
    std::uint32_t scale = 1, rate = 25;

    bool isVideo() const { return header.fccType == mmioFOURCC('v', 'i', 'd', 's'); }
    bool isAudio() const { return header.fccType == mmioFOURCC('a', 'u', 'd', 's'); }
};

struct AviFileModel {
    std::uint64_t fileSize = 0;
    MainAVIHeader avih{};
    bool hasAvih = false;
    std::uint32_t dmlhTotalFrames = 0;
    std::vector<AviStreamModel> streams;
    std::vector<AviExtraChunk> extra;
    // How the chunk lists were found, for diagnostics and tests.
    enum class IndexSource { None, Idx1, OpenDml, Scan } indexSource = IndexSource::None;
    // Why the file's own index was not used (empty when it was, or there was none).
    std::string indexProblem;
};

// Chunk id helpers: "01wb" is stream 1, two-character code "wb"; "ix01" is the OpenDML index of stream 1.
constexpr char fourccByte(FOURCC f, int i) {
    return char((f >> (8 * i)) & 0xFF);
}
int aviStreamNumber(FOURCC ckid);      // "##xx" -> ##, else -1
int aviIndexStreamNumber(FOURCC ckid); // "ix##" or "##ix" -> ##, else -1
bool aviValidFourcc(FOURCC f);
std::string aviFourccText(FOURCC f);

} // namespace win
