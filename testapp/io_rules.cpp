// io_rules.cpp - rules and texts of the configuration, voltage and I/O pages.
#include "testapp/io_rules.h"

#include <cstdio>

#include "j2534.h"
#include "testapp/message_text.h"

namespace {

// The seven K-line pins the list offers, in item order.
constexpr uint32_t kKLinePins[] = {1, 7, 9, 11, 12, 13, 15};

}  // namespace

uint32_t config_value(std::string_view text)
{
    return static_cast<uint32_t>(parse_long(field_text(text), 0));
}

std::string decimal_text(uint32_t value)
{
    return std::to_string(static_cast<int32_t>(value));
}

std::string hex_byte_text(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

FdRuleResult fd_rule(uint32_t fd_rate, uint32_t data_rate, bool fd_box_checked)
{
    FdRuleResult rule;
    if (fd_rate > data_rate) {
        if (fd_box_checked)
            rule.set_bits = kFdFlags;
    } else if (fd_rate == data_rate) {
        rule.clear_bits = CAN_FD_BRS;
    } else {
        rule.clear_bits = kFdFlags;
        rule.uncheck_fd_box = true;
    }
    return rule;
}

uint32_t apply_fd_rule(const FdRuleResult &rule, uint32_t flags)
{
    return (flags | rule.set_bits) & ~rule.clear_bits;
}

std::optional<uint32_t> kline_pin_value(int index)
{
    if (index < 0 || index >= static_cast<int>(std::size(kKLinePins)))
        return std::nullopt;
    return kKLinePins[index] << 8;
}

std::string volts_text(uint32_t millivolts)
{
    char text[32];
    std::snprintf(text, sizeof text, "%2u.%03u", millivolts / 1000, millivolts % 1000);
    return text;
}

std::string vuv1_temperature_text(uint16_t raw)
{
    if (raw == 0)
        return "UNDER";
    if (raw == 0xFFFF)
        return "OVER";
    char text[32];
    std::snprintf(text, sizeof text, "%4.1f C", raw * 1400.0 / 65535.0 - 150.0);
    return text;
}
