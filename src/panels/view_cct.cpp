#include "panels/view_cct.h"

#include <QLabel>
#include <QList>

#include "bluetooth/ox_blue_tooth.h"
#include "controls/ox_slider_view.h"
#include "panels/panel_widgets.h"
#include "protocol/command_frames.h"
#include "ui/view_tag.h"

namespace lightdeck {
namespace {

constexpr int kTitleX = 20;
constexpr int kTitleWidth = 80;
constexpr int kTitleHeight = 50;
constexpr int kSliderX = 30;
constexpr int kSliderHeight = 22;

// Sits `slider` in the panel's style; the caller has set its delegate and
// tag, so centring reports 0.5 at once and the read-out shows the start.
void styleSlider(OxSliderView* slider, const QList<QColor>& colors)
{
    slider->setSliderInCenter(true);
    slider->setChangeSliderBarColor(Qt::transparent);
    slider->setIsCornerRadius(true);
    slider->setDefaultSliderBarColors(colors);
}

}  // namespace

ViewCCT::ViewCCT(const QRect& frame, QWidget* parent)
    : QWidget(parent)
{
    setGeometry(frame);
    createUI();
}

void ViewCCT::createUI()
{
    m_cctValue = 0;
    m_brightValue = 0;
    // The panel is one screen wide; the sliders span it less 30 px a side.
    const int panelWidth = width();

    const QRect temperatureTitle(kTitleX, 100, kTitleWidth, kTitleHeight);
    panel_widgets::createTitleLabel(this, temperatureTitle, QStringLiteral("色温"), QStringLiteral("CCT-K"));
    m_labelCCTKValue = panel_widgets::createReadoutLabel(this, panelWidth, temperatureTitle, QStringLiteral("3000k"));
    m_labelCCTKValue->setObjectName(QStringLiteral("labelCCTKValue"));

    m_temperatureSlider = new OxSliderView(
        QRect(kSliderX, temperatureTitle.bottom() + 1 + 10, panelWidth - 2 * kSliderX, kSliderHeight), this);
    m_temperatureSlider->setMinValue(3000);
    m_temperatureSlider->setMaxValue(6500);
    m_temperatureSlider->setDelegate(this);
    setTag(m_temperatureSlider, kTemperatureSliderTag);
    styleSlider(m_temperatureSlider, {Qt::yellow, Qt::white});

    const QRect brightnessTitle(kTitleX, m_temperatureSlider->geometry().bottom() + 1 + 30, kTitleWidth,
                                kTitleHeight);
    panel_widgets::createTitleLabel(this, brightnessTitle, QStringLiteral("亮度"), QStringLiteral("brightness"));
    m_labelLightValue = panel_widgets::createReadoutLabel(this, panelWidth, brightnessTitle, QStringLiteral("0%"));
    m_labelLightValue->setObjectName(QStringLiteral("labelLightValue"));

    m_brightnessSlider = new OxSliderView(
        QRect(kSliderX, brightnessTitle.bottom() + 1 + 10, panelWidth - 2 * kSliderX, kSliderHeight), this);
    m_brightnessSlider->setMinValue(0);
    m_brightnessSlider->setMaxValue(100);
    m_brightnessSlider->setDelegate(this);
    setTag(m_brightnessSlider, kBrightnessSliderTag);
    styleSlider(m_brightnessSlider, {Qt::black, Qt::white});

    shieldUnsupportedSliders();
}

void ViewCCT::shieldUnsupportedSliders()
{
    const OxBlueTooth& manager = OxBlueTooth::sharedInstance();
    manager.shieldModulesFromData(ReportList::CCT, frame_byte::kBrightness, [this](std::uint8_t marker) {
        if (marker == panel_widgets::kShieldMarker)
            panel_widgets::shieldSlider(m_brightnessSlider, 2);
    });
    manager.shieldModulesFromData(ReportList::CCT, frame_byte::kColourTemperature, [this](std::uint8_t marker) {
        if (marker == panel_widgets::kShieldMarker)
            panel_widgets::shieldSlider(m_temperatureSlider, 2);
    });
}

void ViewCCT::sliderViewValueChanged(OxSliderView* slider)
{
    switch (tag(slider)) {
    case kBrightnessSliderTag:
        m_brightValue = brightnessPercent(slider->value());
        if (m_labelLightValue)
            m_labelLightValue->setText(QStringLiteral("%1%").arg(m_brightValue));
        break;
    case kTemperatureSliderTag:
        m_cctValue = colourTemperatureHundreds(slider->value());
        if (m_labelCCTKValue)
            m_labelCCTKValue->setText(QStringLiteral("%1k").arg(m_cctValue * 100));
        break;
    default:
        break;
    }
}

void ViewCCT::sliderViewStopSlip(OxSliderView* slider)
{
    (void)slider;  // either slider sends both values
    CommandFrame& frame = colourTemperatureFrame();
    frame.setParameter(frame_byte::kBrightness, static_cast<std::uint8_t>(m_brightValue));
    frame.setParameter(frame_byte::kColourTemperature, static_cast<std::uint8_t>(m_cctValue));
    OxBlueTooth::sharedInstance().writeDataWithData(frame.bytes());
}

}  // namespace lightdeck
