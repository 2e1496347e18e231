// serial_port.cpp - COM ports on termios and poll.
//
// Owns the table of open handles and their port-state shadows (guarded by
// one mutex) and the per-thread last error.  Ports are kept non-blocking;
// every wait is a poll with the handle's time-out.
#include "platform/serial_port.h"

#include "platform/serial_termios.h"
#include "platform/ticks.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <mutex>
#include <unordered_map>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Receive capacity before any serial_setup_queues: the size of the line
// discipline's read buffer.
constexpr uint32_t kDefaultRxQueue = 4096;

// read() and write() take at most this much at once, so that a 32-bit count
// never exceeds SSIZE_MAX in the 32-bit build.
constexpr uint32_t kMaxTransfer = 1u << 30;

// Character devices 136 to 143 are the slave sides of pseudo-terminals
// (Linux devices.txt, "Unix98 PTY slaves").
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;

struct OpenPort {
    PortState state;
    SerialTimeouts timeouts;
    uint32_t rx_queue = kDefaultRxQueue;
    // A pseudo-terminal has no modem lines and refuses TIOCMBIS/TIOCMBIC;
    // the simulator and the tests run on one.
    bool is_pty = false;
};

std::mutex g_ports_mutex;
std::unordered_map<int32_t, OpenPort> g_ports;
thread_local int32_t g_last_error = 0;

bool fail(int error)
{
    g_last_error = error;
    return false;
}

// A copy of the handle's record, or false (EBADF) for a handle not opened here.
bool find_port(int32_t handle, OpenPort *port)
{
    std::lock_guard lock(g_ports_mutex);
    auto it = g_ports.find(handle);
    if (it == g_ports.end())
        return fail(EBADF);
    *port = it->second;
    return true;
}

struct Speed {
    uint32_t rate;
    speed_t code;
};

constexpr Speed kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// The standard speed closest to `rate` by ratio, which is what matters to
// the receiving UART.
speed_t speed_for(uint32_t rate)
{
    const Speed *best = &kSpeeds[0];
    double best_error = INFINITY;
    for (const Speed &s : kSpeeds) {
        double error = std::fabs(std::log(double(rate) / double(s.rate)));
        if (error < best_error) {
            best_error = error;
            best = &s;
        }
    }
    return best->code;
}

uint32_t rate_of(speed_t code)
{
    for (const Speed &s : kSpeeds)
        if (s.code == code)
            return s.rate;
    return 0;
}

constexpr tcflag_t kSizeFlags[] = {CS5, CS6, CS7, CS8};  // ByteSize 5 to 8

// The port state a tty has before anything is set: what termios holds,
// defaults for the rest.
PortState state_from_termios(const termios &t)
{
    PortState s;
    s.BaudRate = rate_of(cfgetospeed(&t));
    for (uint8_t i = 0; i < std::size(kSizeFlags); ++i)
        if ((t.c_cflag & CSIZE) == kSizeFlags[i])
            s.ByteSize = uint8_t(5 + i);
    if (t.c_cflag & PARENB) {
        bool odd = t.c_cflag & PARODD;
        if (t.c_cflag & CMSPAR)
            s.Parity = odd ? MARKPARITY : SPACEPARITY;
        else
            s.Parity = odd ? ODDPARITY : EVENPARITY;
    }
    s.StopBits = (t.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
    s.fParity = t.c_iflag & INPCK;
    s.fOutX = t.c_iflag & IXON;
    s.fInX = t.c_iflag & IXOFF;
    s.fOutxCtsFlow = t.c_cflag & CRTSCTS;
    s.fRtsControl = (t.c_cflag & CRTSCTS) ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    s.XonChar = char(t.c_cc[VSTART]);
    s.XoffChar = char(t.c_cc[VSTOP]);
    return s;
}

bool valid_state(const PortState &s)
{
    return s.BaudRate != 0 && s.ByteSize >= 5 && s.ByteSize <= 8 && s.Parity <= SPACEPARITY &&
           s.StopBits <= TWOSTOPBITS && s.fDtrControl <= DTR_CONTROL_HANDSHAKE &&
           s.fRtsControl <= RTS_CONTROL_TOGGLE;
}

}  // namespace

