// page_filters.cpp - the "Filter Msgs" page: ten rows that start and stop
// message filters in the loaded library.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "testapp/form.h"
#include "testapp/message_text.h"
#include "testapp/widgets.h"

namespace {

struct FilterDefaults {
    int protocol;  // -1: none selected
    int type;
    const char *mask, *pattern, *flow;
};

constexpr FilterDefaults kFilterDefaults[kFilterRows] = {
    {kCAN, 0, "0 0 0 0", "0 0 0 0", ""},
    {kISO15765, 2, "0 0 7 0xff", "0 0 7 0xe8", "0 0 7 0xe0"},
    {kMSCAN, 0, "0 0 0 0", "0 0 0 0", ""},
    {kMSISO15765, 2, "0 0 7 0xff", "0 0 7 0xe8", "0 0 7 0xe0"},
    {kJ1850PWM, 0, "0 0xfe", "0 0x6a", ""},
    {kJ1850VPW, 0, "0 0xfe", "0 0x6a", ""},
    {kISO14230, 0, "0x80", "0x80", ""},
    {-1, -1, "", "", ""},
    {-1, -1, "", "", ""},
    {-1, -1, "", "", ""},
};

}  // namespace

void TForm1::BuildFilterPage(QWidget *page)
{
    auto *grid = new QGridLayout(page);
    const char *columns[] = {"Protocol", "Type", "Mask", "Pattern", "Flow Control", "Active"};
    for (int c = 0; c < 6; ++c)
        grid->addWidget(MakeLabel(page, columns[c]), 0, c);
    for (int n = 1; n <= kFilterRows; ++n) {
        const FilterDefaults &d = kFilterDefaults[n - 1];
        FilterRow &row = FilterRows[n - 1];
        std::string prefix = "Filter" + std::to_string(n);
        QStringList protocols = ProtocolItems();
        if (n == 1)
            protocols << QString();  // row 1 can select no protocol again
        row.Protocol = MakeCombo(page, (prefix + "Protocol").c_str(), protocols, d.protocol);
        row.Type =
            MakeCombo(page, (prefix + "Type").c_str(), {"PASS", "BLOCK", "FLOW CONTROL"}, d.type);
        row.Mask = MakeEdit(page, (prefix + "Mask").c_str(), d.mask);
        row.Pattern = MakeEdit(page, (prefix + "Pattern").c_str(), d.pattern);
        row.Flow = MakeEdit(page, (prefix + "Flow").c_str(), d.flow);
        row.Active = MakeCheckBox(page, (prefix + "Active").c_str(), "");
        QWidget *cells[] = {row.Protocol, row.Type, row.Mask, row.Pattern, row.Flow, row.Active};
        for (int c = 0; c < 6; ++c)
            grid->addWidget(cells[c], n, c);
    }
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(kFilterRows + 1, 1);

    void (TForm1::*const handlers[kFilterRows])() = {
        &TForm1::Filter1ActiveClick,  &TForm1::Filter2ActiveClick, &TForm1::Filter3ActiveClick,
        &TForm1::Filter4ActiveClick,  &TForm1::Filter5ActiveClick, &TForm1::Filter6ActiveClick,
        &TForm1::Filter7ActiveClick,  &TForm1::Filter8ActiveClick, &TForm1::Filter9ActiveClick,
        &TForm1::Filter10ActiveClick,
    };
    for (int n = 0; n < kFilterRows; ++n)
        Wire(FilterRows[n].Active, &QCheckBox::toggled, handlers[n]);
}

void TForm1::Filter1ActiveClick()
{
    FilterActiveClick(1);
}
void TForm1::Filter2ActiveClick()
{
    FilterActiveClick(2);
}
void TForm1::Filter3ActiveClick()
{
    FilterActiveClick(3);
}
void TForm1::Filter4ActiveClick()
{
    FilterActiveClick(4);
}
void TForm1::Filter5ActiveClick()
{
    FilterActiveClick(5);
}
void TForm1::Filter6ActiveClick()
{
    FilterActiveClick(6);
}
void TForm1::Filter7ActiveClick()
{
    FilterActiveClick(7);
}
void TForm1::Filter8ActiveClick()
{
    FilterActiveClick(8);
}
void TForm1::Filter9ActiveClick()
{
    FilterActiveClick(9);
}
void TForm1::Filter10ActiveClick()
{
    FilterActiveClick(10);
}

void TForm1::FilterActiveClick(int N)
{
    const FilterRow &row = FilterRows[N - 1];
    if (row.Active->isChecked())
        StartFilterRow(row.Protocol->currentIndex(), row.Type->currentIndex(), TextOf(row.Mask),
                       TextOf(row.Pattern), TextOf(row.Flow), N);
    else
        StopFilterRow(row.Protocol->currentIndex(), N);
}

void TForm1::StartFilterRow(int protocol_index, int type_index, const std::string &mask,
                            const std::string &pattern, const std::string &flow, int N)
{
    std::optional<ProtocolItem> item = protocol_item(protocol_index);
    if (!item)
        return;
    uint32_t tx_flags = tx_flags_of(protocol_index);
    // Three records of 4 KB each: on the heap, not the window thread's stack.
    auto msgs = std::make_unique<PASSTHRU_MSG[]>(3);
    build_message(msgs[0], item->protocol_id, tx_flags, mask);
    build_message(msgs[1], item->protocol_id, tx_flags, pattern);
    build_message(msgs[2], item->protocol_id, tx_flags, flow);
    uint32_t filter_type = static_cast<uint32_t>(type_index + 1);  // no type selected sends 0
    CallAndReport(PassThruFunctionTable.PassThruStartMsgFilter, "PassThruStartMsgFilter",
                  ChannelIDWord[protocol_index], filter_type, &msgs[0], &msgs[1], &msgs[2],
                  &FilterRowID[N]);
}

void TForm1::StopFilterRow(int protocol_index, int N)
{
    if (!protocol_item(protocol_index))
        return;
    CallAndReport(PassThruFunctionTable.PassThruStopMsgFilter, "PassThruStopMsgFilter",
                  ChannelIDWord[protocol_index], FilterRowID[N]);
}
