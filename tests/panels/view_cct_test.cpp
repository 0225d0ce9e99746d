// The colour temperature panel, driven with mouse events on the control
// screen; what counts is the frame the controlled virtual light received.
#include <QLabel>

#include <gtest/gtest.h>

#include "bluetooth/ox_blue_tooth.h"
#include "controls/ox_slider_view.h"
#include "panels/panel_test_support.h"
#include "panels/setting_controller.h"
#include "panels/view_cct.h"
#include "support/ui_test_support.h"

namespace lightdeck::testing {
namespace {

QString readout(ViewCCT* panel, const char* name)
{
    auto* label = panel->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

// The slider's vertical middle at horizontal position x.
QPoint at(const QWidget* slider, int x) { return {x, slider->height() / 2}; }

class ViewCCTTest : public ControlScreenTest {
protected:
    std::optional<ReportList> unshieldedList() const override { return ReportList::CCT; }

    void SetUp() override
    {
        ControlScreenTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        openScreen(0);
        m_panel = m_screen->viewCCT();
        m_temperature = findByTag<OxSliderView>(m_panel, ViewCCT::kTemperatureSliderTag);
        m_brightness = findByTag<OxSliderView>(m_panel, ViewCCT::kBrightnessSliderTag);
        ASSERT_NE(m_temperature, nullptr);
        ASSERT_NE(m_brightness, nullptr);
    }

    ViewCCT* m_panel = nullptr;
    OxSliderView* m_temperature = nullptr;
    OxSliderView* m_brightness = nullptr;
};

TEST_F(ViewCCTTest, OpensAt4700KAndHalfBrightnessWithoutSending)
{
    EXPECT_EQ(readout(m_panel, "labelCCTKValue"), "4700k");
    EXPECT_EQ(readout(m_panel, "labelLightValue"), "50%");
    EXPECT_TRUE(waitForWrites(*m_light, 0));
}

TEST_F(ViewCCTTest, FirstBrightnessDragToTheRightEndSendsFullBrightnessAtTheStartTemperature)
{
    drag(m_brightness, centreOf(m_brightness), at(m_brightness, m_brightness->width() - 2));
    ASSERT_TRUE(waitForWrites(*m_light, 1)) << "one frame, on release only";
    EXPECT_EQ(m_light->lastFrame(), (Bytes{0xAA, 0x01, 0x64, 0x2F, 0x00, 0x00, 0xBB}));
    EXPECT_EQ(readout(m_panel, "labelLightValue"), "100%");
    EXPECT_EQ(readout(m_panel, "labelCCTKValue"), "4700k");
}

TEST_F(ViewCCTTest, NothingIsSentWhileDragging)
{
    press(m_temperature, centreOf(m_temperature));
    moveTo(m_temperature, at(m_temperature, 60));
    moveTo(m_temperature, at(m_temperature, 30));
    EXPECT_TRUE(waitForWrites(*m_light, 0));
    EXPECT_EQ(readout(m_panel, "labelCCTKValue"), "3100k");  // (30 - 15) / 300 of the way: 3175 K
    release(m_temperature, at(m_temperature, 30));
    ASSERT_TRUE(waitForWrites(*m_light, 1));
    EXPECT_EQ(m_light->lastFrame(), (Bytes{0xAA, 0x01, 0x32, 0x1F, 0x00, 0x00, 0xBB}));
}

// Each release sends both values: the one just set and the other as it is.
TEST_F(ViewCCTTest, EndsOfBothSlidersAndTheStepJustShortOfTheTop)
{
    const int w = m_temperature->width();  // 330: travel 300
    const struct {
        const char* what;
        bool temperature;
        int x;
        QString readout;
        Bytes frame;
    } steps[] = {
        {"temperature left end", true, 2, "3000k", {0xAA, 0x01, 0x32, 0x1E, 0x00, 0x00, 0xBB}},
        {"temperature right end", true, w - 2, "6500k", {0xAA, 0x01, 0x32, 0x41, 0x00, 0x00, 0xBB}},
        // One pixel short of the pinned end: 6489 K, still the 6400 step.
        {"temperature just short", true, w - 16, "6400k", {0xAA, 0x01, 0x32, 0x40, 0x00, 0x00, 0xBB}},
        {"a quarter of the travel", true, 15 + 75, "3800k", {0xAA, 0x01, 0x32, 0x26, 0x00, 0x00, 0xBB}},
        {"brightness left end", false, 2, "0%", {0xAA, 0x01, 0x00, 0x26, 0x00, 0x00, 0xBB}},
        {"brightness right end", false, w - 2, "100%", {0xAA, 0x01, 0x64, 0x26, 0x00, 0x00, 0xBB}},
        {"brightness a quarter", false, 15 + 75, "25%", {0xAA, 0x01, 0x19, 0x26, 0x00, 0x00, 0xBB}},
    };
    std::size_t sent = 0;
    for (const auto& step : steps) {
        OxSliderView* slider = step.temperature ? m_temperature : m_brightness;
        drag(slider, centreOf(slider), at(slider, step.x));
        ++sent;
        ASSERT_TRUE(waitForWrites(*m_light, sent)) << step.what;
        EXPECT_EQ(m_light->lastFrame(), step.frame) << step.what;
        EXPECT_EQ(readout(m_panel, step.temperature ? "labelCCTKValue" : "labelLightValue"), step.readout)
            << step.what;
    }
}

TEST_F(ViewCCTTest, ATapOnASliderSendsNothing)
{
    click(m_brightness, at(m_brightness, m_brightness->width() - 5));
    click(m_temperature, at(m_temperature, 5));
    click(m_temperature);
    EXPECT_TRUE(waitForWrites(*m_light, 0));
    EXPECT_EQ(readout(m_panel, "labelCCTKValue"), "4700k");
    EXPECT_EQ(readout(m_panel, "labelLightValue"), "50%");
}

TEST_F(ViewCCTTest, TapsOnEmptyPanelSpaceSendNothing)
{
    click(m_panel, QPoint(200, 40));
    click(m_panel, QPoint(200, m_panel->height() - 20));
    EXPECT_TRUE(waitForWrites(*m_light, 0));
}

// A light that reports an unknown marker (F5) at the temperature position
// keeps both sliders: only FF shields.
TEST_F(ViewCCTTest, AnotherMarkerThanFFShieldsNothing)
{
    closeScreen();
    ASSERT_TRUE(sendStoredReport(*m_light, {0xAA, 0x01, 0x32, 0xF5, 0x00, 0x00, 0xBB}));
    ASSERT_TRUE(sendStoredReport(*m_light, {0xAA, 0x01, 0xF1, 0xFE, 0x00, 0x00, 0xBB}));
    openScreen(0);
    auto* temperature = findByTag<OxSliderView>(m_screen->viewCCT(), ViewCCT::kTemperatureSliderTag);
    auto* brightness = findByTag<OxSliderView>(m_screen->viewCCT(), ViewCCT::kBrightnessSliderTag);
    EXPECT_TRUE(temperature->isEnabled());
    EXPECT_TRUE(brightness->isEnabled());
    drag(temperature, centreOf(temperature), at(temperature, temperature->width() - 2));
    ASSERT_TRUE(waitForWrites(*m_light, 1));
    EXPECT_EQ(m_light->lastFrame(), (Bytes{0xAA, 0x01, 0x32, 0x41, 0x00, 0x00, 0xBB}));
}

// A panel narrower than its sliders' thumbs (sliders of zero or negative
// travel) still reports values inside the ranges and sends a sound frame.
TEST_F(ViewCCTTest, NarrowPanelSlidersStayInRange)
{
    ViewCCT panel(QRect(0, 0, 80, 400));
    auto* brightness = findByTag<OxSliderView>(&panel, ViewCCT::kBrightnessSliderTag);
    ASSERT_NE(brightness, nullptr);
    ASSERT_TRUE(showWindow(&panel));
    // 18 px each way: both become drags.
    drag(brightness, QPoint(1, 11), QPoint(19, 11), 4);
    drag(brightness, QPoint(19, 11), QPoint(1, 11), 4);
    ASSERT_TRUE(waitForWrites(*m_light, 2));
    for (const Bytes& frame : m_light->writes()) {
        ASSERT_EQ(frame.size(), 7u);
        EXPECT_EQ(frame[2], 0);  // never the full scale a division by a negative travel gives
        EXPECT_EQ(frame[3], 47);
    }
    // The thumb's only position is the left end.
    EXPECT_EQ(readout(&panel, "labelLightValue"), "0%");
}

// These store marker reports for the rest of the process.
using ViewCCTShieldTest = ControlScreenTest;

// Stored before the screen opens: FF at byte 3 (temperature), 32 at byte 2.
TEST_F(ViewCCTShieldTest, FFAtTheTemperaturePositionShieldsTheTemperatureSliderOnly)
{
    ASSERT_TRUE(sendStoredReport(*m_light, {0xAA, 0x01, 0x32, 0xFF, 0x00, 0x00, 0xBB}));
    openScreen(0);
    ViewCCT* panel = m_screen->viewCCT();
    auto* temperature = findByTag<OxSliderView>(panel, ViewCCT::kTemperatureSliderTag);
    auto* brightness = findByTag<OxSliderView>(panel, ViewCCT::kBrightnessSliderTag);

    EXPECT_FALSE(temperature->isEnabled());
    EXPECT_EQ(temperature->changeSliderBarColor(), QColor::fromRgbF(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(temperature->defaultSliderBarColors(), QList<QColor>(2, QColor::fromRgbF(0.5f, 0.5f, 0.5f)));
    EXPECT_TRUE(brightness->isEnabled());
    EXPECT_EQ(brightness->changeSliderBarColor(), QColor(Qt::transparent));

    drag(temperature, centreOf(temperature), at(temperature, 2));
    EXPECT_TRUE(waitForWrites(*m_light, 0));
    EXPECT_EQ(readout(panel, "labelCCTKValue"), "4700k");

    // The brightness still sends, with the temperature at its start.
    drag(brightness, centreOf(brightness), at(brightness, brightness->width() - 2));
    ASSERT_TRUE(waitForWrites(*m_light, 1));
    EXPECT_EQ(m_light->lastFrame(), (Bytes{0xAA, 0x01, 0x64, 0x2F, 0x00, 0x00, 0xBB}));
}

// A light without brightness control reports FF at byte 2: the brightness
// slider is shielded.
TEST_F(ViewCCTShieldTest, FFAtTheBrightnessPositionShieldsTheBrightnessSlider)
{
    ASSERT_TRUE(sendStoredReport(*m_light, {0xAA, 0x01, 0xFF, 0x00, 0x00, 0x00, 0xBB}));
    openScreen(0);
    ViewCCT* panel = m_screen->viewCCT();
    auto* brightness = findByTag<OxSliderView>(panel, ViewCCT::kBrightnessSliderTag);
    EXPECT_FALSE(brightness->isEnabled());
    drag(brightness, centreOf(brightness), at(brightness, 2));
    EXPECT_TRUE(waitForWrites(*m_light, 0));
    EXPECT_EQ(readout(panel, "labelLightValue"), "50%");
}

}  // namespace
}  // namespace lightdeck::testing
