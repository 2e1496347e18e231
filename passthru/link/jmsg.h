/*
 * jmsg.h - the adapter frame (JMSG) and its codes.
 *
 * On the wire a frame is a 10-byte header followed by `size` data bytes, with
 * no start marker, checksum or escaping; frames follow each other back to
 * back.  In memory the record holds at most 68 data bytes, which is also the
 * most the adapter ever sends in one frame.
 */
#pragma once

#include <cstddef>
#include <cstdint>

namespace tenq {

constexpr size_t kJmsgHeaderSize = 10;
constexpr size_t kJmsgMaxData = 68;
constexpr size_t kJmsgMaxWire = kJmsgHeaderSize + kJmsgMaxData;  // 78

struct JMSG {
    uint8_t id;            // 0 in commands; slot number in filter and periodic frames
    uint8_t size;          // data bytes that follow the header
    uint8_t dev;           // device code
    uint8_t op;            // operation code
    uint8_t flags;         // meaning by device and direction
    uint8_t type;          // type code
    uint8_t timestamp[4];  // to the adapter: ms, LSB first; from it: 1/256 ms, MSB first
    uint8_t data[kJmsgMaxData];
};
static_assert(sizeof(JMSG) == kJmsgMaxWire, "a record holds the longest frame, no more");

// Device codes.
constexpr uint8_t JMSG_CAN = 0x10;         // CAN controller 1
constexpr uint8_t JMSG_ISO15765 = 0x20;    // ISO 15765 on controller 1
constexpr uint8_t JMSG_MSCAN = 0x30;       // CAN controller 2
constexpr uint8_t JMSG_MSISO15765 = 0x40;  // ISO 15765 on controller 2
constexpr uint8_t JMSG_ISO9141 = 0x90;     // K-line
constexpr uint8_t JMSG_ADC = 0xB0;         // analogue inputs
constexpr uint8_t JMSG_DAC = 0xC0;         // programming voltage
constexpr uint8_t JMSG_DIO = 0xD0;         // digital inputs and outputs
constexpr uint8_t JMSG_MEM = 0xE0;         // adapter memory and SD-card files
constexpr uint8_t JMSG_ADAPTER = 0xF0;     // the adapter itself
constexpr uint8_t JMSG_LCD = 0xF1;         // display
constexpr uint8_t JMSG_SECURITY = 0xF2;    // seed/key service

// Operation codes.
constexpr uint8_t JMSG_DEV_START = 0;
constexpr uint8_t JMSG_DEV_STOP = 1;
constexpr uint8_t JMSG_DEV_READ = 2;
constexpr uint8_t JMSG_DEV_WRITE = 3;
constexpr uint8_t JMSG_DEV_OPEN = 5;
constexpr uint8_t JMSG_DEV_CLOSE = 6;
constexpr uint8_t JMSG_DEV_DELETE = 7;

// Type codes.
constexpr uint8_t JMSG_TYPE_PLAIN = 0;
constexpr uint8_t JMSG_TYPE_MASK = 1;
constexpr uint8_t JMSG_TYPE_PATTERN = 2;
constexpr uint8_t JMSG_TYPE_FLOW = 3;
constexpr uint8_t JMSG_TYPE_PERIODIC = 4;
constexpr uint8_t JMSG_TYPE_DATA = 5;  // from the adapter: echo of an own transmission
constexpr uint8_t JMSG_TYPE_SETUP = 7;
constexpr uint8_t JMSG_TYPE_DEVICE_INFO = 8;
constexpr uint8_t JMSG_TYPE_CLEAR = 12;
constexpr uint8_t JMSG_TYPE_VERSION = 13;
constexpr uint8_t JMSG_TYPE_RTC = 14;
constexpr uint8_t JMSG_TYPE_DIR = 15;

// Flag bits the link itself interprets (others belong to their users).
constexpr uint8_t JMSG_FLAG_FAILED = 0x40;    // 0xE0 replies: the request failed
constexpr uint8_t JMSG_FLAG_OVERFLOW = 0x40;  // 0xF0 op 2: receive overflow report

// Wire size of a frame record.
inline size_t JmsgWireSize(const JMSG &msg)
{
    return kJmsgHeaderSize + msg.size;
}

}  // namespace tenq
