// Adapter memory, clock and security relay through the built library
// against the simulated adapter.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "sim/adapter_clock.h"
#include "sim/adapter_memory.h"
#include "sim/security_service.h"
#include "tests/passthru/adapter_services_support.h"

using orvane::sim::AdapterClock;
using orvane::sim::AdapterMemory;
using orvane::sim::Context;
using orvane::sim::SecurityService;
using orvane::sim::ServiceMode;
using tenq_test::AdapterServicesTest;
using tenq_test::Frame;
using tenq_test::pattern;

namespace {

class AdapterMemoryClockTest : public AdapterServicesTest {};

std::vector<uint8_t> mem_rw(uint32_t address, uint32_t length)
{
    return {static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
            static_cast<uint8_t>(address >> 8),  static_cast<uint8_t>(address),
            static_cast<uint8_t>(length >> 24),  static_cast<uint8_t>(length >> 16),
            static_cast<uint8_t>(length >> 8),   static_cast<uint8_t>(length)};
}

Frame read_request(uint32_t address, uint32_t length, uint8_t flags)
{
    auto data = mem_rw(address, length);
    data.push_back(0);
    return Frame(0xE0, 2, 0, data, flags);
}

Frame write_request(uint32_t address, const std::vector<uint8_t> &bytes, size_t offset,
                    uint32_t length)
{
    auto data = mem_rw(address, length);
    data.insert(data.end(), bytes.begin() + offset, bytes.begin() + offset + length);
    return Frame(0xE0, 3, 0, data, 0x10);
}

}  // namespace

TEST_F(AdapterMemoryClockTest, MemoryRoundTripsInPiecesThatFitAFrame)
{
    const auto bytes = pattern(150, 3);
    ASSERT_EQ(lib().WriteMem(0x1000, 150, bytes.data(), 0), 0) << lib().last_error();
    EXPECT_EQ(sim().log().frames(), (std::vector<Frame>{write_request(0x1000, bytes, 0, 60),
                                                        write_request(0x103C, bytes, 60, 60),
                                                        write_request(0x1078, bytes, 120, 30)}));
    sim().with_memory([&](AdapterMemory &m) {
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), m.bytes.begin() + 0x1000));
    });

    sim().log().clear();
    std::vector<uint8_t> back(150, 0xEE);
    ASSERT_EQ(lib().ReadMem(0x1000, 150, back.data(), 0x105), 0) << lib().last_error();
    EXPECT_EQ(back, bytes);
    EXPECT_EQ(sim().log().frames(),
              (std::vector<Frame>{read_request(0x1000, 64, 0x05), read_request(0x1040, 64, 0x05),
                                  read_request(0x1080, 22, 0x05)}));

    sim().log().clear();
    const auto ten = pattern(10, 77);
    ASSERT_EQ(lib().WriteMem(0x20, 10, ten.data(), 0), 0);
    EXPECT_EQ(sim().log().frames(), (std::vector<Frame>{write_request(0x20, ten, 0, 10)}));
    EXPECT_EQ(sim().log().frames().at(0).data.size(), 18u);

    // Nothing to move: no frame, and no buffer needed.
    sim().log().clear();
    EXPECT_EQ(lib().ReadMem(0x20, 0, nullptr, 0), 0);
    EXPECT_EQ(lib().WriteMem(0x20, 0, nullptr, 0), 0);
    EXPECT_EQ(lib().ReadMem(0x20, 5, nullptr, 0), 4);
    EXPECT_EQ(lib().last_error(), "PassThruReadMem null parameter");
    EXPECT_EQ(lib().WriteMem(0x20, 5, nullptr, 0), 4);
    EXPECT_EQ(lib().last_error(), "PassThruWriteMem null parameter");
    EXPECT_EQ(sim().log().size(), 0u);
}

TEST_F(AdapterMemoryClockTest, ClockRoundTripsAsLaid)
{
    RTC_DAY_TIME set{};
    set.jdn = -5;
    set.year = 2031;
    set.month = 12;
    set.day = 31;
    set.hour = 23;
    set.min = 59;
    set.sec = 58;
    set.pad = 0xA5;
    ASSERT_EQ(lib().WriteRTC(&set), 0) << lib().last_error();
    const std::vector<uint8_t> wire{0xFB, 0xFF, 0xFF, 0xFF, 0xEF, 0x07, 12, 31, 23, 59, 58, 0xA5};
    EXPECT_EQ(sim().log().frames(), (std::vector<Frame>{Frame(0xF0, 3, 14, wire)}));
    sim().with_clock([&](AdapterClock &c) {
        EXPECT_TRUE(std::equal(wire.begin(), wire.end(), c.value.begin()));
    });

    RTC_DAY_TIME got{};
    ASSERT_EQ(lib().ReadRTC(&got), 0) << lib().last_error();
    EXPECT_EQ(std::memcmp(&got, &set, sizeof got), 0);

    EXPECT_EQ(lib().ReadRTC(nullptr), 4);
    EXPECT_EQ(lib().last_error(), "PassThruReadRTC null parameter");
    EXPECT_EQ(lib().WriteRTC(nullptr), 4);
    EXPECT_EQ(lib().last_error(), "PassThruWriteRTC null parameter");
}

