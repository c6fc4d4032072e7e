// Helpers for tests that make media at test time: a work folder, running commands, reading files.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace testsupport {

// A folder of the build tree (QUILLAN_TEST_WORK, set by CTest) or of /tmp for media made by tests.
inline std::filesystem::path workDir(const std::string& sub) {
    const char* env = std::getenv("QUILLAN_TEST_WORK");
    std::filesystem::path dir = env && *env ? std::filesystem::path(env) : std::filesystem::temp_directory_path() / "quillan-test-work";
    dir /= sub;
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
