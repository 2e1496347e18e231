// PassThruWriteMsgs against a scripted port: entry checks, time-out shares,
// batches, refusals, failures part-way, and the completion barrier.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/device_search.h"
#include "passthru/link/byteorder.h"
#include "passthru/link/link.h"
#include "passthru/link/rings.h"
#include "tests/passthru/fake_port.h"
#include "tests/passthru/write_test_support.h"

using orvane::sim::Frame;
using tenq_test::decode_all;
using tenq_test::FakePort;
using tenq_test::id_and_payload;
using tenq_test::make_msg;
using tenq_test::msg_array;
using tenq_test::SteppingClock;

namespace {

const tenq_test::WriteResult kWriteFails{-32005, 0};

class WriteMsgsTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        tenq::hCommPort = 42;
        tenq::CommPortNum = 7;
        tenq::UserSpecifiedIOTNum = 0;
        tenq::com_buf_len = 0;
        tenq::ChannelStatus = 0;
        for (tenq::CAN_SETUP *s : {&tenq::CANSetup, &tenq::MSCANSetup}) {
            *s = tenq::CAN_SETUP{};
            s->iso15765_tx_data_length = 8;
            s->iso15765_pad_value = 0xCC;
        }
        std::strcpy(tenq::LastError, "No Error");
    }

    void connect(uint32_t channel) { tenq::ChannelStatus |= tenq::ChannelBit(channel); }

    std::vector<Frame> frames() const { return decode_all(port.all_written()); }
    // Frames of each serial write.
    std::vector<size_t> frames_per_write() const
    {
        std::vector<size_t> out;
        for (const auto &w : port.writes)
            out.push_back(decode_all(w).size());
        return out;
    }
    static bool is_version_query(const Frame &f)
    {
        return f.dev == 0xF0 && f.op == 2 && f.type == 13;
    }
    void script_version_reply() { port.reads.push_back(tenq_test::frame(0xF0, 2, 13, 0, {1, 7})); }

    FakePort port;
};

const PASSTHRU_MSG kCan8 = make_msg(CAN, 0, {0, 0, 0x07, 0xE0, 1, 2, 3, 4});

}  // namespace

