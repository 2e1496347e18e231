// debug_listener.cpp - a TCP listener on the loopback address that plays
// the debug monitor.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/passthru/fake_port.h"

namespace tenq_test {

DebugListener::DebugListener(uint16_t port)
{
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listen_fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(listen_fd_, 4) != 0)
        throw std::runtime_error("cannot listen on the debug port");
    socklen_t len = sizeof addr;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr *>(&addr), &len);
    port_ = ntohs(addr.sin_port);
}

DebugListener::~DebugListener()
{
    if (conn_fd_ >= 0)
        ::close(conn_fd_);
    ::close(listen_fd_);
}

std::vector<std::string> DebugListener::lines()
{
    if (conn_fd_ < 0) {
        pollfd p{listen_fd_, POLLIN, 0};
        if (::poll(&p, 1, 2000) > 0)
            conn_fd_ = ::accept(listen_fd_, nullptr, nullptr);
    }
    if (conn_fd_ >= 0) {
        char buf[4096];
        pollfd p{conn_fd_, POLLIN, 0};
        // Read until the library has been quiet for a moment.
        while (::poll(&p, 1, 200) > 0) {
            ssize_t n = ::read(conn_fd_, buf, sizeof buf);
            if (n <= 0)
                break;
            pending_.append(buf, static_cast<size_t>(n));
        }
    }
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t end; (end = pending_.find("\r\n", start)) != std::string::npos; start = end + 2)
        out.push_back(pending_.substr(start, end - start));
    return out;
}

}  // namespace tenq_test
