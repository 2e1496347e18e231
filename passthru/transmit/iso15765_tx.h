/*
 * iso15765_tx.h - ISO 15765 transmit segmentation: one message into a
 * single frame, or a first frame, consecutive frames and the terminating
 * frame that tells the adapter the message is complete.
 *
 * Block size, separation time and flow control are the adapter's business:
 * the library only cuts the message, all frames at once.  The state machine
 * holds one message at a time and builds one frame per call, so a writer can
 * cut a message across batch boundaries without losing or reordering frames.
 * Pure: no global state; the caller's record is only read.
 */
#pragma once

#include <cstdint>

#include "j2534.h"
#include "passthru/iso15765_pci.h"
#include "passthru/link/jmsg.h"

namespace tenq {

constexpr uint32_t kIsoTpMaxPayload = 4095;  // the first frame's length has 12 bits
constexpr uint32_t kIsoTpClassicLength = 8;  // transmit data length of classic CAN
constexpr uint32_t kIsoTpMaxFdLength = 64;   // longest CAN FD frame
// DataSize up to which a single frame's length fits the low nibble of its
// one PCI byte; longer single frames take the escape form, 00 and the length.
constexpr uint32_t kIsoTpShortSfMax = 11;
// A single frame holds DataSize L+2 (escape form); up to this DataSize it
// may hold L+3, as the one-byte PCI leaves room for one more byte.
constexpr uint32_t kIsoTpFdEscapeLimit = 12;
// First and consecutive frames wait for the receiver's flow control in the
// adapter; a shorter time-out than this would drop them on a slow ECU.
constexpr uint32_t kSegmentTimeoutFloorMs = 1000;

enum class IsoTxState : uint8_t {
    Idle,         // no message
    Ready,        // message taken up, nothing sent yet
    Sending,      // first frame sent, consecutive frames follow
    Terminating,  // last consecutive frame sent, the terminating frame follows
};

enum class IsoTxFrame : uint8_t { None, Single, First, Consecutive, LastConsecutive, Terminating };

struct Iso15765Tx {
    IsoTxState state = IsoTxState::Idle;
    const PASSTHRU_MSG *msg = nullptr;
    uint8_t dev = 0;         // JMSG_ISO15765 or JMSG_MSISO15765
    uint8_t flags = 0;       // header flags shared by the message's frames
    uint8_t id_bytes = 0;    // identifier bytes on the wire: 2 or 4
    uint8_t addr_bytes = 0;  // extended-address byte: 0 or 1
    uint8_t tx_dl = 0;       // transmit data length L
    uint8_t pad_value = 0;
    bool pad = false;
    uint32_t timeout_ms = 0;  // per-message time-out before the floor
    uint32_t data_index = 0;  // position in Data of the next payload byte to send
    uint8_t sn = 0;           // PCI byte of the next consecutive frame
};

// The transmit data length a message asks for: its ExtraDataIndex with
// FD_TX_LENGTH_IN_MSG, the channel's length for other FD messages, 8 for
// classic ones.
uint32_t Iso15765TxDataLength(const PASSTHRU_MSG &msg, uint32_t channel_length);

// True when the message can be framed with transmit data length `tx_dl`:
// its identifier and extended address present, a payload the first frame's
// length can carry, and `tx_dl` between 8 and 64.
bool Iso15765TxFits(const PASSTHRU_MSG &msg, uint32_t tx_dl);

// Takes up a message that fits; the next call of Iso15765TxNext builds its
// first frame.  `msg` must stay valid until the machine is idle again.
void Iso15765TxStart(Iso15765Tx &tx, const PASSTHRU_MSG &msg, uint8_t dev, uint8_t tx_dl,
                     uint8_t pad_value, uint32_t timeout_ms);

// Builds the message's next frame into `frame` and says which kind it was.
// After Single or Terminating the machine is idle.  Idle: builds nothing and
// returns None.
IsoTxFrame Iso15765TxNext(Iso15765Tx &tx, JMSG &frame);

inline bool Iso15765TxBusy(const Iso15765Tx &tx)
{
    return tx.state != IsoTxState::Idle;
}

}  // namespace tenq
