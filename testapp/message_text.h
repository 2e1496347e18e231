/*
 * message_text.h - numbers and message bytes typed into the form's fields,
 * and the texts the form shows for library results.
 *
 * Qt-free, so the rules are tested on their own.  Texts are bytes (the form
 * hands them over as Latin-1).  The rules are those of a Windows program
 * whose `long` is 32 bits: on Linux `long` is 64 bits, so every read here
 * clamps or wraps to 32 bits explicitly.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "j2534.h"

// Longest text taken from a field: the handlers read into 80-character
// buffers.
constexpr size_t kFieldTextMax = 79;

// `text` cut to what an 80-character buffer takes.
std::string field_text(std::string_view text);

// strtol's rule on the start of `text`: leading white space, an optional
// sign, then digits of `base` (0: 0x hexadecimal, leading 0 octal, else
// decimal).  A value beyond the signed 32-bit range becomes the nearest
// limit, as with a 32-bit long.  `*used` (may be null) receives the number
// of characters converted, 0 when there was no number.
int32_t parse_long(std::string_view text, int base, size_t *used = nullptr);

// Decimal text to a signed 32-bit integer: leading white space, one optional
// sign, decimal digits up to the first other character; no digits give 0.
// Overflow wraps modulo 2^32 instead of being undefined.
int32_t TextToLong(std::string_view text);

// Message text to data bytes: numbers separated by white space, each by the
// strtol rule with base detection, the low 8 bits kept; trailing blanks are
// ignored; the first character that begins no number ends the text.  At
// most `capacity` bytes are taken.  Returns the number of bytes written.
uint32_t message_bytes(std::string_view text, uint8_t *data, size_t capacity);

// A record built from message text: the given ProtocolID and TxFlags,
// DataSize the bytes taken, everything else 0.
void build_message(PASSTHRU_MSG &msg, uint32_t protocol_id, uint32_t tx_flags,
                   std::string_view text);

// "%s returned %lu" with the function's name and the status as an unsigned
// 32-bit number (a -1 shows as 4294967295), at most 255 characters.
std::string returned_text(std::string_view function, int32_t status);

// A text that a library wrote into a buffer of `size` bytes: up to its
// terminator, or the whole buffer when a foreign library left none.
std::string text_from_buffer(const char *buffer, size_t size);

// A count that a library wrote back, never above what was asked for: the
// test application loads other vendors' libraries too.
uint32_t clamp_count(uint32_t written, uint32_t asked);

// A record's DataSize, never above what Data holds.
uint32_t data_size_of(const PASSTHRU_MSG &msg);
