// page_connect.cpp - the "Connect / Disconnect" page: one channel per
// protocol, its Connect flags from the option boxes, the channel-ID and
// connect-flag words the other pages use, and the "D2 Support" request.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "testapp/form.h"
#include "testapp/io_rules.h"
#include "testapp/widgets.h"

void TForm1::BuildConnectPage(QWidget *page)
{
    auto *layout = new QGridLayout(page);
    QGroupBox *select = MakeGroup(page, "SelectProtocols", "Select Protocols");
    QGroupBox *options = MakeGroup(page, "ProtocolOptions", "Protocol Options");
    layout->addWidget(select, 0, 0);
    layout->addWidget(options, 0, 1);

    const struct {
        QCheckBox *TForm1::*box;
        const char *name;
        uint32_t baud;
    } connects[kProtocolCount] = {
        {&TForm1::CANConnect, "CANConnect", 500000},
        {&TForm1::ISO15765Connect, "ISO15765Connect", 500000},
        {&TForm1::J1850PWMConnect, "J1850PWMConnect", 41600},
        {&TForm1::J1850VPWConnect, "J1850VPWConnect", 10400},
        {&TForm1::ISO14230Connect, "ISO14230Connect", 10400},
        {&TForm1::ISO9141Connect, "ISO9141Connect", 10400},
        {&TForm1::SCIAEngineConnect, "SCIAEngineConnect", 9600},
        {&TForm1::SCIATransConnect, "SCIATransConnect", 9600},
        {&TForm1::SCIBEngineConnect, "SCIBEngineConnect", 9600},
        {&TForm1::SCIBTransConnect, "SCIBTransConnect", 9600},
        {&TForm1::MSCANConnect, "MSCANConnect", 125000},
        {&TForm1::MSISO15765Connect, "MSISO15765Connect", 125000},
        {&TForm1::SPCANConnect, "SPCANConnect", 500000},
        {&TForm1::SPISO15765Connect, "SPISO15765Connect", 500000},
    };
    auto *select_layout = new QVBoxLayout(select);
    for (int i = 0; i < kProtocolCount; ++i) {
        this->*connects[i].box = MakeCheckBox(select, connects[i].name, ProtocolList[i].text);
        select_layout->addWidget(this->*connects[i].box);
        ConnectRows[i].box = this->*connects[i].box;
        ConnectRows[i].baud_rate = connects[i].baud;
    }
    select_layout->addStretch(1);

    // The option boxes, one column per bus and one for the K-line.
    auto *grid = new QGridLayout(options);
    auto option = [&](QCheckBox *TForm1::*box, const char *name, const char *caption, int row,
                      int column) {
        this->*box = MakeCheckBox(options, name, caption);
        grid->addWidget(this->*box, row, column);
    };
    const struct {
        const char *prefix;
        const char *iso_prefix;
        QCheckBox *TForm1::*bits29, *TForm1::*all_ids, *TForm1::*fd, *TForm1::*passive,
            *TForm1::*ext_addr, *TForm1::*pad, *TForm1::*d2;
    } buses[3] = {
        {"CAN", "ISO15765", &TForm1::CAN29BitId, &TForm1::CANAllowAllId, &TForm1::CANFD,
         &TForm1::CANPassive, &TForm1::ISO15765ExtendedAddress, &TForm1::ISO15765FramePad,
         &TForm1::CAND2Support},
        {"MSCAN", "MSISO15765", &TForm1::MSCAN29BitId, &TForm1::MSCANAllowAllId, &TForm1::MSCANFD,
         &TForm1::MSCANPassive, &TForm1::MSISO15765ExtendedAddress, &TForm1::MSISO15765FramePad,
         &TForm1::MSCAND2Support},
        {"SPCAN", "SPISO15765", &TForm1::SPCAN29BitId, &TForm1::SPCANAllowAllId, &TForm1::SPCANFD,
         &TForm1::SPCANPassive, &TForm1::SPISO15765ExtendedAddress, &TForm1::SPISO15765FramePad,
         &TForm1::SPCAND2Support},
    };
    for (int b = 0; b < 3; ++b) {
        const auto &bus = buses[b];
        std::string p = bus.prefix, iso = bus.iso_prefix;
        grid->addWidget(MakeLabel(options, bus.prefix), 0, b);
        option(bus.bits29, (p + "29BitId").c_str(), "CAN 29-bit ID", 1, b);
        option(bus.all_ids, (p + "AllowAllId").c_str(), "CAN Allow All IDs", 2, b);
        option(bus.fd, (p + "FD").c_str(), "FD", 3, b);
        option(bus.passive, (p + "Passive").c_str(), "Passive", 4, b);
        option(bus.ext_addr, (iso + "ExtendedAddress").c_str(), "ISO15765 Extended Address", 5, b);
        option(bus.pad, (iso + "FramePad").c_str(), "ISO15765 Frame Pad", 6, b);
        option(bus.d2, (p + "D2Support").c_str(), "D2 Support", 7, b);

        // The bus's CAN protocol and its ISO 15765 protocol.
        ConnectRow &can = ConnectRows[b == 0 ? kCAN : b == 1 ? kMSCAN : kSPCAN];
        ConnectRow &isotp = ConnectRows[b == 0 ? kISO15765 : b == 1 ? kMSISO15765 : kSPISO15765];
        QCheckBox *shared[] = {this->*bus.bits29, this->*bus.all_ids, this->*bus.fd};
        can.flags = {{shared[0], CAN_29BIT_ID},
                     {shared[1], CAN_ID_BOTH},
                     {this->*bus.passive, CAN_PASSIVE},
                     {shared[2], kFdFlags}};
        can.locked = {shared[0], shared[1], shared[2]};  // "Passive" is never disabled
        can.d2 = this->*bus.d2;
        isotp.flags = {{shared[0], CAN_29BIT_ID},
                       {shared[1], CAN_ID_BOTH},
                       {shared[2], kFdFlags},
                       {this->*bus.ext_addr, ISO15765_ADDR_TYPE},
                       {this->*bus.pad, ISO15765_FRAME_PAD}};
        isotp.locked = {shared[0], shared[1], shared[2], this->*bus.ext_addr, this->*bus.pad};
    }
    grid->addWidget(MakeLabel(options, "K-Line"), 0, 3);
    option(&TForm1::ISO9141NoChecksum, "ISO9141NoChecksum", "ISO9141 No Checksum", 1, 3);
    option(&TForm1::ISO9141NoLLine, "ISO9141NoLLine", "ISO9141 No L-line", 2, 3);
    option(&TForm1::ISO9141Ford, "ISO9141Ford", "ISO9141 Ford", 3, 3);
    option(&TForm1::ISO14230P3Minimum, "ISO14230P3Minimum", "ISO14230 P3 Minimum", 4, 3);
    ConnectRows[kISO9141].flags = {{ISO9141NoChecksum, ISO9141_NO_CHECKSUM},
                                   {ISO9141NoLLine, ISO9141_K_LINE_ONLY},
                                   {ISO9141Ford, ISO9141_FORD}};
    ConnectRows[kISO9141].locked = {ISO9141NoChecksum, ISO9141NoLLine, ISO9141Ford};
    ConnectRows[kISO14230].flags = {{ISO14230P3Minimum, ISO14230_P3_MIN}};
    ConnectRows[kISO14230].locked = {ISO14230P3Minimum};
    grid->setRowStretch(8, 1);

    DisableAutomatic =
        MakeCheckBox(page, "DisableAutomatic", "Disable Automatic Periodic / Filter Handling");
    layout->addWidget(DisableAutomatic, 1, 0, 1, 2);
    layout->setColumnStretch(2, 1);
    layout->setRowStretch(2, 1);

    void (TForm1::*const handlers[kProtocolCount])() = {
        &TForm1::CANConnectClick,        &TForm1::ISO15765ConnectClick,
        &TForm1::J1850PWMConnectClick,   &TForm1::J1850VPWConnectClick,
        &TForm1::ISO14230ConnectClick,   &TForm1::ISO9141ConnectClick,
        &TForm1::SCIAEngineConnectClick, &TForm1::SCIATransConnectClick,
        &TForm1::SCIBEngineConnectClick, &TForm1::SCIBTransConnectClick,
        &TForm1::MSCANConnectClick,      &TForm1::MSISO15765ConnectClick,
        &TForm1::SPCANConnectClick,      &TForm1::SPISO15765ConnectClick,
    };
    for (int i = 0; i < kProtocolCount; ++i)
        Wire(ConnectRows[i].box, &QCheckBox::toggled, handlers[i]);
    Wire(CAND2Support, &QCheckBox::toggled, &TForm1::CAND2SupportClick);
    Wire(MSCAND2Support, &QCheckBox::toggled, &TForm1::MSCAND2SupportClick);
    Wire(SPCAND2Support, &QCheckBox::toggled, &TForm1::SPCAND2SupportClick);
}

