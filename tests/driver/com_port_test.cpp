// The com_ functions end to end on a pseudo-terminal linked as a COM port
// under a temporary ORVANE_ROOT.  The test holds the master side, where the
// adapter would be.
#include "driver/comdrvr.h"
#include "platform/serial_termios.h"
#include "platform/ticks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kPort = 3;
constexpr int kPatienceMs = 20000;  // only a broken driver waits this long

class ComPortTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/comdrvr_test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        fs::create_directories(ports_dir());
        setenv("ORVANE_ROOT", root_.c_str(), 1);
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        fs::create_symlink(ptsname(master_), ports_dir() / ("COM" + std::to_string(kPort)));
    }

    void TearDown() override
    {
        if (master_ >= 0)
            close(master_);
        unsetenv("ORVANE_ROOT");
        fs::remove_all(root_);
    }

    fs::path ports_dir() const { return root_ / "etc/passthru/ports"; }

    void open_port(int32_t *h)
    {
        ASSERT_EQ(com_open(h, kPort, 115200, 8, 1, 0), 0);
        ASSERT_GE(*h, 0);
    }

    void adapter_sends(const Bytes &bytes)
    {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    // Up to `count` bytes from the master side, waiting while they trickle in.
    Bytes adapter_receives(size_t count)
    {
        Bytes got;
        uint8_t buf[4096];
        while (got.size() < count) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, kPatienceMs) <= 0)
                break;
            ssize_t n = read(master_, buf, std::min(sizeof buf, count - got.size()));
            if (n <= 0)
                break;
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }

    // Everything the driver reads until `count` bytes have come.
    Bytes driver_receives(int32_t *h, size_t count)
    {
        Bytes got;
        auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
        while (got.size() < count && std::chrono::steady_clock::now() < give_up) {
            uint8_t buf[256];
            uint32_t n = 0;
            int32_t rc = com_read(h, buf, sizeof buf, &n);
            EXPECT_EQ(rc, 0);
            if (rc != 0)
                break;
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }

    fs::path root_;
    int master_ = -1;
};

Bytes pattern(size_t size)
{
    Bytes b(size);
    for (size_t i = 0; i < size; ++i)
        b[i] = uint8_t(i * 7 + i / 251);
    return b;
}

class RecordingClock : public platform::Clock {
  public:
    uint32_t tick_count() override { return now; }
    void sleep_ms(uint32_t ms) override
    {
        sleeps.push_back(ms);
        now += ms;
    }
    uint32_t now = 0;
    std::vector<uint32_t> sleeps;
};

TEST_F(ComPortTest, NoPortOpenIsRefusedWithoutTouchingThePort)
{
    int32_t missing = -1;
    ASSERT_EQ(com_open(&missing, 99, 115200, 8, 1, 0), COM_ERR_OPEN);
    ASSERT_EQ(comdrvr::last_error(), ENOENT);

    for (int32_t value : {-1, -2, INT32_MIN}) {
        int32_t h = value;
        uint8_t buf[4] = {};
        uint32_t n = 0;
        DRVSETTINGS settings{};
        EXPECT_EQ(com_close(&h), COM_ERR_NOT_OPEN);
        EXPECT_EQ(com_read(&h, buf, sizeof buf, &n), COM_ERR_NOT_OPEN);
        EXPECT_EQ(com_write(&h, buf, sizeof buf, &n), COM_ERR_NOT_OPEN);
        for (uint32_t func = 0; func <= 7; ++func)
            EXPECT_EQ(com_ioctl(&h, func, &settings, nullptr), COM_ERR_NOT_OPEN) << func;
        EXPECT_EQ(com_rx_count(&h, &n), COM_ERR_NOT_OPEN);
        EXPECT_EQ(com_set_timeout(&h, 10), COM_ERR_NOT_OPEN);
        EXPECT_EQ(com_set_dtr(&h, 1), COM_ERR_NOT_OPEN);
        EXPECT_EQ(com_set_rts(&h, 1), COM_ERR_NOT_OPEN);
        EXPECT_EQ(h, value);
    }
    EXPECT_EQ(comdrvr::last_error(), ENOENT);
    EXPECT_EQ(com_open(nullptr, kPort, 115200, 8, 1, 0), COM_ERR_NOT_OPEN);
}

