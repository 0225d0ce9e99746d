#include "support/simulated_app_fixture.h"

#include <atomic>
#include <fstream>

#include "app/app_delegate.h"
#include "bluetooth/ox_blue_tooth.h"
#include "devices/cell_device.h"
#include "devices/devices_controller.h"
#include "devices/preferences.h"
#include "devices/shared_store.h"
#include "ui/alert_controller.h"
#include "ui/navigation_controller.h"

namespace lightdeck::testing {
namespace {

LightSimulator* g_simulator = nullptr;  // never destroyed: the manager's central uses it to the end

OxBlueTooth& manager() { return OxBlueTooth::sharedInstance(); }

bool hasCharacteristic(const VirtualLight& light)
{
    const auto dict = manager().characterDict();
    return std::any_of(dict.begin(), dict.end(), [&](const auto& entry) { return entry.first == light.identifier(); });
}

}  // namespace

LightSimulator& processSimulator()
{
    if (!g_simulator)
        std::abort();  // installProcessSimulator() has not run
    return *g_simulator;
}

void installProcessSimulator()
{
    if (g_simulator)
        return;
    g_simulator = new LightSimulator();
    OxBlueTooth::setSharedCentralFactory(g_simulator->centralFactory());
}

SimulatedAppTest::SimulatedAppTest() = default;
SimulatedAppTest::~SimulatedAppTest() = default;

void SimulatedAppTest::SetUp()
{
    ASSERT_TRUE(m_scratch.isValid());
    useSharedPreferencesFile(preferencesFile());
    manager().setDelegate({});
    manager().setControlDict({});
    manager().setIsChangeName(false);
    manager().setRenameSettleDelay(std::chrono::milliseconds(20));
    manager().setCharacteristicID("FFF1");
    manager().setUuidString("FFF0");
}

void SimulatedAppTest::TearDown()
{
    for (AlertController* alert : AlertController::openAlerts())
        alert->triggerAction(QStringLiteral("取消"));
    m_app.reset();
    processEvents();
    manager().setDelegate({});
    manager().stopScann();
    manager().setIsChangeName(false);
    // Let connections still being made finish first, so none completes after
    // its light was dropped and lingers into the next test.
    processSimulator().waitIdle();
    // Off the air: disconnected, and no longer heard by a scan for FFF0.
    for (VirtualLight* light : m_lights) {
        light->setAdvertisesService(false);
        light->dropConnection();
    }
    processSimulator().waitIdle();
    manager().setControlDict({});
    manager().removeUnconnectedFromDiscoverDict();
    processEvents();
    // Late writes of this test go nowhere near the next one.
    setSharedPreferences(std::make_shared<InMemoryPreferences>());
    m_lights.clear();
}

VirtualLight& SimulatedAppTest::addLight(const std::string& name, VirtualLightSpec spec)
{
    static std::atomic<unsigned> next{1};  // a fresh identifier for every light of the process
    if (spec.identifier.empty())
        spec.identifier = QString("7E570000-0000-4000-8000-%1").arg(next++, 12, 16, QChar('0')).toUpper().toStdString();
    spec.name = name;
    m_lights.push_back(&processSimulator().addLight(std::move(spec)));
    return *m_lights.back();
}

bool SimulatedAppTest::discover(const VirtualLight& light)
{
    if (!peripheralOf(light))
        manager().startScannWithIdentifier("FFF0");
    return waitUntil([&] { return processSimulator().waitIdle(), peripheralOf(light) != nullptr; });
}

bool SimulatedAppTest::connectThroughManager(const VirtualLight& light)
{
    if (!discover(light))
        return false;
    manager().connectToDevice(peripheralOf(light));
    return waitUntil([&] { return processSimulator().waitIdle(), light.isConnected() && hasCharacteristic(light); });
}

std::shared_ptr<Peripheral> SimulatedAppTest::peripheralOf(const VirtualLight& light) const
{
    for (const auto& [identifier, peripheral] : manager().discoverDict())
        if (identifier == light.identifier())
            return peripheral;
    return nullptr;
}

nlohmann::json SimulatedAppTest::readPreferencesFile() const
{
    std::ifstream in(preferencesFile());
    return in ? nlohmann::json::parse(in, nullptr, false) : nlohmann::json::object();
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
    for (int row = 0; m_app && row < devices().rowCount(); ++row) {
        CellDevice* cell = devices().cellAt(row);
        if (cell && cell->peripheral() && cell->peripheral()->identifier() == light.identifier())
            return row;
    }
    return -1;
}

}  // namespace lightdeck::testing
