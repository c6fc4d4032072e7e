// The custom open dialog base: the buffer splitting and quoting rules, the record a run hands to the
// platform and what it takes back, and the real dialog driven off-screen through the hook (multi-selection,
// a rejected name keeping the dialog open, template controls, selection changes, cancel, exceptions).

#include "dialogs/KvCstDlg.h"
#include "platform/ui/DialogResources.h"
#include "platform/widgets/FileDialog.h"
#include "platform/widgets/WidgetTest.h"
#include "support/TestWork.h"

#include <QtWidgets/QPushButton>

#include <cstring>
#include <fstream>

using namespace kv;
using host::widgets::FileDialog;

namespace {

std::vector<std::string> lines(const host::TStrings& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.Get(i));
    return out;
}

TEST(KvCstDlgRules, SplitMultiSelection) {
    struct Row {
        std::string buffer;
        std::vector<std::string> files;
    };
    const std::vector<Row> rows = {
        {std::string("/d/a.wav\0\0", 10), {"/d/a.wav"}},
        {std::string("/d\0a.wav\0b.wav\0\0", 16), {"/d/a.wav", "/d/b.wav"}},
        {std::string("/d/\0a.wav\0\0", 11), {"/d/a.wav"}},      // the folder's separator is not doubled
        {std::string("/d\0a\0/e/b\0\0", 11), {"/d/a", "/e/b"}}, // an absolute name stays as it is
        {std::string("/\0a\0b\0\0", 7), {"/a", "/b"}},          // the root folder
        {std::string("\0\0", 2), {}},                           // nothing chosen
        {std::string("/d\0a", 4), {"/d/a"}},                    // an unterminated buffer ends at its end
    };
    host::TStringList list;
    for (const Row& row : rows) {
        list.Add("left over");
        TKvCustomOpenDialog::SplitMultiSelection(row.buffer, list);
        EXPECT_EQ(lines(list), row.files) << row.buffer;
    }
}

TEST(KvCstDlgRules, LastQuotedFile) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"", ""},
        {"/d/a.wav", "/d/a.wav"},
        {"/d/\"a.wav\" \"b c.wav\"", "/d/b c.wav"},
        {"/d\"a.wav\"", "/d/a.wav"},
        {"/d/\"a.wav\" \"/e/b.wav\"", "/e/b.wav"},
        {"/\"a\" \"b\"", "/b"},
        {"/d/\"a.wav\"  \"\"", "/d/a.wav"},
    };
    for (const auto& [text, last] : rows)
        EXPECT_EQ(TKvCustomOpenDialog::LastQuotedFile(text), last) << text;
}

TEST(KvCstDlgRules, SetInitialDirAndOptionFlags) {
    TKvCustomOpenDialog d(nullptr);
    for (const auto& [in, out] : std::vector<std::pair<std::string, std::string>>{
             {"/", "/"}, {"/tmp/", "/tmp"}, {"/tmp", "/tmp"}, {"/a//", "/a/"}, {"", ""}}) {
        d.SetInitialDir(in);
        EXPECT_EQ(d.GetInitialDir(), out) << in;
    }
    EXPECT_EQ(d.GetFilterIndex(), 1);
    EXPECT_EQ(OpenOptionFlags({ofReadOnly, ofAllowMultiSelect, ofEnableSizing}), 0x800201u);
    EXPECT_EQ(OpenOptionFlag(ofEnableIncludeNotify), 0x400000u);
    EXPECT_EQ(OpenOptionFlag(ofNoDereferenceLinks), 0x100000u);
}

// A dialog with a template of its own, for the tests that need extra controls.
class TemplatedDialog : public TKvCustomOpenDialog {
  public:
    using TKvCustomOpenDialog::SetTemplateName;
    using TKvCustomOpenDialog::TKvCustomOpenDialog;
};

