/*
 * message_box.h - the library's one message box.
 *
 * A library must never block its host, so the box becomes one line on
 * standard error: "<caption>: <text>".  Tests install a sink to see it.
 */
#pragma once

namespace platform {

using MessageBoxSink = void (*)(const char *text, const char *caption);

void message_box(const char *text, const char *caption);

// Install a sink; nullptr restores the standard-error line.
void set_message_box_sink(MessageBoxSink sink);

}  // namespace platform
