/*
 * key_wait.h - "Press any key" for the console programs.
 */
#pragma once

namespace platform {

// Waits for one key press.  On a terminal the key is read without echo and
// without waiting for Enter; otherwise one byte or the end of input counts
// as the key, so a program run with its input redirected never hangs.
void wait_for_key();

}  // namespace platform
