/*
 * registry_values.h - the text of a values.conf, the file that holds one
 * registry key's values: one value a line in the value syntax of registry
 * export files,
 *     Name="Orvane-FD"            text, with \\ and \" escapes
 *     CAN=dword:00000001          32-bit number
 *     Blob=hex(3):01,02,ff        any other type T as hex bytes
 * with comments ('#', ';') and blank lines kept as they stand.  Parsing and
 * formatting only: the registry (registry.cpp) reads and writes the files.
 */
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace platform {

struct RegValue {
    std::string name;
    uint32_t type = REG_NONE;
    std::string data;  // the value's bytes; text includes its terminator
};

// One line of values.conf; `value` is empty for comments, blank lines and
// lines that cannot be read, which are written back unchanged.
struct RegLine {
    std::string text;
    std::optional<RegValue> value;
};

// Registry names compare without regard to (ASCII) case.
char reg_fold(char c);
bool reg_same_name(std::string_view a, std::string_view b);

// One line: the value it holds, or nothing for comments, blank lines and
// lines that are no value.
std::optional<RegValue> parse_reg_line(std::string_view text);

// The line of a value.  Text form only for what reads back byte for byte
// (one terminated string on one line); anything else keeps its exact bytes
// as hex.
std::string format_reg_line(const RegValue &value);

// A whole file as its lines, a leading UTF-8 byte-order mark skipped; and
// the lines back as a file.
std::vector<RegLine> parse_values_file(std::string_view content);
std::string format_values_file(const std::vector<RegLine> &lines);

}  // namespace platform
