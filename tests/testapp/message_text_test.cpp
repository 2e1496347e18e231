// message_text_test.cpp - the number and message-byte rules of the form's
// fields, in both word sizes: a 64-bit long must not change a result.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testapp/message_text.h"

namespace {

std::vector<uint8_t> bytes_of(const std::string &text, size_t capacity = PASSTHRU_MSG_DATA_SIZE)
{
    std::vector<uint8_t> data(PASSTHRU_MSG_DATA_SIZE + 1, 0xAA);
    uint32_t n = message_bytes(text, data.data(), capacity);
    EXPECT_EQ(data[n], 0xAA) << "wrote past the count";
    data.resize(n);
    return data;
}

TEST(MessageText, BytesFromText)
{
    const struct {
        const char *text;
        std::vector<uint8_t> bytes;
    } cases[] = {{"", {}},
                 {"0 0 7 0xff   ", {0, 0, 7, 0xFF}},
                 {"0,0,7", {0}},  // a comma begins no number
                 {"08", {0, 8}},
                 {"-1", {0xFF}},
                 {"0x1FF", {0xFF}},
                 {"ff", {}},
                 {"\t1\n2", {1, 2}},
                 {"12abc 5", {12}},
                 {"-4294967296", {0x00}},  // clamped to 32 bits first
                 {"99999999999999999999999 1", {0xFF, 1}}};
    for (const auto &c : cases)
        EXPECT_EQ(bytes_of(c.text), c.bytes) << '"' << c.text << '"';

    std::string many;
    for (int i = 0; i < 5000; ++i)
        many += "1 ";
    EXPECT_EQ(bytes_of(many).size(), size_t{PASSTHRU_MSG_DATA_SIZE});
    EXPECT_EQ(bytes_of("1 2 3", 2), (std::vector<uint8_t>{1, 2}));
}

TEST(MessageText, NumbersClampOrWrapTo32Bits)
{
    const struct {
        const char *text;
        int base;  // 0 or 10: parse_long; -1: TextToLong
        int32_t value;
        size_t used;
    } cases[] = {{"4294967295", 10, 2147483647, 10},  // a time-out typed as -1 unsigned
                 {"  +12x", 10, 12, 5},
                 {"0x80000000", 0, 2147483647, 10},
                 {"010", 0, 8, 3},
                 {"+7ms", -1, 7, 0},
                 {"0x10", -1, 0, 0},
                 {"4294967295", -1, -1, 0},  // wraps, never undefined
                 {"99999999999", -1, 1215752191, 0}};
    for (const auto &c : cases) {
        size_t used = 0;
        if (c.base < 0) {
            EXPECT_EQ(TextToLong(c.text), c.value) << c.text;
            continue;
        }
        EXPECT_EQ(parse_long(c.text, c.base, &used), c.value) << c.text;
        EXPECT_EQ(used, c.used) << c.text;
    }
}

}  // namespace
