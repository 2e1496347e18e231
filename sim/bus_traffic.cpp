// bus_traffic.cpp - frames of simulated bus traffic.  No state.
#include "sim/bus_traffic.h"

#include <algorithm>
#include <stdexcept>

#include "sim/simulator.h"

namespace orvane::sim {

namespace {

constexpr uint8_t kPciSingle = 0x00;
constexpr uint8_t kPciFirst = 0x10;
constexpr uint8_t kPciConsecutive = 0x20;
constexpr size_t kClassicFrame = 8;
constexpr size_t kMaxClassicSingle = 7;
constexpr uint32_t kMax12BitLength = 4095;

void put_id(std::vector<uint8_t> &out, CanId id)
{
    if (id.ext29) {
        out.push_back(static_cast<uint8_t>(id.id >> 24));
        out.push_back(static_cast<uint8_t>(id.id >> 16));
    }
    out.push_back(static_cast<uint8_t>(id.id >> 8));
    out.push_back(static_cast<uint8_t>(id.id));
}

}  // namespace

Frame can_frame(uint8_t dev, CanId id, std::span<const uint8_t> payload, uint32_t ticks,
                uint8_t flags, uint8_t type)
{
    std::vector<uint8_t> data;
    put_id(data, id);
    data.insert(data.end(), payload.begin(), payload.end());
    Frame f(dev, JMSG_DEV_READ, type, std::move(data),
            static_cast<uint8_t>(flags | (id.ext29 ? kCanFlag29Bit : 0)));
    f.set_timestamp_be(ticks);
    return f;
}

std::vector<Frame> iso15765_frames(const IsoTpShape &shape, std::span<const uint8_t> payload)
{
    const size_t room = shape.frame_length - (shape.ext_addr ? 1 : 0);  // bytes from the PCI on
    if (shape.frame_length < 3 || room < 7)
        throw std::invalid_argument("iso15765_frames: frame too short for a first frame");
    std::vector<Frame> frames;
    uint32_t ticks = shape.ticks;
    auto emit = [&](const std::vector<uint8_t> &pci_and_data) {
        std::vector<uint8_t> body;
        body.reserve(1 + std::max(shape.frame_length, pci_and_data.size()));
        if (shape.ext_addr)
            body.push_back(*shape.ext_addr);
        for (uint8_t b : pci_and_data)
            body.push_back(b);
        if (shape.pad && body.size() < shape.frame_length)
            body.resize(shape.frame_length, *shape.pad);
        frames.push_back(can_frame(shape.dev, shape.id, body, ticks, shape.flags, shape.type));
        ticks += shape.ticks_step;
    };

    const bool classic = shape.frame_length <= kClassicFrame;
    if (classic && payload.size() <= std::min(kMaxClassicSingle, room - 1)) {
        std::vector<uint8_t> sf{static_cast<uint8_t>(kPciSingle | payload.size())};
        sf.insert(sf.end(), payload.begin(), payload.end());
        emit(sf);
        return frames;
    }
    if (!classic && payload.size() <= room - 2) {
        std::vector<uint8_t> sf{kPciSingle, static_cast<uint8_t>(payload.size())};
        sf.insert(sf.end(), payload.begin(), payload.end());
        emit(sf);
        return frames;
    }

    std::vector<uint8_t> ff;
    const uint32_t length = static_cast<uint32_t>(payload.size());
    if (length <= kMax12BitLength) {
        ff = {static_cast<uint8_t>(kPciFirst | (length >> 8)), static_cast<uint8_t>(length)};
    } else {
        ff = {kPciFirst,
              0,
              static_cast<uint8_t>(length >> 24),
              static_cast<uint8_t>(length >> 16),
              static_cast<uint8_t>(length >> 8),
              static_cast<uint8_t>(length)};
    }
    size_t pos = std::min(payload.size(), room - ff.size());
    ff.insert(ff.end(), payload.begin(), payload.begin() + static_cast<ptrdiff_t>(pos));
    emit(ff);
    for (uint8_t sn = 1; pos < payload.size(); sn = static_cast<uint8_t>((sn + 1) & 0x0F)) {
        const size_t n = std::min(payload.size() - pos, room - 1);
        std::vector<uint8_t> cf{static_cast<uint8_t>(kPciConsecutive | sn)};
        cf.insert(cf.end(), payload.begin() + static_cast<ptrdiff_t>(pos),
                  payload.begin() + static_cast<ptrdiff_t>(pos + n));
        emit(cf);
        pos += n;
    }
    return frames;
}

uint8_t kline_checksum(std::span<const uint8_t> bytes)
{
    uint8_t sum = 0;
    for (uint8_t b : bytes)
        sum = static_cast<uint8_t>(sum + b);
    return sum;
}

std::vector<Frame> kline_frames(std::span<const uint8_t> message, uint32_t ticks, uint8_t type)
{
    std::vector<Frame> frames;
    size_t pos = 0;
    for (;;) {
        const size_t n = std::min(kKLinePiece, message.size() - pos);
        Frame f(JMSG_ISO9141, JMSG_DEV_READ, type,
                std::vector<uint8_t>(message.begin() + static_cast<ptrdiff_t>(pos),
                                     message.begin() + static_cast<ptrdiff_t>(pos + n)));
        f.set_timestamp_be(ticks);
        frames.push_back(std::move(f));
        pos += n;
        if (n != kKLinePiece)
            return frames;
    }
}

Frame kline_key_bytes(uint8_t key1, uint8_t key2, uint8_t address, uint32_t ticks)
{
    Frame f(JMSG_ISO9141, JMSG_DEV_READ, kTypeReceived, {key1, key2, address}, kKLineFlagKeyBytes);
    f.set_timestamp_be(ticks);
    return f;
}

Frame kline_start_indication(uint32_t ticks)
{
    Frame f(JMSG_ISO9141, JMSG_DEV_READ, kTypeReceived, {}, kKLineFlagStart);
    f.set_timestamp_be(ticks);
    return f;
}

Frame overflow_report(uint8_t dev)
{
    return Frame(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_PLAIN, {dev}, JMSG_FLAG_OVERFLOW);
}

void inject_all(Simulator &sim, const std::vector<Frame> &frames)
{
    std::vector<uint8_t> bytes;
    for (const Frame &f : frames)
        encode_to(f, bytes);
    sim.inject_raw(std::move(bytes));
}

}  // namespace orvane::sim
