// ioctl_pages_test.cpp - the "I/O Control (1)" and "I/O Control (2)" pages
// and "Prog. Voltage" against the recording fake: which requests each
// button sends, to which channel, in which order, and what the fields show.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>

#include <tuple>

#include "tests/testapp/form_fixture.h"

namespace quillon_test {
namespace {

using IoPages = FormTest;

// One parameter request as the fake saw it: channel, I/O control,
// parameter, value.
using Request = std::tuple<uint32_t, uint32_t, uint32_t, uint32_t>;

std::vector<Request> config_requests(const FakeJ2534 &lib)
{
    std::vector<Request> found;
    for (const FakeCall &c : lib.of("PassThruIoctl"))
        for (const SCONFIG &item : c.config)
            found.emplace_back(c.args[0], c.args[1], item.Parameter, item.Value);
    return found;
}

// A library that refuses every request on channel `refused` and otherwise
// answers GET_CONFIG from `lib.config`.
void refuse_channel(FakeJ2534 &lib, uint32_t refused)
{
    lib.hooks["PassThruIoctl"] = [&lib, refused](FakeCall &call) -> int32_t {
        auto *list = static_cast<SCONFIG_LIST *>(call.ptr[0]);
        if (call.args[0] == refused) {
            list->ConfigPtr[0].Value = 99;  // what a refusal may leave behind
            return ERR_INVALID_CHANNEL_ID;
        }
        for (uint32_t i = 0; call.args[1] == GET_CONFIG && i < list->NumOfParams; ++i)
            list->ConfigPtr[i].Value = lib.config[list->ConfigPtr[i].Parameter];
        return STATUS_NOERROR;
    };
}

TEST_F(IoPages, CanGetFallsBackToTheSecondChannelAndShowsEveryAnswer)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.ISO15765Connect->setChecked(true);  // CAN never connected: its word is 0
    lib.config = {{DATA_RATE, 250000},
                  {BIT_SAMPLE_POINT, 80},
                  {SYNC_JUMP_WIDTH, 15},
                  {ISO15765_BS, 8},
                  {ISO15765_STMIN, 20},
                  {BS_TX, 0xFFFF},
                  {STMIN_TX, 0xFFFFFFFF},
                  {ISO15765_WFT_MAX, 3},
                  {FD_CAN_DATA_PHASE_RATE, 1000000},
                  {HS_CAN_TERMINATION, 1},
                  {FD_ISO15765_TX_DATA_LENGTH, 64},
                  {ISO15765_PAD_VALUE, 0x55},
                  {INTERFRAME_DELAY, 7}};
    refuse_channel(lib, 0);
    lib.calls.clear();
    form.GetCANSetup->click();

    const uint32_t pair[] = {DATA_RATE,          BIT_SAMPLE_POINT,
                             SYNC_JUMP_WIDTH,    FD_CAN_DATA_PHASE_RATE,
                             HS_CAN_TERMINATION, INTERFRAME_DELAY};
    std::vector<Request> expected;
    for (uint32_t p :
         {DATA_RATE, BIT_SAMPLE_POINT, SYNC_JUMP_WIDTH, ISO15765_BS, ISO15765_STMIN, BS_TX,
          STMIN_TX, ISO15765_WFT_MAX, FD_CAN_DATA_PHASE_RATE, HS_CAN_TERMINATION,
          FD_ISO15765_TX_DATA_LENGTH, ISO15765_PAD_VALUE, INTERFRAME_DELAY}) {
        if (std::find(std::begin(pair), std::end(pair), p) != std::end(pair))
            expected.emplace_back(0, GET_CONFIG, p, 0);
        expected.emplace_back(ISO15765, GET_CONFIG, p, 0);
    }
    EXPECT_EQ(config_requests(lib), expected);
    const std::pair<QLineEdit *, const char *> shown[] = {
        {form.CANDataRate, "250000"},
        {form.CANSamplePoint, "80"},
        {form.CANSyncJumpWidth, "15"},
        {form.ISO15765BlockSize, "8"},
        {form.ISO15765SeparationTime, "20"},
        {form.ISO15765BlockSizeOverride, "65535"},
        {form.ISO15765SeparationTimeOverride, "-1"},
        {form.ISO15765WaitFrameMax, "3"},
        {form.CANFDDataRate, "1000000"},
        {form.ISO15765TxDataLen, "64"},
        {form.ISO15765PadValue, "0x55"},
        {form.CANInterframeDelay, "7"}};
    for (const auto &[field, text] : shown)
        EXPECT_EQ(field->text().toStdString(), text) << field->objectName().toStdString();
    EXPECT_TRUE(form.HSCANTermination->isChecked());
    EXPECT_TRUE(messages.shown.empty());

