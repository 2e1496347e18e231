// The console tools end to end: each tool a process with a pipe on its
// standard input, against the simulated adapter on a pseudo-terminal, its
// output compared line by line.
#include <gtest/gtest.h>

#include <csignal>

#include <termios.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/sd_card.h"
#include "sim/sim_fixture.h"
#include "tests/tools/tool_process.h"

using namespace std::chrono_literals;
using orvane::sim::Options;
using orvane::sim::SdCard;
using orvane::sim::Simulator;
using tools_test::ToolProcess;
using Lines = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

namespace {

constexpr auto kToolTime = 60s;  // generous: under an emulator with sanitizers
const std::string kPrompt = "Connect next Orvane and press enter, or type \"quit\" to exit...";

Bytes pattern_bytes(size_t size, uint8_t seed)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + seed);  // every value, line breaks and zeros too
    return bytes;
}

Bytes file_bytes(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const fs::path &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes operator+(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Outcome {
    int status;
    Lines lines;
};

class ToolsTest : public orvane::sim::SimFixture {
  protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        work_ = fs::path(root()) / "work";
        fs::create_directory(work_);
    }

    std::unique_ptr<ToolProcess> start(const std::string &tool,
                                       const std::vector<std::string> &args)
    {
        return std::make_unique<ToolProcess>(tool, args, work_.string());
    }

    // Runs a tool to its end with `input` and then the end of input.
    Outcome run(const std::string &tool, const std::vector<std::string> &args,
                const std::string &input = "")
    {
        auto p = start(tool, args);
        p->write(input);
        p->close_input();
        const int status = p->wait(kToolTime);
        return {status, p->lines()};
    }

    Simulator &start_adapter(uint32_t serial,
                             const std::vector<std::pair<std::string, Bytes>> &files)
    {
        Options options;
        options.serial_number = serial;
        Simulator &s = start_sim(7, options);
        s.with_sd_card([&](SdCard &card) {
            for (const auto &[name, bytes] : files)
                card.put(name, bytes);
        });
        return s;
    }

    static std::optional<Bytes> card_file(Simulator &s, const std::string &name)
    {
        return s.with_sd_card([&](SdCard &card) -> std::optional<Bytes> {
            const auto *f = card.find(name);
            return f ? std::optional<Bytes>(f->bytes) : std::nullopt;
        });
    }

    fs::path work_;
};

}  // namespace

