// rows_test.cpp - the filter and periodic rows against the recording fake:
// the records they build, their slots, and rows that do nothing.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "tests/testapp/form_fixture.h"

namespace quillon_test {
namespace {

using Rows = FormTest;

std::vector<uint8_t> data_of(const PASSTHRU_MSG &m)
{
    return std::vector<uint8_t>(m.Data, m.Data + m.DataSize);
}

TEST_F(Rows, DefaultFilterAndPeriodicRowsBuildTheirRecords)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.ISO15765ExtendedAddress->setChecked(true);
    form.ISO15765Connect->setChecked(true);
    lib.calls.clear();

    form.FilterRows[1].Active->setChecked(true);
    ASSERT_EQ(lib.count("PassThruStartMsgFilter"), 1u);
    FakeCall start = lib.of("PassThruStartMsgFilter")[0];
    EXPECT_EQ(start.args, (std::vector<uint32_t>{ISO15765, FLOW_CONTROL_FILTER}));
    const std::vector<uint8_t> expected[3] = {{0, 0, 7, 0xFF}, {0, 0, 7, 0xE8}, {0, 0, 7, 0xE0}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(data_of(start.msgs[i]), expected[i]) << i;
        EXPECT_EQ(start.msgs[i].ProtocolID, uint32_t{ISO15765});
        EXPECT_EQ(start.msgs[i].TxFlags, uint32_t{ISO15765_ADDR_TYPE});
        EXPECT_EQ(start.msgs[i].ExtraDataIndex, 0u);
    }
    EXPECT_EQ(form.FilterRowID[2], 0u);

    form.PeriodicRows[0].Active->setChecked(true);
    FakeCall periodic = lib.of("PassThruStartPeriodicMsg").at(0);
    EXPECT_EQ(periodic.args, (std::vector<uint32_t>{ISO15765, 2500}));
    EXPECT_EQ(data_of(periodic.msgs[0]), (std::vector<uint8_t>{0, 0, 7, 0xDF, 1, 0}));
    EXPECT_EQ(periodic.msgs[0].TxFlags, uint32_t{ISO15765_ADDR_TYPE});

    // The other defaults: row 1 PASS on CAN with an empty flow-control record
    // still passed; row 7 one byte each on ISO14230 with TxFlags 0.
    form.FilterRows[0].Active->setChecked(true);
    form.FilterRows[6].Active->setChecked(true);
    std::vector<FakeCall> starts = lib.of("PassThruStartMsgFilter");
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_EQ(starts[1].args, (std::vector<uint32_t>{0, PASS_FILTER}));
    EXPECT_EQ(starts[1].msgs[2].DataSize, 0u);
    EXPECT_NE(starts[1].ptr[2], nullptr);
    EXPECT_EQ(starts[2].args[1], uint32_t{PASS_FILTER});
    EXPECT_EQ(data_of(starts[2].msgs[0]), (std::vector<uint8_t>{0x80}));
    EXPECT_EQ(starts[2].msgs[0].ProtocolID, uint32_t{ISO14230});
    EXPECT_EQ(starts[2].msgs[0].TxFlags, 0u);
}

TEST_F(Rows, RowsWithoutProtocolDoNothingAndNoTypeSendsZero)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    lib.calls.clear();
    EXPECT_EQ(form.FilterRows[7].Protocol->currentIndex(), -1);
    EXPECT_EQ(form.FilterRows[7].Type->currentIndex(), -1);
    EXPECT_EQ(form.PeriodicRows[13].Protocol->currentIndex(), -1);
    form.FilterRows[0].Protocol->setCurrentIndex(kProtocolCount);  // row 1's empty item
    for (QCheckBox *box :
         {form.FilterRows[7].Active, form.PeriodicRows[13].Active, form.FilterRows[0].Active}) {
        box->setChecked(true);
        box->setChecked(false);
    }
    EXPECT_TRUE(lib.calls.empty());
    EXPECT_TRUE(messages.shown.empty());

    form.FilterRows[8].Protocol->setCurrentIndex(kISO9141);
    form.FilterRows[8].Mask->setText("0x12 0x34    ");
    form.FilterRows[8].Pattern->setText("0,0,7");
    form.FilterRows[8].Active->setChecked(true);
    FakeCall start = lib.of("PassThruStartMsgFilter").at(0);
    EXPECT_EQ(start.args[1], 0u);
    EXPECT_EQ(data_of(start.msgs[0]), (std::vector<uint8_t>{0x12, 0x34}));
    EXPECT_EQ(data_of(start.msgs[1]), (std::vector<uint8_t>{0}));
    EXPECT_EQ(start.msgs[0].TxFlags, 0u);  // ISO9141 rows never take ISO9141TxFlags

