// PassThruIoctl on a scripted port: the channel test and its exceptions,
// the answers to unsupported identifiers, and every device control (reads
// and writes of the adapter's inputs and outputs, clears, information
// tables, display, timer, time-stamp unit, D2 flow control).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "passthru/filter_table.h"
#include "passthru/link/link.h"
#include "passthru/link/rings.h"
#include "passthru/periodic_msgs.h"
#include "tests/passthru/ioctl_test_support.h"

using namespace tenq;
using orvane::sim::Frame;
using tenq_test::frame;
using tenq_test::written_frames;

namespace {

class IoctlTest : public tenq_test::IoctlUnitTest {};

// A used or stopped slot of the given device in a table of frames.
void put_slot(JMSG *table, int slot, uint8_t dev, uint8_t size)
{
    std::memset(&table[slot], 0, sizeof table[slot]);
    table[slot].id = static_cast<uint8_t>(slot);
    table[slot].dev = dev;
    table[slot].size = size;
}

}  // namespace

TEST_F(IoctlTest, ChannelTestAppliesUnlessTheControlNeedsNoChannel)
{
    // Unconnected channel: refused where the test applies...
    for (uint32_t id : {0u, 6u, 7u, 11u, 12u, 13u, 0x10200u, 0x12345u}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(PassThruIoctl(5, id, nullptr, nullptr), ERR_DEVICE_NOT_CONNECTED);
        EXPECT_EQ(last_error(), "PassThruIoctl invalid ChannelID");
    }
    // ...not where it is skipped.
    for (uint32_t id : {0x10003u, 0x10004u, 0x10006u, 0x10007u, 0x10500u, 0x10501u}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(PassThruIoctl(5, id, nullptr, nullptr), ERR_NOT_SUPPORTED);
        EXPECT_EQ(last_error(), "Ioctl function not supported");
    }
    EXPECT_EQ(PassThruIoctl(5, TIMESTAMP_MSEC, nullptr, nullptr), STATUS_NOERROR);

    connected({5});
    for (uint32_t id : {0u, 6u, 11u, 12u, 13u, 0x12345u}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(PassThruIoctl(5, id, nullptr, nullptr), ERR_NOT_SUPPORTED);
    }
    // The bit is taken modulo 32; channel 37 passes the test as 5 but is no channel.
    EXPECT_EQ(PassThruIoctl(37, CLEAR_TX_BUFFER, nullptr, nullptr), ERR_INVALID_CHANNEL_ID);
    EXPECT_EQ(last_error(), "Invalid channel ID for CLEAR_TX_BUFFER");
    // ChannelID 0 reaches the handlers, which answer with their own channel errors.
    EXPECT_EQ(PassThruIoctl(0, CLEAR_TX_BUFFER, nullptr, nullptr), ERR_INVALID_CHANNEL_ID);
    EXPECT_EQ(PassThruIoctl(0, CLEAR_RX_BUFFER, nullptr, nullptr), ERR_INVALID_CHANNEL_ID);
    EXPECT_EQ(PassThruIoctl(0, FIVE_BAUD_INIT, nullptr, nullptr), ERR_INVALID_CHANNEL_ID);
    EXPECT_EQ(PassThruIoctl(0, CAN_D2_FLOW_CONTROL, nullptr, nullptr), ERR_INVALID_PROTOCOL_ID);

    connected({4});
    EXPECT_EQ(PassThruIoctl(4, CLEAR_TX_BUFFER, nullptr, nullptr), STATUS_NOERROR);
    EXPECT_TRUE(written_frames(port).empty());
}

