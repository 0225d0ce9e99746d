// Test main of qtcentral_tests: a QCoreApplication and the fake BlueZ on its
// private bus; without them the run fails, never passes silently. Run with
// --central-outlives-application ADDRESS it is the child of the test of that
// name instead: it connects the light, then lets the application object go
// while the central lives on in a static, as the program's exit has it.
#include <QCoreApplication>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "bluetooth/qt/fake_bluez.h"
#include "bluetooth/qt/qt_bluetooth_backend.h"
#include "bluetooth/qt/qt_bluetooth_central.h"
#include "common/log.h"
#include "support/recording_central_delegate.h"

namespace {

using namespace lightdeck;
using namespace lightdeck::testing;

int centralOutlivesApplication(int argc, char** argv)
{
    static RecordingDelegate rec;  // statics, like the shared manager's
    static std::unique_ptr<QtBluetoothCentral> central;
    {
        QCoreApplication app(argc, argv);
        central = std::make_unique<QtBluetoothCentral>(rec, std::chrono::seconds(10));
        if (!rec.waitFor(is(CentralEvent::Kind::State)))
            return 2;
        central->scanForPeripherals({"FFF0"}, {});
        const auto found = rec.waitFor(is(CentralEvent::Kind::Discover, idOf(QString::fromLatin1(argv[2]))));
        if (!found)
            return 3;
        central->stopScan();
        central->connect(found->peripheral);
        if (!rec.waitFor(is(CentralEvent::Kind::Connect)))
            return 4;
    }
    return rec.violations() == 0 ? 0 : 5;
}

class FakeBluezEnvironment final : public ::testing::Environment {
public:
    void SetUp() override
    {
        const QString problem = startFakeBluez();
        ASSERT_TRUE(problem.isEmpty()) << "cannot start the fake BlueZ: " << problem.toStdString();
        prepareQtBluetoothEnvironment();  // before Qt Bluetooth's first use: Qt reads it once
    }
    void TearDown() override { stopFakeBluez(); }
};

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.bluetooth*=false");
    if (argc == 3 && std::strcmp(argv[1], "--central-outlives-application") == 0)
        return centralOutlivesApplication(1, argv);
    if (!std::getenv("LIGHTDECK_TEST_LOG"))  // LogCapture still sees every line
        lightdeck::log::setSink([](lightdeck::log::Level, std::string_view) {});
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new FakeBluezEnvironment);
    return RUN_ALL_TESTS();
}
