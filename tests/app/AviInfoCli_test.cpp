// quillan-avi info as a user meets it: the streams of a file with their formats, rates, lengths and key
// frames, checked against what ffprobe reads from the same file; usage errors and unreadable files.
#include "support/TestWork.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const std::string kTool = QUILLAN_AVI_PATH;

std::string tool(const std::string& args, int* status) { return capture(quote(kTool) + " " + args + " 2>&1", status); }

// 12 MPEG-4 frames with a key frame every 5, and half a second of 16-bit mono PCM at 8000 Hz.
fs::path clip() {
    fs::path file = workDir("avi-info") / "clip.avi";
    if (!fs::exists(file)) {
        EXPECT_EQ(run("ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=64x48:rate=12 -f lavfi "
                      "-i sine=frequency=440:sample_rate=8000 -t 1 -frames:v 12 -c:v mpeg4 -g 5 -c:a pcm_s16le "
                      "-shortest " + quote(file)),
                  0);
    }
    return file;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

} // namespace

TEST(AviInfoCli, HelpAndUsageErrors) {
    int status = -1;
    EXPECT_TRUE(contains(tool("--help", &status), "info FILE"));
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(contains(tool("", &status), "no command"));
    EXPECT_EQ(status, 2);
    EXPECT_TRUE(contains(tool("probe x.avi", &status), "'probe'"));
    EXPECT_EQ(status, 2);
    tool("info", &status);
    EXPECT_EQ(status, 2);
}

TEST(AviInfoCli, StreamsMatchWhatFfprobeReads) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const fs::path file = clip();
    int status = -1;
    const std::string out = tool("info " + quote(file), &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_TRUE(contains(out, "2 streams, 64x48")) << out;
    EXPECT_TRUE(contains(out, "stream 0: video, handler 'FMP4', 64x48, 24 bits, 'FMP4'")) << out;
    EXPECT_TRUE(contains(out, "rate 12/1 (12.000 frames/s), start 0, length 12 (1.000 s)")) << out;
    EXPECT_TRUE(contains(out, "stream 1: audio")) << out;
    EXPECT_TRUE(contains(out, "format 0x0001 (PCM), 1 channels, 8000 Hz, 16 bits, block 2")) << out;

    const std::string keys = capture("ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 " +
                                     quote(file) + " | grep -c K");
    EXPECT_TRUE(contains(out, "key frames " + std::to_string(std::stoi(keys)) + "\n")) << out << "ffprobe: " << keys;
}

TEST(AviInfoCli, AnUnreadableFileIsNamedWithTheCause) {
    const fs::path dir = workDir("avi-info");
    int status = -1;
    std::string out = tool("info " + quote(dir / "missing.avi"), &status);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(contains(out, "missing.avi")) << out;
    EXPECT_TRUE(contains(out, "No such file")) << out;

    const fs::path junk = dir / "junk.avi";
    run("printf 'RIFF\\004\\000\\000\\000AVI ' > " + quote(junk));
    out = tool("info " + quote(junk), &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_TRUE(contains(out, "junk.avi")) << out;
}
