// Extracts AVI files of many codecs made by ffmpeg at test time, and compares every written BMP pixel
// by pixel with ffmpeg's own decode of the same frame, and the number of files with the number of frames.
#include "app/RunExtraction.h"
#include "support/BmpImage.h"
#include "support/TestWork.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

struct CorpusCase {
    const char* name;
    const char* encode; // ffmpeg output options
    int width, height, frames;
    double maxMeanDiff; // 0: every pixel exact
    bool withAudio = false;
};

const CorpusCase kCorpus[] = {
    {"raw_bgr24", "-c:v rawvideo -pix_fmt bgr24", 320, 240, 12, 0},
    {"raw_bgr24_audio", "-c:v rawvideo -pix_fmt bgr24", 320, 240, 12, 0, true},
    {"raw_pal8", "-c:v rawvideo -pix_fmt pal8", 320, 240, 12, 0},
    {"raw_odd_size", "-c:v rawvideo -pix_fmt bgr24", 161, 121, 5, 0},
    {"mjpeg", "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p", 320, 240, 12, 1.5},
    {"mpeg4_bframes", "-c:v mpeg4 -vtag XVID -q:v 4 -bf 2", 320, 240, 12, 1.5, true},
    {"msmpeg4v3", "-c:v msmpeg4 -q:v 4", 320, 240, 12, 1.5},
    {"h264", "-c:v libx264 -preset ultrafast -bf 2 -pix_fmt yuv420p", 320, 240, 12, 1.5},
    {"dv", "-c:v dvvideo -pix_fmt yuv420p -r 25", 720, 576, 4, 1.5},
    {"huffyuv_rgb", "-c:v huffyuv -pix_fmt rgb24", 320, 240, 12, 0},
    {"ffv1_rgb", "-c:v ffv1 -pix_fmt bgr0", 320, 240, 12, 0},
    {"ffv1_yuv", "-c:v ffv1 -pix_fmt yuv420p", 320, 240, 12, 1.5},
    {"cinepak", "-c:v cinepak", 160, 120, 4, 1.5},
    {"msvideo1", "-c:v msvideo1", 160, 120, 6, 0},
    {"yuy2", "-c:v rawvideo -pix_fmt yuyv422", 320, 240, 6, 1.5},
};

fs::path makeCorpusFile(const CorpusCase& c) {
    fs::path file = workDir("corpus") / (std::string(c.name) + ".avi");
    if (fs::exists(file)) return file;
    // The test source makes even sizes only: odd ones are cropped from the next even size.
    std::string cmd = "ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=" +
                      std::to_string((c.width + 1) & ~1) + "x" + std::to_string((c.height + 1) & ~1) + ":rate=25 ";
    if (c.withAudio) cmd += "-f lavfi -i sine=frequency=440:sample_rate=22050 -c:a pcm_s16le -ac 1 ";
    if ((c.width | c.height) & 1) cmd += "-vf format=bgr24,crop=" + std::to_string(c.width) + ":" + std::to_string(c.height) + ":0:0 ";
    cmd += "-frames:v " + std::to_string(c.frames) + " " + c.encode + " " + quote(file.string() + ".tmp.avi") +
           " && mv " + quote(file.string() + ".tmp.avi") + " " + quote(file);
    EXPECT_EQ(run(cmd), 0) << cmd;
    return file;
}

// ffmpeg's decode of every frame as top-down BGR rows, one frame after the other.
std::vector<std::uint8_t> referenceFrames(const fs::path& file) {
    fs::path raw = file.string() + ".bgr24";
    if (!fs::exists(raw)) {
        std::string cmd = "ffmpeg -hide_banner -loglevel error -y -i " + quote(file) +
                          " -map 0:v:0 -fps_mode passthrough -f rawvideo -pix_fmt bgr24 " + quote(raw);
        EXPECT_EQ(run(cmd), 0) << cmd;
    }
    return readFile(raw);
}

struct Diff {
    double mean = 0;
    int max = 0;
};

Diff compareRows(const BmpImage& img, int y, const std::uint8_t* ref, int width) {
    Diff d;
    const std::uint8_t* got = img.row(y);
    long sum = 0;
    for (int i = 0; i < width * 3; ++i) {
        int e = std::abs(int(got[i]) - int(ref[i]));
        sum += e;
        d.max = std::max(d.max, e);
    }
    d.mean = double(sum) / (width * 3);
    return d;
}