    // "Get SP" with no SP channel: both refuse, every field shows 0, the pad
    // value is not asked, nothing is shown.
    lib.hooks["PassThruIoctl"] = [](FakeCall &) -> int32_t { return ERR_DEVICE_NOT_CONNECTED; };
    lib.calls.clear();
    form.GetSPCANSetup->click();
    EXPECT_EQ(config_requests(lib).size(), 6u * 2 + 6);
    for (const auto &[field, text] : shown)
        EXPECT_EQ(field->text().toStdString(), field == form.ISO15765PadValue ? "0x55" : "0")
            << field->objectName().toStdString();
    EXPECT_FALSE(form.HSCANTermination->isChecked());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(IoPages, CanSetSendsTheFieldsReleasesTheRowsAndAppliesTheFdRule)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.CANConnect->setChecked(true);
    form.ISO15765Connect->setChecked(true);
    form.FilterRows[0].Active->setChecked(true);  // a CAN row, released by the Set
    form.ISO15765PadValue->setText("0x55");
    form.HSCANTermination->setChecked(true);
    lib.calls.clear();
    form.SetCANSetup->click();
    EXPECT_FALSE(form.FilterRows[0].Active->isChecked());
    EXPECT_EQ(lib.calls.front().function, "PassThruStopMsgFilter");
    std::vector<Request> sent = config_requests(lib);
    ASSERT_EQ(sent.size(), 13u);  // CAN accepts: no fallback
    EXPECT_EQ(sent[0], Request(CAN, SET_CONFIG, DATA_RATE, 500000));
    EXPECT_EQ(sent[3], Request(ISO15765, SET_CONFIG, ISO15765_BS, 0));
    EXPECT_EQ(sent[9], Request(CAN, SET_CONFIG, HS_CAN_TERMINATION, 1));
    EXPECT_EQ(sent[11], Request(ISO15765, SET_CONFIG, ISO15765_PAD_VALUE, 85));
    EXPECT_EQ(sent[12], Request(CAN, SET_CONFIG, INTERFRAME_DELAY, 0));

    // "Set MS" skips the pad value; both MS words are 0, so nothing is released.
    lib.calls.clear();
    form.SetMSCANSetup->click();
    EXPECT_EQ(config_requests(lib).size(), 12u);
    EXPECT_EQ(lib.count("PassThruStopMsgFilter"), 0u);

