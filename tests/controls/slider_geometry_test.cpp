// The slider's arithmetic: drag mapping with clamping and sideways exits,
// angle placement, and controls too narrow to have any travel.
#include "controls/slider_geometry.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

namespace lightdeck {
namespace {

constexpr float kWidth = 330.0f;  // a panel slider: travel 300

TEST(SliderGeometryTest, DragMapsTouchToThumbAndValue)
{
    // {x, moved, thumb centre, value}: middle, quarter, pinned at the left
    // end, first free position, pinned at the right end; a finger that left
    // sideways keeps the old centre (100) and value (0.28).
    const std::tuple<float, bool, float, double> cases[] = {
        {165.0f, true, 165.0f, 0.5}, {90.0f, true, 90.0f, 0.25}, {0.5f, true, 15.0f, 0.0}, {15.0f, true, 15.0f, 0.0},
        {15.5f, true, 15.5f, 0.5 / 300.0}, {315.0f, true, 315.0f, 1.0}, {329.9f, true, 315.0f, 1.0},
        {0.0f, false, 100.0f, 0.28}, {-40.0f, false, 100.0f, 0.28}, {kWidth, false, 100.0f, 0.28},
        {std::numeric_limits<float>::quiet_NaN(), false, 100.0f, 0.28}};
    const SliderGeometry geometry(kWidth);
    for (const auto& [x, moved, pointX, value] : cases) {
        const auto step = geometry.drag(x, 100.0f, 0.28);
        EXPECT_EQ(step.moved, moved) << x;
        EXPECT_FLOAT_EQ(step.pointX, pointX) << x;
        EXPECT_DOUBLE_EQ(step.value, value) << x;
    }
    for (double v : {0.0, 0.25, 0.9, 1.0})
        EXPECT_NEAR(geometry.drag(geometry.centreForValue(v), 0.0f, 0.0).value, v, 1e-6) << v;
}

TEST(SliderGeometryTest, EndsAreExactAtAnyWidthAndNarrowControlsStayInRange)
{
    for (float width : {31.0f, 67.3f, 362.0f, 1000.5f}) {
        EXPECT_EQ(SliderGeometry(width).drag(1.0f, 0.0f, 0.5).value, 0.0) << width;
        EXPECT_EQ(SliderGeometry(width).drag(width - 1.0f, 0.0f, 0.5).value, 1.0) << width;
    }
    for (float width : {30.0f, 29.0f, 1.0f})  // no travel: no division by zero
        for (float x : {0.5f, width / 2, width - 0.5f}) {
            const auto step = SliderGeometry(width).drag(x, 0.0f, 0.7);
            EXPECT_TRUE(step.moved && step.value >= 0.0 && step.value <= 1.0) << width << " " << x;
        }
    EXPECT_FALSE(SliderGeometry(0.0f).drag(0.0f, 3.0f, 0.4).moved);
}

TEST(SliderGeometryTest, DegreesSpanTheWholeWidthUnclampedAndReadBackWithoutDrift)
{
    // {degrees, centre, value}: 90 degrees put the centre at W / 4, not at
    // 15 + 0.25 x travel.
    const std::tuple<float, float, double> cases[] = {{0.0f, 0.0f, 0.0}, {90.0f, kWidth / 4, 0.25},
        {180.0f, kWidth / 2, 0.5}, {360.0f, kWidth, 1.0}, {450.0f, kWidth * 1.25f, 1.25}, {-36.0f, -kWidth / 10, -0.1}};
    for (const auto& [degrees, centre, value] : cases) {
        EXPECT_FLOAT_EQ(SliderGeometry(kWidth).centreForDegrees(degrees), centre) << degrees;
        EXPECT_DOUBLE_EQ(SliderGeometry::valueForDegrees(degrees), value) << degrees;
    }
    // The value is d / 360 itself, not centre / W: the angles the hue wheel
    // lands on come back exactly.
    for (int d = 0; d <= 360; d += 45)
        EXPECT_EQ(static_cast<int>(SliderGeometry::valueForDegrees(static_cast<float>(d)) * 360.0), d) << d;
}

}  // namespace
}  // namespace lightdeck
