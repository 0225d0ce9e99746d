#include "protocol/command_frames.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "protocol/hex_text.h"

namespace lightdeck {
namespace {

class CommandFramesTest : public ::testing::Test {
protected:
    void SetUp() override { resetRunLongFrames(); }
    void TearDown() override { resetRunLongFrames(); }
};

TEST_F(CommandFramesTest, RunLongFramesStartWithTheirStartingBytes)
{
    EXPECT_EQ(colourTemperatureFrame().bytes(), (Bytes{0xAA, 0x01, 0x32, 0x32, 0x00, 0x00, 0xBB}));
    EXPECT_EQ(hueFrame().bytes(), (Bytes{0xAA, 0x02, 0x32, 0x32, 0x00, 0x00, 0xBB}));
    EXPECT_EQ(effectFrame().bytes(), (Bytes{0xAA, 0x03, 0x00, 0x00, 0x00, 0x00, 0xBB}));
    EXPECT_EQ(sosFrame().bytes(), (Bytes{0xAA, 0x06, 0x00, 0x00, 0x00, 0x00, 0xBB}));
    EXPECT_EQ(effectFrame().command(), CommandNumber::Effect);
}

TEST_F(CommandFramesTest, RunLongFramesAreOneBufferEach)
{
    colourTemperatureFrame().setParameter(frame_byte::kBrightness, 100);
    EXPECT_EQ(&colourTemperatureFrame(), &colourTemperatureFrame());
    EXPECT_EQ(colourTemperatureFrame().byteAt(2), 100);
    EXPECT_EQ(hueFrame().byteAt(2), 0x32);  // the others are untouched
}

TEST_F(CommandFramesTest, EffectFrameKeepsTheByteNotSet)
{
    auto& frame = effectFrame();
    // An effect before any option: option byte still 0.
    frame.setParameter(frame_byte::kEffectNumber, 7);
    EXPECT_EQ(frame.bytes(), (Bytes{0xAA, 0x03, 0x00, 0x07, 0x00, 0x00, 0xBB}));
    // Option 2, then effect 4: both travel together.
    frame.setParameter(frame_byte::kEffectOption, 2);
    frame.setParameter(frame_byte::kEffectNumber, 4);
    EXPECT_EQ(frame.bytes(), (Bytes{0xAA, 0x03, 0x00, 0x04, 0x00, 0x02, 0xBB}));
    // Still so on the next use of the buffer (a new control screen).
    EXPECT_EQ(effectFrame().bytes(), (Bytes{0xAA, 0x03, 0x00, 0x04, 0x00, 0x02, 0xBB}));
}

TEST_F(CommandFramesTest, MarksAndCommandCannotBeOverwritten)
{
    CommandFrame frame(CommandNumber::Hue);
    for (std::size_t index : {0u, 1u, 6u, 7u, 100u})
        frame.setParameter(index, 0x55);
    EXPECT_EQ(frame.bytes(), (Bytes{0xAA, 0x02, 0x00, 0x00, 0x00, 0x00, 0xBB}));
    EXPECT_EQ(frame.byteAt(7), 0);
}

TEST_F(CommandFramesTest, ColourTemperatureAndBrightnessFromSliderPosition)
{
    struct Case {
        double position;
        int kelvin;
        int hundreds;
        int brightness;
    };
    const Case cases[] = {
        {0.0, 3000, 30, 0},
        {1.0, 6500, 65, 100},
        {0.5, 4750, 47, 50},
        {3499.5 / 3500.0, 6499, 64, 99},  // just short of the end
        {-0.5, 3000, 30, 0},  // clamped
        {1.5, 6500, 65, 100},
        {std::numeric_limits<double>::quiet_NaN(), 3000, 30, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        EXPECT_EQ(colourTemperatureKelvin(c.position), c.kelvin);
        EXPECT_EQ(colourTemperatureHundreds(c.position), c.hundreds);
        EXPECT_EQ(brightnessPercent(c.position), c.brightness);
    }

    auto& frame = colourTemperatureFrame();
    frame.setParameter(frame_byte::kBrightness, brightnessPercent(1.0));
    frame.setParameter(frame_byte::kColourTemperature, colourTemperatureHundreds(0.5));
    EXPECT_EQ(frame.bytes(), (Bytes{0xAA, 0x01, 0x64, 0x2F, 0x00, 0x00, 0xBB}));
}

TEST_F(CommandFramesTest, HueTravelsHighByteFirst)
{
    struct Case {
        int degrees;
        std::uint8_t high;
        std::uint8_t low;
    };
    const Case cases[] = {{0, 0x00, 0x00},   {45, 0x00, 0x2D},  {180, 0x00, 0xB4}, {255, 0x00, 0xFF},
                          {256, 0x01, 0x00}, {315, 0x01, 0x3B}, {360, 0x01, 0x68}, {-5, 0x00, 0x00},
                          {400, 0x01, 0x68}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.degrees);
        EXPECT_EQ(hueHighByte(c.degrees), c.high);
        EXPECT_EQ(hueLowByte(c.degrees), c.low);
    }

    setHueParameters(hueFrame(), 50, 0, 180);
    EXPECT_EQ(hueFrame().bytes(), (Bytes{0xAA, 0x02, 0x32, 0x00, 0x00, 0xB4, 0xBB}));
    setHueParameters(hueFrame(), 100, 0, 360);
    EXPECT_EQ(hueFrame().bytes(), (Bytes{0xAA, 0x02, 0x64, 0x00, 0x01, 0x68, 0xBB}));
}

TEST_F(CommandFramesTest, PresetColourHexText)
{
    EXPECT_EQ(presetColourHexText(0, 3), "aa0400030000bb");
    EXPECT_EQ(presetColourHexText(0, 4), "aa0400040000bb");
    EXPECT_EQ(presetColourHexText(15, 1), "aa040F010000bb");  // widened to two digits
    EXPECT_EQ(presetColourHexText(100, 7), "aa0464070000bb");
    EXPECT_EQ(presetColourHexText(-3, 0), "aa0400010000bb");   // clamped
    EXPECT_EQ(presetColourHexText(300, 12), "aa0464070000bb");

    EXPECT_EQ(bytesFromHexText(presetColourHexText(0, 1)), (Bytes{0xAA, 0x04, 0x00, 0x01, 0x00, 0x00, 0xBB}));
    EXPECT_EQ(bytesFromHexText(presetColourHexText(0, 7)), (Bytes{0xAA, 0x04, 0x00, 0x07, 0x00, 0x00, 0xBB}));
}

TEST_F(CommandFramesTest, RenameMessage)
{
    EXPECT_EQ(renameMessage(""), (Bytes{0xAA, 0x00}));
    EXPECT_EQ(renameMessage("abc"), (Bytes{0xAA, 0x00, 0x61, 0x62, 0x63}));
    // "客厅灯" is 3 characters of 3 bytes: 11 bytes, one message, no end mark.
    const Bytes chinese = renameMessage("\xE5\xAE\xA2\xE5\x8E\x85\xE7\x81\xAF");
    EXPECT_EQ(chinese, (Bytes{0xAA, 0x00, 0xE5, 0xAE, 0xA2, 0xE5, 0x8E, 0x85, 0xE7, 0x81, 0xAF}));
    // 20 units of a 3-byte character: 2 + 60 bytes.
    std::string longest;
    for (int i = 0; i < 20; ++i)
        longest += "\xE7\x81\xAF";
    EXPECT_EQ(renameMessage(longest).size(), 62u);
}

}  // namespace
}  // namespace lightdeck
