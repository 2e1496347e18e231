// Starting and stopping filters against the simulated adapter: what the
// adapter is told, what reaches the receive rings, and the refusals that
// leave the caller's message, the table and the adapter untouched.
#include <gtest/gtest.h>

#include "passthru/link/rings.h"
#include "passthru/receive/rx_clear.h"
#include "tests/passthru/channel_sim_fixture.h"

using orvane::sim::Frame;
using tenq_test::eventually;
using tenq_test::make_msg;
using tenq_test::msg_bytes;

namespace {

class FilterStartTest : public tenq_test::ChannelSimTest {
  protected:
    uint32_t start(uint32_t channel, uint32_t type, PASSTHRU_MSG mask, PASSTHRU_MSG pattern,
                   PASSTHRU_MSG *flow = nullptr)
    {
        uint32_t id = 0xEEEE;
        EXPECT_EQ(PassThruStartMsgFilter(channel, type, &mask, &pattern, flow, &id), STATUS_NOERROR)
            << last_error();
        return id;
    }
};

// A bus frame from the adapter: the identifier as it travels, then data.
Frame bus_frame(uint8_t dev, std::vector<uint8_t> data)
{
    return Frame(dev, 2, 0, std::move(data));
}

}  // namespace

TEST_F(FilterStartTest, PassFilterDecidesWhichFramesEnterTheCanRing)
{
    const uint32_t ch = connect(CAN);
    const uint32_t id = start(ch, PASS_FILTER, make_msg(CAN, {0xFF, 0xFF, 0xFF, 0xFF}),
                              make_msg(CAN, {0x00, 0x00, 0x07, 0xE8}));
    EXPECT_EQ(id, 63u);
    ASSERT_TRUE(eventually([&] { return sim().filter_slots().slots[63].flow.type == 3; }));
    const orvane::sim::FilterSlot slot = sim().filter_slots().slots[63];
    EXPECT_EQ(slot.mask, Frame(0x10, 3, 1, {0xFF, 0xFF}, 0, 63));
    EXPECT_EQ(slot.pattern, Frame(0x10, 3, 2, {0x07, 0xE8}, 0, 63));
    EXPECT_EQ(slot.flow, Frame(0x10, 3, 3, {}, 0, 63));  // no flow control: an empty third frame

    sim().inject(bus_frame(0x10, {0x07, 0xE9, 0x02, 0x41, 0x0D}));
    sim().inject(bus_frame(0x10, {0x07, 0xE8, 0x03, 0x41, 0x0D, 0x20}));
    ASSERT_TRUE(tenq::JmsgWaitReply([] { return tenq::CANBuffer.Count != 0; }));
    tenq::JmsgReceiveMsgs();
    ASSERT_EQ(tenq::CANBuffer.Count, 1u);
    const tenq::JMSG &got = tenq::CANBuffer.Entries[tenq::CANBuffer.TailIndex];
    EXPECT_EQ(got.size, 6);
    EXPECT_EQ(got.data[1], 0xE8);
    EXPECT_EQ(tenq::ISO15765Buffer.Count, 0u);
}

TEST_F(FilterStartTest, FlowControlFilterTellsTheAdapterAndWritesBehindTheCallersMessage)
{
    const uint32_t ch = connect(ISO15765);
    tenq::CANSetup.iso15765_block_size = 0x08;
    tenq::CANSetup.iso15765_separation_time = 0x14;
    PASSTHRU_MSG flow = make_msg(ISO15765, {0x00, 0x00, 0x07, 0xE0}, ISO15765_FRAME_PAD);
    std::memset(flow.Data + 4, 0xEE, 16);
    const uint32_t id = start(ch, FLOW_CONTROL_FILTER, make_msg(ISO15765, {0, 0, 0xFF, 0xFF}),
                              make_msg(ISO15765, {0, 0, 0x07, 0xE8}), &flow);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(msg_bytes(flow, 14), (std::vector<uint8_t>{0, 0, 0x07, 0xE0, 0x30, 0x08, 0x14, 0, 0,
                                                         0, 0, 0, 0xEE, 0xEE}));
    EXPECT_EQ(flow.DataSize, 4u);
    ASSERT_TRUE(eventually([&] { return sim().filter_slots().slots[0].flow.type == 3; }));
    EXPECT_EQ(
        sim().filter_slots().slots[0].flow,
        Frame(0x20, 3, 3, {0x07, 0xE0, 0x30, 0x08, 0x14, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC}, 0, 0));

    // A frame for the flow filter enters the ISO 15765 ring, not the CAN ring.
    sim().inject(bus_frame(0x10, {0x07, 0xE8, 0x10, 0x14, 0x62, 0xF1, 0x90, 0x57}));
    ASSERT_TRUE(tenq::JmsgWaitReply([] { return tenq::ISO15765Buffer.Count != 0; }));
    EXPECT_EQ(tenq::CANBuffer.Count, 0u);
}

