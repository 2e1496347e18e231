// The simulator's transmit queue, on a clock and a terminal the test drives.
#include <gtest/gtest.h>

#include "sim/output_queue.h"

namespace orvane::sim {
namespace {

using namespace std::chrono_literals;
using TimePoint = OutputQueue::TimePoint;

// A terminal that takes at most `room` bytes until the test makes room.
struct FakeTerminal {
    std::vector<uint8_t> received;
    std::vector<size_t> writes;
    size_t room = SIZE_MAX;
    bool broken = false;

    OutputQueue::Writer writer()
    {
        return [this](const uint8_t *p, size_t len) -> ssize_t {
            if (broken)
                return -1;
            const size_t n = std::min(len, room);
            room -= n;
            if (n) {
                received.insert(received.end(), p, p + n);
                writes.push_back(n);
            }
            return static_cast<ssize_t>(n);
        };
    }
};

std::vector<uint8_t> bytes(size_t n, uint8_t first)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(first + i);
    return v;
}

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(OutputQueue, WritesInOrderAndResumesWhereAFullTerminalStopped)
{
    const TimePoint t0{1s};
    OutputQueue q;
    FakeTerminal term;
    term.room = 15;
    ASSERT_TRUE(q.push(bytes(10, 0), t0));
    ASSERT_TRUE(q.push(bytes(20, 100), t0));
    EXPECT_EQ(q.queued_bytes(), 30u);

    EXPECT_EQ(q.flush(t0, term.writer()).state, OutputQueue::State::Full);
    EXPECT_EQ(q.queued_bytes(), 15u);
    term.room = SIZE_MAX;
    EXPECT_EQ(q.flush(t0, term.writer()).state, OutputQueue::State::Empty);
    EXPECT_EQ(term.received, concat(bytes(10, 0), bytes(20, 100)));
    EXPECT_EQ(q.queued_bytes(), 0u);
}

TEST(OutputQueue, SplitWritesOneByteAtATime)
{
    OutputQueue q;
    FakeTerminal term;
    q.set_split(true);
    q.push(bytes(12, 1), TimePoint{});
    q.push(bytes(3, 50), TimePoint{});
    EXPECT_EQ(q.flush(TimePoint{1s}, term.writer()).state, OutputQueue::State::Empty);
    EXPECT_EQ(term.received, concat(bytes(12, 1), bytes(3, 50)));
    EXPECT_EQ(term.writes, std::vector<size_t>(15, 1));
}

TEST(OutputQueue, LateChunkHoldsBackEverythingBehindIt)
{
    const TimePoint t0{1s};
    OutputQueue q;
    FakeTerminal term;
    q.push(bytes(4, 0), t0 + 50ms);
    q.push(bytes(4, 10), t0);  // due earlier, but must not overtake

    auto r = q.flush(t0, term.writer());
    EXPECT_EQ(r.state, OutputQueue::State::Waiting);
    EXPECT_EQ(r.wake, t0 + 50ms);
    EXPECT_TRUE(term.received.empty());

    EXPECT_EQ(q.flush(t0 + 50ms, term.writer()).state, OutputQueue::State::Empty);
    EXPECT_EQ(term.received, concat(bytes(4, 0), bytes(4, 10)));
}

TEST(OutputQueue, PacingReleasesBytesAtTheLinkRate)
{
    const TimePoint t0{10s};
    OutputQueue q;
    FakeTerminal term;
    q.set_pacing(true);
    EXPECT_EQ(OutputQueue::link_time(1152), 100ms);  // 115200 baud, 10 bits a byte

    q.push(bytes(100, 0), t0);
    auto r = q.flush(t0, term.writer());
    EXPECT_EQ(r.state, OutputQueue::State::Waiting);
    EXPECT_EQ(r.wake, t0 + OutputQueue::link_time(1));
    EXPECT_TRUE(term.received.empty());

    r = q.flush(t0 + OutputQueue::link_time(10), term.writer());
    EXPECT_EQ(term.received.size(), 10u);
    EXPECT_EQ(r.state, OutputQueue::State::Waiting);
    EXPECT_EQ(r.wake, t0 + OutputQueue::link_time(10) + OutputQueue::link_time(1));

    EXPECT_EQ(q.flush(t0 + OutputQueue::link_time(100), term.writer()).state,
              OutputQueue::State::Empty);
    EXPECT_EQ(term.received, bytes(100, 0));

    // An idle line earns no credit: a chunk queued much later starts then.
    const TimePoint t1 = t0 + 5s;
    q.push(bytes(50, 0), t1);
    q.flush(t1 + OutputQueue::link_time(3), term.writer());
    EXPECT_EQ(term.received.size(), 103u);

    // Split and paced: still the link's rate, one write per byte.
    q.set_split(true);
    term.writes.clear();
    q.flush(t1 + OutputQueue::link_time(8), term.writer());
    EXPECT_EQ(term.received.size(), 108u);
    EXPECT_EQ(term.writes, std::vector<size_t>(5, 1));
}

TEST(OutputQueue, PacedWaitSaysWhenItsByteEndsAChunk)
{
    const TimePoint t0{10s};
    OutputQueue q;
    FakeTerminal term;
    q.set_pacing(true);
    q.push(bytes(3, 0), t0);
    q.push(bytes(1, 9), t0);
    // Waits for bytes 1 to 4: only the third and the fourth end a chunk.
    std::vector<bool> ends;
    for (size_t sent = 0; sent < 4; ++sent) {
        const auto r = q.flush(t0 + OutputQueue::link_time(sent), term.writer());
        EXPECT_EQ(r.state, OutputQueue::State::Waiting);
        EXPECT_EQ(r.wake, t0 + OutputQueue::link_time(1) * (sent + 1));
        ends.push_back(r.ends_chunk);
    }
    EXPECT_EQ(ends, (std::vector<bool>{false, false, true, true}));
}

TEST(OutputQueue, BoundDropsWholeChunksAndAFailedWriterDiscards)
{
    OutputQueue q;
    EXPECT_TRUE(q.push(std::vector<uint8_t>(kMaxQueuedBytes - 10, 1), TimePoint{}));
    EXPECT_FALSE(q.push(std::vector<uint8_t>(11, 2), TimePoint{}));
    EXPECT_EQ(q.dropped_bytes(), 11u);
    EXPECT_TRUE(q.push(std::vector<uint8_t>(10, 3), TimePoint{}));
    EXPECT_EQ(q.queued_bytes(), kMaxQueuedBytes);

    FakeTerminal term;
    term.broken = true;
    EXPECT_EQ(q.flush(TimePoint{}, term.writer()).state, OutputQueue::State::Failed);
    EXPECT_EQ(q.queued_bytes(), 0u);
    EXPECT_EQ(q.flush(TimePoint{}, term.writer()).state, OutputQueue::State::Empty);
}

}  // namespace
}  // namespace orvane::sim
