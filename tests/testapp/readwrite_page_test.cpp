// readwrite_page_test.cpp - the "Read / Write" page against the recording
// fake: the records a send and the stress test build, the saved messages,
// and the bus monitor's polling, views, rate and log file.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/testapp/form_fixture.h"

namespace quillon_test {
namespace {

using Lines = std::vector<std::string>;
using Shown = std::vector<ShownMessage>;
using Sent = std::pair<uint32_t, uint32_t>;  // ProtocolID, TxFlags

std::vector<uint8_t> data_of(const PASSTHRU_MSG &m)
{
    return {m.Data, m.Data + m.DataSize};
}

// A CAN record as a library delivers it: 11-bit identifier 0x700 + low.
PASSTHRU_MSG can_rx(uint8_t low, uint32_t timestamp, uint32_t protocol = CAN, uint8_t payload = 0)
{
    PASSTHRU_MSG m{};
    m.ProtocolID = protocol;
    m.Timestamp = timestamp;
    m.DataSize = 5;
    std::copy_n(std::array<uint8_t, 5>{0, 0, 7, low, payload}.begin(), 5, m.Data);
    return m;
}

std::string file_text(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Lines of the monitor text, newest first, without their ends.
Lines monitor_lines(TForm1 &form)
{
    Lines lines;
    std::istringstream in(form.Monitor.MonitorText.data());
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(0, line.find('\r')));
    return lines;
}

// Descriptors of this process open on `path`.
int open_descriptors(const std::string &path)
{
    int n = 0;
    std::error_code ec;
    for (const auto &fd : std::filesystem::directory_iterator("/proc/self/fd", ec))
        n += std::filesystem::read_symlink(fd.path(), ec) == std::filesystem::absolute(path);
    return n;
}

class ReadWrite : public FormTest {
  protected:
    // The fake loaded, the monitor ticked by the test alone, `boxes` checked.
    TForm1 &monitor_form(std::initializer_list<QCheckBox * TForm1::*> boxes)
    {
        TForm1 &form = loaded_form();
        form.UpdateRate->setText("0");
        for (auto box : boxes)
            (form.*box)->setChecked(true);
        return form;
    }
    // Records arrive; one tick reads them, the next (reading nothing) shows them.
    void tick_in(const std::vector<PASSTHRU_MSG> &records)
    {
        fake().rx.insert(fake().rx.end(), records.begin(), records.end());
        form().BusMonitorTimerTimer();
        form().BusMonitorTimerTimer();
    }
    void record_to(const std::string &path)
    {
        form().LogFileName->setText(QString::fromStdString(path));
        form().RecordLogFile->setChecked(true);
    }
};

TEST_F(ReadWrite, SendAndStressTestBuildTheirRecords)
{
    TForm1 &form = monitor_form({&TForm1::CAN29BitId, &TForm1::CANConnect});
    FakeJ2534 &lib = fake();
    ASSERT_NE(form.CANConnectFlags, 0u);
    // No protocol selected: a send writes nothing, the stress test says so.
    form.Write1SendClick();
    form.StressTestClick();
    EXPECT_EQ(lib.count("PassThruWriteMsgs"), 0u);
    EXPECT_EQ(messages.shown, (Shown{{"Must select protocol first", "ERROR"}}));

    form.Write1Protocol->setCurrentIndex(kCAN);
    const ShownMessage warning{
        "Timeout should allow for reasonable amount of time to send the message", "WARNING"};
    // Numbers in any base, trailing junk dropped; counts clamped to 900 as
    // unsigned numbers, 0 passed as it is; the warning reads the time-out with
    // base detection, the time-out sent is decimal.
    const struct {
        const char *text, *num, *timeout;
        std::vector<uint8_t> bytes;
        uint32_t count, sent_timeout;
        bool warns;
    } cases[] = {
        {"0x1F 31 037 0x1FF -1", "1", "50", {0x1F, 0x1F, 0x1F, 0xFF, 0xFF}, 1, 50, false},
        {"1 2.\r\n\t", "1", "50", {1, 2}, 1, 50, false},
        {"7 \xE9\x80", "1", "50", {7}, 1, 50, false},
        {"0x7E0 2", "1000", "50", {0xE0, 2}, 900, 50, false},
        {"0x7E0 2", "-1", "50", {0xE0, 2}, 900, 50, false},
        {"0x7E0 2", "0", "50", {0xE0, 2}, 0, 50, false},
        {"0x7E0 2", "0x10", "50", {0xE0, 2}, 0, 50, false},
        {"7", "3", "5", {7}, 3, 5, true},
        {"7", "1", "0x64", {7}, 1, 0, false},
        {"7", "1", "9", {7}, 1, 9, true},
        {"7", "1", "10", {7}, 1, 10, false},
        {"7", "1", "011", {7}, 1, 11, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.num + " / " + c.timeout);
        lib.calls.clear();
        messages.shown.clear();
        form.Write1Msg->setText(c.text);
        form.Write1Num->setText(c.num);
        form.Write1Timeout->setText(c.timeout);
        form.Write1SendClick();
        FakeCall write = lib.of("PassThruWriteMsgs").at(0);
        EXPECT_EQ(write.args, (std::vector<uint32_t>{5, c.count, c.sent_timeout}));
        ASSERT_EQ(write.msgs.size(), c.count);
        for (const PASSTHRU_MSG &m : write.msgs) {
            ASSERT_EQ(data_of(m), c.bytes);
            ASSERT_EQ(Sent(m.ProtocolID, m.TxFlags), Sent(CAN, form.CANConnectFlags));
        }
        EXPECT_EQ(messages.shown, c.warns ? Shown{warning} : Shown{});
    }

    // The stress test: batches of 0 to 99 records, stopping at the first error.
    lib.calls.clear();
    messages.shown.clear();
    form.StressTestClick();
    std::vector<FakeCall> writes = lib.of("PassThruWriteMsgs");
    ASSERT_EQ(writes.size(), 100u);
    for (uint32_t i = 0; i < 100; ++i) {
        EXPECT_EQ(writes[i].args, (std::vector<uint32_t>{5, i, i * 20}));
        ASSERT_EQ(writes[i].msgs.size(), i);
        for (uint8_t j = 0; j < i; ++j) {
            const PASSTHRU_MSG &m = writes[i].msgs[j];
            ASSERT_EQ(data_of(m), (std::vector<uint8_t>{0xC4, 0xF0, 0xF1, 0, 0, 0, 0, j}));
            ASSERT_EQ(Sent(m.ProtocolID, m.TxFlags), Sent(CAN, form.CANConnectFlags));
            ASSERT_EQ(m.RxStatus | m.Timestamp | m.ExtraDataIndex, 0u);
        }
    }
    EXPECT_TRUE(messages.shown.empty());
    lib.calls.clear();
    lib.statuses["PassThruWriteMsgs"] = {0, 0, 0, ERR_FAILED};
    form.StressTestClick();
    EXPECT_EQ(lib.count("PassThruWriteMsgs"), 4u);
    EXPECT_EQ(messages.shown, (Shown{{"PassThruWriteMsgs returned 7", "ERROR"}}));

    // ISO9141: a send carries its connect flags (here on a channel never
    // connected: 0) and its refusal is shown; the stress test sends 0.
    lib.calls.clear();
    messages.shown.clear();
    form.ISO9141TxFlags = 0x1234;
    form.Write1Protocol->setCurrentIndex(kISO9141);
    form.Write1Timeout->setText("50");
    lib.statuses["PassThruWriteMsgs"] = {ERR_DEVICE_NOT_CONNECTED};
    form.Write1SendClick();
    form.StressTestClick();
    writes = lib.of("PassThruWriteMsgs");
    EXPECT_EQ(writes.at(0).args[0], 0u);
    EXPECT_EQ(Sent(writes[0].msgs[0].ProtocolID, writes[0].msgs[0].TxFlags),
              Sent(ISO9141, 0x1234u));
    EXPECT_EQ(Sent(writes.at(6).msgs.at(4).ProtocolID, writes[6].msgs[4].TxFlags),
              Sent(ISO9141, 0u));
    EXPECT_EQ(messages.shown, (Shown{{"PassThruWriteMsgs returned 8", "ERROR"}}));
}

TEST_F(ReadWrite, SavedMessagesAndTheListStayInStep)
{
    TForm1 &form = loaded_form();
    QComboBox &list = *form.Write1Select;
    auto save = [&](int protocol, const std::string &msg, const std::string &description,
                    const char *num = "1", const char *timeout = "50") {
        form.Write1Protocol->setCurrentIndex(protocol);
        form.Write1Msg->setText(QString::fromStdString(msg));
        form.Write1Description->setText(QString::fromStdString(description));
        form.Write1Num->setText(num);
        form.Write1Timeout->setText(timeout);
        form.Write1SaveClick();
    };
    auto choose = [&](int k) {
        list.setCurrentIndex(k);
        list.activated(k);
    };
    // Every entry names its slot, and the slot after the last is free.
    auto in_step = [&](int count) {
        ASSERT_EQ(list.count(), count);
        for (int k = 0; k < count; ++k)
            ASSERT_EQ(list.itemText(k).toStdString(), form.SavedWriteMessages[k].Description) << k;
        if (count < kSavedMessageSlots) {
            EXPECT_STREQ(form.SavedWriteMessages[count].Msg, "");
            EXPECT_STREQ(form.SavedWriteMessages[count].Description, "");
        }
    };

    save(kISO9141, "0x01 0x04", "Read", "0x10", "100");
    save(kCAN, "2", "B");
    EXPECT_EQ(form.Write1Msg->text(), "2");  // adding entries chose nothing
    choose(0);
    EXPECT_EQ(form.Write1Protocol->currentIndex(), kISO9141);
    EXPECT_EQ(form.Write1Msg->text() + form.Write1Num->text() + form.Write1Timeout->text(),
              "0x01 0x0416100");
    // Typed text neither becomes an entry nor picks a slot; no index -1.
    list.setEditText("typed");
    list.setCurrentIndex(-1);
    form.Write1SelectChange();
    EXPECT_EQ(form.Write1Description->text(), "Read");
    // An empty description is refused, silently: no entry without its slot.
    save(kCAN, "9", "");
    in_step(2);
    EXPECT_TRUE(messages.shown.empty());

    // Deleting entry 0 of three moves the slots down.
    save(kMSCAN, "3", "C");
    choose(0);
    form.Write1DeleteClick();
    in_step(2);
    choose(1);
    EXPECT_EQ(form.Write1Protocol->currentIndex(), kMSCAN);
    EXPECT_EQ(form.Write1Msg->text(), "3");
    // Typed over, the chosen entry is not what the box shows: none is deleted.
    list.setEditText("zzz");
    form.Write1DeleteClick();
    in_step(2);
    EXPECT_EQ(list.itemText(1), "C");

    // A long text is cut before the number that would not fit.
    std::string numbers;
    for (int i = 0; i < 30; ++i)
        numbers += "0x1234 ";
    save(kCAN, numbers, "long");
    EXPECT_EQ(std::string(form.SavedWriteMessages[2].Msg), numbers.substr(0, 118));

    // A full list refuses, and a delete makes room again, in step.
    for (int i = list.count(); i < kSavedMessageSlots; ++i)
        save(kCAN, std::to_string(i), "m" + std::to_string(i));
    save(kCAN, "1", "one too many");
    EXPECT_EQ(messages.shown, (Shown{{"Cannot add any more messages", "ERROR"}}));
    in_step(kSavedMessageSlots);
    choose(10);
    form.Write1DeleteClick();
    in_step(kSavedMessageSlots - 1);
    save(kCAN, "0x55", "last");
    in_step(kSavedMessageSlots);
    choose(kSavedMessageSlots - 1);
    EXPECT_EQ(form.Write1Msg->text(), "0x55");
}

TEST_F(ReadWrite, MonitorPollsInOrderAndStaysInsideItsRing)
{
    TForm1 &form =
        monitor_form({&TForm1::MSCANConnect, &TForm1::ISO15765Connect, &TForm1::CANConnect});
    FakeJ2534 &lib = fake();
    form.BusMonitorTimerTimer();
    std::vector<FakeCall> reads = lib.of("PassThruReadMsgs");
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_EQ(reads[0].args, (std::vector<uint32_t>{CAN, 200, 0}));
    EXPECT_EQ(reads[1].args, (std::vector<uint32_t>{ISO15765, 200, 0}));
    EXPECT_EQ(reads[2].args, (std::vector<uint32_t>{MSCAN, 200, 0}));

    // A library that fills what it was asked for but claims more; a refusal
    // that claims records; an overflow with valid records.
    bool can_done = false, mscan_done = false;
    lib.hooks["PassThruReadMsgs"] = [&](FakeCall &c) -> int32_t {
        auto *msgs = static_cast<PASSTHRU_MSG *>(c.ptr[0]);
        auto *count = static_cast<uint32_t *>(c.ptr[1]);
        if (c.args[0] == CAN && !std::exchange(can_done, true)) {
            for (uint32_t i = 0; i < *count; ++i)
                msgs[i] = can_rx(0xE8, 1000 + i);
            *count = 500;
            return STATUS_NOERROR;
        }
        if (c.args[0] == MSCAN && !std::exchange(mscan_done, true)) {
            *count = std::min(*count, 2u);
            for (uint32_t i = 0; i < *count; ++i)
                msgs[i] = can_rx(0x11, 5000 + i, MSCAN);
            return ERR_BUFFER_OVERFLOW;
        }
        *count = 7;
        return c.args[0] == ISO15765 ? ERR_INVALID_CHANNEL_ID : ERR_BUFFER_EMPTY;
    };
    lib.calls.clear();
    form.BusMonitorTimerTimer();
    // One read filled the ring: the other channels were not polled, half
    // was shown, and the view waits while the ring was full.
    EXPECT_EQ(lib.count("PassThruReadMsgs"), 1u);
    EXPECT_EQ(form.Monitor.MonitorRingCount, 100u);
    ASSERT_EQ(monitor_lines(form).front().substr(0, 10), "      1099");
    EXPECT_TRUE(form.BusMonitor->toPlainText().isEmpty());

    // The overflow's two records joined the ring behind the waiting ones;
    // the refusal's seven did not; a tick that read something shows nothing.
    form.BusMonitorTimerTimer();
    EXPECT_EQ(form.Monitor.MonitorRingCount, 102u);
    EXPECT_EQ(lib.of("PassThruReadMsgs").at(3).args[1], 100u);
    EXPECT_EQ(monitor_lines(form).front().substr(0, 10), "      1099");
    form.BusMonitorTimerTimer();
    EXPECT_EQ(form.Monitor.MonitorRingCount, 0u);
    Lines lines = monitor_lines(form);
    EXPECT_EQ(lines[0], "      5001 MSCAN      00000000   00 00 07 11 00");
    EXPECT_EQ(lines[2], "      1199 CAN        00000000   00 00 07 E8 00");
    EXPECT_TRUE(form.BusMonitor->toPlainText().startsWith(lines[0].c_str()));
}

TEST_F(ReadWrite, MonitorDeltaTimesAndSortView)
{
    TForm1 &form = monitor_form({&TForm1::CANConnect, &TForm1::MSCANConnect});
    // Delta times: the first line after start shows its full stamp, later
    // lines the difference to the line before, across channels.
    form.DeltaTime->setChecked(true);
    tick_in({can_rx(0xE8, 1000), can_rx(0x11, 1500, MSCAN)});
    EXPECT_EQ(monitor_lines(form), (Lines{"       500 MSCAN      00000000   00 00 07 11 00",
                                          "      1000 CAN        00000000   00 00 07 E8 00"}));
    form.DeltaTime->setChecked(false);

    // The sort view: one line per identifier with the time since that
    // identifier was last seen, entry 0 at the bottom, logged every tick.
    const std::string log = root() + "/sort.log";
    record_to(log);
    form.SortMsgs->setChecked(true);
    tick_in({can_rx(0xE8, 100), can_rx(0xE9, 150), can_rx(0xE8, 400, CAN, 1)});
    EXPECT_EQ(monitor_lines(form), (Lines{"       150 CAN        00000000   00 00 07 E9 00",
                                          "       300 CAN        00000000   00 00 07 E8 01"}));
    tick_in({can_rx(0xE9, 1150)});
    EXPECT_EQ(file_text(log), "       300 CAN        00000000   00 00 07 E8 01\r\n"
                              "       150 CAN        00000000   00 00 07 E9 00\r\n"
                              "       300 CAN        00000000   00 00 07 E8 01\r\n"
                              "      1000 CAN        00000000   00 00 07 E9 00\r\n");

    // "# bytes" 0: one line.  Clicking the box empties the table.
    form.SortMsgs->setChecked(false);
    form.SortMsgs->setChecked(true);
    form.SortLen->setText("0");
    tick_in({can_rx(0xE8, 5000), can_rx(0x22, 5100, MSCAN)});
    EXPECT_EQ(monitor_lines(form), (Lines{"       100 MSCAN      00000000   00 00 07 22 00"}));
}

TEST_F(ReadWrite, RecordOpensAppendsAndClosesTheLogFile)
{
    TForm1 &form = monitor_form({&TForm1::CANConnect});
    const std::string a = root() + "/a.log", b = root() + "/b.log";
    const std::string line7 = "         7 CAN        00000000   00 00 07 E8 00\r\n";
    std::ofstream(a, std::ios::binary) << "before\n";
    form.RecordLogFile->setChecked(true);  // an empty name opens nothing
    EXPECT_EQ(form.Monitor.LogFile, nullptr);
    form.RecordLogFile->setChecked(false);

    record_to(a);
    form.RecordLogFileClick();  // again: still one stream
    EXPECT_EQ(open_descriptors(a), 1);
    tick_in({can_rx(0xE8, 7)});
    // Unchecked with the name field emptied: the file is closed all the same.
    form.LogFileName->clear();
    form.RecordLogFile->setChecked(false);
    EXPECT_EQ(open_descriptors(a), 0);
    tick_in({can_rx(0xE8, 8)});
    record_to(b);
    tick_in({can_rx(0xE8, 9)});
    EXPECT_EQ(file_text(a), "before\n" + line7);
    EXPECT_EQ(file_text(b), "         9 CAN        00000000   00 00 07 E8 00\r\n");

    // A file that cannot be opened: lines are shown, nothing is said.
    form.RecordLogFile->setChecked(false);
    record_to(root());
    tick_in({can_rx(0xE8, 10)});
    EXPECT_EQ(monitor_lines(form)[0], "        10 CAN        00000000   00 00 07 E8 00");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ReadWrite, RateClearScreenAndUpdateInterval)
{
    TForm1 &form = monitor_form({});
    FakeJ2534 &lib = fake();
    EXPECT_FALSE(form.BusMonitorTimer->isActive());
    form.UpdateRate->setText("0x20");
    EXPECT_TRUE(form.BusMonitorTimer->isActive());
    EXPECT_EQ(form.BusMonitorTimer->interval(), 32);
    form.UpdateRate->setText("");
    EXPECT_FALSE(form.BusMonitorTimer->isActive());

    // The rate: messages read since the last display, at most once a second.
    form.CANConnect->setChecked(true);
    const struct {
        int arriving;
        uint32_t now;
        const char *rate;
    } ticks[] = {{3, 1000, "3"}, {2, 1500, "3"}, {0, 1600, "3"}, {4, 1999, "3"},
                 {1, 2000, "7"}, {0, 2001, "7"}, {0, 9000, "7"}};
    for (const auto &t : ticks) {
        clock.now = t.now;
        for (int i = 0; i < t.arriving; ++i)
            lib.rx.push_back(can_rx(0xE8, t.now));
        form.BusMonitorTimerTimer();
        EXPECT_EQ(form.MsgsPerSec->text(), t.rate) << t.now;
    }

    // "Clear Screen" empties the view and restarts CAN's buffer and time base.
    lib.calls.clear();
    form.ClearMonitorBufferClick();
    EXPECT_TRUE(monitor_lines(form).empty());
    EXPECT_TRUE(form.BusMonitor->toPlainText().isEmpty());
    std::vector<FakeCall> ioctls = lib.of("PassThruIoctl");
    ASSERT_EQ(ioctls.size(), 2u);
    EXPECT_EQ(ioctls[0].args, (std::vector<uint32_t>{CAN, CLEAR_RX_BUFFER}));
    EXPECT_EQ(ioctls[1].args, (std::vector<uint32_t>{CAN, RESET_TIMER}));
    lib.calls.clear();
    lib.statuses["PassThruIoctl"] = {ERR_INVALID_CHANNEL_ID, ERR_NOT_SUPPORTED};
    form.ClearMonitorBufferClick();
    EXPECT_EQ(messages.shown, (Shown{{"PassThruIoctl returned 1", "ERROR"}}));
    messages.shown.clear();

    // The K-line keeps its time base.
    form.ISO9141Connect->setChecked(true);
    lib.calls.clear();
    form.ClearMonitorBuffer->click();
    EXPECT_EQ(lib.of("PassThruIoctl").size(), 1u);
    form.ISO9141Connect->setChecked(false);
    form.CANConnect->setChecked(false);
    lib.calls.clear();
    form.ClearMonitorBufferClick();
    EXPECT_EQ(messages.shown, (Shown{{"No procotols active", "ERROR"}}));
    EXPECT_EQ(lib.count("PassThruIoctl"), 0u);
}

}  // namespace
}  // namespace quillon_test
