/*
 * saved_messages.h - the saved messages of the "Read / Write" page: 256
 * slots of protocol, message text, description, count and time-out.
 *
 * Qt-free.  The slots are plain records so that the configuration file
 * reads and writes them field by field.  A slot is free while its
 * description is empty; the used slots are always 0 .. n-1, in the order of
 * the page's list entries, so every change goes through the helpers here.
 */
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr int kSavedMessageSlots = 256;
// Room of a saved text with its terminator.
constexpr size_t kSavedTextSize = 120;

struct SavedWriteMessage {
    int32_t Protocol = 0;  // item index of the protocol box, -1 when none was selected
    char Msg[kSavedTextSize] = {};
    char Description[kSavedTextSize] = {};  // empty: the slot is free
    int32_t Num = 0;
    int32_t Timeout = 0;
};

using SavedWriteMessageSlots = std::array<SavedWriteMessage, kSavedMessageSlots>;

// Copies `text` into a saved text, terminated.  A text longer than the 119
// characters that fit is cut at its last blank within them, so that no
// message byte is kept half written (0x12 cut to 0x1 would be another
// byte); a text without such a blank is cut at 119.
void set_saved_text(char (&field)[kSavedTextSize], std::string_view text);

// The first free slot, or -1 when all are in use.
int first_free_slot(const SavedWriteMessageSlots &slots);

// Removes slot `k`: the slots after it move down by one and the last slot
// becomes free, so a full list has room again.  `k` outside the slots
// changes nothing.
void remove_slot(SavedWriteMessageSlots &slots, int k);