TEST_F(FilterStartTest, FlowMessageWithItsOwnLengthSetsTheChannelsTransmitLength)
{
    const uint32_t ch = connect(MSISO15765);
    PASSTHRU_MSG flow =
        make_msg(MSISO15765, {0x18, 0xDA, 0xF1, 0x10},
                 ISO15765_FRAME_PAD | FD_TX_LENGTH_IN_MSG | CAN_29BIT_ID | CAN_FD_FRAME);
    flow.ExtraDataIndex = 0x140;  // low byte 0x40: 64
    const PASSTHRU_MSG mask = make_msg(MSISO15765, {0xFF, 0xFF, 0xFF, 0xFF}, CAN_29BIT_ID);
    const PASSTHRU_MSG pattern = make_msg(MSISO15765, {0x18, 0xDA, 0x10, 0xF1}, CAN_29BIT_ID);
    start(ch, FLOW_CONTROL_FILTER, mask, pattern, &flow);
    EXPECT_EQ(tenq::MSCANSetup.iso15765_tx_data_length, 64);
    EXPECT_EQ(tenq::CANSetup.iso15765_tx_data_length, 0);  // controller 1 untouched
    ASSERT_TRUE(eventually([&] { return sim().filter_slots().slots[0].flow.type == 3; }));
    const Frame sent = sim().filter_slots().slots[0].flow;
    EXPECT_EQ(sent.dev, 0x40);
    EXPECT_EQ(sent.flags, 0x11);
    EXPECT_EQ(sent.data.size(), 12u);  // three PCI bytes behind the identifier grow to 8
}

TEST_F(FilterStartTest, SlotsFillFromEachEndAndBelongToTheirDevice)
{
    const uint32_t can = connect(CAN);
    const uint32_t iso = connect(ISO15765);
    const PASSTHRU_MSG m = make_msg(CAN, {0, 0, 0x07, 0xFF});
    const PASSTHRU_MSG iso_m = make_msg(ISO15765, {0, 0, 0x07, 0xFF});
    EXPECT_EQ(start(iso, PASS_FILTER, iso_m, iso_m), 0u);
    EXPECT_EQ(start(iso, BLOCK_FILTER, iso_m, iso_m), 1u);
    EXPECT_EQ(start(can, PASS_FILTER, m, m), 63u);
    EXPECT_EQ(start(can, BLOCK_FILTER, m, m), 62u);
    EXPECT_EQ(tenq::jmsg_filter_type[62], static_cast<uint32_t>(BLOCK_FILTER));

    // Block filters are stored but never picked by a look-up.
    tenq::JMSG frame{};
    frame.dev = 0x10;
    frame.size = 2;
    frame.data[0] = 0x07;
    frame.data[1] = 0xFF;
    EXPECT_EQ(tenq::GetPassFilterIndex(&frame), 63);
    EXPECT_EQ(tenq::GetISOPassFilterIndex(&frame), 0);
    std::memset(tenq::jmsg_filter_mask_msg + 63, 0, sizeof(tenq::JMSG));
    EXPECT_EQ(tenq::GetPassFilterIndex(&frame), -1);

    // A slot of another device is not this channel's to stop: nothing is
    // sent and the slot stays with its owner.
    const size_t from = mark();
    EXPECT_EQ(PassThruStopMsgFilter(can, 0), ERR_INVALID_FILTER_ID);
    EXPECT_EQ(last_error(), "PassThruStopMsgFilter filter ID belongs to another channel");
    EXPECT_EQ(PassThruStopMsgFilter(iso, 62), ERR_INVALID_FILTER_ID);
    EXPECT_EQ(sent_since(from), std::optional(std::vector<Frame>{}));
    EXPECT_EQ(tenq::jmsg_filter_mask_msg[0].dev, 0x20);
    EXPECT_NE(tenq::jmsg_filter_mask_msg[0].size, 0);

    // Its owner stops it; a free slot may be stopped by anyone.
    const size_t from2 = mark();
    EXPECT_EQ(PassThruStopMsgFilter(iso, 0), STATUS_NOERROR);
    EXPECT_EQ(PassThruStopMsgFilter(can, 40), STATUS_NOERROR);
    EXPECT_EQ(PassThruStopMsgFilter(can, 64), ERR_INVALID_FILTER_ID);
    EXPECT_EQ(sent_since(from2),
              std::optional(std::vector<Frame>{
                  Frame(0x10, 0, 12), Frame(0x20, 3, 1, {}, 0, 0), Frame(0x20, 3, 2, {}, 0, 0),
                  Frame(0x20, 3, 3, {}, 0, 0), Frame(0x10, 0, 12), Frame(0x10, 3, 1, {}, 0, 40),
                  Frame(0x10, 3, 2, {}, 0, 40), Frame(0x10, 3, 3, {}, 0, 40)}));
    EXPECT_EQ(tenq::jmsg_filter_mask_msg[0].size, 0);
    EXPECT_EQ(tenq::jmsg_filter_mask_msg[40].dev, 0x10);
}

