#include "protocol/command_frames.h"

#include <algorithm>
#include <cmath>

#include "protocol/ox_methods.h"

namespace lightdeck {
namespace {

// Brightness 50 %, 5000 K (colour temperature) or cntValue 50 (hue).
CommandFrame startingColourTemperatureFrame()
{
    return CommandFrame(CommandNumber::ColourTemperature, {0x32, 0x32, 0x00, 0x00});
}
CommandFrame startingHueFrame() { return CommandFrame(CommandNumber::Hue, {0x32, 0x32, 0x00, 0x00}); }
CommandFrame startingEffectFrame() { return CommandFrame(CommandNumber::Effect); }

double clampPosition(double position)
{
    if (std::isnan(position))
        return 0.0;
    return std::clamp(position, 0.0, 1.0);
}

int clampHue(int degrees) { return std::clamp(degrees, 0, 360); }

}  // namespace

CommandFrame& colourTemperatureFrame()
{
    static CommandFrame frame = startingColourTemperatureFrame();
    return frame;
}

CommandFrame& hueFrame()
{
    static CommandFrame frame = startingHueFrame();
    return frame;
}

CommandFrame& effectFrame()
{
    static CommandFrame frame = startingEffectFrame();
    return frame;
}

void resetRunLongFrames()
{
    colourTemperatureFrame() = startingColourTemperatureFrame();
    hueFrame() = startingHueFrame();
    effectFrame() = startingEffectFrame();
}

CommandFrame sosFrame() { return CommandFrame(CommandNumber::RescueSignal); }

std::uint8_t brightnessPercent(double position)
{
    return static_cast<std::uint8_t>(clampPosition(position) * 100);
}

int colourTemperatureKelvin(double position)
{
    return static_cast<int>(clampPosition(position) * 3500 + 3000);
}

std::uint8_t colourTemperatureHundreds(double position)
{
    return static_cast<std::uint8_t>(colourTemperatureKelvin(position) / 100);
}

std::uint8_t hueHighByte(int degrees) { return static_cast<std::uint8_t>(clampHue(degrees) / 256); }
std::uint8_t hueLowByte(int degrees) { return static_cast<std::uint8_t>(clampHue(degrees) % 256); }

void setHueParameters(CommandFrame& frame, int brightness, int cntValue, int hueDegrees)
{
    frame.setParameter(frame_byte::kBrightness, static_cast<std::uint8_t>(std::clamp(brightness, 0, 100)));
    frame.setParameter(frame_byte::kCntValue, static_cast<std::uint8_t>(std::clamp(cntValue, 0, 100)));
    frame.setParameter(frame_byte::kHueHigh, hueHighByte(hueDegrees));
    frame.setParameter(frame_byte::kHueLow, hueLowByte(hueDegrees));
}

std::string presetColourHexText(int brightness, int colourNumber)
{
    std::string brightnessDigits = OxMethods::getHexByDecimal(std::clamp(brightness, 0, 100));
    if (brightnessDigits.size() < 2)
        brightnessDigits.insert(0, 1, '0');
    const int colour = std::clamp(colourNumber, 1, 7);
    std::string text = "aa04";
    text += brightnessDigits;
    text += '0';
    text += static_cast<char>('0' + colour);
    text += "0000bb";
    return text;
}

Bytes renameMessage(std::string_view utf8Name)
{
    Bytes message;
    message.reserve(2 + utf8Name.size());
    message.push_back(CommandFrame::kStartMark);
    message.push_back(static_cast<std::uint8_t>(CommandNumber::Rename));
    message.insert(message.end(), utf8Name.begin(), utf8Name.end());
    return message;
}

}  // namespace lightdeck
