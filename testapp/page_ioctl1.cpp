// page_ioctl1.cpp - the "I/O Control (1)" page: channel configuration
// through GET_CONFIG and SET_CONFIG, the K-line initialisations, the
// functional address, the filter clear and the one-switch options, plus the
// K-line pin list of "I/O Control (2)".
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

#include "testapp/form.h"
#include "testapp/io_rules.h"
#include "testapp/message_text.h"
#include "testapp/widgets.h"

namespace {

// Where a CAN-group parameter goes: the pair (the CAN channel, then the ISO
// 15765 channel when the first refuses) or the ISO 15765 channel alone.
enum class Route { kPair, kSecond };

struct CanRow {
    uint32_t parameter;
    QLineEdit *TForm1::*field;  // null: the termination box
    Route route;
    bool hex;        // shown "0x%02X"
    bool main_only;  // "Get"/"Set" only, not the MS and SP buttons
};

// In the order the requests go out; a Set sends the FD rule after row 9.
const CanRow kCanRows[] = {
    {DATA_RATE, &TForm1::CANDataRate, Route::kPair, false, false},
    {BIT_SAMPLE_POINT, &TForm1::CANSamplePoint, Route::kPair, false, false},
    {SYNC_JUMP_WIDTH, &TForm1::CANSyncJumpWidth, Route::kPair, false, false},
    {ISO15765_BS, &TForm1::ISO15765BlockSize, Route::kSecond, false, false},
    {ISO15765_STMIN, &TForm1::ISO15765SeparationTime, Route::kSecond, false, false},
    {BS_TX, &TForm1::ISO15765BlockSizeOverride, Route::kSecond, false, false},
    {STMIN_TX, &TForm1::ISO15765SeparationTimeOverride, Route::kSecond, false, false},
    {ISO15765_WFT_MAX, &TForm1::ISO15765WaitFrameMax, Route::kSecond, false, false},
    {FD_CAN_DATA_PHASE_RATE, &TForm1::CANFDDataRate, Route::kPair, false, false},
    {HS_CAN_TERMINATION, nullptr, Route::kPair, false, false},
    {FD_ISO15765_TX_DATA_LENGTH, &TForm1::ISO15765TxDataLen, Route::kSecond, false, false},
    {ISO15765_PAD_VALUE, &TForm1::ISO15765PadValue, Route::kSecond, true, true},
    {INTERFRAME_DELAY, &TForm1::CANInterframeDelay, Route::kPair, false, false},
};
constexpr size_t kRowsBeforeFdRule = 9;

struct Bus {
    int first, second;           // ProtocolList indices of the pair
    QCheckBox *TForm1::*fd_box;  // the bus's "FD" box on the connect page
};
const Bus kBuses[] = {
    {kCAN, kISO15765, &TForm1::CANFD},
    {kMSCAN, kMSISO15765, &TForm1::MSCANFD},
    {kSPCAN, kSPISO15765, &TForm1::SPCANFD},
};

// The protocols "Clear Filter" clears, in order: not the SP bus.
constexpr int kClearFilterOrder[] = {kCAN,        kISO15765,  kMSCAN,      kMSISO15765,
                                     kJ1850PWM,   kJ1850VPW,  kISO14230,   kISO9141,
                                     kSCIAEngine, kSCIATrans, kSCIBEngine, kSCIBTrans};

constexpr uint32_t kFieldBuffer = 19;  // the address fields are read into 20 characters

struct Field {
    QLineEdit *TForm1::*field;
    const char *name, *label, *text;
};

}  // namespace

