// rows_test.cpp - the filter and periodic rows against the recording fake:
// the records they build, their slots, and rows that do nothing.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "tests/testapp/form_fixture.h"

namespace quillon_test {
namespace {

using Rows = FormTest;
using Bytes = std::vector<uint8_t>;

Bytes data_of(const PASSTHRU_MSG &m)
{
    return Bytes(m.Data, m.Data + m.DataSize);
}

TEST_F(Rows, RowsBuildTheirRecordsOrDoNothingWithoutProtocol)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    lib.calls.clear();
    form.FilterRows[0].Protocol->setCurrentIndex(kProtocolCount);  // row 1's empty item
    // Rows 8 and 14 start with no protocol selected (Qt would select CAN).
    for (QCheckBox *box :
         {form.FilterRows[7].Active, form.PeriodicRows[13].Active, form.FilterRows[0].Active}) {
        box->setChecked(true);
        box->setChecked(false);
    }
    EXPECT_TRUE(lib.calls.empty());
    EXPECT_TRUE(messages.shown.empty());

    form.FilterRows[0].Protocol->setCurrentIndex(kCAN);
    form.FilterRows[8].Protocol->setCurrentIndex(kISO9141);
    form.FilterRows[9].Protocol->setCurrentIndex(kISO9141);
    form.FilterRows[9].Type->setCurrentIndex(1);  // BLOCK
    form.FilterRows[9].Flow->setText("1 2");
    form.ISO15765ExtendedAddress->setChecked(true);
    form.ISO9141NoLLine->setChecked(true);
    form.ISO15765Connect->setChecked(true);
    form.ISO9141Connect->setChecked(true);
    for (int row : {1, 0, 6, 8, 9})
        form.FilterRows[row].Active->setChecked(true);
    std::vector<FakeCall> starts = lib.of("PassThruStartMsgFilter");
    ASSERT_EQ(starts.size(), 5u);
    // Every filter type gets its flow-control record, an empty one too.
    for (const FakeCall &start : starts)
        EXPECT_NE(start.ptr[2], nullptr) << start.args[1];
    EXPECT_EQ(starts[4].args, (std::vector<uint32_t>{ISO9141, BLOCK_FILTER}));
    EXPECT_EQ(data_of(starts[4].msgs[2]), (Bytes{1, 2}));
    EXPECT_EQ(starts[0].args, (std::vector<uint32_t>{ISO15765, FLOW_CONTROL_FILTER}));
    const Bytes expected[3] = {{0, 0, 7, 0xFF}, {0, 0, 7, 0xE8}, {0, 0, 7, 0xE0}};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(data_of(starts[0].msgs[i]), expected[i]) << i;
    EXPECT_EQ(starts[0].msgs[2].ProtocolID, uint32_t{ISO15765});
    EXPECT_EQ(starts[0].msgs[2].TxFlags, uint32_t{ISO15765_ADDR_TYPE});
    EXPECT_EQ(starts[1].args, (std::vector<uint32_t>{0, PASS_FILTER}));  // row 1: CAN
    EXPECT_EQ(starts[2].msgs[0].TxFlags, 0u);                            // row 7: ISO14230
    // Row 9: no filter type sends 0; ISO9141 rows never take ISO9141TxFlags.
    EXPECT_EQ(starts[3].args, (std::vector<uint32_t>{ISO9141, 0}));
    EXPECT_EQ(starts[3].msgs[0].TxFlags, 0u);

    form.PeriodicRows[0].Active->setChecked(true);
    FakeCall periodic = lib.of("PassThruStartPeriodicMsg").at(0);
    EXPECT_EQ(periodic.args, (std::vector<uint32_t>{ISO15765, 2500}));
    EXPECT_EQ(data_of(periodic.msgs[0]), (Bytes{0, 0, 7, 0xDF, 1, 0}));
    EXPECT_EQ(periodic.msgs[0].TxFlags, uint32_t{ISO15765_ADDR_TYPE});
}

TEST_F(Rows, EachRowStopsItsOwnSlotAsItStands)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    // A start that failed leaves the slot; unchecking stops the number it holds.
    form.CANConnect->setChecked(true);
    lib.statuses["PassThruStartPeriodicMsg"] = {ERR_INVALID_MSG};
    lib.statuses["PassThruStopPeriodicMsg"] = {ERR_INVALID_MSG_ID};
    form.PeriodicRows[2].Protocol->setCurrentIndex(kCAN);
    form.PeriodicRows[2].Active->setChecked(true);
    EXPECT_TRUE(form.PeriodicRows[2].Active->isChecked());
    form.PeriodicRows[2].Active->setChecked(false);
    EXPECT_EQ(lib.of("PassThruStopPeriodicMsg").at(0).args, (std::vector<uint32_t>{CAN, 0}));
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"PassThruStartPeriodicMsg returned 10", "ERROR"},
                                         {"PassThruStopPeriodicMsg returned 13", "ERROR"}}));

    lib.next_filter_id = 40;
    lib.next_periodic_id = 70;
    for (int n = 0; n < kPeriodicRows; ++n) {
        if (n < kFilterRows) {
            form.FilterRows[n].Protocol->setCurrentIndex(kMSCAN);
            form.FilterRows[n].Active->setChecked(true);
        }
        form.PeriodicRows[n].Protocol->setCurrentIndex(kMSCAN);
        form.PeriodicRows[n].Active->setChecked(true);
    }
    lib.calls.clear();
    const int order[] = {4, 0, 9, 2, 7, 1, 8, 3, 6, 5};
    for (int n : order) {
        form.FilterRows[n].Active->setChecked(false);
        form.PeriodicRows[n + 4].Active->setChecked(false);
    }
    std::vector<FakeCall> filters = lib.of("PassThruStopMsgFilter");
    std::vector<FakeCall> periodic = lib.of("PassThruStopPeriodicMsg");
    ASSERT_EQ(filters.size(), size_t{kFilterRows});
    ASSERT_EQ(periodic.size(), size_t{kFilterRows});
    for (int i = 0; i < kFilterRows; ++i) {
        EXPECT_EQ(filters[i].args, (std::vector<uint32_t>{0, uint32_t(40 + order[i])}));
        EXPECT_EQ(periodic[i].args, (std::vector<uint32_t>{0, uint32_t(74 + order[i])}));
    }

    // The stop uses the protocol selected now.
    form.MSCANConnect->setChecked(true);
    form.FilterRows[4].Protocol->setCurrentIndex(kCAN);
    form.FilterRows[4].Active->setChecked(true);
    form.FilterRows[4].Protocol->setCurrentIndex(kMSCAN);
    lib.calls.clear();
    form.FilterRows[4].Active->setChecked(false);
    EXPECT_EQ(lib.of("PassThruStopMsgFilter").at(0).args, (std::vector<uint32_t>{MSCAN, 50}));
}

}  // namespace
}  // namespace quillon_test
