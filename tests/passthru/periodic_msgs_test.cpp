// Periodic messages against the simulated adapter: what the adapter holds
// after starts, updates and stops, the caller's message after a start, and
// the refusals that leave the table and the adapter untouched.
#include <gtest/gtest.h>

#include "tests/passthru/channel_sim_fixture.h"

using orvane::sim::Frame;
using tenq_test::eventually;
using tenq_test::make_msg;
using tenq_test::msg_bytes;

namespace {
class PeriodicMsgsTest : public tenq_test::ChannelSimTest {};
}  // namespace

TEST_F(PeriodicMsgsTest, StartAppliesTheIdentifierRuleOnCanButNeverOnTheKLine)
{
    const uint32_t can = connect(CAN);
    const uint32_t kline = connect(ISO14230, 0, 10400);
    PASSTHRU_MSG can_msg = make_msg(CAN, {0xC0, 0x00, 0x07, 0xDF, 0x02, 0x01, 0x00});
    PASSTHRU_MSG kline_msg = make_msg(ISO14230, {0x68, 0x6A, 0x10, 0x01, 0x00});
    uint32_t id1 = 0, id2 = 0;
    ASSERT_EQ(PassThruStartPeriodicMsg(can, &can_msg, &id1, 100), STATUS_NOERROR);
    ASSERT_EQ(PassThruStartPeriodicMsg(kline, &kline_msg, &id2, 2000), STATUS_NOERROR);
    EXPECT_EQ(id1, 0u);
    EXPECT_EQ(id2, 1u);
    EXPECT_EQ(msg_bytes(can_msg, 4), (std::vector<uint8_t>{0xC0, 0x00, 0xC7, 0xDF}));
    EXPECT_EQ(msg_bytes(kline_msg, 5), (std::vector<uint8_t>{0x68, 0x6A, 0x10, 0x01, 0x00}));
    ASSERT_TRUE(eventually([&] { return sim().periodic_slots().slots[1].used(); }));
    const orvane::sim::PeriodicSlots slots = sim().periodic_slots();
    EXPECT_EQ(slots.slots[0].frame.data, (std::vector<uint8_t>{0xC7, 0xDF, 0x02, 0x01, 0x00}));
    EXPECT_EQ(slots.slots[0].interval_ms(), 100u);
    EXPECT_EQ(slots.slots[1].frame, [] {
        Frame f(0x90, 3, 4, {0x68, 0x6A, 0x10, 0x01, 0x00}, 0, 1);
        f.set_timestamp_le(2000);
        return f;
    }());
}

TEST_F(PeriodicMsgsTest, MessagesTooLongOrTooShortAreRefusedBeforeAnythingChanges)
{
    const uint32_t iso = connect(ISO15765);
    std::vector<uint8_t> long_data(70, 0x22);
    long_data[0] = 0xC0;
    PASSTHRU_MSG too_long = make_msg(ISO15765, long_data, ISO15765_FRAME_PAD | FD_TX_LENGTH_IN_MSG);
    too_long.ExtraDataIndex = 64;
    PASSTHRU_MSG too_short = make_msg(ISO15765, {0x00, 0x00, 0x07});
    const size_t from = mark();
    uint32_t id = 55;
    EXPECT_EQ(PassThruStartPeriodicMsg(iso, &too_long, &id, 10), ERR_INVALID_MSG);
    EXPECT_EQ(last_error(), "PassThruStartPeriodic message does not fit a frame");
    EXPECT_EQ(too_long.Data[2], 0x22);  // the identifier rule did not run
    EXPECT_EQ(tenq::CANSetup.iso15765_tx_data_length, 8);
    EXPECT_EQ(PassThruStartPeriodicMsg(iso, &too_short, &id, 10), ERR_INVALID_MSG);
    EXPECT_EQ(PassThruUpdatePeriodicMsg(iso, &too_short, 3, 10), ERR_INVALID_MSG);
    EXPECT_EQ(last_error(), "PassThruUpdatePeriodicMsg message does not fit a frame");
    EXPECT_EQ(id, 55u);
    EXPECT_EQ(sent_since(from), std::optional(std::vector<Frame>{}));
    for (const tenq::JMSG &slot : tenq::jmsg_periodic_msg)
        EXPECT_EQ(slot.size, 0);
}

