// usb_serial.cpp - reads the first FTDI device's serial number with libftdi1.
#include "platform/usb_serial.h"

#include <ftdi.h>
#include <libusb.h>

namespace platform {

std::optional<std::string> read_ftdi_serial_number()
{
    ftdi_context *ftdi = ftdi_new();
    if (ftdi == nullptr)
        return std::nullopt;
    std::optional<std::string> serial;
    libusb_device **devices = nullptr;
    ssize_t count = libusb_get_device_list(ftdi->usb_ctx, &devices);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor desc{};
        if (libusb_get_device_descriptor(devices[i], &desc) != 0 || desc.idVendor != kFtdiVendorId)
            continue;
        // Opens the device, reads the strings and closes it again; it claims
        // nothing, so a tty bound to the device keeps working.
        char text[128] = {};
        if (ftdi_usb_get_strings(ftdi, devices[i], nullptr, 0, nullptr, 0, text, sizeof text - 1) ==
                0 &&
            text[0] != '\0')
            serial = text;
        break;  // only the first converter counts
    }
    if (devices != nullptr)
        libusb_free_device_list(devices, 1);
    ftdi_free(ftdi);
    return serial;
}

}  // namespace platform
