// channel_helpers.h - building J2534 messages and waiting for the simulated
// adapter in the channel, filter and periodic tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

#include "j2534.h"
#include "sim/simulator.h"
#include "tests/passthru/write_test_support.h"

namespace tenq_test {

// The flags last, as most of these tests leave them zero.
inline PASSTHRU_MSG make_msg(uint32_t protocol, const std::vector<uint8_t> &data,
                             uint32_t tx_flags = 0)
{
    return make_msg(protocol, tx_flags, data);
}

inline std::vector<uint8_t> msg_bytes(const PASSTHRU_MSG &msg, uint32_t count)
{
    return std::vector<uint8_t>(msg.Data, msg.Data + count);
}

// Waits until `done()` holds; false if it never does within `timeout`.
// The simulator handles frames on its own thread, so its state follows the
// library's calls a little later.
template <typename Done>
bool eventually(Done done, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Frames the simulator received after the first `from` of its log, once the
// log holds `fence` (a frame sent last, which marks that everything sent
// before it has arrived); nothing if the fence never comes.
inline std::optional<std::vector<orvane::sim::Frame>>
frames_before_fence(orvane::sim::Simulator &sim, size_t from, const orvane::sim::Frame &fence)
{
    const bool arrived = sim.log().wait_until(
        [&](const std::vector<orvane::sim::LoggedFrame> &log) {
            for (size_t i = from; i < log.size(); ++i) {
                if (log[i].frame == fence)
                    return true;
            }
            return false;
        },
        std::chrono::seconds(10));
    if (!arrived)
        return std::nullopt;
    std::vector<orvane::sim::Frame> out;
    const std::vector<orvane::sim::Frame> all = sim.log().frames();
    for (size_t i = from; i < all.size() && !(all[i] == fence); ++i)
        out.push_back(all[i]);
    return out;
}

}  // namespace tenq_test
