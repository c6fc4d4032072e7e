// What the frame decompressor's decoders share: access to the stream's samples through IAVIStream (with
// buffers that live as long as the decompressor), and the decoder interface itself.
#pragma once

#include "platform/vfw/FrameFormat.h"
#include "platform/vfw/Vfw.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace win::vfw {

class SampleReader {
  public:
    explicit SampleReader(IAVIStream* stream);

    IAVIStream* stream() const { return m_stream; }
    LONG start() const { return m_start; }
    // One past the last sample, asked anew (a stream being written may grow).
    LONG end();
    bool formatChanges() const { return m_formatChanges; }

    // Size of sample pos in bytes (0 for a dropped frame), or -1 with the error detail set.
    LONG size(LONG pos);
    // Reads sample pos, whose size the caller has asked for, straight into dst.
    bool readInto(LONG pos, void* dst, LONG size);
    // Reads sample pos into a buffer owned by the reader, followed by padding zero bytes (decoders
    // that read a few bytes ahead). Empty span for a dropped frame, nullopt with the detail set on error.
    std::optional<std::span<const std::uint8_t>> read(LONG pos, std::size_t padding = 0);
    // The nearest key frame at or before pos; the stream's start when the stream names none.
    LONG keyFrameAtOrBefore(LONG pos);
    // The colour table valid at pos, for streams whose palette changes.
    std::optional<std::vector<RGBQUAD>> paletteAt(LONG pos);

  private:
    IAVIStream* m_stream;
    LONG m_start = 0;
    bool m_formatChanges = false;
    std::vector<std::uint8_t> m_buffer;
    std::vector<std::uint8_t> m_format;
};

class FrameDecoder {
  public:
    virtual ~FrameDecoder() = default;
    // Puts the picture of frame pos into the output DIB. A dropped frame shows the picture before it.
    // Returns false, with AVISetLastErrorDetail set, when there is no picture to show.
    virtual bool decode(LONG pos) = 0;
    // The output DIB's pixels were replaced behind the decoder's back (by an older picture): the next
    // decode must draw its picture in full even when it is the one drawn last.
    virtual void outputReplaced() = 0;
};

// Sets the error detail to "frame <pos>: <what>" and returns false, for decoders' failure paths.
bool frameError(LONG pos, const std::string& what);

} // namespace win::vfw
