// adapter_services_support.h - what the end-to-end tests of the SD-card,
// memory, clock and security functions share: a library opened on the
// simulated adapter, PC files in the test's root, and the check that the
// link is still in step.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_fixture.h"
#include "tests/passthru/library_loader.h"

namespace tenq_test {

using orvane::sim::Frame;

class AdapterServicesTest : public orvane::sim::SimFixture {
  protected:
    static constexpr uint32_t kPort = 7;

    // Starts the simulated adapter, opens the library on it and clears the
    // frame log of the search's frames.
    void SetUp() override
    {
        SimFixture::SetUp();
        start_sim(kPort);
        lib_ = std::make_unique<Library>();
        uint32_t id = 0;
        ASSERT_EQ(lib_->Open("COM7", &id), 0);
        ASSERT_TRUE(sim().log().wait_for_count(3, std::chrono::seconds(5)));
        sim().log().clear();
    }

    void TearDown() override
    {
        lib_.reset();
        SimFixture::TearDown();
    }

    Library &lib() { return *lib_; }

    std::string pc_path(const std::string &name) const { return root() + "/" + name; }

    // The adapter still answers the next request as its own: the version
    // query gets the version reply, not a reply left over from before.
    void expect_link_in_step()
    {
        auto read_version =
            lib().bind<int32_t (*)(uint32_t, char *, char *, char *)>("PassThruReadVersion");
        char firmware[80] = {}, dll[80] = {}, api[80] = {};
        EXPECT_EQ(read_version(kPort, firmware, dll, api), 0) << lib().last_error();
        EXPECT_NE(firmware[0], '\0');
    }

  private:
    std::unique_ptr<Library> lib_;
};

// Bytes 0, 1, 2 ... with a twist per file, so two files never look alike.
inline std::vector<uint8_t> pattern(size_t size, uint8_t salt = 0)
{
    std::vector<uint8_t> out(size);
    for (size_t i = 0; i < size; ++i)
        out[i] = static_cast<uint8_t>(i * 7 + salt);
    return out;
}

inline void write_pc_file(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> read_pc_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

// A name frame's data: the text and its terminator.
inline std::vector<uint8_t> name_data(const std::string &name)
{
    std::vector<uint8_t> out(name.begin(), name.end());
    out.push_back(0);
    return out;
}

}  // namespace tenq_test
