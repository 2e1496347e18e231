// registry_values_test.cpp - the text of a values.conf as round trips, in
// memory: every value back from its line, every file back from its lines.
#include "platform/registry_values.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST(RegistryValues, EveryValueComesBackFromItsLine)
{
    using namespace std::string_literals;
    const RegValue values[] = {
        {"Name", REG_SZ, "Orvane-FD\0"s},
        {"Path", REG_SZ, "C:\\lib\\\"q\"\0"s},  // escapes
        {"Empty", REG_SZ, "\0"s},
        {"Two lines", REG_SZ, "a\nb\0"s},  // not text on one line: hex
        {"Unterminated", REG_SZ, "abc"s},  // hex too
        {"CAN", REG_DWORD, "\x01\x00\x00\x00"s},
        {"Short", REG_DWORD, "\x01\x02"s},  // no dword: hex
        {"Blob", REG_BINARY, "\xde\xad\x00\xff"s},
        {"Multi", REG_MULTI_SZ, "a\0b\0\0"s},
        {"None", REG_NONE, ""s},
        {"Odd=Name", REG_SZ, "x\0"s},  // quoted name
        {"#Hash", REG_DWORD, "\x00\x00\x00\x80"s},
        {" padded ", REG_BINARY, "\x07"s},
        {"", REG_SZ, "default\0"s},
        {"Big", 0x12345678, "\x01"s},
    };
    for (const RegValue &v : values) {
        const std::string line = format_reg_line(v);
        const std::optional<RegValue> back = parse_reg_line(line);
        ASSERT_TRUE(back.has_value()) << line;
        EXPECT_EQ(back->name, v.name) << line;
        EXPECT_EQ(back->type, v.type) << line;
        EXPECT_EQ(back->data, v.data) << line;
    }
    EXPECT_EQ(format_reg_line(values[0]), "Name=\"Orvane-FD\"");
    EXPECT_EQ(format_reg_line(values[5]), "CAN=dword:00000001");
}

TEST(RegistryValues, FilesComeBackLineForLineAndAByteOrderMarkIsSkipped)
{
    const std::string file = "# comment\n"
                             "; another\n"
                             "\n"
                             "  Name = \"Orvane-FD\"   ; note\n"
                             "not a value\n"
                             "Debug=dword:00000001\n";
    const std::vector<RegLine> lines = parse_values_file(file);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_FALSE(lines[0].value || lines[1].value || lines[2].value || lines[4].value);
    EXPECT_EQ(lines[3].value->name, "Name");
    EXPECT_EQ(lines[5].value->type, REG_DWORD);
    EXPECT_EQ(format_values_file(lines), file);

    const std::vector<RegLine> marked = parse_values_file("\xEF\xBB\xBF" + file);
    ASSERT_EQ(marked.size(), 6u);
    EXPECT_EQ(format_values_file(marked), file);
    EXPECT_TRUE(reg_same_name("SuppressPopups", "SUPPRESSPOPUPS"));
    EXPECT_FALSE(reg_same_name("Debug", "Debugs"));
}

}  // namespace
