// The K-line initialisations through PassThruIoctl on a scripted port with
// a stepping clock: the setup block that asks for each, what is kept of
// init_type, and what the caller gets back when the ECU answers or not.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "passthru/link/rings.h"
#include "passthru/receive/kline_rx.h"
#include "sim/setup_blocks.h"
#include "tests/passthru/ioctl_test_support.h"

using namespace tenq;
using orvane::sim::Frame;
using tenq_test::frame;
using tenq_test::written_frames;

namespace {

class KLineInitTest : public tenq_test::IoctlUnitTest {
  protected:
    void SetUp() override
    {
        IoctlUnitTest::SetUp();
        platform::set_clock(&clock);
        SetIsoConnectDefaults(ISO9141Setup, 10400, 0);
        ISO9141NoChecksum = 0;
        RingReset(ISO9141Buffer);
        ISO9141Keyword1 = ISO9141Keyword2 = ISO9141Address = 0;
        connected({3, 4});
    }

    // A K-line message as the adapter reports it: the bytes and their sum.
    static std::vector<uint8_t> with_checksum(std::vector<uint8_t> bytes)
    {
        bytes.push_back(static_cast<uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u)));
        return bytes;
    }

    static orvane::sim::KLineSetupBlock block(const Frame &f)
    {
        EXPECT_EQ(f.dev, 0x90);
        EXPECT_EQ(f.op, 3);
        EXPECT_EQ(f.type, 7);
        return orvane::sim::decode_kline_setup(f.data).value_or(orvane::sim::KLineSetupBlock{});
    }

    int32_t five_baud(uint32_t channel, uint8_t address, uint8_t (&keys)[2])
    {
        SBYTE_ARRAY in{1, &address}, out{2, keys};
        return PassThruIoctl(channel, FIVE_BAUD_INIT, &in, &out);
    }

    tenq_test::SteppingClock clock{10};
};

PASSTHRU_MSG fast_init_request()
{
    PASSTHRU_MSG msg{};
    msg.ProtocolID = ISO14230;
    msg.DataSize = 4;
    const uint8_t bytes[] = {0xC1, 0x33, 0xF1, 0x81};
    std::copy(std::begin(bytes), std::end(bytes), msg.Data);
    return msg;
}

}  // namespace

TEST_F(KLineInitTest, FiveBaudInitAsksWithTheAddressAndReturnsTheKeyBytes)
{
    ISO9141Setup.init_type = 0x80 | 0x40;  // connected with no checksum and the Ford bit
    port.reads.push_back(frame(0x90, 2, 0, 0x40, {0x08, 0x94, 0xCC}));
    uint8_t keys[2] = {0xEE, 0xEE};
    ASSERT_EQ(five_baud(3, 0x33, keys), STATUS_NOERROR) << last_error();
    EXPECT_EQ(keys[0], 0x08);
    EXPECT_EQ(keys[1], 0x94);
    EXPECT_EQ(ISO9141Address, 0xCC);

    const std::vector<Frame> sent = written_frames(port);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(block(sent[0]).init_type, 0xA0) << "the no-checksum bit stays, Ford goes";
    EXPECT_EQ(block(sent[0]).init_address, 0x33);
    EXPECT_EQ(ISO9141Setup.init_type, 0x80) << "the request is not left in the block";
    EXPECT_EQ(ISO9141Setup.init_address, 0x33);
}

TEST_F(KLineInitTest, FiveBaudInitWithoutKeyBytesAnswersZeros)
{
    ISO9141Keyword1 = 0x55;  // from an earlier initialisation
    uint8_t keys[2] = {0xEE, 0xEE};
    ASSERT_EQ(five_baud(4, 0x10, keys), STATUS_NOERROR);
    EXPECT_EQ(keys[0], 0);
    EXPECT_EQ(keys[1], 0);

    // A block that cannot be sent is only reported; the wait still runs.
    fail_next_write();
    ASSERT_EQ(five_baud(4, 0x10, keys), STATUS_NOERROR);
    EXPECT_EQ(last_error(), "Cannot start the FIVE_BAUD_INIT");
}

