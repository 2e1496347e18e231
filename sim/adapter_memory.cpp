/*
 * adapter_memory.cpp - memory read and write requests.  Touches only the
 * AdapterMemory it is given.
 */
#include "sim/adapter_memory.h"

#include <algorithm>

namespace orvane::sim {

namespace {

Frame refusal()
{
    return Frame(JMSG_MEM, JMSG_DEV_READ, JMSG_TYPE_PLAIN, {}, JMSG_FLAG_FAILED);
}

bool in_area(uint32_t address, uint32_t length)
{
    return address <= kMemoryAreaSize && length <= kMemoryAreaSize - address;
}

}  // namespace

bool is_memory_request(const Frame &frame)
{
    if (frame.op == JMSG_DEV_READ)
        return !frame.data.empty();
    return frame.op == JMSG_DEV_WRITE && (frame.flags & kMemWriteFlag) != 0;
}

void handle_memory_frame(const Frame &in, Context &ctx, AdapterMemory &memory)
{
    if (memory.mode == ServiceMode::Silent)
        return;
    if (memory.mode == ServiceMode::Refuse || in.data.size() < kMemRwHeader) {
        ctx.reply(refusal());
        return;
    }
    const uint32_t address = get_be32(std::span<const uint8_t, 4>(in.data.data(), 4));
    const uint32_t length = get_be32(std::span<const uint8_t, 4>(in.data.data() + 4, 4));
    if (!in_area(address, length)) {
        ctx.reply(refusal());
        return;
    }
    const auto first = memory.bytes.begin() + address;
    if (in.op == JMSG_DEV_READ) {
        if (length > kMaxData) {
            ctx.reply(refusal());
            return;
        }
        ctx.reply(Frame(JMSG_MEM, JMSG_DEV_READ, JMSG_TYPE_PLAIN,
                        std::vector<uint8_t>(first, first + length)));
        return;
    }
    if (in.data.size() != kMemRwHeader + length) {
        ctx.reply(refusal());
        return;
    }
    std::copy(in.data.begin() + kMemRwHeader, in.data.end(), first);
    ctx.reply(Frame(JMSG_MEM, JMSG_DEV_READ, JMSG_TYPE_PLAIN));
}

}  // namespace orvane::sim
