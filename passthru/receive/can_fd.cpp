// can_fd.cpp - the one table of CAN FD data lengths.
#include "passthru/receive/can_fd.h"

namespace tenq {

namespace {
constexpr uint32_t kLengths[] = {8, 12, 16, 20, 24, 32, 48, 64};
}

int can_fd_valid_data_length(uint32_t length)
{
    for (uint32_t valid : kLengths) {
        if (length == valid)
            return 1;
    }
    return 0;
}

}  // namespace tenq
