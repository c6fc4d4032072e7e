// The folder dialog component over the folder browser, driven by a handler in the dialog's place (and
// once through the real dialog off-screen): defaults and option rules, confirm and cancel, the root,
// preselection by path and by the last result, events in order, the status line's ellipses, OK for
// items without a path, placement, the extra button, and freeing the component while it is open.
#include "controls/FoldrDlg.h"
#include "platform/widgets/DialogItemWidgets.h"
#include "platform/widgets/Forms.h"
#include "platform/widgets/MessageBox.h"
#include "platform/win/SystemMetrics.h"
#include "support/TestWork.h"

#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace kv;
using host::FolderBrowserSession;
namespace fs = std::filesystem;

namespace {

constexpr TFolderDialogOptions bit(TFolderDialogOption o) {
    return FolderOption(o);
}

class FolderDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host::Application->Initialize();
        root = testsupport::workDir("folder-dialog");
        fs::remove_all(root);
        home = root / "home";
        deep = home / "a-rather-long-folder-name" / "another-long-folder-name-here" / "Stills";
        fs::create_directories(deep);
        const char* old = std::getenv("HOME");
        m_oldHome = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("HOME", home.c_str(), 1);
        dialog = std::make_unique<TFolderDialog>(nullptr);
    }
    void TearDown() override {
        dialog.reset();
        host::SetFolderBrowserHandler(nullptr);
        m_oldHome ? setenv("HOME", m_oldHome->c_str(), 1) : unsetenv("HOME");
    }
    // Runs Execute with drive answering the browser.
    bool execute(std::function<void(FolderBrowserSession&)> drive, bool showDialog = false) {
        host::SetFolderBrowserHandler(std::move(drive), showDialog);
        return dialog->Execute();
    }
    static std::string statusOf(FolderBrowserSession& s) { return s.StatusText(); }

    fs::path root, home, deep;
    std::unique_ptr<TFolderDialog> dialog;

  private:
    std::optional<std::string> m_oldHome;
};

TEST_F(FolderDialogTest, DefaultsAndTheDummyCtl3D) {
    EXPECT_EQ(dialog->GetOptions(), 0x0B85);
    EXPECT_EQ(dialog->GetOptions(), bit(bfFileSysDirsOnly) | bit(bfStatusText) | bit(bfShowPathInStatusArea) |
                                        bit(bfSyncCustomButton) | bit(bfAlignCustomButton) |
                                        bit(bfParentCenter));
    EXPECT_EQ(dialog->GetRootFolder(), sfoDesktopExpanded);
    EXPECT_EQ(dialog->GPVCaption(), "Browse for Folder");
    EXPECT_EQ(dialog->GPVDirectory(), "");
    dialog->SPVDummyCtl3D(false);
    EXPECT_TRUE(dialog->GetCtl3D());
    EXPECT_EQ(ShellFolderCSIDL(sfoDesktopExpanded), -1);
    EXPECT_EQ(ShellFolderCSIDL(sfoDesktopDirectory), 0x10);
    EXPECT_EQ(ShellFolderCSIDL(sfoPrintHood), 0x1B);
    // The reference layout at 8 × 16 base units.
    const FolderDialogLayout& l = FolderLayout();
    EXPECT_EQ(l.referenceWidth, 424);
    EXPECT_EQ(l.referenceHeight, 376);
    EXPECT_EQ(l.statusRect.left, 14);
    EXPECT_EQ(l.cancelRect.top, 332);
}

