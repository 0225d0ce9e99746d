#include "devices/group_screen_fixture.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <fstream>

#include "controls/ox_toast.h"
#include "devices/shared_store.h"
#include "devices/view_connected_devices.h"
#include "devices/view_gpm.h"
#include "support/ui_test_support.h"
#include "ui/alert_controller.h"
#include "ui/application_window.h"
#include "ui/edit_view.h"

namespace lightdeck::testing {

using nlohmann::json;

void GroupScreenTest::SetUp()
{
    SimulatedAppTest::SetUp();
    m_window = std::make_unique<QWidget>();
    m_window->setObjectName("applicationWindow");
    setApplicationWindow(m_window.get());
    ASSERT_TRUE(showWindow(m_window.get(), kDefaultMainScreenSize));
}

void GroupScreenTest::TearDown()
{
    for (AlertController* alert : AlertController::openAlerts())
        alert->triggerAction(QStringLiteral("取消"));
    m_window.reset();
    setApplicationWindow(nullptr);
    processEvents();
    // Choosing a group asks disconnected members to connect: let those
    // connections finish first, so the base class can drop them all.
    waitCentralIdle();
    SimulatedAppTest::TearDown();
}

std::vector<VirtualLight*> GroupScreenTest::addLights(const std::vector<std::string>& names)
{
    std::vector<VirtualLight*> lights;
    for (const auto& name : names)
        lights.push_back(&addLight(name));
    for (const VirtualLight* light : lights)
        EXPECT_TRUE(discover(*light)) << "not discovered: " << light->name();
    return lights;
}

void GroupScreenTest::rescan()
{
    manager().startScannWithIdentifier("FFF0");
    waitCentralIdle();
}

void GroupScreenTest::connectLight(const VirtualLight& light)
{
    ASSERT_TRUE(connectThroughManager(light)) << "not connected: " << light.name();
}

void GroupScreenTest::disconnectLight(const VirtualLight& light)
{
    if (auto peripheral = peripheralOf(light))
        manager().disConnectDevice(peripheral);
    waitCentralIdle();
}

std::vector<std::string> GroupScreenTest::controlled()
{
    std::vector<std::string> ids;
    for (const auto& [id, peripheral] : manager().controlDict())
        ids.push_back(id);
    return ids;
}

int GroupScreenTest::pickFlag(const VirtualLight& light)
{
    for (const auto& [id, flag] : manager().connectDict())
        if (id == light.identifier())
            return flag;
    return -1;
}

void GroupScreenTest::seedPreferences(const json& root)
{
    std::ofstream(preferencesFile(), std::ios::binary | std::ios::trunc) << root.dump();
    useSharedPreferencesFile(preferencesFile());
}

json GroupScreenTest::groupList() const
{
    return readPreferencesFile().value(GroupStore::kGroupListKey, json());
}

json GroupScreenTest::deviceInGroup() const
{
    return readPreferencesFile().value(GroupStore::kDeviceInGroupKey, json());
}

ViewGPM* GroupScreenTest::openPanel()
{
    auto* panel = new ViewGPM(m_window.get());
    panel->setGeometry(0, 0, mainScreenSize().width(), 600);
    panel->show();
    processEvents();
    return panel;
}

EditView* GroupScreenTest::visiblePopup(QWidget* parent)
{
    for (EditView* popup : parent->findChildren<EditView*>())
        if (popup->isVisible())
            return popup;
    return nullptr;
}

bool GroupScreenTest::tapPopupRow(QWidget* parent, int row)
{
    if (!waitUntil([&] { return visiblePopup(parent) != nullptr; }))
        return false;
    return clickListRow(visiblePopup(parent)->tableView(), row);
}

AlertController* GroupScreenTest::topAlert()
{
    const auto alerts = AlertController::openAlerts();
    return alerts.isEmpty() ? nullptr : alerts.last();
}

bool GroupScreenTest::toastShown(const QString& message) const
{
    const auto toasts = m_window->findChildren<OxToast*>();
    return std::any_of(toasts.begin(), toasts.end(), [&](OxToast* toast) { return toast->message() == message; });
}

ViewConnectedDevices* GroupScreenTest::openSheet() const
{
    for (auto* sheet : m_window->findChildren<ViewConnectedDevices*>())
        if (!sheet->isClosed())
            return sheet;
    return nullptr;
}

void GroupScreenTest::addGroupThroughPanel(ViewGPM* panel, const QString& title)
{
    click(panel->addGroupButton());
    ASSERT_TRUE(tapPopupRow(panel, 0));
    ASSERT_TRUE(waitUntil([] { return topAlert() != nullptr; }));
    AlertController* alert = topAlert();
    ASSERT_EQ(alert->title(), QStringLiteral("添加组"));
    ASSERT_TRUE(alert->textField());
    alert->textField()->setText(title);
    ASSERT_TRUE(alert->triggerAction(QStringLiteral("确定")));
    processEvents();
}

void GroupScreenTest::longPressGroup(ViewGPM* panel, int position, int popupRow)
{
    auto* button = findByTag<QPushButton>(panel, ViewGPM::kGroupButtonTagBase + position);
    ASSERT_TRUE(button);
    press(button, centreOf(button));
    // The recogniser fires after 1.0 s: wait for its popup, not for the time.
    ASSERT_TRUE(waitUntil([&] { return visiblePopup(panel) != nullptr; }));
    release(button, centreOf(button));
    ASSERT_EQ(visiblePopup(panel)->arrayTitle(), QStringList({"修改组名", "删除该组"}));
    ASSERT_TRUE(tapPopupRow(panel, popupRow));
    processEvents();
}

void GroupScreenTest::tapGroup(ViewGPM* panel, int position)
{
    auto* button = findByTag<QPushButton>(panel, ViewGPM::kGroupButtonTagBase + position);
    ASSERT_TRUE(button) << "no group button " << position;
    click(button);
    processEvents();
}

QStringList GroupScreenTest::memberRows(ViewGPM* panel)
{
    QStringList rows;
    for (int i = 0; i < panel->tableView()->count(); ++i)
        rows << panel->tableView()->item(i)->text();
    return rows;
}

}  // namespace lightdeck::testing
