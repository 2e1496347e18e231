// receive_bench - the receive path against the serial link's own limit.
//
// The link carries 115200 baud at 10 bits a byte: 11520 bytes a second, so
// 576 classic CAN frames (20 bytes on the wire: header, 11-bit identifier,
// 8 data bytes).  Figures:
//   in memory (no port, no simulator):
//     cut_dispatch   frames cut from a byte stream and sorted into the rings
//                    per second, with all 64 filter slots in use
//     read_can       CAN records converted per second by PassThruReadMsgs
//     read_iso       ISO 15765 frames reassembled per second by PassThruReadMsgs
//     x_link         each rate divided by the link's 576 frames a second
//   through the pseudo-terminal, the simulator pacing at 115200 baud:
//     iso_4095       wall time from the first byte sent until PassThruReadMsgs
//                    returned the reassembled 4095-byte message, against the
//                    link's byte time for its frames (rate_pct, target >= 97)
//     idle_wait      CPU time of the calling thread (the library's) while a
//                    1-second PassThruReadMsgs waits on an idle channel
//                    (cpu_pct of one core, target <= 3)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/bench_sim.h"
#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/device_search.h"
#include "passthru/filter_table.h"
#include "passthru/link/link.h"
#include "passthru/link/rings.h"
#include "passthru/receive/iso15765_rx.h"
#include "sim/bus_traffic.h"
#include "sim/output_queue.h"
#include "sim/simulator.h"

namespace {

using orvane::sim::OutputQueue;
using orvane::sim::Simulator;

constexpr double kLinkBytesPerSecond = 115200.0 / 10.0;
constexpr double kCanWireBytes = 20.0;  // header, 2 identifier bytes, 8 data bytes
constexpr double kLinkFramesPerSecond = kLinkBytesPerSecond / kCanWireBytes;

Simulator *sim = nullptr;

using bench::thread_cpu_ms;

std::vector<uint8_t> wire(const std::vector<orvane::sim::Frame> &frames)
{
    std::vector<uint8_t> out;
    for (const auto &f : frames)
        orvane::sim::encode_to(f, out);
    return out;
}

tenq::JMSG record(const orvane::sim::Frame &f)
{
    tenq::JMSG m;
    std::memset(&m, 0, sizeof m);
    const auto bytes = orvane::sim::encode(f);
    std::memcpy(&m, bytes.data(), bytes.size());
    return m;
}

void set_slot(int slot, uint32_t type, uint8_t dev, std::vector<uint8_t> mask,
              std::vector<uint8_t> pattern)
{
    tenq::JMSG &m = tenq::jmsg_filter_mask_msg[slot];
    tenq::JMSG &p = tenq::jmsg_filter_pattern_msg[slot];
    std::memset(&m, 0, sizeof m);
    std::memset(&p, 0, sizeof p);
    m.dev = p.dev = dev;
    m.size = p.size = static_cast<uint8_t>(mask.size());
    std::memcpy(m.data, mask.data(), mask.size());
    std::memcpy(p.data, pattern.data(), pattern.size());
    tenq::jmsg_filter_flow_msg[slot].size = type == FLOW_CONTROL_FILTER ? 5 : 0;
    tenq::jmsg_filter_type[slot] = type;
}

// Slot 0: flow control for ECU 0x7E8 on channel 6.  With `all_slots`, the
// other 63 slots hold CAN pass filters that the traffic matches only in the
// last one, so every look-up walks the whole table.
void set_filters(bool all_slots)
{
    std::memset(tenq::jmsg_filter_mask_msg, 0, sizeof tenq::jmsg_filter_mask_msg);
    set_slot(0, FLOW_CONTROL_FILTER, tenq::JMSG_ISO15765, {0xFF, 0xFF}, {0x07, 0xE8});
    if (!all_slots)
        return;
    for (int slot = 1; slot < tenq::kFilterSlots - 1; ++slot)
        set_slot(slot, PASS_FILTER, tenq::JMSG_CAN, {0xFF, 0xFF},
                 {0x06, static_cast<uint8_t>(slot)});
    set_slot(tenq::kFilterSlots - 1, PASS_FILTER, tenq::JMSG_CAN, {0xFF, 0xFF}, {0x07, 0xE8});
}

// ---- In memory ---------------------------------------------------------

// A port that reads from a byte stream in memory, 4096 bytes at most a read.
struct MemoryPort {
    static inline const std::vector<uint8_t> *stream = nullptr;
    static inline size_t pos = 0;
    static int32_t open(int32_t *h, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t)
    {
        *h = 3;
        return 0;
    }
    static int32_t close(int32_t *) { return 0; }
    static int32_t read(int32_t *, void *buf, uint32_t count, uint32_t *got)
    {
        size_t n = stream->size() - pos;
        if (n > count)
            n = count;
        std::memcpy(buf, stream->data() + pos, n);
        pos += n;
        *got = static_cast<uint32_t>(n);
        return 0;
    }
    static int32_t write(int32_t *, const void *, uint32_t count, uint32_t *written)
    {
        *written = count;
        return 0;
    }
    static int32_t ioctl(int32_t *, uint32_t, void *, void *) { return 0; }
    static constexpr tenq::PortOps kOps{open, close, read, write, ioctl};
};

// Puts the library on the in-memory port for one benchmark.
class InMemory {
  public:
    InMemory() : saved_port_(tenq::hCommPort), saved_status_(tenq::ChannelStatus)
    {
        tenq::SetPortOps(&MemoryPort::kOps);
        tenq::hCommPort = 3;
        tenq::com_buf_len = 0;
        for (tenq::RxRing *ring : {&tenq::CANBuffer, &tenq::ISO15765Buffer}) {
            tenq::RingReset(*ring);
            ring->Overflow = 0;
        }
    }
    ~InMemory()
    {
        tenq::SetPortOps(nullptr);
        tenq::hCommPort = saved_port_;
        tenq::ChannelStatus = saved_status_;
        for (tenq::RxRing *ring : {&tenq::CANBuffer, &tenq::ISO15765Buffer}) {
            tenq::RingReset(*ring);
            ring->Overflow = 0;
        }
    }

