/*
 * sd_directory.cpp - the directory listing handlers.  Touches only the
 * listing of the SdCard it is given.
 */
#include "sim/sd_directory.h"

namespace orvane::sim {

namespace {

Frame entry_reply(uint8_t op, const SdCard &card)
{
    Frame f(JMSG_ADAPTER, op, JMSG_TYPE_DIR);
    if (!card.listing || card.listing->next >= card.listing->names.size())
        return f;
    const size_t i = card.listing->next;
    f.data.assign(kDirEntryHeader, 0);
    put_le32(std::span<uint8_t, 4>(f.data.data(), 4), card.listing->sizes[i]);
    const std::string &name = card.listing->names[i];
    f.data.insert(f.data.end(), name.begin(), name.end());
    f.data.push_back(0);
    return f;
}

}  // namespace

void add_directory_handlers(HandlerTable &table, SdCard &card)
{
    table.set(JMSG_ADAPTER, JMSG_DEV_OPEN, JMSG_TYPE_DIR, [&card](const Frame &in, Context &ctx) {
        if (card.mode == ServiceMode::Silent)
            return;
        card.listing = SdCard::Listing{};
        if (card.mode == ServiceMode::Answer) {
            for (const CardFile *file : card.matching(frame_text(in))) {
                card.listing->names.push_back(file->name);
                card.listing->sizes.push_back(static_cast<uint32_t>(file->bytes.size()));
            }
        }
        ctx.reply(entry_reply(JMSG_DEV_OPEN, card));
    });

    table.set(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_DIR, [&card](const Frame &, Context &ctx) {
        if (card.mode == ServiceMode::Silent)
            return;
        if (card.listing && card.listing->next < card.listing->names.size())
            ++card.listing->next;
        if (card.mode == ServiceMode::Refuse)
            card.listing.reset();
        ctx.reply(entry_reply(JMSG_DEV_READ, card));
    });

    table.set(JMSG_ADAPTER, JMSG_DEV_CLOSE, JMSG_TYPE_DIR, [&card](const Frame &, Context &ctx) {
        if (card.mode == ServiceMode::Silent)
            return;
        card.listing.reset();
        ctx.reply(Frame(JMSG_ADAPTER, JMSG_DEV_CLOSE, JMSG_TYPE_DIR));
    });
}

}  // namespace orvane::sim
