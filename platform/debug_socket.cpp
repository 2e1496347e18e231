/*
 * debug_socket.cpp - the debug channel's TCP connection to the local host.
 *
 * No global state: the caller keeps the socket.
 */
#include "platform/debug_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// A listener that accepts nothing (its accept queue full) would hold a
// blocking connect for minutes of SYN retries, and the host with it.  The
// loopback answers in microseconds when it answers at all.
constexpr int kConnectLimitMs = 100;

bool connect_bounded(int fd, const sockaddr_in &address)
{
    if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
        return true;
    if (errno != EINPROGRESS)
        return false;
    pollfd p{fd, POLLOUT, 0};
    int r;
    do
        r = poll(&p, 1, kConnectLimitMs);
    while (r < 0 && errno == EINTR);
    if (r <= 0)
        return false;
    int error = 0;
    socklen_t len = sizeof error;
    return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
}

}  // namespace

int debug_socket_open(uint16_t port)
{
    // Close-on-exec: a host that starts other programs must not hand them
    // our connection.
    // Non-blocking from the start: the connect is bounded, and the sends
    // never wait anyway.
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return kInvalidSocket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!connect_bounded(fd, address)) {
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
