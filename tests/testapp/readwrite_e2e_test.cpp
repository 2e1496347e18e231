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
#include <sstream>
#include <thread>

#include "sim/bus_traffic.h"
#include "tests/testapp/form_fixture.h"

namespace quillon_test {
namespace {

using namespace std::chrono_literals;
using orvane::sim::Frame;

class ReadWriteEndToEnd : public FormTest {
  protected:
    // The library loaded from the registry with the adapter on COM7, CAN
    // connected and filter row 1 passing everything.
    TForm1 &connected_form()
    {
        start_sim(7);
        TForm1 &form = loaded_form(TENQ_LIB_0404);
        form.UpdateRate->setText("0");  // the test makes the ticks
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
             std::chrono::steady_clock::now() < end;) {
            form.BusMonitorTimerTimer();
            std::string text = form.Monitor.MonitorText.data();
            if (text != before) {
                std::string::size_type nl = text.find('\n');
                return text.substr(0, nl == std::string::npos ? text.size() : nl + 1);
            }
            std::this_thread::sleep_for(2ms);
        }
        return "(no line)";
    }
};

std::string file_text(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(ReadWriteEndToEnd, ReceivedFrameInBothFormsAndTheLog)
{
    TForm1 &form = connected_form();
    const std::string log = root() + "/monitor.log";
    form.LogFileName->setText(QString::fromStdString(log));
    form.RecordLogFile->setChecked(true);
    const uint8_t payload[] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    // 256000 adapter ticks of 1/256 ms: one second.
    const Frame frame = orvane::sim::can_frame(orvane::sim::JMSG_CAN, {0x7E8}, payload, 256000);

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
    EXPECT_EQ(file_text(log), standard + asc);
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

    auto data_frames = [](const std::vector<orvane::sim::LoggedFrame> &log) {
        std::vector<Frame> found;
        for (const auto &e : log)
            if (e.frame.dev == orvane::sim::JMSG_CAN && e.frame.op == orvane::sim::JMSG_DEV_WRITE &&
                e.frame.type == orvane::sim::JMSG_TYPE_DATA)
                found.push_back(e.frame);
        return found;
    };
    ASSERT_TRUE(sim().log().wait_until(
        [&](const std::vector<orvane::sim::LoggedFrame> &log) {
            return data_frames(log).size() >= 4950;
        },
        20s));
    std::this_thread::sleep_for(100ms);  // nothing more follows
    std::vector<Frame> frames = data_frames(sim().log().entries());
    ASSERT_EQ(frames.size(), 4950u);
    // Batch i carries records 0 .. i-1, whose last byte is their index.
    std::vector<int> per_index(100);
    for (const Frame &f : frames) {
        ASSERT_FALSE(f.data.empty());
        ++per_index.at(f.data.back());
    }
    for (int j = 0; j < 100; ++j)
        EXPECT_EQ(per_index[j], 99 - j) << j;
    form.CloseDeviceAtExit();
}

}  // namespace
}  // namespace quillon_test
