// page_ioctl2.cpp - the "I/O Control (2)" page: analogue readings, the two
// digital lines, the K-line pin list and the VuV1 temperature module, a
// Modbus RTU unit answering on the K-line.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <memory>

#include "orvane_maker.h"
#include "testapp/form.h"
#include "testapp/io_rules.h"
#include "testapp/message_text.h"
#include "testapp/widgets.h"

namespace {

// A reading word still holding this after a successful call was not
// written: no input reads 4294967 V.
constexpr uint32_t kNoReading = 0xFFFFFFFF;

// Modbus RTU: unit 1, read input registers (4) from 0, four registers,
// CRC-16 low byte first.
constexpr uint8_t kVuV1Request[] = {0x01, 0x04, 0x00, 0x00, 0x00, 0x04, 0xF1, 0xC9};
constexpr const char *kVuV1RequestText = "0x01 0x04 0x00 0x00 0x00 0x04 0xF1 0xC9";
// Unit, function, byte count, then four big-endian registers.
constexpr uint32_t kVuV1ReplySize = 3 + 4 * 2;
constexpr uint32_t kVuV1Timeout = 100;  // ms, for the write and each read

}  // namespace

void TForm1::BuildIoControl2Page(QWidget *page)
{
    auto *layout = new QGridLayout(page);

    QGroupBox *voltage = MakeGroup(page, "VoltageReading", "Voltage Reading");
    auto *vgrid = new QGridLayout(voltage);
    for (int k = 0; k < 8; ++k) {
        std::string name = "ADC" + std::to_string(k + 1);
        ADC[k] = MakeEdit(voltage, name.c_str());
        vgrid->addWidget(ADC[k], k, 0);
        vgrid->addWidget(MakeLabel(voltage, ("V  Channel " + std::to_string(k + 1)).c_str()), k, 1);
    }
    ADCVbatt = MakeEdit(voltage, "ADCVbatt");
    ADCProgV = MakeEdit(voltage, "ADCProgV");
    vgrid->addWidget(ADCVbatt, 8, 0);
    vgrid->addWidget(MakeLabel(voltage, "V  VBATT"), 8, 1);
    vgrid->addWidget(ADCProgV, 9, 0);
    vgrid->addWidget(MakeLabel(voltage, "V  PROGV"), 9, 1);
    vgrid->addWidget(ADCRead = MakeButton(voltage, "ADCRead", "Read"), 10, 0);

    QGroupBox *pins = MakeGroup(page, "PinUse", "Pin Use");
    auto *pgrid = new QGridLayout(pins);
    ISO9141Pin = MakeCombo(pins, "ISO9141Pin",
                           {"K-Line Pin 1", "K-Line Pin 7", "K-Line Pin 9", "K-Line Pin 11",
                            "K-Line Pin 12", "K-Line Pin 13", "K-Line Pin 15"},
                           1);
    pgrid->addWidget(MakeLabel(pins, "ISO9141 Pins"), 0, 0);
    pgrid->addWidget(ISO9141Pin, 0, 1);

    QGroupBox *digital = MakeGroup(page, "DigitalIO", "Digital I/O");
    auto *dgrid = new QGridLayout(digital);
    dgrid->addWidget(DIO1CheckBox = MakeCheckBox(digital, "DIO1CheckBox", "DIO1"), 0, 0);
    dgrid->addWidget(DIO2CheckBox = MakeCheckBox(digital, "DIO2CheckBox", "DIO2"), 1, 0);
    dgrid->addWidget(MakeLabel(digital, "(checked = high)"), 2, 0);
    dgrid->addWidget(ReadDIO = MakeButton(digital, "ReadDIO", "Read"), 0, 1);
    dgrid->addWidget(WriteDIO = MakeButton(digital, "WriteDIO", "Write"), 1, 1);

    QGroupBox *vuv1 = MakeGroup(page, "VuV1Interface", "VuV1 Interface");
    auto *ugrid = new QGridLayout(vuv1);
    ugrid->addWidget(VuV1Setup = MakeButton(vuv1, "VuV1Setup", "Setup ISO K-Line"), 0, 0, 1, 2);
    for (int r = 0; r < 4; ++r) {
        std::string name = "VuV1Ch" + std::to_string(r + 1);
        VuV1Ch[r] = MakeEdit(vuv1, name.c_str());
        ugrid->addWidget(MakeLabel(vuv1, ("Channel " + std::to_string(r + 1)).c_str()), r + 1, 0);
        ugrid->addWidget(VuV1Ch[r], r + 1, 1);
    }
    ugrid->addWidget(VuV1Read = MakeButton(vuv1, "VuV1Read", "Read"), 5, 0, 1, 2);
    VuV1Type = MakeCombo(vuv1, "VuV1Type",
                         {"K-Thermocouple (-150 to 1250C)", "Thermistor (0 to 100C)",
                          "Current (0 to 25mA)", "Voltage (-10 to +10V)"},
                         0);
    VuV1Address = MakeCombo(vuv1, "VuV1Address", {"1", "2", "3", "4"}, 0);
    VuV1Filter = MakeCombo(vuv1, "VuV1Filter", {"Normal", "Fast", "Slow"}, 0);
    const std::pair<const char *, QComboBox *> settings[] = {
        {"Sensor Type", VuV1Type}, {"Device Address", VuV1Address}, {"Filter Setting", VuV1Filter}};
    int row = 6;
    for (const auto &[label, combo] : settings) {
        combo->setEnabled(false);
        ugrid->addWidget(MakeLabel(vuv1, label), row, 0);
        ugrid->addWidget(combo, row++, 1);
    }

    layout->addWidget(voltage, 0, 0, 2, 1);
    layout->addWidget(pins, 0, 1);
    layout->addWidget(digital, 1, 1);
    layout->addWidget(vuv1, 0, 2, 2, 1);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(3, 1);

    Wire(ADCRead, &QPushButton::clicked, &TForm1::ADCReadClick);
    Wire(ReadDIO, &QPushButton::clicked, &TForm1::ReadDIOClick);
    Wire(WriteDIO, &QPushButton::clicked, &TForm1::WriteDIOClick);
    Wire(VuV1Setup, &QPushButton::clicked, &TForm1::VuV1SetupClick);
    Wire(VuV1Read, &QPushButton::clicked, &TForm1::VuV1ReadClick);
    Wire(ISO9141Pin, &QComboBox::activated, &TForm1::ISO9141PinChange);
}

