// rx_test_support.h - frames, filter slots and record arrays for the tests
// of the receive side, which feed frames straight to the handlers.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/filter_table.h"
#include "passthru/link/jmsg.h"
#include "passthru/link/rings.h"
#include "passthru/options.h"
#include "passthru/receive/iso15765_rx.h"
#include "passthru/receive/rx_records.h"
#include "tests/passthru/payload_helpers.h"

namespace tenq_test {

// A frame as the device link stores it: data bytes past `size` are zero.
inline tenq::JMSG bus_frame(uint8_t dev, const std::vector<uint8_t> &data, uint8_t flags = 0,
                            uint8_t type = 0, uint32_t ticks = 0)
{
    tenq::JMSG f;
    std::memset(&f, 0, sizeof f);
    f.size = static_cast<uint8_t>(data.size());
    f.dev = dev;
    f.op = tenq::JMSG_DEV_READ;
    f.flags = flags;
    f.type = type;
    f.timestamp[0] = static_cast<uint8_t>(ticks >> 24);
    f.timestamp[1] = static_cast<uint8_t>(ticks >> 16);
    f.timestamp[2] = static_cast<uint8_t>(ticks >> 8);
    f.timestamp[3] = static_cast<uint8_t>(ticks);
    if (!data.empty())
        std::memcpy(f.data, data.data(),
                    data.size() < tenq::kJmsgMaxData ? data.size() : tenq::kJmsgMaxData);
    return f;
}

// A used filter slot with the mask and pattern bytes as the adapter frames
// carry them; flow-control slots get a flow frame.
inline void set_filter(int slot, uint32_t type, uint8_t dev, const std::vector<uint8_t> &mask,
                       const std::vector<uint8_t> &pattern)
{
    tenq::JMSG &m = tenq::jmsg_filter_mask_msg[slot];
    tenq::JMSG &p = tenq::jmsg_filter_pattern_msg[slot];
    tenq::JMSG &f = tenq::jmsg_filter_flow_msg[slot];
    std::memset(&m, 0, sizeof m);
    std::memset(&p, 0, sizeof p);
    std::memset(&f, 0, sizeof f);
    m.id = p.id = f.id = static_cast<uint8_t>(slot);
    m.dev = p.dev = f.dev = dev;
    m.size = static_cast<uint8_t>(mask.size());
    p.size = static_cast<uint8_t>(pattern.size());
    if (!mask.empty()) {
        std::memcpy(m.data, mask.data(), mask.size());
        std::memcpy(p.data, pattern.data(), pattern.size());
    }
    if (type == FLOW_CONTROL_FILTER) {
        f.size = static_cast<uint8_t>(mask.size() + 3);
        f.data[mask.size()] = 0x30;
    }
    tenq::jmsg_filter_type[slot] = type;
}

// Everything the receive side reads or keeps, as at load.
inline void reset_receive_state()
{
    std::memset(tenq::jmsg_filter_mask_msg, 0, sizeof tenq::jmsg_filter_mask_msg);
    std::memset(tenq::jmsg_filter_pattern_msg, 0, sizeof tenq::jmsg_filter_pattern_msg);
    std::memset(tenq::jmsg_filter_flow_msg, 0, sizeof tenq::jmsg_filter_flow_msg);
    std::memset(tenq::jmsg_filter_type, 0, sizeof tenq::jmsg_filter_type);
    std::memset(tenq::ConsecutivePCI, 0, sizeof tenq::ConsecutivePCI);
    std::memset(tenq::ISO15765FlowMsg, 0, sizeof tenq::ISO15765FlowMsg);
    std::memset(tenq::MSISO15765FlowMsg, 0, sizeof tenq::MSISO15765FlowMsg);
    for (int i = 0; i < tenq::kFilterSlots; ++i) {
        tenq::ISO15765FlowState[i] = tenq::FlowState::Idle;
        tenq::MSISO15765FlowState[i] = tenq::FlowState::Idle;
    }
    tenq::CANSetup.iso15765_tx_data_length = 8;
    tenq::MSCANSetup.iso15765_tx_data_length = 8;
    tenq::TimestampMsec = 0;
    tenq::last_segment_flag = 0;
    tenq::can_mixed_format_flag = 0;
    tenq::ISO9141NoChecksum = 0;
    for (tenq::RxRing *ring : {&tenq::CANBuffer, &tenq::ISO15765Buffer, &tenq::MSCANBuffer,
                               &tenq::MSISO15765Buffer, &tenq::ISO9141Buffer}) {
        tenq::RingReset(*ring);
        ring->Overflow = 0;
        ring->Flags = 0;
    }
    std::strcpy(tenq::LastError, "No Error");
}

// A caller's array of `room` records filled with a marker byte, so that a
// test sees every byte the reader wrote.
class Records {
  public:
    explicit Records(uint32_t room) : msgs_(room == 0 ? 1 : room), out_{msgs_.data(), room, 0}
    {
        std::memset(msgs_.data(), 0xA5, msgs_.size() * sizeof(PASSTHRU_MSG));
        if (room != 0)
            msgs_[0].DataSize = 0;
    }
    tenq::ReadTarget &out() { return out_; }
    uint32_t count() const { return out_.delivered; }
    const PASSTHRU_MSG &operator[](size_t i) const { return msgs_.at(i); }
    // Data bytes of record i within its DataSize.
    std::vector<uint8_t> data(size_t i) const
    {
        const PASSTHRU_MSG &m = msgs_.at(i);
        return std::vector<uint8_t>(m.Data, m.Data + m.DataSize);
    }

  private:
    std::vector<PASSTHRU_MSG> msgs_;
    tenq::ReadTarget out_;
};

inline std::string last_error()
{
    return tenq::LastError;
}

}  // namespace tenq_test
