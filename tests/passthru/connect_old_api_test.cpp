// The older API variant's connect (linked from the `tenq` archive): no
// device argument, the usual bus rates, and no CAN setup block at connect.
#include <gtest/gtest.h>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/link/link.h"
#include "sim/sim_fixture.h"
#include "tests/passthru/channel_helpers.h"

using orvane::sim::Frame;

namespace {
class OldApiConnect : public orvane::sim::SimFixture {};
}  // namespace

TEST_F(OldApiConnect, UsesTheUsualRatesAndSendsOnlyTheKLineBlock)
{
    auto &sim = start_sim(7);
    uint32_t device = 0;
    ASSERT_EQ(PassThruOpen("COM7", &device), 0);
    tenq::CANSetup.fd_baud_rate = 1234567;
    tenq::CANSetup.termination = 1;
    ASSERT_TRUE(sim.log().wait_for_count(3, std::chrono::seconds(10)));
    const size_t from = 3;  // after the device search's stop and two queries

    uint32_t ch = 0;
    ASSERT_EQ(PassThruConnect(ISO15765, CAN_PASSIVE, &ch), STATUS_NOERROR);
    EXPECT_EQ(ch, 6u);
    EXPECT_EQ(tenq::CANSetup.baud_rate, 500000u);
    EXPECT_EQ(tenq::CANSetup.fd_baud_rate, 1234567u);
    EXPECT_EQ(tenq::CANSetup.termination, 1);
    EXPECT_EQ(tenq::CANSetup.iso15765_pad_value, 0xCC);
    EXPECT_EQ(tenq::CANSetup.bit_sample_point_percent, 80);
    ASSERT_EQ(PassThruConnect(ISO14230, ISO9141_NO_CHECKSUM, &ch), STATUS_NOERROR);
    EXPECT_EQ(ch, 4u);
    ASSERT_EQ(PassThruConnect(CAN, MSCAN_SELECT, &ch), STATUS_NOERROR);
    EXPECT_EQ(ch, 11u);
    EXPECT_EQ(tenq::MSCANSetup.baud_rate, 500000u);
    EXPECT_EQ(PassThruConnect(CAN_PS, 0, &ch), ERR_CHANNEL_IN_USE);
    EXPECT_EQ(PassThruConnect(J1850VPW, 0, &ch), ERR_NOT_SUPPORTED);

    ASSERT_EQ(tenq::JmsgSendCmd(0xF0, 2, 13, 0, 0, nullptr, 0), 0);
    std::optional<std::vector<Frame>> sent =
        tenq_test::frames_before_fence(sim, from, Frame(0xF0, 2, 13));
    ASSERT_TRUE(sent.has_value());
    ASSERT_EQ(sent->size(), 4u);
    EXPECT_EQ((*sent)[0], Frame(0x20, 0, 0, {}, 0x20));  // passive start, no block before it
    EXPECT_EQ((*sent)[1].dev, 0x90);
    EXPECT_EQ((*sent)[1].type, 7);
    EXPECT_EQ((*sent)[2], Frame(0x90, 0, 0));
    EXPECT_EQ((*sent)[3], Frame(0x30, 0, 0));
    const std::vector<uint8_t> block = sim.bus_devices().setup_blocks.at(0x90);
    ASSERT_EQ(block.size(), 56u);
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 6),
              (std::vector<uint8_t>{0xA0, 0x28, 0x00, 0x00, 0x33, 0x80}));  // 10400, no checksum
    EXPECT_EQ(sim.bus_devices().setup_blocks.count(0x10), 0u);
    EXPECT_EQ(tenq::ISO9141NoChecksum, 1u);
}