TEST_F(FolderDialogTest, OptionRulesApplyAgainstTheOldValue) {
    struct Case {
        const char* what;
        TFolderDialogOptions old, set, expected;
        TShellFolder root;
    };
    const auto S = bit(bfScreenCenter), P = bit(bfParentCenter), T = bit(bfStatusText),
               A = bit(bfShowPathInStatusArea), F = bit(bfFileSysDirsOnly), D = bit(bfDontGoBelowDomain),
               N = bit(bfFileSysAncestors), C = bit(bfBrowseForComputer), R = bit(bfBrowseForPrinter);
    const Case cases[] = {
        {"adding parent centring drops screen centring", S, S | P, P, sfoDesktopExpanded},
        {"adding screen centring drops parent centring", P, S | P, S, sfoDesktopExpanded},
        {"both new: both stay", 0, S | P, S | P, sfoDesktopExpanded},
        {"computers: network root, no file-system options", F | N, F | N | R | C, C, sfoNetwork},
        {"printers: root kept", F | D | N, F | D | N | R, R, sfoDesktopExpanded},
        {"computers kept: no change of root", C, C | F, C | F,
         sfoNetwork}, // the root came with the old value
        {"path in status brings the status line", 0, A, A | T, sfoDesktopExpanded},
        {"dropping the status line drops the path", T | A, A, 0, sfoDesktopExpanded},
        {"both dropped", T | A, 0, 0, sfoDesktopExpanded},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TFolderDialog d(nullptr);
        // Start from the old value as stored (through a neutral path of the rules).
        d.SPVOptions(0);
        d.SPVOptions(c.old);
        ASSERT_EQ(d.GetOptions(), c.old);
        d.SPVOptions(c.set);
        EXPECT_EQ(d.GetOptions(), c.expected);
        EXPECT_EQ(d.GetRootFolder(), c.root);
    }
}

TEST_F(FolderDialogTest, ConfirmGivesThePathAndCancelEmptiesIt) {
    const std::string folder = deep.string();
    ASSERT_TRUE(execute([&](FolderBrowserSession& s) {
        ASSERT_TRUE(s.SelectPath(folder));
        s.Ok();
    }));
    EXPECT_EQ(dialog->GPVDirectory(), folder); // no separator at the end
    EXPECT_EQ(dialog->GetDisplayName(), "Stills");
    EXPECT_NE(dialog->GetSelectionAttributes(), 0u);
    EXPECT_FALSE(dialog->GPVHandle());

    // The root plays a drive root's part and keeps its separator.
    ASSERT_TRUE(execute([&](FolderBrowserSession& s) {
        ASSERT_TRUE(s.SelectPath("/"));
        s.Ok();
    }));
    EXPECT_EQ(dialog->GPVDirectory(), "/");

    EXPECT_FALSE(execute([](FolderBrowserSession& s) { s.Cancel(); }));
    EXPECT_EQ(dialog->GPVDirectory(), "");
    EXPECT_EQ(dialog->GetSelectionAttributes(), 0u);
}

TEST_F(FolderDialogTest, PreselectionByPathAndByTheLastResultWithEventsInOrder) {
    std::vector<std::string> events;
    dialog->OnShow = [&](host::TObject*) { events.push_back("show"); };
    dialog->OnClose = [&](host::TObject*) { events.push_back("close"); };
    dialog->OnChange = [&](host::TObject*) { events.push_back("change " + dialog->GPVSelectionPath()); };
    dialog->SPVDirectory(deep.string() + "/.");
    std::string seen;
    ASSERT_TRUE(execute([&](FolderBrowserSession& s) {
        seen = s.Selection()->path;
        EXPECT_EQ(dialog->GPVDirectory(), deep.string()); // read from the live selection
        s.Ok();
    }));
    EXPECT_EQ(seen, deep.string());
    EXPECT_EQ(events, (std::vector<std::string>{"change " + deep.string(), "show", "close"}));
    EXPECT_EQ(dialog->GPVDirectory(), deep.string());

    // Unchanged Directory: the last result is selected again.
    ASSERT_TRUE(execute([&](FolderBrowserSession& s) {
        seen = s.Selection()->path;
        s.Ok();
    }));
    EXPECT_EQ(seen, deep.string());

    // Another path set while closed is selected by that path.
    const fs::path other = home / "a-rather-long-folder-name";
    dialog->SPVDirectory(other.string());
    ASSERT_TRUE(execute([&](FolderBrowserSession& s) {
        seen = s.Selection()->path;
        s.Ok();
    }));
    EXPECT_EQ(seen, other.string());

    // A path that is no folder selects nothing and sends nothing.
    dialog->SPVDirectory((home / "missing").string());
    EXPECT_EQ(dialog->GetSelectionPIDL(), nullptr);
    events.clear();
    ASSERT_TRUE(execute([&](FolderBrowserSession& s) {
        seen = s.Selection()->path; // the browser's own first folder
        s.Ok();
    }));
    EXPECT_EQ(seen, home.string());
    // Without a preselection the browser's own first selection follows the initialisation.
    EXPECT_EQ(events, (std::vector<std::string>{"show", "change " + home.string(), "close"}));
}

