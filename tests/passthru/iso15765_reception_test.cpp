// ISO 15765 reception fed frame by frame: single, first, consecutive and
// flow-control frames, reassembly per flow slot, and the mixed format.
#include <gtest/gtest.h>

#include "passthru/receive/iso15765_rx.h"
#include "sim/bus_traffic.h"
#include "tests/passthru/rx_test_support.h"

using namespace tenq_test;
using tenq::ISO15765Rx;
using tenq::MSISO15765Rx;

namespace {

constexpr uint8_t kPad = 0xCC;

class Iso15765ReceptionTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        reset_receive_state();
        // Slot 0: ECU 0x7E8 on controller 1, normal addressing.
        set_filter(0, FLOW_CONTROL_FILTER, tenq::JMSG_ISO15765, {0xFF, 0xFF}, {0x07, 0xE8});
    }

    // Feeds the frames to channel 6 (or `rx`); returns the records.
    Records feed(const std::vector<tenq::JMSG> &frames, uint32_t room = 8,
                 const tenq::Iso15765Rx &rx = ISO15765Rx, uint32_t connect_flags = CAN_ID_BOTH)
    {
        Records records(room);
        for (const tenq::JMSG &f : frames) {
            if (records.out().has_room())
                tenq::Iso15765ReceiveFrame(rx, connect_flags, f, records.out());
        }
        return records;
    }

    // The frames a sender cuts `payload` into, as the device link stores them.
    static std::vector<tenq::JMSG> segmented(const orvane::sim::IsoTpShape &shape,
                                             const std::vector<uint8_t> &payload)
    {
        std::vector<tenq::JMSG> out;
        for (const auto &f : orvane::sim::iso15765_frames(shape, payload))
            out.push_back(bus_frame(f.dev, f.data, f.flags, f.type, f.timestamp_be()));
        return out;
    }

    // E lines are counted by watching the last-error text frame by frame.
    int error_lines(const std::vector<tenq::JMSG> &frames, const std::string &text)
    {
        int lines = 0;
        Records records(64);
        for (const tenq::JMSG &f : frames) {
            std::strcpy(tenq::LastError, "No Error");
            tenq::Iso15765ReceiveFrame(ISO15765Rx, 0, f, records.out());
            lines += last_error() == text;
        }
        return lines;
    }
};

std::vector<uint8_t> padded(std::vector<uint8_t> data, size_t size)
{
    data.resize(size, kPad);
    return data;
}

}  // namespace

