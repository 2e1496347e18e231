/*
 * monitor_lines.h - the text lines of the bus monitor and its log file.
 *
 * Qt-free and allocation-free once `line` has grown: the monitor formats
 * hundreds of lines a second into one reused string.  Line ends are part
 * of the format and are written to the log exactly as they stand.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "j2534.h"

// The monitor's line buffer holds 4096 characters with the terminator; a
// line stops taking data bytes once it is longer than this, which leaves
// room for one more byte and the line end.
constexpr size_t kMonitorLineBytesStop = 4088;

// The 10-character protocol column of a standard line ("INVALID   " for
// an identifier outside 1..14).
const char *protocol_column(uint32_t protocol_id);

// "%10lu %s %08X  " with `time`, the protocol column and RxStatus, then
// " %02X" per data byte, then "\r\n".  Replaces the contents of `line`.
void format_standard_line(const PASSTHRU_MSG &msg, uint32_t time, std::string &line);

// A CAN trace line: seconds and microseconds of `timestamp`, the bus ("1" for
// CAN, "2" otherwise), data bytes 2 and 3 as the identifier ("x" after it
// when RxStatus has CAN_29BIT_ID), "Rx   d", the DLC (DataSize - 4), the
// bytes from byte 4 as "%02X ", then "\n".  Replaces `line`.
void format_asc_line(const PASSTHRU_MSG &msg, uint32_t timestamp, std::string &line);
