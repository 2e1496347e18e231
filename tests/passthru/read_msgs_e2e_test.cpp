// Reading through the built library, as an application reads, against the
// simulated adapter sending bus traffic: CAN, ISO 15765 and K-line records,
// the results of the read call, and malformed streams.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "sim/bus_traffic.h"
#include "tests/passthru/channel_helpers.h"
#include "tests/passthru/library_sim_fixture.h"

using namespace std::chrono_literals;
using orvane::sim::CanId;
using orvane::sim::Frame;
using orvane::sim::IsoTpShape;
using tenq_test::bytes_of;
using tenq_test::counting;
using tenq_test::make_msg;

namespace {

std::vector<uint8_t> data_of(const PASSTHRU_MSG &msg)
{
    return std::vector<uint8_t>(msg.Data, msg.Data + msg.DataSize);
}

class ReadEndToEnd : public tenq_test::LibrarySimTest {
  protected:
    uint32_t filter(uint32_t channel, uint32_t type, std::vector<uint8_t> mask,
                    std::vector<uint8_t> pattern, std::vector<uint8_t> flow = {})
    {
        const uint32_t protocol = channel;
        PASSTHRU_MSG m = make_msg(protocol, mask), p = make_msg(protocol, pattern),
                     f = make_msg(protocol, flow);
        uint32_t id = 0;
        EXPECT_EQ(lib.StartMsgFilter(channel, type, &m, &p, flow.empty() ? nullptr : &f, &id), 0)
            << lib.last_error();
        return id;
    }

    // ISO 15765 channel 6 with a flow-control filter for ECU 0x7E8.
    uint32_t iso_channel()
    {
        const uint32_t ch = connect(ISO15765);
        filter(ch, FLOW_CONTROL_FILTER, {0xFF, 0xFF, 0xFF, 0xFF}, {0x00, 0x00, 0x07, 0xE8},
               {0x00, 0x00, 0x07, 0xE0});
        return ch;
    }

    // Reads until `n` records arrived or 10 s passed (a ceiling for slow
    // machines, not a measurement).
    std::vector<PASSTHRU_MSG> collect(uint32_t channel, size_t n)
    {
        std::vector<PASSTHRU_MSG> out;
        const auto until = std::chrono::steady_clock::now() + 10s;
        std::vector<PASSTHRU_MSG> buf(n);
        while (out.size() < n && std::chrono::steady_clock::now() < until) {
            uint32_t count = static_cast<uint32_t>(n - out.size());
            const int32_t rc = lib.ReadMsgs(channel, buf.data(), &count, 100);
            EXPECT_TRUE(rc == STATUS_NOERROR || rc == ERR_TIMEOUT || rc == ERR_BUFFER_EMPTY) << rc;
            out.insert(out.end(), buf.begin(), buf.begin() + count);
        }
        return out;
    }

    // Reads whatever arrives within `ms`, in calls of up to 16 records.
    std::vector<PASSTHRU_MSG> drain(uint32_t channel, uint32_t ms = 300)
    {
        std::vector<PASSTHRU_MSG> out, buf(16);
        uint32_t count = 16;
        while (lib.ReadMsgs(channel, buf.data(), &count, ms) != ERR_BUFFER_EMPTY) {
            out.insert(out.end(), buf.begin(), buf.begin() + count);
            count = 16;
        }
        return out;
    }
};

}  // namespace

TEST_F(ReadEndToEnd, CanChannelResultsRecordsAndTimeStamps)
{
    const uint32_t ch = connect(CAN);
    PASSTHRU_MSG msgs[5];
    uint32_t count = 5;
    EXPECT_EQ(lib.ReadMsgs(ch, msgs, &count, 0), ERR_BUFFER_EMPTY);
    EXPECT_EQ(count, 0u);

    filter(ch, PASS_FILTER, {0x00, 0x00, 0xFF, 0xFF}, {0x00, 0x00, 0x07, 0xE8});
    const auto payload = counting(8, 0x41);
    sim().inject(orvane::sim::can_frame(0x10, {0x7E9}, payload, 0x100));
    sim().inject(orvane::sim::can_frame(0x10, {0x7E8}, payload, 0x00010000));
    ASSERT_TRUE(sim().wait_sent(5s));

    // One frame waits: the 200 ms are waited out for the other four.
    const auto start = std::chrono::steady_clock::now();
    count = 5;
    EXPECT_EQ(lib.ReadMsgs(ch, msgs, &count, 200), ERR_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);  // a lower bound only
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(data_of(msgs[0]), bytes_of({{0x00, 0x00, 0x07, 0xE8}, payload}));
    EXPECT_EQ(msgs[0].DataSize, 12u);
    EXPECT_EQ(msgs[0].ExtraDataIndex, 12u);
    EXPECT_EQ(msgs[0].ProtocolID, uint32_t{CAN});
    EXPECT_EQ(msgs[0].RxStatus, 0u);
    EXPECT_EQ(msgs[0].Timestamp, 256000u);

    ASSERT_EQ(lib.Ioctl(ch, TIMESTAMP_MSEC, nullptr, nullptr), 0) << lib.last_error();
    sim().inject(
        orvane::sim::can_frame(0x10, {0x7E8}, payload, 0x00010000, 0, orvane::sim::JMSG_TYPE_DATA));
    auto got = collect(ch, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].Timestamp, 256u);
    EXPECT_EQ(got[0].RxStatus, uint32_t{TX_MSG_TYPE});
}

