/*
 * serial_port.h - a COM port as the serial driver expects it from Windows:
 * open by name with no sharing, a port-state record, queue sizes, purge,
 * time-outs, read, write, break, DTR and RTS.
 *
 * Back-end: termios on a tty, waits through poll.  A handle is the file
 * descriptor of the open port; only handles opened here are accepted (any
 * other number fails with EBADF), so a stray handle can never write to or
 * close some other file of the process.
 *
 * Each open handle has a shadow of its port state: the record last set is
 * the record read back, because termios cannot hold all of it (no DSR output
 * flow control, no XonLim/XoffLim, no error or event characters) and because
 * the kernel adjusts what it holds (a pseudo-terminal always reports 8 data
 * bits and no parity).  The shadow table is the only global state here,
 * besides the last error of the calling thread.
 *
 * Functions return true on success; on failure the errno of the failing call
 * is kept for serial_last_error().
 */
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Parity codes.
constexpr uint8_t NOPARITY = 0;
constexpr uint8_t ODDPARITY = 1;
constexpr uint8_t EVENPARITY = 2;
constexpr uint8_t MARKPARITY = 3;
constexpr uint8_t SPACEPARITY = 4;

// Stop-bit codes.  One and a half is sent as the UART's "two" setting, which
// is 1.5 stop bits for 5-bit characters.
constexpr uint8_t ONESTOPBIT = 0;
constexpr uint8_t ONE5STOPBITS = 1;
constexpr uint8_t TWOSTOPBITS = 2;

// DTR control modes.  Linux has no DTR/DSR input handshake: in handshake
// mode DTR is simply held on.
constexpr uint8_t DTR_CONTROL_DISABLE = 0;
constexpr uint8_t DTR_CONTROL_ENABLE = 1;
constexpr uint8_t DTR_CONTROL_HANDSHAKE = 2;

// RTS control modes.  Handshake is the kernel's CRTSCTS; toggle (RTS on only
// while sending) has no generic tty equivalent, so RTS rests off, its idle
// level in that mode.
constexpr uint8_t RTS_CONTROL_DISABLE = 0;
constexpr uint8_t RTS_CONTROL_ENABLE = 1;
constexpr uint8_t RTS_CONTROL_HANDSHAKE = 2;
constexpr uint8_t RTS_CONTROL_TOGGLE = 3;

// The port state, field for field the Windows DCB the driver was written
// against.  Fields without a termios counterpart (fOutxDsrFlow,
// fDsrSensitivity, fTXContinueOnXoff, fErrorChar, fNull, fAbortOnError,
// XonLim, XoffLim, ErrorChar, EofChar, EvtChar) live only in the shadow.
struct PortState {
    // Bits per second.  A rate without a termios speed runs the line at the
    // nearest standard speed (glibc here has no arbitrary rates); the rate
    // asked for is what reads back.  0 is refused: it would hang up the line.
    uint32_t BaudRate = 0;
    bool fBinary = true;
    bool fParity = false;       // check parity of received characters
    bool fOutxCtsFlow = false;  // output held while CTS is off
    bool fOutxDsrFlow = false;  // output held while DSR is off (shadow only)
    uint8_t fDtrControl = DTR_CONTROL_ENABLE;
    bool fDsrSensitivity = false;
    bool fTXContinueOnXoff = false;
    bool fOutX = false;  // XON/XOFF flow control of the output
    bool fInX = false;   // XON/XOFF flow control of the input
    bool fErrorChar = false;
    bool fNull = false;
    uint8_t fRtsControl = RTS_CONTROL_ENABLE;
    bool fAbortOnError = false;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 8;           // 5 to 8
    uint8_t Parity = NOPARITY;      // 0 to 4
    uint8_t StopBits = ONESTOPBIT;  // 0 to 2
    char XonChar = 0x11;
    char XoffChar = 0x13;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
};

struct SerialTimeouts {
    // A read returns at once with what is buffered; only when nothing is
    // does it wait, at most this many milliseconds, and return with the
    // first bytes to arrive.  0 returns at once, possibly with nothing.
    uint32_t read_total_ms = 0;
    // A write gives up after this many milliseconds in which the port took
    // no byte, and reports the bytes it did write.  A limit on the whole
    // write would be wrong: a large batch takes seconds at 115200 baud.
    uint32_t write_stall_ms = 0;
};

// Open the tty at `path` (symbolic links followed) for reading and writing,
// exclusively: a second open of the same device fails with EWOULDBLOCK
// until the first is closed.  Returns the handle, or -1.
int32_t serial_open(const std::string &path);

// Close the handle and forget its shadow.
bool serial_close(int32_t handle);

// Read back the port state last set (at first, what the tty had on open).
bool serial_get_state(int32_t handle, PortState *state);

// Apply a port state: raw mode, receiver on, modem lines ignored for
// carrier (CLOCAL), then the record.  EINVAL for a byte size outside 5 to
// 8, a parity code above 4, a stop-bit code above 2, a DTR mode of 3, or a
// rate of 0; the port is then left as it was.
bool serial_set_state(int32_t handle, const PortState &state);

// Queue sizes.  The kernel's buffers are fixed; the receive size asked for
// is what serial_rx_queue_size reports.
bool serial_setup_queues(int32_t handle, uint32_t rx_size, uint32_t tx_size);

// Size of the receive queue (its capacity, not the bytes waiting): the size
// last given to serial_setup_queues, else the line discipline's 4096.
bool serial_rx_queue_size(int32_t handle, uint32_t *size);

// Discard what waits in both directions.
bool serial_purge(int32_t handle);

bool serial_set_timeouts(int32_t handle, const SerialTimeouts &timeouts);

// Read at most `count` bytes; see SerialTimeouts::read_total_ms.  A port
// that has gone (hang-up, unplugged adapter) fails with EIO.
bool serial_read(int32_t handle, void *buffer, uint32_t count, uint32_t *bytes_read);

// Wait until bytes can be read, at most `timeout_ms`; returns at once when
// some are already waiting.  False when the time passed with nothing to read
// (or the handle is unknown).  An error condition counts as readable, so the
// next read reports it; a hang-up does not: it waits the whole time and
// returns false, as an idle port would.
bool serial_wait_readable(int32_t handle, uint32_t timeout_ms);

// Write `count` bytes; see SerialTimeouts::write_stall_ms.  *bytes_written
// holds the bytes that went out, on failure as well, so a caller never
// sends any of them twice.
bool serial_write(int32_t handle, const void *buffer, uint32_t count, uint32_t *bytes_written);

// Start and end a break condition on the line.
bool serial_set_break(int32_t handle);
bool serial_clear_break(int32_t handle);

// errno of the calling thread's most recent failing call above.
int32_t serial_last_error();

}  // namespace platform
