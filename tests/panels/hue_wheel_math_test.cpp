// The hue wheel arithmetic: wheel angle to hue and sector names (the
// crosshair is checked where the panel places it).
#include "panels/hue_wheel_math.h"

#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

namespace lightdeck::hue_wheel {
namespace {

// A touch at (dx, dy) from the centre: the hue slider takes the angle as
// degrees, its value is degrees / 360, the hue the integer part of value x 360.
int hueForTouch(float dx, float dy)
{
    const double degrees = wheelAngleDegrees(wheelAngleRadians(dx, dy));
    return hueDegrees(static_cast<double>(sliderDegreesForWheelAngle(degrees)) / 360.0);
}

TEST(HueWheelMathTest, TouchesGiveTheirAngleAndHue)
{
    // {dx, dy, wheel angle, hue}: up right, down right, up left, down left,
    // below, above (a hair above -90: 360, the place of 0), right, left (float
    // pi lands a hair beyond 180: folded back to 270, not 630), the centre.
    const std::tuple<float, float, double, int> cases[] = {{50, -50, -45, 45}, {50, 50, 45, 135}, {-50, -50, -135, 315},
        {-50, 50, 135, 225}, {0, 60, 90, 180}, {0, -60, -90, 360}, {60, 0, 0, 90}, {-60, 0, 180.000005, 270}, {0, 0, 0, 90}};
    for (const auto& [dx, dy, angle, hue] : cases) {
        EXPECT_NEAR(wheelAngleDegrees(wheelAngleRadians(dx, dy)), angle, 1e-4) << dx << "," << dy;
        EXPECT_EQ(hueForTouch(dx, dy), hue) << dx << "," << dy;
    }
    // Every touch on a wheel of radius 105: within a degree of its geometric
    // angle from the top, clockwise, and never outside 0..360.
    for (int dy = -105; dy <= 105; ++dy) {
        for (int dx = -105; dx <= 105; ++dx) {
            const int hue = hueForTouch(float(dx), float(dy));
            const double off = std::remainder(hue - std::atan2(double(dx), double(-dy)) * 180.0 / std::numbers::pi, 360.0);
            ASSERT_TRUE(hue >= 0 && hue <= 360 && ((dx == 0 && dy == 0) || std::fabs(off) <= 1.0)) << dx << "," << dy;
        }
    }
}

TEST(HueWheelMathTest, SectorNamesAndSliderHuesAtTheirBoundaries)
{
    const std::pair<double, const char*> cases[] = {{-180.0, nullptr}, {-179.9, "紫色"}, {-120.0, "紫色"},
        {-119.9, "红色"}, {-60.0, "红色"}, {-59.9, "黄色"}, {0.0, "黄色"}, {0.1, "绿色"}, {60.0, "绿色"}, {60.1, "青色"},
        {120.0, "青色"}, {120.1, "蓝色"}, {180.0, "蓝色"}, {180.000005, nullptr}, {std::nan(""), nullptr}};
    for (const auto& [degrees, name] : cases) {
        const auto found = colourNameForWheelAngle(degrees);
        EXPECT_EQ(found ? std::string(*found) : "none", name ? name : "none") << degrees;
    }
    // The hue from a slider position truncates and clamps.
    const std::pair<double, int> hues[] = {
        {0.0, 0}, {0.125, 45}, {0.5, 180}, {0.999, 359}, {1.0, 360}, {-0.25, 0}, {1.75, 360}, {std::nan(""), 0}};
    for (const auto& [position, hue] : hues)
        EXPECT_EQ(hueDegrees(position), hue) << position;
}

}  // namespace
}  // namespace lightdeck::hue_wheel
