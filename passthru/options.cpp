// options.cpp - storage of the process-wide option flags.
#include "passthru/options.h"

namespace tenq {

uint32_t loopback_flag = 0;
uint32_t msg_trigger_flag = 0;
uint32_t bus_error_msgs_flag = 0;
uint32_t automatic_suspend_flag = 1;
uint32_t last_segment_flag = 0;
uint32_t can_mixed_format_flag = 0;

uint8_t TimestampMsec = 0;

}  // namespace tenq
