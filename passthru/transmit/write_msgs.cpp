// write_msgs.cpp - PassThruWriteMsgs: the caller's messages into frames,
// written in batches, and the completion barrier of a blocking write.
// Owns the batch buffer.  Writes the transmit data length into the setup
// block of an ISO 15765 channel; reads ChannelStatus and TENQResponse (via
// the version query).  Never writes into the caller's records.

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/entry_check.h"
#include "passthru/guarded_call.h"
#include "passthru/link/link.h"
#include "passthru/services/version.h"
#include "passthru/transmit/iso15765_tx.h"
#include "passthru/transmit/write_frames.h"
#include "platform/ticks.h"

using namespace tenq;

namespace {

constexpr uint32_t kMinWriteTimeoutMs = 1500;  // shorter time-outs, 0 included, are raised to this
constexpr uint32_t kTimeoutReserveMs = 500;    // kept back from the messages' share of the time-out
// Each batch written extends the call's time limit: a full batch of
// 1000 frames takes well over a second on the 115200-baud link.
constexpr uint32_t kBatchAllowanceMs = 1500;

// One batch.  Static rather than on the caller's stack: 78 KB is more than
// some host threads have, and calls are not concurrent.
JMSG MsgBuf[kMaxBatchFrames];

struct Write {
    uint32_t channel = 0;
    ChannelKind kind = ChannelKind::Can;
    uint8_t dev = 0;
    CAN_SETUP *setup = nullptr;  // ISO 15765 channels
    const PASSTHRU_MSG *msgs = nullptr;
    uint32_t count = 0;
    uint32_t per_msg_timeout = 0;
    uint32_t start = 0;
    uint64_t limit = 0;       // ms after start; 64 bits so a huge time-out cannot wrap
    uint32_t frames = 0;      // frames collected in MsgBuf
    uint32_t converted = 0;   // messages whose frames are all collected or written
    uint32_t written = 0;     // messages whose frames are all written
    bool in_message = false;  // the current message has frames collected already
    uint32_t kline_offset = 0;
    Iso15765Tx iso;
    bool blocking = false;
};

void log_refusal(uint32_t index, const PASSTHRU_MSG &msg)
{
    DbgPrintf(DBG_ERROR, "PassThruWriteMsgs message %lu cannot be framed (DataSize %lu)",
              static_cast<unsigned long>(index), static_cast<unsigned long>(msg.DataSize));
}

// Checks the message before any of its frames exists and takes it up.
// ERR_INVALID_MSG for a message the frames cannot carry.
int32_t begin_message(Write &w, const PASSTHRU_MSG &msg)
{
    switch (w.kind) {
    case ChannelKind::KLine:
        if (!KLineTxFits(msg)) {
            log_refusal(w.converted, msg);
            return ERR_INVALID_MSG;
        }
        w.kline_offset = 0;
        break;
    case ChannelKind::Can:
        if (!CanTxFits(msg)) {
            log_refusal(w.converted, msg);
            return ERR_INVALID_MSG;
        }
        break;
    case ChannelKind::Iso15765: {
        const uint32_t tx_dl = Iso15765TxDataLength(msg, w.setup->iso15765_tx_data_length);
        if (tx_dl < kIsoTpClassicLength || tx_dl > kIsoTpMaxFdLength) {
            DbgPrintf(DBG_ERROR,
                      "PassThruWriteMsgs message %lu transmit data length %lu outside 8 to 64",
                      static_cast<unsigned long>(w.converted), static_cast<unsigned long>(tx_dl));
            return ERR_INVALID_MSG;
        }
        if (!Iso15765TxFits(msg, tx_dl)) {
            log_refusal(w.converted, msg);
            return ERR_INVALID_MSG;
        }
        // The length stays with the channel: the reader compares received
        // frame lengths with it, and GET_CONFIG reports it.
        w.setup->iso15765_tx_data_length = static_cast<uint8_t>(tx_dl);
        Iso15765TxStart(w.iso, msg, w.dev, static_cast<uint8_t>(tx_dl), w.setup->iso15765_pad_value,
                        w.per_msg_timeout);
        break;
    }
    }
    w.in_message = true;
    return STATUS_NOERROR;
}

// Builds the current message's next frame; true when it was its last.
bool build_frame(Write &w, const PASSTHRU_MSG &msg, JMSG &frame)
{
    switch (w.kind) {
    case ChannelKind::KLine: return KLineTxPiece(msg, w.kline_offset, w.per_msg_timeout, frame);
    case ChannelKind::Can: CanTxFrame(msg, w.dev, w.per_msg_timeout, frame); return true;
    case ChannelKind::Iso15765: Iso15765TxNext(w.iso, frame); return !Iso15765TxBusy(w.iso);
    }
    return true;
}

// Writes the collected frames; the messages converted so far are then
// written.  0 or ERR_FAILED (the link has sent its own line).
int32_t send_batch(Write &w)
{
    const int32_t rc = JmsgSendMsgs(MsgBuf, w.frames, kMinWriteTimeoutMs);
    w.frames = 0;
    w.limit += kBatchAllowanceMs;
    if (rc != STATUS_NOERROR)
        return ERR_FAILED;
    // Only whole messages count: frames of a message still being cut stay
    // uncounted until its last frame is written.
    w.written = w.converted;
    return STATUS_NOERROR;
}

int32_t convert_and_send(Write &w)
{
    while (w.converted < w.count) {
        const PASSTHRU_MSG &msg = w.msgs[w.converted];
        if (!w.in_message) {
            const int32_t rc = begin_message(w, msg);
            if (rc != STATUS_NOERROR) {
                // The messages before the refused one still go out.
                if (w.frames != 0 && send_batch(w) != STATUS_NOERROR)
                    return ERR_FAILED;
                return rc;
            }
        }
        // The terminating frame is the channel's, not the message's.
        const bool terminating =
            w.kind == ChannelKind::Iso15765 && w.iso.state == IsoTxState::Terminating;
        if (!terminating && VerifyProtocol(msg.ProtocolID, w.channel) == 0)
            DbgPrintf(DBG_ERROR, "PassThruWriteMsgs protocol (%d) mismatch for channel ID (%d)",
                      static_cast<int>(msg.ProtocolID), static_cast<int>(w.channel));
        if ((msg.TxFlags & BLOCKING_WRITE) != 0)
            w.blocking = true;
        if (build_frame(w, msg, MsgBuf[w.frames])) {
            ++w.converted;
            w.in_message = false;
        }
        ++w.frames;
        if (w.converted >= w.count || w.frames == kMaxBatchFrames) {
            if (send_batch(w) != STATUS_NOERROR)
                return ERR_FAILED;
        }
        // Frames collected but not written when time runs out stay unsent:
        // the limit bounds the call, and they are not counted.
        if (w.converted < w.count && platform::tick_count() - w.start >= w.limit)
            return ERR_TIMEOUT;
    }
    return STATUS_NOERROR;
}

// The adapter answers the version query only after it has handled every
// frame written before it.
int32_t completion_barrier()
{
    const int32_t rc = SendVersionQuery();
    if (rc != STATUS_NOERROR) {
        DbgPrintf(DBG_ERROR, "PassThruWriteMsgs(VERSION): JmsgSendCmd returned %ld",
                  static_cast<long>(rc));
        return ERR_FAILED;
    }
    return WaitVersionReply() ? STATUS_NOERROR : ERR_TIMEOUT;
}

int32_t write_msgs(uint32_t ChannelID, const PASSTHRU_MSG *pMsg, uint32_t *pNumMsgs,
                   uint32_t Timeout)
{
    Write w;
    const ChannelInfo *ch = FindChannel(ChannelID);
    if (ch == nullptr) {
        *pNumMsgs = 0;
        DbgMsg(DBG_ERROR, "PassThruWriteMsgs invalid channel ID");
        return ERR_INVALID_CHANNEL_ID;
    }
    w.channel = ChannelID;
    w.kind = ch->kind;
    w.dev = ch->device;
    w.setup = ch->can_setup;
    w.msgs = pMsg;
    w.count = *pNumMsgs;
    const uint32_t timeout = Timeout < kMinWriteTimeoutMs ? kMinWriteTimeoutMs : Timeout;
    w.per_msg_timeout = (timeout - kTimeoutReserveMs) / w.count;
    w.limit = timeout;
    w.start = platform::tick_count();

    int32_t status = convert_and_send(w);
    *pNumMsgs = w.written;
    // A failure stands: the barrier would only wait on a link that failed
    // or add to a call that ran out of time.
    if (status == STATUS_NOERROR && w.blocking)
        status = completion_barrier();
    return status;
}

}  // namespace

extern "C" int32_t PassThruWriteMsgs(uint32_t ChannelID, PASSTHRU_MSG *pMsg, uint32_t *pNumMsgs,
                                     uint32_t Timeout)
{
    return Guarded(__func__, [&] {
        if (int32_t rc = CheckEntry({"PassThruWriteMsgs"}, ChannelID,
                                    pMsg != nullptr && pNumMsgs != nullptr);
            rc != STATUS_NOERROR)
            return rc;
        DbgPrintf(DBG_API, "PassThruWriteMsgs(%ld, pMsg, %ld, %ld)", LdArg(ChannelID),
                  LdArg(*pNumMsgs), LdArg(Timeout));
        if (*pNumMsgs == 0)
            return STATUS_NOERROR;
        return write_msgs(ChannelID, pMsg, pNumMsgs, Timeout);
    });
}
