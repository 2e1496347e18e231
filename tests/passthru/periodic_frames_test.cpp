// The frame of a periodic message on each kind of channel: identifier
// trimming, the ISO 15765 PCI forms, padding, the interval, and the
// messages no adapter frame can carry.
#include <gtest/gtest.h>

#include <vector>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/periodic_msgs.h"
#include "passthru/transmit/periodic_frame.h"
#include "tests/passthru/channel_helpers.h"

using namespace tenq;
using tenq_test::counting;
using tenq_test::make_msg;

namespace {

class PeriodicFrames : public ::testing::Test {
  protected:
    void SetUp() override
    {
        SetCanConnectDefaults(CANSetup, 500000, true);
        SetCanConnectDefaults(MSCANSetup, 500000, true);
    }

    struct Built {
        int32_t rc;
        JMSG frame;
        std::vector<uint8_t> data() const { return {frame.data, frame.data + frame.size}; }
    };

    static Built build(uint32_t channel, const PASSTHRU_MSG &msg, bool rule = false,
                       uint32_t interval = 100, uint8_t pad_target = 8)
    {
        Built b{};
        b.rc = BuildPeriodicFrame(channel, msg, 4, interval, pad_target, rule, b.frame);
        return b;
    }
};

}  // namespace

TEST_F(PeriodicFrames, CanFramesTrimElevenBitIdentifiersAndCarryTheIntervalLsbFirst)
{
    Built b = build(5, make_msg(CAN, {0x00, 0x00, 0x07, 0xDF, 0x02, 0x01, 0x00}), true, 1000);
    ASSERT_EQ(b.rc, STATUS_NOERROR);
    EXPECT_EQ(b.frame.id, 4);
    EXPECT_EQ(b.frame.dev, 0x10);
    EXPECT_EQ(b.frame.op, 3);
    EXPECT_EQ(b.frame.type, 4);
    EXPECT_EQ(b.frame.flags, 0);
    EXPECT_EQ(b.data(), (std::vector<uint8_t>{0x07, 0xDF, 0x02, 0x01, 0x00}));
    EXPECT_EQ(std::vector<uint8_t>(b.frame.timestamp, b.frame.timestamp + 4),
              (std::vector<uint8_t>{0xE8, 0x03, 0x00, 0x00}));

    // The start's rule: the top bits of Data[0] join the identifier.
    b = build(11, make_msg(MSCAN, {0xC0, 0x00, 0x07, 0xDF, 0x02}), true);
    ASSERT_EQ(b.rc, STATUS_NOERROR);
    EXPECT_EQ(b.frame.dev, 0x30);
    EXPECT_EQ(b.data(), (std::vector<uint8_t>{0xC7, 0xDF, 0x02}));
    b = build(11, make_msg(MSCAN, {0xC0, 0x00, 0x07, 0xDF, 0x02}), false);
    EXPECT_EQ(b.data(), (std::vector<uint8_t>{0x07, 0xDF, 0x02}));

    // 29-bit identifiers go whole, and the rule leaves them alone.
    b = build(
        5, make_msg(CAN, {0xD8, 0xDB, 0x33, 0xF1, 0x02}, CAN_29BIT_ID | CAN_FD_FRAME | CAN_FD_BRS),
        true);
    ASSERT_EQ(b.rc, STATUS_NOERROR);
    EXPECT_EQ(b.frame.flags, 0x13);
    EXPECT_EQ(b.data(), (std::vector<uint8_t>{0xD8, 0xDB, 0x33, 0xF1, 0x02}));
}

TEST_F(PeriodicFrames, KLineMessagesAreNeverChangedByTheIdentifierRule)
{
    Built b = build(3, make_msg(ISO9141, {0x68, 0x6A, 0x10, 0x01, 0x00}), true);
    ASSERT_EQ(b.rc, STATUS_NOERROR);
    EXPECT_EQ(b.frame.dev, 0x90);
    EXPECT_EQ(b.frame.flags, 0);
    EXPECT_EQ(b.data(), (std::vector<uint8_t>{0x68, 0x6A, 0x10, 0x01, 0x00}));
    EXPECT_FALSE(ElevenBitRuleApplies(3, 0));
    EXPECT_FALSE(ElevenBitRuleApplies(4, 0));
    EXPECT_FALSE(ElevenBitRuleApplies(37, 0));
    EXPECT_TRUE(ElevenBitRuleApplies(6, 0));
    EXPECT_FALSE(ElevenBitRuleApplies(6, CAN_29BIT_ID));
}