TEST_F(IoctlTest, AnalogueReadsAskTheirInputAndGiveMillivolts)
{
    const struct {
        uint32_t id;
        uint8_t input;
    } reads[] = {{READ_VBATT, 1},
                 {READ_PROG_VOLTAGE, 0},
                 {READ_CH1_VOLTAGE, 4},
                 {READ_CH2_VOLTAGE, 2},
                 {READ_CH3_VOLTAGE, 3}};
    for (const auto &r : reads) {
        SCOPED_TRACE(r.id);
        port.writes.clear();
        // A reading for another input arrives first and is not taken for this one.
        port.reads.push_back(frame(0xB0, 2, 0, 0, {static_cast<uint8_t>(r.input ^ 8), 1, 0}));
        port.reads.push_back(frame(0xB0, 2, 0, 0, {r.input, 0xE2, 0x04}));
        uint32_t mv = 0;
        ASSERT_EQ(PassThruIoctl(0, r.id, nullptr, &mv), STATUS_NOERROR) << last_error();
        EXPECT_EQ(mv, 12500u);
        EXPECT_EQ(written_frames(port), (std::vector<Frame>{Frame(0xB0, 2, 0, {r.input})}));
    }
    // The largest reading the adapter can report.
    port.reads.push_back(frame(0xB0, 2, 0, 0, {1, 0xFE, 0xFF}));
    uint32_t mv = 0;
    ASSERT_EQ(PassThruIoctl(0, READ_VBATT, nullptr, &mv), STATUS_NOERROR);
    EXPECT_EQ(mv, 655340u);
}

TEST_F(IoctlTest, ReadsWithoutAnAnswerTimeOut)
{
    tenq_test::SteppingClock clock(50);
    platform::set_clock(&clock);
    uint32_t value = 77;
    EXPECT_EQ(PassThruIoctl(0, READ_VBATT, nullptr, &value), ERR_TIMEOUT);
    EXPECT_EQ(last_error(), "PassThruIoctl ADC read timeout");
    EXPECT_EQ(PassThruIoctl(0, READ_DIO2, nullptr, &value), ERR_TIMEOUT);
    EXPECT_EQ(last_error(), "PassThruIoctl DIO read timeout");
    // The markers of "no reply yet" cannot be told from a reply.
    port.reads.push_back(frame(0xB0, 2, 0, 0, {1, 0xFF, 0xFF}));
    EXPECT_EQ(PassThruIoctl(0, READ_VBATT, nullptr, &value), ERR_TIMEOUT);
    port.reads.push_back(frame(0xD0, 2, 0, 0, {1, 0xFF}));
    EXPECT_EQ(PassThruIoctl(0, READ_DIO1, nullptr, &value), ERR_TIMEOUT);
    EXPECT_EQ(value, 77u);
}

TEST_F(IoctlTest, DigitalPinsAreReadAndWritten)
{
    port.reads.push_back(frame(0xD0, 2, 0, 0, {2, 1}));
    uint32_t level = 99;
    ASSERT_EQ(PassThruIoctl(0, READ_DIO2, nullptr, &level), STATUS_NOERROR);
    EXPECT_EQ(level, 1u);
    port.reads.push_back(frame(0xD0, 2, 0, 0, {1, 0}));
    ASSERT_EQ(PassThruIoctl(0, READ_DIO1, nullptr, &level), STATUS_NOERROR);
    EXPECT_EQ(level, 0u);

    uint32_t on = 0x101, off = 0;
    ASSERT_EQ(PassThruIoctl(0, WRITE_DIO1, &on, nullptr), STATUS_NOERROR);
    ASSERT_EQ(PassThruIoctl(0, WRITE_DIO2, &off, nullptr), STATUS_NOERROR);
    EXPECT_EQ(written_frames(port),
              (std::vector<Frame>{Frame(0xD0, 2, 0, {2}), Frame(0xD0, 2, 0, {1}),
                                  Frame(0xD0, 3, 0, {1, 0x01}), Frame(0xD0, 3, 0, {2, 0x00})}));
}

