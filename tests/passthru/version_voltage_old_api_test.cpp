// The older API variant: no DeviceID, and its own API version text.
#include <gtest/gtest.h>

#include "j2534.h"
#include "sim/sim_fixture.h"
#include "tests/passthru/write_test_support.h"

namespace {
class OldApiTest : public orvane::sim::SimFixture {};
}  // namespace

TEST_F(OldApiTest, VersionAndVoltageWithoutDeviceId)
{
    auto &sim = start_sim(7);
    uint32_t device = 0;
    ASSERT_EQ(PassThruOpen("COM7", &device), STATUS_NOERROR);
    char fw[80], dll[80], api[80];
    ASSERT_EQ(PassThruReadVersion(fw, dll, api), STATUS_NOERROR);
    EXPECT_STREQ(fw, "01.07");
    EXPECT_STREQ(dll, "02.06");
    EXPECT_STREQ(api, "02.02");

    tenq_test::SteppingClock clock;
    EXPECT_EQ(PassThruSetProgrammingVoltage(17, 1000), ERR_PIN_INVALID);
    EXPECT_EQ(PassThruSetProgrammingVoltage(13, 4200), STATUS_NOERROR);
    ASSERT_TRUE(sim.log().wait_until(
        [](const auto &log) { return !log.empty() && log.back().frame.dev == 0xC0; },
        std::chrono::seconds(5)));
    EXPECT_EQ(sim.outputs().prog_voltage->millivolts, 4200);
}
