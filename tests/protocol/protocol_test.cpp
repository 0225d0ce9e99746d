// What the lights receive and what the user may type: command frames, the
// values that go into them, hex and binary digit texts, and the cut of a
// name to its limit in UTF-16 units ("é" and "客" one unit, "😀" two).
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/command_frames.h"
#include "protocol/hex_text.h"
#include "protocol/ox_methods.h"
#include "protocol/text_limits.h"

namespace lightdeck {
namespace {

const std::string kGrin = "\xF0\x9F\x98\x80", kKe = "\xE5\xAE\xA2", kBad = "\xEF\xBF\xBD";  // 😀 客 U+FFFD

std::string times(const std::string& s, int n) { return n > 0 ? s + times(s, n - 1) : ""; }

// The run-long buffers through one session: a send patches only what its
// panel set, so the other bytes keep their last values.
TEST(CommandFramesTest, WhatTheUserSetGivesTheseBytes)
{
    using namespace frame_byte;
    resetRunLongFrames();
    // {what, buffer, bytes set, the 7 bytes sent}
    const std::tuple<const char*, CommandFrame& (*)(), std::vector<std::pair<std::size_t, std::uint8_t>>, Bytes> steps[] = {
        {"temperature at start", colourTemperatureFrame, {}, {0xAA, 0x01, 0x32, 0x32, 0x00, 0x00, 0xBB}},
        {"full brightness, slider in the middle", colourTemperatureFrame,
         {{kBrightness, brightnessPercent(1.0)}, {kColourTemperature, colourTemperatureHundreds(0.5)}},
         {0xAA, 0x01, 0x64, 0x2F, 0x00, 0x00, 0xBB}},
        {"hue untouched by that", hueFrame, {}, {0xAA, 0x02, 0x32, 0x32, 0x00, 0x00, 0xBB}},
        {"marks and command cannot be overwritten", hueFrame, {{0, 0x55}, {1, 0x55}, {6, 0x55}, {7, 0x55}, {99, 0x55}},
         {0xAA, 0x02, 0x32, 0x32, 0x00, 0x00, 0xBB}},
        {"effect before any option: option 0", effectFrame, {{kEffectNumber, 7}}, {0xAA, 0x03, 0x00, 0x07, 0x00, 0x00, 0xBB}},
        {"option then effect", effectFrame, {{kEffectOption, 2}, {kEffectNumber, 4}}, {0xAA, 0x03, 0x00, 0x04, 0x00, 0x02, 0xBB}},
        {"still so on the next use", effectFrame, {}, {0xAA, 0x03, 0x00, 0x04, 0x00, 0x02, 0xBB}},
    };
    for (const auto& [what, frame, set, expected] : steps) {
        for (const auto& [index, value] : set)
            frame().setParameter(index, value);
        EXPECT_EQ(frame().bytes(), expected) << what;
    }
    setHueParameters(hueFrame(), 50, 0, 180);
    EXPECT_EQ(hueFrame().bytes(), (Bytes{0xAA, 0x02, 0x32, 0x00, 0x00, 0xB4, 0xBB}));
    setHueParameters(hueFrame(), 100, 0, 360);
    EXPECT_EQ(hueFrame().bytes(), (Bytes{0xAA, 0x02, 0x64, 0x00, 0x01, 0x68, 0xBB}));
    EXPECT_EQ(sosFrame().bytes(), (Bytes{0xAA, 0x06, 0x00, 0x00, 0x00, 0x00, 0xBB}));
    EXPECT_EQ(bytesFromHexText(presetColourHexText(100, 7)), (Bytes{0xAA, 0x04, 0x64, 0x07, 0x00, 0x00, 0xBB}));
    // The rename message: the name's bytes as given, no end mark, one write.
    EXPECT_EQ(renameMessage(""), (Bytes{0xAA, 0x00}));
    EXPECT_EQ(renameMessage("\xE5\xAE\xA2\xE7\x81\xAF"), (Bytes{0xAA, 0x00, 0xE5, 0xAE, 0xA2, 0xE7, 0x81, 0xAF}));
    EXPECT_EQ(renameMessage(times(kKe, 20)).size(), 62u);
    resetRunLongFrames();
}

TEST(CommandFramesTest, ValuesTruncateAndClamp)
{
    // {slider position, kelvin, hundreds, brightness}; just short of the end
    // there is no rounding up.
    const std::tuple<double, int, int, int> positions[] = {
        {0.0, 3000, 30, 0},  {1.0, 6500, 65, 100}, {0.5, 4750, 47, 50}, {3499.5 / 3500.0, 6499, 64, 99},
        {-0.5, 3000, 30, 0}, {1.5, 6500, 65, 100}, {std::nan(""), 3000, 30, 0}};
    for (const auto& [position, kelvin, hundreds, brightness] : positions) {
        EXPECT_EQ(colourTemperatureKelvin(position), kelvin) << position;
        EXPECT_EQ(colourTemperatureHundreds(position), hundreds) << position;
        EXPECT_EQ(brightnessPercent(position), brightness) << position;
    }
    const std::tuple<int, int, int> hues[] = {{0, 0x00, 0x00},   {45, 0x00, 0x2D},  {255, 0x00, 0xFF}, {256, 0x01, 0x00},
                                              {315, 0x01, 0x3B}, {360, 0x01, 0x68}, {-5, 0x00, 0x00},  {400, 0x01, 0x68}};
    for (const auto& [degrees, high, low] : hues)
        EXPECT_EQ(hueHighByte(degrees) * 256 + hueLowByte(degrees), high * 256 + low) << degrees;
    // Brightness as two upper-case hex digits, colour 1..7 as two decimal ones.
    const std::tuple<int, int, std::string> presets[] = {
        {0, 3, "aa0400030000bb"}, {15, 1, "aa040F010000bb"}, {-3, 0, "aa0400010000bb"}, {300, 12, "aa0464070000bb"}};
    for (const auto& [brightness, colour, text] : presets)
        EXPECT_EQ(presetColourHexText(brightness, colour), text) << brightness << " " << colour;
}

TEST(HexTextTest, TwoCharacterChunksOneByteEach)
{
    // An odd length makes the first character a chunk of its own. White space
    // in front is skipped; a chunk stops at a non-digit, 0x00 when it has none.
    const std::pair<std::string, std::optional<Bytes>> cases[] = {{"", std::nullopt}, {"aa04BB", Bytes{0xAA, 0x04, 0xBB}},
        {"F", Bytes{0x0F}}, {"abc", Bytes{0x0A, 0xBC}}, {" a", Bytes{0x0A}}, {"a ", Bytes{0x0A}}, {"1g", Bytes{0x01}},
        {"zz", Bytes{0x00}}, {"aa-1bb", Bytes{0xAA, 0x00, 0xBB}}, {"0x", Bytes{0x00}}, {kKe + "a", Bytes{0x00}},
        {kKe + "ab", Bytes{0x00, 0xAB}}, {kGrin, Bytes{0x00}}, {"\xFF\xFE", Bytes{0x00}}};
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(bytesFromHexText(text), bytes) << text;
    Bytes all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<std::uint8_t>(b));
    EXPECT_EQ(hexTextFromBytes(all).substr(18, 8), "090a0b0c");  // two lower-case digits a byte
    EXPECT_EQ(bytesFromHexText(hexTextFromBytes(all)), all);
}

TEST(OxMethodsTest, NumbersAndDigitTexts)
{
    // {value, binary, hex}; negative values are their two's complement.
    const std::tuple<std::int64_t, std::string, std::string> numbers[] = {{0, "", "0"}, {5, "0101", "5"},
        {16, "00010000", "10"}, {255, "11111111", "FF"}, {-2, times("1", 63) + "0", "FFFFFFFFFFFFFFFE"},
        {0x123456789ABCDEFLL, "000100100011010001010110011110001001101010111100110111101111", "123456789ABCDEF"},
        {INT64_MAX, "0111" + times("1", 60), "7FFFFFFFFFFFFFFF"}, {INT64_MIN, "1" + times("0", 63), "8000000000000000"}};
    for (const auto& [value, binary, hex] : numbers) {
        EXPECT_EQ(OxMethods::getHexByDecimal(value), hex) << value;
        EXPECT_EQ(OxMethods::getBinaryByDecimal(value), binary) << value;
        EXPECT_EQ(OxMethods::getDecimalByBinary(binary), value) << value;
        EXPECT_EQ(OxMethods::getHexByBinary(binary), value ? hex : "") << value;
        EXPECT_EQ(OxMethods::getBinaryByHex(hex), value ? binary : "0000") << value;
    }
    // Characters a conversion cannot use are skipped, but take their place;
    // binary texts are padded in front to groups of four.
    const std::tuple<std::string (*)(std::string_view), std::string, std::string> texts[] = {
        {OxMethods::getHexByBinary, "10000", "10"}, {OxMethods::getHexByBinary, "1010x1011100", "AC"},
        {OxMethods::getHexByBinary, "2", ""}, {OxMethods::getHexByBinary, "\xC3\xA9" "101", ""},
        {OxMethods::getHexByBinary, kGrin + "01", ""}, {OxMethods::getHexByBinary, "\xC3\xA9" "1010001", "1"},
        {OxMethods::getBinaryByHex, "fF", "11111111"}, {OxMethods::getBinaryByHex, "-1 2", "00010010"},
        {OxMethods::getBinaryByHex, kKe + "F", "1111"}};
    for (const auto& [convert, in, out] : texts)
        EXPECT_EQ(convert(in), out) << in;
    const std::pair<std::string, std::int64_t> decimals[] = {{"1x1", 5}, {"2", 0},
        {"1" + times("0", 53) + "1", (std::int64_t{1} << 54) + 1}, {"1" + times("0", 64) + "1", 1}, {"1\xC3\xA9", 2},
        {"1" + kGrin, 4}};
    for (const auto& [in, value] : decimals)
        EXPECT_EQ(OxMethods::getDecimalByBinary(in), value) << in;
}

TEST(TextLimitsTest, CutsAtUtf16UnitsWithoutSplittingPairsAndAlwaysGivesValidUtf8)
{
    const std::tuple<std::string, std::size_t, std::string> cases[] = {
        {"abcdefg", kGroupTitleMaxUtf16Units, "abcdef"}, {times("x", 25), kLightNameMaxUtf16Units, times("x", 20)},
        {times(kKe, 7), 6, times(kKe, 6)}, {"abcde" + kGrin, 6, "abcde"},  // a pair across the limit: left out
        {"abcd" + kGrin, 6, "abcd" + kGrin}, {times(kGrin, 4), 7, times(kGrin, 3)}, {kGrin, 1, ""}, {"abc", 0, ""},
        // Each malformed sequence becomes one U+FFFD.
        {"a\xFF" "b", 6, "a" + kBad + "b"}, {"\xE5\xAE" "a", 6, kBad + "a"},  // cut character, next byte kept
        {"\xC0\xAF", 6, times(kBad, 2)},        {"\xED\xA0\x80", 6, times(kBad, 3)},  // overlong, surrogate
        {"\xF4\x90\x80\x80", 6, times(kBad, 4)}, {times("\x80", 7), 6, times(kBad, 6)},
    };
    for (const auto& [input, maxUnits, output] : cases) {
        EXPECT_EQ(cutToUtf16Units(input, maxUnits), output) << input;
        EXPECT_LE(utf16Length(output), maxUnits) << input;
    }
    EXPECT_EQ(utf16Length("a" + kKe + kGrin + "\xFF\xFF"), 6u);
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const std::string cut = cutToUtf16Units(std::string{char(a), char(b)}, 1);
            // Valid UTF-8 comes out, and valid UTF-8 is kept as it is.
            ASSERT_TRUE(utf16Length(cut) <= 1 && cutToUtf16Units(cut, 2) == cut) << a << ' ' << b;
        }
    }
}

}  // namespace
}  // namespace lightdeck
