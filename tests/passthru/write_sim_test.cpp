// Writing against the simulated adapter: the frames it receives, echoes
// that are in the rings by the time a blocking write returns, and the
// barrier's time-out.
#include <gtest/gtest.h>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/link/rings.h"
#include "sim/sim_fixture.h"
#include "tests/passthru/write_test_support.h"

using namespace std::chrono_literals;
using orvane::sim::Frame;
using tenq_test::id_and_payload;
using tenq_test::make_msg;
using tenq_test::msg_array;

namespace {

class WriteSimTest : public orvane::sim::SimFixture {
  protected:
    orvane::sim::Simulator &open_adapter()
    {
        auto &sim = start_sim(7);
        uint32_t id = 0;
        EXPECT_EQ(PassThruOpen("COM7", &id), STATUS_NOERROR);
        tenq::ChannelStatus = 0;
        for (tenq::RxRing *ring : {&tenq::CANBuffer, &tenq::ISO15765Buffer})
            tenq::RingReset(*ring);
        tenq::CANSetup.iso15765_pad_value = 0xCC;
        sim.log().clear();
        return sim;
    }

    static std::vector<Frame> received(orvane::sim::Simulator &sim, size_t count)
    {
        EXPECT_TRUE(sim.log().wait_for_count(count, 5s));
        return sim.log().frames();
    }
};

}  // namespace

TEST_F(WriteSimTest, FramesAsTheAdapterReceivesThem)
{
    auto &sim = open_adapter();
    tenq::ChannelStatus = tenq::ChannelBit(3) | tenq::ChannelBit(5) | tenq::ChannelBit(6);

    PASSTHRU_MSG can[3] = {make_msg(CAN, 0, {0, 0, 0x07, 0xE0, 1, 2, 3, 4}),
                           make_msg(CAN, CAN_29BIT_ID, {0x18, 0xDA, 0x10, 0xF1, 9}),
                           make_msg(CAN, CAN_FD_FRAME | CAN_FD_BRS, {0, 0, 0x07, 0xE0, 5})};
    uint32_t n = 3;
    ASSERT_EQ(PassThruWriteMsgs(5, can, &n, 0), STATUS_NOERROR);
    auto frames = received(sim, 3);
    ASSERT_EQ(frames.size(), 3u);
    Frame expected(0x10, 3, 5, {0x07, 0xE0, 1, 2, 3, 4}, 0x00);
    expected.set_timestamp_le(333);  // (1500 - 500) / 3
    EXPECT_EQ(frames[0], expected);
    EXPECT_EQ(frames[1].flags, 0x10);
    EXPECT_EQ(frames[1].data.size(), 5u);
    EXPECT_EQ(frames[2].flags, 0x03);

    sim.log().clear();
    PASSTHRU_MSG iso[2] = {make_msg(ISO15765, 0, id_and_payload({0, 0, 0x07, 0xE0}, 7)),
                           make_msg(ISO15765, 0, id_and_payload({0, 0, 0x07, 0xE0}, 127))};
    n = 2;
    ASSERT_EQ(PassThruWriteMsgs(6, iso, &n, 0), STATUS_NOERROR);
    frames = received(sim, 1 + 1 + 18 + 1);
    ASSERT_EQ(frames.size(), 21u);
    EXPECT_EQ(frames[0].data[2], 0x07);
    EXPECT_EQ(frames[1].data[2], 0x10);
    EXPECT_EQ(frames[19].data.size(), 2u + 1u + 2u);
    EXPECT_EQ(frames[19].flags, 0x80);
    EXPECT_EQ(frames[20], Frame(0x20, 3, 0, {}, 0x20));

    sim.log().clear();
    PASSTHRU_MSG kline[4] = {make_msg(ISO9141, 0, {}), make_msg(ISO9141, 0, id_and_payload({}, 68)),
                             make_msg(ISO9141, 0, id_and_payload({}, 69)),
                             make_msg(ISO9141, 0, id_and_payload({}, 200))};
    n = 4;
    ASSERT_EQ(PassThruWriteMsgs(3, kline, &n, 0), STATUS_NOERROR);
    frames = received(sim, 7);
    std::vector<std::pair<size_t, uint8_t>> shape;
    for (const Frame &f : frames)
        shape.emplace_back(f.data.size(), f.flags);
    EXPECT_EQ(shape, (std::vector<std::pair<size_t, uint8_t>>{
                         {0, 0}, {68, 0}, {68, 0x20}, {1, 0}, {68, 0x20}, {68, 0x20}, {64, 0}}));
    for (const Frame &f : frames)
        EXPECT_EQ(f.dev, 0x90);
}

TEST_F(WriteSimTest, EchoesAreInTheRingWhenABlockingWriteReturns)
{
    auto &sim = open_adapter();
    tenq::ChannelStatus = tenq::ChannelBit(5);
    sim.set_loopback(true);
    sim.set_pacing(true);  // echoes trickle back at the link's rate
    auto msgs = msg_array(200, make_msg(CAN, 0, {0, 0, 0x07, 0xE0, 1, 2, 3, 4}));
    msgs[199].TxFlags = BLOCKING_WRITE;
    uint32_t n = 200;
    ASSERT_EQ(PassThruWriteMsgs(5, msgs.get(), &n, 0), STATUS_NOERROR);
    EXPECT_EQ(n, 200u);
    // The adapter answers the barrier only after it has handled (and
    // echoed) every frame before it, so nothing is left to wait for.
    EXPECT_EQ(tenq::CANBuffer.Count, 200u);
    EXPECT_EQ(sim.outputs().transmitted, 200u);
}

TEST_F(WriteSimTest, SilentBarrierTimesOut)
{
    auto &sim = open_adapter();
    tenq::ChannelStatus = tenq::ChannelBit(5);
    sim.set_handler(0xF0, 2, 13, nullptr);  // no version reply
    tenq_test::SteppingClock clock(250);
    PASSTHRU_MSG m = make_msg(CAN, BLOCKING_WRITE, {0, 0, 0x07, 0xE0, 1});
    uint32_t n = 1;
    EXPECT_EQ(PassThruWriteMsgs(5, &m, &n, 0), ERR_TIMEOUT);
    EXPECT_EQ(n, 1u);
    const auto frames = received(sim, 2);
    EXPECT_EQ(frames[0].type, 5);
    EXPECT_EQ(frames[1], Frame(0xF0, 2, 13));
}
