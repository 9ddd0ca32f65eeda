// Temporary file names that stay apart when tests run in parallel processes.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace tb {

// TempDir()/<suite>.<test>.<pid>.<name>
inline std::string tempPath(const std::string& name) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string test = info ? std::string(info->test_suite_name()) + "." + info->name() : "test";
    return ::testing::TempDir() + test + "." + std::to_string(::getpid()) + "." + name;
}

}  // namespace tb
