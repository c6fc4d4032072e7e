// The frame decompressor behind AVIStreamGetFrameOpen / AVIStreamGetFrame / AVIStreamGetFrameClose:
// it reads the stream's format once, chooses the output DIB format, picks a decoder (built-in for
// uncompressed and RLE frames, libavcodec for the rest) and hands out one packed DIB per frame.
#pragma once

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

    std::atomic<ULONG> m_refs{1};
    IAVIStream* m_stream;
    SourceFormat m_source;
    OutputDib m_out;
    std::unique_ptr<SampleReader> m_reader;
    std::unique_ptr<FrameDecoder> m_decoder; // refers to the members above, so it is declared last
    LONG m_shown = -1;                       // the frame whose picture the output DIB holds
};

} // namespace win::vfw