    const struct {
        const char *fd_rate, *data_rate;
        bool fd_box;
        uint32_t flags_before, flags_after;
        bool box_after;
    } rules[] = {
        {"2000000", "500000", true, 0x100, 0x180100, true},
        {"2000000", "500000", false, 0x100, 0x100, false},
        {"500000", "500000", true, 0x180100, 0x100100, true},
        {"250000", "500000", true, 0x180100, 0x100, false},
        {"0x1E8480", "500000", true, 0, 0x180000, true},  // hexadecimal 2000000
    };
    for (const auto &r : rules) {
        form.CANFD->setChecked(r.fd_box);
        form.CANConnectFlags = form.ISO15765ConnectFlags = r.flags_before;
        form.MSCANConnectFlags = 0x100;
        form.CANFDDataRate->setText(r.fd_rate);
        form.CANDataRate->setText(r.data_rate);
        form.SetCANSetup->click();
        EXPECT_EQ(form.CANConnectFlags, r.flags_after) << r.fd_rate;
        EXPECT_EQ(form.ISO15765ConnectFlags, r.flags_after) << r.fd_rate;
        EXPECT_EQ(form.CANFD->isChecked(), r.box_after) << r.fd_rate;
        EXPECT_EQ(form.MSCANConnectFlags, 0x100u) << "another bus's word";
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(IoPages, ListGroupsUseTheirChannelsAndReportFailures)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.ISO14230Connect->setChecked(true);
    lib.config[DATA_RATE] = 9600;
    lib.config[P3_MAX] = 5000;
    lib.calls.clear();
    form.GetISOSetup->click();  // ISO9141 unchecked: the ISO14230 channel
    std::vector<Request> got = config_requests(lib);
    ASSERT_EQ(got.size(), 18u);
    EXPECT_EQ(lib.of("PassThruIoctl").size(), 1u);
    EXPECT_EQ(got.front(), Request(ISO14230, GET_CONFIG, DATA_RATE, 0));
    EXPECT_EQ(got.back(), Request(ISO14230, GET_CONFIG, DATA_BITS, 0));
    EXPECT_EQ(form.ISODataRate->text(), "9600");
    EXPECT_EQ(form.P3Max->text(), "5000");
    EXPECT_EQ(form.P1Max->text(), "0");
    EXPECT_EQ(form.T_IDLE->text(), "0");  // never read or written

    lib.statuses["PassThruIoctl"] = {ERR_INVALID_CHANNEL_ID};
    messages.shown.clear();
    form.ISODataRate->setText("10400");
    form.GetISOSetup->click();
    EXPECT_EQ(form.ISODataRate->text(), "10400");
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"PassThruIoctl returned 2", "ERROR"}}));

    // The Set reads the fields with base detection; with ISO9141 checked it
    // goes to that channel.
    form.ISO9141Connect->setChecked(true);
    form.W1Max->setText("0x10");
    form.P1Min->setText("010");
    lib.calls.clear();
    form.SetISOSetup->click();
    got = config_requests(lib);
    ASSERT_EQ(got.size(), 18u);
    EXPECT_EQ(got[1], Request(ISO9141, SET_CONFIG, P1_MIN, 8));
    EXPECT_EQ(got[9], Request(ISO9141, SET_CONFIG, W1, 16));
    EXPECT_EQ(got[0], Request(ISO9141, SET_CONFIG, DATA_RATE, 10400));

    // SCI, J1850PWM and J1850VPW: their fixed words, all 0 here, so the
    // release before the Set hits the CAN rows, the first word that is 0.
    const struct {
        QPushButton *button;
        std::vector<uint32_t> parameters;
        std::vector<std::string> values;
    } sets[] = {
        {form.SetSCISetup,
         {DATA_RATE, T1_MAX, T2_MAX, T4_MAX, T5_MAX},
         {"7812", "0", "0", "0", "0"}},
        {form.SetJ1850PWMSetup, {DATA_RATE, NODE_ADDRESS}, {"41600", "241"}},
        {form.SetJ1850VPWSetup, {DATA_RATE}, {"10400"}},
    };
    for (const auto &s : sets) {
        form.FilterRows[0].Active->setChecked(true);
        lib.calls.clear();
        s.button->click();
        EXPECT_EQ(lib.names().front(), "PassThruStopMsgFilter");
        EXPECT_FALSE(form.FilterRows[0].Active->isChecked());
        got = config_requests(lib);
        ASSERT_EQ(got.size(), s.parameters.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(std::get<0>(got[i]), 0u);
            EXPECT_EQ(std::get<2>(got[i]), s.parameters[i]);
            EXPECT_EQ(std::to_string(std::get<3>(got[i])), s.values[i]);
        }
    }
    // The J1850PWM Get leaves "Line" alone.
    form.J1850PWMNetworkLine->setText("1");
    form.GetJ1850PWMSetup->click();
    EXPECT_EQ(form.J1850PWMNetworkLine->text(), "1");
}

