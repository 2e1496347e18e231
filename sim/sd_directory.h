/*
 * sd_directory.h - the SD card's directory listing, steps of the adapter
 * device (0xF0, type 15): open with a pattern, next entry, close.
 *
 * Every reply carries one entry: 16 bytes (the file's size, least
 * significant byte first, then 12 zero bytes) and the name with its zero.
 * The reply to the open carries the first entry; a reply without data ends
 * the list.  Names match the pattern with '*' and '?', case ignored, and
 * come in the order of their names.
 *
 * The card's mode applies: silent answers nothing; refusing answers every
 * step without data, an empty listing (these replies have no error flag).
 */
#pragma once

#include "sim/handlers.h"
#include "sim/sd_card.h"

namespace orvane::sim {

constexpr size_t kDirEntryHeader = 16;

void add_directory_handlers(HandlerTable &table, SdCard &card);

}  // namespace orvane::sim
