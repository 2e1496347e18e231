// bus_monitor.cpp - the bus monitor's ring order, "Sort Msgs" table and
// monitor text.
#include "testapp/bus_monitor.h"

#include <algorithm>
#include <cstring>

BusMonitorState::BusMonitorState()
    : MonitorRing(std::make_unique<PASSTHRU_MSG[]>(kMonitorRingSize)),
      SortTable(std::make_unique<PASSTHRU_MSG[]>(kSortTableSize))
{
    Line.reserve(kMonitorTextSize);
}

uint32_t records_to_show(uint32_t waiting, uint32_t read)
{
    if (waiting > kMonitorBusyCount)
        return waiting / 2;
    return read != 0 ? 0 : waiting;
}

void sort_by_timestamp(const PASSTHRU_MSG *ring, uint32_t n, uint8_t *order)
{
    static_assert(kMonitorRingSize <= 256, "ring positions are bytes");
    if (n == 0)
        return;
    const uint32_t base = ring[0].Timestamp - 0x80000000u;
    for (uint32_t i = 0; i < n; ++i)
        order[i] = static_cast<uint8_t>(i);
    std::sort(order, order + n, [ring, base](uint8_t a, uint8_t b) {
        uint32_t da = ring[a].Timestamp - base, db = ring[b].Timestamp - base;
        return da != db ? da < db : a < b;
    });
}

int sort_table_put(PASSTHRU_MSG *table, uint32_t *deltas, const PASSTHRU_MSG &msg,
                   uint32_t key_length)
{
    const uint32_t limit =
        std::min({key_length, msg.DataSize, static_cast<uint32_t>(sizeof msg.Data)});
    for (int j = 0; j < kSortTableSize; ++j) {
        PASSTHRU_MSG &entry = table[j];
        if (entry.DataSize != 0) {
            uint32_t same = 0;
            while (same < limit && entry.Data[same] == msg.Data[same])
                ++same;
            if (same != key_length)
                continue;
        }
        deltas[j] = msg.Timestamp - entry.Timestamp;
        entry = msg;
        return j;
    }
    return -1;
}

int sort_table_used(const PASSTHRU_MSG *table)
{
    int used = 0;
    while (used < kSortTableSize && table[used].DataSize != 0)
        ++used;
    return used;
}

void insert_line(std::array<char, kMonitorTextSize> &text, std::string_view line)
{
    const size_t length = std::min(line.size(), kMonitorTextSize - 1);
    std::memmove(text.data() + length, text.data(), kMonitorTextSize - length);
    std::memcpy(text.data(), line.data(), length);
    text[kMonitorTextSize - 1] = '\0';
}
