// io_rules_test.cpp - the Qt-free rules of the configuration, voltage and
// I/O pages: the FD flag rule, the K-line pins and the shown texts.
#include <gtest/gtest.h>

#include "j2534.h"
#include "testapp/io_rules.h"

namespace {

TEST(IoRules, FdRuleComparesTheRatesUnsigned)
{
    const struct {
        uint32_t fd_rate, data_rate;
        bool box;
        uint32_t before, after;
        bool uncheck;
    } cases[] = {
        {2000000, 500000, true, 0x100, 0x180100, false},
        {2000000, 500000, false, 0x100, 0x100, false},      // box unchecked: nothing
        {500000, 500000, true, 0x180840, 0x100840, false},  // equal: no switching
        {500000, 500000, false, 0x180000, 0x100000, false},
        {250000, 500000, true, 0x180100, 0x100, true},   // slower: FD off
        {0xFFFFFFFF, 500000, true, 0, 0x180000, false},  // -1 typed is the largest rate
        {0, 0xFFFFFFFF, false, 0x80000, 0, true},
    };
    for (const auto &c : cases) {
        FdRuleResult rule = fd_rule(c.fd_rate, c.data_rate, c.box);
        EXPECT_EQ(apply_fd_rule(rule, c.before), c.after) << c.fd_rate << " " << c.data_rate;
        EXPECT_EQ(rule.uncheck_fd_box, c.uncheck) << c.fd_rate << " " << c.data_rate;
    }
}

TEST(IoRules, PinsAndTexts)
{
    EXPECT_EQ(kline_pin_value(0), 0x0100u);
    EXPECT_EQ(kline_pin_value(6), 0x0F00u);
    EXPECT_FALSE(kline_pin_value(-1));
    EXPECT_FALSE(kline_pin_value(7));

    const std::pair<uint32_t, const char *> volts[] = {
        {0, " 0.000"},    {5, " 0.005"},       {12345, "12.345"},
        {5000, " 5.000"}, {123456, "123.456"}, {0xFFFFFFFE, "4294967.294"}};
    for (const auto &[mv, text] : volts)
        EXPECT_EQ(volts_text(mv), text) << mv;

    const std::pair<uint16_t, const char *> temperatures[] = {
        {0, "UNDER"},    {0xFFFF, "OVER"},     {0x8000, "550.0 C"},
        {1, "-150.0 C"}, {0xFFFE, "1250.0 C"}, {0x1000, "-62.5 C"}};
    for (const auto &[raw, text] : temperatures)
        EXPECT_EQ(vuv1_temperature_text(raw), text) << raw;

    EXPECT_EQ(config_value("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(config_value(" 2000000 kbit"), 2000000u);
}

}  // namespace