void TForm1::BuildIoControl1Page(QWidget *page)
{
    auto *layout = new QGridLayout(page);
    // A group of labelled fields in two columns, then its buttons.
    auto group = [&](const char *name, const char *caption, std::initializer_list<Field> fields,
                     int columns) {
        QGroupBox *box = MakeGroup(page, name, caption);
        auto *grid = new QGridLayout(box);
        int i = 0;
        for (const Field &f : fields) {
            this->*f.field = MakeEdit(box, f.name, f.text);
            int row = i / columns, column = (i % columns) * 2;
            grid->addWidget(MakeLabel(box, f.label), row, column);
            grid->addWidget(this->*f.field, row, column + 1);
            ++i;
        }
        return std::make_pair(box, grid);
    };
    auto buttons =
        [&](QGroupBox *box, QGridLayout *grid, int row,
            std::initializer_list<std::tuple<QPushButton * TForm1::*, const char *, const char *>>
                list) {
            int column = 0;
            for (const auto &[member, name, caption] : list)
                grid->addWidget(this->*member = MakeButton(box, name, caption), row, column++);
        };

    auto [can, can_grid] = group(
        "CANGroup", "CAN / ISO15765",
        {{&TForm1::CANDataRate, "CANDataRate", "Data Rate", "500000"},
         {&TForm1::CANSamplePoint, "CANSamplePoint", "% Sample Point", "75"},
         {&TForm1::CANSyncJumpWidth, "CANSyncJumpWidth", "% Sync Jump Width", "10"},
         {&TForm1::ISO15765BlockSize, "ISO15765BlockSize", "Block Size", "0"},
         {&TForm1::ISO15765SeparationTime, "ISO15765SeparationTime", "Separation Time", "0"},
         {&TForm1::ISO15765BlockSizeOverride, "ISO15765BlockSizeOverride", "BS_TX Override", "255"},
         {&TForm1::ISO15765SeparationTimeOverride, "ISO15765SeparationTimeOverride",
          "STMIN_TX Override", "255"},
         {&TForm1::ISO15765WaitFrameMax, "ISO15765WaitFrameMax", "WFT_MAX", "255"},
         {&TForm1::CANInterframeDelay, "CANInterframeDelay",
          "Interframe Delay (254/21nsec per bit)", "0"},
         {&TForm1::ISO15765TxDataLen, "ISO15765TxDataLen", "TX_DATA_LEN", "8"},
         {&TForm1::ISO15765PadValue, "ISO15765PadValue", "PAD_VALUE", "0x00"},
         {&TForm1::CANFDDataRate, "CANFDDataRate", "FD Data Rate", "2000000"}},
        2);
    HSCANTermination = MakeCheckBox(can, "HSCANTermination", "120 Ohm Termination");
    can_grid->addWidget(HSCANTermination, 6, 0, 1, 2);
    buttons(can, can_grid, 7,
            {{&TForm1::GetCANSetup, "GetCANSetup", "Get"},
             {&TForm1::SetCANSetup, "SetCANSetup", "Set"},
             {&TForm1::GetMSCANSetup, "GetMSCANSetup", "Get MS"},
             {&TForm1::SetMSCANSetup, "SetMSCANSetup", "Set MS"}});
    buttons(can, can_grid, 8,
            {{&TForm1::GetSPCANSetup, "GetSPCANSetup", "Get SP"},
             {&TForm1::SetSPCANSetup, "SetSPCANSetup", "Set SP"}});

    auto [iso, iso_grid] = group("ISOGroup", "ISO9141 / ISO14230",
                                 {{&TForm1::ISODataRate, "ISODataRate", "Data Rate", "10400"},
                                  {&TForm1::P1Min, "P1Min", "P1 Min", "0"},
                                  {&TForm1::P1Max, "P1Max", "P1 Max", "20"},
                                  {&TForm1::P2Min, "P2Min", "P2 Min", "0"},
                                  {&TForm1::P2Max, "P2Max", "P2 Max", "50"},
                                  {&TForm1::P3Min, "P3Min", "P3 Min", "60"},
                                  {&TForm1::P3Max, "P3Max", "P3 Max", "2000"},
                                  {&TForm1::P4Min, "P4Min", "P4 Min", "10"},
                                  {&TForm1::P4Max, "P4Max", "P4 Max", "100"},
                                  {&TForm1::W1Max, "W1Max", "W1", "1000"},
                                  {&TForm1::W2Max, "W2Max", "W2", "100"},
                                  {&TForm1::W3Max, "W3Max", "W3", "100"},
                                  {&TForm1::W4Max, "W4Max", "W4", "100"},
                                  {&TForm1::W5Max, "W5Max", "W5", "500"},
                                  {&TForm1::T_IDLE, "T_IDLE", "TIDLE", "0"},
                                  {&TForm1::T_INIL, "T_INIL", "TINIL", "25"},
                                  {&TForm1::T_WUP, "T_WUP", "TWUP", "50"},
                                  {&TForm1::DataBits, "DataBits", "Data Bits", "0"},
                                  {&TForm1::ISOParity, "ISOParity", "Parity", "0"},
                                  {&TForm1::ISONodeAddress, "ISONodeAddress", "Address", "0x33"},
                                  {&TForm1::KW1, "KW1", "KW1", ""},
                                  {&TForm1::KW2, "KW2", "KW2", ""}},
                                 3);
    buttons(iso, iso_grid, 8,
            {{&TForm1::GetISOSetup, "GetISOSetup", "Get"},
             {&TForm1::SetISOSetup, "SetISOSetup", "Set"},
             {&TForm1::ISOFiveBaud, "ISOFiveBaud", "Five Baud"},
             {&TForm1::ISOFastInit, "ISOFastInit", "Fast Init"}});
    iso_grid->addWidget(MakeLabel(iso, "NOTE: Some timers are in 0.5msec/bit resolution"), 9, 0, 1,
                        6);

    auto [sci, sci_grid] = group("SCIGroup", "SCI",
                                 {{&TForm1::SCIDataRate, "SCIDataRate", "Data Rate", "7812"},
                                  {&TForm1::SCIT1, "SCIT1", "T1", "0"},
                                  {&TForm1::SCIT2, "SCIT2", "T2", "0"},
                                  {&TForm1::SCIT4, "SCIT4", "T4", "0"},
                                  {&TForm1::SCIT5, "SCIT5", "T5", "0"}},
                                 1);
    buttons(sci, sci_grid, 5,
            {{&TForm1::GetSCISetup, "GetSCISetup", "Get"},
             {&TForm1::SetSCISetup, "SetSCISetup", "Set"}});

    auto [pwm, pwm_grid] =
        group("J1850PWMGroup", "J1850PWM",
              {{&TForm1::J1850PWMDataRate, "J1850PWMDataRate", "Data Rate", "41600"},
               {&TForm1::J1850PWMNodeAddress, "J1850PWMNodeAddress", "Address", "0xF1"},
               {&TForm1::J1850PWMNetworkLine, "J1850PWMNetworkLine", "Line", "0"},
               {&TForm1::J1850PWMFunctionalMsg, "J1850PWMFunctionalMsg", "Functional Msg ID", ""}},
              1);
    buttons(pwm, pwm_grid, 4,
            {{&TForm1::GetJ1850PWMSetup, "GetJ1850PWMSetup", "Get"},
             {&TForm1::SetJ1850PWMSetup, "SetJ1850PWMSetup", "Set"}});
    buttons(pwm, pwm_grid, 5,
            {{&TForm1::J1850PWMAddFunctionalMsg, "J1850PWMAddFunctionalMsg", "Add"},
             {&TForm1::J1850PWMDeleteFunctionalMsg, "J1850PWMDeleteFunctionalMsg", "Delete"},
             {&TForm1::J1850PWMClearFunctionalMsg, "J1850PWMClearFunctionalMsg", "Clear"}});

    auto [vpw, vpw_grid] =
        group("J1850VPWGroup", "J1850VPW",
              {{&TForm1::J1850VPWDataRate, "J1850VPWDataRate", "Data Rate", "10400"}}, 1);
    buttons(vpw, vpw_grid, 1,
            {{&TForm1::GetJ1850VPWSetup, "GetJ1850VPWSetup", "Get"},
             {&TForm1::SetJ1850VPWSetup, "SetJ1850VPWSetup", "Set"}});

    auto *options = new QVBoxLayout;
    LoopBack = MakeCheckBox(page, "LoopBack", "Loopback");
    MsgTrigger = MakeCheckBox(page, "MsgTrigger", "DIO1Trigger");
    ISO15765LastSegmentTimestamp =
        MakeCheckBox(page, "ISO15765LastSegmentTimestamp", "ISO15765LastSegmentTimestamp");
    EnableBusErrors = MakeCheckBox(page, "EnableBusErrors", "Enable Bus Errors");
    AutomaticSuspendDisable = MakeCheckBox(page, "AutomaticSuspendDisable",
                                           "Disable Automatic Periodic Suspend for ISO15765 Xfr");
    for (QWidget *w :
         std::initializer_list<QWidget *>{LoopBack, MsgTrigger, ISO15765LastSegmentTimestamp,
                                          EnableBusErrors, AutomaticSuspendDisable})
        options->addWidget(w);
    auto *clears = new QGridLayout;
    clears->addWidget(ClearRX = MakeButton(page, "ClearRX", "Clear RX"), 0, 0);
    clears->addWidget(ClearTX = MakeButton(page, "ClearTX", "Clear TX"), 0, 1);
    clears->addWidget(ClearPeriodic = MakeButton(page, "ClearPeriodic", "Clear Periodic"), 1, 0);
    clears->addWidget(ClearFilter = MakeButton(page, "ClearFilter", "Clear Filter"), 1, 1);
    options->addLayout(clears);
    options->addStretch(1);

    layout->addWidget(can, 0, 0, 2, 1);
    layout->addWidget(iso, 0, 1, 1, 2);
    layout->addWidget(sci, 1, 1);
    layout->addWidget(pwm, 1, 2);
    layout->addWidget(vpw, 2, 1);
    layout->addLayout(options, 2, 0);
    layout->setRowStretch(3, 1);

    const std::pair<QPushButton *, void (TForm1::*)()> clicks[] = {
        {GetCANSetup, &TForm1::GetCANSetupClick},
        {SetCANSetup, &TForm1::SetCANSetupClick},
        {GetMSCANSetup, &TForm1::GetMSCANSetupClick},
        {SetMSCANSetup, &TForm1::SetMSCANSetupClick},
        {GetSPCANSetup, &TForm1::GetSPCANSetupClick},
        {SetSPCANSetup, &TForm1::SetSPCANSetupClick},
        {GetISOSetup, &TForm1::GetISOSetupClick},
        {SetISOSetup, &TForm1::SetISOSetupClick},
        {ISOFiveBaud, &TForm1::ISOFiveBaudClick},
        {ISOFastInit, &TForm1::ISOFastInitClick},
        {GetSCISetup, &TForm1::GetSCISetupClick},
        {SetSCISetup, &TForm1::SetSCISetupClick},
        {GetJ1850PWMSetup, &TForm1::GetJ1850PWMSetupClick},
        {SetJ1850PWMSetup, &TForm1::SetJ1850PWMSetupClick},
        {J1850PWMAddFunctionalMsg, &TForm1::J1850PWMAddFunctionalMsgClick},
        {J1850PWMDeleteFunctionalMsg, &TForm1::J1850PWMDeleteFunctionalMsgClick},
        {J1850PWMClearFunctionalMsg, &TForm1::J1850PWMClearFunctionalMsgClick},
        {GetJ1850VPWSetup, &TForm1::GetJ1850VPWSetupClick},
        {SetJ1850VPWSetup, &TForm1::SetJ1850VPWSetupClick},
        {ClearRX, &TForm1::ClearRXClick},
        {ClearTX, &TForm1::ClearTXClick},
        {ClearPeriodic, &TForm1::ClearPeriodicClick},
        {ClearFilter, &TForm1::ClearFilterClick},
    };
    for (const auto &[button, handler] : clicks)
        Wire(button, &QPushButton::clicked, handler);
    Wire(LoopBack, &QCheckBox::toggled, &TForm1::LoopBackClick);
    Wire(MsgTrigger, &QCheckBox::toggled, &TForm1::MsgTriggerClick);
    Wire(EnableBusErrors, &QCheckBox::toggled, &TForm1::EnableBusErrorsClick);
    Wire(AutomaticSuspendDisable, &QCheckBox::toggled, &TForm1::AutomaticSuspendDisableClick);
    // ISO15765LastSegmentTimestamp and HSCANTermination have no handler of
    // their own: the first changes nothing, the second goes with a CAN Set.
}

