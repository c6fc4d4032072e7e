// quillan-avi save as a user meets it: files written with each kind of video compressor checked with
// what ffprobe and ffmpeg read from them (frame counts, codecs, key frames, pixels of lossless codecs,
// the audio beside the video), usage errors, unreadable and unwritable files, progress lines.
#include "support/TestWork.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const std::string kTool = QUILLAN_AVI_PATH;

std::string tool(const std::string& args, int* status) {
    return capture(quote(kTool) + " " + args + " 2>&1", status);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

fs::path dir() {
    return workDir("avi-save");
}

// 12 frames of 64x48 full 24-bit frames at 12 frames a second with one second of 16-bit mono PCM.
fs::path input() {
    const fs::path file = dir() / "input.avi";
    if (!fs::exists(file)) {
        EXPECT_EQ(
            run("ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=64x48:rate=12 -f lavfi "
                "-i sine=frequency=440:sample_rate=8000 -t 1 -frames:v 12 -c:v rawvideo -pix_fmt bgr24 "
                "-c:a pcm_s16le -shortest " +
                quote(file)),
            0);
    }
    return file;
}

std::string probe(const fs::path& file, const std::string& stream, const std::string& entries) {
    std::string out = capture("ffprobe -v error -count_frames -select_streams " + stream + " -show_entries " +
                              entries + " -of csv=p=0 " + quote(file));
    while (!out.empty() && (out.back() == '\n' || out.back() == ','))
        out.pop_back();
    return out;
}

int keyFrames(const fs::path& file) {
    return std::stoi(capture("ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 " +
                             quote(file) + " | grep -c K"));
}

// The video as ffmpeg decodes it, in 24-bit BGR.
std::string pixels(const fs::path& file) {
    return capture("ffmpeg -v error -i " + quote(file) +
                   " -map 0:v -f rawvideo -pix_fmt bgr24 - 2>/dev/null");
}

// The audio as ffmpeg decodes it, in 16-bit samples.
std::string samples(const fs::path& file) {
    return capture("ffmpeg -v error -i " + quote(file) + " -map 0:a -f s16le - 2>/dev/null");
}

bool installed(const std::string& codec) {
    return contains(capture(quote(kTool) + " save --video list"), "  " + codec + " ");
}

} // namespace

TEST(AviSaveCli, HelpListAndUsageErrors) {
    int status = -1;
    EXPECT_TRUE(contains(tool("--help", &status), "save IN.avi OUT.avi --video CODEC"));
    EXPECT_EQ(status, 0);
    const std::string list = tool("save --video list", &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(contains(list, "  copy ")) << list;
    EXPECT_TRUE(contains(list, "  none ")) << list;

    struct Case {
        const char* args;
        const char* says;
    } cases[] = {
        {"save in.avi out.avi", "needs --video"},
        {"save in.avi --video none", "an input and an output"},
        {"save a b c --video none", "an input and an output"},
        {"save in.avi out.avi --video nosuch", "installed: copy, none"},
        {"save in.avi out.avi --video none --quality 101", "0 to 100"},
        {"save in.avi out.avi --video none --keyframes -3", "takes a number of frames, not '-3'"},
        {"save in.avi out.avi --video", "--video needs a value"},
        {"save in.avi out.avi --video none --fast", "unknown option '--fast'"},
    };
    for (const Case& c : cases) {
        const std::string out = tool(c.args, &status);
        EXPECT_EQ(status, 2) << c.args;
        EXPECT_TRUE(contains(out, c.says)) << c.args << ": " << out;
    }
}

// Uncompressed and lossless outputs keep every pixel; the audio comes along with all its samples.
TEST(AviSaveCli, LosslessOutputsKeepEveryPixel) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const fs::path in = input();
    const std::string want = pixels(in), wantSamples = samples(in);
    ASSERT_EQ(want.size(), 12u * 64 * 48 * 3);
    ASSERT_GT(wantSamples.size(), 8000u); // most of a second of 16-bit mono
    struct Case {
        const char* video;
        const char* codec; // as ffprobe names it
    } cases[] = {{"copy", "rawvideo"}, {"none", "rawvideo"}, {"ffv1", "ffv1"}, {"huffyuv", "huffyuv"}};
    for (const Case& c : cases) {
        if (!installed(c.video)) {
            ADD_FAILURE() << c.video << " is not installed";
            continue;
        }
        const fs::path out = dir() / (std::string("lossless-") + c.video + ".avi");
        int status = -1;
        const std::string said =
            tool("save " + quote(in) + " " + quote(out) + " --quiet --video " + c.video, &status);
        ASSERT_EQ(status, 0) << c.video << ": " << said;
        EXPECT_EQ(probe(out, "v:0", "stream=codec_name,nb_read_frames"), std::string(c.codec) + ",12")
            << c.video;
        EXPECT_EQ(probe(out, "a:0", "stream=codec_name"), "pcm_s16le") << c.video;
        EXPECT_TRUE(samples(out) == wantSamples) << c.video << ": the audio differs";
        EXPECT_TRUE(pixels(out) == want) << c.video << ": the pixels differ";
    }
}