TEST_F(IoPages, InitialisationsFunctionalAddressAndFilterClear)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.ISO9141Connect->setChecked(true);
    form.ISO14230Connect->setChecked(true);
    std::vector<uint8_t> addresses;
    lib.hooks["PassThruIoctl"] = [&](FakeCall &call) -> int32_t {
        if (call.args[1] != FIVE_BAUD_INIT)
            return STATUS_NOERROR;
        auto *in = static_cast<SBYTE_ARRAY *>(call.ptr[0]);
        auto *out = static_cast<SBYTE_ARRAY *>(call.ptr[1]);
        addresses.assign(in->BytePtr, in->BytePtr + in->NumOfBytes);
        EXPECT_EQ(out->NumOfBytes, 2u);
        out->BytePtr[0] = 0x08;
        out->BytePtr[1] = 0xEF;
        return STATUS_NOERROR;
    };
    lib.calls.clear();
    form.ISOFiveBaud->click();
    EXPECT_EQ(lib.of("PassThruIoctl").at(0).args, (std::vector<uint32_t>{ISO9141, FIVE_BAUD_INIT}));
    EXPECT_EQ(addresses, (std::vector<uint8_t>{0x33}));
    EXPECT_EQ(form.KW1->text(), "0x08");
    EXPECT_EQ(form.KW2->text(), "0xEF");

    lib.hooks.clear();
    lib.calls.clear();
    form.ISONodeAddress->setText("0x133");  // the low 8 bits
    form.ISOFastInit->click();
    FakeCall fast = lib.of("PassThruIoctl").at(0);
    EXPECT_EQ(fast.args, (std::vector<uint32_t>{ISO14230, FAST_INIT}));
    EXPECT_EQ(fast.ptr[0], fast.ptr[1]);

    lib.hooks["PassThruIoctl"] = [](FakeCall &call) -> int32_t {
        if (call.args[1] == FAST_INIT) {
            auto *m = static_cast<PASSTHRU_MSG *>(call.ptr[0]);
            EXPECT_EQ(std::vector<uint8_t>(m->Data, m->Data + m->DataSize),
                      (std::vector<uint8_t>{0xC1, 0x33, 0x33, 0x81}));
            EXPECT_EQ(m->ProtocolID, uint32_t{ISO14230});
        }
        if (call.args[1] == ADD_TO_FUNCT_MSG_LOOKUP_TABLE) {
            auto *in = static_cast<SBYTE_ARRAY *>(call.ptr[0]);
            EXPECT_EQ(in->NumOfBytes, 1u);
            EXPECT_EQ(in->BytePtr[0], 0x6A);
            return ERR_NOT_SUPPORTED;
        }
        return STATUS_NOERROR;
    };
    form.ISOFastInit->click();
    form.J1850PWMFunctionalMsg->setText("0x16A");
    messages.shown.clear();
    form.J1850PWMAddFunctionalMsg->click();
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"PassThruIoctl returned 1", "ERROR"}}));

    // Clear Filter: every checked protocol but the SP bus, each failure shown.
    lib.hooks.clear();
    form.SPCANConnect->setChecked(true);
    form.CANConnect->setChecked(true);
    form.FilterRows[0].Active->setChecked(true);
    lib.calls.clear();
    messages.shown.clear();
    lib.statuses["PassThruIoctl"] = {0, ERR_INVALID_CHANNEL_ID, 0};
    form.ClearFilter->click();
    std::vector<std::vector<uint32_t>> clears;
    for (const FakeCall &c : lib.of("PassThruIoctl"))
        clears.push_back(c.args);
    EXPECT_EQ(clears, (std::vector<std::vector<uint32_t>>{{CAN, CLEAR_MSG_FILTERS},
                                                          {ISO14230, CLEAR_MSG_FILTERS},
                                                          {ISO9141, CLEAR_MSG_FILTERS}}));
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"PassThruIoctl returned 2", "ERROR"}}));
    EXPECT_TRUE(form.FilterRows[0].Active->isChecked());

    // The buttons that do nothing.
    lib.calls.clear();
    for (QPushButton *b : {form.ClearRX, form.ClearTX, form.ClearPeriodic,
                           form.J1850PWMDeleteFunctionalMsg, form.J1850PWMClearFunctionalMsg})
        b->click();
    EXPECT_TRUE(lib.calls.empty());
}

