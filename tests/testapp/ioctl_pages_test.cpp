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

std::vector<ShownMessage> errors(std::vector<std::string> texts)
{
    std::vector<ShownMessage> shown;
    for (std::string &text : texts)
        shown.push_back({text, "ERROR"});
    return shown;
}

TEST_F(IoPages, CanGetFallsBackToTheSecondChannelAndShowsEveryAnswer)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.ISO15765Connect->setChecked(true);  // CAN never connected: its word is 0
    // In asking order; the pairs are asked on channel 0 first, which refuses.
    const struct {
        uint32_t parameter, value;
        bool pair;
        QLineEdit *field;  // none: the termination box
        const char *text;
    } answers[] = {{DATA_RATE, 250000, true, form.CANDataRate, "250000"},
                   {BIT_SAMPLE_POINT, 80, true, form.CANSamplePoint, "80"},
                   {SYNC_JUMP_WIDTH, 15, true, form.CANSyncJumpWidth, "15"},
                   {ISO15765_BS, 8, false, form.ISO15765BlockSize, "8"},
                   {ISO15765_STMIN, 20, false, form.ISO15765SeparationTime, "20"},
                   {BS_TX, 0xFFFF, false, form.ISO15765BlockSizeOverride, "65535"},
                   {STMIN_TX, 0xFFFFFFFF, false, form.ISO15765SeparationTimeOverride, "-1"},
                   {ISO15765_WFT_MAX, 3, false, form.ISO15765WaitFrameMax, "3"},
                   {FD_CAN_DATA_PHASE_RATE, 1000000, true, form.CANFDDataRate, "1000000"},
                   {HS_CAN_TERMINATION, 1, true, nullptr, ""},
                   {FD_ISO15765_TX_DATA_LENGTH, 64, false, form.ISO15765TxDataLen, "64"},
                   {ISO15765_PAD_VALUE, 0x55, false, form.ISO15765PadValue, "0x55"},
                   {INTERFRAME_DELAY, 7, true, form.CANInterframeDelay, "7"}};
    std::vector<Request> expected;
    for (const auto &a : answers) {
        lib.config[a.parameter] = a.value;
        if (a.pair)
            expected.emplace_back(0, GET_CONFIG, a.parameter, 0);
        expected.emplace_back(ISO15765, GET_CONFIG, a.parameter, 0);
    }
    lib.hooks["PassThruIoctl"] = [&lib](FakeCall &call) -> int32_t {
        auto *list = static_cast<SCONFIG_LIST *>(call.ptr[0]);
        if (call.args[0] == 0) {
            list->ConfigPtr[0].Value = 99;  // what a refusal may leave behind
            return ERR_INVALID_CHANNEL_ID;
        }
        for (uint32_t i = 0; i < list->NumOfParams; ++i)
            list->ConfigPtr[i].Value = lib.config[list->ConfigPtr[i].Parameter];
        return STATUS_NOERROR;
    };
    lib.calls.clear();
    form.GetCANSetup->click();
    EXPECT_EQ(config_requests(lib), expected);
    for (const auto &a : answers)
        if (a.field) {
            EXPECT_EQ(a.field->text().toStdString(), a.text) << a.parameter;
        }
    EXPECT_TRUE(form.HSCANTermination->isChecked());

    // "Get SP" with no SP channel: both refuse, every field shows 0, the pad
    // value is not asked, nothing is shown.
    lib.hooks["PassThruIoctl"] = [](FakeCall &) -> int32_t { return ERR_DEVICE_NOT_CONNECTED; };
    lib.calls.clear();
    form.GetSPCANSetup->click();
    EXPECT_EQ(config_requests(lib).size(), 6u * 2 + 6);
    EXPECT_EQ(form.CANDataRate->text(), "0");
    EXPECT_EQ(form.ISO15765PadValue->text(), "0x55");
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
    EXPECT_EQ(sent[9], Request(CAN, SET_CONFIG, HS_CAN_TERMINATION, 1));
    EXPECT_EQ(sent[11], Request(ISO15765, SET_CONFIG, ISO15765_PAD_VALUE, 85));
    EXPECT_EQ(sent[12], Request(CAN, SET_CONFIG, INTERFRAME_DELAY, 0));

    // "Set MS" skips the pad value; both MS words are 0, so nothing is released.
    lib.calls.clear();
    form.SetMSCANSetup->click();
    EXPECT_EQ(config_requests(lib).size(), 12u);
    EXPECT_EQ(lib.count("PassThruStopMsgFilter"), 0u);

    // The FD rule (its cases: io_rules_test) reaches both words of the bus,
    // not another bus's; the rate is read with base detection.
    const struct {
        const char *fd_rate;
        uint32_t before, after;
        bool box_after;
    } rules[] = {{"0x1E8480", 0, 0x180000, true}, {"250000", 0x180100, 0x100, false}};
    for (const auto &r : rules) {
        form.CANFD->setChecked(true);
        form.CANConnectFlags = form.ISO15765ConnectFlags = r.before;
        form.MSCANConnectFlags = 0x100;
        form.CANFDDataRate->setText(r.fd_rate);
        form.SetCANSetup->click();
        EXPECT_EQ(form.CANConnectFlags, r.after) << r.fd_rate;
        EXPECT_EQ(form.ISO15765ConnectFlags, r.after) << r.fd_rate;
        EXPECT_EQ(form.CANFD->isChecked(), r.box_after) << r.fd_rate;
        EXPECT_EQ(form.MSCANConnectFlags, 0x100u) << "another bus's word";
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(IoPages, ListGroupsInitialisationsFilterClearAndIdleButtons)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.ISO14230Connect->setChecked(true);
    lib.config = {{DATA_RATE, 9600}, {P3_MAX, 5000}};
    lib.calls.clear();
    form.GetISOSetup->click();  // ISO9141 unchecked: the ISO14230 channel
    std::vector<Request> got = config_requests(lib);
    ASSERT_EQ(lib.count("PassThruIoctl"), 1u);
    ASSERT_EQ(got.size(), 18u);
    EXPECT_EQ(got.front(), Request(ISO14230, GET_CONFIG, DATA_RATE, 0));
    EXPECT_EQ(got[17], Request(ISO14230, GET_CONFIG, DATA_BITS, 0));
    EXPECT_EQ(form.ISODataRate->text(), "9600");
    EXPECT_EQ(form.P3Max->text(), "5000");
    EXPECT_EQ(form.P1Max->text(), "0");
    EXPECT_EQ(form.T_IDLE->text(), "0");  // never read or written

    lib.statuses["PassThruIoctl"] = {ERR_INVALID_CHANNEL_ID};
    form.ISODataRate->setText("10400");
    form.GetISOSetup->click();
    EXPECT_EQ(form.ISODataRate->text(), "10400");
    EXPECT_EQ(messages.shown, errors({"PassThruIoctl returned 2"}));

    // The Set reads the fields with base detection; with ISO9141 checked it
    // goes to that channel.
    form.ISO9141Connect->setChecked(true);
    form.W1Max->setText("0x10");
    form.P1Min->setText("010");
    lib.calls.clear();
    form.SetISOSetup->click();
    got = config_requests(lib);
    ASSERT_EQ(got.size(), 18u);
    EXPECT_EQ(got[0], Request(ISO9141, SET_CONFIG, DATA_RATE, 10400));
    EXPECT_EQ(got[1], Request(ISO9141, SET_CONFIG, P1_MIN, 8));
    EXPECT_EQ(got[9], Request(ISO9141, SET_CONFIG, W1, 16));

    // SCI's fixed word is 0 here, so the release before the Set hits the
    // CAN rows, the first word that is 0.
    form.FilterRows[0].Active->setChecked(true);
    lib.calls.clear();
    form.SetSCISetup->click();
    EXPECT_EQ(lib.names().front(), "PassThruStopMsgFilter");
    EXPECT_FALSE(form.FilterRows[0].Active->isChecked());
    EXPECT_EQ(config_requests(lib), (std::vector<Request>{{0, SET_CONFIG, DATA_RATE, 7812},
                                                          {0, SET_CONFIG, T1_MAX, 0},
                                                          {0, SET_CONFIG, T2_MAX, 0},
                                                          {0, SET_CONFIG, T4_MAX, 0},
                                                          {0, SET_CONFIG, T5_MAX, 0}}));
    form.J1850PWMNetworkLine->setText("1");
    form.GetJ1850PWMSetup->click();
    EXPECT_EQ(form.J1850PWMNetworkLine->text(), "1");  // "Line" is never read

    // Initialisations and the functional address, ISO9141 and ISO14230 connected.
    messages.shown.clear();
    form.ISONodeAddress->setText("0x133");  // the low 8 bits
    form.J1850PWMFunctionalMsg->setText("0x16A");
    std::vector<uint8_t> seen;
    lib.hooks["PassThruIoctl"] = [&](FakeCall &call) -> int32_t {
        auto *in = static_cast<SBYTE_ARRAY *>(call.ptr[0]);
        if (call.args[1] == FAST_INIT) {
            auto *m = static_cast<PASSTHRU_MSG *>(call.ptr[0]);
            EXPECT_EQ(call.ptr[0], call.ptr[1]);
            EXPECT_EQ(m->ProtocolID, uint32_t{ISO14230});
            seen.assign(m->Data, m->Data + m->DataSize);
            return STATUS_NOERROR;
        }
        seen.assign(in->BytePtr, in->BytePtr + in->NumOfBytes);
        if (call.args[1] == ADD_TO_FUNCT_MSG_LOOKUP_TABLE)
            return ERR_NOT_SUPPORTED;
        auto *out = static_cast<SBYTE_ARRAY *>(call.ptr[1]);
        EXPECT_EQ(out->NumOfBytes, 2u);
        out->BytePtr[0] = 0x08;
        out->BytePtr[1] = 0xEF;
        return STATUS_NOERROR;
    };
    const struct {
        QPushButton *button;
        uint32_t channel, ioctl;
        std::vector<uint8_t> bytes;
    } inits[] = {{form.ISOFiveBaud, ISO9141, FIVE_BAUD_INIT, {0x33}},
                 {form.ISOFastInit, ISO14230, FAST_INIT, {0xC1, 0x33, 0x33, 0x81}},
                 {form.J1850PWMAddFunctionalMsg, 0, ADD_TO_FUNCT_MSG_LOOKUP_TABLE, {0x6A}}};
    for (const auto &i : inits) {
        lib.calls.clear();
        seen.clear();
        i.button->click();
        EXPECT_EQ(lib.of("PassThruIoctl").at(0).args, (std::vector{i.channel, i.ioctl}));
        EXPECT_EQ(seen, i.bytes) << i.ioctl;
    }
    EXPECT_EQ(form.KW1->text(), "0x08");
    EXPECT_EQ(form.KW2->text(), "0xEF");
    EXPECT_EQ(messages.shown, errors({"PassThruIoctl returned 1"}));

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
    EXPECT_EQ(messages.shown, errors({"PassThruIoctl returned 2"}));
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
    TForm1 &f = loaded_form();
    FakeJ2534 &lib = fake();
    QCheckBox *const stamp = f.ISO15765LastSegmentTimestamp;
    QCheckBox *const suspend = f.AutomaticSuspendDisable;
    // `box` null: the pin combo set to `value`; `stamp`: its click handler
    // (the box itself is unbound); else the box set to `value`.  Channel 0:
    // nothing is sent.
    const struct {
        std::vector<QCheckBox *> connected;
        QCheckBox *box;
        int value;
        uint32_t channel, parameter, sent;
        std::string message = "";
    } cases[] = {
        {{}, f.LoopBack, 1, 0, 0, 0, "No procotols active"},
        {{f.ISO9141Connect, f.MSCANConnect}, f.LoopBack, 0, MSCAN, LOOPBACK, 0},
        {{f.ISO9141Connect}, f.MsgTrigger, 1, ISO9141, MSG_TRIGGER, 1},
        {{}, f.EnableBusErrors, 1, 0, 0, 0, "No procotols active"},
        {{f.SCIBTransConnect}, f.EnableBusErrors, 0, SCI_B_TRANS, BUS_ERROR_MSGS, 0},
        {{f.CANConnect}, suspend, 1, 0, 0, 0, "No ISO15765 procotols active"},
        {{f.SPISO15765Connect, f.MSISO15765Connect}, suspend, 0, MSISO15765, AUTOMATIC_SUSPEND, 1},
        {{f.SPISO15765Connect}, suspend, 1, SPISO15765, AUTOMATIC_SUSPEND, 0},
        {{f.CANConnect}, nullptr, 3, 0, 0, 0, "No ISO9141 procotols active"},
        {{f.ISO9141Connect}, nullptr, 6, ISO9141, J1962_PINS, 0x0F00},
        {{f.ISO9141Connect, f.ISO14230Connect}, nullptr, 0, ISO14230, J1962_PINS, 0x0100},
        {{}, nullptr, -1, 0, 0, 0},  // no pin selected: not even the message
        {{}, stamp, 0, 0, 0, 0, "ISO15765/MSISO15765/SPISO15765 not active"},
        {{f.ISO15765Connect}, stamp, 0, ISO15765, LAST_SEGMENT_TIMESTAMP, 0}};
    for (const auto &c : cases) {
        for (QCheckBox *box : f.findChildren<QCheckBox *>(QRegularExpression("Connect$")))
            box->setChecked(std::ranges::find(c.connected, box) != c.connected.end());
        lib.calls.clear();
        messages.shown.clear();
        if (c.box == nullptr) {
            f.ISO9141Pin->setCurrentIndex(c.value);
            f.ISO9141PinChange();
        } else if (c.box == stamp) {
            f.ISO15765LastSegmentTimestampClick();
        } else {
            c.box->setChecked(c.value);
        }
        std::vector<Request> sent;
        if (c.channel != 0)
            sent.emplace_back(c.channel, SET_CONFIG, c.parameter, c.sent);
        EXPECT_EQ(config_requests(lib), sent) << c.message << c.parameter;
        EXPECT_EQ(messages.shown, c.message.empty() ? errors({}) : errors({c.message}));
    }
    lib.calls.clear();
    stamp->setChecked(true);  // ISO15765 connected, yet nothing is sent
    EXPECT_TRUE(lib.calls.empty());
    // A failing option is reported.
    lib.statuses["PassThruIoctl"] = {ERR_INVALID_CHANNEL_ID};
    f.ISO9141Connect->setChecked(true);
    f.ISO9141Pin->setCurrentIndex(1);
    f.ISO9141PinChange();
    EXPECT_EQ(messages.shown, errors({"PassThruIoctl returned 2"}));
}

