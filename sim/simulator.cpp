/*
 * simulator.cpp - the simulated adapter's thread: read, cut, log, answer,
 * flush.  Owns the pseudo-terminal, the handler table and the state of each
 * concern; no globals.
 */
#include "sim/simulator.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <system_error>
#include <unistd.h>

#include "sim/memory_device.h"
#include "sim/pty_port.h"
#include "sim/sd_directory.h"

namespace orvane::sim {
namespace {

// How much earlier than due the thread wakes for a byte that ends a chunk.
constexpr auto kEarlyWake = std::chrono::microseconds(50);

}  // namespace

// Handlers reply through this while the simulator's lock is held.
class Simulator::ReplyContext : public Context {
  public:
    // `arrived`: when the frame answered had crossed the line.
    ReplyContext(Simulator &sim, Clock::time_point arrived) : sim_(sim), arrived_(arrived) {}

    void reply(Frame frame) override
    {
        if (sim_.silent_)
            return;
        // The adapter answers once the request is in, however late this
        // thread woke to handle it.  A late answer carries the time it
        // leaves, as the adapter would stamp it.
        const auto due = arrived_ + sim_.reply_delay_;
        frame.set_timestamp_be(sim_.ticks_at(due));
        if (sim_.options_.on_reply)
            sim_.options_.on_reply(frame);
        sim_.queue_locked(encode(frame), due);
    }

    uint32_t now_ticks() const override { return sim_.now_ticks(); }

  private:
    Simulator &sim_;
    Clock::time_point arrived_;
};

Simulator::Simulator(Options options) : options_(std::move(options)), start_(Clock::now())
{
    identity_.version = options_.version;
    identity_.serial_number = options_.serial_number;
    out_.set_pacing(options_.pace);
    in_.set_pacing(options_.pace);
    add_identity_handlers(handlers_, identity_);
    sd_card_.attach_folder(options_.sd_folder);
    add_memory_device_handlers(handlers_, sd_card_, memory_);
    add_directory_handlers(handlers_, sd_card_);
    add_clock_handlers(handlers_, clock_);
    add_security_handlers(handlers_, security_);
    add_output_handlers(handlers_, outputs_, bus_);
    add_bus_device_handlers(handlers_, bus_);
    add_filter_slot_handlers(handlers_, filters_);
    add_periodic_slot_handlers(handlers_, periodic_);
    add_option_handlers(handlers_, options_state_, outputs_);
    add_io_handlers(handlers_, io_, outputs_);
    add_kline_init_handlers(handlers_, kline_init_);  // wraps the K-line setup and data handlers
}

Simulator::~Simulator()
{
    stop();
}

void Simulator::start()
{
    if (running())
        return;
    port_ = std::make_unique<PtyPort>(options_.com_port, options_.root);
    wake_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake_fd_ < 0) {
        port_.reset();
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
    {
        // Output queued before the start (or set knobs) is kept; a partial
        // frame from an earlier run belonged to another terminal.
        std::lock_guard lock(mu_);
        cutter_.clear();
        in_.clear();
        start_ = Clock::now();
    }
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void Simulator::stop()
{
    if (!running())
        return;
    stopping_ = true;
    wake();
    thread_.join();
    ::close(wake_fd_);
    wake_fd_ = -1;
    port_.reset();
    std::lock_guard lock(mu_);
    out_.clear();
    sent_.notify_all();
}

std::string Simulator::port_path() const
{
    return port_ ? port_->link_path() : std::string();
}

std::string Simulator::slave_path() const
{
    return port_ ? port_->slave_path() : std::string();
}

uint32_t Simulator::ticks_at(Clock::time_point t) const
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t - start_).count();
    // 256 ticks a millisecond: ns * 256 / 1e6 = ns * 32 / 125000.  Wraps
    // after 4.6 hours, as the adapter's 32-bit counter does.
    return static_cast<uint32_t>(static_cast<uint64_t>(ns) * 32u / 125000u);
}

uint32_t Simulator::now_ticks() const
{
    return ticks_at(Clock::now());
}

