// The device scan screen driven as a person uses it, against virtual lights:
// the list, the row buttons, rescans, the scan icon's turn, row taps, the
// group button, the name refresh of group members on connect, and events
// that outlive the screen.

#include "devices/devices_controller.h"

#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/app_delegate.h"
#include "bluetooth/ox_blue_tooth.h"
#include "controls/ox_toast.h"
#include "devices/cell_device.h"
#include "devices/shared_store.h"
#include "panels/setting_controller.h"
#include "support/simulated_app_fixture.h"
#include "support/ui_test_support.h"
#include "ui/alert_controller.h"
#include "ui/navigation_controller.h"
#include "ui/notification_center.h"

namespace lightdeck {
namespace {

using testing::click;
using testing::processEvents;
using testing::waitUntil;

class DevicesControllerTest : public testing::SimulatedAppTest {
protected:
    CellDevice* cellOf(const VirtualLight& light) const
    {
        const int row = rowOf(light);
        return row < 0 ? nullptr : devices().cellAt(row);
    }
    bool rowShows(const VirtualLight& light, const QString& title) const
    {
        CellDevice* cell = cellOf(light);
        return cell && cell->buttonConnect()->text() == title;
    }
    // A tap on the row's panel, left of its connect button.
    void tapRow(int row)
    {
        CellDevice* cell = devices().cellAt(row);
        ASSERT_NE(cell, nullptr);
        QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(60, cell->height() / 2));
    }
    bool waitForRow(const VirtualLight& light)
    {
        return waitUntil([&] {
            waitCentralIdle();
            return rowOf(light) >= 0;
        });
    }
    // Toasts now in the window (shown or about to be).
    QStringList toastMessages() const
    {
        QStringList messages;
        for (OxToast* toast : app()->window()->findChildren<OxToast*>())
            messages << toast->message();
        return messages;
    }
    bool waitForToast(const QString& message)
    {
        return waitUntil([&] { return toastMessages().contains(message); });
    }
    static QString controlledIdentifiers()
    {
        QStringList ids;
        for (const auto& entry : OxBlueTooth::sharedInstance().controlDict())
            ids << QString::fromStdString(entry.first);
        return ids.join(',');
    }
};

const QString kDisconnected = QStringLiteral("未连接\nDISCONNECTED");
const QString kConnected = QStringLiteral("已连接\nCONNECTED");

TEST_F(DevicesControllerTest, RowButtonsConnectAndDisconnectTheLight)
{
    VirtualLight& keyLight = addLight("Key Light");
    VirtualLight& tube = addLight("RGB Tube");
    launchApp();
    ASSERT_TRUE(waitForRow(keyLight));
    ASSERT_TRUE(waitForRow(tube));
    EXPECT_TRUE(rowShows(keyLight, kDisconnected));
    EXPECT_EQ(cellOf(keyLight)->labelName()->text(), QStringLiteral("Key Light"));

    click(cellOf(keyLight)->buttonConnect());
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return keyLight.isConnected() && rowShows(keyLight, kConnected);
    }));
    EXPECT_FALSE(tube.isConnected());
    EXPECT_TRUE(cellOf(keyLight)->buttonConnect()->styleSheet().contains(QStringLiteral("#2a87ff")));

    // A tap on a connected light's button lets it go; a disconnected light
    // leaves the list until it is heard again.
    click(cellOf(keyLight)->buttonConnect());
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return !keyLight.isConnected() && rowOf(keyLight) < 0;
    }));
}

TEST_F(DevicesControllerTest, RescanKeepsOnlyTheConnectedLightsThenHearsTheOthersAgain)
{
    VirtualLight& connected = addLight("Connected");
    VirtualLight& other = addLight("Other");
    VirtualLight& third = addLight("Third");
    ASSERT_TRUE(connectThroughManager(connected));
    ASSERT_TRUE(discover(other));
    ASSERT_TRUE(discover(third));
    launchApp();
    ASSERT_TRUE(waitForRow(other));

    // The rescan on return to the foreground drops the stale lights at once.
    NotificationCenter::defaultCenter().post(QStringLiteral("appDidBecomeActive"));
    ASSERT_EQ(devices().rowCount(), 1);
    EXPECT_EQ(rowOf(connected), 0);
    EXPECT_TRUE(rowShows(connected, kConnected));

    ASSERT_TRUE(waitForRow(other));
    ASSERT_TRUE(waitForRow(third));
    EXPECT_EQ(devices().rowCount(), 3);
}

