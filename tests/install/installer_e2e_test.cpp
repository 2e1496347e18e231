// installer_e2e_test.cpp - the built installers run as processes from an
// installation set into temporary roots: their lines, exit status, the files
// they copy, the registry values they leave and the desktop launcher.
//
// The set holds the built library of this word size, stand-ins for the
// others and for quillon.  With ORVANE_INSTALL_SET naming a folder made by
// scripts/build-install-set, the tests run that set's installers on its own
// files instead (quillon still a stand-in until the set carries one).
#include "platform/registry.h"

#include <dlfcn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr bool kBits64 = sizeof(void *) == 8;
const std::string kOwnLib = kBits64 ? "libtenqv264.so" : "libtenqv232.so";
const std::string kSupport = "HKEY_LOCAL_MACHINE->Software->PassThruSupport";

struct Installer {
    std::string name;
    const char *built;  // used unless the tests run on a given set
    std::string suffix;
};
void PrintTo(const Installer &installer, std::ostream *out)
{
    *out << installer.suffix;
}
const Installer kFD{"tenqinstall", TENQINSTALL, "FD"};
const Installer kIOT{"orvaneiotinstall", ORVANEIOTINSTALL, "IOT"};

std::string read_file(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> split_lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string shell_quoted(const std::string &s)
{
    return "'" + s + "'";  // the test's paths hold no single quote
}

unsigned mode_of(const fs::path &path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class InstallerTest : public testing::TestWithParam<Installer> {
  protected:
    void SetUp() override
    {
        char name[] = "/tmp/installer_test.XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        base_ = name;
        set_ = base_ / "set";
        // A blank in the root makes the launcher quote its Exec line.
        root_ = (base_ / "root dir").string();
        home_ = (base_ / "home").string();
        fs::create_directories(set_);
        if (given_set_ != nullptr) {
            fs::copy(given_set_, set_);
        } else {
            fs::copy_file(TENQ_LIB_0404, set_ / kOwnLib);
            for (std::string lib : {"libtenqv232.so", "libtenqv264.so", "libtenq32.so"}) {
                if (lib != kOwnLib)
                    std::ofstream(set_ / lib)
                        << "stand-in for " << lib << std::string(5000, '\x7f');
            }
        }
        if (!fs::exists(set_ / "quillon"))
            write_quillon();
        // The installed modes come from the installer, not from the set.
        for (const auto &entry : fs::directory_iterator(set_)) {
            if (!entry.path().filename().string().ends_with("install"))
                fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::owner_write);
        }
    }
    void TearDown() override { fs::remove_all(base_); }

    // The test application's stand-in.
    void write_quillon()
    {
        std::ofstream(set_ / "quillon") << "#!/bin/sh\necho stand-in quillon\n";
        fs::permissions(set_ / "quillon", fs::perms::owner_read | fs::perms::owner_write);
    }

    struct Run {
        int status;
        std::vector<std::string> lines;
    };

    // `env`: the environment beyond PATH and ORVANE_ROOT.
    Run run(const Installer &installer, const std::string &env)
    {
        fs::path out = base_ / "out";
        // A restrictive umask must not hide the installation from other users.
        std::string command = "umask 077 && cd " + shell_quoted(set_.string()) +
                              " && env -i PATH=/usr/bin:/bin ORVANE_ROOT=" + shell_quoted(root_) +
                              " " + env + " " + INSTALL_TEST_EMULATOR + " " + program(installer) +
                              " </dev/null >" + shell_quoted(out.string()) + " 2>&1";
        int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, split_lines(read_file(out))};
    }
    std::string program(const Installer &installer)
    {
        return given_set_ != nullptr ? (set_ / installer.name).string() : installer.built;
    }
    Run run(const Installer &installer) { return run(installer, "HOME=" + shell_quoted(home_)); }

    std::string values(const std::string &key_path)
    {
        return read_file(fs::path(root_) / "etc/passthru/registry" / key_path / "values.conf");
    }
    std::string lib(const std::string &file) { return root_ + "/usr/local/lib/" + file; }
    std::string sys(const std::string &file) { return root_ + "/usr/local/lib/passthru/" + file; }

    std::vector<std::string> fresh_lines(const std::string &suffix)
    {
        std::vector<std::string> lines = {"Creating " + kSupport + ".04.04 key",
                                          "Creating " + kSupport + ".04.04->Vexlar-Orvane-" +
                                              suffix + " key"};
        std::vector<std::string> libs = {"libtenqv232.so"};
        if (kBits64)
            libs.push_back("libtenqv264.so");
        for (const std::string &file : libs)
            lines.insert(lines.end(), {"Copied " + file + " to " + lib(file),
                                       "Copied " + file + " to " + sys(file)});
        lines.insert(lines.end(),
                     {"Windows registry entries complete", "Creating " + kSupport + " key",
                      "Creating " + kSupport + "->Vendor1 key",
                      "Copied libtenq32.so to " + lib("libtenq32.so"),
                      "Copied libtenq32.so to " + sys("libtenq32.so"),
                      "Creating " + kSupport + "->Vendor1->Devices key",
                      "Creating " + kSupport + "->Vendor1->Devices->Device2 key",
                      "Windows registry entries complete",
                      "Copied quillon to " + root_ + "/usr/local/bin/quillon",
                      "Added Desktop Shortcut", "Installation complete", "Press any key..."});
        return lines;
    }
    std::string device_values(const std::string &suffix)
    {
        std::string text = "Vendor=\"Vexlar LLC\"\nName=\"Orvane-" + suffix +
                           "\"\nConfigApplication=\"quillon\"\nFunctionLibrary=\"" + sys(kOwnLib) +
                           "\"\n";
        for (const char *flag : {"CAN", "ISO15765", "MSCAN", "MSISO15765", "CAN_CH1",
                                 "ISO15765_CH1", "CAN_CH2", "ISO15765_CH2", "ISO9141", "ISO14230"})
            text += std::string(flag) + "=dword:00000001\n";
        return text;
    }
    std::string device2_values(const std::string &suffix)
    {
        return "DeviceId=dword:00000000\nName=\"Orvane-" + suffix +
               "\"\nProtocolsSupported=\"CAN,ISO15765,ISO9141,ISO14230\"\n"
               "ConfigApplication=\"quillon\"\nFunctionLibrary=\"" +
               sys("libtenq32.so") + "\"\n";
    }
    std::string launcher() { return home_ + "/Desktop/quillon.desktop"; }

    // The 04.04 entry's library, as an application of this word size finds
    // and loads it.
    void expect_function_library_loads(const std::string &suffix)
    {
        setenv("ORVANE_ROOT", root_.c_str(), 1);
        std::string key = "Software\\PassThruSupport.04.04\\Vexlar-Orvane-" + suffix;
        platform::HKEY device = nullptr;
        ASSERT_EQ(platform::reg_open_key(platform::HKEY_LOCAL_MACHINE, key.c_str(),
                                         platform::KEY_READ, &device),
                  0);
        char path[256];
        uint32_t size = sizeof path;
        ASSERT_EQ(platform::reg_query_value(device, "FunctionLibrary", nullptr,
                                            reinterpret_cast<uint8_t *>(path), &size),
                  0);
        platform::reg_close_key(device);
        unsetenv("ORVANE_ROOT");
        void *handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        for (const char *name :
             {"PassThruOpen", "PassThruClose", "PassThruConnect", "PassThruDisconnect",
              "PassThruReadMsgs", "PassThruWriteMsgs", "PassThruStartPeriodicMsg",
              "PassThruStopPeriodicMsg", "PassThruStartMsgFilter", "PassThruStopMsgFilter",
              "PassThruSetProgrammingVoltage", "PassThruReadVersion", "PassThruGetLastError",
              "PassThruIoctl"})
            EXPECT_NE(dlsym(handle, name), nullptr) << name;
        dlclose(handle);
    }

    const char *given_set_ = std::getenv("ORVANE_INSTALL_SET");
    fs::path base_, set_;
    std::string root_, home_;
};

