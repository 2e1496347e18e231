/*
 * kline_rx.h - records of the K-line channels (3 and 4): messages joined
 * from the adapter's pieces, start indications, key bytes, the K-line filter
 * test and the checksum.
 *
 * A message under way lives in the caller's record at the current position;
 * it grows by one piece per frame until a piece shorter than a full frame
 * ends it.  Key-byte frames fill ISO9141Keyword1, ISO9141Keyword2 and
 * ISO9141Address, which the five-baud initialisation waits for.
 */
#pragma once

#include <cstdint>

#include "passthru/link/jmsg.h"
#include "passthru/receive/rx_records.h"

namespace tenq {

// Key bytes of the last five-baud initialisation, from the K-line key-byte
// frame.  Process-wide: closing the device does not reset them.
extern uint8_t ISO9141Keyword1;
extern uint8_t ISO9141Keyword2;
extern uint8_t ISO9141Address;

// Forget the key bytes, before an initialisation waits for new ones.
void KLineClearKeyBytes();

constexpr uint8_t kKLineFlagKeyBytes = 0x40;  // data: key byte 1, key byte 2, address
constexpr uint8_t kKLineFlagStart = 0x80;     // start-of-message indication
constexpr uint32_t kKLinePieceSize = 68;      // a piece this long is continued by the next

// One frame taken from the K-line ring for channel `ChannelID`.
void KLineReceiveFrame(uint32_t ChannelID, const JMSG &frame, ReadTarget &out);

// Forget the remaining pieces of an over-long message being dropped: the
// frames that would end it went with the ring (a receive clear, a connect or
// a disconnect of a K-line channel).
void KLineResetReception();

}  // namespace tenq
