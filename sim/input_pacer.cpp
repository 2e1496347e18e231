/*
 * input_pacer.cpp - holding received bytes for their time on the line.
 * Owns only the pacer it is given; the caller serialises access.
 */
#include "sim/input_pacer.h"

#include <algorithm>

#include "sim/output_queue.h"

namespace orvane::sim {

size_t InputPacer::read_limit(size_t capacity) const
{
    if (!pacing_)
        return capacity;
    return held_.empty() ? std::min(capacity, kPacedReadBytes) : 0;
}

std::vector<uint8_t> InputPacer::arrive(std::span<const uint8_t> bytes, TimePoint now)
{
    if (!pacing_)
        return {bytes.begin(), bytes.end()};
    // An idle line starts carrying the bytes when they are read; a busy one
    // after the bytes before them.  Bytes that were already waiting when the
    // line freed follow at once: the thread's wake-up delay is no gap on a
    // real line.
    const TimePoint start = backlog_ ? line_free_ : std::max(line_free_, now);
    line_free_ = start + OutputQueue::link_time(bytes.size());
    backlog_ = bytes.size() >= kPacedReadBytes;
    held_.insert(held_.end(), bytes.begin(), bytes.end());
    due_ = line_free_;
    return {};
}

std::optional<InputPacer::TimePoint> InputPacer::due() const
{
    if (held_.empty())
        return std::nullopt;
    return due_;
}

std::vector<uint8_t> InputPacer::release(TimePoint now)
{
    if (held_.empty() || now < due_)
        return {};
    std::vector<uint8_t> out;
    out.swap(held_);
    return out;
}

void InputPacer::clear()
{
    held_.clear();
    backlog_ = false;
}

}  // namespace orvane::sim