TEST(AviSaveCli, CompressedOutputsHaveTheirCodecAndKeyFrames) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const fs::path in = input();
    struct Case {
        const char* video;
        const char* options;
        const char* codec;
        int keys;
    } cases[] = {
        {"mjpeg", "--quality 80", "mjpeg", 12}, // every frame stands alone
        {"mpeg4", "--keyframes 5", "mpeg4", 3}, // frames 0, 5 and 10
        {"mpeg4", "--keyframes 0", "mpeg4", 1}, // only the first
        {"rle8", "", "msrle", -1},              // takes 8-bit frames only: refused for 24-bit input
    };
    for (const Case& c : cases) {
        if (!installed(c.video)) {
            ADD_FAILURE() << c.video << " is not installed";
            continue;
        }
        const fs::path out = dir() / (std::string("coded-") + c.video + ".avi");
        fs::remove(out);
        int status = -1;
        const std::string said =
            tool("save " + quote(in) + " " + quote(out) + " --quiet --video " + c.video + " " + c.options,
                 &status);
        if (c.keys < 0) {
            EXPECT_EQ(status, 1) << said;
            EXPECT_TRUE(contains(said, out.string())) << said;
            EXPECT_FALSE(fs::exists(out));
            continue;
        }
        ASSERT_EQ(status, 0) << c.video << ": " << said;
        EXPECT_EQ(probe(out, "v:0", "stream=codec_name,nb_read_frames"), std::string(c.codec) + ",12")
            << c.video;
        EXPECT_EQ(keyFrames(out), c.keys) << c.video << " " << c.options;
    }
}

TEST(AviSaveCli, FilesThatCannotBeReadOrWrittenAreNamedWithTheCause) {
    int status = -1;
    std::string out = tool(
        "save " + quote(dir() / "missing.avi") + " " + quote(dir() / "x.avi") + " --video none", &status);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(contains(out, "missing.avi: ")) << out;
    EXPECT_TRUE(contains(out, "No such file")) << out;
    if (!haveFfmpeg()) return;
    const fs::path in = input();
    out = tool("save " + quote(in) + " " + quote(dir() / "no-folder" / "x.avi") + " --video none", &status);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(contains(out, "no-folder/x.avi: AVI error")) << out;
    out = tool("save " + quote(in) + " " + quote(in) + " --video none", &status);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(contains(out, "must not be the input")) << out;
}

// Without a terminal the progress comes as plain lines, the last one at 100 percent.
TEST(AviSaveCli, ProgressLinesWithoutATerminal) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    int status = -1;
    const std::string out =
        tool("save " + quote(input()) + " " + quote(dir() / "progress.avi") + " --video none", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_TRUE(contains(out, "0%\n")) << out;
    EXPECT_EQ(out.substr(out.size() - 5), "100%\n") << out;
    EXPECT_FALSE(contains(out, "\r"));
}