TEST_F(Iso15765ReceptionTest, SingleFramesInEveryAddressingForm)
{
    set_filter(1, FLOW_CONTROL_FILTER, tenq::JMSG_ISO15765, {0xFF, 0xFF, 0xFF}, {0x07, 0xE9, 0xF1});
    set_filter(2, FLOW_CONTROL_FILTER, tenq::JMSG_ISO15765, {0xFF, 0xFF, 0xFF, 0xFF},
               {0x18, 0xDA, 0xF1, 0x10});
    auto r = feed({
        bus_frame(0x10, {0x07, 0xE8, 0x03, 0x41, 0x00, 0x11, kPad, kPad, kPad, kPad}, 0, 0, 0x100),
        bus_frame(0x10, {0x07, 0xE8, 0x03, 0x41, 0x00, 0x11}),
        bus_frame(0x10, padded({0x07, 0xE9, 0xF1, 0x02, 0x50, 0x03}, 10)),
        bus_frame(0x10, padded({0x18, 0xDA, 0xF1, 0x10, 0x02, 0x50, 0x01}, 12), 0x10),
        bus_frame(
            0x10,
            bytes_of({{0x07, 0xE8, 0x00, 0x20}, counting(32), std::vector<uint8_t>(30, kPad)}),
            0x03),
    });
    ASSERT_EQ(r.count(), 5u);
    EXPECT_EQ(r[0].ProtocolID, 6u);
    EXPECT_EQ(r.data(0), (std::vector<uint8_t>{0, 0, 0x07, 0xE8, 0x41, 0x00, 0x11}));
    EXPECT_EQ(r[0].ExtraDataIndex, 7u);
    EXPECT_EQ(r[0].RxStatus, 0u);
    EXPECT_EQ(r[0].TxFlags, 0u);
    EXPECT_EQ(r[0].Timestamp, 1000u);  // 256/256 ms
    EXPECT_EQ(r[1].RxStatus, uint32_t{ISO15765_PADDING_ERROR});
    EXPECT_EQ(r.data(1), r.data(0));
    EXPECT_EQ(r.data(2), (std::vector<uint8_t>{0, 0, 0x07, 0xE9, 0xF1, 0x50, 0x03}));
    EXPECT_EQ(r[2].RxStatus, 0u);
    EXPECT_EQ(r.data(3), (std::vector<uint8_t>{0x18, 0xDA, 0xF1, 0x10, 0x50, 0x01}));
    EXPECT_EQ(r[3].RxStatus, uint32_t{CAN_29BIT_ID});
    // Escape form: the length has a byte of its own.
    EXPECT_EQ(r[4].DataSize, 36u);
    EXPECT_EQ(r.data(4), bytes_of({{0, 0, 0x07, 0xE8}, counting(32)}));
    EXPECT_EQ(r[4].RxStatus, uint32_t{ISO15765_PADDING_ERROR | CAN_FD_FRAME | CAN_FD_BRS});

    // With an extended address the escape form holds one byte more.
    set_filter(3, FLOW_CONTROL_FILTER, tenq::JMSG_ISO15765, {0xFF, 0xFF, 0xFF}, {0x07, 0xEA, 0x55});
    auto ext =
        feed({bus_frame(0x10, bytes_of({{0x07, 0xEA, 0x55, 0x00, 0x20}, counting(32)}), 0x01)});
    ASSERT_EQ(ext.count(), 1u);
    EXPECT_EQ(ext[0].DataSize, 37u);
    EXPECT_EQ(ext.data(0), bytes_of({{0, 0, 0x07, 0xEA, 0x55}, counting(32)}));
    EXPECT_EQ(last_error(), "No Error");
}

TEST_F(Iso15765ReceptionTest, FramesShorterThanTheirPciAnnouncesAreDropped)
{
    const struct {
        std::vector<uint8_t> data;
        const char *line;
    } cases[] = {
        {{0x07, 0xE8, 0x00}, "ISO15765 single frame without its length byte"},
        {{0x07, 0xE8, 0x07, 0x01, 0x02, 0x03}, "ISO15765 single frame shorter than its length"},
        {bytes_of({{0x07, 0xE8, 0x00, 0x20}, counting(10)}),
         "ISO15765 single frame shorter than its length"},
        {{0x07, 0xE8, 0x10}, "ISO15765 first frame without its length"},
        {{0x07, 0xE8, 0x10, 0x00, 0x00, 0x10, 0x04}, "ISO15765 first frame without its length"},
    };
    for (const auto &c : cases) {
        std::strcpy(tenq::LastError, "No Error");
        auto r = feed({bus_frame(0x10, c.data)});
        EXPECT_EQ(r.count(), 0u) << c.line;
        EXPECT_EQ(last_error(), c.line);
    }
    // No PCI byte at all: not an ISO 15765 frame, and nothing to report.
    std::strcpy(tenq::LastError, "No Error");
    EXPECT_EQ(feed({bus_frame(0x10, {0x07, 0xE8})}).count(), 0u);
    EXPECT_EQ(last_error(), "No Error");
    // A dropped first frame opened nothing: consecutive frames find no message.
    EXPECT_EQ(feed({bus_frame(0x10, padded({0x07, 0xE8, 0x21, 1, 2, 3}, 10))}).count(), 0u);
}

