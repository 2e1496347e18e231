/*
 * debug_socket.cpp - the debug channel's TCP connection to the local host.
 *
 * No global state: the caller keeps the socket.
 */
#include "platform/debug_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

int debug_socket_open(uint16_t port)
{
    // Close-on-exec: a host that starts other programs must not hand them
    // our connection.
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return kInvalidSocket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        // Every failed attempt would otherwise leak one descriptor, and the
        // connection is retried at every connection attempt.
        close(fd);
        return kInvalidSocket;
    }
    return fd;
}

void debug_socket_send(int socket, const char *data, size_t len)
{
    if (socket < 0 || data == nullptr || len == 0)
        return;
    // MSG_NOSIGNAL: a listener that went away must not kill the host with
    // SIGPIPE.  MSG_DONTWAIT: a listener that stops reading must not stall
    // the host; what does not fit is lost.
    (void)send(socket, data, len, MSG_NOSIGNAL | MSG_DONTWAIT);
}

void debug_socket_close(int socket)
{
    if (socket >= 0)
        close(socket);
}

}  // namespace platform
