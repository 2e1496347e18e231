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

TEST_F(ConnectPage, ConnectFlagsBaudRatesAndWords)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    const struct {
        QCheckBox *connect;
        std::vector<QCheckBox *> options;
        int32_t status;
        uint32_t protocol, flags, baud;
        uint32_t *flag_word;
    } cases[] = {
        {form.CANConnect,
         {form.CAN29BitId, form.CANFD},
         ERR_FAILED,
         CAN,
         0x180100,
         500000,
         &form.CANConnectFlags},
        // The bus's 29-bit and FD boxes, checked for CAN, count here too.
        {form.ISO15765Connect,
         {form.CANAllowAllId, form.ISO15765ExtendedAddress, form.ISO15765FramePad},
         0,
         ISO15765,
         0x1809C0,
         500000,
         &form.ISO15765ConnectFlags},
        {form.MSCANConnect,
         {form.MSCANPassive, form.CANPassive},
         0,
         MSCAN,
         0x1000000,
         125000,
         &form.MSCANConnectFlags},
        {form.MSISO15765Connect,
         {form.MSCAN29BitId},
         0,
         MSISO15765,
         0x100,
         125000,
         &form.MSISO15765ConnectFlags},
        {form.SPCANConnect,
         {form.SPCANFD, form.SPCANAllowAllId},
         0,
         SPCAN,
         0x180800,
         500000,
         &form.SPCANConnectFlags},
        {form.SPISO15765Connect, {}, 0, SPISO15765, 0x180800, 500000, &form.SPISO15765ConnectFlags},
        {form.ISO9141Connect,
         {form.ISO9141NoChecksum, form.ISO9141NoLLine, form.ISO9141Ford},
         0,
         ISO9141,
         0x20001200,
         10400,
         nullptr},
        {form.ISO14230Connect, {form.ISO14230P3Minimum}, 0, ISO14230, 0x400, 10400, nullptr},
        {form.J1850PWMConnect, {}, ERR_NOT_SUPPORTED, J1850PWM, 0, 41600, nullptr},
        {form.J1850VPWConnect, {}, 0, J1850VPW, 0, 10400, nullptr},
        {form.SCIAEngineConnect, {}, 0, SCI_A_ENGINE, 0, 9600, nullptr},
        {form.SCIBTransConnect, {}, 0, SCI_B_TRANS, 0, 9600, nullptr},
    };
    for (const auto &c : cases) {
        lib.calls.clear();
        messages.shown.clear();
        for (QCheckBox *box : c.options)
            box->setChecked(true);
        lib.statuses["PassThruConnect"] = {c.status};
        c.connect->setChecked(true);
        ASSERT_EQ(lib.count("PassThruConnect"), 1u) << c.protocol;
        EXPECT_EQ(lib.calls[0].args, (std::vector<uint32_t>{1, c.protocol, c.flags, c.baud}))
            << c.protocol;
        if (c.flag_word) {
            EXPECT_EQ(*c.flag_word, c.flags) << c.protocol;  // also when the connect failed
        }
        std::vector<ShownMessage> shown;
        if (c.status)
            shown.push_back({"PassThruConnect returned " + std::to_string(c.status), "ERROR"});
        EXPECT_EQ(messages.shown, shown) << c.protocol;
    }
    EXPECT_EQ(form.ISO9141TxFlags, uint32_t{ISO9141_NO_L_LINE_TX});
    // The fake writes 0 for a refused protocol, its ProtocolID otherwise.
    EXPECT_EQ(form.CANChannelID, 0u);
    EXPECT_EQ(form.ISO15765ChannelID, uint32_t{ISO15765});
    EXPECT_EQ(form.MSCANChannelID, uint32_t{MSCAN});
    EXPECT_EQ(form.J1850PWMChannelID, 0u);

    // Disconnect failures are shown; the channel word is left as it was.
    lib.calls.clear();
    messages.shown.clear();
    lib.statuses["PassThruDisconnect"] = {ERR_DEVICE_NOT_CONNECTED};
    form.J1850PWMConnect->setChecked(false);
    EXPECT_EQ(lib.of("PassThruDisconnect").at(0).args, (std::vector<uint32_t>{0}));
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"PassThruDisconnect returned 8", "ERROR"}}));
    form.ISO9141Connect->setChecked(false);
    form.ISO9141NoLLine->setChecked(false);
    form.ISO9141Connect->setChecked(true);
    EXPECT_EQ(form.ISO9141TxFlags, 0u);

    // Handlers that act on one channel take the first checked box in their
    // order (CAN, ISO15765, MSCAN, ...), a failed connect included.
    EXPECT_EQ(form.FirstConnectedChannel(), std::optional<uint32_t>(0));  // CAN's refused connect
    form.CANConnect->setChecked(false);
    EXPECT_EQ(form.FirstConnectedChannel(), std::optional<uint32_t>(ISO15765));
    for (QCheckBox *box :
         {form.ISO15765Connect, form.MSCANConnect, form.MSISO15765Connect, form.SPCANConnect,
          form.SPISO15765Connect, form.ISO9141Connect, form.ISO14230Connect, form.J1850VPWConnect,
          form.SCIAEngineConnect, form.SCIBTransConnect})
        box->setChecked(false);
    EXPECT_EQ(form.FirstConnectedChannel(), std::nullopt);
}

