#include "panels/panel_test_fixture.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include "bluetooth/ox_blue_tooth.h"
#include "protocol/bytes.h"

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

LightSimulator& panelSimulator()
{
    // Never destroyed: the shared manager, which lives for the process,
    // keeps using its central.
    static LightSimulator* simulator = [] {
        auto* s = new LightSimulator;
        OxBlueTooth::setSharedCentralFactory(s->centralFactory());
        return s;
    }();
    return *simulator;
}

VirtualLight& addControlledLight(const std::string& name, const CapabilityProfile& profile)
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
    simulator.waitIdle();
    const auto peripheral = discovered(manager, light.identifier());
    EXPECT_TRUE(peripheral) << name << " was not discovered: is another simulator behind the shared manager?";
    if (!peripheral)
        return light;

    manager.connectToDevice(peripheral);
    simulator.waitIdle();
    EXPECT_TRUE(light.isConnected()) << name;
    EXPECT_TRUE(hasCharacteristic(manager, light.identifier())) << name << ": FFF1 not found";
    manager.setControlDict({{light.identifier(), peripheral}});
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