TEST_F(IoPages, VoltagesKeepTextsThatGotNoValueDigitalLinesAndProgrammingVoltage)
{
    TForm1 &form = loaded_form();  // vendor "Vexlar LLC": the eight channels too
    FakeJ2534 &lib = fake();
    lib.ioctl_output = {{READ_CH1_VOLTAGE, 1234}, {READ_CH3_VOLTAGE, 3000}, {READ_VBATT, 12345}};
    for (QLineEdit *text : form.ADC)
        text->setText("old");
    form.ADCProgV->setText("old");
    // Channels 4, 5, 7 and 8 refused; 2 and 6 accepted without a value; the
    // programming-voltage reading fails.
    const int32_t no = ERR_NOT_SUPPORTED;
    lib.statuses["PassThruIoctl"] = {0, 0, 0, no, no, 0, no, no, 0, ERR_FAILED};
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
    EXPECT_EQ(messages.shown, errors({"PassThruIoctl returned 7"}));

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

    lib.ioctl_output = {{READ_DIO1, 0}, {READ_DIO2, 5}};
    messages.shown.clear();
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
    EXPECT_EQ(messages.shown, errors({"PassThruIoctl(READ_DIO1) returned 7"}));

    form.DIO1CheckBox->setChecked(true);
    lib.statuses["PassThruIoctl"] = {ERR_FAILED, ERR_NOT_SUPPORTED};
    lib.calls.clear();
    messages.shown.clear();
    form.WriteDIO->click();
    std::vector<std::vector<uint32_t>> writes;
    for (const FakeCall &c : lib.of("PassThruIoctl"))
        writes.push_back({c.args[0], c.args[1], c.input.value_or(99)});
    EXPECT_EQ(writes, (std::vector<std::vector<uint32_t>>{{0, WRITE_DIO1, 1}, {0, WRITE_DIO2, 0}}));
    EXPECT_EQ(messages.shown, errors({"PassThruIoctl(WRITE_DIO1) returned 7",
                                      "PassThruIoctl(WRITE_DIO2) returned 1"}));

    const struct {
        const char *pin, *voltage;
        QPushButton *button;
        uint32_t sent_pin, sent_voltage;
    } settings[] = {{"13", "18000", form.SetProgVoltage, 13, 18000},
                    {"13", "0", form.SetProgVoltage, 13, VOLTAGE_OFF},
                    {"12", "abc", form.SetProgVoltage, 12, VOLTAGE_OFF},
                    {" 15x", "5000 mV", form.SetProgVoltage, 15, 5000},
                    {"13", "5000", form.SetProgVoltageOff, 13, VOLTAGE_OFF}};
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
    EXPECT_EQ(messages.shown, errors({"PassThruSetProgrammingVoltage returned 12"}));
}

