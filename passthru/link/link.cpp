// link.cpp - sending frames, receiving the stream and dispatching its frames.
// Owns: the port (hCommPort, CommPortNum), com_buf, com_buf_len, the reply
// slots; appends to the receive rings; clears channel bits on stop reports.
#include "passthru/link/link.h"

#include <cstring>

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/filter_table.h"
#include "passthru/link/frame_codec.h"
#include "passthru/link/rings.h"
#include "platform/serial_port.h"

namespace tenq {

int32_t hCommPort = -1;
uint32_t CommPortNum = 0;

JMSG TENQResponse;
uint8_t MemStatus = kMemWaiting;
uint8_t MemSize;
uint8_t MemData[kMemDataSize];
uint16_t AdcReadings[kAdcInputs];
uint8_t DioReadings[kDioInputs];

uint8_t com_buf[kComBufSize];
uint32_t com_buf_len;

namespace {

constexpr PortOps kSerialDriver{com_open, com_close, com_read, com_write, com_ioctl};
const PortOps *port_ops = &kSerialDriver;

uint8_t send_buf[kSendBufSize];
constexpr size_t kBatchDumpBytes = 32;  // a batch's dumps show this many data bytes

void dump(char type, const JMSG &msg, size_t max_data)
{
    if (!DebugChannelOpen())
        return;
    FormatJmsgDump(msg, max_data, DbgBuffer, sizeof DbgBuffer);
    DbgMsg(type, DbgBuffer);
}

// Write `len` bytes.  When nothing got through, the port is closed, reopened
// and written once more.  A write that got part of the bytes through is not
// repeated: the stream has no resynchronisation, and a half frame sent twice
// would corrupt everything after it.
int32_t write_with_retry(const char *caller, const uint8_t *bytes, uint32_t len)
{
    uint32_t written = 0;
    int32_t rc = Port().write(&hCommPort, bytes, len, &written);
    if (rc == 0 && written == len)
        return STATUS_NOERROR;
    if (written != 0) {
        DbgPrintf(DBG_ERROR, "%s com_write wrote %lu of %lu bytes", caller,
                  static_cast<unsigned long>(written), static_cast<unsigned long>(len));
        return ERR_FAILED;
    }
    DbgPrintf(DBG_ERROR, "%s com_write returned %ld, retry", caller, static_cast<long>(rc));
    JmsgClosePort();
    if (!JmsgOpenPort(CommPortNum))
        return ERR_FAILED;
    written = 0;
    rc = Port().write(&hCommPort, bytes, len, &written);
    if (rc == 0 && written == len)
        return STATUS_NOERROR;
    DbgPrintf(DBG_ERROR, "%s com_write returned %ld after reopen (%lu of %lu bytes)", caller,
              static_cast<long>(rc), static_cast<unsigned long>(written),
              static_cast<unsigned long>(len));
    return ERR_FAILED;
}

void dispatch_bus_frame(const JMSG &msg, uint8_t iso_dev, RxRing &iso_ring, RxRing &can_ring)
{
    if (GetISOFlowFilterIndex(&msg) >= 0 || GetISOPassFilterIndex(&msg) >= 0 ||
        (msg.type == JMSG_TYPE_DATA && msg.dev == iso_dev))
        RingAppend(iso_ring, msg);
    if (GetPassFilterIndex(&msg) >= 0)
        RingAppend(can_ring, msg);
}

void dispatch_overflow_report(const JMSG &msg)
{
    DbgMsg(DBG_ERROR, "Orvane buffer overflow");
    if (msg.size == 0)
        return;
    switch (msg.data[0]) {
    case JMSG_CAN:
    case JMSG_ISO15765:
        CANBuffer.Overflow = 1;
        ISO15765Buffer.Overflow = 1;
        break;
    case JMSG_MSCAN:
    case JMSG_MSISO15765:
        MSCANBuffer.Overflow = 1;
        MSISO15765Buffer.Overflow = 1;
        break;
    default: break;
    }
}

void dispatch_read(const JMSG &msg)
{
    switch (msg.dev) {
    case JMSG_CAN:
    case JMSG_ISO15765: dispatch_bus_frame(msg, JMSG_ISO15765, ISO15765Buffer, CANBuffer); break;
    case JMSG_MSCAN:
    case JMSG_MSISO15765:
        dispatch_bus_frame(msg, JMSG_MSISO15765, MSISO15765Buffer, MSCANBuffer);
        break;
    case JMSG_ISO9141: RingAppend(ISO9141Buffer, msg); break;
    case JMSG_ADC:
        // A reply too short or naming an input we do not have is ignored.
        if (msg.size >= 3 && msg.data[0] < kAdcInputs)
            AdcReadings[msg.data[0]] = static_cast<uint16_t>(msg.data[1] + 256 * msg.data[2]);
        break;
    case JMSG_DIO:
        if (msg.size >= 2 && msg.data[0] < kDioInputs)
            DioReadings[msg.data[0]] = msg.data[1];
        break;
    case JMSG_MEM:
        if (msg.flags & JMSG_FLAG_FAILED) {
            MemSize = 0;
            MemStatus = kMemFailed;
        } else {
            MemSize = msg.size;
            std::memcpy(MemData, msg.data, msg.size);
            MemStatus = kMemReceived;
        }
        break;
    case JMSG_ADAPTER:
        if (msg.flags & JMSG_FLAG_OVERFLOW)
            dispatch_overflow_report(msg);
        else
            TENQResponse = msg;
        break;
    default: break;
    }
}

void dispatch_oversize(std::span<const uint8_t> wire)
{
    DbgPrintf(DBG_ERROR,
              "Received oversized frame (dev=%02X, op=%02X, flags=%02X, type=%02X, size=%02X)",
              wire[2], wire[3], wire[4], wire[5], wire[1]);
}

}  // namespace

bool JmsgOpenPort(uint32_t port)
{
    CommPortNum = port;
    // What an old port left of a frame never continues on the new one:
    // kept, it would cut every later frame at the wrong place.
    com_buf_len = 0;
    if (Port().open(&hCommPort, port, kAdapterBaud, 8, 1, 0) == 0)
        return true;
    // A port that opened but could not be configured must not stay half open.
    JmsgClosePort();
    return false;
}

void JmsgClosePort()
{
    if (hCommPort >= 0)
        Port().close(&hCommPort);
    hCommPort = -1;
}

void JmsgForgetPort()
{
    JmsgClosePort();
    CommPortNum = 0;
}

const PortOps &Port()
{
    return *port_ops;
}

void SetPortOps(const PortOps *ops)
{
    port_ops = ops != nullptr ? ops : &kSerialDriver;
}

int32_t JmsgSendCmd(uint8_t device, uint8_t operation, uint8_t type, uint8_t flags, uint32_t size,
                    const void *p_data_buffer, uint32_t /*timeout*/)
{
    if (size > kJmsgMaxData) {
        DbgPrintf(DBG_ERROR, "JmsgSendCmd size %lu exceeds %lu data bytes",
                  static_cast<unsigned long>(size), static_cast<unsigned long>(kJmsgMaxData));
        return ERR_FAILED;
    }
    JMSG msg;
    std::memset(&msg, 0, sizeof msg);
    JmsgSetHeader(msg, device, operation, type, flags, static_cast<uint8_t>(size));
    if (size != 0 && p_data_buffer != nullptr)
        std::memcpy(msg.data, p_data_buffer, size);
    dump(DBG_SENT, msg, kJmsgMaxData);
    uint8_t wire[kJmsgMaxWire];
    const size_t len = JmsgToWire(msg, wire);
    return write_with_retry("JmsgSendCmd", wire, static_cast<uint32_t>(len));
}

int32_t JmsgSendMsgs(const JMSG *p_msg, uint32_t num_msgs, uint32_t /*timeout*/)
{
    if (num_msgs > kMaxBatchFrames) {
        DbgPrintf(DBG_ERROR, "JmsgSendMsgs batch of %lu frames exceeds %lu",
                  static_cast<unsigned long>(num_msgs),
                  static_cast<unsigned long>(kMaxBatchFrames));
        return ERR_FAILED;
    }
    size_t len = 0;
    for (uint32_t i = 0; i < num_msgs; ++i) {
        const JMSG &msg = p_msg[i];
        if (msg.size > kJmsgMaxData) {
            DbgPrintf(DBG_ERROR, "JmsgSendMsgs frame %lu size %u exceeds %lu data bytes",
                      static_cast<unsigned long>(i), msg.size,
                      static_cast<unsigned long>(kJmsgMaxData));
            return ERR_FAILED;
        }
        dump(DBG_SENT, msg, kBatchDumpBytes);
        len += JmsgToWire(msg, std::span<uint8_t>(send_buf + len, kJmsgMaxWire));
    }
    if (len == 0)
        return STATUS_NOERROR;
    return write_with_retry("JmsgSendMsgs", send_buf, static_cast<uint32_t>(len));
}

int32_t JmsgReceiveMsgs()
{
    uint32_t got = 0;
    int32_t rc = Port().read(&hCommPort, com_buf + com_buf_len,
                             static_cast<uint32_t>(kComBufSize - com_buf_len), &got);
    if (rc != 0) {
        DbgPrintf(DBG_ERROR, "JmsgReceiveMsgs com_read returned %ld", static_cast<long>(rc));
        return ERR_FAILED;
    }
    com_buf_len += got;
    if (com_buf_len == 0)
        return STATUS_NOERROR;
    DbgPrintf(DBG_DIAG, "JmsgReceiveMsgs com_buf_len=%ld", static_cast<long>(com_buf_len));

    const size_t used = CutFrames(std::span<const uint8_t>(com_buf, com_buf_len),
                                  [](std::span<const uint8_t> wire) {
                                      if (!JmsgFits(wire)) {
                                          dispatch_oversize(wire);
                                          return;
                                      }
                                      JMSG msg;
                                      JmsgFromWire(wire, msg);
                                      JmsgDispatch(msg);
                                      dump(DBG_RECEIVED, msg, kJmsgMaxData);
                                  });
    const size_t rest = com_buf_len - used;
    if (rest != 0 && used != 0)
        std::memmove(com_buf, com_buf + used, rest);
    com_buf_len = static_cast<uint32_t>(rest);
    return STATUS_NOERROR;
}

bool JmsgWaitInput(uint32_t ms)
{
    if (port_ops != &kSerialDriver)
        return true;
    // With no port (its reopen failed) nothing can arrive; waiting out the
    // interval keeps a polling loop from spinning until the next send
    // reopens the port.
    if (hCommPort < 0) {
        platform::sleep_ms(ms);
        return false;
    }
    return platform::serial_wait_readable(hCommPort, ms);
}

void JmsgDispatch(const JMSG &msg)
{
    switch (msg.op) {
    case JMSG_DEV_STOP:
        DbgMsg(DBG_DIAG, "JmsgReceiveMsgs received a JMSG_DEV_STOP message");
        ChannelStoppedByAdapter(msg.dev);
        break;
    case JMSG_DEV_READ: dispatch_read(msg); break;
    case JMSG_DEV_WRITE:
    case JMSG_DEV_OPEN:
    case JMSG_DEV_CLOSE:
        if (msg.dev == JMSG_ADAPTER)
            TENQResponse = msg;
        break;
    default:
        DbgPrintf(
            DBG_ERROR,
            "Received invalid operation (dev=%02X, op=%02X, flags=%02X, type=%02X, size=%02X)",
            msg.dev, msg.op, msg.flags, msg.type, msg.size);
        break;
    }
}

void MarkResponseWaiting()
{
    TENQResponse.dev = 0;
    TENQResponse.op = 0;
}

bool ResponseIs(uint8_t op, uint8_t type)
{
    return TENQResponse.dev == JMSG_ADAPTER && TENQResponse.op == op && TENQResponse.type == type;
}

}  // namespace tenq
