// The common file dialogs: filter lists and selection buffers, the record checks, and the real dialog driven
// off-screen (multi-selection, a buffer too small, cancel, the hook's notifications and a rejected name,
// the overwrite prompt, template controls sending WM_COMMAND).

#include "WidgetTest.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/WindowMessages.h"
#include "platform/widgets/FileDialog.h"
#include "support/TestWork.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QPushButton>

#include <cstring>
#include <fstream>

using namespace win;
using host::widgets::FileDialog;

namespace {

struct FilterRow {
    std::string list; // NULs included
    std::vector<std::pair<std::string, std::vector<std::string>>> pairs;
};

TEST(FileDialogParts, FilterListsBecomePairs) {
    const std::vector<FilterRow> rows = {
        {std::string("Wave-Files(*.wav)\0*.wav\0\0", 26), {{"Wave-Files(*.wav)", {"*.wav"}}}},
        {std::string("A\0*.a; *.b\0B\0*.c\0\0", 19), {{"A", {"*.a", "*.b"}}, {"B", {"*.c"}}}},
        {std::string("A\0*.a\0Lone\0\0", 13), {{"A", {"*.a"}}}}, // a description without its pattern ends it
        {std::string("\0\0", 2), {}},
    };
    for (const FilterRow& row : rows) {
        const auto pairs = host::widgets::ParseFilterList(row.list.data());
        ASSERT_EQ(pairs.size(), row.pairs.size()) << row.list;
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            EXPECT_EQ(pairs[i].description, row.pairs[i].first);
            EXPECT_EQ(pairs[i].patterns, row.pairs[i].second);
        }
    }
    // A list without its double NUL is read no further than the limit.
    const char unterminated[6] = {'A', '\0', '*', '.', 'a', 'x'};
    EXPECT_TRUE(host::widgets::ParseFilterList(unterminated, sizeof unterminated).empty());
    EXPECT_EQ(host::widgets::CaseFreePattern("*.avi"), "*.[aA][vV][iI]");
}

TEST(FileDialogParts, SelectionBufferForms) {
    unsigned offset = 0;
    EXPECT_EQ(host::widgets::SelectionBuffer("/d", {"/d/a.wav"}, &offset), std::string("/d/a.wav\0\0", 10));
    EXPECT_EQ(offset, 3u);
    EXPECT_EQ(host::widgets::SelectionBuffer("/d/", {"/d/a", "/d/b", "/e/c"}, &offset),
              std::string("/d\0a\0b\0/e/c\0\0", 13));
    EXPECT_EQ(offset, 3u);
    EXPECT_EQ(host::widgets::SelectionPathText("/d", {"/d/a", "/d/b"}), "/d/\"a\" \"b\"");
    EXPECT_EQ(host::widgets::SelectionPathText("/", {"/a", "/b"}), "/\"a\" \"b\"");
}

// What a hook saw, for every dialog of a test.
struct HookLog {
    std::vector<UINT> messages;     // WM_NOTIFY recorded as its code
    std::vector<std::string> paths; // CDM_GETFILEPATH at each CDN_SELCHANGE
    std::vector<WPARAM> commands;
    HWND commandWindow = nullptr;
    int rejectFileOk = 0; // CDN_FILEOK answers rejected this many times
    bool initialisedWithRecord = false;
};
HookLog* g_log = nullptr;

UINT_PTR testHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!g_log) return 0;
    switch (message) {
    case WM_INITDIALOG:
        g_log->messages.push_back(message);
        g_log->initialisedWithRecord = reinterpret_cast<OPENFILENAMEA*>(lParam)->lCustData == 42;
        return 1;
    case WM_DESTROY:
        g_log->messages.push_back(message);
        return 0;
    case WM_COMMAND:
        g_log->commands.push_back(wParam);
        g_log->commandWindow = reinterpret_cast<HWND>(lParam);
        return 0;
    case WM_NOTIFY: {
        const auto* n = reinterpret_cast<const OFNOTIFYA*>(lParam);
        g_log->messages.push_back(n->hdr.code);
        if (n->hdr.code == CDN_SELCHANGE) {
            char path[512];
            const LRESULT count =
                SendMessageA(GetParent(window), CDM_GETFILEPATH, sizeof path, reinterpret_cast<LPARAM>(path));
            g_log->paths.push_back(count > 0 ? std::string(path) : std::string("<none>"));
        }
        if (n->hdr.code == CDN_FILEOK && g_log->rejectFileOk > 0) {
            --g_log->rejectFileOk;
            return 1;
        }
        return 0;
    }
    default:
        return 0;
    }
}

