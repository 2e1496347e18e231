// The setup blocks a connect gives each unit, byte by byte, and the mapping
// of protocol IDs onto channels.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "j2534.h"
#include "passthru/channels.h"

using namespace tenq;

namespace {

std::vector<uint8_t> wire(const CAN_SETUP &s)
{
    uint8_t out[kCanSetupSize];
    SerializeCanSetup(s, out);
    return {out, out + sizeof out};
}

std::vector<uint8_t> wire(const ISO_SETUP &s)
{
    uint8_t out[kIsoSetupSize];
    SerializeIsoSetup(s, out);
    return {out, out + sizeof out};
}

CAN_SETUP filled_can_setup()
{
    CAN_SETUP s;
    std::memset(&s, 0x5A, sizeof s);
    return s;
}

}  // namespace

TEST(SetupBlocks, Iso15765ConnectSetsEveryFieldOfTheControllerBlock)
{
    CAN_SETUP s = filled_can_setup();
    SetCanConnectDefaults(s, 500000, true);
    EXPECT_EQ(wire(s), (std::vector<uint8_t>{0x20, 0xA1, 0x07, 0x00,  // 500000
                                             0x80, 0x84, 0x1E, 0x00,  // 2000000
                                             0x00, 0x00,              // interframe delay
                                             80,   20,                // sample point, SJW
                                             0x00, 0x00,              // BS, STmin
                                             0xFF, 0xFF, 0xFF,        // BS_TX, STMIN_TX, WFT_MAX
                                             8,    0x00, 0xCC}));     // length, termination, pad
}

TEST(SetupBlocks, CanConnectSetsOnlyTheFirstFiveFields)
{
    CAN_SETUP s = filled_can_setup();
    SetCanConnectDefaults(s, 250000, false);
    std::vector<uint8_t> expected{0x90, 0xD0, 0x03, 0x00, 0x80, 0x84,
                                  0x1E, 0x00, 0x00, 0x00, 80,   20};
    expected.resize(kCanSetupSize, 0x5A);  // the ISO 15765 fields stay as they were
    EXPECT_EQ(wire(s), expected);
}

TEST(SetupBlocks, KLineConnectSetsTimingsAndInitBitsButNotP5)
{
    ISO_SETUP s;
    std::memset(&s, 0, sizeof s);
    s.init_type = 0x20;  // a five-baud init kind left from before
    s.p5_min = 0x1234;
    s.p5_max = 0x5678;
    SetIsoConnectDefaults(s, 10400, ISO9141_FORD | ISO9141_NO_CHECKSUM);
    EXPECT_EQ(wire(s),
              (std::vector<uint8_t>{0xA0, 0x28, 0x00, 0x00,  // 10400
                                    0x33, 0xC0,              // init address, Ford + no checksum
                                    0,    0,    20,   0,    25,   0,    50,   0,
                                    55,   0,    0x88, 0x13, 5,    0,    20,   0,  // p1..p4
                                    0x34, 0x12, 0x78, 0x56,                       // p5 untouched
                                    5,    0,    0x2C, 0x01, 0,    0,    0x2C, 0x01,
                                    0,    0,    20,   0,    0,    0,    20,   0,     // w0..w3
                                    25,   0,    50,   0,    0x2C, 0x01, 0xF4, 0x01,  // w4, w5
                                    25,   0,    50,   0,                             // tini_l, twup
                                    0,    8}));  // parity, data bits

    SetIsoConnectDefaults(s, 9600, ISO9141_FORD);
    EXPECT_EQ(s.init_type, 0x40);
    SetIsoConnectDefaults(s, 9600, 0);
    EXPECT_EQ(s.init_type, 0x00);
}

TEST(ProtocolMapping, IdsNameTheirChannelAndMscanSelectMovesOnlyCanAndIso15765)
{
    struct Case {
        uint32_t protocol;
        uint32_t flags;
        uint32_t channel;
    };
    const Case cases[] = {
        {ISO9141, 0, 3},
        {ISO14230, 0, 4},
        {CAN, 0, 5},
        {ISO15765, 0, 6},
        {CAN, MSCAN_SELECT, 11},
        {ISO15765, MSCAN_SELECT, 12},
        {MSCAN, 0, 11},
        {CAN_PS, 0, 11},
        {CAN_CH2, 0, 11},
        {FD_CAN_CH2, 0, 11},
        {MSISO15765, 0, 12},
        {ISO15765_PS, 0, 12},
        {ISO15765_CH2, 0, 12},
        {FD_ISO15765_CH2, 0, 12},
        {CAN_CH1, 0, 5},
        {FD_CAN_CH1, 0, 5},
        {ISO15765_CH1, 0, 6},
        {FD_ISO15765_CH1, 0, 6},
        {CAN_CH1, MSCAN_SELECT, 5},
        {ISO9141, MSCAN_SELECT, 3},
        {FD_ISO15765_CH1, MSCAN_SELECT, 6},
        {J1850VPW, 0, 1},
        {SPCAN, 0, 13},
        {0, 0, 0},
        {37, 0, 37},
    };
    for (const Case &c : cases)
        EXPECT_EQ(MapProtocolId(c.protocol, c.flags), c.channel) << "protocol " << c.protocol;
}

TEST(ProtocolMapping, MessagesFitTheirChannel)
{
    EXPECT_EQ(VerifyProtocol(ISO14230, 4), 1);
    EXPECT_EQ(VerifyProtocol(ISO9141, 4), 1);
    EXPECT_EQ(VerifyProtocol(CAN, 11), 0);
    EXPECT_EQ(VerifyProtocol(CAN_PS, 11), 1);
    EXPECT_EQ(VerifyProtocol(ISO15765, 12), 0);
    EXPECT_EQ(VerifyProtocol(FD_ISO15765_CH1, 6), 1);
    EXPECT_EQ(VerifyProtocol(CAN, 37), 0);
}

TEST(ProtocolMapping, ChannelBitsWrapAtThirtyTwo)
{
    EXPECT_EQ(ChannelBit(5), 1u << 5);
    EXPECT_EQ(ChannelBit(37), ChannelBit(5));
    EXPECT_EQ(ChannelBit(0xFFFFFFFFu), 1u << 31);  // no shift beyond the word
    EXPECT_EQ(ChannelUnitDevice(6), 0x10);
    EXPECT_EQ(ChannelUnitDevice(12), 0x30);
    EXPECT_EQ(ChannelUnitDevice(4), 0x90);
    EXPECT_EQ(ChannelUnitDevice(37), 0);
}
