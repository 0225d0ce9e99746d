#pragma once
// What a virtual light is doing now: its mode and the values of that mode, as
// the frames it received set them. The virtual lights window paints colour().

#include <cstdint>
#include <string>

namespace lightdeck {

// The light's current mode; the numbers are the command numbers of the frames
// that select it.
enum class LightMode : int {
    ColourTemperature = 1,
    Hue = 2,
    Effect = 3,
    PresetColour = 4,
    Sos = 6,
};

// 8-bit sRGB.
struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

struct LightOutput {
    LightMode mode = LightMode::ColourTemperature;
    // Percent, 0 (dark) to 100. Shared by the colour temperature, hue and
    // preset colour modes.
    int brightness = 50;
    // Kelvin, 3000 to 6500 in steps of 100.
    int kelvin = 5000;
    // Degrees, 0 to 360.
    int hue = 0;
    // Byte 3 of the hue frame as received, 0 to 100 (senders leave it 0).
    int cntValue = 0;
    // Effect number 1 to 10 and option 1 to 3; 0 until one was chosen.
    int effect = 0;
    int effectOption = 0;
    // Preset colour 1 to 7 (red, orange, yellow, green, cyan, blue, purple);
    // 0 until one was chosen.
    int presetColour = 0;

    bool operator==(const LightOutput&) const = default;

    // The colour the light emits now, brightness applied; for an effect its
    // typical colour, for SOS full white.
    Rgb colour() const;
    // Short text for a window or a log: "CCT 50% 5000K", "HSI 80% 120°",
    // "EFF 4 option 2", "SET 3 yellow 50%", "SOS".
    std::string describe() const;
};

// Fully saturated colour of a hue in degrees (any value, taken modulo 360).
Rgb hueColour(double hueDegrees);
// Colour of a preset colour, 1 to 7 (red .. purple); black otherwise.
Rgb presetColourRgb(int colour);

// English name of a preset colour, 1 to 7 ("red" .. "purple"); "" otherwise.
std::string presetColourName(int colour);

}  // namespace lightdeck