BmpImage loadImage(const fs::path& dir, int number) {
    BmpImage img = parseBmp(readFile(dir / (std::to_string(number) + ".BMP")));
    EXPECT_EQ(img.error, "") << dir / (std::to_string(number) + ".BMP");
    return img;
}

class ExtractCorpus : public ::testing::TestWithParam<CorpusCase> {};

} // namespace

TEST_P(ExtractCorpus, EveryFrameMatchesFfmpegsDecode) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const CorpusCase& c = GetParam();
    fs::path file = makeCorpusFile(c);
    std::vector<std::uint8_t> ref = referenceFrames(file);
    const std::size_t frameBytes = std::size_t(c.width) * c.height * 3;
    ASSERT_EQ(ref.size(), frameBytes * c.frames) << "ffmpeg decoded a different number of frames";

    fs::path out = workDir("corpus-out") / c.name;
    app::ExtractionReport report = extractFile(file, out, app::emFrames);
    ASSERT_TRUE(report.completed) << report.message << " " << report.detail << " at frame " << report.failedFrame;
    EXPECT_EQ(report.frameCount, c.frames);
    EXPECT_EQ(report.filesWritten, c.frames);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), c.frames);

    for (int i = 0; i < c.frames; ++i) {
        BmpImage img = loadImage(out, 10000 + i);
        ASSERT_EQ(img.error, "");
        ASSERT_EQ(img.width, c.width);
        ASSERT_EQ(img.height, c.height);
        double meanSum = 0;
        int worstRow = 0;
        for (int y = 0; y < c.height; ++y) {
            Diff d = compareRows(img, y, &ref[frameBytes * i + std::size_t(y) * c.width * 3], c.width);
            meanSum += d.mean;
            if (c.maxMeanDiff == 0 && d.max != 0) {
                ADD_FAILURE() << c.name << " frame " << i << " row " << y << " differs (max " << d.max << ")";
                return;
            }
            worstRow = std::max(worstRow, d.max);
        }
        EXPECT_LE(meanSum / c.height, c.maxMeanDiff) << c.name << " frame " << i << " (worst pixel " << worstRow << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, ExtractCorpus, ::testing::ValuesIn(kCorpus),
                         [](const auto& info) { return std::string(info.param.name); });

// The field modes against the rows of ffmpeg's frames: the odd field repeats rows 0, 2, 4, ... downwards,
// the even field rows 1, 3, 5, ... upwards; an odd height leaves the last row as it is in both.
TEST(ExtractFields, FieldImagesAreLineDoubledRowsOfTheFrameInBothOrders) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const CorpusCase& c = kCorpus[3]; // odd width and height
    fs::path file = makeCorpusFile(c);
    std::vector<std::uint8_t> ref = referenceFrames(file);
    const std::size_t frameBytes = std::size_t(c.width) * c.height * 3;
    for (int mode : {app::emOddFirst, app::emEvenFirst}) {
        fs::path out = workDir("fields") / std::to_string(mode);
        app::ExtractionReport report = extractFile(file, out, mode);
        ASSERT_TRUE(report.completed) << report.message;
        EXPECT_EQ(report.filesWritten, 2 * c.frames);
        for (int i = 0; i < c.frames; ++i) {
            BmpImage odd = loadImage(out, 2 * i + (mode == app::emOddFirst ? 10000 : 10001));
            BmpImage even = loadImage(out, 2 * i + (mode == app::emOddFirst ? 10001 : 10000));
            ASSERT_EQ(odd.bitCount, 24);
            for (int y = 0; y < c.height; ++y) {
                int oddSource = y % 2 ? y - 1 : y;
                int evenSource = y % 2 ? y : (y + 1 < c.height ? y + 1 : y);
                if (y == c.height - 1 && c.height % 2) oddSource = evenSource = y;
                const std::uint8_t* frame = &ref[frameBytes * i];
                ASSERT_EQ(compareRows(odd, y, frame + std::size_t(oddSource) * c.width * 3, c.width).max, 0)
                    << "odd field, frame " << i << " row " << y;
                ASSERT_EQ(compareRows(even, y, frame + std::size_t(evenSource) * c.width * 3, c.width).max, 0)
                    << "even field, frame " << i << " row " << y;
            }
        }
    }
}
