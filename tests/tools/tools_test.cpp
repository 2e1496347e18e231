// The console tools end to end: each tool a process with a pipe on its
// standard input, against the simulated adapter on a pseudo-terminal, its
// output compared line by line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "sim/sd_card.h"
#include "sim/sd_directory.h"
#include "sim/sim_fixture.h"
#include "tests/tools/tool_process.h"

using namespace std::chrono_literals;
using orvane::sim::SdCard;
using orvane::sim::Simulator;
using tools_test::Output;
using tools_test::ToolProcess;
using Lines = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

namespace {

constexpr auto kToolTime = 60s;  // generous: under an emulator with sanitizers
const std::string kPrompt = "Connect next Orvane and press enter, or type \"quit\" to exit...";
const std::string kKey = "press any key...";

Bytes pattern(size_t size, uint8_t seed)  // every value, line breaks and zeros too
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + seed);
    return bytes;
}

Bytes file_bytes(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path &path, const Bytes &b)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(b.data()), static_cast<std::streamsize>(b.size()));
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

    std::unique_ptr<ToolProcess> start(const std::string &tool, const Lines &args,
                                       Output output = Output::pipe)
    {
        return std::make_unique<ToolProcess>(tool, args, work_.string(), output);
    }

    // Runs a tool to its end with `input` and then the end of input.
    Outcome run(const std::string &tool, const Lines &args, const std::string &input = "")
    {
        auto p = start(tool, args);
        p->write(input);
        p->close_input();
        const int status = p->wait(kToolTime);
        return {status, p->lines()};
    }

    // fennick with its input held open until its final wait, which must
    // block: a loop polling the input would burn about a second of
    // processor time.
    Outcome run_held(const Lines &args)
    {
        auto p = start(FENNICK, args);
        EXPECT_TRUE(p->read_until(kKey + "\n", kToolTime)) << p->output();
        const long cpu_before = p->cpu_ticks();
        std::this_thread::sleep_for(1s);
        EXPECT_TRUE(p->running());
        EXPECT_LT(p->cpu_ticks() - cpu_before, sysconf(_SC_CLK_TCK) / 5);
        p->close_input();
        const int status = p->wait(kToolTime);
        return {status, p->lines()};
    }

    Simulator &
    start_adapter(uint32_t serial, const std::vector<std::pair<std::string, Bytes>> &files,
                  std::function<void(const orvane::sim::LoggedFrame &)> on_received = nullptr)
    {
        orvane::sim::Options options;
        options.serial_number = serial;
        options.on_received = std::move(on_received);
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

TEST_F(ToolsTest, WithoutArgumentOrAdapterEachToolFailsWithItsMessage)
{
    const std::string too_long(110, 'L');
    const Lines open_failed = {"",
                               kPrompt + "Connecting to Orvane...ERROR: PassThruOpen returned: 8"};
    struct Case {
        std::string tool;
        Lines args, expected;
    };
    const Case cases[] = {
        {PELMARK,
         {},
         {"", "Usage: pelmark <filename.log>", "",
          "Log files read from Orvane will be stored in a sub-directory based on the",
          "8-digit electronic serial number of the Orvane.  Saved log file names will",
          "have a sequence number added to the end of the filename.  After the log file",
          "is saved in the serial number sub-directory, it will be appended to the main",
          "log file and then deleted from the Orvane."}},
        {SUNDREL, {}, {"Usage: sundrel <filespec>"}},
        {FENNICK, {}, {"Usage: fennick <filename>"}},
        {TRABE, {}, {"Usage: trabe <filename>"}},
        {TRABE, {"f"}, {"ERROR: PassThruReadVersion Status=8"}},
        {SUNDREL, {"*.log"}, {"ERROR: Status=8"}},
        {PELMARK, {"data.log"}, open_failed},
        {PELMARK, {std::string(109, 'L')}, open_failed},
        {PELMARK, {too_long}, {"ERROR: Log file name longer than 109 characters: " + too_long}},
        {PELMARK, {"logs/data.log"}, {"ERROR: Log file name must not contain '/': logs/data.log"}},
        {FENNICK, {"f"}, {"LoopCount = 1", "", "ERROR: Status=8, " + kKey}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tool + (c.args.empty() ? "" : " " + c.args[0].substr(0, 20)));
        const auto started = std::chrono::steady_clock::now();
        const Outcome out =
            c.tool == FENNICK && !c.args.empty() ? run_held(c.args) : run(c.tool, c.args, "\n");
        EXPECT_EQ(out.status, 255);
        EXPECT_EQ(out.lines, c.expected);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
    }
    EXPECT_TRUE(fs::is_empty(work_));  // nothing was collected or created
}

TEST_F(ToolsTest, FennickWritesUntilAKeyOrAFailedWrite)
{
    Simulator &adapter = start_adapter(12345, {});
    write_file(work_ / "LOAD.BIN", pattern(5000, 3));
    // A key pressed during a write stops the loop after it: no error line.
    auto p = start(FENNICK, {"LOAD.BIN"});
    ASSERT_TRUE(p->read_until("LoopCount = 3\n", kToolTime)) << p->output();
    p->write("x");
    EXPECT_EQ(p->wait(kToolTime), 0);
    const Lines lines = p->lines();
    ASSERT_GE(lines.size(), 3u);
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], "LoopCount = " + std::to_string(i + 1));
    EXPECT_EQ(card_file(adapter, "LOAD.BIN"), pattern(5000, 3));
}

