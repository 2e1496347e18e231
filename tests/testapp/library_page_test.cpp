// library_page_test.cpp - the "Library" page against the recording fake:
// registry failures, loading and binding, the device name, versions and
// serial number, the USB step, and the device close at exit.
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
using Shown = std::vector<ShownMessage>;

TEST_F(LibraryPage, RegistryFailuresAndLaterLoadFailuresLockThePages)
{
    const std::string key = "Cannot open HKEY_LOCAL_MACHINE->Software";
    const std::pair<const char *, ShownMessage> registry[] = {
        {"", {key + " key", "ERROR: 00000002"}},
        {"/Software", {key + "->PassThruSupport.04.04 key", "ERROR: 00000002"}},
        {"/Software/PassThruSupport.04.04", {"No interfaces found in registry", "ERROR"}}};
    for (const auto &[dir, shown] : registry) {
        messages.shown.clear();
        std::filesystem::create_directories(root() + "/etc/passthru/registry" + dir);
        make_form().LoadLibraryButtonClick();  // no line to load: does nothing
        EXPECT_EQ(messages.shown, Shown{shown}) << dir;
        EXPECT_EQ(form().LibraryHandle, nullptr);
    }

    std::string not_elf = root() + "/notalibrary.so";
    std::ofstream(not_elf) << "this is text, not a shared object\n";
    // An empty path (a FunctionLibrary missing or too long to read) loads
    // nothing, not the program itself; a symbol left unresolved fails now.
    const std::pair<std::string, const char *> loads[] = {{"/nonexistent.so", "(2)"},
                                                          {not_elf, "(193)"},
                                                          {"", "(2)"},
                                                          {UNRESOLVED_SYMBOL_LIB, "(126)"}};
    for (const auto &[path, code] : loads) {
        TForm1 &form = loaded_form();
        ASSERT_NE(form.LibraryHandle, nullptr);
        form.Interfaces[0].library = path;
        form.LoadLibraryButtonClick();
        EXPECT_EQ(form.LibraryHandle, nullptr) << path;
        EXPECT_EQ(messages.shown.back().text, "Cannot load " + path + code);
        EXPECT_FALSE(form.TabbedNotebook1->select_page(TForm1::kFilterPage));
    }
}

TEST_F(LibraryPage, LoadOpensTheDeviceAndShowsWhatTheLibraryAnswers)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    const std::vector<std::string> all = {"PassThruOpen", "PassThruReadVersion", "PassThruIoctl"};
    // GET_DEVICE_INFO on CANChannelID (0: CAN never connected), SERIAL_NUMBER.
    EXPECT_EQ(lib.calls.at(2).args, (std::vector<uint32_t>{0, GET_DEVICE_INFO}));
    EXPECT_EQ(lib.calls[2].params.at(0).Parameter, uint32_t{SERIAL_NUMBER});
    EXPECT_EQ(form.SerialNum->text(), "00004711");

    // A typed device name is passed only when it begins with I; a failing
    // call stops the steps after it and leaves SerialNum as typed.
    const struct {
        const char *typed;
        size_t steps;  // the calls made, the last one answering `status`
        int32_t status;
        const char *shown;
    } cases[] = {{"", 3, 0, ""},
                 {"IOT:5", 3, 0, ""},
                 {"COM3", 1, ERR_DEVICE_NOT_CONNECTED, "PassThruOpen returned 8"},
                 {"x", 2, ERR_FAILED, "PassThruReadVersion returned 7"},
                 {"y", 3, ERR_NOT_SUPPORTED, ""}};
    for (const auto &c : cases) {
        lib.calls.clear();
        messages.shown.clear();
        form.SerialNum->setText(c.typed);
        lib.statuses[all[c.steps - 1]] = {c.status};
        form.LoadLibraryButtonClick();
        EXPECT_EQ(lib.names(), std::vector<std::string>(all.begin(), all.begin() + c.steps));
        EXPECT_EQ(messages.shown, (*c.shown ? Shown{{c.shown, "ERROR"}} : Shown{})) << c.typed;
        EXPECT_EQ(lib.calls[0].name,
                  c.typed[0] == 'I' ? std::optional<std::string>(c.typed) : std::nullopt);
        if (c.status) {
            EXPECT_EQ(form.SerialNum->text(), c.typed);
        }
    }

    // A foreign library that fills the version buffers without terminators.
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
    for (const char *vendor : {"Vexlar LLC", "vexlar", "Vexlar ", "Vexlar"}) {
        usb.reads = 0;
        register_library(FAKE_J2534_LIB, vendor);
        make_form().LoadLibraryButtonClick();
        EXPECT_EQ(usb.reads, std::string(vendor) == "Vexlar" ? 1 : 0) << vendor;
    }
    // The device's own serial number, read afterwards, replaces the USB one.
    EXPECT_EQ(form().SerialNum->text(), "00004711");
    fake().statuses["PassThruIoctl"] = {ERR_NOT_SUPPORTED};
    form().LoadLibraryButtonClick();
    EXPECT_EQ(form().SerialNum->text(), "FT5X9ABC");
    EXPECT_FALSE(fake().of("PassThruOpen").back().name);  // "FT..." names no device

    usb.serial.reset();  // no converter, or no access to it: SerialNum stays
    form().SerialNum->setText("typed");
    fake().statuses["PassThruIoctl"] = {ERR_NOT_SUPPORTED};
    form().LoadLibraryButtonClick();
    EXPECT_EQ(form().SerialNum->text(), "typed");
    EXPECT_EQ(usb.reads, 3);
}

