/*
 * ioctl.h - the handlers behind PassThruIoctl, grouped by concern:
 * configuration parameters (config_params.cpp), analogue and digital I/O and
 * the display test (device_io.cpp), the device and protocol information
 * tables (device_info.cpp) and the two K-line initialisations
 * (kline_init.cpp).  The dispatcher (ioctl.cpp) has already checked the
 * connection and the channel when one of these runs; each handler checks the
 * records it is given and answers a J2534 status.
 */
#pragma once

#include <cstdint>

#include "j2534.h"

namespace tenq {

// The adapter's option frames (0xF0, op 3, no data).  Frame 0 carries the
// loopback and message-trigger bits together (and the timer reset alone);
// frame 7 carries one parameter's own bit at a time.
constexpr uint8_t JMSG_TYPE_OPTIONS = 0;
constexpr uint8_t JMSG_TYPE_OPTIONS7 = 7;
constexpr uint8_t kOptionResetTimer = 0x20;
constexpr uint8_t kOptionLoopback = 0x40;
constexpr uint8_t kOptionMsgTrigger = 0x80;
constexpr uint8_t kOption7BusErrors = 0x10;
constexpr uint8_t kOption7NoAutoSuspend = 0x80;

// Line of a refused null record; shared so every control says it alike.
inline constexpr const char *kIoctlNullParameter = "PassThruIoctl null parameter";

// GET_CONFIG / SET_CONFIG of `list` on `ChannelID` (0 allowed: options only).
int32_t IoctlGetConfig(uint32_t ChannelID, SCONFIG_LIST *list);
int32_t IoctlSetConfig(uint32_t ChannelID, const SCONFIG_LIST *list);

// Analogue input `input` (as the adapter numbers them) in millivolts.
int32_t IoctlReadAnalog(const char *name, uint8_t input, uint32_t *pValue);
// Digital input 1 or 2, and digital output 1 or 2 (low byte of *pValue).
int32_t IoctlReadDigital(const char *name, uint8_t input, uint32_t *pValue);
int32_t IoctlWriteDigital(const char *name, uint8_t output, const uint32_t *pValue);
int32_t IoctlWriteLcdTest();

int32_t IoctlGetDeviceInfo(SPARAM_LIST *list);
int32_t IoctlGetProtocolInfo(SPARAM_LIST *list);

int32_t IoctlFiveBaudInit(uint32_t ChannelID, const SBYTE_ARRAY *pInput, SBYTE_ARRAY *pOutput);
int32_t IoctlFastInit(uint32_t ChannelID, PASSTHRU_MSG *pRequest, PASSTHRU_MSG *pResponse);

}  // namespace tenq