TEST_F(ToolsTest, WithoutArgumentOrAdapterEachToolFailsWithItsMessage)
{
    const std::string longest(109, 'L');
    const std::string too_long(110, 'L');
    const Lines open_failed = {"",
                               kPrompt + "Connecting to Orvane...ERROR: PassThruOpen returned: 8"};
    struct Case {
        std::string tool;
        std::vector<std::string> args;
        std::string input;
        Lines expected;
    };
    const Case cases[] = {
        {PELMARK,
         {},
         "",
         {"", "Usage: pelmark <filename.log>", "",
          "Log files read from Orvane will be stored in a sub-directory based on the",
          "8-digit electronic serial number of the Orvane.  Saved log file names will",
          "have a sequence number added to the end of the filename.  After the log file",
          "is saved in the serial number sub-directory, it will be appended to the main",
          "log file and then deleted from the Orvane."}},
        {SUNDREL, {}, "", {"Usage: sundrel <filespec>"}},
        {FENNICK, {}, "", {"Usage: fennick <filename>"}},
        {TRABE, {}, "", {"Usage: trabe <filename>"}},
        {TRABE, {"f"}, "", {"ERROR: PassThruReadVersion Status=8"}},
        {SUNDREL, {"*.log"}, "", {"ERROR: Status=8"}},
        {PELMARK, {"data.log"}, "\n", open_failed},
        {PELMARK, {longest}, "\n", open_failed},
        {PELMARK,
         {too_long},
         "\n",
         {"ERROR: Log file name longer than 109 characters: " + too_long}},
        {PELMARK,
         {"logs/data.log"},
         "\n",
         {"ERROR: Log file name must not contain '/': logs/data.log"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tool + (c.args.empty() ? "" : " " + c.args[0].substr(0, 20)));
        const auto started = std::chrono::steady_clock::now();
        const Outcome out = run(c.tool, c.args, c.input);
        EXPECT_EQ(out.status, 255);
        EXPECT_EQ(out.lines, c.expected);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
    }
    // Nothing was collected or created.
    EXPECT_TRUE(fs::is_empty(work_));
}

TEST_F(ToolsTest, FennickWaitsForAKeyAfterAFailedWriteWithoutSpinning)
{
    // No adapter: the first write fails with 8.  Standard input stays open,
    // so the final wait must block until it ends.
    auto p = start(FENNICK, {"f"});
    ASSERT_TRUE(p->read_until("press any key...\n", kToolTime)) << p->output();
    const long cpu_before = p->cpu_ticks();
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(p->running());
    // A loop polling the input would burn about a second of processor time.
    EXPECT_LT(p->cpu_ticks() - cpu_before, sysconf(_SC_CLK_TCK) / 5);
    p->close_input();
    EXPECT_EQ(p->wait(kToolTime), 255);
    EXPECT_EQ(p->lines(), (Lines{"LoopCount = 1", "", "ERROR: Status=8, press any key..."}));
}

TEST_F(ToolsTest, FennickOnATerminalTakesTheKeyWithoutEchoAndRestoresTheTerminal)
{
    const auto lflag = [](int fd) {
        struct termios t = {};
        EXPECT_EQ(tcgetattr(fd, &t), 0);
        return t.c_lflag & (ICANON | ECHO);
    };
    struct Case {
        const char *what;
        int sig;  // 0: a key is typed
        int status;
    };
    const Case cases[] = {
        {"a key", 0, 255}, {"SIGINT", SIGINT, 1000 + SIGINT}, {"SIGTERM", SIGTERM, 1000 + SIGTERM}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // No adapter: the first write fails and fennick waits for a key.
        ToolProcess p(FENNICK, {"f"}, work_.string(), true);
        const tcflag_t before = lflag(p.terminal());
        ASSERT_EQ(before, static_cast<tcflag_t>(ICANON | ECHO));
        ASSERT_TRUE(p.read_until("press any key...", kToolTime)) << p.output();
        EXPECT_EQ(lflag(p.terminal()), 0u) << "single keys without echo while waiting";
        if (c.sig)
            p.signal(c.sig);
        else
            p.write("k");
        EXPECT_EQ(p.wait(kToolTime), c.status);
        EXPECT_EQ(lflag(p.terminal()), before);
        const std::string &out = p.output();
        EXPECT_EQ(out.substr(out.rfind("press any key...")), "press any key...\r\n")
            << "key echoed";
    }
}

TEST_F(ToolsTest, FennickWritesUntilAKeyOrAFailedWrite)
{
    Simulator &adapter = start_adapter(12345, {});
    const Bytes payload = pattern_bytes(5000, 3);
    write_file(work_ / "LOAD.BIN", payload);

    // A key pressed during a write stops the loop after that write, with no
    // error line and status 0.
    auto p = start(FENNICK, {"LOAD.BIN"});
    ASSERT_TRUE(p->read_until("LoopCount = 3\n", kToolTime)) << p->output();
    p->write("x");
    EXPECT_EQ(p->wait(kToolTime), 0);
    const Lines lines = p->lines();
    ASSERT_GE(lines.size(), 3u);
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], "LoopCount = " + std::to_string(i + 1));
    EXPECT_EQ(card_file(adapter, "LOAD.BIN"), payload);

    // A PC file that does not exist: the first write fails with 7.  Input
    // held open, since its end would count as a key before the first write.
    auto missing = start(FENNICK, {"NONE.BIN"});
    ASSERT_TRUE(missing->read_until("press any key...\n", kToolTime)) << missing->output();
    missing->close_input();
    EXPECT_EQ(missing->wait(kToolTime), 255);
    EXPECT_EQ(missing->lines(), (Lines{"LoopCount = 1", "", "ERROR: Status=7, press any key..."}));
}

