// The simulated adapter end to end, driven from the slave side of its
// pseudo-terminal with plain POSIX I/O, as the library's driver would.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "sim/sim_fixture.h"

namespace orvane::sim {
namespace {

using namespace std::chrono_literals;

// Generous bound so a stuck simulator fails the test instead of hanging it;
// never a statement about speed.
constexpr auto kPatience = 20s;

class SlavePort {
  public:
    explicit SlavePort(const std::string &path)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            return;
        termios tio;
        ::tcgetattr(fd_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd_, TCSANOW, &tio);
    }
    ~SlavePort() { close(); }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    bool is_open() const { return fd_ >= 0; }

    void write(const std::vector<uint8_t> &bytes)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<size_t>(n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                FAIL() << "write: " << std::strerror(errno);
            else
                wait(POLLOUT, 100);
        }
    }
    void write(const Frame &frame) { write(encode(frame)); }

    // Exactly `count` bytes; fewer only if the simulator stops sending.
    std::vector<uint8_t> read(size_t count)
    {
        std::vector<uint8_t> out(count);
        size_t done = 0;
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (done < count && std::chrono::steady_clock::now() < deadline) {
            const ssize_t n = ::read(fd_, out.data() + done, count - done);
            if (n > 0)
                done += static_cast<size_t>(n);
            else
                wait(POLLIN, 100);
        }
        out.resize(done);
        return out;
    }

    std::optional<Frame> read_frame()
    {
        auto wire = read(kHeaderSize);
        if (wire.size() < kHeaderSize)
            return std::nullopt;
        const auto data = read(wire[1]);
        wire.insert(wire.end(), data.begin(), data.end());
        return decode(wire);
    }

    // True when bytes are waiting right now.
    bool has_input() { return wait(POLLIN, 0); }

  private:
    bool wait(short events, int ms)
    {
        pollfd p{fd_, events, 0};
        return ::poll(&p, 1, ms) > 0;
    }
    int fd_ = -1;
};

const Frame kStop(JMSG_ADAPTER, JMSG_DEV_STOP);
const Frame kVersionQuery(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_VERSION);
const Frame kSerialQuery(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_DEVICE_INFO);

using SimulatedAdapter = SimFixture;

TEST_F(SimulatedAdapter, AnswersTheSearchWithVersionAndSerialNumber)
{
    Options options;
    options.serial_number = 0xA1B2C3D4;
    Simulator &sim = start_sim(7, options);
    const std::string link = root() + "/etc/passthru/ports/COM7";
    EXPECT_EQ(sim.port_path(), link);
    EXPECT_EQ(std::getenv("ORVANE_ROOT"), root());
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.slave_path());

    SlavePort port(link);
    ASSERT_TRUE(port.is_open());
    const uint32_t before = sim.now_ticks();
    std::vector<uint8_t> search;
    for (const Frame &f : {kStop, kVersionQuery, kSerialQuery})
        encode_to(f, search);
    port.write(search);

    auto version = port.read_frame();
    ASSERT_TRUE(version);
    EXPECT_EQ(version->dev, JMSG_ADAPTER);
    EXPECT_EQ(version->op, JMSG_DEV_READ);
    EXPECT_EQ(version->type, JMSG_TYPE_VERSION);
    EXPECT_EQ(version->data, kDefaultVersion);

    auto serial = port.read_frame();
    const uint32_t after = sim.now_ticks();
    ASSERT_TRUE(serial);
    EXPECT_EQ(serial->type, JMSG_TYPE_DEVICE_INFO);
    ASSERT_EQ(serial->data.size(), kDeviceInfoSize);
    EXPECT_EQ((std::vector<uint8_t>(serial->data.begin() + 8, serial->data.end())),
              (std::vector<uint8_t>{0xA1, 0xB2, 0xC3, 0xD4}));

    // Stamped with the simulator's clock, most significant byte first.
    for (const Frame *f : {&*version, &*serial}) {
        EXPECT_GE(f->timestamp_be(), before);
        EXPECT_LE(f->timestamp_be(), after);
    }
    EXPECT_LE(version->timestamp_be(), serial->timestamp_be());

    // The stop got no answer and the log holds exactly what was sent, in order.
    EXPECT_TRUE(sim.wait_sent(kPatience));
    EXPECT_FALSE(port.has_input());
    EXPECT_EQ(sim.log().frames(), (std::vector<Frame>{kStop, kVersionQuery, kSerialQuery}));
    EXPECT_EQ(sim.partial_bytes(), 0u);

    sim.set_version({2, 0, 4, 1});
    port.write(kVersionQuery);
    version = port.read_frame();
    ASSERT_TRUE(version);
    EXPECT_EQ(version->data, (std::vector<uint8_t>{2, 0, 4, 1}));
}