TEST_F(KLineInitTest, FiveBaudInitRefusesOtherChannelsAndShortArrays)
{
    connected({5});
    uint8_t keys[2] = {};
    EXPECT_EQ(five_baud(5, 0x33, keys), ERR_INVALID_CHANNEL_ID);
    EXPECT_EQ(last_error(), "Invalid channel ID for FIVE_BAUD_INIT");

    uint8_t address = 0x33;
    SBYTE_ARRAY in{1, &address}, no_address{0, &address}, out{2, keys}, one_key{1, keys};
    EXPECT_EQ(PassThruIoctl(3, FIVE_BAUD_INIT, &no_address, &out), ERR_INVALID_MSG);
    EXPECT_EQ(PassThruIoctl(3, FIVE_BAUD_INIT, &in, &one_key), ERR_INVALID_MSG);
    EXPECT_EQ(last_error(), "Invalid byte count for FIVE_BAUD_INIT");
    EXPECT_TRUE(written_frames(port).empty());
}

TEST_F(KLineInitTest, FastInitReturnsTheResponseWithoutItsChecksum)
{
    ISO9141Setup.init_type = 0x40;
    PASSTHRU_MSG request = fast_init_request();
    // The echo of the request and the start indication come first.
    port.reads.push_back(frame(0x90, 2, 5, 0, with_checksum({0xC1, 0x33, 0xF1, 0x81})));
    port.reads.push_back(frame(0x90, 2, 0, 0x80));
    port.reads.push_back(frame(0x90, 2, 0, 0, with_checksum({0x83, 0xF1, 0x10, 0xC1, 0xEF, 0x8F})));
    // The caller may pass one record for both request and response.
    ASSERT_EQ(PassThruIoctl(4, FAST_INIT, &request, &request), STATUS_NOERROR) << last_error();
    EXPECT_EQ(request.DataSize, 6u);
    EXPECT_EQ(std::vector<uint8_t>(request.Data, request.Data + 6),
              (std::vector<uint8_t>{0x83, 0xF1, 0x10, 0xC1, 0xEF, 0x8F}));
    EXPECT_EQ(request.RxStatus, 0u);
    EXPECT_EQ(request.ProtocolID, 4u);

    const std::vector<Frame> sent = written_frames(port);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(block(sent[0]).init_type, 0x10);
    EXPECT_EQ(sent[1].dev, 0x90);
    EXPECT_EQ(sent[1].type, 5);
    EXPECT_EQ(sent[1].data, (std::vector<uint8_t>{0xC1, 0x33, 0xF1, 0x81}));
    EXPECT_EQ(ISO9141Setup.init_type, 0x00);
}

TEST_F(KLineInitTest, FastInitWithOnlyEchoesFails)
{
    PASSTHRU_MSG request = fast_init_request(), response{};
    port.reads.push_back(frame(0x90, 2, 5, 0, with_checksum({0xC1, 0x33, 0xF1, 0x81})));
    EXPECT_EQ(PassThruIoctl(4, FAST_INIT, &request, &response), ERR_FAILED);
    EXPECT_EQ(last_error(), "No response to FAST_INIT");
    EXPECT_EQ(response.DataSize, 0u);

    // The block goes whatever the channel; the write's refusal is the answer.
    port.writes.clear();
    EXPECT_EQ(PassThruIoctl(0, FAST_INIT, &request, &response), ERR_DEVICE_NOT_CONNECTED);
    const std::vector<Frame> sent = written_frames(port);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(block(sent[0]).init_type, 0x10);
}

TEST_F(KLineInitTest, InitialisationsEndWhenTheAdapterStopsTheChannel)
{
    // The K-line stop report clears channel 3: the five-baud wait ends with
    // the answer of a time-out at once instead of reading a gone channel for 5 s.
    port.reads.push_back(frame(0x90, 1, 0, 0));
    uint8_t keys[2] = {0xEE, 0xEE};
    const uint32_t before = clock.tick_count();
    ASSERT_EQ(five_baud(3, 0x33, keys), STATUS_NOERROR);
    EXPECT_LT(clock.tick_count() - before, 1000u);
    EXPECT_EQ(keys[0], 0);
    EXPECT_EQ(keys[1], 0);

    // A fast initialisation whose channel stops takes no response from the
    // refused reads: the caller's record stays as it was.
    connected({3});
    PASSTHRU_MSG request = fast_init_request(), response{};
    response.DataSize = 0x5A5A;
    port.reads.push_back(frame(0x90, 1, 0, 0));
    EXPECT_EQ(PassThruIoctl(3, FAST_INIT, &request, &response), ERR_FAILED);
    EXPECT_EQ(last_error(), "No response to FAST_INIT");
    EXPECT_EQ(response.DataSize, 0x5A5Au);
    EXPECT_FALSE(ChannelConnected(3));
}