TEST(KvCstDlgRun, RecordHandedToThePlatform) {
    TemplatedDialog d(nullptr);
    d.SetFilter("Wave-Files(*.wav)|*.wav");
    d.SetFilterIndex(2);
    d.SetTitle(std::string(72, 'x') +
               "タイトル"); // 84 bytes: cut at 79 before the character that does not fit
    d.SetDefaultExt("jpeg");
    d.SetInitialDir("/tmp/");
    d.SetFileName("start.wav");
    d.SetOptions({ofAllowMultiSelect, ofOldStyleDialog});
    d.SetTemplateName("CustomWaveOpenDlg");
    win::OPENFILENAMEA seen{};
    std::string filter, fileStart, title;
    const win::BOOL result = d.DoExecute([&](win::LPOPENFILENAMEA ofn) {
        seen = *ofn;
        filter.assign(ofn->lpstrFilter, 25);
        fileStart = ofn->lpstrFile;
        title = ofn->lpstrTitle;
        EXPECT_EQ(ofn->lpstrFile[ofn->nMaxFile + 1], '\0');
        EXPECT_STREQ(ofn->lpstrDefExt, "jpe");
        EXPECT_STREQ(ofn->lpstrInitialDir, "/tmp");
        EXPECT_STREQ(ofn->lpTemplateName, "CustomWaveOpenDlg");
        return win::FALSE;
    });
    EXPECT_EQ(result, win::FALSE);
    EXPECT_EQ(seen.lStructSize, 76u);
    EXPECT_EQ(filter, std::string("Wave-Files(*.wav)\0*.wav\0\0", 25));
    EXPECT_EQ(seen.nFilterIndex, 2u);
    EXPECT_EQ(seen.nMaxFile, 8192u);
    EXPECT_EQ(fileStart, "start.wav");
    EXPECT_EQ(title, std::string(72, 'x') + "タイ");
    EXPECT_EQ(seen.Flags,
              win::OFN_ENABLEHOOK | win::OFN_ALLOWMULTISELECT | win::OFN_EXPLORER | win::OFN_ENABLETEMPLATE);
    EXPECT_EQ(seen.lCustData, reinterpret_cast<win::LPARAM>(&d));
    EXPECT_EQ(seen.lpfnHook, &TKvCustomOpenDialog::DialogHookProc);
    // A cancelled run keeps the component's values and leaves Files empty.
    EXPECT_EQ(d.GetFileName(), "start.wav");
    EXPECT_EQ(d.GetFilterIndex(), 2);
    EXPECT_EQ(d.GetFiles().Count(), 0);
}

TEST(KvCstDlgRun, LongFilterKeepsWholePairs) {
    TKvCustomOpenDialog d(nullptr);
    std::string filter;
    for (int i = 0; i < 100; ++i)
        filter += (i ? "|" : "") + std::string("Type ") + std::to_string(i) + "|*.t" + std::to_string(i);
    d.SetFilter(filter);
    std::string buffer;
    d.DoExecute([&](win::LPOPENFILENAMEA ofn) {
        const char* p = ofn->lpstrFilter;
        while (*p)
            p += std::strlen(p) + 1;
        buffer.assign(ofn->lpstrFilter, std::size_t(p - ofn->lpstrFilter) + 1);
        return win::FALSE;
    });
    ASSERT_LE(buffer.size(), 1024u);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), '\0') % 2, 1) << "ends mid-pair";
    EXPECT_EQ(buffer.substr(buffer.size() - 2), std::string("\0\0", 2));
}

TEST(KvCstDlgRun, ResultsTakenBack) {
    TKvCustomOpenDialog d(nullptr);
    d.SetOptions({ofAllowMultiSelect, ofExtensionDifferent});
    ASSERT_TRUE(d.DoExecute([](win::LPOPENFILENAMEA ofn) {
        std::memcpy(ofn->lpstrFile, "/d\0a.wav\0b.wav\0\0", 16);
        ofn->Flags |= win::OFN_READONLY;
        ofn->Flags &= ~win::OFN_EXTENSIONDIFFERENT;
        ofn->nFilterIndex = 3;
        return win::TRUE;
    }));
    EXPECT_EQ(lines(d.GetFiles()), (std::vector<std::string>{"/d/a.wav", "/d/b.wav"}));
    EXPECT_EQ(d.GetFileName(), "/d/a.wav");
    EXPECT_EQ(d.GetFilterIndex(), 3);
    EXPECT_TRUE(d.GetOptions().Contains(ofReadOnly));
    EXPECT_FALSE(d.GetOptions().Contains(ofExtensionDifferent));

    d.SetOptions({});
    ASSERT_TRUE(d.DoExecute([](win::LPOPENFILENAMEA ofn) {
        EXPECT_EQ(ofn->nMaxFile, 260u);
        std::strcpy(ofn->lpstrFile, "/d/c.wav");
        return win::TRUE;
    }));
    EXPECT_EQ(lines(d.GetFiles()), std::vector<std::string>{"/d/c.wav"});
    EXPECT_EQ(d.GetFileName(), "/d/c.wav");
}

