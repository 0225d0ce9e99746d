#include "protocol/ox_methods.h"

#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace lightdeck {
namespace {

struct NumberCase {
    std::int64_t value;
    std::string binary;
    std::string hex;
};

TEST(OxMethodsTest, NumbersToDigitTexts)
{
    const NumberCase cases[] = {
        {0, "", "0"},  // no binary digits at all, but one hex digit
        {1, "0001", "1"},
        {5, "0101", "5"},
        {15, "1111", "F"},  // one digit: callers widen it themselves
        {16, "00010000", "10"},
        {100, "01100100", "64"},
        {255, "11111111", "FF"},
        {4096, "0001000000000000", "1000"},
        // 16^9 and above: every digit, no cut to the 9 lowest.
        {0x1000000000LL, "0001" + std::string(36, '0'), "1000000000"},
        {0x123456789ABCDEFLL, "000100100011010001010110011110001001101010111100110111101111",
         "123456789ABCDEF"},
        {std::numeric_limits<std::int64_t>::max(), "0111" + std::string(60, '1'), "7FFFFFFFFFFFFFFF"},
        // Negative values are their 64-bit two's complement.
        {-1, std::string(64, '1'), "FFFFFFFFFFFFFFFF"},
        {-2, std::string(63, '1') + "0", "FFFFFFFFFFFFFFFE"},
        {std::numeric_limits<std::int64_t>::min(), "1" + std::string(63, '0'), "8000000000000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(OxMethods::getHexByDecimal(c.value), c.hex);
        EXPECT_EQ(OxMethods::getBinaryByDecimal(c.value), c.binary);
    }
}

struct TextCase {
    const char* input;
    const char* output;
};

TEST(OxMethodsTest, HexByBinaryPadsInFrontAndSkipsBadGroups)
{
    const TextCase cases[] = {
        {"", ""},
        {"00010000", "10"},  // leading zeros stay
        {"10000", "10"},     // made 00010000 first
        {"101", "5"},
        {"1", "1"},
        {"11111111", "FF"},
        {"0000", "0"},
        {"1010x1011100", "AC"},  // groups "1010", "x101", "1100"
        {"2", ""},               // "0002" is not in the table
        {"0001abcd0010", "12"},  // the middle group gives nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(OxMethods::getHexByBinary(c.input), c.output);
    }
    // Lengths count UTF-16 units, as a text field does: "é" is one unit, so
    // "é101" is one bad group, and "😀01" (2 + 2 units) one bad group too.
    EXPECT_EQ(OxMethods::getHexByBinary("\xC3\xA9" "101"), "");
    EXPECT_EQ(OxMethods::getHexByBinary("\xF0\x9F\x98\x80" "01"), "");
    EXPECT_EQ(OxMethods::getHexByBinary("\xC3\xA9" "1010001"), "1");
}

TEST(OxMethodsTest, BinaryByHexTakesEitherCaseAndSkipsOthers)
{
    const TextCase cases[] = {
        {"", ""},
        {"A5", "10100101"},
        {"a", "1010"},
        {"1G", "0001"},
        {"0", "0000"},
        {"fF", "11111111"},
        {"-1 2", "00010010"},
        {"\xE5\xAE\xA2" "F", "1111"},  // a Chinese character gives nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(OxMethods::getBinaryByHex(c.input), c.output);
    }
}

TEST(OxMethodsTest, DecimalByBinary)
{
    struct Case {
        std::string input;
        std::int64_t value;
    };
    const Case cases[] = {
        {"", 0},
        {"0", 0},
        {"1", 1},
        {"0101", 5},
        {"00010000", 16},
        {"1x1", 5},  // other characters add nothing but take a position
        {"2", 0},
        {std::string(53, '1'), (std::int64_t{1} << 53) - 1},
        // Past 53 digits the result stays exact.
        {"1" + std::string(53, '0') + "1", (std::int64_t{1} << 54) + 1},
        {std::string(63, '1'), std::numeric_limits<std::int64_t>::max()},
        // 64 digits read as two's complement; higher positions fall outside.
        {std::string(64, '1'), -1},
        {"1" + std::string(64, '0'), 0},
        {"1" + std::string(64, '0') + "1", 1},
        {"\xC3\xA9" "1", 1},   // "é" takes one position
        {"1\xC3\xA9", 2},
        {"1\xF0\x9F\x98\x80", 4},  // a pair takes two
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(OxMethods::getDecimalByBinary(c.input), c.value);
    }
}

TEST(OxMethodsTest, RoundTrips)
{
    const std::int64_t values[] = {0, 1, 5, 15, 16, 255, 256, 65535, 1234567890123LL,
                                   std::numeric_limits<std::int64_t>::max(), -1, -256,
                                   std::numeric_limits<std::int64_t>::min()};
    for (std::int64_t v : values) {
        SCOPED_TRACE(v);
        const std::string binary = OxMethods::getBinaryByDecimal(v);
        EXPECT_EQ(OxMethods::getDecimalByBinary(binary), v);
        EXPECT_EQ(OxMethods::getHexByBinary(binary), v == 0 ? "" : OxMethods::getHexByDecimal(v));
        if (v != 0) {
            EXPECT_EQ(OxMethods::getBinaryByHex(OxMethods::getHexByDecimal(v)), binary);
        }
    }
}

}  // namespace
}  // namespace lightdeck
