/*
 * bus_devices.h - the simulated adapter's bus units (CAN controllers 1 and 2
 * with their ISO 15765 devices, and the K-line): the setup block each was
 * last given, which devices run and with which start flags, and how many
 * receive clears each was told.  A device stop is answered with a stop
 * report {dev, op 1}, as the adapter does once the device has stopped.
 */
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "sim/handlers.h"

namespace orvane::sim {

// The devices that carry bus traffic.
inline constexpr uint8_t kBusDevices[] = {JMSG_CAN, JMSG_ISO15765, JMSG_MSCAN, JMSG_MSISO15765,
                                          JMSG_ISO9141};

struct BusDevices {
    std::map<uint8_t, std::vector<uint8_t>> setup_blocks;  // last block per device, as sent
    std::map<uint8_t, uint8_t> setup_flags;                // flags of that block's frame
    std::map<uint8_t, uint8_t> started;                    // running device -> start flags
    std::map<uint8_t, int> clears;                         // receive clears per device
};

// Installs {dev, op 0, type 0} start, {dev, op 0, type 12} clear,
// {dev, op 1} stop and {dev, op 3, type 7} setup for every bus device.
void add_bus_device_handlers(HandlerTable &table, BusDevices &devices);

}  // namespace orvane::sim
