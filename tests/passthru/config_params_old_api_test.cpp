// The older API variant counts the K-line P times in milliseconds, as the
// adapter does: no halving either way.  Everything else is shared with the
// 04.04 variant and tested there.
#include <gtest/gtest.h>

#include <vector>

#include "tests/passthru/ioctl_test_support.h"

using namespace tenq;

#ifndef TENQ_OLD_API
#error "this test must be built against the older API variant"
#endif

namespace {
class OldApiConfigTest : public tenq_test::IoctlUnitTest {};
}  // namespace

TEST_F(OldApiConfigTest, PTimesPassUnchanged)
{
    SetIsoConnectDefaults(ISO9141Setup, 10400, 0);
    connected({3});
    std::vector<SCONFIG> items{{P1_MIN, 25}, {P3_MAX, 0x12345}, {W2, 30}};
    SCONFIG_LIST list = tenq_test::config_list(items);
    ASSERT_EQ(PassThruIoctl(3, SET_CONFIG, &list, nullptr), STATUS_NOERROR);
    EXPECT_EQ(ISO9141Setup.p1_min, 25);
    EXPECT_EQ(ISO9141Setup.p3_max, 0x2345) << "the low 16 bits";
    EXPECT_EQ(ISO9141Setup.w2_max, 30);

    std::vector<SCONFIG> got{{P1_MIN, 0}, {P3_MAX, 0}, {P4_MIN, 0}, {W2, 0}};
    list = tenq_test::config_list(got);
    ASSERT_EQ(PassThruIoctl(3, GET_CONFIG, &list, nullptr), STATUS_NOERROR);
    EXPECT_EQ(got[0].Value, 25u);
    EXPECT_EQ(got[1].Value, 0x2345u);
    EXPECT_EQ(got[2].Value, 5u);
    EXPECT_EQ(got[3].Value, 30u);
}
