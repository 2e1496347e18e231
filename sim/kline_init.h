/*
 * kline_init.h - the K-line initialisations of the simulated adapter, run
 * when a K-line setup block asks for one in its init_type byte.
 *
 * Five-baud (0x20): the simulated ECU at once answers with its key bytes,
 * sent as the adapter's key-byte frame {0x90, op 2, flags 0x40, data: key
 * byte 1, key byte 2, the inverted address as the ECU returns it}.
 * Fast (0x10): the next K-line message the library writes is the request;
 * once its last piece is in, the adapter sends a start indication {0x90,
 * op 2, flags 0x80} and the ECU's response with its checksum byte (the sum
 * of the bytes modulo 256), as every K-line message arrives.
 *
 * The handlers wrap the ones already installed for the K-line setup block
 * and data frames, so the block is still recorded and the request still
 * echoed; install them after those.
 */
#pragma once

#include <cstdint>
#include <vector>

#include "sim/handlers.h"

namespace orvane::sim {

constexpr uint8_t kKLineKeyBytesFlag = 0x40;
constexpr uint8_t kKLineStartFlag = 0x80;
constexpr uint8_t kKLineMoreFlag = 0x20;  // library's pieces: the message goes on

struct KLineInit {
    uint8_t key_byte1 = 0x08;  // ISO 9141-2 key bytes
    uint8_t key_byte2 = 0x08;
    bool answer_five_baud = true;
    // StartCommunication positive response of an ISO 14230 ECU, without its
    // checksum; at most 67 bytes so that it travels in one frame.
    std::vector<uint8_t> fast_response{0x83, 0xF1, 0x10, 0xC1, 0xEF, 0x8F};
    bool answer_fast = true;

    int five_baud_inits = 0;
    std::vector<uint8_t> five_baud_addresses;
    bool fast_pending = false;
    std::vector<uint8_t> request;                     // pieces of the request so far
    std::vector<std::vector<uint8_t>> fast_requests;  // every complete fast-init request
};

void add_kline_init_handlers(HandlerTable &table, KLineInit &init);

}  // namespace orvane::sim
