// kline_init.cpp - the two K-line initialisations.  The adapter runs them
// when the K-line setup block asks for one in `init_type`; the library then
// reads the channel until the key bytes (five-baud) or the ECU's response
// (fast) arrive.
// Touches: ISO9141Setup.init_type and init_address, the key bytes.
#include <cstring>

#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/entry_check.h"
#include "passthru/ioctl/ioctl.h"
#include "passthru/link/jmsg.h"
#include "passthru/link/link.h"
#include "passthru/receive/kline_rx.h"
#include "platform/ticks.h"

namespace tenq {

namespace {

// init_type bits: the connect flags' bit that survives an initialisation,
// and the two requests.
constexpr uint8_t kInitKeepMask = 0x80;  // no checksum
constexpr uint8_t kInitFiveBaud = 0x20;
constexpr uint8_t kInitFast = 0x10;

// The address byte alone takes 2 s at 5 baud, and the ECU may take up to
// W1 (300 ms) before its sync and key bytes: 5 s leaves room for both.
constexpr uint32_t kFiveBaudLimitMs = 4999;
constexpr uint32_t kFastInitLimitMs = 999;
constexpr uint32_t kReadSliceMs = 100;
constexpr uint32_t kFastInitWriteTimeoutMs = 500;

bool is_kline_channel(uint32_t ChannelID)
{
    const ChannelInfo *ch = FindChannel(ChannelID);
    return ch != nullptr && ch->kind == ChannelKind::KLine;
}

// Sends the K-line block with the initialisation request in `init_type`;
// the request is taken out again at once so that no later block repeats it.
void request_init(uint8_t kind, const char *failure_line)
{
    ISO9141Setup.init_type = static_cast<uint8_t>((ISO9141Setup.init_type & kInitKeepMask) + kind);
    if (SendSetupBlock(JMSG_ISO9141, ISO9141Setup) != 0)
        DbgMsg(DBG_ERROR, failure_line);
    ISO9141Setup.init_type &= kInitKeepMask;
}

// Results of PassThruReadMsgs after which its count says what it delivered.
bool read_delivered(int32_t status)
{
    return status == STATUS_NOERROR || status == ERR_TIMEOUT || status == ERR_BUFFER_OVERFLOW;
}

}  // namespace

int32_t IoctlFiveBaudInit(uint32_t ChannelID, const SBYTE_ARRAY *pInput, SBYTE_ARRAY *pOutput)
{
    DbgMsg(DBG_API, "  FIVE_BAUD_INIT");
    if (!is_kline_channel(ChannelID)) {
        DbgMsg(DBG_ERROR, "Invalid channel ID for FIVE_BAUD_INIT");
        return ERR_INVALID_CHANNEL_ID;
    }
    if (pInput == nullptr || pInput->BytePtr == nullptr || pOutput == nullptr ||
        pOutput->BytePtr == nullptr)
        return Refuse(kIoctlNullParameter, ERR_NULL_PARAMETER);
    // The address goes in, two key bytes come out: arrays that cannot hold
    // them would be read or written past their end.
    if (pInput->NumOfBytes < 1 || pOutput->NumOfBytes < 2) {
        DbgMsg(DBG_ERROR, "Invalid byte count for FIVE_BAUD_INIT");
        return ERR_INVALID_MSG;
    }

    KLineClearKeyBytes();
    ISO9141Setup.init_address = pInput->BytePtr[0];
    request_init(kInitFiveBaud, "Cannot start the FIVE_BAUD_INIT");

    const uint32_t start = platform::tick_count();
    // A channel the adapter stopped delivers nothing more: that ends the
    // wait as running out of time would.
    while (platform::tick_count() - start <= kFiveBaudLimitMs && ChannelConnected(ChannelID)) {
        PASSTHRU_MSG msg;
        uint32_t count = 1;
        PassThruReadMsgs(ChannelID, &msg, &count, kReadSliceMs);
        if (ISO9141Keyword1 != 0 || ISO9141Keyword2 != 0)
            break;
    }
    // No key bytes in time is not an error: the caller sees 0, 0.
    pOutput->BytePtr[0] = ISO9141Keyword1;
    pOutput->BytePtr[1] = ISO9141Keyword2;
    return STATUS_NOERROR;
}

int32_t IoctlFastInit(uint32_t ChannelID, PASSTHRU_MSG *pRequest, PASSTHRU_MSG *pResponse)
{
    DbgMsg(DBG_API, "  FAST_INIT");
    if (pRequest == nullptr || pResponse == nullptr)
        return Refuse(kIoctlNullParameter, ERR_NULL_PARAMETER);

    request_init(kInitFast, "Cannot start the FAST_INIT");
    uint32_t count = 1;
    if (int32_t rc = PassThruWriteMsgs(ChannelID, pRequest, &count, kFastInitWriteTimeoutMs);
        rc != STATUS_NOERROR)
        return rc;

    const uint32_t start = platform::tick_count();
    while (platform::tick_count() - start <= kFastInitLimitMs && ChannelConnected(ChannelID)) {
        PASSTHRU_MSG msg;
        count = 1;
        // A refused read (the adapter stopped the channel) leaves the count
        // as it was and the record unwritten: only a delivered record counts.
        if (!read_delivered(PassThruReadMsgs(ChannelID, &msg, &count, kReadSliceMs)) || count != 1)
            continue;
        // The echo of the request and start indications are not the answer.
        if ((msg.RxStatus & (TX_MSG_TYPE | START_OF_MESSAGE)) == 0) {
            std::memcpy(pResponse, &msg, sizeof msg);
            return STATUS_NOERROR;
        }
    }
    DbgMsg(DBG_ERROR, "No response to FAST_INIT");
    return ERR_FAILED;
}

}  // namespace tenq
