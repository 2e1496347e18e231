/*
 * iso15765_rx.h - ISO 15765-2 reception on channels 6 and 12: single frames,
 * first frames with their start indications, consecutive frames reassembled
 * per flow slot, flow-control frames seen on the bus, and the plain CAN
 * records of the mixed format.
 *
 * A frame's flow slot is the filter slot of the flow-control filter it
 * matches (for echoes of own transmissions: the first flow-control filter in
 * use).  The slot's mask length L says how many bytes precede the PCI byte:
 * the identifier (2 or 4 bytes) and, when L is odd, the extended address.
 * The adapter answers first frames with flow control on its own; nothing is
 * sent from here.
 *
 * The reassembly state survives calls, connects and buffer clears: a message
 * that is being collected when a read ends is finished by a later read.
 */
#pragma once

#include <cstdint>

#include "passthru/channels.h"
#include "passthru/filter_table.h"
#include "passthru/iso15765_pci.h"
#include "passthru/link/jmsg.h"
#include "passthru/receive/rx_records.h"

namespace tenq {

// Identifier lengths a flow slot's mask can give: 11-bit or 29-bit, with or
// without the extended address byte.
constexpr uint32_t kMinIdLength = 2;
constexpr uint32_t kMaxIdLength = 5;

enum class FlowState : uint8_t {
    Idle,        // nothing under way: consecutive frames have nothing to join
    Collecting,  // a first frame came; consecutive frames are appended
};

// The PCI byte that the next consecutive frame of each flow slot must carry;
// shared by both channels, as a slot belongs to one of them only.
extern uint8_t ConsecutivePCI[kFilterSlots];
// One reassembly record per flow slot and channel.  ExtraDataIndex holds the
// announced total, identifier bytes included.
extern PASSTHRU_MSG ISO15765FlowMsg[kFilterSlots];
extern PASSTHRU_MSG MSISO15765FlowMsg[kFilterSlots];
// Whether each of those records is collecting a message.
extern FlowState ISO15765FlowState[kFilterSlots];
extern FlowState MSISO15765FlowState[kFilterSlots];

// Receive side of one ISO 15765 channel.
struct Iso15765Rx {
    uint32_t ChannelID;        // 6 or 12
    uint32_t MixedProtocolID;  // CAN or MSCAN, for mixed-format records
    const char *Name;          // begins the channel's error lines
    const CAN_SETUP *Setup;    // its padded length marks padding errors
    PASSTHRU_MSG *FlowMsg;
    FlowState *State;
};

extern const Iso15765Rx ISO15765Rx;
extern const Iso15765Rx MSISO15765Rx;

// One frame taken from the channel's ring, for a channel connected with
// `connect_flags`: at most one ISO 15765 record and one mixed-format record.
void Iso15765ReceiveFrame(const Iso15765Rx &rx, uint32_t connect_flags, const JMSG &frame,
                          ReadTarget &out);

}  // namespace tenq
