// readwrite_rules_test.cpp - the Qt-free rules of the "Read / Write" page in
// both word sizes: the monitor's line formats, which waiting records a tick
// shows and in which order, the "Sort Msgs" table, the monitor text and the
// cut of a saved text.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "testapp/bus_monitor.h"
#include "testapp/monitor_lines.h"
#include "testapp/saved_messages.h"

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
    std::copy(data.begin(), data.end(), m.Data);
    return m;
}

TEST(MonitorLines, StandardAndAscForms)
{
    const struct {
        PASSTHRU_MSG msg;
        uint32_t time;  // the standard form's time column
        const char *standard, *asc;
    } cases[] = {
        // 29-bit: only bytes 2 and 3 form the identifier, in both forms.
        {record(CAN, {0x18, 0xDA, 0xF1, 0x10, 0x02, 0x10, 0x03}, 4294967295u, CAN_29BIT_ID), 12,
         "        12 CAN        00000100   18 DA F1 10 02 10 03\r\n",
         " 4294.967295 1      F110x       Rx   d 3 02 10 03 \n"},
        // Any other protocol is bus 2 in the trace form.
        {record(ISO15765, {0, 0, 7, 0xE8, 0x41, 0x00}, 999999, 0x8000), 0,
         "         0 ISO15765   00008000   00 00 07 E8 41 00\r\n",
         "    0.999999 2  7E8             Rx   d 2 41 00 \n"},
        // Shorter than an identifier: a negative DLC, no payload.
        {record(ISO9141, {0x48}, 0), 7, "         7 ISO9141    00000000   48\r\n",
         "    0.000000 2    0             Rx   d -3 \n"},
        {record(0x8000, {}, 0), 0, "         0 INVALID    00000000  \r\n",
         "    0.000000 2    0             Rx   d -4 \n"},
    };
    std::string line;
    for (const auto &c : cases) {
        format_standard_line(c.msg, c.time, line);
        EXPECT_EQ(line, c.standard);
        format_asc_line(c.msg, c.msg.Timestamp, line);
        EXPECT_EQ(line, c.asc);
    }

    // The longest record, and one whose DataSize claims more than Data
    // holds: both forms stop at the same byte, well inside the monitor text.
    for (uint32_t size : {uint32_t{PASSTHRU_MSG_DATA_SIZE}, 100000u}) {
        PASSTHRU_MSG m = record(ISO15765, std::vector<uint8_t>(PASSTHRU_MSG_DATA_SIZE, 0xAB));
        m.DataSize = size;
        for (const std::string end : {" AB AB\r\n", "AB AB \n"}) {
            end[0] == ' ' ? format_standard_line(m, 0, line) : format_asc_line(m, 0, line);
            const size_t body = line.find_last_not_of("\r\n") + 1;
            EXPECT_GT(body, kMonitorLineBytesStop) << end;
            EXPECT_LE(body, kMonitorLineBytesStop + 3) << end;
            EXPECT_EQ(line.substr(line.size() - end.size()), end);
        }
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
            ring.push_back(record(CAN, {0, 0, 7, 0xE8}, s));
        std::vector<uint8_t> order(ring.size());
        sort_by_timestamp(ring.data(), static_cast<uint32_t>(ring.size()), order.data());
        EXPECT_EQ(order, c.order) << c.stamps[0];
    }
}

TEST(BusMonitorRules, SortTableAndMonitorTextStayInsideTheirStorage)
{
    auto table = std::make_unique<PASSTHRU_MSG[]>(kSortTableSize);
    uint32_t deltas[kSortTableSize] = {};
    auto put = [&](uint8_t low, uint32_t t) {
        return sort_table_put(table.get(), deltas, record(CAN, {0, 0, 7, low}, t), 4);
    };
    // Shorter than the key: matches nothing, takes a free entry each time.
    EXPECT_EQ(sort_table_put(table.get(), deltas, record(CAN, {0, 0, 7}, 1), 4), 0);
    EXPECT_EQ(sort_table_put(table.get(), deltas, record(CAN, {0, 0, 7}, 2), 4), 1);
    // The other keys fill the table; one more is not kept, a known key
    // still updates its entry.
    for (int k = 2; k < kSortTableSize; ++k)
        EXPECT_EQ(put(static_cast<uint8_t>(0x10 + k), 3000), k);
    EXPECT_EQ(sort_table_used(table.get()), kSortTableSize);
    EXPECT_EQ(put(0xFE, 4000), -1);
    EXPECT_EQ(put(0x12, 3010), 2);
    EXPECT_EQ(deltas[2], 10u);

    // The newest line first; filling the text drops the oldest characters
    // and keeps the terminator.
    std::array<char, kMonitorTextSize> text{};
    insert_line(text, "old\r\n");
    insert_line(text, "new\r\n");
    EXPECT_STREQ(text.data(), "new\r\nold\r\n");
    for (int i = 0; i < 5; ++i)
        insert_line(text, std::string(1000, 'x'));
    EXPECT_EQ(std::strlen(text.data()), kMonitorTextSize - 1);
    insert_line(text, std::string(kMonitorTextSize + 10, 'y'));
    EXPECT_EQ(std::string(text.data()), std::string(kMonitorTextSize - 1, 'y'));
}

TEST(SavedMessages, TextsAreCutWhereNoNumberSplits)
{
    const std::string fits(119, '1');
    std::string numbers;
    while (numbers.size() < 200)
        numbers += "0x1234 ";  // 7 characters a number: 119 falls inside one
    const struct {
        std::string text, kept;
    } cases[] = {
        {"", ""},
        {"0x01 0x02", "0x01 0x02"},
        {fits, fits},
        {fits + "2", fits},  // no blank to cut at
        {numbers, numbers.substr(0, 118)},
        {std::string(118, 'a') + " bc", std::string(118, 'a')},
    };
    for (const auto &c : cases) {
        SavedWriteMessage saved;
        std::memset(saved.Msg, '#', sizeof saved.Msg);
        set_saved_text(saved.Msg, c.text);
        EXPECT_EQ(std::string(saved.Msg), c.kept) << c.text;
    }
}

}  // namespace