TEST_F(IoPages, VuV1SetupAndReadShowOnlyACompleteReply)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    for (int click = 0; click < 2; ++click) {
        lib.calls.clear();
        form.VuV1Setup->click();
        // Connected once; the K-line is configured each time.
        EXPECT_EQ(lib.count("PassThruConnect"), click == 0 ? 1u : 0u);
        std::vector<Request> sent = config_requests(lib);
        ASSERT_EQ(sent.size(), 18u);
        EXPECT_EQ(sent[0], Request(ISO9141, SET_CONFIG, DATA_RATE, 19200));
        EXPECT_EQ(sent[2], Request(ISO9141, SET_CONFIG, P1_MAX, 4));
        EXPECT_EQ(sent[6], Request(ISO9141, SET_CONFIG, P3_MAX, 8));
        EXPECT_EQ(sent[16], Request(ISO9141, SET_CONFIG, PARITY, 1));
    }
    EXPECT_TRUE(form.ISO9141NoChecksum->isChecked());
    EXPECT_EQ(form.Write1Protocol->currentIndex(), kISO9141);
    const std::vector<uint8_t> request = {0x01, 0x04, 0x00, 0x00, 0x00, 0x04, 0xF1, 0xC9};
    EXPECT_EQ(form.Write1Msg->text(), "0x01 0x04 0x00 0x00 0x00 0x04 0xF1 0xC9");
    EXPECT_EQ(form.Write1Description->text(), "Read VuV1 Data");

    auto record = [](std::vector<uint8_t> bytes) {
        PASSTHRU_MSG m{};
        m.ProtocolID = ISO9141;
        m.DataSize = static_cast<uint32_t>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), m.Data);
        return m;
    };
    const std::vector<uint8_t> reply = {0x01, 0x04, 0x08, 0x00, 0x00, 0xFF, 0xFF,
                                        0x80, 0x00, 0x00, 0x01, 0x12, 0x34};
    const char *shown[] = {"UNDER", "OVER", "550.0 C", "-150.0 C"};
    // Twice a full reply, then no second message, none at all, and one too
    // short to hold the registers: these change nothing.
    const std::vector<std::deque<PASSTHRU_MSG>> replies = {
        {record(request), record(reply)},
        {record(request), record(reply)},
        {record(request)},
        {},
        {record(request), record({0x01, 0x04, 0x08, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE})}};
    for (const auto &rx : replies) {
        lib.rx = rx;
        lib.calls.clear();
        form.VuV1Read->click();
        // The request is built afresh each time, not from the last reply.
        FakeCall write = lib.of("PassThruWriteMsgs").at(0);
        EXPECT_EQ(write.args, (std::vector<uint32_t>{ISO9141, 1, 100}));
        EXPECT_EQ(std::vector(write.msgs[0].Data, write.msgs[0].Data + write.msgs[0].DataSize),
                  request);
        std::vector<FakeCall> reads = lib.of("PassThruReadMsgs");
        ASSERT_EQ(reads.size(), 2u);
        EXPECT_EQ(reads[0].args, (std::vector<uint32_t>{ISO9141, 1, 100}));
        // The second read takes the count the first left: 0 when nothing came.
        EXPECT_EQ(reads[1].args[1], rx.empty() ? 0u : 1u);
        for (int r = 0; r < 4; ++r)
            EXPECT_EQ(form.VuV1Ch[r]->text().toStdString(), shown[r]) << r;
    }
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace quillon_test
