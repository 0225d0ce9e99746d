#pragma once
// Which controls a virtual light supports, and the marker reports through
// which it tells the central about the ones it does not.

#include <vector>

#include "protocol/bytes.h"

namespace lightdeck {

struct CapabilityProfile {
    bool brightness = true;
    bool colourTemperature = true;
    // The hue and brightness sliders of the hue mode.
    bool hueControls = true;
    // Effect numbers 1 to 10.
    std::vector<int> unavailableEffects{};
    // Effect options 1 to 3.
    std::vector<int> unavailableOptions{};
    // Preset colours 2 to 7 (orange .. purple). Red (1) has no marker and
    // stays available whatever is listed.
    std::vector<int> unavailablePresetColours{};

    bool isFull() const;
    bool effectAvailable(int effect) const;
    bool optionAvailable(int option) const;
    bool presetColourAvailable(int colour) const;

    // One 7-byte report (AA, mode, four parameter bytes, BB) per control the
    // light does not support, in this order:
    //   no brightness            AA 01 FF 00 00 00 BB
    //   no colour temperature    AA 01 00 FF 00 00 BB
    //   no hue controls          AA 02 00 00 FF 00 BB
    //   effect e unavailable     AA 03 00 (F0+e) 00 00 BB    e = 1..10
    //   option o unavailable     AA 03 00 00 (FA+o) 00 BB    o = 1..3
    //   colour c unavailable     AA 04 00 (EF+c) 00 00 BB    c = 2..7
    // Numbers out of range are skipped. A full profile gives no report.
    std::vector<Bytes> markerReports() const;
};

}  // namespace lightdeck
