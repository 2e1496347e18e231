// bench_sim.h - what the benchmarks against the simulated adapter share:
// a private installation root, the adapter on COM7 pacing at 115200 baud,
// and the CPU clock of the calling thread (the library's).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "j2534.h"
#include "sim/simulator.h"

namespace bench {

constexpr uint32_t kSimPort = 7;

inline double thread_cpu_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

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
