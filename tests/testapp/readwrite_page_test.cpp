// readwrite_page_test.cpp - the "Read / Write" page against the recording
// fake: the records a send and the stress test build, the saved messages,
// and the bus monitor's polling, batching, views, rate and log file.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/testapp/form_fixture.h"

namespace quillon_test {
namespace {

using ReadWrite = FormTest;

std::vector<uint8_t> data_of(const PASSTHRU_MSG &m)
{
    return std::vector<uint8_t>(m.Data, m.Data + m.DataSize);
}

// A CAN record as a library delivers it: 11-bit identifier 0x700 + low.
PASSTHRU_MSG can_rx(uint8_t low, uint32_t timestamp, uint32_t protocol = CAN, uint8_t payload = 0)
{
    PASSTHRU_MSG m;
    std::memset(&m, 0, sizeof m);
    m.ProtocolID = protocol;
    m.Timestamp = timestamp;
    m.DataSize = 5;
    const uint8_t bytes[] = {0, 0, 7, low, payload};
    std::memcpy(m.Data, bytes, sizeof bytes);
    return m;
}

std::string monitor_text(TForm1 &form)
{
    return form.Monitor.MonitorText.data();
}

std::string file_text(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Lines of the monitor text, newest first, without their ends.
std::vector<std::string> monitor_lines(TForm1 &form)
{
    std::vector<std::string> lines;
    std::istringstream in(monitor_text(form));
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
        if (std::filesystem::read_symlink(fd.path(), ec) == std::filesystem::absolute(path))
            ++n;
    return n;
}

TEST_F(ReadWrite, SendBuildsRecordsFromTheText)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.CAN29BitId->setChecked(true);
    form.CANConnect->setChecked(true);
    ASSERT_NE(form.CANConnectFlags, 0u);
    form.Write1Protocol->setCurrentIndex(kCAN);

    const struct {
        const char *text;
        std::vector<uint8_t> bytes;
    } texts[] = {
        {"0x01 0x02 0x03 ", {1, 2, 3}},
        {"0x01,0x02", {1}},
        {"1 2 3,", {1, 2, 3}},
        {"", {}},
        {"08", {0, 8}},
        {"0x1F 31 037 0x1FF -1", {0x1F, 0x1F, 0x1F, 0xFF, 0xFF}},
        {"1 2.\r\n\t", {1, 2}},
    };
    for (const auto &t : texts) {
        lib.calls.clear();
        form.Write1Msg->setText(t.text);
        form.Write1SendClick();
        std::vector<FakeCall> writes = lib.of("PassThruWriteMsgs");
        ASSERT_EQ(writes.size(), 1u) << t.text;
        EXPECT_EQ(writes[0].args, (std::vector<uint32_t>{5, 1, 50})) << t.text;
        EXPECT_EQ(data_of(writes[0].msgs[0]), t.bytes) << t.text;
        EXPECT_EQ(writes[0].msgs[0].ProtocolID, uint32_t{CAN});
        EXPECT_EQ(writes[0].msgs[0].TxFlags, form.CANConnectFlags);
    }
    EXPECT_TRUE(messages.shown.empty());

    // Counts: clamped to 900 as unsigned numbers, 0 passed as it is.
    form.Write1Msg->setText("0x7E0 2 0x10 0x03");
    const struct {
        const char *num;
        uint32_t count;
    } counts[] = {{"1000", 900}, {"-1", 900}, {"0", 0}, {"3", 3}, {"0x10", 0}, {" 12abc", 12}};
    for (const auto &c : counts) {
        lib.calls.clear();
        form.Write1Num->setText(c.num);
        form.Write1SendClick();
        FakeCall write = lib.of("PassThruWriteMsgs").at(0);
        EXPECT_EQ(write.args[1], c.count) << c.num;
        ASSERT_EQ(write.msgs.size(), c.count);
        for (const PASSTHRU_MSG &m : write.msgs)
            EXPECT_EQ(data_of(m), (std::vector<uint8_t>{0xE0, 2, 0x10, 3}));
    }

    // The warning reads the text with base detection, the time-out sent is
    // decimal.
    form.Write1Num->setText("1");
    const struct {
        const char *timeout;
        bool warns;
        uint32_t sent;
    } timeouts[] = {{"5", true, 5}, {"0x64", false, 0}, {"10", false, 10},
                    {"9", true, 9}, {"012", false, 12}, {"011", true, 11}};
    for (const auto &t : timeouts) {
        lib.calls.clear();
        messages.shown.clear();
        form.Write1Timeout->setText(t.timeout);
        form.Write1SendClick();
        EXPECT_EQ(lib.of("PassThruWriteMsgs").at(0).args[2], t.sent) << t.timeout;
        std::vector<ShownMessage> warning;
        if (t.warns)
            warning.push_back(
                {"Timeout should allow for reasonable amount of time to send the message",
                 "WARNING"});
        EXPECT_EQ(messages.shown, warning) << t.timeout;
    }
}

TEST_F(ReadWrite, SendPerProtocolAndItsFailures)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.Write1Msg->setText("0x68 0x6A 0xF1 0x01 0x00");

