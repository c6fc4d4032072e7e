// The compressors' BGR to 4:2:0 converter against libswscale's accurate conversion of the same picture:
// luma within one step, chroma within the difference of the two chroma filters on a smooth picture; and
// the exact values of flat colours in both ranges.
#include "platform/vfw/YuvConvert.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <cstdlib>
#include <vector>

using namespace win::vfw;

namespace {

struct Yuv {
    std::vector<std::uint8_t> y, u, v;
};

Yuv ours(const std::vector<std::uint8_t>& bgr, int w, int h, int bpp, bool full) {
    Yuv out{std::vector<std::uint8_t>(std::size_t(w * h)),
            std::vector<std::uint8_t>(std::size_t((w + 1) / 2 * ((h + 1) / 2))),
            std::vector<std::uint8_t>(std::size_t((w + 1) / 2 * ((h + 1) / 2)))};
    bgrToYuv420({bgr.data(), std::ptrdiff_t(w) * bpp, bpp, w, h},
                {{out.y.data(), out.u.data(), out.v.data()}, {w, (w + 1) / 2, (w + 1) / 2}}, full);
    return out;
}

Yuv reference(const std::vector<std::uint8_t>& bgr, int w, int h, bool full) {
    Yuv out{std::vector<std::uint8_t>(std::size_t(w * h)),
            std::vector<std::uint8_t>(std::size_t(w / 2 * (h / 2))),
            std::vector<std::uint8_t>(std::size_t(w / 2 * (h / 2)))};
    SwsContext* sws =
        sws_getContext(w, h, AV_PIX_FMT_BGR24, w, h, AV_PIX_FMT_YUV420P,
                       SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr, nullptr);
    const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(sws, bt601, 1, bt601, full ? 1 : 0, 0, 1 << 16, 1 << 16);
    const std::uint8_t* src[4] = {bgr.data(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {w * 3, 0, 0, 0};
    std::uint8_t* dst[4] = {out.y.data(), out.u.data(), out.v.data(), nullptr};
    const int dstStride[4] = {w, w / 2, w / 2, 0};
    sws_scale(sws, src, srcStride, 0, h, dst, dstStride);
    sws_freeContext(sws);
    return out;
}

int maxDiff(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    int d = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        d = std::max(d, std::abs(int(a[i]) - int(b[i])));
    return d;
}

} // namespace

TEST(YuvConvert, MatchesTheAccurateScalerOnASmoothPicture) {
    constexpr int w = 64, h = 32;
    std::vector<std::uint8_t> bgr(std::size_t(w * h * 3));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &bgr[std::size_t((y * w + x) * 3)];
            p[0] = std::uint8_t(x * 4), p[1] = std::uint8_t(y * 8), p[2] = std::uint8_t(255 - x * 2 - y * 2);
        }
    for (bool full : {true, false}) {
        Yuv a = ours(bgr, w, h, 3, full), b = reference(bgr, w, h, full);
        EXPECT_LE(maxDiff(a.y, b.y), 1) << full;
        EXPECT_LE(maxDiff(a.u, b.u), 3) << full;
        EXPECT_LE(maxDiff(a.v, b.v), 3) << full;
    }
}

TEST(YuvConvert, FlatColoursInBothRangesAndOddSizes) {
    struct Case {
        std::uint8_t b, g, r;
        bool full;
        std::uint8_t y, u, v;
    };
    const Case cases[] = {
        {0, 0, 0, true, 0, 128, 128},    {255, 255, 255, true, 255, 128, 128},
        {0, 0, 0, false, 16, 128, 128},  {255, 255, 255, false, 235, 128, 128},
        {255, 0, 0, true, 29, 255, 107}, {0, 0, 255, false, 81, 90, 240},
    };
    for (const Case& c : cases)
        for (int bpp : {3, 4}) {
            constexpr int w = 5, h = 3; // odd: the last column and row form blocks of their own
            std::vector<std::uint8_t> bgr(std::size_t(w * h * bpp));
            for (std::size_t i = 0; i < bgr.size(); i += std::size_t(bpp))
                bgr[i] = c.b, bgr[i + 1] = c.g, bgr[i + 2] = c.r;
            Yuv a = ours(bgr, w, h, bpp, c.full);
            for (auto y : a.y)
                EXPECT_EQ(y, c.y);
            for (auto u : a.u)
                EXPECT_EQ(u, c.u);
            for (auto v : a.v)
                EXPECT_EQ(v, c.v);
        }
}
