/*
 * frame_log.h - every frame the simulated adapter received, in order.
 *
 * Written by the simulator's thread after the frame was handled, so a test
 * that sees a frame in the log knows its answer (if any) is already queued.
 * Read from any thread.
 */
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "sim/frame.h"

namespace orvane::sim {

struct LoggedFrame {
    Frame frame;
    uint32_t ticks = 0;  // simulator time when it arrived, 1/256 ms
};

class FrameLog {
  public:
    using Predicate = std::function<bool(const std::vector<LoggedFrame> &)>;

    void append(LoggedFrame entry);
    void clear();

    size_t size() const;
    std::vector<LoggedFrame> entries() const;
    std::vector<Frame> frames() const;

    // True once the log holds at least `count` frames; false after `timeout`.
    bool wait_for_count(size_t count, std::chrono::milliseconds timeout) const;
    // True once `done` holds for the log; false after `timeout`.  `done` runs
    // with the log locked, so it must not call back into the log.
    bool wait_until(const Predicate &done, std::chrono::milliseconds timeout) const;

  private:
    mutable std::mutex mu_;
    mutable std::condition_variable changed_;
    std::vector<LoggedFrame> entries_;
};

}  // namespace orvane::sim
