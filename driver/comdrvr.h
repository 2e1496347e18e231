/*
 * comdrvr.h - the serial port driver: one COM port, opened with the
 * adapter's framing, read and written with short time-outs.
 *
 * The driver keeps no state but the last operating-system error; the caller
 * owns the handle variable (-1 while no port is open) and passes its address
 * to every function.  Results: 0, or one of the negative codes below.
 */
#ifndef ORVANE_COMDRVR_H
#define ORVANE_COMDRVR_H

#include <stdint.h>

#include "tenq_export.h"

#define COM_ERR_BREAK (-32000) /* setting or clearing a break failed */
#define COM_ERR_WRITE (-32001)
#define COM_ERR_READ (-32002)
#define COM_ERR_CLOSE (-32003)
#define COM_ERR_TIMEOUTS (-32004)
#define COM_ERR_PURGE (-32005)
#define COM_ERR_QUEUES (-32006)
#define COM_ERR_STATE (-32007)    /* reading or writing the port state */
#define COM_ERR_OPEN (-32008)     /* the port does not exist or cannot be opened */
#define COM_ERR_NOT_OPEN (-32749) /* no port open, null buffer, unknown function */

/* com_ioctl functions */
#define COM_IOCTL_XONXOFF_ON 1
#define COM_IOCTL_XONXOFF_OFF 2
#define COM_IOCTL_GET_SETTINGS 3
#define COM_IOCTL_SET_SETTINGS 4
#define COM_IOCTL_BREAK 5
#define COM_IOCTL_PURGE 6

#pragma pack(push, 1)
typedef struct {
    uint32_t BaudRate;
    uint8_t DataBits;
    uint8_t Parity;   /* 0 none, 1 odd, 2 even, 3 mark, 4 space */
    uint8_t StopBits; /* 0 one, 1 one and a half, 2 two */
    uint8_t DtrDsr;   /* output held while DSR is off */
    uint8_t RtsCts;   /* output held while CTS is off */
    uint8_t XonXoff;  /* XON/XOFF flow control of the output */
} DRVSETTINGS;
#pragma pack(pop)

#ifdef __cplusplus
extern "C" {
#endif

/* Open COM port `port` and configure it: `baud`, `data_bits`, one stop bit
 * when `stop_bits` is 1 else two, no parity (`parity` is not used), output
 * held while DSR is off, DTR on, RTS off, 1 ms read time-out.  A failure
 * after the device opened leaves it open in *h_drv for com_close. */
TENQ_EXPORT int32_t com_open(int32_t *h_drv, uint32_t port, uint32_t baud, uint32_t data_bits,
                             uint32_t stop_bits, uint32_t parity);

/* Discard both directions and close; *h_drv is left as it is. */
TENQ_EXPORT int32_t com_close(int32_t *h_drv);

/* Read at most `count` bytes: at once what is buffered; when nothing is,
 * the first bytes to arrive within the read time-out (1 ms after com_open). */
TENQ_EXPORT int32_t com_read(int32_t *h_drv, void *p_buffer, uint32_t count,
                             uint32_t *p_bytes_read);

/* Write `count` bytes; gives up after the write time-out without progress and
 * then returns 0 with fewer bytes in *p_bytes_written. */
TENQ_EXPORT int32_t com_write(int32_t *h_drv, const void *p_buffer, uint32_t count,
                              uint32_t *p_bytes_written);

/* Functions 1 to 6 above; `p_unused` is never read. */
TENQ_EXPORT int32_t com_ioctl(int32_t *h_drv, uint32_t func, void *p_parms, void *p_unused);

/* Size of the receive queue (its capacity, not the bytes waiting). */
TENQ_EXPORT int32_t com_rx_count(int32_t *h_drv, uint32_t *count);

/* Read time-out `timeout_msec`, write time-out 1000 ms. */
TENQ_EXPORT int32_t com_set_timeout(int32_t *h_drv, uint32_t timeout_msec);

/* DTR control mode (state & 3): 0 off, 1 on, 2 handshake. */
TENQ_EXPORT int32_t com_set_dtr(int32_t *h_drv, uint32_t state);

/* RTS control mode (state & 3): 0 off, 1 on, 2 handshake, 3 toggle. */
TENQ_EXPORT int32_t com_set_rts(int32_t *h_drv, uint32_t state);

#ifdef __cplusplus
}

namespace comdrvr {
// The operating-system error (errno) of the most recent failing call.
int32_t last_error();
}  // namespace comdrvr
#endif

#endif
