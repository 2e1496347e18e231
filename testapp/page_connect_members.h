// page_connect_members.h - TForm1 members of the "Connect / Disconnect"
// page: one connect box per protocol with its option boxes, the "D2
// Support" boxes and the release of a channel's filter and periodic rows.
// Included inside the class body of TForm1 (form.h); no include guard, no
// includes.

void BuildConnectPage(QWidget *page);

// Connect boxes ("Select Protocols").
QCheckBox *CANConnect = nullptr, *ISO15765Connect = nullptr, *J1850PWMConnect = nullptr,
          *J1850VPWConnect = nullptr, *ISO14230Connect = nullptr, *ISO9141Connect = nullptr,
          *SCIAEngineConnect = nullptr, *SCIATransConnect = nullptr, *SCIBEngineConnect = nullptr,
          *SCIBTransConnect = nullptr, *MSCANConnect = nullptr, *MSISO15765Connect = nullptr,
          *SPCANConnect = nullptr, *SPISO15765Connect = nullptr;
// Option boxes ("Protocol Options"), per bus where the bus has its own.
QCheckBox *CAN29BitId = nullptr, *MSCAN29BitId = nullptr, *SPCAN29BitId = nullptr;
QCheckBox *CANAllowAllId = nullptr, *MSCANAllowAllId = nullptr, *SPCANAllowAllId = nullptr;
QCheckBox *CANFD = nullptr, *MSCANFD = nullptr, *SPCANFD = nullptr;
QCheckBox *CANPassive = nullptr, *MSCANPassive = nullptr, *SPCANPassive = nullptr;
QCheckBox *ISO15765ExtendedAddress = nullptr, *MSISO15765ExtendedAddress = nullptr,
          *SPISO15765ExtendedAddress = nullptr;
QCheckBox *ISO15765FramePad = nullptr, *MSISO15765FramePad = nullptr, *SPISO15765FramePad = nullptr;
QCheckBox *ISO9141NoChecksum = nullptr, *ISO9141NoLLine = nullptr, *ISO9141Ford = nullptr;
QCheckBox *ISO14230P3Minimum = nullptr;
QCheckBox *CAND2Support = nullptr, *MSCAND2Support = nullptr, *SPCAND2Support = nullptr;
QCheckBox *DisableAutomatic = nullptr;

// What connecting one protocol takes, indexed like ProtocolList.
struct ConnectRow {
    QCheckBox *box = nullptr;
    uint32_t baud_rate = 0;
    std::vector<std::pair<QCheckBox *, uint32_t>> flags;  // option box and its Connect flag
    std::vector<QCheckBox *> locked;                      // disabled while connected
    QCheckBox *d2 = nullptr;                              // the bus's "D2 Support" box (CAN kinds)
};
std::array<ConnectRow, kProtocolCount> ConnectRows;

void CANConnectClick();
void ISO15765ConnectClick();
void J1850PWMConnectClick();
void J1850VPWConnectClick();
void ISO14230ConnectClick();
void ISO9141ConnectClick();
void SCIAEngineConnectClick();
void SCIATransConnectClick();
void SCIBEngineConnectClick();
void SCIBTransConnectClick();
void MSCANConnectClick();
void MSISO15765ConnectClick();
void SPCANConnectClick();
void SPISO15765ConnectClick();
void CAND2SupportClick();
void MSCAND2SupportClick();
void SPCAND2SupportClick();

// Connects or disconnects protocol item `index` after its box's state.
void ConnectClick(int index);
// Sends CAN_D2_FLOW_CONTROL to `channel` when `box` became checked.
void D2SupportClick(QCheckBox *box, uint32_t channel);
// Unchecks (and so stops) every filter and periodic row of the protocol
// whose channel-ID word first equals `channel`, unless DisableAutomatic.
void ReleaseRowsOfChannel(uint32_t channel);
// The channel-ID word of the first protocol, in the handlers' search order,
// whose connect box is checked; nothing when none is.
std::optional<uint32_t> FirstConnectedChannel() const;