  private:
    int32_t saved_port_;
    uint32_t saved_status_;
};

// Prints a rate and its ratio to the link's frame rate; `seconds` is the
// time the measured work took (set-up between iterations excluded).
void report_rate(benchmark::State &state, const char *what, double items, double seconds)
{
    const double rate = items / seconds;
    state.counters["per_s"] = rate;
    state.counters["x_link"] = rate / kLinkFramesPerSecond;
    std::printf(
        "%s: %.0f per second, %.0f times the link's %.0f frames a second (target >= 0.97)\n", what,
        rate, rate / kLinkFramesPerSecond, kLinkFramesPerSecond);
}

double seconds_since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_CutAndDispatch64Filters(benchmark::State &state)
{
    InMemory in_memory;
    set_filters(true);
    constexpr size_t kFrames = 4000;  // fits the CAN ring
    std::vector<orvane::sim::Frame> frames;
    for (size_t i = 0; i < kFrames; ++i)
        frames.push_back(orvane::sim::can_frame(0x10, {0x7E8},
                                                std::vector<uint8_t>(8, static_cast<uint8_t>(i))));
    const auto stream = wire(frames);
    MemoryPort::stream = &stream;
    double seconds = 0;
    for (auto _ : state) {
        MemoryPort::pos = 0;
        tenq::RingReset(tenq::CANBuffer);
        tenq::RingReset(tenq::ISO15765Buffer);  // the flow-control slot takes them too
        const auto t0 = std::chrono::steady_clock::now();
        while (MemoryPort::pos < stream.size())
            tenq::JmsgReceiveMsgs();
        seconds += seconds_since(t0);
        benchmark::DoNotOptimize(tenq::CANBuffer.Count);
    }
    if (tenq::CANBuffer.Count != kFrames)
        state.SkipWithError("frames did not reach the CAN ring");
    report_rate(state, "frames cut and dispatched (64 filters)",
                static_cast<double>(kFrames * state.iterations()), seconds);
}

void BM_ReadMsgsCanRecords(benchmark::State &state)
{
    InMemory in_memory;
    set_filters(true);
    tenq::ChannelStatus |= tenq::ChannelBit(5);
    tenq::CANBuffer.Flags = 0;
    const tenq::JMSG frame =
        record(orvane::sim::can_frame(0x10, {0x7E8}, std::vector<uint8_t>(8, 0x55), 0x1234));
    std::vector<PASSTHRU_MSG> msgs(tenq::kBusRingCapacity);
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        tenq::RingReset(tenq::CANBuffer);
        for (uint32_t i = 0; i < tenq::kBusRingCapacity; ++i)
            tenq::RingAppend(tenq::CANBuffer, frame);
        state.ResumeTiming();
        uint32_t n = tenq::kBusRingCapacity;
        const auto t0 = std::chrono::steady_clock::now();
        const int32_t rc = PassThruReadMsgs(5, msgs.data(), &n, 0);
        seconds += seconds_since(t0);
        if (rc != STATUS_NOERROR || n != tenq::kBusRingCapacity)
            state.SkipWithError("PassThruReadMsgs did not deliver the ring");
    }
    report_rate(state, "CAN records converted by PassThruReadMsgs",
                static_cast<double>(tenq::kBusRingCapacity * state.iterations()), seconds);
}