TEST_P(InstallerTest, FreshInstallThenReinstallKeepsHandAddedValues)
{
    const Installer &installer = GetParam();
    const std::string &suffix = installer.suffix;
    Run first = run(installer);
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.lines, fresh_lines(suffix));

    std::vector<std::string> libs = {"libtenqv232.so", "libtenq32.so"};
    if (kBits64)
        libs.push_back("libtenqv264.so");
    else
        EXPECT_FALSE(fs::exists(lib("libtenqv264.so")));
    for (const std::string &file : libs) {
        for (const std::string &copy : {lib(file), sys(file)}) {
            EXPECT_EQ(read_file(copy), read_file(set_ / file)) << copy;
            EXPECT_EQ(mode_of(copy), 0644u) << copy;
        }
    }
    for (const char *folder : {"usr/local/lib/passthru", "usr/local/bin",
                               "etc/passthru/registry/Software/PassThruSupport/Vendor1/Devices"})
        EXPECT_EQ(mode_of(fs::path(root_) / folder), 0755u) << folder;
    std::string program = root_ + "/usr/local/bin/quillon";
    EXPECT_EQ(read_file(program), read_file(set_ / "quillon"));
    EXPECT_EQ(mode_of(program), 0755u);

    const std::string device_key = "Software/PassThruSupport.04.04/Vexlar-Orvane-" + suffix;
    const std::string vendor1 = "Software/PassThruSupport/Vendor1";
    EXPECT_EQ(values(device_key), device_values(suffix));
    EXPECT_EQ(values(vendor1), "Id=dword:00000000\nName=\"Vexlar LLC\"\n");
    EXPECT_EQ(values(vendor1 + "/Devices/Device2"), device2_values(suffix));
    expect_function_library_loads(suffix);

    std::string desktop = read_file(launcher());
    EXPECT_NE(desktop.find("\nExec=env \"ORVANE_ROOT=" + root_ + "\" \"" + program + "\"\n"),
              std::string::npos)
        << desktop;
    std::string validate = std::string(DESKTOP_FILE_VALIDATE) + " " + shell_quoted(launcher());
    EXPECT_EQ(std::system(validate.c_str()), 0) << desktop;

    // Hand-added options survive a second run; J1850 flags do not come back.
    std::ofstream(fs::path(root_) / "etc/passthru/registry" / device_key / "values.conf",
                  std::ios::app)
        << "Debug=\"1\"\nSuppressPopups=dword:00000001\nIOT=\"12\"\nJ1850PWM=dword:00000001\n";
    Run second = run(installer);
    EXPECT_EQ(second.status, 0);
    std::vector<std::string> expected = fresh_lines(suffix);
    std::erase_if(expected, [](const std::string &l) { return l.starts_with("Creating"); });
    expected.insert(std::find(expected.begin(), expected.end(),
                              "Copied libtenq32.so to " + lib("libtenq32.so")),
                    "Found Vexlar");
    EXPECT_EQ(second.lines, expected);
    std::vector<std::string> kept = split_lines(values(device_key));
    std::vector<std::string> want = split_lines(device_values(suffix));
    want.insert(want.end(), {"Debug=\"1\"", "SuppressPopups=dword:00000001", "IOT=\"12\""});
    std::sort(kept.begin(), kept.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(kept, want);
    EXPECT_EQ(values(vendor1), "Id=dword:00000000\nName=\"Vexlar LLC\"\n");
    EXPECT_EQ(values(vendor1 + "/Devices/Device2"), device2_values(suffix));
}

