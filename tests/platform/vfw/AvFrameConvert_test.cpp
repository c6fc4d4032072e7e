// Decoded pictures into the output DIB: the YUV range and matrix of the frame are kept on every frame
// converted, not only on the first.
#include "platform/vfw/AvFrameConvert.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <gtest/gtest.h>

#include <cstring>

using namespace win::vfw;

namespace {

// A full-range 4:2:0 frame of one grey level (JPEG range: Y 16 is a dark grey, not black).
AVFrame* greyFrame(int width, int height, std::uint8_t y) {
    AVFrame* f = av_frame_alloc();
    f->format = AV_PIX_FMT_YUVJ420P;
    f->width = width;
    f->height = height;
    f->color_range = AVCOL_RANGE_JPEG;
    f->colorspace = AVCOL_SPC_BT470BG;
    if (av_frame_get_buffer(f, 0) < 0) return nullptr;
    for (int row = 0; row < height; ++row) std::memset(f->data[0] + row * f->linesize[0], y, std::size_t(width));
    for (int plane = 1; plane < 3; ++plane)
        for (int row = 0; row < (height + 1) / 2; ++row)
            std::memset(f->data[plane] + row * f->linesize[plane], 128, std::size_t((width + 1) / 2));
    return f;
}

TEST(AvFrameConvert, EveryFrameKeepsTheFullRange) {
    for (bool topDown : {false, true}) {
        OutputDib out;
        std::string error;
        OutputFormat format;
        format.topDown = topDown;
        ASSERT_TRUE(out.create(format, 48, 30, 0, error)) << error;
        AvFrameConvert convert(out);
        AVFrame* frame = greyFrame(48, 30, 16);
        ASSERT_NE(frame, nullptr);
        for (int n = 0; n < 6; ++n) {
            ASSERT_TRUE(convert.convert(frame));
            for (int y : {0, 15, 29})
                for (int x : {0, 47}) {
                    const std::uint8_t* p = out.row(y) + x * 3;
                    EXPECT_NEAR(p[0], 16, 1) << "frame " << n << " at " << x << "," << y;
                    EXPECT_NEAR(p[1], 16, 1) << "frame " << n << " at " << x << "," << y;
                    EXPECT_NEAR(p[2], 16, 1) << "frame " << n << " at " << x << "," << y;
                }
        }
        av_frame_free(&frame);
    }
}

} // namespace
