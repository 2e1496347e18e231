// message_text.cpp - number and message-byte rules of the form's fields.
#include "testapp/message_text.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int digit_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

// Skips leading white space and one optional sign; returns whether the
// sign was a minus.
bool skip_space_and_sign(std::string_view text, size_t &i)
{
    while (i < text.size() && is_space(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    return negative;
}

}  // namespace

std::string field_text(std::string_view text)
{
    return std::string(text.substr(0, kFieldTextMax));
}

int32_t parse_long(std::string_view text, int base, size_t *used)
{
    size_t i = 0;
    bool negative = skip_space_and_sign(text, i);
    size_t digits_at = i;
    if ((base == 0 || base == 16) && i + 1 < text.size() && text[i] == '0' &&
        (text[i + 1] == 'x' || text[i + 1] == 'X') && i + 2 < text.size() &&
        digit_value(text[i + 2]) < 16) {
        base = 16;
        digits_at = i + 2;
    } else if (base == 0) {
        base = i < text.size() && text[i] == '0' ? 8 : 10;
    }
    // Accumulate in 64 bits, saturating well above the 32-bit limits.
    constexpr int64_t kCeiling = int64_t{1} << 40;
    int64_t value = 0;
    size_t j = digits_at;
    while (j < text.size() && digit_value(text[j]) < base) {
        value = std::min(value * base + digit_value(text[j]), kCeiling);
        ++j;
    }
    if (j == digits_at) {
        if (used)
            *used = 0;
        return 0;
    }
    if (used)
        *used = j;
    if (negative)
        value = -value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

int32_t TextToLong(std::string_view text)
{
    size_t i = 0;
    bool negative = skip_space_and_sign(text, i);
    uint32_t value = 0;  // unsigned, so an overflow wraps instead of being undefined
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    return static_cast<int32_t>(negative ? 0u - value : value);
}

uint32_t message_bytes(std::string_view text, uint8_t *data, size_t capacity)
{
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    uint32_t count = 0;
    while (!text.empty() && count < capacity) {
        size_t used = 0;
        int32_t value = parse_long(text, 0, &used);
        if (used == 0)
            break;
        data[count++] = static_cast<uint8_t>(value & 0xFF);
        text.remove_prefix(used);
    }
    return count;
}

void build_message(PASSTHRU_MSG &msg, uint32_t protocol_id, uint32_t tx_flags,
                   std::string_view text)
{
    std::memset(&msg, 0, sizeof msg);
    msg.ProtocolID = protocol_id;
    msg.TxFlags = tx_flags;
    msg.DataSize = message_bytes(text, msg.Data, sizeof msg.Data);
}

std::string returned_text(std::string_view function, int32_t status)
{
    std::string text =
        std::string(function) + " returned " + std::to_string(static_cast<uint32_t>(status));
    if (text.size() > 255)
        text.resize(255);
    return text;
}

std::string text_from_buffer(const char *buffer, size_t size)
{
    return std::string(buffer, strnlen(buffer, size));
}

uint32_t clamp_count(uint32_t written, uint32_t asked)
{
    return std::min(written, asked);
}

uint32_t data_size_of(const PASSTHRU_MSG &msg)
{
    return std::min<uint32_t>(msg.DataSize, PASSTHRU_MSG_DATA_SIZE);
}
