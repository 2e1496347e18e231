/*
 * registry_values.cpp - parsing and formatting the text of a values.conf.
 * No state, no disk.
 */
#include "platform/registry_values.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace platform {

namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool at_end(std::string_view s)
{
    s = trim(s);
    return s.empty() || s.front() == '#' || s.front() == ';';
}

// "text" with \\ and \" escapes; any other backslash stands for itself, so a
// hand-written "C:\lib" reads as meant.
bool parse_quoted(std::string_view &s, std::string &out)
{
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[++i];
        } else if (s[i] == '"') {
            s.remove_prefix(i + 1);
            return true;
        } else {
            out += s[i];
        }
    }
    return false;
}

bool parse_hex(std::string_view &s, size_t max_digits, uint32_t &out)
{
    const char *end = s.data() + std::min(s.size(), max_digits);
    auto [stop, error] = std::from_chars(s.data(), end, out, 16);
    s.remove_prefix(static_cast<size_t>(stop - s.data()));
    return error == std::errc();
}

bool parse_hex_bytes(std::string_view s, std::string &data)
{
    s = trim(s);
    while (!at_end(s)) {
        uint32_t byte = 0;
        if (!parse_hex(s, 2, byte))
            return false;
        data += static_cast<char>(byte);
        s = trim(s);
        if (at_end(s))
            break;
        if (s.front() != ',')
            return false;
        s = trim(s.substr(1));
    }
    return true;
}

std::string quote(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + '"';
}

}  // namespace

char reg_fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool reg_same_name(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return reg_fold(x) == reg_fold(y);
           });
}

std::optional<RegValue> parse_reg_line(std::string_view s)
{
    s = trim(s);
    if (at_end(s))
        return std::nullopt;
    RegValue v;
    if (s.front() == '"') {
        if (!parse_quoted(s, v.name))
            return std::nullopt;
    } else {
        size_t eq = s.find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        v.name = trim(s.substr(0, eq));
        s.remove_prefix(eq);
    }
    s = trim(s);
    if (s.empty() || s.front() != '=')
        return std::nullopt;
    s = trim(s.substr(1));
    if (!s.empty() && s.front() == '"') {
        if (!parse_quoted(s, v.data) || !at_end(s))
            return std::nullopt;
        v.type = REG_SZ;
        v.data += '\0';
    } else if (s.substr(0, 6) == "dword:") {
        s.remove_prefix(6);
        uint32_t n = 0;
        if (!parse_hex(s, 8, n) || !at_end(s))
            return std::nullopt;
        v.type = REG_DWORD;
        for (int shift = 0; shift < 32; shift += 8)
            v.data += static_cast<char>((n >> shift) & 0xFF);
    } else if (s.substr(0, 4) == "hex:" || s.substr(0, 4) == "hex(") {
        s.remove_prefix(3);
        v.type = REG_BINARY;  // regedit writes plain "hex:" for binary values
        if (s.front() == '(') {
            s.remove_prefix(1);
            if (!parse_hex(s, 8, v.type) || s.substr(0, 1) != ")")
                return std::nullopt;
            s.remove_prefix(1);
        }
        if (s.substr(0, 1) != ":" || !parse_hex_bytes(s.substr(1), v.data))
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    return v;
}

std::string format_reg_line(const RegValue &v)
{
    std::string_view name = v.name;
    bool plain = !name.empty() && name.find_first_of("=\"") == std::string_view::npos &&
                 name.front() != '#' && name.front() != ';' && trim(name) == name;
    std::string line = (plain ? v.name : quote(name)) + '=';
    const std::string &d = v.data;
    // Text form only for what reads back byte for byte: one terminated
    // string on one line.  Anything else keeps its exact bytes as hex.
    if (v.type == REG_SZ && !d.empty() && d.back() == '\0' &&
        d.find_first_of(std::string_view("\0\n\r", 3)) == d.size() - 1)
        return line + quote(std::string_view(d).substr(0, d.size() - 1));
    char buf[24];
    if (v.type == REG_DWORD && d.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i)
            n = (n << 8) | static_cast<uint8_t>(d[static_cast<size_t>(i)]);
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        return line + buf;
    }
    std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
    line += buf;
    for (size_t i = 0; i < d.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", static_cast<uint8_t>(d[i]));
        line += buf;
    }
    return line;
}

std::vector<RegLine> parse_values_file(std::string_view content)
{
    std::vector<RegLine> lines;
    std::string_view rest(content);
    // Editors put a UTF-8 byte-order mark in front of the first line; left
    // there it would hide the first value.  A rewrite leaves it out.
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
    if (rest.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        rest.remove_prefix(kUtf8Bom.size());
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view text = rest.substr(0, end);
        lines.push_back({std::string(text), parse_reg_line(text)});
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    return lines;
}

std::string format_values_file(const std::vector<RegLine> &lines)
{
    std::string content;
    for (const RegLine &line : lines)
        content += line.text + '\n';
    return content;
}

}  // namespace platform
