// Records of the CAN and K-line channels, fed frame by frame: identifier
// layout and status bits, time stamps, K-line pieces, filters and checksum.
#include <gtest/gtest.h>

#include "passthru/receive/can_rx.h"
#include "passthru/receive/kline_rx.h"
#include "sim/bus_traffic.h"
#include "tests/passthru/rx_test_support.h"

using namespace tenq_test;

namespace {

class RecordsTest : public ::testing::Test {
  protected:
    void SetUp() override { reset_receive_state(); }

    static Records can(const std::vector<tenq::JMSG> &frames, uint32_t connect_flags = 0,
                       uint32_t channel = 5)
    {
        Records records(8);
        for (const tenq::JMSG &f : frames)
            tenq::CanReceiveFrame(channel, connect_flags, f, records.out());
        return records;
    }

    // The frames the adapter sends for a K-line message.
    static std::vector<tenq::JMSG> kline(const std::vector<uint8_t> &message, uint32_t ticks = 0,
                                         uint8_t type = 0)
    {
        std::vector<tenq::JMSG> out;
        for (const auto &f : orvane::sim::kline_frames(message, ticks, type))
            out.push_back(bus_frame(f.dev, f.data, f.flags, f.type, f.timestamp_be()));
        return out;
    }

    static Records feed_kline(const std::vector<tenq::JMSG> &frames, uint32_t room = 8,
                              uint32_t channel = 3)
    {
        Records records(room);
        for (const tenq::JMSG &f : frames) {
            if (records.out().has_room())
                tenq::KLineReceiveFrame(channel, f, records.out());
        }
        return records;
    }

    // `body` followed by its checksum.
    static std::vector<uint8_t> with_checksum(std::vector<uint8_t> body)
    {
        body.push_back(orvane::sim::kline_checksum(body));
        return body;
    }
};

}  // namespace

TEST_F(RecordsTest, CanRecordsAlwaysBeginWithAFourByteIdentifier)
{
    const auto payload = counting(8, 0x10);
    auto r = can(
        {
            bus_frame(0x10, bytes_of({{0x07, 0xE8}, payload})),
            bus_frame(0x10, bytes_of({{0x07, 0xE0}, payload}), 0, tenq::JMSG_TYPE_DATA),
            bus_frame(0x10, bytes_of({{0x07, 0xE8}, counting(16)}), 0x03),
            bus_frame(0x10, bytes_of({{0x07, 0xE8}, counting(12)}), 0x01),
            bus_frame(0x10, bytes_of({{0x18, 0xDA, 0xF1, 0x10}, payload}), 0x10),
            bus_frame(0x10, bytes_of({{0x07, 0xE8}, payload}), 0x40),
        },
        CAN_ID_BOTH);
    ASSERT_EQ(r.count(), 6u);
    EXPECT_EQ(r[0].ProtocolID, 5u);
    EXPECT_EQ(r.data(0), bytes_of({{0, 0, 0x07, 0xE8}, payload}));
    EXPECT_EQ(r[0].DataSize, 12u);
    EXPECT_EQ(r[0].ExtraDataIndex, 12u);
    EXPECT_EQ(r[0].RxStatus, 0u);
    EXPECT_EQ(r[0].TxFlags, 0u);
    EXPECT_EQ(r[1].RxStatus, uint32_t{TX_MSG_TYPE});
    EXPECT_EQ(r[2].RxStatus, uint32_t{CAN_FD_FRAME | CAN_FD_BRS});
    EXPECT_EQ(r[2].DataSize, 20u);
    EXPECT_EQ(r[3].RxStatus, uint32_t{CAN_FD_FRAME});
    EXPECT_EQ(r.data(4), bytes_of({{0x18, 0xDA, 0xF1, 0x10}, payload}));
    EXPECT_EQ(r[4].RxStatus, uint32_t{CAN_29BIT_ID});
    EXPECT_EQ(r[4].DataSize, 12u);
    EXPECT_EQ(r[5].RxStatus, uint32_t{BUS_ERROR_FRAME});
    EXPECT_EQ(r.data(5), bytes_of({{0xFE, 0xFE, 0xFE, 0xFE}, payload}));

    EXPECT_EQ(can({bus_frame(0x30, {0x07, 0xE8, 1})}, 0, 11)[0].ProtocolID, 11u);
}