TEST_F(FolderDialogTest, StatusLineShortensLongPathsWithEllipses) {
    std::string withPath, shortOne, cutAtEnd;
    execute([&](FolderBrowserSession& s) {
        s.SelectPath(deep.string());
        withPath = s.StatusText();
        dialog->SPVStatusText("short");
        shortOne = s.StatusText();
        s.Cancel();
    });
    // The middle goes, the last folder stays.
    EXPECT_LT(withPath.size(), deep.string().size());
    EXPECT_NE(withPath.find("..."), std::string::npos);
    EXPECT_EQ(withPath.substr(withPath.size() - 7), "/Stills");
    EXPECT_EQ(withPath.substr(0, 2), deep.string().substr(0, 2));
    EXPECT_EQ(shortOne, "short");

    dialog->SPVOptions(bit(bfStatusText) | bit(bfFileSysDirsOnly));
    execute([&](FolderBrowserSession& s) {
        EXPECT_EQ(s.StatusText(), ""); // the path is not shown without the option
        dialog->SPVStatusText(deep.string());
        cutAtEnd = s.StatusText();
        s.Cancel();
    });
    EXPECT_EQ(cutAtEnd.substr(cutAtEnd.size() - 3), "...");
    EXPECT_EQ(cutAtEnd.substr(0, cutAtEnd.size() - 3), deep.string().substr(0, cutAtEnd.size() - 3));
}

TEST_F(FolderDialogTest, ItemsWithoutAPathDisableOkAndTheSynchronisedButton) {
    host::TForm form(nullptr);
    auto* templ = new host::TButton(&form);
    templ->SetParent(&form);
    templ->SetText("Extra");
    dialog->SPVCustomButton(templ);
    int changes = 0;
    dialog->OnChange = [&](host::TObject*) { ++changes; };
    ASSERT_FALSE(execute([&](FolderBrowserSession& s) {
        const int before = changes;
        EXPECT_TRUE(s.OkEnabled());
        EXPECT_TRUE(win::IsWindowEnabled(dialog->CustomButtonWindow()));
        s.Select(s.Roots().back().get()); // the computer: no path
        EXPECT_FALSE(s.OkEnabled());
        EXPECT_FALSE(win::IsWindowEnabled(dialog->CustomButtonWindow()));
        EXPECT_EQ(s.StatusText(), "");
        EXPECT_EQ(changes, before);
        EXPECT_EQ(dialog->GPVSelectionPath(), "");
        s.Cancel();
    }));

    // Without bfFileSysDirsOnly the computer can be confirmed: no Directory, but a display name.
    dialog->SPVOptions(bit(bfStatusText));
    ASSERT_TRUE(execute([&](FolderBrowserSession& s) {
        s.Select(s.Roots().back().get());
        s.Ok();
    }));
    EXPECT_EQ(dialog->GPVDirectory(), "");
    EXPECT_EQ(dialog->GetDisplayName(), "Computer");
}

TEST_F(FolderDialogTest, ExtraButtonIsPlacedAndClickedAndACheckBoxStateComesBack) {
    host::TForm form(nullptr);
    auto* box = new host::TCheckBox(&form);
    box->SetParent(&form);
    box->SetText("Open the folder afterwards");
    box->SetBounds(3, 4, 150, 17);
    int clicks = 0;
    box->OnClick = [&](host::TObject*) { ++clicks; };
    dialog->SPVCustomButton(box);
    dialog->SPVOptions(dialog->GetOptions() | bit(bfResizeCustomButton));
    ASSERT_TRUE(execute([&](FolderBrowserSession& s) {
        win::HWND clone = dialog->CustomButtonWindow();
        ASSERT_TRUE(clone);
        EXPECT_EQ(win::GetParent(clone), s.Window());
        win::RECT r{};
        win::GetWindowRect(clone, &r);
        win::POINT p{r.left, r.top};
        win::ScreenToClient(s.Window(), &p);
        // Aligned: status left + 1, Cancel top - 1; resized: Cancel's size (scaled by the real client size).
        EXPECT_EQ(p.x, 14 + 1 + 1);
        EXPECT_EQ(p.y, 332 + 1 - 1);
        EXPECT_EQ(r.right - r.left, 100 + 1);
        EXPECT_EQ(r.bottom - r.top, 28 + 1);
        char text[64];
        win::GetWindowTextA(clone, text, sizeof text);
        EXPECT_STREQ(text, "Open the folder afterwards");
        win::SendMessageA(clone, win::BM_CLICK, 0, 0); // reflected to the template's handler
        EXPECT_EQ(clicks, 1);
        EXPECT_FALSE(box->GetChecked()); // not until OK
        s.SelectPath(deep.string());
        s.Ok();
    }));
    EXPECT_TRUE(box->GetChecked());
    EXPECT_EQ(clicks, 1); // the copy back did not click
    EXPECT_FALSE(dialog->CustomButtonWindow());

    // Removing the template clears the reference.
    delete box;
    EXPECT_EQ(dialog->GPVCustomButton(), nullptr);
}

