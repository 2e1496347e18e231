// The device link against a scripted port: sending with its retry rules,
// receiving, and where each frame from the adapter ends up.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/device_search.h"
#include "passthru/filter_table.h"
#include "passthru/link/link.h"
#include "passthru/link/rings.h"
#include "platform/ticks.h"
#include "tests/passthru/fake_port.h"

using tenq_test::FakePort;
using tenq_test::frame;

namespace {

class LinkTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        tenq::hCommPort = 42;
        tenq::CommPortNum = 7;
        tenq::com_buf_len = 0;
        tenq::ChannelStatus = 0;
        for (tenq::RxRing *ring : {&tenq::CANBuffer, &tenq::ISO15765Buffer, &tenq::MSCANBuffer,
                                   &tenq::MSISO15765Buffer, &tenq::ISO9141Buffer}) {
            tenq::RingReset(*ring);
            ring->Overflow = 0;
        }
        std::strcpy(tenq::LastError, "No Error");
    }

    void receive(std::vector<uint8_t> bytes)
    {
        port.reads.push_back(std::move(bytes));
        EXPECT_EQ(tenq::JmsgReceiveMsgs(), 0);
    }

    FakePort port;
};

std::vector<uint8_t> join(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace

TEST_F(LinkTest, PartialThirdFrameStaysUntilTheNextRead)
{
    auto third = frame(0xF0, 2, 13, 0, {0x02, 0x06});
    receive(join({frame(0xF0, 3, 14, 0), frame(0xF0, 5, 15, 0, {1}),
                  std::vector<uint8_t>(third.begin(), third.begin() + 3)}));
    EXPECT_EQ(tenq::com_buf_len, 3u);
    EXPECT_TRUE(tenq::ResponseIs(5, 15));
    receive(std::vector<uint8_t>(third.begin() + 3, third.end()));
    EXPECT_EQ(tenq::com_buf_len, 0u);
    EXPECT_TRUE(tenq::ResponseIs(2, 13));
    EXPECT_EQ(tenq::TENQResponse.size, 2);
    EXPECT_EQ(tenq::TENQResponse.data[1], 0x06);
}

TEST_F(LinkTest, ReadFailureLeavesTheBufferAlone)
{
    auto f = frame(0xF0, 2, 13, 0, {1, 2});
    receive(std::vector<uint8_t>(f.begin(), f.begin() + 4));
    port.read_rc = -32002;
    EXPECT_EQ(tenq::JmsgReceiveMsgs(), ERR_FAILED);
    EXPECT_EQ(tenq::com_buf_len, 4u);
    EXPECT_STREQ(tenq::LastError, "JmsgReceiveMsgs com_read returned -32002");
}

TEST_F(LinkTest, StopReportsClearTheChannelOfTheirDevice)
{
    tenq::ChannelStatus = tenq::ChannelBit(3) | tenq::ChannelBit(4) | tenq::ChannelBit(5) |
                          tenq::ChannelBit(6) | tenq::ChannelBit(11) | tenq::ChannelBit(12);
    receive(frame(0x90, 1, 0, 0));
    EXPECT_FALSE(tenq::ChannelConnected(3));
    EXPECT_TRUE(tenq::ChannelConnected(4));  // the K-line report clears channel 3 only
    receive(join({frame(0x20, 1, 0, 0), frame(0x30, 1, 0, 0), frame(0xC0, 1, 0, 0)}));
    EXPECT_TRUE(tenq::ChannelConnected(5));
    EXPECT_FALSE(tenq::ChannelConnected(6));
    EXPECT_FALSE(tenq::ChannelConnected(11));
    EXPECT_TRUE(tenq::ChannelConnected(12));
}

TEST_F(LinkTest, BusFramesReachTheRingsTheirFiltersChoose)
{
    // An echo from the ISO 15765 device enters both rings of its controller.
    receive(frame(0x20, 2, 5, 0, {0, 0, 7, 0xE0, 0x02, 0x10, 0x01}));
    EXPECT_EQ(tenq::ISO15765Buffer.Count, 1u);
    EXPECT_EQ(tenq::CANBuffer.Count, 1u);
    // A frame from another node with no filter set enters no ring.
    receive(frame(0x10, 2, 0, 0, {0, 0, 7, 0xE8, 0x02, 0x50, 0x01}));
    EXPECT_EQ(tenq::CANBuffer.Count, 1u);
    EXPECT_EQ(tenq::ISO15765Buffer.Count, 1u);
    EXPECT_EQ(tenq::CANBuffer.Overflow, 0u);
    // The echo of a CAN frame stays out of the ISO 15765 ring.
    receive(frame(0x10, 2, 5, 0, {0, 0, 1, 0x23}));
    EXPECT_EQ(tenq::CANBuffer.Count, 2u);
    EXPECT_EQ(tenq::ISO15765Buffer.Count, 1u);
    // Second controller and K-line.
    receive(join({frame(0x40, 2, 5, 0, {0, 0, 7, 0xE0}), frame(0x90, 2, 0, 0, {0x48, 0x6B})}));
    EXPECT_EQ(tenq::MSISO15765Buffer.Count, 1u);
    EXPECT_EQ(tenq::MSCANBuffer.Count, 1u);
    EXPECT_EQ(tenq::ISO9141Buffer.Count, 1u);
    EXPECT_EQ(tenq::ISO9141Buffer.Entries[0].data[1], 0x6B);

    // A CAN pass filter on device 0x10 lets a matching frame from 0x10 in.
    tenq::jmsg_filter_mask_msg[5] = tenq::JMSG{5, 2, 0x10, 3, 0, 1, {}, {0x07, 0xFF}};
    tenq::jmsg_filter_pattern_msg[5] = tenq::JMSG{5, 2, 0x10, 3, 0, 2, {}, {0x07, 0xE8}};
    tenq::jmsg_filter_type[5] = PASS_FILTER;
    receive(join({frame(0x10, 2, 0, 0, {0x07, 0xE8, 0x02}), frame(0x10, 2, 0, 0, {0x07, 0xE9})}));
    EXPECT_EQ(tenq::CANBuffer.Count, 3u);
    EXPECT_EQ(tenq::CANBuffer.Entries[2].data[2], 0x02);
}

TEST_F(LinkTest, FullRingDropsWithOneLineOnlyWhileItsChannelIsConnected)
{
    tenq::CANBuffer.Count = tenq::kBusRingCapacity;
    receive(frame(0x10, 2, 5, 0, {0, 0, 1, 0x23}));
    EXPECT_EQ(tenq::CANBuffer.Overflow, 0u);  // channel 5 not connected: silent
    EXPECT_STREQ(tenq::LastError, "No Error");

    tenq::ChannelStatus = tenq::ChannelBit(5);
    receive(frame(0x10, 2, 5, 0, {0, 0, 1, 0x23}));
    EXPECT_EQ(tenq::CANBuffer.Overflow, 1u);
    EXPECT_STREQ(tenq::LastError, "CAN buffer overflow");
    std::strcpy(tenq::LastError, "No Error");
    receive(frame(0x10, 2, 5, 0, {0, 0, 1, 0x23}));
    EXPECT_STREQ(tenq::LastError, "No Error");  // no second line until the reader clears the flag
    EXPECT_EQ(tenq::CANBuffer.Count, tenq::kBusRingCapacity);

    // The ISO 15765 ring reports whatever is connected.
    tenq::ISO15765Buffer.Count = tenq::kBusRingCapacity;
    receive(frame(0x20, 2, 5, 0, {0, 0, 7, 0xE0}));
    EXPECT_STREQ(tenq::LastError, "ISO15765 buffer overflow");

    // The K-line ring serves channels 3 and 4: either one makes it report.
    tenq::ISO9141Buffer.Count = tenq::kKLineRingCapacity;
    for (uint32_t channel : {3u, 4u}) {
        tenq::ChannelStatus = tenq::ChannelBit(channel);
        tenq::ISO9141Buffer.Overflow = 0;
        std::strcpy(tenq::LastError, "No Error");
        receive(frame(0x90, 2, 0, 0, {0x48, 0x6B}));
        EXPECT_EQ(tenq::ISO9141Buffer.Overflow, 1u) << "channel " << channel;
        EXPECT_STREQ(tenq::LastError, "ISO9141 buffer overflow") << "channel " << channel;
    }
}

TEST_F(LinkTest, RingWrapsAroundItsCapacity)
{
    tenq::ISO9141Buffer.HeadIndex = tenq::kKLineRingCapacity - 1;
    tenq::ISO9141Buffer.TailIndex = tenq::kKLineRingCapacity - 1;
    receive(join({frame(0x90, 2, 0, 0, {1}), frame(0x90, 2, 0, 0, {2})}));
    EXPECT_EQ(tenq::ISO9141Buffer.Count, 2u);
    EXPECT_EQ(tenq::ISO9141Buffer.HeadIndex, 1u);
    EXPECT_EQ(tenq::ISO9141Buffer.Entries[0].data[0], 2);
}

TEST_F(LinkTest, RepliesFillTheirSlots)
{
    tenq::MemStatus = tenq::kMemWaiting;
    receive(frame(0xE0, 2, 0, 0x40, {1, 2, 3}));
    EXPECT_EQ(tenq::MemStatus, tenq::kMemFailed);
    EXPECT_EQ(tenq::MemSize, 0);
    receive(frame(0xE0, 2, 0, 0, {9, 8, 7}));
    EXPECT_EQ(tenq::MemStatus, tenq::kMemReceived);
    EXPECT_EQ(tenq::MemSize, 3);
    EXPECT_EQ(tenq::MemData[2], 7);

    // Analogue and digital readings: index in data byte 0; bad ones ignored.
    tenq::AdcReadings[4] = 0xFFFF;
    tenq::DioReadings[2] = 0xFF;
    receive(join({frame(0xB0, 2, 0, 0, {4, 0x34, 0x12}), frame(0xD0, 2, 0, 0, {2, 1}),
                  frame(0xB0, 2, 0, 0, {16, 1, 1}), frame(0xB0, 2, 0, 0, {5, 1}),
                  frame(0xD0, 2, 0, 0, {200, 1}), frame(0xD0, 2, 0, 0, {1})}));
    EXPECT_EQ(tenq::AdcReadings[4], 0x1234);
    EXPECT_EQ(tenq::DioReadings[2], 1);
    EXPECT_EQ(tenq::AdcReadings[5], 0);
    EXPECT_EQ(tenq::DioReadings[1], 0);

    // An acknowledgement with the failure flag still answers; devices other
    // than the adapter's own are not stored.
    receive(frame(0xF0, 3, 14, 0x40));
    EXPECT_TRUE(tenq::ResponseIs(3, 14));
    EXPECT_EQ(tenq::TENQResponse.flags, 0x40);
    receive(frame(0xE0, 5, 0, 0));
    EXPECT_TRUE(tenq::ResponseIs(3, 14));
}

TEST_F(LinkTest, OverflowReportsAndBadFramesAreReported)
{
    receive(frame(0xF0, 2, 13, 0x40, {0x30}));
    EXPECT_STREQ(tenq::LastError, "Orvane buffer overflow");
    EXPECT_EQ(tenq::MSCANBuffer.Overflow, 1u);
    EXPECT_EQ(tenq::MSISO15765Buffer.Overflow, 1u);
    EXPECT_EQ(tenq::CANBuffer.Overflow, 0u);
    EXPECT_FALSE(tenq::ResponseIs(2, 13));  // the report is not a reply

    receive(frame(0x10, 0, 3, 0x81, {1, 2}));
    EXPECT_STREQ(tenq::LastError,
                 "Received invalid operation (dev=10, op=00, flags=81, type=03, size=02)");

    // A frame too big for a record is stepped over; the next one still arrives.
    receive(
        join({frame(0x10, 2, 5, 0, std::vector<uint8_t>(69, 1)), frame(0xF0, 2, 13, 0, {1, 2})}));
    EXPECT_STREQ(tenq::LastError,
                 "Received oversized frame (dev=10, op=02, flags=00, type=05, size=45)");
    EXPECT_EQ(tenq::CANBuffer.Count, 0u);
    EXPECT_TRUE(tenq::ResponseIs(2, 13));
    EXPECT_EQ(tenq::com_buf_len, 0u);
}

TEST_F(LinkTest, CommandFrameLayoutAndSizeLimit)
{
    const uint8_t data[3] = {0xAA, 0xBB, 0xCC};
    EXPECT_EQ(tenq::JmsgSendCmd(0xF0, 3, 7, 0x40, 3, data, 0), 0);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0],
              (std::vector<uint8_t>{0, 3, 0xF0, 3, 0x40, 7, 0, 0, 0, 0, 0xAA, 0xBB, 0xCC}));

    std::vector<uint8_t> big(69, 0);
    EXPECT_EQ(tenq::JmsgSendCmd(0xE0, 3, 0, 0, 69, big.data(), 0), ERR_FAILED);
    EXPECT_EQ(port.writes.size(), 1u);
    EXPECT_STREQ(tenq::LastError, "JmsgSendCmd size 69 exceeds 68 data bytes");
}