    // Intervals: decimal, empty 0, negative as its two's complement.
    for (const char *interval : {"", "-1", "100ms"}) {
        form.PeriodicRows[4].Protocol->setCurrentIndex(kCAN);
        form.PeriodicRows[4].Interval->setText(interval);
        form.PeriodicRows[4].Active->setChecked(true);
        form.PeriodicRows[4].Active->setChecked(false);
    }
    std::vector<FakeCall> periodic = lib.of("PassThruStartPeriodicMsg");
    ASSERT_EQ(periodic.size(), 3u);
    EXPECT_EQ(periodic[0].args[1], 0u);
    EXPECT_EQ(periodic[1].args[1], 0xFFFFFFFFu);
    EXPECT_EQ(periodic[2].args[1], 100u);
    EXPECT_EQ(periodic[0].msgs[0].DataSize, 0u);
}

TEST_F(Rows, EachRowStopsItsOwnSlot)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    lib.next_filter_id = 40;
    lib.next_periodic_id = 70;
    for (int n = 0; n < kFilterRows; ++n) {
        form.FilterRows[n].Protocol->setCurrentIndex(kMSCAN);
        form.FilterRows[n].Active->setChecked(true);
    }
    for (int n = 0; n < kPeriodicRows; ++n) {
        form.PeriodicRows[n].Protocol->setCurrentIndex(kMSCAN);
        form.PeriodicRows[n].Active->setChecked(true);
    }
    lib.calls.clear();
    for (int n : {4, 0, 9, 2, 7, 1, 8, 3, 6, 5})
        form.FilterRows[n].Active->setChecked(false);
    for (int n = kPeriodicRows - 1; n >= 0; --n)
        form.PeriodicRows[n].Active->setChecked(false);
    std::vector<FakeCall> filters = lib.of("PassThruStopMsgFilter");
    std::vector<FakeCall> periodic = lib.of("PassThruStopPeriodicMsg");
    ASSERT_EQ(filters.size(), size_t{kFilterRows});
    ASSERT_EQ(periodic.size(), size_t{kPeriodicRows});
    int order[] = {4, 0, 9, 2, 7, 1, 8, 3, 6, 5};
    for (int i = 0; i < kFilterRows; ++i)
        EXPECT_EQ(filters[i].args, (std::vector<uint32_t>{0, uint32_t(40 + order[i])}));
    for (int i = 0; i < kPeriodicRows; ++i)
        EXPECT_EQ(periodic[i].args,
                  (std::vector<uint32_t>{0, uint32_t(70 + kPeriodicRows - 1 - i)}));
}

TEST_F(Rows, StopUsesTheProtocolSelectedNowAndTheSlotAsItStands)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.CANConnect->setChecked(true);
    form.MSCANConnect->setChecked(true);
    lib.next_filter_id = 63;
    form.FilterRows[0].Active->setChecked(true);
    form.FilterRows[0].Protocol->setCurrentIndex(kMSCAN);
    lib.calls.clear();
    form.FilterRows[0].Active->setChecked(false);
    EXPECT_EQ(lib.of("PassThruStopMsgFilter").at(0).args, (std::vector<uint32_t>{MSCAN, 63}));

    // A start that failed leaves the slot; the stop sends what it holds.
    lib.statuses["PassThruStartPeriodicMsg"] = {ERR_INVALID_MSG};
    lib.statuses["PassThruStopPeriodicMsg"] = {ERR_INVALID_MSG_ID};
    messages.shown.clear();
    form.PeriodicRows[2].Protocol->setCurrentIndex(kCAN);
    form.PeriodicRows[2].Active->setChecked(true);
    EXPECT_TRUE(form.PeriodicRows[2].Active->isChecked());
    form.PeriodicRows[2].Active->setChecked(false);
    EXPECT_EQ(lib.of("PassThruStopPeriodicMsg").at(0).args, (std::vector<uint32_t>{CAN, 0}));
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"PassThruStartPeriodicMsg returned 10", "ERROR"},
                                         {"PassThruStopPeriodicMsg returned 13", "ERROR"}}));
}

}  // namespace
}  // namespace quillon_test
