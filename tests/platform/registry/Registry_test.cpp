#include "platform/registry/Registry.h"

#include "support/TestRegistry.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace win;

namespace {

constexpr const char* ChildVariable = "QUILLAN_REGISTRY_TEST_CHILD";
constexpr const char* SharedKey = "Software\\Quillan\\Shared";

LONG setDword(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
}

DWORD getDword(HKEY key, const char* name, LONG* result = nullptr) {
    DWORD value = 0, type = 0, size = 4;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (result) *result = rc;
    return rc == ERROR_SUCCESS && type == REG_DWORD ? value : 0xFFFFFFFFu;
}

HKEY create(HKEY root, const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
}

// A child started from this program with QUILLAN_REGISTRY_TEST_CHILD set does its registry work and
// exits before any test runs: "write:<tag>:<count>" writes count values <tag>-<i> = i under the shared
// key; "crash:<tag>" writes one value and then kills itself without any clean-up.
int runAsChild() {
    const char* role = std::getenv(ChildVariable);
    if (!role) return 0;
    std::string task(role);
    std::string kind = task.substr(0, task.find(':'));
    std::string rest = task.substr(kind.size() + 1);
    std::string tag = rest.substr(0, rest.find(':'));
    int count = kind == "write" ? std::atoi(rest.c_str() + tag.size() + 1) : 1;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SharedKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
        _exit(2);
    for (int i = 0; i < count; ++i)
        if (setDword(key, (tag + "-" + std::to_string(i)).c_str(), DWORD(i)) != ERROR_SUCCESS) _exit(3);
    if (kind == "crash") kill(getpid(), SIGKILL);
    _exit(0);
}
const int g_child = runAsChild();

pid_t startChild(const std::string& role) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    env.push_back(std::string(ChildVariable) + "=" + role);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    char arg0[] = "registry-child";
    char* argv[] = {arg0, nullptr};
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, envp.data()), 0);
    return pid;
}

int waitChild(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

std::string integrityCheck(const std::string& path) {
    sqlite3* db = nullptr;
    std::string result = "cannot open";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            result = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return result;
}

} // namespace

