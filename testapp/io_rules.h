/*
 * io_rules.h - the decisions and texts of the configuration, voltage and
 * I/O pages that need no window: the CAN FD flag rule, the K-line pin
 * values, and how readings, key words and temperatures are shown.
 *
 * Qt-free, so the rules are tested on their own.
 */
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "j2534.h"

// A configuration value typed into a field: strtol base 0 (0x hexadecimal,
// leading 0 octal, else decimal) of at most 79 characters, as the 32-bit
// word SET_CONFIG carries.
uint32_t config_value(std::string_view text);

// A value read back: "%d" of the word taken as signed.
std::string decimal_text(uint32_t value);
// "0x%02X": the pad value and the five-baud key words.
std::string hex_byte_text(uint32_t value);

// FD framing and bit-rate switching: an "FD" box asks a connect for both,
// and a CAN group's "Set" switches them.
constexpr uint32_t kFdFlags = CAN_FD_FRAME | CAN_FD_BRS;

// What a CAN group's "Set" does to the FD bits once it has sent the rates.
struct FdRuleResult {
    uint32_t set_bits = 0;    // OR these into both connect-flag words
    uint32_t clear_bits = 0;  // then clear these
    bool uncheck_fd_box = false;
};
// The FD data-phase rate against the nominal rate, compared unsigned: a
// faster data phase switches FD framing and bit-rate switching on (only when
// the bus's "FD" box asks for FD); equal rates leave FD framing but no
// switching; a slower data phase turns FD off and unchecks the box.
FdRuleResult fd_rule(uint32_t fd_rate, uint32_t data_rate, bool fd_box_checked);
// Applies `rule` to one connect-flag word.
uint32_t apply_fd_rule(const FdRuleResult &rule, uint32_t flags);

// J1962_PINS for item `index` of the "ISO9141 Pins" list (the K-line pin
// shifted left by 8); nothing for no selection or an index off the list.
std::optional<uint32_t> kline_pin_value(int index);

// A reading in millivolts shown as volts: "%2d.%03d" (12345: "12.345").
std::string volts_text(uint32_t millivolts);

// A VuV1 register as a K-thermocouple temperature: "UNDER" for 0, "OVER"
// for 0xFFFF, else raw * 1400 / 65535 - 150 as "%4.1f C".
std::string vuv1_temperature_text(uint16_t raw);
