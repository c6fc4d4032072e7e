// A video stream that reads another video stream's frames compressed: each frame is decoded to a DIB by
// the frame decompressor and handed to an encoder (an installable compressor, or none for full frames).
// Frames are made in order, one at a time, and the last one made is kept, so that reading the stream
// from start to end compresses every frame once. A read out of order starts again from the key frame at
// or before the frame asked for, so every read gives the same bytes the sequential run gives.
#pragma once

#include "platform/vfw/AviSave.h"

#include <atomic>
#include <memory>
#include <vector>

namespace win {

// Turns DIBs into the samples of the compressed stream, in order.
class AviFrameEncoder {
  public:
    virtual ~AviFrameEncoder() = default;
    // The format of the samples made (a BITMAPINFOHEADER and what follows it).
    virtual const std::vector<std::uint8_t>& format() const = 0;
    virtual FOURCC handler() const = 0;
    // Starts a run of frames; the next frame is a key frame.
    virtual HRESULT begin() = 0;
    // Compresses the DIB (header, colour table, pixels) of the next frame; forceKey asks for a key frame.
    virtual HRESULT encode(const BITMAPINFOHEADER* dib, bool forceKey, std::vector<std::uint8_t>& out,
                           bool& key) = 0;
    // Largest sample the encoder makes, for the stream's buffer size (0: not known).
    virtual DWORD maxSampleSize() const { return 0; }
};

// The encoder of the installable compressor options.fccHandler for frames in the DIB format of input, at
// rate / scale frames a second; nullptr with hr set when there is none that takes them.
std::unique_ptr<AviFrameEncoder> aviMakeIcmEncoder(const BITMAPINFOHEADER* input,
                                                   const AVICOMPRESSOPTIONS& options, DWORD rate, DWORD scale,
                                                   HRESULT& hr);

// Bytes of a packed DIB's header with its colour table or masks, and of its pixels.
struct AviDibSizes {
    std::size_t header, image;
};
AviDibSizes aviDibSizes(const BITMAPINFOHEADER& bi);

class AviCompressedStream final : public IAVIStream {
  public:
    // The stream over source compressed as options say; the error when the source cannot be decoded
    // or no compressor takes its frames.
    static HRESULT create(PAVISTREAM* out, PAVISTREAM source, const AVICOMPRESSOPTIONS& options);

    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override;
    HRESULT Info(AVISTREAMINFOA* info, LONG size) override;
    LONG FindSample(LONG pos, LONG flags) override;
    HRESULT ReadFormat(LONG pos, LPVOID format, LONG* size) override;
    HRESULT Read(LONG start, LONG count, LPVOID buffer, LONG bufferSize, LONG* bytes, LONG* samples) override;
    LONG Start() override { return 0; }
    LONG Length() override { return m_length; }

  private:
    AviCompressedStream(PAVISTREAM source, PGETFRAME frames, std::unique_ptr<AviFrameEncoder> encoder,
                        const AVICOMPRESSOPTIONS& options);
    ~AviCompressedStream() override;
    // Makes frame pos (and those before it that the run needs) into m_sample.
    HRESULT produce(LONG pos);
    HRESULT encodeNext();
    bool isKey(LONG pos) const;

    std::atomic<ULONG> m_refs{1};
    PAVISTREAM m_source;
    PGETFRAME m_frames;
    std::unique_ptr<AviFrameEncoder> m_encoder;
    AVISTREAMINFOA m_info{};
    LONG m_length = 0;
    DWORD m_keyEvery = 0;    // force a key frame every this many frames (0: the encoder decides)
    std::vector<bool> m_key; // key frame flags of the frames made so far (index = position)
    LONG m_made = -1;        // the frame in m_sample
    LONG m_sinceKey = 0;     // frames made since the last key frame
    std::vector<std::uint8_t> m_sample;
};

} // namespace win