TEST_F(RecordsTest, ConnectFlagsChooseTheIdentifierFormats)
{
    const auto std11 = bus_frame(0x10, {0x07, 0xE8, 1, 2});
    const auto ext29 = bus_frame(0x10, {0x18, 0xDA, 0xF1, 0x10, 1, 2}, 0x10);
    const struct {
        uint32_t flags;
        uint32_t std11, ext29;
    } cases[] = {
        {0, 1, 0},
        {CAN_29BIT_ID, 0, 1},
        {CAN_ID_BOTH, 1, 1},
        {CAN_ID_BOTH | CAN_29BIT_ID, 1, 1},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(can({std11}, c.flags).count(), c.std11) << std::hex << c.flags;
        EXPECT_EQ(can({ext29}, c.flags).count(), c.ext29) << std::hex << c.flags;
    }
}

TEST_F(RecordsTest, TimeStampsInMicrosecondsUnlessMillisecondsWereChosen)
{
    const struct {
        uint32_t ticks;
        uint8_t msec;
        uint32_t expected;
    } cases[] = {
        {0x00010000, 0, 256000},
        {0x00010000, 1, 256},
        {0x00010000, 2, 256000},  // only 1 means milliseconds
        {0x000000FF, 0, 996},
        {0x000000FF, 1, 0},
        // The microsecond count is taken in 64 bits and wraps as a 32-bit value.
        {0xFFFFFFFF, 0, static_cast<uint32_t>((uint64_t{0xFFFFFFFF} * 1000) >> 8)},
        {0xFFFFFFFF, 1, 0x00FFFFFF},
    };
    for (const auto &c : cases) {
        tenq::TimestampMsec = c.msec;
        EXPECT_EQ(tenq::RecordTimestamp(bus_frame(0x10, {}, 0, 0, c.ticks)), c.expected)
            << std::hex << c.ticks << " msec " << int(c.msec);
    }
}

TEST_F(RecordsTest, KLinePiecesAreJoinedAndTheChecksumTested)
{
    const auto message = with_checksum(counting(70, 0x40));
    auto frames = kline(message, 0x100);
    ASSERT_EQ(frames.size(), 2u);
    ASSERT_EQ(frames[0].size, 68);
    frames[1].timestamp[2] = 0x02;  // the last piece came later
    auto r = feed_kline(frames);
    ASSERT_EQ(r.count(), 1u);
    EXPECT_EQ(r[0].ProtocolID, 3u);
    EXPECT_EQ(r.data(0), counting(70, 0x40));
    EXPECT_EQ(r[0].ExtraDataIndex, 70u);
    EXPECT_EQ(r[0].RxStatus, 0u);
    EXPECT_EQ(r[0].Timestamp, 2000u);

    // A wrong checksum discards the message; the next one starts clean.
    auto bad = message;
    bad.back() ^= 1;
    auto frames2 = kline(bad);
    auto good = kline(with_checksum({0x48, 0x6B, 0x10, 0x41, 0x00}), 0, tenq::JMSG_TYPE_DATA);
    frames2.insert(frames2.end(), good.begin(), good.end());
    auto r2 = feed_kline(frames2, 8, 4);
    EXPECT_EQ(last_error(), "ISO9141/14230 Bad RX checksum");
    ASSERT_EQ(r2.count(), 1u);
    EXPECT_EQ(r2.data(0), (std::vector<uint8_t>{0x48, 0x6B, 0x10, 0x41, 0x00}));
    EXPECT_EQ(r2[0].ProtocolID, 4u);
    EXPECT_EQ(r2[0].RxStatus, uint32_t{TX_MSG_TYPE});

    // Without checksums the last byte stays.
    tenq::ISO9141NoChecksum = 1;
    auto r3 = feed_kline(kline(bad));
    ASSERT_EQ(r3.count(), 1u);
    EXPECT_EQ(r3.data(0), bad);
}