    // Nothing selected: nothing written, nothing shown.
    form.Write1SendClick();
    EXPECT_EQ(lib.count("PassThruWriteMsgs"), 0u);
    EXPECT_TRUE(messages.shown.empty());

    // ISO9141 carries ISO9141TxFlags; a channel never connected is 0, and
    // the library's refusal is shown.
    form.ISO9141TxFlags = 0x1234;
    form.Write1Protocol->setCurrentIndex(kISO9141);
    lib.statuses["PassThruWriteMsgs"] = {ERR_DEVICE_NOT_CONNECTED};
    form.Write1SendClick();
    FakeCall write = lib.of("PassThruWriteMsgs").at(0);
    EXPECT_EQ(write.args[0], 0u);
    EXPECT_EQ(write.msgs[0].ProtocolID, uint32_t{ISO9141});
    EXPECT_EQ(write.msgs[0].TxFlags, 0x1234u);
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"PassThruWriteMsgs returned 8", "ERROR"}}));
    EXPECT_EQ(form.Write1Msg->text(), "0x68 0x6A 0xF1 0x01 0x00");

    // The other K-line and J1850 items send TxFlags 0 on their own words.
    lib.calls.clear();
    form.ChannelIDWord[kJ1850PWM] = 77;
    form.Write1Protocol->setCurrentIndex(kJ1850PWM);
    form.Write1SendClick();
    write = lib.of("PassThruWriteMsgs").at(0);
    EXPECT_EQ(write.args[0], 77u);
    EXPECT_EQ(write.msgs[0].ProtocolID, uint32_t{J1850PWM});
    EXPECT_EQ(write.msgs[0].TxFlags, 0u);
}

TEST_F(ReadWrite, StressTestWritesGrowingBatchesAndStopsAtTheFirstError)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();

    form.StressTestClick();
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"Must select protocol first", "ERROR"}}));
    EXPECT_EQ(lib.count("PassThruWriteMsgs"), 0u);
    messages.shown.clear();

    form.CAN29BitId->setChecked(true);
    form.CANConnect->setChecked(true);
    form.Write1Protocol->setCurrentIndex(kCAN);
    form.StressTestClick();
    std::vector<FakeCall> writes = lib.of("PassThruWriteMsgs");
    ASSERT_EQ(writes.size(), 100u);
    for (uint32_t i = 0; i < 100; ++i) {
        EXPECT_EQ(writes[i].args, (std::vector<uint32_t>{5, i, i * 20}));
        ASSERT_EQ(writes[i].msgs.size(), i);
        for (uint32_t j = 0; j < i; ++j) {
            const PASSTHRU_MSG &m = writes[i].msgs[j];
            ASSERT_EQ(data_of(m), (std::vector<uint8_t>{0xC4, 0xF0, 0xF1, 0, 0, 0, 0,
                                                        static_cast<uint8_t>(j)}));
            ASSERT_EQ(m.ProtocolID, uint32_t{CAN});
            ASSERT_EQ(m.TxFlags, form.CANConnectFlags);
            ASSERT_EQ(m.RxStatus | m.Timestamp | m.ExtraDataIndex, 0u);
        }
    }
    EXPECT_TRUE(messages.shown.empty());

    // The fourth batch fails: nothing after it is written.
    lib.calls.clear();
    lib.statuses["PassThruWriteMsgs"] = {0, 0, 0, ERR_FAILED};
    form.StressTestClick();
    EXPECT_EQ(lib.count("PassThruWriteMsgs"), 4u);
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"PassThruWriteMsgs returned 7", "ERROR"}}));

    // ISO9141 keeps TxFlags 0 here.
    lib.calls.clear();
    form.ISO9141TxFlags = 0x1234;
    form.Write1Protocol->setCurrentIndex(kISO9141);
    form.StressTestClick();
    EXPECT_EQ(lib.of("PassThruWriteMsgs").at(5).msgs.at(4).TxFlags, 0u);
    EXPECT_EQ(lib.of("PassThruWriteMsgs").at(5).msgs.at(4).ProtocolID, uint32_t{ISO9141});
}

