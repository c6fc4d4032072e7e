// Helpers for tests that make media at test time: a work folder, running commands, reading files.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace testsupport {

// The running test's own folder name ("Suite.Name"), or empty outside a test. CTest runs tests in
// parallel processes: files made under a folder of their own cannot be rewritten by another test while
// this one reads them.
inline std::string currentTestFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!info) return {};
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    return name;
}

// A folder of the build tree (QUILLAN_TEST_WORK, set by CTest) or of /tmp for media made by tests, one
// per test.
inline std::filesystem::path workDir(const std::string& sub) {
    const char* env = std::getenv("QUILLAN_TEST_WORK");
    std::filesystem::path dir = env && *env ? std::filesystem::path(env) : std::filesystem::temp_directory_path() / "quillan-test-work";
    dir /= sub;
    dir /= currentTestFolder();
    std::filesystem::create_directories(dir);
    return dir;
}

// Runs a shell command; returns its exit status (-1 when it could not run or was killed).
inline int run(const std::string& command) {
    int rc = std::system(command.c_str());
    if (rc == -1 || !WIFEXITED(rc)) return -1;
    return WEXITSTATUS(rc);
}

// Runs a command and returns what it printed on standard output.
inline std::string capture(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int rc = pclose(p);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

inline std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::string quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

inline bool haveFfmpeg() { return run("ffmpeg -hide_banner -version >/dev/null 2>&1") == 0; }

} // namespace testsupport
