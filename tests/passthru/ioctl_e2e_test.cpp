// I/O controls and configuration parameters through the built library, as
// an application calls them, against the simulated adapter: what comes back
// and what the adapter was told.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

#include "sim/setup_blocks.h"
#include "tests/passthru/channel_helpers.h"
#include "tests/passthru/library_sim_fixture.h"

using orvane::sim::Frame;
using tenq_test::eventually;
using tenq_test::Library;
using tenq_test::make_msg;
using tenq_test::msg_bytes;

namespace {

class IoctlEndToEnd : public tenq_test::LibrarySimTest {
  protected:
    void SetUp() override
    {
        LibrarySimTest::SetUp();
        ReadMsgs = lib.bind<decltype(ReadMsgs)>("PassThruReadMsgs");
        WriteMsgs = lib.bind<decltype(WriteMsgs)>("PassThruWriteMsgs");
    }

    int32_t set(uint32_t channel, std::vector<SCONFIG> items)
    {
        SCONFIG_LIST list{static_cast<uint32_t>(items.size()), items.data()};
        return lib.Ioctl(channel, SET_CONFIG, &list, nullptr);
    }

    uint32_t get(uint32_t channel, uint32_t parameter)
    {
        SCONFIG item{parameter, 0xDEADBEEF};
        SCONFIG_LIST list{1, &item};
        EXPECT_EQ(lib.Ioctl(channel, GET_CONFIG, &list, nullptr), 0) << lib.last_error();
        return item.Value;
    }

    // A pass filter for 0x7E8 on `can` and a flow-control filter for 0x7E8
    // (flow frames from 0x7E0) on `iso`.
    void start_7e8_filters(uint32_t can, uint32_t iso, uint32_t &pass_id, uint32_t &flow_id)
    {
        PASSTHRU_MSG mask = make_msg(CAN, {0, 0, 0x07, 0xFF});
        PASSTHRU_MSG pattern = make_msg(CAN, {0, 0, 0x07, 0xE8});
        ASSERT_EQ(lib.StartMsgFilter(can, PASS_FILTER, &mask, &pattern, nullptr, &pass_id), 0);
        PASSTHRU_MSG iso_mask = make_msg(ISO15765, {0, 0, 0x07, 0xFF});
        PASSTHRU_MSG iso_pattern = make_msg(ISO15765, {0, 0, 0x07, 0xE8});
        PASSTHRU_MSG flow = make_msg(ISO15765, {0, 0, 0x07, 0xE0});
        ASSERT_EQ(
            lib.StartMsgFilter(iso, FLOW_CONTROL_FILTER, &iso_mask, &iso_pattern, &flow, &flow_id),
            0);
    }

    uint32_t read_word(uint32_t id)
    {
        uint32_t value = 0xDEADBEEF;
        EXPECT_EQ(lib.Ioctl(0, id, nullptr, &value), 0) << lib.last_error();
        return value;
    }

    // The last setup block the adapter got on `dev`, decoded, once `done` holds for it.
    template <typename Block, typename Decode, typename Done>
    std::optional<Block> block_when(uint8_t dev, Decode decode, Done done)
    {
        std::optional<Block> block;
        eventually([&] {
            const auto blocks = sim().bus_devices().setup_blocks;
            const auto it = blocks.find(dev);
            block = it == blocks.end() ? std::nullopt : decode(it->second);
            return block && done(*block);
        });
        return block;
    }

    std::optional<orvane::sim::CanSetupBlock>
    can_block_when(uint8_t dev, std::function<bool(const orvane::sim::CanSetupBlock &)> done)
    {
        return block_when<orvane::sim::CanSetupBlock>(
            dev, [](const std::vector<uint8_t> &b) { return orvane::sim::decode_can_setup(b); },
            done);
    }

