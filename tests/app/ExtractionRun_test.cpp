// The run's rules: file names, field images, the mode and folder read anew, the progress display,
// and how failures and files without video are reported.
#include "app/RunExtraction.h"
#include "platform/gdi/Gdi.h"
#include "platform/ui/Graphics.h"
#include "support/AviBuilder.h"
#include "support/BmpImage.h"
#include "support/TestWork.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

// A 24-bit bitmap of width w whose row y (from the top) is filled with the value 'A' + y.
void lettered(host::TBitmap& b, int w, int h) {
    std::vector<std::uint8_t> dib(40 + std::size_t(((w * 24 + 31) / 32) * 4) * h);
    win::BITMAPINFOHEADER bi{40, w, -h, 1, 24, win::BI_RGB, 0, 0, 0, 0, 0};
    std::memcpy(dib.data(), &bi, 40);
    win::HDC dc = win::GetDC(nullptr);
    win::HBITMAP hb = win::CreateDIBitmap(dc, &bi, win::CBM_INIT, dib.data() + 40,
                                          reinterpret_cast<win::BITMAPINFO*>(dib.data()), win::DIB_RGB_COLORS);
    win::ReleaseDC(nullptr, dc);
    b.SetHandle(hb);
    b.SetPixelFormat(host::TPixelFormat::pf24bit);
    for (int y = 0; y < h; ++y) std::memset(b.ScanLine(y), 'A' + y, std::size_t(w) * 3);
}

std::string rows(const host::TBitmap& b) {
    std::string s;
    for (int y = 0; y < b.GetHeight(); ++y) s += char(b.ScanLine(y)[0]);
    return s;
}

fs::path clipFile(int frames) {
    avitest::AviBuilder b;
    int v = b.addVideo(8, 4, 24, win::BI_RGB, 25, 1);
    for (int i = 0; i < frames; ++i) b.addFrame(v, 8 * 4 * 3, std::uint8_t(i * 10));
    fs::path file = workDir("run") / ("clip" + std::to_string(frames) + ".avi");
    b.writeFile(file.string(), b.build());
    return file;
}

struct RecordingProgress : app::IProgressDisplay {
    std::vector<std::string> calls;
    void SetMaxValue(int v) override { calls.push_back("max " + std::to_string(v)); }
    void SetProgress(int v) override { calls.push_back("progress " + std::to_string(v)); }
    void SetVisible(bool v) override { calls.push_back(v ? "show" : "hide"); }
    void SetBusy(bool v) override { calls.push_back(v ? "busy" : "idle"); }
};

struct ScriptedMode : app::IModeSource {
    std::vector<int> modes;
    std::size_t next = 0;
    int Mode() override { return modes[std::min(next++, modes.size() - 1)]; }
};

struct CountingFolder : app::IOutputFolder {
    std::string dir;
    int asked = 0;
    std::string Directory() override {
        ++asked;
        return dir;
    }
};

app::ExtractionReport runWith(const fs::path& file, app::IModeSource& mode, app::IOutputFolder& folder,
                              app::IProgressDisplay& progress) {
    kv::TKvAVIFile avi(nullptr);
    avi.SetFileName(file.string());
    avi.OpenFile();
    app::DibFrameConversion conversion;
    return app::ExtractionRun(avi, mode, folder, progress, conversion).Execute();
}

