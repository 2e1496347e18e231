// library_page_test.cpp - the "Library" page against the recording fake:
// the interface list and its failures, loading and binding, the device
// name, versions and serial number, the USB step, and the device close at
// exit.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include <fstream>

#include "testapp/program.h"
#include "testapp/tabbed_notebook.h"
#include "tests/testapp/form_fixture.h"

namespace quillon_test {
namespace {

using LibraryPage = FormTest;

QStringList lines_of(const QListWidget *list)
{
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

TEST_F(LibraryPage, ListsTheRegisteredInterfaces)
{
    register_library(FAKE_J2534_LIB);
    register_interface("Acme-Box", "Name=\"Acme Box\"\nFunctionLibrary=\"/opt/acme/libacme.so\"\n");
    TForm1 &form = make_form();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(lines_of(form.LibraryListBox),
              QStringList({"    Acme Box     (/opt/acme/libacme.so)",
                           QString("Vexlar LLC    Orvane-FD     (") + FAKE_J2534_LIB + ")"}));
    EXPECT_EQ(form.LibraryListBox->currentRow(), 0);
    EXPECT_FALSE(form.CAND2Support->isEnabled());
    EXPECT_FALSE(form.MSCAND2Support->isEnabled());
    EXPECT_FALSE(form.SPCAND2Support->isEnabled());
}

TEST_F(LibraryPage, RegistryFailuresAndNothingToLoad)
{
    make_form();  // an empty root: no "Software" key
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{
                  {"Cannot open HKEY_LOCAL_MACHINE->Software key", "ERROR: 00000002"}}));
    // "Load Library" with no line to load does nothing.
    form().LoadLibraryButtonClick();
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(form().LibraryHandle, nullptr);

    messages.shown.clear();
    std::filesystem::create_directories(root() + "/etc/passthru/registry/Software");
    make_form();
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{
                  {"Cannot open HKEY_LOCAL_MACHINE->Software->PassThruSupport.04.04 key",
                   "ERROR: 00000002"}}));

    messages.shown.clear();
    std::filesystem::create_directories(root() +
                                        "/etc/passthru/registry/Software/PassThruSupport.04.04");
    make_form();
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"No interfaces found in registry", "ERROR"}}));
    EXPECT_EQ(form().LibraryListBox->count(), 0);
    EXPECT_TRUE(form().CAND2Support->isEnabled());
}

TEST_F(LibraryPage, LoadFailuresKeepThePagesLocked)
{
    std::string not_elf = root() + "/notalibrary.so";
    std::ofstream(not_elf) << "this is text, not a shared object\n";
    const struct {
        std::string path;
        std::string message;
    } cases[] = {
        {"/nonexistent.so", "Cannot load /nonexistent.so(2)"},
        {not_elf, "Cannot load " + not_elf + "(193)"},
        {"libnonexistent-quillon.so", "Cannot load libnonexistent-quillon.so(2)"},
    };
    for (const auto &c : cases) {
        messages.shown.clear();
        TForm1 &form = loaded_form(c.path);
        EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{c.message, "ERROR"}})) << c.path;
        EXPECT_EQ(form.LibraryHandle, nullptr);
        EXPECT_FALSE(form.TabbedNotebook1->select_page(TForm1::kConnectPage));
    }

    // A later failed load locks the pages again.
    messages.shown.clear();
    TForm1 &form = loaded_form();
    ASSERT_NE(form.LibraryHandle, nullptr);
    register_interface("Broken", "Name=\"Broken\"\nFunctionLibrary=\"/nonexistent.so\"\n");
    form.LibraryListBox->addItem("Broken");
    form.Interfaces.push_back({"Broken", "/nonexistent.so", ""});
    form.LibraryListBox->setCurrentRow(1);
    form.LoadLibraryButtonClick();
    EXPECT_EQ(form.LibraryHandle, nullptr);
    EXPECT_EQ(messages.shown.back(), (ShownMessage{"Cannot load /nonexistent.so(2)", "ERROR"}));
    EXPECT_FALSE(form.TabbedNotebook1->select_page(TForm1::kFilterPage));
}

