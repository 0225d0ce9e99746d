// The ui layer as a user meets it: the navigation stack and its back
// gesture, alerts, and widgets found by view tag.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "support/ui_test_support.h"
#include "ui/alert_controller.h"
#include "ui/edit_view.h"
#include "ui/navigation_controller.h"
#include "ui/view_tag.h"

namespace lightdeck::testing {
namespace {

// The top screen is the one shown; a popped one is deleted; the root stays;
// a pop during an animated push finishes the push first.
TEST(NavigationControllerTest, PushShowsTheNewScreenPopDeletesItTheRootStays)
{
    QWidget* root = new QWidget;
    NavigationController navigation(root);
    ASSERT_TRUE(showWindow(&navigation, QSize(390, 844)));
    QPointer<QWidget> screen = new QWidget;
    navigation.push(screen, false);
    navigation.push(screen, false);  // ignored
    EXPECT_EQ(navigation.count(), 2);
    EXPECT_TRUE(screen->isVisible() && !root->isVisible());
    EXPECT_TRUE(navigation.pop(false));
    EXPECT_FALSE(navigation.pop(true));
    processEvents();
    EXPECT_TRUE(screen.isNull());
    screen = new QWidget;
    navigation.push(screen, true);
    EXPECT_TRUE(navigation.pop(true));
    ASSERT_TRUE(waitUntil([&] { return screen.isNull() && !navigation.isTransitioning(); }));
    EXPECT_TRUE(root->isVisible());
}

// Alt+Left and the mouse's back button pop only while the interactive pop is
// enabled.
TEST(NavigationControllerTest, BackGestureFollowsTheInteractivePopFlag)
{
    NavigationController navigation(new QWidget);
    ASSERT_TRUE(showWindow(&navigation, QSize(390, 844)));
    navigation.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&navigation));
    for (int enabledAndMouse = 0; enabledAndMouse < 4; ++enabledAndMouse) {
        const bool enabled = enabledAndMouse & 1, mouse = enabledAndMouse & 2;
        auto* button = new QPushButton("b", new QWidget);
        navigation.push(button->parentWidget(), false);
        button->setFocus();
        navigation.setInteractivePopEnabled(enabled);
        mouse ? QTest::mouseClick(button, Qt::BackButton) : QTest::keyClick(button, Qt::Key_Left, Qt::AltModifier);
        navigation.finishTransition();
        EXPECT_EQ(navigation.count(), enabled ? 1 : 2) << enabled << mouse;
        navigation.pop(false);
    }
}

// The buttons carry the action titles; confirming closes the alert, then runs
// its handler with the text as the field's callback cut it (typed or pasted);
// the cancel button, Escape and the window's close run the cancel action,
// Return the default one. Every text is plain.
TEST(AlertControllerTest, ActionsAndTheTextField)
{
    QWidget window;
    ASSERT_TRUE(showWindow(&window, QSize(390, 844)));
    QString confirmed;
    int cancels = 0;
    const auto present = [&] {
        auto* alert = new AlertController("修改名称", "<b>name</b>", &window);
        alert->addTextField([](QLineEdit* field) { field->setText(field->text().left(20)); });
        alert->addAction("取消", AlertController::ActionStyle::Cancel, [&] { ++cancels; });
        alert->addAction("确定", AlertController::ActionStyle::Default,
                         [&, alert] { confirmed = alert->isVisible() ? "still open" : alert->textField()->text(); });
        alert->present();
        return alert;
    };
    QPointer<AlertController> alert = present();
    EXPECT_EQ(alert->actionButtons()[1]->text(), "确定");
    for (QLabel* label : alert->findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    QTest::keyClicks(alert->textField(), QString(25, QChar('x')));
    EXPECT_EQ(alert->textField()->text(), QString(20, QChar('x')));
    alert->textField()->clear();
    alert->textField()->insert(QString("灯").repeated(25));  // as a paste does
    QTest::mouseClick(alert->buttonForAction("确定"), Qt::LeftButton);
    EXPECT_EQ(confirmed, QString("灯").repeated(20));
    processEvents();
    EXPECT_TRUE(alert.isNull());

    QTest::mouseClick(present()->buttonForAction("取消"), Qt::LeftButton);
    QTest::keyClick(present(), Qt::Key_Escape);
    present()->close();
    alert = present();
    QTest::keyClicks(alert->textField(), "ok");
    QTest::keyClick(alert, Qt::Key_Return);
    EXPECT_EQ(cancels, 3);
    EXPECT_EQ(confirmed, "ok");
    EXPECT_TRUE(AlertController::openAlerts().isEmpty());
}

// Root first, then depth-first through the children in order, hidden ones
// included: a control screen reaches its mode buttons before the panels
// that reuse the same tag numbers.
TEST(ViewTagTest, SearchIsRootFirstThenDepthFirstInChildOrder)
{
    QWidget root;
    auto* header = new QWidget(&root);
    auto* modeButton = new QPushButton(header);
    auto* pages = new QWidget(&root);
    auto* colourButton = new QPushButton(new QWidget(pages));
    auto* deep = new QWidget(new QWidget(header));
    deep->hide();
    setTag(new QObject(&root), 11);  // not a widget: never found
    for (auto [widget, value] : {std::pair<QWidget*, int>{modeButton, 10}, {colourButton, 10}, {new QWidget(&root), 11}, {deep, 11}})
        setTag(widget, value);
    EXPECT_EQ(viewWithTag(&root, 10), modeButton);
    EXPECT_EQ(viewWithTag(&root, 11), deep);
    EXPECT_EQ(viewWithTag(pages, 10), colourButton);
    EXPECT_EQ(viewWithTag(pages, 0), pages) << "untagged is tag 0";
}

// A popup row is chosen by a tap on it; a press slid to the other row
// chooses nothing and leaves the popup open.
TEST(EditViewTest, ARowIsChosenWhenReleasedOnThePressedRow)
{
    QWidget panel;
    ASSERT_TRUE(showWindow(&panel, QSize(390, 400)));
    std::vector<int> chosen;
    auto* popup = new EditView(panel.rect(), &panel);
    popup->setArrayTitle({"添加", "长按进行操作"});
    popup->setGetIndex([&](int row) { chosen.push_back(row); });
    popup->show();
    QListWidget* list = popup->tableView();
    drag(list->viewport(), rowCentre(list, 0), rowCentre(list, 1));
    EXPECT_TRUE(chosen.empty() && popup->isVisible());
    click(list->viewport(), rowCentre(list, 1));
    EXPECT_EQ(chosen, std::vector{1});
}

}  // namespace
}  // namespace lightdeck::testing
