// Puts a decoded libavcodec frame into the output DIB with libswscale: the frame's colour space and
// range are honoured (BT.601 limited range when untagged, JPEG full range), bottom-up DIBs are written
// through a negative stride, paletted frames keep their palette in 8-bit output.
#pragma once

#include "platform/vfw/FrameFormat.h"

#include <cstdint>
#include <vector>

struct AVFrame;
struct SwsContext;

namespace win::vfw {

class AvFrameConvert {
  public:
    explicit AvFrameConvert(OutputDib& out) : m_out(out) {}
    ~AvFrameConvert();
    AvFrameConvert(const AvFrameConvert&) = delete;
    AvFrameConvert& operator=(const AvFrameConvert&) = delete;

    bool convert(const AVFrame* frame);

  private:
    bool prepare(const AVFrame* frame, int dstFormat);
    void copyPaletted(const AVFrame* frame);

    // What the scaler was made for: source size and format, output format.
    struct ScalerKey {
        int width = 0, height = 0, srcFormat = -1, dstFormat = -1;
        bool operator==(const ScalerKey&) const = default;
    };

    OutputDib& m_out;
    SwsContext* m_sws = nullptr;
    ScalerKey m_key;
    int m_colorspace = -1;
    int m_fullRange = -1;
    bool m_cubeSet = false;
    std::vector<std::uint8_t> m_bgr; // 8-bit output of colour frames: BGR24 before the cube mapping
};

} // namespace win::vfw