TEST_F(LibraryPage, LoadOpensTheDeviceAndShowsVersionsAndSerialNumber)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(lib.names(),
              (std::vector<std::string>{"PassThruOpen", "PassThruReadVersion", "PassThruIoctl"}));
    EXPECT_FALSE(lib.calls[0].name.has_value());  // opened without a name
    EXPECT_EQ(form.OpenDeviceID, 1u);
    EXPECT_EQ(lib.calls[1].args, (std::vector<uint32_t>{1}));
    EXPECT_EQ(form.APIVersion->text(), "04.04");
    EXPECT_EQ(form.LibraryVersion->text(), "01.00");
    EXPECT_EQ(form.FirmwareVersion->text(), "FW 1.23");
    // GET_DEVICE_INFO on CANChannelID (0: CAN never connected), SERIAL_NUMBER.
    EXPECT_EQ(lib.calls[2].args, (std::vector<uint32_t>{0, GET_DEVICE_INFO}));
    ASSERT_EQ(lib.calls[2].params.size(), 1u);
    EXPECT_EQ(lib.calls[2].params[0].Parameter, uint32_t{SERIAL_NUMBER});
    EXPECT_EQ(form.SerialNum->text(), "00004711");
    EXPECT_EQ(usb.reads, 0);  // "Vexlar LLC" is not the maker word
    EXPECT_TRUE(form.TabbedNotebook1->select_page(TForm1::kPeriodicPage));

    // Again, with a device name typed in: only one that begins with I is passed.
    for (const char *typed : {"IOT:5", "COM3"}) {
        lib.calls.clear();
        form.SerialNum->setText(typed);
        form.LoadLibraryButtonClick();
        ASSERT_FALSE(lib.calls.empty());
        EXPECT_EQ(lib.calls[0].name,
                  typed[0] == 'I' ? std::optional<std::string>(typed) : std::nullopt);
    }
}

TEST_F(LibraryPage, FailingCallsAndForeignLibraryTexts)
{
    register_library(FAKE_J2534_LIB);
    TForm1 &form = make_form();
    form.LoadLibraryButtonClick();
    FakeJ2534 &lib = fake();

    const struct {
        const char *function;
        int32_t status;
        std::vector<std::string> calls;
        std::vector<ShownMessage> shown;
    } cases[] = {
        {"PassThruOpen",
         ERR_DEVICE_NOT_CONNECTED,
         {"PassThruOpen"},
         {{"PassThruOpen returned 8", "ERROR"}}},
        {"PassThruReadVersion",
         ERR_FAILED,
         {"PassThruOpen", "PassThruReadVersion"},
         {{"PassThruReadVersion returned 7", "ERROR"}}},
        {"PassThruIoctl",
         ERR_NOT_SUPPORTED,
         {"PassThruOpen", "PassThruReadVersion", "PassThruIoctl"},
         {}},
    };
    for (const auto &c : cases) {
        lib.calls.clear();
        messages.shown.clear();
        form.SerialNum->setText("unchanged");
        lib.statuses[c.function] = {c.status};
        form.LoadLibraryButtonClick();
        EXPECT_EQ(lib.names(), c.calls) << c.function;
        EXPECT_EQ(messages.shown, c.shown) << c.function;
        EXPECT_EQ(form.SerialNum->text(), "unchanged") << c.function;
    }

    // A library that fills the version buffers without terminators.
    lib.hooks["PassThruReadVersion"] = [](FakeCall &call) {
        for (int i = 0; i < 3; ++i)
            std::memset(call.ptr[i], 'A' + i, 256);
        return STATUS_NOERROR;
    };
    form.LoadLibraryButtonClick();
    EXPECT_EQ(form.FirmwareVersion->text(), QString(256, 'A'));
    EXPECT_EQ(form.APIVersion->text(), QString(256, 'C'));
}

