// write_rules.cpp - the texts of a send from the "Read / Write" page.
#include "testapp/write_rules.h"

#include "testapp/message_text.h"

void trim_message_text(std::string &text)
{
    while (!text.empty() && static_cast<int8_t>(text.back()) < '0')
        text.pop_back();
}

uint32_t write_count(std::string_view text)
{
    uint32_t count = static_cast<uint32_t>(TextToLong(text));
    return count > kMaxWriteCount ? kMaxWriteCount : count;
}

bool timeout_warning_due(std::string_view timeout_text)
{
    return parse_long(timeout_text, 0) < kShortestSensibleTimeout;
}