TEST_F(IoctlTest, FailedSendsOfReadsAndWritesAnswerFailed)
{
    uint32_t value = 1;
    const struct {
        uint32_t id;
        void *in;
        void *out;
        const char *line;
    } cases[] = {
        {READ_VBATT, nullptr, &value, "PassThruIoctl: ADC read JmsgSendCmd returned 7"},
        {READ_DIO1, nullptr, &value, "PassThruIoctl: DIO read JmsgSendCmd returned 7"},
        {WRITE_DIO2, &value, nullptr, "PassThruIoctl: DIO write JmsgSendCmd returned 7"},
        {WRITE_LCD_TEST, nullptr, nullptr, "PassThruIoctl: LCD write JmsgSendMsgs returned 7"},
    };
    for (const auto &c : cases) {
        fail_next_write();
        EXPECT_EQ(PassThruIoctl(0, c.id, c.in, c.out), ERR_FAILED);
        EXPECT_EQ(last_error(), c.line);
    }
}

TEST_F(IoctlTest, NullRecordsAreRefusedBeforeAnythingIsSent)
{
    connected({3, 5});
    for (uint32_t id : {READ_VBATT, READ_PROG_VOLTAGE, READ_CH1_VOLTAGE, READ_DIO1, READ_DIO2,
                        WRITE_DIO1, WRITE_DIO2, GET_DEVICE_INFO, GET_PROTOCOL_INFO}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(PassThruIoctl(0, id, nullptr, nullptr), ERR_NULL_PARAMETER);
        EXPECT_EQ(last_error(), "PassThruIoctl null parameter");
    }
    SPARAM_LIST dangling{1, nullptr};
    EXPECT_EQ(PassThruIoctl(0, GET_DEVICE_INFO, nullptr, &dangling), ERR_NULL_PARAMETER);
    SPARAM_LIST empty{0, nullptr};
    EXPECT_EQ(PassThruIoctl(0, GET_PROTOCOL_INFO, nullptr, &empty), STATUS_NOERROR);

    uint8_t address = 0x33, keys[2] = {};
    SBYTE_ARRAY in{1, &address}, out{2, keys}, no_bytes{2, nullptr};
    EXPECT_EQ(PassThruIoctl(3, FIVE_BAUD_INIT, nullptr, &out), ERR_NULL_PARAMETER);
    EXPECT_EQ(PassThruIoctl(3, FIVE_BAUD_INIT, &in, nullptr), ERR_NULL_PARAMETER);
    EXPECT_EQ(PassThruIoctl(3, FIVE_BAUD_INIT, &in, &no_bytes), ERR_NULL_PARAMETER);
    PASSTHRU_MSG msg{};
    EXPECT_EQ(PassThruIoctl(3, FAST_INIT, nullptr, &msg), ERR_NULL_PARAMETER);
    EXPECT_EQ(PassThruIoctl(3, FAST_INIT, &msg, nullptr), ERR_NULL_PARAMETER);
    EXPECT_TRUE(written_frames(port).empty());

    // The receive clear is called with null records by the filter code.
    EXPECT_EQ(PassThruIoctl(5, CLEAR_RX_BUFFER, nullptr, nullptr), STATUS_NOERROR);
}

TEST_F(IoctlTest, ReceiveClearEmptiesOnlyTheChannelsRing)
{
    connected({3, 5, 6, 12});
    const auto fill = [](RxRing &ring, uint32_t n) {
        ring.Count = n;
        ring.HeadIndex = n;
        ring.TailIndex = 0;
        ring.Overflow = 1;
    };
    fill(CANBuffer, 2);
    fill(ISO15765Buffer, 3);
    fill(MSISO15765Buffer, 4);
    fill(ISO9141Buffer, 5);
    ASSERT_EQ(PassThruIoctl(6, CLEAR_RX_BUFFER, nullptr, nullptr), STATUS_NOERROR);
    EXPECT_EQ(ISO15765Buffer.Count, 0u);
    EXPECT_EQ(ISO15765Buffer.HeadIndex, 0u);
    EXPECT_EQ(ISO15765Buffer.Overflow, 1u) << "the overflow flag stays for the reader";
    EXPECT_EQ(CANBuffer.Count, 2u);
    ASSERT_EQ(PassThruIoctl(12, CLEAR_RX_BUFFER, nullptr, nullptr), STATUS_NOERROR);
    EXPECT_EQ(MSISO15765Buffer.Count, 0u);
    ASSERT_EQ(PassThruIoctl(3, CLEAR_RX_BUFFER, nullptr, nullptr), STATUS_NOERROR);
    EXPECT_EQ(ISO9141Buffer.Count, 0u);
    EXPECT_EQ(CANBuffer.Count, 2u);
    // The K-line has no adapter buffer to clear; the ISO channels clear their controller's.
    EXPECT_EQ(written_frames(port), (std::vector<Frame>{Frame(0x10, 0, 12), Frame(0x30, 0, 12)}));
}