TEST_F(IoPages, OneSwitchOptionsPickTheirChannelOrSayNoneIsActive)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    const struct {
        std::vector<QCheckBox *> connected;
        std::function<void()> act;
        std::optional<Request> sent;
        const char *message;
    } cases[] = {
        {{}, [&] { form.LoopBack->setChecked(true); }, std::nullopt, "No procotols active"},
        {{form.ISO9141Connect, form.MSCANConnect},
         [&] { form.LoopBack->setChecked(false); },
         Request(MSCAN, SET_CONFIG, LOOPBACK, 0),
         nullptr},
        {{form.ISO9141Connect},
         [&] { form.MsgTrigger->setChecked(true); },
         Request(ISO9141, SET_CONFIG, MSG_TRIGGER, 1),
         nullptr},
        {{}, [&] { form.EnableBusErrors->setChecked(true); }, std::nullopt, "No procotols active"},
        {{form.SCIBTransConnect},
         [&] { form.EnableBusErrors->setChecked(false); },
         Request(SCI_B_TRANS, SET_CONFIG, BUS_ERROR_MSGS, 0),
         nullptr},
        {{form.CANConnect},
         [&] { form.AutomaticSuspendDisable->setChecked(true); },
         std::nullopt,
         "No ISO15765 procotols active"},
        {{form.SPISO15765Connect, form.MSISO15765Connect},
         [&] { form.AutomaticSuspendDisable->setChecked(false); },
         Request(MSISO15765, SET_CONFIG, AUTOMATIC_SUSPEND, 1),
         nullptr},
        {{form.SPISO15765Connect},
         [&] { form.AutomaticSuspendDisable->setChecked(true); },
         Request(SPISO15765, SET_CONFIG, AUTOMATIC_SUSPEND, 0),
         nullptr},
        {{form.CANConnect},
         [&] {
             form.ISO9141Pin->setCurrentIndex(3);
             form.ISO9141PinChange();
         },
         std::nullopt,
         "No ISO9141 procotols active"},
        {{form.ISO9141Connect},
         [&] {
             form.ISO9141Pin->setCurrentIndex(6);
             form.ISO9141PinChange();
         },
         Request(ISO9141, SET_CONFIG, J1962_PINS, 0x0F00),
         nullptr},
        {{form.ISO9141Connect, form.ISO14230Connect},
         [&] {
             form.ISO9141Pin->setCurrentIndex(0);
             form.ISO9141PinChange();
         },
         Request(ISO14230, SET_CONFIG, J1962_PINS, 0x0100),
         nullptr},
        // No pin selected: nothing, not even the message.
        {{},
         [&] {
             form.ISO9141Pin->setCurrentIndex(-1);
             form.ISO9141PinChange();
         },
         std::nullopt,
         nullptr},
        {{form.ISO15765Connect},
         [&] { form.ISO15765LastSegmentTimestampClick(); },
         Request(ISO15765, SET_CONFIG, LAST_SEGMENT_TIMESTAMP, 0),
         nullptr},
        {{},
         [&] { form.ISO15765LastSegmentTimestampClick(); },
         std::nullopt,
         "ISO15765/MSISO15765/SPISO15765 not active"},
    };
    int n = 0;
    for (const auto &c : cases) {
        for (QCheckBox *box : form.findChildren<QCheckBox *>(QRegularExpression("Connect$")))
            box->setChecked(std::find(c.connected.begin(), c.connected.end(), box) !=
                            c.connected.end());
        lib.calls.clear();
        messages.shown.clear();
        c.act();
        std::vector<Request> sent = config_requests(lib);
        EXPECT_EQ(sent, c.sent ? std::vector<Request>{*c.sent} : std::vector<Request>{})
            << "case " << n;
        std::vector<ShownMessage> shown;
        if (c.message)
            shown.push_back({c.message, "ERROR"});
        EXPECT_EQ(messages.shown, shown) << "case " << n;
        ++n;
    }
    // The box of the unbound handler changes nothing in the library.
    form.ISO15765Connect->setChecked(true);
    lib.calls.clear();
    form.ISO15765LastSegmentTimestamp->setChecked(true);
    EXPECT_TRUE(lib.calls.empty());
    // A failing option is reported.
    lib.statuses["PassThruIoctl"] = {ERR_INVALID_CHANNEL_ID};
    form.ISO9141Connect->setChecked(true);
    form.ISO9141Pin->setCurrentIndex(1);
    messages.shown.clear();
    form.ISO9141PinChange();
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"PassThruIoctl returned 2", "ERROR"}}));
}

