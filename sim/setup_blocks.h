/*
 * setup_blocks.h - the setup blocks as the simulated adapter reads them:
 * the CAN controller block (20 bytes) and the K-line block (56 bytes),
 * fields in order, multi-byte fields least significant byte first.  Kept
 * apart from the library's own encoder, so a test that compares the two
 * catches a field written in the wrong place.
 */
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace orvane::sim {

constexpr size_t kCanSetupBytes = 20;
constexpr size_t kKLineSetupBytes = 56;

// K-line init_type bits.
constexpr uint8_t kInitFast = 0x10;
constexpr uint8_t kInitFiveBaud = 0x20;

struct CanSetupBlock {
    uint32_t baud_rate;
    uint32_t fd_baud_rate;
    uint16_t interframe_delay;
    uint8_t sample_point_percent;
    uint8_t sync_jump_width_percent;
    uint8_t block_size;
    uint8_t separation_time;
    uint8_t bs_tx;
    uint8_t stmin_tx;
    uint8_t wft_max;
    uint8_t tx_data_length;
    uint8_t termination;
    uint8_t pad_value;
};

struct KLineSetupBlock {
    uint32_t baud_rate;
    uint8_t init_address;
    uint8_t init_type;
    uint16_t p1_min, p1_max, p2_min, p2_max, p3_min, p3_max, p4_min, p4_max, p5_min, p5_max;
    uint16_t w0_min, w0_max, w1_min, w1_max, w2_min, w2_max, w3_min, w3_max, w4_min, w4_max;
    uint16_t w5_min, w5_max;
    uint16_t tini_l;
    uint16_t twup;
    uint8_t parity;
    uint8_t data_bits;
};

// Nothing unless `bytes` has exactly the block's size.
std::optional<CanSetupBlock> decode_can_setup(std::span<const uint8_t> bytes);
std::optional<KLineSetupBlock> decode_kline_setup(std::span<const uint8_t> bytes);

}  // namespace orvane::sim
