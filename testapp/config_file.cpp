// config_file.cpp - keys, writing and reading of the configuration file.
#include "testapp/config_file.h"

#include <algorithm>
#include <map>

#include "testapp/message_text.h"

namespace {

constexpr int kPeriodicRowsInFile = 14;
constexpr int kFilterRowsInFile = 10;
constexpr std::string_view kMessageKey = "MSG ";

std::vector<ConfigKey> make_keys()
{
    using K = ConfigKind;
    std::vector<ConfigKey> keys = {
        {"LOG_FILE_NAME", K::kText}, {"WRITE_1_PROTOCOL", K::kIndex}, {"WRITE_1_MSG", K::kText},
        {"WRITE_1_DESC", K::kText},  {"WRITE_1_NUM", K::kText},       {"WRITE_1_TIMEOUT", K::kText},
        {"PROG_VOLTAGE", K::kText},  {"PROG_PIN", K::kText},
    };
    for (int n = 1; n <= kPeriodicRowsInFile; ++n) {
        std::string row = "PERIODIC_" + std::to_string(n);
        keys.push_back({row + "_PROTOCOL", K::kIndex});
        keys.push_back({row + "_MSG", K::kText});
        keys.push_back({row + "_INTERVAL", K::kText});
    }
    for (int n = 1; n <= kFilterRowsInFile; ++n) {
        std::string row = "FILTER_" + std::to_string(n);
        keys.push_back({row + "_PROTOCOL", K::kIndex});
        keys.push_back({row + "_TYPE", K::kIndex});
        keys.push_back({row + "_MASK", K::kText});
        keys.push_back({row + "_PATTERN", K::kText});
        keys.push_back({row + "_FLOW", K::kText});
    }
    const ConfigKey options[] = {
        {"CAN_FD", K::kBox},
        {"MSCAN_FD", K::kBox},
        {"CAN_29BIT_ID", K::kBox},
        {"MSCAN_29BIT_ID", K::kBox},
        {"CAN_ID_BOTH", K::kBox},
        {"MSCAN_ID_BOTH", K::kBox},
        {"CAN_SAMPLE_POINT", K::kText},
        {"CAN_SYNC_JUMP_WIDTH", K::kText},
        {"CAN_DATA_RATE", K::kText},
        {"FD_CAN_DATA_PHASE_RATE", K::kText},
        {"HS_CAN_TERMINATION", K::kBox},
        {"FD_ISO15765_TX_DATA_LENGTH", K::kText},
        {"ISO15765_FRAME_PAD", K::kBox},
        {"MSISO15765_FRAME_PAD", K::kBox},
        {"ISO15765_EXT_ADDR", K::kBox},
        {"ISO15765_BLOCK_SIZE", K::kText},
        {"ISO15765_SEPARATION_TIME", K::kText},
        {"ISO9141_NO_CHECKSUM", K::kBox},
        {"ISO9141_NO_L_LINE", K::kBox},
        {"ISO_DATA_RATE", K::kText},
        {"ISO_NODE_ADDRESS", K::kText},
        {"ISO14230_P3_MIN", K::kBox},
        {"LOOPBACK", K::kBox},
        {"J1850PWM_DATA_RATE", K::kText},
        {"J1850PWM_NODE_ADDRESS", K::kText},
        {"J1850PWM_NETWORK_LINE", K::kText},
        {"J1850PWM_FUNC_MSG", K::kText},
        {"J1850VPW_DATA_RATE", K::kText},
        {"SCI_DATA_RATE", K::kText},
    };
    keys.insert(keys.end(), std::begin(options), std::end(options));
    return keys;
}

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A text fitted to a line of `key`: cut at the last blank that lets the
// line (key, blank, text, line feed) fit one read, the blanks before the
// cut dropped too.  A single word longer than a line can only be cut hard.
std::string fitted(const std::string &key, std::string text)
{
    const size_t room = kConfigLineMax - key.size() - 2;
    if (text.size() <= room)
        return text;
    size_t cut = text.rfind(' ', room);
    if (cut == std::string::npos)
        cut = room;
    text.resize(cut);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string replaced(std::string text, char from, char to)
{
    std::replace(text.begin(), text.end(), from, to);
    return text;
}

// The "%d %d %d %s %s" of a "MSG" line: each item skips white space; the
// first item that cannot be read ends the line, later items keep their
// values.  Numbers saturate at the 32-bit limits; words are cut to what a
// slot holds.
ConfigMessage read_message(std::string_view rest)
{
    ConfigMessage m;
    auto skip = [&] {
        while (!rest.empty() && is_space(rest.front()))
            rest.remove_prefix(1);
    };
    for (int32_t *number : {&m.protocol, &m.num, &m.timeout}) {
        skip();
        size_t used = 0;
        int32_t value = parse_long(rest, 10, &used);
        if (used == 0)
            return m;
        *number = value;
        rest.remove_prefix(used);
    }
    for (std::string *word : {&m.msg, &m.description}) {
        skip();
        size_t end = 0;
        while (end < rest.size() && !is_space(rest[end]))
            ++end;
        if (end == 0)
            return m;
        *word =
            replaced(std::string(rest.substr(0, std::min(end, kConfigMessageTextMax))), '_', ' ');
        rest.remove_prefix(end);
    }
    return m;
}

}  // namespace

const std::vector<ConfigKey> &config_keys()
{
    static const std::vector<ConfigKey> keys = make_keys();
    return keys;
}

std::string config_file_text(const std::vector<std::string> &values,
                             const std::vector<ConfigMessage> &slots)
{
    const std::vector<ConfigKey> &keys = config_keys();
    std::string file;
    for (size_t i = 0; i < keys.size(); ++i) {
        std::string value = i < values.size() ? values[i] : std::string();
        file += keys[i].name + " " + fitted(keys[i].name, value) + "\n";
    }
    for (size_t s = 0; s < kConfigMessageSlots; ++s) {
        ConfigMessage m = s < slots.size() ? slots[s] : ConfigMessage{};
        auto word = [](const std::string &text) {
            return replaced(text.substr(0, kConfigMessageTextMax), ' ', '_');
        };
        file += "MSG " + std::to_string(m.protocol) + " " + std::to_string(m.num) + " " +
                std::to_string(m.timeout) + " " + word(m.msg) + " " + word(m.description) + "\n";
    }
    return file;
}

LoadedConfig parse_config(std::string_view file)
{
    static const std::map<std::string, size_t, std::less<>> index = [] {
        std::map<std::string, size_t, std::less<>> found;
        for (size_t i = 0; i < config_keys().size(); ++i)
            found.emplace(config_keys()[i].name, i);
        return found;
    }();

    LoadedConfig loaded;
    while (!file.empty()) {
        // One read: up to and including the line feed, at most a line's worth.
        size_t length = std::min(file.size(), kConfigLineMax);
        size_t feed = file.substr(0, length).find('\n');
        if (feed != std::string_view::npos)
            length = feed + 1;
        std::string_view line = file.substr(0, length);
        file.remove_prefix(length);
        // The text stops at a NUL byte, as a C string would.
        line = line.substr(0, line.find('\0'));
        while (!line.empty() && static_cast<signed char>(line.back()) < '0')
            line.remove_suffix(1);

        if (line.starts_with(kMessageKey)) {
            loaded.has_message_lines = true;
            ConfigMessage m = read_message(line.substr(kMessageKey.size()));
            // A slot without a description is free: taking one would part
            // the list from the slots.
            if (!m.description.empty() && loaded.messages.size() < kConfigMessageSlots)
                loaded.messages.push_back(std::move(m));
            continue;
        }
        size_t blank = line.find(' ');
        if (blank == std::string_view::npos)
            continue;
        auto key = index.find(line.substr(0, blank));
        if (key != index.end())
            loaded.assignments.push_back({key->second, std::string(line.substr(blank + 1))});
    }
    return loaded;
}
