// interface_discovery.cpp - lists the registered pass-thru interfaces.
#include "testapp/interface_discovery.h"

#include "platform/registry.h"

using namespace platform;

namespace {

// A value read as text whatever its registry type.  The buffer starts zeroed
// and the text is cut at the length the registry returned; a value that
// fills the whole buffer without a terminator does not fit and reads as
// empty, like one that is missing.
std::string read_text(HKEY key, const char *value_name)
{
    uint8_t buffer[kInterfaceTextSize] = {};
    uint32_t length = sizeof buffer;
    if (reg_query_value(key, value_name, nullptr, buffer, &length) != ERROR_SUCCESS ||
        length > sizeof buffer)
        return {};
    std::string text(reinterpret_cast<const char *>(buffer), length);
    size_t end = text.find('\0');
    if (end == std::string::npos)
        return length < sizeof buffer ? text : std::string();
    return text.substr(0, end);
}

}  // namespace

Discovery discover_interfaces()
{
    Discovery result;
    HKEY software = nullptr;
    int32_t error = reg_open_key(HKEY_LOCAL_MACHINE, "Software", KEY_READ, &software);
    if (error != ERROR_SUCCESS) {
        result.failure = Discovery::kSoftwareKey;
        result.error = error;
        return result;
    }
    HKEY support = nullptr;
    error = reg_open_key(software, "PassThruSupport.04.04", KEY_READ, &support);
    if (error != ERROR_SUCCESS) {
        reg_close_key(software);
        result.failure = Discovery::kPassThruKey;
        result.error = error;
        return result;
    }
    for (uint32_t i = 0; i < kMaxInterfaces; ++i) {
        char name[kInterfaceTextSize];
        uint32_t name_len = sizeof name;
        if (reg_enum_key(support, i, name, &name_len) != ERROR_SUCCESS)
            break;
        HKEY device = nullptr;
        if (reg_open_key(support, name, KEY_READ, &device) != ERROR_SUCCESS)
            break;
        InterfaceEntry entry;
        entry.name = read_text(device, "Name");
        entry.library = read_text(device, "FunctionLibrary");
        entry.vendor = read_text(device, "Vendor");
        reg_close_key(device);
        result.interfaces.push_back(std::move(entry));
    }
    reg_close_key(support);
    reg_close_key(software);
    return result;
}

std::string interface_line(const InterfaceEntry &entry)
{
    return entry.vendor + "    " + entry.name + "     (" + entry.library + ")";
}