void Simulator::wake()
{
    if (wake_fd_ >= 0) {
        const uint64_t one = 1;
        // Can only fail when the counter is saturated, and then a wake is pending anyway.
        [[maybe_unused]] ssize_t n = ::write(wake_fd_, &one, sizeof one);
    }
}

void Simulator::set_silent(bool on)
{
    std::lock_guard lock(mu_);
    silent_ = on;
}

void Simulator::set_reply_delay(std::chrono::milliseconds delay)
{
    std::lock_guard lock(mu_);
    reply_delay_ = delay;
}

void Simulator::set_split_output(bool on)
{
    {
        std::lock_guard lock(mu_);
        out_.set_split(on);
    }
    wake();
}

void Simulator::set_pacing(bool on)
{
    {
        std::lock_guard lock(mu_);
        out_.set_pacing(on);
        in_.set_pacing(on);
    }
    wake();
}

void Simulator::set_loopback(bool on)
{
    std::lock_guard lock(mu_);
    outputs_.loopback = on;
}

AdapterOutputs Simulator::outputs() const
{
    std::lock_guard lock(mu_);
    return outputs_;
}

void Simulator::set_version(std::vector<uint8_t> version)
{
    std::lock_guard lock(mu_);
    identity_.version = std::move(version);
}

void Simulator::set_version_reply_size(std::optional<uint8_t> size)
{
    std::lock_guard lock(mu_);
    identity_.version_reply_size = size;
}

void Simulator::set_serial_number(uint32_t serial)
{
    std::lock_guard lock(mu_);
    identity_.serial_number = serial;
}

void Simulator::set_handler(uint8_t dev, uint8_t op, int type, Handler handler)
{
    std::lock_guard lock(mu_);
    if (handler)
        handlers_.set(dev, op, type, std::move(handler));
    else
        handlers_.remove(dev, op, type);
}

void Simulator::inject(const Frame &frame)
{
    inject_raw(encode(frame));
}

void Simulator::inject_raw(std::vector<uint8_t> bytes)
{
    {
        std::lock_guard lock(mu_);
        queue_locked(std::move(bytes), Clock::now());
    }
    wake();
}

void Simulator::queue_locked(std::vector<uint8_t> bytes, Clock::time_point due)
{
    if (!out_.push(std::move(bytes), due))
        std::fprintf(stderr, "orvane-sim: output queue full, %llu bytes dropped so far\n",
                     static_cast<unsigned long long>(out_.dropped_bytes()));
}

bool Simulator::wait_sent(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mu_);
    return sent_.wait_for(lock, timeout, [this] { return out_.queued_bytes() == 0; });
}

size_t Simulator::queued_bytes() const
{
    std::lock_guard lock(mu_);
    return out_.queued_bytes();
}

uint64_t Simulator::dropped_bytes() const
{
    std::lock_guard lock(mu_);
    return out_.dropped_bytes();
}

size_t Simulator::partial_bytes() const
{
    std::lock_guard lock(mu_);
    return cutter_.pending();
}

void Simulator::handle(const Frame &frame, Clock::time_point arrived)
{
    LoggedFrame entry{frame, ticks_at(arrived)};
    if (options_.on_received)
        options_.on_received(entry);
    {
        std::lock_guard lock(mu_);
        if (const Handler *h = handlers_.find(frame)) {
            ReplyContext ctx(*this, arrived);
            try {
                (*h)(frame, ctx);
            } catch (const std::exception &e) {
                // A handler fault must not take the thread (and the test) down with it.
                std::fprintf(stderr, "orvane-sim: handler for %s failed: %s\n",
                             to_hex(frame).c_str(), e.what());
            }
        }
    }
    log_.append(std::move(entry));
}

void Simulator::read_master()
{
    uint8_t buf[4096];
    size_t limit;
    {
        std::lock_guard lock(mu_);
        limit = in_.read_limit(sizeof buf);
    }
    if (limit == 0)
        return;  // paced bytes still on the line
    const ssize_t n = ::read(port_->master_fd(), buf, limit);
    if (n <= 0)
        return;  // EAGAIN or EINTR: poll again
    const auto now = Clock::now();
    std::vector<uint8_t> arrived;
    {
        std::lock_guard lock(mu_);
        arrived = in_.arrive(std::span<const uint8_t>(buf, static_cast<size_t>(n)), now);
    }
    receive(arrived, now);
}

