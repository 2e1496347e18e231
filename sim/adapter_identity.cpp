/*
 * adapter_identity.cpp - version, serial-number and stop-command handlers.
 * Touches only the AdapterIdentity it was given.
 */
#include "sim/adapter_identity.h"

namespace orvane::sim {

void add_identity_handlers(HandlerTable &table, AdapterIdentity &identity)
{
    // The search begins each probe with a stop; the adapter stops whatever
    // runs and says nothing, so the purge that follows finds a quiet line.
    table.set(JMSG_ADAPTER, JMSG_DEV_STOP, HandlerTable::kAnyType, [](const Frame &, Context &) {});

    table.set(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_VERSION,
              [&identity](const Frame &, Context &ctx) {
                  Frame f(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_VERSION, identity.version);
                  if (identity.version_reply_size)
                      f.data.resize(*identity.version_reply_size, 0);
                  ctx.reply(std::move(f));
              });

    table.set(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_DEVICE_INFO,
              [&identity](const Frame &, Context &ctx) {
                  Frame f(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_DEVICE_INFO,
                          std::vector<uint8_t>(kDeviceInfoSize, 0));
                  put_be32(std::span<uint8_t, 4>(f.data.data() + kSerialNumberOffset, 4),
                           identity.serial_number);
                  ctx.reply(std::move(f));
              });
}

}  // namespace orvane::sim