// ---- CAN / ISO15765 -------------------------------------------------------

void TForm1::GetCANSetupClick()
{
    CanGroupGet(kCanBus);
}
void TForm1::GetMSCANSetupClick()
{
    CanGroupGet(kMsCanBus);
}
void TForm1::GetSPCANSetupClick()
{
    CanGroupGet(kSpCanBus);
}
void TForm1::SetCANSetupClick()
{
    CanGroupSet(kCanBus);
}
void TForm1::SetMSCANSetupClick()
{
    CanGroupSet(kMsCanBus);
}
void TForm1::SetSPCANSetupClick()
{
    CanGroupSet(kSpCanBus);
}

namespace {

// One request of one parameter along its route.  No answer of the CAN
// groups is shown to the user.
void send_can_row(const PassThruFunctionTable &table, uint32_t first, uint32_t second,
                  const CanRow &row, uint32_t ioctl, SCONFIG &item, bool reset_value)
{
    SCONFIG_LIST list = {1, &item};
    if (row.route == Route::kPair) {
        if (table.PassThruIoctl(first, ioctl, &list, nullptr) == STATUS_NOERROR)
            return;
        if (reset_value)
            item.Value = 0;  // what the refusing channel left is not the answer
    }
    table.PassThruIoctl(second, ioctl, &list, nullptr);
}

}  // namespace

