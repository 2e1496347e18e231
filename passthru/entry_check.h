/*
 * entry_check.h - the checks an exported call makes before its work.
 *
 * In this order, each failure with its 'E' line: the adapter is connected
 * (a search when no port is open; "<call> device not connected", 8), the
 * channel is connected ("<call> invalid ChannelID", 8), the caller's records
 * are there ("<call> null parameter", 4).  A call leaves out the steps it
 * has no use for, and a few have texts of their own that applications have
 * long seen.  The call's 'A' line follows, written by the call itself since
 * each shows its own arguments.
 */
#pragma once

#include <cstdint>

namespace tenq {

struct EntryCheck {
    const char *call;  // begins the standard lines
    // Texts in place of the standard ones (nullptr: the standard text).
    const char *not_connected = nullptr;
    const char *bad_channel = nullptr;
    const char *null_parameter = nullptr;
    bool silent_not_connected = false;  // the missing adapter is answered without a line
    bool bad_channel_shows_id = false;  // " (%ld)" with the ChannelID after the line
};

// Writes `line` as an 'E' line and returns `status`: every refusal.
int32_t Refuse(const char *line, int32_t status);

// The steps one by one, for calls that do something between them.
int32_t CheckAdapter(const EntryCheck &check);
int32_t CheckChannel(const EntryCheck &check, uint32_t ChannelID);
int32_t CheckRecords(const EntryCheck &check, bool records_given);

// All three in order: STATUS_NOERROR, or the first refusal's status.
int32_t CheckEntry(const EntryCheck &check, uint32_t ChannelID, bool records_given = true);
// The adapter and the records, for calls without a channel.
int32_t CheckEntry(const EntryCheck &check, bool records_given = true);

}  // namespace tenq
