#pragma once
// ViewHSI, the hue wheel panel: the second page of the control screen. The
// user picks a hue by dragging on a colour wheel or with the hue slider
// beneath it, and the brightness with a second slider. The end of any touch
// on the panel (a drag on the wheel, a tap on the wheel or on empty panel
// space) and the release of a slider send one hue frame with hue and
// brightness to every light under control. The wheel and the hue slider
// stay in step: dragging on the wheel moves the slider, releasing the
// slider (or ending a touch) puts the wheel's crosshair at the chosen hue.
//
// Hue is in degrees, 0 at the top of the wheel growing clockwise (0..360);
// brightness in percent. The panel always opens at hue 180 and 50 %.
// While it is built it scans the stored hue reports: a marker FF at byte 4
// shields both sliders (the wheel keeps working).
//
// Input: mouse, and single-finger touch (the first touch point; further
// fingers are ignored). A wheel drag starts once the press has moved more
// than the platform's drag distance; a cancelled touch sends nothing.

#include <QPointF>
#include <QRect>
#include <QWidget>

#include "controls/ox_slider_view_delegate.h"

class QLabel;

namespace lightdeck {

class OxSliderView;

class ViewHSI : public QWidget, public OxSliderViewDelegate {
    Q_OBJECT
public:
    static constexpr int kHueSliderTag = 100;
    static constexpr int kBrightnessSliderTag = 102;

    // The phases of a drag on the wheel.
    enum class PanState { Began, Changed, Ended, Cancelled, Failed };

    // Builds the whole panel at `frame` (in the parent's coordinates).
    explicit ViewHSI(const QRect& frame, QWidget* parent = nullptr);

    // Hue in degrees, 0..360 (180 once built).
    int hueValue() const { return m_hueValue; }
    // Brightness in percent, 0..100 (50 once built).
    int brightValue() const { return m_brightValue; }
    // Byte 3 of the hue frame; no control changes it.
    int cntValue() const { return m_cntValue; }

    QLabel* imageView() const { return m_imageView; }
    QLabel* imageViewSelecter() const { return m_imageViewSelecter; }
    OxSliderView* sliderViewHUE() const { return m_sliderViewHUE; }
    OxSliderView* brightnessSlider() const { return m_brightnessSlider; }

    // One step of a drag on the wheel, `position` in the wheel's pixels.
    void huePanOrTap(PanState state, QPointF position);
    // Puts the crosshair at a wheel angle (radians, 0 to the right of the
    // centre, pi/2 below it) on its circle 10 px inside the rim.
    void positionHue(double radians);
    // Logs the colour name of the wheel sector at an angle in degrees.
    void getColorWithDegree(double degrees);
    // The end of a touch on the panel: what releasing the hue slider does.
    void touchesEnded();

    // OxSliderViewDelegate
    void sliderViewValueChanged(OxSliderView* slider) override;
    void sliderViewStopSlip(OxSliderView* slider) override;

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createUI();
    void shieldUnsupportedSliders();
    // Touch handling shared by the mouse and the first touch point; the
    // positions are in the wheel's pixels when `onWheel`.
    void touchBegan(bool onWheel, QPointF position);
    void touchMoved(QPointF position);
    void touchEndedAt(QPointF position);
    void touchCancelled();
    bool handleTouchEvent(QEvent* event, bool onWheel);

    int m_hueValue = 0;
    int m_brightValue = 0;
    int m_cntValue = 0;

    QLabel* m_imageView = nullptr;
    QLabel* m_imageViewSelecter = nullptr;
    QLabel* m_labelHUEValue = nullptr;
    QLabel* m_labelBrightValue = nullptr;
    OxSliderView* m_sliderViewHUE = nullptr;
    OxSliderView* m_brightnessSlider = nullptr;

    // The touch being tracked (mouse or first finger).
    bool m_touching = false;
    bool m_touchOnWheel = false;
    bool m_panning = false;
    int m_touchId = -1;  // -1: the mouse
    QPointF m_pressPosition;
};

}  // namespace lightdeck
