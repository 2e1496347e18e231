/*
 * installer.cpp - tenqinstall and orvaneiotinstall.
 *
 * Run from the folder that holds the installation set: copies the pass-thru
 * libraries into the two library folders, registers the device in the J2534
 * 04.04 registry layout and in the older layout, copies quillon into the
 * programs folder and puts a launcher for it on the user's desktop.  Every
 * end waits for a key, so a user who started it from a file manager can read
 * what it did.  Built once per device name: DEVICE_SUFFIX is "FD" or "IOT".
 */
#include "platform/console.h"
#include "platform/desktop_launcher.h"
#include "platform/file_replace.h"
#include "platform/paths.h"
#include "platform/registry.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "orvane_maker.h"

#ifndef DEVICE_SUFFIX
#error "DEVICE_SUFFIX must be \"FD\" or \"IOT\""
#endif

namespace {

using namespace platform;

constexpr const char *kDeviceKey = "Vexlar-Orvane-" DEVICE_SUFFIX;
constexpr const char *kDeviceName = "Orvane-" DEVICE_SUFFIX;
constexpr const char *kVendorName = "Vexlar LLC";
// A vendor slot whose Name starts with this word is ours ("Vexlar LLC").
constexpr std::string_view kMaker = kMakerWord;
constexpr const char *kConfigApplication = "quillon";
constexpr const char *kProtocolsSupported = "CAN,ISO15765,ISO9141,ISO14230";

constexpr const char *kLib0404Bits32 = "libtenqv232.so";
constexpr const char *kLib0404Bits64 = "libtenqv264.so";
constexpr const char *kLibOldApi = "libtenq32.so";  // the only older-API library
constexpr const char *kProgram = "quillon";
constexpr const char *kLauncher = "quillon.desktop";
constexpr const char *kLauncherComment = "J2534";

// A program can load only a library of its own word size, and Linux has no
// separate 32-bit registry view: the 04.04 entry names the library that
// programs of the installer's word size load.
constexpr bool kBits64 = sizeof(void *) == 8;
constexpr const char *kLib0404Registered = kBits64 ? kLib0404Bits64 : kLib0404Bits32;

// The libraries the registry entries name, which the installation is not
// complete without.
const char *const kRegisteredLibraries[] = {kLib0404Registered, kLibOldApi};

constexpr unsigned kLibraryMode = 0644;
constexpr unsigned kProgramMode = 0755;

constexpr int kVendorSlots = 8;        // Vendor1 .. Vendor8
constexpr uint32_t kNameBuffer = 240;  // a longer vendor Name cannot be read
// The test application reads FunctionLibrary into 256 bytes with the
// terminator; a longer path would be cut and its load would fail.
constexpr size_t kMaxFunctionLibrary = 255;

const char *const kDeviceValuesDeleted[] = {
    "Vendor",   "Name",         "ConfigApplication", "FunctionLibrary", "CAN",   "ISO15765",
    "J1850PWM", "J1850VPW",     "ISO9141",           "ISO14230",        "MSCAN", "MSISO15765",
    "CAN_CH1",  "ISO15765_CH1", "CAN_CH2",           "ISO15765_CH2"};

// The flags written as DWORD 1.  J1850PWM and J1850VPW are deleted above and
// not written again: the library refuses both protocols.
const char *const kProtocolFlags[] = {"CAN",     "ISO15765",     "MSCAN",   "MSISO15765",
                                      "CAN_CH1", "ISO15765_CH1", "CAN_CH2", "ISO15765_CH2",
                                      "ISO9141", "ISO14230"};

const char *const kVendorValuesDeleted[] = {"Id", "Name"};
const char *const kDevice2ValuesDeleted[] = {"DeviceId", "Name", "ProtocolsSupported",
                                             "ConfigApplication", "FunctionLibrary"};

// An open registry key, closed when it goes out of scope (also on the way
// out after a failure).
class Key {
  public:
    Key() = default;
    ~Key() { close(); }
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;

    HKEY get() const { return handle_; }
    HKEY *out()
    {
        close();
        return &handle_;
    }
    void close()
    {
        if (handle_ != nullptr)
            reg_close_key(handle_);
        handle_ = nullptr;
    }