void TForm1::CanGroupGet(CanBus bus)
{
    if (!Bound(PassThruFunctionTable.PassThruIoctl, "PassThruIoctl"))
        return;
    const Bus &b = kBuses[bus];
    for (const CanRow &row : kCanRows) {
        if (row.main_only && bus != kCanBus)
            continue;
        SCONFIG item = {row.parameter, 0};
        send_can_row(PassThruFunctionTable, ChannelIDWord[b.first], ChannelIDWord[b.second], row,
                     GET_CONFIG, item, true);
        if (row.field == nullptr)
            HSCANTermination->setChecked(item.Value != 0);
        else
            SetText(this->*row.field,
                    row.hex ? hex_byte_text(item.Value) : decimal_text(item.Value));
    }
}

void TForm1::CanGroupSet(CanBus bus)
{
    if (!Bound(PassThruFunctionTable.PassThruIoctl, "PassThruIoctl"))
        return;
    const Bus &b = kBuses[bus];
    uint32_t first = ChannelIDWord[b.first], second = ChannelIDWord[b.second];
    if (second != 0)
        ReleaseRowsOfChannel(second);
    if (first != 0)
        ReleaseRowsOfChannel(first);
    uint32_t data_rate = 0, fd_rate = 0;
    for (size_t i = 0; i < std::size(kCanRows); ++i) {
        const CanRow &row = kCanRows[i];
        if (i == kRowsBeforeFdRule) {
            // FD framing and bit-rate switching of later messages follow the
            // rates just set, without a reconnect.
            QCheckBox *fd_box = this->*b.fd_box;
            FdRuleResult rule = fd_rule(fd_rate, data_rate, fd_box->isChecked());
            ConnectFlagWord[b.first] = apply_fd_rule(rule, ConnectFlagWord[b.first]);
            ConnectFlagWord[b.second] = apply_fd_rule(rule, ConnectFlagWord[b.second]);
            if (rule.uncheck_fd_box)
                fd_box->setChecked(false);
        }
        if (row.main_only && bus != kCanBus)
            continue;
        uint32_t value = row.field == nullptr ? (HSCANTermination->isChecked() ? 1 : 0)
                                              : config_value(TextOf(this->*row.field));
        if (row.parameter == DATA_RATE)
            data_rate = value;
        if (row.parameter == FD_CAN_DATA_PHASE_RATE)
            fd_rate = value;
        SCONFIG item = {row.parameter, value};
        send_can_row(PassThruFunctionTable, first, second, row, SET_CONFIG, item, false);
    }
}