void apply_to_termios(const PortState &s, termios *t)
{
    cfmakeraw(t);
    t->c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    t->c_cflag |= CLOCAL | CREAD | kSizeFlags[s.ByteSize - 5];
    if (s.Parity != NOPARITY) {
        t->c_cflag |= PARENB;
        if (s.Parity == ODDPARITY || s.Parity == MARKPARITY)
            t->c_cflag |= PARODD;
        if (s.Parity == MARKPARITY || s.Parity == SPACEPARITY)
            t->c_cflag |= CMSPAR;
    }
    if (s.StopBits != ONESTOPBIT)
        t->c_cflag |= CSTOPB;
    if (s.fOutxCtsFlow || s.fRtsControl == RTS_CONTROL_HANDSHAKE)
        t->c_cflag |= CRTSCTS;
    t->c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    if (s.fParity)
        t->c_iflag |= INPCK;
    if (s.fOutX)
        t->c_iflag |= IXON;
    if (s.fInX)
        t->c_iflag |= IXOFF;
    t->c_cc[VSTART] = cc_t(s.XonChar);
    t->c_cc[VSTOP] = cc_t(s.XoffChar);
    // With VMIN 1 a non-blocking read says EAGAIN when nothing waits, so a
    // read of 0 bytes can only mean a hang-up.
    t->c_cc[VMIN] = 1;
    t->c_cc[VTIME] = 0;
    speed_t speed = speed_for(s.BaudRate);
    cfsetispeed(t, speed);
    cfsetospeed(t, speed);
}

namespace {

bool set_modem_line(int fd, int line, bool on, bool is_pty)
{
    if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0)
        return true;
    if (is_pty && (errno == ENOTTY || errno == EINVAL))
        return true;
    return fail(errno);
}

// Milliseconds left until `deadline`, rounded up so that a wait never ends
// just before it; 0 once it has passed.
int ms_until(SteadyClock::time_point deadline)
{
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? int(std::min<int64_t>(left.count(), INT32_MAX)) : 0;
}

// Wait up to `timeout_ms` for `events`.  1 ready, 0 timed out, -1 failed.
int wait_for(int fd, short events, int timeout_ms)
{
    pollfd p{fd, events, 0};
    int r = poll(&p, 1, timeout_ms);
    if (r < 0 && errno == EINTR)
        return 1;  // the caller retries its read or write
    if (r < 0) {
        fail(errno);
        return -1;
    }
    // An error or hang-up without the event: the next read or write would
    // only say EAGAIN again.
    if (r > 0 && (p.revents & events) == 0) {
        fail(EIO);
        return -1;
    }
    return r;
}

}  // namespace

int32_t serial_open(const std::string &path)
{
    // O_NONBLOCK also keeps the open from waiting for carrier.
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        fail(errno);
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        close(fd);
        fail(error);
        return -1;
    }
    OpenPort port;
    termios t;
    if (tcgetattr(fd, &t) == 0)
        port.state = state_from_termios(t);
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISCHR(st.st_mode)) {
        unsigned m = major(st.st_rdev);
        port.is_pty = m >= kPtySlaveMajorFirst && m <= kPtySlaveMajorLast;
    }
    std::lock_guard lock(g_ports_mutex);
    g_ports[fd] = port;
    return fd;
}

bool serial_close(int32_t handle)
{
    {
        std::lock_guard lock(g_ports_mutex);
        if (g_ports.erase(handle) == 0)
            return fail(EBADF);
    }
    // Linux releases the descriptor even when close reports an error.
    if (close(handle) != 0)
        return fail(errno);
    return true;
}

bool serial_get_state(int32_t handle, PortState *state)
{
    OpenPort port;
    if (!find_port(handle, &port))
        return false;
    termios t;
    if (tcgetattr(handle, &t) != 0)
        return fail(errno);
    *state = port.state;
    return true;
}

bool serial_set_state(int32_t handle, const PortState &state)
{
    OpenPort port;
    if (!find_port(handle, &port))
        return false;
    if (!valid_state(state))
        return fail(EINVAL);
    termios before;
    if (tcgetattr(handle, &before) != 0)
        return fail(errno);
    termios t = before;
    apply_to_termios(state, &t);
    if (tcsetattr(handle, TCSANOW, &t) != 0)
        return fail(errno);
    bool dtr = state.fDtrControl != DTR_CONTROL_DISABLE;
    bool rts =
        state.fRtsControl == RTS_CONTROL_ENABLE || state.fRtsControl == RTS_CONTROL_HANDSHAKE;
    if (!set_modem_line(handle, TIOCM_DTR, dtr, port.is_pty) ||
        !set_modem_line(handle, TIOCM_RTS, rts, port.is_pty)) {
        tcsetattr(handle, TCSANOW, &before);
        return false;
    }
    std::lock_guard lock(g_ports_mutex);
    if (auto it = g_ports.find(handle); it != g_ports.end())
        it->second.state = state;
    return true;
}