TEST_F(ReadEndToEnd, AdapterOverflowReportComesWithValidRecords)
{
    const uint32_t ch = connect(CAN);
    filter(ch, PASS_FILTER, {0x00, 0x00, 0xFF, 0xFF}, {0x00, 0x00, 0x07, 0xE8});
    sim().inject(orvane::sim::overflow_report(0x10));
    for (uint8_t i = 0; i < 3; ++i)
        sim().inject(orvane::sim::can_frame(0x10, {0x7E8}, std::vector<uint8_t>{i}));
    ASSERT_TRUE(sim().wait_sent(5s));

    PASSTHRU_MSG msgs[10];
    uint32_t count = 10;
    int32_t rc = ERR_BUFFER_EMPTY;
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (rc == ERR_BUFFER_EMPTY && std::chrono::steady_clock::now() < until) {
        count = 10;
        rc = lib.ReadMsgs(ch, msgs, &count, 500);
    }
    EXPECT_EQ(rc, ERR_BUFFER_OVERFLOW);
    ASSERT_GE(count, 1u);
    for (uint32_t i = 0; i < count; ++i) {
        EXPECT_EQ(msgs[i].DataSize, 5u);
        EXPECT_EQ(msgs[i].Data[4], i);
    }
}

TEST_F(ReadEndToEnd, Iso15765MessagesSingleSegmentedWrappedAndLong)
{
    const uint32_t ch = iso_channel();
    IsoTpShape shape;
    auto sf = orvane::sim::iso15765_frames(shape, std::vector<uint8_t>{0x41, 0x00, 0x11});
    orvane::sim::inject_all(sim(), sf);
    auto got = collect(ch, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(data_of(got[0]), (std::vector<uint8_t>{0, 0, 0x07, 0xE8, 0x41, 0x00, 0x11}));
    EXPECT_EQ(got[0].ExtraDataIndex, 7u);

    // First frame and two consecutive frames.
    const auto vin = counting(20, 0x30);
    orvane::sim::inject_all(sim(), orvane::sim::iso15765_frames(shape, vin));
    got = collect(ch, 2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].RxStatus, uint32_t{START_OF_MESSAGE});
    EXPECT_EQ(got[0].DataSize, 4u);
    EXPECT_EQ(got[0].ExtraDataIndex, 0u);
    EXPECT_EQ(data_of(got[1]), bytes_of({{0, 0, 0x07, 0xE8}, vin}));
    EXPECT_EQ(got[1].ExtraDataIndex, 24u);

    // 20 consecutive frames: the sequence number wraps without complaint.
    const auto wrapped = counting(150, 1);
    orvane::sim::inject_all(sim(), orvane::sim::iso15765_frames(shape, wrapped));
    got = collect(ch, 2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(data_of(got[1]), bytes_of({{0, 0, 0x07, 0xE8}, wrapped}));
    EXPECT_EQ(lib.last_error(), "No Error");

    // A lost consecutive frame is reported, and the message never completes.
    auto lost = orvane::sim::iso15765_frames(shape, counting(30));
    lost.erase(lost.begin() + 2);
    orvane::sim::inject_all(sim(), lost);
    got = drain(ch);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].RxStatus, uint32_t{START_OF_MESSAGE});
    EXPECT_EQ(lib.last_error(), "Flow control PCI error");

    // 4100 bytes in CAN FD frames: the escape form of the first frame.
    IsoTpShape fd = shape;
    fd.frame_length = 64;
    fd.flags = orvane::sim::kCanFlagFd | orvane::sim::kCanFlagBrs;
    const auto big = counting(4100, 9);
    orvane::sim::inject_all(sim(), orvane::sim::iso15765_frames(fd, big));
    got = collect(ch, 2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].DataSize, 4104u);
    EXPECT_EQ(data_of(got[1]), bytes_of({{0, 0, 0x07, 0xE8}, big}));
    EXPECT_EQ(got[1].RxStatus & (CAN_FD_FRAME | CAN_FD_BRS), uint32_t{CAN_FD_FRAME | CAN_FD_BRS});
}

