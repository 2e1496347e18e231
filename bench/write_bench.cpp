// write_bench - how close a blocking PassThruWriteMsgs comes to the serial
// link's own limit, and what it costs the caller's CPU.
//
// The simulated adapter paces both directions at 115200 baud (10 bits a
// byte), as the real link does.  For each write the bytes the link had to
// carry are the frames the adapter received during the call (the barrier
// query included) and the barrier's reply; their byte time is the least
// wall time any implementation could take.  Figures per write:
//   link_ms      byte time of those bytes
//   wall_ms      the call's wall time
//   rate_pct     link_ms / wall_ms: share of the link's byte rate reached (target >= 97)
//   cpu_ms       CPU time of the calling thread, i.e. the library's
//   cpu_pct      cpu_ms / wall_ms (target <= 5)
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_sim.h"
#include "j2534.h"
#include "passthru/channels.h"
#include "sim/simulator.h"

namespace {

using orvane::sim::Simulator;

Simulator *sim = nullptr;

void run_writes(benchmark::State &state, const char *what, uint32_t channel,
                std::vector<PASSTHRU_MSG> &msgs)
{
    bench::LinkTotals t;
    for (auto _ : state) {
        uint32_t n = static_cast<uint32_t>(msgs.size());
        int32_t rc = STATUS_NOERROR;
        if (!t.time(state, *sim, [&] {
                rc = PassThruWriteMsgs(channel, msgs.data(), &n, 0);
                return rc == STATUS_NOERROR && n == msgs.size();
            })) {
            state.SkipWithError(("PassThruWriteMsgs returned " + std::to_string(rc)).c_str());
            return;
        }
    }
    t.report(state, what, 97, 5);
}

PASSTHRU_MSG message(uint32_t protocol, uint32_t flags, size_t payload)
{
    PASSTHRU_MSG m;
    std::memset(&m, 0, sizeof m);
    m.ProtocolID = protocol;
    m.TxFlags = flags;
    const uint8_t id[4] = {0, 0, 0x07, 0xE0};
    std::memcpy(m.Data, id, sizeof id);
    for (size_t i = 0; i < payload; ++i)
        m.Data[4 + i] = static_cast<uint8_t>(i);
    m.DataSize = static_cast<uint32_t>(4 + payload);
    return m;
}

// One ISO 15765 message of 4095 payload bytes: a first frame, 585
// consecutive frames and the terminating frame, in one batch.
void BM_Iso15765Message4095(benchmark::State &state)
{
    std::vector<PASSTHRU_MSG> msgs{message(ISO15765, BLOCKING_WRITE, 4095)};
    run_writes(state, "4095-byte ISO 15765 message", 6, msgs);
}

// 1000 classic CAN messages of 8 data bytes: one batch of 1000 frames.
void BM_Can1000Messages(benchmark::State &state)
{
    std::vector<PASSTHRU_MSG> msgs(1000, message(CAN, 0, 8));
    msgs.back().TxFlags = BLOCKING_WRITE;
    run_writes(state, "1000 CAN messages", 5, msgs);
}

BENCHMARK(BM_Iso15765Message4095)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Can1000Messages)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    return bench::run_with_simulator("write_bench", sim, [] {
        // The channels as a connect leaves them; nothing here depends on
        // what a connect sends.
        tenq::ChannelStatus |= tenq::ChannelBit(5) | tenq::ChannelBit(6);
        tenq::CANSetup.iso15765_tx_data_length = 8;
    });
}
