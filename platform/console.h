/*
 * console.h - key waits, screen clearing and the terminal test of standard
 * output for the console tools.
 *
 * On a terminal, the first key test or wait switches standard input to
 * single keys without echo; the terminal's settings come back at every exit
 * of the process and on SIGINT and SIGTERM.  When standard input is not a
 * terminal (a pipe, a file, nothing at all), end of input counts as a key
 * press, so a tool run from a script never waits forever.
 *
 * Standard output is flushed before every look at standard input, so a
 * prompt is on the screen before the program waits.
 */
#pragma once

namespace platform {

// True when a key press is waiting (or input has ended); the key stays
// waiting.  Does not block.
bool console_key_waiting();

// Blocks, without using the processor, until a key press is waiting, and
// takes it without echo.  Returns the key's byte, or -1 at end of input.
int console_wait_key();

// True when standard output is a terminal, where control characters act on
// the screen instead of being shown.
bool console_output_is_terminal();

// Clears the screen when standard output is a terminal; output that goes
// to a file or pipe gets no control characters.
void console_clear();

}  // namespace platform