TEST_F(WriteMsgsTest, EntryChecksInOrder)
{
    PASSTHRU_MSG m = kCan8;
    uint32_t n = 1;
    EXPECT_EQ(PassThruWriteMsgs(5, &m, &n, 0), ERR_DEVICE_NOT_CONNECTED);
    EXPECT_STREQ(tenq::LastError, "PassThruWriteMsgs invalid ChannelID");
    connect(5);
    EXPECT_EQ(PassThruWriteMsgs(5, nullptr, &n, 0), ERR_NULL_PARAMETER);
    EXPECT_STREQ(tenq::LastError, "PassThruWriteMsgs null parameter");
    EXPECT_EQ(PassThruWriteMsgs(5, &m, nullptr, 0), ERR_NULL_PARAMETER);
    EXPECT_TRUE(port.writes.empty());

    // Nothing to write: no frame, no barrier, even when asked to block.
    m.TxFlags = BLOCKING_WRITE;
    n = 0;
    EXPECT_EQ(PassThruWriteMsgs(5, &m, &n, 0), STATUS_NOERROR);
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(port.writes.empty());

    // A connected bit that names no channel.
    connect(7);
    n = 1;
    EXPECT_EQ(PassThruWriteMsgs(7, &m, &n, 0), ERR_INVALID_CHANNEL_ID);
    EXPECT_EQ(n, 0u);
    EXPECT_STREQ(tenq::LastError, "PassThruWriteMsgs invalid channel ID");
    // ChannelID 37 tests bit 5, which is set, and is no channel either.
    n = 1;
    EXPECT_EQ(PassThruWriteMsgs(37, &m, &n, 0), ERR_INVALID_CHANNEL_ID);
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(WriteMsgsTest, TimeOutIsSharedAmongTheMessages)
{
    connect(5);
    PASSTHRU_MSG four[4] = {kCan8, kCan8, kCan8, kCan8};
    uint32_t n = 4;
    ASSERT_EQ(PassThruWriteMsgs(5, four, &n, 0), STATUS_NOERROR);  // 0 counts as 1500
    EXPECT_EQ(n, 4u);
    for (const Frame &f : frames())
        EXPECT_EQ(f.timestamp_le(), 250u);

    port.writes.clear();
    n = 2;
    ASSERT_EQ(PassThruWriteMsgs(5, four, &n, 4500), STATUS_NOERROR);
    for (const Frame &f : frames())
        EXPECT_EQ(f.timestamp_le(), 2000u);

    // 2000 messages share 1000 ms: 0 each, except that first and
    // consecutive frames never carry less than 1000.
    connect(6);
    port.writes.clear();
    const PASSTHRU_MSG single = make_msg(ISO15765, 0, {0, 0, 7, 0xE0, 1, 2});
    const PASSTHRU_MSG multi = make_msg(ISO15765, 0, id_and_payload({0, 0, 7, 0xE0}, 20));
    auto msgs = msg_array(2000, single);
    for (size_t i = 1; i < 2000; i += 2)
        msgs[i] = multi;
    n = 2000;
    ASSERT_EQ(PassThruWriteMsgs(6, msgs.get(), &n, 1500), STATUS_NOERROR);
    EXPECT_EQ(n, 2000u);
    const auto all = frames();
    ASSERT_EQ(all.size(), 1000u * 1 + 1000u * 4);
    for (const Frame &f : all) {
        const bool segment = f.type == 5 && (f.data[2] & 0xF0) != 0;
        EXPECT_EQ(f.timestamp_le(), segment ? 1000u : 0u) << f;
    }
}

TEST_F(WriteMsgsTest, ThousandFramesGoInOneWrite)
{
    connect(5);
    auto msgs = msg_array(1001, kCan8);
    uint32_t n = 1001;
    ASSERT_EQ(PassThruWriteMsgs(5, msgs.get(), &n, 0), STATUS_NOERROR);
    EXPECT_EQ(n, 1001u);
    EXPECT_EQ(frames_per_write(), (std::vector<size_t>{1000, 1}));

    // 1000 frames of the largest size are one write of 78000 bytes.
    port.writes.clear();
    const PASSTHRU_MSG big =
        make_msg(CAN, CAN_29BIT_ID | CAN_FD_FRAME, id_and_payload({0x18, 0xDA, 0, 1}, 64));
    msgs = msg_array(1000, big);
    n = 1000;
    ASSERT_EQ(PassThruWriteMsgs(5, msgs.get(), &n, 0), STATUS_NOERROR);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0].size(), 78000u);
    EXPECT_EQ(frames().back().data, id_and_payload({0x18, 0xDA, 0, 1}, 64));
}

TEST_F(WriteMsgsTest, TerminatingFrameOnABatchBoundaryFollowsItsMessage)
{
    connect(6);
    // 996 single frames, then a message of first frame and three
    // consecutive frames: the last consecutive frame is the 1000th frame.
    const PASSTHRU_MSG single = make_msg(ISO15765, 0, {0, 0, 7, 0xE0, 1});
    const PASSTHRU_MSG multi = make_msg(ISO15765, 0, id_and_payload({0, 0, 7, 0xE0}, 27));
    auto msgs = msg_array(998, single);
    msgs[996] = multi;
    uint32_t n = 998;
    ASSERT_EQ(PassThruWriteMsgs(6, msgs.get(), &n, 0), STATUS_NOERROR);
    EXPECT_EQ(n, 998u);
    EXPECT_EQ(frames_per_write(), (std::vector<size_t>{1000, 2}));
    const auto first = decode_all(port.writes[0]);
    EXPECT_EQ(first.back().flags, 0x80);  // last consecutive frame
    const auto second = decode_all(port.writes[1]);
    EXPECT_EQ(second[0], Frame(0x20, 3, 0, {}, 0x20));  // terminating frame
    EXPECT_EQ(second[1].data, (std::vector<uint8_t>{7, 0xE0, 1, 1}));

    // The same with the second write failing: the cut message is not counted.
    port.writes.clear();
    port.write_results = {{0, -1}, kWriteFails, kWriteFails};
    n = 998;
    EXPECT_EQ(PassThruWriteMsgs(6, msgs.get(), &n, 0), ERR_FAILED);
    EXPECT_EQ(n, 996u);
}

