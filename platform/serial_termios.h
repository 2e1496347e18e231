/*
 * serial_termios.h - how a port state becomes the termios a tty is given.
 *
 * Apart from serial_port.cpp so that tests can check the bits a real UART
 * receives: a pseudo-terminal, on which the tests run, keeps neither the
 * character size nor the parity enable of what it is told.
 */
#pragma once

#include <termios.h>

#include "platform/serial_port.h"

namespace platform {

// Raw mode, receiver on, carrier ignored, then the record's rate, framing,
// flow control and XON/XOFF characters.  `state` must be valid (see
// serial_set_state).
void apply_to_termios(const PortState &state, termios *t);

}  // namespace platform
