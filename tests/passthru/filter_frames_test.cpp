// The three frames of a filter: identifier trimming, flag bits, flow-control
// bytes and padding, and the lengths that no adapter frame can carry.
#include <gtest/gtest.h>

#include <vector>

#include "j2534.h"
#include "passthru/filter_table.h"
#include "passthru/transmit/filter_frame.h"
#include "tests/passthru/channel_helpers.h"

using namespace tenq;
using tenq_test::counting;
using tenq_test::make_msg;

namespace {

struct Built {
    int32_t rc;
    JMSG frame;
    std::vector<uint8_t> data() const { return {frame.data, frame.data + frame.size}; }
};

Built build(uint32_t channel, uint8_t type, const PASSTHRU_MSG &msg,
            const FlowControlBytes *flow = nullptr, uint8_t slot = 9)
{
    Built b{};
    b.rc = BuildFilterFrame(channel, slot, type, msg, flow, b.frame);
    return b;
}

const FlowControlBytes kDefaultFlow{0, 0, 8, 0xCC};

}  // namespace

TEST(FilterFrames, ElevenBitIdentifiersLoseTheirZeroBytesAndFlagsFollowTxFlags)
{
    Built b = build(5, JMSG_TYPE_MASK, make_msg(CAN, {0x00, 0x00, 0x07, 0xE8}));
    ASSERT_EQ(b.rc, STATUS_NOERROR);
    EXPECT_EQ(b.frame.id, 9);
    EXPECT_EQ(b.frame.dev, 0x10);
    EXPECT_EQ(b.frame.op, 3);
    EXPECT_EQ(b.frame.type, 1);
    EXPECT_EQ(b.frame.flags, 0);
    EXPECT_EQ(b.data(), (std::vector<uint8_t>{0x07, 0xE8}));
    EXPECT_EQ(std::vector<uint8_t>(b.frame.timestamp, b.frame.timestamp + 4),
              (std::vector<uint8_t>{0, 0, 0, 0}));

    struct Case {
        uint32_t tx_flags;
        uint8_t flags;
        uint8_t size;
    };
    const Case cases[] = {
        {CAN_29BIT_ID, 0x10, 4},
        {CAN_FD_FRAME, 0x01, 2},
        {CAN_FD_FRAME | CAN_FD_BRS, 0x03, 2},
        {CAN_FD_BRS, 0x00, 2},  // a bit-rate switch without FD means nothing
        {CAN_29BIT_ID | CAN_FD_FRAME | CAN_FD_BRS, 0x13, 4},
    };
    for (const Case &c : cases) {
        b = build(12, JMSG_TYPE_PATTERN,
                  make_msg(MSISO15765, {0x18, 0xDA, 0xF1, 0x10}, c.tx_flags));
        ASSERT_EQ(b.rc, STATUS_NOERROR);
        EXPECT_EQ(b.frame.dev, 0x40);
        EXPECT_EQ(b.frame.flags, c.flags) << std::hex << c.tx_flags;
        EXPECT_EQ(b.frame.size, c.size) << std::hex << c.tx_flags;
    }
}

TEST(FilterFrames, KLineBytesGoAsTheyAre)
{
    Built b = build(3, JMSG_TYPE_MASK,
                    make_msg(ISO9141, {0x48, 0x6B, 0x10}, CAN_29BIT_ID | CAN_FD_FRAME));
    ASSERT_EQ(b.rc, STATUS_NOERROR);
    EXPECT_EQ(b.frame.dev, 0x90);
    EXPECT_EQ(b.frame.flags, 0);
    EXPECT_EQ(b.data(), (std::vector<uint8_t>{0x48, 0x6B, 0x10}));

    b = build(3, JMSG_TYPE_MASK, make_msg(ISO9141, {}));  // pass-all K-line filter
    ASSERT_EQ(b.rc, STATUS_NOERROR);
    EXPECT_EQ(b.frame.size, 0);
}