void TForm1::CANConnectClick()
{
    ConnectClick(kCAN);
}
void TForm1::ISO15765ConnectClick()
{
    ConnectClick(kISO15765);
}
void TForm1::J1850PWMConnectClick()
{
    ConnectClick(kJ1850PWM);
}
void TForm1::J1850VPWConnectClick()
{
    ConnectClick(kJ1850VPW);
}
void TForm1::ISO14230ConnectClick()
{
    ConnectClick(kISO14230);
}
void TForm1::ISO9141ConnectClick()
{
    ConnectClick(kISO9141);
}
void TForm1::SCIAEngineConnectClick()
{
    ConnectClick(kSCIAEngine);
}
void TForm1::SCIATransConnectClick()
{
    ConnectClick(kSCIATrans);
}
void TForm1::SCIBEngineConnectClick()
{
    ConnectClick(kSCIBEngine);
}
void TForm1::SCIBTransConnectClick()
{
    ConnectClick(kSCIBTrans);
}
void TForm1::MSCANConnectClick()
{
    ConnectClick(kMSCAN);
}
void TForm1::MSISO15765ConnectClick()
{
    ConnectClick(kMSISO15765);
}
void TForm1::SPCANConnectClick()
{
    ConnectClick(kSPCAN);
}
void TForm1::SPISO15765ConnectClick()
{
    ConnectClick(kSPISO15765);
}

