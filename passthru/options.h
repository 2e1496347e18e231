/*
 * options.h - process-wide option flags of the library.  They are set through
 * I/O controls and configuration parameters and read where frames are sent
 * or records are built; they are not per channel and survive closing the
 * device.
 */
#pragma once

#include <cstdint>

namespace tenq {

extern uint32_t loopback_flag;           // LOOPBACK: the adapter echoes what it transmits
extern uint32_t msg_trigger_flag;        // MSG_TRIGGER
extern uint32_t bus_error_msgs_flag;     // BUS_ERROR_MSGS
extern uint32_t automatic_suspend_flag;  // AUTOMATIC_SUSPEND (1 at load)
extern uint32_t
    last_segment_flag;  // LAST_SEGMENT_TIMESTAMP: reassembled messages carry the last frame's time
extern uint32_t can_mixed_format_flag;  // CAN_MIXED_FORMAT: plain CAN records beside ISO 15765 ones

extern uint8_t TimestampMsec;  // 1: time stamps in milliseconds, else microseconds

}  // namespace tenq
