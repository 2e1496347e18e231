// channel_sim_fixture.h - the library (linked statically, internals in
// reach) opened on a simulated adapter, with the filter and periodic
// tables, the setup blocks, the rings and the channel record empty, for the
// filter and periodic tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/filter_table.h"
#include "passthru/link/link.h"
#include "passthru/link/rings.h"
#include "passthru/periodic_msgs.h"
#include "sim/sim_fixture.h"
#include "tests/passthru/channel_helpers.h"

namespace tenq_test {

class ChannelSimTest : public orvane::sim::SimFixture {
  protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        std::memset(tenq::jmsg_filter_mask_msg, 0, sizeof tenq::jmsg_filter_mask_msg);
        std::memset(tenq::jmsg_filter_pattern_msg, 0, sizeof tenq::jmsg_filter_pattern_msg);
        std::memset(tenq::jmsg_filter_flow_msg, 0, sizeof tenq::jmsg_filter_flow_msg);
        std::memset(tenq::jmsg_filter_type, 0, sizeof tenq::jmsg_filter_type);
        std::memset(tenq::jmsg_periodic_msg, 0, sizeof tenq::jmsg_periodic_msg);
        std::memset(&tenq::CANSetup, 0, sizeof tenq::CANSetup);
        std::memset(&tenq::MSCANSetup, 0, sizeof tenq::MSCANSetup);
        std::memset(&tenq::ISO9141Setup, 0, sizeof tenq::ISO9141Setup);
        for (tenq::RxRing *ring : {&tenq::CANBuffer, &tenq::ISO15765Buffer, &tenq::MSCANBuffer,
                                   &tenq::MSISO15765Buffer, &tenq::ISO9141Buffer}) {
            tenq::RingReset(*ring);
            ring->Overflow = 0;
        }
        sim_ = &start_sim(7);
        ASSERT_EQ(PassThruOpen("COM7", &device_), 0);
        ASSERT_EQ(tenq::ChannelStatus, 0u);
    }

    void TearDown() override
    {
        PassThruClose(device_);
        SimFixture::TearDown();
    }

    uint32_t connect(uint32_t protocol, uint32_t flags = 0, uint32_t baud = 500000)
    {
        uint32_t channel = 0;
        EXPECT_EQ(PassThruConnect(device_, protocol, flags, baud, &channel), STATUS_NOERROR)
            << tenq::LastError;
        return channel;
    }

    // The simulator's log position once everything sent so far has arrived.
    size_t mark()
    {
        EXPECT_TRUE(sent_since(sim_->log().size()).has_value());
        return sim_->log().size();
    }

    // What the library sent from log position `from` on, up to a version
    // query sent now as a fence; nothing if the fence never arrives.
    std::optional<std::vector<orvane::sim::Frame>> sent_since(size_t from)
    {
        EXPECT_EQ(tenq::JmsgSendCmd(0xF0, 2, 13, 0, 0, nullptr, 0), 0);
        return frames_before_fence(*sim_, from, orvane::sim::Frame(0xF0, 2, 13));
    }

    orvane::sim::Simulator &sim() { return *sim_; }
    std::string last_error() const { return tenq::LastError; }

    uint32_t device_ = 0;
    orvane::sim::Simulator *sim_ = nullptr;
};

}  // namespace tenq_test
