// registry_options.cpp - reading the library's options from its registry entry.
// Touches no library state; every key opened is closed before returning.
#include "passthru/registry_options.h"

#include <cstdlib>
#include <strings.h>

#include "passthru/debug.h"
#include "platform/registry.h"

namespace tenq {

namespace {

constexpr uint32_t kMaxEntries = 32;  // sub-keys looked at before giving up
constexpr const char *kDeviceNames[] = {"Orvane-FD", "Orvane-IOT"};

using Text = char[kDbgTextSize];

// Read a value into `buf` as terminated text.  A value that does not fit
// with its terminator counts as absent.
bool query_text(platform::HKEY key, const char *name, Text &buf)
{
    uint32_t len = sizeof(Text);
    if (platform::reg_query_value(key, name, nullptr, reinterpret_cast<uint8_t *>(buf), &len) !=
        platform::ERROR_SUCCESS)
        return false;
    if (len < sizeof(Text))
        buf[len] = '\0';
    else if (buf[sizeof(Text) - 1] != '\0')
        return false;
    return true;
}

bool is_device_name(const char *text)
{
    for (const char *name : kDeviceNames) {
        if (strcasecmp(text, name) == 0)
            return true;
    }
    return false;
}

// Find the device entry and read `value_name` from it into `buf`.
bool read_entry_value(const char *value_name, Text &buf)
{
    platform::HKEY software = nullptr;
    if (platform::reg_open_key(platform::HKEY_LOCAL_MACHINE, "Software", platform::KEY_READ,
                               &software) != platform::ERROR_SUCCESS)
        return false;
    platform::HKEY support = nullptr;
    bool found = false;
    if (platform::reg_open_key(software, "PassThruSupport.04.04", platform::KEY_READ, &support) ==
        platform::ERROR_SUCCESS) {
        for (uint32_t index = 0; index < kMaxEntries && !found; ++index) {
            Text sub_name;
            uint32_t name_len = sizeof sub_name;
            if (platform::reg_enum_key(support, index, sub_name, &name_len) !=
                platform::ERROR_SUCCESS)
                break;
            platform::HKEY entry = nullptr;
            // A sub-key that cannot be opened ends the walk.
            if (platform::reg_open_key(support, sub_name, platform::KEY_READ, &entry) !=
                platform::ERROR_SUCCESS)
                break;
            Text device;
            if (query_text(entry, "Name", device) && is_device_name(device)) {
                found = query_text(entry, value_name, buf);
                platform::reg_close_key(entry);
                break;
            }
            platform::reg_close_key(entry);
        }
        platform::reg_close_key(support);
    }
    platform::reg_close_key(software);
    return found;
}

}  // namespace

uint32_t AllowDebug()
{
    Text buf;
    return read_entry_value("Debug", buf) ? 1 : 0;
}

uint32_t SuppressPopups()
{
    Text buf;
    return read_entry_value("SuppressPopups", buf) ? 1 : 0;
}

uint32_t CheckIOTNumInRegistry()
{
    Text buf;
    if (!read_entry_value("IOT", buf))
        return 0;
    const char *text = buf;
    while (*text == '0')
        ++text;
    return static_cast<uint32_t>(std::strtoul(text, nullptr, 0));
}

}  // namespace tenq
