// ViewSET against virtual lights: the frame of each colour, the chosen
// button's look, the layout of the column, and the colours a light's
// markers grey out.

#include <gtest/gtest.h>

#include <QAbstractButton>

#include <memory>
#include <string>
#include <vector>

#include "bluetooth/ox_blue_tooth.h"
#include "panels/panel_test_fixture.h"
#include "panels/view_set.h"
#include "support/ui_test_support.h"

namespace lightdeck {
namespace {

using Frames = std::vector<std::string>;
using testing::addLightUnderControl;
using testing::framesOf;
using testing::waitForLights;

const QSize kPanelSize(390, ViewSET::kPanelHeight);

std::unique_ptr<ViewSET> shownPanel(QSize size = kPanelSize)
{
    auto panel = std::make_unique<ViewSET>(QRect(QPoint(0, 0), size));
    EXPECT_TRUE(testing::showWindow(panel.get(), size));
    return panel;
}

QAbstractButton* colourButton(ViewSET& panel, int tag) { return testing::findByTag<QAbstractButton>(&panel, tag); }

void tapColour(ViewSET& panel, int tag)
{
    QAbstractButton* button = colourButton(panel, tag);
    ASSERT_TRUE(button) << "no colour button " << tag;
    testing::click(button);
    waitForLights();
}

// Whether the light symbol is drawn on the button: its centre no longer
// shows the button's plain colour.
bool showsLightSymbol(QAbstractButton* button, const QColor& plain)
{
    const QImage pixels = testing::grabImage(button);
    for (int x = pixels.width() / 2 - 8; x <= pixels.width() / 2 + 8; ++x)
        for (int y = 8; y < pixels.height() - 8; ++y)
            if (pixels.pixelColor(x, y) != plain)
                return true;
    return false;
}

QColor faceColour(QAbstractButton* button)
{
    const QImage pixels = testing::grabImage(button);
    return pixels.pixelColor(30, pixels.height() / 2);
}

struct ColourCase {
    int tag;
    const char* frame;
};

class ViewSETTest : public testing::PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        light = &addLight();
    }

    VirtualLight* light = nullptr;
};

class ViewSETColourTest : public ViewSETTest, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(ViewSETColourTest, EachColourSendsItsNumberAtBrightnessZero)
{
    auto panel = shownPanel();
    tapColour(*panel, GetParam().tag);
    EXPECT_EQ(framesOf(*light), Frames{GetParam().frame});
    EXPECT_EQ(panel->colorStr(), QStringLiteral("0%1").arg(GetParam().tag - 9));
}

INSTANTIATE_TEST_SUITE_P(Colours, ViewSETColourTest,
                         ::testing::Values(ColourCase{10, "AA 04 00 01 00 00 BB"}, ColourCase{11, "AA 04 00 02 00 00 BB"},
                                           ColourCase{12, "AA 04 00 03 00 00 BB"}, ColourCase{13, "AA 04 00 04 00 00 BB"},
                                           ColourCase{14, "AA 04 00 05 00 00 BB"}, ColourCase{15, "AA 04 00 06 00 00 BB"},
                                           ColourCase{16, "AA 04 00 07 00 00 BB"}),
                         [](const auto& info) { return "Tag" + std::to_string(info.param.tag); });

TEST_F(ViewSETTest, OnlyTheChosenButtonIsSelectedAndShowsTheLight)
{
    auto panel = shownPanel();
    const QList<QColor> colours = ViewSET::arrayColors();
    for (int tag = 10; tag <= 16; ++tag) {
        EXPECT_FALSE(colourButton(*panel, tag)->isChecked()) << tag;
        EXPECT_FALSE(showsLightSymbol(colourButton(*panel, tag), colours[tag - 10])) << tag;
    }

    // The chosen button tapped again sends again and stays chosen.
    for (int chosen : {10, 16, 16, 13}) {
        tapColour(*panel, chosen);
        for (int tag = 10; tag <= 16; ++tag) {
            EXPECT_EQ(colourButton(*panel, tag)->isChecked(), tag == chosen) << "chose " << chosen << ", " << tag;
            EXPECT_EQ(showsLightSymbol(colourButton(*panel, tag), colours[tag - 10]), tag == chosen)
                << "chose " << chosen << ", " << tag;
        }
    }
    EXPECT_EQ(framesOf(*light), (Frames{"AA 04 00 01 00 00 BB", "AA 04 00 07 00 00 BB", "AA 04 00 07 00 00 BB",
                                        "AA 04 00 04 00 00 BB"}));
}