TEST_F(PeriodicFrames, Iso15765FramesAreSingleFramesWithTheirPci)
{
    const PASSTHRU_MSG obd = make_msg(ISO15765, {0x00, 0x00, 0x07, 0xDF, 0x01, 0x0D});
    Built b = build(6, obd);
    ASSERT_EQ(b.rc, STATUS_NOERROR);
    EXPECT_EQ(b.frame.dev, 0x20);
    EXPECT_EQ(b.data(), (std::vector<uint8_t>{0x07, 0xDF, 0x02, 0x01, 0x0D}));

    PASSTHRU_MSG padded = obd;
    padded.TxFlags = ISO15765_FRAME_PAD;
    b = build(6, padded);
    EXPECT_EQ(b.data(),
              (std::vector<uint8_t>{0x07, 0xDF, 0x02, 0x01, 0x0D, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC}));
    MSCANSetup.iso15765_pad_value = 0x55;
    b = build(12, padded, false, 100, 3);  // a transmit length below what is there
    EXPECT_EQ(b.frame.dev, 0x40);
    EXPECT_EQ(b.data(), (std::vector<uint8_t>{0x07, 0xDF, 0x02, 0x01, 0x0D}));

    // Twenty bytes: the CAN FD escape form, 0x00 then the payload length.
    std::vector<uint8_t> long_msg{0x18, 0xDB, 0x33, 0xF1};
    const std::vector<uint8_t> payload = counting(16, 0xA0);
    long_msg.insert(long_msg.end(), payload.begin(), payload.end());
    b = build(6, make_msg(ISO15765, long_msg, CAN_29BIT_ID | CAN_FD_FRAME));
    ASSERT_EQ(b.rc, STATUS_NOERROR);
    EXPECT_EQ(b.frame.flags, 0x11);
    std::vector<uint8_t> expected{0x18, 0xDB, 0x33, 0xF1, 0x00, 0x10};
    expected.insert(expected.end(), payload.begin(), payload.end());
    EXPECT_EQ(b.data(), expected);

    // An extended address travels behind the identifier, before the PCI.
    b = build(6,
              make_msg(ISO15765, {0x00, 0x00, 0x07, 0xE0, 0xF1, 0x3E, 0x00}, ISO15765_ADDR_TYPE));
    ASSERT_EQ(b.rc, STATUS_NOERROR);
    EXPECT_EQ(b.frame.flags, 0x20);
    EXPECT_EQ(b.data(), (std::vector<uint8_t>{0x07, 0xE0, 0xF1, 0x02, 0x3E, 0x00}));
}

TEST_F(PeriodicFrames, MessagesNoFrameCanCarryAreRefused)
{
    // Shorter than the identifier (and extended address).
    EXPECT_EQ(build(6, make_msg(ISO15765, counting(3))).rc, ERR_INVALID_MSG);
    EXPECT_EQ(build(6, make_msg(ISO15765, counting(4), ISO15765_ADDR_TYPE)).rc, ERR_INVALID_MSG);
    EXPECT_EQ(build(6, make_msg(ISO15765, counting(4))).rc, STATUS_NOERROR);
    EXPECT_EQ(build(5, make_msg(CAN, counting(1))).rc, ERR_INVALID_MSG);
    EXPECT_EQ(build(5, make_msg(CAN, counting(3), CAN_29BIT_ID)).rc, ERR_INVALID_MSG);
    // Longer than one frame once trimmed, PCI bytes counted.
    EXPECT_EQ(build(5, make_msg(CAN, counting(70))).rc, STATUS_NOERROR);
    EXPECT_EQ(build(5, make_msg(CAN, counting(71))).rc, ERR_INVALID_MSG);
    EXPECT_EQ(build(6, make_msg(ISO15765, counting(66), CAN_29BIT_ID)).rc, STATUS_NOERROR);
    EXPECT_EQ(build(6, make_msg(ISO15765, counting(67), CAN_29BIT_ID)).rc, ERR_INVALID_MSG);
    EXPECT_EQ(build(3, make_msg(ISO9141, counting(68))).rc, STATUS_NOERROR);
    EXPECT_EQ(build(4, make_msg(ISO14230, counting(69))).rc, ERR_INVALID_MSG);
    // Padding that would run past 64 bytes to a transmit length of 255.
    EXPECT_EQ(build(6, make_msg(ISO15765, counting(67), ISO15765_FRAME_PAD), false, 100, 255).rc,
              ERR_INVALID_MSG);
    EXPECT_EQ(build(6, make_msg(ISO15765, counting(64), ISO15765_FRAME_PAD), false, 100, 255).rc,
              STATUS_NOERROR);
    PASSTHRU_MSG huge = make_msg(ISO15765, counting(8), ISO15765_ADDR_TYPE);
    huge.DataSize = 0xFFFFFFFFu;
    EXPECT_EQ(build(6, huge).rc, ERR_INVALID_MSG);
    EXPECT_EQ(build(7, make_msg(CAN, counting(8))).rc, ERR_INVALID_CHANNEL_ID);
}
