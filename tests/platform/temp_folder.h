// temp_folder.h - a fresh folder below /tmp for each test, removed after it.
#pragma once

#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

class TempFolderTest : public testing::Test {
  protected:
    void SetUp() override
    {
        std::string name = "/tmp/";
        name += testing::UnitTest::GetInstance()->current_test_info()->test_suite_name();
        name += ".XXXXXX";
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        base_ = name;
    }
    void TearDown() override { std::filesystem::remove_all(base_); }

    std::string base_;
};
