// What a virtual light does with the values written to it, and the reports
// and colours it derives from its state.

#include <gtest/gtest.h>

#include "bluetooth/simulated/light_firmware.h"
#include "simulator_rig.h"

namespace lightdeck::testing {
namespace {

LightOutput cct(int brightness, int kelvin)
{
    LightOutput o;
    o.brightness = brightness;
    o.kelvin = kelvin;
    return o;
}

// Each row is written after the rows before it, to one light.
struct FrameRow {
    const char* label;
    Bytes value;
    LightOutput expected;
};

std::vector<FrameRow> frameRows()
{
    std::vector<FrameRow> rows;
    LightOutput o = cct(50, 5000);
    auto add = [&](const char* label, Bytes value, auto change) {
        change(o);
        rows.push_back({label, std::move(value), o});
    };
    add("cct", frame(0x01, 80, 32), [](LightOutput& x) { x = cct(80, 3200); });
    add("cct extremes", frame(0x01, 0, 65), [](LightOutput& x) { x.brightness = 0; x.kelvin = 6500; });
    add("cct clamped", frame(0x01, 0xC8, 0x10), [](LightOutput& x) { x.brightness = 100; x.kelvin = 3000; });
    add("cct above range", frame(0x01, 101, 66), [](LightOutput& x) { x.brightness = 100; x.kelvin = 6500; });
    add("hue 360", frame(0x02, 60, 0, 0x01, 0x68), [](LightOutput& x) {
        x.mode = LightMode::Hue; x.brightness = 60; x.hue = 360; });
    add("hue 255", frame(0x02, 61, 5, 0x00, 0xFF), [](LightOutput& x) { x.brightness = 61; x.hue = 255; x.cntValue = 5; });
    add("hue out of range keeps the hue", frame(0x02, 70, 0, 0x01, 0x69), [](LightOutput& x) {
        x.brightness = 70; x.cntValue = 0; });
    add("effect 4 option 0", frame(0x03, 0, 4, 0, 0), [](LightOutput& x) { x.mode = LightMode::Effect; x.effect = 4; });
    add("option 2 keeps effect", frame(0x03, 0, 0, 0, 2), [](LightOutput& x) { x.effectOption = 2; });
    add("effect 10 option 3", frame(0x03, 0, 10, 0, 3), [](LightOutput& x) { x.effect = 10; x.effectOption = 3; });
    add("effect 11 option 4 ignored", frame(0x03, 0, 11, 0, 4), [](LightOutput&) {});
    add("preset yellow keeps brightness", frame(0x04, 0, 3), [](LightOutput& x) {
        x.mode = LightMode::PresetColour; x.presetColour = 3; });
    add("preset purple with brightness", frame(0x04, 40, 7), [](LightOutput& x) { x.presetColour = 7; x.brightness = 40; });
    add("preset 8 ignored", frame(0x04, 90, 8), [](LightOutput&) {});
    add("preset 0 ignored", frame(0x04, 90, 0), [](LightOutput&) {});
    add("sos", frame(0x06), [](LightOutput& x) { x.mode = LightMode::Sos; });
    add("command 05 ignored", frame(0x05, 1, 2, 3, 4), [](LightOutput&) {});
    add("unknown command ignored", frame(0x09, 1, 2, 3, 4), [](LightOutput&) {});
    add("six bytes ignored", Bytes{0xAA, 0x01, 10, 40, 0, 0}, [](LightOutput&) {});
    add("eight bytes ignored", Bytes{0xAA, 0x01, 10, 40, 0, 0, 0xBB, 0}, [](LightOutput&) {});
    add("bad start ignored", Bytes{0xAB, 0x01, 10, 40, 0, 0, 0xBB}, [](LightOutput&) {});
    add("bad end ignored", Bytes{0xAA, 0x01, 10, 40, 0, 0, 0xBC}, [](LightOutput&) {});
    add("empty ignored", Bytes{}, [](LightOutput&) {});
    add("back to cct", frame(0x01, 10, 40), [](LightOutput& x) { x.mode = LightMode::ColourTemperature; x.brightness = 10; x.kelvin = 4000; });
    return rows;
}

TEST(VirtualLightTest, AppliesEveryFrameAsTheLightDoesAndRecordsEveryValue)
{
    SimulatorRig rig;
    VirtualLight& light = rig.simulator.addLight({.name = "Key"});
    rig.start();
    const auto link = rig.connect(light);
    const auto rows = frameRows();
    for (const auto& row : rows) {
        rig.write(link, row.value);
        EXPECT_EQ(light.output(), row.expected) << row.label << ": " << light.output().describe();
        EXPECT_EQ(light.lastFrame(), row.value) << row.label;
    }
    EXPECT_EQ(light.writes().size(), rows.size());
    EXPECT_EQ(light.name(), "Key");
}

TEST(VirtualLightTest, IgnoresTheControlsItsProfileLacks)
{
    CapabilityProfile profile;
    profile.brightness = false;
    profile.colourTemperature = false;
    profile.hueControls = false;
    profile.unavailableEffects = {7};
    profile.unavailableOptions = {3};
    profile.unavailablePresetColours = {6};
    SimulatorRig rig;
    VirtualLight& light = rig.simulator.addLight({.name = "Shy", .capabilities = profile});
    rig.start();
    const auto link = rig.connect(light);
    const LightOutput start = light.output();

    rig.write(link, frame(0x01, 90, 30));
    EXPECT_EQ(light.output().brightness, start.brightness);
    EXPECT_EQ(light.output().kelvin, start.kelvin);
    rig.write(link, frame(0x02, 90, 0, 0, 90));
    EXPECT_EQ(light.output().mode, LightMode::Hue);
    EXPECT_EQ(light.output().hue, start.hue);
    rig.write(link, frame(0x03, 0, 7, 0, 3));
    EXPECT_EQ(light.output().effect, 0);
    EXPECT_EQ(light.output().effectOption, 0);
    rig.write(link, frame(0x03, 0, 8, 0, 2));
    EXPECT_EQ(light.output().effect, 8);
    EXPECT_EQ(light.output().effectOption, 2);
    rig.write(link, frame(0x04, 0, 6));
    EXPECT_EQ(light.output().mode, LightMode::Effect);
    rig.write(link, frame(0x04, 0, 1));  // red has no marker: always available
    EXPECT_EQ(light.output().presetColour, 1);
    EXPECT_EQ(light.writes().size(), 6u);
}

TEST(VirtualLightTest, MarkerReportsFollowTheProfile)
{
    struct Row {
        const char* label;
        CapabilityProfile profile;
        std::vector<Bytes> expected;
    };
    CapabilityProfile noBrightness;
    noBrightness.brightness = false;
    CapabilityProfile noHue;
    noHue.hueControls = false;
    CapabilityProfile effects;
    effects.unavailableEffects = {10, 1, 1, 0, 11};
    CapabilityProfile options;
    options.unavailableOptions = {1, 2, 3, 4};
    CapabilityProfile colours;
    colours.unavailablePresetColours = {1, 2, 7, 8};
    const std::vector<Row> rows = {
        {"full", CapabilityProfile{}, {}},
        {"no brightness", noBrightness, {frame(0x01, 0xFF)}},
        {"no hue", noHue, {frame(0x02, 0, 0, 0xFF)}},
        {"effects sorted, once, in range", effects, {frame(0x03, 0, 0xF1), frame(0x03, 0, 0xFA)}},
        {"options", options, {frame(0x03, 0, 0, 0xFB), frame(0x03, 0, 0, 0xFC), frame(0x03, 0, 0, 0xFD)}},
        {"colours: red cannot be marked", colours, {frame(0x04, 0, 0xF1), frame(0x04, 0, 0xF6)}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.profile.markerReports(), row.expected) << row.label;
        EXPECT_EQ(row.profile.isFull(), row.expected.empty()) << row.label;
        for (const auto& report : row.expected) {
            ASSERT_EQ(report.size(), 7u);
            int markers = 0;
            for (std::size_t i = 2; i <= 5; ++i)
                markers += report[i] > 0xF0;
            EXPECT_EQ(markers, 1) << row.label << ": one marker a report";
        }
    }
}

TEST(VirtualLightTest, NameFromBytesIsAlwaysValidUtf8)
{
    const std::string r = "\xEF\xBF\xBD";
    struct Row {
        Bytes bytes;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {{'A', 'b'}, "Ab"},
        {{0xE7, 0x81, 0xAF}, "\xE7\x81\xAF"},
        {{0xF0, 0x9F, 0x92, 0xA1}, "\xF0\x9F\x92\xA1"},
        {{0xC0, 0xAF}, r + r},             // overlong
        {{0xED, 0xA0, 0x80}, r + r + r},   // surrogate
        {{0xF4, 0x90, 0x80, 0x80}, r + r + r + r},  // above U+10FFFF
        {{0xE7, 0x81}, r + r},             // cut short
        {{0x80, 'x'}, r + "x"},
        {{0x00, 'x'}, std::string("\0x", 2)},
    };
    for (const auto& row : rows)
        EXPECT_EQ(lightNameFromBytes(row.bytes, 0), row.expected);

    Bytes longName(400, 'n');
    EXPECT_EQ(lightNameFromBytes(longName, 0).size(), kMaxLightNameBytes);
    Bytes wide;
    for (int i = 0; i < 100; ++i)
        wide.insert(wide.end(), {0xE7, 0x81, 0xAF});
    const std::string cut = lightNameFromBytes(wide, 0);
    EXPECT_EQ(cut.size() % 3, 0u) << "cut at a character boundary";
    EXPECT_LE(cut.size(), kMaxLightNameBytes);
}

TEST(VirtualLightTest, OutputColourFollowsModeAndBrightness)
{
    LightOutput warm = cct(100, 3000);
    LightOutput cold = cct(100, 6500);
    EXPECT_GT(warm.colour().red, warm.colour().blue);
    EXPECT_GE(cold.colour().blue, 240);
    EXPECT_EQ(cct(0, 5000).colour(), Rgb{});

    LightOutput hue;
    hue.mode = LightMode::Hue;
    hue.brightness = 100;
    hue.hue = 120;
    EXPECT_EQ(hue.colour(), (Rgb{0, 255, 0}));
    hue.hue = 360;
    EXPECT_EQ(hue.colour(), (Rgb{255, 0, 0}));
    hue.brightness = 50;
    EXPECT_EQ(hue.colour(), (Rgb{128, 0, 0}));

    LightOutput preset;
    preset.mode = LightMode::PresetColour;
    preset.presetColour = 6;
    preset.brightness = 100;
    EXPECT_EQ(preset.colour(), (Rgb{0, 0, 255}));
    EXPECT_EQ(presetColourName(6), "blue");
    EXPECT_EQ(presetColourName(0), "");
    EXPECT_EQ(preset.describe(), "SET 6 blue 100%");

    LightOutput sos;
    sos.mode = LightMode::Sos;
    EXPECT_EQ(sos.colour(), (Rgb{255, 255, 255}));
    EXPECT_EQ(cct(50, 5000).describe(), "CCT 50% 5000K");
}

}  // namespace
}  // namespace lightdeck::testing