void TForm1::ConnectClick(int index)
{
    const ConnectRow &row = ConnectRows[index];
    uint32_t &channel = ChannelIDWord[index];
    if (row.box->isChecked()) {
        uint32_t flags = 0;
        for (const auto &[box, flag] : row.flags)
            if (box->isChecked())
                flags |= flag;
        if (index == kISO9141)
            ISO9141TxFlags = ISO9141NoLLine->isChecked() ? ISO9141_NO_L_LINE_TX : 0;
        if (ProtocolList[index].has_connect_flags)
            ConnectFlagWord[index] = flags;
        CallAndReport(PassThruFunctionTable.PassThruConnect, "PassThruConnect", OpenDeviceID,
                      ProtocolList[index].protocol_id, flags, row.baud_rate, &channel);
        // The boxes follow the user's choice, not the library's answer.
        for (QCheckBox *box : row.locked)
            box->setEnabled(false);
        if (row.d2)
            row.d2->setEnabled(true);
    } else {
        ReleaseRowsOfChannel(channel);
        CallAndReport(PassThruFunctionTable.PassThruDisconnect, "PassThruDisconnect", channel);
        for (QCheckBox *box : row.locked)
            box->setEnabled(true);
        if (row.d2)
            row.d2->setEnabled(false);
    }
}

void TForm1::CAND2SupportClick()
{
    D2SupportClick(CAND2Support, CANChannelID);
}
void TForm1::MSCAND2SupportClick()
{
    D2SupportClick(MSCAND2Support, MSCANChannelID);
}
void TForm1::SPCAND2SupportClick()
{
    D2SupportClick(SPCAND2Support, SPCANChannelID);
}

void TForm1::D2SupportClick(QCheckBox *box, uint32_t channel)
{
    // Unchecking asks nothing of the library; the answer is not looked at.
    if (box->isChecked() && Bound(PassThruFunctionTable.PassThruIoctl, "PassThruIoctl"))
        PassThruFunctionTable.PassThruIoctl(channel, CAN_D2_FLOW_CONTROL, nullptr, nullptr);
}

void TForm1::ReleaseRowsOfChannel(uint32_t channel)
{
    if (DisableAutomatic->isChecked())
        return;
    // The first word that holds the value: two protocols that never
    // connected both hold 0, and the earlier one's rows are released.
    int index = -1;
    for (int i = 0; i < kProtocolCount && index < 0; ++i)
        if (ChannelIDWord[i] == channel)
            index = i;
    if (index < 0)
        return;
    for (FilterRow &row : FilterRows)
        if (row.Protocol->currentIndex() == index && row.Active->isChecked())
            row.Active->setChecked(false);
    for (PeriodicRow &row : PeriodicRows)
        if (row.Protocol->currentIndex() == index && row.Active->isChecked())
            row.Active->setChecked(false);
}

std::optional<uint32_t> TForm1::FirstConnectedChannel() const
{
    for (int index : kChannelSearchOrder)
        if (ConnectRows[index].box->isChecked())
            return ChannelIDWord[index];
    return std::nullopt;
}
