// file_replace_test.cpp - the temporaries of replacements: a live writer's
// stays, those of killed writers go, nothing else beside them is touched.
#include "platform/file_replace.h"
#include "tests/platform/temp_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

class FileReplaceTest : public TempFolderTest {
  protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        dir_ = base_;
    }

    std::set<std::string> names() const
    {
        std::set<std::string> found;
        for (const auto &entry : fs::directory_iterator(dir_))
            found.insert(entry.path().filename());
        return found;
    }
    static std::string read(const fs::path &path)
    {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir_;
};

TEST_F(FileReplaceTest, RemovesOnlyLeftoversOfKilledWriters)
{
    const struct {
        const char *name;
        bool kept;
        bool locked;  // by a writer that is still writing
        bool link;
    } cases[] = {
        {".values.conf.orvane-partial-Ab12Cd", false, false, false},
        {".values.conf.orvane-partial-Ef34Gh", true, true, false},
        {".values.conf.orvane-partial-Ij56Kl", true, false, true},
        {".values.conf.Ab12Cd", true, false, false},  // a user's hidden copy
        {".values.conf.orvane-partial-Ab12C", true, false, false},
        {".other.conf.orvane-partial-Ab12Cd", true, false, false},  // another file's
    };
    std::ofstream(dir_ / "target") << "kept";
    std::vector<int> locks;
    for (const auto &c : cases) {
        if (c.link) {
            fs::create_symlink(dir_ / "target", dir_ / c.name);
            continue;
        }
        std::ofstream(dir_ / c.name) << "partial";
        if (c.locked) {
            locks.push_back(open((dir_ / c.name).c_str(), O_RDONLY | O_CLOEXEC));
            ASSERT_EQ(flock(locks.back(), LOCK_EX), 0);
        }
    }
    ASSERT_TRUE(platform::replace_file_with_text(dir_ / "values.conf", "new\n", 0644));
    for (const auto &c : cases)
        EXPECT_EQ(fs::exists(fs::symlink_status(dir_ / c.name)), c.kept) << c.name;
    EXPECT_EQ(read(dir_ / "values.conf"), "new\n");
    EXPECT_EQ(read(dir_ / "target"), "kept");
    for (int fd : locks)
        close(fd);
}

// A copy still reading its source holds its temporary: a replacement of
// the same file meanwhile leaves it, and the copy's rename comes last.
TEST_F(FileReplaceTest, LiveWriterKeepsItsTemporary)
{
    const fs::path source = dir_ / "source", destination = dir_ / "values.conf";
    ASSERT_EQ(mkfifo(source.c_str(), 0600), 0);
    bool copied = false;
    std::thread writer(
        [&] { copied = platform::replace_file_with_copy(source, destination, 0644); });
    int feed = open(source.c_str(), O_WRONLY | O_CLOEXEC);
    EXPECT_EQ(write(feed, "first", 5), 5);
    std::string temp;
    for (int wait = 0; wait < 5000 && temp.empty(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        for (const std::string &name : names())
            if (name.starts_with(".values.conf.orvane-partial-"))
                temp = name;
    }
    EXPECT_FALSE(temp.empty());
    EXPECT_TRUE(platform::replace_file_with_text(destination, "second", 0644));
    EXPECT_TRUE(fs::exists(dir_ / temp));
    EXPECT_EQ(write(feed, " copy", 5), 5);
    close(feed);
    writer.join();
    EXPECT_TRUE(copied);
    EXPECT_EQ(read(destination), "first copy");
    EXPECT_EQ(names(), (std::set<std::string>{"source", "values.conf"}));
}

}  // namespace