    std::optional<orvane::sim::KLineSetupBlock>
    kline_block_when(std::function<bool(const orvane::sim::KLineSetupBlock &)> done)
    {
        return block_when<orvane::sim::KLineSetupBlock>(
            0x90, [](const std::vector<uint8_t> &b) { return orvane::sim::decode_kline_setup(b); },
            done);
    }

    int32_t (*ReadMsgs)(uint32_t, PASSTHRU_MSG *, uint32_t *, uint32_t) = nullptr;
    int32_t (*WriteMsgs)(uint32_t, PASSTHRU_MSG *, uint32_t *, uint32_t) = nullptr;
};

}  // namespace

class IoctlWithoutAdapter : public orvane::sim::SimFixture {};

TEST_F(IoctlWithoutAdapter, AnswersNotConnected)
{
    Library lib;
    uint32_t value = 0;
    EXPECT_EQ(lib.Ioctl(0, READ_VBATT, nullptr, &value), ERR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(lib.last_error(), "PassThruIoctl device not connected");
}

TEST_F(IoctlEndToEnd, AdapterInputsOutputsAndTablesNeedNoChannel)
{
    sim().with_io([](orvane::sim::AdapterIo &io) {
        io.analog[1] = 1234;
        io.analog[4] = 55;
    });
    EXPECT_EQ(read_word(READ_VBATT), 12340u);
    EXPECT_EQ(read_word(READ_CH1_VOLTAGE), 550u);

    // The programming-voltage input measures what was set.
    auto SetProgrammingVoltage =
        lib.bind<int32_t (*)(uint32_t, uint32_t, uint32_t)>("PassThruSetProgrammingVoltage");
    ASSERT_EQ(SetProgrammingVoltage(device, 13, 4870), 0) << lib.last_error();
    EXPECT_EQ(read_word(READ_PROG_VOLTAGE), 4870u);

    uint32_t on = 1, off = 0;
    ASSERT_EQ(lib.Ioctl(0, WRITE_DIO1, &on, nullptr), 0);
    ASSERT_EQ(lib.Ioctl(0, WRITE_DIO2, &off, nullptr), 0);
    EXPECT_EQ(read_word(READ_DIO1), 1u);
    EXPECT_EQ(read_word(READ_DIO2), 0u);
    ASSERT_EQ(lib.Ioctl(0, WRITE_DIO1, &off, nullptr), 0);
    EXPECT_EQ(read_word(READ_DIO1), 0u);
    EXPECT_EQ(sim().with_io([](orvane::sim::AdapterIo &io) { return io.writes; }),
              (std::vector<std::pair<uint8_t, uint8_t>>{{1, 1}, {2, 0}, {1, 0}}));

    SPARAM serial{SERIAL_NUMBER, 0, 0};
    SPARAM_LIST device_info{1, &serial};
    ASSERT_EQ(lib.Ioctl(0, GET_DEVICE_INFO, nullptr, &device_info), 0);
    EXPECT_EQ(serial.Value, orvane::sim::kDefaultSerialNumber);
    SPARAM periodic{MAX_PERIODIC_MSGS, 0, 0};
    SPARAM_LIST protocol_info{1, &periodic};
    ASSERT_EQ(lib.Ioctl(0, GET_PROTOCOL_INFO, nullptr, &protocol_info), 0);
    EXPECT_EQ(periodic.Value, 100u);
    EXPECT_EQ(periodic.Supported, 1u);

    ASSERT_EQ(lib.Ioctl(0, WRITE_LCD_TEST, nullptr, nullptr), 0);
    EXPECT_TRUE(sim().log().wait_until(
        [](const std::vector<orvane::sim::LoggedFrame> &log) {
            for (const auto &e : log) {
                if (e.frame.dev == 0xF1 && e.frame.size() == 19 && e.frame.data[3] == 'I')
                    return true;
            }
            return false;
        },
        std::chrono::seconds(10)));
}

TEST_F(IoctlEndToEnd, FiveBaudInitGivesTheEcusKeyBytes)
{
    sim().with_kline_init([](orvane::sim::KLineInit &init) {
        init.key_byte1 = 0x94;
        init.key_byte2 = 0x08;
    });
    const uint32_t ch = connect(ISO9141, 0, 10400);
    uint8_t address = 0x33, keys[2] = {};
    SBYTE_ARRAY in{1, &address}, out{2, keys};
    ASSERT_EQ(lib.Ioctl(ch, FIVE_BAUD_INIT, &in, &out), 0) << lib.last_error();
    EXPECT_EQ(keys[0], 0x94);
    EXPECT_EQ(keys[1], 0x08);
    const auto block = kline_block_when([](const auto &b) { return b.init_type == 0x20; });
    ASSERT_TRUE(block);
    EXPECT_EQ(block->init_address, 0x33);
    EXPECT_EQ(sim().with_kline_init(
                  [](orvane::sim::KLineInit &init) { return init.five_baud_addresses; }),
              std::vector<uint8_t>{0x33});
}

TEST_F(IoctlEndToEnd, FastInitGivesTheResponseWithoutItsChecksum)
{
    const uint32_t ch = connect(ISO14230, 0, 10400);
    PASSTHRU_MSG msg = make_msg(ISO14230, {0xC1, 0x33, 0xF1, 0x81});
    ASSERT_EQ(lib.Ioctl(ch, FAST_INIT, &msg, &msg), 0) << lib.last_error();
    EXPECT_EQ(msg.DataSize, 6u);
    EXPECT_EQ(msg_bytes(msg, msg.DataSize),
              (std::vector<uint8_t>{0x83, 0xF1, 0x10, 0xC1, 0xEF, 0x8F}));
    EXPECT_EQ(
        sim().with_kline_init([](orvane::sim::KLineInit &init) { return init.fast_requests; }),
        (std::vector<std::vector<uint8_t>>{{0xC1, 0x33, 0xF1, 0x81}}));

    sim().with_kline_init([](orvane::sim::KLineInit &init) { init.answer_fast = false; });
    msg = make_msg(ISO14230, {0xC1, 0x33, 0xF1, 0x81});
    EXPECT_EQ(lib.Ioctl(ch, FAST_INIT, &msg, &msg), ERR_FAILED);
    EXPECT_EQ(lib.last_error(), "No response to FAST_INIT");
}

TEST_F(IoctlEndToEnd, ConfigurationRoundTripsAndReachesTheAdapter)
{
    const uint32_t iso = connect(ISO15765);
    EXPECT_EQ(get(iso, ISO15765_PAD_VALUE), 0xCCu);
    EXPECT_EQ(get(iso, FD_ISO15765_TX_DATA_LENGTH), 8u);
    EXPECT_EQ(get(iso, BS_TX), 0xFFu);

    ASSERT_EQ(set(iso, {{ISO15765_PAD_VALUE, 0x1AA}, {ISO15765_BS, 8}}), 0);
    EXPECT_EQ(get(iso, ISO15765_PAD_VALUE), 0xAAu);
    EXPECT_EQ(get(iso, ISO15765_BS), 8u);
    const auto iso_block = can_block_when(0x20, [](const auto &b) { return b.block_size == 8; });
    ASSERT_TRUE(iso_block);
    EXPECT_EQ(iso_block->pad_value, 0xAA);

    ASSERT_EQ(set(iso, {{BIT_SAMPLE_POINT, 70}}), 0);
    EXPECT_EQ(get(iso, BIT_SAMPLE_POINT), 70u);
    EXPECT_TRUE(can_block_when(0x10, [](const auto &b) { return b.sample_point_percent == 70; }));

    const uint32_t kline = connect(ISO9141, 0, 10400);
    ASSERT_EQ(set(kline, {{P1_MIN, 25}, {TIDLE, 400}}), 0);
    EXPECT_EQ(get(kline, P1_MIN), 24u);
    EXPECT_EQ(get(kline, W5), 400u);
    const auto k = kline_block_when([](const auto &b) { return b.w5_min == 400; });
    ASSERT_TRUE(k);
    EXPECT_EQ(k->p1_min, 12);

    // The second item is refused: the first is applied and sent, the third never looked at.
    EXPECT_EQ(set(iso, {{ISO15765_STMIN, 5}, {P1_MIN, 30}, {ISO15765_BS, 2}}),
              ERR_INVALID_CHANNEL_ID);
    EXPECT_EQ(lib.last_error(), "Invalid channel ID for P1_MIN");
    EXPECT_EQ(get(iso, ISO15765_STMIN), 5u);
    EXPECT_EQ(get(iso, ISO15765_BS), 8u);
    EXPECT_TRUE(can_block_when(0x20, [](const auto &b) { return b.separation_time == 5; }));
    EXPECT_EQ(get(kline, P1_MIN), 24u);
}

TEST_F(IoctlEndToEnd, ReceiveClearEmptiesOnlyTheIso15765Ring)
{
    const uint32_t can = connect(CAN);
    const uint32_t iso = connect(ISO15765);
    uint32_t pass_id = 0, flow_id = 0;
    ASSERT_NO_FATAL_FAILURE(start_7e8_filters(can, iso, pass_id, flow_id));

    sim().inject(Frame(0x10, 2, 0, {0x07, 0xE8, 0x02, 0x41, 0x00, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC}));
    // The reading is answered behind the frame, so once it is in, the frame
    // has entered both rings.
    read_word(READ_VBATT);
    ASSERT_EQ(lib.Ioctl(iso, CLEAR_RX_BUFFER, nullptr, nullptr), 0);

    PASSTHRU_MSG msg{};
    uint32_t n = 1;
    EXPECT_EQ(ReadMsgs(iso, &msg, &n, 0), ERR_BUFFER_EMPTY);
    n = 1;
    ASSERT_EQ(ReadMsgs(can, &msg, &n, 0), 0);
    EXPECT_EQ(
        msg_bytes(msg, msg.DataSize),
        (std::vector<uint8_t>{0, 0, 0x07, 0xE8, 0x02, 0x41, 0x00, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC}));
    EXPECT_GE(sim().bus_devices().clears[0x10], 1);
}

TEST_F(IoctlEndToEnd, FilterClearStopsOnlyTheChannelsSlots)
{
    const uint32_t can = connect(CAN);
    const uint32_t iso = connect(ISO15765);
    uint32_t can_id = 0, iso_id = 0;
    ASSERT_NO_FATAL_FAILURE(start_7e8_filters(can, iso, can_id, iso_id));
    ASSERT_TRUE(eventually([&] {
        const auto slots = sim().filter_slots().slots;
        return slots[can_id].used() && slots[iso_id].used();
    }));

    ASSERT_EQ(lib.Ioctl(can, CLEAR_MSG_FILTERS, nullptr, nullptr), 0);
    EXPECT_TRUE(eventually([&] { return !sim().filter_slots().slots[can_id].used(); }));
    EXPECT_TRUE(sim().filter_slots().slots[iso_id].used());
    // The table agrees: the freed slot is the first a new CAN filter gets.
    PASSTHRU_MSG mask = make_msg(CAN, {0, 0, 0x07, 0xFF});
    PASSTHRU_MSG pattern = make_msg(CAN, {0, 0, 0x07, 0xE8});
    uint32_t again = 99;
    ASSERT_EQ(lib.StartMsgFilter(can, PASS_FILTER, &mask, &pattern, nullptr, &again), 0);
    EXPECT_EQ(again, can_id);
}

TEST_F(IoctlEndToEnd, LoopbackMakesTheAdapterEchoWhatItTransmits)
{
    const uint32_t can = connect(CAN);
    ASSERT_EQ(set(can, {{LOOPBACK, 1}}), 0);
    ASSERT_EQ(get(can, LOOPBACK), 1u);
    // A timer reset does not end the loopback.
    ASSERT_EQ(lib.Ioctl(0, RESET_TIMER, nullptr, nullptr), 0);

    PASSTHRU_MSG out = make_msg(CAN, {0, 0, 0x07, 0xE0, 0x02, 0x10, 0x03});
    uint32_t n = 1;
    ASSERT_EQ(WriteMsgs(can, &out, &n, 1000), 0) << lib.last_error();
    PASSTHRU_MSG echo{};
    n = 1;
    ASSERT_EQ(ReadMsgs(can, &echo, &n, 5000), 0) << lib.last_error();
    EXPECT_EQ(echo.RxStatus & TX_MSG_TYPE, TX_MSG_TYPE);
    EXPECT_EQ(msg_bytes(echo, echo.DataSize), msg_bytes(out, out.DataSize));

    const auto options = sim().adapter_options();
    EXPECT_EQ(options.timer_resets, 1);
    EXPECT_EQ(options.frames, (std::vector<orvane::sim::OptionFrame>{{0, 0x40}, {0, 0x20}}));

    // ISO 15765: the echoes of a segmented message come back as a start
    // indication and the whole message, through the first flow-control slot.
    const uint32_t iso = connect(ISO15765);
    PASSTHRU_MSG mask = make_msg(ISO15765, {0, 0, 0x07, 0xFF});
    PASSTHRU_MSG pattern = make_msg(ISO15765, {0, 0, 0x07, 0xE8});
    PASSTHRU_MSG flow = make_msg(ISO15765, {0, 0, 0x07, 0xE0});
    uint32_t flow_id = 0;
    ASSERT_EQ(lib.StartMsgFilter(iso, FLOW_CONTROL_FILTER, &mask, &pattern, &flow, &flow_id), 0);
    std::vector<uint8_t> payload{0, 0, 0x07, 0xE0};
    for (uint8_t i = 0; i < 20; ++i)
        payload.push_back(i);
    PASSTHRU_MSG long_msg = make_msg(ISO15765, payload, ISO15765_FRAME_PAD);
    n = 1;
    ASSERT_EQ(WriteMsgs(iso, &long_msg, &n, 1000), 0) << lib.last_error();
    PASSTHRU_MSG records[2]{};
    n = 2;
    ASSERT_EQ(ReadMsgs(iso, records, &n, 5000), 0) << lib.last_error();
    EXPECT_EQ(records[0].RxStatus, TX_MSG_TYPE | START_OF_MESSAGE);
    EXPECT_EQ(records[0].DataSize, 4u);
    EXPECT_EQ(records[1].RxStatus & (TX_MSG_TYPE | START_OF_MESSAGE), TX_MSG_TYPE);
    EXPECT_EQ(msg_bytes(records[1], records[1].DataSize), payload);

    // K-line: a message longer than one piece comes back whole, its checksum
    // checked and taken off.
    const uint32_t kline = connect(ISO9141, 0, 10400);
    std::vector<uint8_t> request{0x68, 0x6A, 0xF1};
    for (uint8_t i = 0; i < 80; ++i)
        request.push_back(i);
    PASSTHRU_MSG kline_msg = make_msg(ISO9141, request);
    n = 1;
    ASSERT_EQ(WriteMsgs(kline, &kline_msg, &n, 1000), 0) << lib.last_error();
    PASSTHRU_MSG kline_echo{};
    n = 1;
    ASSERT_EQ(ReadMsgs(kline, &kline_echo, &n, 5000), 0) << lib.last_error();
    EXPECT_EQ(kline_echo.RxStatus & TX_MSG_TYPE, TX_MSG_TYPE);
    EXPECT_EQ(msg_bytes(kline_echo, kline_echo.DataSize), request);
}
