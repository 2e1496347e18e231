// page_ioctl1_members.h - TForm1 members of the "I/O Control (1)" page: the
// configuration groups per protocol with their Get and Set, the K-line
// initialisations, the functional address, the filter clear and the
// one-switch options (and the K-line pin list of "I/O Control (2)").
// Included inside the class body of TForm1 (form.h); no include guard, no
// includes.

void BuildIoControl1Page(QWidget *page);

// "CAN / ISO15765": one set of fields for all three CAN controllers.
QLineEdit *CANDataRate = nullptr, *CANSamplePoint = nullptr, *CANSyncJumpWidth = nullptr,
          *ISO15765BlockSize = nullptr, *ISO15765SeparationTime = nullptr,
          *ISO15765BlockSizeOverride = nullptr, *ISO15765SeparationTimeOverride = nullptr,
          *ISO15765WaitFrameMax = nullptr, *CANInterframeDelay = nullptr,
          *ISO15765TxDataLen = nullptr, *ISO15765PadValue = nullptr, *CANFDDataRate = nullptr;
QPushButton *GetCANSetup = nullptr, *SetCANSetup = nullptr, *GetMSCANSetup = nullptr,
            *SetMSCANSetup = nullptr, *GetSPCANSetup = nullptr, *SetSPCANSetup = nullptr;
// "ISO9141 / ISO14230".
QLineEdit *ISODataRate = nullptr, *P1Min = nullptr, *P1Max = nullptr, *P2Min = nullptr,
          *P2Max = nullptr, *P3Min = nullptr, *P3Max = nullptr, *P4Min = nullptr, *P4Max = nullptr,
          *W1Max = nullptr, *W2Max = nullptr, *W3Max = nullptr, *W4Max = nullptr, *W5Max = nullptr,
          *T_IDLE = nullptr, *T_INIL = nullptr, *T_WUP = nullptr, *DataBits = nullptr,
          *ISOParity = nullptr, *ISONodeAddress = nullptr, *KW1 = nullptr, *KW2 = nullptr;
QPushButton *GetISOSetup = nullptr, *SetISOSetup = nullptr, *ISOFiveBaud = nullptr,
            *ISOFastInit = nullptr;
// "SCI".
QLineEdit *SCIDataRate = nullptr, *SCIT1 = nullptr, *SCIT2 = nullptr, *SCIT4 = nullptr,
          *SCIT5 = nullptr;
QPushButton *GetSCISetup = nullptr, *SetSCISetup = nullptr;
// "J1850PWM".
QLineEdit *J1850PWMDataRate = nullptr, *J1850PWMNodeAddress = nullptr,
          *J1850PWMNetworkLine = nullptr, *J1850PWMFunctionalMsg = nullptr;
QPushButton *GetJ1850PWMSetup = nullptr, *SetJ1850PWMSetup = nullptr,
            *J1850PWMAddFunctionalMsg = nullptr, *J1850PWMDeleteFunctionalMsg = nullptr,
            *J1850PWMClearFunctionalMsg = nullptr;
// "J1850VPW".
QLineEdit *J1850VPWDataRate = nullptr;
QPushButton *GetJ1850VPWSetup = nullptr, *SetJ1850VPWSetup = nullptr;
// The page's own boxes and buttons.
QCheckBox *LoopBack = nullptr, *MsgTrigger = nullptr, *ISO15765LastSegmentTimestamp = nullptr,
          *EnableBusErrors = nullptr, *AutomaticSuspendDisable = nullptr,
          *HSCANTermination = nullptr;
QPushButton *ClearRX = nullptr, *ClearTX = nullptr, *ClearPeriodic = nullptr,
            *ClearFilter = nullptr;
// "ISO9141 Pins" on "I/O Control (2)" (built by that page).
QComboBox *ISO9141Pin = nullptr;

void GetCANSetupClick();
void GetMSCANSetupClick();
void GetSPCANSetupClick();
void SetCANSetupClick();
void SetMSCANSetupClick();
void SetSPCANSetupClick();
void GetISOSetupClick();
void SetISOSetupClick();
void GetSCISetupClick();
void SetSCISetupClick();
void GetJ1850PWMSetupClick();
void SetJ1850PWMSetupClick();
void GetJ1850VPWSetupClick();
void SetJ1850VPWSetupClick();
void J1850PWMAddFunctionalMsgClick();
void ISOFiveBaudClick();
void ISOFastInitClick();
void ClearFilterClick();
void LoopBackClick();
void MsgTriggerClick();
void EnableBusErrorsClick();
void AutomaticSuspendDisableClick();
void ISO9141PinChange();
// Bound to no control: the box of the same name changes nothing in the
// library (kept as a method for a caller that wants the request).
void ISO15765LastSegmentTimestampClick();
// Buttons whose handlers do nothing.
void J1850PWMDeleteFunctionalMsgClick();
void J1850PWMClearFunctionalMsgClick();
void ClearRXClick();
void ClearTXClick();
void ClearPeriodicClick();

// The three CAN controllers' Get and Set over one set of fields.
enum CanBus { kCanBus, kMsCanBus, kSpCanBus };
void CanGroupGet(CanBus bus);
void CanGroupSet(CanBus bus);
// One field of a configuration list and its parameter.
struct ConfigField {
    uint32_t parameter;
    QLineEdit *field;
};
// One GET_CONFIG of `fields` on `channel`; on success every field shows its
// value ("%d"), on failure the error box and the fields stay.
void ListGet(uint32_t channel, const std::vector<ConfigField> &fields);
// One SET_CONFIG of `fields` on `channel`; a failure shows the error box.
void ListSet(uint32_t channel, const std::vector<ConfigField> &fields);
std::vector<ConfigField> ISOFields() const;
// ISO9141ChannelID while its connect box is checked, else ISO14230ChannelID.
uint32_t ISOChoiceChannel() const;
// SET_CONFIG of one parameter on `channel`, or `none_message` when there is
// no channel.
void SetOneOption(std::optional<uint32_t> channel, uint32_t parameter, uint32_t value,
                  const char *none_message);
// The channel-ID word of the first ISO 15765 kind whose box is checked.
std::optional<uint32_t> FirstConnectedISO15765Channel() const;
