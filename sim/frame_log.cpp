/*
 * frame_log.cpp - the received-frame log.  Owns only its own entries.
 */
#include "sim/frame_log.h"

namespace orvane::sim {

void FrameLog::append(LoggedFrame entry)
{
    {
        std::lock_guard lock(mu_);
        entries_.push_back(std::move(entry));
    }
    changed_.notify_all();
}

void FrameLog::clear()
{
    std::lock_guard lock(mu_);
    entries_.clear();
}

size_t FrameLog::size() const
{
    std::lock_guard lock(mu_);
    return entries_.size();
}

std::vector<LoggedFrame> FrameLog::entries() const
{
    std::lock_guard lock(mu_);
    return entries_;
}

std::vector<Frame> FrameLog::frames() const
{
    std::lock_guard lock(mu_);
    std::vector<Frame> out;
    out.reserve(entries_.size());
    for (const auto &e : entries_)
        out.push_back(e.frame);
    return out;
}

bool FrameLog::wait_for_count(size_t count, std::chrono::milliseconds timeout) const
{
    return wait_until([count](const auto &entries) { return entries.size() >= count; }, timeout);
}

bool FrameLog::wait_until(const Predicate &done, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mu_);
    return changed_.wait_for(lock, timeout, [&] { return done(entries_); });
}

}  // namespace orvane::sim
