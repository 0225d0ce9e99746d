#include "bluetooth/qt/fake_bluez.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace lightdeck::testing {
namespace {

const QString kService = QStringLiteral("org.bluez");
const QString kControlPath = QStringLiteral("/org/lightdeck/FakeBluez");
const QString kControlInterface = QStringLiteral("org.lightdeck.FakeBluez1");
// Generous: a loaded CI machine may take a while to start Python.
constexpr int kStartLimitMs = 30000;

// A bus of type "system" that lets anyone own and call anything.
const char* kBusConfig = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
)";

}  // namespace

FakeBluez& fakeBluez()
{
    static FakeBluez fake;
    return fake;
}

FakeBluez::~FakeBluez() { stop(); }

QString FakeBluez::start()
{
    if (!m_address.isEmpty())
        return {};
    if (!m_dir.isValid())
        return QStringLiteral("cannot create a temporary folder");
    QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty() && QFileInfo(QStringLiteral("/usr/bin/dbus-daemon")).isExecutable())
        daemon = QStringLiteral("/usr/bin/dbus-daemon");
    if (daemon.isEmpty())
        return QStringLiteral("dbus-daemon not found (install the dbus-daemon package: scripts/setup)");
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo(python).isExecutable())
        return QStringLiteral("/usr/bin/python3 not found (scripts/setup installs it)");
    const QString script = QStringLiteral(LIGHTDECK_FAKE_BLUEZ_SCRIPT);
    if (!QFileInfo(script).isReadable())
        return QStringLiteral("fake BlueZ script missing: ") + script;

    const QString configPath = m_dir.filePath(QStringLiteral("system-bus.conf"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write ") + configPath;
    config.write(QString::fromLatin1(kBusConfig).arg(m_dir.path()).toUtf8());
    config.close();

    QProcess bus;
    bus.start(daemon, {QStringLiteral("--config-file=") + configPath, QStringLiteral("--fork"),
                       QStringLiteral("--print-address=1"), QStringLiteral("--print-pid=1")});
    if (!bus.waitForFinished(kStartLimitMs) || bus.exitCode() != 0)
        return QStringLiteral("dbus-daemon failed: ") + QString::fromLocal8Bit(bus.readAllStandardError());
    const QStringList lines = QString::fromLocal8Bit(bus.readAllStandardOutput()).split(QLatin1Char('\n'),
                                                                                          Qt::SkipEmptyParts);
    if (lines.size() < 2)
        return QStringLiteral("dbus-daemon printed no address and PID");
    m_address = lines.at(0).trimmed();
    m_busPid = lines.at(1).trimmed().toLongLong();

    m_fake.setProcessChannelMode(QProcess::ForwardedChannels);
    m_fake.start(python, {script, QStringLiteral("--address"), m_address, QStringLiteral("--watch-pid"),
                          QString::number(QCoreApplication::applicationPid()), QStringLiteral("--bus-pid"),
                          QString::number(m_busPid)});
    if (!m_fake.waitForStarted(kStartLimitMs)) {
        stop();
        return QStringLiteral("cannot start the fake BlueZ: ") + m_fake.errorString();
    }
    m_connectionName = QStringLiteral("lightdeck-fake-bluez-control");
    QDBusConnection::connectToBus(m_address, m_connectionName);
    const QString problem = waitUntilReady();
    if (!problem.isEmpty())
        stop();
    return problem;
}

QString FakeBluez::waitUntilReady()
{
    QDBusConnection connection(m_connectionName);
    if (!connection.isConnected())
        return QStringLiteral("cannot connect to the private bus: ") + connection.lastError().message();
    const QDeadlineTimer deadline(kStartLimitMs);
    QString last;
    while (!deadline.hasExpired()) {
        if (m_fake.state() == QProcess::NotRunning)
            return QStringLiteral("the fake BlueZ exited with code %1 (python3-dbus and python3-gi installed?)")
                .arg(m_fake.exitCode());
        // The name is owned only after the objects are exported, but the
        // object tree answering is the real sign of life.
        const QDBusMessage reply = connection.call(
            QDBusMessage::createMethodCall(kService, QStringLiteral("/"),
                                           QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                           QStringLiteral("GetManagedObjects")),
            QDBus::Block, 2000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return {};
        last = reply.errorMessage();
        QThread::msleep(20);
    }
    return QStringLiteral("the fake BlueZ did not answer GetManagedObjects: ") + last;
}

void FakeBluez::stop()
{
    if (!m_connectionName.isEmpty()) {
        QDBusConnection::disconnectFromBus(m_connectionName);
        m_connectionName.clear();
    }
    if (m_fake.state() != QProcess::NotRunning) {
        m_fake.terminate();
        if (!m_fake.waitForFinished(5000)) {
            m_fake.kill();
            m_fake.waitForFinished(5000);
        }
    }
    if (m_busPid > 0) {
        ::kill(static_cast<pid_t>(m_busPid), SIGTERM);
        m_busPid = 0;
    }
    m_address.clear();
}

QDBusMessage FakeBluez::call(const QString& method, const QVariantList& args)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kControlPath, kControlInterface, method);
    message.setArguments(args);
    const QDBusMessage reply = QDBusConnection(m_connectionName).call(message, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        ADD_FAILURE() << "fake BlueZ " << method.toStdString() << ": " << reply.errorName().toStdString() << " "
                      << reply.errorMessage().toStdString();
    return reply;
}

void FakeBluez::reset() { call(QStringLiteral("Reset")); }

void FakeBluez::addLight(const QString& address, const QString& name, const QString& manufacturer,
                         const QStringList& uuids)
{
    call(QStringLiteral("AddLight"), {address, name, manufacturer, uuids});
}

void FakeBluez::removeLight(const QString& address) { call(QStringLiteral("RemoveLight"), {address}); }

void FakeBluez::setManufacturerData(const QString& address, const QString& manufacturer)
{
    call(QStringLiteral("SetManufacturerData"), {address, manufacturer});
}

void FakeBluez::setName(const QString& address, const QString& name)
{
    call(QStringLiteral("SetName"), {address, name});
}

bool FakeBluez::notify(const QString& address, const QString& uuid, const QByteArray& value)
{
    const QDBusMessage reply = call(QStringLiteral("Notify"), {address, uuid, value});
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toBool();
}

bool FakeBluez::isNotifying(const QString& address, const QString& uuid)
{
    const QDBusMessage reply = call(QStringLiteral("IsNotifying"), {address, uuid});
    return reply.arguments().value(0).toBool();
}

QList<QByteArray> FakeBluez::writtenValues(const QString& address, const QString& uuid)
{
    const QDBusMessage reply = call(QStringLiteral("WrittenValues"), {address, uuid});
    QList<QByteArray> values;
    if (reply.arguments().isEmpty())
        return values;
    const QDBusArgument argument = reply.arguments().at(0).value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        QByteArray value;
        argument >> value;
        values.append(value);
    }
    argument.endArray();
    return values;
}

