/*
 * handlers.cpp - the handler table.  Owns only its own entries.
 */
#include "sim/handlers.h"

namespace orvane::sim {

uint32_t HandlerTable::key(uint8_t dev, uint8_t op, int type)
{
    // Types are bytes; the wildcard takes the value just above them.
    const uint32_t t = type == kAnyType ? 0x100u : static_cast<uint8_t>(type);
    return (uint32_t{dev} << 24) | (uint32_t{op} << 16) | t;
}

void HandlerTable::set(uint8_t dev, uint8_t op, int type, Handler handler)
{
    table_[key(dev, op, type)] = std::move(handler);
}

void HandlerTable::remove(uint8_t dev, uint8_t op, int type)
{
    table_.erase(key(dev, op, type));
}

const Handler *HandlerTable::find(const Frame &frame) const
{
    auto it = table_.find(key(frame.dev, frame.op, frame.type));
    if (it == table_.end())
        it = table_.find(key(frame.dev, frame.op, kAnyType));
    return it == table_.end() ? nullptr : &it->second;
}

}  // namespace orvane::sim