TEST_F(AdapterMemoryClockTest, SecurityRelayReturnsTheAdaptersKey)
{
    std::array<uint8_t, 12> fixed;
    std::array<uint8_t, 16> seed;
    for (size_t i = 0; i < fixed.size(); ++i)
        fixed[i] = static_cast<uint8_t>(0x10 + i);
    for (size_t i = 0; i < seed.size(); ++i)
        seed[i] = static_cast<uint8_t>(0xC0 ^ i);
    std::array<uint8_t, 18> key;
    key.fill(0xEE);
    ASSERT_EQ(lib().Security(3, fixed.data(), seed.data(), key.data()), 0) << lib().last_error();
    EXPECT_EQ(key, orvane::sim::security_key(3, fixed, seed));

    std::vector<uint8_t> request{3};
    request.insert(request.end(), fixed.begin(), fixed.end());
    request.insert(request.end(), seed.begin(), seed.end());
    request.resize(47, 0);
    EXPECT_EQ(sim().log().frames(), (std::vector<Frame>{Frame(0xF2, 2, 0, request)}));

    EXPECT_EQ(lib().Security(3, nullptr, seed.data(), key.data()), 4);
    EXPECT_EQ(lib().Security(3, fixed.data(), nullptr, key.data()), 4);
    EXPECT_EQ(lib().Security(3, fixed.data(), seed.data(), nullptr), 4);
    EXPECT_EQ(lib().last_error(), "PassThruSecurity null parameter");
    EXPECT_EQ(sim().log().size(), 1u);
}

TEST_F(AdapterMemoryClockTest, RefusalsFailCleanly)
{
    std::vector<uint8_t> buf(100);
    sim().with_memory([](AdapterMemory &m) { m.mode = ServiceMode::Refuse; });
    EXPECT_EQ(lib().ReadMem(0x1000, 100, buf.data(), 0), 7);
    EXPECT_EQ(lib().last_error(), "PassThruReadMem: Error");
    EXPECT_EQ(lib().WriteMem(0x1000, 100, buf.data(), 0), 7);
    EXPECT_EQ(lib().last_error(), "PassThruWriteMem: Error");
    sim().with_memory([](AdapterMemory &m) { m.mode = ServiceMode::Answer; });
    // Beyond the simulated area: the second piece is refused, the first done.
    EXPECT_EQ(lib().WriteMem(0xFFC0, 100, buf.data(), 0), 7);

    uint8_t fixed[12] = {}, seed[16] = {}, key[18];
    sim().with_security([](SecurityService &s) { s.mode = ServiceMode::Refuse; });
    EXPECT_EQ(lib().Security(1, fixed, seed, key), 7);
    EXPECT_EQ(lib().last_error(), "PassThruSecurity: Error");

    RTC_DAY_TIME rtc{};
    sim().with_clock([](AdapterClock &c) { c.mode = ServiceMode::Refuse; });
    EXPECT_EQ(lib().ReadRTC(&rtc), 7);
    EXPECT_EQ(lib().last_error(), "PassThruReadRTC: reply of 0 bytes, 12 expected");
    expect_link_in_step();
}

TEST_F(AdapterMemoryClockTest, ShortRepliesFailInsteadOfHandingOutStaleBytes)
{
    // A full reply first, so the reply slots hold bytes that must not come back.
    std::vector<uint8_t> buf(64);
    ASSERT_EQ(lib().ReadMem(0, 64, buf.data(), 0), 0);
    RTC_DAY_TIME rtc{};
    ASSERT_EQ(lib().ReadRTC(&rtc), 0);

    sim().set_handler(0xE0, 2, 0, [](const Frame &, Context &ctx) {
        ctx.reply(Frame(0xE0, 2, 0, std::vector<uint8_t>(10, 0x11)));
    });
    EXPECT_EQ(lib().ReadMem(0, 64, buf.data(), 0), 7);
    EXPECT_EQ(lib().last_error(), "PassThruReadMem: reply of 10 bytes, 64 expected");

    sim().set_handler(0xF2, 2, 0, [](const Frame &, Context &ctx) {
        ctx.reply(Frame(0xE0, 2, 0, std::vector<uint8_t>(17, 0x22)));
    });
    uint8_t fixed[12] = {}, seed[16] = {}, key[18];
    EXPECT_EQ(lib().Security(1, fixed, seed, key), 7);
    EXPECT_EQ(lib().last_error(), "PassThruSecurity: reply of 17 bytes, 18 expected");

    sim().set_handler(0xF0, 2, 14, [](const Frame &, Context &ctx) {
        ctx.reply(Frame(0xF0, 2, 14, std::vector<uint8_t>(11, 0x33)));
    });
    EXPECT_EQ(lib().ReadRTC(&rtc), 7);
    EXPECT_EQ(lib().last_error(), "PassThruReadRTC: reply of 11 bytes, 12 expected");
    expect_link_in_step();
}
