// The value syntax decides whether a received line belongs to a register at all.
#include "value_syntax.h"

#include <gtest/gtest.h>

#include <optional>

using namespace varnel;

TEST(ValueSyntax, Table)
{
    struct Case {
        const char *text;
        std::optional<std::int64_t> value;
    };
    const Case cases[] = {
        {"3", 3},
        {"  42", 42},
        {"\t7", 7},
        {"+5", 5},
        {"-5", -5},
        {"$1F", 31},
        {"x1f", 31},
        {"X10", 16},
        {"0x10", 16},
        {"0XfF", 255},
        {"-$10", -16},
        {"000012", 12},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", std::nullopt},  // overflows 64 bits: never wrapped
        {"99999999999999999999999999", std::nullopt},
        {"$7FFFFFFFFFFFFFFF", INT64_MAX},
        {"$8000000000000000", std::nullopt},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"+", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"3x", std::nullopt},
        {"3 ", std::nullopt},
        {"1.5", std::nullopt},
        {"--1", std::nullopt},
        {"$G", std::nullopt},
        {"12a", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseValue(c.text), c.value) << '"' << c.text << '"';
}

TEST(ValueSyntax, RegisterValuesAreUnsigned32Bit)
{
    EXPECT_EQ(parseRegisterValue("4294967295"), 4294967295u);
    EXPECT_EQ(parseRegisterValue("$FFFFFFFF"), 4294967295u);
    EXPECT_EQ(parseRegisterValue("0"), 0u);
    EXPECT_EQ(parseRegisterValue("-0"), 0u);
    EXPECT_FALSE(parseRegisterValue("4294967296"));
    EXPECT_FALSE(parseRegisterValue("-1"));
}
