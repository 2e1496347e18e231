// installer_e2e_test.cpp - the built installers run from an installation set
// into temporary roots: their lines, status, copies, registry and launcher.
// The set: the built library of this word size and stand-ins, or the set
// ORVANE_INSTALL_SET names (scripts/build-install-set); quillon a stand-in.
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
using Lines = std::vector<std::string>;

constexpr bool kBits64 = sizeof(void *) == 8;
const std::string kOwnLib = kBits64 ? "libtenqv264.so" : "libtenqv232.so";
const std::string kSupport = "HKEY_LOCAL_MACHINE->Software->PassThruSupport";
const std::string kVexlar = "Id=dword:00000000\nName=\"Vexlar LLC\"\n";

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

Lines split_lines(const std::string &text)
{
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string sh_quoted(const std::string &s)
{
    return "'" + s + "'";
}  // paths hold no quote

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
        root_ = (base_ / "root dir").string();  // a blank: the Exec line is quoted
        home_ = (base_ / "home").string();
        fs::create_directories(set_);
        if (given_set_ != nullptr) {
            fs::copy(given_set_, set_);
        } else {
            fs::copy_file(TENQ_LIB_0404, set_ / kOwnLib);
            for (std::string lib : {"libtenqv232.so", "libtenqv264.so", "libtenq32.so"})
                if (lib != kOwnLib)
                    std::ofstream(set_ / lib) << "stand-in " << lib << std::string(5000, '\x7f');
        }
        write_quillon();
        // The installed modes come from the installer, not from the set.
        for (const auto &entry : fs::directory_iterator(set_))
            if (!entry.path().filename().string().ends_with("install"))
                fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::owner_write);
    }
    void TearDown() override { fs::remove_all(base_); }

    void write_quillon()  // the test application's stand-in
    {
        if (!fs::exists(set_ / "quillon"))
            std::ofstream(set_ / "quillon") << "#!/bin/sh\necho stand-in quillon\n";
    }

    struct Run {
        int status;
        Lines lines;
    };
    // `env`: the environment beyond PATH and ORVANE_ROOT.  A restrictive
    // umask must not hide the installation from other users.
    Run run(const Installer &installer, const std::string &env = "")
    {
        const fs::path out = base_ / "out";
        const std::string program =
            given_set_ != nullptr ? (set_ / installer.name).string() : installer.built;
        const std::string command =
            "umask 077 && cd " + sh_quoted(set_.string()) + " && env -i PATH=/usr/bin:/bin " +
            "ORVANE_ROOT=" + sh_quoted(root_) + " " +
            (env.empty() ? "HOME=" + sh_quoted(home_) : env) + " " + INSTALL_TEST_EMULATOR + " " +
            program + " </dev/null >" + sh_quoted(out.string()) + " 2>&1";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, split_lines(read_file(out))};
    }

    std::string values(const std::string &key_path)
    {
        return read_file(fs::path(root_) / "etc/passthru/registry" / key_path / "values.conf");
    }
    std::string lib(const std::string &file) { return root_ + "/usr/local/lib/" + file; }
    std::string sys(const std::string &file) { return root_ + "/usr/local/lib/passthru/" + file; }
    std::string launcher() { return home_ + "/Desktop/quillon.desktop"; }
    std::string missing(const std::string &file)
    {
        return "ERROR: Installation not complete: " + sys(file) + " is missing";
    }

    Lines fresh_lines(const std::string &suffix)
    {
        Lines lines = {"Creating " + kSupport + ".04.04 key",
                       "Creating " + kSupport + ".04.04->Vexlar-Orvane-" + suffix + " key"};
        for (const std::string file : {"libtenqv232.so", "libtenqv264.so"})
            if (kBits64 || file == kOwnLib)
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

    const char *given_set_ = std::getenv("ORVANE_INSTALL_SET");
    fs::path base_, set_;
    std::string root_, home_;
};

