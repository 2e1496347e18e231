// debug.cpp - debug lines, the debug channel and the last-error text.
// Owns: LastError, DbgBuffer, the debug socket.
#include "passthru/debug.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "passthru/link/link.h"

#include "platform/debug_socket.h"
#include "platform/ticks.h"

namespace tenq {

uint16_t port = kDebugPort;
char LastError[kDbgTextSize] = "No Error";
char DbgBuffer[kDbgTextSize];

namespace {
int debug_socket = platform::kInvalidSocket;
}

bool DebugChannelOpen()
{
    return debug_socket != platform::kInvalidSocket;
}

void OpenDebugChannel()
{
    // A second connection would leave the first one dangling and make the
    // listener see every line twice.
    if (DebugChannelOpen())
        return;
    debug_socket = platform::debug_socket_open(port);
}

void DbgMsg(char DbgMsgType, const char *pDbgMsg)
{
    if (pDbgMsg == nullptr)
        pDbgMsg = "";
    if (DebugChannelOpen()) {
        char line[1024];
        // The numbers print as the 32-bit signed values the listener has always seen.
        int n = std::snprintf(line, sizeof line, "%c %ld %ld %s\r\n", DbgMsgType,
                              LdArg(CommPortNum), LdArg(platform::tick_count()), pDbgMsg);
        if (n > 0) {
            size_t len =
                static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1;
            platform::debug_socket_send(debug_socket, line, len);
        }
    }
    if (DbgMsgType == DBG_ERROR && pDbgMsg != LastError) {
        std::strncpy(LastError, pDbgMsg, sizeof LastError - 1);
        LastError[sizeof LastError - 1] = '\0';
    }
}

void DbgPrintf(char DbgMsgType, const char *format, ...)
{
    // Lines other than errors go nowhere without a listener; the receive
    // path logs at every read, so don't format them for nothing.
    if (DbgMsgType != DBG_ERROR && !DebugChannelOpen())
        return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(DbgBuffer, sizeof DbgBuffer, format, args);
    va_end(args);
    DbgMsg(DbgMsgType, DbgBuffer);
}

}  // namespace tenq
