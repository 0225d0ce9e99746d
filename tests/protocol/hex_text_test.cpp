#include "protocol/hex_text.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace lightdeck {
namespace {

struct HexCase {
    std::string text;
    std::optional<Bytes> bytes;
};

TEST(HexTextTest, BytesFromHexText)
{
    const HexCase cases[] = {
        {"", std::nullopt},  // nothing, not an empty byte string
        {"aa0400030000bb", Bytes{0xAA, 0x04, 0x00, 0x03, 0x00, 0x00, 0xBB}},
        {"AA0400030000BB", Bytes{0xAA, 0x04, 0x00, 0x03, 0x00, 0x00, 0xBB}},
        {"F", Bytes{0x0F}},
        {"abc", Bytes{0x0A, 0xBC}},  // odd length: the first character alone
        {"0", Bytes{0x00}},
        {"ff", Bytes{0xFF}},
        {"aB", Bytes{0xAB}},
        // Leading white space in a chunk is skipped; reading stops at the
        // first character that is not a hex digit.
        {" a", Bytes{0x0A}},
        {"a ", Bytes{0x0A}},
        {"1g", Bytes{0x01}},
        // A chunk with no hex digit gives 0x00.
        {"zz", Bytes{0x00}},
        {"  ", Bytes{0x00}},
        {"-1", Bytes{0x00}},
        {"aa-1bb", Bytes{0xAA, 0x00, 0xBB}},
        {"0x", Bytes{0x00}},
        // A non-ASCII character is one unit and no digit.
        {"\xE5\xAE\xA2" "a", Bytes{0x00}},         // "客a": one chunk of 2 units
        {"\xE5\xAE\xA2" "ab", Bytes{0x00, 0xAB}},  // "客ab": "客", then "ab"
        {"\xC3\xA9", Bytes{0x00}},                // "é": length 1
        {"\xF0\x9F\x98\x80", Bytes{0x00}},        // two units, one chunk
        {"\xFF\xFE", Bytes{0x00}},                // invalid UTF-8: two replacement units
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(bytesFromHexText(c.text), c.bytes);
    }
}

TEST(HexTextTest, HexTextFromBytes)
{
    EXPECT_EQ(hexTextFromBytes({}), "");
    EXPECT_EQ(hexTextFromBytes({0xAA, 0x04, 0x0F}), "aa040f");
    EXPECT_EQ(hexTextFromBytes({0x00}), "00");
    EXPECT_EQ(hexTextFromBytes({0xFF, 0x10, 0x01}), "ff1001");
}

TEST(HexTextTest, EveryByteValueRoundTrips)
{
    Bytes all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<std::uint8_t>(b));
    EXPECT_EQ(bytesFromHexText(hexTextFromBytes(all)), all);
    for (int b = 0; b < 256; ++b) {
        const Bytes one{static_cast<std::uint8_t>(b)};
        EXPECT_EQ(bytesFromHexText(hexTextFromBytes(one)), one) << b;
    }
}

}  // namespace
}  // namespace lightdeck