TEST_F(DevicesControllerTest, ScanIconTurnsFromTheFirstScanAndIsNotRestartedByLaterOnes)
{
    launchApp();
    DevicesController& screen = devices();
    // The first scan ran as the screen appeared.
    ASSERT_TRUE(screen.isTurning());
    EXPECT_FALSE(screen.scanButton()->isEnabled());
    QPointer<QTimer> rotate = screen.rotateTimer();
    QPointer<QTimer> stop = screen.stopTimer();
    ASSERT_TRUE(rotate && stop);
    EXPECT_EQ(rotate->interval(), 100);
    EXPECT_FALSE(rotate->isSingleShot());
    EXPECT_EQ(stop->interval(), 8000);
    EXPECT_TRUE(stop->isSingleShot());

    ASSERT_TRUE(waitUntil([&] { return stop->remainingTime() < 8000; }));
    const int remaining = stop->remainingTime();
    // Two more scans, and a tap on the disabled scan button.
    NotificationCenter::defaultCenter().post(QStringLiteral("appDidBecomeActive"));
    click(screen.scanButton());
    NotificationCenter::defaultCenter().post(QStringLiteral("appDidBecomeActive"));
    EXPECT_EQ(screen.rotateTimer(), rotate.data());
    EXPECT_EQ(screen.stopTimer(), stop.data());
    EXPECT_TRUE(stop->isActive());
    EXPECT_LE(stop->remainingTime(), remaining);
    EXPECT_FALSE(screen.scanButton()->isEnabled());

    // Each tick turns the icon a quarter turn further.
    const float before = screen.degree();
    EXPECT_GE(before, 0.5f);
    ASSERT_TRUE(QMetaObject::invokeMethod(rotate, "timeout"));
    ASSERT_TRUE(QMetaObject::invokeMethod(rotate, "timeout"));
    EXPECT_FLOAT_EQ(screen.degree(), before + 1.0f);

    // The end of the 8 s stops the turn and frees the button.
    ASSERT_TRUE(QMetaObject::invokeMethod(stop, "timeout"));
    EXPECT_FALSE(screen.isTurning());
    EXPECT_TRUE(screen.scanButton()->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return rotate.isNull() && stop.isNull(); }));

    // The next scan turns on from where the icon stopped.
    const float stoppedAt = screen.degree();
    click(screen.scanButton());
    EXPECT_TRUE(screen.isTurning());
    EXPECT_FALSE(screen.scanButton()->isEnabled());
    EXPECT_FLOAT_EQ(screen.degree(), stoppedAt);
}

TEST_F(DevicesControllerTest, TapOnADisconnectedLightAsksToConnectFirst)
{
    VirtualLight& light = addLight("Lonely");
    launchApp();
    ASSERT_TRUE(waitForRow(light));
    tapRow(rowOf(light));
    ASSERT_TRUE(waitForToast(QStringLiteral("连接设备后才可进行控制或编辑操作")));
    EXPECT_EQ(controlledIdentifiers(), QString());
    EXPECT_EQ(navigation().count(), 1);
    EXPECT_TRUE(AlertController::openAlerts().isEmpty());
}

TEST_F(DevicesControllerTest, TapOnAConnectedLightControlsItAloneAndOpensTheFirstTab)
{
    VirtualLight& first = addLight("First");
    VirtualLight& second = addLight("Second");
    ASSERT_TRUE(connectThroughManager(first));
    ASSERT_TRUE(connectThroughManager(second));
    OxBlueTooth::sharedInstance().setControlDict({{first.identifier(), peripheralOf(first)}});
    launchApp();
    ASSERT_TRUE(waitForRow(second));

    tapRow(rowOf(second));
    EXPECT_EQ(controlledIdentifiers(), QString::fromStdString(second.identifier()));
    ASSERT_EQ(navigation().count(), 2);
    auto* setting = qobject_cast<SettingController*>(navigation().top());
    ASSERT_NE(setting, nullptr);
    EXPECT_EQ(setting->index(), 0);
}

TEST_F(DevicesControllerTest, GroupButtonOpensTheGroupTabAndLeavesControlAlone)
{
    VirtualLight& light = addLight("Grouped");
    ASSERT_TRUE(connectThroughManager(light));
    OxBlueTooth::sharedInstance().setControlDict({{light.identifier(), peripheralOf(light)}});
    launchApp();
    click(devices().gpmButton());
    ASSERT_EQ(navigation().count(), 2);
    auto* setting = qobject_cast<SettingController*>(navigation().top());
    ASSERT_NE(setting, nullptr);
    EXPECT_EQ(setting->index(), 5);
    EXPECT_EQ(controlledIdentifiers(), QString::fromStdString(light.identifier()));
}

