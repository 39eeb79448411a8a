// A fixture for tests that write files: a private directory made with mkdtemp under $TMPDIR (or
// /tmp) before each test and removed with everything in it afterwards, so a test writes only
// into its own directory and leaves nothing behind.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class TempDirTest : public ::testing::Test {
  protected:
    std::string dir; // no trailing '/'
    void SetUp() override {
        const char *tmp = getenv("TMPDIR");
        std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/torva-test-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(templ.data()));
        dir = templ;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};