TEST_F(ComPortTest, OpenIsExclusiveAndResetsTheLastError)
{
    int32_t missing = 1234;
    EXPECT_EQ(com_open(&missing, 4, 115200, 8, 1, 0), COM_ERR_OPEN);
    EXPECT_EQ(missing, -1);
    EXPECT_EQ(comdrvr::last_error(), ENOENT);

    int32_t first = -1;
    ASSERT_NO_FATAL_FAILURE(open_port(&first));
    EXPECT_EQ(comdrvr::last_error(), 0);

    int32_t second = 77;
    EXPECT_EQ(com_open(&second, kPort, 115200, 8, 1, 0), COM_ERR_OPEN);
    EXPECT_EQ(second, -1);
    EXPECT_EQ(comdrvr::last_error(), EWOULDBLOCK);

    const int32_t closed = first;
    EXPECT_EQ(com_close(&first), 0);
    EXPECT_EQ(first, closed);
    // The handle still holds the old number, which no longer names a port.
    uint8_t buf[4];
    uint32_t n = 5;
    EXPECT_EQ(com_read(&first, buf, sizeof buf, &n), COM_ERR_READ);
    EXPECT_EQ(n, 0u);

    ASSERT_NO_FATAL_FAILURE(open_port(&second));
    EXPECT_EQ(com_close(&second), 0);
}

TEST_F(ComPortTest, FailureAfterTheOpenLeavesThePortForTheCallerToClose)
{
    fs::path file = root_ / "not-a-tty";
    std::ofstream(file).put('x');
    fs::create_symlink(file, ports_dir() / "COM5");

    int32_t h = -1;
    EXPECT_EQ(com_open(&h, 5, 115200, 8, 1, 0), COM_ERR_STATE);
    EXPECT_GE(h, 0);
    EXPECT_EQ(comdrvr::last_error(), ENOTTY);
    EXPECT_EQ(com_close(&h), 0);
}

TEST_F(ComPortTest, HandlesNotOpenedByTheDriverAreNeverUsed)
{
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    int32_t h = fds[1];
    uint32_t n = 9;
    EXPECT_EQ(com_write(&h, "data", 4, &n), COM_ERR_WRITE);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(comdrvr::last_error(), EBADF);
    EXPECT_EQ(com_close(&h), COM_ERR_CLOSE);
    char c;
    EXPECT_EQ(read(fds[0], &c, 1), -1);  // nothing was written to the pipe
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_NE(fcntl(fds[1], F_GETFD), -1);  // and it is still open
    close(fds[0]);
    close(fds[1]);
}

TEST_F(ComPortTest, BytesPassUnchangedBothWays)
{
    int32_t h = -1;
    ASSERT_NO_FATAL_FAILURE(open_port(&h));
    uint8_t buf[16];
    uint32_t n = 99;
    EXPECT_EQ(com_read(&h, buf, sizeof buf, &n), 0);  // nothing waits: returns
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(com_read(&h, nullptr, sizeof buf, &n), COM_ERR_NOT_OPEN);
    EXPECT_EQ(com_write(&h, nullptr, 1, &n), COM_ERR_NOT_OPEN);
    EXPECT_EQ(com_read(&h, buf, sizeof buf, nullptr), COM_ERR_NOT_OPEN);

    // Line-editing, flow-control and newline characters must all pass raw.
    const Bytes from_adapter = {0x00, 0x11, 0x13, '\r', '\n', 0x03, 0x04, 0x7f, 0xff, 0x1a};
    adapter_sends(from_adapter);
    EXPECT_EQ(driver_receives(&h, from_adapter.size()), from_adapter);

    const Bytes to_adapter = pattern(3000);
    uint32_t written = 0;
    EXPECT_EQ(com_write(&h, to_adapter.data(), uint32_t(to_adapter.size()), &written), 0);
    EXPECT_EQ(written, to_adapter.size());
    EXPECT_EQ(adapter_receives(to_adapter.size()), to_adapter);

    uint32_t rx = 0;
    EXPECT_EQ(com_rx_count(&h, &rx), 0);
    EXPECT_EQ(rx, 32768u);
    EXPECT_EQ(com_close(&h), 0);
}

