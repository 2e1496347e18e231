// library_sim_fixture.h - the built library, loaded as an application loads
// it, opened on a simulated adapter as COM7: the fixture of the end-to-end
// tests of channels, reading and I/O controls.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "j2534.h"
#include "sim/sim_fixture.h"
#include "tests/passthru/library_loader.h"

namespace tenq_test {

class LibrarySimTest : public orvane::sim::SimFixture {
  protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        sim_ = &start_sim(7);
        ASSERT_EQ(lib.Open("COM7", &device), 0);
    }

    uint32_t connect(uint32_t protocol, uint32_t flags = 0, uint32_t baud = 500000)
    {
        uint32_t ch = 0;
        EXPECT_EQ(lib.Connect(device, protocol, flags, baud, &ch), 0) << lib.last_error();
        return ch;
    }

    orvane::sim::Simulator &sim() { return *sim_; }

    Library lib;
    uint32_t device = 0;
    orvane::sim::Simulator *sim_ = nullptr;
};

}  // namespace tenq_test
