// The tool's window without a display: its forms as designed, the button states through loads and
// folder choices, runs with the gauge and the cursor, mode changes, failures and what the user is told.
#include "app/gui/MainForm.h"
#include "app/gui/SubForm.h"
#include "avi/KvAVI.h"
#include "controls/FoldrDlg.h"
#include "controls/KvGauge.h"
#include "controls/KvPanel.h"
#include "dialogs/KvAVIDlg.h"
#include "platform/widgets/FileDialog.h"
#include "platform/widgets/FolderBrowser.h"
#include "platform/widgets/WidgetTest.h"
#include "support/AviBuilder.h"
#include "support/BmpImage.h"
#include "support/TestWork.h"

#include <QtGui/QFontInfo>

#include <cstring>
#include <fstream>

namespace fs = std::filesystem;
using app::MainForm;
using app::SubForm;

namespace {

struct GaugeState {
    int progress, max;
    bool visible;
    bool hourglass;
    bool operator==(const GaugeState&) const = default;
};

std::ostream& operator<<(std::ostream& out, const GaugeState& s) {
    return out << s.progress << "/" << s.max << (s.visible ? " shown" : " hidden") << (s.hourglass ? " busy" : "");
}

class QuillanWindow : public widgettest::WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        work = testsupport::workDir("gui");
        stills = work / "stills";
        fs::remove_all(stills);
        fs::create_directories(stills);
        SubForm = new app::TSubForm(nullptr);
        MainForm = new app::TMainForm(nullptr);
        SubForm->Show();
        host::widgets::SetFileDialogHandler([this](win::OPENFILENAMEA& ofn, bool) {
            ++fileDialogs;
            if (nextFile.empty() || nextFile.size() + 1 > ofn.nMaxFile) return win::FALSE;
            std::memcpy(ofn.lpstrFile, nextFile.c_str(), nextFile.size() + 1);
            return win::TRUE;
        });
        host::SetFolderBrowserHandler([this](host::FolderBrowserSession& session) {
            ++folderDialogs;
            if (!nextFolder.empty() && session.SelectPath(nextFolder))
                session.Ok();
            else
                session.Cancel();
        });
        SubForm->Progress().OnChange = [this](app::GaugeProgress::Change change) {
            const kv::TKvGauge* g = SubForm->Gauge;
            const GaugeState state{g->GetProgress(), g->GetMaxValue(), g->GetVisible(),
                                   host::Screen->GetCursor() == host::crHourGlass};
            if (change == app::GaugeProgress::chProgress) progressCalls.push_back(state);
        };
    }
    void TearDown() override {
        delete SubForm;
        delete MainForm;
        SubForm = nullptr;
        MainForm = nullptr;
        host::widgets::SetFileDialogHandler({});
        host::SetFolderBrowserHandler(nullptr);
        host::Screen->SetCursor(host::crDefault);
        WidgetTest::TearDown();
    }

    // A clip of uncompressed 24-bit frames, each filled with its own grey.
    fs::path clip(const std::string& name, int frames, int width = 8, int height = 4) {
        avitest::AviBuilder b;
        const int v = b.addVideo(width, height, 24, win::BI_RGB, 25, 1);
        for (int i = 0; i < frames; ++i)
            b.addFrame(v, std::size_t(((width * 3 + 3) & ~3) * height), std::uint8_t(40 + i * 30));
        const fs::path file = work / name;
        b.writeFile(file.string(), b.build());
        return file;
    }
    fs::path audioOnly() {
        avitest::AviBuilder b;
        const int a = b.addAudio();
        b.addChunk(a, std::vector<std::uint8_t>(400, 0));
        const fs::path file = work / "sound.avi";
        b.writeFile(file.string(), b.build());
        return file;
    }

    // Clicks a button of the window with the mouse, as a user does: exceptions of its handler go to
    // the application's display.
    static void click(host::TButton* button) {
        widgettest::clickAt(button->Widget(), QPoint(10, 10));
    }
    void load(const fs::path& file) {
        nextFile = file.string();
        click(SubForm->LoadButton);
    }
    void chooseFolder(const fs::path& folder) {
        nextFolder = folder.string();
        click(SubForm->SaveButton);
    }
    std::vector<bool> buttons() const {
        return {SubForm->LoadButton->GetEnabled(), SubForm->SaveButton->GetEnabled(),
                SubForm->ExtractButton->GetEnabled(), SubForm->QuitButton->GetEnabled()};
    }
    std::vector<std::string> written() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(stills)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path work, stills;
    std::string nextFile, nextFolder;
    int fileDialogs = 0, folderDialogs = 0;
    std::vector<GaugeState> progressCalls;
};

