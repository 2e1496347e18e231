/*
 * protocol_list.h - the 14 items of every protocol combo box of the form.
 *
 * The item index selects the ProtocolID of the messages built for it and
 * the channel-ID word (and, for the six CAN kinds, the connect-flag word)
 * that the form's pages use; both words are arrays indexed the same way.
 */
#pragma once

#include <array>
#include <cstdint>
#include <optional>

constexpr int kProtocolCount = 14;

struct ProtocolItem {
    const char *text;        // item text of the combo boxes
    uint32_t protocol_id;    // ProtocolID of the messages
    bool has_connect_flags;  // its connect-flag word is the messages' TxFlags
};

extern const std::array<ProtocolItem, kProtocolCount> ProtocolList;

// Indices into ProtocolList, named for the code that needs one item.
enum ProtocolIndex : int {
    kCAN = 0,
    kISO15765 = 1,
    kJ1850PWM = 2,
    kJ1850VPW = 3,
    kISO14230 = 4,
    kISO9141 = 5,
    kSCIAEngine = 6,
    kSCIATrans = 7,
    kSCIBEngine = 8,
    kSCIBTrans = 9,
    kMSCAN = 10,
    kMSISO15765 = 11,
    kSPCAN = 12,
    kSPISO15765 = 13,
};

// The order in which handlers that act on one channel look for the first
// checked connect box.
extern const std::array<int, kProtocolCount> kChannelSearchOrder;

// The item of a combo index; nothing for -1 (no selection) or any index
// outside the 14 items (such as filter row 1's extra empty item).
std::optional<ProtocolItem> protocol_item(int index);
