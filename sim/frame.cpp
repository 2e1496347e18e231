/*
 * frame.cpp - the simulator's frame encoder and cutter.  Owns no global state.
 */
#include "sim/frame.h"

#include <cstdio>
#include <stdexcept>

namespace orvane::sim {

void encode_to(const Frame &frame, std::vector<uint8_t> &out)
{
    if (frame.data.size() > kMaxWireData)
        throw std::length_error("a frame carries at most 255 data bytes");
    out.push_back(frame.id);
    out.push_back(frame.size());
    out.push_back(frame.dev);
    out.push_back(frame.op);
    out.push_back(frame.flags);
    out.push_back(frame.type);
    out.insert(out.end(), frame.timestamp.begin(), frame.timestamp.end());
    out.insert(out.end(), frame.data.begin(), frame.data.end());
}

std::vector<uint8_t> encode(const Frame &frame)
{
    std::vector<uint8_t> out;
    out.reserve(kHeaderSize + frame.data.size());
    encode_to(frame, out);
    return out;
}

std::optional<Frame> decode(std::span<const uint8_t> wire)
{
    if (wire.size() < kHeaderSize)
        return std::nullopt;
    const size_t size = wire[1];
    if (wire.size() < kHeaderSize + size)
        return std::nullopt;
    Frame f;
    f.id = wire[0];
    f.dev = wire[2];
    f.op = wire[3];
    f.flags = wire[4];
    f.type = wire[5];
    for (size_t i = 0; i < 4; ++i)
        f.timestamp[i] = wire[6 + i];
    f.data.assign(wire.begin() + kHeaderSize, wire.begin() + kHeaderSize + size);
    return f;
}

void FrameCutter::feed(std::span<const uint8_t> bytes)
{
    // Drop what has been cut before appending, so the buffer never grows
    // beyond one incomplete frame plus the newest read.
    if (pos_ > 0) {
        buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(pos_));
        pos_ = 0;
    }
    buf_.insert(buf_.end(), bytes.begin(), bytes.end());
}

std::optional<Frame> FrameCutter::next()
{
    auto frame = decode(std::span<const uint8_t>(buf_).subspan(pos_));
    if (frame)
        pos_ += kHeaderSize + frame->data.size();
    return frame;
}

void FrameCutter::clear()
{
    buf_.clear();
    pos_ = 0;
}

std::string to_hex(std::span<const uint8_t> bytes)
{
    std::string s;
    s.reserve(bytes.size() * 3);
    char b[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", bytes[i]);
        s += b;
    }
    return s;
}

std::string to_hex(const Frame &frame)
{
    const auto wire = encode(frame);
    std::string s = to_hex(std::span<const uint8_t>(wire).first(kHeaderSize));
    if (!frame.data.empty())
        s += " : " + to_hex(frame.data);
    return s;
}

std::ostream &operator<<(std::ostream &os, const Frame &frame)
{
    return os << to_hex(frame);
}

}  // namespace orvane::sim
