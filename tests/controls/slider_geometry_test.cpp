// The slider's arithmetic: drag mapping with clamping and sideways exits,
// angle placement, centring, and controls too narrow to have any travel.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "controls/slider_geometry.h"

namespace lightdeck {
namespace {

constexpr float kWidth = 330.0f;  // a panel slider: screen width 390 minus 60

TEST(SliderGeometryTest, TravelIsWidthMinusThumb)
{
    EXPECT_FLOAT_EQ(SliderGeometry(kWidth).travel(), 300.0f);
    EXPECT_TRUE(SliderGeometry(kWidth).hasTravel());
    EXPECT_FALSE(SliderGeometry(30.0f).hasTravel());
    EXPECT_FALSE(SliderGeometry(0.0f).hasTravel());
}

struct DragCase {
    const char* what;
    float x;
    bool moved;
    float pointX;
    double value;
};

class SliderDragTest : public ::testing::TestWithParam<DragCase> {};

TEST_P(SliderDragTest, MapsTouchToThumbAndValue)
{
    const DragCase& c = GetParam();
    const SliderGeometry geometry(kWidth);
    // Old state: thumb at 100 with value 0.28 (a previous in-range drag).
    const auto step = geometry.drag(c.x, 100.0f, 0.28);
    EXPECT_EQ(step.moved, c.moved) << c.what;
    EXPECT_FLOAT_EQ(step.pointX, c.pointX) << c.what;
    EXPECT_DOUBLE_EQ(step.value, c.value) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SliderDragTest,
    ::testing::Values(
        DragCase{"middle", 165.0f, true, 165.0f, 0.5},
        DragCase{"quarter", 90.0f, true, 90.0f, 0.25},
        DragCase{"just inside the left end", 0.5f, true, 15.0f, 0.0},
        DragCase{"within 15 of the left end", 15.0f, true, 15.0f, 0.0},
        DragCase{"first free position", 15.5f, true, 15.5f, 0.5 / 300.0},
        DragCase{"within 15 of the right end", 315.0f, true, 315.0f, 1.0},
        DragCase{"just inside the right end", 329.9f, true, 315.0f, 1.0},
        // A finger that left sideways keeps the old thumb and value.
        DragCase{"on the left edge", 0.0f, false, 100.0f, 0.28},
        DragCase{"left of the control", -40.0f, false, 100.0f, 0.28},
        DragCase{"on the right edge", kWidth, false, 100.0f, 0.28},
        DragCase{"right of the control", 500.0f, false, 100.0f, 0.28},
        DragCase{"not a number", std::numeric_limits<float>::quiet_NaN(), false, 100.0f, 0.28}),
    [](const ::testing::TestParamInfo<DragCase>& info) { return "Case" + std::to_string(info.index); });

TEST(SliderGeometryTest, EndsAreExactForOddWidths)
{
    for (float width : {31.0f, 67.3f, 362.0f, 1000.5f}) {
        const SliderGeometry geometry(width);
        EXPECT_EQ(geometry.drag(1.0f, 0.0f, 0.5).value, 0.0) << width;
        EXPECT_EQ(geometry.drag(width - 1.0f, 0.0f, 0.5).value, 1.0) << width;
    }
}

TEST(SliderGeometryTest, DragAndCentreForValueAgree)
{
    const SliderGeometry geometry(kWidth);
    for (double v : {0.0, 0.25, 0.5, 0.9, 1.0}) {
        const float centre = geometry.centreForValue(v);
        EXPECT_NEAR(geometry.drag(centre, 0.0f, 0.0).value, v, 1e-6) << v;
    }
}

TEST(SliderGeometryTest, DegreesSpanTheWholeWidthUnclamped)
{
    const SliderGeometry geometry(kWidth);
    struct {
        float degrees;
        float centre;
        double value;
    } cases[] = {
        {0.0f, 0.0f, 0.0},           // thumb half outside on the left
        {90.0f, kWidth / 4, 0.25},   // W / 4, not 15 + 0.25 * travel
        {180.0f, kWidth / 2, 0.5},
        {360.0f, kWidth, 1.0},       // thumb half outside on the right
        {450.0f, kWidth * 1.25f, 1.25},
        {-36.0f, -kWidth / 10, -0.1},
    };
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(geometry.centreForDegrees(c.degrees), c.centre) << c.degrees;
        EXPECT_DOUBLE_EQ(SliderGeometry::valueForDegrees(c.degrees), c.value) << c.degrees;
    }
    // The two mappings differ except in the middle.
    EXPECT_NE(geometry.centreForDegrees(90.0f), geometry.centreForValue(0.25));
    EXPECT_FLOAT_EQ(geometry.centreForDegrees(180.0f), geometry.centreForValue(0.5));
    EXPECT_FLOAT_EQ(geometry.centreForMiddle(), kWidth / 2);
}

TEST(SliderGeometryTest, AnglesReadBackWithoutDrift)
{
    // The value is d / 360 itself, not centre / W: no extra rounding from
    // the width. The quarter angles the hue wheel lands on come back exactly.
    for (int d = 0; d <= 360; ++d) {
        const double value = SliderGeometry::valueForDegrees(static_cast<float>(d));
        EXPECT_NEAR(value * 360.0, d, 1e-9) << d;
    }
    for (int d : {0, 45, 90, 135, 180, 225, 270, 315, 360})
        EXPECT_EQ(static_cast<int>(SliderGeometry::valueForDegrees(static_cast<float>(d)) * 360.0), d);
}

TEST(SliderGeometryTest, NoTravelKeepsValueInRangeWithoutDividingByZero)
{
    for (float width : {30.0f, 29.0f, 10.0f, 1.0f}) {
        const SliderGeometry geometry(width);
        for (float x : {0.5f, width / 2, width - 0.5f}) {
            const auto step = geometry.drag(x, 0.0f, 0.7);
            ASSERT_TRUE(step.moved);
            EXPECT_FALSE(std::isnan(step.value)) << width << " " << x;
            EXPECT_GE(step.value, 0.0);
            EXPECT_LE(step.value, 1.0);
        }
        EXPECT_FALSE(std::isnan(geometry.centreForValue(0.5)));
    }
    // A control of no width: no touch is inside it, and angles still map.
    const SliderGeometry empty(0.0f);
    EXPECT_FALSE(empty.drag(0.0f, 3.0f, 0.4).moved);
    EXPECT_DOUBLE_EQ(SliderGeometry::valueForDegrees(90.0f), 0.25);
    EXPECT_FLOAT_EQ(empty.centreForDegrees(90.0f), 0.0f);
}

TEST(SliderGeometryTest, WidthChangeMovesTheRightEnd)
{
    SliderGeometry geometry(100.0f);
    geometry.setWidth(200.0f);
    EXPECT_FLOAT_EQ(geometry.travel(), 170.0f);
    const auto step = geometry.drag(199.0f, 0.0f, 0.0);
    EXPECT_FLOAT_EQ(step.pointX, 185.0f);
    EXPECT_DOUBLE_EQ(step.value, 1.0);
}

}  // namespace
}  // namespace lightdeck
