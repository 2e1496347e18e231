/*
 * device_search.h - the one adapter a process talks to: the lazy device
 * search and the device numbers callers see.  The port itself belongs to the
 * device link (passthru/link/link.h).
 */
#pragma once

#include <cstdint>

namespace tenq {

constexpr uint32_t kSearchTopPort = 1000;  // the search walks the ports down from here
constexpr uint32_t kProbeSettleMs = 200;   // after the stop command, and for each answer
constexpr uint32_t kProbePurgeMs = 100;    // after the purge

extern uint32_t UserSpecifiedCommPort;  // port named at open; 0 = search all
extern uint32_t UserSpecifiedIOTNum;    // IOT number; while set, nothing is searched
extern uint32_t SerialNumber;           // the adapter's serial number
extern uint32_t fSuppressPopups;
extern uint32_t fNotDetectedPopup;

// 0 when a port is open or remembered, else ERR_DEVICE_NOT_CONNECTED after
// searching for the adapter.
int32_t JmsgCheckConnection();

// Takes the port or IOT number a device name of PassThruOpen gives; other
// names change nothing.  Returns the text the call's line shows (for
// "IOT:" the number after its leading zeros), nullptr for no name.
const char *TakeDeviceName(const char *name);

// DeviceID check of the 04.04 entry points: the adapter's port number, the
// IOT number, or 0 while no IOT number is set.
bool DeviceIdValid(uint32_t DeviceID);

}  // namespace tenq
