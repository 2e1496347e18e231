// readwrite_e2e_test.cpp - the "Read / Write" page against the built Orvane
// library and the simulated adapter: a received CAN frame as the monitor's
// top line in both forms and in the log file, and the stress test's frames
// reaching the adapter.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <chrono>
#include <fstream>
#include <iterator>
#include <numeric>
#include <thread>

#include "sim/bus_traffic.h"
#include "tests/testapp/form_fixture.h"

namespace quillon_test {
namespace {

using namespace std::chrono_literals;
namespace vsim = orvane::sim;

class ReadWriteEndToEnd : public FormTest {
  protected:
    // The library loaded from the registry with the adapter on COM7, CAN
    // connected and filter row 1 passing everything; the test ticks.
    TForm1 &connected_form()
    {
        start_sim(7);
        TForm1 &form = loaded_form(TENQ_LIB_0404);
        form.UpdateRate->setText("0");
        form.CANConnect->setChecked(true);
        form.FilterRows[0].Active->setChecked(true);
        EXPECT_TRUE(messages.shown.empty()) << messages.shown.at(0);
        return form;
    }

    // Ticks until the monitor shows a new top line; returns it with its end.
    std::string next_line(TForm1 &form)
    {
        const std::string before = form.Monitor.MonitorText.data();
        for (auto end = std::chrono::steady_clock::now() + 5s;
             std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(2ms)) {
            form.BusMonitorTimerTimer();
            const std::string text = form.Monitor.MonitorText.data();
            if (text != before)
                return text.substr(0, text.find('\n') + 1);
        }
        return "(no line)";
    }
};

TEST_F(ReadWriteEndToEnd, ReceivedFrameInBothFormsAndTheLog)
{
    TForm1 &form = connected_form();
    const std::string log = root() + "/monitor.log";
    form.LogFileName->setText(QString::fromStdString(log));
    form.RecordLogFile->setChecked(true);
    const uint8_t payload[] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    // 256000 adapter ticks of 1/256 ms: one second.
    const vsim::Frame frame = vsim::can_frame(vsim::JMSG_CAN, {0x7E8}, payload, 256000);

    sim().inject(frame);
    const std::string standard =
        "   1000000 CAN        00000000   00 00 07 E8 11 22 33 44 55 66 77 88\r\n";
    EXPECT_EQ(next_line(form), standard);
    form.ASCFormat->setChecked(true);
    sim().inject(frame);
    const std::string asc = "    1.000000 1  7E8             Rx   d 8 11 22 33 44 55 66 77 88 \n";
    EXPECT_EQ(next_line(form), asc);
    EXPECT_TRUE(form.BusMonitor->toPlainText().startsWith("    1.000000 1  7E8"));

    form.RecordLogFile->setChecked(false);
    std::ifstream in(log, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), standard + asc);
    EXPECT_TRUE(messages.shown.empty()) << messages.shown.at(0);
    form.CloseDeviceAtExit();
}

TEST_F(ReadWriteEndToEnd, StressPutsEveryBatchOnTheBus)
{
    TForm1 &form = connected_form();
    sim().log().clear();
    form.Write1Protocol->setCurrentIndex(kCAN);
    form.StressTestClick();
    EXPECT_TRUE(messages.shown.empty()) << messages.shown.at(0);

    // Batch i carries records 0 .. i-1, whose last byte is their index:
    // record j goes out 99 - j times.
    auto per_index = [](const std::vector<vsim::LoggedFrame> &log) {
        std::vector<int> n(257);
        for (const auto &e : log)
            if (e.frame.dev == vsim::JMSG_CAN && e.frame.op == vsim::JMSG_DEV_WRITE &&
                e.frame.type == vsim::JMSG_TYPE_DATA)
                ++n[e.frame.data.empty() ? 256 : e.frame.data.back()];
        return n;
    };
    auto total = [](const std::vector<int> &n) { return std::reduce(n.begin(), n.end()); };
    ASSERT_TRUE(sim().log().wait_until(
        [&](const std::vector<vsim::LoggedFrame> &log) { return total(per_index(log)) >= 4950; },
        20s));
    std::this_thread::sleep_for(100ms);  // nothing more follows
    const std::vector<int> n = per_index(sim().log().entries());
    EXPECT_EQ(total(n), 4950);
    for (int j = 0; j < 257; ++j)
        EXPECT_EQ(n[j], j < 100 ? 99 - j : 0) << j;
    form.CloseDeviceAtExit();
}

}  // namespace
}  // namespace quillon_test
