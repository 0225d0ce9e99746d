#include "bluetooth/simulated/light_output.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace lightdeck {
namespace {

std::uint8_t channel(double value)
{
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

Rgb scaled(Rgb colour, int brightnessPercent)
{
    const double factor = std::clamp(brightnessPercent, 0, 100) / 100.0;
    return {channel(colour.red * factor), channel(colour.green * factor), channel(colour.blue * factor)};
}

// Black-body colour of a temperature, a curve fit good to a few percent
// between 1000 K and 40000 K; plenty for a preview swatch.
Rgb kelvinToRgb(int kelvin)
{
    const double t = kelvin / 100.0;
    double red = 255.0;
    double green = 0.0;
    double blue = 255.0;
    if (t > 66.0) {
        red = 329.698727446 * std::pow(t - 60.0, -0.1332047592);
        green = 288.1221695283 * std::pow(t - 60.0, -0.0755148492);
    } else {
        green = 99.4708025861 * std::log(t) - 161.1195681661;
    }
    if (t < 66.0)
        blue = t <= 19.0 ? 0.0 : 138.5177312231 * std::log(t - 10.0) - 305.0447927307;
    return {channel(red), channel(green), channel(blue)};
}

constexpr std::array<const char*, 7> kPresetNames{"red", "orange", "yellow", "green", "cyan", "blue", "purple"};

// A colour typical of each effect, for the preview only.
constexpr std::array<Rgb, 10> kEffectColours{{
    {255, 0, 40},    // warning light
    {255, 0, 255},   // seven colours
    {255, 60, 200},  // party
    {120, 0, 255},   // music
    {255, 150, 40},  // candle flame
    {255, 255, 255}, // photo
    {200, 220, 255}, // lightning
    {0, 200, 255},   // colour play
    {255, 255, 120}, // rate
    {0, 255, 160},   // flow
}};

}  // namespace

Rgb hueColour(double hue)
{
    hue = std::fmod(hue, 360.0);
    if (hue < 0)
        hue += 360.0;
    const double h = hue / 60.0;
    const double x = 1.0 - std::fabs(std::fmod(h, 2.0) - 1.0);
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(h)) {
    case 0: r = 1; g = x; break;
    case 1: r = x; g = 1; break;
    case 2: g = 1; b = x; break;
    case 3: g = x; b = 1; break;
    case 4: r = x; b = 1; break;
    default: r = 1; b = x; break;
    }
    return {channel(r * 255), channel(g * 255), channel(b * 255)};
}

Rgb presetColourRgb(int colour)
{
    static constexpr std::array<Rgb, 7> kPresetColours{{
        {255, 0, 0}, {255, 128, 0}, {255, 255, 0}, {0, 255, 0}, {0, 255, 255}, {0, 0, 255}, {128, 0, 255},
    }};
    if (colour < 1 || colour > 7)
        return {};
    return kPresetColours[static_cast<std::size_t>(colour - 1)];
}

std::string presetColourName(int colour)
{
    if (colour < 1 || colour > 7)
        return {};
    return kPresetNames[static_cast<std::size_t>(colour - 1)];
}

Rgb LightOutput::colour() const
{
    switch (mode) {
    case LightMode::ColourTemperature:
        return scaled(kelvinToRgb(kelvin), brightness);
    case LightMode::Hue:
        return scaled(hueColour(std::clamp(hue, 0, 360)), brightness);
    case LightMode::PresetColour:
        if (presetColour < 1 || presetColour > 7)
            return scaled({255, 255, 255}, brightness);
        return scaled(presetColourRgb(presetColour), brightness);
    case LightMode::Effect:
        if (effect < 1 || effect > 10)
            return {128, 128, 128};
        return kEffectColours[static_cast<std::size_t>(effect - 1)];
    case LightMode::Sos:
        return {255, 255, 255};
    }
    return {};
}

std::string LightOutput::describe() const
{
    switch (mode) {
    case LightMode::ColourTemperature:
        return "CCT " + std::to_string(brightness) + "% " + std::to_string(kelvin) + "K";
    case LightMode::Hue:
        return "HSI " + std::to_string(brightness) + "% " + std::to_string(hue) + "\u00B0";
    case LightMode::Effect:
        return "EFF " + std::to_string(effect) + " option " + std::to_string(effectOption);
    case LightMode::PresetColour:
        return "SET " + std::to_string(presetColour) + " " + presetColourName(presetColour) + " " +
               std::to_string(brightness) + "%";
    case LightMode::Sos:
        return "SOS";
    }
    return {};
}

}  // namespace lightdeck
