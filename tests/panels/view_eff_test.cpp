// ViewEFF against virtual lights: the frames tiles and option buttons send
// (with the run-long buffer carried across panels), what the header shows,
// the selection look, the grid, and the shields a light's markers raise.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>

#include <memory>
#include <string>
#include <vector>

#include "bluetooth/ox_blue_tooth.h"
#include "panels/cell_eff_mode.h"
#include "panels/panel_test_fixture.h"
#include "panels/view_eff.h"
#include "protocol/command_frames.h"
#include "support/log_capture.h"
#include "support/ui_test_support.h"
#include "ui/images.h"

namespace lightdeck {
namespace {

using Frames = std::vector<std::string>;
using testing::addLightUnderControl;
using testing::framesOf;
using testing::waitForLights;

constexpr int kMusic = 3;
constexpr int kPhoto = 5;
constexpr int kLightning = 6;
constexpr int kFlow = 9;

std::unique_ptr<ViewEFF> shownPanel(QSize size = {390, 400})
{
    auto panel = std::make_unique<ViewEFF>();
    EXPECT_TRUE(testing::showWindow(panel.get(), size));
    return panel;
}

void tapTile(ViewEFF& panel, int row)
{
    ASSERT_TRUE(testing::clickListRow(panel.collectionView(), row));
    waitForLights();
}

void tapOption(ViewEFF& panel, int tag)
{
    QWidget* button = testing::findByTag(&panel, tag);
    ASSERT_TRUE(button) << "no option button " << tag;
    testing::click(button);
    waitForLights();
}

QImage image(const char* name) { return imageNamed(name, {ViewEFF::kLargeIconSize, ViewEFF::kLargeIconSize}).toImage(); }

// The colour a person sees on the button's face (clear of its caption).
QColor faceColour(QWidget* button)
{
    const QImage pixels = testing::grabImage(button);
    return pixels.pixelColor(pixels.width() / 2, 4);
}

bool showsSelectionLook(CellEFFMode* cell)
{
    const QImage pixels = testing::grabImage(cell);
    return pixels.pixelColor(pixels.width() / 2, pixels.height() - 6) != QColor(Qt::white);
}

// The effect frame lives for the run: PanelTest starts every test from the
// frame of a fresh run.
class ViewEFFTest : public testing::PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        light = &addLight();
    }

    VirtualLight* light = nullptr;
};

TEST_F(ViewEFFTest, OptionBeforeAnyEffectSendsEffectZeroAndShowsTheFirstEffectInRed)
{
    auto panel = shownPanel();
    testing::LogCapture log;
    tapOption(*panel, 11);

    EXPECT_EQ(framesOf(*light), Frames{"AA 03 00 00 00 02 BB"});
    EXPECT_TRUE(log.contains("按钮数据：<aa0300000002bb>")) << ::testing::PrintToString(log.lines());
    EXPECT_EQ(panel->labelMode()->text(), "警灯模式");
    EXPECT_EQ(panel->labelModeTitle()->text(), "Warning light mode");
    EXPECT_EQ(panel->imageView()->pixmap().toImage(), image("ic_warning_red"));
}

TEST_F(ViewEFFTest, EachTapSendsTheLatestEffectAndOptionTogether)
{
    auto panel = shownPanel();
    testing::LogCapture log;
    tapOption(*panel, 11);
    tapTile(*panel, kMusic);
    tapTile(*panel, kFlow);
    tapOption(*panel, 12);

    EXPECT_EQ(framesOf(*light), (Frames{"AA 03 00 00 00 02 BB", "AA 03 00 04 00 02 BB", "AA 03 00 0A 00 02 BB",
                                        "AA 03 00 0A 00 03 BB"}));
    EXPECT_TRUE(log.contains("collectionviewData：<aa0300040002bb>"));
    EXPECT_TRUE(log.contains("collectionviewData：<aa03000a0002bb>"));
    EXPECT_TRUE(log.contains("按钮数据：<aa03000a0003bb>"));
    // The option keeps the effect last chosen, in its red icon.
    EXPECT_EQ(panel->labelMode()->text(), "流动模式");
    EXPECT_EQ(panel->labelModeTitle()->text(), "Flow mode");
    EXPECT_EQ(panel->imageView()->pixmap().toImage(), image("ic_flow_red"));
}

TEST_F(ViewEFFTest, EffectAndOptionCarryOverToPanelsBuiltLater)
{
    {
        auto first = shownPanel();
        tapTile(*first, kPhoto);
        tapOption(*first, 12);
    }
    light->clearWrites();

    // As after closing and opening the control screen: a new panel, whose
    // first frame still carries the option chosen on the old one...
    auto second = shownPanel();
    tapTile(*second, kLightning);
    EXPECT_EQ(framesOf(*light), Frames{"AA 03 00 07 00 03 BB"});
    second.reset();

    // ...and the effect chosen on the one before.
    light->clearWrites();
    auto third = shownPanel();
    tapOption(*third, 10);
    EXPECT_EQ(framesOf(*light), Frames{"AA 03 00 07 00 01 BB"});
    // A new panel starts at row 0 for its header, whatever the frame holds.
    EXPECT_EQ(third->labelMode()->text(), "警灯模式");
}

