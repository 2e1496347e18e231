// The simulator's bus traffic builders produce the frames a real sender
// would: transport frame layouts, sequence numbers, K-line pieces.
#include <gtest/gtest.h>

#include "sim/bus_traffic.h"

using namespace orvane::sim;

namespace {

std::vector<uint8_t> counting(size_t n)
{
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<uint8_t>(i);
    return out;
}

}  // namespace

TEST(BusTraffic, CanFramesCarryIdentifierFlagsTypeAndTimeStamp)
{
    const Frame f = can_frame(JMSG_MSCAN, {0x18DAF110, true}, std::vector<uint8_t>{1, 2},
                              0x00010000, kCanFlagFd, JMSG_TYPE_DATA);
    EXPECT_EQ(f.dev, JMSG_MSCAN);
    EXPECT_EQ(f.op, JMSG_DEV_READ);
    EXPECT_EQ(f.type, JMSG_TYPE_DATA);
    EXPECT_EQ(f.flags, kCanFlagFd | kCanFlag29Bit);
    EXPECT_EQ(f.data, (std::vector<uint8_t>{0x18, 0xDA, 0xF1, 0x10, 1, 2}));
    EXPECT_EQ(f.timestamp, (std::array<uint8_t, 4>{0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(can_frame(JMSG_CAN, {0x7E8}, std::vector<uint8_t>{}).data,
              (std::vector<uint8_t>{0x07, 0xE8}));
}

TEST(BusTraffic, Iso15765SegmentationAsASenderCutsIt)
{
    IsoTpShape shape;
    shape.ticks = 100;
    shape.ticks_step = 10;
    auto sf = iso15765_frames(shape, std::vector<uint8_t>{0x41, 0x00});
    ASSERT_EQ(sf.size(), 1u);
    EXPECT_EQ(sf[0].data,
              (std::vector<uint8_t>{0x07, 0xE8, 0x02, 0x41, 0x00, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC}));

    // 6 bytes in the first frame, 7 in each consecutive frame: 17 frames
    // run the sequence number through 0x2F to 0x20 and 0x21.
    auto frames = iso15765_frames(shape, counting(6 + 7 * 17));
    ASSERT_EQ(frames.size(), 18u);
    EXPECT_EQ(frames[0].data[2], 0x10);
    EXPECT_EQ(frames[0].data[3], 6 + 7 * 17);
    EXPECT_EQ(frames[15].data[2], 0x2F);
    EXPECT_EQ(frames[16].data[2], 0x20);
    EXPECT_EQ(frames[17].data[2], 0x21);
    EXPECT_EQ(frames[17].timestamp_be(), 270u);

    // Extended addressing, no padding, CAN FD: escape single frame, and the
    // 32-bit first frame above 4095 bytes.
    IsoTpShape fd;
    fd.ext_addr = 0xF1;
    fd.frame_length = 64;
    fd.pad.reset();
    auto esf = iso15765_frames(fd, counting(20));
    ASSERT_EQ(esf.size(), 1u);
    EXPECT_EQ(esf[0].data.size(), 2u + 1 + 2 + 20);
    EXPECT_EQ(esf[0].data[2], 0xF1);
    EXPECT_EQ(esf[0].data[3], 0x00);
    EXPECT_EQ(esf[0].data[4], 20);
    auto big = iso15765_frames(fd, counting(4100));
    EXPECT_EQ(std::vector<uint8_t>(big[0].data.begin() + 3, big[0].data.begin() + 9),
              (std::vector<uint8_t>{0x10, 0x00, 0x00, 0x00, 0x10, 0x04}));
    size_t carried = big[0].data.size() - 9;
    for (size_t i = 1; i < big.size(); ++i)
        carried += big[i].data.size() - 4;
    EXPECT_EQ(carried, 4100u);
}

TEST(BusTraffic, KLineMessagesInPiecesAndTheAdapterReports)
{
    auto pieces = kline_frames(counting(140), 5);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].data.size(), 68u);
    EXPECT_EQ(pieces[2].data.size(), 4u);
    EXPECT_EQ(pieces[2].data[0], 136);
    EXPECT_EQ(pieces[2].dev, JMSG_ISO9141);
    // A whole number of full pieces ends with an empty one.
    auto exact = kline_frames(counting(136));
    ASSERT_EQ(exact.size(), 3u);
    EXPECT_TRUE(exact[2].data.empty());

    EXPECT_EQ(kline_checksum(std::vector<uint8_t>{0x80, 0x90, 0x01}), 0x11);
    EXPECT_EQ(kline_key_bytes(0x08, 0x08, 0x33).flags, kKLineFlagKeyBytes);
    EXPECT_EQ(kline_start_indication().flags, kKLineFlagStart);
    const Frame overflow = overflow_report(JMSG_CAN);
    EXPECT_EQ(overflow.dev, JMSG_ADAPTER);
    EXPECT_EQ(overflow.flags, JMSG_FLAG_OVERFLOW);
    EXPECT_EQ(overflow.data, (std::vector<uint8_t>{JMSG_CAN}));
}