TEST_F(ReadWrite, SavedMessagesAndTheListStayInStep)
{
    TForm1 &form = loaded_form();
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
        form.Write1Select->setCurrentIndex(k);
        form.Write1Select->activated(k);
    };

    save(kISO9141, "0x01 0x04", "Read", "0x10", "100");
    save(kCAN, "2", "B");
    ASSERT_EQ(form.Write1Select->count(), 2);
    EXPECT_EQ(form.Write1Select->itemText(0), "Read");
    const SavedWriteMessage &first = form.SavedWriteMessages[0];
    EXPECT_EQ(first.Protocol, kISO9141);
    EXPECT_STREQ(first.Msg, "0x01 0x04");
    EXPECT_EQ(first.Num, 16);
    EXPECT_EQ(first.Timeout, 100);
    // Adding entries chose nothing: the page keeps what was typed.
    EXPECT_EQ(form.Write1Msg->text(), "2");

    choose(0);
    EXPECT_EQ(form.Write1Protocol->currentIndex(), kISO9141);
    EXPECT_EQ(form.Write1Msg->text(), "0x01 0x04");
    EXPECT_EQ(form.Write1Num->text(), "16");
    EXPECT_EQ(form.Write1Timeout->text(), "100");
    EXPECT_EQ(form.Write1Description->text(), "Read");

    // Typed text neither becomes an entry nor picks a slot; no index -1.
    form.Write1Select->setEditText("typed");
    form.Write1Select->setCurrentIndex(-1);
    form.Write1SelectChange();
    EXPECT_EQ(form.Write1Select->count(), 2);
    EXPECT_EQ(form.Write1Description->text(), "Read");

    // An empty description is refused: no entry without its slot.
    save(kCAN, "9", "");
    EXPECT_EQ(form.Write1Select->count(), 2);
    EXPECT_STREQ(form.SavedWriteMessages[2].Msg, "");
    EXPECT_TRUE(messages.shown.empty());

    // Deleting entry 0 of three moves the slots down.
    save(kMSCAN, "3", "C");
    choose(0);
    form.Write1DeleteClick();
    ASSERT_EQ(form.Write1Select->count(), 2);
    EXPECT_EQ(form.Write1Select->itemText(0), "B");
    EXPECT_EQ(form.Write1Select->itemText(1), "C");
    EXPECT_STREQ(form.SavedWriteMessages[0].Description, "B");
    EXPECT_STREQ(form.SavedWriteMessages[1].Msg, "3");
    EXPECT_STREQ(form.SavedWriteMessages[2].Description, "");
    choose(1);
    EXPECT_EQ(form.Write1Protocol->currentIndex(), kMSCAN);

    // A long text is cut before the number that would not fit.
    std::string numbers;
    for (int i = 0; i < 30; ++i)
        numbers += "0x1234 ";
    save(kCAN, numbers, "long");
    EXPECT_EQ(std::string(form.SavedWriteMessages[2].Msg), numbers.substr(0, 118));

    // A full list refuses, and a delete makes room again, in step.
    for (int i = form.Write1Select->count(); i < kSavedMessageSlots; ++i)
        save(kCAN, std::to_string(i), "m" + std::to_string(i));
    ASSERT_EQ(form.Write1Select->count(), kSavedMessageSlots);
    save(kCAN, "1", "one too many");
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"Cannot add any more messages", "ERROR"}}));
    choose(10);
    form.Write1DeleteClick();
    EXPECT_STREQ(form.SavedWriteMessages[kSavedMessageSlots - 1].Description, "");
    save(kCAN, "0x55", "last");
    ASSERT_EQ(form.Write1Select->count(), kSavedMessageSlots);
    for (int k = 0; k < kSavedMessageSlots; ++k)
        ASSERT_EQ(form.Write1Select->itemText(k).toStdString(),
                  form.SavedWriteMessages[k].Description)
            << k;
    choose(kSavedMessageSlots - 1);
    EXPECT_EQ(form.Write1Msg->text(), "0x55");
}