TEST_F(IoctlTest, PeriodicClearStopsEverySlotTheDeviceEverUsed)
{
    connected({5, 6});
    std::memset(jmsg_periodic_msg, 0, sizeof jmsg_periodic_msg);
    put_slot(jmsg_periodic_msg, 2, 0x10, 6);  // running
    put_slot(jmsg_periodic_msg, 7, 0x10, 0);  // stopped earlier
    put_slot(jmsg_periodic_msg, 9, 0x20, 6);  // another channel's
    ASSERT_EQ(PassThruIoctl(5, CLEAR_PERIODIC_MSGS, nullptr, nullptr), STATUS_NOERROR);
    EXPECT_EQ(written_frames(port),
              (std::vector<Frame>{Frame(0x10, 3, 4, {}, 0, 2), Frame(0x10, 3, 4, {}, 0, 7)}));
    EXPECT_EQ(jmsg_periodic_msg[2].size, 0);
    EXPECT_EQ(jmsg_periodic_msg[9].size, 6);

    // Without a channel no slot is the caller's: free slots carry device 0 too.
    port.writes.clear();
    std::strcpy(LastError, "unchanged");
    ASSERT_EQ(PassThruIoctl(0, CLEAR_PERIODIC_MSGS, nullptr, nullptr), STATUS_NOERROR);
    ASSERT_EQ(PassThruIoctl(0, CLEAR_MSG_FILTERS, nullptr, nullptr), STATUS_NOERROR);
    EXPECT_TRUE(written_frames(port).empty());
    EXPECT_EQ(last_error(), "unchanged");
}

TEST_F(IoctlTest, FilterClearStopsOnlyTheChannelsUsedSlots)
{
    connected({5, 6});
    std::memset(jmsg_filter_mask_msg, 0, sizeof jmsg_filter_mask_msg);
    put_slot(jmsg_filter_mask_msg, 63, 0x10, 2);
    put_slot(jmsg_filter_mask_msg, 62, 0x10, 0);  // stopped: not stopped again
    put_slot(jmsg_filter_mask_msg, 0, 0x20, 2);
    ASSERT_EQ(PassThruIoctl(5, CLEAR_MSG_FILTERS, nullptr, nullptr), STATUS_NOERROR);
    EXPECT_EQ(jmsg_filter_mask_msg[63].size, 0);
    EXPECT_EQ(jmsg_filter_mask_msg[0].size, 2);
    for (const Frame &f : written_frames(port)) {
        if (f.type >= 1 && f.type <= 3) {
            EXPECT_EQ(f.id, 63) << f;
        }
    }
}