TEST_F(WriteMsgsTest, MessagesThatCannotBeFramedAreRefusedBeforeAnyFrame)
{
    connect(3);
    connect(5);
    connect(6);
    struct Case {
        uint32_t channel;
        PASSTHRU_MSG bad;
        const char *text;
    };
    PASSTHRU_MSG kline_long = make_msg(ISO9141, 0, id_and_payload({}, 4128));
    kline_long.DataSize = 4129;
    const Case cases[] = {
        {5, make_msg(CAN, 0, {0, 0, 7}), "cannot be framed"},
        {5, make_msg(CAN, 0, std::vector<uint8_t>(71, 1)), "cannot be framed"},
        {5, make_msg(CAN, CAN_29BIT_ID, std::vector<uint8_t>(69, 1)), "cannot be framed"},
        {6, make_msg(ISO15765, 0, {0, 0, 7}), "cannot be framed"},
        {6, make_msg(ISO15765, ISO15765_ADDR_TYPE, {0, 0, 7, 0xE0}), "cannot be framed"},
        {6, make_msg(ISO15765, 0, id_and_payload({0, 0, 7, 0xE0}, 4096)), "cannot be framed"},
        {6, make_msg(ISO15765, CAN_FD_FRAME | FD_TX_LENGTH_IN_MSG, {0, 0, 7, 0xE0, 1}, 7),
         "transmit data length"},
        {6, make_msg(ISO15765, CAN_FD_FRAME | FD_TX_LENGTH_IN_MSG, {0, 0, 7, 0xE0, 1}, 65),
         "transmit data length"},
        {6, make_msg(ISO15765, CAN_FD_FRAME | FD_TX_LENGTH_IN_MSG, {0, 0, 7, 0xE0, 1}, 0x108),
         "transmit data length"},
        {3, kline_long, "cannot be framed"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.channel) + " DataSize " + std::to_string(c.bad.DataSize));
        port.writes.clear();
        std::strcpy(tenq::LastError, "No Error");
        tenq::CANSetup.iso15765_tx_data_length = 12;
        const uint32_t protocol = c.channel == 3 ? ISO9141 : c.channel == 5 ? CAN : ISO15765;
        PASSTHRU_MSG good = make_msg(protocol, BLOCKING_WRITE, {0, 0, 7, 0xE0, 9});
        // The good message before the refused one is written and counted;
        // the one after it is not touched; no barrier runs.
        auto msgs = msg_array(3, good);
        msgs[1] = c.bad;
        uint32_t n = 3;
        EXPECT_EQ(PassThruWriteMsgs(c.channel, msgs.get(), &n, 0), ERR_INVALID_MSG);
        EXPECT_EQ(n, 1u);
        const auto all = frames();
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all[0].type, 5);
        EXPECT_NE(std::string(tenq::LastError).find(c.text), std::string::npos) << tenq::LastError;
        // A refused length does not become the channel's.
        if (c.channel == 6) {
            EXPECT_EQ(tenq::CANSetup.iso15765_tx_data_length, 8);
        }

        // Refused first: nothing at all is written.
        port.writes.clear();
        n = 1;
        EXPECT_EQ(PassThruWriteMsgs(c.channel, &msgs[1], &n, 0), ERR_INVALID_MSG);
        EXPECT_EQ(n, 0u);
        EXPECT_TRUE(port.writes.empty());
    }
}

