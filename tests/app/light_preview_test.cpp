// The colours the virtual lights window paints: steady modes, the SOS Morse
// rhythm and the effects' animation and speed.

#include "app/light_preview.h"

#include <set>
#include <tuple>

#include <gtest/gtest.h>

namespace lightdeck {
namespace {

using std::chrono::milliseconds;

LightOutput output(LightMode mode)
{
    LightOutput out;
    out.mode = mode;
    return out;
}

int sum(Rgb c) { return c.red + c.green + c.blue; }

TEST(LightPreviewTest, SteadyModesShowTheLightsColourAtAnyTime)
{
    LightOutput cct = output(LightMode::ColourTemperature);
    cct.kelvin = 3200;
    cct.brightness = 80;
    LightOutput hsi = output(LightMode::Hue);
    hsi.hue = 120;
    hsi.brightness = 60;
    LightOutput preset = output(LightMode::PresetColour);
    preset.presetColour = 6;
    LightOutput noEffect = output(LightMode::Effect);  // effect 0: none chosen yet
    for (const LightOutput& out : {cct, hsi, preset, noEffect}) {
        EXPECT_FALSE(isAnimated(out));
        for (int t : {0, 137, 5000, 123456})
            EXPECT_EQ(previewColour(out, milliseconds(t)), out.colour()) << out.describe() << " at " << t;
    }
}

TEST(LightPreviewTest, ColourTemperatureRunsFromWarmToColdAndScalesWithBrightness)
{
    LightOutput warm = output(LightMode::ColourTemperature);
    warm.kelvin = 3000;
    warm.brightness = 100;
    LightOutput cold = warm;
    cold.kelvin = 6500;
    const Rgb w = previewColour(warm, {});
    const Rgb c = previewColour(cold, {});
    EXPECT_GT(w.red, w.blue + 60);     // warm: clearly orange
    EXPECT_GT(c.blue, w.blue + 60);    // cold: much bluer
    EXPECT_GE(c.blue, c.red - 20);     // nearly neutral
    LightOutput dark = warm;
    dark.brightness = 0;
    EXPECT_EQ(previewColour(dark, {}), (Rgb{0, 0, 0}));
    LightOutput half = warm;
    half.brightness = 50;
    EXPECT_NEAR(sum(previewColour(half, {})), sum(w) / 2, 6);
}

TEST(LightPreviewTest, SosSpellsDotDotDotDashDashDashDotDotDot)
{
    std::string word;
    for (int unit = 0; unit < kSosUnitsPerWord; ++unit)
        word += sosLampOn(kSosUnit * unit + kSosUnit / 2) ? '1' : '0';
    // S: three one-unit flashes; O: three three-unit flashes; gaps of one
    // unit inside a letter, three between letters, seven after the word.
    EXPECT_EQ(word, "1010100011101110111000101010000000");
    // And again in the next word.
    EXPECT_EQ(sosLampOn(kSosUnit * kSosUnitsPerWord), sosLampOn({}));
    EXPECT_TRUE(sosLampOn(milliseconds(-5)));  // a clock before the start counts as the start

    LightOutput sos = output(LightMode::Sos);
    EXPECT_TRUE(isAnimated(sos));
    EXPECT_EQ(previewColour(sos, kSosUnit / 2), (Rgb{255, 255, 255}));
    EXPECT_EQ(previewColour(sos, kSosUnit + kSosUnit / 2), (Rgb{0, 0, 0}));
}

// Distinct colours over the first `spanMs` ms, sampled every 10 ms.
std::set<std::tuple<int, int, int>> coloursOver(const LightOutput& out, int spanMs)
{
    std::set<std::tuple<int, int, int>> seen;
    for (int t = 0; t < spanMs; t += 10) {
        const Rgb c = previewColour(out, milliseconds(t));
        seen.insert({c.red, c.green, c.blue});
    }
    return seen;
}

TEST(LightPreviewTest, EveryEffectChangesOverTime)
{
    for (int effect = 1; effect <= 10; ++effect) {
        LightOutput out = output(LightMode::Effect);
        out.effect = effect;
        out.effectOption = 1;
        EXPECT_TRUE(isAnimated(out)) << effect;
        EXPECT_GE(coloursOver(out, 6000).size(), 2u) << "effect " << effect;
    }
}

TEST(LightPreviewTest, EffectOptionSetsTheSpeed)
{
    EXPECT_EQ(effectSpeed(0), 1);
    EXPECT_EQ(effectSpeed(1), 1);
    EXPECT_EQ(effectSpeed(3), 3);
    EXPECT_EQ(effectSpeed(7), 1);
    // Seven colours steps every 500 ms at option 1: option 3 is three times
    // as fast, so at 200 ms it has already moved to the second colour.
    LightOutput slow = output(LightMode::Effect);
    slow.effect = 2;
    slow.effectOption = 1;
    LightOutput fast = slow;
    fast.effectOption = 3;
    EXPECT_EQ(previewColour(slow, milliseconds(200)), previewColour(slow, {}));
    EXPECT_NE(previewColour(fast, milliseconds(200)), previewColour(fast, {}));
    EXPECT_EQ(previewColour(fast, milliseconds(1000)), previewColour(slow, milliseconds(3000)));
}

}  // namespace
}  // namespace lightdeck