int32_t TForm1::ReadVoltage(uint32_t ioctl, QLineEdit *text)
{
    uint32_t reading = kNoReading;
    int32_t status = PassThruFunctionTable.PassThruIoctl(0, ioctl, nullptr, &reading);
    if (status == STATUS_NOERROR && reading != kNoReading)
        SetText(text, volts_text(reading));
    return status;
}

void TForm1::ADCReadClick()
{
    if (!Bound(PassThruFunctionTable.PassThruIoctl, "PassThruIoctl"))
        return;
    // An interface whose Vendor begins with the maker word has the eight
    // vendor channels; no selected interface counts as another maker's.
    if (SelectedVendor().starts_with(kMakerWord)) {
        for (uint32_t k = 0; k < 8; ++k)
            ReadVoltage(READ_CH1_VOLTAGE + k, ADC[k]);  // failures are silent
    }
    for (const auto &[ioctl, text] : {std::pair{uint32_t{READ_VBATT}, ADCVbatt},
                                      std::pair{uint32_t{READ_PROG_VOLTAGE}, ADCProgV}}) {
        int32_t status = ReadVoltage(ioctl, text);
        if (status != STATUS_NOERROR)
            ShowPassThruError("PassThruIoctl", status);
    }
}

namespace {

// The two digital lines: their read and write requests and the names the
// error box shows.
struct DigitalLine {
    uint32_t read;
    const char *read_name;
    uint32_t write;
    const char *write_name;
    QCheckBox *TForm1::*box;
};
const DigitalLine kDigitalLines[] = {
    {READ_DIO1, "PassThruIoctl(READ_DIO1)", WRITE_DIO1, "PassThruIoctl(WRITE_DIO1)",
     &TForm1::DIO1CheckBox},
    {READ_DIO2, "PassThruIoctl(READ_DIO2)", WRITE_DIO2, "PassThruIoctl(WRITE_DIO2)",
     &TForm1::DIO2CheckBox},
};

}  // namespace