TEST_F(SimulatedAdapter, FramesWithoutHandlerAreLoggedAndUnanswered)
{
    Simulator &sim = start_sim(3);
    SlavePort port(sim.port_path());
    ASSERT_TRUE(port.is_open());

    const Frame setup(JMSG_CAN, JMSG_DEV_WRITE, JMSG_TYPE_SETUP, std::vector<uint8_t>(20, 0x11));
    const Frame half_frame = kVersionQuery;
    port.write(setup);
    port.write(kVersionQuery);
    auto wire = encode(half_frame);
    wire.resize(7);
    port.write(wire);

    // Had the setup block been answered, that answer would come first.
    auto reply = port.read_frame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->type, JMSG_TYPE_VERSION);
    ASSERT_TRUE(sim.log().wait_for_count(2, kPatience));
    EXPECT_EQ(sim.log().frames(), (std::vector<Frame>{setup, kVersionQuery}));
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (sim.partial_bytes() != 7 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(sim.partial_bytes(), 7u);

    // A test can teach the adapter new answers; the partial frame completes.
    sim.set_handler(JMSG_CAN, JMSG_DEV_STOP, HandlerTable::kAnyType,
                    [](const Frame &in, Context &ctx) { ctx.reply(Frame(in.dev, JMSG_DEV_STOP)); });
    const auto whole = encode(half_frame);
    port.write(std::vector<uint8_t>(whole.begin() + 7, whole.end()));
    port.write(Frame(JMSG_CAN, JMSG_DEV_STOP));
    reply = port.read_frame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->type, JMSG_TYPE_VERSION);
    reply = port.read_frame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->dev, JMSG_CAN);
    EXPECT_EQ(reply->op, JMSG_DEV_STOP);
}

TEST_F(SimulatedAdapter, SilentLateAndWrongSizeKnobs)
{
    Simulator &sim = start_sim();
    SlavePort port(sim.port_path());
    ASSERT_TRUE(port.is_open());

    sim.set_silent(true);
    port.write(kVersionQuery);
    port.write(kSerialQuery);
    ASSERT_TRUE(sim.log().wait_for_count(2, kPatience));
    sim.set_silent(false);
    sim.set_version({9, 9});
    port.write(kVersionQuery);
    auto reply = port.read_frame();  // the first answer is to the third query
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data, (std::vector<uint8_t>{9, 9}));

    sim.set_version_reply_size(3);
    port.write(kVersionQuery);
    reply = port.read_frame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data, (std::vector<uint8_t>{9, 9, 0}));
    sim.set_version_reply_size(1);
    port.write(kVersionQuery);
    reply = port.read_frame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data, (std::vector<uint8_t>{9}));
    sim.set_version_reply_size(std::nullopt);

    // A late answer carries the time it left, not the time it was asked.
    sim.set_reply_delay(300ms);
    port.write(kVersionQuery);
    reply = port.read_frame();
    ASSERT_TRUE(reply);
    const auto log = sim.log().entries();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_GE(reply->timestamp_be() - log.back().ticks, 300u * 256u);
    EXPECT_GE(sim.now_ticks() - log.back().ticks, 300u * 256u);
}

TEST_F(SimulatedAdapter, SplitAndPacedOutputDeliversWholeFramesVerbatim)
{
    Simulator &sim = start_sim();
    SlavePort port(sim.port_path());
    ASSERT_TRUE(port.is_open());
    sim.set_split_output(true);
    sim.set_pacing(true);

    std::vector<uint8_t> expected;
    // Garbage, an overflow report, a stop report, an invalid operation, and
    // a frame no real adapter sends (size above 68), exactly as given.
    const std::vector<uint8_t> garbage{0xFF, 0x00, 0x7E};
    sim.inject_raw(garbage);
    expected.insert(expected.end(), garbage.begin(), garbage.end());
    Frame overflow(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_PLAIN, {JMSG_CAN}, JMSG_FLAG_OVERFLOW);
    overflow.set_timestamp_be(0x00010000);
    const Frame big(JMSG_CAN, JMSG_DEV_READ, JMSG_TYPE_PLAIN, std::vector<uint8_t>(100, 0xA5));
    for (const Frame &f :
         {overflow, Frame(JMSG_ISO9141, JMSG_DEV_STOP), Frame(JMSG_CAN, JMSG_DEV_START), big}) {
        sim.inject(f);
        encode_to(f, expected);
    }
    EXPECT_EQ(port.read(expected.size()), expected);

    sim.set_pacing(false);
    port.write(kVersionQuery);
    auto reply = port.read_frame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data, kDefaultVersion);
}