TEST_F(ViewSETTest, SevenRoundedRowsFiftyInFromEitherSide)
{
    for (int width : {390, 320}) {
        auto panel = shownPanel({width, ViewSET::kPanelHeight});
        const QList<QColor> colours = ViewSET::arrayColors();
        for (int i = 0; i < 7; ++i) {
            QAbstractButton* button = colourButton(*panel, 10 + i);
            EXPECT_EQ(button->geometry(), QRect(50, 42 * i, width - 100, 34)) << "row " << i;
            EXPECT_EQ(faceColour(button), colours[i]) << "row " << i;
            // Corner radius 17: the corner pixel shows the panel, the middle
            // of the rounded end the colour.
            const QImage page = testing::grabImage(panel.get());
            EXPECT_NE(page.pixelColor(50, 42 * i), colours[i]) << "row " << i;
            EXPECT_EQ(page.pixelColor(50 + 17, 42 * i + 17), colours[i]) << "row " << i;
        }
        EXPECT_EQ(colourButton(*panel, 16)->geometry().bottom() + 1, ViewSET::kPanelHeight - 8);
    }
}

TEST_F(ViewSETTest, NothingIsSentUntilATap)
{
    auto panel = shownPanel();
    waitForLights();
    EXPECT_TRUE(light->writes().empty());
    EXPECT_TRUE(panel->colorStr().isEmpty());
}

// --- shields (fresh runs: the markers stay in the manager for the run) -----

LIGHTDECK_FRESH_RUN_TEST(ViewSETShieldTest, MarkerF3GreysOutGreenOnly)
{
    CapabilityProfile profile;
    profile.unavailablePresetColours = {4};  // AA 04 00 F3 00 00 BB
    VirtualLight& light = addLightUnderControl("No green", profile);
    // Bytes that name no button: not markers (05, F0) or past purple (F7, FF).
    for (std::uint8_t byte : {0x05, 0xF0, 0xF7, 0xFF})
        ASSERT_TRUE(light.sendReport({0xAA, 0x04, 0x00, byte, 0x00, 0x00, 0xBB}));
    waitForLights();
    ASSERT_EQ(OxBlueTooth::sharedInstance().reports(ReportList::SET).size(), 5u);

    auto panel = shownPanel();
    QAbstractButton* green = colourButton(*panel, 13);
    EXPECT_EQ(faceColour(green), ViewSET::shieldedColor());
    tapColour(*panel, 13);
    EXPECT_TRUE(light.writes().empty());
    EXPECT_FALSE(green->isChecked());

    const QList<QColor> colours = ViewSET::arrayColors();
    for (int tag : {10, 11, 12, 14, 15, 16}) {
        EXPECT_EQ(faceColour(colourButton(*panel, tag)), colours[tag - 10]) << tag;
        tapColour(*panel, tag);
    }
    EXPECT_EQ(framesOf(light), (Frames{"AA 04 00 01 00 00 BB", "AA 04 00 02 00 00 BB", "AA 04 00 03 00 00 BB",
                                       "AA 04 00 05 00 00 BB", "AA 04 00 06 00 00 BB", "AA 04 00 07 00 00 BB"}));
}

LIGHTDECK_FRESH_RUN_TEST(ViewSETShieldTest, EveryMarkedColourButRedCanBeShielded)
{
    CapabilityProfile profile;
    profile.unavailablePresetColours = {1, 2, 3, 4, 5, 6, 7};  // red has no marker
    VirtualLight& light = addLightUnderControl("Red only", profile);
    ASSERT_EQ(OxBlueTooth::sharedInstance().reports(ReportList::SET).size(), 6u);

    auto panel = shownPanel();
    for (int tag = 16; tag >= 10; --tag)
        tapColour(*panel, tag);
    EXPECT_EQ(framesOf(light), Frames{"AA 04 00 01 00 00 BB"});
}

}  // namespace
}  // namespace lightdeck
