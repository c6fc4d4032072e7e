// Points the registry (QUILLAN_REGISTRY) at a fresh database in the test work folder, named after the
// running test, so no test touches the user's own registry or another test's values.
#pragma once

#include "support/TestWork.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace testsupport {

inline std::filesystem::path freshRegistry(const std::string& suffix = "") {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "registry";
    for (char& c : name)
        if (c == '/') c = '_';
    std::filesystem::path path = workDir("registry") / (name + suffix + ".db");
    for (const char* extra : {"", "-wal", "-shm"})
        std::filesystem::remove(path.string() + extra);
    setenv("QUILLAN_REGISTRY", path.c_str(), 1);
    return path;
}

} // namespace testsupport
