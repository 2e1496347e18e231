// debug_socket_test.cpp - the debug channel's connection to the local host.
#include "platform/debug_socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

namespace {

// A listener on an ephemeral port of every local address, so that a
// connection to the host's network address would be accepted too and show
// up in the peer address.
struct Listener {
    int fd = -1;
    uint16_t port = 0;
    Listener()
    {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        socklen_t len = sizeof address;
        if (bind(fd, reinterpret_cast<sockaddr *>(&address), len) != 0 || listen(fd, 4) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr *>(&address), &len) != 0)
            ADD_FAILURE() << "listener: " << errno;
        port = ntohs(address.sin_port);
    }
    ~Listener() { close(fd); }
    int accept_one(sockaddr_in *peer)
    {
        socklen_t len = sizeof *peer;
        return accept(fd, reinterpret_cast<sockaddr *>(peer), &len);
    }
};

std::string read_to_end(int fd)
{
    std::string got;
    char buf[65536];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        got.append(buf, static_cast<size_t>(n));
    return got;
}

size_t open_fds()
{
    size_t count = 0;
    DIR *dir = opendir("/proc/self/fd");
    while (readdir(dir) != nullptr)
        ++count;
    closedir(dir);
    return count;
}

TEST(DebugSocket, ListenerOnLoopbackReceivesExactlyWhatWasSent)
{
    Listener listener;
    int client = platform::debug_socket_open(listener.port);
    ASSERT_NE(client, platform::kInvalidSocket);
    sockaddr_in peer{};
    int server = listener.accept_one(&peer);
    ASSERT_GE(server, 0);
    EXPECT_EQ(ntohl(peer.sin_addr.s_addr), INADDR_LOOPBACK);

    const std::string first = "A 5 1234 PassThruClose()\r\n";
    const char raw[] = "E 5 1235 bytes\0\xff\r\n";
    const std::string second(raw, sizeof raw - 1);
    platform::debug_socket_send(client, first.data(), first.size());
    platform::debug_socket_send(client, second.data(), second.size());
    platform::debug_socket_close(client);
    EXPECT_EQ(read_to_end(server), first + second);
    close(server);

    platform::debug_socket_send(platform::kInvalidSocket, "x", 1);  // ignored
    platform::debug_socket_close(platform::kInvalidSocket);
}

TEST(DebugSocket, FailedConnectReturnsInvalidAndLeaksNoDescriptor)
{
    uint16_t port;
    {
        Listener gone;  // an ephemeral port that nobody listens on afterwards
        port = gone.port;
    }
    size_t before = open_fds();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(platform::debug_socket_open(port), platform::kInvalidSocket);
    EXPECT_EQ(open_fds(), before);
}

TEST(DebugSocket, ListenerThatAcceptsNothingCostsTheHostNoMoreThanAMoment)
{
    // A listener whose accept queue is full: the kernel drops further
    // handshakes, and a blocking connect would retry them for minutes.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof address;
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&address), len), 0);
    ASSERT_EQ(listen(fd, 0), 0);
    ASSERT_EQ(getsockname(fd, reinterpret_cast<sockaddr *>(&address), &len), 0);
    // Linux completes connections into the queue until it is full; fill it.
    std::vector<int> queued;
    bool full = false;
    while (!full && queued.size() < 64) {
        int c = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        queued.push_back(c);
        if (connect(c, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
            continue;
        ASSERT_EQ(errno, EINPROGRESS);
        pollfd p{c, POLLOUT, 0};
        full = poll(&p, 1, 500) == 0;
    }
    ASSERT_TRUE(full) << "the accept queue never filled";

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::debug_socket_open(ntohs(address.sin_port)), platform::kInvalidSocket);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    for (int c : queued)
        close(c);
    close(fd);
}

TEST(DebugSocket, SendToClosedPeerRaisesNoSigpipe)
{
    Listener listener;
    int client = platform::debug_socket_open(listener.port);
    ASSERT_NE(client, platform::kInvalidSocket);
    sockaddr_in peer{};
    int server = listener.accept_one(&peer);
    ASSERT_GE(server, 0);
    // Close with a reset, so the client's connection is broken at once.
    linger reset{1, 0};
    setsockopt(server, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    close(server);
    pollfd wait{client, POLLIN, 0};
    ASSERT_EQ(poll(&wait, 1, 10000), 1);

    // With SIGPIPE at its default action, a plain send would end the test
    // program here.
    for (int i = 0; i < 3; ++i)
        platform::debug_socket_send(client, "D 5 1 x\r\n", 9);
    errno = 0;
    EXPECT_EQ(send(client, "x", 1, MSG_NOSIGNAL), -1);
    EXPECT_EQ(errno, EPIPE);  // the state in which a plain send raises SIGPIPE
    platform::debug_socket_close(client);
}

TEST(DebugSocket, ListenerThatDoesNotReadNeverBlocksTheSender)
{
    Listener listener;
    int client = platform::debug_socket_open(listener.port);
    ASSERT_NE(client, platform::kInvalidSocket);
    sockaddr_in peer{};
    int server = listener.accept_one(&peer);
    ASSERT_GE(server, 0);

    // Far more than the loopback buffers hold: a blocking send would hang here.
    const std::vector<char> chunk(65536, 'x');
    const size_t chunks = 1024;
    for (size_t i = 0; i < chunks; ++i)
        platform::debug_socket_send(client, chunk.data(), chunk.size());
    platform::debug_socket_close(client);
    size_t received = read_to_end(server).size();
    close(server);
    EXPECT_GT(received, 0u);
    EXPECT_LT(received, chunks * chunk.size());  // the overflow was dropped
}

}  // namespace