// ---- Lists of the ISO, SCI and J1850 groups -------------------------------

void TForm1::ListGet(uint32_t channel, const std::vector<ConfigField> &fields)
{
    std::vector<SCONFIG> items;
    for (const ConfigField &f : fields)
        items.push_back({f.parameter, 0});
    SCONFIG_LIST list = {static_cast<uint32_t>(items.size()), items.data()};
    if (CallAndReport(PassThruFunctionTable.PassThruIoctl, "PassThruIoctl", channel, GET_CONFIG,
                      &list, nullptr) != STATUS_NOERROR)
        return;
    for (size_t i = 0; i < fields.size(); ++i)
        SetText(fields[i].field, decimal_text(items[i].Value));
}

void TForm1::ListSet(uint32_t channel, const std::vector<ConfigField> &fields)
{
    std::vector<SCONFIG> items;
    for (const ConfigField &f : fields)
        items.push_back({f.parameter, config_value(TextOf(f.field))});
    SCONFIG_LIST list = {static_cast<uint32_t>(items.size()), items.data()};
    CallAndReport(PassThruFunctionTable.PassThruIoctl, "PassThruIoctl", channel, SET_CONFIG, &list,
                  nullptr);
}

std::vector<TForm1::ConfigField> TForm1::ISOFields() const
{
    return {{DATA_RATE, ISODataRate},
            {P1_MIN, P1Min},
            {P1_MAX, P1Max},
            {P2_MIN, P2Min},
            {P2_MAX, P2Max},
            {P3_MIN, P3Min},
            {P3_MAX, P3Max},
            {P4_MIN, P4Min},
            {P4_MAX, P4Max},
            {W1, W1Max},
            {W2, W2Max},
            {W3, W3Max},
            {W4, W4Max},
            {W5, W5Max},
            {TINIL, T_INIL},
            {TWUP, T_WUP},
            {PARITY, ISOParity},
            {DATA_BITS, DataBits}};
}

