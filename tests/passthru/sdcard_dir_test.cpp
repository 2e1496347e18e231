// Directory listings through the built library: the list never passes the
// 4096 bytes of the tools' buffers, and a name never reaches past its reply.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sim/sd_card.h"
#include "tests/passthru/adapter_services_support.h"

using orvane::sim::Context;
using orvane::sim::SdCard;
using tenq_test::AdapterServicesTest;
using tenq_test::Frame;
using tenq_test::name_data;

namespace {

class SdCardDirTest : public AdapterServicesTest {};

constexpr size_t kListSize = 4096;
constexpr char kGuard = '\x5A';

}  // namespace

TEST_F(SdCardDirTest, LongListingStopsAtTheLastWholeNameAndClosesTheListing)
{
    // 200 names of 30 characters: 6200 characters with their commas.
    sim().with_sd_card([](SdCard &card) {
        for (int i = 0; i < 200; ++i) {
            char name[40];
            std::snprintf(name, sizeof name, "LOG_%04d_ABCDEFGHIJKLMNOPQ.LOG", i);
            card.put(name, {});
        }
    });
    std::vector<char> buffer(kListSize + 64, kGuard);
    EXPECT_EQ(lib().ReadDir("*.LOG", buffer.data()), 7);
    EXPECT_EQ(lib().last_error(), "PassThruReadDir: file list longer than 4095 characters");

    const std::string list(buffer.data());
    EXPECT_EQ(list.size(), 132u * 31u);  // the 133rd name and its comma would need 4124 bytes
    EXPECT_EQ(list.substr(0, 31), "LOG_0000_ABCDEFGHIJKLMNOPQ.LOG,");
    EXPECT_EQ(list.substr(list.size() - 31), "LOG_0131_ABCDEFGHIJKLMNOPQ.LOG,");
    for (size_t i = kListSize; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], kGuard) << "written past the list at " << i;

    const auto frames = sim().log().frames();
    ASSERT_EQ(frames.size(), 1u + 132u + 1u);  // open, a next per name taken, close
    EXPECT_EQ(frames.back(), Frame(0xF0, 6, 15));
    expect_link_in_step();

    char small[kListSize];
    EXPECT_EQ(lib().ReadDir("LOG_0007*", small), 0);
    EXPECT_STREQ(small, "LOG_0007_ABCDEFGHIJKLMNOPQ.LOG,");
}

TEST_F(SdCardDirTest, NamesEndWithTheirReply)
{
    // Replies without a terminator, one filling the whole frame and one too
    // short to hold a name at all, then the end of the list.
    std::vector<Frame> replies;
    std::vector<uint8_t> full(16, 0);
    full.insert(full.end(), 52, 'N');
    replies.push_back(Frame(0xF0, 5, 15, full));
    replies.push_back(Frame(0xF0, 2, 15, std::vector<uint8_t>(10, 'x')));
    std::vector<uint8_t> unterminated(16, 0);
    for (char c : std::string("SHORT.LOG"))
        unterminated.push_back(static_cast<uint8_t>(c));
    replies.push_back(Frame(0xF0, 2, 15, unterminated));
    replies.push_back(Frame(0xF0, 2, 15));
    auto script = std::make_shared<std::pair<std::vector<Frame>, size_t>>(replies, 0);
    auto answer = [script](const Frame &, Context &ctx) {
        if (script->second < script->first.size())
            ctx.reply(script->first[script->second++]);
    };
    sim().set_handler(0xF0, 5, 15, answer);
    sim().set_handler(0xF0, 2, 15, answer);

    std::vector<char> buffer(kListSize, kGuard);
    ASSERT_EQ(lib().ReadDir("*", buffer.data()), 0);
    EXPECT_EQ(std::string(buffer.data()), std::string(52, 'N') + ",," + "SHORT.LOG,");
    expect_link_in_step();
}
