// monitor_bench - quillon's bus monitor against the serial link's own limit.
//
// The simulated adapter paces 11-bit CAN frames of 8 data bytes at 115200
// baud (20 bytes each on the wire: 576 frames a second) while the form runs
// as the program runs it: the built library loaded through the registry,
// CAN connected with a pass-all filter, the monitor timer at its 10 ms, the
// "Read / Write" page drawn (offscreen) and "Record" writing the log file.
// Each frame carries its sequence number in its first four data bytes.
// Figures:
//   sent       frames the adapter put on the link
//   shown      records the monitor took from its ring into monitor lines
//   visible    of those, lines that stood in the memo at one of its refreshes
//              (4 KB of text: lines of a large batch scroll out within the
//              tick that formats them)
//   logged     lines in the log file, each sequence once and in order
//   gui_cpu    CPU time of the window thread (form, library, drawing) over
//              the run, in % of one core, the bench's own counting taken
//              out (target <= 10)
//   proc_cpu   the same for the whole process, the simulator's thread too
//   refresh    CPU time of replacing the memo's text with 4 KB of monitor
//              text (the drawing that follows not included), and what
//              replacing it once per line would cost at the link's rate
// Usage: monitor_bench [seconds]   (default 10)
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/bus_traffic.h"
#include "sim/simulator.h"
#include "testapp/form.h"
#include "testapp/tabbed_notebook.h"
#include "tests/passthru/registry_fixture.h"

