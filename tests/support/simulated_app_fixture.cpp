#include "support/simulated_app_fixture.h"

#include <QCoreApplication>
#include <QWidget>

#include <atomic>
#include <cstdio>
#include <fstream>

#include "app/app_delegate.h"
#include "bluetooth/ox_blue_tooth.h"
#include "devices/cell_device.h"
#include "devices/devices_controller.h"
#include "devices/preferences.h"
#include "devices/shared_store.h"
#include "support/ui_test_support.h"
#include "ui/alert_controller.h"
#include "ui/navigation_controller.h"

namespace lightdeck::testing {
namespace {

LightSimulator*& simulatorSlot()
{
    static LightSimulator* simulator = nullptr;
    return simulator;
}

template <typename Map>
bool holds(const Map& map, const std::string& identifier)
{
    for (const auto& entry : map) {
        if (entry.first == identifier)
            return true;
    }
    return false;
}

}  // namespace

LightSimulator& processSimulator()
{
    if (!simulatorSlot()) {
        std::fputs("processSimulator(): installProcessSimulator() has not run\n", stderr);
        std::abort();
    }
    return *simulatorSlot();
}

void installProcessSimulator()
{
    if (simulatorSlot())
        return;
    // Never destroyed: the manager's central uses it until the process ends.
    simulatorSlot() = new LightSimulator();
    OxBlueTooth::setSharedCentralFactory(simulatorSlot()->centralFactory());
}

std::string freshLightIdentifier()
{
    static std::atomic<unsigned> next{1};
    char text[40];
    std::snprintf(text, sizeof text, "7E570000-0000-4000-8000-%012X", next++);
    return text;
}

SimulatedAppTest::SimulatedAppTest() = default;
SimulatedAppTest::~SimulatedAppTest() = default;

void SimulatedAppTest::SetUp()
{
    ASSERT_TRUE(m_scratch.isValid());
    useSharedPreferencesFile(std::filesystem::path(m_scratch.path().toStdString()) / "preferences.json");
    auto& manager = OxBlueTooth::sharedInstance();
    manager.setDelegate({});
    manager.setControlDict({});
    manager.setIsChangeName(false);
    manager.setRenameSettleDelay(std::chrono::milliseconds(kRenameSettleMs));
    manager.setCharacteristicID("FFF1");
    manager.setUuidString("FFF0");
}

void SimulatedAppTest::TearDown()
{
    for (AlertController* alert : AlertController::openAlerts())
        alert->triggerAction(QStringLiteral("取消"));
    m_app.reset();
    processEvents();

    auto& manager = OxBlueTooth::sharedInstance();
    manager.setDelegate({});
    manager.stopScann();
    manager.setIsChangeName(false);
    // Let connections still being made finish first, so none completes after
    // its light was dropped and lingers into the next test.
    processSimulator().waitIdle();
    // Off the air: disconnected, and no longer heard by a scan for FFF0.
    for (VirtualLight* light : m_lights) {
        light->setAdvertisesService(false);
        light->dropConnection();
    }
    processSimulator().waitIdle();
    manager.setControlDict({});
    manager.removeUnconnectedFromDiscoverDict();
    processEvents();
    // Late writes of this test go nowhere near the next one.
    setSharedPreferences(std::make_shared<InMemoryPreferences>());
    m_lights.clear();
}

VirtualLight& SimulatedAppTest::addLight(const std::string& name, VirtualLightSpec spec)
{
    if (spec.identifier.empty())
        spec.identifier = freshLightIdentifier();
    spec.name = name;
    VirtualLight& light = processSimulator().addLight(std::move(spec));
    m_lights.push_back(&light);
    return light;
}

void SimulatedAppTest::waitCentralIdle()
{
    processSimulator().waitIdle();
    processEvents();
}

bool SimulatedAppTest::discover(const VirtualLight& light)
{
    auto& manager = OxBlueTooth::sharedInstance();
    if (!holds(manager.discoverDict(), light.identifier()))
        manager.startScannWithIdentifier("FFF0");
    return waitUntil([&] {
        processSimulator().waitIdle();
        return holds(OxBlueTooth::sharedInstance().discoverDict(), light.identifier());
    });
}

bool SimulatedAppTest::connectThroughManager(const VirtualLight& light)
{
    if (!discover(light))
        return false;
    auto& manager = OxBlueTooth::sharedInstance();
    manager.connectToDevice(peripheralOf(light));
    return waitUntil([&] {
        processSimulator().waitIdle();
        return light.isConnected() && holds(OxBlueTooth::sharedInstance().characterDict(), light.identifier());
    });
}

std::shared_ptr<Peripheral> SimulatedAppTest::peripheralOf(const VirtualLight& light) const
{
    for (const auto& [identifier, peripheral] : OxBlueTooth::sharedInstance().discoverDict()) {
        if (identifier == light.identifier())
            return peripheral;
    }
    return nullptr;
}

std::filesystem::path SimulatedAppTest::preferencesFile() const
{
    return std::filesystem::path(m_scratch.path().toStdString()) / "preferences.json";
}

nlohmann::json SimulatedAppTest::readPreferencesFile() const
{
    std::ifstream in(preferencesFile());
    if (!in)
        return nlohmann::json::object();
    return nlohmann::json::parse(in, nullptr, false);
}

AppDelegate& SimulatedAppTest::launchApp()
{
    m_app = std::make_unique<AppDelegate>();
    m_app->didFinishLaunchingWithOptions();
    showWindow(m_app->window());
    processEvents();
    return *m_app;
}

DevicesController& SimulatedAppTest::devices() const { return *m_app->devicesController(); }

NavigationController& SimulatedAppTest::navigation() const { return *m_app->navigationController(); }

int SimulatedAppTest::rowOf(const VirtualLight& light) const
{
    if (!m_app)
        return -1;
    DevicesController& screen = devices();
    for (int row = 0; row < screen.rowCount(); ++row) {
        CellDevice* cell = screen.cellAt(row);
        if (cell && cell->peripheral() && cell->peripheral()->identifier() == light.identifier())
            return row;
    }
    return -1;
}

}  // namespace lightdeck::testing