TEST_F(PeriodicMsgsTest, SlotsOfAnotherDeviceAreNeitherStoppedNorTakenOver)
{
    const uint32_t can = connect(CAN);
    const uint32_t mscan = connect(MSCAN);
    const uint32_t iso9141 = connect(ISO9141, 0, 10400);
    const uint32_t iso14230 = connect(ISO14230, 0, 10400);
    PASSTHRU_MSG msg = make_msg(CAN, {0, 0, 0x07, 0xDF, 0x3E});
    PASSTHRU_MSG kmsg = make_msg(ISO9141, {0x68, 0x6A, 0xF1, 0x3E});
    uint32_t id = 0, kid = 0;
    ASSERT_EQ(PassThruStartPeriodicMsg(can, &msg, &id, 500), STATUS_NOERROR);
    ASSERT_EQ(PassThruStartPeriodicMsg(iso9141, &kmsg, &kid, 500), STATUS_NOERROR);

    const size_t from = mark();
    EXPECT_EQ(PassThruStopPeriodicMsg(mscan, id), ERR_INVALID_MSG_ID);
    EXPECT_EQ(last_error(), "PassThruStopPeriodicMsg message ID belongs to another channel");
    PASSTHRU_MSG other = make_msg(MSCAN, {0, 0, 0x07, 0xE0, 0x01});
    EXPECT_EQ(PassThruUpdatePeriodicMsg(mscan, &other, id, 20), ERR_INVALID_MSG_ID);
    EXPECT_EQ(last_error(), "PassThruUpdatePeriodicMsg message ID belongs to another channel");
    EXPECT_EQ(PassThruStopPeriodicMsg(can, 100), ERR_INVALID_MSG_ID);
    EXPECT_EQ(PassThruStopPeriodicMsg(can, 0xFFFFFFFFu), ERR_INVALID_MSG_ID);
    EXPECT_EQ(PassThruUpdatePeriodicMsg(can, &msg, 100, 20), ERR_EXCEEDED_LIMIT);
    EXPECT_EQ(last_error(), "PassThruUpatePeriodicMsg exceeded periodic message limit");
    EXPECT_EQ(sent_since(from), std::optional(std::vector<Frame>{}));
    EXPECT_EQ(tenq::jmsg_periodic_msg[id].dev, 0x10);
    EXPECT_EQ(tenq::jmsg_periodic_msg[id].size, 3);

    // The K-line channels share their device and so their slots; a free
    // slot may be stopped or started by any channel.
    const size_t from2 = mark();
    EXPECT_EQ(PassThruStopPeriodicMsg(iso14230, kid), STATUS_NOERROR);
    EXPECT_EQ(PassThruStopPeriodicMsg(mscan, 50), STATUS_NOERROR);
    EXPECT_EQ(PassThruUpdatePeriodicMsg(mscan, &other, 99, 20), STATUS_NOERROR);
    EXPECT_EQ(sent_since(from2).value().size(), 3u);
    EXPECT_EQ(tenq::jmsg_periodic_msg[kid].size, 0);
    EXPECT_EQ(tenq::jmsg_periodic_msg[50].dev, 0x30);
    EXPECT_EQ(tenq::jmsg_periodic_msg[99].dev, 0x30);
    EXPECT_EQ(tenq::jmsg_periodic_msg[99].size, 3);
}