TEST_F(DevicesControllerTest, RenameModeToggleShowsItsHints)
{
    launchApp();
    click(devices().editButton());
    EXPECT_TRUE(devices().isEditing());
    EXPECT_TRUE(devices().editButton()->isChecked());
    ASSERT_TRUE(waitForToast(QStringLiteral("进入编辑模式，请选择已连接的设备改名")));
    click(devices().editButton());
    EXPECT_FALSE(devices().isEditing());
    ASSERT_TRUE(waitForToast(QStringLiteral("退出编辑模式")));
}

// Mended: the manager changes its map on its own queue, so a row can show a
// light that has left discoverDict by the time it is tapped. The tap goes to
// the light the row showed, or nowhere, never to whichever light now sits at
// that position.
TEST_F(DevicesControllerTest, TapOnARowWhoseLightHasGoneIsIgnored)
{
    VirtualLight& leaving = addLight("Leaving");
    VirtualLight& staying = addLight("Staying");
    ASSERT_TRUE(connectThroughManager(leaving));
    ASSERT_TRUE(connectThroughManager(staying));
    launchApp();
    ASSERT_TRUE(waitForRow(staying));
    const int leavingRow = rowOf(leaving);
    const int stayingRow = rowOf(staying);
    ASSERT_GE(leavingRow, 0);

    // The light drops out; the list has not been reloaded yet.
    ASSERT_TRUE(leaving.dropConnection());
    testing::processSimulator().waitIdle();
    ASSERT_EQ(peripheralOf(leaving), nullptr);

    tapRow(leavingRow);
    EXPECT_EQ(controlledIdentifiers(), QString());
    EXPECT_EQ(navigation().count(), 1);
    EXPECT_TRUE(toastMessages().isEmpty());

    // The row of the light still there opens it, wherever the map now has it.
    tapRow(stayingRow);
    EXPECT_EQ(controlledIdentifiers(), QString::fromStdString(staying.identifier()));
    EXPECT_EQ(navigation().count(), 2);

    // A row past the end of the list does nothing either.
    navigation().pop(false);
    navigation().finishTransition();
    devices().tableViewDidSelectRowAtIndexPath(99);
    EXPECT_EQ(navigation().count(), 1);
}

// Mended: a light's name comes from the radio and is shown as it is, never
// read as markup.
TEST_F(DevicesControllerTest, LightNamesAreShownAsPlainText)
{
    const std::string name = "<b>Bold</b> & <img src=x>";
    VirtualLight& light = addLight(name);
    launchApp();
    ASSERT_TRUE(waitForRow(light));
    QLabel* label = cellOf(light)->labelName();
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->text(), QString::fromStdString(name));
}

TEST_F(DevicesControllerTest, ConnectingRefreshesTheNameOfTheLightInEveryGroup)
{
    VirtualLight& light = addLight("Studio Key");
    VirtualLight& bystander = addLight("Bystander");
    GroupStore& store = sharedGroupStore();
    GroupList groups;
    store.addGroup(groups, "客厅");
    store.addGroup(groups, "工作室");
    store.addDevices(0, {{light.identifier(), "Old Name"}, {bystander.identifier(), "Bystander Old"}});
    store.addDevices(1, {{light.identifier(), "Old Name"}});

    launchApp();
    ASSERT_TRUE(waitForRow(light));
    click(cellOf(light)->buttonConnect());
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        const auto file = readPreferencesFile();
        return file.contains("deviceInGroup") && file["deviceInGroup"][1].value(light.identifier(), "") == "Studio Key";
    }));
    const auto file = readPreferencesFile();
    EXPECT_EQ(file["deviceInGroup"][0][light.identifier()], "Studio Key");
    // A light that did not connect keeps its stored name.
    EXPECT_EQ(file["deviceInGroup"][0][bystander.identifier()], "Bystander Old");
    EXPECT_EQ(file["groupList"].size(), 2u);
}

TEST_F(DevicesControllerTest, EventsAfterTheScreenIsGoneAreDropped)
{
    VirtualLight& light = addLight("Late");
    launchApp();
    ASSERT_TRUE(waitForRow(light));
    std::shared_ptr<Peripheral> peripheral = peripheralOf(light);
    QPointer<DevicesController> screen = &devices();
    // The screen goes while the manager still works for it.
    OxBlueTooth::sharedInstance().connectToDevice(peripheral);
    delete app()->window();
    processEvents();
    EXPECT_TRUE(screen.isNull());
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return light.isConnected();
    }));
    OxBlueTooth::sharedInstance().disConnectDevice(peripheral);
    waitCentralIdle();
    EXPECT_FALSE(light.isConnected());
}

