/*
 * bus_monitor.h - the state of the bus monitor on the "Read / Write" page
 * and its Qt-free rules: which waiting records a tick shows, in which
 * order, the "Sort Msgs" table and the monitor text.
 *
 * All storage is allocated once with the form; a tick allocates nothing.
 */
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "j2534.h"

// Records that wait to be shown.
constexpr uint32_t kMonitorRingSize = 200;
// Above this many waiting records a tick shows half of them even while
// more arrive, so the ring drains under a steady stream.
constexpr uint32_t kMonitorBusyCount = 150;
// Keys the "Sort Msgs" view keeps.
constexpr int kSortTableSize = 25;
// The monitor text with its terminator: the newest lines that fit.
constexpr size_t kMonitorTextSize = 4096;

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using LogFileStream = std::unique_ptr<std::FILE, FileCloser>;

struct BusMonitorState {
    BusMonitorState();

    // Records 0 .. MonitorRingCount-1 wait to be shown, oldest batch first.
    std::unique_ptr<PASSTHRU_MSG[]> MonitorRing;
    uint32_t MonitorRingCount = 0;
    // The newest line first; MonitorText[kMonitorTextSize - 1] stays NUL.
    std::array<char, kMonitorTextSize> MonitorText{};
    // An entry is free while its DataSize is 0.
    std::unique_ptr<PASSTHRU_MSG[]> SortTable;
    std::array<uint32_t, kSortTableSize> SortDeltas{};
    uint32_t MsgsPerSecCount = 0;
    uint32_t MsgsPerSecTick = 0;
    uint32_t LastLineTimestamp = 0;
    LogFileStream LogFile;
    // Ring positions of the records a tick shows, in time-stamp order.
    std::array<uint8_t, kMonitorRingSize> Order{};
    // The line being formatted, its room reserved once.
    std::string Line;
};

// How many of `waiting` records a tick shows when it read `read` new ones:
// half (rounded down) above kMonitorBusyCount; otherwise all, but only in a
// tick that read nothing, so that a burst is merged across channels before
// it is shown; 0 when the records wait.
uint32_t records_to_show(uint32_t waiting, uint32_t read);

// Fills order[0 .. n-1] with the positions 0 .. n-1 of `ring`, sorted by
// Timestamp.  The 32-bit microsecond stamps wrap every 71 minutes, so each
// is compared by its unsigned distance from a base half a range before the
// first record; equal stamps keep their ring order.
void sort_by_timestamp(const PASSTHRU_MSG *ring, uint32_t n, uint8_t *order);

// Puts `msg` into the first entry of `table` that is free or holds the same
// key (the first `key_length` data bytes), recording in deltas[j] the time
// since that entry's previous message.  A message shorter than the key
// matches no entry.  Returns the entry, or -1 when all are taken by other
// keys.
int sort_table_put(PASSTHRU_MSG *table, uint32_t *deltas, const PASSTHRU_MSG &msg,
                   uint32_t key_length);

// The used entries of `table`: from entry 0 up to the first free one.
int sort_table_used(const PASSTHRU_MSG *table);

// Puts `line` in front of `text`, dropping what no longer fits.
void insert_line(std::array<char, kMonitorTextSize> &text, std::string_view line);
