// Version texts, the programming voltage, the last-error text and the
// pointer helper, against the simulated adapter.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "j2534.h"
#include "passthru/debug.h"
#include "passthru/device_search.h"
#include "sim/sim_fixture.h"
#include "tests/passthru/write_test_support.h"

using namespace std::chrono_literals;
using orvane::sim::Frame;

namespace {

class VersionVoltageTest : public orvane::sim::SimFixture {
  protected:
    orvane::sim::Simulator &open_adapter()
    {
        auto &sim = start_sim(7);
        EXPECT_EQ(PassThruOpen("COM7", &device), STATUS_NOERROR);
        sim.log().clear();
        return sim;
    }
    uint32_t device = 0;
};

struct Texts {
    char fw[80], dll[80], api[80];
    Texts()
    {
        std::memset(fw, 'x', sizeof fw);
        std::memset(dll, 'x', sizeof dll);
        std::memset(api, 'x', sizeof api);
    }
    bool untouched() const { return fw[0] == 'x' && dll[0] == 'x' && api[0] == 'x'; }
};

}  // namespace

TEST_F(VersionVoltageTest, ReadVersionTexts)
{
    auto &sim = open_adapter();
    Texts t;
    ASSERT_EQ(PassThruReadVersion(device, t.fw, t.dll, t.api), STATUS_NOERROR);
    EXPECT_STREQ(t.fw, "01.07");  // the simulator's two-byte version
    EXPECT_STREQ(t.dll, "02.06");
    EXPECT_STREQ(t.api, "04.04");

    sim.set_version({16, 0, 3, 1});
    ASSERT_EQ(PassThruReadVersion(device, t.fw, t.dll, t.api), STATUS_NOERROR);
    EXPECT_STREQ(t.fw, "3.1.16.0");
    sim.set_version({5, 1, 2, 0});
    ASSERT_EQ(PassThruReadVersion(device, t.fw, t.dll, t.api), STATUS_NOERROR);
    EXPECT_STREQ(t.fw, "2.0.5.1");
    sim.set_version({2, 6});
    ASSERT_EQ(PassThruReadVersion(device, t.fw, t.dll, t.api), STATUS_NOERROR);
    EXPECT_STREQ(t.fw, "02.06");
    // Bytes print unsigned.
    sim.set_version({200, 255});
    ASSERT_EQ(PassThruReadVersion(device, t.fw, t.dll, t.api), STATUS_NOERROR);
    EXPECT_STREQ(t.fw, "200.255");

    // Refusals: null buffers, then a wrong DeviceID; neither sends a frame.
    sim.log().clear();
    Texts fresh;
    EXPECT_EQ(PassThruReadVersion(device, nullptr, fresh.dll, fresh.api), ERR_NULL_PARAMETER);
    EXPECT_STREQ(tenq::LastError, "PassThruReadVersion null parameter");
    EXPECT_EQ(PassThruReadVersion(99, nullptr, fresh.dll, fresh.api), ERR_NULL_PARAMETER);
    EXPECT_EQ(PassThruReadVersion(99, fresh.fw, fresh.dll, fresh.api), ERR_INVALID_DEVICE_ID);
    EXPECT_TRUE(fresh.untouched());
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(sim.log().size(), 0u);
}

TEST_F(VersionVoltageTest, ReadVersionWithoutAnswer)
{
    auto &sim = open_adapter();
    sim.set_silent(true);
    tenq_test::SteppingClock clock(250);
    Texts t;
    EXPECT_EQ(PassThruReadVersion(device, t.fw, t.dll, t.api), ERR_FAILED);
    EXPECT_STREQ(tenq::LastError, "PassThruReadVersion: No response");
    EXPECT_TRUE(t.untouched());
    EXPECT_TRUE(sim.log().wait_for_count(1, 5s));
    EXPECT_EQ(sim.log().frames()[0], Frame(0xF0, 2, 13));
}

