// The hue wheel panel, driven with mouse and touch events on the control
// screen; what counts is the frame the controlled virtual light received and
// where the crosshair stands.
#include <QLabel>
#include <QPoint>

#include <ostream>

#include <gtest/gtest.h>

#include "controls/ox_slider_view.h"
#include "panels/panel_test_support.h"
#include "panels/setting_controller.h"
#include "panels/view_hsi.h"
#include "support/log_capture.h"
#include "support/ui_test_support.h"

// Readable failures: "(162, 28)" rather than the bytes of a QPoint.
static void PrintTo(const QPoint& point, std::ostream* os) { *os << "(" << point.x() << ", " << point.y() << ")"; }

namespace lightdeck::testing {
namespace {

Bytes hueFrameOf(int brightness, int hue)
{
    return {0xAA, 0x02, static_cast<std::uint8_t>(brightness), 0x00, static_cast<std::uint8_t>(hue / 256),
            static_cast<std::uint8_t>(hue % 256), 0xBB};
}

class ViewHSITest : public ControlScreenTest {
protected:
    std::optional<ReportList> unshieldedList() const override { return ReportList::HSI; }

    void SetUp() override
    {
        ControlScreenTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        openScreen(1);
        m_panel = m_screen->viewHSI();
        m_wheel = m_panel->imageView();
        m_hueSlider = findByTag<OxSliderView>(m_panel, ViewHSI::kHueSliderTag);
        m_brightnessSlider = findByTag<OxSliderView>(m_panel, ViewHSI::kBrightnessSliderTag);
        ASSERT_NE(m_hueSlider, nullptr);
        ASSERT_NE(m_brightnessSlider, nullptr);
        // 390 wide: a 210 x 210 wheel, centre (105, 105), crosshair circle radius 95.
        ASSERT_EQ(m_wheel->size(), QSize(210, 210));
    }

    QString readout(const char* name) const
    {
        auto* label = m_panel->findChild<QLabel*>(QString::fromLatin1(name));
        return label ? label->text() : QStringLiteral("<missing>");
    }
    QPoint wheelCentre() const { return {m_wheel->width() / 2, m_wheel->height() / 2}; }
    // Top-left corner of the crosshair in the wheel.
    QPoint crosshair() const { return m_panel->imageViewSelecter()->pos(); }