TEST_F(ComPortTest, ReadReturnsWhatIsBufferedAndWaitsOnlyWhenNothingIs)
{
    struct Case {
        const char *what;
        uint32_t timeout_ms;
        Bytes buffered;  // waiting before the read
        Bytes later;     // sent 100 ms into the read
        long min_ms, max_ms;
    };
    const Case cases[] = {
        {"buffered bytes come at once", 500, {1, 2, 3}, {}, 0, 250},
        {"the first bytes to arrive end the wait", 500, {}, {4, 5}, 90, 350},
        {"nothing waits out the time-out", 500, {}, {}, 450, 5000},
        {"time-out 0 returns at once", 0, {}, {}, 0, 250},
    };
    int32_t h = -1;
    ASSERT_NO_FATAL_FAILURE(open_port(&h));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(com_set_timeout(&h, c.timeout_ms), 0);
        adapter_sends(c.buffered);
        std::thread sender;
        if (!c.later.empty())
            sender = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                EXPECT_EQ(write(master_, c.later.data(), c.later.size()), ssize_t(c.later.size()));
            });
        uint8_t buf[256];
        uint32_t n = 0;
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(com_read(&h, buf, sizeof buf, &n), 0);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - t0)
                            .count();
        if (sender.joinable())
            sender.join();
        EXPECT_EQ(Bytes(buf, buf + n), c.buffered.empty() ? c.later : c.buffered);
        EXPECT_GE(ms, c.min_ms);
        EXPECT_LE(ms, c.max_ms);
    }
    EXPECT_EQ(com_close(&h), 0);
}

TEST_F(ComPortTest, SettingsReadBackAsSet)
{
    struct Case {
        uint32_t stop_bits, parity;
        uint8_t stop_code;
    };
    for (Case c : {Case{1, 0, 0}, Case{2, 0, 2}, Case{0, 0, 2}, Case{3, 0, 2}, Case{1, 1, 0}}) {
        int32_t h = -1;
        ASSERT_EQ(com_open(&h, kPort, 115200, 8, c.stop_bits, c.parity), 0);
        DRVSETTINGS s{};
        EXPECT_EQ(com_ioctl(&h, COM_IOCTL_GET_SETTINGS, &s, nullptr), 0);
        EXPECT_EQ(s.BaudRate, 115200u);
        EXPECT_EQ(s.DataBits, 8);
        EXPECT_EQ(s.Parity, 0) << "parity argument " << c.parity;
        EXPECT_EQ(s.StopBits, c.stop_code) << "stop_bits " << c.stop_bits;
        EXPECT_EQ(s.DtrDsr, 1);
        EXPECT_EQ(s.RtsCts, 0);
        EXPECT_EQ(s.XonXoff, 0);
        EXPECT_EQ(com_close(&h), 0);
    }

    int32_t h = -1;
    ASSERT_NO_FATAL_FAILURE(open_port(&h));
    // A pseudo-terminal keeps 8 data bits and no parity whatever it is told;
    // what was set must still read back.  250000 has no termios speed.
    DRVSETTINGS set = {250000, 7, 2, 2, 0, 5, 1};
    EXPECT_EQ(com_ioctl(&h, COM_IOCTL_SET_SETTINGS, &set, nullptr), 0);
    DRVSETTINGS got{};
    EXPECT_EQ(com_ioctl(&h, COM_IOCTL_GET_SETTINGS, &got, nullptr), 0);
    EXPECT_EQ(got.BaudRate, 250000u);
    EXPECT_EQ(got.DataBits, 7);
    EXPECT_EQ(got.Parity, 2);
    EXPECT_EQ(got.StopBits, 2);
    EXPECT_EQ(got.DtrDsr, 0);
    EXPECT_EQ(got.RtsCts, 1);
    EXPECT_EQ(got.XonXoff, 1);

    EXPECT_EQ(com_ioctl(&h, COM_IOCTL_XONXOFF_OFF, nullptr, nullptr), 0);
    EXPECT_EQ(com_ioctl(&h, COM_IOCTL_GET_SETTINGS, &got, nullptr), 0);
    EXPECT_EQ(got.XonXoff, 0);
    EXPECT_EQ(com_ioctl(&h, COM_IOCTL_XONXOFF_ON, nullptr, nullptr), 0);
    EXPECT_EQ(com_ioctl(&h, COM_IOCTL_GET_SETTINGS, &got, nullptr), 0);
    EXPECT_EQ(got.XonXoff, 1);

    // Settings the line cannot take are refused and change nothing.
    for (DRVSETTINGS bad :
         {DRVSETTINGS{0, 8, 0, 0, 1, 0, 0}, DRVSETTINGS{9600, 9, 0, 0, 1, 0, 0},
          DRVSETTINGS{9600, 8, 5, 0, 1, 0, 0}, DRVSETTINGS{9600, 8, 0, 3, 1, 0, 0}}) {
        EXPECT_EQ(com_ioctl(&h, COM_IOCTL_SET_SETTINGS, &bad, nullptr), COM_ERR_STATE);
        EXPECT_EQ(comdrvr::last_error(), EINVAL);
        DRVSETTINGS after{};
        EXPECT_EQ(com_ioctl(&h, COM_IOCTL_GET_SETTINGS, &after, nullptr), 0);
        EXPECT_EQ(after.BaudRate, 250000u);
        EXPECT_EQ(after.DataBits, 7);
    }
    EXPECT_EQ(com_ioctl(&h, COM_IOCTL_GET_SETTINGS, nullptr, nullptr), COM_ERR_NOT_OPEN);
    EXPECT_EQ(com_ioctl(&h, COM_IOCTL_SET_SETTINGS, nullptr, nullptr), COM_ERR_NOT_OPEN);
    EXPECT_EQ(com_close(&h), 0);
}

