// Cutting the adapter's byte stream into frames, wherever reads split it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "passthru/link/frame_codec.h"
#include "tests/passthru/fake_port.h"

using tenq_test::frame;

namespace {

std::vector<uint8_t> sample_stream()
{
    std::vector<uint8_t> s;
    for (const auto &f :
         {frame(0xF0, 2, 13, 0, {0x02, 0x06}),
          frame(0x10, 2, 0, 0x10, {0x18, 0xDA, 0xF1, 0x10, 0x02, 0x3E, 0x00}), frame(0xF0, 1, 0, 0),
          frame(0x90, 2, 0, 0x80, std::vector<uint8_t>(68, 0xA5))})
        s.insert(s.end(), f.begin(), f.end());
    return s;
}

// Feed `stream` in two pieces split at `offset`, carrying the remainder as
// the link does, and collect every frame's header bytes and length.
std::vector<std::string> cut_in_two(const std::vector<uint8_t> &stream, size_t offset)
{
    std::vector<std::string> seen;
    auto visit = [&](std::span<const uint8_t> wire) {
        seen.push_back(std::to_string(wire[2]) + "/" + std::to_string(wire[3]) + "/" +
                       std::to_string(wire.size()));
    };
    std::vector<uint8_t> buf(stream.begin(), stream.begin() + static_cast<long>(offset));
    size_t used = tenq::CutFrames(buf, visit);
    buf.erase(buf.begin(), buf.begin() + static_cast<long>(used));
    buf.insert(buf.end(), stream.begin() + static_cast<long>(offset), stream.end());
    used = tenq::CutFrames(buf, visit);
    EXPECT_EQ(used, buf.size()) << "split at " << offset;
    return seen;
}

}  // namespace

TEST(FrameCutting, SameFramesWhereverTheStreamIsSplit)
{
    const std::vector<uint8_t> stream = sample_stream();
    const std::vector<std::string> whole = cut_in_two(stream, stream.size());
    ASSERT_EQ(whole.size(), 4u);
    EXPECT_EQ(whole[0], "240/2/12");
    EXPECT_EQ(whole[3], "144/2/78");
    for (size_t offset = 0; offset <= stream.size(); ++offset)
        EXPECT_EQ(cut_in_two(stream, offset), whole) << "split at " << offset;
}

TEST(FrameCutting, IncompleteRemaindersWaitWithoutReadingPastTheBuffer)
{
    int frames = 0;
    auto count = [&](std::span<const uint8_t>) { ++frames; };
    // A lone byte: the size byte is not there yet.
    std::vector<uint8_t> lone{0x00};
    EXPECT_EQ(tenq::CutFrames(std::span<const uint8_t>(lone), count), 0u);
    // A header that announces more data than has arrived.
    std::vector<uint8_t> partial = frame(0x10, 2, 0, 0, {1, 2, 3, 4});
    partial.pop_back();
    EXPECT_EQ(tenq::CutFrames(std::span<const uint8_t>(partial), count), 0u);
    EXPECT_EQ(frames, 0);
    // Two frames and the first 3 bytes of a third.
    std::vector<uint8_t> s = frame(0xF0, 2, 13, 0, {1, 2});
    auto second = frame(0xF0, 2, 8, 0, std::vector<uint8_t>(12, 7));
    s.insert(s.end(), second.begin(), second.end());
    const size_t two = s.size();
    s.insert(s.end(), {0, 5, 0x10});
    EXPECT_EQ(tenq::CutFrames(std::span<const uint8_t>(s), count), two);
    EXPECT_EQ(frames, 2);
}

TEST(FrameCutting, OversizedFramesAreSteppedOverByTheirLength)
{
    std::vector<uint8_t> s = frame(0x10, 2, 0, 0, std::vector<uint8_t>(200, 0x55));
    auto after = frame(0xF0, 2, 13, 0, {1, 2});
    s.insert(s.end(), after.begin(), after.end());
    std::vector<size_t> sizes;
    std::vector<bool> fits;
    size_t used = tenq::CutFrames(std::span<const uint8_t>(s), [&](std::span<const uint8_t> w) {
        sizes.push_back(w.size());
        fits.push_back(tenq::JmsgFits(w));
    });
    EXPECT_EQ(used, s.size());
    EXPECT_EQ(sizes, (std::vector<size_t>{210, 12}));
    EXPECT_EQ(fits, (std::vector<bool>{false, true}));
}

TEST(FrameDump, HeaderTimestampAndDataBytes)
{
    tenq::JMSG msg{};
    auto wire = frame(0xF0, 2, 13, 0x40, {0x02, 0x06, 0xAB}, 0x05, 0x01020304);
    tenq::JmsgFromWire(wire, msg);
    char text[240];
    tenq::FormatJmsgDump(msg, 68, text, sizeof text);
    EXPECT_STREQ(text, "05 03 F0 02 40 0D (01020304) 02 06 AB");
    tenq::FormatJmsgDump(msg, 2, text, sizeof text);
    EXPECT_STREQ(text, "05 03 F0 02 40 0D (01020304) 02 06");

    // A full frame fits the 240-character debug buffer; a small buffer is cut
    // and still terminated.
    tenq::JmsgFromWire(frame(0x10, 2, 0, 0, std::vector<uint8_t>(68, 0xFF)), msg);
    size_t len = tenq::FormatJmsgDump(msg, 68, text, sizeof text);
    EXPECT_EQ(len, std::string(text).size());
    EXPECT_EQ(len, 28u + 68u * 3u);
    char small[20];
    len = tenq::FormatJmsgDump(msg, 68, small, sizeof small);
    EXPECT_EQ(len, 19u);
    EXPECT_EQ(std::string(small).size(), 19u);
}
