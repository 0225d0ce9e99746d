#pragma once
// ViewCCT, the colour temperature panel: the first page of the control
// screen. Two sliders, colour temperature (3000 K to 6500 K in steps of
// 100 K) and brightness (0 to 100 %), with their read-outs. Letting go of
// either slider sends one colour temperature frame carrying both values to
// every light under control; nothing is sent while dragging.
//
// The panel always opens at 4700 K and 50 %, whatever the lights are doing.
// While it is built it scans the colour temperature reports stored so far: a
// marker FF at byte 2 shields the brightness slider, at byte 3 the
// temperature slider (greyed out, no drags).

#include <QRect>
#include <QWidget>

#include "controls/ox_slider_view_delegate.h"

class QLabel;

namespace lightdeck {

class OxSliderView;

class ViewCCT : public QWidget, public OxSliderViewDelegate {
    Q_OBJECT
public:
    // View tags of the two sliders.
    static constexpr int kTemperatureSliderTag = 10;
    static constexpr int kBrightnessSliderTag = 11;

    // Builds the whole panel at `frame` (in the parent's coordinates).
    explicit ViewCCT(const QRect& frame, QWidget* parent = nullptr);

    // Colour temperature in hundreds of kelvin (30 to 65; 47 once built).
    int cctValue() const { return m_cctValue; }
    // Brightness in percent (0 to 100; 50 once built).
    int brightValue() const { return m_brightValue; }

    OxSliderView* temperatureSlider() const { return m_temperatureSlider; }
    OxSliderView* brightnessSlider() const { return m_brightnessSlider; }

    // OxSliderViewDelegate
    void sliderViewValueChanged(OxSliderView* slider) override;
    void sliderViewStopSlip(OxSliderView* slider) override;

private:
    void createUI();
    void shieldUnsupportedSliders();

    int m_cctValue = 0;
    int m_brightValue = 0;
    QLabel* m_labelCCTKValue = nullptr;
    QLabel* m_labelLightValue = nullptr;
    OxSliderView* m_temperatureSlider = nullptr;
    OxSliderView* m_brightnessSlider = nullptr;
};

}  // namespace lightdeck
