// How long the SD-card, memory, clock and security functions wait for the
// adapter, on a test clock, against a scripted adapter that answers (or
// not) each serial write.  Nothing really waits.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "j2534.h"
#include "passthru/debug.h"
#include "passthru/device_search.h"
#include "passthru/link/link.h"
#include "passthru/services/adapter_clock.h"
#include "passthru/services/sdcard.h"
#include "platform/ticks.h"
#include "sim/sim_fixture.h"
#include "tests/passthru/fake_port.h"

using tenq_test::FakePort;
using tenq_test::frame;

namespace {

const std::vector<uint8_t> kMemAck = frame(0xE0, 2, 0, 0);

// A clock that moves 1 ms each time it is read and, as soon as the library
// has written its n-th frame or batch, puts the adapter's answer to it (if
// any) on the line, optionally `delay_ms` later.
class ScriptedAdapter : public platform::Clock {
  public:
    struct Answer {
        std::vector<uint8_t> bytes;
        uint32_t delay_ms = 0;
    };

    explicit ScriptedAdapter(FakePort &port) : port_(port) { platform::set_clock(this); }
    ~ScriptedAdapter() override { platform::set_clock(nullptr); }

    std::map<size_t, Answer> answers;  // by index of the write
    uint32_t now = 1000;

    uint32_t tick_count() override
    {
        ++now;
        for (; seen_ < port_.writes.size(); ++seen_) {
            if (auto it = answers.find(seen_); it != answers.end())
                pending_.emplace(now + it->second.delay_ms, it->second.bytes);
        }
        while (!pending_.empty() && pending_.begin()->first <= now) {
            port_.reads.push_back(pending_.begin()->second);
            pending_.erase(pending_.begin());
        }
        return now;
    }
    void sleep_ms(uint32_t ms) override { now += ms; }

  private:
    FakePort &port_;
    size_t seen_ = 0;
    std::multimap<uint32_t, std::vector<uint8_t>> pending_;
};

class ServiceReplyWaitsTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        tenq::hCommPort = 42;
        tenq::CommPortNum = 7;
        tenq::com_buf_len = 0;
        std::strcpy(tenq::LastError, "No Error");
    }

    // Runs `call` and returns how much test time it took.
    template <typename Call> uint32_t timed(Call call)
    {
        const uint32_t start = adapter.now;
        call();
        return adapter.now - start;
    }

    FakePort port;
    ScriptedAdapter adapter{port};
};

}  // namespace

TEST_F(ServiceReplyWaitsTest, ClockWriteWaitsThirtySecondsAndTheReadFifteen)
{
    const RTC_DAY_TIME rtc{};
    RTC_DAY_TIME got{};
    // An answer after 29 s still counts for the write, one after 16 s not for the read.
    adapter.answers[0] = {frame(0xF0, 3, 14, 0), 29000};
    EXPECT_EQ(PassThruWriteRTC(&rtc), 0);
    adapter.answers[1] = {frame(0xF0, 2, 14, 0, std::vector<uint8_t>(12, 1)), 16000};
    EXPECT_EQ(PassThruReadRTC(&got), 7);
    EXPECT_STREQ(tenq::LastError, "PassThruReadRTC: No response");

    uint32_t waited = timed([&] { EXPECT_EQ(PassThruWriteRTC(&rtc), 7); });
    EXPECT_STREQ(tenq::LastError, "PassThruWriteRTC: No response");
    EXPECT_GE(waited, 30000u);
    EXPECT_LT(waited, 30100u);
    waited = timed([&] { EXPECT_EQ(PassThruReadRTC(&got), 7); });
    EXPECT_GE(waited, 15000u);
    EXPECT_LT(waited, 15100u);
}

