// Channels, filters and periodic messages through the built library, as an
// application calls them, against the simulated adapter: what the adapter
// was told.
#include <gtest/gtest.h>

#include <vector>

#include "tests/passthru/channel_helpers.h"
#include "tests/passthru/library_sim_fixture.h"

using orvane::sim::Frame;
using tenq_test::eventually;
using tenq_test::make_msg;
using tenq_test::msg_bytes;

namespace {

std::vector<uint8_t> le32(uint32_t v)
{
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

std::vector<uint8_t> iso15765_block(uint32_t baud)
{
    std::vector<uint8_t> b = le32(baud);
    for (uint8_t byte : {0x80, 0x84, 0x1E, 0x00, 0x00, 0x00, 80, 20, 0x00, 0x00, 0xFF, 0xFF, 0xFF,
                         0x08, 0x00, 0xCC})
        b.push_back(byte);
    return b;
}

std::vector<uint8_t> kline_block(uint32_t baud)
{
    std::vector<uint8_t> b = le32(baud);
    for (uint8_t byte :
         {0x33, 0x00, 0,  0, 20, 0, 25,   0,    50,   0,    55,   0,    0x88, 0x13, 5,  0, 20, 0,
          0,    0,    0,  0, 5,  0, 0x2C, 0x01, 0,    0,    0x2C, 0x01, 0,    0,    20, 0, 0,  0,
          20,   0,    25, 0, 50, 0, 0x2C, 0x01, 0xF4, 0x01, 25,   0,    50,   0,    0,  8})
        b.push_back(byte);
    return b;
}

class ChannelsEndToEnd : public tenq_test::LibrarySimTest {
  protected:
    void SetUp() override
    {
        LibrarySimTest::SetUp();
        ASSERT_EQ(device, 7u);
    }
};

}  // namespace

TEST_F(ChannelsEndToEnd, ConnectsGiveTheirChannelsAndTheAdapterTheDefaultBlocks)
{
    EXPECT_EQ(connect(CAN), 5u);
    EXPECT_EQ(connect(ISO15765, 0, 250000), 6u);
    EXPECT_EQ(connect(CAN, MSCAN_SELECT), 11u);
    EXPECT_EQ(connect(ISO15765_PS, 0, 1000000), 12u);
    EXPECT_EQ(connect(ISO9141, 0, 10400), 3u);

    uint32_t ch = 99;
    EXPECT_EQ(lib.Connect(device, CAN, 0, 500000, &ch), 20);
    EXPECT_EQ(lib.last_error(), "PassThruConnect channel 5 in use");
    EXPECT_EQ(lib.Connect(device, J1850VPW, 0, 10400, &ch), 1);
    EXPECT_EQ(lib.Connect(device, SPCAN, 0, 500000, &ch), 3);
    EXPECT_EQ(lib.last_error(), "PassThruConnect invalid protocol ID (13)");
    EXPECT_EQ(lib.Connect(device + 1, ISO14230, 0, 10400, &ch), 26);
    EXPECT_EQ(ch, 0u);

    ASSERT_TRUE(eventually([&] { return sim().bus_devices().started.count(0x90) == 1; }));
    const orvane::sim::BusDevices devices = sim().bus_devices();
    // Channel 6 and 12 blocks went to their controllers, after the CAN ones.
    EXPECT_EQ(devices.setup_blocks.at(0x10), iso15765_block(250000));
    EXPECT_EQ(devices.setup_blocks.at(0x30), iso15765_block(1000000));
    EXPECT_EQ(devices.setup_blocks.at(0x90), kline_block(10400));
    EXPECT_EQ(devices.setup_blocks.size(), 3u);
    EXPECT_EQ(devices.started,
              (std::map<uint8_t, uint8_t>{{0x10, 0}, {0x20, 0}, {0x30, 0}, {0x40, 0}, {0x90, 0}}));
}

TEST_F(ChannelsEndToEnd, CanConnectAfterIso15765KeepsItsTransportFieldsAndPassiveStartsListening)
{
    const uint32_t iso = connect(ISO15765, CAN_PASSIVE, 250000);
    ASSERT_TRUE(eventually([&] { return sim().bus_devices().started.count(0x20) == 1; }));
    EXPECT_EQ(sim().bus_devices().started.at(0x20), 0x20);
    ASSERT_EQ(lib.Disconnect(iso), 0);
    connect(CAN_CH1, 0, 125000);
    ASSERT_TRUE(eventually([&] { return sim().bus_devices().started.count(0x10) == 1; }));
    std::vector<uint8_t> expected = iso15765_block(250000);
    const std::vector<uint8_t> rate = le32(125000);
    std::copy(rate.begin(), rate.end(), expected.begin());
    EXPECT_EQ(sim().bus_devices().setup_blocks.at(0x10), expected);
    EXPECT_EQ(sim().bus_devices().started.count(0x20), 0u);
}

TEST_F(ChannelsEndToEnd, DisconnectStopsTheChannelsSlotsAndItsDevice)
{
    const uint32_t iso9141 = connect(ISO9141, 0, 10400);
    const uint32_t iso14230 = connect(ISO14230, ISO9141_FORD, 10400);
    PASSTHRU_MSG m = make_msg(ISO14230, {0x80, 0x10, 0xF1, 0x01});
    uint32_t filter = 0, periodic = 0, periodic3 = 0;
    ASSERT_EQ(lib.StartMsgFilter(iso14230, PASS_FILTER, &m, &m, nullptr, &filter), 0);
    ASSERT_EQ(lib.StartPeriodicMsg(iso14230, &m, &periodic, 2000), 0);
    PASSTHRU_MSG k = make_msg(ISO9141, {0x68, 0x6A, 0xF1, 0x01, 0x00});
    ASSERT_EQ(lib.StartPeriodicMsg(iso9141, &k, &periodic3, 2000), 0);
    EXPECT_EQ(filter, 0u);
    ASSERT_TRUE(eventually([&] { return sim().periodic_slots().slots[periodic3].used(); }));
    EXPECT_EQ(sim().bus_devices().setup_blocks.at(0x90)[5], 0x40);  // Ford init

    // Channel 3's disconnect takes the K-line slots of channel 4 too.
    ASSERT_EQ(lib.Disconnect(iso9141), 0);
    ASSERT_TRUE(eventually([&] { return sim().bus_devices().started.count(0x90) == 0; }));
    EXPECT_FALSE(sim().filter_slots().slots[filter].used());
    EXPECT_FALSE(sim().periodic_slots().slots[periodic].used());
    EXPECT_FALSE(sim().periodic_slots().slots[periodic3].used());
    EXPECT_EQ(lib.Disconnect(iso9141), 8);
    EXPECT_EQ(lib.last_error(), "PassThruDisconnect invalid ChannelID (3)");
    EXPECT_EQ(lib.Disconnect(iso14230), 0);  // channel 4 stayed connected
}

TEST_F(ChannelsEndToEnd, SixtyFourFiltersFillTheTableFromTheTop)
{
    const uint32_t ch = connect(CAN);
    for (uint32_t i = 0; i < 64; ++i) {
        PASSTHRU_MSG mask = make_msg(CAN, {0, 0, 0x07, 0xFF});
        PASSTHRU_MSG pattern = make_msg(CAN, {0, 0, 0x07, static_cast<uint8_t>(i)});
        uint32_t id = 0;
        ASSERT_EQ(lib.StartMsgFilter(ch, PASS_FILTER, &mask, &pattern, nullptr, &id), 0);
        EXPECT_EQ(id, 63 - i);
    }
    PASSTHRU_MSG m = make_msg(CAN, {0, 0, 0x07, 0xFF});
    uint32_t id = 0;
    EXPECT_EQ(lib.StartMsgFilter(ch, PASS_FILTER, &m, &m, nullptr, &id), 12);
    EXPECT_EQ(lib.last_error(), "PassThruStartMsgFilter exceeded filter limit");
    ASSERT_TRUE(eventually([&] { return sim().filter_slots().slots[0].flow.type == 3; }));
    const orvane::sim::FilterSlots slots = sim().filter_slots();
    for (uint32_t slot = 0; slot < 64; ++slot) {
        EXPECT_EQ(slots.slots[slot].pattern.data,
                  (std::vector<uint8_t>{0x07, static_cast<uint8_t>(63 - slot)}));
        EXPECT_EQ(slots.slots[slot].mask.dev, 0x10);
    }
}

TEST_F(ChannelsEndToEnd, FlowControlFilterGivesTheAdapterItsFlowFrame)
{
    const uint32_t ch = connect(ISO15765);
    PASSTHRU_MSG mask = make_msg(ISO15765, {0, 0, 0x07, 0xFF});
    PASSTHRU_MSG pattern = make_msg(ISO15765, {0, 0, 0x07, 0xE8});
    PASSTHRU_MSG flow = make_msg(ISO15765, {0, 0, 0x07, 0xE0});
    std::memset(flow.Data + 4, 0x77, 8);
    uint32_t id = 0;
    ASSERT_EQ(lib.StartMsgFilter(ch, FLOW_CONTROL_FILTER, &mask, &pattern, &flow, &id), 0);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(msg_bytes(flow, 12),
              (std::vector<uint8_t>{0, 0, 0x07, 0xE0, 0x30, 0, 0, 0, 0, 0, 0, 0}));

    PASSTHRU_MSG padded = make_msg(ISO15765, {0, 0, 0x07, 0xE1}, ISO15765_FRAME_PAD);
    pattern.Data[3] = 0xE9;
    ASSERT_EQ(lib.StartMsgFilter(ch, FLOW_CONTROL_FILTER, &mask, &pattern, &padded, &id), 0);
    EXPECT_EQ(id, 1u);
    ASSERT_TRUE(eventually([&] { return sim().filter_slots().slots[1].flow.type == 3; }));
    const orvane::sim::FilterSlots slots = sim().filter_slots();
    EXPECT_EQ(slots.slots[0].flow, Frame(0x20, 3, 3, {0x07, 0xE0, 0x30, 0x00, 0x00}, 0, 0));
    EXPECT_EQ(
        slots.slots[1].flow,
        Frame(0x20, 3, 3, {0x07, 0xE1, 0x30, 0x00, 0x00, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC}, 0, 1));
    EXPECT_EQ(slots.slots[1].mask, Frame(0x20, 3, 1, {0x07, 0xFF}, 0, 1));
    EXPECT_GE(sim().bus_devices().clears.at(0x10), 2);
}

TEST_F(ChannelsEndToEnd, HundredPeriodicMessagesWithTheirIntervalsUpdatesAndSuspension)
{
    const uint32_t ch = connect(CAN);
    for (uint32_t i = 0; i < 100; ++i) {
        PASSTHRU_MSG m = make_msg(CAN, {0, 0, 0x07, 0xDF, static_cast<uint8_t>(i)});
        uint32_t id = 0;
        ASSERT_EQ(lib.StartPeriodicMsg(ch, &m, &id, 10 + i), 0);
        EXPECT_EQ(id, i);
    }
    PASSTHRU_MSG m = make_msg(CAN, {0, 0, 0x07, 0xDF, 0xAA});
    uint32_t id = 0;
    EXPECT_EQ(lib.StartPeriodicMsg(ch, &m, &id, 1000), 12);
    EXPECT_EQ(lib.last_error(), "PassThruStartPeriodic exceeded periodic message limit");
    ASSERT_EQ(lib.StopPeriodicMsg(ch, 5), 0);
    ASSERT_EQ(lib.StartPeriodicMsg(ch, &m, &id, 1000), 0);
    EXPECT_EQ(id, 5u);
    PASSTHRU_MSG update = make_msg(CAN, {0, 0, 0x07, 0xE0, 0x3E, 0x80}, CAN_FD_FRAME);
    ASSERT_EQ(lib.UpdatePeriodicMsg(ch, &update, 7, 0x12345678), 0);
    ASSERT_EQ(lib.SuspendPeriodic(ch), 0);

    ASSERT_TRUE(eventually([&] { return sim().periodic_slots().suspended.count(0x10) == 1; }));
    orvane::sim::PeriodicSlots slots = sim().periodic_slots();
    for (uint32_t i = 0; i < 100; ++i) {
        ASSERT_TRUE(slots.slots[i].used()) << i;
        if (i != 5 && i != 7) {
            EXPECT_EQ(slots.slots[i].interval_ms(), 10 + i);
            EXPECT_EQ(slots.slots[i].frame.data,
                      (std::vector<uint8_t>{0x07, 0xDF, static_cast<uint8_t>(i)}));
        }
    }
    EXPECT_EQ(slots.slots[5].interval_ms(), 1000u);
    EXPECT_EQ(slots.slots[5].frame.timestamp, (std::array<uint8_t, 4>{0xE8, 0x03, 0x00, 0x00}));
    EXPECT_EQ(slots.slots[7].interval_ms(), 0x12345678u);
    EXPECT_EQ(slots.slots[7].frame.flags, 0x01);
    EXPECT_EQ(slots.slots[7].frame.data, (std::vector<uint8_t>{0x07, 0xE0, 0x3E, 0x80}));
    EXPECT_EQ(slots.stops, 1);

    ASSERT_EQ(lib.ResumePeriodic(ch), 0);
    ASSERT_TRUE(eventually([&] { return sim().periodic_slots().suspended.empty(); }));
}