TEST_F(Iso15765ReceptionTest, FirstFrameGivesAStartIndicationAndConsecutiveFramesTheMessage)
{
    const std::vector<tenq::JMSG> frames{
        bus_frame(0x10, {0x07, 0xE8, 0x10, 0x14, 0x62, 0xF1, 0x90, 0x57, 0x30, 0x4C}, 0, 0, 0x200),
        bus_frame(0x10, bytes_of({{0x07, 0xE8, 0x21}, counting(7, 0x40)}), 0, 0, 0x300),
        bus_frame(0x10, bytes_of({{0x07, 0xE8, 0x22}, counting(7, 0x50)}), 0, 0, 0x400),
    };
    auto r = feed(frames);
    ASSERT_EQ(r.count(), 2u);
    EXPECT_EQ(r.data(0), (std::vector<uint8_t>{0, 0, 0x07, 0xE8}));
    EXPECT_EQ(r[0].ExtraDataIndex, 0u);
    EXPECT_EQ(r[0].RxStatus, uint32_t{START_OF_MESSAGE});
    EXPECT_EQ(r[0].Timestamp, 2000u);
    // The indication carries the first payload bytes behind its DataSize.
    EXPECT_EQ(r[0].Data[4], 0x62);
    EXPECT_EQ(r[1].DataSize, 24u);
    EXPECT_EQ(r[1].ExtraDataIndex, 24u);
    EXPECT_EQ(r.data(1), bytes_of({{0, 0, 0x07, 0xE8, 0x62, 0xF1, 0x90, 0x57, 0x30, 0x4C},
                                   counting(7, 0x40),
                                   counting(7, 0x50)}));
    EXPECT_EQ(r[1].RxStatus, 0u);
    EXPECT_EQ(r[1].ProtocolID, 6u);
    EXPECT_EQ(r[1].Timestamp, 2000u);  // the first frame's

    // An unpadded sender's last consecutive frame is short: the message
    // carries the padding error; padded to the frame length it does not.
    const auto first =
        bus_frame(0x10, {0x07, 0xE8, 0x10, 0x12, 0x62, 0xF1, 0x90, 0x57, 0x30, 0x4C});
    for (bool pad : {false, true}) {
        const auto tail = bytes_of({{0x07, 0xE8, 0x22}, counting(5, 0x50)});
        auto short_last = feed({first, frames[1], bus_frame(0x10, pad ? padded(tail, 10) : tail)});
        ASSERT_EQ(short_last.count(), 2u);
        EXPECT_EQ(short_last[1].DataSize, 22u);
        EXPECT_EQ(short_last[1].RxStatus, pad ? 0u : uint32_t{ISO15765_PADDING_ERROR});
    }

    tenq::last_segment_flag = 1;
    auto last = feed(frames);
    ASSERT_EQ(last.count(), 2u);
    EXPECT_EQ(last[1].Timestamp, 4000u);
    tenq::TimestampMsec = 1;
    EXPECT_EQ(feed(frames)[1].Timestamp, 4u);
    EXPECT_EQ(last_error(), "No Error");
}

TEST_F(Iso15765ReceptionTest, SequenceWrapsAndLostFramesAreReported)
{
    orvane::sim::IsoTpShape shape;
    const auto payload = counting(200);  // a first frame and 28 consecutive frames
    auto frames = segmented(shape, payload);
    ASSERT_EQ(frames.size(), 29u);
    EXPECT_EQ(error_lines(frames, "Flow control PCI error"), 0);
    auto r = feed(frames, 2);
    ASSERT_EQ(r.count(), 2u);
    EXPECT_EQ(r.data(1), bytes_of({{0, 0, 0x07, 0xE8}, payload}));

    // Frame 21 lost: every later frame of the message is off by one and the
    // message never reaches its length...
    auto lost = frames;
    lost.erase(lost.begin() + 1);
    EXPECT_EQ(error_lines(lost, "Flow control PCI error"), 27);
    auto partial = feed(lost);
    EXPECT_EQ(partial.count(), 1u);  // the start indication only
    // ...until a new first frame drops it.
    auto again = lost;
    again.insert(again.end(), frames.begin(), frames.end());
    auto both = feed(again);
    ASSERT_EQ(both.count(), 3u);
    EXPECT_EQ(both[1].RxStatus, uint32_t{START_OF_MESSAGE});
    EXPECT_EQ(both.data(2), bytes_of({{0, 0, 0x07, 0xE8}, payload}));
}