TEST_F(FilterStartTest, KLineChannelsShareTheirSlotsAndChannelThreeTakesShortMasks)
{
    const uint32_t iso9141 = connect(ISO9141, 0, 10400);
    const uint32_t iso14230 = connect(ISO14230, 0, 10400);
    const PASSTHRU_MSG three = make_msg(ISO9141, {0x48, 0x6B, 0x10});
    EXPECT_EQ(start(iso9141, PASS_FILTER, three, three), 63u);
    PASSTHRU_MSG short_mask = make_msg(ISO14230, {0x80, 0x10, 0xF1});
    uint32_t id = 0;
    EXPECT_EQ(PassThruStartMsgFilter(iso14230, PASS_FILTER, &short_mask, &short_mask, nullptr, &id),
              ERR_INVALID_MSG);
    EXPECT_EQ(last_error(),
              "PassThruStartMsgFilter mask and pattern less than the minimum data size (4)");
    // The pass-all K-line filter: accepted, and its slot stays free.
    const PASSTHRU_MSG empty = make_msg(ISO9141, {});
    EXPECT_EQ(start(iso9141, PASS_FILTER, empty, empty), 62u);
    EXPECT_EQ(tenq::jmsg_filter_mask_msg[62].size, 0);
    // Channel 4 may stop what channel 3 started: both are the K-line.
    EXPECT_EQ(PassThruStopMsgFilter(iso14230, 63), STATUS_NOERROR);
    EXPECT_EQ(tenq::jmsg_filter_mask_msg[63].size, 0);
}

TEST_F(FilterStartTest, MessagesTooLongForAFrameAreRefusedBeforeAnythingChanges)
{
    const uint32_t ch = connect(ISO15765);
    std::vector<uint8_t> long_id(71, 0);
    const PASSTHRU_MSG long_mask = make_msg(ISO15765, long_id);
    PASSTHRU_MSG mask = long_mask;
    PASSTHRU_MSG pattern = long_mask;
    const size_t from = mark();
    uint32_t id = 77;
    EXPECT_EQ(PassThruStartMsgFilter(ch, PASS_FILTER, &mask, &pattern, nullptr, &id),
              ERR_INVALID_MSG);
    EXPECT_EQ(last_error(),
              "PassThruStartMsgFilter mask and pattern exceed the maximum data size (68)");

    // A flow message whose padding would run past the frame: nothing is
    // written behind it and the transmit length stays.
    std::vector<uint8_t> data(66, 0x11);
    PASSTHRU_MSG m = make_msg(ISO15765, data);
    PASSTHRU_MSG flow = make_msg(ISO15765, data, ISO15765_FRAME_PAD | FD_TX_LENGTH_IN_MSG);
    flow.ExtraDataIndex = 255;
    EXPECT_EQ(PassThruStartMsgFilter(ch, FLOW_CONTROL_FILTER, &m, &m, &flow, &id), ERR_INVALID_MSG);
    EXPECT_EQ(last_error(),
              "PassThruStartMsgFilter flow control message exceeds the maximum data size");
    EXPECT_EQ(flow.Data[66], 0);
    EXPECT_EQ(tenq::CANSetup.iso15765_tx_data_length, 8);

    EXPECT_EQ(id, 77u);
    EXPECT_EQ(sent_since(from), std::optional(std::vector<Frame>{}));
    for (const tenq::JMSG &slot : tenq::jmsg_filter_mask_msg)
        EXPECT_EQ(slot.size, 0);
}

