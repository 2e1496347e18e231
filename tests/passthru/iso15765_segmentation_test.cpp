// ISO 15765 transmit segmentation: exact frames for the shapes callers rely
// on, and a sweep that reassembles every cut message with an independent
// decoder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "passthru/link/byteorder.h"
#include "passthru/receive/can_fd.h"
#include "passthru/transmit/iso15765_tx.h"
#include "tests/passthru/write_test_support.h"

using namespace tenq;
using tenq_test::id_and_payload;
using tenq_test::make_msg;

namespace {

constexpr uint8_t kPad = 0xCC;

struct Cut {
    std::vector<JMSG> frames;
    std::vector<IsoTxFrame> kinds;
};

Cut cut(const PASSTHRU_MSG &msg, uint8_t tx_dl, uint32_t timeout = 5, uint8_t dev = JMSG_ISO15765)
{
    Cut c;
    Iso15765Tx tx;
    Iso15765TxStart(tx, msg, dev, tx_dl, kPad, timeout);
    while (Iso15765TxBusy(tx)) {
        JMSG f;
        std::memset(&f, 0xEE, sizeof f);
        c.kinds.push_back(Iso15765TxNext(tx, f));
        c.frames.push_back(f);
        if (c.frames.size() > 1000)
            break;  // a machine that never ends
    }
    return c;
}

std::vector<uint8_t> bytes(const JMSG &f)
{
    return std::vector<uint8_t>(f.data, f.data + f.size);
}

std::vector<uint8_t> cat(std::vector<uint8_t> a, const std::vector<uint8_t> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(Iso15765Segmentation, SingleFrameShapes)
{
    // Classic, 11-bit: DataSize 11 is the largest single frame.
    Cut c = cut(make_msg(ISO15765, 0, id_and_payload({0, 0, 0x07, 0xE0}, 7, 1)), 8);
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.kinds[0], IsoTxFrame::Single);
    EXPECT_EQ(bytes(c.frames[0]), (std::vector<uint8_t>{0x07, 0xE0, 0x07, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(c.frames[0].flags, 0);
    EXPECT_EQ(c.frames[0].type, JMSG_TYPE_DATA);
    EXPECT_EQ(c.frames[0].op, JMSG_DEV_WRITE);
    EXPECT_EQ(get_le32(c.frames[0].timestamp), 5u);  // single frames take the time-out as it is

    // Extended addressing: the address byte follows the identifier.
    c = cut(make_msg(ISO15765, ISO15765_ADDR_TYPE, id_and_payload({0, 0, 0x07, 0xE0, 0xF1}, 6, 1)),
            8);
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(bytes(c.frames[0]), (std::vector<uint8_t>{0x07, 0xE0, 0xF1, 0x06, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(c.frames[0].flags, 0x20);

    // Padding with the channel's value up to 8 bytes behind the identifier.
    c = cut(make_msg(ISO15765, ISO15765_FRAME_PAD, {0, 0, 0x07, 0xE0, 0xB1, 0xB2}), 8);
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(bytes(c.frames[0]),
              (std::vector<uint8_t>{0x07, 0xE0, 0x02, 0xB1, 0xB2, kPad, kPad, kPad, kPad, kPad}));

    // The extended-address byte counts in the padded length.
    c = cut(
        make_msg(ISO15765, ISO15765_FRAME_PAD | ISO15765_ADDR_TYPE, {0, 0, 0x07, 0xE0, 0xF1, 0xB1}),
        8);
    EXPECT_EQ(bytes(c.frames[0]),
              (std::vector<uint8_t>{0x07, 0xE0, 0xF1, 0x01, 0xB1, kPad, kPad, kPad, kPad, kPad}));

    // 29-bit: all four identifier bytes, flag 0x10.
    c = cut(make_msg(ISO15765, CAN_29BIT_ID, id_and_payload({0x18, 0xDA, 0x10, 0xF1}, 3, 1)), 8);
    EXPECT_EQ(bytes(c.frames[0]), (std::vector<uint8_t>{0x18, 0xDA, 0x10, 0xF1, 0x03, 1, 2, 3}));
    EXPECT_EQ(c.frames[0].flags, 0x10);

    // CAN FD, L = 64: DataSize 66 is one frame in the escape form.
    c = cut(make_msg(ISO15765, CAN_FD_FRAME | CAN_FD_BRS, id_and_payload({0, 0, 0x07, 0xE0}, 62)),
            64);
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0].size, 66);
    EXPECT_EQ(c.frames[0].data[2], 0x00);
    EXPECT_EQ(c.frames[0].data[3], 62);
    EXPECT_EQ(c.frames[0].flags, 0x03);
    // ...and DataSize 67 is segmented.
    c = cut(make_msg(ISO15765, CAN_FD_FRAME, id_and_payload({0, 0, 0x07, 0xE0}, 63)), 64);
    EXPECT_EQ(c.kinds.front(), IsoTxFrame::First);

    // FD single frame rule: DataSize <= L+3 and (<= 12 or <= L+2).
    EXPECT_EQ(cut(make_msg(ISO15765, CAN_FD_FRAME, id_and_payload({0, 0, 7, 0xE0}, 10)), 12)
                  .frames.size(),
              1u);
    EXPECT_EQ(
        cut(make_msg(ISO15765, CAN_FD_FRAME, id_and_payload({0, 0, 7, 0xE0}, 11)), 12).kinds[0],
        IsoTxFrame::First);

    // An FD frame is padded to the next CAN FD length, not to L.
    c = cut(
        make_msg(ISO15765, CAN_FD_FRAME | ISO15765_FRAME_PAD, id_and_payload({0, 0, 7, 0xE0}, 11)),
        64);
    EXPECT_EQ(c.frames[0].size, 2 + 16);
    EXPECT_EQ(c.frames[0].data[2 + 13], kPad);
}

TEST(Iso15765Segmentation, MultiFrameShapes)
{
    // 20 payload bytes, classic, 11-bit: first frame, two consecutive frames, end.
    PASSTHRU_MSG m = make_msg(ISO15765, 0, id_and_payload({0, 0, 0x07, 0xE0}, 20, 0x40));
    Cut c = cut(m, 8, 0);
    ASSERT_EQ(c.frames.size(), 4u);
    EXPECT_EQ(c.kinds,
              (std::vector<IsoTxFrame>{IsoTxFrame::First, IsoTxFrame::Consecutive,
                                       IsoTxFrame::LastConsecutive, IsoTxFrame::Terminating}));
    EXPECT_EQ(bytes(c.frames[0]),
              (std::vector<uint8_t>{0x07, 0xE0, 0x10, 0x14, 0x40, 0x41, 0x42, 0x43, 0x44, 0x45}));
    EXPECT_EQ(bytes(c.frames[1]),
              (std::vector<uint8_t>{0x07, 0xE0, 0x21, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C}));
    EXPECT_EQ(bytes(c.frames[2]),
              (std::vector<uint8_t>{0x07, 0xE0, 0x22, 0x4D, 0x4E, 0x4F, 0x50, 0x51, 0x52, 0x53}));
    EXPECT_EQ(c.frames[1].flags, 0);
    EXPECT_EQ(c.frames[2].flags, 0x80);
    // First and consecutive frames wait for flow control: at least 1000 ms.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(get_le32(c.frames[i].timestamp), 1000u) << i;
    const JMSG &end = c.frames[3];
    EXPECT_EQ(end.size, 0);
    EXPECT_EQ(end.dev, JMSG_ISO15765);
    EXPECT_EQ(end.op, JMSG_DEV_WRITE);
    EXPECT_EQ(end.flags, 0x20);
    EXPECT_EQ(end.type, 0);
    EXPECT_EQ(get_le32(end.timestamp), 0u);
    EXPECT_FALSE(Iso15765TxBusy(Iso15765Tx{}));

    // A longer time-out is kept as it is.
    EXPECT_EQ(get_le32(cut(m, 8, 2500).frames[0].timestamp), 2500u);

    // 127 payload bytes: 18 consecutive frames, sequence wraps after 0x2F,
    // the last carries 2 bytes.
    c = cut(make_msg(ISO15765, 0, id_and_payload({0, 0, 0x07, 0xE0}, 127)), 8);
    ASSERT_EQ(c.frames.size(), 20u);
    EXPECT_EQ(c.frames[0].data[2], 0x10);
    EXPECT_EQ(c.frames[0].data[3], 127);
    std::vector<uint8_t> seq;
    for (size_t i = 1; i <= 18; ++i)
        seq.push_back(c.frames[i].data[2]);
    EXPECT_EQ(seq, (std::vector<uint8_t>{0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A,
                                         0x2B, 0x2C, 0x2D, 0x2E, 0x2F, 0x20, 0x21, 0x22}));
    EXPECT_EQ(c.frames[18].size, 2 + 1 + 2);
    EXPECT_EQ(c.frames[18].flags, 0x80);
    EXPECT_EQ(c.kinds[19], IsoTxFrame::Terminating);

    // Classic, DataSize 12: segmented, first frame 10 08 with 6 payload bytes.
    c = cut(make_msg(ISO15765, 0, id_and_payload({0, 0, 0x07, 0xE0}, 8)), 8);
    EXPECT_EQ(bytes(c.frames[0]), (std::vector<uint8_t>{0x07, 0xE0, 0x10, 0x08, 0, 1, 2, 3, 4, 5}));

    // The largest message the 12-bit length can say.
    c = cut(make_msg(ISO15765, 0, id_and_payload({0, 0, 0x07, 0xE0}, 4095)), 8);
    EXPECT_EQ(c.frames[0].data[2], 0x1F);
    EXPECT_EQ(c.frames[0].data[3], 0xFF);
    EXPECT_EQ(c.frames.size(), 1u + 585u + 1u);

    // Controller 2 frames carry its device code, the end frame too.
    c = cut(m, 8, 0, JMSG_MSISO15765);
    for (const JMSG &f : c.frames)
        EXPECT_EQ(f.dev, JMSG_MSISO15765);
}

TEST(Iso15765Segmentation, LimitsAndLengths)
{
    const PASSTHRU_MSG id_only = make_msg(ISO15765, 0, {0, 0, 7, 0xE0});
    EXPECT_TRUE(Iso15765TxFits(id_only, 8));
    EXPECT_FALSE(Iso15765TxFits(make_msg(ISO15765, 0, {0, 0, 7}), 8));
    EXPECT_FALSE(Iso15765TxFits(make_msg(ISO15765, ISO15765_ADDR_TYPE, {0, 0, 7, 0xE0}), 8));
    EXPECT_TRUE(Iso15765TxFits(make_msg(ISO15765, ISO15765_ADDR_TYPE, {0, 0, 7, 0xE0, 0xF1}), 8));
    EXPECT_TRUE(Iso15765TxFits(make_msg(ISO15765, 0, id_and_payload({0, 0, 7, 0xE0}, 4095)), 8));
    EXPECT_FALSE(Iso15765TxFits(make_msg(ISO15765, 0, id_and_payload({0, 0, 7, 0xE0}, 4096)), 8));
    EXPECT_TRUE(Iso15765TxFits(
        make_msg(ISO15765, ISO15765_ADDR_TYPE, id_and_payload({0, 0, 7, 0xE0, 1}, 4095)), 8));
    EXPECT_FALSE(Iso15765TxFits(
        make_msg(ISO15765, ISO15765_ADDR_TYPE, id_and_payload({0, 0, 7, 0xE0, 1}, 4096)), 8));
    PASSTHRU_MSG huge = id_only;
    huge.DataSize = 0xFFFFFFFF;
    EXPECT_FALSE(Iso15765TxFits(huge, 8));
    EXPECT_FALSE(Iso15765TxFits(id_only, 7));
    EXPECT_TRUE(Iso15765TxFits(id_only, 64));
    EXPECT_FALSE(Iso15765TxFits(id_only, 65));

    // Classic messages use 8 whatever the channel holds; FD ones the
    // channel's length, or their own with FD_TX_LENGTH_IN_MSG.
    EXPECT_EQ(Iso15765TxDataLength(make_msg(ISO15765, 0, {}, 32), 64), 8u);
    EXPECT_EQ(Iso15765TxDataLength(make_msg(ISO15765, CAN_FD_FRAME, {}, 32), 64), 64u);
    EXPECT_EQ(
        Iso15765TxDataLength(make_msg(ISO15765, CAN_FD_FRAME | FD_TX_LENGTH_IN_MSG, {}, 32), 64),
        32u);
    EXPECT_EQ(
        Iso15765TxDataLength(make_msg(ISO15765, CAN_FD_FRAME | FD_TX_LENGTH_IN_MSG, {}, 0x120), 64),
        0x120u);
}

// Every message, cut and reassembled by an independent decoder, comes back
// byte for byte, in frames of the lengths the bus allows.
TEST(Iso15765Segmentation, EveryCutReassembles)
{
    const uint8_t lengths[] = {8, 12, 16, 20, 24, 32, 48, 64};
    std::vector<uint32_t> sizes;
    for (uint32_t p = 1; p <= 300; ++p)
        sizes.push_back(p);
    for (uint32_t p : {1000u, 4000u, 4094u, 4095u})
        sizes.push_back(p);

    for (uint8_t L : lengths)
        for (bool ext29 : {false, true})
            for (bool addr : {false, true})
                for (bool pad : {false, true})
                    for (uint32_t p : sizes) {
                        const uint32_t flags =
                            (L > 8 ? CAN_FD_FRAME : 0) | (ext29 ? CAN_29BIT_ID : 0) |
                            (addr ? ISO15765_ADDR_TYPE : 0) | (pad ? ISO15765_FRAME_PAD : 0);
                        std::vector<uint8_t> data = {0x18, 0xDA, 0xF1, 0x10};
                        if (addr)
                            data.push_back(0xA5);
                        const std::vector<uint8_t> payload =
                            id_and_payload({}, p, static_cast<uint8_t>(p));
                        data = cat(data, payload);
                        const PASSTHRU_MSG m = make_msg(ISO15765, flags, data);
                        const std::string where =
                            "L=" + std::to_string(L) + " 29=" + std::to_string(ext29) +
                            " addr=" + std::to_string(addr) + " pad=" + std::to_string(pad) +
                            " P=" + std::to_string(p);
                        const Cut c = cut(m, L);
                        ASSERT_FALSE(c.frames.empty()) << where;
                        const uint32_t I = ext29 ? 4 : 2;
                        const uint32_t head = I + (addr ? 1 : 0);
                        std::vector<uint8_t> got;
                        for (size_t i = 0; i < c.frames.size(); ++i) {
                            const JMSG &f = c.frames[i];
                            ASSERT_LE(f.size, kJmsgMaxData) << where;
                            if (c.kinds[i] == IsoTxFrame::Terminating)
                                continue;
                            ASSERT_LE(f.size, I + L) << where;
                            ASSERT_TRUE(std::equal(f.data, f.data + head, data.begin() + (4 - I)))
                                << where;
                            EXPECT_EQ(f.flags & 0x10, ext29 ? 0x10 : 0) << where;
                            EXPECT_EQ(f.flags & 0x20, addr ? 0x20 : 0) << where;
                            if (pad) {
                                EXPECT_TRUE(f.size == I + L || can_fd_valid_data_length(f.size - I))
                                    << where;
                            } else if (c.kinds[i] != IsoTxFrame::Single &&
                                       c.kinds[i] != IsoTxFrame::LastConsecutive) {
                                EXPECT_EQ(f.size, I + L)
                                    << where;  // first and middle frames are full
                            }
                        }
                        const JMSG &f0 = c.frames[0];
                        const uint8_t pci = f0.data[head];
                        uint32_t len = 0;
                        if ((pci & 0xF0) == N_PCI_SF) {
                            ASSERT_EQ(c.frames.size(), 1u) << where;
                            const uint32_t at = pci != 0 ? head + 1 : head + 2;
                            len = pci != 0 ? pci : f0.data[head + 1];
                            ASSERT_LE(at + len, f0.size) << where;
                            got.assign(f0.data + at, f0.data + at + len);
                            for (uint32_t i = at + len; i < f0.size; ++i)
                                ASSERT_EQ(f0.data[i], kPad) << where;
                        } else {
                            ASSERT_EQ(pci & 0xF0, N_PCI_FF) << where;
                            len = ((pci & 0x0F) << 8) | f0.data[head + 1];
                            got.assign(f0.data + head + 2, f0.data + f0.size);
                            uint8_t sn = 1;
                            const size_t last_cf = c.frames.size() - 2;
                            for (size_t i = 1; i <= last_cf; ++i) {
                                const JMSG &f = c.frames[i];
                                ASSERT_EQ(f.data[head], N_PCI_CF | sn) << where << " frame " << i;
                                sn = (sn + 1) & N_PCI_SN_MASK;
                                got.insert(got.end(), f.data + head + 1, f.data + f.size);
                                EXPECT_EQ((f.flags & 0x80) != 0, i == last_cf) << where;
                            }
                            // The last frame's padding lies beyond the length.
                            ASSERT_GE(got.size(), len) << where;
                            for (size_t i = len; i < got.size(); ++i)
                                ASSERT_EQ(got[i], kPad) << where;
                            got.resize(len);
                            EXPECT_EQ(c.kinds.back(), IsoTxFrame::Terminating) << where;
                        }
                        ASSERT_EQ(len, p) << where;
                        ASSERT_EQ(got, payload) << where;
                    }
}
