// SD-card files through the built library against the simulated adapter:
// what goes over the link, what lands on the card and on the PC, and that
// every call leaves the link in step.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sim/sd_card.h"
#include "tests/passthru/adapter_services_support.h"

using orvane::sim::CardFile;
using orvane::sim::SdCard;
using orvane::sim::ServiceMode;
using tenq_test::AdapterServicesTest;
using tenq_test::Frame;
using tenq_test::name_data;
using tenq_test::pattern;
using tenq_test::read_pc_file;
using tenq_test::write_pc_file;

using namespace std::chrono_literals;

namespace {

constexpr uint8_t kMem = 0xE0;

Frame mem_frame(uint8_t op, std::vector<uint8_t> data = {}, uint8_t flags = 0)
{
    return Frame(kMem, op, 0, std::move(data), flags);
}

// Delete, open, the data in batches of `batch` frames of 64 bytes with 0x80
// on each batch's last frame, close.
std::vector<Frame> card_write_frames(const std::string &name, const std::vector<uint8_t> &bytes,
                                     size_t batch)
{
    std::vector<Frame> out{mem_frame(7, name_data(name)), mem_frame(5, name_data(name))};
    const size_t pieces = (bytes.size() + 63) / 64;
    for (size_t i = 0; i < pieces; ++i) {
        const size_t begin = i * 64;
        const size_t end = std::min(bytes.size(), begin + 64);
        const bool last = (i + 1) % batch == 0 || i + 1 == pieces;
        out.push_back(mem_frame(3, std::vector<uint8_t>(bytes.begin() + begin, bytes.begin() + end),
                                last ? 0x80 : 0));
    }
    out.push_back(mem_frame(6));
    return out;
}

// Open, one read per 64 bytes and one more for the short (maybe empty) end, close.
std::vector<Frame> card_read_frames(const std::string &name, size_t size)
{
    std::vector<Frame> out{mem_frame(5, name_data(name))};
    for (size_t i = 0; i < size / 64 + 1; ++i)
        out.push_back(mem_frame(2));
    out.push_back(mem_frame(6));
    return out;
}

std::vector<uint8_t> card_bytes(orvane::sim::Simulator &sim, const std::string &name)
{
    return sim.with_sd_card([&](SdCard &card) {
        const CardFile *f = card.find(name);
        return f ? f->bytes : std::vector<uint8_t>{0xDE, 0xAD};
    });
}

class SdCardFilesTest : public AdapterServicesTest {
  protected:
    // Waits until the simulator took the close that ended the last call and
    // sent its answer.
    void settle()
    {
        ASSERT_TRUE(sim().log().wait_until(
            [](const std::vector<orvane::sim::LoggedFrame> &log) {
                return !log.empty() && log.back().frame == mem_frame(6);
            },
            5s));
        ASSERT_TRUE(sim().wait_sent(5s));
    }
};

}  // namespace

TEST_F(SdCardFilesTest, WrittenFilesReadBackIdentically)
{
    for (size_t size : {0u, 1u, 64u, 128u, 5000u}) {
        SCOPED_TRACE(size);
        const auto bytes = pattern(size, static_cast<uint8_t>(size));
        const std::string out = pc_path("out.bin"), in = pc_path("in.bin");
        write_pc_file(out, bytes);

        sim().log().clear();
        ASSERT_EQ(lib().WriteFile(out.c_str(), "TEST.BIN", 0), 0) << lib().last_error();
        EXPECT_EQ(sim().log().frames(), card_write_frames("TEST.BIN", bytes, 64));
        EXPECT_EQ(card_bytes(sim(), "TEST.BIN"), bytes);

        sim().log().clear();
        ASSERT_EQ(lib().ReadFile(in.c_str(), "test.bin", 0), 0) << lib().last_error();
        EXPECT_EQ(sim().log().frames(), card_read_frames("test.bin", size));
        EXPECT_EQ(read_pc_file(in), bytes);
    }
    expect_link_in_step();
}