TEST_F(SimulatedAdapter, PacedAnswerLeavesWhenTheRequestHasArrived)
{
    Simulator &sim = start_sim();
    SlavePort port(sim.port_path());
    ASSERT_TRUE(port.is_open());
    sim.set_pacing(true);
    // However late the simulator's thread wakes once the request's last byte
    // is in, the answer starts on the line then, and is stamped so.
    for (int round = 0; round < 5; ++round) {
        port.write(kVersionQuery);
        const auto reply = port.read_frame();
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->timestamp_be(), sim.log().entries().back().ticks);
    }
}

TEST_F(SimulatedAdapter, KeepsAnsweringWhenThePortIsClosedAndReopened)
{
    Simulator &sim = start_sim(5);
    for (int round = 0; round < 3; ++round) {
        SlavePort port(sim.port_path());
        ASSERT_TRUE(port.is_open());
        port.write(kVersionQuery);
        auto reply = port.read_frame();
        ASSERT_TRUE(reply) << "round " << round;
        EXPECT_EQ(reply->type, JMSG_TYPE_VERSION);
    }
    EXPECT_EQ(sim.log().size(), 3u);
}

TEST_F(SimulatedAdapter, AReaderThatNeverReadsBlocksNothing)
{
    Simulator &sim = start_sim();
    SlavePort port(sim.port_path());
    ASSERT_TRUE(port.is_open());

    // Far more than a pseudo-terminal buffers.
    std::vector<uint8_t> expected;
    for (int i = 0; i < 8000; ++i) {
        const Frame f(JMSG_CAN, JMSG_DEV_READ, JMSG_TYPE_PLAIN,
                      std::vector<uint8_t>(68, static_cast<uint8_t>(i >> 8)), 0,
                      static_cast<uint8_t>(i));
        sim.inject(f);
        encode_to(f, expected);
    }
    EXPECT_FALSE(sim.wait_sent(50ms));
    EXPECT_GT(sim.queued_bytes(), 0u);

    // The thread still reads and answers while its output is stuck.
    port.write(kVersionQuery);
    ASSERT_TRUE(sim.log().wait_for_count(1, kPatience));

    // Once the reader reads, everything arrives intact and in order.
    encode_to(Frame(JMSG_ADAPTER, JMSG_DEV_READ, JMSG_TYPE_VERSION, kDefaultVersion), expected);
    auto got = port.read(expected.size());
    ASSERT_EQ(got.size(), expected.size());
    // The reply's time stamp is the simulator's own; compare everything else.
    std::copy_n(got.end() - 6, 4, expected.end() - 6);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(sim.dropped_bytes(), 0u);

    for (int i = 0; i < 8000; ++i)
        sim.inject(Frame(JMSG_CAN, JMSG_DEV_READ, JMSG_TYPE_PLAIN, std::vector<uint8_t>(68, 1)));
    sim.stop();  // must return although the terminal is full
    EXPECT_FALSE(sim.running());
    EXPECT_FALSE(std::filesystem::exists(
        std::filesystem::symlink_status(root() + "/etc/passthru/ports/COM7")));
}

TEST_F(SimulatedAdapter, ReplacesOnlyStalePseudoTerminalLinks)
{
    const std::filesystem::path ports = std::filesystem::path(root()) / "etc/passthru/ports";
    std::filesystem::create_directories(ports);
    std::filesystem::create_symlink("/dev/pts/9999", ports / "COM4");
    Simulator &sim = start_sim(4);
    EXPECT_EQ(std::filesystem::read_symlink(ports / "COM4").string(), sim.slave_path());

    // A port the user mapped to a real device is never taken over.
    std::filesystem::create_symlink("/dev/ttyUSB0", ports / "COM8");
    EXPECT_THROW(start_sim(8), std::runtime_error);
    EXPECT_EQ(std::filesystem::read_symlink(ports / "COM8"), "/dev/ttyUSB0");
}

}  // namespace
}  // namespace orvane::sim
