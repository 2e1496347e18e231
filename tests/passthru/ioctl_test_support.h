// ioctl_test_support.h - the I/O-control unit tests: the library linked
// statically behind a scripted port, a clock that moves on each reading,
// and the frames the library wrote, cut back into frames.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/device_search.h"
#include "passthru/options.h"
#include "platform/ticks.h"
#include "sim/frame.h"
#include "tests/passthru/fake_port.h"

namespace tenq_test {

// Every reading of the tick counter moves it on by `step` ms, so a wait of
// 15 s ends after a few hundred polls instead of 15 s.
class SteppingClock : public platform::Clock {
  public:
    explicit SteppingClock(uint32_t step) : step_(step) {}
    uint32_t tick_count() override { return now_ += step_; }
    void sleep_ms(uint32_t ms) override { now_ += ms; }

  private:
    uint32_t now_ = 0;
    uint32_t step_;
};

// The frames in the bytes the library wrote (the simulator's own codec).
inline std::vector<orvane::sim::Frame> written_frames(const FakePort &port)
{
    orvane::sim::FrameCutter cutter;
    const std::vector<uint8_t> bytes = port.all_written();
    cutter.feed(bytes);
    std::vector<orvane::sim::Frame> out;
    while (auto f = cutter.next())
        out.push_back(std::move(*f));
    EXPECT_EQ(cutter.pending(), 0u) << "a partial frame was written";
    return out;
}

inline SCONFIG_LIST config_list(std::vector<SCONFIG> &items)
{
    return SCONFIG_LIST{static_cast<uint32_t>(items.size()), items.data()};
}

// An open adapter on the scripted port, no channel connected, options and
// clock as at load.
class IoctlUnitTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        tenq::hCommPort = 42;
        tenq::CommPortNum = 7;
        tenq::ChannelStatus = 0;
        tenq::loopback_flag = 0;
        tenq::msg_trigger_flag = 0;
        tenq::bus_error_msgs_flag = 0;
        tenq::automatic_suspend_flag = 1;
        tenq::last_segment_flag = 0;
        tenq::can_mixed_format_flag = 0;
        tenq::TimestampMsec = 0;
        std::strcpy(tenq::LastError, "No Error");
    }

    void TearDown() override { platform::set_clock(nullptr); }

    void connected(std::initializer_list<uint32_t> channels)
    {
        for (uint32_t c : channels)
            tenq::ChannelStatus |= tenq::ChannelBit(c);
    }

    // Makes the next serial write fail, the link's reopen and retry included.
    void fail_next_write()
    {
        port.write_results.push_back({-1, 0});
        port.write_results.push_back({-1, 0});
    }

    std::string last_error() const { return tenq::LastError; }

    FakePort port;
};

}  // namespace tenq_test