TEST_F(ReadEndToEnd, MixedFormatAddsTheCanRecord)
{
    const uint32_t ch = iso_channel();
    filter(ch, PASS_FILTER, {0x00, 0x00, 0xFF, 0xFF}, {0x00, 0x00, 0x07, 0xE8});
    SCONFIG mixed{CAN_MIXED_FORMAT, 1};
    SCONFIG_LIST list{1, &mixed};
    ASSERT_EQ(lib.Ioctl(ch, SET_CONFIG, &list, nullptr), 0) << lib.last_error();

    orvane::sim::inject_all(
        sim(), orvane::sim::iso15765_frames(IsoTpShape{}, std::vector<uint8_t>{0x7F, 0x22}));
    auto got = collect(ch, 2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].ProtocolID, uint32_t{ISO15765});
    EXPECT_EQ(data_of(got[0]), (std::vector<uint8_t>{0, 0, 0x07, 0xE8, 0x7F, 0x22}));
    EXPECT_EQ(got[1].ProtocolID, uint32_t{CAN});
    EXPECT_EQ(data_of(got[1]), (std::vector<uint8_t>{0, 0, 0x07, 0xE8, 0x02, 0x7F, 0x22, 0xCC, 0xCC,
                                                     0xCC, 0xCC, 0xCC}));
}

TEST_F(ReadEndToEnd, KLinePiecesChecksumAndStartIndication)
{
    const uint32_t ch = connect(ISO9141, 0, 10400);
    auto message = counting(70, 0x80);
    message.push_back(orvane::sim::kline_checksum(message));
    auto frames = orvane::sim::kline_frames(message, 0x200);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].size(), 68u);
    frames.insert(frames.begin(), orvane::sim::kline_start_indication(0x100));
    orvane::sim::inject_all(sim(), frames);
    auto got = collect(ch, 2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].RxStatus, uint32_t{START_OF_MESSAGE});
    EXPECT_EQ(got[0].DataSize, 0u);
    EXPECT_EQ(got[1].DataSize, 70u);
    EXPECT_EQ(data_of(got[1]), counting(70, 0x80));

    message.back() ^= 0x55;
    orvane::sim::inject_all(sim(), orvane::sim::kline_frames(message));
    EXPECT_TRUE(drain(ch).empty());
    EXPECT_EQ(lib.last_error(), "ISO9141/14230 Bad RX checksum");
}

TEST_F(ReadEndToEnd, MalformedStreamsGiveNoRecordLongerThanItsBytes)
{
    const uint32_t iso = iso_channel();
    const uint32_t kline = connect(ISO9141, 0, 10400);
    IsoTpShape shape;

    std::vector<Frame> frames;
    // A first frame announcing more than a record holds, with its frames.
    auto oversized = orvane::sim::iso15765_frames(shape, counting(5000));
    frames.insert(frames.end(), oversized.begin(), oversized.begin() + 40);
    // Stray consecutive frames, short single frames.
    frames.push_back(
        orvane::sim::can_frame(0x10, {0x7E8}, std::vector<uint8_t>{0x21, 1, 2, 3, 4, 5, 6, 7}));
    frames.push_back(orvane::sim::can_frame(0x10, {0x7E8}, std::vector<uint8_t>{0x00}));
    frames.push_back(orvane::sim::can_frame(0x10, {0x7E8}, std::vector<uint8_t>{0x07, 1, 2}));
    frames.push_back(orvane::sim::can_frame(0x10, {0x7E8}, std::vector<uint8_t>{0x10}));
    orvane::sim::inject_all(sim(), frames);
    // A frame whose size byte says more than a record holds, then a good one.
    std::vector<uint8_t> raw{0, 100, 0x10, 2, 0, 0, 0, 0, 0, 0};
    raw.resize(110, 0x21);
    sim().inject_raw(raw);
    orvane::sim::inject_all(sim(),
                            orvane::sim::iso15765_frames(shape, std::vector<uint8_t>{0x50, 0x01}));
    // A K-line run past what a record holds, then a good message.
    orvane::sim::inject_all(sim(), orvane::sim::kline_frames(counting(4200)));
    auto good = counting(5, 0x48);
    good.push_back(orvane::sim::kline_checksum(good));
    orvane::sim::inject_all(sim(), orvane::sim::kline_frames(good));

    auto got = drain(iso);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(data_of(got[0]), (std::vector<uint8_t>{0, 0, 0x07, 0xE8, 0x50, 0x01}));
    auto lines = drain(kline);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(data_of(lines[0]), counting(5, 0x48));
}
