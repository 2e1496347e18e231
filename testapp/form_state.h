/*
 * form_state.h - the program-wide state of the test application that every
 * page uses: the loaded library and its functions, the open device, and one
 * channel-ID word and connect-flag word per protocol.
 *
 * The words are arrays indexed like ProtocolList, so a row's protocol combo
 * index selects them directly; the named references are the same words for
 * code that means one protocol.  Everything starts at zero.
 */
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "testapp/function_table.h"
#include "testapp/interface_discovery.h"
#include "testapp/protocol_list.h"

constexpr int kFilterRows = 10;
constexpr int kPeriodicRows = 14;

struct FormState {
    FormState() = default;
    FormState(const FormState &) = delete;
    FormState &operator=(const FormState &) = delete;

    // The registered interfaces; entry i is line i of LibraryListBox.
    std::vector<InterfaceEntry> Interfaces;

    void *LibraryHandle = nullptr;  // null while no library is loaded
    ::PassThruFunctionTable PassThruFunctionTable;
    uint32_t OpenDeviceID = 0;  // 0: no device open

    // Written by PassThruConnect; never cleared by the form.
    std::array<uint32_t, kProtocolCount> ChannelIDWord{};
    uint32_t &CANChannelID = ChannelIDWord[kCAN];
    uint32_t &ISO15765ChannelID = ChannelIDWord[kISO15765];
    uint32_t &J1850PWMChannelID = ChannelIDWord[kJ1850PWM];
    uint32_t &J1850VPWChannelID = ChannelIDWord[kJ1850VPW];
    uint32_t &ISO14230ChannelID = ChannelIDWord[kISO14230];
    uint32_t &ISO9141ChannelID = ChannelIDWord[kISO9141];
    uint32_t &SCIAEngineChannelID = ChannelIDWord[kSCIAEngine];
    uint32_t &SCIATransChannelID = ChannelIDWord[kSCIATrans];
    uint32_t &SCIBEngineChannelID = ChannelIDWord[kSCIBEngine];
    uint32_t &SCIBTransChannelID = ChannelIDWord[kSCIBTrans];
    uint32_t &MSCANChannelID = ChannelIDWord[kMSCAN];
    uint32_t &MSISO15765ChannelID = ChannelIDWord[kMSISO15765];
    uint32_t &SPCANChannelID = ChannelIDWord[kSPCAN];
    uint32_t &SPISO15765ChannelID = ChannelIDWord[kSPISO15765];

    // The Connect flags of each CAN kind's last connect attempt, sent as the
    // TxFlags of that protocol's messages; 0 for the other items.
    std::array<uint32_t, kProtocolCount> ConnectFlagWord{};
    uint32_t &CANConnectFlags = ConnectFlagWord[kCAN];
    uint32_t &ISO15765ConnectFlags = ConnectFlagWord[kISO15765];
    uint32_t &MSCANConnectFlags = ConnectFlagWord[kMSCAN];
    uint32_t &MSISO15765ConnectFlags = ConnectFlagWord[kMSISO15765];
    uint32_t &SPCANConnectFlags = ConnectFlagWord[kSPCAN];
    uint32_t &SPISO15765ConnectFlags = ConnectFlagWord[kSPISO15765];

    // TxFlags of ISO9141 messages written on the "Read / Write" page.
    uint32_t ISO9141TxFlags = 0;

    // Filter and periodic IDs of each row (index 1..N; 0 unused), as the
    // library last wrote them.
    std::array<uint32_t, kFilterRows + 1> FilterRowID{};
    std::array<uint32_t, kPeriodicRows + 1> PeriodicRowID{};

    // The TxFlags of a message built for protocol item `index`.
    uint32_t tx_flags_of(int index) const
    {
        return ProtocolList[static_cast<size_t>(index)].has_connect_flags
                   ? ConnectFlagWord[static_cast<size_t>(index)]
                   : 0;
    }
};
