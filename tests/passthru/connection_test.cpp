// Opening and closing the adapter through the built library, against the
// simulated adapter on a pseudo-terminal.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "sim/sim_fixture.h"
#include "tests/passthru/fake_port.h"
#include "tests/passthru/library_loader.h"
#include "tests/passthru/registry_fixture.h"

using namespace std::chrono_literals;
using orvane::sim::Frame;
using tenq_test::Library;

namespace {

// Captures what the library writes to standard error (its message box).
class StderrCapture {
  public:
    StderrCapture()
    {
        std::fflush(stderr);
        saved_ = ::dup(2);
        file_ = std::tmpfile();
        ::dup2(::fileno(file_), 2);
    }
    ~StderrCapture()
    {
        restore();
        std::fclose(file_);
    }
    std::string text()
    {
        std::fflush(stderr);
        std::rewind(file_);
        std::string out;
        char buf[512];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0)
            out.append(buf, n);
        return out;
    }

  private:
    void restore()
    {
        if (saved_ >= 0) {
            std::fflush(stderr);
            ::dup2(saved_, 2);
            ::close(saved_);
            saved_ = -1;
        }
    }
    int saved_ = -1;
    std::FILE *file_ = nullptr;
};

size_t count_of(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
        ++n;
    return n;
}

const Frame kStop(0xF0, 1, 0);
const Frame kVersionQuery(0xF0, 2, 13);
const Frame kSerialQuery(0xF0, 2, 8);

class ConnectionTest : public orvane::sim::SimFixture {};

}  // namespace

TEST_F(ConnectionTest, OpenNamedPortProbesItAndCloseSendsNothing)
{
    auto &sim = start_sim(7);
    Library lib;
    EXPECT_EQ(lib.Verify(), 0);
    uint32_t id = 99;
    ASSERT_EQ(lib.Open("COM7", &id), 0);
    EXPECT_EQ(id, 7u);
    ASSERT_TRUE(sim.log().wait_for_count(3, 2s));
    EXPECT_EQ(sim.log().frames(), (std::vector<Frame>{kStop, kVersionQuery, kSerialQuery}));

    sim.log().clear();
    EXPECT_EQ(lib.Close(id), 0);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sim.log().size(), 0u);
    EXPECT_EQ(lib.last_error(), "No Error");
}

TEST_F(ConnectionTest, SearchWithoutNameWalksDownToTheAdapter)
{
    auto &silent = start_sim(9);
    silent.set_silent(true);
    auto &sim = start_sim(3);
    Library lib;
    uint32_t id = 0;
    ASSERT_EQ(lib.Open(nullptr, &id), 0);
    EXPECT_EQ(id, 3u);
    // The silent port above it was probed first and let go.
    EXPECT_EQ(silent.log().frames(), (std::vector<Frame>{kStop, kVersionQuery}));
    ASSERT_TRUE(sim.log().wait_for_count(3, 2s));
    EXPECT_EQ(sim.log().frames(), (std::vector<Frame>{kStop, kVersionQuery, kSerialQuery}));
}

TEST_F(ConnectionTest, DeviceNamesReadNumbersWithBaseDetection)
{
    start_sim(8);
    start_sim(16);
    {
        Library lib;
        uint32_t id = 0;
        ASSERT_EQ(lib.Open("COM010", &id), 0);  // octal
        EXPECT_EQ(id, 8u);
        EXPECT_EQ(lib.Close(id), 0);  // the port is opened exclusively
    }
    {
        Library lib;
        uint32_t id = 0;
        ASSERT_EQ(lib.Open("COM0x10", &id), 0);
        EXPECT_EQ(id, 16u);
        EXPECT_EQ(lib.Close(id), 0);
    }
    {
        Library lib;
        uint32_t id = 0;
        ASSERT_EQ(lib.Open("J2534-2:8", &id), 0);
        EXPECT_EQ(id, 8u);
    }
}

