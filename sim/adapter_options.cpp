/*
 * adapter_options.cpp - option-frame handlers.  Touches only the
 * AdapterOptions and the loopback switch of the AdapterOutputs it was given.
 */
#include "sim/adapter_options.h"

namespace orvane::sim {

void add_option_handlers(HandlerTable &table, AdapterOptions &options, AdapterOutputs &outputs)
{
    table.set(JMSG_ADAPTER, JMSG_DEV_WRITE, kOptionFrame0,
              [&options, &outputs](const Frame &in, Context &) {
                  options.frames.push_back({in.type, in.flags});
                  if (in.flags & kOptionResetTimer) {
                      ++options.timer_resets;
                      return;
                  }
                  outputs.loopback = (in.flags & kOptionLoopback) != 0;
                  options.msg_trigger = (in.flags & kOptionMsgTrigger) != 0;
              });

    table.set(JMSG_ADAPTER, JMSG_DEV_WRITE, kOptionFrame7, [&options](const Frame &in, Context &) {
        options.frames.push_back({in.type, in.flags});
        options.bus_errors = (in.flags & kOptionBusErrors) != 0;
        options.automatic_suspend = (in.flags & kOptionNoAutoSuspend) == 0;
    });
}

}  // namespace orvane::sim