TEST_F(IoctlTest, DeviceInfoAnswersInOrderAndStopsAtAnUnknownParameter)
{
    SerialNumber = 4711;
    std::vector<SPARAM> items{{SERIAL_NUMBER, 0, 0}, {2, 5, 9}, {PART_NUMBER, 5, 9}};
    SPARAM_LIST list{3, items.data()};
    EXPECT_EQ(PassThruIoctl(0, GET_DEVICE_INFO, nullptr, &list), ERR_NOT_SUPPORTED);
    EXPECT_EQ(last_error(), "Requested Ioctl parameter (2) not supported");
    EXPECT_EQ(items[0].Value, 4711u);
    EXPECT_EQ(items[0].Supported, 1u);
    EXPECT_EQ(items[1].Supported, 0u);
    EXPECT_EQ(items[1].Value, 5u);
    EXPECT_EQ(items[2].Value, 5u);
    EXPECT_EQ(items[2].Supported, 9u);

    const std::vector<std::pair<uint32_t, uint32_t>> table{{ISO9141_SUPPORTED, 0x10001},
                                                           {ISO14230_SUPPORTED, 0x10001},
                                                           {CAN_SUPPORTED, 0x20001},
                                                           {ISO15765_SUPPORTED, 0x20001},
                                                           {ANALOG_IN_SUPPORTED, 0x20000},
                                                           {ISO9141_SIMULTANEOUS, 0x10001},
                                                           {ISO14230_SIMULTANEOUS, 0x10001},
                                                           {CAN_SIMULTANEOUS, 0x20001},
                                                           {ISO15765_SIMULTANEOUS, 0x20001},
                                                           {ANALOG_IN_SIMULTANEOUS, 0x20000},
                                                           {PART_NUMBER, 2003},
                                                           {FD_CAN_SUPPORTED, 0x20000},
                                                           {FD_ISO15765_SUPPORTED, 0x20000},
                                                           {FD_CAN_SIMULTANEOUS, 0x20000},
                                                           {FD_ISO15765_SIMULTANEOUS, 0x20000}};
    std::vector<SPARAM> all;
    for (const auto &[parameter, value] : table)
        all.push_back({parameter, 0, 0});
    list = SPARAM_LIST{static_cast<uint32_t>(all.size()), all.data()};
    ASSERT_EQ(PassThruIoctl(0, GET_DEVICE_INFO, nullptr, &list), STATUS_NOERROR);
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(all[i].Value, table[i].second) << "parameter " << table[i].first;
        EXPECT_EQ(all[i].Supported, 1u);
    }
    EXPECT_TRUE(written_frames(port).empty());
}

TEST_F(IoctlTest, SerialNumberRequestLaidOutAsTwoConfigEntriesKeepsWorking)
{
    // A console tool passes two SCONFIG entries where an SPARAM goes.
    SerialNumber = 12345;
    SCONFIG request[2] = {{SERIAL_NUMBER, 0}, {0xAAAA, 0xBBBB}};
    SCONFIG_LIST list{1, request};
    ASSERT_EQ(PassThruIoctl(7, GET_DEVICE_INFO, nullptr, &list), STATUS_NOERROR);
    EXPECT_EQ(request[0].Value, 12345u);
    EXPECT_EQ(request[1].Parameter, 1u) << "the Supported word";
    EXPECT_EQ(request[1].Value, 0xBBBBu);
}