TEST_F(ConnectPage, BoxesLockWhileConnectedAndD2FollowsTheBus)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.CANConnect->setChecked(true);
    for (QCheckBox *box : {form.CAN29BitId, form.CANAllowAllId, form.CANFD})
        EXPECT_FALSE(box->isEnabled());
    EXPECT_TRUE(form.CANPassive->isEnabled());  // never disabled
    EXPECT_TRUE(form.ISO15765ExtendedAddress->isEnabled());
    EXPECT_TRUE(form.CAND2Support->isEnabled());
    EXPECT_FALSE(form.MSCAND2Support->isEnabled());

    form.ISO15765Connect->setChecked(true);
    EXPECT_FALSE(form.ISO15765FramePad->isEnabled());
    form.ISO15765Connect->setChecked(false);
    // The shared boxes open again although CAN is still connected.
    for (QCheckBox *box : {form.CAN29BitId, form.CANAllowAllId, form.CANFD, form.ISO15765FramePad})
        EXPECT_TRUE(box->isEnabled());

    lib.calls.clear();
    form.CAND2Support->setChecked(true);
    ASSERT_EQ(lib.names(), (std::vector<std::string>{"PassThruIoctl"}));
    EXPECT_EQ(lib.calls[0].args, (std::vector<uint32_t>{CAN, CAN_D2_FLOW_CONTROL}));
    EXPECT_EQ(lib.calls[0].ptr[0], nullptr);
    EXPECT_EQ(lib.calls[0].ptr[1], nullptr);

    form.CANConnect->setChecked(false);
    EXPECT_FALSE(form.CAND2Support->isEnabled());
    EXPECT_TRUE(form.CAND2Support->isChecked());
    lib.calls.clear();
    form.CANConnect->setChecked(true);  // enabled again, the request not sent again
    EXPECT_TRUE(form.CAND2Support->isEnabled());
    EXPECT_EQ(lib.names(), (std::vector<std::string>{"PassThruConnect"}));
    form.CAND2Support->setChecked(false);  // unchecking asks nothing
    EXPECT_EQ(lib.names(), (std::vector<std::string>{"PassThruConnect"}));

    // The SP bus's request goes out whatever the library answers, silently.
    form.SPCANConnect->setChecked(true);
    lib.statuses["PassThruIoctl"] = {ERR_INVALID_CHANNEL_ID};
    messages.shown.clear();
    form.SPCAND2Support->setChecked(true);
    EXPECT_EQ(lib.of("PassThruIoctl").back().args,
              (std::vector<uint32_t>{SPCAN, CAN_D2_FLOW_CONTROL}));
    EXPECT_TRUE(messages.shown.empty());
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
              (std::vector<std::string>{"PassThruStopMsgFilter", "PassThruStopPeriodicMsg",
                                        "PassThruDisconnect"}));
    EXPECT_FALSE(form.FilterRows[0].Active->isChecked());
    EXPECT_FALSE(form.PeriodicRows[1].Active->isChecked());
    EXPECT_TRUE(form.PeriodicRows[0].Active->isChecked());

    // With DisableAutomatic the rows stay checked.
    form.ISO15765Connect->setChecked(true);
    form.DisableAutomatic->setChecked(true);
    lib.calls.clear();
    form.ISO15765Connect->setChecked(false);
    EXPECT_EQ(lib.names(), (std::vector<std::string>{"PassThruDisconnect"}));
    EXPECT_TRUE(form.PeriodicRows[0].Active->isChecked());

    form.DisableAutomatic->setChecked(false);
    lib.calls.clear();
    form.ReleaseRowsOfChannel(form.ISO15765ChannelID);
    EXPECT_EQ(lib.names(), (std::vector<std::string>{"PassThruStopPeriodicMsg"}));
    EXPECT_FALSE(form.PeriodicRows[0].Active->isChecked());
}

}  // namespace
}  // namespace quillon_test