TEST_F(ToolsTest, TrabeWritesAFileSundrelListsTheWholeCardFennickReportsAFailedWrite)
{
    Simulator &adapter = start_adapter(12345, {});
    write_file(work_ / "TRABE.BIN", pattern(5000, 11));  // two batches of the write
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
    const std::string listed = "Directory read SUCCESSFULLY";
    const struct {
        std::string tool, arg;
        int status;
        Lines expected;
    } cases[] = {
        {TRABE, "TRABE.BIN", 0, {"File written SUCCESSFULLY"}},
        {TRABE, "NONE.BIN", 255, {"ERROR: PassThruWriteFile Status=7"}},
        {SUNDREL, "*.LOG", 0, {list + ", ", listed}},
        {SUNDREL, "*.TXT", 0, {", ", listed}},
        {FENNICK, "NONE.BIN", 255, {"LoopCount = 1", "", "ERROR: Status=7, " + kKey}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.tool + " " + c.arg);
        const Outcome out = c.tool == FENNICK ? run_held({c.arg}) : run(c.tool, {c.arg});
        EXPECT_EQ(out.status, c.status);
        EXPECT_EQ(out.lines, c.expected);
    }
    EXPECT_EQ(card_file(adapter, "TRABE.BIN"), pattern(5000, 11));
}

TEST_F(ToolsTest, SundrelShowsControlCharactersOfNamesAsQuestionMarksOnlyOnATerminal)
{
    using namespace orvane::sim;
    std::string c0 = "\x7f", c1, kept = "A.LOG ~\xa0\xff";
    for (char c = 1; c < 0x20; ++c)
        c0 += c;
    for (int c = 0x80; c < 0xa0; ++c)
        c1 += static_cast<char>(c);
    // A card written elsewhere may name its files with any bytes, which the
    // simulated card refuses: the listing's steps are answered here.
    const Lines names = {c0, c1 + kept};
    size_t next = 0;
    Simulator &adapter = start_adapter(12345, {});
    for (const uint8_t op : {JMSG_DEV_OPEN, JMSG_DEV_READ}) {
        adapter.set_handler(JMSG_ADAPTER, op, JMSG_TYPE_DIR, [&, op](const Frame &, Context &ctx) {
            next = op == JMSG_DEV_OPEN ? 0 : next + 1;
            Frame f(JMSG_ADAPTER, op, JMSG_TYPE_DIR);
            if (next < names.size()) {  // no data: the end of the list
                f.data.assign(kDirEntryHeader, 0);
                f.data.insert(f.data.end(), names[next].begin(), names[next].end());
                f.data.push_back(0);
            }
            ctx.reply(f);
        });
    }
    const std::string listed = ", \nDirectory read SUCCESSFULLY\n", masked(32, '?');
    for (const auto &[output, expected] : {
             std::pair{Output::pipe, c0 + "," + c1 + kept + "," + listed},
             std::pair{Output::terminal, masked + "," + masked + kept + "," + listed},
         }) {
        SCOPED_TRACE(output == Output::pipe ? "pipe" : "terminal");
        auto p = start(SUNDREL, {"*"}, output);
        p->close_input();
        EXPECT_EQ(p->wait(kToolTime), 0);
        EXPECT_EQ(p->output(), expected);
    }
}

