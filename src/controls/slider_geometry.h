#pragma once
// The arithmetic of OxSliderView, free of Qt so it can be tested and reused
// without a display.
//
// Units: pixels in the control's own coordinates (origin top left), W the
// control's width. The thumb is 30 wide; its centre runs from 15 to W - 15
// while dragging, and a drag reports the value (centre - 15) / travel with
// travel = W - 30, so 0 at the left end and 1 at the right end.
// Placing by angle maps differently: degrees d puts the centre at W * d / 360
// (no clamping) and the value d / 360; both agree only in the middle.

namespace lightdeck {

class SliderGeometry {
public:
    static constexpr float kThumbSize = 30.0f;
    static constexpr float kHalfThumb = kThumbSize / 2.0f;

    // The outcome of one drag callback.
    struct DragStep {
        // False when x was not strictly inside (0, W): nothing moves and the
        // value keeps its old number.
        bool moved = false;
        // Thumb centre after clamping (the old centre when !moved).
        float pointX = 0.0f;
        double value = 0.0;
    };

    explicit SliderGeometry(float width = 0.0f) { setWidth(width); }

    // Sets W; the travel becomes W - 30.
    void setWidth(float width);
    float width() const { return m_width; }
    // W - 30; zero or less for a control no wider than its thumb.
    float travel() const { return m_travel; }
    bool hasTravel() const { return m_travel > 0.0f; }

    // One drag callback with the touch at x (the vertical position plays no
    // part). Inside (0, W) the centre follows x, pinned to 15 when x - 15 <= 0
    // and to W - 15 when x + 15 >= W (both tests on the raw x, the right one
    // last). The value is (centre - 15) / travel, kept within 0..1; with no
    // travel it is 0, the only position the thumb has.
    DragStep drag(float x, float oldPointX, double oldValue) const;

    // Thumb centre for a drag value v: 15 + v * travel.
    float centreForValue(double value) const;

    // Thumb centre and value for an angle in degrees (0..360 spans the whole
    // width; angles outside are not clamped).
    float centreForDegrees(float degrees) const;
    static double valueForDegrees(float degrees);

    // The middle: centre W / 2, value 0.5.
    float centreForMiddle() const { return m_width / 2.0f; }

private:
    float m_width = 0.0f;
    float m_travel = -kThumbSize;
};

}  // namespace lightdeck
