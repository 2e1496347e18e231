// message_box_test.cpp - the message box seam and its standard-error line.
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> shown;

void record(const char *text, const char *caption)
{
    shown.push_back(std::string(caption) + "|" + text);
}

TEST(MessageBox, SinkReceivesTextAndCaptionAndDefaultIsOneStderrLine)
{
    platform::set_message_box_sink(record);
    platform::message_box("Orvane not detected", "ERROR");
    ASSERT_EQ(shown, std::vector<std::string>{"ERROR|Orvane not detected"});

    platform::set_message_box_sink(nullptr);
    testing::internal::CaptureStderr();
    platform::message_box("Orvane not detected", "ERROR");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: Orvane not detected\n");
    EXPECT_EQ(shown.size(), 1u);
}

}  // namespace