TEST_F(LibraryPage, MissingFunctionUnlocksThePagesButIsNeverCalled)
{
    TForm1 &form = loaded_form(FAKE_J2534_NO_IOCTL_LIB);
    EXPECT_EQ(messages.shown, (Shown{{std::string("Cannot find PassThruIoctl function in ") +
                                          FAKE_J2534_NO_IOCTL_LIB,
                                      "ERROR"}}));
    EXPECT_TRUE(form.TabbedNotebook1->select_page(TForm1::kConnectPage));
    FakeJ2534 &lib = fake(FAKE_J2534_NO_IOCTL_LIB);
    EXPECT_TRUE(lib.calls.empty());  // binding stopped before PassThruOpen

    // The handlers work with what was bound and refuse what was not.
    messages.shown.clear();
    form.CANConnect->setChecked(true);
    form.CAND2Support->setChecked(true);
    EXPECT_EQ(lib.names(), (std::vector<std::string>{"PassThruConnect"}));
    EXPECT_EQ(messages.shown,
              (Shown{{"PassThruIoctl is not available in the loaded library", "ERROR"}}));

    // Names after the missing one never point into an older library.
    PassThruFunctionTable table;
    int fake_address = 0;
    const char *missing = bind_functions(table, [&](const char *name) -> void * {
        return std::string(name) == "PassThruReadVersion" ? nullptr : &fake_address;
    });
    EXPECT_STREQ(missing, "PassThruReadVersion");
    EXPECT_NE(table.PassThruSetProgrammingVoltage, nullptr);
    EXPECT_EQ(table.PassThruReadVersion, nullptr);
    EXPECT_EQ(table.PassThruIoctl, nullptr);
}

TEST_F(LibraryPage, ClosingTheWindowClosesAnOpenDeviceOnce)
{
    register_library(FAKE_J2534_LIB);
    FakeJ2534 *lib = nullptr;
    for (int round = 0; round < 2; ++round) {
        if (lib) {  // the second round's opens both fail: nothing to close
            lib->calls.clear();
            lib->statuses["PassThruOpen"] = {ERR_DEVICE_NOT_CONNECTED, ERR_DEVICE_NOT_CONNECTED};
        }
        RunQuillon(application(), Services{&messages, &files, &clock, &usb}, [&](TForm1 &form) {
            form.LoadLibraryButtonClick();
            lib = &fake();
            lib->device_id = 42;  // the next open's device
            form.LoadLibraryButtonClick();
            QTimer::singleShot(0, &form, [&form] { form.close(); });
        });
        ASSERT_NE(lib, nullptr);
        ASSERT_EQ(lib->count("PassThruClose"), round ? 0u : 1u);
        if (round == 0) {
            EXPECT_EQ(lib->of("PassThruClose")[0].args, (std::vector<uint32_t>{42}));
        }
    }
}

}  // namespace
}  // namespace quillon_test
