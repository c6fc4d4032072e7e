// End-to-end extraction of AVI files that our test builder writes in forms ffmpeg does not produce:
// RLE8 with delta frames, OpenDML with AVIX segments and no idx1 (also beyond 4 GB), dropped frames.
// ffmpeg decodes the same files independently and every pixel must agree.
#include "app/RunExtraction.h"
#include "support/AviBuilder.h"
#include "support/BmpImage.h"
#include "support/TestWork.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

// An 8-bit picture: a diagonal background with a box that moves by frame.
std::vector<std::uint8_t> indexedFrame(int w, int h, int frame) {
    std::vector<std::uint8_t> px(std::size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool box = x >= 10 + 7 * frame && x < 40 + 7 * frame && y >= 20 && y < 50;
            px[std::size_t(y) * w + x] = box ? std::uint8_t(200 + frame) : std::uint8_t((x / 9 + y / 5) % 64);
        }
    return px;
}

// RLE8 coding of one frame against the previous one: unchanged rows are skipped with end-of-line and
// the unchanged tail with a delta; changed rows are coded as runs and absolute blocks.
std::vector<std::uint8_t> rle8(const std::vector<std::uint8_t>& px, const std::vector<std::uint8_t>* prev, int w, int h) {
    std::vector<std::uint8_t> out;
    int lastChanged = -1; // bottom-up row index
    for (int r = 0; r < h; ++r) {
        const std::uint8_t* row = &px[std::size_t(h - 1 - r) * w];
        if (!prev || !std::equal(row, row + w, &(*prev)[std::size_t(h - 1 - r) * w])) lastChanged = r;
    }
    for (int r = 0; r <= lastChanged; ++r) {
        const std::uint8_t* row = &px[std::size_t(h - 1 - r) * w];
        if (prev && std::equal(row, row + w, &(*prev)[std::size_t(h - 1 - r) * w])) {
            out.insert(out.end(), {0, 0});
            continue;
        }
        int x = 0;
        while (x < w) {
            int run = 1;
            while (x + run < w && run < 255 && row[x + run] == row[x]) ++run;
            if (run >= 3) {
                out.insert(out.end(), {std::uint8_t(run), row[x]});
                x += run;
                continue;
            }
            int lit = 0; // literal block until the next run of three
            while (x + lit < w && lit < 255 &&
                   !(x + lit + 2 < w && row[x + lit] == row[x + lit + 1] && row[x + lit] == row[x + lit + 2]))
                ++lit;
            if (lit < 3) {
                for (int i = 0; i < lit; ++i) out.insert(out.end(), {1, row[x + i]});
            } else {
                out.insert(out.end(), {0, std::uint8_t(lit)});
                out.insert(out.end(), row + x, row + x + lit);
                if (lit & 1) out.push_back(0);
            }
            x += lit;
        }
        out.insert(out.end(), {0, 0});
    }
    if (prev && lastChanged + 1 < h) out.insert(out.end(), {0, 2, 0, std::uint8_t(std::min(255, h - 1 - lastChanged))});
    out.insert(out.end(), {0, 1});
    return out;
}

std::vector<win::RGBQUAD> palette256() {
    std::vector<win::RGBQUAD> pal(256);
    for (int i = 0; i < 256; ++i) pal[i] = {std::uint8_t(i * 3), std::uint8_t(255 - i), std::uint8_t(i * 7), 0};
    return pal;
}

std::vector<std::uint8_t> ffmpegFrames(const fs::path& file) {
    fs::path raw = file.string() + ".bgr24";
    std::string cmd = "ffmpeg -hide_banner -loglevel error -y -i " + quote(file) +
                      " -map 0:v:0 -fps_mode passthrough -f rawvideo -pix_fmt bgr24 " + quote(raw);
    EXPECT_EQ(run(cmd), 0) << cmd;
    return readFile(raw);
}

void expectFramesEqual(const fs::path& out, const std::vector<std::uint8_t>& ref, int w, int h, int frames) {
    const std::size_t frameBytes = std::size_t(w) * h * 3;
    ASSERT_EQ(ref.size(), frameBytes * frames);
    for (int i = 0; i < frames; ++i) {
        BmpImage img = parseBmp(readFile(out / (std::to_string(10000 + i) + ".BMP")));
        ASSERT_EQ(img.error, "") << "frame " << i;
        ASSERT_EQ(img.width, w);
        ASSERT_EQ(img.height, h);
        ASSERT_TRUE(std::equal(img.bgr.begin(), img.bgr.end(), ref.begin() + std::ptrdiff_t(frameBytes * i)))
            << "frame " << i << " differs from ffmpeg's decode";
    }
}

// Frames of ffmpeg's test source as bottom-up 24-bit DIB rows.
std::vector<std::vector<std::uint8_t>> testSourceFrames(int w, int h, int frames) {
    std::string cmd = "ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=" + std::to_string(w) + "x" +
                      std::to_string(h) + ":rate=25 -frames:v " + std::to_string(frames) +
                      " -vf vflip -f rawvideo -pix_fmt bgr24 -";
    std::string raw = capture(cmd);
    std::vector<std::vector<std::uint8_t>> out;
    const std::size_t n = std::size_t(w) * h * 3;
    for (std::size_t at = 0; at + n <= raw.size(); at += n) out.emplace_back(raw.begin() + at, raw.begin() + at + n);
    return out;
}

} // namespace

