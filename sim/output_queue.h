/*
 * output_queue.h - bytes on their way from the simulated adapter to the
 * library.
 *
 * The simulator must never block on a full pseudo-terminal (a library that
 * stops reading would otherwise freeze the thread that also has to read its
 * frames), so everything it sends goes through this queue, which writes what
 * the terminal accepts and keeps the rest.  The queue also models the
 * adapter's serial line when asked to: pacing at 115200 baud, one write per
 * byte, and answers that leave only after a delay.
 *
 * Time and the write itself are arguments, so tests drive them.  Not thread
 * safe: the simulator holds its lock around every call.
 */
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <sys/types.h>
#include <vector>

namespace orvane::sim {

// The adapter's link: 115200 baud, one start and one stop bit around 8 data bits.
constexpr uint64_t kLinkBaud = 115200;
constexpr uint64_t kLinkBitsPerByte = 10;

// Bound of the queue.  A library that does not read while a test keeps
// injecting would otherwise grow it without end; 8 MiB is over ten minutes
// of the real link, far beyond any test.  Past it whole chunks are dropped
// (and counted), never parts of one, so the stream stays cut at frame edges.
constexpr size_t kMaxQueuedBytes = 8u << 20;

class OutputQueue {
  public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;
    // Writes up to `len` bytes; returns the count written, 0 when the
    // terminal is full, -1 on any other error.
    using Writer = std::function<ssize_t(const uint8_t *bytes, size_t len)>;

    enum class State {
        Empty,    // nothing left to write
        Full,     // the terminal took nothing: wait until it is writable
        Waiting,  // the next byte may leave at `wake`
        Failed,   // the writer failed; the queue was discarded
    };
    struct Result {
        State state;
        TimePoint wake;
        // Paced: the byte due at `wake` is the last of its chunk, which
        // completes a frame for the reader; every moment it is late counts.
        bool ends_chunk = false;
    };

    // Queues `bytes` to leave no earlier than `due`, behind everything
    // already queued.  False (and nothing queued) past kMaxQueuedBytes.
    bool push(std::vector<uint8_t> bytes, TimePoint due);

    // Writes what may leave at `now`.
    Result flush(TimePoint now, const Writer &write);

    void set_pacing(bool on) { pacing_ = on; }
    void set_split(bool on) { split_ = on; }
    bool pacing() const { return pacing_; }
    bool split() const { return split_; }

    size_t queued_bytes() const { return queued_; }
    uint64_t dropped_bytes() const { return dropped_; }
    void clear();

    // Time the paced link needs for `count` bytes.
    static std::chrono::nanoseconds link_time(uint64_t count);

  private:
    struct Chunk {
        std::vector<uint8_t> bytes;
        size_t sent = 0;
        TimePoint due;
    };

    std::deque<Chunk> chunks_;
    size_t queued_ = 0;
    uint64_t dropped_ = 0;
    bool pacing_ = false;
    bool split_ = false;
    TimePoint line_free_{};  // when the paced line has sent all written bytes
};

}  // namespace orvane::sim
