#include "bluetooth/simulated/capability_profile.h"

#include <algorithm>

namespace lightdeck {
namespace {

bool listed(const std::vector<int>& list, int value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

Bytes report(std::uint8_t mode, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4, std::uint8_t b5)
{
    return {0xAA, mode, b2, b3, b4, b5, 0xBB};
}

}  // namespace

bool CapabilityProfile::isFull() const { return markerReports().empty(); }

bool CapabilityProfile::effectAvailable(int effect) const { return !listed(unavailableEffects, effect); }

bool CapabilityProfile::optionAvailable(int option) const { return !listed(unavailableOptions, option); }

bool CapabilityProfile::presetColourAvailable(int colour) const
{
    return colour == 1 || !listed(unavailablePresetColours, colour);
}

std::vector<Bytes> CapabilityProfile::markerReports() const
{
    std::vector<Bytes> reports;
    if (!brightness)
        reports.push_back(report(0x01, 0xFF, 0x00, 0x00, 0x00));
    if (!colourTemperature)
        reports.push_back(report(0x01, 0x00, 0xFF, 0x00, 0x00));
    if (!hueControls)
        reports.push_back(report(0x02, 0x00, 0x00, 0xFF, 0x00));
    // Sorted and de-duplicated so the reports do not depend on how the lists
    // were written.
    auto inRange = [](std::vector<int> list, int low, int high) {
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
        std::erase_if(list, [&](int v) { return v < low || v > high; });
        return list;
    };
    for (int effect : inRange(unavailableEffects, 1, 10))
        reports.push_back(report(0x03, 0x00, static_cast<std::uint8_t>(0xF0 + effect), 0x00, 0x00));
    for (int option : inRange(unavailableOptions, 1, 3))
        reports.push_back(report(0x03, 0x00, 0x00, static_cast<std::uint8_t>(0xFA + option), 0x00));
    for (int colour : inRange(unavailablePresetColours, 2, 7))
        reports.push_back(report(0x04, 0x00, static_cast<std::uint8_t>(0xEF + colour), 0x00, 0x00));
    return reports;
}

}  // namespace lightdeck