TEST_F(ReadWrite, MonitorPollsEveryConnectedChannelAndShowsABurstOnceItEnds)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.UpdateRate->setText("0");  // the test makes the ticks
    form.ISO9141Connect->setChecked(true);
    form.MSCANConnect->setChecked(true);
    form.CANConnect->setChecked(true);

    // A tick before anything arrived: each connected channel in order.
    lib.calls.clear();
    form.BusMonitorTimerTimer();
    std::vector<FakeCall> reads = lib.of("PassThruReadMsgs");
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_EQ(reads[0].args, (std::vector<uint32_t>{CAN, 200, 0}));
    EXPECT_EQ(reads[1].args, (std::vector<uint32_t>{MSCAN, 200, 0}));
    EXPECT_EQ(reads[2].args, (std::vector<uint32_t>{ISO9141, 200, 0}));

    // Five records: read in one tick, shown in the next that reads nothing,
    // sorted by time stamp, the newest on top.
    for (uint32_t t : {500u, 100u, 300u, 200u, 400u})
        lib.rx.push_back(can_rx(0xE0 + static_cast<uint8_t>(t / 100), t));
    lib.calls.clear();
    form.BusMonitorTimerTimer();
    reads = lib.of("PassThruReadMsgs");
    EXPECT_EQ(reads[1].args[1], 195u);  // the next channel reads behind them
    EXPECT_EQ(form.Monitor.MonitorRingCount, 5u);
    EXPECT_EQ(monitor_text(form), "");
    form.BusMonitorTimerTimer();
    EXPECT_EQ(form.Monitor.MonitorRingCount, 0u);
    std::vector<std::string> lines = monitor_lines(form);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "       500 CAN        00000000   00 00 07 E5 00");
    EXPECT_EQ(lines[4], "       100 CAN        00000000   00 00 07 E1 00");
    EXPECT_TRUE(form.BusMonitor->toPlainText().startsWith("       500 CAN"));
}

TEST_F(ReadWrite, MonitorRingStaysInsideItsRecords)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.UpdateRate->setText("0");
    form.CANConnect->setChecked(true);
    form.MSCANConnect->setChecked(true);
    form.ISO15765Connect->setChecked(true);

    // A library that fills what it was asked for but claims more; then one
    // that reports an overflow with valid records; then a refusal that
    // claims records.
    bool can_done = false, mscan_done = false;
    lib.hooks["PassThruReadMsgs"] = [&](FakeCall &c) -> int32_t {
        auto *msgs = static_cast<PASSTHRU_MSG *>(c.ptr[0]);
        auto *count = static_cast<uint32_t *>(c.ptr[1]);
        if (c.args[0] == CAN && !can_done) {
            can_done = true;
            for (uint32_t i = 0; i < *count; ++i)
                msgs[i] = can_rx(0xE8, 1000 + i);
            *count = 500;
            return STATUS_NOERROR;
        }
        if (c.args[0] == MSCAN && !mscan_done) {
            mscan_done = true;
            *count = std::min(*count, 2u);
            for (uint32_t i = 0; i < *count; ++i)
                msgs[i] = can_rx(0x11, 5000 + i, MSCAN);
            return ERR_BUFFER_OVERFLOW;
        }
        *count = 7;
        return c.args[0] == ISO15765 ? ERR_INVALID_CHANNEL_ID : ERR_BUFFER_EMPTY;
    };
    form.BusMonitorTimerTimer();
    // One read filled the ring: the other channels were not polled, half
    // was shown, and the view waits while the ring was full.
    EXPECT_EQ(lib.count("PassThruReadMsgs"), 1u);
    EXPECT_EQ(form.Monitor.MonitorRingCount, 100u);
    EXPECT_EQ(monitor_lines(form).front().substr(0, 10), "      1099");
    EXPECT_TRUE(form.BusMonitor->toPlainText().isEmpty());

    form.BusMonitorTimerTimer();
    // The overflow's two records joined the ring; the refusal's seven did not.
    EXPECT_EQ(form.Monitor.MonitorRingCount, 102u);
    form.BusMonitorTimerTimer();
    EXPECT_EQ(form.Monitor.MonitorRingCount, 0u);
    std::vector<std::string> lines = monitor_lines(form);
    EXPECT_EQ(lines[0], "      5001 MSCAN      00000000   00 00 07 11 00");
    EXPECT_EQ(lines[2], "      1199 CAN        00000000   00 00 07 E8 00");
    EXPECT_FALSE(form.BusMonitor->toPlainText().isEmpty());
}

