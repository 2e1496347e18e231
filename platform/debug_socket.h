/*
 * debug_socket.h - the TCP connection of the library's debug channel.
 *
 * Always to 127.0.0.1: on Linux the host's own name may resolve to a network
 * address, and debug lines must never leave this machine.  Sends never raise
 * SIGPIPE and never block the caller; a line that does not fit the socket's
 * buffer is dropped.
 */
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

constexpr int kInvalidSocket = -1;

// Connect a stream socket to 127.0.0.1:`port`, giving up after about 100 ms.
// Returns the socket, or kInvalidSocket (the socket is closed) when the
// connect fails or takes longer.
int debug_socket_open(uint16_t port);

// Send `len` bytes without blocking; errors are ignored.
void debug_socket_send(int socket, const char *data, size_t len);

void debug_socket_close(int socket);

}  // namespace platform