TEST_F(VersionVoltageTest, ProgrammingVoltage)
{
    auto &sim = open_adapter();
    tenq_test::SteppingClock clock;
    ASSERT_EQ(PassThruSetProgrammingVoltage(device, 13, 5000), STATUS_NOERROR);
    EXPECT_EQ(clock.slept, 500u);  // the output settles before the call returns
    ASSERT_TRUE(sim.log().wait_for_count(1, 5s));
    const Frame f = sim.log().frames()[0];
    EXPECT_EQ(f.dev, 0xC0);
    EXPECT_EQ(f.op, 3);
    EXPECT_EQ(f.type, 7);
    EXPECT_EQ(f.flags, 0);
    ASSERT_EQ(f.data.size(), 4u);
    EXPECT_EQ(f.data[0], 0x88);
    EXPECT_EQ(f.data[1], 0x13);
    EXPECT_EQ(f.data[2], 13);
    ASSERT_TRUE(sim.outputs().prog_voltage);
    EXPECT_EQ(sim.outputs().prog_voltage->millivolts, 5000);
    EXPECT_EQ(sim.outputs().prog_voltage->pin, 13);

    // Both specials switch the output off.
    size_t seen = 1;
    for (uint32_t off : {SHORT_TO_GROUND, VOLTAGE_OFF}) {
        ASSERT_EQ(PassThruSetProgrammingVoltage(device, 13, 1234), STATUS_NOERROR);
        ASSERT_EQ(PassThruSetProgrammingVoltage(device, 13, off), STATUS_NOERROR);
        seen += 2;
        ASSERT_TRUE(sim.log().wait_for_count(seen, 5s));
        EXPECT_EQ(sim.log().frames().back().data, (std::vector<uint8_t>{0, 0, 13, 0})) << off;
        EXPECT_EQ(sim.outputs().prog_voltage->millivolts, 0) << off;
    }

    // Refusals, in the order pin range, pin, voltage, DeviceID; none sends.
    sim.log().clear();
    clock.slept = 0;
    struct Case {
        uint32_t device, pin, voltage;
        int32_t result;
        const char *text;
    };
    const Case cases[] = {
        {device, 13, 5001, ERR_EXCEEDED_LIMIT,
         "PassThruSetProgrammingVoltage voltage exceeded limit"},
        {device, 13, 18000, ERR_EXCEEDED_LIMIT,
         "PassThruSetProgrammingVoltage voltage exceeded limit"},
        {device, 13, 0xFFFFFFFD, ERR_EXCEEDED_LIMIT,
         "PassThruSetProgrammingVoltage voltage exceeded limit"},
        {device, 12, 1000, ERR_NOT_SUPPORTED,
         "PassThruSetProgrammingVoltage pin number not supported"},
        {device, 17, 1000, ERR_PIN_INVALID, "PassThruSetProgrammingVoltage invalid pin number"},
        {99, 17, 99999, ERR_PIN_INVALID, "PassThruSetProgrammingVoltage invalid pin number"},
        {99, 14, 1000, ERR_NOT_SUPPORTED, "PassThruSetProgrammingVoltage pin number not supported"},
        {99, 13, 99999, ERR_EXCEEDED_LIMIT, "PassThruSetProgrammingVoltage voltage exceeded limit"},
        {99, 13, 1000, ERR_INVALID_DEVICE_ID, "No Error"},
    };
    for (const Case &c : cases) {
        std::strcpy(tenq::LastError, "No Error");
        EXPECT_EQ(PassThruSetProgrammingVoltage(c.device, c.pin, c.voltage), c.result)
            << c.device << " " << c.pin << " " << c.voltage;
        EXPECT_STREQ(tenq::LastError, c.text);
    }
    EXPECT_EQ(clock.slept, 0u);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(sim.log().size(), 0u);
}

TEST(LastErrorText, CopiedWholeButNeverPastEightyCharacters)
{
    char text[100];
    ASSERT_EQ(PassThruGetLastError(text), STATUS_NOERROR);
    EXPECT_STREQ(text, "No Error");

    tenq::DbgMsg(tenq::DBG_ERROR, "something failed");
    ASSERT_EQ(PassThruGetLastError(text), STATUS_NOERROR);
    EXPECT_STREQ(text, "something failed");
    ASSERT_EQ(PassThruGetLastError(text), STATUS_NOERROR);  // reading does not clear it
    EXPECT_STREQ(text, "something failed");

    const std::string long_text(200, 'L');
    tenq::DbgMsg(tenq::DBG_ERROR, long_text.c_str());
    std::memset(text, '#', sizeof text);
    ASSERT_EQ(PassThruGetLastError(text), STATUS_NOERROR);
    EXPECT_EQ(std::string(text), std::string(79, 'L'));
    EXPECT_EQ(text[80], '#');  // the caller's 80 characters, terminator included

    EXPECT_EQ(PassThruGetLastError(nullptr), ERR_NULL_PARAMETER);
    ASSERT_EQ(PassThruGetLastError(text), STATUS_NOERROR);
    EXPECT_STREQ(text, "PassThruGetLastError null parameter");
}

TEST(GetPointer, HandsItsArgumentBack)
{
    EXPECT_EQ(PassThruGetPointer(0x12345678), 0x12345678);
    EXPECT_EQ(PassThruGetPointer(-1), -1);
    EXPECT_EQ(PassThruGetPointer(0), 0);
}
