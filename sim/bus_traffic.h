/*
 * bus_traffic.h - builders of the frames the simulated adapter sends when
 * something happens on a bus: CAN and CAN FD frames, ISO 15765 messages cut
 * into transport frames, K-line messages in the adapter's pieces, key bytes,
 * start indications and receive overflow reports.
 *
 * They only build frames; a test hands them to Simulator::inject (or
 * inject_all below) once the library has found the adapter, so the search
 * never sees bus traffic.  Every builder takes the adapter time stamp the
 * frame should carry (1/256 ms) so tests choose it.
 */
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/frame.h"

namespace orvane::sim {

class Simulator;

// Flag bits of bus frames from the adapter.
constexpr uint8_t kCanFlagFd = 0x01;        // CAN FD frame
constexpr uint8_t kCanFlagBrs = 0x02;       // with bit-rate switch
constexpr uint8_t kCanFlag29Bit = 0x10;     // 29-bit identifier: 4 identifier bytes
constexpr uint8_t kCanFlagBusError = 0x40;  // bus error frame
constexpr uint8_t kKLineFlagKeyBytes = 0x40;
constexpr uint8_t kKLineFlagStart = 0x80;

// Received from another node: any type but 5 (the echo of an own transmission).
constexpr uint8_t kTypeReceived = JMSG_TYPE_PLAIN;

constexpr size_t kKLinePiece = 68;  // a piece this long is continued by the next

struct CanId {
    uint32_t id = 0x7E8;
    bool ext29 = false;  // 4 identifier bytes and the 29-bit flag; else 2 bytes
};

// A CAN frame from `dev` (0x10 or 0x30; 0x20 or 0x40 for echoes of ISO 15765
// transmissions): identifier bytes, most significant first, then `payload`.
Frame can_frame(uint8_t dev, CanId id, std::span<const uint8_t> payload, uint32_t ticks = 0,
                uint8_t flags = 0, uint8_t type = kTypeReceived);

struct IsoTpShape {
    uint8_t dev = JMSG_CAN;
    CanId id;
    std::optional<uint8_t> ext_addr;  // extended addressing byte behind the identifier
    size_t frame_length = 8;          // data bytes behind the identifier (8, or up to 64 for FD)
    std::optional<uint8_t> pad =
        0xCC;           // pad every frame to frame_length; none: frames end at their data
    uint8_t flags = 0;  // e.g. kCanFlagFd | kCanFlagBrs
    uint8_t type = kTypeReceived;  // JMSG_TYPE_DATA for echoes
    uint32_t ticks = 0;            // time stamp of the first frame
    uint32_t ticks_step = 0;       // added for each following frame
};

// `payload` as an ISO 15765-2 sender cuts it: a single frame (the escape
// form above 8-byte frames), or a first frame (12-bit length up to 4095,
// else the 32-bit escape) and consecutive frames numbered 1 to 15, 0, 1 ...
std::vector<Frame> iso15765_frames(const IsoTpShape &shape, std::span<const uint8_t> payload);

// The 8-bit sum of `bytes`, the K-line checksum.
uint8_t kline_checksum(std::span<const uint8_t> bytes);

// A K-line message (checksum included if the test wants one) in pieces of
// 68 bytes and a shorter last piece; a message whose length is a multiple
// of 68 ends with an empty piece.  All pieces carry `ticks`.
std::vector<Frame> kline_frames(std::span<const uint8_t> message, uint32_t ticks = 0,
                                uint8_t type = kTypeReceived);

Frame kline_key_bytes(uint8_t key1, uint8_t key2, uint8_t address, uint32_t ticks = 0);
Frame kline_start_indication(uint32_t ticks = 0);

// The adapter's report that it lost frames of bus device `dev`.
Frame overflow_report(uint8_t dev);

// Injects the frames in order, as one stream.
void inject_all(Simulator &sim, const std::vector<Frame> &frames);

}  // namespace orvane::sim
