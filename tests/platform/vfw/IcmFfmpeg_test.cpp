// AVI files written with frames of our compressors, read back by ffmpeg: every frame is there and
// decodes to the picture given (exactly for the lossless drivers).
#include "AviWriteUtil.h"
#include "IcmTestUtil.h"

using namespace avitest;
using namespace icmtest;

namespace {

constexpr int kW = 64, kH = 48, kFrames = 10;

struct Written {
    FOURCC handler;
    int bpp;
    double minPsnr; // 0: exact
};

// The source frames as ffmpeg gives them: bgr24, rows from the top.
std::string expectedBgr(const std::vector<Dib>& frames) {
    std::string out;
    for (const Dib& d : frames) {
        const auto* palette = d.format.data() + 40;
        for (int y = kH - 1; y >= 0; --y) {
            const std::uint8_t* row = d.bits.data() + std::size_t(y) * d.stride();
            for (int x = 0; x < kW; ++x) {
                const std::uint8_t* p = d.header()->biBitCount == 8 ? palette + row[x] * 4 : row + x * 3;
                out.append({char(p[0]), char(p[1]), char(p[2])});
            }
        }
    }
    return out;
}

class IcmFfmpeg : public testing::TestWithParam<Written> {};

TEST_P(IcmFfmpeg, FfmpegReadsEveryFrame) {
    const Written p = GetParam();
    HicPtr enc(ICOpen(ICTYPE_VIDEO, p.handler, ICMODE_COMPRESS));
    if (!enc) GTEST_SKIP() << "no encoder for " << vfw::fourccText(p.handler);
    if (!testsupport::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    std::vector<Dib> input;
    for (int t = 0; t < kFrames; ++t)
        input.push_back(movingFrame(kW, kH, p.bpp, t));
    const Compressed c = compressAll(enc.get(), input, {0, 6});

    const auto path = workDir() / ("icm-" + vfw::fourccText(p.handler) + ".avi");
    {
        auto f = createFile(path);
        AVISTREAMINFOA info = videoInfo(10);
        info.fccHandler = p.handler;
        auto s = createStream(f.get(), info);
        ASSERT_EQ(
            AVIStreamSetFormat(s.get(), 0, const_cast<std::uint8_t*>(c.format.data()), LONG(c.format.size())),
            AVIERR_OK);
        for (std::size_t i = 0; i < c.frames.size(); ++i)
            ASSERT_EQ(writeSample(s.get(), c.frames[i], c.flags[i] & AVIIF_KEYFRAME), AVIERR_OK);
    }
    // As many frames as were written (the sizes agree), each decoding to its picture.
    const std::string decoded = ffmpegDecode(path, "0:v", "rawvideo -pix_fmt bgr24");
    const std::string expected = expectedBgr(input);
    ASSERT_EQ(decoded.size(), expected.size());
    if (p.minPsnr == 0) {
        EXPECT_TRUE(decoded == expected);
    } else {
        const std::vector<std::uint8_t> a(decoded.begin(), decoded.end()),
            b(expected.begin(), expected.end());
        EXPECT_GT(psnr(a, b, 24), p.minPsnr);
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, IcmFfmpeg,
                         testing::Values(Written{mmioFOURCC('M', 'R', 'L', 'E'), 8, 0},
                                         Written{mmioFOURCC('H', 'F', 'Y', 'U'), 24, 0},
                                         Written{mmioFOURCC('F', 'F', 'V', '1'), 24, 0},
                                         Written{mmioFOURCC('M', 'J', 'P', 'G'), 24, 27},
                                         Written{mmioFOURCC('F', 'M', 'P', '4'), 24, 27},
                                         Written{mmioFOURCC('H', '2', '6', '4'), 24, 27}));

} // namespace