TEST_F(PeriodicMsgsTest, UpdatePaddingWithItsOwnLengthSetsTheChannelsTransmitLength)
{
    const uint32_t iso = connect(ISO15765_PS);
    PASSTHRU_MSG msg = make_msg(ISO15765_PS, {0, 0, 0x07, 0xDF, 0x01, 0x0D},
                                ISO15765_FRAME_PAD | FD_TX_LENGTH_IN_MSG | CAN_FD_FRAME);
    msg.ExtraDataIndex = 12;
    ASSERT_EQ(PassThruUpdatePeriodicMsg(iso, &msg, 7, 250), STATUS_NOERROR);
    EXPECT_EQ(tenq::MSCANSetup.iso15765_tx_data_length, 12);
    EXPECT_EQ(msg_bytes(msg, 3), (std::vector<uint8_t>{0, 0, 0x07}));
    ASSERT_TRUE(eventually([&] { return sim().periodic_slots().slots[7].used(); }));
    const Frame f = sim().periodic_slots().slots[7].frame;
    EXPECT_EQ(f.dev, 0x40);
    EXPECT_EQ(f.flags, 0x01);
    EXPECT_EQ(f.data.size(), 10u);  // three bytes behind the identifier grow to 8
    EXPECT_EQ(f.timestamp_le(), 250u);
}

TEST_F(PeriodicMsgsTest, ConnectStopsEverySlotOfItsDeviceAndDisconnectOnlyUsedOnes)
{
    uint32_t can = connect(CAN);
    PASSTHRU_MSG msg = make_msg(CAN, {0, 0, 0x07, 0xDF, 0x3E});
    uint32_t a = 0, b = 0;
    ASSERT_EQ(PassThruStartPeriodicMsg(can, &msg, &a, 500), STATUS_NOERROR);
    ASSERT_EQ(PassThruStartPeriodicMsg(can, &msg, &b, 500), STATUS_NOERROR);
    ASSERT_EQ(PassThruStopPeriodicMsg(can, a), STATUS_NOERROR);

    const size_t from = mark();
    ASSERT_EQ(PassThruDisconnect(can), STATUS_NOERROR);
    std::optional<std::vector<Frame>> sent = sent_since(from);
    EXPECT_EQ(sent, std::optional(std::vector<Frame>{Frame(0x10, 3, 4, {}, 0, 1), Frame(0x10, 1)}));
    EXPECT_FALSE(tenq::ChannelConnected(5));

    const size_t from2 = mark();
    can = connect(CAN);
    sent = sent_since(from2);
    ASSERT_TRUE(sent.has_value());
    ASSERT_EQ(sent->size(), 4u);
    EXPECT_EQ((*sent)[0].type, 7);
    EXPECT_EQ((*sent)[1], Frame(0x10, 0, 0));
    EXPECT_EQ((*sent)[2], Frame(0x10, 3, 4, {}, 0, 0));  // stopped before, stopped again
    EXPECT_EQ((*sent)[3], Frame(0x10, 3, 4, {}, 0, 1));
}

TEST_F(PeriodicMsgsTest, SuspendAndResumeNameTheChannelsDevice)
{
    const uint32_t iso = connect(ISO15765);
    const size_t from = mark();
    EXPECT_EQ(PassThruSuspendPeriodic(iso), STATUS_NOERROR);
    ASSERT_TRUE(eventually([&] { return sim().periodic_slots().suspended.count(0x20) == 1; }));
    EXPECT_EQ(PassThruResumePeriodic(iso), STATUS_NOERROR);
    EXPECT_EQ(PassThruSuspendPeriodic(3), ERR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(last_error(), "PassThruSuspendPeriodic invalid ChannelID");
    EXPECT_EQ(PassThruResumePeriodic(38), ERR_INVALID_CHANNEL_ID);
    EXPECT_EQ(last_error(), "PassThruResumePeriodic invalid channel ID");
    EXPECT_EQ(sent_since(from), std::optional(std::vector<Frame>{Frame(0x20, 3, 0, {}, 0x10),
                                                                 Frame(0x20, 3, 0, {}, 0x20)}));
    EXPECT_TRUE(sim().periodic_slots().suspended.empty());
}
