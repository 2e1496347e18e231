/*
 * frame.h - the adapter's frame as the simulated adapter sees it.
 *
 * On the wire a frame is a 10-byte header {id, size, dev, op, flags, type,
 * 4 time-stamp bytes} followed by `size` data bytes, back to back with no
 * marker, checksum or escaping.  The simulator keeps its own small codec on
 * purpose: it is the peer that must notice when the library's codec is wrong,
 * so it shares no code with it.
 *
 * A simulated frame may carry up to 255 data bytes (the most the size byte
 * can say), because tests need frames that the real adapter never sends.
 */
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace orvane::sim {

constexpr size_t kHeaderSize = 10;
constexpr size_t kMaxData = 68;       // most the adapter sends and the library stores
constexpr size_t kMaxWireData = 255;  // most the size byte can announce

// Device codes.
constexpr uint8_t JMSG_CAN = 0x10;         // CAN controller 1
constexpr uint8_t JMSG_ISO15765 = 0x20;    // ISO 15765 on controller 1
constexpr uint8_t JMSG_MSCAN = 0x30;       // CAN controller 2
constexpr uint8_t JMSG_MSISO15765 = 0x40;  // ISO 15765 on controller 2
constexpr uint8_t JMSG_ISO9141 = 0x90;     // K-line
constexpr uint8_t JMSG_ADC = 0xB0;         // analogue inputs
constexpr uint8_t JMSG_DAC = 0xC0;         // programming voltage
constexpr uint8_t JMSG_DIO = 0xD0;         // digital inputs and outputs
constexpr uint8_t JMSG_MEM = 0xE0;         // memory and SD-card files
constexpr uint8_t JMSG_ADAPTER = 0xF0;     // the adapter itself
constexpr uint8_t JMSG_LCD = 0xF1;         // display
constexpr uint8_t JMSG_SECURITY = 0xF2;    // seed/key service

// Operation codes.
constexpr uint8_t JMSG_DEV_START = 0;
constexpr uint8_t JMSG_DEV_STOP = 1;  // also the adapter's stop report
constexpr uint8_t JMSG_DEV_READ = 2;  // queries, bus data, replies
constexpr uint8_t JMSG_DEV_WRITE = 3;
constexpr uint8_t JMSG_DEV_OPEN = 5;
constexpr uint8_t JMSG_DEV_CLOSE = 6;
constexpr uint8_t JMSG_DEV_DELETE = 7;

// Type codes.
constexpr uint8_t JMSG_TYPE_PLAIN = 0;
constexpr uint8_t JMSG_TYPE_MASK = 1;
constexpr uint8_t JMSG_TYPE_PATTERN = 2;
constexpr uint8_t JMSG_TYPE_FLOW = 3;
constexpr uint8_t JMSG_TYPE_PERIODIC = 4;
constexpr uint8_t JMSG_TYPE_DATA = 5;  // from the adapter: echo of a transmission
constexpr uint8_t JMSG_TYPE_SETUP = 7;
constexpr uint8_t JMSG_TYPE_DEVICE_INFO = 8;
constexpr uint8_t JMSG_TYPE_CLEAR = 12;
constexpr uint8_t JMSG_TYPE_VERSION = 13;
constexpr uint8_t JMSG_TYPE_RTC = 14;
constexpr uint8_t JMSG_TYPE_DIR = 15;

// Flag bits the adapter sets on its own reports.
constexpr uint8_t JMSG_FLAG_FAILED = 0x40;    // 0xE0 replies: the request failed
constexpr uint8_t JMSG_FLAG_OVERFLOW = 0x40;  // 0xF0 op 2: receive overflow report

inline uint32_t get_be32(std::span<const uint8_t, 4> p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

inline uint32_t get_le32(std::span<const uint8_t, 4> p)
{
    return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

inline void put_be32(std::span<uint8_t, 4> p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

inline void put_le32(std::span<uint8_t, 4> p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// One frame.  The size byte is not stored: it is always data.size(), so a
// frame built in a test cannot disagree with itself (use raw bytes for that).
struct Frame {
    Frame() = default;
    Frame(uint8_t dev_, uint8_t op_, uint8_t type_ = 0, std::vector<uint8_t> data_ = {},
          uint8_t flags_ = 0, uint8_t id_ = 0)
        : id(id_), dev(dev_), op(op_), flags(flags_), type(type_), data(std::move(data_))
    {
    }

    uint8_t id = 0;
    uint8_t dev = 0;
    uint8_t op = 0;
    uint8_t flags = 0;
    uint8_t type = 0;
    std::array<uint8_t, 4> timestamp{};
    std::vector<uint8_t> data;

    uint8_t size() const { return static_cast<uint8_t>(data.size()); }

    // From the adapter: 1/256 ms, most significant byte first.
    uint32_t timestamp_be() const { return get_be32(timestamp); }
    void set_timestamp_be(uint32_t ticks) { put_be32(timestamp, ticks); }
    // To the adapter: a periodic interval or time-out in ms, least significant first.
    uint32_t timestamp_le() const { return get_le32(timestamp); }
    void set_timestamp_le(uint32_t ms) { put_le32(timestamp, ms); }

    bool operator==(const Frame &) const = default;
};

// Wire bytes of `frame`.  Throws std::length_error above kMaxWireData bytes.
std::vector<uint8_t> encode(const Frame &frame);

// Appends the wire bytes of `frame` to `out`.
void encode_to(const Frame &frame, std::vector<uint8_t> &out);

// The frame at the start of `wire`, or nothing when `wire` does not yet hold
// all of it (a short header included).
std::optional<Frame> decode(std::span<const uint8_t> wire);

// Cuts a byte stream into frames.  It holds at most one incomplete frame.
class FrameCutter {
  public:
    void feed(std::span<const uint8_t> bytes);
    std::optional<Frame> next();
    // Bytes held that do not yet make a whole frame.
    size_t pending() const { return buf_.size() - pos_; }
    void clear();

  private:
    std::vector<uint8_t> buf_;
    size_t pos_ = 0;
};

// "id size dev op flags type ts0 ts1 ts2 ts3 : data..." in hex.
std::string to_hex(const Frame &frame);
std::string to_hex(std::span<const uint8_t> bytes);

// So that GoogleTest and logs print frames readably.
std::ostream &operator<<(std::ostream &os, const Frame &frame);

}  // namespace orvane::sim