TEST_F(SdCardFilesTest, ListDeleteAndReadAfterRead)
{
    const std::string pc = pc_path("t.bin");
    write_pc_file(pc, pattern(100));
    ASSERT_EQ(lib().WriteFile(pc.c_str(), "TEST.BIN", 0), 0);
    sim().with_sd_card([](SdCard &card) { card.put("NOTES.TXT", pattern(10)); });

    char list[4096];
    sim().log().clear();
    ASSERT_EQ(lib().ReadDir("*.BIN", list), 0);
    EXPECT_STREQ(list, "TEST.BIN,");
    EXPECT_EQ(sim().log().frames(), (std::vector<Frame>{Frame(0xF0, 5, 15, name_data("*.BIN")),
                                                        Frame(0xF0, 2, 15), Frame(0xF0, 6, 15)}));

    EXPECT_EQ(lib().DeleteFile("TEST.BIN", 0), 0);
    ASSERT_EQ(lib().ReadDir("*.bin", list), 0);
    EXPECT_STREQ(list, "");
    EXPECT_EQ(lib().DeleteFile("TEST.BIN", 0), 7);
    EXPECT_EQ(lib().last_error(), "PassThruDeleteFile: Error");

    // Each read's close reply is consumed by the read itself: a second read
    // gets its own file, and a delete that fails after a read says so.  The
    // simulator has sent all its answers before each next call and answers
    // late, so a reply left unread would be all the next call's first poll
    // sees.
    sim().set_reply_delay(20ms);
    sim().with_sd_card([](SdCard &card) {
        card.put("A.LOG", pattern(100, 1));
        card.put("B.LOG", pattern(30, 2));
    });
    ASSERT_EQ(lib().ReadFile(pc_path("a").c_str(), "A.LOG", 0), 0);
    settle();
    ASSERT_EQ(lib().ReadFile(pc_path("b").c_str(), "B.LOG", 0), 0);
    settle();
    EXPECT_EQ(read_pc_file(pc_path("a")), pattern(100, 1));
    EXPECT_EQ(read_pc_file(pc_path("b")), pattern(30, 2));
    EXPECT_EQ(lib().DeleteFile("MISSING.LOG", 0), 7);
    ASSERT_EQ(lib().ReadDir("*.log", list), 0);
    EXPECT_STREQ(list, "A.LOG,B.LOG,");
    expect_link_in_step();
}

TEST_F(SdCardFilesTest, FirmwareImageBecomesAppLdrInBatchesOfEight)
{
    const auto image = pattern(1000, 9);
    ASSERT_EQ(lib().UpdateFirmware(image.data(), 1000), 0) << lib().last_error();
    EXPECT_EQ(sim().log().frames(), card_write_frames("APP.LDR", image, 8));
    EXPECT_EQ(card_bytes(sim(), "APP.LDR"), image);
    // Its close reply was consumed too.
    settle();
    sim().set_reply_delay(20ms);
    EXPECT_EQ(lib().DeleteFile("NOPE.BIN", 0), 7);

    // Nothing to put in its place: the current image stays.
    sim().log().clear();
    EXPECT_EQ(lib().UpdateFirmware(nullptr, 1000), 4);
    EXPECT_EQ(lib().last_error(), "PassThruUpdateFirmware null parameter");
    EXPECT_EQ(lib().UpdateFirmware(image.data(), 0), 7);
    EXPECT_EQ(lib().last_error(), "PassThruUpdateFirmware: empty image");
    expect_link_in_step();
    EXPECT_EQ(sim().log().frames(), (std::vector<Frame>{Frame(0xF0, 2, 13)}));
    EXPECT_EQ(card_bytes(sim(), "APP.LDR"), image);
}

