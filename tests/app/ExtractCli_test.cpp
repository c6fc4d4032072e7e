// The command-line tool as a user meets it: options, the summary, and failures that name the file,
// the frame and the cause with a non-zero exit status while the images written before stay complete.
#include "support/BmpImage.h"
#include "support/TestWork.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const std::string kTool = QUILLAN_EXTRACT_PATH;

// A 12-frame uncompressed clip, made once.
fs::path clip() {
    fs::path file = workDir("cli") / "clip.avi";
    if (!fs::exists(file)) {
        EXPECT_EQ(run("ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=64x48:rate=25 -frames:v 12 "
                      "-c:v rawvideo -pix_fmt bgr24 " + quote(file)),
                  0);
    }
    return file;
}

std::string tool(const std::string& args, int* status) { return capture(quote(kTool) + " " + args + " 2>&1", status); }

} // namespace

TEST(ExtractCli, HelpAndUsageErrors) {
    int status = -1;
    std::string help = tool("--help", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(help.find("--mode"), std::string::npos);
    EXPECT_NE(help.find("odd"), std::string::npos);
    std::string bad = tool("--mode sideways a.avi out", &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(bad.find("sideways"), std::string::npos);
    tool("only-one-argument.avi", &status);
    EXPECT_EQ(status, 2);
}

TEST(ExtractCli, UnreadableInputNamesTheFileAndTheCause) {
    int status = -1;
    fs::path out = workDir("cli") / "out-missing";
    std::string msg = tool("/nonexistent/dir/missing.avi " + quote(out), &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(msg.find("missing.avi"), std::string::npos) << msg;
    EXPECT_NE(msg.find("Error opening file"), std::string::npos) << msg;

    fs::path text = workDir("cli") / "notes.avi";
    { std::ofstream(text) << "this is not a video file at all"; }
    msg = tool(quote(text) + " " + quote(out), &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(msg.find("notes.avi"), std::string::npos) << msg;
}

TEST(ExtractCli, SummaryCountsFramesAndARerunReplacesTheImages) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    fs::path out = workDir("cli") / "out-ok";
    fs::remove_all(out);
    int status = -1;
    std::string msg = tool(quote(clip()) + " " + quote(out) + " --mode odd", &status);
    EXPECT_EQ(status, 0) << msg;
    EXPECT_NE(msg.find("12 frames, 24 images"), std::string::npos) << msg;
    msg = tool("-q " + quote(clip()) + " " + quote(out) + " --mode=odd", &status);
    EXPECT_EQ(status, 0) << msg;
    EXPECT_EQ(msg, "");
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 24);
}

TEST(ExtractCli, AWriteFailureStopsTheRunAndKeepsTheImagesBeforeIt) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    fs::path out = workDir("cli") / "out-fail";
    fs::remove_all(out);
    // A folder in the place of frame 3's image makes that write fail on any file system.
    fs::create_directories(out / "10003.BMP");
    int status = -1;
    std::string msg = tool(quote(clip()) + " " + quote(out), &status);
    EXPECT_EQ(status, 1) << msg;
    EXPECT_NE(msg.find("10003.BMP"), std::string::npos) << msg;
    EXPECT_NE(msg.find("frame 3"), std::string::npos) << msg;
    EXPECT_NE(msg.find("3 images written"), std::string::npos) << msg;
    for (int n = 10000; n < 10003; ++n) {
        BmpImage img = parseBmp(readFile(out / (std::to_string(n) + ".BMP")));
        EXPECT_EQ(img.error, "") << n;
    }
    // Nothing half-written is left behind: only the three images and the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 4);
}
