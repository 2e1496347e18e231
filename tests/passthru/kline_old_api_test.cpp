// The older API variant reads K-line messages without start indications.
#include <gtest/gtest.h>

#include "passthru/receive/kline_rx.h"
#include "tests/passthru/rx_test_support.h"

using namespace tenq_test;

TEST(KLineOldApiTest, StartIndicationsAreDropped)
{
    reset_receive_state();
    Records r(4);
    tenq::KLineReceiveFrame(3, bus_frame(0x90, {}, 0x80), r.out());
    tenq::KLineReceiveFrame(3, bus_frame(0x90, {0x48, 0x6B, 0x10, 0xC3}), r.out());
    ASSERT_EQ(r.count(), 1u);
    EXPECT_EQ(r.data(0), (std::vector<uint8_t>{0x48, 0x6B, 0x10}));
    EXPECT_EQ(r[0].RxStatus, 0u);
}
