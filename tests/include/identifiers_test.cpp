// The shared records' layout and the identifier name table.
#include "j2534_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <set>
#include <string>
#include <type_traits>

#include "j2534.h"

namespace {

// The look-ups must stay usable in constant expressions.
static_assert(j2534_value(IdKind::ConfigParam, "ISO15765_PAD_VALUE") == 43u);
static_assert(std::string_view(j2534_name(IdKind::Ioctl, 0x800C)) == "GET_DEVICE_INFO");

TEST(Records, LayoutIsTheSameInEveryBuild)
{
    // An `unsigned long` slipping in would pass on -m32 and break 64-bit.
    static_assert(std::is_same_v<decltype(PASSTHRU_MSG::ExtraDataIndex), uint32_t>);
    static_assert(std::is_same_v<decltype(SPARAM::Supported), uint32_t>);
    static_assert(std::is_same_v<decltype(SCONFIG_LIST::NumOfParams), uint32_t>);

    EXPECT_EQ(sizeof(PASSTHRU_MSG), 4152u);
    EXPECT_EQ(offsetof(PASSTHRU_MSG, DataSize), 16u);
    EXPECT_EQ(offsetof(PASSTHRU_MSG, ExtraDataIndex), 20u);
    EXPECT_EQ(offsetof(PASSTHRU_MSG, Data), 24u);
    EXPECT_EQ(sizeof(PASSTHRU_MSG::Data), 4128u);
    EXPECT_EQ(sizeof(SCONFIG), 8u);
    EXPECT_EQ(sizeof(SPARAM), 12u);
    EXPECT_EQ(offsetof(SCONFIG_LIST, ConfigPtr), sizeof(void *));
    EXPECT_EQ(offsetof(SPARAM_LIST, ParamPtr), sizeof(void *));
    EXPECT_EQ(offsetof(SBYTE_ARRAY, BytePtr), sizeof(void *));

    // Records that go to the adapter byte for byte.
    EXPECT_EQ(sizeof(RTC_DAY_TIME), 12u);
    EXPECT_EQ(offsetof(RTC_DAY_TIME, year), 4u);
    EXPECT_EQ(offsetof(RTC_DAY_TIME, month), 6u);
    EXPECT_EQ(offsetof(RTC_DAY_TIME, day), 7u);
    EXPECT_EQ(offsetof(RTC_DAY_TIME, hour), 8u);
    EXPECT_EQ(offsetof(RTC_DAY_TIME, min), 9u);
    EXPECT_EQ(offsetof(RTC_DAY_TIME, sec), 10u);
    EXPECT_EQ(offsetof(RTC_DAY_TIME, pad), 11u);
    EXPECT_EQ(sizeof(MEM_RW), 9u);
    EXPECT_EQ(offsetof(MEM_RW, length), 4u);
    EXPECT_EQ(offsetof(MEM_RW, data), 8u);
    EXPECT_EQ(sizeof(SECURITY_DATA), 47u);
    EXPECT_EQ(offsetof(SECURITY_DATA, fixed), 1u);
    EXPECT_EQ(offsetof(SECURITY_DATA, seed), 13u);
    EXPECT_EQ(offsetof(SECURITY_DATA, key), 29u);
    EXPECT_EQ(sizeof(DAC_SETUP), 4u);
    EXPECT_EQ(offsetof(DAC_SETUP, pin), 2u);

    RTC_DAY_TIME t{};
    t.jdn = -2;
    t.year = 0x07E8;
    uint8_t laid[sizeof t];
    std::memcpy(laid, &t, sizeof t);
    EXPECT_EQ(laid[0], 0xFE);
    EXPECT_EQ(laid[3], 0xFF);
    EXPECT_EQ(laid[4], 0xE8);
    EXPECT_EQ(laid[5], 0x07);
}

TEST(IdentifierNames, EveryKindIsCompleteAndUnambiguous)
{
    const std::pair<IdKind, size_t> expected[] = {
        {IdKind::Status, 27},      {IdKind::Protocol, 24},   {IdKind::ConnectFlag, 8},
        {IdKind::TxFlag, 8},       {IdKind::RxStatus, 7},    {IdKind::Ioctl, 33},
        {IdKind::ConfigParam, 47}, {IdKind::DeviceInfo, 16}, {IdKind::ProtocolInfo, 14},
        {IdKind::FilterType, 3},   {IdKind::ProgVoltage, 2},
    };
    size_t total = 0;
    for (auto [kind, count] : expected) {
        std::set<std::string> names;
        std::set<uint32_t> values;
        size_t n = 0;
        for (const IdName &id : kJ2534Ids) {
            if (id.kind != kind)
                continue;
            ++n;
            EXPECT_TRUE(names.insert(id.name).second) << "name twice: " << id.name;
            EXPECT_TRUE(values.insert(id.value).second) << "value twice: " << id.name;
        }
        EXPECT_EQ(n, count) << "kind " << int(kind);
        total += n;
    }
    EXPECT_EQ(total, std::size(kJ2534Ids)) << "an entry has a kind outside the list";
}

TEST(IdentifierNames, EveryEntryRoundTrips)
{
    for (const IdName &id : kJ2534Ids) {
        const char *name = j2534_name(id.kind, id.value);
        ASSERT_NE(name, nullptr) << id.name;
        EXPECT_STREQ(name, id.name);
        EXPECT_EQ(j2534_value(id.kind, id.name), id.value) << id.name;
    }
}

TEST(IdentifierNames, LookupsRespectKindAndExactSpelling)
{
    // One bit, three meanings; and the FD bits in both directions.
    for (IdKind kind : {IdKind::ConnectFlag, IdKind::TxFlag, IdKind::RxStatus})
        EXPECT_EQ(j2534_value(kind, "CAN_29BIT_ID"), 0x100u);
    for (IdKind kind : {IdKind::TxFlag, IdKind::RxStatus}) {
        EXPECT_EQ(j2534_value(kind, "CAN_FD_BRS"), 0x80000u);
        EXPECT_EQ(j2534_value(kind, "CAN_FD_FRAME"), 0x100000u);
    }
    EXPECT_EQ(j2534_value(IdKind::ConnectFlag, "CAN_FD_FRAME"), std::nullopt);

    EXPECT_EQ(j2534_value(IdKind::Protocol, "FD_ISO15765_CH2"), 0x9901u);
    EXPECT_EQ(j2534_value(IdKind::ConnectFlag, "MSCAN_SELECT"), 0x80000000u);
    EXPECT_EQ(j2534_value(IdKind::ProgVoltage, "VOLTAGE_OFF"), 0xFFFFFFFFu);
    EXPECT_STREQ(j2534_name(IdKind::Protocol, 13), "SPCAN");
    EXPECT_STREQ(j2534_name(IdKind::Protocol, 14), "SPISO15765");

    // The same number names different things in different kinds.
    EXPECT_STREQ(j2534_name(IdKind::Ioctl, 0x10000), "READ_CH1_VOLTAGE");
    EXPECT_STREQ(j2534_name(IdKind::ConfigParam, 0x10000), "MSG_TRIGGER");
    EXPECT_STREQ(j2534_name(IdKind::Status, 5), "ERR_INVALID_IOCTL_VALUE");
    EXPECT_STREQ(j2534_name(IdKind::Protocol, 5), "CAN");

    // Gaps have no name.
    for (uint32_t v = 38; v <= 42; ++v)
        EXPECT_EQ(j2534_name(IdKind::ConfigParam, v), nullptr) << v;
    EXPECT_EQ(j2534_name(IdKind::ConfigParam, 2), nullptr);
    EXPECT_EQ(j2534_name(IdKind::Ioctl, 6), nullptr);
    EXPECT_EQ(j2534_name(IdKind::Protocol, 0), nullptr);
    EXPECT_EQ(j2534_name(IdKind::Status, 27), nullptr);

    // Exact match only: no prefix, case or kind leniency.
    EXPECT_EQ(j2534_value(IdKind::Protocol, "CAN_CH"), std::nullopt);
    EXPECT_EQ(j2534_value(IdKind::Protocol, "CAN_CH10"), std::nullopt);
    EXPECT_EQ(j2534_value(IdKind::Protocol, "can"), std::nullopt);
    EXPECT_EQ(j2534_value(IdKind::Protocol, ""), std::nullopt);
    EXPECT_EQ(j2534_value(IdKind::Status, "CAN"), std::nullopt);
}

}  // namespace