TEST_F(ViewEFFTest, TappingTheSameTileTwiceSendsTwice)
{
    auto panel = shownPanel();
    tapTile(*panel, kMusic);
    tapTile(*panel, kMusic);
    EXPECT_EQ(framesOf(*light), (Frames{"AA 03 00 04 00 00 BB", "AA 03 00 04 00 00 BB"}));
}

TEST_F(ViewEFFTest, EveryTileSendsItsEffectNumberAndShowsItsWhiteIcon)
{
    auto panel = shownPanel();
    for (int row = 0; row < 10; ++row) {
        light->clearWrites();
        tapTile(*panel, row);
        const EffectMode& mode = kEffectModes[std::size_t(row)];
        ASSERT_EQ(framesOf(*light), Frames{toSpacedHex({0xAA, 0x03, 0x00, std::uint8_t(row + 1), 0x00, 0x00, 0xBB})})
            << "row " << row;
        EXPECT_EQ(panel->labelMode()->text().toStdString(), mode.mode);
        EXPECT_EQ(panel->labelModeTitle()->text().toStdString(), mode.modeTitle);
        EXPECT_EQ(panel->imageView()->pixmap().toImage(), image(std::string(mode.modeImage).c_str())) << row;
    }
}

TEST_F(ViewEFFTest, OnlyTheTappedTileShowsTheSelectionLook)
{
    auto panel = shownPanel();
    for (int row = 0; row < 10; ++row)
        EXPECT_FALSE(showsSelectionLook(panel->cellForItem(row))) << "before any tap, row " << row;

    for (int tapped : {kMusic, kFlow, 0, kFlow}) {
        tapTile(*panel, tapped);
        for (int row = 0; row < 10; ++row)
            EXPECT_EQ(showsSelectionLook(panel->cellForItem(row)), row == tapped)
                << "after a tap on row " << tapped << ", row " << row;
    }
    // An option changes which option is lit, not which tile.
    tapOption(*panel, 10);
    EXPECT_TRUE(showsSelectionLook(panel->cellForItem(kFlow)));
}

TEST_F(ViewEFFTest, PressedOptionTurnsRedAndTheOthersWhite)
{
    auto panel = shownPanel();
    const QColor red(255, 0, 0);
    const QColor white(Qt::white);
    for (int tag : {10, 11, 12})
        EXPECT_EQ(faceColour(testing::findByTag(panel.get(), tag)), white) << tag;
    for (int pressed : {12, 10, 11}) {
        tapOption(*panel, pressed);
        for (int tag : {10, 11, 12})
            EXPECT_EQ(faceColour(testing::findByTag(panel.get(), tag)), tag == pressed ? red : white)
                << "pressed " << pressed << ", button " << tag;
    }
}

TEST_F(ViewEFFTest, FiveTilesFillEachRowAtAnyPanelWidth)
{
    for (int width : {390, 320, 430}) {
        auto panel = shownPanel({width, 400});
        QListWidget* grid = panel->collectionView();
        const int tileWidth = (grid->width() - 60) / 5;
        for (int row = 0; row < 10; ++row) {
            const QRect tile = grid->visualItemRect(grid->item(row));
            EXPECT_EQ(tile.size(), QSize(tileWidth, 55)) << "width " << width << ", row " << row;
            const QRect first = grid->visualItemRect(grid->item(row < 5 ? 0 : 5));
            EXPECT_EQ(tile.top(), first.top()) << "width " << width << ", row " << row << " wrapped early";
            EXPECT_TRUE(grid->viewport()->rect().contains(tile)) << "width " << width << ", row " << row;
        }
        EXPECT_GT(grid->visualItemRect(grid->item(5)).top(), grid->visualItemRect(grid->item(4)).bottom());
        // 10 between tiles and at both edges of the panel (the rest of the
        // 60 is the rounding of the tile width).
        const auto inPanel = [&](int row) {
            const QRect tile = grid->visualItemRect(grid->item(row));
            return QRect(grid->viewport()->mapTo(panel.get(), tile.topLeft()), tile.size());
        };
        EXPECT_EQ(inPanel(0).left(), 10) << width;
        EXPECT_EQ(inPanel(1).left() - inPanel(0).right() - 1, 10) << width;
        const int rightMargin = panel->width() - inPanel(4).right() - 1;
        EXPECT_GE(rightMargin, 10) << width;
        EXPECT_LT(rightMargin, 15) << width;
        // Every tile is whole on screen.
        for (int row = 0; row < 10; ++row)
            EXPECT_TRUE(panel->rect().contains(inPanel(row))) << width << ", row " << row;
    }
}

TEST_F(ViewEFFTest, NothingIsSentWhileThePanelIsOnlyShown)
{
    auto panel = shownPanel();
    waitForLights();
    EXPECT_TRUE(light->writes().empty());
    for (int row = 0; row < 10; ++row)
        EXPECT_TRUE(panel->isItemAvailable(row)) << row;
}