TEST_P(InstallerTest, FreshInstallThenReinstallKeepsHandAddedValues)
{
    const std::string &suffix = GetParam().suffix;
    const Run first = run(GetParam());
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.lines, fresh_lines(suffix));

    EXPECT_EQ(fs::exists(lib("libtenqv264.so")), kBits64);
    for (const std::string file : {"libtenqv232.so", "libtenq32.so", kOwnLib.c_str()})
        for (const std::string &copy : {lib(file), sys(file)}) {
            EXPECT_EQ(read_file(copy), read_file(set_ / file)) << copy;
            EXPECT_EQ(mode_of(copy), 0644u) << copy;
        }
    for (const char *folder : {"usr/local/lib/passthru", "usr/local/bin",
                               "etc/passthru/registry/Software/PassThruSupport/Vendor1/Devices"})
        EXPECT_EQ(mode_of(fs::path(root_) / folder), 0755u) << folder;
    const std::string program = root_ + "/usr/local/bin/quillon";
    EXPECT_EQ(read_file(program), read_file(set_ / "quillon"));
    EXPECT_EQ(mode_of(program), 0755u);

    const std::string device_key = "Software/PassThruSupport.04.04/Vexlar-Orvane-" + suffix;
    const std::string vendor1 = "Software/PassThruSupport/Vendor1";
    EXPECT_EQ(values(device_key), device_values(suffix));
    EXPECT_EQ(values(vendor1), kVexlar);
    EXPECT_EQ(values(vendor1 + "/Devices/Device2"), device2_values(suffix));
    // The 04.04 FunctionLibrary (checked above) loads here, J2534 functions in it.
    void *handle = dlopen(sys(kOwnLib).c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    for (const char *name :
         {"PassThruOpen", "PassThruClose", "PassThruConnect", "PassThruDisconnect",
          "PassThruReadMsgs", "PassThruWriteMsgs", "PassThruStartPeriodicMsg",
          "PassThruStopPeriodicMsg", "PassThruStartMsgFilter", "PassThruStopMsgFilter",
          "PassThruSetProgrammingVoltage", "PassThruReadVersion", "PassThruGetLastError",
          "PassThruIoctl"})
        EXPECT_NE(dlsym(handle, name), nullptr) << name;
    dlclose(handle);

    const std::string desktop = read_file(launcher());
    EXPECT_EQ(mode_of(launcher()), 0755u);
    EXPECT_NE(desktop.find("\nExec=env \"ORVANE_ROOT=" + root_ + "\" \"" + program + "\"\n"),
              std::string::npos)
        << desktop;
    const std::string validate = std::string(DESKTOP_FILE_VALIDATE) + " " + sh_quoted(launcher());
    EXPECT_EQ(std::system(validate.c_str()), 0) << desktop;

    // Hand-added options survive a second run; J1850 flags do not come back.
    std::ofstream(fs::path(root_) / "etc/passthru/registry" / device_key / "values.conf",
                  std::ios::app)
        << "Debug=\"1\"\nSuppressPopups=dword:00000001\nIOT=\"12\"\nJ1850PWM=dword:00000001\n";
    const Run second = run(GetParam());
    EXPECT_EQ(second.status, 0);
    Lines expected = fresh_lines(suffix);
    std::erase_if(expected, [](const std::string &l) { return l.starts_with("Creating"); });
    expected.insert(std::find(expected.begin(), expected.end(),
                              "Copied libtenq32.so to " + lib("libtenq32.so")),
                    "Found Vexlar");
    EXPECT_EQ(second.lines, expected);
    Lines kept = split_lines(values(device_key)), want = split_lines(device_values(suffix));
    want.insert(want.end(), {"Debug=\"1\"", "SuppressPopups=dword:00000001", "IOT=\"12\""});
    std::sort(kept.begin(), kept.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(kept, want);
    EXPECT_EQ(values(vendor1), kVexlar);
    EXPECT_EQ(values(vendor1 + "/Devices/Device2"), device2_values(suffix));
}

INSTANTIATE_TEST_SUITE_P(BothDevices, InstallerTest, testing::Values(kFD, kIOT),
                         [](const auto &info) { return info.param.suffix; });

using InstallerFailureTest = InstallerTest;

// Vendor slots of the older layout held by others are never taken over.
TEST_F(InstallerFailureTest, VendorSlotSearch)
{
    const std::string other = "Name=\"Other Co\"\nId=dword:00000003\n";
    std::map<int, std::string> all_others;
    for (int slot = 1; slot <= 8; ++slot)
        all_others[slot] = other;
    const struct {
        const char *what;
        std::map<int, std::string> slots;
        int taken;  // 0: none
        std::string line;
    } cases[] = {
        {"three others, one Name too long to read",
         {{1, other}, {2, other}, {3, "Name=\"Vexlar" + std::string(300, 'x') + "\"\n"}},
         4,
         "Creating " + kSupport + "->Vendor4 key"},
        {"a slot without Name",
         {{1, other}, {2, "Id=dword:00000005\n"}},
         2,
         "Name key not found under Vendor2"},
        {"ours after another's", {{1, other}, {2, "Name=\"Vexlar LLC\"\n"}}, 2, "Found Vexlar"},
        {"seven others",
         {all_others.begin(), all_others.find(8)},
         8,
         "Creating " + kSupport + "->Vendor8 key"},
        {"all eight others", all_others, 0,
         "ERROR: No free vendor key: Vendor1 to Vendor8 under " + kSupport +
             " belong to other vendors"},
    };
    const auto slot = [](int n) { return "Software/PassThruSupport/Vendor" + std::to_string(n); };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(root_);
        for (const auto &[n, text] : c.slots) {
            const fs::path dir = fs::path(root_) / "etc/passthru/registry" / slot(n);
            fs::create_directories(dir);
            std::ofstream(dir / "values.conf") << text;
        }
        const Run r = run(kFD);
        EXPECT_NE(std::find(r.lines.begin(), r.lines.end(), c.line), r.lines.end());
        for (const auto &[n, text] : c.slots)
            if (n != c.taken) {
                EXPECT_EQ(values(slot(n)), text);
            }
        EXPECT_EQ(r.status, c.taken ? 0 : 255);
        if (c.taken == 0) {
            ASSERT_GE(r.lines.size(), 2u);
            EXPECT_EQ(r.lines.end()[-2], c.line);
            EXPECT_FALSE(fs::exists(lib("libtenq32.so")));
        } else {
            EXPECT_EQ(values(slot(c.taken)), kVexlar);
            EXPECT_EQ(values(slot(c.taken) + "/Devices/Device2"), device2_values("FD"));
        }
    }
}

