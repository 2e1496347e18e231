// bench_sim.h - what the benchmarks against the simulated adapter share:
// a private installation root, the adapter on COM7 pacing at 115200 baud,
// the CPU clock of the calling thread (the library's), and the timing of
// calls against the byte time of the frames the link carried both ways.
#pragma once

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "j2534.h"
#include "sim/output_queue.h"
#include "sim/simulator.h"

namespace bench {

constexpr uint32_t kSimPort = 7;

inline double thread_cpu_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Bytes of the replies the simulated adapter queued since the last reset.
inline std::atomic<uint64_t> reply_bytes{0};

// Bytes the link carried to the adapter: every frame in its log.
inline size_t link_bytes_received(orvane::sim::Simulator &sim)
{
    size_t bytes = 0;
    for (const auto &f : sim.log().frames())
        bytes += orvane::sim::kHeaderSize + f.data.size();
    return bytes;
}

// Link, wall and CPU time of the timed calls of one benchmark.
struct LinkTotals {
    double link_ms = 0, wall_ms = 0, cpu_ms = 0;

    // Times `call` (true on success) and adds its figures; the bytes of the
    // link are the frames the adapter received and the replies it sent
    // meanwhile.  False when the call failed.
    template <typename Call>
    bool time(benchmark::State &state, orvane::sim::Simulator &sim, Call call)
    {
        sim.log().clear();
        reply_bytes = 0;
        const double cpu0 = thread_cpu_ms();
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = call();
        const auto t1 = std::chrono::steady_clock::now();
        const double cpu1 = thread_cpu_ms();
        if (!ok)
            return false;
        const double wall = std::chrono::duration<double, std::milli>(t1 - t0).count();
        state.SetIterationTime(wall / 1e3);
        const size_t bytes = link_bytes_received(sim) + reply_bytes;
        link_ms +=
            std::chrono::duration<double, std::milli>(orvane::sim::OutputQueue::link_time(bytes))
                .count();
        wall_ms += wall;
        cpu_ms += cpu1 - cpu0;
        return true;
    }

    // Sets the benchmark's counters and prints the figures per iteration,
    // with the targets for the rate and (when not 0) the CPU share.
    void report(benchmark::State &state, const char *what, int rate_target, int cpu_target) const
    {
        const double k = static_cast<double>(state.iterations());
        state.counters["link_ms"] = link_ms / k;
        state.counters["wall_ms"] = wall_ms / k;
        state.counters["rate_pct"] = 100.0 * link_ms / wall_ms;
        state.counters["cpu_ms"] = cpu_ms / k;
        state.counters["cpu_pct"] = 100.0 * cpu_ms / wall_ms;
        std::printf(
            "%s: link %.1f ms, wall %.1f ms, %.2f%% of the link's byte rate (target >= %d); "
            "library CPU %.2f ms, %.2f%% of wall",
            what, link_ms / k, wall_ms / k, 100.0 * link_ms / wall_ms, rate_target, cpu_ms / k,
            100.0 * cpu_ms / wall_ms);
        if (cpu_target != 0)
            std::printf(" (target <= %d)", cpu_target);
        std::printf("\n");
    }
};

// Runs the registered benchmarks with the simulated adapter open; `sim`
// points at it meanwhile, and `prepare` (may be null) sets the library state
// the benchmarks start from.  Returns the program's exit code.
inline int run_with_simulator(const char *program, orvane::sim::Simulator *&sim, void (*prepare)())
{
    // A private installation root with the simulated adapter as COM7.
    std::string root = (std::filesystem::temp_directory_path() / "orvane-bench-XXXXXX").string();
    if (::mkdtemp(root.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    ::setenv("ORVANE_ROOT", root.c_str(), 1);
    int rc = 0;
    {
        orvane::sim::Options options;
        options.com_port = kSimPort;
        options.root = root;
        options.pace = true;
        options.on_reply = [](const orvane::sim::Frame &f) {
            reply_bytes += orvane::sim::kHeaderSize + f.data.size();
        };
        auto simulator = std::make_unique<orvane::sim::Simulator>(options);
        simulator->start();
        sim = simulator.get();
        uint32_t device = 0;
        if (PassThruOpen("COM7", &device) != STATUS_NOERROR) {
            std::fprintf(stderr, "%s: the simulated adapter was not found\n", program);
            rc = 1;
        } else {
            if (prepare != nullptr)
                prepare();
            benchmark::RunSpecifiedBenchmarks();
            PassThruClose(device);
        }
        simulator->stop();
        sim = nullptr;
    }
    benchmark::Shutdown();
    std::filesystem::remove_all(root);
    return rc;
}

}  // namespace bench
