// comdrvr.cpp - the serial port driver: com_open ... com_set_rts over the
// platform's serial port.
//
// Global state: lLastError only.  The caller owns the handle variable; the
// driver writes it only in com_open.
#include "driver/comdrvr.h"

#include <algorithm>
#include <string>

#include "platform/paths.h"
#include "platform/serial_port.h"
#include "platform/ticks.h"

namespace {

using platform::PortState;

int32_t lLastError = 0;

// The adapter sends bursts of frames between the library's polls; the
// receive queue must hold them all.
constexpr uint32_t kRxQueueSize = 32768;
// A whole batch of prepared frames goes out in one write.
constexpr uint32_t kTxQueueSize = 262144;

// A read returns at once with what is buffered, and waits at most 1 ms
// when nothing is: the library polls.
constexpr uint32_t kReadTimeoutMs = 1;
// A write gives up only after a second in which the port took nothing; a
// full batch takes seconds at 115200 baud.
constexpr uint32_t kWriteStallMs = 1000;

// Length of the break and of the quiet time after it.
constexpr uint32_t kBreakMs = 100;

// Bytes free (XonLim) and bytes left (XoffLim) in the receive queue at which
// XON and XOFF would be sent with input flow control on.
constexpr uint16_t kXonLim = 64;
constexpr uint16_t kXoffLim = 16;

int32_t os_failure(int32_t code)
{
    lLastError = platform::serial_last_error();
    return code;
}

bool no_port(const int32_t *h_drv)
{
    return h_drv == nullptr || *h_drv < 0;
}

// The adapter's framing: no flow control but the output held while DSR is
// off, DTR on, RTS off.  The parity argument of com_open is not used: the
// link always runs without parity.
PortState adapter_state(uint32_t baud, uint32_t data_bits, uint32_t stop_bits)
{
    PortState s;
    s.BaudRate = baud;
    s.fBinary = true;
    s.fParity = false;
    s.fOutxCtsFlow = false;
    s.fOutxDsrFlow = true;
    s.fDtrControl = platform::DTR_CONTROL_ENABLE;
    s.fDsrSensitivity = false;
    s.fTXContinueOnXoff = false;
    s.fOutX = false;
    s.fInX = false;
    s.fErrorChar = false;
    s.fNull = false;
    s.fRtsControl = platform::RTS_CONTROL_DISABLE;
    s.fAbortOnError = false;
    s.XonLim = kXonLim;
    s.XoffLim = kXoffLim;
    // Out-of-range sizes must not wrap into valid ones; 255 is refused.
    s.ByteSize = uint8_t(std::min<uint32_t>(data_bits, 0xFF));
    s.Parity = platform::NOPARITY;
    s.StopBits = stop_bits == 1 ? platform::ONESTOPBIT : platform::TWOSTOPBITS;
    s.XonChar = 0x11;
    s.XoffChar = 0x13;
    s.ErrorChar = 0;
    s.EofChar = 0;
    s.EvtChar = 0;
    return s;
}

int32_t open_port(int32_t *h_drv, uint32_t port, uint32_t baud, uint32_t data_bits,
                  uint32_t stop_bits)
{
    std::string path = platform::com_port_path(port);
    *h_drv = -1;
    lLastError = 0;

    // A failure after this point leaves the port open in *h_drv: the caller
    // closes it.
    *h_drv = platform::serial_open(path);
    if (*h_drv == -1)
        return os_failure(COM_ERR_OPEN);

    PortState state;
    if (!platform::serial_get_state(*h_drv, &state))
        return os_failure(COM_ERR_STATE);
    state = adapter_state(baud, data_bits, stop_bits);
    if (!platform::serial_set_state(*h_drv, state))
        return os_failure(COM_ERR_STATE);

    if (!platform::serial_setup_queues(*h_drv, kRxQueueSize, kTxQueueSize))
        return os_failure(COM_ERR_QUEUES);
    platform::serial_purge(*h_drv);
    if (!platform::serial_set_timeouts(*h_drv, {kReadTimeoutMs, kWriteStallMs}))
        return os_failure(COM_ERR_TIMEOUTS);
    return 0;
}

// Read the port state, let `change` edit it, write it back.
template <class Change> int32_t change_state(int32_t handle, Change change)
{
    PortState state;
    if (!platform::serial_get_state(handle, &state))
        return os_failure(COM_ERR_STATE);
    change(state);
    if (!platform::serial_set_state(handle, state))
        return os_failure(COM_ERR_STATE);
    return 0;
}

int32_t get_settings(int32_t handle, DRVSETTINGS *settings)
{
    PortState state;
    if (!platform::serial_get_state(handle, &state))
        return os_failure(COM_ERR_STATE);
    settings->BaudRate = state.BaudRate;
    settings->DataBits = state.ByteSize;
    settings->Parity = state.Parity;
    settings->StopBits = state.StopBits;
    settings->DtrDsr = state.fOutxDsrFlow ? 1 : 0;
    settings->RtsCts = state.fOutxCtsFlow ? 1 : 0;
    settings->XonXoff = state.fOutX ? 1 : 0;
    return 0;
}

int32_t set_settings(int32_t handle, const DRVSETTINGS *settings)
{
    return change_state(handle, [settings](PortState &state) {
        state.BaudRate = settings->BaudRate;
        state.ByteSize = settings->DataBits;
        state.Parity = settings->Parity;
        state.StopBits = settings->StopBits;
        state.fOutxDsrFlow = settings->DtrDsr != 0;
        state.fOutxCtsFlow = settings->RtsCts != 0;
        state.fOutX = settings->XonXoff != 0;
    });
}

int32_t send_break(int32_t handle)
{
    platform::serial_purge(handle);
    if (!platform::serial_set_break(handle))
        return os_failure(COM_ERR_BREAK);
    platform::sleep_ms(kBreakMs);
    if (!platform::serial_clear_break(handle))
        return os_failure(COM_ERR_BREAK);
    platform::sleep_ms(kBreakMs);
    platform::serial_purge(handle);
    return 0;
}

int32_t purge(int32_t handle)
{
    if (!platform::serial_purge(handle))
        return os_failure(COM_ERR_PURGE);
    return 0;
}

}  // namespace