// --- shields (fresh runs: the markers stay in the manager for the run) -----

// A tile of an unavailable effect ignores taps but looks like any tile.
LIGHTDECK_FRESH_RUN_TEST(ViewEFFShieldTest, MarkedEffectTilesTakeNoTouchesAndLookUnchanged)
{
    CapabilityProfile profile;
    profile.unavailableEffects = {4, 10};  // AA 03 00 F4 .. and AA 03 00 FA ..
    VirtualLight& light = addLightUnderControl("No music", profile);
    ASSERT_EQ(OxBlueTooth::sharedInstance().reports(ReportList::EFF).size(), 2u);

    // Built before it is ever laid out or shown, as the control screen does:
    // the tiles appear later and must still be shielded.
    auto panel = std::make_unique<ViewEFF>();
    ASSERT_TRUE(testing::showWindow(panel.get(), {390, 400}));

    tapTile(*panel, kMusic);
    tapTile(*panel, kFlow);
    testing::click(panel->cellForItem(kMusic));  // straight onto the tile widget too
    waitForLights();
    EXPECT_TRUE(light.writes().empty());
    EXPECT_FALSE(showsSelectionLook(panel->cellForItem(kMusic)));
    EXPECT_EQ(panel->labelMode()->text(), "光效");

    tapTile(*panel, kPhoto);
    tapOption(*panel, 11);
    EXPECT_EQ(framesOf(light), (Frames{"AA 03 00 06 00 00 BB", "AA 03 00 06 00 02 BB"}));

    // Unchanged look: the same pixels as an ordinary tile of that effect.
    CellEFFMode reference;
    reference.setDict(kEffectModes[kMusic]);
    reference.resize(panel->cellForItem(kMusic)->size());
    EXPECT_EQ(testing::grabImage(panel->cellForItem(kMusic)), testing::grabImage(&reference));
}

LIGHTDECK_FRESH_RUN_TEST(ViewEFFShieldTest, MarkedOptionFDShieldsTheThirdOptionOnly)
{
    CapabilityProfile profile;
    profile.unavailableOptions = {3};  // AA 03 00 00 FD 00 BB
    VirtualLight& light = addLightUnderControl("Two options", profile);
    ASSERT_EQ(OxBlueTooth::sharedInstance().reports(ReportList::EFF).size(), 1u);

    auto panel = shownPanel();
    QWidget* third = testing::findByTag(panel.get(), 12);
    tapOption(*panel, 12);
    EXPECT_TRUE(light.writes().empty());
    EXPECT_EQ(faceColour(third), QColor(Qt::white));  // neither pressed nor greyed

    tapOption(*panel, 10);
    tapOption(*panel, 11);
    tapTile(*panel, 0);
    EXPECT_EQ(framesOf(light), (Frames{"AA 03 00 00 00 01 BB", "AA 03 00 00 00 02 BB", "AA 03 00 01 00 02 BB"}));
    EXPECT_TRUE(panel->isEnabled());
}

// Markers that name no tile or button shield nothing: F1 at position 4
// (which would be the panel's own tag 0), bytes past the third option or
// the tenth effect, and F0, which is no marker.
LIGHTDECK_FRESH_RUN_TEST(ViewEFFShieldTest, MarkersNamingNoControlShieldNothing)
{
    VirtualLight& light = addLightUnderControl("Odd reports");
    const std::vector<Bytes> reports{
        {0xAA, 0x03, 0x00, 0x00, 0xF1, 0x00, 0xBB}, {0xAA, 0x03, 0x00, 0x00, 0xF5, 0x00, 0xBB},
        {0xAA, 0x03, 0x00, 0x00, 0xFA, 0x00, 0xBB}, {0xAA, 0x03, 0x00, 0x00, 0xFE, 0x00, 0xBB},
        {0xAA, 0x03, 0x00, 0x00, 0xFF, 0x00, 0xBB}, {0xAA, 0x03, 0x00, 0x00, 0xF0, 0x00, 0xBB},
        {0xAA, 0x03, 0x00, 0xFB, 0x00, 0x00, 0xBB}, {0xAA, 0x03, 0x00, 0xFF, 0x00, 0x00, 0xBB},
        {0xAA, 0x03, 0x00, 0xF0, 0x00, 0x00, 0xBB}, {0xAA, 0x03, 0x00, 0x00},
    };
    for (const Bytes& report : reports)
        ASSERT_TRUE(light.sendReport(report));
    waitForLights();
    ASSERT_EQ(OxBlueTooth::sharedInstance().reports(ReportList::EFF).size(), reports.size());

    auto panel = shownPanel();
    EXPECT_TRUE(panel->isEnabled());
    for (int tag : {10, 11, 12})
        tapOption(*panel, tag);
    for (int row = 0; row < 10; ++row)
        tapTile(*panel, row);
    EXPECT_EQ(light.writes().size(), 13u);
    EXPECT_EQ(framesOf(light).back(), "AA 03 00 0A 00 03 BB");
}

}  // namespace
}  // namespace lightdeck
