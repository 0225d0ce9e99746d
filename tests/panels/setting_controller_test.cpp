// The control screen: opening index, mode buttons and pages, the way back
// (with and without clearing the group choice in the preferences file).
#include <QAbstractButton>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bluetooth/ox_blue_tooth.h"
#include "controls/ox_slider_view.h"
#include "devices/cell_device.h"
#include "devices/devices_controller.h"
#include "devices/shared_store.h"
#include "devices/view_gpm.h"
#include "panels/view_eff.h"
#include "panels/view_set.h"
#include "panels/view_sos.h"
#include "panels/panel_test_support.h"
#include "panels/setting_controller.h"
#include "panels/view_cct.h"
#include "panels/view_hsi.h"
#include "support/ui_test_support.h"
#include "ui/navigation_controller.h"

namespace lightdeck::testing {
namespace {

const QColor kSelectedBlue(42, 135, 255);

// The colour a mode button shows inside its border, above its text.
QColor buttonFill(QAbstractButton* button)
{
    return grabImage(button).pixelColor(button->width() / 2, 4);
}

// The page whose panel sits at the left edge of the screen.
int shownPage(SettingController* screen)
{
    QWidget* const panels[] = {screen->viewCCT(), screen->viewHSI(), screen->viewEFF(),
                               screen->viewSET(), screen->viewSOS(), screen->viewGPM()};
    int shown = -1;
    for (int i = 0; i < 6; ++i) {
        if (panels[i]->mapTo(screen, QPoint(0, 0)).x() == 0) {
            EXPECT_EQ(shown, -1) << "two pages at the left edge";
            shown = i;
        }
    }
    return shown;
}

void expectMode(SettingController* screen, int page)
{
    EXPECT_EQ(screen->titleLabel()->text(), SettingController::arrayMode()[page].title);
    EXPECT_EQ(shownPage(screen), page);
    for (int t = 10; t <= 15; ++t) {
        QAbstractButton* button = screen->modeButton(t);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(buttonFill(button), t == page + 10 ? kSelectedBlue : QColor(Qt::white)) << "button " << t;
    }
}

using SettingControllerTest = ControlScreenTest;

TEST_F(SettingControllerTest, OpensOnThePageOfItsIndexOutOfRangeMeansTheFirst)
{
    const struct {
        qint64 index;
        int page;
        const char* title;
    } cases[] = {
        {0, 0, "CCT色温模式"}, {5, 5, "GMP 组合编辑"}, {-1, 0, "CCT色温模式"}, {6, 0, "CCT色温模式"},
        {1, 1, "HSI RGB彩色模式"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        SettingController* screen = openScreen(c.index);
        EXPECT_EQ(screen->titleLabel()->text(), QString::fromUtf8(c.title));
        expectMode(screen, c.page);
        EXPECT_EQ(screen->index(), c.page);
    }
    EXPECT_TRUE(waitForWrites(*m_light, 0));
}

TEST_F(SettingControllerTest, ModeButtonsSwitchPagesAndTitlesAndSendNothing)
{
    SettingController* screen = openScreen(0);
    const char* titles[] = {"CCT色温模式", "HSI RGB彩色模式", "EFF视频光效", "SET 七彩颜色模式",
                            "SOS 国际救援灯光", "GMP 组合编辑"};
    for (int page : {3, 1, 5, 2, 4, 0, 0}) {
        OxBlueTooth::sharedInstance().setCharacteristicID("FFF9");
        click(screen->modeButton(page + 10));
        EXPECT_EQ(screen->titleLabel()->text(), QString::fromUtf8(titles[page]));
        expectMode(screen, page);
        EXPECT_EQ(OxBlueTooth::sharedInstance().characteristicID(), "FFF1") << "set again on every switch";
    }
    EXPECT_TRUE(waitForWrites(*m_light, 0)) << "switching pages sends nothing";
}

TEST_F(SettingControllerTest, TheUserCannotSwipeBetweenPages)
{
    SettingController* screen = openScreen(2);
    QWidget* page = screen->viewEFF();
    drag(page, QPoint(350, 100), QPoint(20, 100));
    drag(page, QPoint(20, 100), QPoint(380, 100));
    processEvents();
    EXPECT_EQ(shownPage(screen), 2);
    EXPECT_EQ(screen->titleLabel()->text(), QStringLiteral("EFF视频光效"));
}

TEST_F(SettingControllerTest, PanelsAreBuiltOnceInTheirFrames)
{
    SettingController* screen = openScreen(0);
    EXPECT_EQ(screen->viewCCT(), screen->viewCCT());
    EXPECT_EQ(screen->viewGPM(), screen->viewGPM());
    EXPECT_TRUE(screen->viewCCT()->inherits("lightdeck::ViewCCT"));
    EXPECT_TRUE(screen->viewHSI()->inherits("lightdeck::ViewHSI"));

    // 390 x 844: the pages are 390 wide and as high as the paging area.
    const QSize page = screen->viewCCT()->size();
    EXPECT_EQ(page.width(), 390);
    EXPECT_GE(page.height(), 400);
    EXPECT_EQ(screen->viewHSI()->geometry(), QRect(QPoint(0, 0), page));
    EXPECT_EQ(screen->viewEFF()->geometry(), QRect(0, 0, 390, 400));
    EXPECT_EQ(screen->viewSET()->geometry(), QRect(0, (page.height() - 294) / 2, 390, 294));
    EXPECT_EQ(screen->viewSOS()->geometry(), QRect(QPoint(0, 0), page));
    EXPECT_EQ(screen->viewGPM()->geometry(), QRect(QPoint(0, 0), page));
    // Every page lies between the navigation bar and the bottom label.
    const QWidget* bottom = screen->findChild<QLabel*>("bottomLabel");
    const QWidget* nav = screen->findChild<QWidget*>("navView");
    const QPoint top = screen->viewCCT()->mapTo(screen, QPoint(0, 0));
    EXPECT_EQ(top.y(), nav->geometry().bottom() + 1);
    EXPECT_EQ(top.y() + page.height(), bottom->y());
}

TEST_F(SettingControllerTest, LoadingClearsTheRenameFlagAndDisablesInteractivePop)
{
    OxBlueTooth::sharedInstance().setIsChangeName(true);
    openScreen(0);
    EXPECT_FALSE(OxBlueTooth::sharedInstance().isChangeName());
    EXPECT_FALSE(navigation().isInteractivePopEnabled());

    // Alt+Left would pop a screen that allows it.
    QTest::keyClick(&navigation(), Qt::Key_Left, Qt::AltModifier);
    processEvents();
    EXPECT_EQ(navigation().count(), 2);
}

class ControlScreenBackTest : public ControlScreenTest {
protected:
    // Stores `content`'s keys through the shared preferences (written to this
    // test's preferences file at once).
    static void store(const nlohmann::json& content)
    {
        for (const auto& [key, value] : content.items())
            sharedPreferences().setObject(key, value);
    }

    // Opens the control screen on the group page and takes `button`.
    void openAndLeave(const char* button)
    {
        SettingController* screen = openScreen(5);
        auto* target = screen->findChild<QAbstractButton*>(button);
        ASSERT_NE(target, nullptr);
        click(target);
        ASSERT_TRUE(waitUntil([&] { return navigation().count() == 1 && !navigation().isTransitioning(); }));
        processEvents();
        EXPECT_TRUE(m_screen.isNull()) << "a popped screen is released";
        EXPECT_TRUE(navigation().isInteractivePopEnabled()) << "given back when leaving";
    }
};

const nlohmann::json kGroups = {
    {"groupList",
     {{{"title", "客厅"}, {"selected", true}, {"colour", "warm"}}, {{"title", "Studio"}, {"selected", false}},
      {{"title", "B"}, {"selected", 1}}}},
    {"deviceInGroup", {{{"0D3F2C1A-0000-4000-8000-00000000009E", "Key Light"}}, nlohmann::json::object(),
                       nlohmann::json::object()}},
    {"other", 7},
};

TEST_F(ControlScreenBackTest, BackClearsEverySelectedFlagAndKeepsTheRest)
{
    store(kGroups);
    openAndLeave("backButton");
    nlohmann::json expected = kGroups;
    for (auto& group : expected["groupList"])
        group["selected"] = false;
    EXPECT_EQ(readPreferencesFile(), expected);
    EXPECT_TRUE(waitForWrites(*m_light, 0));
}

TEST_F(ControlScreenBackTest, BluetoothButtonLeavesTheGroupsAsTheyWere)
{
    store(kGroups);
    openAndLeave("blueToothButton");
    EXPECT_EQ(readPreferencesFile(), kGroups);
}

TEST_F(ControlScreenBackTest, BackWithoutStoredGroupsLeavesTheKeyAbsent)
{
    store({{"other", 7}});
    openAndLeave("backButton");
    const nlohmann::json after = readPreferencesFile();
    EXPECT_FALSE(after.contains("groupList"));
    EXPECT_EQ(after, (nlohmann::json{{"other", 7}}));
}

// The way a user gets here: a tap on the connected light in the scan
// screen opens the colour temperature page and drives that light; the
// group button opens the group page.
TEST_F(SettingControllerTest, TheScanScreenOpensItOnTheLightOrTheGroupPage)
{
    launchApp();
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return rowOf(*m_light) >= 0;
    }));
    CellDevice* cell = devices().cellAt(rowOf(*m_light));
    ASSERT_NE(cell, nullptr);
    QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(60, cell->height() / 2));
    navigation().finishTransition();
    processEvents();
    auto* screen = qobject_cast<SettingController*>(navigation().top());
    ASSERT_NE(screen, nullptr);
    expectMode(screen, 0);
    OxSliderView* brightness = screen->viewCCT()->brightnessSlider();
    drag(brightness, centreOf(brightness), QPoint(brightness->width() - 2, brightness->height() / 2));
    ASSERT_TRUE(waitForWrites(*m_light, 1));
    EXPECT_EQ(m_light->lastFrame(), (Bytes{0xAA, 0x01, 0x64, 0x2F, 0x00, 0x00, 0xBB}));

    click(screen->findChild<QAbstractButton*>("blueToothButton"));
    ASSERT_TRUE(waitUntil([&] { return navigation().count() == 1 && !navigation().isTransitioning(); }));
    click(devices().findChild<QAbstractButton*>("gpmButton"));
    navigation().finishTransition();
    processEvents();
    screen = qobject_cast<SettingController*>(navigation().top());
    ASSERT_NE(screen, nullptr);
    expectMode(screen, 5);
}

}  // namespace
}  // namespace lightdeck::testing