uint32_t TForm1::ISOChoiceChannel() const
{
    return ISO9141Connect->isChecked() ? ISO9141ChannelID : ISO14230ChannelID;
}

void TForm1::GetISOSetupClick()
{
    ListGet(ISOChoiceChannel(), ISOFields());
}

void TForm1::SetISOSetupClick()
{
    if (!Bound(PassThruFunctionTable.PassThruIoctl, "PassThruIoctl"))
        return;
    uint32_t channel = ISOChoiceChannel();
    std::vector<ConfigField> fields = ISOFields();
    // The fields are read before the rows are released; releasing changes
    // none of them, so reading inside ListSet is the same.
    ReleaseRowsOfChannel(channel);
    ListSet(channel, fields);
}

namespace {
std::vector<TForm1::ConfigField> sci_fields(const TForm1 &f)
{
    return {{DATA_RATE, f.SCIDataRate},
            {T1_MAX, f.SCIT1},
            {T2_MAX, f.SCIT2},
            {T4_MAX, f.SCIT4},
            {T5_MAX, f.SCIT5}};
}
std::vector<TForm1::ConfigField> pwm_fields(const TForm1 &f)
{
    return {{DATA_RATE, f.J1850PWMDataRate}, {NODE_ADDRESS, f.J1850PWMNodeAddress}};
}
}  // namespace

void TForm1::GetSCISetupClick()
{
    ListGet(SCIAEngineChannelID, sci_fields(*this));
}
void TForm1::SetSCISetupClick()
{
    ReleaseRowsOfChannel(SCIAEngineChannelID);
    ListSet(SCIAEngineChannelID, sci_fields(*this));
}
// The Get leaves "Line" alone: no request of the group reads it.
void TForm1::GetJ1850PWMSetupClick()
{
    ListGet(J1850PWMChannelID, pwm_fields(*this));
}
void TForm1::SetJ1850PWMSetupClick()
{
    ReleaseRowsOfChannel(J1850PWMChannelID);
    ListSet(J1850PWMChannelID, pwm_fields(*this));
}
void TForm1::GetJ1850VPWSetupClick()
{
    ListGet(J1850VPWChannelID, {{DATA_RATE, J1850VPWDataRate}});
}
void TForm1::SetJ1850VPWSetupClick()
{
    ReleaseRowsOfChannel(J1850VPWChannelID);
    ListSet(J1850VPWChannelID, {{DATA_RATE, J1850VPWDataRate}});
}

// ---- Functional address, initialisations, filter clear --------------------

void TForm1::J1850PWMAddFunctionalMsgClick()
{
    uint8_t address =
        static_cast<uint8_t>(parse_long(TextOf(J1850PWMFunctionalMsg, kFieldBuffer), 0));
    SBYTE_ARRAY input = {1, &address};
    CallAndReport(PassThruFunctionTable.PassThruIoctl, "PassThruIoctl", J1850PWMChannelID,
                  ADD_TO_FUNCT_MSG_LOOKUP_TABLE, &input, nullptr);
}

void TForm1::ISOFiveBaudClick()
{
    uint8_t address = static_cast<uint8_t>(parse_long(TextOf(ISONodeAddress, kFieldBuffer), 0));
    uint8_t key_words[2] = {};
    SBYTE_ARRAY input = {1, &address};
    SBYTE_ARRAY output = {2, key_words};
    if (CallAndReport(PassThruFunctionTable.PassThruIoctl, "PassThruIoctl", ISOChoiceChannel(),
                      FIVE_BAUD_INIT, &input, &output) != STATUS_NOERROR)
        return;
    SetText(KW1, hex_byte_text(key_words[0]));
    SetText(KW2, hex_byte_text(key_words[1]));
}

