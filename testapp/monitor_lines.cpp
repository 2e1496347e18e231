// monitor_lines.cpp - the bus monitor's standard and ASC lines.
#include "testapp/monitor_lines.h"

#include <cstdio>

#include "testapp/message_text.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Appends `separator` and two hexadecimal digits (or the digits and then
// the separator) for each byte from `first`, until the line is longer than
// kMonitorLineBytesStop.
void append_bytes(const PASSTHRU_MSG &msg, uint32_t first, bool separator_first, std::string &line)
{
    for (uint32_t i = first; i < data_size_of(msg); ++i) {
        uint8_t b = msg.Data[i];
        if (separator_first)
            line += ' ';
        line += kHexDigits[b >> 4];
        line += kHexDigits[b & 0xF];
        if (!separator_first)
            line += ' ';
        if (line.size() > kMonitorLineBytesStop)
            break;
    }
}

}  // namespace

const char *protocol_column(uint32_t protocol_id)
{
    static const char *const kColumns[] = {
        "J1850VPW  ", "J1850PWM  ", "ISO9141   ", "ISO14230  ", "CAN       ",
        "ISO15765  ", "SCIAENG   ", "SCIATRAN  ", "SCIBENG   ", "SCIBTRAN  ",
        "MSCAN     ", "MSISO15765", "SPCAN     ", "SPISO15765",
    };
    constexpr uint32_t kCount = sizeof kColumns / sizeof kColumns[0];
    return protocol_id >= 1 && protocol_id <= kCount ? kColumns[protocol_id - 1] : "INVALID   ";
}

void format_standard_line(const PASSTHRU_MSG &msg, uint32_t time, std::string &line)
{
    char head[48];
    int length =
        std::snprintf(head, sizeof head, "%10u %s %08X  ", static_cast<unsigned>(time),
                      protocol_column(msg.ProtocolID), static_cast<unsigned>(msg.RxStatus));
    line.assign(head, static_cast<size_t>(length));
    append_bytes(msg, 0, true, line);
    line += "\r\n";
}

void format_asc_line(const PASSTHRU_MSG &msg, uint32_t timestamp, std::string &line)
{
    char head[96];
    unsigned id = msg.Data[2] * 256u + msg.Data[3];
    int dlc = static_cast<int32_t>(msg.DataSize - 4);
    const char *form = (msg.RxStatus & CAN_29BIT_ID) != 0 ? "%5u.%06u %s%8Xx       Rx   d %d "
                                                          : "%5u.%06u %s%3X             Rx   d %d ";
    int length = std::snprintf(head, sizeof head, form, static_cast<unsigned>(timestamp / 1000000),
                               static_cast<unsigned>(timestamp % 1000000),
                               msg.ProtocolID == CAN ? "1  " : "2  ", id, dlc);
    line.assign(head, static_cast<size_t>(length));
    append_bytes(msg, 4, false, line);
    line += '\n';
}