TEST_F(FilterStartTest, ArgumentsAreCheckedInOrder)
{
    PASSTHRU_MSG m = make_msg(ISO15765, {0, 0, 7, 0xE0});
    PASSTHRU_MSG shorter = make_msg(ISO15765, {0, 0, 7});
    uint32_t id = 0;
    EXPECT_EQ(PassThruStartMsgFilter(6, PASS_FILTER, &m, &m, nullptr, &id),
              ERR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(last_error(), "PassThruStartMsgFilter invalid ChannelID");
    const uint32_t can = connect(CAN);
    EXPECT_EQ(PassThruStartMsgFilter(can, PASS_FILTER, nullptr, &m, nullptr, &id),
              ERR_NULL_PARAMETER);
    EXPECT_EQ(PassThruStartMsgFilter(can, PASS_FILTER, &m, &shorter, nullptr, &id),
              ERR_INVALID_MSG);
    EXPECT_EQ(last_error(), "PassThruStartMsgFilter mask and pattern not same length");
    EXPECT_EQ(PassThruStartMsgFilter(can, FLOW_CONTROL_FILTER, &m, &m, &m, &id),
              ERR_INVALID_CHANNEL_ID);
    const uint32_t iso = connect(ISO15765);
    EXPECT_EQ(PassThruStartMsgFilter(iso, FLOW_CONTROL_FILTER, &m, &m, nullptr, &id),
              ERR_NULL_PARAMETER);
    EXPECT_EQ(last_error(), "PassThruStartMsgFilter null flow control message pointer");
    PASSTHRU_MSG longer = make_msg(ISO15765, {0, 0, 7, 0xE0, 0});
    EXPECT_EQ(PassThruStartMsgFilter(iso, FLOW_CONTROL_FILTER, &m, &m, &longer, &id),
              ERR_INVALID_MSG);
    EXPECT_EQ(last_error(), "PassThruStartMsgFilter mask and flow control not same length");
    // 37 shares channel 5's bit but names no channel.
    EXPECT_EQ(PassThruStartMsgFilter(37, PASS_FILTER, &m, &m, nullptr, &id),
              ERR_INVALID_CHANNEL_ID);
    EXPECT_EQ(last_error(), "PassThruStartMsgFilter invalid channel ID");
    EXPECT_EQ(PassThruStopMsgFilter(37, 3), ERR_INVALID_CHANNEL_ID);

    // A message of another protocol is logged and used all the same.
    EXPECT_EQ(PassThruStartMsgFilter(iso, PASS_FILTER, &m, &m, nullptr, &id), STATUS_NOERROR);
    PASSTHRU_MSG can_msg = make_msg(CAN, {0, 0, 7, 0xE0});
    EXPECT_EQ(PassThruStartMsgFilter(iso, PASS_FILTER, &m, &can_msg, nullptr, &id), STATUS_NOERROR);
    EXPECT_EQ(last_error(),
              "PassThruStartMsgFilter pattern filter protocol (5) mismatch for channel ID (6)");
}

TEST_F(FilterStartTest, StartAndStopClearTheChannelsReceiveBuffer)
{
    const uint32_t iso = connect(ISO15765);
    tenq::JMSG junk{};
    tenq::RingAppend(tenq::ISO15765Buffer, junk);
    tenq::RingAppend(tenq::CANBuffer, junk);
    tenq::ISO15765Buffer.Overflow = 1;
    const size_t from = mark();
    PASSTHRU_MSG m = make_msg(ISO15765, {0, 0, 7, 0xE0});
    uint32_t id = 0;
    ASSERT_EQ(PassThruStartMsgFilter(iso, PASS_FILTER, &m, &m, nullptr, &id), STATUS_NOERROR);
    EXPECT_EQ(tenq::ISO15765Buffer.Count, 0u);
    EXPECT_EQ(tenq::ISO15765Buffer.Overflow, 1u);  // reported by the reader, not lost here
    EXPECT_EQ(tenq::CANBuffer.Count, 1u);
    std::optional<std::vector<Frame>> sent = sent_since(from);
    ASSERT_TRUE(sent.has_value());
    ASSERT_EQ(sent->size(), 4u);
    EXPECT_EQ(sent->front(), Frame(0x10, 0, 12));  // the clear goes to the controller

    // The K-line ring is cleared without a frame; other channels are refused.
    tenq::RingAppend(tenq::ISO9141Buffer, junk);
    const size_t from2 = mark();
    EXPECT_EQ(tenq::ClearRxBuffer(4), STATUS_NOERROR);
    EXPECT_EQ(tenq::ISO9141Buffer.Count, 0u);
    EXPECT_EQ(tenq::ClearRxBuffer(7), ERR_INVALID_CHANNEL_ID);
    EXPECT_EQ(last_error(), "Invalid channel ID for CLEAR_RX_BUFFER");
    EXPECT_EQ(tenq::ClearRxBuffer(11), STATUS_NOERROR);
    EXPECT_EQ(sent_since(from2), std::optional(std::vector<Frame>{Frame(0x30, 0, 12)}));
}