TEST_F(IoctlTest, ProtocolInfoGivesTheTableLimits)
{
    const std::vector<std::pair<uint32_t, uint32_t>> table{
        {MAX_PASS_FILTER, 64},         {MAX_FILTER_MSG_LENGTH, 68},
        {MAX_PERIODIC_MSGS, 100},      {MAX_PERIODIC_MSG_LENGTH, 68},
        {CAN_11_29_IDS_SUPPORTED, 1},  {CAN_MIXED_FORMAT_SUPPORTED, 1},
        {MAX_FLOW_CONTROL_FILTER, 64}, {MAX_AD_ACTIVE_CHANNELS, 2},
        {MAX_AD_SAMPLE_RATE, 1000},    {MAX_AD_SAMPLES_PER_READING, 1},
        {AD_SAMPLE_RESOLUTION, 12},    {AD_INPUT_RANGE_LOW, 0},
        {AD_INPUT_RANGE_HIGH, 20000},  {TIMESTAMP_RESOLUTION, 1}};
    std::vector<SPARAM> all;
    for (const auto &[parameter, value] : table)
        all.push_back({parameter, 7, 0});
    SPARAM_LIST list{static_cast<uint32_t>(all.size()), all.data()};
    ASSERT_EQ(PassThruIoctl(0, GET_PROTOCOL_INFO, nullptr, &list), STATUS_NOERROR);
    for (size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(all[i].Value, table[i].second) << "parameter " << table[i].first;

    SPARAM unknown{1, 7, 1};
    list = SPARAM_LIST{1, &unknown};
    EXPECT_EQ(PassThruIoctl(0, GET_PROTOCOL_INFO, nullptr, &list), ERR_NOT_SUPPORTED);
    EXPECT_EQ(unknown.Supported, 0u);
    EXPECT_EQ(last_error(), "Requested Ioctl parameter (1) not supported");
}

TEST_F(IoctlTest, DisplayTimerAndTimeStampControls)
{
    loopback_flag = 1;
    ASSERT_EQ(PassThruIoctl(0, WRITE_LCD_TEST, nullptr, nullptr), STATUS_NOERROR);
    ASSERT_EQ(PassThruIoctl(0, RESET_TIMER, nullptr, nullptr), STATUS_NOERROR);
    std::vector<uint8_t> lcd{2, 0, 0, 'I', 'O', 'T', ' ', 'T', 'e', 's', 't', 0};
    lcd.resize(19, 0);
    EXPECT_EQ(written_frames(port),
              (std::vector<Frame>{Frame(0xF1, 3, 0, lcd), Frame(0xF0, 3, 0, {}, 0x20)}))
        << "the timer reset does not restate the loopback bit";

    fail_next_write();
    EXPECT_EQ(PassThruIoctl(0, RESET_TIMER, nullptr, nullptr), STATUS_NOERROR);
    EXPECT_EQ(last_error(), "Cannot RESET_TIMER");

    ASSERT_EQ(PassThruIoctl(0, TIMESTAMP_MSEC, nullptr, nullptr), STATUS_NOERROR);
    EXPECT_EQ(TimestampMsec, 1);
    ASSERT_EQ(PassThruIoctl(0, TIMESTAMP_USEC, nullptr, nullptr), STATUS_NOERROR);
    EXPECT_EQ(TimestampMsec, 0);
}

TEST_F(IoctlTest, D2FlowControlSendsTheControllersBlockFlagged)
{
    connected({5, 6, 11});
    SetCanConnectDefaults(CANSetup, 500000, false);
    SetCanConnectDefaults(MSCANSetup, 125000, false);
    ASSERT_EQ(PassThruIoctl(5, CAN_D2_FLOW_CONTROL, nullptr, nullptr), STATUS_NOERROR);
    ASSERT_EQ(PassThruIoctl(11, CAN_D2_FLOW_CONTROL, nullptr, nullptr), STATUS_NOERROR);
    const std::vector<Frame> sent = written_frames(port);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].dev, 0x10);
    EXPECT_EQ(sent[0].flags, 0x80);
    EXPECT_EQ(sent[0].type, 7);
    EXPECT_EQ(sent[0].data.size(), 20u);
    EXPECT_EQ(sent[1].dev, 0x30);
    EXPECT_EQ(sent[1].data[0] | sent[1].data[1] << 8 | sent[1].data[2] << 16, 125000);

    std::strcpy(LastError, "unchanged");
    EXPECT_EQ(PassThruIoctl(6, CAN_D2_FLOW_CONTROL, nullptr, nullptr), ERR_INVALID_PROTOCOL_ID);
    EXPECT_EQ(last_error(), "unchanged") << "a wrong channel writes no error line";

    fail_next_write();
    EXPECT_EQ(PassThruIoctl(5, CAN_D2_FLOW_CONTROL, nullptr, nullptr), STATUS_NOERROR);
    EXPECT_EQ(last_error(), "Cannot setup CAN_D2_FLOW_CONTROL");
}
