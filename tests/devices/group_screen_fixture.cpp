#include "devices/group_screen_fixture.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

#include "controls/ox_toast.h"
#include "devices/view_connected_devices.h"
#include "devices/view_gpm.h"
#include "support/ui_test_support.h"
#include "ui/alert_controller.h"
#include "ui/application_window.h"
#include "ui/edit_view.h"

namespace lightdeck::testing {

using nlohmann::json;

LightSimulator& sharedSimulator()
{
    // Never destroyed: the shared manager's central outlives every test.
    static LightSimulator* simulator = [] {
        auto* made = new LightSimulator();
        OxBlueTooth::setSharedCentralFactory(made->centralFactory());
        return made;
    }();
    return *simulator;
}

OxBlueTooth& GroupScreenTest::manager()
{
    sharedSimulator();
    return OxBlueTooth::sharedInstance();
}

void GroupScreenTest::SetUp()
{
    m_file = m_folder.path() / "preferences.json";
    m_preferences = std::make_unique<JsonFilePreferences>(m_file);
    m_store = std::make_unique<GroupStore>(*m_preferences);

    m_window = std::make_unique<QWidget>();
    m_window->setObjectName("applicationWindow");
    setApplicationWindow(m_window.get());
    ASSERT_TRUE(showWindow(m_window.get(), kDefaultMainScreenSize));

    manager().setUuidString("FFF0");
    manager().setCharacteristicID("FFF1");
}

void GroupScreenTest::TearDown()
{
    for (AlertController* alert : AlertController::openAlerts())
        alert->triggerAction(QStringLiteral("取消"));
    m_window.reset();
    setApplicationWindow(nullptr);
    processEvents();

    auto& bluetooth = manager();
    for (const auto& [id, flag] : bluetooth.connectDict()) {
        for (const auto& [discoveredId, peripheral] : bluetooth.discoverDict())
            if (discoveredId == id)
                bluetooth.disConnectDevice(peripheral);
    }
    sharedSimulator().waitIdle();
    bluetooth.setControlDict({});
    bluetooth.removeUnconnectedFromDiscoverDict();
}

std::vector<VirtualLight*> GroupScreenTest::addLights(const std::vector<std::string>& names)
{
    std::vector<VirtualLight*> lights;
    for (const auto& name : names) {
        VirtualLightSpec spec;
        spec.name = name;
        lights.push_back(&sharedSimulator().addLight(std::move(spec)));
    }
    rescan();
    for (const VirtualLight* light : lights)
        EXPECT_TRUE(discovered(*light)) << "not discovered: " << light->name();
    return lights;
}

void GroupScreenTest::rescan()
{
    manager().startScannWithIdentifier("FFF0");
    sharedSimulator().waitIdle();
}

std::shared_ptr<Peripheral> GroupScreenTest::discovered(const VirtualLight& light) const
{
    for (const auto& [id, peripheral] : manager().discoverDict())
        if (id == light.identifier())
            return peripheral;
    return nullptr;
}

void GroupScreenTest::connectLight(const VirtualLight& light)
{
    auto peripheral = discovered(light);
    ASSERT_TRUE(peripheral);
    manager().connectToDevice(peripheral);
    sharedSimulator().waitIdle();
    ASSERT_TRUE(light.isConnected());
    const auto writable = manager().characterDict();
    ASSERT_TRUE(std::any_of(writable.begin(), writable.end(),
                            [&](const auto& entry) { return entry.first == light.identifier(); }));
}

void GroupScreenTest::disconnectLight(const VirtualLight& light)
{
    if (auto peripheral = discovered(light))
        manager().disConnectDevice(peripheral);
    sharedSimulator().waitIdle();
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
    m_store.reset();
    m_preferences.reset();
    TempFolder::write(m_file, root.dump());
    m_preferences = std::make_unique<JsonFilePreferences>(m_file);
    m_store = std::make_unique<GroupStore>(*m_preferences);
}

json GroupScreenTest::preferencesFile() const
{
    if (!std::filesystem::exists(m_file))
        return json::object();
    return json::parse(TempFolder::read(m_file));
}

json GroupScreenTest::groupList() const
{
    return preferencesFile().value(GroupStore::kGroupListKey, json());
}

json GroupScreenTest::deviceInGroup() const
{
    return preferencesFile().value(GroupStore::kDeviceInGroupKey, json());
}

ViewGPM* GroupScreenTest::openPanel()
{
    auto* panel = new ViewGPM(*m_store, m_window.get());
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