TEST_F(RecordsTest, KLineFiltersOfAnyTypeDecideAndTheFirstMatchWins)
{
    const auto wanted = kline(with_checksum({0x48, 0x6B, 0x10, 0x41, 0x00}));
    const auto other = kline(with_checksum({0x48, 0x6B, 0x11, 0x41, 0x00}));
    auto both = other;
    both.insert(both.end(), wanted.begin(), wanted.end());

    // No K-line slot in use: everything passes; slots of other devices do not count.
    set_filter(0, PASS_FILTER, tenq::JMSG_CAN, {0xFF}, {0x00});
    EXPECT_EQ(feed_kline(both).count(), 2u);

    // A K-line slot of any type is a pass condition.
    set_filter(5, BLOCK_FILTER, tenq::JMSG_ISO9141, {0x00, 0x00, 0xFF}, {0x00, 0x00, 0x10});
    auto r = feed_kline(both);
    ASSERT_EQ(r.count(), 1u);
    EXPECT_EQ(r[0].Data[2], 0x10);
    set_filter(9, FLOW_CONTROL_FILTER, tenq::JMSG_ISO9141, {0x00, 0x00, 0xFF}, {0x00, 0x00, 0x11});
    EXPECT_EQ(feed_kline(both).count(), 2u);

    // A mask longer than the message (its checksum byte still on) compares
    // the missing bytes as 0.
    reset_receive_state();
    set_filter(
        0, PASS_FILTER, tenq::JMSG_ISO9141, std::vector<uint8_t>(10, 0xFF),
        bytes_of({with_checksum({0x48, 0x6B, 0x10, 0x41, 0x00}), std::vector<uint8_t>(4, 0)}));
    EXPECT_EQ(feed_kline(wanted).count(), 1u);
    EXPECT_EQ(feed_kline(other).count(), 0u);
}

TEST_F(RecordsTest, KLineStartIndicationsAndKeyBytes)
{
    std::vector<tenq::JMSG> frames{bus_frame(0x90, {0x08, 0x08, 0x33}, 0x40),
                                   bus_frame(0x90, {}, 0x80, 0, 0x300)};
    auto message = kline(with_checksum({0x48, 0x6B, 0x10}));
    frames.insert(frames.end(), message.begin(), message.end());
    auto r = feed_kline(frames);
    EXPECT_EQ(tenq::ISO9141Keyword1, 0x08);
    EXPECT_EQ(tenq::ISO9141Keyword2, 0x08);
    EXPECT_EQ(tenq::ISO9141Address, 0x33);
    ASSERT_EQ(r.count(), 2u);
    EXPECT_EQ(r[0].RxStatus, uint32_t{START_OF_MESSAGE});
    EXPECT_EQ(r[0].DataSize, 0u);
    EXPECT_EQ(r[0].ExtraDataIndex, 0u);
    EXPECT_EQ(r[0].Timestamp, 3000u);
    EXPECT_EQ(r.data(1), (std::vector<uint8_t>{0x48, 0x6B, 0x10}));
}

TEST_F(RecordsTest, KLineMessagePastTheRecordIsDiscardedWhole)
{
    // The longest message a record holds: 4128 bytes with its checksum.
    const auto longest = with_checksum(counting(PASSTHRU_MSG_DATA_SIZE - 1, 1));
    auto r = feed_kline(kline(longest));
    ASSERT_EQ(r.count(), 1u);
    EXPECT_EQ(r[0].DataSize, uint32_t{PASSTHRU_MSG_DATA_SIZE - 1});

    // One byte more: no record, and the pieces that follow the cut do not
    // come back as a message of their own, even without checksums.
    tenq::ISO9141NoChecksum = 1;
    auto frames = kline(counting(PASSTHRU_MSG_DATA_SIZE + 100));
    auto next = kline({0x48, 0x6B, 0x10});
    frames.insert(frames.end(), next.begin(), next.end());
    auto r2 = feed_kline(frames);
    EXPECT_EQ(last_error(), "ISO9141/14230 RX message too long");
    ASSERT_EQ(r2.count(), 1u);
    EXPECT_EQ(r2.data(0), (std::vector<uint8_t>{0x48, 0x6B, 0x10}));
}
