#include "controls/slider_geometry.h"

#include <algorithm>

namespace lightdeck {

void SliderGeometry::setWidth(float width)
{
    m_width = width;
    m_travel = width - kThumbSize;
}

SliderGeometry::DragStep SliderGeometry::drag(float x, float oldPointX, double oldValue) const
{
    // Strictly inside: a finger that has left the control sideways leaves the
    // thumb where it was.
    if (!(x > 0.0f && x < m_width))
        return {false, oldPointX, oldValue};

    float pointX = x;
    if (x - kHalfThumb <= 0.0f)
        pointX = kHalfThumb;
    if (x + kHalfThumb >= m_width)
        pointX = m_width - kHalfThumb;

    // A control no wider than its thumb has nowhere to go: its value stays 0
    // rather than dividing by a travel of zero or less.
    double value = 0.0;
    if (hasTravel()) {
        value = (static_cast<double>(pointX) - static_cast<double>(kHalfThumb))
                / static_cast<double>(m_travel);
        value = std::clamp(value, 0.0, 1.0);
    }
    return {true, pointX, value};
}

float SliderGeometry::centreForValue(double value) const
{
    return kHalfThumb + static_cast<float>(value * static_cast<double>(std::max(m_travel, 0.0f)));
}

float SliderGeometry::centreForDegrees(float degrees) const
{
    return m_width * degrees / 360.0f;
}

double SliderGeometry::valueForDegrees(float degrees)
{
    // d / 360 directly: the same as centre / W, without the rounding of the
    // intermediate centre (an angle of 45 must read back as exactly 45).
    return static_cast<double>(degrees) / 360.0;
}

}  // namespace lightdeck
