#include "devices/view_connected_devices.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "devices/group_screen_fixture.h"
#include "devices/shared_store.h"
#include "support/log_capture.h"
#include "support/ui_test_support.h"
#include "ui/application_window.h"
#include "ui/notification_center.h"

namespace lightdeck::testing {
namespace {

using nlohmann::json;

const std::string kOldMember = "0D3F2C1A-0000-4000-8000-0000000000AA";

class ViewConnectedDevicesTest : public GroupScreenTest {
protected:
    void SetUp() override
    {
        GroupScreenTest::SetUp();
        m_lights = addLights({"Alpha", "Beta", "Seen only"});
        connectLight(*m_lights[0]);
        connectLight(*m_lights[1]);
        seedPreferences({{"groupList", {{{"title", "A"}, {"selected", false}}, {{"title", "B"}, {"selected", false}}}},
                         {"deviceInGroup", {json::object(), {{kOldMember, "Old"}}}}});
        NotificationCenter::defaultCenter().observe("refreshDeviceList", &m_observer, [this] { ++m_refreshPosts; });
    }

    ViewConnectedDevices* openPicker(qint64 groupIndex)
    {
        auto* sheet = new ViewConnectedDevices(QRect(QPoint(0, 0), mainScreenSize()), m_window.get());
        sheet->setGroupIndex(groupIndex);
        sheet->show();
        processEvents();
        return sheet;
    }
    // The row showing the light, or -1.
    static int rowOf(ViewConnectedDevices* sheet, const VirtualLight& light)
    {
        for (int i = 0; i < sheet->tableView()->count(); ++i)
            if (sheet->tableView()->item(i)->text() == QString::fromStdString(light.name()))
                return i;
        return -1;
    }
    static bool ticked(ViewConnectedDevices* sheet, int row)
    {
        return sheet->tableView()->item(row)->data(Qt::CheckStateRole) == QVariant(Qt::Checked);
    }
    void tap(ViewConnectedDevices* sheet, const VirtualLight& light)
    {
        const int row = rowOf(sheet, light);
        ASSERT_GE(row, 0) << light.name();
        ASSERT_TRUE(clickListRow(sheet->tableView(), row));
        processEvents();
    }
    // Closed sheets are deleted on the next turn of the event loop.
    bool closedAndGone()
    {
        return waitUntil([&] { return m_window->findChildren<ViewConnectedDevices*>().isEmpty(); });
    }

