#include "bluetooth/qt/fake_bluez.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

namespace lightdeck::testing {
namespace {

QProcess& fakeProcess()
{
    static QProcess process;
    return process;
}

}  // namespace

QString startFakeBluez()
{
    QProcess& fake = fakeProcess();
    fake.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    fake.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(LIGHTDECK_FAKE_BLUEZ_SCRIPT)});
    while (!fake.canReadLine() && fake.waitForReadyRead(30000)) {
    }
    const QByteArray address = fake.readLine().trimmed();
    if (address.isEmpty())
        return QStringLiteral("no bus address (dbus-daemon, python3-dbus and python3-gi installed?)");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("fake"));
    return {};
}

void stopFakeBluez()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("fake"));
    fakeProcess().terminate();
    fakeProcess().waitForFinished(5000);
}

QVariant fakeBluez(const QString& method, const QVariantList& args)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.bluez"), QStringLiteral("/org/lightdeck/FakeBluez"), QStringLiteral("org.lightdeck.FakeBluez1"),
        method);
    message.setArguments(args);
    const QDBusMessage reply = QDBusConnection(QStringLiteral("fake")).call(message, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        ADD_FAILURE() << "fake BlueZ " << method.toStdString() << ": " << reply.errorMessage().toStdString();
    return reply.arguments().value(0);
}

QStringList fakeLight(const QString& address)
{
    return fakeBluez(QStringLiteral("State"), {address}).toString().split(QLatin1Char(' '));
}

bool waitUntil(const std::function<bool()>& condition)
{
    const QDeadlineTimer deadline(20000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(5);
    }
    return true;
}

}  // namespace lightdeck::testing