const std::vector<bool> kStarted{true, false, false, true};
const std::vector<bool> kFileLoaded{true, true, false, true};
const std::vector<bool> kReady{true, true, true, true};

TEST_F(QuillanWindow, FormsAreBuiltAsDesigned) {
    EXPECT_EQ(SubForm->GetCaption(), "QUILLAN");
    EXPECT_EQ(SubForm->GetWidth(), 416);
    EXPECT_EQ(SubForm->GetHeight(), 204);
    EXPECT_EQ(SubForm->GetPosition(), host::poScreenCenter);
    EXPECT_EQ(SubForm->GetLeft(), (host::Screen->GetWidth() - 416) / 2);
    EXPECT_EQ(SubForm->GetFont()->GetName(), "ＭＳ Ｐゴシック");
    EXPECT_EQ(SubForm->GetFont()->GetHeight(), -12);
    EXPECT_EQ(SubForm->GetFont()->GetCharset(), win::SHIFTJIS_CHARSET);
    EXPECT_EQ(SubForm->LoadButton->GetFont()->GetName(), "ＭＳ Ｐゴシック");
    // The Japanese font installed with the tool stands in for it, at 12 pixels, on the window's controls.
    const QFontInfo shown(SubForm->LoadButton->Widget()->font());
    EXPECT_EQ(shown.family().toStdString(), "IPAPGothic");
    EXPECT_EQ(shown.pixelSize(), 12);

    EXPECT_EQ(SubForm->LoadButton->GetCaption(), "AVIファイルの読み込み...");
    EXPECT_EQ(SubForm->SaveButton->GetCaption(), "静止画の保存場所を選ぶ...");
    EXPECT_EQ(SubForm->ExtractButton->GetCaption(), "静止画に展開する");
    EXPECT_EQ(SubForm->QuitButton->GetCaption(), "プログラムを終了する");
    EXPECT_EQ(SubForm->RadioGroup->GetCaption(), "動作");
    ASSERT_EQ(SubForm->RadioGroup->GetItems()->Count(), 3);
    EXPECT_EQ(SubForm->RadioGroup->GetItems()->Get(1), "奇数フィールドが先頭として分解");
    EXPECT_EQ(SubForm->RadioGroup->GetItemIndex(), 0);
    EXPECT_EQ(SubForm->QuitButton->GetTabOrder(), 4);
    EXPECT_EQ(SubForm->RadioGroup->GetTabOrder(), 3);
    EXPECT_EQ(buttons(), kStarted);
    EXPECT_EQ(SubForm->SaveFolderDialog->GPVCaption(), "Browse for Folder");
    EXPECT_EQ(SubForm->SaveFolderDialog->GetText(), "静止画像の保存場所を選択してください");

    // The gauge fills the bottom of the client area, whatever the frame takes.
    const kv::TKvGauge* gauge = SubForm->Gauge;
    EXPECT_EQ(gauge->GetAlign(), host::alBottom);
    EXPECT_EQ(gauge->GetLeft(), 0);
    EXPECT_EQ(gauge->GetWidth(), SubForm->GetClientWidth());
    EXPECT_EQ(gauge->GetTop() + gauge->GetHeight(), SubForm->GetClientHeight());
    EXPECT_EQ(gauge->GetHeight(), 18);
    EXPECT_EQ(gauge->GetBevel()->GetBevelOuter(), host::bvLowered);
    EXPECT_EQ(gauge->GetBevel()->GetBevelInner(), host::bvNone);
    EXPECT_EQ(gauge->GetBevel()->GetBorderStyle(), host::bsNone);
    EXPECT_EQ(gauge->GetBevel()->GetBorderSpaceColor(), host::clBlack);

    EXPECT_FALSE(MainForm->GetVisible());
    EXPECT_EQ(MainForm->GetCaption(), "MainForm");
    EXPECT_EQ(MainForm->GetWidth(), 209);
    EXPECT_EQ(MainForm->OpenDialog->GetTitle(), "Open AVI File");
    EXPECT_EQ(MainForm->OpenDialog->GetFilter(), app::kOpenDialogFilter);
    EXPECT_EQ(MainForm->OpenDialog->GetDefaultExt(), "avi");
    EXPECT_FALSE(MainForm->btnExtract->GetEnabled());
    EXPECT_FALSE(MainForm->Gauge->GetVisible());
    EXPECT_EQ(MainForm->Gauge->GetCaption(), "Extracted:");
}

