// screenshots.cpp - takes the README's pictures of quillon: the program's
// own start (RunQuillon with the desktop services) on a real X server,
// normally Xvfb, against the built library and the simulated adapter, and
// a grab of the X screen for each page.  Usage (scripts/screenshots):
//   quillon_screenshots <library.so> <output folder>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "sim/simulator.h"
#include "testapp/form.h"
#include "testapp/program.h"
#include "testapp/tabbed_notebook.h"
#include "tests/testapp/screenshot_setup.h"

namespace fs = std::filesystem;

namespace {

void write_entry(const fs::path &root, const std::string &key, const std::string &lines)
{
    fs::path dir = root / "etc/passthru/registry/Software/PassThruSupport.04.04" / key;
    fs::create_directories(dir);
    std::ofstream(dir / "values.conf") << lines;
}

}  // namespace

int main(int argc, char **argv)
{
    std::optional<ScreenshotSetup> setup = screenshot_setup(argc, argv, "quillon-shots-");
    if (!setup)
        return 2;
    const fs::path &out = setup->out, &root = setup->root, &library = setup->library;
    write_entry(root, "Vexlar-Orvane-FD",
                "Vendor=\"Vexlar "
                "LLC\"\nName=\"Orvane-FD\"\nConfigApplication=\"quillon\"\nFunctionLibrary=\"" +
                    library.string() + "\"\nCAN=dword:00000001\nISO15765=dword:00000001\n");
    write_entry(root, "Acme-Scan",
                "Name=\"Acme Scan\"\nFunctionLibrary=\"/opt/acme/libacme.so\"\n");

    std::unique_ptr<orvane::sim::Simulator> sim = start_adapter(root);

    QApplication app(argc, argv);
    QApplication::setApplicationName("quillon");
    int failures = 0;
    RunQuillon(app, desktop_services(), [&](TForm1 &form) {
        form.resize(1200, 760);
        form.move(0, 0);
        QTimer::singleShot(300, &form, [&] {
            failures += !grab(form, out / "quillon-library-list.png");
            form.LibraryListBox->setCurrentRow(1);
            form.LoadLibraryButtonClick();
            form.CANConnect->setChecked(true);
            form.ISO15765Connect->setChecked(true);
            form.FilterRows[0].Active->setChecked(true);
            form.FilterRows[1].Active->setChecked(true);
            form.PeriodicRows[0].Active->setChecked(true);
            // The configuration and I/O pages with what the adapter answers.
            form.GetCANSetup->click();
            form.ISO9141Connect->setChecked(true);
            form.GetISOSetup->click();
            form.ISOFiveBaud->click();
            form.ProgVoltage->setText("5000");
            form.SetProgVoltage->click();
            form.ADCRead->click();
            form.DIO1CheckBox->setChecked(true);
            form.WriteDIO->click();
            form.ReadDIO->click();
            // A message written with loopback on, echoed into the monitor.
            form.LoopBack->setChecked(true);
            form.Write1Protocol->setCurrentIndex(kCAN);
            form.Write1Msg->setText("0x00 0x00 0x07 0xE0 0x02 0x10 0x03");
            form.Write1Description->setText("Diagnostic session");
            form.Write1Save->click();
            form.Write1SendClick();
            QElapsedTimer monitor;
            monitor.start();
            while (monitor.elapsed() < 600)
                QApplication::processEvents(QEventLoop::AllEvents, 50);
            const struct {
                int page;
                const char *name;
            } pages[] = {
                {TForm1::kLibraryPage, "quillon-library.png"},
                {TForm1::kConnectPage, "quillon-connect.png"},
                {TForm1::kIoControl1Page, "quillon-ioctl1.png"},
                {TForm1::kIoControl2Page, "quillon-ioctl2.png"},
                {TForm1::kFilterPage, "quillon-filters.png"},
                {TForm1::kPeriodicPage, "quillon-periodic.png"},
                {TForm1::kProgVoltagePage, "quillon-progvoltage.png"},
                {TForm1::kReadWritePage, "quillon-readwrite.png"},
            };
            for (const auto &p : pages) {
                form.TabbedNotebook1->select_page(p.page);
                failures += !grab(form, out / p.name);
            }
            form.close();
        });
    });
    sim->stop();
    fs::remove_all(root);
    std::printf("%s\n", failures ? "some screenshots failed" : "screenshots written");
    return failures ? 1 : 0;
}