TEST_F(SdCardFilesTest, NamesAreCheckedBeforeAnythingHappens)
{
    const std::string pc = pc_path("never.bin");
    const std::string too_long(68, 'N');
    char list[4096] = "junk";

    EXPECT_EQ(lib().ReadFile(pc.c_str(), too_long.c_str(), 0), 7);
    EXPECT_EQ(lib().last_error(), "PassThruReadFile: SD-card file name longer than 67 characters");
    EXPECT_FALSE(std::filesystem::exists(pc));
    write_pc_file(pc, pattern(10));
    EXPECT_EQ(lib().WriteFile(pc.c_str(), too_long.c_str(), 0), 7);
    EXPECT_EQ(lib().DeleteFile(too_long.c_str(), 0), 7);
    EXPECT_EQ(lib().last_error(),
              "PassThruDeleteFile: SD-card file name longer than 67 characters");
    EXPECT_EQ(lib().ReadDir(too_long.c_str(), list), 7);
    EXPECT_EQ(lib().last_error(), "PassThruReadDir: pattern longer than 67 characters");
    EXPECT_STREQ(list, "");

    EXPECT_EQ(lib().ReadFile(nullptr, "A.LOG", 0), 4);
    EXPECT_EQ(lib().ReadFile(pc.c_str(), nullptr, 0), 4);
    EXPECT_EQ(lib().last_error(), "PassThruReadFile null parameter");
    EXPECT_EQ(lib().WriteFile(nullptr, "A.LOG", 0), 4);
    EXPECT_EQ(lib().WriteFile(pc.c_str(), nullptr, 0), 4);
    EXPECT_EQ(lib().DeleteFile(nullptr, 0), 4);
    EXPECT_EQ(lib().ReadDir(nullptr, list), 4);
    EXPECT_EQ(lib().ReadDir("*.LOG", nullptr), 4);
    EXPECT_EQ(lib().last_error(), "PassThruReadDir null parameter");
    EXPECT_EQ(sim().log().size(), 0u);

    // 67 characters still go out, in a full frame.
    const std::string longest(67, 'L');
    EXPECT_EQ(lib().DeleteFile(longest.c_str(), 0), 7);  // too long for this card
    EXPECT_EQ(sim().log().frames(), (std::vector<Frame>{mem_frame(7, name_data(longest))}));
    expect_link_in_step();
}

TEST_F(SdCardFilesTest, PcFileProblems)
{
    // A card file that does not exist leaves an empty PC file.
    const std::string pc = pc_path("missing.bin");
    EXPECT_EQ(lib().ReadFile(pc.c_str(), "MISSING.BIN", 0), 7);
    EXPECT_EQ(lib().last_error(), "PassThruReadFile(OPEN): Error");
    EXPECT_TRUE(std::filesystem::exists(pc));
    EXPECT_TRUE(read_pc_file(pc).empty());

    // A full disk: noticed when the buffered tail is written at the close,
    // or at once for a longer file (then no close frame goes out).
    sim().with_sd_card([](SdCard &card) {
        card.put("SMALL.LOG", pattern(100));
        card.put("LARGE.LOG", pattern(20000));
    });
    EXPECT_EQ(lib().ReadFile("/dev/full", "SMALL.LOG", 0), 7);
    EXPECT_EQ(lib().last_error(), "PassThruReadFile(): /dev/full file write error");
    sim().log().clear();
    EXPECT_EQ(lib().ReadFile("/dev/full", "LARGE.LOG", 0), 7);
    EXPECT_EQ(lib().last_error(), "PassThruReadFile(): /dev/full file write error");
    const auto frames = sim().log().frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back(), mem_frame(2));
    EXPECT_LT(frames.size(), 20000u / 64);
    expect_link_in_step();

    // Only regular files are sent; a missing one neither.
    sim().log().clear();
    EXPECT_EQ(lib().WriteFile(root().c_str(), "DIR.BIN", 0), 7);
    EXPECT_EQ(lib().last_error(), "PassThruWriteFile(): " + root() + " file open error");
    const std::string fifo = pc_path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(lib().WriteFile(fifo.c_str(), "FIFO.BIN", 0), 7);
    EXPECT_EQ(lib().WriteFile(pc_path("nothing").c_str(), "NONE.BIN", 0), 7);
    EXPECT_EQ(sim().log().size(), 0u);
}

