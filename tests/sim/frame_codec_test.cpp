// The simulator's own codec, handler table and frame log.
#include <thread>

#include <gtest/gtest.h>

#include "sim/frame.h"
#include "sim/frame_log.h"
#include "sim/handlers.h"

namespace orvane::sim {
namespace {

Frame make(uint8_t dev, uint8_t op, uint8_t type, size_t size, uint8_t seed = 0)
{
    Frame f(dev, op, type, {}, static_cast<uint8_t>(seed ^ 0x5A), seed);
    f.set_timestamp_be(0x01020304u + seed);
    for (size_t i = 0; i < size; ++i)
        f.data.push_back(static_cast<uint8_t>(seed + i * 7));
    return f;
}

TEST(FrameCodec, EncodesHeaderFieldsInWireOrder)
{
    Frame f(0xF0, 2, 13, {0xAA, 0xBB}, 0x40, 3);
    f.set_timestamp_be(0x01020304);
    const std::vector<uint8_t> want{0x03, 0x02, 0xF0, 0x02, 0x40, 0x0D,
                                    0x01, 0x02, 0x03, 0x04, 0xAA, 0xBB};
    EXPECT_EQ(encode(f), want);
    EXPECT_EQ(f.timestamp_be(), 0x01020304u);
    EXPECT_EQ(f.timestamp_le(), 0x04030201u);
    f.set_timestamp_le(250);
    EXPECT_EQ((std::array<uint8_t, 4>{250, 0, 0, 0}), f.timestamp);

    f.data.assign(256, 0);
    EXPECT_THROW(encode(f), std::length_error);
}

TEST(FrameCodec, RoundTripsEverySize)
{
    for (size_t size : {0u, 1u, 2u, 12u, 67u, 68u, 69u, 100u, 255u}) {
        const Frame f = make(0x10, 2, 5, size, static_cast<uint8_t>(size));
        const auto wire = encode(f);
        ASSERT_EQ(wire.size(), kHeaderSize + size);
        EXPECT_EQ(wire[1], size);
        const auto back = decode(wire);
        ASSERT_TRUE(back) << size;
        EXPECT_EQ(*back, f);
        // One byte short of the frame is never a frame, a short header included.
        for (size_t cut = 0; cut < wire.size(); ++cut)
            EXPECT_FALSE(decode(std::span<const uint8_t>(wire).first(cut)))
                << size << " cut " << cut;
    }
}

TEST(FrameCodec, CutterDeliversTheSameFramesWhateverTheSplit)
{
    const std::vector<Frame> frames{make(0xF0, 2, 13, 2, 1), make(0x10, 3, 7, 0, 2),
                                    make(0x20, 2, 0, 100, 3), make(0x90, 2, 0, 68, 4)};
    std::vector<uint8_t> stream;
    for (const auto &f : frames)
        encode_to(f, stream);

    for (size_t split = 0; split <= stream.size(); ++split) {
        FrameCutter cutter;
        std::vector<Frame> got;
        cutter.feed(std::span<const uint8_t>(stream).first(split));
        while (auto f = cutter.next())
            got.push_back(*f);
        cutter.feed(std::span<const uint8_t>(stream).subspan(split));
        while (auto f = cutter.next())
            got.push_back(*f);
        EXPECT_EQ(got, frames) << "split at " << split;
        EXPECT_EQ(cutter.pending(), 0u);
    }

    FrameCutter bytewise;
    std::vector<Frame> got;
    for (size_t i = 0; i < stream.size(); ++i) {
        bytewise.feed(std::span<const uint8_t>(stream).subspan(i, 1));
        while (auto f = bytewise.next())
            got.push_back(*f);
    }
    EXPECT_EQ(got, frames);

    // A lone byte after a whole frame stays pending, and clear() drops it.
    FrameCutter tail;
    auto one = encode(frames[0]);
    one.push_back(0x00);
    tail.feed(one);
    EXPECT_TRUE(tail.next());
    EXPECT_FALSE(tail.next());
    EXPECT_EQ(tail.pending(), 1u);
    tail.clear();
    EXPECT_EQ(tail.pending(), 0u);
}

TEST(FrameCodec, HexDumpSeparatesHeaderAndData)
{
    EXPECT_EQ(to_hex(Frame(0xF0, 2, 13, {1, 7})), "00 02 F0 02 00 0D 00 00 00 00 : 01 07");
    EXPECT_EQ(to_hex(Frame(0xF0, 1)), "00 00 F0 01 00 00 00 00 00 00");
}

TEST(HandlerTable, ExactTypeBeatsWildcardAndOthersFallThrough)
{
    HandlerTable table;
    std::string hit;
    table.set(0xF0, 2, 13, [&](const Frame &, Context &) { hit = "version"; });
    table.set(0xF0, 2, HandlerTable::kAnyType, [&](const Frame &, Context &) { hit = "any"; });

    struct NullContext : Context {
        void reply(Frame) override {}
        uint32_t now_ticks() const override { return 0; }
    } ctx;
    auto run = [&](uint8_t dev, uint8_t op, uint8_t type) {
        hit.clear();
        const Frame f(dev, op, type);
        if (const Handler *h = table.find(f))
            (*h)(f, ctx);
        return hit;
    };
    EXPECT_EQ(run(0xF0, 2, 13), "version");
    EXPECT_EQ(run(0xF0, 2, 8), "any");
    EXPECT_EQ(run(0xF0, 3, 13), "");
    EXPECT_EQ(run(0xF1, 2, 13), "");
    EXPECT_EQ(run(0x10, 2, 13), "");  // no bleeding between key fields
    table.remove(0xF0, 2, HandlerTable::kAnyType);
    EXPECT_EQ(run(0xF0, 2, 8), "");
    EXPECT_EQ(run(0xF0, 2, 13), "version");
}

TEST(FrameLog, WaitsForFramesFromAnotherThread)
{
    FrameLog log;
    EXPECT_FALSE(log.wait_for_count(1, std::chrono::milliseconds(10)));
    std::thread writer([&] {
        for (uint8_t i = 0; i < 3; ++i)
            log.append({Frame(0xF0, 2, 0, {}, 0, i), i});
    });
    EXPECT_TRUE(log.wait_for_count(3, std::chrono::seconds(30)));
    writer.join();
    const auto frames = log.frames();
    ASSERT_EQ(frames.size(), 3u);
    for (uint8_t i = 0; i < 3; ++i)
        EXPECT_EQ(frames[i].id, i);
    EXPECT_TRUE(
        log.wait_until([](const auto &e) { return e.back().ticks == 2; }, std::chrono::seconds(1)));
    log.clear();
    EXPECT_EQ(log.size(), 0u);
}

}  // namespace
}  // namespace orvane::sim
