// message_text_test.cpp - the number and message-byte rules of the form's
// fields, in both word sizes: a 64-bit long must not change a result.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "testapp/message_text.h"
#include "testapp/protocol_list.h"

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
    } cases[] = {
        {"", {}},
        {"0 0 7 0xff", {0, 0, 7, 0xFF}},
        {"0 0 7 0xff   ", {0, 0, 7, 0xFF}},  // trailing blanks
        {"0,0,7", {0}},                      // a comma begins no number
        {"08", {0, 8}},                      // octal 0, then decimal 8
        {"-1", {0xFF}},
        {"0x1FF", {0xFF}},
        {"ff", {}},  // hexadecimal needs 0x
        {"0X1f 017 10", {0x1F, 017, 10}},
        {"\t1\n2", {1, 2}},
        {"0x", {0}},              // "0" read, "x" begins nothing
        {"4294967295", {0xFF}},   // clamped to 2147483647 first
        {"-4294967296", {0x00}},  // clamped to -2147483648
        {"99999999999999999999999 1", {0xFF, 1}},
        {"12abc 5", {12}},
    };
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
        int base;
        int32_t value;
        size_t used;
    } longs[] = {
        {"4294967295", 10, 2147483647, 10},  // a time-out typed as -1 unsigned
        {"-4294967295", 10, -2147483647 - 1, 11},
        {"  +12x", 10, 12, 5},
        {"0x7fffffff", 0, 2147483647, 10},
        {"0x80000000", 0, 2147483647, 10},
        {"010", 0, 8, 3},
        {"010", 10, 10, 3},
        {"x", 0, 0, 0},
        {"-", 10, 0, 0},
    };
    for (const auto &c : longs) {
        size_t used = 99;
        EXPECT_EQ(parse_long(c.text, c.base, &used), c.value) << c.text;
        EXPECT_EQ(used, c.used) << c.text;
    }

    const struct {
        const char *text;
        int32_t value;
    } decimals[] = {
        {"2500", 2500},
        {"", 0},
        {"  -5", -5},
        {"+7ms", 7},
        {"0x10", 0},
        {"abc", 0},
        {"4294967295", -1},  // wraps, never undefined
        {"4294967296", 0},
        {"2147483648", -2147483647 - 1},
        {"99999999999", 1215752191},
    };
    for (const auto &c : decimals)
        EXPECT_EQ(TextToLong(c.text), c.value) << c.text;
}

TEST(MessageText, RecordsAndTexts)
{
    auto msg = std::make_unique<PASSTHRU_MSG>();
    msg->RxStatus = 77;
    build_message(*msg, ISO15765, 0x40, "0 0 7 0xdf 1 0");
    EXPECT_EQ(msg->ProtocolID, uint32_t{ISO15765});
    EXPECT_EQ(msg->TxFlags, 0x40u);
    EXPECT_EQ(msg->RxStatus, 0u);
    EXPECT_EQ(msg->Timestamp, 0u);
    EXPECT_EQ(msg->ExtraDataIndex, 0u);
    ASSERT_EQ(msg->DataSize, 6u);
    EXPECT_EQ(std::vector<uint8_t>(msg->Data, msg->Data + 6),
              (std::vector<uint8_t>{0, 0, 7, 0xDF, 1, 0}));

    EXPECT_EQ(returned_text("PassThruConnect", 1), "PassThruConnect returned 1");
    EXPECT_EQ(returned_text("PassThruOpen", -1), "PassThruOpen returned 4294967295");
    EXPECT_EQ(returned_text(std::string(300, 'x'), 0).size(), 255u);

    const char unterminated[4] = {'0', '4', '.', '0'};
    EXPECT_EQ(text_from_buffer(unterminated, sizeof unterminated), "04.0");
    EXPECT_EQ(text_from_buffer("02.06\0junk", 10), "02.06");
    EXPECT_EQ(field_text(std::string(100, 'a')).size(), kFieldTextMax);
    EXPECT_EQ(clamp_count(5, 3), 3u);
    EXPECT_EQ(clamp_count(2, 3), 2u);
    msg->DataSize = 0xFFFFFFFF;
    EXPECT_EQ(data_size_of(*msg), uint32_t{PASSTHRU_MSG_DATA_SIZE});

    // The combo index selects the item; -1 and row 1's empty 15th item none.
    EXPECT_EQ(protocol_item(kSPISO15765)->protocol_id, uint32_t{SPISO15765});
    EXPECT_EQ(protocol_item(kISO9141)->protocol_id, uint32_t{ISO9141});
    EXPECT_FALSE(protocol_item(-1));
    EXPECT_FALSE(protocol_item(kProtocolCount));
}

}  // namespace
