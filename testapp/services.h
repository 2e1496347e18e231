/*
 * services.h - what the form asks of the desktop, behind small interfaces.
 *
 * Message boxes and file dialogs are modal, the clock moves by itself and
 * the USB reader needs hardware; the program passes the real ones
 * (services_qt.cpp), tests pass their own so that no handler ever blocks
 * on a window or waits for time to pass.  Texts are bytes, shown as
 * Latin-1; file names are bytes in the file system's encoding.
 */
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // A modal box with one OK button; returns when the user closes it.
    virtual void show(const std::string &text, const std::string &caption) = 0;
};

struct FileDialogRequest {
    std::string title;
    std::string file_name;  // name the dialog starts with
    std::string filter;     // "Config Files|*.cfg" style: description|pattern
    std::string folder;     // initial folder
};

class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // The chosen file name, or nothing on "Cancel".
    virtual std::optional<std::string> open_file(const FileDialogRequest &request) = 0;
    virtual std::optional<std::string> save_file(const FileDialogRequest &request) = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    // A 32-bit millisecond counter that wraps; compare unsigned differences.
    virtual uint32_t tick_count() = 0;
};

class UsbSerialReader {
  public:
    virtual ~UsbSerialReader() = default;
    // Serial-number text of the first FTDI USB converter, or nothing.
    virtual std::optional<std::string> serial_number() = 0;
};

struct Services {
    MessageBoxes *messages = nullptr;
    FileDialogs *files = nullptr;
    Clock *clock = nullptr;
    UsbSerialReader *usb = nullptr;
};

// The desktop's own services, owned by the program; `parent` of the boxes
// and dialogs is the application's active window.
Services desktop_services();