TEST_F(FolderDialogTest, PlacementOnTheScreenAndAtTheDesignedPoint) {
    win::RECT placed{};
    auto drive = [&](FolderBrowserSession& s) {
        win::GetWindowRect(s.Window(), &placed);
        s.Cancel();
    };
    dialog->SPVOptions(bit(bfScreenCenter) | bit(bfFileSysDirsOnly));
    execute(drive);
    const int w = placed.right - placed.left, h = placed.bottom - placed.top;
    EXPECT_EQ(placed.left, (win::GetSystemMetrics(win::SM_CXSCREEN) - w) / 2);
    EXPECT_EQ(placed.top, (win::GetSystemMetrics(win::SM_CYSCREEN) - h) / 3);

    dialog->SPVOptions(bit(bfFileSysDirsOnly));
    dialog->SPVDesignedLeft(70);
    dialog->SPVDesignedTop(0x12345); // only the low 16 bits are kept
    EXPECT_EQ(dialog->GPVDesignedTop(), 0x2345);
    execute(drive);
    EXPECT_EQ(placed.left, 70);
    EXPECT_EQ(placed.top, 0x2345);

    // Over a shown parent: centred horizontally, a quarter down.
    host::TForm form(nullptr);
    form.SetBounds(100, 200, 800, 400);
    form.HandleNeeded();
    dialog->SPVParent(&form);
    dialog->SPVOptions(bit(bfParentCenter) | bit(bfFileSysDirsOnly));
    execute(drive);
    EXPECT_EQ(placed.left, 100 + 400 - (placed.right - placed.left) / 2);
    EXPECT_EQ(placed.top, 200 + 100);
}

TEST_F(FolderDialogTest, FreeingTheComponentWhileOpenClosesTheBrowser) {
    // The browser ends as cancelled, and nothing of the freed component is called afterwards (not even
    // its OnClose, whose handler may use it).
    bool closed = false;
    dialog->OnClose = [&](host::TObject*) { closed = true; };
    EXPECT_FALSE(execute([&](FolderBrowserSession& s) {
        dialog.reset();
        EXPECT_TRUE(s.Finished());
    }));
    EXPECT_FALSE(closed);
}

TEST_F(FolderDialogTest, TheRealDialogShowsTitleInstructionAndFittedPath) {
    dialog->SPVCaption("Where to?");
    dialog->SetText("Choose where to save the still images");
    std::string title, status;
    ASSERT_TRUE(execute(
        [&](FolderBrowserSession& s) {
            s.SelectPath(deep.string());
            title = s.Dialog()->windowTitle().toStdString();
            auto* label = qobject_cast<QLabel*>(
                host::widgets::dialogItemWidget(win::GetDlgItem(s.Window(), win::IDC_BROWSE_STATUS)));
            ASSERT_TRUE(label);
            status = label->text().toStdString();
            EXPECT_EQ(s.Instruction(), "Choose where to save the still images");
            EXPECT_EQ(dialog->GPVCaption(), "Where to?");
            s.Ok();
        },
        true));
    EXPECT_EQ(title, "Where to?");
    EXPECT_NE(status.find("..."), std::string::npos);
    EXPECT_EQ(dialog->GPVDirectory(), deep.string());
}

} // namespace

namespace {

// Not a check: opens the browser on the source tree and waits for the user (or the screenshot script,
// scripts/screenshot-folder-dialog.sh) to end it.
TEST(FolderDialogShow, DISABLED_OpenOnTheSourceTree) {
    host::Application->Initialize();
    TFolderDialog d(nullptr);
    d.SetText("静止画像の保存場所を選択してください");
    const char* source = std::getenv("QUILLAN_SOURCE_DIR");
    d.SPVDirectory(std::string(source ? source : ".") + "/src/platform/widgets");
    d.Execute();
}

} // namespace