    std::vector<VirtualLight*> m_lights;
    QObject m_observer;
    int m_refreshPosts = 0;
};

TEST_F(ViewConnectedDevicesTest, ListsTheConnectedLightsOverTheWholeWindow)
{
    LogCapture log;
    ViewConnectedDevices* sheet = openPicker(0);
    EXPECT_TRUE(log.contains("已连接设备："));
    EXPECT_EQ(sheet->tableView()->count(), 2);
    EXPECT_GE(rowOf(sheet, *m_lights[0]), 0);
    EXPECT_GE(rowOf(sheet, *m_lights[1]), 0);
    EXPECT_EQ(rowOf(sheet, *m_lights[2]), -1);  // discovered, not connected
    for (int row = 0; row < 2; ++row)
        EXPECT_FALSE(ticked(sheet, row));

    const QSize screen = mainScreenSize();
    EXPECT_EQ(sheet->geometry(), QRect(QPoint(0, 0), screen));
    EXPECT_EQ(sheet->panel()->geometry(),
              QRect(10, (screen.height() - screen.height() / 2) / 2, screen.width() - 20, screen.height() / 2));
    EXPECT_EQ(sheet->titleLabel()->text(), "请选择要添加的设备");
    EXPECT_EQ(sheet->cancelButton()->text(), "取消");
    EXPECT_EQ(sheet->sureButton()->text(), "确定");
    EXPECT_EQ(sheet->cancelButton()->height(), 50);
    EXPECT_EQ(sheet->sureButton()->height(), 50);
    EXPECT_LT(sheet->cancelButton()->geometry().right(), sheet->sureButton()->x());
    // Dimmed: black at half alpha over the window.
    const QColor under = m_window->palette().color(QPalette::Window);
    const QColor seen = grabImage(m_window.get()).pixelColor(2, 2);
    EXPECT_NEAR(seen.red(), under.red() / 2, 2);
    EXPECT_NEAR(seen.green(), under.green() / 2, 2);
    EXPECT_NEAR(seen.blue(), under.blue() / 2, 2);
}

TEST_F(ViewConnectedDevicesTest, TappingARowTogglesThePickFlag)
{
    ViewConnectedDevices* sheet = openPicker(0);
    tap(sheet, *m_lights[0]);
    EXPECT_EQ(pickFlag(*m_lights[0]), 1);
    EXPECT_TRUE(ticked(sheet, rowOf(sheet, *m_lights[0])));
    EXPECT_EQ(pickFlag(*m_lights[1]), 0);

    tap(sheet, *m_lights[0]);
    EXPECT_EQ(pickFlag(*m_lights[0]), 0);
    EXPECT_FALSE(ticked(sheet, rowOf(sheet, *m_lights[0])));
    tap(sheet, *m_lights[0]);
    EXPECT_EQ(pickFlag(*m_lights[0]), 1);
}

TEST_F(ViewConnectedDevicesTest, TicksSurviveCancelAndNothingIsStored)
{
    const json before = readPreferencesFile();
    auto control = manager().discoverDict();  // something under control beforehand
    manager().setControlDict({control.front()});

    ViewConnectedDevices* sheet = openPicker(1);
    tap(sheet, *m_lights[1]);
    click(sheet->cancelButton());
    EXPECT_TRUE(closedAndGone());
    EXPECT_EQ(readPreferencesFile(), before);
    EXPECT_EQ(controlled(), std::vector<std::string>{control.front().first});
    EXPECT_EQ(m_refreshPosts, 0);

    sheet = openPicker(1);
    EXPECT_TRUE(ticked(sheet, rowOf(sheet, *m_lights[1])));
    EXPECT_FALSE(ticked(sheet, rowOf(sheet, *m_lights[0])));
    click(sheet->sureButton());
    EXPECT_TRUE(closedAndGone());
    EXPECT_EQ(deviceInGroup(),
              json::array({json::object(), {{kOldMember, "Old"}, {m_lights[1]->identifier(), "Beta"}}}));
    EXPECT_EQ(controlled(), std::vector<std::string>{m_lights[1]->identifier()});
}

TEST_F(ViewConnectedDevicesTest, ATouchOutsideTheListAndButtonsCloses)
{
    ViewConnectedDevices* sheet = openPicker(0);
    click(sheet->tableView()->viewport(), QPoint(5, sheet->tableView()->viewport()->height() - 3));
    EXPECT_FALSE(sheet->isClosed());  // below the rows, still inside the list

    tap(sheet, *m_lights[0]);
    const json before = readPreferencesFile();
    click(sheet, QPoint(5, 5));  // on the dimmed area
    EXPECT_TRUE(closedAndGone());
    EXPECT_EQ(readPreferencesFile(), before);
    EXPECT_EQ(m_refreshPosts, 0);

    sheet = openPicker(0);
    click(sheet->titleLabel());  // on the panel but not on a control
    EXPECT_TRUE(closedAndGone());
}

TEST_F(ViewConnectedDevicesTest, ConfirmingWithNothingTickedEmptiesControl)
{
    manager().setControlDict({manager().discoverDict().front()});
    const json before = readPreferencesFile();
    LogCapture log;
    ViewConnectedDevices* sheet = openPicker(1);
    click(sheet->sureButton());
    EXPECT_TRUE(closedAndGone());
    EXPECT_EQ(readPreferencesFile(), before);
    EXPECT_TRUE(controlled().empty());
    EXPECT_EQ(m_refreshPosts, 1);
    EXPECT_TRUE(log.contains("当前连接设备 = "));
}

TEST_F(ViewConnectedDevicesTest, ConfirmingAddsTheTickedWithCurrentNamesOnce)
{
    // Alpha is already a member under an old name.
    sharedGroupStore().addDevices(1, {{m_lights[0]->identifier(), "Alpha (old)"}});
    ViewConnectedDevices* sheet = openPicker(1);
    tap(sheet, *m_lights[0]);
    tap(sheet, *m_lights[1]);
    click(sheet->sureButton());
    EXPECT_TRUE(closedAndGone());

    EXPECT_EQ(deviceInGroup(), json::array({json::object(),
                                            {{kOldMember, "Old"},
                                             {m_lights[0]->identifier(), "Alpha"},
                                             {m_lights[1]->identifier(), "Beta"}}}));
    EXPECT_EQ(deviceInGroup()[1].size(), 3u);
    EXPECT_EQ(controlled(), (std::vector<std::string>{m_lights[0]->identifier(), m_lights[1]->identifier()}));
    EXPECT_EQ(m_refreshPosts, 1);

    // Frames now reach exactly the ticked lights.
    const Bytes frame{0xAA, 0x06, 0x01, 0x00, 0x00, 0x00, 0xBB};
    for (auto* light : m_lights)
        light->clearWrites();
    manager().writeDataWithData(frame);
    processSimulator().waitIdle();
    EXPECT_EQ(m_lights[0]->lastFrame(), frame);
    EXPECT_EQ(m_lights[1]->lastFrame(), frame);
    EXPECT_TRUE(m_lights[2]->writes().empty());
}

// A target past the end of the group list takes no members: writing there
// would leave the two stored arrays out of step.
TEST_F(ViewConnectedDevicesTest, ConfirmingForAGroupThatIsGoneStoresNothing)
{
    const json before = readPreferencesFile();
    LogCapture log;
    ViewConnectedDevices* sheet = openPicker(2);
    tap(sheet, *m_lights[0]);
    click(sheet->sureButton());
    EXPECT_TRUE(closedAndGone());
    EXPECT_EQ(readPreferencesFile(), before);
    EXPECT_TRUE(log.contains("no group at position 2"));
    EXPECT_EQ(controlled(), std::vector<std::string>{m_lights[0]->identifier()});
    EXPECT_EQ(m_refreshPosts, 1);
}

// The manager drops a light from connectDict on its own thread; a tap on
// the row still showing it must not tick anything.
TEST_F(ViewConnectedDevicesTest, ARowWhoseLightHasGoneIsIgnored)
{
    ViewConnectedDevices* sheet = openPicker(0);
    ASSERT_EQ(sheet->tableView()->count(), 2);
    const int goneRow = rowOf(sheet, *m_lights[1]);
    disconnectLight(*m_lights[1]);
    ASSERT_EQ(pickFlag(*m_lights[1]), -1);

    ASSERT_TRUE(clickListRow(sheet->tableView(), goneRow));
    processEvents();
    EXPECT_EQ(pickFlag(*m_lights[1]), -1);
    EXPECT_EQ(pickFlag(*m_lights[0]), 0);
    EXPECT_EQ(sheet->tableView()->count(), 1);  // the rows now match the manager

    click(sheet->sureButton());
    EXPECT_TRUE(closedAndGone());
    EXPECT_EQ(deviceInGroup()[0], json::object());
    EXPECT_TRUE(controlled().empty());
}

}  // namespace
}  // namespace lightdeck::testing
