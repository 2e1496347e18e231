// interface_discovery_test.cpp - the registered interfaces as the test
// application lists them, from a registry under a private root.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim/sim_fixture.h"
#include "testapp/interface_discovery.h"
#include "tests/passthru/registry_fixture.h"

namespace {

using Discover = orvane::sim::SimFixture;

TEST_F(Discover, MissingKeysAndEntries)
{
    Discovery none = discover_interfaces();
    EXPECT_EQ(none.failure, Discovery::kSoftwareKey);
    EXPECT_EQ(none.error, 2);

    std::filesystem::create_directories(root() + "/etc/passthru/registry/Software/Other");
    Discovery no_support = discover_interfaces();
    EXPECT_EQ(no_support.failure, Discovery::kPassThruKey);
    EXPECT_EQ(no_support.error, 2);

    std::filesystem::create_directories(root() +
                                        "/etc/passthru/registry/Software/PassThruSupport.04.04");
    Discovery empty = discover_interfaces();
    EXPECT_EQ(empty.failure, Discovery::kNone);
    EXPECT_TRUE(empty.interfaces.empty());
}

TEST_F(Discover, ValuesAsTextInEnumerationOrder)
{
    tenq_test::write_device_entry(
        root(),
        "Name=\"Orvane-FD\"\nVendor=\"Vexlar LLC\"\n"
        "FunctionLibrary=\"/usr/local/lib/libtenqv264.so\"\nCAN=dword:00000001\n",
        "Vexlar-Orvane-FD");
    // No Vendor; a library name of exactly 255 characters fits, 256 do not.
    tenq_test::write_device_entry(
        root(), "Name=\"Other\"\nFunctionLibrary=\"" + std::string(255, 'L') + "\"\n", "Acme-One");
    tenq_test::write_device_entry(
        root(),
        "Name=hex(3):41,42,00,43\nVendor=\"" + std::string(256, 'V') +
            "\"\nFunctionLibrary=hex(3):" +
            [] {
                std::string h;
                for (int i = 0; i < 256; ++i)
                    h += i ? ",41" : "41";
                return h;
            }() +
            "\n",
        "Binary-Two");
    Discovery found = discover_interfaces();
    ASSERT_EQ(found.interfaces.size(), 3u);
    // Sorted without regard to case: Acme-One, Binary-Two, Vexlar-Orvane-FD.
    EXPECT_EQ(interface_line(found.interfaces[0]), "    Other     (" + std::string(255, 'L') + ")");
    EXPECT_EQ(found.interfaces[1].name, "AB");   // cut at the terminator
    EXPECT_EQ(found.interfaces[1].vendor, "");   // too long to fit
    EXPECT_EQ(found.interfaces[1].library, "");  // fills the buffer, no terminator
    EXPECT_EQ(interface_line(found.interfaces[2]),
              "Vexlar LLC    Orvane-FD     (/usr/local/lib/libtenqv264.so)");
}

TEST_F(Discover, AtMostThirtyTwoInterfaces)
{
    for (int i = 0; i < 40; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "Dev%02d", i);
        tenq_test::write_device_entry(root(), std::string("Name=\"") + key + "\"\n", key);
    }
    Discovery found = discover_interfaces();
    ASSERT_EQ(found.interfaces.size(), 32u);
    EXPECT_EQ(found.interfaces.front().name, "Dev00");
    EXPECT_EQ(found.interfaces.back().name, "Dev31");
}

}  // namespace