TEST_F(ServiceReplyWaitsTest, MemoryAndSecurityGiveUpAfterFifteenSeconds)
{
    uint8_t buf[8], fixed[12] = {}, seed[16] = {}, key[18];
    uint32_t waited = timed([&] { EXPECT_EQ(PassThruSecurity(1, fixed, seed, key), 7); });
    EXPECT_STREQ(tenq::LastError, "PassThruSecurity: Error");
    EXPECT_GE(waited, 15000u);
    EXPECT_LT(waited, 15100u);
    EXPECT_EQ(PassThruReadMem(0, 8, buf, 0), 7);
    EXPECT_STREQ(tenq::LastError, "PassThruReadMem: Error");
    EXPECT_EQ(PassThruWriteMem(0, 8, buf, 0), 7);
    EXPECT_STREQ(tenq::LastError, "PassThruWriteMem: Error");
    EXPECT_EQ(PassThruDeleteFile("A.LOG", 0), 7);
    EXPECT_STREQ(tenq::LastError, "PassThruDeleteFile: Error");
    char list[64];
    EXPECT_EQ(PassThruReadDir("*", list), 7);
    EXPECT_STREQ(tenq::LastError, "PassThruReadDir: No response");
    EXPECT_EQ(port.writes.size(), 5u);
}

TEST_F(ServiceReplyWaitsTest, IgnoredRepliesCostTheWaitButNotTheResult)
{
    const std::string pc = std::string(::testing::TempDir()) + "service_reply_waits.bin";
    std::FILE *f = std::fopen(pc.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("hello", f);
    std::fclose(f);

    // The delete before the write is not answered: 15 s, then on as usual.
    adapter.answers = {{1, {kMemAck}}, {2, {kMemAck}}, {3, {kMemAck}}};
    uint32_t waited = timed([&] { EXPECT_EQ(PassThruWriteFile(pc.c_str(), "HELLO.TXT", 0), 0); });
    EXPECT_GE(waited, 15000u);
    EXPECT_LT(waited, 15100u);
    ASSERT_EQ(port.writes.size(), 4u);

    // The close of a read is not answered.
    adapter.answers = {{4, {kMemAck}}, {5, {frame(0xE0, 2, 0, 0, {'h', 'i'})}}};
    waited = timed([&] { EXPECT_EQ(PassThruReadFile(pc.c_str(), "HELLO.TXT", 0), 0); });
    EXPECT_GE(waited, 15000u);
    EXPECT_LT(waited, 15100u);
    EXPECT_EQ(port.writes.size(), 7u);
    f = std::fopen(pc.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text, f), 2u);
    std::fclose(f);
    EXPECT_STREQ(text, "hi");
}

TEST_F(ServiceReplyWaitsTest, FirmwareCloseThatRestartsTheAdapterStillSucceeds)
{
    adapter.answers = {{0, {kMemAck}}, {1, {kMemAck}}, {2, {kMemAck}}};
    const uint8_t image[100] = {1, 2, 3};
    const uint32_t waited =
        timed([&] { EXPECT_EQ(PassThruUpdateFirmware(image, sizeof image), 0); });
    EXPECT_GE(waited, 15000u);
    EXPECT_LT(waited, 15100u);
    ASSERT_EQ(port.writes.size(), 4u);
    // Two frames in one write: 64 bytes, then 36 flagged as the batch's last.
    const auto &batch = port.writes[2];
    ASSERT_EQ(batch.size(), 10u + 64u + 10u + 36u);
    EXPECT_EQ(batch[4], 0x00);
    EXPECT_EQ(batch[74 + 4], 0x80);
}

TEST(ServiceWireFormats, ClockRecordRoundTripsLeastSignificantByteFirst)
{
    const struct {
        RTC_DAY_TIME rtc;
        std::vector<uint8_t> wire;
    } cases[] = {
        {{0, 0, 0, 0, 0, 0, 0, 0}, std::vector<uint8_t>(12, 0)},
        {{2460311, 2024, 1, 1, 0, 0, 0, 0}, {0x97, 0x8A, 0x25, 0x00, 0xE8, 0x07, 1, 1, 0, 0, 0, 0}},
        {{-1, 0xFFFF, 12, 31, 23, 59, 59, 0xFF},
         {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 12, 31, 23, 59, 59, 0xFF}},
    };
    for (const auto &c : cases) {
        uint8_t wire[12];
        tenq::RtcToWire(c.rtc, wire);
        EXPECT_EQ(std::vector<uint8_t>(wire, wire + 12), c.wire);
        RTC_DAY_TIME back{};
        tenq::RtcFromWire(wire, back);
        EXPECT_EQ(std::memcmp(&back, &c.rtc, sizeof back), 0);
    }
}

