/*
 * config_file.h - the test application's configuration file: which keys it
 * holds, in which order, how a form's values and saved messages become its
 * text, and how a file's bytes become values again.
 *
 * A line is a key, one blank and a value, ended by a line feed.  Save
 * writes every key once in order, then one "MSG" line per saved-message
 * slot.  Load accepts the lines in any order, the last of a repeated key
 * winning.  Qt-free: the form binds the keys to its fields
 * (config_file_handlers.cpp), and the loader is fuzzed on its own.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A line is read into 1024 characters: at most 1023, line feed included.
// The rest of a longer line comes as a line of its own.
constexpr size_t kConfigLineMax = 1023;
// The saved-message slots and what each text of a slot holds.
constexpr size_t kConfigMessageSlots = 256;
constexpr size_t kConfigMessageTextMax = 119;

enum class ConfigKind {
    kText,   // an edit's text, as it stands
    kIndex,  // a combo's item index, "%d" (-1: none selected)
    kBox,    // a check box, 1 checked, 0 unchecked
};

struct ConfigKey {
    std::string name;  // "LOG_FILE_NAME"
    ConfigKind kind;
};

// The keys in the order save writes them.
const std::vector<ConfigKey> &config_keys();

// A saved message as the file carries it.
struct ConfigMessage {
    int32_t protocol = 0;
    int32_t num = 0;
    int32_t timeout = 0;
    std::string msg;
    std::string description;
    bool operator==(const ConfigMessage &) const = default;
};

// The file's text: `values[i]` is the value of config_keys()[i] (a text, or
// the number of an index or box), then one "MSG" line per slot, blanks of
// its texts written as "_".  A text is cut at a blank where its line would
// not fit what load reads, so that no number is split across two reads.
std::string config_file_text(const std::vector<std::string> &values,
                             const std::vector<ConfigMessage> &slots);

// One value line of a file: the index into config_keys() and the value.
struct ConfigAssignment {
    size_t key;
    std::string value;
    bool operator==(const ConfigAssignment &) const = default;
};

struct LoadedConfig {
    std::vector<ConfigAssignment> assignments;  // in file order
    // The "MSG" lines that name a message (a non-empty description), "_"
    // turned back into blanks, texts cut to what a slot holds; at most
    // kConfigMessageSlots, further lines are ignored.
    std::vector<ConfigMessage> messages;
    // The file holds at least one "MSG" line, a free slot's too: only then
    // does it carry saved messages that replace the form's.
    bool has_message_lines = false;
};

// Reads a file's bytes line by line as the application always has: each
// line loses its trailing characters below "0" (line end, blanks,
// punctuation, bytes 0x80-0xFF), so a text saved empty leaves the bare key,
// which matches nothing.  Lines that match no key are ignored.
LoadedConfig parse_config(std::string_view file);
