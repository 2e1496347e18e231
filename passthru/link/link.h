/*
 * link.h - the device link: the only road between the entry points and the
 * adapter.  It sends single commands and batches of prepared frames, reads
 * the serial stream, cuts it into frames and dispatches them into the
 * receive rings and the reply slots that the waiting functions watch.
 *
 * Nothing runs between library calls: what the adapter sends waits in the
 * serial driver's queue until some function polls JmsgReceiveMsgs.
 */
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/comdrvr.h"
#include "passthru/link/jmsg.h"
#include "platform/ticks.h"

namespace tenq {

constexpr size_t kComBufSize =
    4096;  // receive buffer; holds at most one partial frame between calls
constexpr uint32_t kMaxBatchFrames = 1000;                       // frames in one serial write
constexpr size_t kSendBufSize = kMaxBatchFrames * kJmsgMaxWire;  // a whole batch in one write
constexpr uint32_t kReplyLimitMs = 14999;  // replies: give up once 15 s have passed
constexpr uint32_t kClockWriteLimitMs = 29999;
constexpr size_t kAdcInputs = 16;
constexpr size_t kDioInputs = 3;  // inputs 1 and 2
constexpr size_t kMemDataSize = 256;

constexpr uint8_t kMemWaiting = 0xFF;
constexpr uint8_t kMemReceived = 0;
constexpr uint8_t kMemFailed = 0xFE;

constexpr uint32_t kAdapterBaud = 115200;

// The adapter's port.
extern int32_t hCommPort;     // serial driver handle, -1 while no port is open
extern uint32_t CommPortNum;  // the adapter's COM port, 0 = none known; also its DeviceID

// Remember `port` and open it at the adapter's framing with an empty receive
// buffer.  False when it cannot be opened; no port is open then.
bool JmsgOpenPort(uint32_t port);
// Close the port and forget its handle; the number stays for a reopen.
void JmsgClosePort();
// Close the port and forget its number too.
void JmsgForgetPort();

// Reply slots.
extern JMSG TENQResponse;
extern uint8_t MemStatus;
extern uint8_t MemSize;
extern uint8_t MemData[kMemDataSize];
extern uint16_t AdcReadings[kAdcInputs];
extern uint8_t DioReadings[kDioInputs];

// Receive buffer.
extern uint8_t com_buf[kComBufSize];
extern uint32_t com_buf_len;

// Send one command frame of `size` (at most 68) data bytes.  0 or ERR_FAILED.
int32_t JmsgSendCmd(uint8_t device, uint8_t operation, uint8_t type, uint8_t flags, uint32_t size,
                    const void *p_data_buffer, uint32_t timeout);

// Send `num_msgs` prepared frames (at most 1000) in one serial write.
int32_t JmsgSendMsgs(const JMSG *p_msg, uint32_t num_msgs, uint32_t timeout);

// Read what the port has, dispatch every complete frame.  0 or ERR_FAILED.
int32_t JmsgReceiveMsgs();

// Wait up to `ms` for the adapter to send something; returns at once when
// bytes are already waiting.  False when the time passed with nothing to
// read, so the caller can spare itself the poll.  A polling loop calls it
// between polls, so that an idle wait does not wake the caller every
// millisecond.  With no port open, or one that has hung up, nothing can
// arrive: it waits out `ms` as for an idle port and returns false.  On a
// port other than the serial driver (a test's) it returns true at once.
bool JmsgWaitInput(uint32_t ms);

// Dispatch one complete frame from the adapter (the receive path's last step).
void JmsgDispatch(const JMSG &msg);

// Poll the adapter until `answered()` holds or more than `limit_ms` passed.
template <typename Answered>
bool JmsgWaitReply(Answered answered, uint32_t limit_ms = kReplyLimitMs)
{
    const uint32_t start = platform::tick_count();
    for (;;) {
        JmsgReceiveMsgs();
        if (answered())
            return true;
        if (platform::tick_count() - start > limit_ms)
            return false;
    }
}

// Mark TENQResponse as waiting, and test it for the answer of the adapter.
void MarkResponseWaiting();
bool ResponseIs(uint8_t op, uint8_t type);

// The serial port as the link sees it.  Tests replace it to inject failures.
struct PortOps {
    int32_t (*open)(int32_t *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);
    int32_t (*close)(int32_t *);
    int32_t (*read)(int32_t *, void *, uint32_t, uint32_t *);
    int32_t (*write)(int32_t *, const void *, uint32_t, uint32_t *);
    int32_t (*ioctl)(int32_t *, uint32_t, void *, void *);
};
const PortOps &Port();
void SetPortOps(const PortOps *ops);  // nullptr restores the serial driver

}  // namespace tenq