TEST(ServiceWireFormats, FileStepFramesCarryTheNameAndItsZero)
{
    EXPECT_TRUE(tenq::SdNameFits(std::string(67, 'x').c_str()));
    EXPECT_FALSE(tenq::SdNameFits(std::string(68, 'x').c_str()));
    EXPECT_TRUE(tenq::SdNameFits(""));

    const tenq::JMSG open = tenq::FileStepFrame(tenq::JMSG_DEV_OPEN, "A.LOG");
    EXPECT_EQ(open.size, 6);
    EXPECT_EQ(open.dev, 0xE0);
    EXPECT_EQ(open.op, 5);
    EXPECT_EQ(open.flags, 0);
    EXPECT_EQ(open.type, 0);
    EXPECT_EQ(std::memcmp(open.data, "A.LOG", 6), 0);
    const tenq::JMSG close = tenq::FileStepFrame(tenq::JMSG_DEV_CLOSE, nullptr);
    EXPECT_EQ(close.size, 0);
    EXPECT_EQ(close.op, 6);
}

namespace {

// Moves `step` ms each time it is read, so a wait for a silent adapter ends
// after a few polls of the real port.
class LeapingClock : public platform::Clock {
  public:
    explicit LeapingClock(uint32_t step) : step_(step) {}
    uint32_t tick_count() override { return now_ += step_; }
    void sleep_ms(uint32_t ms) override { now_ += ms; }

  private:
    uint32_t step_;
    uint32_t now_ = 0;
};

class ServiceRefusalSimTest : public orvane::sim::SimFixture {};

}  // namespace

TEST_F(ServiceRefusalSimTest, RefusedClockWriteAndSilentServicesFailWithoutRealWaits)
{
    auto &sim = start_sim(7);
    uint32_t id = 0;
    ASSERT_EQ(PassThruOpen("COM7", &id), 0);
    LeapingClock clock(500);
    platform::set_clock(&clock);

    RTC_DAY_TIME rtc{};
    rtc.year = 2030;
    sim.with_clock([](orvane::sim::AdapterClock &c) { c.mode = orvane::sim::ServiceMode::Refuse; });
    EXPECT_EQ(PassThruWriteRTC(&rtc), 7);
    EXPECT_STREQ(tenq::LastError, "PassThruWriteRTC: No response");
    sim.with_clock([](orvane::sim::AdapterClock &c) {
        EXPECT_EQ(c.value, orvane::sim::kClockStart);
        c.mode = orvane::sim::ServiceMode::Silent;
    });
    EXPECT_EQ(PassThruReadRTC(&rtc), 7);
    EXPECT_STREQ(tenq::LastError, "PassThruReadRTC: No response");

    sim.with_sd_card(
        [](orvane::sim::SdCard &card) { card.mode = orvane::sim::ServiceMode::Silent; });
    char list[64];
    EXPECT_EQ(PassThruReadDir("*", list), 7);
    EXPECT_STREQ(tenq::LastError, "PassThruReadDir: No response");
    sim.with_memory(
        [](orvane::sim::AdapterMemory &m) { m.mode = orvane::sim::ServiceMode::Silent; });
    uint8_t buf[4];
    EXPECT_EQ(PassThruReadMem(0, 4, buf, 0), 7);
    sim.with_security(
        [](orvane::sim::SecurityService &s) { s.mode = orvane::sim::ServiceMode::Silent; });
    uint8_t fixed[12] = {}, seed[16] = {}, key[18];
    EXPECT_EQ(PassThruSecurity(0, fixed, seed, key), 7);
    platform::set_clock(nullptr);
}
