// PassThruReadMsgs against a scripted port and a clock the test drives: the
// entry checks, the polling loop, its time limits and its results.
#include <gtest/gtest.h>

#include <functional>

#include "passthru/device_search.h"
#include "passthru/link/link.h"
#include "platform/ticks.h"
#include "tests/passthru/fake_port.h"
#include "tests/passthru/rx_test_support.h"

using namespace tenq_test;

namespace {

// Time moves on by `step` ms each time someone looks at it, so every
// polling loop ends without the test waiting.
class SteppingClock : public platform::Clock {
  public:
    uint32_t now = 0xFFFFF000;  // the counter wraps during the tests
    uint32_t step = 1;
    uint32_t tick_count() override
    {
        const uint32_t t = now;
        now += step;
        return t;
    }
    void sleep_ms(uint32_t ms) override { now += ms; }
};

class ReadMsgsTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        reset_receive_state();
        tenq::hCommPort = 42;
        tenq::CommPortNum = 7;
        tenq::com_buf_len = 0;
        tenq::ChannelStatus = 0;
        for (uint32_t ch : {3u, 4u, 5u, 6u, 11u, 12u})
            tenq::ChannelStatus |= tenq::ChannelBit(ch);
        platform::set_clock(&clock);
    }
    void TearDown() override { platform::set_clock(nullptr); }

    // Frames that one read of the port returns.
    void arrives(const std::vector<std::vector<uint8_t>> &frames)
    {
        std::vector<uint8_t> bytes;
        for (const auto &f : frames)
            bytes.insert(bytes.end(), f.begin(), f.end());
        port.reads.push_back(std::move(bytes));
    }
    void nothing_arrives(int reads = 1)
    {
        for (int i = 0; i < reads; ++i) {
            std::vector<uint8_t> none;
            none.reserve(1);  // the fake port copies from data(), which must not be null
            port.reads.push_back(std::move(none));
        }
    }

    int32_t read(uint32_t channel, uint32_t timeout, uint32_t room = 10)
    {
        msgs.assign(room == 0 ? 1 : room, PASSTHRU_MSG{});
        for (auto &m : msgs)
            m.DataSize = 0xDEAD;
        count = room;
        start_tick = clock.now;
        return PassThruReadMsgs(channel, msgs.data(), &count, timeout);
    }
    uint32_t elapsed() const { return clock.now - start_tick; }

    static std::vector<uint8_t> can(uint8_t last_id_byte, uint8_t payload = 0)
    {
        return frame(0x10, 2, 0, 0, {0x07, last_id_byte, payload});
    }

    FakePort port;
    SteppingClock clock;
    std::vector<PASSTHRU_MSG> msgs;
    uint32_t count = 0;
    uint32_t start_tick = 0;
};

// The last K-line piece: `tail` and the checksum over `head` and `tail`.
std::vector<uint8_t> with_sum(std::vector<uint8_t> tail, const std::vector<uint8_t> &head)
{
    uint8_t sum = 0;
    for (uint8_t b : head)
        sum = static_cast<uint8_t>(sum + b);
    for (uint8_t b : tail)
        sum = static_cast<uint8_t>(sum + b);
    tail.push_back(sum);
    return tail;
}

}  // namespace

