// Writing, versions and the programming voltage through the built library,
// as an application calls them, against the simulated adapter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "sim/sim_fixture.h"
#include "tests/passthru/library_loader.h"
#include "tests/passthru/write_test_support.h"

using namespace std::chrono_literals;
using orvane::sim::Frame;
using tenq_test::id_and_payload;
using tenq_test::Library;
using tenq_test::make_msg;

namespace {

class WriteE2eTest : public orvane::sim::SimFixture {
  protected:
    orvane::sim::Simulator &open_adapter()
    {
        auto &sim = start_sim(7);
        EXPECT_EQ(lib.Open("COM7", &device), STATUS_NOERROR);
        return sim;
    }
    Library lib;
    uint32_t device = 0;
};

}  // namespace

TEST_F(WriteE2eTest, BlockingWriteReturnsWithItsEchoReadable)
{
    auto &sim = open_adapter();
    uint32_t channel = 0;
    ASSERT_EQ(lib.Connect(device, CAN, 0, 500000, &channel), STATUS_NOERROR);
    sim.set_loopback(true);

    PASSTHRU_MSG m = make_msg(CAN, BLOCKING_WRITE, {0, 0, 0x07, 0xE0, 1, 2, 3, 4});
    const PASSTHRU_MSG copy = m;
    uint32_t n = 1;
    ASSERT_EQ(lib.WriteMsgs(channel, &m, &n, 100), STATUS_NOERROR);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(std::memcmp(&m, &copy, sizeof m), 0);

    // The echo came before the barrier's answer: it is there at once.
    PASSTHRU_MSG rx;
    n = 1;
    ASSERT_EQ(lib.ReadMsgs(channel, &rx, &n, 0), STATUS_NOERROR);
    ASSERT_EQ(n, 1u);
    EXPECT_EQ(rx.RxStatus & TX_MSG_TYPE, uint32_t{TX_MSG_TYPE});
    EXPECT_EQ(rx.DataSize, 8u);
    EXPECT_EQ(std::vector<uint8_t>(rx.Data, rx.Data + 8),
              (std::vector<uint8_t>{0, 0, 0x07, 0xE0, 1, 2, 3, 4}));

    // ISO 15765 on the same controller: a segmented message goes out whole.
    uint32_t iso = 0;
    ASSERT_EQ(lib.Connect(device, ISO15765, 0, 500000, &iso), STATUS_NOERROR);
    m = make_msg(ISO15765, BLOCKING_WRITE | ISO15765_FRAME_PAD,
                 id_and_payload({0, 0, 0x07, 0xE0}, 19));
    n = 1;
    ASSERT_EQ(lib.WriteMsgs(iso, &m, &n, 0), STATUS_NOERROR);
    // Complete once the barrier was answered; the connect's frames come first.
    auto frames = sim.log().frames();
    const auto first = std::find_if(frames.begin(), frames.end(), [](const Frame &f) {
        return f.dev == 0x20 && f.op == 3 && f.type == 5;
    });
    frames.erase(frames.begin(), first);
    ASSERT_EQ(frames.size(), 5u) << ::testing::PrintToString(frames);
    EXPECT_EQ(frames[0].data[2], 0x10);
    EXPECT_EQ(frames[2].flags, 0x80);
    EXPECT_EQ(frames[2].data.size(), 10u);  // 7E0, 22, the last 6 bytes and one pad byte
    EXPECT_EQ(frames[2].data.back(), 0xCC);
    EXPECT_EQ(frames[3], Frame(0x20, 3, 0, {}, 0x20));
    EXPECT_EQ(frames[4], Frame(0xF0, 2, 13));

    // A message the frames cannot carry.
    m = make_msg(CAN, 0, {0, 0, 7});
    n = 1;
    EXPECT_EQ(lib.WriteMsgs(channel, &m, &n, 0), ERR_INVALID_MSG);
    EXPECT_EQ(n, 0u);
    EXPECT_NE(lib.last_error().find("PassThruWriteMsgs"), std::string::npos);
}

TEST_F(WriteE2eTest, VersionVoltageErrorTextAndPointer)
{
    auto &sim = open_adapter();
    char fw[80], dll[80], api[80];
    ASSERT_EQ(lib.ReadVersion(device, fw, dll, api), STATUS_NOERROR);
    EXPECT_STREQ(fw, "01.07");
    EXPECT_STREQ(dll, "02.06");
    EXPECT_STREQ(api, "04.04");
    EXPECT_EQ(lib.ReadVersion(device + 1, fw, dll, api), ERR_INVALID_DEVICE_ID);

    sim.log().clear();
    ASSERT_EQ(lib.SetProgrammingVoltage(device, 13, 5000), STATUS_NOERROR);
    ASSERT_TRUE(sim.log().wait_for_count(1, 5s));
    const Frame dac = sim.log().frames()[0];
    EXPECT_EQ(dac.dev, 0xC0);
    EXPECT_EQ(std::vector<uint8_t>(dac.data.begin(), dac.data.begin() + 3),
              (std::vector<uint8_t>{0x88, 0x13, 0x0D}));
    EXPECT_EQ(sim.outputs().prog_voltage->millivolts, 5000);
    EXPECT_EQ(lib.SetProgrammingVoltage(device, 13, 5001), ERR_EXCEEDED_LIMIT);
    EXPECT_EQ(lib.last_error(), "PassThruSetProgrammingVoltage voltage exceeded limit");
    EXPECT_EQ(lib.SetProgrammingVoltage(device, 12, 5000), ERR_NOT_SUPPORTED);
    EXPECT_EQ(lib.SetProgrammingVoltage(device, 17, 5000), ERR_PIN_INVALID);
    EXPECT_EQ(lib.SetProgrammingVoltage(device + 1, 13, 5000), ERR_INVALID_DEVICE_ID);

    EXPECT_EQ(lib.GetPointer(0x12345678), 0x12345678);
}
