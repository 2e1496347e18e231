// page_readwrite.cpp - the "Read / Write" page: messages written by hand,
// the saved messages, the stress test, and the bus monitor that polls every
// connected channel from a timer and records its lines to a log file.
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

#include "testapp/form.h"
#include "testapp/message_text.h"
#include "testapp/monitor_lines.h"
#include "testapp/widgets.h"
#include "testapp/write_rules.h"

namespace {

// The stress test's message; its last byte becomes the record's index in
// the batch, so every record of a batch can be told apart on the bus.
constexpr uint8_t kStressData[8] = {0xC4, 0xF0, 0xF1, 0x00, 0x00, 0x00, 0x00, 0x00};
constexpr uint32_t kStressBatches = 100;
constexpr uint32_t kStressTimeoutStep = 20;  // ms per message of a batch

// Fields of a saved message are read into 120-character buffers.
constexpr size_t kSavedFieldMax = kSavedTextSize - 1;
// "Update (msec)" is read into a 20-character buffer, "Log File Name" into
// a 120-character one, "# bytes" into a 4096-character one.
constexpr size_t kUpdateRateMax = 19;
constexpr size_t kLogFileNameMax = 119;
constexpr size_t kSortLenMax = 4095;
// The rate label shows the messages counted over at least this long.
constexpr uint32_t kRateWindowMs = 1000;

void clear_header(PASSTHRU_MSG &msg)
{
    msg.RxStatus = 0;
    msg.TxFlags = 0;
    msg.Timestamp = 0;
    msg.ExtraDataIndex = 0;
}

}  // namespace

void TForm1::BuildReadWritePage(QWidget *page)
{
    WriteMsgArray = std::make_unique<PASSTHRU_MSG[]>(kMaxWriteCount);
    StressMsgArray = std::make_unique<PASSTHRU_MSG[]>(kStressMsgCount);

    auto *layout = new QVBoxLayout(page);

    // Upper half: writing and the saved messages.
    QGroupBox *write = MakeGroup(page, "WriteGroup", "Write Messages");
    auto *grid = new QGridLayout(write);
    Write1Protocol = MakeCombo(write, "Write1Protocol", ProtocolItems(), -1);
    Write1Msg = MakeEdit(write, "Write1Msg");
    Write1Num = MakeEdit(write, "Write1Num", "1");
    Write1Timeout = MakeEdit(write, "Write1Timeout", "50");
    Write1Send = MakeButton(write, "Write1Send", "Send");
    Write1Description = MakeEdit(write, "Write1Description");
    Write1Save = MakeButton(write, "Write1Save", "Save");
    Write1Select = MakeCombo(write, "Write1Select", {}, -1);
    Write1Select->setEditable(true);
    Write1Select->setInsertPolicy(QComboBox::NoInsert);
    Write1Delete = MakeButton(write, "Write1Delete", "Delete");
    StressTest = MakeButton(write, "StressTest", "Stress");
    const char *labels[] = {"Protocol", "Message Data", "# Msgs", "Timeout"};
    for (int c = 0; c < 4; ++c)
        grid->addWidget(MakeLabel(write, labels[c]), 0, c);
    grid->addWidget(Write1Protocol, 1, 0);
    grid->addWidget(Write1Msg, 1, 1);
    grid->addWidget(Write1Num, 1, 2);
    grid->addWidget(Write1Timeout, 1, 3);
    grid->addWidget(Write1Send, 1, 4);
    grid->addWidget(MakeLabel(write, "Description"), 2, 1);
    grid->addWidget(MakeLabel(write, "Select Msg"), 2, 2, 1, 2);
    grid->addWidget(Write1Save, 3, 0);
    grid->addWidget(Write1Description, 3, 1);
    grid->addWidget(Write1Select, 3, 2, 1, 2);
    grid->addWidget(Write1Delete, 3, 4);
    grid->addWidget(StressTest, 4, 4);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(2, 1);
    layout->addWidget(write);

    // Lower half: the bus monitor and its options.
    QGroupBox *monitor = MakeGroup(page, "MonitorGroup", "Bus Monitor");
    auto *mgrid = new QGridLayout(monitor);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    QLabel *header = MakeLabel(monitor, "Timestamp  Protocol    Status    Data");
    header->setFont(fixed);
    BusMonitor = new QPlainTextEdit(monitor);
    BusMonitor->setObjectName("BusMonitor");
    BusMonitor->setFont(fixed);
    BusMonitor->setReadOnly(true);
    BusMonitor->setLineWrapMode(QPlainTextEdit::NoWrap);
    BusMonitor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    BusMonitor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mgrid->addWidget(header, 0, 0);

    MsgsPerSec = MakeLabel(monitor, "");
    MsgsPerSec->setObjectName("MsgsPerSec");
    UpdateRate = MakeEdit(monitor, "UpdateRate", "10");
    DeltaTime = MakeCheckBox(monitor, "DeltaTime", "Delta Time");
    SortMsgs = MakeCheckBox(monitor, "SortMsgs", "Sort Msgs");
    SortLen = MakeEdit(monitor, "SortLen", "4");
    ASCFormat = MakeCheckBox(monitor, "ASCFormat", "ASC Format");
    LogFileName = MakeEdit(monitor, "LogFileName");
    RecordLogFile = MakeCheckBox(monitor, "RecordLogFile", "Record");
    ClearMonitorBuffer = MakeButton(monitor, "ClearMonitorBuffer", "Clear Screen");
    int row = 1;
    auto side = [&](const char *label, QWidget *widget) {
        if (label != nullptr)
            mgrid->addWidget(MakeLabel(monitor, label), row++, 1);
        mgrid->addWidget(widget, row++, 1);
    };
    side("msgs/sec:", MsgsPerSec);
    side("Update (msec)", UpdateRate);
    side(nullptr, DeltaTime);
    side(nullptr, SortMsgs);
    side("# bytes", SortLen);
    side(nullptr, ASCFormat);
    side("Log File Name", LogFileName);
    side(nullptr, RecordLogFile);
    side(nullptr, ClearMonitorBuffer);
    mgrid->addWidget(BusMonitor, 1, 0, row, 1);  // beside all of them, down to the stretch
    mgrid->setColumnStretch(0, 1);
    mgrid->setRowStretch(row, 1);
    layout->addWidget(monitor, 1);

    BusMonitorTimer = new QTimer(this);
    BusMonitorTimer->setObjectName("BusMonitorTimer");

    Wire(Write1Send, &QPushButton::clicked, &TForm1::Write1SendClick);
    Wire(Write1Save, &QPushButton::clicked, &TForm1::Write1SaveClick);
    Wire(Write1Delete, &QPushButton::clicked, &TForm1::Write1DeleteClick);
    // Only a choice from the list: typing, adding and removing entries make
    // Qt change the index by itself.
    Wire(Write1Select, &QComboBox::activated, &TForm1::Write1SelectChange);
    Wire(StressTest, &QPushButton::clicked, &TForm1::StressTestClick);
    Wire(BusMonitorTimer, &QTimer::timeout, &TForm1::BusMonitorTimerTimer);
    Wire(UpdateRate, &QLineEdit::textChanged, &TForm1::UpdateRateChange);
    Wire(ClearMonitorBuffer, &QPushButton::clicked, &TForm1::ClearMonitorBufferClick);
    Wire(RecordLogFile, &QCheckBox::toggled, &TForm1::RecordLogFileClick);
    Wire(SortMsgs, &QCheckBox::toggled, &TForm1::SortMsgsClick);
    Wire(ASCFormat, &QCheckBox::toggled, &TForm1::ASCFormatClick);

    BusMonitorTimer->start(10);
}

