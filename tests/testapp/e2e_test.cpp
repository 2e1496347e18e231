// e2e_test.cpp - quillon against the built Orvane library and the simulated
// adapter: the library registered as the 64-bit installer registers it, its
// versions and serial number, a refused protocol, a filter row reaching the
// adapter, and every page built so far rendered offscreen.
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>

#include <chrono>
#include <filesystem>

#include "testapp/tabbed_notebook.h"
#include "tests/testapp/form_fixture.h"

namespace quillon_test {
namespace {

using namespace std::chrono_literals;
using EndToEnd = FormTest;

TEST_F(EndToEnd, LoadConnectFilterAndRender)
{
    start_sim(7);
    // The built library where the installer puts it, with the installer's
    // entry, and another vendor's entry without a Vendor value.
    std::string library = root() + "/usr/local/lib/passthru/libtenqv264.so";
    std::filesystem::create_directories(std::filesystem::path(library).parent_path());
    std::filesystem::copy_file(TENQ_LIB_0404, library);
    std::string lines = "Vendor=\"Vexlar LLC\"\nName=\"Orvane-FD\"\nConfigApplication=\"quillon\"\n"
                        "FunctionLibrary=\"" +
                        library + "\"\n";
    for (const char *protocol : {"CAN", "ISO15765", "MSCAN", "MSISO15765", "CAN_CH1",
                                 "ISO15765_CH1", "CAN_CH2", "ISO15765_CH2", "ISO9141", "ISO14230"})
        lines += std::string(protocol) + "=dword:00000001\n";
    register_interface("Vexlar-Orvane-FD", lines);
    register_interface("Acme-Scan",
                       "Name=\"Acme Scan\"\nFunctionLibrary=\"/opt/acme/libacme.so\"\n");

    TForm1 &form = make_form();
    ASSERT_TRUE(messages.shown.empty()) << messages.shown[0];
    ASSERT_EQ(form.LibraryListBox->count(), 2);
    EXPECT_EQ(form.LibraryListBox->item(0)->text(), "    Acme Scan     (/opt/acme/libacme.so)");
    EXPECT_EQ(form.LibraryListBox->item(1)->text().toStdString(),
              "Vexlar LLC    Orvane-FD     (" + library + ")");

    form.LibraryListBox->setCurrentRow(1);
    form.LoadLibraryButtonClick();
    ASSERT_TRUE(messages.shown.empty()) << messages.shown[0];
    EXPECT_EQ(form.OpenDeviceID, 7u);
    EXPECT_EQ(form.APIVersion->text(), "04.04");
    EXPECT_EQ(form.LibraryVersion->text(), "02.06");
    EXPECT_EQ(form.FirmwareVersion->text(), "01.07");
    EXPECT_EQ(form.SerialNum->text(), "12345678");

    form.J1850PWMConnect->setChecked(true);
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"PassThruConnect returned 1", "ERROR"}}));

    form.CANConnect->setChecked(true);
    sim().log().clear();
    form.FilterRows[0].Active->setChecked(true);
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(form.FilterRowID[1], 63u);  // CAN's filters fill from the top
    // Mask, pattern and flow control of slot 63: the filter frames (op 3).
    ASSERT_TRUE(sim().log().wait_until(
        [](const std::vector<orvane::sim::LoggedFrame> &log) {
            int types = 0;
            for (const auto &e : log)
                if (e.frame.op == 3 && e.frame.id == 63)
                    types |= 1 << e.frame.type;
            return types == 0b1110;
        },
        5s));

    // The pages built so far, drawn on the offscreen platform: each differs
    // from the blank window and from the page before it.
    form.resize(900, 640);
    form.show();
    QImage previous;
    for (int page :
         {TForm1::kLibraryPage, TForm1::kConnectPage, TForm1::kFilterPage, TForm1::kPeriodicPage}) {
        ASSERT_TRUE(form.TabbedNotebook1->select_page(page));
        QImage image = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QImage blank(image.size(), image.format());
        blank.fill(form.palette().window().color());
        EXPECT_NE(image, blank) << page;
        EXPECT_NE(image, previous) << page;
        previous = image;
    }
    form.CloseDeviceAtExit();
}

}  // namespace
}  // namespace quillon_test
