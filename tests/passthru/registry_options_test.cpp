// Finding the library's registry entry and reading its options.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "passthru/registry_options.h"
#include "tests/passthru/registry_fixture.h"

namespace {

class RegistryOptionsTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        char templ[] = "/tmp/orvane-reg-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        root_ = templ;
        ::setenv("ORVANE_ROOT", root_.c_str(), 1);
    }
    void TearDown() override
    {
        std::filesystem::remove_all(root_);
        ::unsetenv("ORVANE_ROOT");
    }
    std::string root_;
};

}  // namespace

TEST_F(RegistryOptionsTest, EntryIsFoundByItsNameWhateverTheKeyIsCalled)
{
    EXPECT_EQ(tenq::AllowDebug(), 0u);  // no registry at all
    // A folder no key name could give comes first, and is passed over.
    tenq_test::write_device_entry(root_, "Name=\"Other-Box\"\n", "0\\odd");
    tenq_test::write_device_entry(root_, "Name=\"Other-Box\"\nDebug=\"1\"\n", "A-Vendor");
    EXPECT_EQ(tenq::AllowDebug(), 0u);
    tenq_test::write_device_entry(
        root_, "Name=\"ORVANE-IOT\"\nSuppressPopups=hex(3):00\nIOT=\"0012\"\n", "B-Box");
    EXPECT_EQ(tenq::AllowDebug(), 0u);
    EXPECT_EQ(tenq::SuppressPopups(), 1u);
    EXPECT_EQ(tenq::CheckIOTNumInRegistry(), 12u);
    // A later entry with the other device name is never reached.
    tenq_test::write_device_entry(root_, "Name=\"Orvane-FD\"\nDebug=\"1\"\n", "C-Box");
    EXPECT_EQ(tenq::AllowDebug(), 0u);
}

TEST_F(RegistryOptionsTest, OnlyTheFirst32SubKeysAreLookedAt)
{
    char key[16];
    for (int i = 0; i < 32; ++i) {
        std::snprintf(key, sizeof key, "K%02d", i);
        tenq_test::write_device_entry(root_, "Name=\"Nobody\"\n", key);
    }
    tenq_test::write_device_entry(root_, "Name=\"Orvane-FD\"\nDebug=\"1\"\n", "K32");
    EXPECT_EQ(tenq::AllowDebug(), 0u);
    std::filesystem::remove_all(std::filesystem::path(root_) /
                                "etc/passthru/registry/Software/PassThruSupport.04.04/K00");
    EXPECT_EQ(tenq::AllowDebug(), 1u);
}

TEST_F(RegistryOptionsTest, ValuesThatDoNotFitCountAsAbsent)
{
    tenq_test::write_device_entry(root_, "Name=\"Orvane-FD\"\nDebug=\"" + std::string(239, 'd') +
                                             "\"\nIOT=\"" + std::string(240, '7') + "\"\n");
    EXPECT_EQ(tenq::AllowDebug(), 1u);             // 239 characters and the terminator fit
    EXPECT_EQ(tenq::CheckIOTNumInRegistry(), 0u);  // 240 do not

    tenq_test::write_device_entry(root_, "Name=\"Orvane-FD\"\nIOT=\"0x1F\"\n");
    EXPECT_EQ(tenq::CheckIOTNumInRegistry(),
              0u);  // the leading zero goes first: "x1F" is no number
    tenq_test::write_device_entry(root_, "Name=\"Orvane-FD\"\nIOT=\"000010\"\n");
    EXPECT_EQ(tenq::CheckIOTNumInRegistry(), 10u);
}

TEST_F(RegistryOptionsTest, EditorsByteOrderMarkDoesNotHideTheEntrysName)
{
    // Saved by an editor that marks UTF-8, with Windows line ends.
    tenq_test::write_device_entry(root_,
                                  "\xEF\xBB\xBFName=\"Orvane-FD\"\r\nSuppressPopups=dword:1\r\n");
    EXPECT_EQ(tenq::SuppressPopups(), 1u);
    // Only at the start of the file is it a mark.
    tenq_test::write_device_entry(root_,
                                  "Name=\"Orvane-FD\"\n\xEF\xBB\xBFSuppressPopups=dword:1\n");
    EXPECT_EQ(tenq::SuppressPopups(), 0u);
}
