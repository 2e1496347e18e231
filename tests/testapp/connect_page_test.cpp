// connect_page_test.cpp - the "Connect / Disconnect" page against the
// recording fake: Connect flags, the words other pages use, which boxes
// lock, the D2 request and the release of a channel's rows.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "tests/testapp/form_fixture.h"

namespace quillon_test {
namespace {

using ConnectPage = FormTest;
using Names = std::vector<std::string>;

TEST_F(ConnectPage, ConnectFlagsBaudRatesAndWords)
{
    TForm1 &f = loaded_form();
    FakeJ2534 &lib = fake();
    // The bus's 29-bit and FD boxes, checked for CAN, count for ISO15765 too.
    const struct {
        QCheckBox *connect;
        std::vector<QCheckBox *> options;
        uint32_t protocol, flags, baud;
    } cases[] = {{f.CANConnect, {f.CAN29BitId, f.CANFD}, CAN, 0x180100, 500000},
                 {f.ISO15765Connect,
                  {f.CANAllowAllId, f.ISO15765ExtendedAddress, f.ISO15765FramePad},
                  ISO15765,
                  0x1809C0,
                  500000},
                 {f.MSCANConnect, {f.MSCANPassive, f.CANPassive}, MSCAN, 0x1000000, 125000},
                 {f.MSISO15765Connect, {f.MSCAN29BitId}, MSISO15765, 0x100, 125000},
                 {f.SPCANConnect, {f.SPCANFD, f.SPCANAllowAllId}, SPCAN, 0x180800, 500000},
                 {f.SPISO15765Connect, {}, SPISO15765, 0x180800, 500000},
                 {f.ISO9141Connect,
                  {f.ISO9141NoChecksum, f.ISO9141NoLLine, f.ISO9141Ford},
                  ISO9141,
                  0x20001200,
                  10400},
                 {f.ISO14230Connect, {f.ISO14230P3Minimum}, ISO14230, 0x400, 10400},
                 {f.J1850PWMConnect, {}, J1850PWM, 0, 41600},
                 {f.SCIBTransConnect, {}, SCI_B_TRANS, 0, 9600}};
    lib.statuses["PassThruConnect"] = {ERR_FAILED};  // CAN's connect fails
    for (const auto &c : cases) {
        lib.calls.clear();
        for (QCheckBox *box : c.options)
            box->setChecked(true);
        c.connect->setChecked(true);
        ASSERT_EQ(lib.count("PassThruConnect"), 1u) << c.protocol;
        EXPECT_EQ(lib.calls[0].args, (std::vector<uint32_t>{1, c.protocol, c.flags, c.baud}))
            << c.protocol;
    }
    EXPECT_EQ(f.CANConnectFlags, 0x180100u);  // kept although the connect failed
    EXPECT_EQ(f.ISO9141TxFlags, uint32_t{ISO9141_NO_L_LINE_TX});
    EXPECT_EQ(f.ISO15765ChannelID, uint32_t{ISO15765});  // the fake's channel numbers
}

TEST_F(ConnectPage, BoxesLockWhileConnectedAndD2FollowsTheBus)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.CANConnect->setChecked(true);
    form.ISO15765Connect->setChecked(true);
    for (QCheckBox *box : {form.CAN29BitId, form.CANFD, form.ISO15765FramePad})
        EXPECT_FALSE(box->isEnabled());
    EXPECT_TRUE(form.CANPassive->isEnabled());  // never disabled
    form.ISO15765Connect->setChecked(false);
    // The shared boxes open again although CAN is still connected.
    for (QCheckBox *box : {form.CAN29BitId, form.CANFD, form.ISO15765FramePad})
        EXPECT_TRUE(box->isEnabled());

    lib.calls.clear();
    form.CAND2Support->setChecked(true);
    ASSERT_EQ(lib.names(), Names{"PassThruIoctl"});
    EXPECT_EQ(lib.calls[0].args, (std::vector<uint32_t>{CAN, CAN_D2_FLOW_CONTROL}));

    form.CANConnect->setChecked(false);
    EXPECT_FALSE(form.CAND2Support->isEnabled());
    EXPECT_TRUE(form.CAND2Support->isChecked());
    lib.calls.clear();
    form.CANConnect->setChecked(true);     // enabled again, the request not sent again
    form.CAND2Support->setChecked(false);  // unchecking asks nothing
    EXPECT_TRUE(form.CAND2Support->isEnabled());
    EXPECT_EQ(lib.names(), Names{"PassThruConnect"});
}

TEST_F(ConnectPage, DisconnectReleasesTheRowsOfTheFirstMatchingChannel)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    // Filter row 1 and periodic row 2 on CAN, periodic row 1 on ISO15765.
    form.PeriodicRows[1].Protocol->setCurrentIndex(kCAN);
    form.PeriodicRows[1].Msg->setText("0 0 7 0xdf");
    for (QCheckBox *box :
         {form.FilterRows[0].Active, form.PeriodicRows[0].Active, form.PeriodicRows[1].Active})
        box->setChecked(true);

    // J1850PWM refused (its word 0), CAN never connected (also 0): clearing
    // the J1850PWM box releases the CAN rows, the first word that matches.
    lib.statuses["PassThruConnect"] = {ERR_NOT_SUPPORTED};
    form.J1850PWMConnect->setChecked(true);
    lib.calls.clear();
    form.J1850PWMConnect->setChecked(false);
    EXPECT_EQ(lib.names(),
              (Names{"PassThruStopMsgFilter", "PassThruStopPeriodicMsg", "PassThruDisconnect"}));
    EXPECT_FALSE(form.FilterRows[0].Active->isChecked());
    EXPECT_FALSE(form.PeriodicRows[1].Active->isChecked());
    EXPECT_TRUE(form.PeriodicRows[0].Active->isChecked());

    // With DisableAutomatic the rows stay checked.
    form.ISO15765Connect->setChecked(true);
    form.DisableAutomatic->setChecked(true);
    lib.calls.clear();
    form.ISO15765Connect->setChecked(false);
    EXPECT_EQ(lib.names(), Names{"PassThruDisconnect"});
    EXPECT_TRUE(form.PeriodicRows[0].Active->isChecked());
}

}  // namespace
}  // namespace quillon_test