// ---- Writing ----------------------------------------------------------------

void TForm1::Write1SendClick()
{
    std::string msg = TextOf(Write1Msg, kWriteTextMax);
    std::string num = TextOf(Write1Num);
    std::string timeout = TextOf(Write1Timeout);
    if (timeout_warning_due(timeout))
        ShowMessage("Timeout should allow for reasonable amount of time to send the message",
                    "WARNING");
    SendWriteMessage(static_cast<uint32_t>(Write1Protocol->currentIndex()), msg, num, timeout);
}

void TForm1::SendWriteMessage(uint32_t protocol_index, std::string &msg, const std::string &num,
                              const std::string &timeout)
{
    PASSTHRU_MSG &first = WriteMsgArray[0];
    clear_header(first);
    std::optional<ProtocolItem> item = protocol_item(static_cast<int>(protocol_index));
    if (!item)
        return;
    const int index = static_cast<int>(protocol_index);
    first.ProtocolID = item->protocol_id;
    first.TxFlags = index == kISO9141 ? ISO9141TxFlags : tx_flags_of(index);
    const uint32_t channel = ChannelIDWord[protocol_index];

    trim_message_text(msg);
    first.DataSize = message_bytes(msg, first.Data, sizeof first.Data);
    uint32_t count = write_count(num);
    std::fill(&WriteMsgArray[1], &WriteMsgArray[std::max(count, 1u)], first);
    const uint32_t time_out = static_cast<uint32_t>(TextToLong(timeout));

    CallAndReport(PassThruFunctionTable.PassThruWriteMsgs, "PassThruWriteMsgs", channel,
                  WriteMsgArray.get(), &count, time_out);
}

