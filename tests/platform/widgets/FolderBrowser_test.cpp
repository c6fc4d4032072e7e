// The folder browser: the callback's messages in order, selection by path and by list, OK for items
// without a path, hidden folders, a root, new folders, and the Qt dialog driven off-screen.
#include "WidgetTest.h"
#include "platform/widgets/DialogItemWidgets.h"
#include "platform/widgets/FolderBrowser.h"
#include "support/TestWork.h"

#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTreeWidget>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using namespace win;
using host::FolderBrowserSession;
namespace fs = std::filesystem;

namespace {

struct Freed {
    void operator()(ITEMIDLIST* l) const { ILFree(l); }
};
using List = std::unique_ptr<ITEMIDLIST, Freed>;

struct Event {
    UINT message;
    std::string path; // of the list for BFFM_SELCHANGED
};

struct Script {
    std::vector<Event> events;
    std::function<void(HWND)> onInit;
    std::function<void(HWND, const std::string&)> onChange;
};

int callback(HWND window, UINT message, LPARAM lParam, LPARAM data) {
    auto* s = reinterpret_cast<Script*>(data);
    const std::string path =
        message == BFFM_SELCHANGED ? pathOfIDList(reinterpret_cast<LPCITEMIDLIST>(lParam)) : "";
    s->events.push_back({message, path});
    if (message == BFFM_INITIALIZED && s->onInit) s->onInit(window);
    if (message == BFFM_SELCHANGED && s->onChange) s->onChange(window, path);
    return 0;
}

class FolderBrowserTest : public widgettest::WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        root = testsupport::workDir("folder-browser");
        fs::remove_all(root);
        home = root / "home";
        fs::create_directories(home / "Pictures" / "Trip");
        fs::create_directories(home / "Work");
        fs::create_directories(home / ".cache" / "inner");
        const char* old = std::getenv("HOME");
        m_oldHome = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("HOME", home.c_str(), 1);
        info = BROWSEINFOA{};
        info.pszDisplayName = name;
        info.lpszTitle = "Choose a folder";
        info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
        info.lpfn = &callback;
        info.lParam = reinterpret_cast<LPARAM>(&script);
    }
    void TearDown() override {
        host::SetFolderBrowserHandler(nullptr);
        m_oldHome ? setenv("HOME", m_oldHome->c_str(), 1) : unsetenv("HOME");
        WidgetTest::TearDown();
    }
    List browse(std::function<void(FolderBrowserSession&)> drive, bool showDialog = false) {
        host::SetFolderBrowserHandler(std::move(drive), showDialog);
        return List(SHBrowseForFolderA(&info));
    }
    static FolderBrowserSession::Node* child(FolderBrowserSession& s, FolderBrowserSession::Node* n,
                                             const std::string& name) {
        s.Expand(n);
        for (auto& c : n->children)
            if (c->name == name) return c.get();
        return nullptr;
    }

    fs::path root, home;
    BROWSEINFOA info{};
    char name[MAX_PATH] = {};
    Script script;

  private:
    std::optional<std::string> m_oldHome;
};