TEST(ExtractBuiltFiles, Rle8WithDeltaFramesMatchesFfmpeg) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const int w = 120, h = 80, frames = 6;
    avitest::AviBuilder b;
    int v = b.addVideo(w, h, 8, win::BI_RLE8, 25, 1, palette256());
    std::vector<std::uint8_t> prev;
    for (int i = 0; i < frames; ++i) {
        std::vector<std::uint8_t> px = indexedFrame(w, h, i);
        b.addChunk(v, rle8(px, i ? &prev : nullptr, w, h), i == 0);
        prev = px;
    }
    fs::path file = workDir("built") / "rle8.avi";
    ASSERT_TRUE(b.writeFile(file.string(), b.build()));
    fs::path out = workDir("built-out") / "rle8";
    app::ExtractionReport report = extractFile(file, out);
    ASSERT_TRUE(report.completed) << report.message << " " << report.detail;
    EXPECT_EQ(report.filesWritten, frames);
    expectFramesEqual(out, ffmpegFrames(file), w, h, frames);
}

TEST(ExtractBuiltFiles, OpenDmlWithAvixSegmentsAndNoIdx1MatchesFfmpeg) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const int w = 96, h = 64, frames = 10;
    avitest::AviBuilder b;
    b.options.openDml = true;
    b.options.chunksPerRiff = 3;
    b.options.idx1 = avitest::Idx1::None;
    int v = b.addVideo(w, h, 24, win::BI_RGB, 25, 1);
    for (auto& f : testSourceFrames(w, h, frames)) b.addChunk(v, f, true);
    fs::path file = workDir("built") / "opendml.avi";
    ASSERT_TRUE(b.writeFile(file.string(), b.build()));
    fs::path out = workDir("built-out") / "opendml";
    app::ExtractionReport report = extractFile(file, out);
    ASSERT_TRUE(report.completed) << report.message << " " << report.detail;
    EXPECT_EQ(report.filesWritten, frames);
    expectFramesEqual(out, ffmpegFrames(file), w, h, frames);
}

TEST(ExtractBuiltFiles, FramesBeyondFourGigabytesAreRead) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const int w = 64, h = 48, frames = 6;
    avitest::AviBuilder b;
    b.options.openDml = true;
    b.options.chunksPerRiff = 3;
    b.options.gapBeforeAvix = 4500ull << 20; // a sparse hole: frames 3 to 5 lie above 4 GB
    int v = b.addVideo(w, h, 24, win::BI_RGB, 25, 1);
    for (auto& f : testSourceFrames(w, h, frames)) b.addChunk(v, f, true);
    fs::path file = workDir("built") / "beyond4g.avi";
    ASSERT_TRUE(b.writeFile(file.string(), b.build()));
    ASSERT_GT(fs::file_size(file), 4ull << 30);
    fs::path out = workDir("built-out") / "beyond4g";
    app::ExtractionReport report = extractFile(file, out);
    fs::remove(file);
    ASSERT_TRUE(report.completed) << report.message << " " << report.detail;
    EXPECT_EQ(report.filesWritten, frames);
    auto src = testSourceFrames(w, h, frames);
    for (int i = 0; i < frames; ++i) {
        BmpImage img = parseBmp(readFile(out / (std::to_string(10000 + i) + ".BMP")));
        ASSERT_EQ(img.error, "");
        // The BMP stores rows bottom-up like the source DIB: compare the rows directly.
        for (int y = 0; y < h; ++y)
            ASSERT_TRUE(std::equal(img.row(h - 1 - y), img.row(h - 1 - y) + w * 3, src[i].begin() + y * w * 3))
                << "frame " << i << " row " << y;
    }
}

TEST(ExtractBuiltFiles, DroppedFramesRepeatThePreviousImageAndCount) {
    const int w = 32, h = 16;
    avitest::AviBuilder b;
    int v = b.addVideo(w, h, 24, win::BI_RGB, 25, 1);
    const std::size_t n = std::size_t(w) * h * 3;
    b.addFrame(v, n, 0x10);
    b.addFrame(v, 0, 0, false); // dropped
    b.addFrame(v, n, 0x80);
    b.addFrame(v, 0, 0, false); // dropped
    b.addFrame(v, 0, 0, false); // dropped
    fs::path file = workDir("built") / "dropped.avi";
    ASSERT_TRUE(b.writeFile(file.string(), b.build()));
    fs::path out = workDir("built-out") / "dropped";
    app::ExtractionReport report = extractFile(file, out);
    ASSERT_TRUE(report.completed) << report.message << " " << report.detail;
    EXPECT_EQ(report.frameCount, 5);
    EXPECT_EQ(report.filesWritten, 5);
    const std::uint8_t expected[] = {0x10, 0x10, 0x80, 0x80, 0x80};
    for (int i = 0; i < 5; ++i) {
        BmpImage img = parseBmp(readFile(out / (std::to_string(10000 + i) + ".BMP")));
        ASSERT_EQ(img.error, "");
        EXPECT_EQ(img.bgr[0], expected[i]) << "frame " << i;
        EXPECT_EQ(img.bgr.back(), expected[i]) << "frame " << i;
    }
}
