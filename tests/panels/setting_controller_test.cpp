// The control screen: opening index, mode buttons and pages, the way back
// (with and without clearing the group choice in the preferences file).
#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bluetooth/ox_blue_tooth.h"
#include "devices/group_store.h"
#include "devices/json_file_preferences.h"
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
    EXPECT_FALSE(m_navigation->isInteractivePopEnabled());

    // Alt+Left would pop a screen that allows it.
    QTest::keyClick(m_navigation.get(), Qt::Key_Left, Qt::AltModifier);
    processEvents();
    EXPECT_EQ(m_navigation->count(), 2);
}

class ControlScreenBackTest : public ControlScreenTest {
protected:
    void SetUp() override
    {
        ControlScreenTest::SetUp();
        ASSERT_TRUE(m_folder.isValid());
        m_file = m_folder.filePath("preferences.json").toStdString();
    }

    void writeFile(const nlohmann::json& content)
    {
        std::ofstream(m_file) << content.dump();
    }
    nlohmann::json readFile() const
    {
        std::ifstream in(m_file);
        return in ? nlohmann::json::parse(in, nullptr, false) : nlohmann::json();
    }

    // Opens the screen on a store over the file, and takes `button`.
    void openAndLeave(const char* button)
    {
        JsonFilePreferences preferences(m_file);
        GroupStore store(preferences);
        SettingController* screen = openScreen(5);
        screen->setGroupStore(&store);
        auto* target = screen->findChild<QAbstractButton*>(button);
        ASSERT_NE(target, nullptr);
        click(target);
        ASSERT_TRUE(waitUntil([&] { return m_navigation->count() == 1 && !m_navigation->isTransitioning(); }));
        processEvents();
        EXPECT_TRUE(m_screen.isNull()) << "a popped screen is released";
        EXPECT_TRUE(m_navigation->isInteractivePopEnabled()) << "given back when leaving";
    }

    QTemporaryDir m_folder;
    std::string m_file;
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
    writeFile(kGroups);
    openAndLeave("backButton");
    nlohmann::json expected = kGroups;
    for (auto& group : expected["groupList"])
        group["selected"] = false;
    EXPECT_EQ(readFile(), expected);
    EXPECT_TRUE(waitForWrites(*m_light, 0));
}

TEST_F(ControlScreenBackTest, BluetoothButtonLeavesTheGroupsAsTheyWere)
{
    writeFile(kGroups);
    openAndLeave("blueToothButton");
    EXPECT_EQ(readFile(), kGroups);
}

TEST_F(ControlScreenBackTest, BackWithoutStoredGroupsLeavesTheKeyAbsent)
{
    writeFile({{"other", 7}});
    openAndLeave("backButton");
    const nlohmann::json after = readFile();
    EXPECT_FALSE(after.contains("groupList"));
    EXPECT_EQ(after, (nlohmann::json{{"other", 7}}));
}

}  // namespace
}  // namespace lightdeck::testing