TEST_F(LibraryPage, UsbSerialNumberOnlyForTheMakerWord)
{
    usb.serial = "FT5X9ABC";
    for (const char *vendor : {"Vexlar LLC", "vexlar", "Vexlar "}) {
        usb.reads = 0;
        register_library(FAKE_J2534_LIB, vendor);
        make_form().LoadLibraryButtonClick();
        EXPECT_EQ(usb.reads, 0) << vendor;
    }

    register_library(FAKE_J2534_LIB, "Vexlar");
    TForm1 &form = make_form();
    form.LoadLibraryButtonClick();
    EXPECT_EQ(usb.reads, 1);
    // The device's own serial number, read afterwards, replaces the USB one.
    EXPECT_EQ(form.SerialNum->text(), "00004711");
    fake().statuses["PassThruIoctl"] = {ERR_NOT_SUPPORTED};
    form.LoadLibraryButtonClick();
    EXPECT_EQ(form.SerialNum->text(), "FT5X9ABC");
    EXPECT_FALSE(fake().of("PassThruOpen").back().name);  // "FT..." names no device

    usb.serial.reset();  // no converter, or no access to it: SerialNum stays
    form.SerialNum->setText("typed");
    fake().statuses["PassThruIoctl"] = {ERR_NOT_SUPPORTED};
    form.LoadLibraryButtonClick();
    EXPECT_EQ(form.SerialNum->text(), "typed");
    EXPECT_EQ(usb.reads, 3);
}

TEST_F(LibraryPage, MissingFunctionUnlocksThePagesButIsNeverCalled)
{
    TForm1 &form = loaded_form(FAKE_J2534_NO_IOCTL_LIB);
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{
                  {std::string("Cannot find PassThruIoctl function in ") + FAKE_J2534_NO_IOCTL_LIB,
                   "ERROR"}}));
    EXPECT_NE(form.LibraryHandle, nullptr);
    EXPECT_TRUE(form.TabbedNotebook1->select_page(TForm1::kConnectPage));
    FakeJ2534 &lib = fake(FAKE_J2534_NO_IOCTL_LIB);
    EXPECT_TRUE(lib.calls.empty());  // binding stopped before PassThruOpen

    // The handlers work with what was bound and refuse what was not.
    messages.shown.clear();
    form.CANConnect->setChecked(true);
    form.CAND2Support->setChecked(true);
    EXPECT_EQ(lib.names(), (std::vector<std::string>{"PassThruConnect"}));
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{
                  {"PassThruIoctl is not available in the loaded library", "ERROR"}}));

    // Binding a complete library after one that lacked a name, and the other
    // way round: names after the missing one never point into the old library.
    PassThruFunctionTable table;
    int fake_address = 0;
    const char *missing = bind_functions(table, [&](const char *name) -> void * {
        return std::string(name) == "PassThruReadVersion" ? nullptr : &fake_address;
    });
    EXPECT_STREQ(missing, "PassThruReadVersion");
    EXPECT_NE(table.PassThruSetProgrammingVoltage, nullptr);
    EXPECT_EQ(table.PassThruReadVersion, nullptr);
    EXPECT_EQ(table.PassThruGetLastError, nullptr);
    EXPECT_EQ(table.PassThruIoctl, nullptr);
}

TEST_F(LibraryPage, ClosingTheWindowClosesTheDeviceOnce)
{
    register_library(FAKE_J2534_LIB);
    FakeJ2534 *lib = nullptr;
    int status =
        RunQuillon(application(), Services{&messages, &files, &clock, &usb}, [&](TForm1 &form) {
            form.LoadLibraryButtonClick();
            lib = &fake();
            lib->device_id = 42;  // the next open's device
            form.LoadLibraryButtonClick();
            QTimer::singleShot(0, &form, [&form] { form.close(); });
        });
    EXPECT_EQ(status, 0);
    ASSERT_NE(lib, nullptr);
    ASSERT_EQ(lib->count("PassThruClose"), 1u);
    EXPECT_EQ(lib->of("PassThruClose")[0].args, (std::vector<uint32_t>{42}));

    // Without an open device nothing is closed.
    lib->calls.clear();
    lib->statuses["PassThruOpen"] = {ERR_DEVICE_NOT_CONNECTED};
    RunQuillon(application(), Services{&messages, &files, &clock, &usb}, [&](TForm1 &form) {
        form.LoadLibraryButtonClick();
        QTimer::singleShot(0, &form, [&form] { form.close(); });
    });
    EXPECT_EQ(lib->count("PassThruClose"), 0u);
}

}  // namespace
}  // namespace quillon_test
