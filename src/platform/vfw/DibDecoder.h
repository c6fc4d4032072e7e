// The built-in decoders: uncompressed DIB frames (1 to 32 bits, BI_BITFIELDS, either row order) and
// the run-length compressions BI_RLE8 and BI_RLE4, whose frames draw over the previous picture.
#pragma once

#include "platform/vfw/FrameDecoder.h"
#include "platform/vfw/PixelConvert.h"
#include "platform/win/DibRle.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace win::vfw {

class DibDecoder final : public FrameDecoder {
  public:
    DibDecoder(const SourceFormat& source, SampleReader& reader, OutputDib& out);
    bool decode(LONG pos) override;
    void outputReplaced() override { m_imageSample = -1; }

    // True when source rows are byte for byte the output rows, so samples are read straight into the
    // output DIB.
    bool readsDirectly() const { return m_direct; }

  private:
    bool decodeRawFrame(LONG pos);
    bool decodeRleFrame(LONG pos);
    bool drawRaw(LONG pos, LONG size);
    void updatePalette(LONG pos);

    const SourceFormat& m_source;
    SampleReader& m_reader;
    OutputDib& m_out;
    RowConverter m_converter;
    bool m_samePixels = false; // rows need no conversion, only (perhaps) the other row order
    bool m_direct = false;     // and the row order is the same too
    std::vector<RGBQUAD> m_palette;
    LONG m_imageSample = -1;             // the sample whose picture the output holds (raw sources)
    std::vector<std::uint8_t> m_indices; // RLE: the current picture as palette indices
    LONG m_rleSample = -1;               // RLE: the last sample drawn into m_indices
    bool m_rleHasPicture = false;
};

} // namespace win::vfw
