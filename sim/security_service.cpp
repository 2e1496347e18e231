/*
 * security_service.cpp - the seed/key handler.  Touches only the
 * SecurityService it is given.
 */
#include "sim/security_service.h"

namespace orvane::sim {

std::array<uint8_t, kSecurityKeySize>
security_key(uint8_t level, std::span<const uint8_t, kSecurityFixedSize> fixed,
             std::span<const uint8_t, kSecuritySeedSize> seed)
{
    std::array<uint8_t, kSecurityKeySize> key{};
    for (size_t i = 0; i < key.size(); ++i) {
        const unsigned mixed = seed[i % seed.size()] ^ fixed[i % fixed.size()] ^ level;
        const unsigned shift = i % 8;
        const unsigned rotated = ((mixed << shift) | (mixed >> ((8 - shift) % 8))) & 0xFFu;
        key[i] = static_cast<uint8_t>(rotated ^ ((0x5A + 3 * i) & 0xFFu));
    }
    return key;
}

void add_security_handlers(HandlerTable &table, SecurityService &service)
{
    table.set(
        JMSG_SECURITY, JMSG_DEV_READ, JMSG_TYPE_PLAIN, [&service](const Frame &in, Context &ctx) {
            if (service.mode == ServiceMode::Silent)
                return;
            if (service.mode == ServiceMode::Refuse || in.data.size() != kSecurityRequestSize) {
                ctx.reply(Frame(JMSG_MEM, JMSG_DEV_READ, JMSG_TYPE_PLAIN, {}, JMSG_FLAG_FAILED));
                return;
            }
            const auto key =
                security_key(in.data[0],
                             std::span<const uint8_t, kSecurityFixedSize>(in.data.data() + 1,
                                                                          kSecurityFixedSize),
                             std::span<const uint8_t, kSecuritySeedSize>(
                                 in.data.data() + 1 + kSecurityFixedSize, kSecuritySeedSize));
            ctx.reply(Frame(JMSG_MEM, JMSG_DEV_READ, JMSG_TYPE_PLAIN,
                            std::vector<uint8_t>(key.begin(), key.end())));
        });
}

}  // namespace orvane::sim
