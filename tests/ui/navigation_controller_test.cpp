// NavigationController: the stack, the screens' life-cycle calls in order,
// deletion of popped screens, animated transitions, and the back gesture.
#include <gtest/gtest.h>

#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "support/ui_test_support.h"
#include "ui/navigation_controller.h"
#include "ui/view_controller.h"

namespace lightdeck {
namespace {

using lightdeck::testing::processEvents;
using lightdeck::testing::waitUntil;
using Log = std::vector<std::string>;

class Screen : public ViewController {
public:
    Screen(std::string name, Log* log)
        : m_name(std::move(name))
        , m_log(log)
    {
        button = new QPushButton("button", this);
    }
    QPushButton* button = nullptr;

protected:
    void viewDidLoad() override { m_log->push_back(m_name + ".load"); }
    void viewWillAppear() override { m_log->push_back(m_name + ".willAppear"); }
    void viewDidAppear() override { m_log->push_back(m_name + ".didAppear"); }
    void viewWillDisappear() override { m_log->push_back(m_name + ".willDisappear"); }
    void viewDidDisappear() override { m_log->push_back(m_name + ".didDisappear"); }

private:
    std::string m_name;
    Log* m_log;
};

class NavigationControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = new Screen("A", &log);
        navigation = std::make_unique<NavigationController>(root);
        EXPECT_EQ(log, Log{"A.load"});
        ASSERT_TRUE(lightdeck::testing::showWindow(navigation.get(), QSize(390, 844)));
        EXPECT_EQ(log, (Log{"A.load", "A.willAppear", "A.didAppear"}));
        log.clear();
    }

    Log log;
    Screen* root = nullptr;
    std::unique_ptr<NavigationController> navigation;
};

TEST_F(NavigationControllerTest, PushAndPopCallTheLifeCycleInOrder)
{
    auto* b = new Screen("B", &log);
    navigation->push(b, false);
    EXPECT_EQ(log, (Log{"B.load", "A.willDisappear", "B.willAppear", "A.didDisappear", "B.didAppear"}));
    EXPECT_EQ(navigation->top(), b);
    EXPECT_EQ(navigation->root(), root);
    EXPECT_EQ(navigation->count(), 2);
    EXPECT_EQ(b->geometry(), navigation->rect());
    EXPECT_TRUE(b->isVisible());
    EXPECT_FALSE(root->isVisible());
    EXPECT_EQ(b->navigationController(), navigation.get());

    log.clear();
    QPointer<Screen> popped = b;
    EXPECT_TRUE(navigation->pop(false));
    EXPECT_EQ(log, (Log{"B.willDisappear", "A.willAppear", "B.didDisappear", "A.didAppear"}));
    EXPECT_EQ(navigation->top(), root);
    EXPECT_TRUE(root->isVisible());
    processEvents();
    EXPECT_TRUE(popped.isNull());  // deleted once popped
}

TEST_F(NavigationControllerTest, RootIsNeverPopped)
{
    EXPECT_FALSE(navigation->pop(true));
    EXPECT_EQ(navigation->count(), 1);
    EXPECT_TRUE(log.empty());
}

TEST_F(NavigationControllerTest, PushingTheSameScreenTwiceIsIgnored)
{
    auto* b = new Screen("B", &log);
    navigation->push(b, false);
    navigation->push(b, false);
    navigation->push(nullptr, false);
    EXPECT_EQ(navigation->count(), 2);
}

TEST_F(NavigationControllerTest, AnimatedPushChangesTheStackAtOnceAndFinishesLater)
{
    auto* b = new Screen("B", &log);
    navigation->push(b, true);
    EXPECT_EQ(navigation->top(), b);
    EXPECT_TRUE(navigation->isTransitioning());
    EXPECT_EQ(log, (Log{"B.load", "A.willDisappear", "B.willAppear"}));
    ASSERT_TRUE(waitUntil([&] { return !navigation->isTransitioning(); }));
    EXPECT_EQ(log.back(), "B.didAppear");
    EXPECT_EQ(b->pos(), QPoint(0, 0));
    EXPECT_FALSE(root->isVisible());

    QPointer<Screen> popped = b;
    navigation->pop(true);
    EXPECT_EQ(navigation->top(), root);
    ASSERT_TRUE(waitUntil([&] { return popped.isNull(); }));
    EXPECT_EQ(root->pos(), QPoint(0, 0));
    EXPECT_EQ(log.back(), "A.didAppear");
}

TEST_F(NavigationControllerTest, PopDuringAPushFinishesThePushFirst)
{
    auto* b = new Screen("B", &log);
    navigation->push(b, true);
    QPointer<Screen> popped = b;
    navigation->pop(true);
    EXPECT_EQ(log, (Log{"B.load", "A.willDisappear", "B.willAppear", "A.didDisappear", "B.didAppear",
                        "B.willDisappear", "A.willAppear"}));
    ASSERT_TRUE(waitUntil([&] { return popped.isNull(); }));
    EXPECT_EQ(navigation->count(), 1);
    EXPECT_TRUE(root->isVisible());
}

TEST_F(NavigationControllerTest, BackGestureFollowsTheInteractivePopFlag)
{
    auto* b = new Screen("B", &log);
    navigation->push(b, false);
    navigation->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(navigation.get()));
    b->button->setFocus();

    navigation->setInteractivePopEnabled(false);
    QTest::keyClick(b->button, Qt::Key_Left, Qt::AltModifier);
    QTest::mouseClick(b->button, Qt::BackButton);
    processEvents();
    EXPECT_EQ(navigation->count(), 2);

    navigation->setInteractivePopEnabled(true);
    QTest::keyClick(b->button, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(navigation->count(), 1);

    auto* c = new Screen("C", &log);
    navigation->push(c, false);
    QTest::mouseClick(c->button, Qt::BackButton);  // the mouse's back button
    EXPECT_EQ(navigation->count(), 1);
    navigation->finishTransition();
}

TEST(NavigationControllerHiddenTest, ScreensAppearOnlyWhenShown)
{
    Log log;
    auto* root = new Screen("A", &log);
    NavigationController navigation(root);
    navigation.push(new Screen("B", &log), false);
    // Nothing is on screen yet: only the loads.
    EXPECT_EQ(log, (Log{"A.load", "B.load"}));
    ASSERT_TRUE(lightdeck::testing::showWindow(&navigation, QSize(390, 844)));
    EXPECT_EQ(log, (Log{"A.load", "B.load", "B.willAppear", "B.didAppear"}));
}

TEST(NavigationControllerPlainWidgetTest, AcceptsPlainWidgets)
{
    auto* root = new QWidget;
    NavigationController navigation(root);
    auto* other = new QWidget;
    navigation.push(other, false);
    EXPECT_EQ(navigation.screens(), (QList<QWidget*>{root, other}));
    EXPECT_EQ(NavigationController::of(new QWidget(other)), &navigation);
    EXPECT_EQ(NavigationController::of(&navigation), nullptr);
}

}  // namespace
}  // namespace lightdeck