void TForm1::StressTestClick()
{
    PASSTHRU_MSG &first = StressMsgArray[0];
    clear_header(first);
    first.DataSize = sizeof kStressData;
    const int index = Write1Protocol->currentIndex();
    std::optional<ProtocolItem> item = protocol_item(index);
    if (!item) {
        ShowMessage("Must select protocol first");
        return;
    }
    // ISO9141 goes without ISO9141TxFlags here, unlike "Send".
    first.ProtocolID = item->protocol_id;
    first.TxFlags = tx_flags_of(index);
    std::memcpy(first.Data, kStressData, sizeof kStressData);
    for (uint32_t i = 0; i < kStressMsgCount; ++i) {
        StressMsgArray[i] = first;
        StressMsgArray[i].Data[7] = static_cast<uint8_t>(i);
    }

    if (!Bound(PassThruFunctionTable.PassThruWriteMsgs, "PassThruWriteMsgs"))
        return;
    const uint32_t channel = ChannelIDWord[static_cast<size_t>(index)];
    for (uint32_t i = 0; i < kStressBatches; ++i) {
        uint32_t count = i;
        int32_t status = PassThruFunctionTable.PassThruWriteMsgs(channel, StressMsgArray.get(),
                                                                 &count, i * kStressTimeoutStep);
        if (status != STATUS_NOERROR) {
            ShowPassThruError("PassThruWriteMsgs", status);
            return;
        }
    }
}

// ---- Saved messages ---------------------------------------------------------

void TForm1::Write1SaveClick()
{
    const int slot = first_free_slot(SavedWriteMessages);
    if (slot < 0) {
        ShowMessage("Cannot add any more messages");
        return;
    }
    // An empty description would leave the slot free behind a list entry,
    // and the list and the slots would no longer match.
    const std::string description = TextOf(Write1Description, kWriteTextMax);
    if (description.empty())
        return;
    SavedWriteMessage &saved = SavedWriteMessages[static_cast<size_t>(slot)];
    saved.Protocol = Write1Protocol->currentIndex();
    saved.Num = parse_long(TextOf(Write1Num, kSavedFieldMax), 0);
    saved.Timeout = parse_long(TextOf(Write1Timeout, kSavedFieldMax), 0);
    set_saved_text(saved.Msg, TextOf(Write1Msg, kWriteTextMax));
    set_saved_text(saved.Description, description);
    Write1Select->addItem(Latin1(saved.Description));
}

void TForm1::Write1DeleteClick()
{
    const int k = Write1Select->currentIndex();
    if (k < 0 || k >= Write1Select->count())
        return;
    // Typing over the chosen entry leaves its index: what the box shows
    // then names no entry, and nothing is removed.
    if (Write1Select->currentText() != Write1Select->itemText(k))
        return;
    Write1Select->removeItem(k);
    remove_slot(SavedWriteMessages, k);
}

void TForm1::Write1SelectChange()
{
    const int k = Write1Select->currentIndex();
    if (k < 0 || k >= Write1Select->count() || k >= kSavedMessageSlots)
        return;
    const SavedWriteMessage &saved = SavedWriteMessages[static_cast<size_t>(k)];
    Write1Protocol->setCurrentIndex(saved.Protocol);
    SetText(Write1Num, std::to_string(saved.Num));
    SetText(Write1Timeout, std::to_string(saved.Timeout));
    SetText(Write1Msg, text_from_buffer(saved.Msg, sizeof saved.Msg));
    SetText(Write1Description, text_from_buffer(saved.Description, sizeof saved.Description));
}

// ---- Bus monitor --------------------------------------------------------------

