/*
 * can_fd.h - the data lengths a CAN or CAN FD frame can have on the bus.
 * Frames are padded up to the next of them.
 */
#pragma once

#include <cstdint>

namespace tenq {

// 1 for 8, 12, 16, 20, 24, 32, 48 and 64 (the classic length and the CAN FD
// lengths above it), 0 for every other length.
int can_fd_valid_data_length(uint32_t length);

}  // namespace tenq
