// interface_discovery_test.cpp - the registered interfaces as the test
// application lists them, from a registry under a private root.
#include <gtest/gtest.h>

#include "sim/sim_fixture.h"
#include "testapp/interface_discovery.h"
#include "tests/passthru/registry_fixture.h"

namespace {

using Discover = orvane::sim::SimFixture;

TEST_F(Discover, ValuesAsTextSortedAndAtMostThirtyTwo)
{
    tenq_test::write_device_entry(root(),
                                  "Name=\"Orvane-FD\"\nVendor=\"Vexlar LLC\"\n"
                                  "FunctionLibrary=\"/usr/local/lib/libtenqv264.so\"\n",
                                  "Vexlar-Orvane-FD");
    // No Vendor; a library name of exactly 255 characters fits, 256 do not.
    tenq_test::write_device_entry(
        root(), "Name=\"Other\"\nFunctionLibrary=\"" + std::string(255, 'L') + "\"\n", "Acme-One");
    std::string unterminated = "41";
    for (int i = 1; i < 256; ++i)
        unterminated += ",41";
    tenq_test::write_device_entry(root(),
                                  "Name=hex(3):41,42,00,43\nVendor=\"" + std::string(256, 'V') +
                                      "\"\nFunctionLibrary=hex(3):" + unterminated + "\n",
                                  "Binary-Two");
    Discovery found = discover_interfaces();
    ASSERT_EQ(found.interfaces.size(), 3u);
    EXPECT_EQ(interface_line(found.interfaces[0]), "    Other     (" + std::string(255, 'L') + ")");
    EXPECT_EQ(found.interfaces[1].name, "AB");   // cut at the terminator
    EXPECT_EQ(found.interfaces[1].vendor, "");   // too long to fit
    EXPECT_EQ(found.interfaces[1].library, "");  // fills the buffer, no terminator
    EXPECT_EQ(interface_line(found.interfaces[2]),
              "Vexlar LLC    Orvane-FD     (/usr/local/lib/libtenqv264.so)");

    for (int i = 10; i < 50; ++i)
        tenq_test::write_device_entry(root(), "Name=\"Dev" + std::to_string(i) + "\"\n",
                                      "Dev" + std::to_string(i));
    found = discover_interfaces();
    ASSERT_EQ(found.interfaces.size(), 32u);
    EXPECT_EQ(found.interfaces.back().name, "Dev39");  // after Acme, Binary and Dev10..Dev39
}

}  // namespace