TEST(WinRegistry, ValuesOfEachTypeRoundTripWithSizeQueriesAndShortBuffers) {
    testsupport::freshRegistry();
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Quillan\\Types");
    const char text[] = "Grüße";
    const BYTE blob[] = {0, 1, 2, 0xFF, 0};
    ASSERT_EQ(RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text), 0);
    ASSERT_EQ(setDword(key, "Number", 0xDEADBEEF), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("d"), 2), ERROR_SUCCESS);

    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, sizeof text);
    char small[4] = {'x', 'x', 'x', 'x'};
    size = sizeof small;
    type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof text);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::string(small, 4), "xxxx");
    char big[32];
    size = sizeof big;
    ASSERT_EQ(RegQueryValueExA(key, "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(big), &size), 0);
    EXPECT_STREQ(big, text);

    EXPECT_EQ(getDword(key, "Number"), 0xDEADBEEFu);
    BYTE read[8] = {};
    size = sizeof read;
    ASSERT_EQ(RegQueryValueExA(key, "Blob", nullptr, &type, read, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, sizeof blob);
    EXPECT_EQ(std::memcmp(read, blob, sizeof blob), 0);
    size = 99;
    ASSERT_EQ(RegQueryValueExA(key, "Empty", nullptr, &type, read, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 0u);
    size = sizeof big;
    ASSERT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(big), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(big, "d");

    // Overwriting changes type and data in place.
    ASSERT_EQ(RegSetValueExA(key, "Number", 0, REG_SZ, reinterpret_cast<const BYTE*>("7"), 2), ERROR_SUCCESS);
    EXPECT_EQ(getDword(key, "Number"), 0xFFFFFFFFu);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST(WinRegistry, KeysAndValueNamesIgnoreCaseAndKeepTheCaseTheyWereCreatedWith) {
    testsupport::freshRegistry();
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\MixedCase", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ASSERT_EQ(setDword(key, "ValueName", 5), ERROR_SUCCESS);
    RegCloseKey(key);

    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\mixedcase\\", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(getDword(key, "VALUENAME"), 5u);
    ASSERT_EQ(setDword(key, "valuename", 6), ERROR_SUCCESS);
    char name[64];
    DWORD count = sizeof name;
    ASSERT_EQ(RegEnumValueA(key, 0, name, &count, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "ValueName");
    EXPECT_EQ(getDword(key, "ValueName"), 6u);
    RegCloseKey(key);

    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software", 0, KEY_READ, &software), ERROR_SUCCESS);
    count = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(software, 0, name, &count, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "MixedCase");
    EXPECT_EQ(count, 9u);
    RegCloseKey(software);
}

TEST(WinRegistry, MissingKeysValuesAndHandlesAreReportedWithTheirCodes) {
    testsupport::freshRegistry();
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nowhere", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    key = create(HKEY_LOCAL_MACHINE, "Software\\Here");
    LONG rc = 0;
    getDword(key, "Missing", &rc);
    EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(key, "Missing"), ERROR_FILE_NOT_FOUND);
    // Each root is its own tree.
    HKEY other = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Here", 0, KEY_READ, &other), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(setDword(key, "x", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
}

TEST(WinRegistry, BadArgumentsAndReadOnlyHandlesAreRefused) {
    testsupport::freshRegistry();
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Args");
    const BYTE two[2] = {1, 2};
    EXPECT_EQ(RegSetValueExA(key, "d", 0, REG_DWORD, two, 2), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, "b", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(key, std::string(256, 'k').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_INVALID_PARAMETER);
    BYTE buffer[4];
    EXPECT_EQ(RegQueryValueExA(key, "d", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);

    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Args", 0, KEY_READ, &readOnly), ERROR_SUCCESS);
    EXPECT_EQ(setDword(readOnly, "x", 1), ERROR_ACCESS_DENIED);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyExA(readOnly, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
              ERROR_ACCESS_DENIED);
    RegCloseKey(readOnly);
}

TEST(WinRegistry, KeysWithSubkeysAndRootsCannotBeDeletedAndHandlesToDeletedKeysSaySo) {
    testsupport::freshRegistry();
    HKEY parent = create(HKEY_CURRENT_USER, "Software\\Parent");
    HKEY child = create(parent, "Child");
    ASSERT_EQ(setDword(child, "v", 1), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Parent"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(parent, "child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(parent, "child"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(setDword(child, "v", 2), ERROR_KEY_DELETED);
    LONG rc = 0;
    getDword(child, "v", &rc);
    EXPECT_EQ(rc, ERROR_KEY_DELETED);
    // A key made again under the same name is a new key: the values of the old one are gone.
    HKEY again = create(parent, "Child");
    getDword(again, "v", &rc);
    EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(setDword(child, "v", 3), ERROR_KEY_DELETED);
    for (HKEY k : {parent, child, again})
        RegCloseKey(k);
}

TEST(WinRegistry, EnumerationListsKeysByNameAndValuesInWrittenOrder) {
    testsupport::freshRegistry();
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Enum");
    for (const char* name : {"beta", "Alpha", "gamma"})
        RegCloseKey(create(key, name));
    for (const char* name : {"z", "a", "m"})
        setDword(key, name, 1);
    setDword(key, "z", 2); // an overwrite keeps its place

    std::vector<std::string> keys, values;
    char name[16];
    DWORD count = sizeof name;
    for (DWORD i = 0; RegEnumKeyExA(key, i, name, &count, nullptr, nullptr, nullptr, nullptr) == 0; ++i) {
        keys.emplace_back(name);
        count = sizeof name;
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    count = sizeof name;
    for (DWORD i = 0; RegEnumValueA(key, i, name, &count, nullptr, nullptr, nullptr, nullptr) == 0; ++i) {
        values.emplace_back(name);
        count = sizeof name;
    }
    EXPECT_EQ(values, (std::vector<std::string>{"z", "a", "m"}));
    count = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key, 3, name, &count, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    count = 5; // "Alpha" needs 6 bytes with its zero
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &count, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);

    DWORD subKeys = 0, maxSubKey = 0, valueCount = 0, maxValueName = 0, maxValue = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &valueCount,
                               &maxValueName, &maxValue, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 3u);
    EXPECT_EQ(maxSubKey, 5u);
    EXPECT_EQ(valueCount, 3u);
    EXPECT_EQ(maxValueName, 1u);
    EXPECT_EQ(maxValue, 4u);
    RegCloseKey(key);
}

TEST(WinRegistry, ValuesAreInTheDatabaseFileAfterItIsOpenedAnew) {
    auto path = testsupport::freshRegistry();
    HKEY key = create(HKEY_CURRENT_USER, SharedKey);
    ASSERT_EQ(setDword(key, "Kept", 42), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegDatabasePath(), std::filesystem::absolute(path).string());

    testsupport::freshRegistry("-elsewhere"); // the root keys now use another file
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, SharedKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    setenv("QUILLAN_REGISTRY", path.c_str(), 1);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, SharedKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(getDword(key, "Kept"), 42u);
    RegCloseKey(key);
    EXPECT_EQ(integrityCheck(path), "ok");

    // A database deleted while in use is made anew instead of writing on into the deleted file.
    testsupport::freshRegistry();
    key = create(HKEY_CURRENT_USER, SharedKey);
    ASSERT_EQ(setDword(key, "Fresh", 1), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(integrityCheck(path), "ok");
}

TEST(WinRegistry, ProcessesWritingAtTheSameTimeLoseNothing) {
    testsupport::freshRegistry();
    constexpr int Count = 60;
    pid_t first = startChild("write:first:" + std::to_string(Count));
    pid_t second = startChild("write:second:" + std::to_string(Count));
    HKEY key = create(HKEY_CURRENT_USER, SharedKey);
    for (int i = 0; i < Count; ++i)
        ASSERT_EQ(setDword(key, ("parent-" + std::to_string(i)).c_str(), DWORD(i)), 0);
    for (pid_t pid : {first, second}) {
        int status = waitChild(pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    }
    for (const char* tag : {"parent", "first", "second"})
        for (int i = 0; i < Count; ++i)
            EXPECT_EQ(getDword(key, (std::string(tag) + "-" + std::to_string(i)).c_str()), DWORD(i))
                << tag << i;
    DWORD values = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    EXPECT_EQ(values, 3u * Count);
    RegCloseKey(key);
}

TEST(WinRegistry, AValueWrittenSurvivesTheWriterBeingKilled) {
    auto path = testsupport::freshRegistry();
    int status = waitChild(startChild("crash:killed"));
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "child status " << status;
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, SharedKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(getDword(key, "killed-0"), 0u);
    RegCloseKey(key);
    EXPECT_EQ(integrityCheck(path), "ok");
}

TEST(WinRegistry, AFileThatIsNoDatabaseIsReportedAndLeftAlone) {
    auto path = testsupport::freshRegistry();
    const std::string junk(4096, 'j');
    std::ofstream(path, std::ios::binary) << junk;
    HKEY key = nullptr;
    EXPECT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_BADDB);
    EXPECT_NE(RegLastErrorDetail().find(path.filename().string()), std::string::npos) << RegLastErrorDetail();
    auto bytes = testsupport::readFile(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), junk);
}