TEST_F(LinkTest, FailedWriteIsRetriedOnceAfterReopening)
{
    port.write_results = {{-32001, 0}};
    EXPECT_EQ(tenq::JmsgSendCmd(0xF0, 2, 13, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(port.closes, 1);
    EXPECT_EQ(port.opens, 1);
    EXPECT_EQ(port.writes[0].size(), 0u);
    EXPECT_EQ(port.writes[1].size(), 10u);
    EXPECT_STREQ(tenq::LastError, "JmsgSendCmd com_write returned -32001, retry");

    // No second retry.
    port.write_results = {{-32001, 0}, {-32001, 0}};
    EXPECT_EQ(tenq::JmsgSendCmd(0xF0, 2, 13, 0, 0, nullptr, 0), ERR_FAILED);
    EXPECT_EQ(port.writes.size(), 4u);
}

TEST_F(LinkTest, ReopenedPortStartsWithAnEmptyReceiveBuffer)
{
    // The adapter went away in the middle of a frame and came back.
    auto cut = frame(0xF0, 2, 13, 0, {9, 9, 9, 9});
    receive(std::vector<uint8_t>(cut.begin(), cut.begin() + 4));
    port.write_results = {{-32001, 0}};
    ASSERT_EQ(tenq::JmsgSendCmd(0xF0, 2, 13, 0, 0, nullptr, 0), 0);
    ASSERT_EQ(port.opens, 1);
    EXPECT_EQ(tenq::com_buf_len, 0u);
    // The new port's first frame is cut where it begins.
    receive(frame(0xF0, 2, 13, 0, {0x02, 0x06}));
    EXPECT_TRUE(tenq::ResponseIs(2, 13));
    EXPECT_EQ(tenq::TENQResponse.size, 2);
    EXPECT_EQ(tenq::TENQResponse.data[1], 0x06);
    EXPECT_EQ(tenq::com_buf_len, 0u);
}

TEST_F(LinkTest, PartialWriteFailsWithoutSendingAnythingTwice)
{
    // A time-out that let half the frame through: resending would corrupt the stream.
    port.write_results = {{0, 4}};
    EXPECT_EQ(tenq::JmsgSendCmd(0xF0, 3, 7, 0, 2, "\x01\x02", 0), ERR_FAILED);
    EXPECT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.opens, 0);
    EXPECT_STREQ(tenq::LastError, "JmsgSendCmd com_write wrote 4 of 12 bytes");
}

TEST_F(LinkTest, ReopenThatFailsLeavesNoHalfOpenPort)
{
    port.write_results = {{-32001, 0}};
    port.open_results = {-32007};
    port.open_leaves_handle = true;
    EXPECT_EQ(tenq::JmsgSendCmd(0xF0, 2, 13, 0, 0, nullptr, 0), ERR_FAILED);
    EXPECT_EQ(tenq::hCommPort, -1);
    EXPECT_EQ(port.closes, 2);  // the old port and the half-open new one
    EXPECT_EQ(tenq::CommPortNum, 7u);

    // The remembered port is reopened by the next frame sent.
    EXPECT_EQ(tenq::JmsgSendCmd(0xF0, 2, 13, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(tenq::hCommPort, 42);
}

TEST_F(LinkTest, PollingWithoutAPortWaitsOutTheInterval)
{
    // After a failed reopen no port is open until the next send: a read's
    // polling loop must wait between its polls, not spin.
    struct SleepCounter : platform::Clock {
        uint32_t tick_count() override { return now; }
        void sleep_ms(uint32_t ms) override { now += ms; }
        uint32_t now = 0;
    } clock;
    tenq::SetPortOps(nullptr);  // the serial driver
    tenq::hCommPort = -1;
    platform::set_clock(&clock);
    EXPECT_FALSE(tenq::JmsgWaitInput(20));
    platform::set_clock(nullptr);
    EXPECT_EQ(clock.now, 20u);
}

TEST_F(LinkTest, WholeBatchGoesOutInOneWrite)
{
    std::vector<tenq::JMSG> batch(tenq::kMaxBatchFrames);
    for (size_t i = 0; i < batch.size(); ++i) {
        batch[i] = tenq::JMSG{};
        batch[i].size = 68;
        batch[i].dev = 0x20;
        batch[i].op = 3;
        batch[i].type = 5;
        batch[i].data[0] = static_cast<uint8_t>(i);
    }
    EXPECT_EQ(tenq::JmsgSendMsgs(batch.data(), static_cast<uint32_t>(batch.size()), 0), 0);
    ASSERT_EQ(port.writes.size(), 1u);
    ASSERT_EQ(port.writes[0].size(), 78000u);
    EXPECT_EQ(port.writes[0][78 * 999 + 10], static_cast<uint8_t>(999));

    // One frame more than a batch holds is refused before anything is written.
    batch.push_back(batch.back());
    EXPECT_EQ(tenq::JmsgSendMsgs(batch.data(), static_cast<uint32_t>(batch.size()), 0), ERR_FAILED);
    EXPECT_EQ(port.writes.size(), 1u);
}

TEST_F(LinkTest, DebugDumpsOfSentAndReceivedFrames)
{
    tenq_test::DebugListener listener;
    tenq::port = listener.port();
    tenq::OpenDebugChannel();
    ASSERT_TRUE(tenq::DebugChannelOpen());

    tenq::JMSG batch[1]{};
    batch[0].size = 40;
    batch[0].dev = 0x20;
    batch[0].op = 3;
    batch[0].type = 5;
    batch[0].timestamp[0] = 0xE8;
    batch[0].timestamp[1] = 0x03;
    EXPECT_EQ(tenq::JmsgSendMsgs(batch, 1, 0), 0);
    receive(frame(0xF0, 2, 13, 0, {0x02, 0x06}, 0, 0x00000100));

    std::vector<std::string> lines = listener.lines();
    auto has = [&](const std::string &suffix) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string &l) {
            return l.size() >= suffix.size() &&
                   l.compare(l.size() - suffix.size(), suffix.size(), suffix) == 0;
        });
    };
    // The batch dump shows 32 of the 40 data bytes.
    std::string shown = "00 28 20 03 00 05 (E8030000)";
    for (int i = 0; i < 32; ++i)
        shown += " 00";
    EXPECT_TRUE(has(shown));
    EXPECT_TRUE(has("JmsgReceiveMsgs com_buf_len=12"));
    EXPECT_TRUE(has("00 02 F0 02 00 0D (00000100) 02 06"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].substr(0, 4), "C 7 ");
}