  private:
    HKEY handle_ = nullptr;
};

int finish(int status)
{
    std::fputs("Press any key...", stdout);
    platform::console_wait_key();
    return status;
}

// `path` is the key's path below HKEY_LOCAL_MACHINE as the messages show it.
bool create_key(HKEY parent, const std::string &name, const std::string &path, Key &key)
{
    std::printf("Creating HKEY_LOCAL_MACHINE->%s key\n", path.c_str());
    if (reg_create_key(parent, name.c_str(), key.out(), nullptr) == ERROR_SUCCESS)
        return true;
    std::printf("ERROR: Cannot create HKEY_LOCAL_MACHINE->%s key\n", path.c_str());
    return false;
}

bool open_or_create(HKEY parent, const std::string &name, uint32_t access, const std::string &path,
                    Key &key)
{
    return reg_open_key(parent, name.c_str(), access, key.out()) == ERROR_SUCCESS ||
           create_key(parent, name, path, key);
}

// Windows always has "Software"; a fresh root does not, and without it
// every first installation would end at the next key.  Left closed (the
// keys below then fail with their own lines) only when it cannot be made.
void open_software(Key &software)
{
    if (reg_open_key(HKEY_LOCAL_MACHINE, "Software", KEY_READ, software.out()) == ERROR_SUCCESS ||
        reg_create_key(HKEY_LOCAL_MACHINE, "Software", software.out(), nullptr) == ERROR_SUCCESS)
        return;
    std::puts("INFO: Cannot open HKEY_LOCAL_MACHINE->Software key");
}

// `owner` names the key in the failure line where the line names it.
bool set_value(HKEY key, const char *name, uint32_t type, const uint8_t *data, uint32_t size,
               const std::string &owner)
{
    if (reg_set_value(key, name, type, data, size) == ERROR_SUCCESS)
        return true;
    std::printf("ERROR: Cannot set %s%s%s\n", owner.c_str(), owner.empty() ? "" : " ", name);
    return false;
}

bool set_text(HKEY key, const char *name, const std::string &text, const std::string &owner = {})
{
    // The terminator is part of a text value's data.
    return set_value(key, name, REG_SZ, reinterpret_cast<const uint8_t *>(text.c_str()),
                     static_cast<uint32_t>(text.size() + 1), owner);
}

bool set_dword(HKEY key, const char *name, uint32_t number, const std::string &owner = {})
{
    const uint8_t data[4] = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                             static_cast<uint8_t>(number >> 16),
                             static_cast<uint8_t>(number >> 24)};
    return set_value(key, name, REG_DWORD, data, sizeof data, owner);
}

template <size_t N> void delete_values(HKEY key, const char *const (&names)[N])
{
    for (const char *name : names)
        reg_delete_value(key, name);  // a value that was never there is fine
}

// Copies `file` from the current folder into `folder`.  False only when the
// installation must end: the destination exists but could not be replaced
// (its folder is not writable, or it is a folder itself).  A destination
// that does not exist afterwards is reported and the installation goes on.
bool copy_file(const char *file, const std::string &folder, unsigned mode, bool *copied = nullptr)
{
    std::string destination = folder + '/' + file;
    bool ok = make_folders(folder) && replace_file_with_copy(file, destination, mode);
    if (copied != nullptr)
        *copied = ok;
    if (ok) {
        std::printf("Copied %s to %s\n", file, destination.c_str());
        return true;
    }
    std::printf("ERROR: Could not copy %s to %s.\n", file, destination.c_str());
    if (!path_exists(destination))
        return true;
    std::puts("ERROR: Close all programs and retry");
    return false;
}

bool copy_library(const char *file)
{
    return copy_file(file, system32_folder(), kLibraryMode) &&
           copy_file(file, system_folder(), kLibraryMode);
}

// The J2534 04.04 layout: Software\PassThruSupport.04.04\Vexlar-Orvane-FD.
bool register_0404(const std::string &vendor_key)
{
    Key software, support, device;
    open_software(software);
    const std::string support_path = "Software->PassThruSupport.04.04";
    if (!open_or_create(software.get(), "PassThruSupport.04.04", KEY_READ, support_path, support) ||
        !open_or_create(support.get(), kDeviceKey, KEY_ALL_ACCESS, support_path + "->" + kDeviceKey,
                        device))
        return false;

    if (!copy_library(kLib0404Bits32) || (kBits64 && !copy_library(kLib0404Bits64)))
        return false;

    HKEY key = device.get();
    delete_values(key, kDeviceValuesDeleted);
    if (!set_text(key, "Vendor", kVendorName, vendor_key) || !set_text(key, "Name", kDeviceName) ||
        !set_text(key, "ConfigApplication", kConfigApplication) ||
        !set_text(key, "FunctionLibrary", system_folder() + '/' + kLib0404Registered))
        return false;
    for (const char *flag : kProtocolFlags) {
        if (!set_dword(key, flag, 1))
            return false;
    }
    device.close();
    support.close();
    software.close();
    std::puts("Windows registry entries complete");
    return true;
}

