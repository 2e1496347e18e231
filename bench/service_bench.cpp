// service_bench - how close the request-and-reply services come to the
// serial link's own limit, and what they cost the caller's CPU.
//
// The simulated adapter paces both directions at 115200 baud (10 bits a
// byte).  Every request waits for its reply before the next one goes out,
// so each turn of the link costs whatever lies between a reply's last byte
// and the next request.  The bytes the link had to carry are the frames the
// adapter received during the call and the replies it sent; their byte time
// is the least wall time any implementation could take.  Figures per run:
//   link_ms      byte time of those bytes
//   wall_ms      the run's wall time
//   rate_pct     link_ms / wall_ms: share of the link's byte rate reached (target >= 95)
//   cpu_ms       CPU time of the calling thread, i.e. the library's
//   cpu_pct      cpu_ms / wall_ms
// Runs: a 64 KiB card file read with PassThruReadFile (1025 pieces of up to
// 64 bytes, each a request and its reply), and 1000 PassThruReadVersion calls.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_sim.h"
#include "j2534.h"
#include "sim/simulator.h"

namespace {

using orvane::sim::Simulator;

constexpr char kCardFile[] = "BENCH.BIN";
constexpr size_t kCardFileBytes = 64 * 1024;

Simulator *sim = nullptr;

void BM_ReadFile64KiB(benchmark::State &state)
{
    const std::string pc_file =
        (std::filesystem::path(std::getenv("ORVANE_ROOT")) / "bench.bin").string();
    bench::LinkTotals t;
    for (auto _ : state) {
        int32_t rc = STATUS_NOERROR;
        if (!t.time(state, *sim,
                    [&] {
                        rc = PassThruReadFile(pc_file.c_str(), kCardFile, 0);
                        return rc == STATUS_NOERROR;
                    }) ||
            std::filesystem::file_size(pc_file) != kCardFileBytes) {
            state.SkipWithError(("PassThruReadFile returned " + std::to_string(rc)).c_str());
            return;
        }
    }
    t.report(state, "64 KiB card file read", 95, 0);
}

void BM_ReadVersion1000(benchmark::State &state)
{
    bench::LinkTotals t;
    for (auto _ : state) {
        int32_t rc = STATUS_NOERROR;
        if (!t.time(state, *sim, [&] {
                char fw[80], dll[80], api[80];
                for (int i = 0; i < 1000 && rc == STATUS_NOERROR; ++i)
                    rc = PassThruReadVersion(bench::kSimPort, fw, dll, api);
                return rc == STATUS_NOERROR;
            })) {
            state.SkipWithError(("PassThruReadVersion returned " + std::to_string(rc)).c_str());
            return;
        }
    }
    t.report(state, "1000 PassThruReadVersion calls", 95, 0);
}

BENCHMARK(BM_ReadFile64KiB)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadVersion1000)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    return bench::run_with_simulator("service_bench", sim, [] {
        std::vector<uint8_t> bytes(kCardFileBytes);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(i * 7);
        sim->with_sd_card([&](orvane::sim::SdCard &card) { card.put(kCardFile, bytes); });
    });
}
