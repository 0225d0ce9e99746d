// What a virtual light does with a value written to it, the marker reports
// its profile gives, the names it accepts and the colour it shows.

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "bluetooth/simulated/light_firmware.h"

namespace lightdeck {
namespace {

Bytes frame(std::uint8_t command, std::uint8_t b2 = 0, std::uint8_t b3 = 0, std::uint8_t b4 = 0, std::uint8_t b5 = 0)
{
    return {0xAA, command, b2, b3, b4, b5, 0xBB};
}

// Every row starts from this output, so that "kept" values show.
LightOutput before()
{
    return {.mode = LightMode::ColourTemperature, .brightness = 50, .kelvin = 5000, .hue = 200, .cntValue = 0,
            .effect = 4, .effectOption = 2, .presetColour = 3};
}

TEST(VirtualLightTest, AppliesEachValueAsTheLightDoes)
{
    CapabilityProfile full, noBrightness, noKelvin, noHue, shielded, redListed;
    noBrightness.brightness = false;
    noKelvin.colourTemperature = false;
    noHue.hueControls = false;
    shielded.unavailableEffects = {7};
    shielded.unavailableOptions = {3};
    shielded.unavailablePresetColours = {6};
    redListed.unavailablePresetColours = {1};
    using M = LightMode;
    struct Row {
        const char* label;
        const CapabilityProfile& profile;
        Bytes value;
        std::function<void(LightOutput&)> change;
        std::optional<std::string> newName = std::nullopt;
    };
    const Row rows[] = {
        {"cct", full, frame(0x01, 80, 32), [](auto& o) { o.brightness = 80; o.kelvin = 3200; }},
        {"cct clamped low", full, frame(0x01, 0, 0x10), [](auto& o) { o.brightness = 0; o.kelvin = 3000; }},
        {"cct clamped high", full, frame(0x01, 0xC8, 66), [](auto& o) { o.brightness = 100; o.kelvin = 6500; }},
        {"hue 360", full, frame(0x02, 60, 0, 0x01, 0x68), [](auto& o) { o.mode = M::Hue; o.brightness = 60; o.hue = 360; }},
        {"hue low byte", full, frame(0x02, 61, 5, 0, 0xFF), [](auto& o) { o.mode = M::Hue; o.brightness = 61; o.cntValue = 5; o.hue = 255; }},
        {"hue over 360 kept", full, frame(0x02, 70, 150, 0x01, 0x69), [](auto& o) { o.mode = M::Hue; o.brightness = 70; o.cntValue = 100; }},
        {"effect and option", full, frame(0x03, 0, 10, 0, 3), [](auto& o) { o.mode = M::Effect; o.effect = 10; o.effectOption = 3; }},
        {"option alone keeps the effect", full, frame(0x03, 0, 0, 0, 1), [](auto& o) { o.mode = M::Effect; o.effectOption = 1; }},
        {"effect 11, option 4 kept", full, frame(0x03, 0, 11, 0, 4), [](auto& o) { o.mode = M::Effect; }},
        {"preset, 0 keeps brightness", full, frame(0x04, 0, 7), [](auto& o) { o.mode = M::PresetColour; o.presetColour = 7; }},
        {"preset, brightness", full, frame(0x04, 40, 1), [](auto& o) { o.mode = M::PresetColour; o.presetColour = 1; o.brightness = 40; }},
        {"preset 0 ignored", full, frame(0x04, 90, 0), [](auto&) {}},
        {"preset 8 ignored", full, frame(0x04, 90, 8), [](auto&) {}},
        {"sos", full, frame(0x06), [](auto& o) { o.mode = M::Sos; }},
        {"command 05 ignored", full, frame(0x05, 1, 2, 3, 4), [](auto&) {}},
        {"unknown command ignored", full, frame(0x09, 1, 2, 3, 4), [](auto&) {}},
        {"six bytes ignored", full, Bytes{0xAA, 0x01, 10, 40, 0, 0}, [](auto&) {}},
        {"eight bytes ignored", full, Bytes{0xAA, 0x01, 10, 40, 0, 0, 0xBB, 0}, [](auto&) {}},
        {"bad start ignored", full, Bytes{0xAB, 0x01, 10, 40, 0, 0, 0xBB}, [](auto&) {}},
        {"bad end ignored", full, Bytes{0xAA, 0x01, 10, 40, 0, 0, 0xBC}, [](auto&) {}},
        {"empty ignored", full, Bytes{}, [](auto&) {}},
        {"rename", full, Bytes{0xAA, 0x00, 'S', 'u', 'n'}, [](auto&) {}, "Sun"},
        {"rename to nothing", full, Bytes{0xAA, 0x00}, [](auto&) {}, ""},
        {"no brightness: cct", noBrightness, frame(0x01, 90, 30), [](auto& o) { o.kelvin = 3000; }},
        {"no brightness: preset", noBrightness, frame(0x04, 90, 2), [](auto& o) { o.mode = M::PresetColour; o.presetColour = 2; }},
        {"no temperature", noKelvin, frame(0x01, 90, 30), [](auto& o) { o.brightness = 90; }},
        {"no hue controls: mode only", noHue, frame(0x02, 90, 9, 0, 90), [](auto& o) { o.mode = M::Hue; }},
        {"effect and option unavailable", shielded, frame(0x03, 0, 7, 0, 3), [](auto& o) { o.mode = M::Effect; }},
        {"colour unavailable", shielded, frame(0x04, 0, 6), [](auto&) {}},
        {"red is always there", redListed, frame(0x04, 0, 1), [](auto& o) { o.mode = M::PresetColour; o.presetColour = 1; }},
    };
    for (const auto& row : rows) {
        LightOutput output = before();
        LightOutput expected = before();
        row.change(expected);
        const FrameEffect effect = applyLightValue(output, row.profile, row.value);
        EXPECT_EQ(output, expected) << row.label << ": " << output.describe();
        EXPECT_EQ(effect.outputChanged, expected != before()) << row.label;
        EXPECT_EQ(effect.newName, row.newName) << row.label;
    }
}

TEST(VirtualLightTest, MarkerReportsFollowTheProfile)
{
    CapabilityProfile noBrightness, noKelvin, noHue, effects, options, colours;
    noBrightness.brightness = false;
    noKelvin.colourTemperature = false;
    noHue.hueControls = false;
    effects.unavailableEffects = {10, 1, 1, 0, 11};
    options.unavailableOptions = {1, 2, 3, 4};
    colours.unavailablePresetColours = {1, 2, 7, 8};
    const std::vector<std::pair<CapabilityProfile, std::vector<Bytes>>> rows = {
        {CapabilityProfile{}, {}},
        {noBrightness, {frame(0x01, 0xFF)}},
        {noKelvin, {frame(0x01, 0, 0xFF)}},
        {noHue, {frame(0x02, 0, 0, 0xFF)}},
        {effects, {frame(0x03, 0, 0xF1), frame(0x03, 0, 0xFA)}},  // sorted, once, in range
        {options, {frame(0x03, 0, 0, 0xFB), frame(0x03, 0, 0, 0xFC), frame(0x03, 0, 0, 0xFD)}},
        {colours, {frame(0x04, 0, 0xF1), frame(0x04, 0, 0xF6)}},  // red cannot be marked
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].first.markerReports(), rows[i].second) << "row " << i;
        EXPECT_EQ(rows[i].first.isFull(), rows[i].second.empty()) << "row " << i;
    }
}