TEST_F(IoPages, VoltageReadingsKeepTextsThatGotNoValue)
{
    TForm1 &form = loaded_form();  // vendor "Vexlar LLC": the eight channels too
    FakeJ2534 &lib = fake();
    lib.ioctl_output = {{READ_CH1_VOLTAGE, 1234}, {READ_CH3_VOLTAGE, 3000}, {READ_VBATT, 12345}};
    for (QLineEdit *text : form.ADC)
        text->setText("old");
    form.ADCProgV->setText("old");
    // Channels 4, 5, 7 and 8 refused; 2 and 6 accepted without a value; the
    // programming-voltage reading fails.
    lib.statuses["PassThruIoctl"] = {0,
                                     0,
                                     0,
                                     ERR_NOT_SUPPORTED,
                                     ERR_NOT_SUPPORTED,
                                     0,
                                     ERR_NOT_SUPPORTED,
                                     ERR_NOT_SUPPORTED,
                                     0,
                                     ERR_FAILED};
    lib.calls.clear();
    form.ADCRead->click();
    std::vector<uint32_t> ids;
    for (const FakeCall &c : lib.of("PassThruIoctl")) {
        EXPECT_EQ(c.args[0], 0u);
        EXPECT_EQ(c.ptr[0], nullptr);
        ids.push_back(c.args[1]);
    }
    EXPECT_EQ(ids, (std::vector<uint32_t>{0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005,
                                          0x10006, 0x10007, READ_VBATT, READ_PROG_VOLTAGE}));
    const char *texts[] = {" 1.234", "old", " 3.000", "old", "old", "old", "old", "old"};
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(form.ADC[k]->text().toStdString(), texts[k]) << k;
    EXPECT_EQ(form.ADCVbatt->text(), "12.345");
    EXPECT_EQ(form.ADCProgV->text(), "old");
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"PassThruIoctl returned 7", "ERROR"}}));

    // Another maker's interface, and no interface selected: only the two
    // standard readings.
    form.Interfaces[0].vendor = "Acme";
    lib.calls.clear();
    form.ADCRead->click();
    EXPECT_EQ(lib.count("PassThruIoctl"), 2u);
    form.Interfaces[0].vendor = "Vexlar LLC";
    form.LibraryListBox->setCurrentRow(-1);
    lib.calls.clear();
    form.ADCRead->click();
    EXPECT_EQ(lib.count("PassThruIoctl"), 2u);
}

TEST_F(IoPages, DigitalLinesAndProgrammingVoltage)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    lib.ioctl_output = {{READ_DIO1, 0}, {READ_DIO2, 5}};
    form.DIO1CheckBox->setChecked(true);
    form.ReadDIO->click();
    EXPECT_FALSE(form.DIO1CheckBox->isChecked());
    EXPECT_TRUE(form.DIO2CheckBox->isChecked());
    // A failed read leaves its box; the other line is still read.
    lib.statuses["PassThruIoctl"] = {ERR_FAILED};
    lib.ioctl_output[READ_DIO2] = 0;
    form.ReadDIO->click();
    EXPECT_FALSE(form.DIO1CheckBox->isChecked());
    EXPECT_FALSE(form.DIO2CheckBox->isChecked());
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"PassThruIoctl(READ_DIO1) returned 7", "ERROR"}}));

    form.DIO1CheckBox->setChecked(true);
    lib.statuses["PassThruIoctl"] = {ERR_FAILED, ERR_NOT_SUPPORTED};
    lib.calls.clear();
    messages.shown.clear();
    form.WriteDIO->click();
    std::vector<FakeCall> writes = lib.of("PassThruIoctl");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].args, (std::vector<uint32_t>{0, WRITE_DIO1}));
    EXPECT_EQ(writes[0].input, 1u);
    EXPECT_EQ(writes[1].args, (std::vector<uint32_t>{0, WRITE_DIO2}));
    EXPECT_EQ(writes[1].input, 0u);
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"PassThruIoctl(WRITE_DIO1) returned 7", "ERROR"},
                                         {"PassThruIoctl(WRITE_DIO2) returned 1", "ERROR"}}));

    const struct {
        const char *pin, *voltage;
        QPushButton *button;
        uint32_t sent_pin, sent_voltage;
    } settings[] = {
        {"13", "18000", form.SetProgVoltage, 13, 18000},
        {"13", "0", form.SetProgVoltage, 13, VOLTAGE_OFF},
        {"12", "abc", form.SetProgVoltage, 12, VOLTAGE_OFF},
        {" 15x", "5000 mV", form.SetProgVoltage, 15, 5000},
        {"13", "5000", form.SetProgVoltageOff, 13, VOLTAGE_OFF},
    };
    for (const auto &s : settings) {
        form.ProgPin->setText(s.pin);
        form.ProgVoltage->setText(s.voltage);
        lib.calls.clear();
        s.button->click();
        EXPECT_EQ(lib.of("PassThruSetProgrammingVoltage").at(0).args,
                  (std::vector<uint32_t>{1, s.sent_pin, s.sent_voltage}))
            << s.voltage;
    }
    messages.shown.clear();
    lib.statuses["PassThruSetProgrammingVoltage"] = {ERR_EXCEEDED_LIMIT};
    form.SetProgVoltage->click();
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"PassThruSetProgrammingVoltage returned 12", "ERROR"}}));
}