TEST(FilterFrames, FlowFrameCarriesThePciBytesAndPadsBehindTheIdentifier)
{
    const PASSTHRU_MSG plain = make_msg(ISO15765, {0x00, 0x00, 0x07, 0xE0});
    Built b = build(6, JMSG_TYPE_FLOW, plain, &kDefaultFlow);
    ASSERT_EQ(b.rc, STATUS_NOERROR);
    EXPECT_EQ(b.frame.dev, 0x20);
    EXPECT_EQ(b.frame.type, 3);
    EXPECT_EQ(b.data(), (std::vector<uint8_t>{0x07, 0xE0, 0x30, 0x00, 0x00}));

    const PASSTHRU_MSG padded = make_msg(ISO15765, {0x00, 0x00, 0x07, 0xE0}, ISO15765_FRAME_PAD);
    const FlowControlBytes flow{0x08, 0x14, 8, 0xAA};
    b = build(6, JMSG_TYPE_FLOW, padded, &flow);
    ASSERT_EQ(b.rc, STATUS_NOERROR);
    EXPECT_EQ(b.data(),
              (std::vector<uint8_t>{0x07, 0xE0, 0x30, 0x08, 0x14, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}));

    // Nine bytes behind a 29-bit identifier grow to the next CAN FD length,
    // or stay when the transmit length is below them.
    std::vector<uint8_t> data = counting(10, 0x40);
    const PASSTHRU_MSG fd =
        make_msg(ISO15765, data, ISO15765_FRAME_PAD | CAN_29BIT_ID | CAN_FD_FRAME);
    const FlowControlBytes fd_flow{0, 0, 64, 0x55};
    b = build(6, JMSG_TYPE_FLOW, fd, &fd_flow);
    ASSERT_EQ(b.rc, STATUS_NOERROR);
    EXPECT_EQ(b.frame.size, 16);
    EXPECT_EQ(b.frame.flags, 0x11);
    EXPECT_EQ(b.frame.data[10], 0x30);
    EXPECT_EQ(b.frame.data[13], 0x55);
    EXPECT_EQ(b.frame.data[15], 0x55);
    const FlowControlBytes short_flow{0, 0, 8, 0x55};
    b = build(6, JMSG_TYPE_FLOW, fd, &short_flow);
    ASSERT_EQ(b.rc, STATUS_NOERROR);
    EXPECT_EQ(b.frame.size, 13);
}

TEST(FilterFrames, MessagesNoFrameCanCarryAreRefused)
{
    // 68 data bytes after trimming fit; one more does not.
    EXPECT_EQ(build(5, JMSG_TYPE_MASK, make_msg(CAN, counting(70))).rc, STATUS_NOERROR);
    EXPECT_EQ(build(5, JMSG_TYPE_MASK, make_msg(CAN, counting(71))).rc, ERR_INVALID_MSG);
    EXPECT_EQ(build(5, JMSG_TYPE_MASK, make_msg(CAN, counting(68), CAN_29BIT_ID)).rc,
              STATUS_NOERROR);
    EXPECT_EQ(build(5, JMSG_TYPE_MASK, make_msg(CAN, counting(69), CAN_29BIT_ID)).rc,
              ERR_INVALID_MSG);
    EXPECT_EQ(build(3, JMSG_TYPE_MASK, make_msg(ISO9141, counting(68))).rc, STATUS_NOERROR);
    EXPECT_EQ(build(3, JMSG_TYPE_MASK, make_msg(ISO9141, counting(69))).rc, ERR_INVALID_MSG);
    // A CAN message without its four identifier bytes.
    EXPECT_EQ(build(5, JMSG_TYPE_MASK, make_msg(CAN, counting(3))).rc, ERR_INVALID_MSG);

    // The flow frame adds three bytes, then the padding.
    EXPECT_EQ(
        build(6, JMSG_TYPE_FLOW, make_msg(ISO15765, counting(65), CAN_29BIT_ID), &kDefaultFlow).rc,
        STATUS_NOERROR);
    EXPECT_EQ(
        build(6, JMSG_TYPE_FLOW, make_msg(ISO15765, counting(66), CAN_29BIT_ID), &kDefaultFlow).rc,
        ERR_INVALID_MSG);
    const FlowControlBytes wide{0, 0, 255, 0xCC};
    Built b = build(6, JMSG_TYPE_FLOW,
                    make_msg(ISO15765, counting(62), CAN_29BIT_ID | ISO15765_FRAME_PAD), &wide);
    EXPECT_EQ(b.rc, STATUS_NOERROR);
    EXPECT_EQ(b.frame.size, 68);
    // Past 64 bytes no CAN length is left, so padding would run to 255.
    EXPECT_EQ(
        build(6, JMSG_TYPE_FLOW, make_msg(ISO15765, counting(66), ISO15765_FRAME_PAD), &wide).rc,
        ERR_INVALID_MSG);

    PASSTHRU_MSG huge = make_msg(CAN, counting(8));
    huge.DataSize = 0xFFFFFFFFu;
    EXPECT_EQ(build(5, JMSG_TYPE_MASK, huge).rc, ERR_INVALID_MSG);
    EXPECT_EQ(build(6, JMSG_TYPE_FLOW, huge, &wide).rc, ERR_INVALID_MSG);
    EXPECT_EQ(build(37, JMSG_TYPE_MASK, make_msg(CAN, counting(4))).rc, ERR_INVALID_CHANNEL_ID);
}