// Counts the functions handed to an object's thread (queued calls).
class QueuedCallCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MetaCall)
            ++count;
        return false;
    }
};

// A burst of discoveries must not rebuild the list once per light (the
// screen would stall for the whole burst), and must still show every light,
// including one heard after the burst.
TEST_F(DevicesControllerTest, BurstOfDiscoveriesIsShownWithOneReload)
{
    constexpr int kLights = 200;
    std::vector<VirtualLight*> lights;
    for (int i = 0; i < kLights; ++i)
        lights.push_back(&addLight("Burst " + std::to_string(i)));
    launchApp();
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return devices().rowCount() == kLights;
    }));

    QueuedCallCounter reloads;
    devices().installEventFilter(&reloads);
    // The rescan drops every light, then hears all of them again while the
    // main thread is busy elsewhere.
    NotificationCenter::defaultCenter().post(QStringLiteral("appDidBecomeActive"));
    ASSERT_EQ(devices().rowCount(), 0);
    testing::processSimulator().waitIdle();
    // Rows are built over a few turns of the event loop; the reload that the
    // burst queued is one.
    ASSERT_TRUE(waitUntil([&] { return devices().rowCount() == kLights; }));
    EXPECT_LE(reloads.count, 2) << "one reload for the whole burst, not one per light";
    for (const VirtualLight* light : lights)
        EXPECT_GE(rowOf(*light), 0) << light->name();

    // The next event after the burst reloads again.
    VirtualLight& late = addLight("Late");
    EXPECT_TRUE(waitForRow(late));
    EXPECT_EQ(devices().rowCount(), kLights + 1);
    devices().removeEventFilter(&reloads);
}

// A peripheral whose state the test sets, for the row's looks.
class StatePeripheral : public Peripheral {
public:
    std::string identifier() const override { return "0D3F2C1A-0000-4000-8000-000000000001"; }
    std::string name() const override { return "Stub"; }
    PeripheralState state() const override { return m_state; }
    std::vector<std::shared_ptr<Service>> services() const override { return {}; }
    void discoverServices() override {}
    void discoverCharacteristics(const std::shared_ptr<Service>&) override {}
    void writeValue(const Bytes&, const std::shared_ptr<Characteristic>&, WriteType) override {}
    void setNotifyValue(bool, const std::shared_ptr<Characteristic>&) override {}

    PeripheralState m_state = PeripheralState::Disconnected;
};

TEST(CellDeviceTest, ButtonFollowsTheStateAndKeepsItsLookWhileDisconnecting)
{
    CellDevice cell;
    EXPECT_EQ(cell.buttonConnect()->text(), kDisconnected);
    EXPECT_TRUE(cell.buttonConnect()->isEnabled());

    auto light = std::make_shared<StatePeripheral>();
    struct Case {
        PeripheralState state;
        QString title;
        const char* colour;
        bool enabled;
    };
    const Case cases[] = {
        {PeripheralState::Connecting, QStringLiteral("连接中\nCONNECTING"), "#303030", false},
        {PeripheralState::Connected, kConnected, "#2a87ff", true},
        {PeripheralState::Disconnecting, kConnected, "#2a87ff", true},  // unchanged
        {PeripheralState::Disconnected, kDisconnected, "#303030", true},
        {PeripheralState::Disconnecting, kDisconnected, "#303030", true},  // unchanged
    };
    for (const Case& c : cases) {
        light->m_state = c.state;
        cell.setPeripheral(light);
        SCOPED_TRACE(static_cast<int>(c.state));
        EXPECT_EQ(cell.buttonConnect()->text(), c.title);
        EXPECT_TRUE(cell.buttonConnect()->styleSheet().contains(QLatin1String(c.colour)));
        EXPECT_EQ(cell.buttonConnect()->isEnabled(), c.enabled);
    }
    EXPECT_EQ(cell.labelName()->text(), QStringLiteral("Stub"));
}

TEST(CellDeviceTest, RowGeometry)
{
    CellDevice cell;
    ASSERT_TRUE(testing::showWindow(&cell, QSize(390, CellDevice::kRowHeight)));
    const QRect button = cell.buttonConnect()->geometry();
    EXPECT_EQ(button.size(), QSize(110, 42));
    // 15 from the panel's right edge, the panel 15 from the row's.
    EXPECT_EQ(cell.width() - 1 - button.right(), 30);
    EXPECT_EQ(button.top(), (CellDevice::kRowHeight - 42) / 2);
    EXPECT_EQ(cell.labelName()->font().pixelSize(), 15);
    EXPECT_EQ(cell.labelName()->x(), 15 + 20 + 20 + 3);
}

}  // namespace
}  // namespace lightdeck