TEST_F(ComPortTest, ParityAndDataBitsReachTheLine)
{
    // What a UART is given for each framing: the settings read back above
    // come from the driver's copy and would hide a wrong mapping.
    struct Parity {
        uint8_t code;
        tcflag_t bits;  // of PARENB, PARODD, CMSPAR
    };
    const tcflag_t kParityBits = PARENB | PARODD | CMSPAR;
    for (Parity p : {Parity{0, 0}, Parity{1, PARENB | PARODD}, Parity{2, PARENB},
                     Parity{3, PARENB | PARODD | CMSPAR}, Parity{4, PARENB | CMSPAR}}) {
        for (uint8_t size = 5; size <= 8; ++size) {
            platform::PortState state;
            state.BaudRate = 115200;
            state.ByteSize = size;
            state.Parity = p.code;
            termios t{};
            platform::apply_to_termios(state, &t);
            const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
            EXPECT_EQ(t.c_cflag & CSIZE, sizes[size - 5]) << "data bits " << int(size);
            EXPECT_EQ(t.c_cflag & kParityBits, p.bits) << "parity " << int(p.code);
        }
    }

    // And through the driver onto the tty: a pseudo-terminal keeps the odd
    // bit of the parity (not its enable or the size; qemu-user, which runs
    // the 32-bit tests, does not carry the stick bit either).
    int32_t h = -1;
    ASSERT_NO_FATAL_FAILURE(open_port(&h));
    termios t{};
    ASSERT_EQ(tcgetattr(h, &t), 0);
    EXPECT_EQ(t.c_cflag & PARODD, 0u) << "the adapter's line has no parity";
    for (Parity p : {Parity{3, PARODD}, Parity{4, 0}, Parity{1, PARODD}, Parity{2, 0}}) {
        DRVSETTINGS set = {9600, 7, p.code, 0, 0, 0, 0};
        ASSERT_EQ(com_ioctl(&h, COM_IOCTL_SET_SETTINGS, &set, nullptr), 0);
        ASSERT_EQ(tcgetattr(h, &t), 0);
        EXPECT_EQ(t.c_cflag & PARODD, p.bits) << "parity " << int(p.code);
    }
    EXPECT_EQ(com_close(&h), 0);
}

TEST_F(ComPortTest, HungUpPortWaitsLikeAnIdleOne)
{
    int32_t h = -1;
    ASSERT_NO_FATAL_FAILURE(open_port(&h));
    close(master_);  // the adapter is unplugged
    master_ = -1;
    RecordingClock clock;
    platform::set_clock(&clock);
    // It polls readable at once, forever; a caller's polling loop must not
    // spin on it, but wait out its interval.
    EXPECT_FALSE(platform::serial_wait_readable(h, 20));
    EXPECT_FALSE(platform::serial_wait_readable(h, 20));
    platform::set_clock(nullptr);
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{20, 20}));
    // Reads still report the hang-up.
    uint8_t buf[8];
    uint32_t n = 0;
    EXPECT_NE(com_read(&h, buf, sizeof buf, &n), 0);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(com_close(&h), 0);
}