TEST(KvCstDlgRun, OneDialogAtATime) {
    TKvCustomOpenDialog outer(nullptr), inner(nullptr);
    bool raised = false;
    outer.DoExecute([&](win::LPOPENFILENAMEA) {
        try {
            inner.DoExecute([](win::LPOPENFILENAMEA) { return win::TRUE; });
        } catch (const host::Exception&) {
            raised = true;
        }
        return win::FALSE;
    });
    EXPECT_TRUE(raised);
    // The guard is gone after the run: the next one runs.
    EXPECT_TRUE(inner.DoExecute([](win::LPOPENFILENAMEA) { return win::TRUE; }));
}

// The real dialog, driven off-screen.
class KvCstDlgDialog : public widgettest::WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        folder = testsupport::workDir("kv-open-dialog").string();
        for (const char* name : {"one.wav", "two.wav", "three.wav"})
            std::ofstream(folder + "/" + name) << name;
        dialog.SetInitialDir(folder);
        dialog.SetFilter("Wave-Files(*.wav)|*.wav|All|*");
        dialog.SetOptions({ofNoChangeDir, ofHideReadOnly});
        dialog.OnCreate = [this](host::TObject*) {
            events.push_back("create");
            hookWindowAtCreate = dialog.GetHookWnd();
            openAtCreate = TKvCustomOpenDialog::OpenDialog();
        };
        dialog.OnDestroy = [this](host::TObject*) { events.push_back("destroy"); };
        dialog.OnShow = [this](host::TObject*) { events.push_back("show"); };
        dialog.OnClose = [this](host::TObject*) { events.push_back("close"); };
        dialog.OnSelChanged = [this](host::TObject*, const std::string& f) { selections.push_back(f); };
        dialog.OnCommand = [this](host::TObject*, std::int32_t wnd, std::int32_t parent, std::int32_t cmd) {
            commands.push_back({wnd, parent, cmd});
        };
        m_previousException = host::Application->OnException;
        host::Application->OnException = [this](host::TObject*, const host::Exception& e) {
            exceptions.push_back(e.Message());
        };
    }
    void TearDown() override {
        host::widgets::SetFileDialogDriver({});
        host::Application->OnException = m_previousException;
        WidgetTest::TearDown();
    }
    bool run(const std::function<void(FileDialog&)>& drive) {
        host::widgets::SetFileDialogDriver(drive);
        return dialog.Execute();
    }

    std::string folder;
    TemplatedDialog dialog{nullptr};
    std::vector<std::string> events, selections, exceptions;
    std::vector<std::array<std::int32_t, 3>> commands;
    win::HWND hookWindowAtCreate = nullptr;
    TKvCustomOpenDialog* openAtCreate = nullptr;

  private:
    host::TExceptionEvent m_previousException;
};

TEST_F(KvCstDlgDialog, MultiSelectionOfTwoFiles) {
    dialog.SetOptions({ofNoChangeDir, ofAllowMultiSelect});
    ASSERT_TRUE(run([](FileDialog& d) {
        d.SelectNames({"one.wav", "two.wav"});
        d.ClickOk();
    }));
    EXPECT_EQ(lines(dialog.GetFiles()), (std::vector<std::string>{folder + "/one.wav", folder + "/two.wav"}));
    EXPECT_EQ(dialog.GetFileName(), folder + "/one.wav");
    EXPECT_EQ(events, (std::vector<std::string>{"create", "show", "destroy", "close"}));
    EXPECT_NE(hookWindowAtCreate, nullptr);
    EXPECT_EQ(openAtCreate, &dialog);
    EXPECT_EQ(dialog.GetHookWnd(), nullptr);
    EXPECT_EQ(TKvCustomOpenDialog::OpenDialog(), nullptr);
    // The selection reached DoSelChanged as the dialog's path text, which LastQuotedFile reads.
    ASSERT_FALSE(selections.empty());
    EXPECT_EQ(TKvCustomOpenDialog::LastQuotedFile(selections.back()), folder + "/two.wav");
}