bool serial_setup_queues(int32_t handle, uint32_t rx_size, uint32_t /*tx_size*/)
{
    std::lock_guard lock(g_ports_mutex);
    auto it = g_ports.find(handle);
    if (it == g_ports.end())
        return fail(EBADF);
    it->second.rx_queue = rx_size;
    return true;
}

bool serial_rx_queue_size(int32_t handle, uint32_t *size)
{
    OpenPort port;
    if (!find_port(handle, &port))
        return false;
    *size = port.rx_queue;
    return true;
}

bool serial_purge(int32_t handle)
{
    OpenPort port;
    if (!find_port(handle, &port))
        return false;
    if (tcflush(handle, TCIOFLUSH) != 0)
        return fail(errno);
    return true;
}

bool serial_set_timeouts(int32_t handle, const SerialTimeouts &timeouts)
{
    std::lock_guard lock(g_ports_mutex);
    auto it = g_ports.find(handle);
    if (it == g_ports.end())
        return fail(EBADF);
    it->second.timeouts = timeouts;
    return true;
}

bool serial_read(int32_t handle, void *buffer, uint32_t count, uint32_t *bytes_read)
{
    *bytes_read = 0;
    OpenPort port;
    if (!find_port(handle, &port))
        return false;
    if (count == 0)
        return true;
    // What is buffered goes to the caller at once: waiting for more would
    // hold up a reply that is already complete.  Only an empty port waits,
    // and only for its first bytes.
    const auto deadline =
        SteadyClock::now() + std::chrono::milliseconds(port.timeouts.read_total_ms);
    for (;;) {
        ssize_t n = read(handle, buffer, std::min(count, kMaxTransfer));
        if (n > 0) {
            *bytes_read = uint32_t(n);
            return true;
        }
        if (n == 0)
            return fail(EIO);  // hung up
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return fail(errno);
        int left = ms_until(deadline);
        if (left == 0)
            return true;
        int r = wait_for(handle, POLLIN, left);
        if (r <= 0)
            return r == 0;
    }
}

bool serial_wait_readable(int32_t handle, uint32_t timeout_ms)
{
    OpenPort port;
    if (!find_port(handle, &port))
        return false;
    const int ms = static_cast<int>(std::min<uint32_t>(timeout_ms, INT32_MAX));
    pollfd p{handle, POLLIN, 0};
    const int r = poll(&p, 1, ms);
    if (r > 0 && (p.revents & POLLHUP) != 0) {
        // A hung-up port polls readable at once, forever: waiting out the
        // time as for an idle port keeps the caller's polling loop from
        // spinning.  Its reads still fail, and its next write reopens it.
        sleep_ms(timeout_ms);
        return false;
    }
    return r != 0;
}

bool serial_write(int32_t handle, const void *buffer, uint32_t count, uint32_t *bytes_written)
{
    *bytes_written = 0;
    OpenPort port;
    if (!find_port(handle, &port))
        return false;
    const auto *in = static_cast<const uint8_t *>(buffer);
    const auto stall = std::chrono::milliseconds(port.timeouts.write_stall_ms);
    auto last_progress = SteadyClock::now();
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = write(handle, in + done, std::min(count - done, kMaxTransfer));
        if (n > 0) {
            done += uint32_t(n);
            last_progress = SteadyClock::now();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            *bytes_written = done;
            return fail(errno);
        }
        int left = ms_until(last_progress + stall);
        if (left == 0)
            break;
        int r = wait_for(handle, POLLOUT, left);
        if (r < 0) {
            *bytes_written = done;
            return false;
        }
        if (r == 0)
            break;
    }
    *bytes_written = done;
    return true;
}

bool serial_set_break(int32_t handle)
{
    OpenPort port;
    if (!find_port(handle, &port))
        return false;
    if (ioctl(handle, TIOCSBRK) != 0)
        return fail(errno);
    return true;
}

bool serial_clear_break(int32_t handle)
{
    OpenPort port;
    if (!find_port(handle, &port))
        return false;
    if (ioctl(handle, TIOCCBRK) != 0)
        return fail(errno);
    return true;
}

int32_t serial_last_error()
{
    return g_last_error;
}

}  // namespace platform