namespace comdrvr {

int32_t last_error()
{
    return lLastError;
}

}  // namespace comdrvr

// Null pointers for the handle variable and for every out value are refused
// like a null buffer: the driver must not crash its host.

int32_t com_open(int32_t *h_drv, uint32_t port, uint32_t baud, uint32_t data_bits,
                 uint32_t stop_bits, uint32_t /*parity*/)
{
    if (h_drv == nullptr)
        return COM_ERR_NOT_OPEN;
    return open_port(h_drv, port, baud, data_bits, stop_bits);
}

int32_t com_close(int32_t *h_drv)
{
    if (no_port(h_drv))
        return COM_ERR_NOT_OPEN;
    platform::serial_purge(*h_drv);
    if (!platform::serial_close(*h_drv))
        return os_failure(COM_ERR_CLOSE);
    return 0;
}

int32_t com_read(int32_t *h_drv, void *p_buffer, uint32_t count, uint32_t *p_bytes_read)
{
    if (no_port(h_drv) || p_buffer == nullptr || p_bytes_read == nullptr)
        return COM_ERR_NOT_OPEN;
    *p_bytes_read = 0;
    if (!platform::serial_read(*h_drv, p_buffer, count, p_bytes_read))
        return os_failure(COM_ERR_READ);
    return 0;
}

int32_t com_write(int32_t *h_drv, const void *p_buffer, uint32_t count, uint32_t *p_bytes_written)
{
    if (no_port(h_drv) || p_buffer == nullptr || p_bytes_written == nullptr)
        return COM_ERR_NOT_OPEN;
    *p_bytes_written = 0;
    if (!platform::serial_write(*h_drv, p_buffer, count, p_bytes_written))
        return os_failure(COM_ERR_WRITE);
    return 0;
}

int32_t com_ioctl(int32_t *h_drv, uint32_t func, void *p_parms, void * /*p_unused*/)
{
    if (no_port(h_drv))
        return COM_ERR_NOT_OPEN;
    switch (func) {
    case COM_IOCTL_XONXOFF_ON:
        return change_state(*h_drv, [](PortState &state) { state.fOutX = true; });
    case COM_IOCTL_XONXOFF_OFF:
        return change_state(*h_drv, [](PortState &state) { state.fOutX = false; });
    case COM_IOCTL_GET_SETTINGS:
        if (p_parms == nullptr)
            return COM_ERR_NOT_OPEN;
        return get_settings(*h_drv, static_cast<DRVSETTINGS *>(p_parms));
    case COM_IOCTL_SET_SETTINGS:
        if (p_parms == nullptr)
            return COM_ERR_NOT_OPEN;
        return set_settings(*h_drv, static_cast<const DRVSETTINGS *>(p_parms));
    case COM_IOCTL_BREAK: return send_break(*h_drv);
    case COM_IOCTL_PURGE: return purge(*h_drv);
    default: return COM_ERR_NOT_OPEN;
    }
}

int32_t com_rx_count(int32_t *h_drv, uint32_t *count)
{
    if (no_port(h_drv) || count == nullptr)
        return COM_ERR_NOT_OPEN;
    // Like GetCommProperties' result, a failed query is not reported: the
    // size then reads 0.
    uint32_t size = 0;
    platform::serial_rx_queue_size(*h_drv, &size);
    *count = size;
    return 0;
}

int32_t com_set_timeout(int32_t *h_drv, uint32_t timeout_msec)
{
    if (no_port(h_drv))
        return COM_ERR_NOT_OPEN;
    if (!platform::serial_set_timeouts(*h_drv, {timeout_msec, kWriteStallMs}))
        return os_failure(COM_ERR_TIMEOUTS);
    return 0;
}

int32_t com_set_dtr(int32_t *h_drv, uint32_t state)
{
    if (no_port(h_drv))
        return COM_ERR_NOT_OPEN;
    return change_state(*h_drv, [state](PortState &s) { s.fDtrControl = uint8_t(state & 3); });
}

int32_t com_set_rts(int32_t *h_drv, uint32_t state)
{
    if (no_port(h_drv))
        return COM_ERR_NOT_OPEN;
    return change_state(*h_drv, [state](PortState &s) { s.fRtsControl = uint8_t(state & 3); });
}
