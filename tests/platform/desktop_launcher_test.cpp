// desktop_launcher_test.cpp - where the desktop is, and the launcher that
// root writes for the owner of the home folder.
#include "platform/desktop_launcher.h"
#include "tests/platform/temp_folder.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

namespace fs = std::filesystem;

class DesktopLauncherTest : public TempFolderTest {
  protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        home_ = base_ + "/home";
        for (const char *variable : {"XDG_DESKTOP_DIR", "XDG_CONFIG_HOME"})
            unsetenv(variable);
        setenv("HOME", home_.c_str(), 1);
    }

    std::string home_;
};

TEST_F(DesktopLauncherTest, DesktopFolder)
{
    const std::string named = "XDG_DESKTOP_DIR=\"$HOME/Named\"\n";
    const struct {
        const char *what;
        std::string environment, config_home, user_dirs, desktop;
    } cases[] = {
        {"the environment first", "/env/desk", "", named, "/env/desk"},
        {"user-dirs.dirs, the last line", "", "",
         "# comment\nXDG_DOWNLOAD_DIR=\"$HOME/Dl\"\n" + named +
             "  XDG_DESKTOP_DIR=\"$HOME/Schreib\\\"tisch\"\n",
         home_ + "/Schreib\"tisch"},
        {"an absolute path", "", "", "XDG_DESKTOP_DIR=\"/srv/desk\"\n", "/srv/desk"},
        {"the home folder", "", "", "XDG_DESKTOP_DIR=\"$HOME\"\n", home_},
        {"XDG_CONFIG_HOME names the file's folder", "", base_ + "/config", named, home_ + "/Named"},
        {"unsupported values", "", "", "XDG_DESKTOP_DIR=/bare\nXDG_DESKTOP_DIR=\"$HOMEX/a\"\n",
         home_ + "/Desktop"},
        {"no file", "", "", "", home_ + "/Desktop"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(base_);
        const std::string config = c.config_home.empty() ? home_ + "/.config" : c.config_home;
        fs::create_directories(config);
        if (!c.user_dirs.empty())
            std::ofstream(config + "/user-dirs.dirs") << c.user_dirs;
        if (!c.environment.empty())
            setenv("XDG_DESKTOP_DIR", c.environment.c_str(), 1);
        if (!c.config_home.empty())
            setenv("XDG_CONFIG_HOME", c.config_home.c_str(), 1);
        EXPECT_EQ(platform::desktop_folder(), c.desktop);
        unsetenv("XDG_DESKTOP_DIR");
        unsetenv("XDG_CONFIG_HOME");
    }
}

// Under sudo: nothing outside the home folder, no link followed below it,
// and what is made belongs to the home folder's owner.
TEST_F(DesktopLauncherTest, AsRootForTheHomeOwner)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    constexpr uid_t kUser = 4321;
    constexpr gid_t kGroup = 4322;
    const std::string elsewhere = base_ + "/elsewhere";
    const struct {
        const char *what;
        std::function<void()> prepare;
        std::string desktop;
        bool written;
    } cases[] = {
        {"a missing desktop", [] {}, home_ + "/Desktop", true},
        {"missing folders below it", [] {}, home_ + "/a/b/Desk", true},
        {"the home folder", [] {}, home_, true},
        {"a desktop outside", [] {}, elsewhere, false},
        {"out through ..", [] {}, home_ + "/../elsewhere", false},
        {"a linked desktop", [&] { fs::create_directory_symlink(elsewhere, home_ + "/Desktop"); },
         home_ + "/Desktop", false},
        {"a linked folder above it", [&] { fs::create_directory_symlink(elsewhere, home_ + "/a"); },
         home_ + "/a/Desk", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(base_);
        fs::create_directories(home_);
        fs::create_directories(elsewhere);
        ASSERT_EQ(chown(home_.c_str(), kUser, kGroup), 0);
        c.prepare();
        const std::string launcher = c.desktop + "/quillon.desktop";
        EXPECT_EQ(platform::write_desktop_launcher(launcher, "/usr/local/bin/quillon", "quillon",
                                                   "J2534"),
                  c.written);
        EXPECT_TRUE(fs::is_empty(elsewhere));
        for (fs::path made = launcher; c.written && made != home_; made = made.parent_path()) {
            struct stat info {};
            ASSERT_EQ(lstat(made.c_str(), &info), 0) << made;
            EXPECT_EQ(info.st_uid, kUser) << made;
            EXPECT_EQ(info.st_gid, kGroup) << made;
            EXPECT_EQ(info.st_mode & 07777, 0755u) << made;
        }
    }
}

}  // namespace
