// page_library.cpp - the "Library" page: the registered interfaces, loading
// one library, binding its 14 functions and opening its device.
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <cstdio>

#include "orvane_maker.h"
#include "platform/dynamic_library.h"
#include "testapp/form.h"
#include "testapp/message_text.h"
#include "testapp/widgets.h"

namespace {

// Version texts are read into buffers of this size.
constexpr size_t kVersionTextSize = 256;
// At most this much of SerialNum is taken as a device name.
constexpr size_t kDeviceNameMax = 31;

std::string hex8(int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<uint32_t>(value));
    return text;
}

}  // namespace

void TForm1::BuildLibraryPage(QWidget *page)
{
    auto *grid = new QGridLayout(page);
    LibraryListBox = new QListWidget(page);
    LibraryListBox->setObjectName("LibraryListBox");
    grid->addWidget(LibraryListBox, 0, 0, 1, 4);
    LoadLibraryButton = MakeButton(page, "LoadLibraryButton", "Load Library");
    grid->addWidget(LoadLibraryButton, 1, 0);

    const struct {
        QLineEdit *TForm1::*field;
        const char *name;
        const char *caption;
    } texts[] = {
        {&TForm1::APIVersion, "APIVersion", "API Version"},
        {&TForm1::LibraryVersion, "LibraryVersion", "Library Version"},
        {&TForm1::FirmwareVersion, "FirmwareVersion", "Firmware Version"},
        {&TForm1::SerialNum, "SerialNum", "Serial Number"},
    };
    int row = 2;
    for (const auto &t : texts) {
        this->*t.field = MakeEdit(page, t.name);
        grid->addWidget(MakeLabel(page, t.caption), row, 0);
        grid->addWidget(this->*t.field, row++, 1, 1, 3);
    }
    LoadConfig = MakeButton(page, "LoadConfig", "Load Config");
    SaveConfig = MakeButton(page, "SaveConfig", "Save Config");
    grid->addWidget(LoadConfig, row, 0);
    grid->addWidget(SaveConfig, row, 1);
    grid->setRowStretch(0, 1);
    grid->setColumnStretch(3, 1);

    Wire(LoadLibraryButton, &QPushButton::clicked, &TForm1::LoadLibraryButtonClick);
    Wire(LoadConfig, &QPushButton::clicked, &TForm1::LoadConfigClick);
    Wire(SaveConfig, &QPushButton::clicked, &TForm1::SaveConfigClick);
}

void TForm1::DiscoverInterfaces()
{
    Discovery found = discover_interfaces();
    if (found.failure == Discovery::kSoftwareKey) {
        ShowMessage("Cannot open HKEY_LOCAL_MACHINE->Software key", "ERROR: " + hex8(found.error));
        return;
    }
    if (found.failure == Discovery::kPassThruKey) {
        ShowMessage("Cannot open HKEY_LOCAL_MACHINE->Software->PassThruSupport.04.04 key",
                    "ERROR: " + hex8(found.error));
        return;
    }
    Interfaces = std::move(found.interfaces);
    if (Interfaces.empty()) {
        ShowMessage("No interfaces found in registry");
        return;
    }
    for (const InterfaceEntry &entry : Interfaces)
        LibraryListBox->addItem(Latin1(interface_line(entry)));
    LibraryListBox->setCurrentRow(0);
    for (QCheckBox *d2 : {CAND2Support, MSCAND2Support, SPCAND2Support})
        d2->setEnabled(false);
}

std::string TForm1::SelectedVendor() const
{
    int s = LibraryListBox->currentRow();
    if (s < 0 || s >= static_cast<int>(Interfaces.size()))
        return {};
    return Interfaces[static_cast<size_t>(s)].vendor;
}

void TForm1::LoadLibraryButtonClick()
{
    int s = LibraryListBox->currentRow();
    // No line selected (nothing was found): there is no entry to load.
    if (s < 0 || s >= static_cast<int>(Interfaces.size()))
        return;
    const InterfaceEntry &entry = Interfaces[static_cast<size_t>(s)];

    // Only for a Vendor of exactly the maker word (the installer writes
    // "Vexlar LLC").
    if (entry.vendor == kMakerWord) {
        if (std::optional<std::string> serial = services.usb->serial_number())
            SetText(SerialNum, *serial);
    }

    uint32_t error = 0;
    LibraryHandle = platform::load_library(entry.library.c_str(), &error);
    if (LibraryHandle == nullptr) {
        ShowMessage("Cannot load " + entry.library + "(" + std::to_string(error) + ")");
        return;
    }
    const char *missing = bind_functions(PassThruFunctionTable, [this](const char *name) {
        return platform::library_function(LibraryHandle, name);
    });
    if (missing != nullptr) {
        ShowMessage(std::string("Cannot find ") + missing + " function in " + entry.library);
        return;
    }

    std::string device_name = TextOf(SerialNum, kDeviceNameMax);
    int32_t status = PassThruFunctionTable.PassThruOpen(
        !device_name.empty() && device_name[0] == 'I' ? device_name.c_str() : nullptr,
        &OpenDeviceID);
    if (status != STATUS_NOERROR) {
        ShowPassThruError("PassThruOpen", status);
        return;
    }

    char firmware[kVersionTextSize] = {};
    char library[kVersionTextSize] = {};
    char api[kVersionTextSize] = {};
    status = PassThruFunctionTable.PassThruReadVersion(OpenDeviceID, firmware, library, api);
    if (status != STATUS_NOERROR) {
        ShowPassThruError("PassThruReadVersion", status);
        return;
    }
    // Another vendor's library may leave a text unterminated.
    SetText(APIVersion, text_from_buffer(api, sizeof api));
    SetText(LibraryVersion, text_from_buffer(library, sizeof library));
    SetText(FirmwareVersion, text_from_buffer(firmware, sizeof firmware));

    SPARAM serial = {SERIAL_NUMBER, 0, 0};
    SPARAM_LIST list = {1, &serial};
    if (PassThruFunctionTable.PassThruIoctl(CANChannelID, GET_DEVICE_INFO, nullptr, &list) ==
        STATUS_NOERROR) {
        char text[16];
        std::snprintf(text, sizeof text, "%08d", static_cast<int32_t>(serial.Value));
        SetText(SerialNum, text);
    }
}
