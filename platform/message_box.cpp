/*
 * message_box.cpp - the library's message box as a line on standard error.
 *
 * Owns the installed sink, the only global state here.
 */
#include "platform/message_box.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace platform {

namespace {

std::atomic<MessageBoxSink> sink{nullptr};

}  // namespace

void message_box(const char *text, const char *caption)
{
    if (text == nullptr)
        text = "";
    if (caption == nullptr)
        caption = "";
    if (MessageBoxSink installed = sink.load(std::memory_order_acquire)) {
        installed(text, caption);
        return;
    }
    // One write, so that the line is not interleaved with the host's output.
    std::string line = std::string(caption) + ": " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void set_message_box_sink(MessageBoxSink new_sink)
{
    sink.store(new_sink, std::memory_order_release);
}

}  // namespace platform