    ViewHSI* m_panel = nullptr;
    QLabel* m_wheel = nullptr;
    OxSliderView* m_hueSlider = nullptr;
    OxSliderView* m_brightnessSlider = nullptr;
};

TEST_F(ViewHSITest, TapOnEmptySpaceOfAFreshPanelSendsHue180AtHalfBrightness)
{
    EXPECT_EQ(readout("labelHUEValue"), "180°");
    EXPECT_EQ(readout("labelBrightValue"), "50%");
    EXPECT_EQ(crosshair(), QPoint(95, 190)) << "straight below the centre";
    EXPECT_TRUE(waitForWrites(*m_light, 0)) << "opening sends nothing";

    click(m_panel, QPoint(40, 100));  // left of the wheel
    ASSERT_TRUE(waitForWrites(*m_light, 1));
    EXPECT_EQ(m_light->lastFrame(), (Bytes{0xAA, 0x02, 0x32, 0x00, 0x00, 0xB4, 0xBB}));
    EXPECT_EQ(crosshair(), QPoint(95, 190));

    // A tap on a label is a tap on the panel too.
    click(m_panel->findChild<QLabel*>("labelBrightValue"));
    ASSERT_TRUE(waitForWrites(*m_light, 2));
}

TEST_F(ViewHSITest, WheelDragsSendTheHueWhereTheyEnd)
{
    const struct {
        const char* where;
        QPoint offset;  // from the wheel's centre
        const char* logged;
        int hue;
        QPoint crosshair;
    } drags[] = {
        {"up and right at 45°", {50, -50}, "黄色", 45, {162, 28}},
        {"down and right at 45°", {50, 50}, "绿色", 135, {162, 162}},
        {"up and left at 45°", {-50, -50}, "紫色", 315, {28, 28}},
        {"straight below", {0, 60}, "青色", 180, {95, 190}},
        {"down and left at 45°", {-50, 50}, "蓝色", 225, {28, 162}},
    };
    std::size_t sent = 0;
    for (const auto& d : drags) {
        LogCapture log;
        const QPoint end = wheelCentre() + d.offset;
        drag(m_wheel, wheelCentre() + d.offset / 5, end);
        ++sent;
        ASSERT_TRUE(waitForWrites(*m_light, sent)) << d.where;
        EXPECT_EQ(m_light->lastFrame(), hueFrameOf(50, d.hue)) << d.where;
        EXPECT_EQ(readout("labelHUEValue"), QString::number(d.hue) + "°") << d.where;
        EXPECT_TRUE(log.contains(d.logged)) << d.where;
        EXPECT_TRUE(log.contains("发送的数据为：")) << d.where;
        EXPECT_EQ(crosshair(), d.crosshair) << d.where;
    }
}

TEST_F(ViewHSITest, NothingIsSentUntilTheWheelTouchEnds)
{
    press(m_wheel, wheelCentre() + QPoint(5, -5));
    moveTo(m_wheel, wheelCentre() + QPoint(30, -30));
    moveTo(m_wheel, wheelCentre() + QPoint(50, -50));
    EXPECT_EQ(readout("labelHUEValue"), "45°");
    EXPECT_EQ(crosshair(), QPoint(162, 28)) << "the crosshair follows the finger";
    EXPECT_TRUE(waitForWrites(*m_light, 0));
    release(m_wheel, wheelCentre() + QPoint(50, -50));
    ASSERT_TRUE(waitForWrites(*m_light, 1));
    EXPECT_EQ(m_light->lastFrame(), hueFrameOf(50, 45));
}

// A touch exactly level with the centre moves the crosshair to the touch
// like any other, on both sides.
TEST_F(ViewHSITest, ATouchLevelWithTheCentreMovesTheCrosshairThere)
{
    press(m_wheel, wheelCentre() + QPoint(10, 20));
    moveTo(m_wheel, wheelCentre() + QPoint(60, 0));
    EXPECT_EQ(readout("labelHUEValue"), "90°");
    EXPECT_EQ(crosshair(), QPoint(190, 95)) << "right of the centre";
    moveTo(m_wheel, wheelCentre() + QPoint(-60, 0));
    EXPECT_EQ(readout("labelHUEValue"), "270°");
    EXPECT_EQ(crosshair(), QPoint(0, 95)) << "left of the centre";
    release(m_wheel, wheelCentre() + QPoint(-60, 0));
    ASSERT_TRUE(waitForWrites(*m_light, 1));
    EXPECT_EQ(m_light->lastFrame(), hueFrameOf(50, 270)) << "270, not a hue past a full turn";
}

TEST_F(ViewHSITest, ATapOnTheWheelSendsTheCurrentHueWithoutMovingTheCrosshair)
{
    click(m_wheel, wheelCentre() + QPoint(60, -60));
    ASSERT_TRUE(waitForWrites(*m_light, 1));
    EXPECT_EQ(m_light->lastFrame(), hueFrameOf(50, 180));
    EXPECT_EQ(crosshair(), QPoint(95, 190));
}

TEST_F(ViewHSITest, HueSliderReleasedAtItsRightEndSends360AndPutsTheCrosshairOnTop)
{
    drag(m_hueSlider, centreOf(m_hueSlider), QPoint(m_hueSlider->width() - 2, 15));
    ASSERT_TRUE(waitForWrites(*m_light, 1)) << "the release sends once; the panel sees no second touch end";
    EXPECT_EQ(m_light->lastFrame(), (Bytes{0xAA, 0x02, 0x32, 0x00, 0x01, 0x68, 0xBB}));
    EXPECT_EQ(readout("labelHUEValue"), "360°");
    EXPECT_EQ(crosshair(), QPoint(95, 0));
}

TEST_F(ViewHSITest, BrightnessReleaseKeepsTheCrosshairAndSendsTheCurrentHue)
{
    drag(m_wheel, wheelCentre() + QPoint(10, 10), wheelCentre() + QPoint(50, 50));
    ASSERT_TRUE(waitForWrites(*m_light, 1));
    drag(m_brightnessSlider, centreOf(m_brightnessSlider), QPoint(m_brightnessSlider->width() - 2, 15));
    ASSERT_TRUE(waitForWrites(*m_light, 2));
    EXPECT_EQ(m_light->lastFrame(), hueFrameOf(100, 135));
    EXPECT_EQ(readout("labelBrightValue"), "100%");
    EXPECT_EQ(crosshair(), QPoint(162, 162));
}

TEST_F(ViewHSITest, ATapOnASliderSendsNothing)
{
    click(m_hueSlider, QPoint(20, 15));
    click(m_brightnessSlider, QPoint(m_brightnessSlider->width() - 20, 15));
    EXPECT_TRUE(waitForWrites(*m_light, 0));
    EXPECT_EQ(readout("labelHUEValue"), "180°");
}

TEST_F(ViewHSITest, TouchDragOnTheWheelSendsAndACancelledOneDoesNot)
{
    LogCapture log;
    touchDrag(m_wheel, wheelCentre() + QPoint(10, -10), wheelCentre() + QPoint(-50, -50), 8, /*cancel=*/true);
    EXPECT_TRUE(waitForWrites(*m_light, 0));
    EXPECT_TRUE(log.contains("取消"));

    touchDrag(m_wheel, wheelCentre() + QPoint(10, -10), wheelCentre() + QPoint(50, -50));
    ASSERT_TRUE(waitForWrites(*m_light, 1));
    EXPECT_EQ(m_light->lastFrame(), hueFrameOf(50, 45));

    // A touch tap on empty panel space ends like any touch.
    touchDrag(m_panel, QPoint(40, 100), QPoint(40, 100), 1);
    ASSERT_TRUE(waitForWrites(*m_light, 2));
    EXPECT_EQ(m_light->lastFrame(), hueFrameOf(50, 45));
}

// These store marker reports for the rest of the process.
using ViewHSIShieldTest = ControlScreenTest;

TEST_F(ViewHSIShieldTest, FFAtByte4GreysBothSlidersButTheWheelStillSends)
{
    ASSERT_TRUE(sendStoredReport(*m_light, {0xAA, 0x02, 0x00, 0x00, 0xFF, 0x00, 0xBB}));
    openScreen(1);
    ViewHSI* panel = m_screen->viewHSI();
    auto* hue = findByTag<OxSliderView>(panel, ViewHSI::kHueSliderTag);
    auto* brightness = findByTag<OxSliderView>(panel, ViewHSI::kBrightnessSliderTag);
    const QColor grey = QColor::fromRgbF(0.5f, 0.5f, 0.5f);
    for (OxSliderView* slider : {hue, brightness}) {
        EXPECT_FALSE(slider->isEnabled());
        EXPECT_EQ(slider->changeSliderBarColor(), grey);
    }
    EXPECT_EQ(hue->defaultSliderBarColors(), QList<QColor>(8, grey));
    EXPECT_EQ(brightness->defaultSliderBarColors(), QList<QColor>(2, grey));

    // A drag on a shielded slider is a touch on the panel: its end sends the
    // values as they were.
    drag(hue, centreOf(hue), QPoint(hue->width() - 2, 15));
    drag(brightness, centreOf(brightness), QPoint(2, 15));
    ASSERT_TRUE(waitForWrites(*m_light, 2));
    for (const Bytes& frame : m_light->writes())
        EXPECT_EQ(frame, hueFrameOf(50, 180));

    QLabel* wheel = panel->imageView();
    const QPoint centre(wheel->width() / 2, wheel->height() / 2);
    drag(wheel, centre + QPoint(10, -10), centre + QPoint(50, -50));
    ASSERT_TRUE(waitForWrites(*m_light, 3));
    EXPECT_EQ(m_light->lastFrame(), hueFrameOf(50, 45));
    EXPECT_DOUBLE_EQ(hue->value(), 0.125) << "the wheel still moves the shielded slider";
}

}  // namespace
}  // namespace lightdeck::testing
