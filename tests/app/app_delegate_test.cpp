// Start-up and life cycle: the window and its navigation stack, and the
// "appDidBecomeActive" notification on returns to the active state.

#include "app/app_delegate.h"

#include <QGuiApplication>
#include <QObject>

#include <gtest/gtest.h>

#include "bluetooth/ox_blue_tooth.h"
#include "devices/cell_device.h"
#include "devices/devices_controller.h"
#include "support/simulated_app_fixture.h"
#include "support/ui_test_support.h"
#include "ui/application_window.h"
#include "ui/navigation_controller.h"
#include "ui/notification_center.h"

namespace lightdeck {
namespace {

using testing::waitUntil;

class AppDelegateTest : public testing::SimulatedAppTest {
protected:
    void SetUp() override
    {
        SimulatedAppTest::SetUp();
        NotificationCenter::defaultCenter().observe(QStringLiteral("appDidBecomeActive"), &m_observer,
                                                    [this] { ++m_posts; });
    }
    static void stateChanges(Qt::ApplicationState state) { emit qGuiApp->applicationStateChanged(state); }

    QObject m_observer;
    int m_posts = 0;
};

TEST_F(AppDelegateTest, LaunchShowsAPhoneShapedWindowWithTheScanScreenAtTheRoot)
{
    VirtualLight& light = addLight("Start-up light");
    AppDelegate delegate;
    EXPECT_EQ(delegate.window(), nullptr);
    EXPECT_TRUE(delegate.didFinishLaunchingWithOptions());
    ASSERT_NE(delegate.window(), nullptr);
    EXPECT_TRUE(delegate.window()->isVisible());
    EXPECT_EQ(delegate.window()->size(), QSize(390, 844));
    // Fixed: the window never stretches or turns to landscape.
    EXPECT_EQ(delegate.window()->minimumSize(), delegate.window()->maximumSize());
    EXPECT_EQ(applicationWindow(), delegate.window());
    EXPECT_EQ(mainScreenSize(), QSize(390, 844));

    NavigationController* navigation = delegate.navigationController();
    ASSERT_NE(navigation, nullptr);
    EXPECT_EQ(navigation->count(), 1);
    EXPECT_EQ(navigation->root(), delegate.devicesController());
    EXPECT_TRUE(delegate.devicesController()->inherits("lightdeck::DevicesController"));

    // The scan screen scanned as it appeared.
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        for (int row = 0; row < delegate.devicesController()->rowCount(); ++row) {
            if (delegate.devicesController()->cellAt(row)->peripheral()->identifier() == light.identifier())
                return true;
        }
        return false;
    }));
    // A second launch call changes nothing.
    QWidget* window = delegate.window();
    EXPECT_TRUE(delegate.didFinishLaunchingWithOptions());
    EXPECT_EQ(delegate.window(), window);
}

TEST_F(AppDelegateTest, FirstActivationPostsNothingEachReturnAfterLeavingPostsOnce)
{
    launchApp();
    stateChanges(Qt::ApplicationActive);
    EXPECT_EQ(m_posts, 0);
    EXPECT_FALSE(app()->needRefresh());

    stateChanges(Qt::ApplicationInactive);
    EXPECT_EQ(m_posts, 0);
    EXPECT_TRUE(app()->needRefresh());
    stateChanges(Qt::ApplicationActive);
    EXPECT_EQ(m_posts, 1);

    // Hidden and suspended count as leaving too; several steps away still
    // give one post on return.
    stateChanges(Qt::ApplicationHidden);
    stateChanges(Qt::ApplicationSuspended);
    stateChanges(Qt::ApplicationActive);
    EXPECT_EQ(m_posts, 2);
    stateChanges(Qt::ApplicationInactive);
    stateChanges(Qt::ApplicationActive);
    EXPECT_EQ(m_posts, 3);
}

TEST_F(AppDelegateTest, ReturnToTheForegroundRescans)
{
    VirtualLight& connected = addLight("Stays");
    VirtualLight& stale = addLight("Stale");
    ASSERT_TRUE(connectThroughManager(connected));
    ASSERT_TRUE(discover(stale));
    launchApp();
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return rowOf(stale) >= 0;
    }));
    stateChanges(Qt::ApplicationInactive);
    stateChanges(Qt::ApplicationActive);
    // The scan screen dropped the light that is not connected at once.
    EXPECT_EQ(rowOf(stale), -1);
    EXPECT_GE(rowOf(connected), 0);
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return rowOf(stale) >= 0;
    }));
}

TEST(AppDelegateSizeTest, WindowFitsOnSmallScreensKeepingItsWidth)
{
    struct Case {
        QSize available;
        QSize expected;
    };
    const Case cases[] = {
        {{1920, 1080}, {390, 844}},
        {{1366, 924}, {390, 844}},
        {{1366, 768}, {390, 688}},
        {{800, 600}, {390, 568}},
        {{}, {390, 844}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AppDelegate::windowSizeFor(c.available), c.expected) << c.available.width() << "x" << c.available.height();
}

}  // namespace
}  // namespace lightdeck