TEST_F(Iso15765ReceptionTest, LongMessagesInTheEscapeFormArriveWhole)
{
    tenq::CANSetup.iso15765_tx_data_length = 64;
    orvane::sim::IsoTpShape shape;
    shape.frame_length = 64;
    shape.flags = orvane::sim::kCanFlagFd;
    const auto payload = counting(4100, 7);
    auto frames = segmented(shape, payload);
    ASSERT_EQ(frames[0].data[2], 0x10);
    ASSERT_EQ(frames[0].data[3], 0x00);  // 12-bit length 0: the 32-bit length follows
    auto r = feed(frames);
    ASSERT_EQ(r.count(), 2u);
    EXPECT_EQ(r[0].RxStatus, uint32_t{START_OF_MESSAGE | CAN_FD_FRAME});
    EXPECT_EQ(r[1].DataSize, 4104u);
    EXPECT_EQ(r.data(1), bytes_of({{0, 0, 0x07, 0xE8}, payload}));
    EXPECT_EQ(r[1].RxStatus, uint32_t{CAN_FD_FRAME});

    // The largest message a record holds, padded last frame included.
    tenq::CANSetup.iso15765_tx_data_length = 8;
    orvane::sim::IsoTpShape classic;
    const auto biggest = counting(PASSTHRU_MSG_DATA_SIZE - 4, 3);
    // An array of exactly two records: a copy past the last one's end would
    // leave the caller's memory.
    auto full = feed(segmented(classic, biggest), 2);
    ASSERT_EQ(full.count(), 2u);
    EXPECT_EQ(full[1].DataSize, uint32_t{PASSTHRU_MSG_DATA_SIZE});
    EXPECT_EQ(full.data(1), bytes_of({{0, 0, 0x07, 0xE8}, biggest}));
    // The padding of the last frame did not run into the next slot's record.
    EXPECT_EQ(tenq::ISO15765FlowMsg[1].ProtocolID, 0u);
}

TEST_F(Iso15765ReceptionTest, FirstFrameAnnouncingMoreThanARecordHoldsIsRefused)
{
    orvane::sim::IsoTpShape shape;
    auto started = segmented(shape, counting(40));
    started.resize(2);  // a message under way in the slot
    auto oversized = segmented(shape, counting(PASSTHRU_MSG_DATA_SIZE - 3));
    auto frames = started;
    frames.insert(frames.end(), oversized.begin(), oversized.end());

    auto r = feed(frames, 700);
    ASSERT_EQ(r.count(), 1u);  // the first message's start indication; nothing after
    EXPECT_EQ(last_error(), "ISO15765 first frame length 4125 exceeds the message size");
    EXPECT_EQ(tenq::ISO15765FlowState[0], tenq::FlowState::Idle);

    // Extended addressing leaves one byte less.
    set_filter(0, FLOW_CONTROL_FILTER, tenq::JMSG_ISO15765, {0xFF, 0xFF, 0xFF}, {0x07, 0xE8, 0x01});
    shape.ext_addr = 0x01;
    EXPECT_EQ(feed(segmented(shape, counting(PASSTHRU_MSG_DATA_SIZE - 4)), 700).count(), 0u);
    auto fits = feed(segmented(shape, counting(PASSTHRU_MSG_DATA_SIZE - 5)), 700);
    ASSERT_EQ(fits.count(), 2u);
    EXPECT_EQ(fits[1].DataSize, uint32_t{PASSTHRU_MSG_DATA_SIZE});
}

TEST_F(Iso15765ReceptionTest, ConsecutiveFramesOutsideAMessageYieldNothing)
{
    orvane::sim::IsoTpShape shape;
    auto frames = segmented(shape, counting(20));
    const tenq::JMSG stray = frames.back();
    // Empty since load, and again after the message completed.
    std::vector<tenq::JMSG> sequence{stray};
    sequence.insert(sequence.end(), frames.begin(), frames.end());
    sequence.push_back(stray);
    sequence.push_back(stray);
    auto r = feed(sequence);
    ASSERT_EQ(r.count(), 2u);
    EXPECT_EQ(r.data(1), bytes_of({{0, 0, 0x07, 0xE8}, counting(20)}));
}

