/*
 * usb_serial.h - the serial number of the first FTDI USB converter.
 *
 * The device is opened only to read its string descriptors: no interface is
 * claimed and no kernel driver detached, since that would take the tty away
 * from the pass-thru library that talks through it.  Without access rights to
 * the USB device (see the udev rule in the README) nothing is read.
 */
#pragma once

#include <optional>
#include <string>

namespace platform {

constexpr int kFtdiVendorId = 0x0403;

// Serial-number text of the first USB device with FTDI's vendor ID, or
// nothing when there is none, it cannot be opened or it has no serial.
std::optional<std::string> read_ftdi_serial_number();

}  // namespace platform
