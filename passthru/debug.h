/*
 * debug.h - the library's debug lines and last-error text.
 *
 * Every event is a text line: a one-letter type, the COM port number, the
 * tick count and the text.  The lines go to a TCP listener on the local host
 * when the registry asks for it; lines of type 'E' also become the text that
 * PassThruGetLastError hands out.
 */
#pragma once

#include <cstddef>
#include <cstdint>

namespace tenq {

constexpr size_t kDbgTextSize = 240;  // DbgBuffer and LastError, terminator included
constexpr uint16_t kDebugPort = 8609;

// Line types.
constexpr char DBG_API = 'A';
constexpr char DBG_SENT = 'C';
constexpr char DBG_DIAG = 'D';
constexpr char DBG_ERROR = 'E';
constexpr char DBG_RECEIVED = 'M';
constexpr char DBG_READ = 'R';

extern uint16_t port;  // TCP port of the debug listener
extern char LastError[kDbgTextSize];
extern char DbgBuffer[kDbgTextSize];

// Send one line; 'E' texts also become the last-error text.
void DbgMsg(char DbgMsgType, const char *pDbgMsg);

// Format into DbgBuffer (cut to fit, always terminated) and send it.
void DbgPrintf(char DbgMsgType, const char *format, ...) __attribute__((format(printf, 2, 3)));

// How a line shows a 32-bit argument with "%ld": as the signed 32-bit
// number, so that both word sizes print the same text (long is 64 bits wide
// in the 64-bit library).
inline long LdArg(uint32_t value)
{
    return static_cast<long>(static_cast<int32_t>(value));
}

// True while the debug channel is connected; hex dumps are built only then.
bool DebugChannelOpen();

// Connect the debug channel unless it is already connected.
void OpenDebugChannel();

}  // namespace tenq
