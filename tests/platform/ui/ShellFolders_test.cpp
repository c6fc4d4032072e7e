// The shell's namespace: ID list bytes and their checks, the allocator's bookkeeping, parsing paths and
// attributes, paths of lists, and the special folders over a home folder and XDG user folders made here.
#include "platform/ui/ShellFolders.h"
#include "support/TestWork.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

using namespace win;
namespace fs = std::filesystem;

namespace {

struct Freed {
    void operator()(ITEMIDLIST* l) const { ILFree(l); }
};
using List = std::unique_ptr<ITEMIDLIST, Freed>;

std::vector<BYTE> bytes(LPCITEMIDLIST l) {
    const auto* p = reinterpret_cast<const BYTE*>(l);
    return std::vector<BYTE>(p, p + ILGetSize(l));
}

std::u16string wide(const std::string& s) {
    return std::u16string(s.begin(), s.end()); // ASCII paths only
}

class ShellFolders : public ::testing::Test {
  protected:
    void SetUp() override {
        root = testsupport::workDir("shell-folders");
        fs::remove_all(root);
        home = root / "home";
        fs::create_directories(home / "Docs" / "Sub");
        fs::create_directories(home / ".hidden");
        fs::create_directories(home / "config");
        std::ofstream(home / "config" / "user-dirs.dirs")
            << "# written by a test\nXDG_DOCUMENTS_DIR=\"$HOME/Docs\"\nXDG_MUSIC_DIR=\"relative/ignored\"\n"
               "XDG_PICTURES_DIR=\"$HOME/NotMade\"\n";
        saveEnv("HOME", home.string());
        saveEnv("XDG_CONFIG_HOME", (home / "config").string());
    }
    void TearDown() override {
        for (auto& [name, value] : m_saved)
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
    void saveEnv(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        setenv(name.c_str(), value.c_str(), 1);
    }

    fs::path root, home;

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST_F(ShellFolders, ListsAreCountedItemsWithATerminatorAndComeFromTheAllocator) {
    List l(idListFromPath("/a/./x/../bc/"));
    ASSERT_TRUE(l);
    EXPECT_EQ(bytes(l.get()), (std::vector<BYTE>{3, 0, 'R', 4, 0, 'F', 'a', 5, 0, 'F', 'b', 'c', 0, 0}));
    EXPECT_EQ(pathOfIDList(l.get()), "/a/bc");
    EXPECT_EQ(idListCount(l.get()), 3);
    EXPECT_EQ(idListFromPath("relative/path"), nullptr);

    IMalloc* malloc = nullptr;
    ASSERT_EQ(SHGetMalloc(&malloc), S_OK);
    EXPECT_EQ(malloc->DidAlloc(l.get()), 1);
    List copy(ILClone(l.get()));
    EXPECT_TRUE(ILIsEqual(copy.get(), l.get()));
    ITEMIDLIST* raw = copy.release();
    malloc->Free(raw);
    EXPECT_EQ(malloc->DidAlloc(raw), 0);
    BYTE foreign[4] = {0, 0, 0, 0};
    malloc->Free(foreign); // not ours: left alone
    EXPECT_EQ(malloc->DidAlloc(foreign), 0);

    List both(ILCombine(l.get(), l.get()));
    EXPECT_EQ(idListCount(both.get()), 6);
}

TEST_F(ShellFolders, MalformedListsGiveNoPathAndNoCopies) {
    struct Case {
        const char* what;
        std::vector<BYTE> data;
    };
    const Case cases[] = {
        {"count of 1", {1, 0, 0, 0}},
        {"count without kind", {2, 0, 0, 0}},
        {"separator in a name", {3, 0, 'R', 6, 0, 'F', 'a', '/', 'b', 0, 0}},
        {"parent name", {3, 0, 'R', 5, 0, 'F', '.', '.', 0, 0}},
        {"NUL in a name", {3, 0, 'R', 5, 0, 'F', 'a', 0, 0, 0}},
        {"name before the root", {4, 0, 'F', 'a', 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto l = reinterpret_cast<LPCITEMIDLIST>(c.data.data());
        EXPECT_EQ(pathOfIDList(l), "");
        char path[MAX_PATH] = "x";
        EXPECT_FALSE(SHGetPathFromIDListA(l, path));
        EXPECT_STREQ(path, "");
    }
    EXPECT_EQ(ILClone(reinterpret_cast<LPCITEMIDLIST>(cases[0].data.data())), nullptr);
    EXPECT_EQ(ILGetSize(nullptr), 0u);
}

TEST_F(ShellFolders, ParsingNeedsAnExistingPathAndReportsTheAttributesAskedFor) {
    IShellFolder* desktop = nullptr;
    ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
    const std::string docs = (home / "Docs").string();

    LPITEMIDLIST l = nullptr;
    ULONG attributes = SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
    ULONG eaten = 0;
    const std::u16string name = wide(docs + "/.");
    ASSERT_EQ(desktop->ParseDisplayName(nullptr, nullptr, name.c_str(), &eaten, &l, &attributes), S_OK);
    List parsed(l);
    EXPECT_EQ(pathOfIDList(l), docs);
    EXPECT_EQ(eaten, name.size());
    EXPECT_EQ(attributes, SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_HASSUBFOLDER);

    const std::u16string missing = wide(docs + "/none");
    l = reinterpret_cast<LPITEMIDLIST>(1);
    EXPECT_NE(desktop->ParseDisplayName(nullptr, nullptr, missing.c_str(), nullptr, &l, nullptr), S_OK);
    EXPECT_EQ(l, nullptr);
    const std::u16string relative = u"Docs";
    EXPECT_EQ(desktop->ParseDisplayName(nullptr, nullptr, relative.c_str(), nullptr, &l, nullptr),
              E_INVALIDARG);

    // Attributes of several items are those they share; the computer is no file-system item.
    List hidden(idListFromPath((home / ".hidden").string()));
    List computer(computerIDList());
    LPCITEMIDLIST two[2] = {parsed.get(), hidden.get()};
    ULONG mask = SFGAO_FILESYSTEM | SFGAO_HIDDEN | SFGAO_FOLDER;
    ASSERT_EQ(desktop->GetAttributesOf(2, two, &mask), S_OK);
    EXPECT_EQ(mask, SFGAO_FILESYSTEM | SFGAO_FOLDER);
    LPCITEMIDLIST one = hidden.get();
    mask = SFGAO_HIDDEN;
    desktop->GetAttributesOf(1, &one, &mask);
    EXPECT_EQ(mask, SFGAO_HIDDEN);
    one = computer.get();
    mask = SFGAO_FILESYSTEM | SFGAO_FOLDER;
    desktop->GetAttributesOf(1, &one, &mask);
    EXPECT_EQ(mask, SFGAO_FOLDER);
}

TEST_F(ShellFolders, PathsOfListsFitTheBufferOrFail) {
    char path[MAX_PATH];
    List rootList(idListFromPath("/"));
    ASSERT_TRUE(SHGetPathFromIDListA(rootList.get(), path));
    EXPECT_STREQ(path, "/"); // the root keeps its separator, as a drive root does
    List computer(computerIDList());
    EXPECT_FALSE(SHGetPathFromIDListA(computer.get(), path));
    EXPECT_EQ(displayNameOfIDList(computer.get()), "Computer");
    List longest(idListFromPath("/" + std::string(258, 'a')));
    EXPECT_TRUE(SHGetPathFromIDListA(longest.get(), path));
    List tooLong(idListFromPath("/" + std::string(259, 'a')));
    EXPECT_FALSE(SHGetPathFromIDListA(tooLong.get(), path));
}

TEST_F(ShellFolders, SpecialFoldersMapToThisPlatformsFoldersOrFail) {
    struct Case {
        int csidl;
        HRESULT result;
        std::string path;
    };
    const Case cases[] = {
        {CSIDL_PROFILE, S_OK, home.string()},
        {CSIDL_PERSONAL, S_OK, (home / "Docs").string()},
        {CSIDL_APPDATA, S_OK, (home / "config").string()},
        {CSIDL_MYPICTURES, E_FAIL, ""}, // named, but not made
        {CSIDL_MYMUSIC, E_FAIL, ""},    // a relative entry is ignored
        {CSIDL_DESKTOPDIRECTORY, E_FAIL, ""},
        {CSIDL_NETWORK, E_FAIL, ""},
        {CSIDL_PRINTERS, E_FAIL, ""},
        {CSIDL_CONTROLS, E_FAIL, ""},
        {CSIDL_DRIVES, S_OK, ""}, // virtual: no path
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.csidl);
        LPITEMIDLIST l = nullptr;
        EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, c.csidl, &l), c.result);
        List owned(l);
        EXPECT_EQ(l != nullptr, c.result == S_OK);
        if (l) {
            EXPECT_EQ(pathOfIDList(l), c.path);
        }
    }
    // The desktop is the empty list; its path is the desktop folder, home without one.
    LPITEMIDLIST l = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &l), S_OK);
    List desktop(l);
    EXPECT_EQ(idListCount(l), 0);
    EXPECT_EQ(pathOfIDList(l), home.string());
    fs::create_directories(home / "Desktop");
    EXPECT_EQ(pathOfIDList(l), (home / "Desktop").string());
}

} // namespace
