// GET_CONFIG and SET_CONFIG through PassThruIoctl on a scripted port: which
// field or flag each parameter reaches, the unit conversions of the 04.04
// variant, the frame each change sends, and where a list stops.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "sim/setup_blocks.h"
#include "tests/passthru/ioctl_test_support.h"

using namespace tenq;
using orvane::sim::Frame;
using tenq_test::config_list;
using tenq_test::written_frames;

namespace {

constexpr uint32_t kUntouched = 0xDEADBEEF;

class ConfigParamsTest : public tenq_test::IoctlUnitTest {
  protected:
    void SetUp() override
    {
        IoctlUnitTest::SetUp();
        SetCanConnectDefaults(CANSetup, 500000, true);
        SetCanConnectDefaults(MSCANSetup, 250000, true);
        SetIsoConnectDefaults(ISO9141Setup, 10400, 0);
        connected({3, 4, 5, 6, 11, 12});
    }

    int32_t set(uint32_t channel, std::vector<SCONFIG> items)
    {
        SCONFIG_LIST list = config_list(items);
        return PassThruIoctl(channel, SET_CONFIG, &list, nullptr);
    }

    // One parameter read back; kUntouched when the call did not write it.
    uint32_t get(uint32_t channel, uint32_t parameter, int32_t expected_status = STATUS_NOERROR)
    {
        std::vector<SCONFIG> items{{parameter, kUntouched}};
        SCONFIG_LIST list = config_list(items);
        EXPECT_EQ(PassThruIoctl(channel, GET_CONFIG, &list, nullptr), expected_status)
            << "parameter " << parameter << ": " << last_error();
        return items[0].Value;
    }
};

orvane::sim::CanSetupBlock can_block(const Frame &f)
{
    auto b = orvane::sim::decode_can_setup(f.data);
    EXPECT_TRUE(b.has_value()) << f;
    return b.value_or(orvane::sim::CanSetupBlock{});
}

orvane::sim::KLineSetupBlock kline_block(const Frame &f)
{
    auto b = orvane::sim::decode_kline_setup(f.data);
    EXPECT_TRUE(b.has_value()) << f;
    return b.value_or(orvane::sim::KLineSetupBlock{});
}

}  // namespace

TEST_F(ConfigParamsTest, GetGivesTheConnectDefaultsOfEachGroup)
{
    std::vector<SCONFIG> items{{ISO15765_PAD_VALUE, 0},
                               {FD_ISO15765_TX_DATA_LENGTH, 0},
                               {BS_TX, 0},
                               {STMIN_TX, 0},
                               {ISO15765_BS, 0},
                               {DATA_RATE, 0},
                               {BIT_SAMPLE_POINT, 0},
                               {FD_CAN_DATA_PHASE_RATE, 0},
                               {LOOPBACK, 7},
                               {AUTOMATIC_SUSPEND, 7}};
    SCONFIG_LIST list = config_list(items);
    ASSERT_EQ(PassThruIoctl(6, GET_CONFIG, &list, nullptr), STATUS_NOERROR);
    const std::vector<uint32_t> expected{0xCC, 8, 0xFF, 0xFF, 0, 500000, 80, 2000000, 0, 1};
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i].Value, expected[i]) << "item " << i;

    // The K-line block holds milliseconds; the 04.04 API counts halves.
    EXPECT_EQ(get(3, P3_MAX), 10000u);
    EXPECT_EQ(get(4, P2_MIN), 50u);
    EXPECT_EQ(get(3, W1), 300u);
    EXPECT_EQ(get(3, NODE_ADDRESS), 0x33u);
    EXPECT_EQ(get(3, DATA_RATE), 10400u);
    EXPECT_EQ(get(3, FIVE_BAUD_MOD), 0u);
    EXPECT_EQ(get(11, DATA_RATE), 250000u);
    EXPECT_TRUE(written_frames(port).empty()) << "GET_CONFIG talks to nobody";
}