void Simulator::receive(std::span<const uint8_t> bytes, Clock::time_point arrived)
{
    if (bytes.empty())
        return;
    std::vector<Frame> frames;
    {
        std::lock_guard lock(mu_);
        cutter_.feed(bytes);
        while (auto f = cutter_.next())
            frames.push_back(std::move(*f));
    }
    for (const auto &f : frames)
        handle(f, arrived);
}

void Simulator::run()
{
    // The paced line writes a byte every 87 us; the kernel's default timer
    // slack of 50 us would make each one late by up to that much.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    const int master = port_->master_fd();
    const OutputQueue::Writer writer = [master](const uint8_t *p, size_t len) -> ssize_t {
        for (;;) {
            const ssize_t w = ::write(master, p, len);
            if (w >= 0)
                return w;
            if (errno == EINTR)
                continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
        }
    };

    while (!stopping_) {
        OutputQueue::Result out;
        std::optional<Clock::time_point> in_due;
        {
            std::lock_guard lock(mu_);
            in_due = in_.due();
            out = out_.flush(Clock::now(), writer);
            if (out.state == OutputQueue::State::Failed)
                std::fprintf(stderr,
                             "orvane-sim: write to the terminal failed, output discarded\n");
            if (out.state == OutputQueue::State::Empty || out.state == OutputQueue::State::Failed)
                sent_.notify_all();
        }

        // Paced input on the line: the terminal is not read until it has arrived.
        const short in_events = in_due ? 0 : POLLIN;
        pollfd fds[2] = {
            {master,
             static_cast<short>(in_events | (out.state == OutputQueue::State::Full ? POLLOUT : 0)),
             0},
            {wake_fd_, POLLIN, 0},
        };
        timespec ts{};
        timespec *timeout = nullptr;
        std::optional<Clock::time_point> wake_at;
        if (out.state == OutputQueue::State::Waiting)
            wake_at = out.wake;
        if (in_due && (!wake_at || *in_due < *wake_at))
            wake_at = in_due;
        // A timed wait ends some tens of microseconds late, even without
        // timer slack.  For the byte that completes a frame the thread wakes
        // that much early and waits out the rest awake.
        std::optional<Clock::time_point> awake_until;
        if (wake_at && out.state == OutputQueue::State::Waiting && out.ends_chunk &&
            *wake_at == out.wake) {
            awake_until = out.wake;
            wake_at = out.wake - kEarlyWake;
        }
        if (wake_at) {
            const auto left = std::max(
                std::chrono::nanoseconds(0),
                std::chrono::duration_cast<std::chrono::nanoseconds>(*wake_at - Clock::now()));
            ts.tv_sec = static_cast<time_t>(left.count() / 1'000'000'000);
            ts.tv_nsec = static_cast<long>(left.count() % 1'000'000'000);
            timeout = &ts;
        }
        const int r = ::ppoll(fds, 2, timeout, nullptr);
        if (r < 0)
            continue;  // EINTR
        if (r == 0 && awake_until)
            while (Clock::now() < *awake_until) {
            }
        if (fds[1].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] ssize_t n = ::read(wake_fd_, &count, sizeof count);
        }
        if (in_due && Clock::now() >= *in_due) {
            std::vector<uint8_t> arrived;
            {
                std::lock_guard lock(mu_);
                arrived = in_.release(Clock::now());
            }
            receive(arrived, *in_due);
        }
        if (fds[0].revents & POLLIN)
            read_master();
        else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Cannot happen while our own slave descriptor is open; should it
            // anyway, do not spin on a terminal that reports nothing but hang-ups.
            const timespec pause{0, 1'000'000};
            ::nanosleep(&pause, nullptr);
        }
    }
}

}  // namespace orvane::sim
