// receive_records_fuzz.cpp - arbitrary frames from the adapter through the
// record builders: ISO 15765 reassembly under arbitrary flow-control
// filters, K-line joining and CAN records.  Every record must stay within
// its 4128 data bytes and hold no more bytes than arrived.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/filter_table.h"
#include "passthru/options.h"
#include "passthru/receive/can_rx.h"
#include "passthru/receive/iso15765_rx.h"
#include "passthru/receive/kline_rx.h"

namespace {

class Input {
  public:
    Input(const uint8_t *data, size_t size) : data_(data), left_(size) {}
    bool empty() const { return left_ == 0; }
    uint8_t byte()
    {
        if (left_ == 0)
            return 0;
        --left_;
        return *data_++;
    }

  private:
    const uint8_t *data_;
    size_t left_;
};

void set_slot(int slot, uint8_t dev, uint32_t type, Input &in)
{
    tenq::JMSG &mask = tenq::jmsg_filter_mask_msg[slot];
    tenq::JMSG &pattern = tenq::jmsg_filter_pattern_msg[slot];
    std::memset(&mask, 0, sizeof mask);
    std::memset(&pattern, 0, sizeof pattern);
    mask.dev = pattern.dev = dev;
    mask.size = pattern.size = static_cast<uint8_t>(1 + in.byte() % 8);
    for (int i = 0; i < mask.size; ++i) {
        mask.data[i] = in.byte();
        pattern.data[i] = static_cast<uint8_t>(in.byte() & mask.data[i]);
    }
    tenq::jmsg_filter_flow_msg[slot].size = 5;
    tenq::jmsg_filter_type[slot] = type;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in(data, size);
    const uint8_t config = in.byte();
    tenq::can_mixed_format_flag = config & 1;
    tenq::last_segment_flag = (config >> 1) & 1;
    tenq::TimestampMsec = (config >> 2) & 1;
    tenq::ISO9141NoChecksum = (config >> 3) & 1;
    const uint32_t connect_flags = (config & 0x10)   ? CAN_ID_BOTH
                                   : (config & 0x20) ? CAN_29BIT_ID
                                                     : 0;
    tenq::CANSetup.iso15765_tx_data_length = in.byte();
    tenq::MSCANSetup.iso15765_tx_data_length = in.byte();

    // Each input starts with no message under way, so that the byte count
    // below covers every byte a record can hold.
    for (int s = 0; s < tenq::kFilterSlots; ++s) {
        tenq::ISO15765FlowState[s] = tenq::FlowState::Idle;
        tenq::MSISO15765FlowState[s] = tenq::FlowState::Idle;
    }
    std::memset(tenq::jmsg_filter_mask_msg, 0, sizeof tenq::jmsg_filter_mask_msg);
    std::memset(tenq::jmsg_filter_flow_msg, 0, sizeof tenq::jmsg_filter_flow_msg);
    static const uint8_t kDevs[] = {tenq::JMSG_ISO15765, tenq::JMSG_MSISO15765, tenq::JMSG_ISO9141};
    const int slots = in.byte() % 4;
    for (int s = 0; s < slots; ++s)
        set_slot(s, kDevs[in.byte() % 3], 1 + in.byte() % 3, in);

    std::vector<PASSTHRU_MSG> msgs(1 + in.byte() % 4);
    tenq::ReadTarget out{msgs.data(), static_cast<uint32_t>(msgs.size()), 0};
    msgs[0].DataSize = 0;
    size_t bytes_in = 0;  // data bytes of every frame fed

    while (!in.empty()) {
        tenq::JMSG frame;
        std::memset(&frame, 0, sizeof frame);
        const uint8_t kind = in.byte();
        frame.flags = in.byte();
        frame.type = (kind & 0x10) ? tenq::JMSG_TYPE_DATA : 0;
        frame.size = static_cast<uint8_t>(in.byte() % (tenq::kJmsgMaxData + 1));
        for (int i = 0; i < frame.size; ++i)
            frame.data[i] = in.byte();
        bytes_in += frame.size;

        const uint32_t before = out.delivered;
        switch (kind % 4) {
        case 0:
            frame.dev = tenq::JMSG_CAN;
            tenq::Iso15765ReceiveFrame(tenq::ISO15765Rx, connect_flags, frame, out);
            break;
        case 1:
            frame.dev = tenq::JMSG_MSCAN;
            tenq::Iso15765ReceiveFrame(tenq::MSISO15765Rx, connect_flags, frame, out);
            break;
        case 2:
            frame.dev = tenq::JMSG_ISO9141;
            tenq::KLineReceiveFrame(3, frame, out);
            break;
        default:
            frame.dev = tenq::JMSG_CAN;
            tenq::CanReceiveFrame(5, connect_flags, frame, out);
            break;
        }
        for (uint32_t i = before; i < out.delivered; ++i) {
            const PASSTHRU_MSG &m = msgs[i];
            // Four identifier bytes and an address byte may be made up; the
            // rest must have arrived.
            if (m.DataSize > PASSTHRU_MSG_DATA_SIZE || m.DataSize > bytes_in + 5 ||
                m.ExtraDataIndex > m.DataSize)
                __builtin_trap();
        }
        if (!out.has_room()) {
            out.delivered = 0;
            msgs[0].DataSize = 0;
        }
    }
    return 0;
}
