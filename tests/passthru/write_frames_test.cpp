// CAN frames and K-line pieces of the messages the library transmits.
#include <gtest/gtest.h>

#include <vector>

#include "passthru/link/byteorder.h"
#include "passthru/transmit/write_frames.h"
#include "tests/passthru/write_test_support.h"

using namespace tenq;
using tenq_test::id_and_payload;
using tenq_test::make_msg;

namespace {

std::vector<uint8_t> bytes(const JMSG &f)
{
    return std::vector<uint8_t>(f.data, f.data + f.size);
}

struct Piece {
    uint8_t size;
    uint8_t flags;
};

std::vector<Piece> pieces(const PASSTHRU_MSG &m, std::vector<uint8_t> *joined = nullptr)
{
    std::vector<Piece> out;
    uint32_t offset = 0;
    for (;;) {
        JMSG f;
        const bool last = KLineTxPiece(m, offset, 77, f);
        EXPECT_EQ(f.dev, JMSG_ISO9141);
        EXPECT_EQ(f.type, JMSG_TYPE_DATA);
        EXPECT_EQ(get_le32(f.timestamp), 77u);
        out.push_back({f.size, f.flags});
        if (joined)
            joined->insert(joined->end(), f.data, f.data + f.size);
        if (last || out.size() > 100)
            return out;
    }
}

bool operator==(const Piece &a, const Piece &b)
{
    return a.size == b.size && a.flags == b.flags;
}

}  // namespace

TEST(WriteFrames, KLinePieces)
{
    EXPECT_EQ(pieces(make_msg(ISO9141, 0, {})), (std::vector<Piece>{{0, 0}}));
    EXPECT_EQ(pieces(make_msg(ISO9141, 0, id_and_payload({}, 68))), (std::vector<Piece>{{68, 0}}));
    EXPECT_EQ(pieces(make_msg(ISO9141, 0, id_and_payload({}, 69))),
              (std::vector<Piece>{{68, 0x20}, {1, 0}}));
    std::vector<uint8_t> joined;
    const PASSTHRU_MSG m = make_msg(ISO14230, 0x40000000, id_and_payload({}, 200));
    EXPECT_EQ(pieces(m, &joined), (std::vector<Piece>{{68, 0x20}, {68, 0x20}, {64, 0}}));
    EXPECT_EQ(joined, id_and_payload({}, 200));  // no checksum added, no byte changed
    EXPECT_EQ(m.DataSize, 200u);

    EXPECT_TRUE(KLineTxFits(make_msg(ISO9141, 0, id_and_payload({}, 4128))));
    PASSTHRU_MSG too_long = m;
    too_long.DataSize = 4129;
    EXPECT_FALSE(KLineTxFits(too_long));
}

TEST(WriteFrames, CanFrames)
{
    JMSG f;
    // 11-bit: the identifier's two low bytes, then the payload.
    CanTxFrame(make_msg(CAN, 0, {0, 0, 0x07, 0xE0, 1, 2, 3, 4}), JMSG_CAN, 250, f);
    EXPECT_EQ(f.size, 6);
    EXPECT_EQ(bytes(f), (std::vector<uint8_t>{0x07, 0xE0, 1, 2, 3, 4}));
    EXPECT_EQ(f.flags, 0);
    EXPECT_EQ(f.dev, JMSG_CAN);
    EXPECT_EQ(f.op, JMSG_DEV_WRITE);
    EXPECT_EQ(f.type, JMSG_TYPE_DATA);
    EXPECT_EQ(f.id, 0);
    EXPECT_EQ(get_le32(f.timestamp), 250u);

    CanTxFrame(make_msg(CAN, 0, {0, 0, 0x07, 0xE0}), JMSG_MSCAN, 0, f);
    EXPECT_EQ(f.size, 2);
    EXPECT_EQ(f.dev, JMSG_MSCAN);

    // 29-bit: all four bytes, flag 0x10.
    CanTxFrame(make_msg(CAN, CAN_29BIT_ID, {0x18, 0xDB, 0x33, 0xF1}), JMSG_CAN, 0, f);
    EXPECT_EQ(bytes(f), (std::vector<uint8_t>{0x18, 0xDB, 0x33, 0xF1}));
    EXPECT_EQ(f.flags, 0x10);

    // FD and bit-rate switch; the switch alone means nothing.
    CanTxFrame(make_msg(CAN, CAN_FD_FRAME | CAN_FD_BRS, {0, 0, 1, 2}), JMSG_CAN, 0, f);
    EXPECT_EQ(f.flags, 0x03);
    CanTxFrame(make_msg(CAN, CAN_FD_FRAME | CAN_29BIT_ID, {0, 0, 1, 2}), JMSG_CAN, 0, f);
    EXPECT_EQ(f.flags, 0x11);
    CanTxFrame(make_msg(CAN, CAN_FD_BRS, {0, 0, 1, 2}), JMSG_CAN, 0, f);
    EXPECT_EQ(f.flags, 0);

    // The largest frames fill the 68 data bytes exactly.
    CanTxFrame(make_msg(CAN, CAN_FD_FRAME, id_and_payload({0, 0, 1, 2}, 66, 9)), JMSG_CAN, 0, f);
    EXPECT_EQ(f.size, 68);
    EXPECT_EQ(f.data[67], 9 + 65);
}

TEST(WriteFrames, CanLimits)
{
    struct Case {
        uint32_t flags;
        size_t size;
        bool fits;
    };
    const Case cases[] = {
        {0, 3, false},
        {0, 4, true},
        {0, 70, true},
        {0, 71, false},
        {CAN_29BIT_ID, 3, false},
        {CAN_29BIT_ID, 4, true},
        {CAN_29BIT_ID, 68, true},
        {CAN_29BIT_ID, 69, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CanTxFits(make_msg(CAN, c.flags, std::vector<uint8_t>(c.size, 1))), c.fits)
            << "flags " << c.flags << " size " << c.size;
}