TEST_F(ConfigParamsTest, EachBlockParameterReachesItsFieldAndSendsItsUnitsBlock)
{
    struct Case {
        uint32_t channel;
        uint32_t parameter;
        uint32_t value;
        uint8_t device;  // where the block must go
        uint32_t read_back;
    };
    const Case cases[] = {
        {6, ISO15765_PAD_VALUE, 0x1AA, 0x20, 0xAA},  // stored in the field's width
        {6, HS_CAN_TERMINATION, 1, 0x10, 1},         // CAN group on the ISO channel: CAN device
        {12, ISO15765_BS, 8, 0x40, 8},
        {12, ISO15765_STMIN, 20, 0x40, 20},
        {6, BS_TX, 4, 0x20, 4},
        {6, STMIN_TX, 5, 0x20, 5},
        {6, ISO15765_WFT_MAX, 3, 0x20, 3},
        {12, FD_ISO15765_TX_DATA_LENGTH, 64, 0x40, 64},
        {11, BIT_SAMPLE_POINT, 75, 0x30, 75},
        {5, SYNC_JUMP_WIDTH, 15, 0x10, 15},
        {11, INTERFRAME_DELAY, 0x10203, 0x30, 0x0203},
        {5, FD_CAN_DATA_PHASE_RATE, 4000000, 0x10, 4000000},
        {5, DATA_RATE, 250000, 0x10, 250000},
        {12, DATA_RATE, 1000000, 0x30, 1000000},
        {3, DATA_RATE, 9600, 0x90, 9600},
        {3, NODE_ADDRESS, 0x133, 0x90, 0x33},
        {4, W4, 40, 0x90, 40},
        {3, TINIL, 30, 0x90, 30},
        {3, TWUP, 60, 0x90, 60},
        {3, PARITY, 2, 0x90, 2},
        {3, DATA_BITS, 7, 0x90, 7},
    };
    std::map<uint8_t, Frame> last_block;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "parameter " << c.parameter << " on " << c.channel);
        port.writes.clear();
        ASSERT_EQ(set(c.channel, {{c.parameter, c.value}}), STATUS_NOERROR) << last_error();
        const std::vector<Frame> sent = written_frames(port);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].dev, c.device);
        EXPECT_EQ(sent[0].op, 3);
        EXPECT_EQ(sent[0].type, 7);
        EXPECT_EQ(sent[0].flags, 0);
        EXPECT_EQ(sent[0].data.size(), c.device == 0x90 ? 56u : 20u);
        EXPECT_EQ(get(c.channel, c.parameter), c.read_back);
        last_block[c.device] = sent[0];
    }
    // The last block of controller 1 carries every change made to it, each
    // in its place.
    const auto can = can_block(last_block[0x10]);
    EXPECT_EQ(can.pad_value, 0xAA);
    EXPECT_EQ(can.termination, 1);
    EXPECT_EQ(can.bs_tx, 4);
    EXPECT_EQ(can.stmin_tx, 5);
    EXPECT_EQ(can.wft_max, 3);
    EXPECT_EQ(can.sync_jump_width_percent, 15);
    EXPECT_EQ(can.fd_baud_rate, 4000000u);
    EXPECT_EQ(can.baud_rate, 250000u);
    const auto kline = kline_block(last_block[0x90]);
    EXPECT_EQ(kline.init_address, 0x33);
    EXPECT_EQ(kline.w4_min, 40);
    EXPECT_EQ(kline.tini_l, 30);
    EXPECT_EQ(kline.twup, 60);
    EXPECT_EQ(kline.parity, 2);
    EXPECT_EQ(kline.data_bits, 7);
    EXPECT_EQ(MSCANSetup.iso15765_block_size, 8);
    EXPECT_EQ(MSCANSetup.interframe_delay, 0x0203);
}

TEST_F(ConfigParamsTest, PTimesAreHalvedAndTidleIsW5)
{
    ASSERT_EQ(set(3, {{P1_MIN, 25}}), STATUS_NOERROR);
    EXPECT_EQ(ISO9141Setup.p1_min, 12) << "the odd half unit is lost";
    EXPECT_EQ(get(3, P1_MIN), 24u);
    const std::vector<Frame> sent = written_frames(port);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(kline_block(sent[0]).p1_min, 12);

    // Only the low 16 bits of the value count.
    ASSERT_EQ(set(4, {{P4_MAX, 0x10000 + 40}}), STATUS_NOERROR);
    EXPECT_EQ(ISO9141Setup.p4_max, 20);

    ASSERT_EQ(set(3, {{TIDLE, 400}}), STATUS_NOERROR);
    EXPECT_EQ(get(3, W5), 400u);
    EXPECT_EQ(ISO9141Setup.w5_min, 400);
    EXPECT_EQ(ISO9141Setup.w5_max, 500) << "TIDLE is the minimum only";
    ASSERT_EQ(set(3, {{W5, 350}}), STATUS_NOERROR);
    EXPECT_EQ(get(3, TIDLE), 350u);
}

