// registry_test.cpp - the file-backed registry under a temporary ORVANE_ROOT.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace platform;

namespace {

class Registry : public testing::Test {
  protected:
    fs::path root;

    void SetUp() override
    {
        std::string templ = (fs::temp_directory_path() / "registry_test.XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        root = templ;
        setenv("ORVANE_ROOT", root.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("ORVANE_ROOT");
        fs::remove_all(root);
    }

    fs::path hklm() const { return root / "etc/passthru/registry"; }

    static std::string read_file(const fs::path &path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static HKEY create(const char *path)
    {
        HKEY key = nullptr;
        EXPECT_EQ(reg_create_key(HKEY_LOCAL_MACHINE, path, &key, nullptr), ERROR_SUCCESS) << path;
        return key;
    }

    static void set_text(HKEY key, const char *name, const char *text)
    {
        EXPECT_EQ(reg_set_value(key, name, REG_SZ, reinterpret_cast<const uint8_t *>(text),
                                static_cast<uint32_t>(std::strlen(text) + 1)),
                  ERROR_SUCCESS);
    }

    static void set_dword(HKEY key, const char *name, uint32_t n)
    {
        EXPECT_EQ(reg_set_value(key, name, REG_DWORD, reinterpret_cast<const uint8_t *>(&n), 4),
                  ERROR_SUCCESS);
    }

    // The value's type and bytes, or the error number as the type.
    static std::pair<uint32_t, std::string> query(HKEY key, const char *name)
    {
        uint32_t type = 0;
        uint8_t buf[512];
        uint32_t len = sizeof buf;
        int32_t status = reg_query_value(key, name, &type, buf, &len);
        if (status != ERROR_SUCCESS)
            return {0x80000000u | static_cast<uint32_t>(status), ""};
        return {type, std::string(reinterpret_cast<char *>(buf), len)};
    }
};

std::pair<uint32_t, std::string> value(uint32_t type, const std::string &bytes)
{
    return {type, bytes};
}

std::pair<uint32_t, std::string> error(int32_t status)
{
    return {0x80000000u | static_cast<uint32_t>(status), ""};
}

TEST_F(Registry, EachTypeRoundTripsAndCommonOnesReadAsExportSyntax)
{
    HKEY key = create("Software\\PassThruSupport.04.04\\Vexlar-Orvane-FD");
    set_text(key, "Name", "Orvane-FD");
    set_text(key, "FunctionLibrary", "C:\\Windows\\SYSTEM\\\"quoted\"");
    set_dword(key, "CAN", 1);
    set_dword(key, "Big", 0xDEADBEEF);
    const uint8_t blob[] = {0x00, 0x01, 0x7f, 0x80, 0xff};
    EXPECT_EQ(reg_set_value(key, "Blob", REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
    EXPECT_EQ(reg_set_value(key, "Empty", REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    const char multi[] = "one\0two\0";
    EXPECT_EQ(reg_set_value(key, "Multi", REG_MULTI_SZ, reinterpret_cast<const uint8_t *>(multi),
                            sizeof multi),
              ERROR_SUCCESS);
    // Text the one-line form cannot carry: a newline, no terminator, a NUL inside.
    const char odd[] = "two\nlines";
    EXPECT_EQ(
        reg_set_value(key, "Lines", REG_SZ, reinterpret_cast<const uint8_t *>(odd), sizeof odd),
        ERROR_SUCCESS);
    EXPECT_EQ(reg_set_value(key, "Bare", REG_SZ, reinterpret_cast<const uint8_t *>("abc"), 3),
              ERROR_SUCCESS);
    EXPECT_EQ(reg_set_value(key, "Inner", REG_SZ, reinterpret_cast<const uint8_t *>("a\0b"), 4),
              ERROR_SUCCESS);
    const uint16_t short_dword = 7;
    EXPECT_EQ(
        reg_set_value(key, "Short", REG_DWORD, reinterpret_cast<const uint8_t *>(&short_dword), 2),
        ERROR_SUCCESS);
    EXPECT_EQ(reg_set_value(key, "Odd=Name", REG_SZ, reinterpret_cast<const uint8_t *>("v"), 2),
              ERROR_SUCCESS);
    EXPECT_EQ(reg_close_key(key), ERROR_SUCCESS);

    ASSERT_EQ(reg_open_key(HKEY_LOCAL_MACHINE, "Software\\PassThruSupport.04.04\\Vexlar-Orvane-FD",
                           KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(query(key, "Name"), value(REG_SZ, std::string("Orvane-FD\0", 10)));
    EXPECT_EQ(query(key, "FunctionLibrary"),
              value(REG_SZ, std::string("C:\\Windows\\SYSTEM\\\"quoted\"\0", 27)));
    EXPECT_EQ(query(key, "CAN"), value(REG_DWORD, std::string("\x01\0\0\0", 4)));
    EXPECT_EQ(query(key, "Big"), value(REG_DWORD, "\xef\xbe\xad\xde"));
    EXPECT_EQ(query(key, "Blob"), value(REG_BINARY, std::string("\x00\x01\x7f\x80\xff", 5)));
    EXPECT_EQ(query(key, "Empty"), value(REG_BINARY, ""));
    EXPECT_EQ(query(key, "Multi"), value(REG_MULTI_SZ, std::string(multi, sizeof multi)));
    EXPECT_EQ(query(key, "Lines"), value(REG_SZ, std::string(odd, sizeof odd)));
    EXPECT_EQ(query(key, "Bare"), value(REG_SZ, "abc"));
    EXPECT_EQ(query(key, "Inner"), value(REG_SZ, std::string("a\0b\0", 4)));
    EXPECT_EQ(query(key, "Short"), value(REG_DWORD, std::string("\x07\0", 2)));
    EXPECT_EQ(query(key, "Odd=Name"), value(REG_SZ, std::string("v\0", 2)));
    EXPECT_EQ(reg_close_key(key), ERROR_SUCCESS);

    fs::path dir = hklm() / "Software/PassThruSupport.04.04/Vexlar-Orvane-FD";
    std::string file = read_file(dir / "values.conf");
    EXPECT_NE(file.find("Name=\"Orvane-FD\"\n"), std::string::npos) << file;
    EXPECT_NE(file.find("FunctionLibrary=\"C:\\\\Windows\\\\SYSTEM\\\\\\\"quoted\\\"\"\n"),
              std::string::npos)
        << file;
    EXPECT_NE(file.find("CAN=dword:00000001\n"), std::string::npos) << file;
    EXPECT_NE(file.find("Blob=hex(3):00,01,7f,80,ff\n"), std::string::npos) << file;
    // Readable by every user's programs, and no temporary file left behind.
    struct stat info {};
    ASSERT_EQ(stat((dir / "values.conf").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(Registry, KeyAndValueNamesIgnoreCase)
{
    fs::create_directories(hklm() / "SOFTWARE/passthrusupport.04.04");  // made by hand
    uint32_t disposition = 0;
    HKEY key = nullptr;
    ASSERT_EQ(reg_create_key(HKEY_LOCAL_MACHINE,
                             "Software\\PassThruSupport.04.04\\Vexlar-Orvane-FD", &key,
                             &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    set_text(key, "Name", "first");
    set_text(key, "NAME", "second");  // the same value
    reg_close_key(key);
    EXPECT_TRUE(fs::is_directory(hklm() / "SOFTWARE/passthrusupport.04.04/Vexlar-Orvane-FD"));
    EXPECT_FALSE(fs::exists(hklm() / "Software"));

    ASSERT_EQ(reg_create_key(HKEY_LOCAL_MACHINE,
                             "software\\PASSTHRUSUPPORT.04.04\\vexlar-orvane-fd", &key,
                             &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(query(key, "name"), value(REG_SZ, std::string("second\0", 7)));
    reg_close_key(key);

    HKEY software = nullptr;
    HKEY entry = nullptr;
    ASSERT_EQ(reg_open_key(HKEY_LOCAL_MACHINE, "Software", KEY_READ, &software), ERROR_SUCCESS);
    ASSERT_EQ(reg_open_key(software, "PassThruSupport.04.04\\VEXLAR-ORVANE-FD", KEY_READ, &entry),
              ERROR_SUCCESS);
    EXPECT_EQ(query(entry, "nAmE"), value(REG_SZ, std::string("second\0", 7)));
    reg_close_key(entry);
    reg_close_key(software);

    std::string file =
        read_file(hklm() / "SOFTWARE/passthrusupport.04.04/Vexlar-Orvane-FD/values.conf");
    EXPECT_EQ(file, "Name=\"second\"\n");  // one line, first spelling kept
}

TEST_F(Registry, SubKeysEnumerateSortedWithoutCaseThenNoMoreItems)
{
    for (const char *name : {"gamma", "Beta", "alpha", "ALPHA2", "beta2"})
        reg_close_key(create((std::string("Software\\") + name).c_str()));
    HKEY software = create("Software");
    set_dword(software, "NotAKey", 1);  // values.conf is a file, not a sub-key
    std::ofstream(hklm() / "Software/stray-file") << "x";
    fs::create_directory(hklm() / "Software/alpha\\odd");  // no key name holds a backslash

    std::vector<std::string> names;
    char name[256];
    uint32_t index = 0;
    for (;; ++index) {
        uint32_t len = sizeof name;
        int32_t status = reg_enum_key(software, index, name, &len);
        if (status != ERROR_SUCCESS) {
            EXPECT_EQ(status, ERROR_NO_MORE_ITEMS);
            break;
        }
        EXPECT_EQ(len, std::strlen(name));
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"alpha", "ALPHA2", "Beta", "beta2", "gamma"}));
    uint32_t len = sizeof name;
    EXPECT_EQ(reg_enum_key(software, 99, name, &len), ERROR_NO_MORE_ITEMS);

    // "ALPHA2" needs 7 characters with its terminator.
    len = 6;
    std::memset(name, '#', sizeof name);
    EXPECT_EQ(reg_enum_key(software, 1, name, &len), ERROR_MORE_DATA);
    EXPECT_EQ(len, 6u);
    EXPECT_EQ(name[0], '#');
    len = 7;
    EXPECT_EQ(reg_enum_key(software, 1, name, &len), ERROR_SUCCESS);
    EXPECT_STREQ(name, "ALPHA2");
    reg_close_key(software);
}

TEST_F(Registry, QuerySizesSmallBuffersAndMissingValues)
{
    HKEY key = create("Software\\Sizes");
    set_text(key, "Name", "Orvane-FD");
    uint32_t type = 0;
    uint32_t len = 0;
    EXPECT_EQ(reg_query_value(key, "Name", &type, nullptr, &len), ERROR_SUCCESS);
    EXPECT_EQ(len, 10u);
    EXPECT_EQ(type, REG_SZ);

    uint8_t buf[16];
    std::memset(buf, '#', sizeof buf);
    len = 9;
    EXPECT_EQ(reg_query_value(key, "Name", nullptr, buf, &len), ERROR_MORE_DATA);
    EXPECT_EQ(len, 10u);
    EXPECT_EQ(buf[0], '#');
    len = 10;
    EXPECT_EQ(reg_query_value(key, "Name", nullptr, buf, &len), ERROR_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), 10), std::string("Orvane-FD\0", 10));

    EXPECT_EQ(query(key, "Missing"), error(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(reg_query_value(key, "Name", nullptr, buf, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(reg_delete_value(key, "NAME"), ERROR_SUCCESS);
    EXPECT_EQ(query(key, "Name"), error(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(reg_delete_value(key, "Name"), ERROR_FILE_NOT_FOUND);
    reg_close_key(key);

    HKEY missing = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(reg_open_key(HKEY_LOCAL_MACHINE, "Software\\Nope", KEY_READ, &missing),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(reg_query_value(nullptr, "Name", nullptr, nullptr, &len), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg_close_key(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg_close_key(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(Registry, HandEditedFileIsReadAndItsCommentsSurviveAWrite)
{
    fs::create_directories(hklm() / "Software/Hand");
    const std::string text = "# written by hand\r\n"
                             "; another comment\n"
                             "\n"
                             "  Name = \"Orvane-FD\"   ; trailing note\n"
                             "Path=\"C:\\Windows\\TENQ.DLL\"\n"
                             "Escaped=\"a\\\\b \\\"q\\\"\"\n"
                             "\"Quoted Name\"=dword:0000BEEF\n"
                             "Blob=hex:DE,ad, 01\n"
                             "Multi=hex(7):61,00,00\n"
                             "this line is not a value\n"
                             "Broken=\"no end\n"
                             "NAME=\"a later duplicate\"\n"
                             "Debug=dword:1\n";
    std::ofstream(hklm() / "Software/Hand/values.conf", std::ios::binary) << text;

    HKEY key = nullptr;
    ASSERT_EQ(reg_open_key(HKEY_LOCAL_MACHINE, "Software\\Hand", KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(query(key, "Name"), value(REG_SZ, std::string("Orvane-FD\0", 10)));
    EXPECT_EQ(query(key, "Path"), value(REG_SZ, std::string("C:\\Windows\\TENQ.DLL\0", 20)));
    EXPECT_EQ(query(key, "Escaped"), value(REG_SZ, std::string("a\\b \"q\"\0", 8)));
    EXPECT_EQ(query(key, "quoted name"), value(REG_DWORD, std::string("\xef\xbe\0\0", 4)));
    EXPECT_EQ(query(key, "Blob"), value(REG_BINARY, "\xde\xad\x01"));
    EXPECT_EQ(query(key, "Multi"), value(REG_MULTI_SZ, std::string("a\0\0", 3)));
    EXPECT_EQ(query(key, "Broken"), error(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(query(key, "Debug"), value(REG_DWORD, std::string("\x01\0\0\0", 4)));

    set_text(key, "Name", "Orvane-IOT");
    EXPECT_EQ(reg_delete_value(key, "Debug"), ERROR_SUCCESS);
    reg_close_key(key);
    std::string expected = text;
    const std::string old_name = "  Name = \"Orvane-FD\"   ; trailing note";
    expected.replace(expected.find(old_name), old_name.size(), "Name=\"Orvane-IOT\"");
    expected.erase(expected.find("NAME=\"a later duplicate\"\n"));
    EXPECT_EQ(read_file(hklm() / "Software/Hand/values.conf"), expected);
}

TEST_F(Registry, NamesThatWouldLeaveTheTreeAreRefused)
{
    HKEY software = create("Software");
    for (const char *bad :
         {"..", "..\\..\\..", "a\\..\\b", ".", "a/b", "../x", "/etc", "", "\\a", "a\\\\b", "a\\"}) {
        HKEY key = nullptr;
        int32_t expected = *bad ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;  // "" is the key itself
        EXPECT_EQ(reg_create_key(software, bad, &key, nullptr), expected) << bad;
        reg_close_key(key);
        EXPECT_EQ(reg_open_key(software, bad, KEY_READ, &key), expected) << bad;
        reg_close_key(key);
    }
    EXPECT_EQ(
        reg_set_value(software, "two\nlines", REG_SZ, reinterpret_cast<const uint8_t *>(""), 1),
        ERROR_INVALID_PARAMETER);
    reg_close_key(software);

    // Nothing was made anywhere but the one key.
    std::vector<std::string> made;
    for (const auto &entry : fs::recursive_directory_iterator(root))
        made.push_back(fs::relative(entry.path(), root).string());
    std::sort(made.begin(), made.end());
    EXPECT_EQ(made, (std::vector<std::string>{"etc", "etc/passthru", "etc/passthru/registry",
                                              "etc/passthru/registry/Software"}));
}

TEST_F(Registry, ReadHandlesCannotWrite)
{
    reg_close_key(create("Software\\Device"));
    HKEY key = nullptr;
    ASSERT_EQ(reg_open_key(HKEY_LOCAL_MACHINE, "Software\\Device", KEY_READ, &key), ERROR_SUCCESS);
    uint32_t one = 1;
    EXPECT_EQ(reg_set_value(key, "CAN", REG_DWORD, reinterpret_cast<uint8_t *>(&one), 4),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg_delete_value(key, "CAN"), ERROR_ACCESS_DENIED);
    // Creating a sub-key through a read handle works, as the installer does.
    HKEY sub = nullptr;
    EXPECT_EQ(reg_create_key(key, "Devices", &sub, nullptr), ERROR_SUCCESS);
    set_dword(sub, "DeviceId", 0);
    reg_close_key(sub);
    reg_close_key(key);
    ASSERT_EQ(reg_open_key(HKEY_LOCAL_MACHINE, "Software\\Device", KEY_WRITE, &key), ERROR_SUCCESS);
    set_dword(key, "CAN", 1);
    reg_close_key(key);
}

// Each in a child process that the alarm ends, so that a read which hangs
// fails the case instead of the whole run.
TEST_F(Registry, OnlyAPlainFileOfAtMostOneMebibyteHoldsValues)
{
    constexpr size_t kMiB = 1 << 20;
    const std::string name_line = "Name=\"Orvane-FD\"\n";
    const std::string padding = "#" + std::string(kMiB - name_line.size() - 2, 'x') + "\n";
    const struct {
        const char *what;
        std::string content;  // empty: a FIFO
        int32_t status;
    } cases[] = {
        {"1 MiB", name_line + padding, ERROR_SUCCESS},
        {"1 MiB + 1", name_line + padding + "\n", ERROR_ACCESS_DENIED},
        {"FIFO", "", ERROR_ACCESS_DENIED},
    };
    HKEY key = create("Software\\Odd");
    const fs::path file = hklm() / "Software/Odd/values.conf";
    for (const auto &c : cases) {
        fs::remove(file);
        if (c.content.empty())
            ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);
        else
            std::ofstream(file, std::ios::binary) << c.content;
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            alarm(5);
            uint32_t len = 0;
            _exit(reg_query_value(key, "Name", nullptr, nullptr, &len));
        }
        int wait_status = 0;
        ASSERT_EQ(waitpid(child, &wait_status, 0), child);
        ASSERT_TRUE(WIFEXITED(wait_status)) << c.what << " hung";
        EXPECT_EQ(WEXITSTATUS(wait_status), c.status) << c.what;
    }
    // Nor does a write leave a file that could not be read back.
    fs::remove(file);
    const std::string big(kMiB / 3, '\0');
    EXPECT_EQ(reg_set_value(key, "Big", REG_BINARY, reinterpret_cast<const uint8_t *>(big.data()),
                            static_cast<uint32_t>(big.size())),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(query(key, "Big"), error(ERROR_FILE_NOT_FOUND));
    reg_close_key(key);
}

TEST_F(Registry, WritersInTwoProcessesLoseNoValue)
{
    constexpr uint32_t kValues = 100;
    HKEY key = create("Software\\Shared");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    const std::string mine = child == 0 ? "child" : "parent";
    bool all_set = true;
    for (uint32_t i = 0; i < kValues; ++i)
        all_set &= reg_set_value(key, (mine + std::to_string(i)).c_str(), REG_DWORD,
                                 reinterpret_cast<const uint8_t *>(&i), 4) == ERROR_SUCCESS;
    if (child == 0)
        _exit(all_set ? 0 : 1);
    EXPECT_TRUE(all_set);
    int wait_status = 0;
    ASSERT_EQ(waitpid(child, &wait_status, 0), child);
    EXPECT_EQ(wait_status, 0);

    std::vector<std::string> lost;
    for (const char *writer : {"child", "parent"}) {
        for (uint32_t i = 0; i < kValues; ++i) {
            std::string name = writer + std::to_string(i);
            if (query(key, name.c_str()).first != REG_DWORD)
                lost.push_back(name);
        }
    }
    EXPECT_EQ(lost, std::vector<std::string>{});
    reg_close_key(key);
}

TEST_F(Registry, ChangingTheRootTakesEffectAtOnce)
{
    HKEY key = create("Software\\Here");
    set_text(key, "Name", "first root");

    fs::path other = root / "other";
    setenv("ORVANE_ROOT", other.c_str(), 1);
    HKEY probe = nullptr;
    EXPECT_EQ(reg_open_key(HKEY_LOCAL_MACHINE, "Software\\Here", KEY_READ, &probe),
              ERROR_FILE_NOT_FOUND);
    HKEY second = create("Software\\Here");
    EXPECT_EQ(query(second, "Name"), error(ERROR_FILE_NOT_FOUND));
    set_text(second, "Name", "second root");
    reg_close_key(second);
    EXPECT_TRUE(fs::exists(other / "etc/passthru/registry/Software/Here/values.conf"));

    setenv("ORVANE_ROOT", root.c_str(), 1);
    EXPECT_EQ(query(key, "Name"), value(REG_SZ, std::string("first root\0", 11)));
    reg_close_key(key);
}

}  // namespace