void TForm1::ISOFastInitClick()
{
    uint8_t address = static_cast<uint8_t>(parse_long(TextOf(ISONodeAddress, kFieldBuffer), 0));
    // A 4 KB record: on the heap, not the window thread's stack.
    auto msg = std::make_unique<PASSTHRU_MSG>();
    msg->ProtocolID = ISO14230;
    msg->DataSize = 4;
    const uint8_t request[] = {0xC1, 0x33, address, 0x81};
    std::copy(std::begin(request), std::end(request), msg->Data);
    // The library writes the ECU's reply into the same record; it is not shown.
    CallAndReport(PassThruFunctionTable.PassThruIoctl, "PassThruIoctl", ISO14230ChannelID,
                  FAST_INIT, msg.get(), msg.get());
}

void TForm1::ClearFilterClick()
{
    if (!Bound(PassThruFunctionTable.PassThruIoctl, "PassThruIoctl"))
        return;
    for (int index : kClearFilterOrder) {
        if (!ConnectRows[index].box->isChecked())
            continue;
        int32_t status = PassThruFunctionTable.PassThruIoctl(ChannelIDWord[index],
                                                             CLEAR_MSG_FILTERS, nullptr, nullptr);
        if (status != STATUS_NOERROR)
            ShowPassThruError("PassThruIoctl", status);
    }
}

void TForm1::J1850PWMDeleteFunctionalMsgClick() {}
void TForm1::J1850PWMClearFunctionalMsgClick() {}
void TForm1::ClearRXClick() {}
void TForm1::ClearTXClick() {}
void TForm1::ClearPeriodicClick() {}

// ---- One-switch options ---------------------------------------------------

std::optional<uint32_t> TForm1::FirstConnectedISO15765Channel() const
{
    for (int index : {kISO15765, kMSISO15765, kSPISO15765})
        if (ConnectRows[index].box->isChecked())
            return ChannelIDWord[index];
    return std::nullopt;
}

void TForm1::SetOneOption(std::optional<uint32_t> channel, uint32_t parameter, uint32_t value,
                          const char *none_message)
{
    if (!channel) {
        ShowMessage(none_message);
        return;
    }
    SCONFIG item = {parameter, value};
    SCONFIG_LIST list = {1, &item};
    CallAndReport(PassThruFunctionTable.PassThruIoctl, "PassThruIoctl", *channel, SET_CONFIG, &list,
                  nullptr);
}

void TForm1::LoopBackClick()
{
    SetOneOption(FirstConnectedChannel(), LOOPBACK, LoopBack->isChecked() ? 1 : 0,
                 "No procotols active");
}

void TForm1::MsgTriggerClick()
{
    SetOneOption(FirstConnectedChannel(), MSG_TRIGGER, MsgTrigger->isChecked() ? 1 : 0,
                 "No procotols active");
}

void TForm1::EnableBusErrorsClick()
{
    SetOneOption(FirstConnectedChannel(), BUS_ERROR_MSGS, EnableBusErrors->isChecked() ? 1 : 0,
                 "No procotols active");
}

void TForm1::AutomaticSuspendDisableClick()
{
    // The box disables the suspension: checked sends 0.
    SetOneOption(FirstConnectedISO15765Channel(), AUTOMATIC_SUSPEND,
                 AutomaticSuspendDisable->isChecked() ? 0 : 1, "No ISO15765 procotols active");
}

void TForm1::ISO15765LastSegmentTimestampClick()
{
    SetOneOption(FirstConnectedISO15765Channel(), LAST_SEGMENT_TIMESTAMP,
                 ISO15765LastSegmentTimestamp->isChecked() ? 1 : 0,
                 "ISO15765/MSISO15765/SPISO15765 not active");
}

void TForm1::ISO9141PinChange()
{
    // No pin selected: nothing to send.
    std::optional<uint32_t> pins = kline_pin_value(ISO9141Pin->currentIndex());
    if (!pins)
        return;
    std::optional<uint32_t> channel;
    if (ISO14230Connect->isChecked())
        channel = ISO14230ChannelID;
    else if (ISO9141Connect->isChecked())
        channel = ISO9141ChannelID;
    SetOneOption(channel, J1962_PINS, *pins, "No ISO9141 procotols active");
}
