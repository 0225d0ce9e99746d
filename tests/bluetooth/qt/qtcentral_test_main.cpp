// Test main of qtcentral_tests: a QCoreApplication and, before the first
// test, a private system bus with the fake BlueZ on it. Without dbus-daemon or
// the fake the run fails (it never passes silently).
#include <QCoreApplication>

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "bluetooth/qt/central_outlives_application.h"
#include "bluetooth/qt/fake_bluez.h"
#include "bluetooth/qt/qt_bluetooth_backend.h"
#include "common/log.h"

namespace {

class FakeBluezEnvironment final : public testing::Environment {
public:
    void SetUp() override
    {
        const QString problem = lightdeck::testing::fakeBluez().start();
        ASSERT_TRUE(problem.isEmpty()) << "cannot start the fake BlueZ: " << problem.toStdString();
        // Both before Qt Bluetooth's first use: Qt reads them once.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", lightdeck::testing::fakeBluez().busAddress().toUtf8());
        lightdeck::prepareQtBluetoothEnvironment();
    }
    void TearDown() override { lightdeck::testing::fakeBluez().stop(); }
};

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.bluetooth*=false");
    // A child run by a test: see central_outlives_application.h.
    if (argc == 3 && std::strcmp(argv[1], lightdeck::testing::kCentralOutlivesApplicationFlag) == 0)
        return lightdeck::testing::runCentralThatOutlivesTheApplication(argv[0], argv[2]);
    // Quiet core log unless asked (LIGHTDECK_TEST_LOG=1); LogCapture still
    // sees every line.
    if (!std::getenv("LIGHTDECK_TEST_LOG"))
        lightdeck::log::setSink([](lightdeck::log::Level, std::string_view) {});
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new FakeBluezEnvironment);
    return RUN_ALL_TESTS();
}