TEST_F(QuillanWindow, ButtonsFollowTheStateTable) {
    // A cancelled open dialog changes nothing and says nothing.
    load("");
    EXPECT_EQ(fileDialogs, 1);
    EXPECT_EQ(buttons(), kStarted);
    // A file without video loads quietly but does not enable the folder button.
    load(audioOnly());
    EXPECT_EQ(buttons(), kStarted);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(MainForm->AVIFile->Opened());

    load(clip("four.avi", 4));
    EXPECT_EQ(buttons(), kFileLoaded);
    chooseFolder(stills);
    EXPECT_EQ(buttons(), kReady);
    EXPECT_EQ(SubForm->SaveFolderDialog->GPVDirectory(), stills.string());

    // A cancelled choice afterwards keeps the extract button, with no folder behind it.
    chooseFolder("");
    EXPECT_EQ(buttons(), kReady);
    EXPECT_EQ(SubForm->SaveFolderDialog->GPVDirectory(), "");

    // Nothing disables the buttons again: neither a file without video nor one that cannot be read,
    // which shows the AVI error through the application's display and leaves the file closed.
    load(audioOnly());
    EXPECT_EQ(buttons(), kReady);
    std::ofstream(work / "broken.avi") << "this is not a movie";
    load(work / "broken.avi");
    EXPECT_EQ(buttons(), kReady);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, host::Application->GetTitle());
    EXPECT_FALSE(boxes[0].text.empty());
    EXPECT_FALSE(MainForm->AVIFile->Opened());
}

TEST_F(QuillanWindow, ARunFollowsTheGaugeWithTheHourglassThenHidesIt) {
    load(clip("four.avi", 4));
    chooseFolder(stills);
    click(SubForm->ExtractButton);

    EXPECT_EQ(written(), (std::vector<std::string>{"10000.BMP", "10001.BMP", "10002.BMP", "10003.BMP"}));
    // Progress 0 is set before the gauge is shown, then once more after frame 0.
    ASSERT_EQ(progressCalls.size(), 5u);
    EXPECT_EQ(progressCalls[0].progress, 0);
    EXPECT_EQ(progressCalls[0].max, 4);
    EXPECT_TRUE(progressCalls[0].hourglass);
    const std::vector<GaugeState> afterFrames(progressCalls.begin() + 1, progressCalls.end());
    EXPECT_EQ(afterFrames, (std::vector<GaugeState>{{0, 4, true, true}, {1, 4, true, true}, {2, 4, true, true},
                                                    {3, 4, true, true}}));

    EXPECT_FALSE(SubForm->Gauge->GetVisible());
    EXPECT_EQ(host::Screen->GetCursor(), host::crDefault);
    EXPECT_TRUE(SubForm->LastReport().completed);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(QuillanWindow, TheModeOfEachRunNamesItsFiles) {
    load(clip("two.avi", 2));
    chooseFolder(stills);
    const std::vector<std::vector<std::string>> expected{
        {"10000.BMP", "10001.BMP"},
        {"10000.BMP", "10001.BMP", "10002.BMP", "10003.BMP"},
        {"10000.BMP", "10001.BMP", "10002.BMP", "10003.BMP"},
    };
    std::vector<std::vector<std::uint8_t>> firstImage;
    for (int mode = 0; mode < 3; ++mode) {
        fs::remove_all(stills);
        fs::create_directories(stills);
        SubForm->RadioGroup->SetItemIndex(mode);
        click(SubForm->ExtractButton);
        EXPECT_EQ(written(), expected[std::size_t(mode)]) << mode;
        firstImage.push_back(testsupport::readFile(stills / "10000.BMP"));
    }
    // 10000 is the odd field in mode 1 and the even field in mode 2; here both fields of a frame are
    // the same grey, so the field images match each other but not the whole frame's depth.
    EXPECT_EQ(firstImage[1], firstImage[2]);
    EXPECT_EQ(firstImage[1][28], 24); // bit count
}

TEST_F(QuillanWindow, ChangingTheModeBetweenRunsChangesOnlyTheSecond) {
    // Rows of different greys, so that the two fields differ.
    avitest::AviBuilder b;
    const int v = b.addVideo(4, 4, 24, win::BI_RGB, 25, 1);
    std::vector<std::uint8_t> frame;
    for (int row = 0; row < 4; ++row) frame.insert(frame.end(), 12, std::uint8_t(20 + 50 * row));
    b.addChunk(v, frame);
    b.writeFile((work / "rows.avi").string(), b.build());
    load(work / "rows.avi");
    chooseFolder(stills);

    SubForm->RadioGroup->SetItemIndex(1);
    click(SubForm->ExtractButton);
    const auto oddFirst = testsupport::readFile(stills / "10000.BMP");
    const auto evenSecond = testsupport::readFile(stills / "10001.BMP");
    EXPECT_NE(oddFirst, evenSecond);

    SubForm->RadioGroup->SetItemIndex(2);
    click(SubForm->ExtractButton);
    EXPECT_EQ(testsupport::readFile(stills / "10000.BMP"), evenSecond);
    EXPECT_EQ(testsupport::readFile(stills / "10001.BMP"), oddFirst);
}

TEST_F(QuillanWindow, AWriteFailureKeepsTheImagesAndIsShown) {
    load(clip("six.avi", 6));
    chooseFolder(stills);
    fs::create_directory(stills / "10002.BMP"); // no file can be written under this name
    click(SubForm->ExtractButton);

    const app::ExtractionReport& report = SubForm->LastReport();
    EXPECT_FALSE(report.completed);
    EXPECT_EQ(report.failedFrame, 2);
    ASSERT_EQ(boxes.size(), 1u);
    const std::string& text = boxes[0].text;
    EXPECT_NE(text.find("10002.BMP"), std::string::npos) << text;
    EXPECT_NE(text.find("フレーム: 2"), std::string::npos) << text;
    EXPECT_NE(text.find("書き出した静止画: " + std::to_string(report.filesWritten) + " 枚"), std::string::npos)
        << text;
    EXPECT_EQ(boxes[0].flags & win::MB_ICONSTOP, win::MB_ICONSTOP);
    // The images before the failure are there and whole: as long as their headers say.
    EXPECT_GE(report.filesWritten, 2);
    for (const char* name : {"10000.BMP", "10001.BMP"}) {
        const std::vector<std::uint8_t> bytes = testsupport::readFile(stills / name);
        ASSERT_GE(bytes.size(), 54u) << name;
        EXPECT_EQ(testsupport::le32(&bytes[2]), bytes.size()) << name;
    }
    EXPECT_FALSE(SubForm->Gauge->GetVisible());
    EXPECT_EQ(host::Screen->GetCursor(), host::crDefault);
}

TEST_F(QuillanWindow, NoVideoOrNoFolderWritesNothingWithoutBeingAsked) {
    load(clip("two.avi", 2));
    chooseFolder(stills);
    chooseFolder(""); // cancelled: the folder is empty now

    // With no folder the run asks for one; cancelling it writes nothing, anywhere.
    nextFolder.clear();
    const int asked = folderDialogs;
    click(SubForm->ExtractButton);
    EXPECT_EQ(folderDialogs, asked + 1);
    EXPECT_TRUE(written().empty());
    EXPECT_FALSE(fs::exists("/10000.BMP"));
    EXPECT_TRUE(boxes.empty());
    // Choosing it there runs into it.
    nextFolder = stills.string();
    click(SubForm->ExtractButton);
    EXPECT_EQ(written(), (std::vector<std::string>{"10000.BMP", "10001.BMP"}));

    // A file without video after one with video: the buttons stay, the run says there is no video.
    fs::remove_all(stills);
    fs::create_directories(stills);
    load(audioOnly());
    click(SubForm->ExtractButton);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, app::texts::kNoVideo);
    EXPECT_TRUE(written().empty());
}