TEST_F(ToolsTest, TrabeWritesAFileAndSundrelListsTheWholeCard)
{
    Simulator &adapter = start_adapter(12345, {});
    const Bytes payload = pattern_bytes(5000, 11);  // two batches of the write
    write_file(work_ / "TRABE.BIN", payload);
    const Outcome written = run(TRABE, {"TRABE.BIN"});
    EXPECT_EQ(written.status, 0);
    EXPECT_EQ(written.lines, Lines{"File written SUCCESSFULLY"});
    EXPECT_EQ(card_file(adapter, "TRABE.BIN"), payload);

    const Outcome failed = run(TRABE, {"NONE.BIN"});
    EXPECT_EQ(failed.status, 255);
    EXPECT_EQ(failed.lines, Lines{"ERROR: PassThruWriteFile Status=7"});

    // 80 names of 40 characters: 3280 characters with their commas, past
    // the 2048 of a smaller buffer.
    std::string list;
    adapter.with_sd_card([&](SdCard &card) {
        for (int i = 0; i < 80; ++i) {
            char name[48];
            std::snprintf(name, sizeof name, "LOG_%04d_ABCDEFGHIJKLMNOPQRSTUVWXYZ.LOG", i);
            card.put(name, {});
            list += std::string(name) + ",";
        }
    });
    const Outcome listed = run(SUNDREL, {"*.LOG"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.lines, (Lines{list + ", ", "Directory read SUCCESSFULLY"}));

    const Outcome none = run(SUNDREL, {"*.TXT"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.lines, (Lines{", ", "Directory read SUCCESSFULLY"}));
}

TEST_F(ToolsTest, PelmarkCollectsIntoTheNextCopyAndTheCombinedLog)
{
    Simulator &adapter = start_adapter(12345, {{"DATA.LOG", pattern_bytes(1500, 1)}});
    const fs::path folder = work_ / "00012345";
    fs::create_directory(folder);
    write_file(folder / "000000_DATA.LOG", {'o', 'l', 'd', '0'});
    write_file(folder / "000001_DATA.LOG", {'o', 'l', 'd', '1'});
    const Bytes earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r', '\n'};
    write_file(work_ / "DATA.LOG", earlier);

    const Outcome out = run(PELMARK, {"data.log"}, "\nquit\n");
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.lines,
              (Lines{"",
                     kPrompt + "Connecting to Orvane...Reading file from SD-Card...Appending data "
                               "to combined log file...Deleting file on SD-Card...",
                     kPrompt}));
    for (const std::string &line : out.lines)
        EXPECT_EQ(line.find('\x1b'), std::string::npos) << "escape sequence in piped output";

    EXPECT_EQ(file_bytes(folder / "000000_DATA.LOG"), (Bytes{'o', 'l', 'd', '0'}));
    EXPECT_EQ(file_bytes(folder / "000001_DATA.LOG"), (Bytes{'o', 'l', 'd', '1'}));
    EXPECT_EQ(file_bytes(folder / "000002_DATA.LOG"), pattern_bytes(1500, 1));
    EXPECT_EQ(file_bytes(work_ / "DATA.LOG"), earlier + pattern_bytes(1500, 1));
    EXPECT_EQ(card_file(adapter, "DATA.LOG"), std::nullopt);
    // Deleted under the name as typed.
    const auto frames = adapter.log().frames();
    const std::string typed = "data.log";
    Bytes delete_data(typed.begin(), typed.end());
    delete_data.push_back(0);
    EXPECT_NE(std::find(frames.begin(), frames.end(), orvane::sim::Frame(0xE0, 7, 0, delete_data)),
              frames.end());
}

TEST_F(ToolsTest, PelmarkCollectsFromAdaptersSwappedBetweenCycles)
{
    Simulator &first = start_adapter(12345, {{"DATA.LOG", pattern_bytes(700, 2)}});
    auto p = start(PELMARK, {"DATA.LOG"});
    ASSERT_TRUE(p->read_until(kPrompt, kToolTime));
    p->write("\n");
    ASSERT_TRUE(p->read_until(kPrompt, kToolTime)) << p->output();
    first.stop();
    start_adapter(67890, {{"DATA.LOG", pattern_bytes(300, 9)}});
    p->write("\n");
    ASSERT_TRUE(p->read_until(kPrompt, kToolTime)) << p->output();
    p->write("quit\n");
    EXPECT_EQ(p->wait(kToolTime), 0);

    EXPECT_EQ(file_bytes(work_ / "00012345" / "000000_DATA.LOG"), pattern_bytes(700, 2));
    EXPECT_EQ(file_bytes(work_ / "00067890" / "000000_DATA.LOG"), pattern_bytes(300, 9));
    EXPECT_EQ(file_bytes(work_ / "DATA.LOG"), pattern_bytes(700, 2) + pattern_bytes(300, 9));
}

TEST_F(ToolsTest, PelmarkKeepsTheCardFileWhenItsDataAreNotKept)
{
    const std::string not_deleted = "ERROR: File on SD-Card not deleted!";
    const std::string press_enter = "Press enter to continue...";
    struct Case {
        const char *what;
        std::string card_name;
        std::function<void(const fs::path &work)> prepare;
        Lines expected;  // between the connect line and the next prompt
        size_t copies;   // files left in the serial folder
    };
    const Case cases[] = {
        {"only XDATA.LOG: found as a substring, refused by the card",
         "XDATA.LOG",
         [](const fs::path &) {},
         {"Reading file from SD-Card...ERROR: "
          "PassThruReadFile(./00012345/000000_DATA.LOG,DATA.LOG) "
          "Status=7",
          not_deleted, press_enter},
         0},
        {"combined log cannot be opened",
         "DATA.LOG",
         [](const fs::path &work) { fs::create_directory(work / "DATA.LOG"); },
         {"Reading file from SD-Card...Appending data to combined log file...ERROR: Cannot open "
          "DATA.LOG: Is a directory",
          not_deleted, press_enter},
         1},
        {"combined log full: the buffered data fail at the close",
         "DATA.LOG",
         [](const fs::path &work) { fs::create_symlink("/dev/full", work / "DATA.LOG"); },
         {"Reading file from SD-Card...Appending data to combined log file...ERROR: Cannot append "
          "./00012345/000000_DATA.LOG to DATA.LOG: DATA.LOG: No space left on "
          "device",
          not_deleted, press_enter},
         1},
        {"no matching file",
         "OTHER.LOG",
         [](const fs::path &) {},
         {"", "ERROR: DATA.LOG not found on SD-Card!", press_enter},
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(work_);
        fs::create_directory(work_);
        c.prepare(work_);
        Simulator &adapter = start_adapter(12345, {{c.card_name, pattern_bytes(200, 5)}});

        // Enter for the cycle, Enter for the error, then quit.
        const Outcome out = run(PELMARK, {"data.log"}, "\n\nq");
        EXPECT_EQ(out.status, 0);
        // Progress texts end without a line break: the first expected line
        // continues the connect line.
        Lines expected = {"", kPrompt + "Connecting to Orvane..." + c.expected.front()};
        expected.insert(expected.end(), c.expected.begin() + 1, c.expected.end());
        expected.push_back(kPrompt);
        EXPECT_EQ(out.lines, expected);

        EXPECT_EQ(card_file(adapter, c.card_name), pattern_bytes(200, 5));
        const fs::path folder = work_ / "00012345";
        const size_t copies = fs::exists(folder) ? std::distance(fs::directory_iterator(folder),
                                                                 fs::directory_iterator())
                                                 : 0;
        EXPECT_EQ(copies, c.copies);
        if (c.copies == 1) {  // the copy itself is whole
            EXPECT_EQ(file_bytes(folder / "000000_DATA.LOG"), pattern_bytes(200, 5));
        }
        adapter.stop();
    }
}