TEST_F(ToolsTest, PelmarkCollectsIntoTheNextCopyAndTheCombinedLog)
{
    Simulator &adapter = start_adapter(12345, {{"DATA.LOG", pattern(1500, 1)}});
    const fs::path folder = work_ / "00012345";
    fs::create_directory(folder);
    write_file(folder / "000000_DATA.LOG", {'o', 'l', 'd', '0'});
    write_file(folder / "000001_DATA.LOG", {'o', 'l', 'd', '1'});
    write_file(work_ / "DATA.LOG", {'e', 'a', 'r', 'l', 'y', '\n'});

    const Outcome out = run(PELMARK, {"data.log"}, "\nquit\n");
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.lines, (Lines{"",
                                kPrompt + "Connecting to Orvane...Reading file from SD-Card..."
                                          "Appending data to combined log file...Deleting file "
                                          "on SD-Card...",
                                kPrompt}));
    for (const std::string &line : out.lines)
        EXPECT_EQ(line.find('\x1b'), std::string::npos) << "escape sequence in piped output";
    EXPECT_EQ(file_bytes(folder / "000000_DATA.LOG"), (Bytes{'o', 'l', 'd', '0'}));
    EXPECT_EQ(file_bytes(folder / "000001_DATA.LOG"), (Bytes{'o', 'l', 'd', '1'}));
    EXPECT_EQ(file_bytes(folder / "000002_DATA.LOG"), pattern(1500, 1));
    EXPECT_EQ(file_bytes(work_ / "DATA.LOG"),
              Bytes({'e', 'a', 'r', 'l', 'y', '\n'}) + pattern(1500, 1));
    EXPECT_EQ(card_file(adapter, "DATA.LOG"), std::nullopt);
    // Deleted under the name as typed.
    const auto frames = adapter.log().frames();
    const Bytes typed = {'d', 'a', 't', 'a', '.', 'l', 'o', 'g', 0};
    EXPECT_NE(std::find(frames.begin(), frames.end(), orvane::sim::Frame(0xE0, 7, 0, typed)),
              frames.end());
}

TEST_F(ToolsTest, PelmarkShowsEachStepWhileTheAdapterIsStillAtIt)
{
    // The adapter holds a frame of each step (one whose reply the library
    // awaits for 15 s, not a probe of the search) until the step's text has
    // come through the pipe: a text left in the tool's buffer would only
    // come out with the next prompt.
    using namespace orvane::sim;
    const struct {
        std::function<bool(const Frame &)> starts;
        std::string shown;
    } steps[] = {
        {[](const Frame &f) { return f.dev == JMSG_ADAPTER && f.type == JMSG_TYPE_DIR; },
         "Connecting to Orvane..."},
        {[](const Frame &f) { return f.dev == JMSG_MEM && f.op == JMSG_DEV_OPEN; },
         "Reading file from SD-Card..."},
        {[](const Frame &f) { return f.dev == JMSG_MEM && f.op == JMSG_DEV_DELETE; },
         "Appending data to combined log file...Deleting file on SD-Card..."},
    };
    const size_t count = std::size(steps);
    std::mutex mu;
    std::condition_variable changed;
    size_t reached = 0, released = 0;
    start_adapter(12345, {{"DATA.LOG", pattern(300, 6)}}, [&](const LoggedFrame &in) {
        std::unique_lock lock(mu);
        if (reached < count && steps[reached].starts(in.frame)) {
            ++reached;
            changed.notify_all();
            changed.wait_for(lock, kToolTime, [&] { return released >= reached; });
        }
    });
    auto p = start(PELMARK, {"DATA.LOG"});
    p->write("\n");
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(steps[i].shown);
        {
            std::unique_lock lock(mu);
            EXPECT_TRUE(changed.wait_for(lock, kToolTime, [&] { return reached > i; }));
        }
        EXPECT_TRUE(p->read_until(steps[i].shown, 5s)) << p->output();
        {
            std::lock_guard lock(mu);
            released = i + 1;
        }
        changed.notify_all();
    }
    p->write("quit\n");
    EXPECT_EQ(p->wait(kToolTime), 0);
    EXPECT_EQ(file_bytes(work_ / "DATA.LOG"), pattern(300, 6));
}

TEST_F(ToolsTest, PelmarkCollectsFromAdaptersSwappedBetweenCycles)
{
    Simulator &first = start_adapter(12345, {{"DATA.LOG", pattern(700, 2)}});
    auto p = start(PELMARK, {"DATA.LOG"});
    ASSERT_TRUE(p->read_until(kPrompt, kToolTime));
    p->write("\n");
    ASSERT_TRUE(p->read_until(kPrompt, kToolTime)) << p->output();
    first.stop();
    Simulator &second = start_adapter(67890, {{"DATA.LOG", pattern(300, 9)}});
    p->write("\n");
    ASSERT_TRUE(p->read_until(kPrompt, kToolTime)) << p->output();
    second.stop();
    start_adapter(24680, {{"Data.log", pattern(100, 4)}});  // listed as it was written
    p->write("\n");
    ASSERT_TRUE(p->read_until(kPrompt, kToolTime)) << p->output();
    p->write("quit\n");
    EXPECT_EQ(p->wait(kToolTime), 0);
    EXPECT_EQ(file_bytes(work_ / "00012345" / "000000_DATA.LOG"), pattern(700, 2));
    EXPECT_EQ(file_bytes(work_ / "00067890" / "000000_DATA.LOG"), pattern(300, 9));
    EXPECT_EQ(file_bytes(work_ / "00024680" / "000000_DATA.LOG"), pattern(100, 4));
    EXPECT_EQ(file_bytes(work_ / "DATA.LOG"), pattern(700, 2) + pattern(300, 9) + pattern(100, 4));
}