TEST_F(ReadWrite, MonitorBatchesAboveOneHundredFifty)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.UpdateRate->setText("0");
    form.CANConnect->setChecked(true);
    std::string log = root() + "/batches.log";
    form.LogFileName->setText(QString::fromStdString(log));
    form.RecordLogFile->setChecked(true);

    const struct {
        uint32_t arriving, shown_first, left;
    } cases[] = {{180, 90, 90}, {181, 90, 91}, {151, 75, 76}, {150, 0, 150}};
    for (const auto &c : cases) {
        for (uint32_t i = 0; i < c.arriving; ++i)
            lib.rx.push_back(can_rx(0xE8, i, CAN, static_cast<uint8_t>(i)));
        size_t before = file_text(log).size();
        form.BusMonitorTimerTimer();
        EXPECT_EQ(form.Monitor.MonitorRingCount, c.left) << c.arriving;
        size_t line = std::string("         0 CAN        00000000   00 00 07 E8 00\r\n").size();
        EXPECT_EQ(file_text(log).size() - before, c.shown_first * line) << c.arriving;
        form.BusMonitorTimerTimer();  // reads nothing: the rest
        EXPECT_EQ(form.Monitor.MonitorRingCount, 0u);
        EXPECT_EQ(file_text(log).size() - before, c.arriving * line) << c.arriving;
    }
}

TEST_F(ReadWrite, MonitorViewsDeltaAscAndSort)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.UpdateRate->setText("0");
    form.CANConnect->setChecked(true);
    form.MSCANConnect->setChecked(true);
    auto tick_in = [&](std::vector<PASSTHRU_MSG> records) {
        for (const auto &r : records)
            lib.rx.push_back(r);
        form.BusMonitorTimerTimer();
        form.BusMonitorTimerTimer();
    };

    // Delta times: the first line after start shows its full stamp, later
    // lines the difference to the line before, across channels.
    form.DeltaTime->setChecked(true);
    tick_in({can_rx(0xE8, 1000), can_rx(0x11, 1500, MSCAN)});
    std::vector<std::string> lines = monitor_lines(form);
    EXPECT_EQ(lines[0], "       500 MSCAN      00000000   00 00 07 11 00");
    EXPECT_EQ(lines[1], "      1000 CAN        00000000   00 00 07 E8 00");
    form.DeltaTime->setChecked(false);

    // The trace form.
    form.ASCFormat->setChecked(true);
    tick_in({can_rx(0xE8, 2345678)});
    EXPECT_EQ(monitor_lines(form)[0], "    2.345678 1  7E8             Rx   d 1 00 ");
    form.ASCFormat->setChecked(false);

    // The sort view: one line per identifier with the time since that
    // identifier was last seen, entry 0 at the bottom, logged every tick.
    std::string log = root() + "/sort.log";
    form.LogFileName->setText(QString::fromStdString(log));
    form.RecordLogFile->setChecked(true);
    form.SortMsgs->setChecked(true);
    tick_in({can_rx(0xE8, 100), can_rx(0xE9, 150), can_rx(0xE8, 400, CAN, 1)});
    lines = monitor_lines(form);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "       150 CAN        00000000   00 00 07 E9 00");
    EXPECT_EQ(lines[1], "       300 CAN        00000000   00 00 07 E8 01");
    tick_in({can_rx(0xE9, 1150)});
    lines = monitor_lines(form);
    EXPECT_EQ(lines[0], "      1000 CAN        00000000   00 00 07 E9 00");
    EXPECT_EQ(lines[1], "       300 CAN        00000000   00 00 07 E8 01");
    EXPECT_EQ(file_text(log), "       300 CAN        00000000   00 00 07 E8 01\r\n"
                              "       150 CAN        00000000   00 00 07 E9 00\r\n"
                              "       300 CAN        00000000   00 00 07 E8 01\r\n"
                              "      1000 CAN        00000000   00 00 07 E9 00\r\n");

    // "# bytes" 0: one line.  Clicking the box empties the table.
    form.SortMsgs->setChecked(false);
    form.SortMsgs->setChecked(true);
    form.SortLen->setText("0");
    tick_in({can_rx(0xE8, 5000), can_rx(0x22, 5100, MSCAN)});
    lines = monitor_lines(form);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "       100 MSCAN      00000000   00 00 07 22 00");
}

