#include "panels/panel_test_fixture.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include "bluetooth/ox_blue_tooth.h"
#include "protocol/bytes.h"
#include "protocol/command_frames.h"
#include "support/simulated_app_fixture.h"
#include "support/ui_test_support.h"

namespace lightdeck::testing {
namespace {

constexpr char kFreshRunVariable[] = "LIGHTDECK_FRESH_RUN";
// Bound on a fresh run; it normally takes well under a second.
constexpr int kFreshRunTimeoutMs = 120000;

std::shared_ptr<Peripheral> discovered(const OxBlueTooth& manager, const std::string& identifier)
{
    for (const auto& [id, peripheral] : manager.discoverDict())
        if (id == identifier)
            return peripheral;
    return nullptr;
}

bool hasCharacteristic(const OxBlueTooth& manager, const std::string& identifier)
{
    for (const auto& [id, characteristic] : manager.characterDict())
        if (id == identifier)
            return true;
    return false;
}

}  // namespace

// The test main installs the process's simulator before any test.
LightSimulator& panelSimulator() { return processSimulator(); }

VirtualLight& addLightUnderControl(const std::string& name, const CapabilityProfile& profile)
{
    LightSimulator& simulator = panelSimulator();
    VirtualLightSpec spec;
    spec.name = name;
    spec.capabilities = profile;
    VirtualLight& light = simulator.addLight(std::move(spec));

    OxBlueTooth& manager = OxBlueTooth::sharedInstance();
    manager.setUuidString("FFF0");
    manager.setCharacteristicID("FFF1");
    manager.startScannWithIdentifier("");
    waitUntil([&] {
        simulator.waitIdle();
        return discovered(manager, light.identifier()) != nullptr;
    });
    const auto peripheral = discovered(manager, light.identifier());
    EXPECT_TRUE(peripheral) << name << " was not discovered: is another simulator behind the shared manager?";
    if (!peripheral)
        return light;

    manager.connectToDevice(peripheral);
    waitUntil([&] {
        simulator.waitIdle();
        return light.isConnected() && hasCharacteristic(manager, light.identifier());
    });
    EXPECT_TRUE(light.isConnected()) << name;
    EXPECT_TRUE(hasCharacteristic(manager, light.identifier())) << name << ": FFF1 not found";
    manager.setControlDict({{light.identifier(), peripheral}});
    return light;
}

void retireLight(VirtualLight& light)
{
    OxBlueTooth& manager = OxBlueTooth::sharedInstance();
    manager.setControlDict({});
    light.setAdvertisesService(false);
    light.dropConnection();
    panelSimulator().waitIdle();
    manager.removeUnconnectedFromDiscoverDict();
}

void PanelTest::SetUp()
{
    // The run-long frames start as in a fresh run whatever ran before.
    resetRunLongFrames();
}

void PanelTest::TearDown()
{
    for (VirtualLight* light : m_lights)
        retireLight(*light);
    m_lights.clear();
    processEvents();
}

VirtualLight& PanelTest::addLight(const CapabilityProfile& profile)
{
    VirtualLight& light = addLightUnderControl(::testing::UnitTest::GetInstance()->current_test_info()->name(), profile);
    m_lights.push_back(&light);
    return light;
}

void waitForLights() { panelSimulator().waitIdle(); }

std::vector<std::string> framesOf(const VirtualLight& light)
{
    std::vector<std::string> frames;
    for (const Bytes& value : light.writes())
        frames.push_back(toSpacedHex(value));
    return frames;
}

bool inFreshRun() { return qEnvironmentVariableIsSet(kFreshRunVariable); }

void runInFreshRun(const std::string& testName)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kFreshRunVariable), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=") + QString::fromStdString(testName)});
    ASSERT_TRUE(child.waitForStarted()) << child.errorString().toStdString();
    const bool finished = child.waitForFinished(kFreshRunTimeoutMs);
    const std::string output = child.readAll().toStdString();
    if (!finished)
        child.kill();
    ASSERT_TRUE(finished) << "fresh run of " << testName << " did not finish:\n" << output;
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output;
    EXPECT_EQ(child.exitCode(), 0) << output;
    // A filter that matches nothing also exits 0.
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

}  // namespace lightdeck::testing