TEST_F(QuillanWindow, AFileAndFolderGivenAtStartAreUsedAsIfChosen) {
    SubForm->LoadFile(clip("given.avi", 3).string());
    SubForm->UseFolder(stills.string());
    EXPECT_EQ(buttons(), kReady);
    click(SubForm->ExtractButton);
    EXPECT_EQ(written(), (std::vector<std::string>{"10000.BMP", "10001.BMP", "10002.BMP"}));
    EXPECT_EQ(fileDialogs + folderDialogs, 0);
}

TEST_F(QuillanWindow, QuitClosesTheWindow) {
    ASSERT_TRUE(SubForm->GetVisible());
    click(SubForm->QuitButton);
    EXPECT_FALSE(SubForm->GetVisible());
}

TEST(QuillanFailureMessage, NamesFrameFileCauseAndCount) {
    app::ExtractionReport r;
    r.failedFrame = 7;
    r.frameCount = 20;
    r.failedFile = "/out/10007.BMP";
    r.message = "No space left on device";
    r.filesWritten = 7;
    EXPECT_EQ(app::FailureMessage(r), "静止画の展開を中断しました。\n\nフレーム: 7 / 20\nファイル: /out/10007.BMP\n"
                                      "原因: No space left on device\n書き出した静止画: 7 枚");
    // A failure before the first frame has neither frame nor file.
    app::ExtractionReport early;
    early.message = "Can't create image decompressor";
    early.detail = "no codec";
    EXPECT_EQ(app::FailureMessage(early),
              "静止画の展開を中断しました。\n\n原因: Can't create image decompressor (no codec)\n書き出した静止画: 0 枚");
}

} // namespace