TEST(VirtualLightTest, NameFromBytesIsAlwaysValidUtf8)
{
    const std::string r = "\xEF\xBF\xBD";
    const std::vector<std::pair<Bytes, std::string>> rows = {
        {{'A', 'b'}, "Ab"},
        {{0xE7, 0x81, 0xAF}, "\xE7\x81\xAF"},
        {{0xF0, 0x9F, 0x92, 0xA1}, "\xF0\x9F\x92\xA1"},
        {{0xC0, 0xAF}, r + r},                      // overlong
        {{0xE0, 0x80, 0xAF}, r + r + r},            // overlong, three bytes
        {{0xED, 0xA0, 0x80}, r + r + r},            // surrogate
        {{0xF4, 0x90, 0x80, 0x80}, r + r + r + r},  // above U+10FFFF
        {{0xE7, 0x81}, r + r},                      // cut short
        {{'O', 0xFF, 'K', 0xE5, 0xAE}, "O" + r + "K" + r + r},
        {{0x00, 'x'}, std::string("\0x", 2)},
    };
    for (const auto& [bytes, expected] : rows)
        EXPECT_EQ(lightNameFromBytes(bytes, 0), expected);
    EXPECT_EQ(lightNameFromBytes(Bytes{0xAA, 0x00, 'x'}, 2), "x");

    EXPECT_EQ(lightNameFromBytes(Bytes(400, 'n'), 0).size(), kMaxLightNameBytes);
    Bytes wide;
    for (int i = 0; i < 100; ++i)
        wide.insert(wide.end(), {0xE7, 0x81, 0xAF});
    EXPECT_EQ(lightNameFromBytes(wide, 0).size(), kMaxLightNameBytes / 3 * 3) << "cut at a character boundary";
}

// The colour a light shows: the mode's colour dimmed by its brightness.
TEST(VirtualLightTest, ShowsItsColourAtItsBrightness)
{
    const std::pair<LightOutput, Rgb> rows[] = {
        {{.mode = LightMode::Hue, .brightness = 50, .hue = 240}, {0, 0, 128}},
        {{.mode = LightMode::PresetColour, .brightness = 20, .presetColour = 1}, {51, 0, 0}},
        {{.mode = LightMode::Hue, .brightness = 0, .hue = 120}, {0, 0, 0}},
        {{.mode = LightMode::Sos, .brightness = 10}, {255, 255, 255}},
    };
    for (const auto& [output, colour] : rows)
        EXPECT_EQ(output.colour(), colour) << output.describe();
}

}  // namespace
}  // namespace lightdeck
