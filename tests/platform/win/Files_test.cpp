#include "platform/win/Files.h"

#include "support/TestWork.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace win;

TEST(WinFiles, TempPathComesFromTmpdirAndEndsInASeparator) {
    const char* saved = std::getenv("TMPDIR");
    std::string restore = saved ? saved : "";
    char buffer[MAX_PATH];
    setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 9u);
    EXPECT_STREQ(buffer, "/var/tmp/");
    buffer[0] = 'x';
    EXPECT_EQ(GetTempPathA(5, buffer), 10u); // too small: the size needed, buffer untouched
    EXPECT_EQ(buffer[0], 'x');
    unsetenv("TMPDIR");
    EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 5u);
    EXPECT_STREQ(buffer, "/tmp/");
    if (saved) setenv("TMPDIR", restore.c_str(), 1);
}

TEST(WinFiles, TempFileNamesReserveTheirFileUnlessANumberIsGiven) {
    auto dir = testsupport::workDir("win-temp-names");
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    char name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameA(dir.c_str(), "prefix", 0x1A2B, name), 0x1A2Bu);
    EXPECT_EQ(std::string(name), (dir / "pre1A2B.tmp").string());
    EXPECT_FALSE(std::filesystem::exists(name));

    UINT number = GetTempFileNameA(dir.c_str(), "q", 0, name);
    ASSERT_NE(number, 0u);
    struct stat info {};
    ASSERT_EQ(stat(name, &info), 0);
    EXPECT_EQ(info.st_size, 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(GetTempFileNameA((dir / "missing").c_str(), "q", 0, name), 0u);
    EXPECT_EQ(GetTempFileNameA(std::string(300, 'd').c_str(), "q", 0, name), 0u);
}