TEST_F(FolderBrowserTest, CallbackHearsInitThenEverySelectionAndItsAnswersAreObeyed) {
    const std::string trip = (home / "Pictures" / "Trip").string();
    script.onInit = [&](HWND w) {
        SendMessageA(w, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>((trip + "/.").c_str()));
    };
    script.onChange = [](HWND w, const std::string& path) {
        SendMessageA(w, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path.c_str()));
        if (path.find("Work") != std::string::npos) SendMessageA(w, BFFM_ENABLEOK, 0, FALSE);
    };
    List result = browse([&](FolderBrowserSession& s) {
        EXPECT_EQ(s.Instruction(), "Choose a folder");
        ASSERT_TRUE(s.Selection());
        EXPECT_EQ(s.Selection()->path, trip);
        EXPECT_EQ(s.StatusText(), trip);
        EXPECT_TRUE(s.SelectPath(home.string() + "/Work/"));
        EXPECT_FALSE(s.OkEnabled()); // the callback said so
        s.Ok();                      // a disabled OK does nothing
        EXPECT_FALSE(s.Finished());
        List pictures(idListFromPath((home / "Pictures").string()));
        SendMessageA(s.Window(), BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(pictures.get()));
        EXPECT_TRUE(s.OkEnabled());
        s.Ok();
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(pathOfIDList(result.get()), (home / "Pictures").string());
    EXPECT_STREQ(name, "Pictures");
    const std::vector<std::string> changes = {trip, (home / "Work").string(), (home / "Pictures").string()};
    ASSERT_EQ(script.events.size(), 4u);
    EXPECT_EQ(script.events[0].message, BFFM_INITIALIZED);
    for (std::size_t i = 0; i < changes.size(); ++i) {
        EXPECT_EQ(script.events[i + 1].message, BFFM_SELCHANGED);
        EXPECT_EQ(script.events[i + 1].path, changes[i]);
    }
}

TEST_F(FolderBrowserTest, ItemsWithoutAPathCannotBeChosenForFolders) {
    List result = browse([&](FolderBrowserSession& s) {
        // Without a selection from the callback the first folder (home) is selected.
        EXPECT_EQ(s.Selection()->path, home.string());
        FolderBrowserSession::Node* computer = s.Roots().back().get();
        ASSERT_EQ(computer->name, "Computer");
        s.Select(computer);
        EXPECT_FALSE(s.OkEnabled());
        s.Ok();
        EXPECT_FALSE(s.Finished());
        // The file system's root under it can.
        s.Select(child(s, computer, "/"));
        EXPECT_TRUE(s.OkEnabled());
        s.Cancel();
    });
    EXPECT_FALSE(result);
    EXPECT_EQ(script.events.back().path, "/");

    info.ulFlags = 0; // without the flag any item will do
    result = browse([&](FolderBrowserSession& s) {
        s.Select(s.Roots().back().get());
        EXPECT_TRUE(s.OkEnabled());
        s.Ok();
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(idListCount(result.get()), 1);
    EXPECT_STREQ(name, "Computer");
}

TEST_F(FolderBrowserTest, HiddenFoldersShowOnlyWhenAskedForAndTheRootLimitsTheTree) {
    List rootList(idListFromPath(home.string()));
    info.pidlRoot = rootList.get();
    List result = browse([&](FolderBrowserSession& s) {
        ASSERT_EQ(s.Roots().size(), 1u);
        FolderBrowserSession::Node* top = s.Roots()[0].get();
        EXPECT_EQ(top->path, home.string());
        EXPECT_TRUE(child(s, top, "Pictures"));
        EXPECT_FALSE(child(s, top, ".cache"));
        EXPECT_FALSE(s.SelectPath("/")); // outside the root
        EXPECT_EQ(s.Selection(), top);
        EXPECT_FALSE(s.SelectPath((home / "missing").string()));
        EXPECT_TRUE(s.SelectPath((home / ".cache" / "inner").string()));
        EXPECT_TRUE(child(s, top, ".cache")->hidden);
        // A list below the root selects too.
        const BYTE relative[] = {7, 0, 'F', 'W', 'o', 'r', 'k', 0, 0};
        SendMessageA(s.Window(), BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(relative));
        EXPECT_EQ(s.Selection()->path, (home / "Work").string());
        s.Ok();
    });
    ASSERT_TRUE(result);
}

TEST_F(FolderBrowserTest, NewFoldersAreMadeInTheSelectionAndSelected) {
    browse([&](FolderBrowserSession& s) {
        ASSERT_TRUE(s.SelectPath((home / "Work").string()));
        EXPECT_TRUE(s.CanMakeFolder());
        EXPECT_TRUE(s.NewFolder("Stills"));
        EXPECT_EQ(s.Selection()->path, (home / "Work" / "Stills").string());
        EXPECT_FALSE(s.NewFolder("../escape"));
        EXPECT_FALSE(s.NewFolder(".."));
        s.Cancel();
    });
    EXPECT_TRUE(fs::is_directory(home / "Work" / "Stills"));
    EXPECT_FALSE(fs::exists(home / "escape"));
}

TEST_F(FolderBrowserTest, TheDialogShowsTheSessionAndItsButtonsWork) {
    const std::string work = (home / "Work").string();
    script.onInit = [](HWND w) { SetWindowTextA(w, "Pick one"); };
    script.onChange = [](HWND w, const std::string& path) {
        SendMessageA(w, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path.c_str()));
    };
    List result = browse(
        [&](FolderBrowserSession& s) {
            QDialog* dialog = s.Dialog();
            ASSERT_TRUE(dialog);
            EXPECT_TRUE(dialog->isVisible());
            EXPECT_EQ(dialog->windowTitle(), "Pick one");
            auto* tree = dialog->findChild<QTreeWidget*>();
            ASSERT_TRUE(tree);
            QTreeWidgetItem* homeItem = tree->topLevelItem(0);
            ASSERT_TRUE(homeItem);
            EXPECT_EQ(homeItem->text(0), "Home");
            homeItem->setExpanded(true); // loads its folders
            QTreeWidgetItem* workItem = nullptr;
            for (int i = 0; i < homeItem->childCount(); ++i)
                if (homeItem->child(i)->text(0) == "Work") workItem = homeItem->child(i);
            ASSERT_TRUE(workItem);
            EXPECT_EQ(homeItem->childCount(), 2); // Pictures and Work; .cache is hidden
            tree->setCurrentItem(workItem);
            auto* status = qobject_cast<QLabel*>(
                host::widgets::dialogItemWidget(GetDlgItem(s.Window(), IDC_BROWSE_STATUS)));
            ASSERT_TRUE(status);
            EXPECT_EQ(status->text().toStdString(), work);
            // A selection made through the window shows in the tree.
            SendMessageA(s.Window(), BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(home.c_str()));
            EXPECT_EQ(tree->currentItem(), homeItem);
            tree->setCurrentItem(workItem);
            // The layer's place of the window moves the dialog.
            SetWindowPos(s.Window(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            EXPECT_EQ(dialog->geometry().topLeft(), QPoint(40, 30));
            auto* ok = qobject_cast<QPushButton*>(host::widgets::dialogItemWidget(GetDlgItem(s.Window(), 1)));
            ASSERT_TRUE(ok);
            ok->click();
        },
        true);
    ASSERT_TRUE(result);
    EXPECT_EQ(pathOfIDList(result.get()), work);

    // Escape (the dialog's reject) is Cancel.
    result = browse([&](FolderBrowserSession& s) { s.Dialog()->reject(); }, true);
    EXPECT_FALSE(result);
}

} // namespace
