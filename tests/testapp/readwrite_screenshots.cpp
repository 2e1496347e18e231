// readwrite_screenshots.cpp - takes the README's pictures of quillon's
// "Read / Write" page: the program's own start on a real X server (Xvfb)
// against the built library and the simulated adapter, which sends CAN
// traffic while the monitor runs: the standard lines, the ASC form and the
// "Sort Msgs" view.  Usage (scripts/screenshots):
//   quillon_readwrite_screenshots <library.so> <output folder>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "sim/bus_traffic.h"
#include "sim/simulator.h"
#include "testapp/form.h"
#include "testapp/program.h"
#include "testapp/tabbed_notebook.h"
#include "tests/passthru/registry_fixture.h"
#include "tests/testapp/screenshot_setup.h"

namespace fs = std::filesystem;

namespace {

// A small bus: an engine ECU answering and two broadcasts.
void send_traffic(orvane::sim::Simulator &sim, uint32_t round)
{
    using orvane::sim::can_frame;
    const uint32_t now = sim.now_ticks();
    const uint8_t rpm[] = {0x04, 0x41, 0x0C, static_cast<uint8_t>(0x1A + round % 7),
                           0xF8, 0x55, 0x55, 0x55};
    const uint8_t speed[] = {0x03, 0x41, 0x0D, static_cast<uint8_t>(round % 120),
                             0x55, 0x55, 0x55, 0x55};
    const uint8_t status[] = {0x10, static_cast<uint8_t>(round), 0x00, 0x3C};
    const uint8_t wheels[] = {0x12, 0x34, 0x12, 0x30,
                              0x12, 0x38, 0x12, static_cast<uint8_t>(round)};
    sim.inject(can_frame(orvane::sim::JMSG_CAN, {0x7E8}, rpm, now));
    sim.inject(can_frame(orvane::sim::JMSG_CAN, {0x7E8}, speed, now + 300));
    if (round % 2 == 0)
        sim.inject(can_frame(orvane::sim::JMSG_CAN, {0x3E9}, status, now + 900));
    if (round % 3 == 0)
        sim.inject(can_frame(orvane::sim::JMSG_CAN, {0x1A0}, wheels, now + 1200));
}

}  // namespace

int main(int argc, char **argv)
{
    std::optional<ScreenshotSetup> setup = screenshot_setup(argc, argv, "quillon-rw-shots-");
    if (!setup)
        return 2;
    const fs::path &out = setup->out, &root = setup->root, &library = setup->library;
    tenq_test::write_device_entry(root.string(),
                                  "Vendor=\"Vexlar LLC\"\nName=\"Orvane-FD\"\nFunctionLibrary=\"" +
                                      library.string() + "\"\nCAN=dword:00000001\n");

    std::unique_ptr<orvane::sim::Simulator> sim = start_adapter(root);

    QApplication app(argc, argv);
    QApplication::setApplicationName("quillon");
    int failures = 0;
    uint32_t round = 0;
    QTimer traffic;
    QObject::connect(&traffic, &QTimer::timeout, [&] { send_traffic(*sim, round++); });

    RunQuillon(app, desktop_services(), [&](TForm1 &form) {
        form.resize(960, 720);
        form.move(0, 0);
        // Steps a quarter of a second apart, so the monitor shows the bus.
        std::vector<std::function<void()>> steps = {
            [&] {
                form.LoadLibraryButtonClick();
                form.CANConnect->setChecked(true);
                form.FilterRows[0].Active->setChecked(true);
                form.TabbedNotebook1->select_page(TForm1::kReadWritePage);
                form.Write1Protocol->setCurrentIndex(kCAN);
                form.Write1Msg->setText("0 0 0x07 0xDF 0x02 0x01 0x0C");
                form.Write1Description->setText("Engine speed request");
                form.Write1SaveClick();
                form.Write1Msg->setText("0 0 0x07 0xDF 0x02 0x01 0x0D");
                form.Write1Description->setText("Vehicle speed request");
                form.Write1SaveClick();
                form.Write1SendClick();
                form.LogFileName->setText("can-trace.log");
                traffic.start(40);
            },
            [] {},
            [] {},
            [] {},
            [] {},
            [] {},
            [] {},
            [&] { failures += !grab(form, out / "quillon-monitor.png"); },
            [&] { form.ASCFormat->setChecked(true); },
            [] {},
            [] {},
            [] {},
            [&] { failures += !grab(form, out / "quillon-monitor-asc.png"); },
            [&] {
                form.ASCFormat->setChecked(false);
                form.SortMsgs->setChecked(true);
            },
            [] {},
            [] {},
            [] {},
            [&] { failures += !grab(form, out / "quillon-monitor-sort.png"); },
            [&] {
                traffic.stop();
                form.close();
            },
        };
        auto *stepper = new QTimer(&form);
        auto next = std::make_shared<size_t>(0);
        QObject::connect(stepper, &QTimer::timeout, [steps, next, stepper] {
            if (*next < steps.size())
                steps[(*next)++]();
            else
                stepper->stop();
        });
        stepper->start(250);
    });
    sim->stop();
    fs::remove_all(root);
    std::printf("%s\n", failures ? "some screenshots failed" : "screenshots written");
    return failures ? 1 : 0;
}
