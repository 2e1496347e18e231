/*
 * kline_init.cpp - five-baud and fast initialisation.  Touches only the
 * KLineInit it was given (and calls the handlers it wraps).
 */
#include "sim/kline_init.h"

#include <numeric>

#include "sim/setup_blocks.h"

namespace orvane::sim {

namespace {

Handler installed(const HandlerTable &table, uint8_t dev, uint8_t op, uint8_t type)
{
    const Handler *h = table.find(Frame(dev, op, type));
    return h != nullptr ? *h : Handler{};
}

uint8_t checksum(const std::vector<uint8_t> &bytes)
{
    return static_cast<uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

}  // namespace

void add_kline_init_handlers(HandlerTable &table, KLineInit &init)
{
    Handler setup = installed(table, JMSG_ISO9141, JMSG_DEV_WRITE, JMSG_TYPE_SETUP);
    table.set(JMSG_ISO9141, JMSG_DEV_WRITE, JMSG_TYPE_SETUP,
              [&init, setup](const Frame &in, Context &ctx) {
                  if (setup)
                      setup(in, ctx);
                  const auto block = decode_kline_setup(in.data);
                  if (!block)
                      return;
                  if (block->init_type & kInitFast) {
                      init.fast_pending = true;
                      init.request.clear();
                  }
                  if (block->init_type & kInitFiveBaud) {
                      ++init.five_baud_inits;
                      init.five_baud_addresses.push_back(block->init_address);
                      if (init.answer_five_baud)
                          ctx.reply(Frame(JMSG_ISO9141, JMSG_DEV_READ, JMSG_TYPE_PLAIN,
                                          {init.key_byte1, init.key_byte2,
                                           static_cast<uint8_t>(~block->init_address)},
                                          kKLineKeyBytesFlag));
                  }
              });

    Handler data = installed(table, JMSG_ISO9141, JMSG_DEV_WRITE, JMSG_TYPE_DATA);
    table.set(
        JMSG_ISO9141, JMSG_DEV_WRITE, JMSG_TYPE_DATA, [&init, data](const Frame &in, Context &ctx) {
            if (data)
                data(in, ctx);
            if (!init.fast_pending)
                return;
            init.request.insert(init.request.end(), in.data.begin(), in.data.end());
            if (in.flags & kKLineMoreFlag)
                return;
            init.fast_pending = false;
            init.fast_requests.push_back(std::move(init.request));
            init.request.clear();
            if (!init.answer_fast)
                return;
            std::vector<uint8_t> response = init.fast_response;
            response.push_back(checksum(response));
            ctx.reply(Frame(JMSG_ISO9141, JMSG_DEV_READ, JMSG_TYPE_PLAIN, {}, kKLineStartFlag));
            ctx.reply(Frame(JMSG_ISO9141, JMSG_DEV_READ, JMSG_TYPE_PLAIN, std::move(response)));
        });
}

}  // namespace orvane::sim
