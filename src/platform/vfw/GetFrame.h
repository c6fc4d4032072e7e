// The frame decompressor behind AVIStreamGetFrameOpen / AVIStreamGetFrame / AVIStreamGetFrameClose:
// it reads the stream's format once, chooses the output DIB format, picks a decoder (built-in for
// uncompressed and RLE frames, libavcodec for the rest) and hands out one packed DIB per frame.
// While frames are asked for in order, the frame after the one handed out is decoded in the background
// into a second DIB; the two DIBs trade places when that frame is asked for. The DIB handed out stays
// untouched until the next GetFrame call.
#pragma once

#include "platform/vfw/DecodeAhead.h"
#include "platform/vfw/FrameDecoder.h"
#include "platform/vfw/FrameFormat.h"
#include "platform/vfw/Vfw.h"

#include <atomic>
#include <memory>

namespace win::vfw {

class GetFrameObject final : public IGetFrame {
  public:
    // nullptr, with AVISetLastErrorDetail set, when the stream cannot be decoded into the wanted
    // format. wanted == nullptr means the display's format. The object holds a reference on stream.
    static GetFrameObject* open(IAVIStream* stream, const BITMAPINFOHEADER* wanted);

    ULONG AddRef() override;
    ULONG Release() override;
    LPVOID GetFrame(LONG pos) override;

    const SourceFormat& sourceFormat() const { return m_source; }
    const OutputFormat& outputFormat() const { return m_out.format(); }

  private:
    explicit GetFrameObject(IAVIStream* stream);
    ~GetFrameObject() override;
    // Decodes pos into m_work, in the background decode when that one is for pos.
    bool decodeIntoWork(LONG pos);

    std::atomic<ULONG> m_refs{1};
    IAVIStream* m_stream;
    SourceFormat m_source;
    OutputDib m_out;  // the DIB handed to the caller
    OutputDib m_work; // the DIB the decoder draws into
    std::unique_ptr<SampleReader> m_reader;
    std::unique_ptr<FrameDecoder> m_decoder; // refers to the members above
    std::unique_ptr<DecodeAhead> m_ahead;    // uses the decoder; made at the first sequential read
    LONG m_shown = -1;                       // the frame whose picture m_out holds
    LONG m_lastAsked = -1;                   // the frame asked for last
};

} // namespace win::vfw