namespace {

namespace fs = std::filesystem;

constexpr double kLinkFramesPerSecond = 115200.0 / 10.0 / 20.0;
constexpr uint32_t kTicksPerFrame = 256000 / 576;  // adapter time, 1/256 ms
// First data byte of a standard monitor line: 10 + 1 + 10 + 1 + 8 + 2
// characters, then " %02X" per byte; the sequence is data bytes 4..7.
constexpr size_t kFirstByteColumn = 32;

double thread_cpu_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double process_cpu_ms()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

class PrintedMessages : public MessageBoxes {
  public:
    void show(const std::string &text, const std::string &caption) override
    {
        std::fprintf(stderr, "monitor_bench: [%s] %s\n", caption.c_str(), text.c_str());
        ++shown;
    }
    int shown = 0;
};

class SteadyClock : public Clock {
  public:
    uint32_t tick_count() override
    {
        using namespace std::chrono;
        return static_cast<uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
};

class NoUsb : public UsbSerialReader {
  public:
    std::optional<std::string> serial_number() override { return std::nullopt; }
};

// The sequence number of a standard monitor line, or -1.
long sequence_of(const std::string &line)
{
    if (line.size() < kFirstByteColumn + 8 * 3)
        return -1;
    long seq = 0;
    for (size_t b = 4; b < 8; ++b) {
        char *end = nullptr;
        std::string hex = line.substr(kFirstByteColumn + 3 * b + 1, 2);
        long v = std::strtol(hex.c_str(), &end, 16);
        if (*end != '\0')
            return -1;
        seq = seq * 256 + v;
    }
    return seq;
}

// Records the library delivered to the monitor, counted on their way.
decltype(&::PassThruReadMsgs) real_read = nullptr;
uint64_t delivered = 0;

int32_t counting_read(uint32_t channel, PASSTHRU_MSG *msgs, uint32_t *count, uint32_t timeout)
{
    const uint32_t asked = *count;
    int32_t status = real_read(channel, msgs, count, timeout);
    if (status == STATUS_NOERROR || status == ERR_TIMEOUT || status == ERR_BUFFER_OVERFLOW)
        delivered += std::min(*count, asked);
    return status;
}

}  // namespace

int main(int argc, char **argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const uint32_t frames = static_cast<uint32_t>(seconds * kLinkFramesPerSecond);
    if (::getenv("QT_QPA_PLATFORM") == nullptr)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    std::string root = (fs::temp_directory_path() / "quillon-bench-XXXXXX").string();
    if (::mkdtemp(root.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    ::setenv("ORVANE_ROOT", root.c_str(), 1);
    tenq_test::write_device_entry(root,
                                  "Name=\"Orvane-FD\"\nVendor=\"Vexlar LLC\"\nFunctionLibrary=\"" +
                                      std::string(TENQ_LIB_0404) + "\"\n");
    orvane::sim::Options options;
    options.com_port = 7;
    options.root = root;
    options.pace = true;
    orvane::sim::Simulator sim(options);
    sim.start();

    int rc = 0;
    {
        QApplication app(argc, argv);
        PrintedMessages messages;
        SteadyClock clock;
        NoUsb usb;
        TForm1 form(Services{&messages, nullptr, &clock, &usb});
        form.LoadLibraryButtonClick();
        if (form.LibraryHandle == nullptr || form.OpenDeviceID == 0) {
            std::fprintf(stderr, "monitor_bench: the library did not open the simulated adapter\n");
            return 1;
        }
        form.resize(960, 640);
        form.show();
        form.TabbedNotebook1->select_page(TForm1::kReadWritePage);
        form.CANConnect->setChecked(true);
        form.FilterRows[0].Active->setChecked(true);
        const std::string log = root + "/monitor.log";
        form.LogFileName->setText(QString::fromStdString(log));
        form.RecordLogFile->setChecked(true);
        real_read = form.PassThruFunctionTable.PassThruReadMsgs;
        form.PassThruFunctionTable.PassThruReadMsgs = counting_read;

        // After each tick (connected after the form's own handler): what the
        // memo shows now, on the clock of the bench's own bookkeeping.
        std::vector<bool> visible(frames);
        long newest_visible = -1;
        double bookkeeping_ms = 0;
        QObject::connect(form.BusMonitorTimer, &QTimer::timeout, &form, [&] {
            const double t0 = thread_cpu_ms();
            long top = -1;
            for (QTextBlock b = form.BusMonitor->document()->firstBlock(); b.isValid();
                 b = b.next()) {
                long seq = sequence_of(b.text().toStdString());
                if (seq < 0 || seq <= newest_visible || seq >= static_cast<long>(frames))
                    break;
                visible[static_cast<size_t>(seq)] = true;
                top = std::max(top, seq);
            }
            newest_visible = std::max(newest_visible, top);
            bookkeeping_ms += thread_cpu_ms() - t0;
        });

        std::vector<orvane::sim::Frame> stream;
        stream.reserve(frames);
        for (uint32_t i = 0; i < frames; ++i) {
            const uint8_t payload[8] = {static_cast<uint8_t>(i >> 24),
                                        static_cast<uint8_t>(i >> 16),
                                        static_cast<uint8_t>(i >> 8),
                                        static_cast<uint8_t>(i),
                                        0xA5,
                                        0x5A,
                                        0xA5,
                                        0x5A};
            stream.push_back(orvane::sim::can_frame(orvane::sim::JMSG_CAN, {0x7E8}, payload,
                                                    i * kTicksPerFrame));
        }

        const auto wall0 = std::chrono::steady_clock::now();
        const double gui0 = thread_cpu_ms(), proc0 = process_cpu_ms();
        orvane::sim::inject_all(sim, stream);
        // Until every frame has left the ring, or well past the link's time.
        const auto give_up = wall0 + std::chrono::seconds(seconds * 2 + 5);
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &app, [&] {
            bool drained = sim.queued_bytes() == 0 && delivered >= frames &&
                           form.Monitor.MonitorRingCount == 0;
            if (drained || std::chrono::steady_clock::now() > give_up)
                app.quit();
        });
        watch.start(50);
        app.exec();
        const double wall_s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        const double gui_ms = thread_cpu_ms() - gui0 - bookkeeping_ms;
        const double proc_ms = process_cpu_ms() - proc0 - bookkeeping_ms;
        form.RecordLogFile->setChecked(false);

        // The log: one standard line per frame, in sequence.
        std::ifstream in(log, std::ios::binary);
        uint64_t logged = 0, out_of_order = 0;
        long expect = 0;
        for (std::string line; std::getline(in, line);) {
            if (sequence_of(line) != expect)
                ++out_of_order;
            expect = sequence_of(line) + 1;
            ++logged;
        }
        uint64_t seen = 0;
        for (bool v : visible)
            seen += v;
        const uint64_t shown = delivered - form.Monitor.MonitorRingCount;
        const uint64_t sent = frames - sim.dropped_bytes() / 20;

        std::printf("monitor_bench: %d s of 11-bit CAN frames with 8 data bytes at the link's %.0f "
                    "frames/s\n",
                    seconds, kLinkFramesPerSecond);
        std::printf("  sent      %8llu frames (run until drained: %.1f s)\n",
                    static_cast<unsigned long long>(sent), wall_s);
        std::printf("  shown     %8llu\n", static_cast<unsigned long long>(shown));
        std::printf("  visible   %8llu (%.1f%% of shown)\n", static_cast<unsigned long long>(seen),
                    shown ? 100.0 * seen / shown : 0.0);
        std::printf("  logged    %8llu (%llu out of sequence)\n",
                    static_cast<unsigned long long>(logged),
                    static_cast<unsigned long long>(out_of_order));
        std::printf("  gui_cpu   %8.1f ms = %.2f%% of one core (target <= 10%%)\n", gui_ms,
                    100.0 * gui_ms / (wall_s * 1e3));
        std::printf("  proc_cpu  %8.1f ms = %.2f%% of one core (simulator thread included)\n",
                    proc_ms, 100.0 * proc_ms / (wall_s * 1e3));
        // One refresh of a full memo, as the monitor does once per tick.
        constexpr int kRefreshes = 500;
        const QString full = QString::fromLatin1(form.Monitor.MonitorText.data());
        const double r0 = thread_cpu_ms();
        for (int i = 0; i < kRefreshes; ++i)
            form.BusMonitor->setPlainText(i % 2 ? full : full.mid(1));
        const double refresh_ms = (thread_cpu_ms() - r0) / kRefreshes;
        std::printf(
            "  refresh   %8.3f ms per %lld characters; once per line would be %.1f%% of one core\n",
            refresh_ms, static_cast<long long>(full.size()),
            refresh_ms * kLinkFramesPerSecond / 10.0);
        std::printf("  messages  %d\n", messages.shown);
        rc = sent == frames && shown == frames && logged == frames && out_of_order == 0 ? 0 : 1;
        form.CloseDeviceAtExit();
    }
    sim.stop();
    fs::remove_all(root);
    return rc;
}
