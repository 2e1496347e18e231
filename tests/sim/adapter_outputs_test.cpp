// What the simulated adapter does with frames to transmit and with the
// programming voltage, at the handler level; and the pacing of what it
// receives, on a driven clock.
#include <gtest/gtest.h>

#include "sim/adapter_outputs.h"
#include "sim/bus_devices.h"
#include "sim/input_pacer.h"
#include "sim/output_queue.h"

namespace orvane::sim {
namespace {

class Recorder : public Context {
  public:
    void reply(Frame frame) override { replies.push_back(std::move(frame)); }
    uint32_t now_ticks() const override { return 0; }
    std::vector<Frame> replies;
};

struct Outputs {
    Outputs() { add_output_handlers(table, state, devices); }
    void handle(const Frame &f)
    {
        const Handler *h = table.find(f);
        ASSERT_NE(h, nullptr) << f;
        (*h)(f, ctx);
    }
    HandlerTable table;
    AdapterOutputs state;
    BusDevices devices;
    Recorder ctx;
};

}  // namespace

TEST(AdapterOutputs, EchoesTransmittedFramesOnlyWithLoopback)
{
    Outputs o;
    const Frame can(JMSG_CAN, JMSG_DEV_WRITE, JMSG_TYPE_DATA, {0x07, 0xE0, 1, 2}, 0x13);
    o.handle(can);
    EXPECT_TRUE(o.ctx.replies.empty());
    EXPECT_EQ(o.state.transmitted, 1u);

    o.state.loopback = true;
    o.handle(can);
    // ISO 15765 frame with extended address and last-frame mark: those
    // transmit bits do not come back.
    o.handle(
        Frame(JMSG_MSISO15765, JMSG_DEV_WRITE, JMSG_TYPE_DATA, {0x07, 0xE0, 0xF1, 0x21, 9}, 0xB0));
    // K-line pieces: the echo comes once the last piece is in, whole, with
    // the checksum the adapter puts on the line.
    o.handle(Frame(JMSG_ISO9141, JMSG_DEV_WRITE, JMSG_TYPE_DATA, {0x68, 0x6A}, 0x20));
    ASSERT_EQ(o.ctx.replies.size(), 2u);
    o.handle(Frame(JMSG_ISO9141, JMSG_DEV_WRITE, JMSG_TYPE_DATA, {0xF1}, 0));
    ASSERT_EQ(o.ctx.replies.size(), 3u);
    EXPECT_EQ(o.ctx.replies[0],
              Frame(JMSG_CAN, JMSG_DEV_READ, JMSG_TYPE_DATA, {0x07, 0xE0, 1, 2}, 0x13));
    EXPECT_EQ(o.ctx.replies[1], Frame(JMSG_MSISO15765, JMSG_DEV_READ, JMSG_TYPE_DATA,
                                      {0x07, 0xE0, 0xF1, 0x21, 9}, 0x10));
    EXPECT_EQ(o.ctx.replies[2],
              Frame(JMSG_ISO9141, JMSG_DEV_READ, JMSG_TYPE_DATA, {0x68, 0x6A, 0xF1, 0xC3}, 0));
    EXPECT_EQ(o.state.transmitted, 5u);

    // Connected with ISO9141_NO_CHECKSUM (init_type 0x80): no checksum.
    std::vector<uint8_t> block(56, 0);
    block[5] = 0x80;
    o.devices.setup_blocks[JMSG_ISO9141] = block;
    o.handle(Frame(JMSG_ISO9141, JMSG_DEV_WRITE, JMSG_TYPE_DATA, {0x68, 0x6A, 0xF1}, 0));
    ASSERT_EQ(o.ctx.replies.size(), 4u);
    EXPECT_EQ(o.ctx.replies[3],
              Frame(JMSG_ISO9141, JMSG_DEV_READ, JMSG_TYPE_DATA, {0x68, 0x6A, 0xF1}, 0));

    // The terminating frame (type 0) is no bus data.
    EXPECT_EQ(o.table.find(Frame(JMSG_ISO15765, JMSG_DEV_WRITE, JMSG_TYPE_PLAIN, {}, 0x20)),
              nullptr);
}

TEST(AdapterOutputs, KeepsTheProgrammingVoltage)
{
    Outputs o;
    EXPECT_FALSE(o.state.prog_voltage);
    o.handle(Frame(JMSG_DAC, JMSG_DEV_WRITE, JMSG_TYPE_SETUP, {0x88, 0x13, 13, 0x5A}));
    ASSERT_TRUE(o.state.prog_voltage);
    EXPECT_EQ(o.state.prog_voltage->millivolts, 5000);
    EXPECT_EQ(o.state.prog_voltage->pin, 13);
    o.handle(Frame(JMSG_DAC, JMSG_DEV_WRITE, JMSG_TYPE_SETUP, {0x00, 0x00, 13, 0}));
    EXPECT_EQ(o.state.prog_voltage->millivolts, 0);
    // A short block leaves the setting alone.
    o.handle(Frame(JMSG_DAC, JMSG_DEV_WRITE, JMSG_TYPE_SETUP, {0x10, 0x27, 13}));
    EXPECT_EQ(o.state.prog_voltage->millivolts, 0);
    EXPECT_TRUE(o.ctx.replies.empty());  // the adapter does not answer a setting
}

TEST(InputPacer, HoldsBytesForTheirTimeOnTheLine)
{
    using namespace std::chrono_literals;
    const InputPacer::TimePoint t0{1s};
    const std::vector<uint8_t> chunk(kPacedReadBytes, 0xAB);

    InputPacer off;
    EXPECT_EQ(off.read_limit(4096), 4096u);
    EXPECT_EQ(off.arrive(chunk, t0), chunk);
    EXPECT_FALSE(off.due());

    InputPacer p;
    p.set_pacing(true);
    EXPECT_EQ(p.read_limit(4096), kPacedReadBytes);
    EXPECT_EQ(p.read_limit(10), 10u);
    EXPECT_TRUE(p.arrive(chunk, t0).empty());
    const auto first_due = t0 + OutputQueue::link_time(kPacedReadBytes);
    ASSERT_TRUE(p.due());
    EXPECT_EQ(*p.due(), first_due);
    EXPECT_EQ(p.read_limit(4096), 0u);  // nothing more is read while bytes are on the line
    EXPECT_TRUE(p.release(first_due - 1ns).empty());
    EXPECT_EQ(p.release(first_due), chunk);
    EXPECT_FALSE(p.due());

    // Bytes read while earlier ones are on the line queue behind them.
    p.arrive(std::vector<uint8_t>(4, 1), first_due);
    p.arrive(std::vector<uint8_t>(4, 3), first_due);
    EXPECT_EQ(*p.due(), first_due + OutputQueue::link_time(4) + OutputQueue::link_time(4));
    EXPECT_EQ(p.release(*p.due()).size(), 8u);
    // An idle line starts when the bytes are read.
    const auto later = first_due + 1s;
    p.arrive(std::vector<uint8_t>(1, 2), later);
    const auto idle_due = later + OutputQueue::link_time(1);
    EXPECT_EQ(*p.due(), idle_due);
    p.release(idle_due);

    // A full read left bytes waiting in the terminal: the next chunk follows
    // it on the line without a gap, however late the simulator reads it.
    p.arrive(chunk, idle_due);
    const auto full_due = *p.due();
    p.release(full_due);
    p.arrive(std::vector<uint8_t>(4, 5), full_due + 300us);
    EXPECT_EQ(*p.due(), full_due + OutputQueue::link_time(4));
}

}  // namespace orvane::sim