class FileDialogTest : public widgettest::WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        folder = testsupport::workDir("file-dialog");
        for (const char* name : {"a.txt", "b.txt", "c.wav"})
            std::ofstream(folder / name) << name;
        std::filesystem::remove(folder / "new.wav");
        g_log = &log;
        std::memset(file, 0, sizeof file);
        ofn = {};
        ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
        ofn.lpstrFilter = filter;
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = file;
        ofn.nMaxFile = sizeof file;
        ofn.lpstrInitialDir = dir.c_str();
        ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_ENABLEHOOK;
        ofn.lpfnHook = testHook;
        ofn.lCustData = 42;
    }
    void TearDown() override {
        host::widgets::SetFileDialogDriver({});
        g_log = nullptr;
        WidgetTest::TearDown();
    }
    // Runs the dialog with steps done by the driver in order.
    BOOL run(bool save, const std::function<void(FileDialog&)>& drive) {
        host::widgets::SetFileDialogDriver(drive);
        return save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    }

    std::filesystem::path folder;
    std::string dir = testsupport::workDir("file-dialog").string();
    const char* filter = "Text (*.txt)\0*.txt\0Wave\0*.wav\0";
    char file[512];
    OPENFILENAMEA ofn{};
    HookLog log;
};

TEST_F(FileDialogTest, RecordChecksComeFirst) {
    host::widgets::FileDialogHandler previous =
        host::widgets::SetFileDialogHandler([](OPENFILENAMEA&, bool) { return TRUE; });
    for (DWORD size : {DWORD(OPENFILENAME_SIZE_VERSION_400A), DWORD(sizeof(OPENFILENAMEA))}) {
        ofn.lStructSize = size;
        EXPECT_TRUE(GetOpenFileNameA(&ofn)) << size;
    }
    ofn.lStructSize = 88;
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), CDERR_STRUCTSIZE);
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.lpfnHook = nullptr;
    EXPECT_FALSE(GetSaveFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), CDERR_NOHOOK);
    host::widgets::SetFileDialogHandler(previous);

    ofn.lpfnHook = testHook;
    ofn.Flags |= OFN_ENABLETEMPLATE;
    ofn.lpTemplateName = "NoSuchTemplate";
    EXPECT_FALSE(run(false, [](FileDialog& d) { d.ClickCancel(); }));
    EXPECT_EQ(CommDlgExtendedError(), CDERR_FINDRESFAILURE);
    EXPECT_TRUE(log.messages.empty()) << "the hook saw a dialog that never opened";
}

TEST_F(FileDialogTest, MultiSelectionInBufferForm) {
    ofn.Flags |= OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST;
    ASSERT_TRUE(run(false, [](FileDialog& d) {
        d.SelectNames({"a.txt", "b.txt"});
        d.ClickOk();
    }));
    EXPECT_EQ(std::string(file, dir.size() + 14), dir + std::string("\0a.txt\0b.txt\0\0", 14));
    EXPECT_EQ(ofn.nFileOffset, dir.size() + 1);
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    // The hook saw the dialog open, the names checked and the dialog go, in that order.
    ASSERT_GE(log.messages.size(), 4u);
    EXPECT_EQ(log.messages.front(), WM_INITDIALOG);
    EXPECT_EQ(log.messages[1], CDN_INITDONE);
    EXPECT_EQ(log.messages[log.messages.size() - 2], CDN_FILEOK);
    EXPECT_EQ(log.messages.back(), WM_DESTROY);
    EXPECT_TRUE(log.initialisedWithRecord);
    // Selecting in the list notified the hook, which read the quoted form of both names.
    ASSERT_FALSE(log.paths.empty());
    EXPECT_EQ(log.paths.back(), dir + "/\"a.txt\" \"b.txt\"");
}