TEST_F(Iso15765ReceptionTest, FlowControlFrameRestartsTheSequenceCounter)
{
    orvane::sim::IsoTpShape shape;
    auto frames = segmented(shape, counting(30));  // FF and 4 CFs
    const tenq::JMSG flow_control = bus_frame(0x10, padded({0x07, 0xE8, 0x30, 0x00, 0x00}, 10));
    std::vector<tenq::JMSG> sequence{frames[0], frames[1], flow_control};
    EXPECT_EQ(feed(sequence).count(), 1u);
    EXPECT_EQ(tenq::ConsecutivePCI[0], 0x21);
    // The counter restarted, so the next frame (0x22) is reported, and used.
    EXPECT_EQ(error_lines({frames[2]}, "Flow control PCI error"), 1);
    auto r = feed({frames[3], frames[4]});
    ASSERT_EQ(r.count(), 1u);
    EXPECT_EQ(r.data(0), bytes_of({{0, 0, 0x07, 0xE8}, counting(30)}));
}

TEST_F(Iso15765ReceptionTest, BadPciTypesAreReportedPerChannel)
{
    set_filter(1, FLOW_CONTROL_FILTER, tenq::JMSG_MSISO15765, {0xFF, 0xFF}, {0x07, 0xE8});
    for (uint8_t pci = 0x40; pci >= 0x40; pci = static_cast<uint8_t>(pci + 0x10)) {
        std::strcpy(tenq::LastError, "No Error");
        EXPECT_EQ(feed({bus_frame(0x10, padded({0x07, 0xE8, pci}, 10))}).count(), 0u);
        EXPECT_EQ(last_error(), "ISO15765 Bad PCI type");
        EXPECT_EQ(feed({bus_frame(0x30, padded({0x07, 0xE8, pci}, 10))}, 8, MSISO15765Rx).count(),
                  0u);
        EXPECT_EQ(last_error(), "MSISO15765 Bad PCI type");
    }
}

TEST_F(Iso15765ReceptionTest, MixedFormatAddsPlainCanRecords)
{
    set_filter(1, PASS_FILTER, tenq::JMSG_ISO15765, {0xFF, 0xFF}, {0x07, 0xE8});
    set_filter(2, PASS_FILTER, tenq::JMSG_ISO15765, {0xFF, 0xFF}, {0x07, 0xE9});
    const auto both = bus_frame(0x10, padded({0x07, 0xE8, 0x02, 0x41, 0x00}, 10), 0x03, 0, 0x100);
    const auto pass_only = bus_frame(0x10, padded({0x07, 0xE9, 0x02, 0x41, 0x00}, 10));

    EXPECT_EQ(feed({both}).count(), 1u);
    EXPECT_EQ(feed({pass_only}).count(), 0u);

    tenq::can_mixed_format_flag = 1;
    auto r = feed({both, pass_only});
    ASSERT_EQ(r.count(), 3u);
    EXPECT_EQ(r[0].ProtocolID, 6u);
    EXPECT_EQ(r.data(0), (std::vector<uint8_t>{0, 0, 0x07, 0xE8, 0x41, 0x00}));
    EXPECT_EQ(r[0].RxStatus, uint32_t{CAN_FD_FRAME | CAN_FD_BRS});
    EXPECT_EQ(r[1].ProtocolID, 5u);
    EXPECT_EQ(r.data(1), bytes_of({{0, 0}, padded({0x07, 0xE8, 0x02, 0x41, 0x00}, 10)}));
    EXPECT_EQ(r[1].ExtraDataIndex, 12u);
    EXPECT_EQ(r[1].RxStatus, 0u);  // no CAN FD marks on these records
    EXPECT_EQ(r[1].Timestamp, 1000u);
    EXPECT_EQ(r[2].ProtocolID, 5u);

    // No room left after the ISO record: the frame is used up all the same.
    EXPECT_EQ(feed({both}, 1).count(), 1u);

    // Controller 2 gives MSCAN records.
    set_filter(3, FLOW_CONTROL_FILTER, tenq::JMSG_MSISO15765, {0xFF, 0xFF}, {0x07, 0xE8});
    set_filter(4, PASS_FILTER, tenq::JMSG_MSISO15765, {0xFF, 0xFF}, {0x07, 0xE8});
    auto ms = feed({bus_frame(0x30, padded({0x07, 0xE8, 0x02, 0x41, 0x00}, 10))}, 8, MSISO15765Rx);
    ASSERT_EQ(ms.count(), 2u);
    EXPECT_EQ(ms[0].ProtocolID, 12u);
    EXPECT_EQ(ms[1].ProtocolID, 11u);
}