TEST_F(KvCstDlgDialog, FileOkRejectingTheSecondOfThreeKeepsTheDialogOpen) {
    dialog.SetOptions({ofNoChangeDir, ofAllowMultiSelect});
    std::vector<std::string> checked;
    bool reject = true;
    dialog.OnFileOK = [&](host::TObject*, const std::string& name, bool& ok) {
        checked.push_back(name);
        if (reject && checked.size() == 2) ok = false;
    };
    bool openAfterReject = false;
    ASSERT_TRUE(run([&](FileDialog& d) {
        d.SelectNames({"one.wav", "two.wav", "three.wav"});
        d.ClickOk();
        openAfterReject = d.isVisible();
        reject = false;
        d.ClickOk();
    }));
    EXPECT_TRUE(openAfterReject);
    ASSERT_EQ(checked.size(), 5u); // two names, then all three on the second try
    EXPECT_EQ(checked[0], folder + "/one.wav");
    EXPECT_EQ(checked[1], folder + "/two.wav");
    EXPECT_EQ(dialog.GetFiles().Count(), 3);
}

TEST_F(KvCstDlgDialog, TemplateControlsReachDoCommand) {
    win::DialogTemplate extras;
    extras.cx = 120;
    extras.cy = 20;
    extras.items = {{"Button", 1000, "Play", win::WS_VISIBLE | win::BS_PUSHBUTTON, 0, 0, 50, 14}};
    win::RegisterDialogResource("KvTestExtras", extras);
    dialog.SetTemplateName("KvTestExtras");
    win::HWND hook = nullptr;
    ASSERT_TRUE(run([&](FileDialog& d) {
        hook = d.HookWindow();
        static_cast<QPushButton*>(d.TemplateControl(1000))->click();
        d.SelectNames({"one.wav"});
        d.ClickOk();
    }));
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0][0], std::int32_t(reinterpret_cast<std::intptr_t>(hook)));
    EXPECT_EQ(commands[0][2], 1000);
    EXPECT_EQ(dialog.GetFileName(), folder + "/one.wav");
}

TEST_F(KvCstDlgDialog, DialogCentredOnTheScreen) {
    QPoint place;
    QSize size;
    run([&](FileDialog& d) {
        place = d.pos();
        size = d.size();
        d.ClickCancel();
    });
    EXPECT_EQ(place.x(), (host::Screen->GetWidth() - size.width()) / 2);
    EXPECT_EQ(place.y(), (host::Screen->GetHeight() - size.height()) / 3);
}

TEST_F(KvCstDlgDialog, CancelKeepsValues) {
    dialog.SetFileName("kept.wav");
    dialog.SetFilterIndex(2);
    EXPECT_FALSE(run([](FileDialog& d) { d.ClickCancel(); }));
    EXPECT_EQ(dialog.GetFileName(), "kept.wav");
    EXPECT_EQ(dialog.GetFilterIndex(), 2);
    EXPECT_EQ(dialog.GetFiles().Count(), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"create", "show", "destroy", "close"}));
}

TEST_F(KvCstDlgDialog, ExceptionsInTheHookGoToTheApplication) {
    int calls = 0;
    dialog.OnFileOK = [&](host::TObject*, const std::string&, bool&) {
        if (++calls == 1) throw host::Exception("bad name");
    };
    bool openAfterException = false;
    ASSERT_TRUE(run([&](FileDialog& d) {
        d.SelectNames({"one.wav"});
        d.ClickOk(); // the exception is reported and the name, not checked, is not taken
        openAfterException = d.isVisible();
        d.ClickOk();
    }));
    EXPECT_TRUE(openAfterException);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(exceptions, std::vector<std::string>{"bad name"});
    EXPECT_EQ(dialog.GetFileName(), folder + "/one.wav");
}

} // namespace
