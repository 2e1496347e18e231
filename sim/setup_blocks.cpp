/*
 * setup_blocks.cpp - decoding the setup blocks.  No state.
 */
#include "sim/setup_blocks.h"

namespace orvane::sim {

namespace {

// Reads the block front to back, as the adapter's firmware does.
class Reader {
  public:
    explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint8_t u8() { return bytes_[pos_++]; }
    uint16_t u16()
    {
        const uint16_t v = static_cast<uint16_t>(bytes_[pos_] | (bytes_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    uint32_t u32()
    {
        const uint32_t lo = u16();
        return lo | (uint32_t{u16()} << 16);
    }

  private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

}  // namespace

std::optional<CanSetupBlock> decode_can_setup(std::span<const uint8_t> bytes)
{
    if (bytes.size() != kCanSetupBytes)
        return std::nullopt;
    Reader r(bytes);
    CanSetupBlock b{};
    b.baud_rate = r.u32();
    b.fd_baud_rate = r.u32();
    b.interframe_delay = r.u16();
    b.sample_point_percent = r.u8();
    b.sync_jump_width_percent = r.u8();
    b.block_size = r.u8();
    b.separation_time = r.u8();
    b.bs_tx = r.u8();
    b.stmin_tx = r.u8();
    b.wft_max = r.u8();
    b.tx_data_length = r.u8();
    b.termination = r.u8();
    b.pad_value = r.u8();
    return b;
}

std::optional<KLineSetupBlock> decode_kline_setup(std::span<const uint8_t> bytes)
{
    if (bytes.size() != kKLineSetupBytes)
        return std::nullopt;
    Reader r(bytes);
    KLineSetupBlock b{};
    b.baud_rate = r.u32();
    b.init_address = r.u8();
    b.init_type = r.u8();
    for (uint16_t *t :
         {&b.p1_min, &b.p1_max, &b.p2_min, &b.p2_max, &b.p3_min, &b.p3_max, &b.p4_min, &b.p4_max,
          &b.p5_min, &b.p5_max, &b.w0_min, &b.w0_max, &b.w1_min, &b.w1_max, &b.w2_min, &b.w2_max,
          &b.w3_min, &b.w3_max, &b.w4_min, &b.w4_max, &b.w5_min, &b.w5_max, &b.tini_l, &b.twup})
        *t = r.u16();
    b.parity = r.u8();
    b.data_bits = r.u8();
    return b;
}

}  // namespace orvane::sim
