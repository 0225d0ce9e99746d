// The hue wheel arithmetic: wheel angle to hue, sector names, crosshair
// placement.
#include <cmath>
#include <numbers>
#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "panels/hue_wheel_math.h"

namespace lightdeck::hue_wheel {
namespace {

// The hue a wheel touch at (dx, dy) from the centre gives: the hue slider
// takes the angle as degrees, its value is degrees / 360, and the hue is the
// integer part of value x 360.
int hueForTouch(float dx, float dy)
{
    const double degrees = wheelAngleDegrees(wheelAngleRadians(dx, dy));
    return hueDegrees(static_cast<double>(sliderDegreesForWheelAngle(degrees)) / 360.0);
}

struct TouchCase {
    const char* where;
    float dx;
    float dy;
    double wheelDegrees;
    std::optional<std::string> name;
    int hue;
};

void PrintTo(const TouchCase& c, std::ostream* os) { *os << c.where; }

class WheelTouchTest : public ::testing::TestWithParam<TouchCase> {};

TEST_P(WheelTouchTest, AngleNameAndHue)
{
    const TouchCase& c = GetParam();
    const double degrees = wheelAngleDegrees(wheelAngleRadians(c.dx, c.dy));
    EXPECT_NEAR(degrees, c.wheelDegrees, 1e-4) << c.where;
    const auto name = colourNameForWheelAngle(degrees);
    EXPECT_EQ(name ? std::optional<std::string>(std::string(*name)) : std::nullopt, c.name) << c.where;
    EXPECT_EQ(hueForTouch(c.dx, c.dy), c.hue) << c.where;
}

INSTANTIATE_TEST_SUITE_P(
    Touches, WheelTouchTest,
    ::testing::Values(TouchCase{"up right", 50, -50, -45, "黄色", 45},
                      TouchCase{"down right", 50, 50, 45, "绿色", 135},
                      TouchCase{"up left", -50, -50, -135, "紫色", 315},
                      TouchCase{"down left", -50, 50, 135, "蓝色", 225},
                      TouchCase{"straight below", 0, 60, 90, "青色", 180},
                      // A hair above -90: folded to 360, the same place as 0.
                      TouchCase{"straight above", 0, -60, -90, "红色", 360},
                      TouchCase{"level right", 60, 0, 0, "黄色", 90},
                      // Float pi lands a hair beyond 180: no name, and the
                      // slider angle folds back to 270 instead of 630.
                      TouchCase{"level left", -60, 0, 180.000005, std::nullopt, 270},
                      TouchCase{"the centre itself", 0, 0, 0, "黄色", 90}));

TEST(HueWheelMathTest, SectorNamesExcludeTheLowerBoundAndIncludeTheUpper)
{
    const struct {
        double degrees;
        std::optional<std::string> name;
    } cases[] = {
        {-180.0, std::nullopt}, {-179.9, "紫色"}, {-120.0, "紫色"}, {-119.9, "红色"}, {-60.0, "红色"},
        {-59.9, "黄色"},        {0.0, "黄色"},    {0.1, "绿色"},    {60.0, "绿色"},   {60.1, "青色"},
        {120.0, "青色"},        {120.1, "蓝色"},  {180.0, "蓝色"},  {180.000005, std::nullopt},
        {std::nan(""), std::nullopt},
    };
    for (const auto& c : cases) {
        const auto name = colourNameForWheelAngle(c.degrees);
        EXPECT_EQ(name ? std::optional<std::string>(std::string(*name)) : std::nullopt, c.name) << c.degrees;
    }
}

// Every touch on a wheel of radius 105 gives a hue within a degree of its
// geometric angle from the top, clockwise, and never outside 0..360.
TEST(HueWheelMathTest, EveryTouchOnTheWheelGivesItsGeometricHue)
{
    for (int dy = -105; dy <= 105; ++dy) {
        for (int dx = -105; dx <= 105; ++dx) {
            if (dx == 0 && dy == 0)
                continue;
            const int hue = hueForTouch(static_cast<float>(dx), static_cast<float>(dy));
            ASSERT_GE(hue, 0) << dx << "," << dy;
            ASSERT_LE(hue, 360) << dx << "," << dy;
            double expected = std::atan2(static_cast<double>(dx), static_cast<double>(-dy)) * 180.0 / std::numbers::pi;
            if (expected < 0)
                expected += 360.0;
            double difference = std::fabs(hue - expected);
            difference = std::min(difference, 360.0 - difference);
            ASSERT_LE(difference, 1.0) << dx << "," << dy << " hue " << hue << " expected " << expected;
        }
    }
}

TEST(HueWheelMathTest, SliderPositionToHue)
{
    const struct {
        double position;
        int hue;
    } cases[] = {{0.0, 0}, {0.125, 45}, {0.5, 180}, {0.875, 315}, {1.0, 360},
                 {-0.25, 0}, {1.75, 360}, {std::nan(""), 0}};
    for (const auto& c : cases)
        EXPECT_EQ(hueDegrees(c.position), c.hue) << c.position;
}

TEST(HueWheelMathTest, CrosshairRunsTenPixelsInsideTheRim)
{
    // A 210 x 210 wheel, a 20 x 20 crosshair: centre (105, 105), radius 95.
    const struct {
        int hue;
        double x;
        double y;
    } cases[] = {
        {180, 95, 190},  // straight below: the crosshair's edge on the rim
        {0, 95, 0},      // straight above
        {360, 95, 0},
        {90, 190, 95},   // right
        {270, 0, 95},    // left
    };
    for (const auto& c : cases) {
        const auto origin = crosshairOrigin(wheelAngleForHue(c.hue), 210, 210, 20);
        EXPECT_NEAR(origin.x, c.x, 1e-9) << c.hue;
        EXPECT_NEAR(origin.y, c.y, 1e-9) << c.hue;
    }
    // The crosshair's centre always lies on the circle, whatever the angle.
    for (double a = -4.0; a <= 4.0; a += 0.37) {
        const auto origin = crosshairOrigin(a, 210, 210, 20);
        EXPECT_NEAR(std::hypot(origin.x + 10 - 105, origin.y + 10 - 105), 95.0, 1e-9) << a;
    }
}

}  // namespace
}  // namespace lightdeck::hue_wheel