TEST_F(ComPortTest, ControlFunctions)
{
    int32_t h = -1;
    ASSERT_NO_FATAL_FAILURE(open_port(&h));
    DRVSETTINGS untouched{};
    EXPECT_EQ(com_ioctl(&h, 0, &untouched, nullptr), COM_ERR_NOT_OPEN);
    EXPECT_EQ(com_ioctl(&h, 7, &untouched, nullptr), COM_ERR_NOT_OPEN);

    // A pseudo-terminal has no modem lines; the modes are still accepted.
    EXPECT_EQ(com_set_dtr(&h, 0), 0);
    EXPECT_EQ(com_set_dtr(&h, 1 | 4), 0);
    EXPECT_EQ(com_set_rts(&h, 1), 0);
    EXPECT_EQ(com_set_rts(&h, 3), 0);
    EXPECT_EQ(com_set_dtr(&h, 3), COM_ERR_STATE);  // DTR has no toggle mode
    EXPECT_EQ(com_set_timeout(&h, 5), 0);

    // A purge drops what waits from before it, and only that.
    adapter_sends({'o', 'l', 'd'});
    EXPECT_EQ(com_ioctl(&h, COM_IOCTL_PURGE, nullptr, nullptr), 0);
    adapter_sends({'n', 'e', 'w'});
    EXPECT_EQ(driver_receives(&h, 3), (Bytes{'n', 'e', 'w'}));

    RecordingClock clock;
    platform::set_clock(&clock);
    adapter_sends({'o', 'l', 'd'});
    const int32_t rc = com_ioctl(&h, COM_IOCTL_BREAK, nullptr, nullptr);
    platform::set_clock(nullptr);
    if (rc == COM_ERR_BREAK && comdrvr::last_error() == ENOSYS) {
        // qemu-user, which runs the 32-bit tests on some hosts, has no break ioctls.
        EXPECT_EQ(com_close(&h), 0);
        GTEST_SKIP() << "the emulator does not implement TIOCSBRK";
    }
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{100, 100}));
    adapter_sends({'n', 'e', 'w'});
    EXPECT_EQ(driver_receives(&h, 3), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(com_close(&h), 0);
}

TEST_F(ComPortTest, WriteThatCannotProgressReportsWhatWentOut)
{
    int32_t h = -1;
    ASSERT_NO_FATAL_FAILURE(open_port(&h));
    // Nobody reads the master side: the pseudo-terminal fills up.
    const Bytes data = pattern(1 << 20);
    uint32_t written = 0;
    EXPECT_EQ(com_write(&h, data.data(), uint32_t(data.size()), &written), 0);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, data.size());

    // Exactly the bytes reported, once each.
    Bytes got = adapter_receives(written);
    EXPECT_EQ(got, Bytes(data.begin(), data.begin() + written));
    pollfd p{master_, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 100), 0);
    EXPECT_EQ(com_close(&h), 0);
}

TEST_F(ComPortTest, WriteKeepsGoingWhileThePortTakesBytes)
{
    int32_t h = -1;
    ASSERT_NO_FATAL_FAILURE(open_port(&h));
    // Far more than the pseudo-terminal buffers, drained in small bites so
    // that the whole write takes well over the one-second stall limit.
    const Bytes data = pattern(96 * 1024);
    Bytes got;
    std::thread adapter([&] {
        while (got.size() < data.size()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            Bytes bite = adapter_receives(std::min<size_t>(2048, data.size() - got.size()));
            if (bite.empty())
                break;
            got.insert(got.end(), bite.begin(), bite.end());
        }
    });
    uint32_t written = 0;
    EXPECT_EQ(com_write(&h, data.data(), uint32_t(data.size()), &written), 0);
    adapter.join();
    EXPECT_EQ(written, data.size());
    EXPECT_EQ(got, data);
    EXPECT_EQ(com_close(&h), 0);
}

}  // namespace
