#include "app/light_preview.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace lightdeck {
namespace {

using std::chrono::milliseconds;

constexpr double kPi = 3.14159265358979323846;

std::uint8_t channel(double value)
{
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

Rgb scaled(Rgb colour, double level)
{
    level = std::clamp(level, 0.0, 1.0);
    return {channel(colour.red * level), channel(colour.green * level), channel(colour.blue * level)};
}

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

// Position within a repeating period, 0 <= phase < 1.
double phase(double t, double periodMs) { return std::fmod(t, periodMs) / periodMs; }

// A deterministic pseudo-random number in [0, 1) for an integer step.
double noise(std::int64_t step)
{
    auto x = static_cast<std::uint64_t>(step) * 0x9E3779B97F4A7C15ull;
    x ^= x >> 29;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 32;
    return static_cast<double>(x % 10000) / 10000.0;
}

// `t` is the elapsed time in ms already multiplied by the option's speed.
Rgb effectColour(int effect, double t)
{
    switch (effect) {
    case 1: {  // warning light: red flash, pause, blue flash, pause
        const double p = phase(t, 800);
        if (p < 0.25)
            return {255, 0, 0};
        if (p >= 0.5 && p < 0.75)
            return {0, 60, 255};
        return kBlack;
    }
    case 2:  // seven colours, one step every 500 ms
        return presetColourRgb(static_cast<int>(static_cast<std::int64_t>(t / 500) % 7) + 1);
    case 3:  // party: a new bright colour every 150 ms
        return hueColour(noise(static_cast<std::int64_t>(t / 150)) * 360.0);
    case 4: {  // music: a slowly turning hue that pulses on a 500 ms beat
        const double beat = 1.0 - phase(t, 500);
        return scaled(hueColour(t * 0.03), 0.3 + 0.7 * beat * beat);
    }
    case 5: {  // candle flame: warm orange with an uneven flicker
        const double flicker = 0.5 * std::sin(t * 0.013) + 0.3 * std::sin(t * 0.031 + 1.3) +
                               0.2 * std::sin(t * 0.071 + 0.4);
        return scaled({255, 140, 32}, 0.78 + 0.2 * flicker);
    }
    case 6: {  // photo: steady daylight with a flash every 2 s
        const double p = phase(t, 2000);
        return p < 0.05 ? kWhite : scaled({255, 246, 236}, 0.7);
    }
    case 7: {  // lightning: a dark sky with a double flash every 1.5 s
        const double p = phase(t, 1500) * 1500;
        if (p < 60 || (p >= 130 && p < 170))
            return {235, 240, 255};
        return {18, 20, 40};
    }
    case 8:  // colour play: the hue circle once every 4 s
        return hueColour(phase(t, 4000) * 360.0);
    case 9:  // rate: a white strobe, lit for the first 30% of 400 ms
        return phase(t, 400) < 0.3 ? kWhite : kBlack;
    case 10: {  // flow: the hue circle in 6 s, breathing every 3 s
        const double breath = 0.5 - 0.5 * std::cos(phase(t, 3000) * 2 * kPi);
        return scaled(hueColour(phase(t, 6000) * 360.0), 0.25 + 0.75 * breath);
    }
    default:
        return kBlack;
    }
}

}  // namespace

bool isAnimated(const LightOutput& output)
{
    if (output.mode == LightMode::Sos)
        return true;
    return output.mode == LightMode::Effect && output.effect >= 1 && output.effect <= 10;
}

int effectSpeed(int option) { return option >= 1 && option <= 3 ? option : 1; }

bool sosLampOn(milliseconds elapsed)
{
    // One word in units: 1 lit, 0 dark. S = ···, O = – – –.
    static constexpr char kWord[] = "1010100011101110111000101010000000";
    static_assert(sizeof(kWord) - 1 == kSosUnitsPerWord);
    auto unit = elapsed.count() / kSosUnit.count();
    if (elapsed.count() < 0)
        unit = 0;
    return kWord[unit % kSosUnitsPerWord] == '1';
}

Rgb previewColour(const LightOutput& output, milliseconds elapsed)
{
    if (!isAnimated(output))
        return output.colour();
    if (output.mode == LightMode::Sos)
        return sosLampOn(elapsed) ? kWhite : kBlack;
    const double t = static_cast<double>(std::max<std::int64_t>(0, elapsed.count())) * effectSpeed(output.effectOption);
    return effectColour(output.effect, t);
}

}  // namespace lightdeck
