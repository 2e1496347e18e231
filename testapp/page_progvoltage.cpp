// page_progvoltage.cpp - the "Prog. Voltage" page: PassThruSetProgrammingVoltage
// on the pin and voltage typed in, or VOLTAGE_OFF.
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "testapp/form.h"
#include "testapp/message_text.h"
#include "testapp/widgets.h"

void TForm1::BuildProgVoltagePage(QWidget *page)
{
    auto *grid = new QGridLayout(page);
    ProgPin = MakeEdit(page, "ProgPin", "13");
    ProgVoltage = MakeEdit(page, "ProgVoltage", "18000");
    SetProgVoltage = MakeButton(page, "SetProgVoltage", "On");
    SetProgVoltageOff = MakeButton(page, "SetProgVoltageOff", "Off");
    grid->addWidget(MakeLabel(page, "Pin"), 0, 0);
    grid->addWidget(ProgPin, 0, 1);
    grid->addWidget(MakeLabel(page, "Voltage"), 1, 0);
    grid->addWidget(ProgVoltage, 1, 1);
    grid->addWidget(SetProgVoltage, 2, 0);
    grid->addWidget(SetProgVoltageOff, 2, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(3, 1);
    Wire(SetProgVoltage, &QPushButton::clicked, &TForm1::SetProgVoltageClick);
    Wire(SetProgVoltageOff, &QPushButton::clicked, &TForm1::SetProgVoltageOffClick);
}

namespace {

void set_voltage(TForm1 &form, uint32_t voltage)
{
    uint32_t pin = static_cast<uint32_t>(TextToLong(TextOf(form.ProgPin)));
    form.CallAndReport(form.PassThruFunctionTable.PassThruSetProgrammingVoltage,
                       "PassThruSetProgrammingVoltage", form.OpenDeviceID, pin, voltage);
}

}  // namespace

void TForm1::SetProgVoltageClick()
{
    // 0 (or a text without leading digits) switches the output off.
    uint32_t voltage = static_cast<uint32_t>(TextToLong(TextOf(ProgVoltage)));
    set_voltage(*this, voltage == 0 ? VOLTAGE_OFF : voltage);
}

void TForm1::SetProgVoltageOffClick()
{
    set_voltage(*this, VOLTAGE_OFF);
}
