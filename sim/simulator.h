/*
 * simulator.h - the simulated Orvane adapter on a pseudo-terminal.
 *
 * The simulator links the slave side of a pseudo-terminal as COM<n> under
 * the relocation root and plays the adapter on the master side, in a thread
 * of its own: it cuts the library's byte stream into frames, logs each one,
 * answers through a table of handlers (sim/handlers.h) and sends its output
 * through a queue that never blocks on a full terminal (sim/output_queue.h).
 *
 * Every method may be called from any thread while the simulator runs.  The
 * knobs take effect for frames handled after the call returns.
 */
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/adapter_clock.h"
#include "sim/adapter_identity.h"
#include "sim/adapter_io.h"
#include "sim/adapter_memory.h"
#include "sim/adapter_options.h"
#include "sim/adapter_outputs.h"
#include "sim/bus_devices.h"
#include "sim/filter_slots.h"
#include "sim/frame.h"
#include "sim/frame_log.h"
#include "sim/handlers.h"
#include "sim/input_pacer.h"
#include "sim/kline_init.h"
#include "sim/output_queue.h"
#include "sim/periodic_slots.h"
#include "sim/sd_card.h"
#include "sim/security_service.h"

namespace orvane::sim {

class PtyPort;

struct Options {
    uint32_t com_port = 7;
    // Relocation root; empty means $ORVANE_ROOT, and that unset or empty "/".
    std::string root;
    std::vector<uint8_t> version = kDefaultVersion;
    uint32_t serial_number = kDefaultSerialNumber;
    // SD-card files are loaded from this folder and changes saved to it;
    // empty: the card lives in memory only (sim/sd_card.h).
    std::string sd_folder;
    bool pace = false;  // pace both directions at the link's 115200 baud
    // Observers, called on the simulator's thread: each frame received
    // (before it is handled) and each reply as it is queued.
    std::function<void(const LoggedFrame &)> on_received;
    std::function<void(const Frame &)> on_reply;
};

class Simulator {
  public:
    explicit Simulator(Options options = {});
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Creates the terminal and its link and starts the thread.  Throws
    // std::system_error or std::runtime_error when the port cannot be set up.
    void start();
    // Stops the thread, discards unsent output, removes the link.  Returns
    // even when the library never reads.
    void stop();
    bool running() const { return thread_.joinable(); }

    uint32_t com_port() const { return options_.com_port; }
    // The COM<n> link and the terminal it leads to; empty until started.
    std::string port_path() const;
    std::string slave_path() const;

    // Simulator time in 1/256 ms since start(), as the adapter stamps frames.
    uint32_t now_ticks() const;
    FrameLog &log() { return log_; }

    // Knobs.
    void set_silent(bool on);                               // answer nothing
    void set_reply_delay(std::chrono::milliseconds delay);  // answer late
    void set_split_output(bool on);                         // one write per byte
    void set_pacing(bool on);                               // 115200 baud, both directions
    void set_version(std::vector<uint8_t> version);
    void set_version_reply_size(std::optional<uint8_t> size);  // wrong-size answer
    void set_serial_number(uint32_t serial);

    // Sends bytes to the library behind everything queued, whatever the
    // knobs say: a frame exactly as given (its time stamp included), or any
    // bytes at all.
    void inject(const Frame &frame);
    void inject_raw(std::vector<uint8_t> bytes);

    // Installs a handler for {dev, op, type} (HandlerTable::kAnyType for all
    // types), replacing the simulator's own; a null handler removes it, so
    // such frames are only logged.
    void set_handler(uint8_t dev, uint8_t op, int type, Handler handler);

    // Copies of what the library told the bus units: setup blocks, started
    // devices and clears; filter slots; periodic slots and suspensions.
    BusDevices bus_devices() const;
    FilterSlots filter_slots() const;
    PeriodicSlots periodic_slots() const;

    // Echo the data frames the library transmits (the adapter's loopback).
    void set_loopback(bool on);
    // Bus data frames taken for transmission, and the last programming
    // voltage set (none until the first).
    AdapterOutputs outputs() const;

    // The SD card, memory area, clock and seed/key service: runs `f` on the
    // state with the simulator's lock held, for knobs (each has a `mode`)
    // and inspection.  `f` must not call back into the simulator.
    template <typename F> decltype(auto) with_sd_card(F &&f)
    {
        std::lock_guard lock(mu_);
        return f(sd_card_);
    }
    template <typename F> decltype(auto) with_memory(F &&f)
    {
        std::lock_guard lock(mu_);
        return f(memory_);
    }
    template <typename F> decltype(auto) with_clock(F &&f)
    {
        std::lock_guard lock(mu_);
        return f(clock_);
    }
    template <typename F> decltype(auto) with_security(F &&f)
    {
        std::lock_guard lock(mu_);
        return f(security_);
    }

    // Option frames (sim/adapter_options.h), analogue and digital I/O
    // (sim/adapter_io.h) and K-line initialisations (sim/kline_init.h):
    // copies for inspection, and `with_` access for knobs (readings, key
    // bytes, responses) under the simulator's lock.
    AdapterOptions adapter_options() const
    {
        std::lock_guard lock(mu_);
        return options_state_;
    }
    template <typename F> decltype(auto) with_io(F &&f)
    {
        std::lock_guard lock(mu_);
        return f(io_);
    }
    template <typename F> decltype(auto) with_kline_init(F &&f)
    {
        std::lock_guard lock(mu_);
        return f(kline_init_);
    }

    // True once everything queued has been written to the terminal.
    bool wait_sent(std::chrono::milliseconds timeout);
    size_t queued_bytes() const;
    uint64_t dropped_bytes() const;
    // Bytes received that do not yet make a whole frame.
    size_t partial_bytes() const;

  private:
    class ReplyContext;
    using Clock = OutputQueue::Clock;

    uint32_t ticks_at(Clock::time_point t) const;
    void wake();
    void run();
    void read_master();
    // Frames whose last byte had crossed the line at `arrived`.
    void receive(std::span<const uint8_t> bytes, Clock::time_point arrived);
    void handle(const Frame &frame, Clock::time_point arrived);
    void queue_locked(std::vector<uint8_t> bytes, Clock::time_point due);

    Options options_;
    Clock::time_point start_;
    std::unique_ptr<PtyPort> port_;
    int wake_fd_ = -1;
    std::thread thread_;
    std::atomic<bool> stopping_{false};

    // Everything below is guarded by mu_; handlers run with it held.
    mutable std::mutex mu_;
    std::condition_variable sent_;
    HandlerTable handlers_;
    // One state struct per concern, each with its own file that adds its
    // handlers to the table in the constructor.
    AdapterIdentity identity_;
    SdCard sd_card_;
    AdapterMemory memory_;
    AdapterClock clock_;
    SecurityService security_;
    AdapterOutputs outputs_;
    BusDevices bus_;
    FilterSlots filters_;
    PeriodicSlots periodic_;
    AdapterOptions options_state_;
    AdapterIo io_;
    KLineInit kline_init_;
    OutputQueue out_;
    bool silent_ = false;
    std::chrono::milliseconds reply_delay_{0};
    FrameCutter cutter_;
    InputPacer in_;

    FrameLog log_;
};

}  // namespace orvane::sim