TEST_F(Iso15765ReceptionTest, FlowFiltersServeTheirOwnControllerAndEchoesTheFirstInUse)
{
    reset_receive_state();
    set_filter(0, FLOW_CONTROL_FILTER, tenq::JMSG_MSISO15765, {0xFF, 0xFF}, {0x07, 0xE8});
    const auto sf = padded({0x07, 0xE8, 0x02, 0x41, 0x00}, 10);
    const tenq::JMSG from_controller_1 = bus_frame(0x10, sf);
    EXPECT_EQ(tenq::GetISOFlowFilterIndex(&from_controller_1), -1);
    EXPECT_EQ(feed({bus_frame(0x10, sf)}).count(), 0u);
    EXPECT_EQ(feed({bus_frame(0x30, sf)}, 8, MSISO15765Rx).count(), 1u);
    EXPECT_EQ(feed({bus_frame(0x40, sf)}, 8, MSISO15765Rx).count(), 1u);

    // Echoes of own transmissions use the first flow-control filter in use,
    // of whichever controller: a single frame, then a segmented message.
    auto echo = feed(
        {bus_frame(0x20, padded({0x07, 0xE0, 0x02, 0x10, 0x03}, 10), 0, tenq::JMSG_TYPE_DATA)});
    ASSERT_EQ(echo.count(), 1u);
    EXPECT_EQ(echo.data(0), (std::vector<uint8_t>{0, 0, 0x07, 0xE0, 0x10, 0x03}));
    EXPECT_EQ(echo[0].RxStatus, uint32_t{TX_MSG_TYPE});

    orvane::sim::IsoTpShape shape;
    shape.dev = 0x20;
    shape.id.id = 0x7E0;
    shape.type = tenq::JMSG_TYPE_DATA;
    auto own = feed(segmented(shape, counting(50)));
    ASSERT_EQ(own.count(), 2u);
    EXPECT_EQ(own[0].RxStatus, uint32_t{TX_MSG_TYPE | START_OF_MESSAGE});
    EXPECT_EQ(own[1].RxStatus, uint32_t{TX_MSG_TYPE});
    EXPECT_EQ(own.data(1), bytes_of({{0, 0, 0x07, 0xE0}, counting(50)}));
}

TEST_F(Iso15765ReceptionTest, IdentifierFormatAndMaskLengthDecideWhatIsCut)
{
    const auto sf29 = bus_frame(0x10, padded({0x00, 0x00, 0x07, 0xE8, 0x02, 0x41, 0x00}, 12), 0x10);
    set_filter(0, FLOW_CONTROL_FILTER, tenq::JMSG_ISO15765, {0xFF, 0xFF, 0xFF, 0xFF},
               {0x00, 0x00, 0x07, 0xE8});
    EXPECT_EQ(feed({sf29}, 8, ISO15765Rx, 0).count(), 0u);
    EXPECT_EQ(feed({sf29}, 8, ISO15765Rx, CAN_29BIT_ID).count(), 1u);

    // A mask of six bytes gives no identifier layout: the frame yields no
    // ISO 15765 record (and nothing is written out of place).
    set_filter(0, FLOW_CONTROL_FILTER, tenq::JMSG_ISO15765, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00},
               {0x00, 0x00, 0x07, 0xE8, 0x00, 0x00});
    EXPECT_EQ(feed({sf29}, 8, ISO15765Rx, CAN_ID_BOTH).count(), 0u);
}
