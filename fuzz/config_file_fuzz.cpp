// config_file_fuzz.cpp - the test application's configuration-file loader
// on arbitrary bytes: it must never read or write out of bounds, every
// value it yields must fit what it fills, and the saved messages it reads
// must come back unchanged when written and read again.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "testapp/config_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string_view file(reinterpret_cast<const char *>(data), size);
    LoadedConfig loaded = parse_config(file);
    if (loaded.messages.size() > kConfigMessageSlots)
        __builtin_trap();
    for (const ConfigAssignment &a : loaded.assignments) {
        if (a.key >= config_keys().size() || a.value.size() > kConfigLineMax ||
            a.value.find('\n') != std::string::npos)
            __builtin_trap();
        if (!a.value.empty() && static_cast<signed char>(a.value.back()) < '0')
            __builtin_trap();
    }
    for (const ConfigMessage &m : loaded.messages)
        if (m.msg.size() > kConfigMessageTextMax || m.description.size() > kConfigMessageTextMax ||
            m.description.empty())
            __builtin_trap();
    // A description that ends in a character below "0" loses it when read
    // back, as every value at a line's end does; the others come back whole.
    std::vector<ConfigMessage> kept;
    for (const ConfigMessage &m : loaded.messages)
        if (static_cast<signed char>(m.description.back()) >= '0')
            kept.push_back(m);
    LoadedConfig again = parse_config(config_file_text({}, kept));
    if (again.messages != kept || !again.assignments.empty())
        __builtin_trap();
    return 0;
}