void BM_ReadMsgsIso15765Frames(benchmark::State &state)
{
    InMemory in_memory;
    set_filters(true);
    tenq::ChannelStatus |= tenq::ChannelBit(6);
    tenq::ISO15765Buffer.Flags = 0;
    tenq::CANSetup.iso15765_tx_data_length = 8;
    std::vector<uint8_t> payload(4095);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(i);
    std::vector<tenq::JMSG> frames;
    for (const auto &f : orvane::sim::iso15765_frames(orvane::sim::IsoTpShape{}, payload))
        frames.push_back(record(f));
    const size_t messages = tenq::kBusRingCapacity / frames.size();  // 7 messages fill the ring
    std::vector<PASSTHRU_MSG> msgs(2 * messages);
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        tenq::RingReset(tenq::ISO15765Buffer);
        for (size_t m = 0; m < messages; ++m)
            for (const auto &f : frames)
                tenq::RingAppend(tenq::ISO15765Buffer, f);
        state.ResumeTiming();
        uint32_t n = static_cast<uint32_t>(msgs.size());
        const auto t0 = std::chrono::steady_clock::now();
        const int32_t rc = PassThruReadMsgs(6, msgs.data(), &n, 0);
        seconds += seconds_since(t0);
        if (rc != STATUS_NOERROR || n != msgs.size() || msgs[1].DataSize != 4099)
            state.SkipWithError("PassThruReadMsgs did not reassemble the messages");
    }
    report_rate(state, "ISO 15765 frames reassembled by PassThruReadMsgs",
                static_cast<double>(messages * frames.size() * state.iterations()), seconds);
}

// ---- Through the pseudo-terminal ----------------------------------------

