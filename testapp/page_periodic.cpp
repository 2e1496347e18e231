// page_periodic.cpp - the "Periodic Msgs" page: fourteen rows that start and
// stop periodic messages in the loaded library.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "testapp/form.h"
#include "testapp/message_text.h"
#include "testapp/widgets.h"

void TForm1::BuildPeriodicPage(QWidget *page)
{
    auto *grid = new QGridLayout(page);
    const char *columns[] = {"Protocol", "Interval (msec)", "Message", "Active"};
    for (int c = 0; c < 4; ++c)
        grid->addWidget(MakeLabel(page, columns[c]), 0, c);
    for (int n = 1; n <= kPeriodicRows; ++n) {
        PeriodicRow &row = PeriodicRows[n - 1];
        std::string prefix = "Periodic" + std::to_string(n);
        bool first = n == 1;
        row.Protocol =
            MakeCombo(page, (prefix + "Protocol").c_str(), ProtocolItems(), first ? kISO15765 : -1);
        row.Interval = MakeEdit(page, (prefix + "Interval").c_str(), first ? "2500" : "");
        row.Msg = MakeEdit(page, (prefix + "Msg").c_str(), first ? "0 0 7 0xdf 1 0" : "");
        row.Active = MakeCheckBox(page, (prefix + "Active").c_str(), "");
        QWidget *cells[] = {row.Protocol, row.Interval, row.Msg, row.Active};
        for (int c = 0; c < 4; ++c)
            grid->addWidget(cells[c], n, c);
    }
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(kPeriodicRows + 1, 1);

    void (TForm1::*const handlers[kPeriodicRows])() = {
        &TForm1::Periodic1ActiveClick,  &TForm1::Periodic2ActiveClick,
        &TForm1::Periodic3ActiveClick,  &TForm1::Periodic4ActiveClick,
        &TForm1::Periodic5ActiveClick,  &TForm1::Periodic6ActiveClick,
        &TForm1::Periodic7ActiveClick,  &TForm1::Periodic8ActiveClick,
        &TForm1::Periodic9ActiveClick,  &TForm1::Periodic10ActiveClick,
        &TForm1::Periodic11ActiveClick, &TForm1::Periodic12ActiveClick,
        &TForm1::Periodic13ActiveClick, &TForm1::Periodic14ActiveClick,
    };
    for (int n = 0; n < kPeriodicRows; ++n)
        Wire(PeriodicRows[n].Active, &QCheckBox::toggled, handlers[n]);
}

void TForm1::Periodic1ActiveClick()
{
    PeriodicActiveClick(1);
}
void TForm1::Periodic2ActiveClick()
{
    PeriodicActiveClick(2);
}
void TForm1::Periodic3ActiveClick()
{
    PeriodicActiveClick(3);
}
void TForm1::Periodic4ActiveClick()
{
    PeriodicActiveClick(4);
}
void TForm1::Periodic5ActiveClick()
{
    PeriodicActiveClick(5);
}
void TForm1::Periodic6ActiveClick()
{
    PeriodicActiveClick(6);
}
void TForm1::Periodic7ActiveClick()
{
    PeriodicActiveClick(7);
}
void TForm1::Periodic8ActiveClick()
{
    PeriodicActiveClick(8);
}
void TForm1::Periodic9ActiveClick()
{
    PeriodicActiveClick(9);
}
void TForm1::Periodic10ActiveClick()
{
    PeriodicActiveClick(10);
}
void TForm1::Periodic11ActiveClick()
{
    PeriodicActiveClick(11);
}
void TForm1::Periodic12ActiveClick()
{
    PeriodicActiveClick(12);
}
void TForm1::Periodic13ActiveClick()
{
    PeriodicActiveClick(13);
}
void TForm1::Periodic14ActiveClick()
{
    PeriodicActiveClick(14);
}

void TForm1::PeriodicActiveClick(int N)
{
    const PeriodicRow &row = PeriodicRows[N - 1];
    if (row.Active->isChecked())
        StartPeriodicRow(row.Protocol->currentIndex(), TextOf(row.Interval), TextOf(row.Msg), N);
    else
        StopPeriodicRow(row.Protocol->currentIndex(), N);
}

void TForm1::StartPeriodicRow(int protocol_index, const std::string &interval,
                              const std::string &msg, int N)
{
    std::optional<ProtocolItem> item = protocol_item(protocol_index);
    if (!item)
        return;
    auto message = std::make_unique<PASSTHRU_MSG>();
    build_message(*message, item->protocol_id, tx_flags_of(protocol_index), msg);
    // A negative number arrives as its two's complement.
    uint32_t time_interval = static_cast<uint32_t>(TextToLong(interval));
    CallAndReport(PassThruFunctionTable.PassThruStartPeriodicMsg, "PassThruStartPeriodicMsg",
                  ChannelIDWord[protocol_index], message.get(), &PeriodicRowID[N], time_interval);
}

void TForm1::StopPeriodicRow(int protocol_index, int N)
{
    if (!protocol_item(protocol_index))
        return;
    CallAndReport(PassThruFunctionTable.PassThruStopPeriodicMsg, "PassThruStopPeriodicMsg",
                  ChannelIDWord[protocol_index], PeriodicRowID[N]);
}