INSTANTIATE_TEST_SUITE_P(BothDevices, InstallerTest, testing::Values(kFD, kIOT),
                         [](const auto &info) { return info.param.suffix; });

using InstallerFailureTest = InstallerTest;

// Vendor slots of the older layout held by others are never taken over.
TEST_F(InstallerFailureTest, VendorSlotSearch)
{
    const std::string other = "Name=\"Other Co\"\nId=dword:00000003\n";
    const std::string unreadable = "Name=\"Vexlar" + std::string(300, 'x') + "\"\n";
    std::map<int, std::string> all_others;
    for (int slot = 1; slot <= 8; ++slot)
        all_others[slot] = other;
    struct Case {
        const char *what;
        std::map<int, std::string> slots;
        int taken;  // 0: none
        std::string line;
    } cases[] = {
        {"three others, one Name too long to read",
         {{1, other}, {2, other}, {3, unreadable}},
         4,
         "Creating " + kSupport + "->Vendor4 key"},
        {"a slot without Name",
         {{1, other}, {2, "Id=dword:00000005\n"}},
         2,
         "Name key not found under Vendor2"},
        {"ours after another's", {{1, other}, {2, "Name=\"Vexlar LLC\"\n"}}, 2, "Found Vexlar"},
        {"all eight others", all_others, 0,
         "ERROR: No free vendor key: Vendor1 to Vendor8 under " + kSupport +
             " belong to other vendors"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(root_);
        for (const auto &[slot, text] : c.slots) {
            fs::path dir = fs::path(root_) / "etc/passthru/registry/Software/PassThruSupport" /
                           ("Vendor" + std::to_string(slot));
            fs::create_directories(dir);
            std::ofstream(dir / "values.conf") << text;
        }
        Run r = run(kFD);
        EXPECT_NE(std::find(r.lines.begin(), r.lines.end(), c.line), r.lines.end());
        for (const auto &[slot, text] : c.slots) {
            if (slot != c.taken) {
                EXPECT_EQ(values("Software/PassThruSupport/Vendor" + std::to_string(slot)), text);
            }
        }
        if (c.taken == 0) {
            EXPECT_EQ(r.status, 255);
            ASSERT_GE(r.lines.size(), 2u);
            EXPECT_EQ(r.lines.end()[-2], c.line);
            EXPECT_FALSE(fs::exists(lib("libtenq32.so")));
            continue;
        }
        EXPECT_EQ(r.status, 0);
        std::string slot = "Software/PassThruSupport/Vendor" + std::to_string(c.taken);
        EXPECT_EQ(values(slot), "Id=dword:00000000\nName=\"Vexlar LLC\"\n");
        EXPECT_EQ(values(slot + "/Devices/Device2"), device2_values("FD"));
    }
}

// Each case: what breaks, and the lines that replace the fresh run's.
TEST_F(InstallerFailureTest, FailurePaths)
{
    const std::string registry = root_ + "/etc/passthru/registry";
    const std::string long_root = (base_ / std::string(200, 'r')).string();
    struct Case {
        const char *what;
        std::function<void()> prepare;
        std::string env;
        std::function<std::vector<std::string>(std::vector<std::string>)> lines;
        int status;
        std::function<void()> check;
    } cases[] = {
        {"a destination that cannot be replaced",
         [&] { fs::create_directories(lib("libtenqv232.so") + "/in-use"); }, "HOME=" + home_,
         [&](std::vector<std::string> l) {
             l.resize(2);
             l.insert(l.end(),
                      {"ERROR: Could not copy libtenqv232.so to " + lib("libtenqv232.so") + ".",
                       "ERROR: Close all programs and retry", "Press any key..."});
             return l;
         },
         255, [&] { EXPECT_FALSE(fs::exists(registry + "/Software/PassThruSupport")); }},
        {"a value that cannot be written",
         [&] {
             fs::create_directories(registry +
                                    "/Software/PassThruSupport.04.04/Vexlar-Orvane-FD/values.conf");
         },
         "HOME=" + home_,
         [&](std::vector<std::string> l) {
             l.erase(l.begin(), l.begin() + 2);
             l.resize(kBits64 ? 4 : 2);  // the 04.04 libraries' copies
             l.insert(l.end(), {"ERROR: Cannot set Vendor1-Device1 Vendor", "Press any key..."});
             return l;
         },
         255, [&] { EXPECT_FALSE(fs::exists(registry + "/Software/PassThruSupport")); }},
        {"a registry that cannot be created",
         [&] {
             fs::create_directories(root_ + "/etc/passthru");
             std::ofstream(registry) << "not a folder\n";
         },
         "HOME=" + home_,
         [&](std::vector<std::string>) {
             return std::vector<std::string>{"INFO: Cannot open HKEY_LOCAL_MACHINE->Software key",
                                             "Creating " + kSupport + ".04.04 key",
                                             "ERROR: Cannot create " + kSupport + ".04.04 key",
                                             "Press any key..."};
         },
         255, [&] { EXPECT_FALSE(fs::exists(lib("libtenqv232.so"))); }},
        {"a library path longer than its readers take", [&] { root_ = long_root; }, "HOME=" + home_,
         [&](std::vector<std::string>) {
             return std::vector<std::string>{"ERROR: Library path longer than 255 characters: " +
                                                 sys(kOwnLib),
                                             "Press any key..."};
         },
         255, [&] { EXPECT_FALSE(fs::exists(long_root)); }},
        {"no quillon in the set", [&] { fs::remove(set_ / "quillon"); }, "HOME=" + home_,
         [&](std::vector<std::string> l) {
             l.erase(l.end() - 4, l.end() - 2);
             l.insert(l.end() - 2,
                      "ERROR: Could not copy quillon to " + root_ + "/usr/local/bin/quillon.");
             return l;
         },
         0, [&] { EXPECT_FALSE(fs::exists(launcher())); }},
        {"neither HOME nor XDG_DESKTOP_DIR", [] {}, "",
         [&](std::vector<std::string> l) {
             l.end()[-3] = "ERROR: Cannot add Desktop Shortcut: neither XDG_DESKTOP_DIR nor "
                           "HOME is set";
             return l;
         },
         0, [] {}},
        {"a desktop folder that cannot be made",
         [&] {
             fs::create_directories(home_);
             std::ofstream(home_ + "/Desktop") << "a file\n";
         },
         "HOME=" + home_,
         [&](std::vector<std::string> l) {
             l.end()[-3] = "ERROR: Cannot add Desktop Shortcut " + launcher();
             return l;
         },
         0, [] {}},
        {"XDG_DESKTOP_DIR names the desktop", [] {},
         "HOME=/nonexistent XDG_DESKTOP_DIR=" + (base_ / "desk/top").string(),
         [](std::vector<std::string> l) { return l; }, 0,
         [&] { EXPECT_TRUE(fs::exists(base_ / "desk/top/quillon.desktop")); }},
    };
    const std::string fresh_root = root_;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        root_ = fresh_root;
        fs::remove_all(root_);
        fs::remove_all(home_);
        if (!fs::exists(set_ / "quillon"))
            write_quillon();
        c.prepare();
        Run r = run(kFD, c.env);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.lines, c.lines(fresh_lines("FD")));
        c.check();
    }
}

}  // namespace