void BM_Iso15765Deliver4095(benchmark::State &state)
{
    set_filters(false);
    tenq::ChannelStatus |= tenq::ChannelBit(6);
    tenq::ISO15765Buffer.Flags = 0;
    tenq::CANSetup.iso15765_tx_data_length = 8;
    std::vector<uint8_t> payload(4095);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(i * 7);
    const auto frames = orvane::sim::iso15765_frames(orvane::sim::IsoTpShape{}, payload);
    const double link_ms =
        std::chrono::duration<double, std::milli>(OutputQueue::link_time(wire(frames).size()))
            .count();
    double wall_ms = 0;
    std::vector<PASSTHRU_MSG> msgs(2);
    for (auto _ : state) {
        sim->wait_sent(std::chrono::seconds(10));
        const auto t0 = std::chrono::steady_clock::now();
        orvane::sim::inject_all(*sim, frames);
        uint32_t got = 0;
        while (got < 2) {
            uint32_t n = 2 - got;
            const int32_t rc = PassThruReadMsgs(6, msgs.data() + got, &n, 5000);
            if (rc != STATUS_NOERROR && rc != ERR_TIMEOUT) {
                state.SkipWithError(("PassThruReadMsgs returned " + std::to_string(rc)).c_str());
                return;
            }
            got += n;
        }
        const auto t1 = std::chrono::steady_clock::now();
        if (msgs[1].DataSize != 4099 ||
            std::memcmp(msgs[1].Data + 4, payload.data(), payload.size()) != 0) {
            state.SkipWithError("the message did not arrive whole");
            return;
        }
        const double wall = std::chrono::duration<double, std::milli>(t1 - t0).count();
        state.SetIterationTime(wall / 1e3);
        wall_ms += wall;
    }
    const double k = static_cast<double>(state.iterations());
    state.counters["link_ms"] = link_ms;
    state.counters["wall_ms"] = wall_ms / k;
    state.counters["rate_pct"] = 100.0 * link_ms * k / wall_ms;
    std::printf(
        "4095-byte ISO 15765 message through the pty: link %.1f ms, delivered after %.1f ms, "
        "%.2f%% of the link's byte rate (target >= 97)\n",
        link_ms, wall_ms / k, 100.0 * link_ms * k / wall_ms);
}

void BM_IdleWaitCpu(benchmark::State &state)
{
    tenq::ChannelStatus |= tenq::ChannelBit(6);
    double wall_ms = 0, cpu_ms = 0;
    PASSTHRU_MSG msg;
    for (auto _ : state) {
        sim->wait_sent(std::chrono::seconds(10));
        uint32_t n = 1;
        const double c0 = thread_cpu_ms();
        const auto t0 = std::chrono::steady_clock::now();
        const int32_t rc = PassThruReadMsgs(6, &msg, &n, 1000);
        const auto t1 = std::chrono::steady_clock::now();
        const double c1 = thread_cpu_ms();
        if (rc != ERR_BUFFER_EMPTY) {
            state.SkipWithError(("PassThruReadMsgs returned " + std::to_string(rc)).c_str());
            return;
        }
        const double wall = std::chrono::duration<double, std::milli>(t1 - t0).count();
        state.SetIterationTime(wall / 1e3);
        wall_ms += wall;
        cpu_ms += c1 - c0;
    }
    const double k = static_cast<double>(state.iterations());
    state.counters["wall_ms"] = wall_ms / k;
    state.counters["cpu_ms"] = cpu_ms / k;
    state.counters["cpu_pct"] = 100.0 * cpu_ms / wall_ms;
    std::printf("1-second read on an idle channel: library CPU %.2f ms, %.2f%% of one core "
                "(target <= 3)\n",
                cpu_ms / k, 100.0 * cpu_ms / wall_ms);
}

// Fixed iteration counts: each benchmark runs once, so each figure prints once.
BENCHMARK(BM_CutAndDispatch64Filters)->Iterations(500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadMsgsCanRecords)->Iterations(500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadMsgsIso15765Frames)->Iterations(500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Iso15765Deliver4095)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleWaitCpu)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    std::printf("link limit: %.0f bytes/s, %.0f classic CAN frames/s; x_link = rate / link limit\n",
                kLinkBytesPerSecond, kLinkFramesPerSecond);
    // The channels as a connect and a flow-control filter leave them;
    // the benchmarks set the slots and bits they need directly.
    return bench::run_with_simulator("receive_bench", sim, nullptr);
}