TEST_F(FileDialogTest, SingleNameFilterIndexAndTitle) {
    ofn.nFilterIndex = 2;
    char title[64] = {};
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = sizeof title;
    ofn.lpstrDefExt = "txt";
    ASSERT_TRUE(run(false, [](FileDialog& d) {
        d.SelectNames({"c.wav"});
        d.ClickOk();
    }));
    const std::string path = dir + "/c.wav";
    EXPECT_STREQ(file, path.c_str());
    EXPECT_EQ(ofn.nFileOffset, dir.size() + 1);
    EXPECT_EQ(ofn.nFileExtension, dir.size() + 3);
    EXPECT_STREQ(title, "c.wav");
    EXPECT_EQ(ofn.nFilterIndex, 2u);
    EXPECT_TRUE(ofn.Flags & OFN_EXTENSIONDIFFERENT);
}

TEST_F(FileDialogTest, BufferTooSmallCarriesTheNeededSize) {
    ofn.nMaxFile = 8;
    EXPECT_FALSE(run(false, [](FileDialog& d) {
        d.SelectNames({"a.txt"});
        d.ClickOk();
    }));
    EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
    WORD needed = 0;
    std::memcpy(&needed, file, sizeof needed);
    EXPECT_EQ(needed, dir.size() + 7); // the path and its NUL
}

TEST_F(FileDialogTest, CancelIsNoError) {
    std::strcpy(file, "a.txt");
    EXPECT_FALSE(run(false, [](FileDialog& d) { d.ClickCancel(); }));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_STREQ(file, "a.txt");
    EXPECT_EQ(log.messages.back(), WM_DESTROY);
}

TEST_F(FileDialogTest, RejectedNamesKeepTheDialogOpen) {
    ofn.Flags |= OFN_FILEMUSTEXIST;
    log.rejectFileOk = 1;
    bool openAfterReject = false, openAfterMissing = false;
    ASSERT_TRUE(run(false, [&](FileDialog& d) {
        d.SelectNames({"missing.txt"});
        d.ClickOk();
        openAfterMissing = d.isVisible();
        d.SelectNames({"a.txt"});
        d.ClickOk();
        openAfterReject = d.isVisible();
        d.ClickOk();
    }));
    EXPECT_TRUE(openAfterMissing);
    EXPECT_TRUE(openAfterReject);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("missing.txt"), std::string::npos);
    EXPECT_EQ(std::count(log.messages.begin(), log.messages.end(), CDN_FILEOK), 2);
    EXPECT_EQ(std::string(file), dir + "/a.txt");
}

TEST_F(FileDialogTest, OverwritePromptThroughMessageBoxes) {
    ofn.Flags |= OFN_OVERWRITEPROMPT;
    ofn.lpstrDefExt = "wav";
    std::vector<bool> openAfter;
    answer = IDNO;
    ASSERT_TRUE(run(true, [&](FileDialog& d) {
        d.SelectNames({"c"}); // gets the default extension: c.wav exists
        d.ClickOk();
        openAfter.push_back(d.isVisible());
        answer = IDYES;
        d.ClickOk();
    }));
    EXPECT_EQ(openAfter, std::vector<bool>{true});
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[0].text.find("c.wav"), std::string::npos);
    EXPECT_EQ(boxes[0].flags & MB_TYPEMASK, MB_YESNO);
    EXPECT_EQ(std::string(file), dir + "/c.wav");
    EXPECT_FALSE(ofn.Flags & OFN_EXTENSIONDIFFERENT);

    // A new name is taken without a question.
    boxes.clear();
    ASSERT_TRUE(run(true, [](FileDialog& d) {
        d.SelectNames({"new"});
        d.ClickOk();
    }));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(std::string(file), dir + "/new.wav");
}

