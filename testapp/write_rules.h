/*
 * write_rules.h - how the "Read / Write" page reads its texts for a send:
 * the message text's trailing characters, the message count and the
 * time-out warning.
 *
 * Qt-free, so the rules are tested on their own.  Texts are bytes.
 */
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// WriteMsgArray holds this many records; a larger count is clamped to it.
constexpr uint32_t kMaxWriteCount = 900;
// Longest message text taken from the page: it is read into a buffer of
// 16384 characters.
constexpr size_t kWriteTextMax = 16383;
// A time-out below this many milliseconds is warned about before a send.
constexpr int32_t kShortestSensibleTimeout = 10;

// Removes trailing characters that sort below '0' as signed bytes: blanks,
// tabs, line ends, punctuation and any byte from 0x80 up.
void trim_message_text(std::string &text);

// The count of a send: the decimal count text, clamped to kMaxWriteCount
// when above it as an unsigned number (so every negative count too).
uint32_t write_count(std::string_view text);

// The time-out warning looks at the text by strtol's rule with base
// detection, while the time-out sent is decimal: "0x64" warns nothing and
// sends 0, as users of the page know it.
bool timeout_warning_due(std::string_view timeout_text);