TEST_F(ToolsTest, PelmarkKeepsTheCardFileWhenItsDataAreNotKept)
{
    const Lines kept = {"ERROR: File on SD-Card not deleted!", "Press enter to continue..."};
    const std::string appending = "Reading file from SD-Card...Appending data to combined log "
                                  "file...ERROR: ";
    const struct {
        const char *what;
        std::string card_name;
        std::function<void()> prepare;
        std::string first;  // continues the connect line
        Lines rest;
        size_t copies;  // files left in the serial folder
        // Enter for the cycle, Enter for an error that waits, then quit.
        std::string input = "\n\nq";
        size_t file_limit = 0;                         // of the tool's files, when not 0
        std::optional<Bytes> combined = std::nullopt;  // the combined log afterwards
    } cases[] = {
        {"only XDATA.LOG: found as a substring, refused by the card", "XDATA.LOG", [] {},
         "Reading file from SD-Card...ERROR: PassThruReadFile(./00012345/000000_DATA.LOG,"
         "DATA.LOG) Status=7",
         kept, 0},
        {"combined log cannot be opened", "DATA.LOG",
         [&] { fs::create_directory(work_ / "DATA.LOG"); },
         appending + "Cannot open DATA.LOG: Is a directory", kept, 1},
        {"combined log full: the buffered data fail at the close", "DATA.LOG",
         [&] { fs::create_symlink("/dev/full", work_ / "DATA.LOG"); },
         appending + "Cannot append ./00012345/000000_DATA.LOG to DATA.LOG: DATA.LOG: No space "
                     "left on device",
         kept, 1},
        {"combined log past the file-size limit: fails part-way, cut back", "DATA.LOG",
         [&] { write_file(work_ / "DATA.LOG", pattern(1000, 8)); },
         appending + "Cannot append ./00012345/000000_DATA.LOG to DATA.LOG: DATA.LOG: File too "
                     "large",
         kept, 1, "\n\nq", 1100, pattern(1000, 8)},
        {"serial folder cannot be made: a dangling link in its place",
         "DATA.LOG",
         [&] { fs::create_symlink("nowhere", work_ / "00012345"); },
         "Reading file from SD-Card...ERROR: Cannot create ./00012345: File exists",
         {""},
         0,
         "\nq"},
        {"no matching file",
         "OTHER.LOG",
         [] {},
         "",
         {"ERROR: DATA.LOG not found on SD-Card!", "Press enter to continue..."},
         0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(work_);
        fs::create_directory(work_);
        c.prepare();
        Simulator &adapter = start_adapter(12345, {{c.card_name, pattern(200, 5)}});
        auto p = start(PELMARK, {"data.log"});
        if (c.file_limit != 0)
            p->limit_file_size(c.file_limit);
        p->write(c.input);
        p->close_input();
        const Outcome out = {p->wait(kToolTime), p->lines()};
        EXPECT_EQ(out.status, 0);
        Lines expected = {"", kPrompt + "Connecting to Orvane..." + c.first};
        expected.insert(expected.end(), c.rest.begin(), c.rest.end());
        expected.push_back(kPrompt);
        EXPECT_EQ(out.lines, expected);
        EXPECT_EQ(card_file(adapter, c.card_name), pattern(200, 5));
        const fs::path folder = work_ / "00012345";
        EXPECT_EQ(fs::exists(folder) ? std::distance(fs::directory_iterator(folder), {}) : 0,
                  static_cast<long>(c.copies));
        if (c.copies == 1) {  // the copy itself is whole
            EXPECT_EQ(file_bytes(folder / "000000_DATA.LOG"), pattern(200, 5));
        }
        if (c.combined) {
            EXPECT_EQ(file_bytes(work_ / "DATA.LOG"), c.combined);
        }
        adapter.stop();
    }
}

}  // namespace