TEST_F(ConfigParamsTest, EveryItemSendsItsOwnBlockWithOneMoreFieldChanged)
{
    ASSERT_EQ(set(3, {{P1_MAX, 40}, {W1, 100}, {PARITY, 1}}), STATUS_NOERROR);
    const std::vector<Frame> sent = written_frames(port);
    ASSERT_EQ(sent.size(), 3u);
    const auto first = kline_block(sent[0]), second = kline_block(sent[1]),
               third = kline_block(sent[2]);
    EXPECT_EQ(first.p1_max, 20);
    EXPECT_EQ(first.w1_max, 300);
    EXPECT_EQ(second.p1_max, 20);
    EXPECT_EQ(second.w1_max, 100);
    EXPECT_EQ(second.parity, 0);
    EXPECT_EQ(third.parity, 1);
}

TEST_F(ConfigParamsTest, ParametersOfAnotherGroupAreRefusedOnTheChannel)
{
    struct Case {
        uint32_t channel;
        uint32_t parameter;
        const char *line;
    };
    const Case cases[] = {
        {5, ISO15765_BS, "Invalid channel ID for ISO15765_BS"},
        {11, ISO15765_PAD_VALUE, "Invalid channel ID for ISO15765_PAD_VALUE"},
        {3, BIT_SAMPLE_POINT, "Invalid channel ID for BIT_SAMPLE_POINT"},
        {4, FD_CAN_DATA_PHASE_RATE, "Invalid channel ID for FD_CAN_DATA_PHASE_RATE"},
        {6, P1_MIN, "Invalid channel ID for P1_MIN"},
        {12, TIDLE, "Invalid channel ID for W5"},
        {5, FIVE_BAUD_MOD, "Invalid channel ID for FIVE_BAUD_MOD"},
        {6, J1962_PINS, "Invalid channel ID for J1962_PINS"},
        {0, DATA_RATE, "Invalid channel ID for DATA_RATE"},
        {0, HS_CAN_TERMINATION, "Invalid channel ID for HS_CAN_TERMINATION"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(set(c.channel, {{c.parameter, 0x030B}}), ERR_INVALID_CHANNEL_ID);
        EXPECT_EQ(last_error(), c.line);
        if (c.parameter != J1962_PINS) {
            std::strcpy(LastError, "");
            EXPECT_EQ(get(c.channel, c.parameter, ERR_INVALID_CHANNEL_ID), kUntouched);
            EXPECT_EQ(last_error(), c.line);
        }
    }
    EXPECT_TRUE(written_frames(port).empty());
}

TEST_F(ConfigParamsTest, AListStopsAtTheFirstRefusedItem)
{
    std::vector<SCONFIG> items{{LOOPBACK, 1}, {ISO15765_BS, 8}, {MSG_TRIGGER, 1}};
    SCONFIG_LIST list = config_list(items);
    EXPECT_EQ(PassThruIoctl(5, SET_CONFIG, &list, nullptr), ERR_INVALID_CHANNEL_ID);
    EXPECT_EQ(last_error(), "Invalid channel ID for ISO15765_BS");
    EXPECT_EQ(loopback_flag, 1u);
    EXPECT_EQ(msg_trigger_flag, 0u) << "items after the refusal are not looked at";
    EXPECT_EQ(written_frames(port), (std::vector<Frame>{Frame(0xF0, 3, 0, {}, 0x40)}));

    std::vector<SCONFIG> got{
        {DATA_RATE, kUntouched}, {CAN_MIXED_FORMAT, kUntouched}, {P1_MIN, kUntouched}};
    list = config_list(got);
    EXPECT_EQ(PassThruIoctl(5, GET_CONFIG, &list, nullptr), ERR_NOT_SUPPORTED);
    EXPECT_EQ(last_error(), "Requested Ioctl parameter (32768) not supported");
    EXPECT_EQ(got[0].Value, 500000u);
    EXPECT_EQ(got[1].Value, kUntouched);
    EXPECT_EQ(got[2].Value, kUntouched);
}

TEST_F(ConfigParamsTest, UnsupportedParametersAreRefusedByBothControls)
{
    for (uint32_t parameter : {0u, 2u, 5u, 25u, 26u, 29u, 36u, 38u, 42u, 44u, 0x8002u, 0x10005u}) {
        SCOPED_TRACE(parameter);
        EXPECT_EQ(get(6, parameter, ERR_NOT_SUPPORTED), kUntouched);
        EXPECT_EQ(last_error(),
                  "Requested Ioctl parameter (" + std::to_string(parameter) + ") not supported");
        EXPECT_EQ(set(6, {{parameter, 0}}), ERR_NOT_SUPPORTED);
        EXPECT_EQ(last_error(), "Requested Ioctl parameter (" + std::to_string(parameter) +
                                    ") value (0) not supported");
    }
    EXPECT_EQ(get(11, J1962_PINS, ERR_NOT_SUPPORTED), kUntouched);
    EXPECT_EQ(last_error(), "Requested Ioctl parameter (32769) not supported");
}

TEST_F(ConfigParamsTest, OptionFramesCarryWhatEachOptionSays)
{
    // Frame 0 is built from both of its flags after each change.
    ASSERT_EQ(set(0, {{LOOPBACK, 1}}), STATUS_NOERROR);
    ASSERT_EQ(set(5, {{MSG_TRIGGER, 1}}), STATUS_NOERROR);
    ASSERT_EQ(set(5, {{LOOPBACK, 2}}), STATUS_NOERROR);  // anything but 1 is off
    // Frame 7 carries the changed option's own bit only.
    ASSERT_EQ(set(6, {{BUS_ERROR_MSGS, 1}}), STATUS_NOERROR);
    ASSERT_EQ(set(6, {{AUTOMATIC_SUSPEND, 0}}), STATUS_NOERROR);
    ASSERT_EQ(set(6, {{AUTOMATIC_SUSPEND, 1}}), STATUS_NOERROR);
    ASSERT_EQ(set(6, {{BUS_ERROR_MSGS, 0}}), STATUS_NOERROR);
    // The last-segment time stamp is the library's own business.
    ASSERT_EQ(set(6, {{LAST_SEGMENT_TIMESTAMP, 1}}), STATUS_NOERROR);
    EXPECT_EQ(written_frames(port),
              (std::vector<Frame>{Frame(0xF0, 3, 0, {}, 0x40), Frame(0xF0, 3, 0, {}, 0xC0),
                                  Frame(0xF0, 3, 0, {}, 0x80), Frame(0xF0, 3, 7, {}, 0x10),
                                  Frame(0xF0, 3, 7, {}, 0x80), Frame(0xF0, 3, 7, {}, 0x00),
                                  Frame(0xF0, 3, 7, {}, 0x00)}));
    EXPECT_EQ(loopback_flag, 0u);
    EXPECT_EQ(msg_trigger_flag, 1u);
    EXPECT_EQ(last_segment_flag, 1u);
    EXPECT_EQ(get(0, LAST_SEGMENT_TIMESTAMP), 1u);
    EXPECT_EQ(get(0, MSG_TRIGGER), 1u);
    EXPECT_EQ(get(0, BUS_ERROR_MSGS), 0u);
    EXPECT_EQ(get(0, AUTOMATIC_SUSPEND), 1u);
}

TEST_F(ConfigParamsTest, MixedFormatIsSetAndClearedWithoutAFrame)
{
    ASSERT_EQ(set(6, {{CAN_MIXED_FORMAT, 2}}), STATUS_NOERROR);
    EXPECT_EQ(can_mixed_format_flag, 1u);
    ASSERT_EQ(set(6, {{CAN_MIXED_FORMAT, 0}}), STATUS_NOERROR);
    EXPECT_EQ(can_mixed_format_flag, 0u) << "0 must switch the mixed format off again";
    EXPECT_TRUE(written_frames(port).empty());
}

TEST_F(ConfigParamsTest, RateChecksSkipTheItemAndTheListGoesOn)
{
    ASSERT_EQ(set(5, {{DATA_RATE, 0}, {LOOPBACK, 1}}), STATUS_NOERROR);
    EXPECT_EQ(CANSetup.baud_rate, 500000u);
    EXPECT_EQ(loopback_flag, 1u);
    EXPECT_EQ(written_frames(port), (std::vector<Frame>{Frame(0xF0, 3, 0, {}, 0x40)}));

    // A zero rate is skipped before the channel is looked at.
    std::strcpy(LastError, "");
    EXPECT_EQ(set(0, {{DATA_RATE, 0}}), STATUS_NOERROR);
    EXPECT_EQ(last_error(), "Invalid DATA_RATE");

    port.writes.clear();
    EXPECT_EQ(set(5, {{FD_CAN_DATA_PHASE_RATE, 125000}}), STATUS_NOERROR);
    EXPECT_EQ(last_error(), "Invalid FD_CAN_DATA_PHASE_RATE");
    EXPECT_EQ(CANSetup.fd_baud_rate, 2000000u);
    EXPECT_TRUE(written_frames(port).empty());
    EXPECT_EQ(set(5, {{FD_CAN_DATA_PHASE_RATE, 500000}}), STATUS_NOERROR) << "equal is fine";
    EXPECT_EQ(CANSetup.fd_baud_rate, 500000u);
}

TEST_F(ConfigParamsTest, PinsAndFiveBaudModeAreCheckedButNeverSent)
{
    EXPECT_EQ(set(11, {{J1962_PINS, 0x1030B}}), STATUS_NOERROR);
    EXPECT_EQ(set(12, {{J1962_PINS, 0x030B}}), STATUS_NOERROR);
    EXPECT_EQ(set(11, {{J1962_PINS, 0x0B03}}), ERR_PIN_INVALID);
    EXPECT_EQ(last_error(), "Invalid pins for J1962_PINS");

    std::strcpy(LastError, "unchanged");
    EXPECT_EQ(set(3, {{FIVE_BAUD_MOD, 0}}), STATUS_NOERROR);
    EXPECT_EQ(set(3, {{FIVE_BAUD_MOD, 1}, {LOOPBACK, 1}}), ERR_NOT_SUPPORTED);
    EXPECT_EQ(last_error(), "unchanged") << "the refused mode writes no error line";
    EXPECT_EQ(loopback_flag, 0u);
    EXPECT_TRUE(written_frames(port).empty());
}

TEST_F(ConfigParamsTest, AFailedSendIsReportedAndTheValueStaysForTheNextBlock)
{
    fail_next_write();
    EXPECT_EQ(set(3, {{P2_MAX, 100}}), STATUS_NOERROR);
    EXPECT_EQ(last_error(), "PassThruIoctl(P2_MAX) failed");
    EXPECT_EQ(ISO9141Setup.p2_max, 50);

    port.writes.clear();
    ASSERT_EQ(set(3, {{PARITY, 1}}), STATUS_NOERROR);
    const std::vector<Frame> sent = written_frames(port);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(kline_block(sent[0]).p2_max, 50) << "the later block carries the earlier change";

    const struct {
        uint32_t channel;
        uint32_t parameter;
        uint32_t value;
        const char *line;
    } failures[] = {
        {3, DATA_RATE, 9600, "Cannot set ISO9141 DATA_RATE"},
        {6, DATA_RATE, 250000, "Cannot set CAN DATA_RATE"},
        {12, DATA_RATE, 250000, "Cannot set MSCAN DATA_RATE"},
        {11, FD_CAN_DATA_PHASE_RATE, 5000000, "Cannot set MSCAN FD_CAN_DATA_PHASE_RATE"},
        {5, HS_CAN_TERMINATION, 1, "Cannot set CAN HS_CAN_TERMINATION"},
        {3, TIDLE, 300, "PassThruIoctl(W5/TIDLE) failed"},
        {6, ISO15765_WFT_MAX, 2, "PassThruIoctl(ISO15765_WFT_MAX) failed"},
        {0, LOOPBACK, 1, "Cannot set/clear LOOPBACK option"},
        {0, AUTOMATIC_SUSPEND, 0, "Cannot set/clear AUTOMATIC_SUSPEND option"},
    };
    for (const auto &f : failures) {
        fail_next_write();
        EXPECT_EQ(set(f.channel, {{f.parameter, f.value}}), STATUS_NOERROR);
        EXPECT_EQ(last_error(), f.line);
        EXPECT_EQ(get(f.channel, f.parameter), f.value);
    }
}

TEST_F(ConfigParamsTest, NullListsAreRefusedAndEmptyListsAnswered)
{
    EXPECT_EQ(PassThruIoctl(6, GET_CONFIG, nullptr, nullptr), ERR_NULL_PARAMETER);
    EXPECT_EQ(PassThruIoctl(6, SET_CONFIG, nullptr, nullptr), ERR_NULL_PARAMETER);
    SCONFIG_LIST dangling{2, nullptr};
    EXPECT_EQ(PassThruIoctl(6, GET_CONFIG, &dangling, nullptr), ERR_NULL_PARAMETER);
    EXPECT_EQ(PassThruIoctl(6, SET_CONFIG, &dangling, nullptr), ERR_NULL_PARAMETER);
    EXPECT_EQ(last_error(), "PassThruIoctl null parameter");
    SCONFIG_LIST empty{0, nullptr};
    EXPECT_EQ(PassThruIoctl(6, GET_CONFIG, &empty, nullptr), STATUS_NOERROR);
    EXPECT_EQ(PassThruIoctl(6, SET_CONFIG, &empty, nullptr), STATUS_NOERROR);
    EXPECT_TRUE(written_frames(port).empty());
}