TEST_F(IoPages, VuV1ReadShowsOnlyACompleteReply)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.ISO9141Connect->setChecked(true);
    auto record = [](std::vector<uint8_t> bytes) {
        PASSTHRU_MSG m{};
        m.ProtocolID = ISO9141;
        m.DataSize = static_cast<uint32_t>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), m.Data);
        return m;
    };
    const std::vector<uint8_t> request = {0x01, 0x04, 0x00, 0x00, 0x00, 0x04, 0xF1, 0xC9};
    for (int click = 0; click < 2; ++click) {
        lib.rx = {record(request), record({0x01, 0x04, 0x08, 0x00, 0x00, 0xFF, 0xFF, 0x80, 0x00,
                                           0x00, 0x01, 0x12, 0x34})};
        lib.calls.clear();
        form.VuV1Read->click();
        // The request is the same on every click, not the last reply.
        FakeCall write = lib.of("PassThruWriteMsgs").at(0);
        EXPECT_EQ(write.args, (std::vector<uint32_t>{ISO9141, 1, 100}));
        EXPECT_EQ(
            std::vector<uint8_t>(write.msgs[0].Data, write.msgs[0].Data + write.msgs[0].DataSize),
            request);
        EXPECT_EQ(write.msgs[0].ProtocolID, uint32_t{ISO9141});
        std::vector<FakeCall> reads = lib.of("PassThruReadMsgs");
        ASSERT_EQ(reads.size(), 2u);
        EXPECT_EQ(reads[0].args, (std::vector<uint32_t>{ISO9141, 1, 100}));
        EXPECT_EQ(reads[1].args, (std::vector<uint32_t>{ISO9141, 1, 100}));
    }
    const char *shown[] = {"UNDER", "OVER", "550.0 C", "-150.0 C"};
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(form.VuV1Ch[r]->text().toStdString(), shown[r]) << r;

    // No second message, or one too short to hold the registers: nothing
    // changes.  The second read takes the count the first left.
    const std::vector<std::deque<PASSTHRU_MSG>> failures = {
        {record(request)},
        {},
        {record(request), record({0x01, 0x04, 0x08, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE})},
    };
    for (const auto &rx : failures) {
        lib.rx = rx;
        lib.calls.clear();
        form.VuV1Read->click();
        for (int r = 0; r < 4; ++r)
            EXPECT_EQ(form.VuV1Ch[r]->text().toStdString(), shown[r]) << r;
    }
    lib.rx.clear();
    lib.calls.clear();
    form.VuV1Read->click();
    EXPECT_EQ(lib.of("PassThruReadMsgs").at(1).args[1], 0u);  // nothing came: the count stays 0
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(IoPages, VuV1SetupConnectsOnceAndConfiguresTheKLineEachTime)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    for (int click = 0; click < 2; ++click) {
        lib.calls.clear();
        form.VuV1Setup->click();
        std::vector<FakeCall> connects = lib.of("PassThruConnect");
        if (click == 0) {
            ASSERT_EQ(connects.size(), 1u);
            EXPECT_EQ(connects[0].args,
                      (std::vector<uint32_t>{1, ISO9141, ISO9141_NO_CHECKSUM, 10400}));
        } else {
            EXPECT_TRUE(connects.empty());  // connected already
        }
        std::vector<Request> sent = config_requests(lib);
        ASSERT_EQ(sent.size(), 18u);
        const std::pair<size_t, Request> spots[] = {{0, {ISO9141, SET_CONFIG, DATA_RATE, 19200}},
                                                    {2, {ISO9141, SET_CONFIG, P1_MAX, 4}},
                                                    {5, {ISO9141, SET_CONFIG, P3_MIN, 6}},
                                                    {6, {ISO9141, SET_CONFIG, P3_MAX, 8}},
                                                    {16, {ISO9141, SET_CONFIG, PARITY, 1}},
                                                    {17, {ISO9141, SET_CONFIG, DATA_BITS, 8}}};
        for (const auto &[i, request] : spots)
            EXPECT_EQ(sent[i], request) << i;
    }
    EXPECT_TRUE(form.ISO9141NoChecksum->isChecked());
    EXPECT_EQ(form.Write1Protocol->currentIndex(), kISO9141);
    EXPECT_EQ(form.Write1Msg->text(), "0x01 0x04 0x00 0x00 0x00 0x04 0xF1 0xC9");
    EXPECT_EQ(form.Write1Description->text(), "Read VuV1 Data");
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace quillon_test
