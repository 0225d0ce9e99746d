#include "panels/view_hsi.h"

#include <QGuiApplication>
#include <QLabel>
#include <QList>
#include <QMouseEvent>
#include <QStyleHints>
#include <QTouchEvent>

#include <numbers>
#include <string>

#include "bluetooth/ox_blue_tooth.h"
#include "common/log.h"
#include "controls/ox_slider_view.h"
#include "panels/hue_wheel_math.h"
#include "panels/panel_widgets.h"
#include "protocol/command_frames.h"
#include "ui/touch_tracking.h"
#include "ui/view_tag.h"

namespace lightdeck {
namespace {

constexpr int kWheelX = 90;
constexpr int kWheelY = 10;
constexpr int kCrosshairSize = 20;
constexpr int kTitleX = 20;
constexpr int kTitleWidth = 80;
constexpr int kTitleHeight = 40;
constexpr int kSliderX = 14;
constexpr int kSliderHeight = 30;
constexpr double kTrackHeight = 5.0;

QList<QColor> hueColors()
{
    return {QColor::fromRgbF(1, 0, 0),   QColor::fromRgbF(1, 0.5, 0), QColor::fromRgbF(1, 1, 0),
            QColor::fromRgbF(0, 1, 0),   QColor::fromRgbF(0, 1, 1),   QColor::fromRgbF(0, 0, 1),
            QColor::fromRgbF(0.5, 0, 0.5), QColor::fromRgbF(1, 0, 0)};
}

}  // namespace

ViewHSI::ViewHSI(const QRect& frame, QWidget* parent)
    : QWidget(parent)
{
    setGeometry(frame);
    setAttribute(Qt::WA_AcceptTouchEvents);
    createUI();
}

void ViewHSI::createUI()
{
    const int panelWidth = width();
    const int wheelSide = qMax(panelWidth - 2 * kWheelX, 2 * kCrosshairSize);

    auto* wheel = new QLabel(this);
    wheel->setObjectName(QStringLiteral("imageView"));
    wheel->setGeometry(kWheelX, kWheelY, wheelSide, wheelSide);
    wheel->setPixmap(panel_widgets::cachedImage(QStringLiteral("color-picker-hue"), QSize(wheelSide, wheelSide)));
    wheel->setScaledContents(true);
    wheel->setAttribute(Qt::WA_AcceptTouchEvents);
    wheel->installEventFilter(this);
    m_imageView = wheel;

    // The crosshair lets touches through to the wheel, whose drag it follows.
    auto* crosshair = new QLabel(wheel);
    crosshair->setObjectName(QStringLiteral("imageViewSelecter"));
    crosshair->setPixmap(
        panel_widgets::cachedImage(QStringLiteral("color-picker-crosshair"), QSize(kCrosshairSize, kCrosshairSize)));
    crosshair->setGeometry(wheelSide / 2 - kCrosshairSize / 2, 20, kCrosshairSize, kCrosshairSize);
    crosshair->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_imageViewSelecter = crosshair;

    const QRect hueTitle(kTitleX, wheel->geometry().bottom() + 1 + 20, kTitleWidth, kTitleHeight);
    panel_widgets::createTitleLabel(this, hueTitle, QStringLiteral("色调"), QStringLiteral("HUE"))
        ->setObjectName(QStringLiteral("labelHUE"));
    m_labelHUEValue = panel_widgets::createReadoutLabel(this, panelWidth, hueTitle, QStringLiteral("0°"));
    m_labelHUEValue->setObjectName(QStringLiteral("labelHUEValue"));

    m_sliderViewHUE = new OxSliderView(
        QRect(kSliderX, hueTitle.bottom() + 1, panelWidth - 2 * kSliderX, kSliderHeight), this);
    setTag(m_sliderViewHUE, kHueSliderTag);
    m_sliderViewHUE->setDelegate(this);
    m_sliderViewHUE->setDefaultSliderBarSize(QSizeF(m_sliderViewHUE->width(), kTrackHeight));
    m_sliderViewHUE->setChangeSliderBarColor(Qt::transparent);
    m_sliderViewHUE->setDefaultSliderBarColors(hueColors());
    m_sliderViewHUE->setSliderInCenter(true);

    const QRect brightnessTitle(kTitleX, m_sliderViewHUE->geometry().bottom() + 1 + 10, kTitleWidth,
                                kTitleHeight);
    panel_widgets::createTitleLabel(this, brightnessTitle, QStringLiteral("亮度"), QStringLiteral("brightness"))
        ->setObjectName(QStringLiteral("labelBright"));
    m_labelBrightValue = panel_widgets::createReadoutLabel(this, panelWidth, brightnessTitle, QStringLiteral("0%"));
    m_labelBrightValue->setObjectName(QStringLiteral("labelBrightValue"));

    m_brightnessSlider = new OxSliderView(
        QRect(kSliderX, brightnessTitle.bottom() + 1, panelWidth - 2 * kSliderX, kSliderHeight), this);
    setTag(m_brightnessSlider, kBrightnessSliderTag);
    m_brightnessSlider->setDelegate(this);
    m_brightnessSlider->setDefaultSliderBarSize(QSizeF(m_brightnessSlider->width(), kTrackHeight));
    m_brightnessSlider->setChangeSliderBarColor(Qt::black);
    m_brightnessSlider->setDefaultSliderBarColors({Qt::black, Qt::white});
    m_brightnessSlider->setSliderInCenter(true);

    shieldUnsupportedSliders();

    // Hue 180 lies straight below the wheel's centre.
    positionHue(std::numbers::pi / 2.0);
}

void ViewHSI::shieldUnsupportedSliders()
{
    const OxBlueTooth& manager = OxBlueTooth::sharedInstance();
    // Both sliders answer to the same marker position.
    manager.shieldModulesFromData(ReportList::HSI, frame_byte::kHueHigh, [this](std::uint8_t marker) {
        if (marker == panel_widgets::kShieldMarker)
            panel_widgets::shieldSlider(m_sliderViewHUE, static_cast<int>(hueColors().size()));
    });
    manager.shieldModulesFromData(ReportList::HSI, frame_byte::kHueHigh, [this](std::uint8_t marker) {
        if (marker == panel_widgets::kShieldMarker)
            panel_widgets::shieldSlider(m_brightnessSlider, 2);
    });
}

void ViewHSI::huePanOrTap(PanState state, QPointF position)
{
    if (state == PanState::Cancelled || state == PanState::Failed) {
        log::info("取消");
        return;
    }
    if (!m_imageView)
        return;
    const float dx = static_cast<float>(position.x() - m_imageView->width() / 2.0);
    const float dy = static_cast<float>(position.y() - m_imageView->height() / 2.0);
    const float angle = hue_wheel::wheelAngleRadians(dx, dy);
    const double degrees = hue_wheel::wheelAngleDegrees(angle);
    getColorWithDegree(degrees);
    m_sliderViewHUE->setDegrees(hue_wheel::sliderDegreesForWheelAngle(degrees));
    // The crosshair follows the finger everywhere, also exactly level with
    // the centre (where the angle is 0 or 180 like any other).
    positionHue(angle);
    sliderViewValueChanged(m_sliderViewHUE);
}

void ViewHSI::positionHue(double radians)
{
    if (!m_imageView || !m_imageViewSelecter)
        return;
    const auto origin = hue_wheel::crosshairOrigin(radians, m_imageView->width(), m_imageView->height(),
                                                   m_imageViewSelecter->width());
    m_imageViewSelecter->move(qRound(origin.x), qRound(origin.y));
}

void ViewHSI::getColorWithDegree(double degrees)
{
    if (const auto name = hue_wheel::colourNameForWheelAngle(degrees))
        log::info(*name);
}

void ViewHSI::touchesEnded() { sliderViewStopSlip(m_sliderViewHUE); }

void ViewHSI::sliderViewValueChanged(OxSliderView* slider)
{
    switch (tag(slider)) {
    case kBrightnessSliderTag:
        m_brightValue = brightnessPercent(slider->value());
        if (m_labelBrightValue)
            m_labelBrightValue->setText(QStringLiteral("%1%").arg(m_brightValue));
        break;
    case kHueSliderTag:
        m_hueValue = hue_wheel::hueDegrees(slider->value());
        if (m_labelHUEValue)
            m_labelHUEValue->setText(QStringLiteral("%1°").arg(m_hueValue));
        break;
    default:
        break;
    }
}

void ViewHSI::sliderViewStopSlip(OxSliderView* slider)
{
    if (slider == m_sliderViewHUE)
        positionHue(hue_wheel::wheelAngleForHue(m_hueValue));
    CommandFrame& frame = hueFrame();
    setHueParameters(frame, m_brightValue, m_cntValue, m_hueValue);
    const Bytes bytes = frame.bytes();
    log::info("发送的数据为：" + OxBlueTooth::convertDataToHexStr(bytes));
    OxBlueTooth::sharedInstance().writeDataWithData(bytes);
}

// Touches --------------------------------------------------------------------

void ViewHSI::touchBegan(bool onWheel, QPointF position)
{
    m_touching = true;
    m_touchOnWheel = onWheel;
    m_panning = false;
    m_pressPosition = position;
}

void ViewHSI::touchMoved(QPointF position)
{
    if (!m_touching || !m_touchOnWheel)
        return;
    if (!m_panning) {
        const int threshold = QGuiApplication::styleHints()->startDragDistance();
        if ((position - m_pressPosition).manhattanLength() < threshold)
            return;
        m_panning = true;
        huePanOrTap(PanState::Began, position);
        return;
    }
    huePanOrTap(PanState::Changed, position);
}

void ViewHSI::touchEndedAt(QPointF position)
{
    if (!m_touching)
        return;
    const bool panning = m_panning;
    m_touching = false;
    m_panning = false;
    m_touchId = -1;
    if (panning)
        huePanOrTap(PanState::Ended, position);
    touchesEnded();
}

void ViewHSI::touchCancelled()
{
    if (!m_touching)
        return;
    const bool panning = m_panning;
    m_touching = false;
    m_panning = false;
    m_touchId = -1;
    if (panning)
        huePanOrTap(PanState::Cancelled, m_pressPosition);
}

bool ViewHSI::handleTouchEvent(QEvent* event, bool onWheel)
{
    if (event->type() == QEvent::TouchCancel) {
        touchCancelled();
        event->accept();
        return true;
    }
    const QEventPoint* point = trackedTouchPoint(event, m_touchId);
    if (!point) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::TouchBegin) {
        touchBegan(onWheel, point->position());
        m_touchId = point->id();
    } else if (point->state() == QEventPoint::Released || event->type() == QEvent::TouchEnd) {
        touchEndedAt(point->position());
    } else {
        touchMoved(point->position());
    }
    event->accept();
    return true;
}

bool ViewHSI::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        return handleTouchEvent(event, false);
    default:
        return QWidget::event(event);
    }
}

void ViewHSI::mousePressEvent(QMouseEvent* event)
{
    // Accepted so that the release comes back here: the end of a tap on
    // empty panel space sends like the end of any other touch.
    if (event->button() == Qt::LeftButton)
        touchBegan(false, event->position());
    event->accept();
}

void ViewHSI::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        touchEndedAt(event->position());
    event->accept();
}

bool ViewHSI::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_imageView)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        return handleTouchEvent(event, true);
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {  // the second of two quick taps; a drag may follow
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            touchBegan(true, mouse->position());
        return true;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->buttons() & Qt::LeftButton)
            touchMoved(mouse->position());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            touchEndedAt(mouse->position());
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

}  // namespace lightdeck