void FakeBluez::failNextConnect(const QString& address, const QString& errorName, const QString& message)
{
    call(QStringLiteral("FailNextConnect"), {address, errorName, message});
}

void FakeBluez::hangNextConnect(const QString& address, const QString& stage)
{
    call(QStringLiteral("HangNextConnect"), {address, stage});
}

void FakeBluez::failNextWrite(const QString& address, const QString& uuid, const QString& errorName)
{
    call(QStringLiteral("FailNextWrite"), {address, uuid, errorName});
}

void FakeBluez::drop(const QString& address) { call(QStringLiteral("Drop"), {address}); }

bool FakeBluez::isConnected(const QString& address)
{
    return call(QStringLiteral("IsConnected"), {address}).arguments().value(0).toBool();
}

unsigned FakeBluez::connectCalls(const QString& address)
{
    return call(QStringLiteral("ConnectCalls"), {address}).arguments().value(0).toUInt();
}

void FakeBluez::setPowered(bool on) { call(QStringLiteral("SetPowered"), {on}); }

void FakeBluez::setAdapterPresent(bool present) { call(QStringLiteral("SetAdapterPresent"), {present}); }

bool FakeBluez::isDiscovering() { return call(QStringLiteral("IsDiscovering")).arguments().value(0).toBool(); }

}  // namespace lightdeck::testing
