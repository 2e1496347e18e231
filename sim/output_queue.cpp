/*
 * output_queue.cpp - the simulated adapter's transmit side.  Owns only the
 * queue it is given; the caller serialises access.
 */
#include "sim/output_queue.h"

#include <algorithm>

namespace orvane::sim {

std::chrono::nanoseconds OutputQueue::link_time(uint64_t count)
{
    return std::chrono::nanoseconds(count * kLinkBitsPerByte * 1'000'000'000u / kLinkBaud);
}

bool OutputQueue::push(std::vector<uint8_t> bytes, TimePoint due)
{
    if (bytes.empty())
        return true;
    if (queued_ + bytes.size() > kMaxQueuedBytes) {
        dropped_ += bytes.size();
        return false;
    }
    queued_ += bytes.size();
    chunks_.push_back(Chunk{std::move(bytes), 0, due});
    return true;
}

OutputQueue::Result OutputQueue::flush(TimePoint now, const Writer &write)
{
    while (!chunks_.empty()) {
        Chunk &c = chunks_.front();
        if (c.due > now)
            return {State::Waiting, c.due};
        size_t count = c.bytes.size() - c.sent;
        TimePoint start{};
        if (pacing_) {
            // The line is busy until its last byte is out, and an idle line
            // starts a chunk when it becomes due.  A byte reaches the reader
            // once its stop bit has gone.
            start = std::max(line_free_, c.due);
            const TimePoint first_done = start + link_time(1);
            if (now < first_done)
                return {State::Waiting, first_done, c.sent + 1 == c.bytes.size()};
            const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - start);
            if (elapsed < std::chrono::seconds(1)) {
                uint64_t done = static_cast<uint64_t>(elapsed.count()) * kLinkBaud /
                                (kLinkBitsPerByte * 1'000'000'000u);
                // link_time() rounds down, so the quotient may fall one short.
                if (link_time(done + 1) <= elapsed)
                    ++done;
                count = std::min<size_t>(count, done);
            }
        }
        if (split_)
            count = std::min<size_t>(count, 1);
        const ssize_t written = write(c.bytes.data() + c.sent, count);
        if (written < 0) {
            clear();
            return {State::Failed, now};
        }
        if (written == 0)
            return {State::Full, now};
        const auto n = static_cast<size_t>(written);
        if (pacing_)
            line_free_ = start + link_time(n);
        c.sent += n;
        queued_ -= n;
        if (c.sent == c.bytes.size())
            chunks_.pop_front();
    }
    return {State::Empty, now};
}

void OutputQueue::clear()
{
    chunks_.clear();
    queued_ = 0;
}

}  // namespace orvane::sim
