// readwrite_rules_test.cpp - the Qt-free rules of the "Read / Write" page in
// both word sizes: the monitor's line formats, which waiting records a tick
// shows and in which order, the "Sort Msgs" table, the monitor text and the
// cut of a saved text, and the trim of a message text, which SendWriteMessage
// hands back to its caller.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "testapp/bus_monitor.h"
#include "testapp/monitor_lines.h"
#include "testapp/saved_messages.h"
#include "testapp/write_rules.h"

namespace {

PASSTHRU_MSG record(uint32_t protocol, std::vector<uint8_t> data, uint32_t timestamp = 0,
                    uint32_t rx_status = 0)
{
    PASSTHRU_MSG m;
    std::memset(&m, 0, sizeof m);
    m.ProtocolID = protocol;
    m.RxStatus = rx_status;
    m.Timestamp = timestamp;
    m.DataSize = static_cast<uint32_t>(data.size());
    if (!data.empty())
        std::memcpy(m.Data, data.data(), data.size());
    return m;
}

const std::vector<uint8_t> k7E8 = {0x00, 0x00, 0x07, 0xE8, 0x11, 0x22,
                                   0x33, 0x44, 0x55, 0x66, 0x77, 0x88};

TEST(MonitorLines, StandardAndAscForms)
{
    const std::vector<uint8_t> k29 = {0x18, 0xDA, 0xF1, 0x10, 0x02, 0x10, 0x03};
    const struct {
        PASSTHRU_MSG msg;
        uint32_t time;  // the standard form's time column
        const char *standard;
        const char *asc;
    } cases[] = {
        {record(CAN, k7E8, 1234567), 1234567,
         "   1234567 CAN        00000000   00 00 07 E8 11 22 33 44 55 66 77 88\r\n",
         "    1.234567 1  7E8             Rx   d 8 11 22 33 44 55 66 77 88 \n"},
        // 29-bit: only bytes 2 and 3 form the identifier, in both forms.
        {record(CAN, k29, 4294967295u, CAN_29BIT_ID), 12,
         "        12 CAN        00000100   18 DA F1 10 02 10 03\r\n",
         " 4294.967295 1      F110x       Rx   d 3 02 10 03 \n"},
        // Any other protocol is bus 2 in the trace form.
        {record(ISO15765, {0, 0, 7, 0xE8, 0x41, 0x00}, 999999, 0x8000), 0,
         "         0 ISO15765   00008000   00 00 07 E8 41 00\r\n",
         "    0.999999 2  7E8             Rx   d 2 41 00 \n"},
        // Shorter than an identifier: a negative DLC, no payload.
        {record(ISO9141, {0x48}, 0), 7, "         7 ISO9141    00000000   48\r\n",
         "    0.000000 2    0             Rx   d -3 \n"},
        {record(0, {}, 0), 0, "         0 INVALID    00000000  \r\n",
         "    0.000000 2    0             Rx   d -4 \n"},
    };
    std::string line;
    for (const auto &c : cases) {
        format_standard_line(c.msg, c.time, line);
        EXPECT_EQ(line, c.standard);
        format_asc_line(c.msg, c.msg.Timestamp, line);
        EXPECT_EQ(line, c.asc);
    }

    const char *columns[] = {"INVALID   ", "J1850VPW  ", "J1850PWM  ", "ISO9141   ",
                             "ISO14230  ", "CAN       ", "ISO15765  ", "SCIAENG   ",
                             "SCIATRAN  ", "SCIBENG   ", "SCIBTRAN  ", "MSCAN     ",
                             "MSISO15765", "SPCAN     ", "SPISO15765", "INVALID   "};
    for (uint32_t id = 0; id <= 15; ++id)
        EXPECT_STREQ(protocol_column(id), columns[id]) << id;
    EXPECT_STREQ(protocol_column(0x8000), "INVALID   ");
}

TEST(MonitorLines, LongRecordsStopInsideTheLineBuffer)
{
    // The longest record, and one whose DataSize claims more than Data holds.
    for (uint32_t size : {uint32_t{PASSTHRU_MSG_DATA_SIZE}, 100000u}) {
        PASSTHRU_MSG m = record(ISO15765, std::vector<uint8_t>(PASSTHRU_MSG_DATA_SIZE, 0xAB));
        m.DataSize = size;
        std::string line;
        format_standard_line(m, 0, line);
        ASSERT_EQ(line.substr(line.size() - 2), "\r\n");
        std::string body = line.substr(0, line.size() - 2);
        EXPECT_GT(body.size(), kMonitorLineBytesStop);
        EXPECT_LE(body.size(), kMonitorLineBytesStop + 3);
        EXPECT_EQ(body.substr(body.size() - 6), " AB AB");
        EXPECT_LT(line.size(), kMonitorTextSize);

        format_asc_line(m, 0, line);
        ASSERT_EQ(line.back(), '\n');
        EXPECT_GT(line.size() - 1, kMonitorLineBytesStop);
        EXPECT_LE(line.size() - 1, kMonitorLineBytesStop + 3);
        EXPECT_EQ(line.substr(line.size() - 7), "AB AB \n");
        EXPECT_LT(line.size(), kMonitorTextSize);
    }
}

TEST(BusMonitorRules, HowManyATickShows)
{
    const struct {
        uint32_t waiting, read, shown;
    } cases[] = {
        {0, 0, 0},    {5, 0, 5},    {5, 3, 0},     {150, 0, 150},   {150, 1, 0},
        {151, 1, 75}, {180, 0, 90}, {181, 20, 90}, {200, 200, 100},
    };
    for (const auto &c : cases)
        EXPECT_EQ(records_to_show(c.waiting, c.read), c.shown)
            << c.waiting << " waiting, " << c.read << " read";
}

TEST(BusMonitorRules, TimeStampOrderAcrossTheWrap)
{
    const struct {
        std::vector<uint32_t> stamps;
        std::vector<uint8_t> order;
    } cases[] = {
        {{30, 10, 20}, {1, 2, 0}},
        // Equal stamps keep their ring order.
        {{5, 5, 1, 5}, {2, 0, 1, 3}},
        // Stamps on both sides of the 32-bit wrap: after it comes later,
        // whichever record comes first in the ring.
        {{0xFFFFFF00u, 0x00000100u, 0xFFFFFFF0u}, {0, 2, 1}},
        {{0x00000100u, 0xFFFFFF00u, 0x00000010u}, {1, 2, 0}},
        // A signed difference is no order over these (a < b < c < a).
        {{0, 0x60000000u, 0xC0000000u}, {2, 0, 1}},
    };
    for (const auto &c : cases) {
        std::vector<PASSTHRU_MSG> ring;
        for (uint32_t s : c.stamps)
            ring.push_back(record(CAN, k7E8, s));
        std::vector<uint8_t> order(ring.size());
        sort_by_timestamp(ring.data(), static_cast<uint32_t>(ring.size()), order.data());
        EXPECT_EQ(order, c.order) << c.stamps[0];
    }

    // A full ring of stamps spread around the wrap comes out ascending by
    // distance from the earliest.
    std::vector<PASSTHRU_MSG> ring;
    for (uint32_t i = 0; i < kMonitorRingSize; ++i)
        ring.push_back(record(CAN, k7E8, 0xFFFFFF00u + (i * 7919u) % kMonitorRingSize * 3u));
    std::vector<uint8_t> order(kMonitorRingSize);
    sort_by_timestamp(ring.data(), kMonitorRingSize, order.data());
    for (uint32_t i = 1; i < kMonitorRingSize; ++i)
        EXPECT_LT(ring[order[i - 1]].Timestamp - 0xFFFFFF00u,
                  ring[order[i]].Timestamp - 0xFFFFFF00u);
}

TEST(BusMonitorRules, SortTableKeepsOneEntryPerKey)
{
    auto table = std::make_unique<PASSTHRU_MSG[]>(kSortTableSize);
    uint32_t deltas[kSortTableSize] = {};
    auto id = [](uint8_t low, uint32_t t, std::vector<uint8_t> more = {}) {
        std::vector<uint8_t> d = {0, 0, 7, low};
        d.insert(d.end(), more.begin(), more.end());
        return record(CAN, d, t);
    };

    EXPECT_EQ(sort_table_put(table.get(), deltas, id(0xE8, 1000, {1}), 4), 0);
    EXPECT_EQ(deltas[0], 1000u);  // a free entry: the message's own stamp
    EXPECT_EQ(sort_table_put(table.get(), deltas, id(0xE9, 1500), 4), 1);
    EXPECT_EQ(sort_table_put(table.get(), deltas, id(0xE8, 1700, {2}), 4), 0);
    EXPECT_EQ(deltas[0], 700u);
    EXPECT_EQ(table[0].Data[4], 2);  // the entry holds the newest message
    EXPECT_EQ(sort_table_used(table.get()), 2);

    // Shorter than the key: matches nothing, takes a free entry each time.
    EXPECT_EQ(sort_table_put(table.get(), deltas, record(CAN, {0, 0, 7}, 1), 4), 2);
    EXPECT_EQ(sort_table_put(table.get(), deltas, record(CAN, {0, 0, 7}, 2), 4), 3);
    // Key length 0: everything is entry 0.
    EXPECT_EQ(sort_table_put(table.get(), deltas, id(0x01, 2000), 0), 0);
    EXPECT_EQ(deltas[0], 300u);

    // 25 keys fill the table; the 26th is not kept.
    for (uint8_t low = 0x10; low < 0x10 + kSortTableSize - 4; ++low)
        EXPECT_GE(sort_table_put(table.get(), deltas, id(low, 3000), 4), 4);
    EXPECT_EQ(sort_table_used(table.get()), kSortTableSize);
    EXPECT_EQ(sort_table_put(table.get(), deltas, id(0xFE, 4000), 4), -1);
    // A known key still updates its entry.
    EXPECT_EQ(sort_table_put(table.get(), deltas, id(0x10, 3010), 4), 4);
    EXPECT_EQ(deltas[4], 10u);
}

TEST(BusMonitorRules, MonitorTextKeepsTheNewestLinesFirst)
{
    std::array<char, kMonitorTextSize> text{};
    insert_line(text, "old\r\n");
    insert_line(text, "new\r\n");
    EXPECT_STREQ(text.data(), "new\r\nold\r\n");

    // Filling it drops the oldest characters and keeps the terminator.
    std::string line(1000, 'x');
    for (int i = 0; i < 5; ++i)
        insert_line(text, line);
    EXPECT_EQ(std::strlen(text.data()), kMonitorTextSize - 1);
    EXPECT_EQ(text[kMonitorTextSize - 1], '\0');
    insert_line(text, std::string(kMonitorTextSize + 10, 'y'));
    EXPECT_EQ(std::string(text.data()), std::string(kMonitorTextSize - 1, 'y'));
}

TEST(SavedMessages, TextsAreCutWhereNoNumberSplits)
{
    const std::string fits(119, '1');
    std::string long_numbers;
    while (long_numbers.size() < 200)
        long_numbers += "0x1234 ";  // 7 characters a number: 119 falls inside one
    const struct {
        std::string text, kept;
    } cases[] = {
        {"", ""},
        {"0x01 0x02", "0x01 0x02"},
        {fits, fits},
        {fits + "2", fits},  // no blank to cut at
        {long_numbers, long_numbers.substr(0, 118)},
        {std::string(118, 'a') + " bc", std::string(118, 'a')},
    };
    for (const auto &c : cases) {
        SavedWriteMessage saved;
        std::memset(saved.Msg, '#', sizeof saved.Msg);
        set_saved_text(saved.Msg, c.text);
        EXPECT_EQ(std::string(saved.Msg), c.kept) << c.text;
    }
}

TEST(WriteRules, MessageTextLosesTrailingBlanksAndPunctuation)
{
    const struct {
        const char *text, *kept;
    } cases[] = {{"0x01 0x02 0x03 ", "0x01 0x02 0x03"},
                 {"1 2 3,", "1 2 3"},
                 {"1 2.\r\n\t", "1 2"},
                 {"7 \xE9\x80", "7"},
                 {" ,.", ""},
                 {"0x", "0x"}};
    for (const auto &c : cases) {
        std::string text = c.text;
        trim_message_text(text);
        EXPECT_EQ(text, c.kept) << c.text;
    }
}

}  // namespace
