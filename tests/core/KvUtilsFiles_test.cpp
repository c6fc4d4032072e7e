#include "core/KvUtils.h"

#include "support/TestWork.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

using namespace kv;
namespace fs = std::filesystem;

namespace {

fs::path freshDir(const std::string& name) {
    fs::path dir = testsupport::workDir("kvutils-files") / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::vector<std::string> entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    return names;
}

} // namespace

TEST(KvUtilsFiles, CheckPathAddsOrRemovesOneTrailingSeparator) {
    struct Case {
        const char* path;
        bool add;
        const char* expected;
    };
    const Case cases[] = {
        {"", true, ""},       {"", false, ""},       {"/a", true, "/a/"},    {"/a/", true, "/a/"},
        {"/a/", false, "/a"}, {"/a", false, "/a"},   {"/a//", false, "/a/"}, {"/", true, "/"},
        {"/", false, "/"},    {"a\\", true, "a\\/"}, {"rel", true, "rel/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckPath(c.path, c.add), c.expected) << c.path << " " << c.add;
}

TEST(KvUtilsFiles, TempFilesAreNewFilesOfTheTempFolder) {
    fs::path dir = freshDir("temp");
    const char* saved = std::getenv("TMPDIR");
    std::string restore = saved ? saved : "";
    setenv("TMPDIR", dir.c_str(), 1);
    std::set<std::string> names;
    for (int i = 0; i < 50; ++i) {
        std::string name = GetTempFile();
        ASSERT_FALSE(name.empty());
        EXPECT_EQ(fs::path(name).parent_path(), dir);
        EXPECT_EQ(fs::path(name).filename().string().front(), 'w');
        EXPECT_EQ(fs::path(name).extension(), ".tmp");
        EXPECT_EQ(GetFileSize(name), 0);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 50u);
    setenv("TMPDIR", (dir / "missing").c_str(), 1);
    EXPECT_EQ(GetTempFile(), "");
    if (saved)
        setenv("TMPDIR", restore.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

TEST(KvUtilsFiles, FileSizesAreSixtyFourBitAndMissingFilesGiveMinusOne) {
    fs::path dir = freshDir("sizes");
    std::ofstream(dir / "small") << std::string(12345, 'x');
    std::ofstream(dir / "empty").flush();
    fs::path big = dir / "big";
    std::ofstream(big).flush();
    const std::uint64_t five = 5ull << 30;
    std::error_code ec;
    fs::resize_file(big, five, ec); // sparse: takes no space
    EXPECT_EQ(GetFileSize((dir / "small").string()), 12345);
    EXPECT_EQ(GetFileSize((dir / "empty").string()), 0);
    if (!ec) {
        EXPECT_EQ(GetFileSize(big.string()), std::int64_t(five));
    }
    EXPECT_EQ(GetFileSize((dir / "missing").string()), -1);
    EXPECT_EQ(GetFileSize(""), -1);
    EXPECT_EQ(GetFileSize(dir.string()), 0);
    fs::remove(big);
}

TEST(KvUtilsFiles, DiskStatsAreThoseOfTheFileSystemHoldingThePath) {
    fs::path dir = freshDir("disk");
    fs::space_info space = fs::space(dir);
    std::int64_t free = -1, total = -1;
    ASSERT_TRUE(GetDiskStats(dir.string(), free, total));
    EXPECT_EQ(total, std::int64_t(space.capacity));
    EXPECT_GT(free, 0);
    EXPECT_LE(free, total);
    EXPECT_LT(std::llabs(free - std::int64_t(space.available)), 1ll << 30);
    // A file that does not exist yet: the space where it would be created.
    std::int64_t free2 = 0, total2 = 0;
    ASSERT_TRUE(GetDiskStats((dir / "not" / "yet" / "there.avi").string(), free2, total2));
    EXPECT_EQ(total2, total);
    EXPECT_TRUE(GetDiskFree(dir.string(), 0));
    EXPECT_TRUE(GetDiskFree(dir.string(), free / 2));
    EXPECT_FALSE(GetDiskFree(dir.string(), total + 1));
}

TEST(KvUtilsFiles, ShortFileNamesAreAbsoluteNamesOfExistingFiles) {
    fs::path dir = freshDir("short");
    std::ofstream(dir / "file.txt") << "x";
    fs::path cwd = fs::current_path();
    fs::current_path(dir);
    EXPECT_EQ(GetShortFileName("file.txt"), (dir / "file.txt").string());
    EXPECT_EQ(GetShortFileName("./sub/../file.txt"), (dir / "file.txt").string());
    EXPECT_EQ(GetShortFileName("missing.txt"), "");
    EXPECT_EQ(GetShortFileName(""), "");
    fs::current_path(cwd);
    EXPECT_EQ(GetShortFileName(dir.string()), dir.string());
}

TEST(KvUtilsFiles, ProgramsStartWithoutAShellAndAreWaitedFor) {
    fs::path dir = freshDir("exec");
    // Shell metacharacters stay part of the one argument: with a shell, other files (or none) would appear.
    const std::string odd = "a b;touch c&d|e$(touch f)>g<h*'i'`touch j`";
    ASSERT_TRUE(WinExecAndWait("touch \"" + (dir / odd).string() + "\""));
    EXPECT_EQ(entries(dir), std::vector<std::string>{odd});
    fs::remove(dir / odd);

    ASSERT_TRUE(WinExecAndWait("touch \"" + dir.string() + "/say \\\"hi\\\"\" " + dir.string() + "/second"));
    auto names = entries(dir);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"say \"hi\"", "second"}));

    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(WinExecAndWait("sh -c \"sleep 0.3; touch '" + dir.string() + "/done'\""));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_TRUE(fs::exists(dir / "done"));
    EXPECT_TRUE(WinExecAndWait("false")); // it started; its exit code is not the result

    EXPECT_FALSE(WinExecAndWait("quillan-no-such-program --flag"));
    EXPECT_FALSE(WinExecAndWait((dir / "second").string())); // exists, not executable
    EXPECT_FALSE(WinExecAndWait(""));
}