TEST_F(WriteMsgsTest, CallersRecordsAreNeverChanged)
{
    connect(3);
    // 990 one-piece messages, then a 4128-byte one of 61 pieces that
    // straddles the batch boundary; the second write fails.
    auto msgs = msg_array(991, make_msg(ISO9141, 0, {0x68, 0x6A, 0xF1, 1}));
    msgs[990] = make_msg(ISO9141, 0, id_and_payload({}, 4128));
    std::vector<uint8_t> before(reinterpret_cast<uint8_t *>(msgs.get()),
                                reinterpret_cast<uint8_t *>(msgs.get() + 991));
    auto unchanged = [&] {
        return std::equal(before.begin(), before.end(), reinterpret_cast<uint8_t *>(msgs.get()));
    };
    port.write_results = {{0, -1}, kWriteFails, kWriteFails};
    uint32_t n = 991;
    EXPECT_EQ(PassThruWriteMsgs(3, msgs.get(), &n, 0), ERR_FAILED);
    EXPECT_EQ(n, 990u);
    EXPECT_TRUE(unchanged());

    port.writes.clear();
    n = 991;
    EXPECT_EQ(PassThruWriteMsgs(3, msgs.get(), &n, 0), STATUS_NOERROR);
    EXPECT_EQ(n, 991u);
    EXPECT_TRUE(unchanged());
    EXPECT_EQ(frames().size(), 990u + 61u);

    // ISO 15765 and CAN records too.
    connect(6);
    PASSTHRU_MSG iso[2] = {
        make_msg(ISO15765, ISO15765_FRAME_PAD, id_and_payload({0, 0, 7, 0xE0}, 300)),
        make_msg(ISO15765, CAN_FD_FRAME | FD_TX_LENGTH_IN_MSG, id_and_payload({0, 0, 7, 0xE0}, 70),
                 16)};
    const PASSTHRU_MSG iso_copy[2] = {iso[0], iso[1]};
    n = 2;
    EXPECT_EQ(PassThruWriteMsgs(6, iso, &n, 0), STATUS_NOERROR);
    EXPECT_EQ(std::memcmp(iso, iso_copy, sizeof iso), 0);
}

TEST_F(WriteMsgsTest, FailedWriteIsTheResultAndStopsTheBarrier)
{
    connect(5);
    auto msgs = msg_array(1500, kCan8);
    msgs[0].TxFlags = BLOCKING_WRITE;
    script_version_reply();
    port.write_results = {kWriteFails, kWriteFails};
    uint32_t n = 1500;
    EXPECT_EQ(PassThruWriteMsgs(5, msgs.get(), &n, 0), ERR_FAILED);
    EXPECT_EQ(n, 0u);
    // Neither the rest of the messages nor the version query went out.
    for (const Frame &f : frames())
        EXPECT_FALSE(is_version_query(f));
    EXPECT_EQ(port.writes.size(), 2u);  // the batch and its one retry
    EXPECT_NE(std::string(tenq::LastError).find("JmsgSendMsgs"), std::string::npos);

    // A failed second batch: the first batch's messages are counted.
    port.writes.clear();
    port.write_results = {{0, -1}, kWriteFails, kWriteFails};
    n = 1500;
    EXPECT_EQ(PassThruWriteMsgs(5, msgs.get(), &n, 0), ERR_FAILED);
    EXPECT_EQ(n, 1000u);
}

TEST_F(WriteMsgsTest, RunningOutOfTimeStopsAfterTheWrittenBatches)
{
    connect(5);
    // Every look at the clock takes 5 ms: the first batch is written at
    // 5000 ms, within 5500; the limit then grows to 7000, which the second
    // batch's 400th frame reaches.
    SteppingClock clock(5);
    auto msgs = msg_array(3000, kCan8);
    msgs[0].TxFlags = BLOCKING_WRITE;
    uint32_t n = 3000;
    EXPECT_EQ(PassThruWriteMsgs(5, msgs.get(), &n, 5500), ERR_TIMEOUT);
    EXPECT_EQ(n, 1000u);
    EXPECT_EQ(frames_per_write(), (std::vector<size_t>{1000}));  // no barrier after a time-out
}

