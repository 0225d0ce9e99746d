#pragma once
// What the virtual lights window paints for a light: the colour it emits at
// a given moment. Qt-free.
//
// Steady modes (colour temperature, hue, preset colour) show
// LightOutput::colour(): a warm-to-cold white or a hue, scaled by brightness.
// Effects and SOS change over time, counted from the moment the light entered
// its current mode:
//   SOS   white in Morse, dot 1 unit on, dash 3, 1 unit between signals,
//         3 between letters, 7 after the word: ··· – – – ··· (34 units of
//         kSosUnit, then again).
//   effects 1 to 10 each have a pattern of their own (flashes, colour steps,
//         flicker, strobe, ...); the option (1 to 3) is the speed: option n
//         runs n times as fast as option 1 (0, none chosen yet, runs as 1).
// An effect number outside 1 to 10 shows LightOutput::colour() (steady).

#include <chrono>
#include <string>

#include "bluetooth/simulated/light_output.h"

namespace lightdeck {

inline constexpr std::chrono::milliseconds kSosUnit{200};
inline constexpr int kSosUnitsPerWord = 34;

// True for the modes whose colour changes over time.
bool isAnimated(const LightOutput& output);

// The colour `elapsed` after the light entered its current mode.
Rgb previewColour(const LightOutput& output, std::chrono::milliseconds elapsed);

// Whether the SOS lamp is lit `elapsed` into the signal.
bool sosLampOn(std::chrono::milliseconds elapsed);

// Speed factor of an effect option: 1, 2 or 3 (anything else: 1).
int effectSpeed(int option);

}  // namespace lightdeck