TEST_F(ReadWrite, RecordOpensAppendsAndClosesTheLogFile)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.UpdateRate->setText("0");
    form.CANConnect->setChecked(true);
    auto show = [&](uint32_t t) {
        lib.rx.push_back(can_rx(0xE8, t));
        form.BusMonitorTimerTimer();
        form.BusMonitorTimerTimer();
    };
    const std::string a = root() + "/a.log", b = root() + "/b.log";
    std::ofstream(a, std::ios::binary) << "before\n";

    // An empty name opens nothing.
    form.RecordLogFile->setChecked(true);
    EXPECT_EQ(form.Monitor.LogFile, nullptr);
    form.RecordLogFile->setChecked(false);

    form.LogFileName->setText(QString::fromStdString(a));
    form.RecordLogFile->setChecked(true);
    form.RecordLogFileClick();  // again: still one stream
    EXPECT_EQ(open_descriptors(a), 1);
    show(7);
    EXPECT_EQ(file_text(a), "before\n         7 CAN        00000000   00 00 07 E8 00\r\n");

    // Unchecked with the name field emptied: the file is closed all the same.
    form.LogFileName->clear();
    form.RecordLogFile->setChecked(false);
    EXPECT_EQ(open_descriptors(a), 0);
    show(8);
    form.LogFileName->setText(QString::fromStdString(b));
    form.RecordLogFile->setChecked(true);
    show(9);
    EXPECT_EQ(file_text(a), "before\n         7 CAN        00000000   00 00 07 E8 00\r\n");
    EXPECT_EQ(file_text(b), "         9 CAN        00000000   00 00 07 E8 00\r\n");

    // A file that cannot be opened: lines are shown, nothing is said.
    form.RecordLogFile->setChecked(false);
    form.LogFileName->setText(QString::fromStdString(root()));
    form.RecordLogFile->setChecked(true);
    show(10);
    EXPECT_EQ(monitor_lines(form)[0], "        10 CAN        00000000   00 00 07 E8 00");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ReadWrite, RateClearScreenAndUpdateInterval)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    form.UpdateRate->setText("0");
    EXPECT_FALSE(form.BusMonitorTimer->isActive());
    form.UpdateRate->setText("0x20");
    EXPECT_TRUE(form.BusMonitorTimer->isActive());
    EXPECT_EQ(form.BusMonitorTimer->interval(), 32);
    form.UpdateRate->setText("");
    EXPECT_FALSE(form.BusMonitorTimer->isActive());

    // The rate: messages read since the last display, at most once a second.
    form.CANConnect->setChecked(true);
    auto arrive = [&](int n, uint32_t now) {
        clock.now = now;
        for (int i = 0; i < n; ++i)
            lib.rx.push_back(can_rx(0xE8, now));
        form.BusMonitorTimerTimer();
    };
    arrive(3, 1000);
    EXPECT_EQ(form.MsgsPerSec->text(), "3");
    arrive(2, 1500);
    arrive(0, 1600);  // shows the two, counts nothing
    arrive(4, 1999);
    EXPECT_EQ(form.MsgsPerSec->text(), "3");
    arrive(1, 2000);
    EXPECT_EQ(form.MsgsPerSec->text(), "7");
    arrive(0, 2001);
    arrive(0, 9000);  // nothing waiting: no display
    EXPECT_EQ(form.MsgsPerSec->text(), "7");

    // "Clear Screen".
    lib.calls.clear();
    form.ClearMonitorBufferClick();
    EXPECT_EQ(monitor_text(form), "");
    EXPECT_TRUE(form.BusMonitor->toPlainText().isEmpty());
    std::vector<FakeCall> ioctls = lib.of("PassThruIoctl");
    ASSERT_EQ(ioctls.size(), 2u);
    EXPECT_EQ(ioctls[0].args, (std::vector<uint32_t>{CAN, CLEAR_RX_BUFFER}));
    EXPECT_EQ(ioctls[1].args, (std::vector<uint32_t>{CAN, RESET_TIMER}));
    EXPECT_TRUE(messages.shown.empty());

    lib.calls.clear();
    lib.statuses["PassThruIoctl"] = {ERR_INVALID_CHANNEL_ID, ERR_NOT_SUPPORTED};
    form.ClearMonitorBufferClick();
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"PassThruIoctl returned 1", "ERROR"}}));
    messages.shown.clear();

    // The K-line keeps its time base.
    form.ISO9141Connect->setChecked(true);
    lib.calls.clear();
    form.ClearMonitorBuffer->click();
    EXPECT_EQ(lib.of("PassThruIoctl").size(), 1u);

    form.CANConnect->setChecked(false);
    form.ISO9141Connect->setChecked(false);
    lib.calls.clear();
    form.ClearMonitorBufferClick();
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"No procotols active", "ERROR"}}));
    EXPECT_EQ(lib.count("PassThruIoctl"), 0u);
}

}  // namespace
}  // namespace quillon_test
