// The simulated SD card: names, the open rule that tells reading from
// writing, wildcard listings and the folder it keeps its files in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sim/sd_card.h"
#include "sim/security_service.h"

namespace orvane::sim {
namespace {

namespace fs = std::filesystem;

class TempFolder {
  public:
    TempFolder()
    {
        std::string templ = (fs::temp_directory_path() / "orvane-card-XXXXXX").string();
        if (::mkdtemp(templ.data()) != nullptr)
            path_ = templ;
    }
    ~TempFolder()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path &path() const { return path_; }

  private:
    fs::path path_;
};

std::vector<uint8_t> bytes_of(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

TEST(SdCard, NamesThatCouldLeaveTheFolderAreRefused)
{
    for (const char *bad : {"", ".", "..", "../x", "a/b", "a\\b", ".hidden", "tab\tname"})
        EXPECT_FALSE(SdCard::valid_name(bad)) << bad;
    EXPECT_FALSE(SdCard::valid_name(std::string(52, 'N')));
    EXPECT_TRUE(SdCard::valid_name(std::string(51, 'N')));
    EXPECT_TRUE(SdCard::valid_name("DATA.LOG"));
    EXPECT_TRUE(SdCard::valid_name("a..b"));

    SdCard card;
    EXPECT_THROW(card.put("../x", {1}), std::invalid_argument);
    EXPECT_FALSE(card.remove("../x"));
    EXPECT_FALSE(card.open("../x"));
}

TEST(SdCard, OpenReadsExistingFilesAndCreatesOnlyRightAfterADelete)
{
    SdCard card;
    card.put("data.log", std::vector<uint8_t>(100, 7));

    // Any case finds it, and reading gives 64 bytes, the rest, then nothing.
    ASSERT_TRUE(card.open("DATA.LOG"));
    EXPECT_EQ(card.read_piece()->size(), 64u);
    EXPECT_EQ(card.read_piece()->size(), 36u);
    EXPECT_EQ(card.read_piece()->size(), 0u);
    EXPECT_FALSE(card.write_piece(std::vector<uint8_t>{1}));  // opened for reading
    EXPECT_TRUE(card.close());
    EXPECT_FALSE(card.close());  // nothing open

    // A missing file is not created by an open alone...
    EXPECT_FALSE(card.open("NEW.BIN"));
    // ...nor when another step came between the delete and the open...
    EXPECT_FALSE(card.remove("NEW.BIN"));
    EXPECT_FALSE(card.close());
    EXPECT_FALSE(card.open("NEW.BIN"));
    // ...nor after the delete of another name.
    EXPECT_FALSE(card.remove("OTHER.BIN"));
    EXPECT_FALSE(card.open("NEW.BIN"));

    // Right after its delete (whether or not it existed) the open creates it.
    EXPECT_FALSE(card.remove("new.bin"));
    ASSERT_TRUE(card.open("New.Bin"));
    EXPECT_FALSE(card.read_piece());  // opened for writing
    EXPECT_TRUE(card.write_piece(std::vector<uint8_t>{1, 2}));
    EXPECT_TRUE(card.write_piece(std::vector<uint8_t>{3}));
    EXPECT_TRUE(card.close());
    ASSERT_NE(card.find("NEW.BIN"), nullptr);
    EXPECT_EQ(card.find("NEW.BIN")->name, "New.Bin");
    EXPECT_EQ(card.find("new.bin")->bytes, (std::vector<uint8_t>{1, 2, 3}));

    // Writing an existing file: delete, then open.
    EXPECT_TRUE(card.remove("DATA.LOG"));
    EXPECT_EQ(card.find("data.log"), nullptr);
    ASSERT_TRUE(card.open("DATA.LOG"));
    EXPECT_TRUE(card.close());
    EXPECT_TRUE(card.find("data.log")->bytes.empty());
}

TEST(SdCard, WildcardsMatchWithoutRegardToCase)
{
    const struct {
        const char *pattern, *name;
        bool match;
    } cases[] = {
        {"*.BIN", "TEST.BIN", true},    {"*.bin", "test.BIN", true},
        {"*.BIN", "TEST.BINX", false},  {"*", "", true},
        {"*", "A.LOG", true},           {"?.LOG", "A.LOG", true},
        {"?.LOG", "AB.LOG", false},     {"A*B*C", "AxxBxxC", true},
        {"A*B*C", "AxxBxx", false},     {"*DATA*", "XDATA.LOG", true},
        {"DATA.LOG", "data.log", true}, {"", "A", false},
        {"**.L?G", "X.LOG", true},      {"*.*", "NODOT", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(wildcard_match(c.pattern, c.name), c.match) << c.pattern << " " << c.name;

    SdCard card;
    card.put("b.log", {});
    card.put("A.LOG", {});
    card.put("C.TXT", {});
    const auto found = card.matching("*.LOG");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0]->name, "A.LOG");
    EXPECT_EQ(found[1]->name, "b.log");
}

TEST(SdCard, FolderIsLoadedAndKeptUpToDate)
{
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    std::ofstream(folder.path() / "data.log") << "abc";
    std::ofstream(folder.path() / ".hidden") << "x";
    fs::create_directory(folder.path() / "sub");

    SdCard card;
    card.attach_folder(folder.path().string());
    ASSERT_NE(card.find("DATA.LOG"), nullptr);
    EXPECT_EQ(card.find("DATA.LOG")->bytes, (std::vector<uint8_t>{'a', 'b', 'c'}));
    EXPECT_EQ(card.matching("*").size(), 1u);

    // Replaced under another case: the folder holds the new name only.
    EXPECT_TRUE(card.remove("DATA.LOG"));
    ASSERT_TRUE(card.open("DATA.LOG"));
    EXPECT_TRUE(card.write_piece(std::vector<uint8_t>{'x', 'y'}));
    EXPECT_TRUE(card.close());
    EXPECT_FALSE(fs::exists(folder.path() / "data.log"));
    EXPECT_EQ(bytes_of(folder.path() / "DATA.LOG"), (std::vector<uint8_t>{'x', 'y'}));

    card.put("APP.LDR", {9, 9});
    EXPECT_EQ(bytes_of(folder.path() / "APP.LDR"), (std::vector<uint8_t>{9, 9}));
    EXPECT_TRUE(card.remove("app.ldr"));
    EXPECT_FALSE(fs::exists(folder.path() / "APP.LDR"));

    // Nothing was ever written outside the folder or left half-written.
    size_t entries = 0;
    for (const auto &e : fs::directory_iterator(folder.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 3u);  // DATA.LOG, .hidden, sub

    SdCard again;
    again.attach_folder(folder.path().string());
    EXPECT_EQ(again.find("data.log")->bytes, (std::vector<uint8_t>{'x', 'y'}));
    EXPECT_THROW(SdCard().attach_folder((folder.path() / "missing").string()), std::runtime_error);
}

TEST(SecurityService, KeyDependsOnEveryInput)
{
    std::array<uint8_t, 12> fixed{};
    std::array<uint8_t, 16> seed{};
    const auto base = security_key(0, fixed, seed);
    // With all inputs zero only the documented offsets remain.
    for (size_t i = 0; i < base.size(); ++i)
        EXPECT_EQ(base[i], static_cast<uint8_t>(0x5A + 3 * i)) << i;
    EXPECT_NE(security_key(1, fixed, seed), base);
    fixed[11] = 1;
    EXPECT_NE(security_key(0, fixed, seed), base);
    fixed[11] = 0;
    seed[15] = 0x80;
    const auto key = security_key(0, fixed, seed);
    EXPECT_NE(key, base);
    // seed[15] meets fixed[3] at i = 15, rotated left by 7.
    EXPECT_EQ(key[15], static_cast<uint8_t>(0x40 ^ (0x5A + 45)));
}

}  // namespace
}  // namespace orvane::sim
