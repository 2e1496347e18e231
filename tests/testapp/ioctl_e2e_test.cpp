// ioctl_e2e_test.cpp - the configuration, voltage and I/O pages against the
// built Orvane library and the simulated adapter: what reaches the adapter
// and what the fields then show.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <chrono>
#include <thread>

#include "sim/setup_blocks.h"
#include "tests/testapp/form_fixture.h"

namespace quillon_test {
namespace {

using namespace std::chrono_literals;
using IoPagesEndToEnd = FormTest;

// Commands that only set something are not answered: wait until the
// simulator has handled them.
template <typename Predicate> bool eventually(Predicate done)
{
    for (auto until = std::chrono::steady_clock::now() + 5s;
         std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(10ms))
        if (done())
            return true;
    return done();
}

TEST_F(IoPagesEndToEnd, WhatThePagesSendReachesTheAdapterAndItsAnswersShow)
{
    start_sim(7);
    register_library(TENQ_LIB_0404);
    TForm1 &form = make_form();
    form.LoadLibraryButtonClick();
    ASSERT_TRUE(messages.shown.empty()) << messages.shown.at(0);
    form.LoopBack->setChecked(true);  // nothing connected yet
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"No procotols active", "ERROR"}}));
    messages.shown.clear();

    form.CANConnect->setChecked(true);
    form.CANDataRate->setText("250000");
    form.CANFDDataRate->setText("1000000");
    form.CANSamplePoint->setText("80");
    form.SetCANSetup->click();
    // Every SET_CONFIG sends the whole block again: wait for the last one.
    ASSERT_TRUE(eventually([&] {
        auto blocks = sim().bus_devices().setup_blocks;
        auto found = blocks.find(orvane::sim::JMSG_CAN);
        auto b =
            found == blocks.end() ? std::nullopt : orvane::sim::decode_can_setup(found->second);
        return b && b->baud_rate == 250000 && b->fd_baud_rate == 1000000 &&
               b->sample_point_percent == 80;
    }));
    form.CANDataRate->setText("");
    form.CANSamplePoint->setText("");
    form.GetCANSetup->click();
    EXPECT_EQ(form.CANDataRate->text(), "250000");
    EXPECT_EQ(form.CANFDDataRate->text(), "1000000");
    EXPECT_EQ(form.CANSamplePoint->text(), "80");

    sim().with_kline_init([](orvane::sim::KLineInit &k) {
        k.key_byte1 = 0x94;
        k.key_byte2 = 0x08;
    });
    form.ISO9141Connect->setChecked(true);
    form.ISOFiveBaud->click();
    EXPECT_EQ(form.KW1->text(), "0x94");
    EXPECT_EQ(form.KW2->text(), "0x08");
    EXPECT_EQ(
        sim().with_kline_init([](orvane::sim::KLineInit &k) { return k.five_baud_addresses; }),
        (std::vector<uint8_t>{0x33}));

    // The simulator wires its analogue input 0 to the programming voltage.
    form.ProgVoltage->setText("5000");
    form.SetProgVoltage->click();
    ASSERT_TRUE(sim().outputs().prog_voltage);
    EXPECT_EQ(sim().outputs().prog_voltage->millivolts, 5000);
    EXPECT_EQ(sim().outputs().prog_voltage->pin, 13);
    form.ADCRead->click();
    EXPECT_EQ(form.ADCVbatt->text(), "12.500");
    EXPECT_EQ(form.ADCProgV->text(), " 5.000");
    EXPECT_TRUE(messages.shown.empty()) << messages.shown.at(0);

    // The default of 18000 mV is above what the library allows.
    form.ProgVoltage->setText("18000");
    form.SetProgVoltage->click();
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"PassThruSetProgrammingVoltage returned 12", "ERROR"}}));
    messages.shown.clear();
    form.SetProgVoltageOff->click();
    EXPECT_EQ(sim().outputs().prog_voltage->millivolts, 0);

    form.DIO1CheckBox->setChecked(true);
    form.DIO2CheckBox->setChecked(false);
    form.WriteDIO->click();
    auto writes = [&] {
        return sim().with_io([](orvane::sim::AdapterIo &io) { return io.writes; });
    };
    ASSERT_TRUE(eventually([&] { return writes().size() == 2; }));
    EXPECT_EQ(writes(), (std::vector<std::pair<uint8_t, uint8_t>>{{1, 1}, {2, 0}}));
    // The pins are wired back: reading shows what was written.
    form.DIO1CheckBox->setChecked(false);
    form.ReadDIO->click();
    EXPECT_TRUE(form.DIO1CheckBox->isChecked());
    EXPECT_FALSE(form.DIO2CheckBox->isChecked());
    EXPECT_TRUE(messages.shown.empty()) << messages.shown.at(0);
}

}  // namespace
}  // namespace quillon_test