TEST_F(ReadMsgsTest, EntryChecksInTheirOrder)
{
    PASSTHRU_MSG msg{};
    msg.DataSize = 77;
    uint32_t n = 1;

    tenq::ChannelStatus &= ~tenq::ChannelBit(5);
    EXPECT_EQ(PassThruReadMsgs(5, nullptr, nullptr, 0), ERR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(last_error(), "PassThruReadMsgs invalid ChannelID");
    EXPECT_EQ(PassThruReadMsgs(6, nullptr, &n, 0), ERR_NULL_PARAMETER);
    EXPECT_EQ(last_error(), "PassThruReadMsgs null parameter");
    EXPECT_EQ(PassThruReadMsgs(6, &msg, nullptr, 0), ERR_NULL_PARAMETER);
    EXPECT_EQ(msg.DataSize, 77u);

    // Bit (ChannelID mod 32) decides whether the channel counts as connected.
    tenq::ChannelStatus = tenq::ChannelBit(7);
    EXPECT_EQ(PassThruReadMsgs(39, &msg, &n, 0), ERR_INVALID_CHANNEL_ID);
    EXPECT_EQ(last_error(), "PassThruReadMsgs invalid channel ID");
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(msg.DataSize, 0u);
    n = 1;
    EXPECT_EQ(PassThruReadMsgs(37, &msg, &n, 0), ERR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(n, 1u);

    // No adapter (and no search: an IOT number is set).
    tenq::hCommPort = -1;
    tenq::CommPortNum = 0;
    tenq::UserSpecifiedIOTNum = 5;
    tenq::fNotDetectedPopup = 1;
    EXPECT_EQ(PassThruReadMsgs(7, &msg, &n, 0), ERR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(last_error(), "PassThruReadMsgs device not connected");
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(ReadMsgsTest, EmptyArrayAndEmptyRing)
{
    tenq::RingAppend(tenq::CANBuffer, bus_frame(0x10, {0x07, 0xE8}));
    nothing_arrives();
    EXPECT_EQ(read(5, 100, 0), ERR_BUFFER_EMPTY);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(port.reads.size(), 1u);  // not polled
    EXPECT_EQ(tenq::CANBuffer.Count, 1u);
    EXPECT_EQ(msgs[0].DataSize, 0xDEADu);  // no record to write into

    tenq::RingReset(tenq::CANBuffer);
    port.reads.clear();
    nothing_arrives(3);
    EXPECT_EQ(read(5, 0), ERR_BUFFER_EMPTY);
    EXPECT_EQ(count, 0u);
    EXPECT_LT(port.reads.size(), 3u);  // polled at least once
    EXPECT_EQ(msgs[0].DataSize, 0u);
}

TEST_F(ReadMsgsTest, TimeoutZeroDeliversWhatThePollBrings)
{
    tenq::ChannelStatus |= tenq::ChannelBit(5);
    tenq::jmsg_filter_mask_msg[0] = bus_frame(0x10, {0xFF, 0xFF});
    tenq::jmsg_filter_pattern_msg[0] = bus_frame(0x10, {0x07, 0xE8});
    tenq::jmsg_filter_type[0] = PASS_FILTER;
    arrives({can(0xE8, 1), can(0xE9, 2)});
    EXPECT_EQ(read(5, 0), STATUS_NOERROR);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(msgs[0].Data[4], 1);
    EXPECT_EQ(msgs[1].DataSize, 0u);  // the next record starts empty
}

TEST_F(ReadMsgsTest, FullArrayEndsTheCallAndTheRestStaysInOrder)
{
    for (uint8_t i = 0; i < 5; ++i)
        tenq::RingAppend(tenq::CANBuffer, bus_frame(0x10, {0x07, 0xE8, i}));
    EXPECT_EQ(read(5, 1000, 3), STATUS_NOERROR);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(msgs[2].Data[4], 2);
    EXPECT_EQ(tenq::CANBuffer.Count, 2u);
    EXPECT_EQ(read(5, 1000, 2), STATUS_NOERROR);
    EXPECT_EQ(msgs[0].Data[4], 3);
    EXPECT_EQ(msgs[1].Data[4], 4);
}

TEST_F(ReadMsgsTest, TimeLimitWithRecordsGivesTimeout)
{
    tenq::RingAppend(tenq::CANBuffer, bus_frame(0x10, {0x07, 0xE8, 9}));
    EXPECT_EQ(read(5, 200, 5), ERR_TIMEOUT);
    EXPECT_EQ(count, 1u);
    EXPECT_GT(elapsed(), 200u);
}

TEST_F(ReadMsgsTest, OverflowIsReportedWithTheRecordsThatFollowIt)
{
    // Frames waiting behind an overflow: delivered at once, with 18.
    tenq::CANBuffer.Overflow = 1;
    for (uint8_t i = 0; i < 3; ++i)
        tenq::RingAppend(tenq::CANBuffer, bus_frame(0x10, {0x07, 0xE8, i}));
    nothing_arrives();
    EXPECT_EQ(read(5, 100), ERR_BUFFER_OVERFLOW);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(tenq::CANBuffer.Overflow, 0u);
    EXPECT_EQ(port.reads.size(), 1u);  // no wait

    // Nothing to deliver: the call waits its full time as usual, ends with
    // 16 and keeps the overflow for the call that delivers the next records.
    tenq::CANBuffer.Overflow = 1;
    EXPECT_EQ(read(5, 100), ERR_BUFFER_EMPTY);
    EXPECT_GT(elapsed(), 100u);
    EXPECT_EQ(tenq::CANBuffer.Overflow, 1u);
    tenq::RingAppend(tenq::CANBuffer, bus_frame(0x10, {0x07, 0xE8, 7}));
    EXPECT_EQ(read(5, 0), ERR_BUFFER_OVERFLOW);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(tenq::CANBuffer.Overflow, 0u);
}

TEST_F(ReadMsgsTest, ReconnectEndsAPendingOverflowButAClearDoesNot)
{
    // Lost on the old connection and never reported: not the new one's loss.
    tenq::CANBuffer.Overflow = 1;
    uint32_t ch = 0;
    ASSERT_EQ(PassThruDisconnect(5), STATUS_NOERROR);
    ASSERT_EQ(PassThruConnect(7, CAN, 0, 500000, &ch), STATUS_NOERROR);
    tenq::RingAppend(tenq::CANBuffer, bus_frame(0x10, {0x07, 0xE8, 1}));
    EXPECT_EQ(read(5, 0), STATUS_NOERROR);
    EXPECT_EQ(count, 1u);

    tenq::CANBuffer.Overflow = 1;
    ASSERT_EQ(PassThruIoctl(5, CLEAR_RX_BUFFER, nullptr, nullptr), STATUS_NOERROR);
    tenq::RingAppend(tenq::CANBuffer, bus_frame(0x10, {0x07, 0xE8, 2}));
    EXPECT_EQ(read(5, 0), ERR_BUFFER_OVERFLOW);
}

TEST_F(ReadMsgsTest, KLineMessageCutOffByAClearOrReconnectLeavesNothingBehind)
{
    const std::vector<uint8_t> next = with_sum({0x48, 0x6B, 0x10}, {});
    const std::function<void()> restarts[] = {
        [] { EXPECT_EQ(PassThruIoctl(3, CLEAR_RX_BUFFER, nullptr, nullptr), STATUS_NOERROR); },
        [] {
            uint32_t ch = 0;
            EXPECT_EQ(PassThruDisconnect(3), STATUS_NOERROR);
            EXPECT_EQ(PassThruConnect(7, ISO9141, 0, 10400, &ch), STATUS_NOERROR);
        },
    };
    for (const auto &restart : restarts) {
        // A message longer than a record whose last piece never comes: its
        // pieces are being dropped when the ring is emptied.
        for (int piece = 0; piece < 61; ++piece)
            tenq::RingAppend(tenq::ISO9141Buffer, bus_frame(0x90, counting(68)));
        EXPECT_EQ(read(3, 0, 1), ERR_BUFFER_EMPTY);
        EXPECT_EQ(last_error(), "ISO9141/14230 RX message too long");
        restart();
        tenq::RingAppend(tenq::ISO9141Buffer, bus_frame(0x90, next));
        ASSERT_EQ(read(3, 0, 1), STATUS_NOERROR) << "the next message was dropped";
        EXPECT_EQ(msgs[0].DataSize, 3u);
    }
}

TEST_F(ReadMsgsTest, AdapterOverflowReportArrivingDuringAWait)
{
    tenq::ChannelStatus = tenq::ChannelBit(6);
    tenq::ISO15765Buffer.Flags = 0;
    set_filter(0, FLOW_CONTROL_FILTER, tenq::JMSG_ISO15765, {0xFF, 0xFF}, {0x07, 0xE8});
    nothing_arrives(2);
    arrives({frame(0xF0, 2, 0, 0x40, {0x10})});  // overflow of controller 1
    nothing_arrives(5);
    EXPECT_EQ(read(6, 50), ERR_BUFFER_EMPTY);
    EXPECT_GT(elapsed(), 50u);  // the report did not cut the wait short
    EXPECT_EQ(tenq::ISO15765Buffer.Overflow, 1u);
    EXPECT_EQ(tenq::CANBuffer.Overflow, 1u);

    arrives({frame(0x10, 2, 0, 0, {0x07, 0xE8, 0x02, 0x41, 0x00, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC})});
    EXPECT_EQ(read(6, 1000), ERR_BUFFER_OVERFLOW);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(msgs[0].DataSize, 6u);
    EXPECT_EQ(tenq::ISO15765Buffer.Overflow, 0u);
}

TEST_F(ReadMsgsTest, KLineMessageUnderWayExtendsTheWait)
{
    clock.step = 100;
    arrives({frame(0x90, 2, 0, 0, counting(68))});
    nothing_arrives(30);  // 3 s of polls
    arrives({frame(0x90, 2, 0, 0, with_sum(counting(2, 68), counting(68)))});
    EXPECT_EQ(read(3, 100, 1), STATUS_NOERROR);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(msgs[0].DataSize, 70u);

    // The last piece never comes: the call gives up 5 s after its time-out.
    arrives({frame(0x90, 2, 0, 0, counting(68))});
    EXPECT_EQ(read(3, 100, 1), ERR_BUFFER_EMPTY);
    EXPECT_GT(elapsed(), 5100u);
    EXPECT_LT(elapsed(), 5600u);
}

TEST_F(ReadMsgsTest, LongTimeoutIsNotShortenedByAMessageUnderWay)
{
    clock.step = 1000;
    arrives({frame(0x90, 2, 0, 0, counting(68))});
    nothing_arrives(20);  // 20 s: a wrapped limit would have ended the call
    arrives({frame(0x90, 2, 0, 0, with_sum(counting(2, 68), counting(68)))});
    EXPECT_EQ(read(3, 0xFFFFFF00, 1), STATUS_NOERROR);
    EXPECT_EQ(count, 1u);
}

TEST_F(ReadMsgsTest, IsoChannelDeliversUpToTheRoomAndKeepsTheFrame)
{
    tenq::can_mixed_format_flag = 1;
    tenq::ISO15765Buffer.Flags = 0;
    set_filter(0, FLOW_CONTROL_FILTER, tenq::JMSG_ISO15765, {0xFF, 0xFF}, {0x07, 0xE8});
    set_filter(1, PASS_FILTER, tenq::JMSG_ISO15765, {0xFF, 0xFF}, {0x07, 0xE8});
    const auto sf =
        frame(0x10, 2, 0, 0, {0x07, 0xE8, 0x02, 0x41, 0x00, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC});
    arrives({sf, sf});
    EXPECT_EQ(read(6, 0, 3), STATUS_NOERROR);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(msgs[0].ProtocolID, 6u);
    EXPECT_EQ(msgs[1].ProtocolID, 5u);
    EXPECT_EQ(msgs[2].ProtocolID, 6u);
    EXPECT_EQ(tenq::ISO15765Buffer.Count, 0u);  // the second frame's CAN record had no room
}

TEST_F(ReadMsgsTest, DebugLinesOfACall)
{
    tenq_test::DebugListener listener;
    tenq::port = listener.port();
    tenq::OpenDebugChannel();
    ASSERT_TRUE(tenq::DebugChannelOpen());
    auto has_line = [](const std::vector<std::string> &lines, char type, const std::string &text) {
        for (const auto &l : lines) {
            if (l[0] == type && l.size() > text.size() &&
                l.compare(l.size() - text.size(), text.size(), text) == 0 &&
                l[l.size() - text.size() - 1] == ' ')
                return true;
        }
        return false;
    };

    tenq::RingAppend(tenq::CANBuffer, bus_frame(0x10, {0x07, 0xE8, 1}));
    EXPECT_EQ(read(5, 0, 10), STATUS_NOERROR);
    auto lines = listener.lines();
    EXPECT_TRUE(has_line(lines, 'R', "PassThruReadMsgs(5, pMsg, 10, 0)"));
    EXPECT_TRUE(has_line(lines, 'A', "PassThruReadMsgs(5, pMsg, 10, 0) returned 1 msgs"));

    // Nothing delivered: the read line only.
    EXPECT_EQ(read(11, 250, 0), ERR_BUFFER_EMPTY);
    lines = listener.lines();
    EXPECT_TRUE(has_line(lines, 'R', "PassThruReadMsgs(11, pMsg, 0, 250)"));
    EXPECT_FALSE(has_line(lines, 'A', "PassThruReadMsgs(11, pMsg, 0, 250) returned 0 msgs"));
}

TEST_F(ReadMsgsTest, FramesReachOnlyTheRingOfTheirController)
{
    // A flow-control filter of controller 2 does not take controller 1's frames.
    set_filter(0, FLOW_CONTROL_FILTER, tenq::JMSG_MSISO15765, {0xFF, 0xFF}, {0x07, 0xE8});
    arrives({frame(0x10, 2, 0, 0, {0x07, 0xE8, 0x02, 0x41, 0x00}),
             frame(0x30, 2, 0, 0, {0x07, 0xE8, 0x02, 0x41, 0x01})});
    EXPECT_EQ(tenq::JmsgReceiveMsgs(), 0);
    EXPECT_EQ(tenq::ISO15765Buffer.Count, 0u);
    ASSERT_EQ(tenq::MSISO15765Buffer.Count, 1u);
    EXPECT_EQ(read(12, 0), STATUS_NOERROR);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(msgs[0].ProtocolID, 12u);
    EXPECT_EQ(msgs[0].Data[5], 0x01);
}
