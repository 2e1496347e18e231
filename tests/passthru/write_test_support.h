// write_test_support.h - messages, a driven clock and the decoding of what
// the library wrote, for the tests of the writing side; channel_helpers.h
// builds its messages here too.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "j2534.h"
#include "platform/ticks.h"
#include "sim/frame.h"
#include "tests/passthru/payload_helpers.h"

namespace tenq_test {

// A clock that moves only when asked: each tick_count() call advances it by
// `step` ms, and sleeps add to it (and are summed).
class SteppingClock : public platform::Clock {
  public:
    explicit SteppingClock(uint32_t step = 0) : step_(step) { platform::set_clock(this); }
    ~SteppingClock() override { platform::set_clock(nullptr); }
    uint32_t tick_count() override
    {
        now_ += step_;
        return now_;
    }
    void sleep_ms(uint32_t ms) override
    {
        now_ += ms;
        slept += ms;
    }
    uint32_t slept = 0;

  private:
    uint32_t step_;
    uint32_t now_ = 1000;
};

// A message record with `data` and the given flags; the rest zero.
inline PASSTHRU_MSG make_msg(uint32_t protocol, uint32_t tx_flags, const std::vector<uint8_t> &data,
                             uint32_t extra_data_index = 0)
{
    PASSTHRU_MSG m;
    std::memset(&m, 0, sizeof m);
    m.ProtocolID = protocol;
    m.TxFlags = tx_flags;
    m.DataSize = static_cast<uint32_t>(data.size());
    m.ExtraDataIndex = extra_data_index;
    if (!data.empty())
        std::memcpy(m.Data, data.data(), data.size());
    return m;
}

// Identifier bytes, then `payload_size` bytes counting up from `first`.
inline std::vector<uint8_t> id_and_payload(const std::vector<uint8_t> &id, size_t payload_size,
                                           uint8_t first = 0)
{
    return bytes_of({id, counting(payload_size, first)});
}

// Every frame in a byte stream, cut by the simulator's own codec.
inline std::vector<orvane::sim::Frame> decode_all(const std::vector<uint8_t> &bytes)
{
    orvane::sim::FrameCutter cutter;
    cutter.feed(bytes);
    std::vector<orvane::sim::Frame> out;
    while (auto f = cutter.next())
        out.push_back(*f);
    return out;
}

// A heap array of `n` records: 4 KB each is too much for the stack.
inline std::unique_ptr<PASSTHRU_MSG[]> msg_array(size_t n, const PASSTHRU_MSG &each)
{
    std::unique_ptr<PASSTHRU_MSG[]> a(new PASSTHRU_MSG[n]);
    for (size_t i = 0; i < n; ++i)
        a[i] = each;
    return a;
}

}  // namespace tenq_test