TEST_F(FileDialogTest, TemplateControlsAndReadOnlyBox) {
    DialogTemplate extras;
    extras.cx = 200;
    extras.cy = 40;
    extras.items = {{"Button", 1000, "Play", WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 50, 14},
                    {"Button", 1001, "Preview", WS_VISIBLE | BS_AUTOCHECKBOX, 60, 0, 60, 12}};
    RegisterDialogResource("TestExtras", extras);
    ofn.Flags |= OFN_ENABLETEMPLATE | OFN_READONLY;
    ofn.lpTemplateName = "testextras";
    HWND button = nullptr, hookWindow = nullptr;
    LRESULT checked = -1;
    QRect buttonPlace, boxPlace;
    ASSERT_TRUE(run(false, [&](FileDialog& d) {
        hookWindow = d.HookWindow();
        EXPECT_TRUE(d.TemplateControl(1000)->isVisible());
        buttonPlace = d.TemplateControl(1000)->geometry();
        boxPlace = d.TemplateControl(1001)->geometry();
        button = GetDlgItem(d.HookWindow(), 1000);
        static_cast<QPushButton*>(d.TemplateControl(1000))->click();
        static_cast<QCheckBox*>(d.TemplateControl(1001))->click();
        checked = SendMessageA(GetDlgItem(d.HookWindow(), 1001), BM_GETCHECK, 0, 0);
        ASSERT_NE(d.ReadOnlyBox(), nullptr);
        d.ReadOnlyBox()->setChecked(false);
        d.SelectNames({"a.txt"});
        d.ClickOk();
    }));
    ASSERT_NE(button, nullptr);
    // Placed in dialog units: the box starts 60 units right of the button, which is 50 units wide.
    EXPECT_EQ(buttonPlace.x(), 0);
    EXPECT_GT(boxPlace.x(), buttonPlace.right());
    EXPECT_NEAR(double(boxPlace.x()) / buttonPlace.width(), 60.0 / 50.0, 0.05);
    EXPECT_EQ(log.commands,
              (std::vector<WPARAM>{MAKEWPARAM(1000, BN_CLICKED), MAKEWPARAM(1001, BN_CLICKED)}));
    EXPECT_EQ(checked, 1);
    EXPECT_FALSE(IsWindow(hookWindow));
    EXPECT_FALSE(ofn.Flags & OFN_READONLY);
}

TEST_F(FileDialogTest, PlaceholderPutsExtrasBesideTheDialogsControls) {
    DialogTemplate beside;
    beside.cx = 131;
    beside.cy = 141;
    beside.items = {{"Static", IDC_FILEDIALOG_STANDARD, "", WS_VISIBLE, 0, 0, 28, 139},
                    {"Button", 1000, "Show", WS_VISIBLE | BS_PUSHBUTTON, 35, 112, 46, 11}};
    RegisterDialogResource("TestBeside", beside);
    ofn.Flags |= OFN_ENABLETEMPLATE;
    ofn.lpTemplateName = "TestBeside";
    QRect area, button, names;
    bool placeholderShown = true;
    EXPECT_FALSE(run(false, [&](FileDialog& d) {
        area = d.TemplateArea()->geometry();
        button = d.TemplateControl(1000)->geometry();
        names = d.findChild<QWidget*>("fileNameEdit")->geometry();
        placeholderShown = IsWindowVisible(GetDlgItem(d.HookWindow(), IDC_FILEDIALOG_STANDARD));
        d.ClickCancel();
    }));
    EXPECT_FALSE(placeholderShown);
    EXPECT_GT(area.left(), names.right()) << "the extras are not beside the file name box";
    // Moved left by the placeholder's width: 35 - 28 = 7 units from the area's edge.
    RECT units{7, 112, 0, 0};
    MapDialogRect(nullptr, &units);
    EXPECT_EQ(button.topLeft(), QPoint(units.left, units.top));
}

} // namespace
