// The connection state behind the entry points, against the simulated
// adapter: serial numbers, remembered ports, long names.
#include <gtest/gtest.h>

#include <thread>

#include "j2534.h"
#include "passthru/debug.h"
#include "passthru/device_search.h"
#include "passthru/link/link.h"
#include "sim/sim_fixture.h"
#include "tests/passthru/fake_port.h"
#include "tests/passthru/registry_fixture.h"

using namespace std::chrono_literals;
using orvane::sim::Frame;

namespace {
class ConnectionStateTest : public orvane::sim::SimFixture {};
}  // namespace

TEST_F(ConnectionStateTest, SerialNumberIsNeverLeftFromAnotherAdapter)
{
    auto &sim = start_sim(7);
    sim.set_serial_number(0x01020304);
    uint32_t id = 0;
    ASSERT_EQ(PassThruOpen("COM7", &id), 0);
    EXPECT_EQ(tenq::SerialNumber, 0x01020304u);
    ASSERT_EQ(PassThruClose(id), 0);

    // An adapter that does not answer the serial-number query.
    sim.set_handler(0xF0, 2, 8, nullptr);
    ASSERT_EQ(PassThruOpen("COM7", &id), 0);
    EXPECT_EQ(tenq::SerialNumber, 0u);
}

TEST_F(ConnectionStateTest, PortNamedEarlierIsSearchedAgainAfterClose)
{
    auto &other = start_sim(9);
    auto &sim = start_sim(7);
    uint32_t id = 0;
    ASSERT_EQ(PassThruOpen("COM7", &id), 0);
    ASSERT_EQ(PassThruClose(id), 0);
    sim.log().clear();
    ASSERT_EQ(PassThruOpen(nullptr, &id), 0);
    EXPECT_EQ(id, 7u);
    EXPECT_EQ(other.log().size(), 0u);
    EXPECT_EQ(sim.log().size(), 3u);
}

TEST_F(ConnectionStateTest, RememberedPortWithoutHandleIsReopenedByTheNextFrame)
{
    auto &sim = start_sim(7);
    uint32_t id = 0;
    ASSERT_EQ(PassThruOpen("COM7", &id), 0);
    // As after a reopen that failed in the link.
    tenq::Port().close(&tenq::hCommPort);
    tenq::hCommPort = -1;
    sim.log().clear();
    EXPECT_EQ(tenq::JmsgCheckConnection(), 0);
    EXPECT_EQ(sim.log().size(), 0u);
    tenq::MarkResponseWaiting();
    ASSERT_EQ(tenq::JmsgSendCmd(0xF0, 2, 13, 0, 0, nullptr, 0), 0);
    EXPECT_TRUE(tenq::JmsgWaitReply([] { return tenq::ResponseIs(2, 13); }));
    EXPECT_NE(tenq::hCommPort, -1);
    EXPECT_EQ(sim.log().frames(), (std::vector<Frame>{Frame(0xF0, 2, 13)}));
}

TEST_F(ConnectionStateTest, LongDeviceNameIsCutInTheDebugLine)
{
    start_sim(7);
    tenq_test::write_device_entry(root(), "Name=\"Orvane-FD\"\nDebug=dword:00000001\n");
    tenq_test::DebugListener listener;
    tenq::port = listener.port();
    std::string name = "COM7" + std::string(400, 'x');
    uint32_t id = 0;
    ASSERT_EQ(PassThruOpen(name.c_str(), &id), 0);
    EXPECT_EQ(id, 7u);
    std::vector<std::string> lines = listener.lines();
    auto it = std::find_if(lines.begin(), lines.end(), [](const std::string &l) {
        return l.find(" PassThruOpen(COM7") != std::string::npos;
    });
    ASSERT_NE(it, lines.end());
    const std::string text = it->substr(it->find("PassThruOpen"));
    EXPECT_EQ(text.size(), tenq::kDbgTextSize - 1);
    EXPECT_EQ(text, ("PassThruOpen(" + name).substr(0, tenq::kDbgTextSize - 1));
}
