// Connect, filters and periodic messages when the adapter cannot be written
// to: what fails, what is only logged, and what stays unchanged.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/device_search.h"
#include "passthru/filter_table.h"
#include "passthru/periodic_msgs.h"
#include "tests/passthru/channel_helpers.h"
#include "tests/passthru/fake_port.h"

using tenq_test::FakePort;
using tenq_test::make_msg;

namespace {

class ChannelSendFailure : public ::testing::Test {
  protected:
    void SetUp() override
    {
        tenq::hCommPort = 42;
        tenq::CommPortNum = 7;
        tenq::ChannelStatus = 0;
        std::strcpy(tenq::LastError, "No Error");
    }

    // Every send is tried twice, the second time after reopening the port.
    void fail_sends(int sends)
    {
        for (int i = 0; i < 2 * sends; ++i)
            port.write_results.push_back({-1, 0});
    }

    FakePort port;
};

}  // namespace

TEST_F(ChannelSendFailure, StartFrameFailureLeavesTheChannelUnconnectedButSetupFailureDoesNot)
{
    uint32_t ch = 99;
    fail_sends(2);
    EXPECT_EQ(PassThruConnect(7, ISO15765, 0, 500000, &ch), ERR_FAILED);
    EXPECT_STREQ(tenq::LastError, "PassThruConnect: JmsgSendCmd returned 7");
    EXPECT_EQ(ch, 0u);
    EXPECT_FALSE(tenq::ChannelConnected(6));
    EXPECT_EQ(tenq::CANSetup.iso15765_pad_value, 0xCC);  // the block was set all the same

    fail_sends(1);
    EXPECT_EQ(PassThruConnect(7, ISO15765, 0, 500000, &ch), STATUS_NOERROR);
    EXPECT_STREQ(tenq::LastError, "Cannot set ISO1575 DATA_RATE");
    EXPECT_EQ(ch, 6u);
    EXPECT_TRUE(tenq::ChannelConnected(6));
}

TEST_F(ChannelSendFailure, ArgumentsAreRefusedBeforeAnythingIsSent)
{
    uint32_t ch = 99;
    EXPECT_EQ(PassThruConnect(7, CAN, 0, 500000, nullptr), ERR_NULL_PARAMETER);
    EXPECT_STREQ(tenq::LastError, "PassThruConnect null pointer to channel ID");
    std::strcpy(tenq::LastError, "No Error");
    EXPECT_EQ(PassThruConnect(8, CAN, 0, 500000, &ch), ERR_INVALID_DEVICE_ID);
    EXPECT_STREQ(tenq::LastError, "No Error");  // no line for a wrong device
    EXPECT_EQ(PassThruConnect(7, J1850PWM, 0, 10400, &ch), ERR_NOT_SUPPORTED);
    EXPECT_STREQ(tenq::LastError, "PassThruConnect protocol not supported");
    EXPECT_EQ(PassThruConnect(7, SPISO15765, 0, 500000, &ch), ERR_INVALID_PROTOCOL_ID);
    EXPECT_STREQ(tenq::LastError, "PassThruConnect invalid protocol ID (14)");
    EXPECT_EQ(ch, 0u);
    EXPECT_TRUE(port.writes.empty());

    EXPECT_EQ(PassThruDisconnect(7), ERR_DEVICE_NOT_CONNECTED);
    EXPECT_STREQ(tenq::LastError, "PassThruDisconnect invalid ChannelID (7)");
    tenq::ChannelStatus = tenq::ChannelBit(5);
    EXPECT_EQ(PassThruDisconnect(37), ERR_INVALID_CHANNEL_ID);
    EXPECT_STREQ(tenq::LastError, "PassThruDisconnect invalid channel ID");
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(ChannelSendFailure, FilterAndPeriodicSlotsStayFreeWhenTheirFramesCannotBeSent)
{
    uint32_t ch = 0;
    ASSERT_EQ(PassThruConnect(7, CAN, 0, 500000, &ch), STATUS_NOERROR);
    PASSTHRU_MSG m = make_msg(CAN, {0, 0, 7, 0xE8});
    uint32_t id = 1234;
    fail_sends(2);  // the receive clear (only logged), then the filter frames
    EXPECT_EQ(PassThruStartMsgFilter(ch, PASS_FILTER, &m, &m, nullptr, &id), ERR_FAILED);
    EXPECT_STREQ(tenq::LastError, "PassThruStartMsgFilter failed");
    EXPECT_EQ(id, 1234u);
    EXPECT_EQ(tenq::jmsg_filter_mask_msg[63].size, 0);

    fail_sends(1);
    EXPECT_EQ(PassThruStartPeriodicMsg(ch, &m, &id, 100), ERR_FAILED);
    EXPECT_STREQ(tenq::LastError, "PassThruStartPeriodicMsg failed");
    EXPECT_EQ(tenq::jmsg_periodic_msg[0].size, 0);
    EXPECT_EQ(id, 1234u);

    ASSERT_EQ(PassThruStartPeriodicMsg(ch, &m, &id, 100), STATUS_NOERROR);
    fail_sends(1);
    EXPECT_EQ(PassThruStopPeriodicMsg(ch, id), ERR_FAILED);
    EXPECT_EQ(tenq::jmsg_periodic_msg[id].size, 2);  // still running in the adapter

    fail_sends(2);  // the sweep's stop of that slot (ignored), then the device stop
    EXPECT_EQ(PassThruDisconnect(ch), ERR_FAILED);
    EXPECT_STREQ(tenq::LastError, "PassThruDisconnect: JmsgSendCmd returned 7");
    EXPECT_FALSE(tenq::ChannelConnected(5));
}

// Memory running out inside a call: the J2534 program gets a status and an
// error text, never the exception.
TEST_F(ChannelSendFailure, AnExceptionInsideACallBecomesErrFailedAndAnErrorLine)
{
    port.write_throws = true;
    uint32_t ch = 0;
    char text[3][80];
    const struct {
        const char *call;
        std::function<int32_t()> run;
    } calls[] = {
        {"PassThruConnect", [&] { return PassThruConnect(7, ISO15765, 0, 500000, &ch); }},
        {"PassThruDisconnect", [] { return PassThruDisconnect(5); }},
        {"PassThruReadVersion", [&] { return PassThruReadVersion(7, text[0], text[1], text[2]); }},
    };
    for (const auto &c : calls) {
        tenq::ChannelStatus = tenq::ChannelBit(5);
        EXPECT_EQ(c.run(), ERR_FAILED) << c.call;
        EXPECT_EQ(std::string(tenq::LastError), std::string(c.call) + ": std::bad_alloc");
    }
}