TEST_F(ConnectionTest, NoAdapterShowsTheMessageOnceAndSuppressPopupsSilencesIt)
{
    StderrCapture err;
    {
        Library lib;
        uint32_t id = 55;
        EXPECT_EQ(lib.Open("COM7", &id), 8);
        EXPECT_EQ(id, 0u);
        EXPECT_EQ(lib.Open(nullptr, &id), 8);
        EXPECT_EQ(lib.Close(0), 8);
        EXPECT_EQ(count_of(err.text(), "Orvane not detected"), 1u);
    }
    tenq_test::write_device_entry(root(), "Name=\"Orvane-FD\"\nSuppressPopups=dword:00000001\n");
    {
        Library lib;  // a fresh process state would show it again, but for the option
        uint32_t id = 55;
        EXPECT_EQ(lib.Open(nullptr, &id), 8);
        EXPECT_EQ(id, 0u);
        EXPECT_EQ(count_of(err.text(), "Orvane not detected"), 1u);
    }
}

TEST_F(ConnectionTest, AdapterThatAnswersWronglyIsNotTaken)
{
    auto &sim = start_sim(4);
    sim.set_version_reply_size(3);
    Library lib;
    uint32_t id = 0;
    StderrCapture err;
    EXPECT_EQ(lib.Open("COM4", &id), 8);
    sim.set_version_reply_size(std::nullopt);
    sim.set_split_output(true);  // an answer trickling in byte by byte still counts
    EXPECT_EQ(lib.Open("COM4", &id), 0);
    EXPECT_EQ(id, 4u);
}

TEST_F(ConnectionTest, IotNumberStopsEverySearch)
{
    auto &sim = start_sim(7);
    Library lib;
    uint32_t id = 5;
    StderrCapture err;
    EXPECT_EQ(lib.Open("IOT:0012", &id), 8);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(lib.Open("COM7", &id), 8);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(sim.log().size(), 0u);
}

TEST_F(ConnectionTest, IotNumberFromTheRegistryStopsTheSearchToo)
{
    auto &sim = start_sim(7);
    tenq_test::write_device_entry(root(),
                                  "Name=\"orvane-iot\"\nIOT=\"0012\"\nSuppressPopups=\"\"\n");
    Library lib;
    uint32_t id = 5;
    EXPECT_EQ(lib.Open("COM7", &id), 8);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(sim.log().size(), 0u);
}

TEST_F(ConnectionTest, NullDeviceIdIsRefusedBeforeAnySearch)
{
    auto &sim = start_sim(7);
    Library lib;
    EXPECT_EQ(lib.Open("COM7", nullptr), 4);
    EXPECT_EQ(lib.last_error(), "PassThruOpen null pointer to device ID");
    EXPECT_EQ(lib.GetLastError(nullptr), 4);
    EXPECT_EQ(lib.last_error(), "PassThruGetLastError null parameter");
    EXPECT_EQ(sim.log().size(), 0u);
}

TEST_F(ConnectionTest, CloseOfAClosedLibrarySearchesFirst)
{
    auto &sim = start_sim(7);
    Library lib;
    EXPECT_EQ(lib.Close(0), 0);
    EXPECT_EQ(sim.log().frames(), (std::vector<Frame>{kStop, kVersionQuery, kSerialQuery}));
}

TEST_F(ConnectionTest, DebugLinesReachTheListener)
{
    start_sim(5);
    tenq_test::write_device_entry(root(),
                                  "# written by the test\nName=\"Orvane-FD\"\nDebug=\"1\"\n");
    tenq_test::DebugListener listener(8609);
    Library lib;
    uint32_t id = 0;
    ASSERT_EQ(lib.Open("COM5", &id), 0);
    ASSERT_EQ(lib.Close(id), 0);
    std::vector<std::string> lines = listener.lines();
    ASSERT_FALSE(lines.empty());
    const std::regex format(R"(([ACDEMR]) (-?[0-9]+) (-?[0-9]+) (.*))");
    for (const std::string &line : lines)
        EXPECT_TRUE(std::regex_match(line, format)) << line;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines.back(), m, format));
    EXPECT_EQ(m[1], "A");
    EXPECT_EQ(m[2], "5");
    EXPECT_EQ(m[4], "PassThruClose()");
    auto has = [&](const std::string &text) {
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    };
    bool looked = false, opened = false, sent_stop = false;
    for (const std::string &line : lines) {
        looked |= line.starts_with("D 5 ") && line.ends_with(" Looking for Orvane on COM5 port");
        opened |= line.starts_with("A 5 ") && line.ends_with(" PassThruOpen(COM5)");
        sent_stop |= line.starts_with("C 5 ") && line.ends_with(" 00 00 F0 01 00 00 (00000000)");
    }
    EXPECT_TRUE(looked);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(sent_stop);
    EXPECT_FALSE(has(""));
}
