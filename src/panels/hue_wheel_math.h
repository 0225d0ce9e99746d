#pragma once
// The arithmetic of the hue wheel panel, free of Qt so that it can be tested
// without a display.
//
// Wheel angles follow the screen: atan2 of a touch's offset from the wheel's
// centre with y growing downwards, so 0 is to the right of the centre, +90
// below it, -90 above it and +/-180 to the left. Hue is in degrees, 0 at the
// top of the wheel growing clockwise: hue = wheel angle + 90, brought into
// 0..360.

#include <optional>
#include <string_view>

namespace lightdeck::hue_wheel {

// The constant that turns the single-precision angle into degrees.
inline constexpr double kDegreesPerRadian = 57.29577951308232;
// The crosshair runs on a circle this many pixels inside the wheel's rim.
inline constexpr double kCrosshairInset = 10.0;

// Wheel angle in radians of an offset (dx, dy) from the centre, computed in
// single precision as the wheel always has. (0, 0) gives 0.
float wheelAngleRadians(float dx, float dy);

// The single-precision angle in degrees. Straight to the left of the centre
// this lands a hair beyond +/-180 (float pi is a little above pi).
double wheelAngleDegrees(float radians);

// The hue slider's angle for a wheel angle in degrees: d + 90 for
// -90 <= d <= 180, otherwise 180 - |d| + 270, so that angles below -90 give
// d + 450 and the hair beyond +180 straight to the left gives 270 (never more
// than a full turn). The result lies in 0..360 for every d in -180.00001 to
// 180.00001.
float sliderDegreesForWheelAngle(double degrees);

// Name of the wheel sector, as logged while dragging: "紫色" (-180, -120],
// "红色" (-120, -60], "黄色" (-60, 0], "绿色" (0, 60], "青色" (60, 120],
// "蓝色" (120, 180]. Nothing outside -180 < d <= 180.
std::optional<std::string_view> colourNameForWheelAngle(double degrees);

// Hue in whole degrees from a hue slider position (0..1 across the slider):
// the integer part of position x 360, clamped to 0..360; NaN gives 0.
int hueDegrees(double position);

// The wheel angle in radians at which a hue lies: (hue - 90) / 180 x pi.
// Hue 180 is straight below the centre, 0 and 360 straight above.
double wheelAngleForHue(int hueDegrees);

// Top-left corner of the crosshair for a wheel angle in radians, with the
// wheel wheelWidth x wheelHeight and the crosshair crosshairSize wide, in the
// wheel's pixels: the crosshair's centre lies on the circle of radius
// wheelWidth / 2 - kCrosshairInset around the wheel's centre.
struct CrosshairOrigin {
    double x = 0.0;
    double y = 0.0;
};
CrosshairOrigin crosshairOrigin(double radians, double wheelWidth, double wheelHeight,
                                double crosshairSize);

}  // namespace lightdeck::hue_wheel
