// Test main of qtcentral_tests: a QCoreApplication and the fake BlueZ on its
// private bus; without them the run fails, never passes silently. Run with
// --central-outlives-application ADDRESS it is the child of the test of that
// name instead: it connects the light, then lets the application object go
// while the central lives on in a static, as the program's exit has it.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <chrono>
#include <cstring>

#include <gtest/gtest.h>

#include "bluetooth/qt/fake_bluez.h"
#include "bluetooth/qt/qt_bluetooth_backend.h"
#include "bluetooth/qt/qt_bluetooth_central.h"
#include "common/log.h"
#include "support/recording_central_delegate.h"

namespace lightdeck::testing {

QVariant fakeBluez(const QString& method, const QVariantList& args)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.bluez"), QStringLiteral("/"),
                                                          QStringLiteral("org.lightdeck.FakeBluez1"), method);
    message.setArguments(args);
    const QDBusMessage reply = QDBusConnection(QStringLiteral("fake")).call(message, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        ADD_FAILURE() << "fake BlueZ " << method.toStdString() << ": " << reply.errorMessage().toStdString();
    return reply.arguments().value(0);
}

bool waitUntil(const std::function<bool()>& condition)
{
    for (const QDeadlineTimer deadline(20000); !condition(); QThread::msleep(5))
        if (deadline.hasExpired())
            return false;
    return true;
}

}  // namespace lightdeck::testing

namespace {

using namespace lightdeck;
using namespace lightdeck::testing;

QProcess fake;

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
        fake.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        fake.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(LIGHTDECK_FAKE_BLUEZ_SCRIPT)});
        while (!fake.canReadLine() && fake.waitForReadyRead(30000)) {
        }
        const QByteArray address = fake.readLine().trimmed();
        ASSERT_FALSE(address.isEmpty()) << "no fake BlueZ (dbus-daemon, python3-dbus, python3-gi installed?)";
        // Both before Qt Bluetooth's first use: Qt reads them once.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
        prepareQtBluetoothEnvironment();
        QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("fake"));
    }
    void TearDown() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("fake"));
        fake.terminate();
        fake.waitForFinished(5000);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_LOGGING_RULES", "qt.bluetooth*=false");
    if (argc == 3 && std::strcmp(argv[1], "--central-outlives-application") == 0)
        return centralOutlivesApplication(1, argv);
    lightdeck::log::setSink([](lightdeck::log::Level, std::string_view) {});
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new FakeBluezEnvironment);
    return RUN_ALL_TESTS();
}