std::vector<std::string> names(const fs::path& dir) {
    std::vector<std::string> out;
    for (auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(ExtractionRun, FileNamesArePlainDecimalNumbersInTheFolder) {
    EXPECT_EQ(app::FrameFileName("/out", 10000), "/out/10000.BMP");
    EXPECT_EQ(app::FrameFileName("/out", 90000 + 10000), "/out/100000.BMP");
    EXPECT_EQ(app::FrameFileName("", 10001), "/10001.BMP");
    EXPECT_EQ(app::FrameFileName("/", 10002), "//10002.BMP");
}

TEST(ExtractionRun, FieldImagesRepeatTheKeptLines) {
    struct Case {
        int height;
        const char* odd;
        const char* even;
    } cases[] = {{4, "AACC", "BBDD"}, {5, "AACCE", "BBDDE"}, {1, "A", "A"}, {2, "AA", "BB"}};
    for (const Case& c : cases) {
        host::TBitmap frame, odd, even;
        lettered(frame, 3, c.height);
        odd.Assign(&frame);
        even.Assign(&frame);
        app::BuildOddField(odd);
        app::BuildEvenField(even);
        EXPECT_EQ(rows(odd), c.odd) << c.height;
        EXPECT_EQ(rows(even), c.even) << c.height;
        EXPECT_EQ(rows(frame), std::string("ABCDE").substr(0, std::size_t(c.height))) << "the frame is never changed";
    }
}

TEST(ExtractionRun, ModeIsReadBeforeEveryFrameAndTheFolderForEveryFile) {
    fs::path file = clipFile(4);
    fs::path out = workDir("run") / "modes";
    fs::remove_all(out);
    fs::create_directories(out);
    ScriptedMode mode;
    mode.modes = {app::emFrames, app::emOddFirst, 7, app::emEvenFirst};
    CountingFolder folder;
    folder.dir = out.string();
    NoProgress progress;
    app::ExtractionReport report = runWith(file, mode, folder, progress);
    ASSERT_TRUE(report.completed) << report.message;
    EXPECT_EQ(mode.next, 4u);
    // frame 0 whole: 10000; frame 1 odd first: 10002, 10003; frame 2 mode 7: nothing; frame 3 even first: 10006, 10007.
    EXPECT_EQ(names(out), (std::vector<std::string>{"10000.BMP", "10002.BMP", "10003.BMP", "10006.BMP", "10007.BMP"}));
    EXPECT_EQ(folder.asked, 5);
    EXPECT_EQ(report.filesWritten, 5);
    // Mode 2 numbers the even field first: 10006 is the even field (rows 1 and 3 of frame 3's picture).
    BmpImage even = parseBmp(readFile(out / "10006.BMP"));
    ASSERT_EQ(even.error, "");
    EXPECT_EQ(even.bitCount, 24);
    EXPECT_EQ(even.colorsUsed, 256u);
}

TEST(ExtractionRun, ProgressRunsFromZeroToTheLastFrameThenHides) {
    fs::path out = workDir("run") / "progress";
    fs::remove_all(out);
    fs::create_directories(out);
    app::FixedMode mode(app::emFrames);
    app::FixedFolder folder(out.string());
    RecordingProgress progress;
    app::ExtractionReport report = runWith(clipFile(3), mode, folder, progress);
    ASSERT_TRUE(report.completed);
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"busy", "max 3", "progress 0", "show", "progress 0",
                                                        "progress 1", "progress 2", "hide", "idle"}));
}

TEST(ExtractionRun, AFileWithoutVideoWritesNothingAndSaysSo) {
    avitest::AviBuilder b;
    int a = b.addAudio();
    b.addFrame(a, 64, 0);
    fs::path file = workDir("run") / "audio-only.avi";
    b.writeFile(file.string(), b.build());
    fs::path out = workDir("run") / "audio-out";
    app::ExtractionReport report = extractFile(file, out);
    EXPECT_FALSE(report.completed);
    EXPECT_EQ(report.message, "The file has no video stream");
    EXPECT_TRUE(fs::is_empty(out));
}

TEST(ExtractionRun, AFrameThatCannotBeDecodedStopsTheRunWithItsNumber) {
    avitest::AviBuilder b;
    int v = b.addVideo(16, 16, 24, win::mmioFOURCC('M', 'J', 'P', 'G'), 25, 1);
    b.addFrame(v, 500, 0x42); // not a JPEG image
    b.addFrame(v, 500, 0x42);
    fs::path file = workDir("run") / "garbage-mjpeg.avi";
    b.writeFile(file.string(), b.build());
    fs::path out = workDir("run") / "garbage-out";
    app::ExtractionReport report = extractFile(file, out);
    EXPECT_FALSE(report.completed);
    EXPECT_EQ(report.failedFrame, 0);
    EXPECT_EQ(report.message, "Failed getting frame");
    EXPECT_EQ(report.filesWritten, 0);
    EXPECT_TRUE(fs::is_empty(out));
}
