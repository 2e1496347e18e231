/*
 * connection.h - the one adapter a process talks to: its port, the lazy
 * device search and the device numbers callers see.
 */
#pragma once

#include <cstdint>

namespace tenq {

constexpr uint32_t kAdapterBaud = 115200;
constexpr uint32_t kSearchTopPort = 1000;  // the search walks the ports down from here
constexpr uint32_t kProbeSettleMs = 200;   // after the stop command, and for each answer
constexpr uint32_t kProbePurgeMs = 100;    // after the purge

extern int32_t hCommPort;               // serial driver handle, -1 while no port is open
extern uint32_t CommPortNum;            // the adapter's COM port; also its DeviceID
extern uint32_t UserSpecifiedCommPort;  // port named at open; 0 = search all
extern uint32_t UserSpecifiedIOTNum;    // IOT number; while set, nothing is searched
extern uint32_t SerialNumber;           // the adapter's serial number
extern uint32_t fSuppressPopups;
extern uint32_t fNotDetectedPopup;

// 0 when a port is open or remembered, else ERR_DEVICE_NOT_CONNECTED after
// searching for the adapter.
int32_t JmsgCheckConnection();

// DeviceID check of the 04.04 entry points: the adapter's port number, the
// IOT number, or 0 while no IOT number is set.
bool DeviceIdValid(uint32_t DeviceID);

}  // namespace tenq
