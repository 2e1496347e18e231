// saved_messages.cpp - the saved-message slots of the "Read / Write" page.
#include "testapp/saved_messages.h"

#include <algorithm>
#include <cstring>

void set_saved_text(char (&field)[kSavedTextSize], std::string_view text)
{
    constexpr size_t kRoom = kSavedTextSize - 1;
    if (text.size() > kRoom) {
        // A cut right before a blank splits nothing.
        size_t blank = text.substr(0, kRoom + 1).find_last_of(" \t");
        text = text.substr(0, blank != std::string_view::npos && blank > 0 ? blank : kRoom);
    }
    std::memcpy(field, text.data(), text.size());
    field[text.size()] = '\0';
}

int first_free_slot(const SavedWriteMessageSlots &slots)
{
    auto free = std::find_if(slots.begin(), slots.end(),
                             [](const SavedWriteMessage &s) { return s.Description[0] == '\0'; });
    return free == slots.end() ? -1 : static_cast<int>(free - slots.begin());
}

void remove_slot(SavedWriteMessageSlots &slots, int k)
{
    if (k < 0 || k >= kSavedMessageSlots)
        return;
    std::move(slots.begin() + k + 1, slots.end(), slots.begin() + k);
    slots.back() = SavedWriteMessage{};
}
