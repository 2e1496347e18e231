// protocol_list.cpp - the protocol items of the form's combo boxes.
#include "testapp/protocol_list.h"

#include "j2534.h"

const std::array<ProtocolItem, kProtocolCount> ProtocolList = {{
    {"CAN", CAN, true},
    {"ISO15765", ISO15765, true},
    {"J1850PWM", J1850PWM, false},
    {"J1850VPW", J1850VPW, false},
    {"ISO14230", ISO14230, false},
    {"ISO9141", ISO9141, false},
    {"SCI A Engine", SCI_A_ENGINE, false},
    {"SCI A Trans", SCI_A_TRANS, false},
    {"SCI B Engine", SCI_B_ENGINE, false},
    {"SCI B Trans", SCI_B_TRANS, false},
    {"MSCAN", MSCAN, true},
    {"MSISO15765", MSISO15765, true},
    {"SPCAN", SPCAN, true},
    {"SPISO15765", SPISO15765, true},
}};

const std::array<int, kProtocolCount> kChannelSearchOrder = {
    kCAN,      kISO15765, kMSCAN,   kMSISO15765, kSPCAN,     kSPISO15765, kJ1850PWM,
    kJ1850VPW, kISO14230, kISO9141, kSCIAEngine, kSCIATrans, kSCIBEngine, kSCIBTrans,
};

std::optional<ProtocolItem> protocol_item(int index)
{
    if (index < 0 || index >= kProtocolCount)
        return std::nullopt;
    return ProtocolList[static_cast<size_t>(index)];
}
