#include "panels/hue_wheel_math.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lightdeck::hue_wheel {

float wheelAngleRadians(float dx, float dy) { return std::atan2(dy, dx); }

double wheelAngleDegrees(float radians) { return static_cast<double>(radians) * kDegreesPerRadian; }

float sliderDegreesForWheelAngle(double degrees)
{
    if (degrees >= -90.0 && degrees <= 180.0)
        return static_cast<float>(degrees + 90.0);
    // Written with |d| so that the hair beyond +180 (a touch straight to the
    // left) folds back to 270 instead of running past a full turn.
    return static_cast<float>(180.0 - std::fabs(degrees) + 270.0);
}

std::optional<std::string_view> colourNameForWheelAngle(double degrees)
{
    if (degrees > -180.0 && degrees <= -120.0)
        return "紫色";
    if (degrees > -120.0 && degrees <= -60.0)
        return "红色";
    if (degrees > -60.0 && degrees <= 0.0)
        return "黄色";
    if (degrees > 0.0 && degrees <= 60.0)
        return "绿色";
    if (degrees > 60.0 && degrees <= 120.0)
        return "青色";
    if (degrees > 120.0 && degrees <= 180.0)
        return "蓝色";
    return std::nullopt;
}

int hueDegrees(double position)
{
    if (std::isnan(position))
        return 0;
    return static_cast<int>(std::clamp(position, 0.0, 1.0) * 360.0);
}

double wheelAngleForHue(int hueDegrees)
{
    return static_cast<double>(hueDegrees - 90) / 180.0 * std::numbers::pi;
}

CrosshairOrigin crosshairOrigin(double radians, double wheelWidth, double wheelHeight,
                                double crosshairSize)
{
    const double radius = wheelWidth / 2.0 - kCrosshairInset;
    return {std::cos(radians) * radius + wheelWidth / 2.0 - crosshairSize / 2.0,
            std::sin(radians) * radius + wheelHeight / 2.0 - crosshairSize / 2.0};
}

}  // namespace lightdeck::hue_wheel
