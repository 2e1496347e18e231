/*
 * write_frames.h - the frames that carry a message of the CAN and K-line
 * channels to the adapter for transmission, and the header every
 * transmitted data frame shares.  ISO 15765 segmentation lives in
 * iso15765_tx.h; the identifier and FD flag bits in tx_frame.h.
 *
 * Pure functions over the caller's record and one frame; no global state.
 * Nothing here writes into the caller's record.
 */
#pragma once

#include <cstdint>

#include "j2534.h"
#include "passthru/link/jmsg.h"
#include "passthru/transmit/tx_frame.h"

namespace tenq {

// Flag bits of transmitted data frames beside those of tx_frame.h.
constexpr uint8_t JMSG_FLAG_MORE = 0x20;     // K-line: more pieces of this message follow
constexpr uint8_t JMSG_FLAG_LAST_CF = 0x80;  // ISO 15765: last consecutive frame of a message
constexpr uint8_t JMSG_FLAG_END = 0x20;      // ISO 15765 terminating frame: the message is complete

// A frame carries at most 68 data bytes: an 11-bit record may hold 70
// (two identifier bytes stay behind), a 29-bit record 68.
constexpr uint32_t kCanMaxDataSize11 = kJmsgMaxData + kCanIdBytes - kCan11BitIdBytes;
constexpr uint32_t kCanMaxDataSize29 = kJmsgMaxData;

// K-line messages leave in pieces of this many bytes, the most a frame holds.
constexpr uint32_t kKLinePiece = kJmsgMaxData;
constexpr uint32_t kKLineMaxDataSize = PASSTHRU_MSG_DATA_SIZE;

// Header of a data frame: {0, size, dev, op 3, flags, type 5} and the
// per-message time-out in ms, least significant byte first.
void TxFrameHeader(JMSG &frame, uint8_t dev, uint8_t flags, uint8_t size, uint32_t timeout_ms);

// True when the CAN message fits one frame: its identifier, and at most
// 68 data bytes on the wire.
bool CanTxFits(const PASSTHRU_MSG &msg);

// The one frame of a CAN message; an 11-bit identifier goes as its two low
// bytes.  The message must fit (CanTxFits).
void CanTxFrame(const PASSTHRU_MSG &msg, uint8_t dev, uint32_t timeout_ms, JMSG &frame);

// True when the K-line message fits a record.
bool KLineTxFits(const PASSTHRU_MSG &msg);

// The next piece of a K-line message, from `offset` on; `offset` moves past
// it.  Returns true for the last piece (no JMSG_FLAG_MORE).  An empty
// message is one empty piece.
bool KLineTxPiece(const PASSTHRU_MSG &msg, uint32_t &offset, uint32_t timeout_ms, JMSG &frame);

}  // namespace tenq