// Each case: what breaks, and how the lines differ from the fresh run's.
TEST_F(InstallerFailureTest, FailurePaths)
{
    const std::string registry = root_ + "/etc/passthru/registry";
    const std::string long_root = (base_ / std::string(200, 'r')).string();
    const std::string fresh_root = root_;
    const auto no_older_layout = [&] {
        EXPECT_FALSE(fs::exists(registry + "/Software/PassThruSupport"));
    };
    const Lines press = {"Press any key..."};
    // Library copies that fail where no file stood: those whose line holds `part`.
    const auto copies_fail = [](Lines &l, const std::string &part) {
        for (std::string &line : l)
            if (line.starts_with("Copied lib") && line.find(part) != line.npos)
                line = "ERROR: Could not copy " + line.substr(7) + ".";
    };
    const struct {
        const char *what;
        std::function<void()> prepare;
        std::string env;
        std::function<void(Lines &)> lines;
        int status;
        std::function<void()> check;
    } cases[] = {
        {"a destination that cannot be replaced",
         [&] { fs::create_directories(lib("libtenqv232.so") + "/in-use"); }, "",
         [&](Lines &l) {
             l = {l[0], l[1],
                  "ERROR: Could not copy libtenqv232.so to " + lib("libtenqv232.so") + ".",
                  "ERROR: Close all programs and retry", press[0]};
         },
         255,
         [&] {
             no_older_layout();  // nor a temporary left of the failed copy
             EXPECT_EQ(std::distance(fs::directory_iterator(lib("")), {}), 1);
         }},
        {"a value that cannot be written",
         [&] {
             fs::create_directories(registry +
                                    "/Software/PassThruSupport.04.04/Vexlar-Orvane-FD/values.conf");
         },
         "",
         [&](Lines &l) {
             l = Lines(l.begin() + 2, l.begin() + (kBits64 ? 6 : 4));  // the 04.04 copies
             l.insert(l.end(), {"ERROR: Cannot set Vendor1-Device1 Vendor", press[0]});
         },
         255, no_older_layout},
        {"a registry that cannot be created",
         [&] {
             fs::create_directories(root_ + "/etc/passthru");
             std::ofstream(registry) << "not a folder\n";
         },
         "",
         [&](Lines &l) {
             l = {"INFO: Cannot open HKEY_LOCAL_MACHINE->Software key",
                  "Creating " + kSupport + ".04.04 key",
                  "ERROR: Cannot create " + kSupport + ".04.04 key", press[0]};
         },
         255, [&] { EXPECT_FALSE(fs::exists(lib("libtenqv232.so"))); }},
        {"a library path longer than its readers take", [&] { root_ = long_root; }, "",
         [&](Lines &l) {
             l = {"ERROR: Library path longer than 255 characters: " + sys(kOwnLib), press[0]};
         },
         255, [&] { EXPECT_FALSE(fs::exists(long_root)); }},
        {"no quillon in the set", [&] { fs::remove(set_ / "quillon"); }, "",
         [&](Lines &l) {
             l.erase(l.end() - 4, l.end() - 2);
             l.insert(l.end() - 2,
                      "ERROR: Could not copy quillon to " + root_ + "/usr/local/bin/quillon.");
         },
         0, [&] { EXPECT_FALSE(fs::exists(launcher())); }},
        {"neither HOME nor XDG_DESKTOP_DIR", [] {}, "HOME_UNSET=1",
         [](Lines &l) {
             l.end()[-3] = "ERROR: Cannot add Desktop Shortcut: neither XDG_DESKTOP_DIR nor "
                           "HOME is set";
         },
         0, [] {}},
        {"a desktop folder that cannot be made",
         [&] {
             fs::create_directories(home_);
             std::ofstream(home_ + "/Desktop") << "a file\n";
         },
         "", [&](Lines &l) { l.end()[-3] = "ERROR: Cannot add Desktop Shortcut " + launcher(); }, 0,
         [] {}},
        {"XDG_DESKTOP_DIR names the desktop", [] {},
         "HOME=" + sh_quoted(home_) + " XDG_DESKTOP_DIR=" + sh_quoted(home_ + "/desk/top"),
         [](Lines &) {}, 0, [&] { EXPECT_TRUE(fs::exists(home_ + "/desk/top/quillon.desktop")); }},
        {"a set without the registered 04.04 library",
         [&] { fs::rename(set_ / kOwnLib, base_ / kOwnLib); }, "",
         [&](Lines &l) {
             copies_fail(l, kOwnLib + " to");
             l.end()[-2] = missing(kOwnLib);
         },
         255, [&] { fs::rename(base_ / kOwnLib, set_ / kOwnLib); }},
        {"a library folder that cannot be made",
         [&] {
             fs::create_directories(lib(""));
             std::ofstream(lib("passthru")) << "a file\n";
         },
         "",
         [&](Lines &l) {
             copies_fail(l, "/passthru/");
             l.end()[-2] = missing(kOwnLib);
             l.insert(l.end() - 1, missing("libtenq32.so"));
         },
         255, [] {}},
        {"a relative ORVANE_ROOT", [&] { root_ = (set_ / "relroot").string(); },
         "HOME=" + sh_quoted(home_) + " ORVANE_ROOT=relroot", [](Lines &) {}, 0,
         [&] {
             EXPECT_EQ(values("Software/PassThruSupport.04.04/Vexlar-Orvane-FD"),
                       device_values("FD"));
             EXPECT_NE(read_file(launcher()).find("Exec=env ORVANE_ROOT=" + root_ + " "),
                       std::string::npos);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        root_ = fresh_root;
        fs::remove_all(root_);
        fs::remove_all(home_);
        write_quillon();
        c.prepare();
        const Run r = run(kFD, c.env);
        Lines expected = fresh_lines("FD");
        c.lines(expected);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.lines, expected);
        c.check();
    }
}

}  // namespace