TEST_F(SdCardFilesTest, PcFileThatShrinksDuringTheWriteFails)
{
    const std::string pc = pc_path("shrinking.bin");
    const auto bytes = pattern(10000);
    write_pc_file(pc, bytes);
    // The file is cut short after the library measured it, when the
    // adapter takes the open.
    SdCard *card = sim().with_sd_card([](SdCard &c) { return &c; });
    sim().set_handler(0xE0, 5, 0, [pc, card](const Frame &in, orvane::sim::Context &ctx) {
        std::filesystem::resize_file(pc, 100);
        orvane::sim::handle_card_frame(in, ctx, *card);
    });
    EXPECT_EQ(lib().WriteFile(pc.c_str(), "SHRINK.BIN", 0), 7);
    EXPECT_EQ(lib().last_error(), "PassThruWriteFile(): " + pc + " file read error");

    // What went out (what the C library had already buffered) is the file's
    // own bytes, never filler; the transfer stopped without a close.
    const auto frames = sim().log().frames();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_LT(frames.size(), 2u + 157u);
    size_t offset = 0;
    for (size_t i = 2; i < frames.size(); ++i) {
        ASSERT_EQ(frames[i].op, 3);
        ASSERT_TRUE(
            std::equal(frames[i].data.begin(), frames[i].data.end(), bytes.begin() + offset));
        offset += frames[i].data.size();
    }
    expect_link_in_step();
}

TEST_F(SdCardFilesTest, RefusingCardFailsEveryStepCleanly)
{
    const std::string pc = pc_path("r.bin");
    write_pc_file(pc, pattern(10));
    sim().with_sd_card([](SdCard &card) {
        card.put("KEEP.LOG", pattern(10));
        card.mode = ServiceMode::Refuse;
    });
    char list[4096] = "junk";
    EXPECT_EQ(lib().ReadFile(pc.c_str(), "KEEP.LOG", 0), 7);
    EXPECT_EQ(lib().WriteFile(pc.c_str(), "KEEP.LOG", 0), 7);
    EXPECT_EQ(lib().last_error(), "PassThruWriteFile(OPEN): Error");
    EXPECT_EQ(lib().DeleteFile("KEEP.LOG", 0), 7);
    EXPECT_EQ(lib().UpdateFirmware(pattern(10).data(), 10), 7);
    EXPECT_EQ(lib().last_error(), "PassThruUpdateFirmware(OPEN): Error");
    EXPECT_EQ(lib().ReadDir("*.LOG", list), 0);  // a listing has no refusal: it is empty
    EXPECT_STREQ(list, "");
    expect_link_in_step();
    EXPECT_EQ(card_bytes(sim(), "KEEP.LOG"), pattern(10));
}

#ifdef TENQ_LIB_0202
namespace {
class OlderApiServicesTest : public orvane::sim::SimFixture {};
}  // namespace

TEST_F(OlderApiServicesTest, OlderVariantCopiesFilesAlike)
{
    auto &sim = start_sim(7);
    tenq_test::Library old(TENQ_LIB_0202);
    const std::string out = root() + "/out.bin", in = root() + "/in.bin";
    write_pc_file(out, pattern(200, 5));
    ASSERT_EQ(old.WriteFile(out.c_str(), "OLD.BIN", 0), 0) << old.last_error();
    ASSERT_EQ(old.ReadFile(in.c_str(), "OLD.BIN", 0), 0) << old.last_error();
    EXPECT_EQ(read_pc_file(in), pattern(200, 5));
    char list[4096];
    ASSERT_EQ(old.ReadDir("*.bin", list), 0);
    EXPECT_STREQ(list, "OLD.BIN,");
    EXPECT_EQ(card_bytes(sim, "OLD.BIN"), pattern(200, 5));
}
#endif
