// config_file_test.cpp - the configuration file's text and the loader's
// rules for lines it reads back (the key order: the golden file).
#include <gtest/gtest.h>

#include <sstream>

#include "testapp/config_file.h"

namespace {

size_t key_index(const std::string &name)
{
    for (size_t i = 0; i < config_keys().size(); ++i)
        if (config_keys()[i].name == name)
            return i;
    ADD_FAILURE() << "no key " << name;
    return 0;
}

TEST(ConfigFile, TextRoundTripsAndEveryLineFitsOneRead)
{
    std::vector<std::string> values;
    for (size_t i = 0; i < config_keys().size(); ++i)
        values.push_back(config_keys()[i].kind == ConfigKind::kText
                             ? "v" + std::to_string(i) + " 0x1F"
                             : std::to_string(i % 3));
    std::vector<ConfigMessage> slots = {{1, 10, 50, "0x01 0x02 0x03", "first message"},
                                        {-1, 0x10, 100, "0", "Read_VuV1 Data"}};
    std::string text = config_file_text(values, slots);
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 129u + 256u);
    EXPECT_EQ(lines[0], "LOG_FILE_NAME v0 0x1F");
    EXPECT_EQ(lines[129], "MSG 1 10 50 0x01_0x02_0x03 first_message");
    EXPECT_EQ(lines[130], "MSG -1 16 100 0 Read_VuV1_Data");
    EXPECT_EQ(lines.back(), "MSG 0 0 0  ");  // a free slot
    LoadedConfig loaded = parse_config(text);
    ASSERT_EQ(loaded.assignments.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(loaded.assignments[i], (ConfigAssignment{i, values[i]}));
    // Underscores of the texts come back as blanks, also one typed as such.
    slots[1].description = "Read VuV1 Data";
    EXPECT_EQ(loaded.messages, slots);

    // Long texts are cut at a blank: 1023 characters of line less
    // "WRITE_1_MSG " and the line feed leave 202 whole numbers, none cut to
    // "0x1"; a text without a blank is cut where the line ends.
    std::string bytes;
    for (int i = 0; i < 400; ++i)
        bytes += "0x1F ";
    values.assign(config_keys().size(), "");
    values[key_index("WRITE_1_MSG")] = bytes.substr(0, 1023);
    values[key_index("LOG_FILE_NAME")] = std::string(1100, 'a');
    text = config_file_text(values, {});
    for (std::istringstream long_in(text); std::getline(long_in, bytes);)
        EXPECT_LE(bytes.size() + 1, kConfigLineMax);
    loaded = parse_config(text);
    ASSERT_EQ(loaded.assignments.size(), 2u);  // texts saved empty are not restored
    EXPECT_EQ(loaded.assignments[0].value, std::string(kConfigLineMax - 15, 'a'));
    EXPECT_EQ(loaded.assignments[1].key, key_index("WRITE_1_MSG"));
    EXPECT_EQ(loaded.assignments[1].value.size(), 202u * 5 - 1);
    EXPECT_TRUE(loaded.assignments[1].value.ends_with("0x1F"));
}

TEST(ConfigFile, LoaderRules)
{
    const struct {
        std::string file;
        std::vector<ConfigAssignment> assignments;
        size_t messages;
    } cases[] = {
        // Trailing characters below "0" go, also CR of a CRLF file and bytes
        // from 0x80; a value ending in a digit or letter stays.
        {"LOG_FILE_NAME trace.log.\r\n", {{0, "trace.log"}}, 0},
        {"WRITE_1_DESC (note)\nPROG_PIN 13 \t\n", {{3, "(note"}, {7, "13"}}, 0},
        {"WRITE_1_DESC caf\xe9\xe9\n", {{3, "caf"}}, 0},
        // A text saved empty leaves the bare key, which matches nothing.
        {"WRITE_1_MSG \nWRITE_1_MSG\n", {}, 0},
        // Keys compare case-sensitively with their blank; others are ignored.
        {"write_1_msg 1\nWRITE_1_MSGX 1\nCAN_FD_X 1\n# comment\n\n", {}, 0},
        // Repeated keys all count, in file order; no line feed at the end.
        {"LOOPBACK 1\nLOOPBACK 0", {{122, "1"}, {122, "0"}}, 0},
        // A NUL ends the line's text.
        {std::string("PROG_PIN 1\0 2\n", 15), {{7, "1"}}, 0},
        // A line longer than one read comes in pieces; the second piece is a
        // line of its own and here matches a key.
        {"LOG_FILE_NAME " + std::string(1009, 'x') + "PROG_PIN 7\n",
         {{0, std::string(1009, 'x')}, {7, "7"}},
         0},
        // Messages: without a description a line takes no slot.
        {"MSG 0 1 50 0x01 \nMSG 0 1 50  desc\nMSG 1 2 3 a b\nMSG x\n", {}, 1},
    };
    for (const auto &c : cases) {
        LoadedConfig loaded = parse_config(c.file);
        EXPECT_EQ(loaded.assignments, c.assignments) << c.file.substr(0, 40);
        EXPECT_EQ(loaded.messages.size(), c.messages) << c.file.substr(0, 40);
    }

    // More than 256 messages: the rest are ignored.  Words longer than a
    // slot's text are cut; numbers beyond 32 bits saturate; items a line
    // lacks stay 0.
    std::string many;
    for (int i = 0; i < 300; ++i)
        many += "MSG " + std::to_string(i) + " 1 50 m d" + std::to_string(i) + "\n";
    LoadedConfig loaded = parse_config(many);
    ASSERT_EQ(loaded.messages.size(), 256u);
    EXPECT_EQ(loaded.messages.back().description, "d255");
    loaded = parse_config("MSG 99999999999 -99999999999 7 " + std::string(300, 'm') + " " +
                          std::string(200, 'd') + " tail\n");
    ASSERT_EQ(loaded.messages.size(), 1u);
    EXPECT_EQ(loaded.messages[0], (ConfigMessage{INT32_MAX, INT32_MIN, 7, std::string(119, 'm'),
                                                 std::string(119, 'd')}));
}

}  // namespace
