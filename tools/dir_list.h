/*
 * dir_list.h - the card's directory listing as the console tools receive it.
 */
#pragma once

#include <cstddef>

// PassThruReadDir is not told the buffer's size: the library never writes
// more than this, terminator included.
constexpr size_t kDirListSize = 4096;
