// The desktop program end to end: its command line, and a run in the window on an ffmpeg-made file
// writing the same images, byte for byte, as the command-line tool.
#include "app/gui/MainForm.h"
#include "app/gui/SubForm.h"
#include "controls/FoldrDlg.h"
#include "platform/widgets/FolderBrowser.h"
#include "platform/widgets/WidgetTest.h"
#include "support/BmpImage.h"
#include "support/TestWork.h"

namespace fs = std::filesystem;
using testsupport::capture;
using testsupport::quote;

namespace {

TEST(QuillanProgram, CommandLine) {
    int status = -1;
    const std::string help = capture(std::string(QUILLAN_GUI_PATH) + " --help 2>&1", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(help.find("Usage: quillan [--mode frames|odd|even] [--extract] [FILE.avi [FOLDER]]"), std::string::npos) << help;

    const std::string unknown = capture("timeout 20 " + std::string(QUILLAN_GUI_PATH) + " --frobnicate 2>&1", &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(unknown.find("unknown option --frobnicate"), std::string::npos) << unknown;

    // Nothing here opens a window: every line ends before (timeout ends one that would not).
    const std::string three = capture("timeout 20 " + std::string(QUILLAN_GUI_PATH) + " a.avi b c 2>&1", &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(three.find("one file and one folder at most"), std::string::npos) << three;
    const std::string mode = capture("timeout 20 " + std::string(QUILLAN_GUI_PATH) + " --mode fields a.avi 2>&1", &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(mode.find("--mode takes frames, odd or even"), std::string::npos) << mode;
    const std::string extract = capture("timeout 20 " + std::string(QUILLAN_GUI_PATH) + " --extract a.avi 2>&1", &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(extract.find("--extract needs a file and a folder"), std::string::npos) << extract;

    // Without any display the program says so instead of failing inside the window system.
    const std::string none =
        capture("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + std::string(QUILLAN_GUI_PATH) + " 2>&1",
                &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(none.find("no display"), std::string::npos) << none;
}

class QuillanEndToEnd : public widgettest::WidgetTest {
  protected:
    // The whole-frame images hold ffmpeg's own decoding of the file (24-bit BMPs, rows bottom-up).
    static void expectFfmpegsPictures(const fs::path& movie, const fs::path& folder, int frames) {
        const fs::path raw = folder.parent_path() / "ffmpeg.bgr";
        ASSERT_EQ(testsupport::run("ffmpeg -loglevel error -y -i " + quote(movie) +
                                   " -vf vflip -f rawvideo -pix_fmt bgr24 " + quote(raw)),
                  0);
        const std::vector<std::uint8_t> reference = testsupport::readFile(raw);
        const std::size_t frameBytes = reference.size() / std::size_t(frames);
        for (int i = 0; i < frames; ++i) {
            const std::vector<std::uint8_t> bmp = testsupport::readFile(folder / (std::to_string(10000 + i) + ".BMP"));
            ASSERT_GT(bmp.size(), 54u);
            const std::size_t offset = testsupport::le32(&bmp[10]);
            ASSERT_EQ(bmp.size() - offset, frameBytes) << "rows of 96 pixels need no padding";
            int worst = 0;
            for (std::size_t k = 0; k < frameBytes; ++k)
                worst = std::max(worst, std::abs(int(bmp[offset + k]) - int(reference[std::size_t(i) * frameBytes + k])));
            EXPECT_LE(worst, 2) << "frame " << i;
        }
    }
};

TEST_F(QuillanEndToEnd, TheWindowWritesWhatTheCommandLineWrites) {
    if (!testsupport::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const fs::path work = testsupport::workDir("gui-e2e");
    const fs::path movie = work / "movie.avi";
    ASSERT_EQ(testsupport::run("ffmpeg -loglevel error -y -f lavfi -i testsrc=size=96x54:rate=25:duration=0.24 "
                               "-c:v mjpeg -q:v 5 " + quote(movie)),
              0);

    app::SubForm = new app::TSubForm(nullptr);
    app::MainForm = new app::TMainForm(nullptr);
    app::SubForm->LoadFile(movie.string());
    for (const char* mode : {"frames", "odd", "even"}) {
        const fs::path byWindow = work / (std::string("window-") + mode);
        const fs::path byCli = work / (std::string("cli-") + mode);
        fs::remove_all(byWindow);
        fs::create_directories(byWindow);
        host::SetFolderBrowserHandler([&](host::FolderBrowserSession& s) {
            if (s.SelectPath(byWindow.string())) s.Ok();
        });
        app::SubForm->SaveButtonClick(nullptr);
        app::SubForm->RadioGroup->SetItemIndex(std::string(mode) == "frames" ? 0 : std::string(mode) == "odd" ? 1 : 2);
        app::SubForm->ExtractButtonClick(nullptr);
        EXPECT_TRUE(app::SubForm->LastReport().completed) << app::SubForm->LastReport().message;

        fs::remove_all(byCli);
        ASSERT_EQ(testsupport::run(std::string(QUILLAN_EXTRACT_PATH) + " --quiet --mode " + mode + " " + quote(movie) +
                                   " " + quote(byCli)),
                  0);
        int files = 0;
        for (const auto& e : fs::directory_iterator(byCli)) {
            ++files;
            EXPECT_EQ(testsupport::readFile(e.path()), testsupport::readFile(byWindow / e.path().filename()))
                << mode << " " << e.path().filename();
        }
        EXPECT_EQ(files, std::string(mode) == "frames" ? 6 : 12) << mode;
        if (std::string(mode) == "frames") expectFfmpegsPictures(movie, byWindow, 6);
        EXPECT_EQ(std::distance(fs::directory_iterator(byWindow), fs::directory_iterator()), files) << mode;
    }
    host::SetFolderBrowserHandler(nullptr);
    delete app::SubForm;
    delete app::MainForm;
    app::SubForm = nullptr;
    app::MainForm = nullptr;
}

} // namespace