TEST_F(WriteMsgsTest, BlockingWriteEndsWithTheVersionQuery)
{
    connect(5);
    PASSTHRU_MSG msgs[2] = {kCan8, kCan8};
    msgs[1].TxFlags = BLOCKING_WRITE;
    script_version_reply();
    uint32_t n = 2;
    EXPECT_EQ(PassThruWriteMsgs(5, msgs, &n, 0), STATUS_NOERROR);
    EXPECT_EQ(n, 2u);
    auto all = frames();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_TRUE(is_version_query(all[2]));
    EXPECT_TRUE(all[2].data.empty());

    // No reply within 15 s: 9, although every frame was written.
    SteppingClock clock(100);
    port.writes.clear();
    n = 2;
    EXPECT_EQ(PassThruWriteMsgs(5, msgs, &n, 0), ERR_TIMEOUT);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(frames().size(), 3u);

    // The query cannot be sent: 7 and its own line.
    port.writes.clear();
    port.write_results = {{0, -1}, kWriteFails, kWriteFails};
    n = 2;
    EXPECT_EQ(PassThruWriteMsgs(5, msgs, &n, 0), ERR_FAILED);
    EXPECT_EQ(n, 2u);
    EXPECT_STREQ(tenq::LastError, "PassThruWriteMsgs(VERSION): JmsgSendCmd returned 7");
}

TEST_F(WriteMsgsTest, ProtocolMismatchIsLoggedPerFrameAndSentAnyway)
{
    connect(5);
    connect(6);
    PASSTHRU_MSG m = kCan8;
    m.ProtocolID = ISO15765;
    uint32_t n = 1;
    EXPECT_EQ(PassThruWriteMsgs(5, &m, &n, 0), STATUS_NOERROR);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(frames().size(), 1u);
    EXPECT_STREQ(tenq::LastError, "PassThruWriteMsgs protocol (6) mismatch for channel ID (5)");

    tenq_test::DebugListener listener;
    tenq::port = listener.port();
    tenq::OpenDebugChannel();
    PASSTHRU_MSG iso = make_msg(CAN, 0, id_and_payload({0, 0, 7, 0xE0}, 20));
    n = 1;
    EXPECT_EQ(PassThruWriteMsgs(6, &iso, &n, 0), STATUS_NOERROR);
    const auto lines = listener.lines();
    const auto mismatches = std::count_if(lines.begin(), lines.end(), [](const std::string &l) {
        return l.rfind("E ", 0) == 0 &&
               l.find("protocol (5) mismatch for channel ID (6)") != std::string::npos;
    });
    EXPECT_EQ(mismatches, 3);  // first and two consecutive frames; the end frame is the channel's
}

TEST_F(WriteMsgsTest, TransmitDataLengthStaysWithTheChannel)
{
    connect(6);
    connect(12);
    tenq::CANSetup.iso15765_tx_data_length = 64;
    tenq::MSCANSetup.iso15765_tx_data_length = 64;
    PASSTHRU_MSG m = make_msg(ISO15765, 0, {0, 0, 7, 0xE0, 1});
    uint32_t n = 1;
    ASSERT_EQ(PassThruWriteMsgs(6, &m, &n, 0), STATUS_NOERROR);
    EXPECT_EQ(tenq::CANSetup.iso15765_tx_data_length, 8);  // a classic message resets it
    EXPECT_EQ(tenq::MSCANSetup.iso15765_tx_data_length, 64);

    m = make_msg(ISO15765, CAN_FD_FRAME | FD_TX_LENGTH_IN_MSG, id_and_payload({0, 0, 7, 0xE0}, 40),
                 32);
    n = 1;
    ASSERT_EQ(PassThruWriteMsgs(12, &m, &n, 0), STATUS_NOERROR);
    EXPECT_EQ(tenq::MSCANSetup.iso15765_tx_data_length, 32);
    auto all = frames();
    EXPECT_EQ(all.back().dev, 0x40);

    // An FD message without its own length uses the channel's.
    port.writes.clear();
    m.TxFlags = CAN_FD_FRAME;
    n = 1;
    ASSERT_EQ(PassThruWriteMsgs(12, &m, &n, 0), STATUS_NOERROR);
    all = frames();
    EXPECT_EQ(all[0].size(), 2 + 32);
    EXPECT_EQ(all[0].flags, 0x01);
}