void TForm1::ReadDIOClick()
{
    if (!Bound(PassThruFunctionTable.PassThruIoctl, "PassThruIoctl"))
        return;
    for (const DigitalLine &line : kDigitalLines) {
        uint32_t level = 0;
        int32_t status = PassThruFunctionTable.PassThruIoctl(0, line.read, nullptr, &level);
        if (status != STATUS_NOERROR)
            ShowPassThruError(line.read_name, status);
        else
            (this->*line.box)->setChecked(level != 0);
    }
}

void TForm1::WriteDIOClick()
{
    if (!Bound(PassThruFunctionTable.PassThruIoctl, "PassThruIoctl"))
        return;
    // The second line is written whatever the first answered.
    for (const DigitalLine &line : kDigitalLines) {
        uint32_t level = (this->*line.box)->isChecked() ? 1 : 0;
        int32_t status = PassThruFunctionTable.PassThruIoctl(0, line.write, &level, nullptr);
        if (status != STATUS_NOERROR)
            ShowPassThruError(line.write_name, status);
    }
}

void TForm1::VuV1SetupClick()
{
    // Connects ISO9141 without checksum, unless it is connected already.
    ISO9141NoChecksum->setChecked(true);
    ISO9141Connect->setChecked(true);
    const std::pair<QLineEdit *, const char *> settings[] = {
        {P1Min, "0"},           {P1Max, "4"},    {P2Min, "0"},     {P2Max, "4"},
        {P3Min, "6"},           {P3Max, "8"},    {P4Min, "0"},     {P4Max, "4"},
        {ISODataRate, "19200"}, {DataBits, "8"}, {ISOParity, "1"},
    };
    for (const auto &[field, text] : settings)
        SetText(field, text);
    SetISOSetupClick();
    Write1Protocol->setCurrentIndex(kISO9141);
    SetText(Write1Msg, kVuV1RequestText);
    SetText(Write1Description, "Read VuV1 Data");
}

void TForm1::VuV1ReadClick()
{
    if (!Bound(PassThruFunctionTable.PassThruWriteMsgs, "PassThruWriteMsgs") ||
        !Bound(PassThruFunctionTable.PassThruReadMsgs, "PassThruReadMsgs"))
        return;
    // Built afresh: the reads below overwrite the record.
    auto msg = std::make_unique<PASSTHRU_MSG>();
    msg->ProtocolID = ISO9141;
    msg->DataSize = sizeof kVuV1Request;
    std::copy(std::begin(kVuV1Request), std::end(kVuV1Request), msg->Data);
    uint32_t count = 1;
    PassThruFunctionTable.PassThruWriteMsgs(ISO9141ChannelID, msg.get(), &count, kVuV1Timeout);

    // Two reads; the second, with the count the first left, holds the reply.
    // Each read starts from an empty record, so a read that delivers nothing
    // leaves no earlier bytes to be taken for a reply.
    count = 1;
    *msg = PASSTHRU_MSG{};
    PassThruFunctionTable.PassThruReadMsgs(ISO9141ChannelID, msg.get(), &count, kVuV1Timeout);
    *msg = PASSTHRU_MSG{};
    PassThruFunctionTable.PassThruReadMsgs(ISO9141ChannelID, msg.get(), &count, kVuV1Timeout);
    // Only a reply that holds the four registers is shown.
    if (count != 1 || msg->DataSize < kVuV1ReplySize || msg->DataSize > sizeof msg->Data)
        return;
    for (int r = 1; r <= 4; ++r) {
        uint16_t raw = static_cast<uint16_t>(msg->Data[2 * r + 1] << 8 | msg->Data[2 * r + 2]);
        SetText(VuV1Ch[r - 1], vuv1_temperature_text(raw));
    }
}
