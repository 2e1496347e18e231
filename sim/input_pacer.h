/*
 * input_pacer.h - the library-to-adapter direction of the paced link.
 *
 * The library writes to a pseudo-terminal, which takes its bytes at once; a
 * real adapter receives them at 115200 baud.  When pacing, the simulator
 * reads only a few bytes at a time and holds them for their time on the
 * line before it handles them, so the rest stays in the terminal and holds
 * the library's write back as the serial port would.  A write barrier is
 * then answered no earlier than the real link could deliver its frames.
 *
 * Time is an argument, so tests drive it.  Not thread safe: the simulator
 * holds its lock around every call.
 */
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orvane::sim {

// Bytes read from the terminal at a time while pacing: small enough that a
// frame waits little behind the bytes of the chunk it arrived in.
constexpr size_t kPacedReadBytes = 32;

class InputPacer {
  public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    void set_pacing(bool on) { pacing_ = on; }
    bool pacing() const { return pacing_; }

    // Most bytes to read from the terminal now, at most `capacity`: 0 while
    // held bytes are still on the line.
    size_t read_limit(size_t capacity) const;

    // Bytes just read at `now`.  Not pacing: returned at once.  Pacing:
    // held until their last byte has crossed the line; returns nothing.
    // A read that filled its limit left more bytes waiting in the terminal:
    // the line carries those on without a gap, however late the next read.
    std::vector<uint8_t> arrive(std::span<const uint8_t> bytes, TimePoint now);

    // When the held bytes have arrived; nothing when none are held.
    std::optional<TimePoint> due() const;

    // The held bytes once `now` has reached due(); otherwise nothing.
    std::vector<uint8_t> release(TimePoint now);

    void clear();

  private:
    bool pacing_ = false;
    std::vector<uint8_t> held_;
    TimePoint due_{};
    TimePoint line_free_{};  // when the line has carried every byte read so far
    bool backlog_ = false;   // the last read left bytes waiting in the terminal
};

}  // namespace orvane::sim