void TForm1::BusMonitorTimerTimer()
{
    BusMonitorState &m = Monitor;
    PASSTHRU_MSG *ring = m.MonitorRing.get();

    // Poll every connected channel into the free end of the ring.
    uint32_t read = 0;
    if (auto read_msgs = PassThruFunctionTable.PassThruReadMsgs) {
        for (int index : kChannelSearchOrder) {
            if (!ConnectRows[static_cast<size_t>(index)].box->isChecked())
                continue;
            // A full ring has no record to read into.
            if (m.MonitorRingCount >= kMonitorRingSize)
                break;
            const uint32_t room = kMonitorRingSize - m.MonitorRingCount;
            uint32_t got = room;
            int32_t status = read_msgs(ChannelIDWord[static_cast<size_t>(index)],
                                       &ring[m.MonitorRingCount], &got, 0);
            // Records delivered with an overflow report are valid; the
            // report only says that older ones were lost.
            if (status == STATUS_NOERROR || status == ERR_TIMEOUT ||
                status == ERR_BUFFER_OVERFLOW) {
                got = clamp_count(got, room);
                m.MonitorRingCount += got;
                read += got;
            }
        }
    }
    if (m.MonitorRingCount == 0)
        return;

    const uint32_t now = services.clock->tick_count();
    if (now - m.MsgsPerSecTick < kRateWindowMs) {
        m.MsgsPerSecCount += read;
    } else {
        m.MsgsPerSecTick = now;
        MsgsPerSec->setText(QString::number(m.MsgsPerSecCount + read));
        m.MsgsPerSecCount = 0;
    }

    const uint32_t n = records_to_show(m.MonitorRingCount, read);
    if (n == 0)
        return;
    sort_by_timestamp(ring, n, m.Order.data());

    const bool asc = ASCFormat->isChecked();
    const bool delta = DeltaTime->isChecked();
    std::FILE *log = m.LogFile.get();
    auto show = [&](const PASSTHRU_MSG &msg, uint32_t timestamp) {
        if (asc) {
            format_asc_line(msg, timestamp, m.Line);
        } else {
            uint32_t time = timestamp;
            if (delta) {
                time = timestamp - m.LastLineTimestamp;
                m.LastLineTimestamp = timestamp;
            }
            format_standard_line(msg, time, m.Line);
        }
        insert_line(m.MonitorText, m.Line);
        if (log != nullptr)
            std::fwrite(m.Line.data(), 1, m.Line.size(), log);
    };

    if (SortMsgs->isChecked()) {
        const uint32_t key_length =
            static_cast<uint32_t>(parse_long(TextOf(SortLen, kSortLenMax), 0));
        for (uint32_t i = 0; i < n; ++i)
            sort_table_put(m.SortTable.get(), m.SortDeltas.data(), ring[m.Order[i]], key_length);
        m.MonitorText.fill('\0');
        const int used = sort_table_used(m.SortTable.get());
        for (int j = 0; j < used; ++j)
            show(m.SortTable[j], m.SortDeltas[static_cast<size_t>(j)]);
    } else {
        for (uint32_t i = 0; i < n; ++i)
            show(ring[m.Order[i]], ring[m.Order[i]].Timestamp);
    }
    // Once per tick, not per line: replacing the text costs far more than
    // formatting a line.  A full ring means the window is falling behind.
    if (m.MonitorRingCount < kMonitorRingSize)
        BusMonitor->setPlainText(QString::fromLatin1(m.MonitorText.data()));
    if (log != nullptr)
        std::fflush(log);

    std::memmove(&ring[0], &ring[n], (m.MonitorRingCount - n) * sizeof(PASSTHRU_MSG));
    m.MonitorRingCount -= n;
}

void TForm1::UpdateRateChange()
{
    const int32_t interval = parse_long(TextOf(UpdateRate, kUpdateRateMax), 0);
    // A Qt timer of 0 ms would fire without pause: 0 stops the monitor.
    if (interval <= 0)
        BusMonitorTimer->stop();
    else
        BusMonitorTimer->start(interval);
}

void TForm1::ClearMonitorBufferClick()
{
    Monitor.MonitorText.fill('\0');
    BusMonitor->setPlainText(QString());
    std::optional<uint32_t> channel = FirstConnectedChannel();
    if (!channel) {
        ShowMessage("No procotols active");
        return;
    }
    if (!Bound(PassThruFunctionTable.PassThruIoctl, "PassThruIoctl"))
        return;
    PassThruFunctionTable.PassThruIoctl(*channel, CLEAR_RX_BUFFER, nullptr, nullptr);
    if (ISO14230Connect->isChecked() || ISO9141Connect->isChecked())
        return;
    int32_t status = PassThruFunctionTable.PassThruIoctl(*channel, RESET_TIMER, nullptr, nullptr);
    if (status != STATUS_NOERROR)
        ShowPassThruError("PassThruIoctl", status);
}

void TForm1::RecordLogFileClick()
{
    // Unchecking closes the file whatever the name field holds now.
    if (!RecordLogFile->isChecked()) {
        Monitor.LogFile.reset();
        return;
    }
    const std::string name = TextOf(LogFileName, kLogFileNameMax);
    if (name.empty())
        return;
    Monitor.LogFile.reset();  // a second check never leaves the first stream open
    Monitor.LogFile.reset(std::fopen(name.c_str(), "a+"));
}

void TForm1::SortMsgsClick()
{
    std::fill(&Monitor.SortTable[0], &Monitor.SortTable[kSortTableSize], PASSTHRU_MSG{});
    Monitor.SortDeltas.fill(0);
}

void TForm1::ASCFormatClick()
{
    // Each line reads the box when it is formatted.
}