// Finds our slot among Vendor1 .. Vendor8 below `passthru`: the first that
// is missing (created), has no Name, or has a Name starting with the maker
// word.  `vendor_key` ("Vendor1") gets the slot's name.
bool take_vendor_slot(HKEY passthru, std::string &vendor_key, Key &vendor)
{
    for (int slot = 1; slot <= kVendorSlots; ++slot) {
        vendor_key.back() = static_cast<char>('0' + slot);
        const std::string path = "Software->PassThruSupport->" + vendor_key;
        if (reg_open_key(passthru, vendor_key.c_str(), KEY_ALL_ACCESS, vendor.out()) !=
            ERROR_SUCCESS)
            return create_key(passthru, vendor_key, path, vendor);
        uint8_t name[kNameBuffer];
        uint32_t size = sizeof name;
        int32_t status = reg_query_value(vendor.get(), "Name", nullptr, name, &size);
        if (status == ERROR_FILE_NOT_FOUND) {
            std::printf("Name key not found under %s\n", vendor_key.c_str());
            return true;
        }
        // A Name that exists but cannot be read (longer than the buffer)
        // belongs to someone: taking the slot would delete their values.
        if (status == ERROR_SUCCESS && size >= kMaker.size() &&
            std::memcmp(name, kMaker.data(), kMaker.size()) == 0) {
            std::puts("Found Vexlar");
            return true;
        }
        vendor.close();
    }
    std::printf("ERROR: No free vendor key: Vendor1 to Vendor%d under "
                "HKEY_LOCAL_MACHINE->Software->PassThruSupport belong to other vendors\n",
                kVendorSlots);
    return false;
}

// The older layout: Software\PassThruSupport\VendorN\Devices\Device2.
bool register_older(std::string vendor_key)
{
    vendor_key.resize(std::strlen("Vendor1"));
    Key software, passthru, vendor, devices, device2;
    open_software(software);
    if (!open_or_create(software.get(), "PassThruSupport", KEY_READ, "Software->PassThruSupport",
                        passthru) ||
        !take_vendor_slot(passthru.get(), vendor_key, vendor))
        return false;

    if (!copy_library(kLibOldApi))
        return false;

    const std::string devices_path = "Software->PassThruSupport->" + vendor_key + "->Devices";
    if (!open_or_create(vendor.get(), "Devices", KEY_READ, devices_path, devices) ||
        !open_or_create(devices.get(), "Device2", KEY_ALL_ACCESS, devices_path + "->Device2",
                        device2))
        return false;

    delete_values(vendor.get(), kVendorValuesDeleted);
    delete_values(device2.get(), kDevice2ValuesDeleted);
    if (!set_dword(vendor.get(), "Id", 0, vendor_key) ||
        !set_text(vendor.get(), "Name", kVendorName, vendor_key) ||
        !set_dword(device2.get(), "DeviceId", 0) || !set_text(device2.get(), "Name", kDeviceName) ||
        !set_text(device2.get(), "ProtocolsSupported", kProtocolsSupported) ||
        !set_text(device2.get(), "ConfigApplication", kConfigApplication) ||
        !set_text(device2.get(), "FunctionLibrary", system_folder() + '/' + kLibOldApi))
        return false;
    device2.close();
    devices.close();
    vendor.close();
    passthru.close();
    software.close();
    std::puts("Windows registry entries complete");
    return true;
}

// quillon into the programs folder and its launcher on the desktop.  A
// launcher that cannot be written is reported; the installation goes on.
bool install_program()
{
    bool copied = false;
    if (!copy_file(kProgram, programs_folder(), kProgramMode, &copied))
        return false;
    if (!copied)
        return true;
    std::string desktop = desktop_folder();
    if (desktop.empty()) {
        std::puts("ERROR: Cannot add Desktop Shortcut: neither XDG_DESKTOP_DIR nor HOME is set");
        return true;
    }
    std::string launcher = desktop + '/' + kLauncher;
    if (write_desktop_launcher(launcher, programs_folder() + '/' + kProgram, kProgram,
                               kLauncherComment))
        std::puts("Added Desktop Shortcut");
    else
        std::printf("ERROR: Cannot add Desktop Shortcut %s\n", launcher.c_str());
    return true;
}

// A copy that failed where no file stood lets the installation go on, but
// an entry naming a library that is not there cannot work.
bool registered_libraries_present()
{
    bool present = true;
    for (const char *library : kRegisteredLibraries) {
        std::string path = system_folder() + '/' + library;
        if (!path_exists(path)) {
            std::printf("ERROR: Installation not complete: %s is missing\n", path.c_str());
            present = false;
        }
    }
    return present;
}

int install()
{
    share_created_files();
    make_root_absolute();
    // Refused before anything is written, rather than registering a path
    // that readers cut short.
    for (const char *library : kRegisteredLibraries) {
        std::string path = system_folder() + '/' + library;
        if (path.size() > kMaxFunctionLibrary) {
            std::printf("ERROR: Library path longer than %zu characters: %s\n", kMaxFunctionLibrary,
                        path.c_str());
            return -1;
        }
    }
    // The 04.04 layout names the vendor key only in its Vendor failure line,
    // by the name the older layout's search starts from.
    const std::string vendor_key = "Vendor1-Device1";
    if (!register_0404(vendor_key) || !register_older(vendor_key) || !install_program() ||
        !registered_libraries_present())
        return -1;
    std::puts("Installation complete");
    return 0;
}

}  // namespace

int main()
{
    return finish(install());
}
