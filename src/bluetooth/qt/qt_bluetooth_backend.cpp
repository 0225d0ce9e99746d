#include "bluetooth/qt/qt_bluetooth_backend.h"

#include <QBluetoothLocalDevice>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include "bluetooth/qt/qt_bluetooth_central.h"
#include "common/log.h"

namespace lightdeck {
namespace {

constexpr const char* kForceVariable = "BLUETOOTH_FORCE_DBUS_LE_VERSION";
constexpr const char* kDefaultVersion = "5.66";

// bluetoothd's version ("5.66"), empty when it cannot be found or run.
QString installedBluetoothdVersion()
{
    QString program = QStandardPaths::findExecutable(QStringLiteral("bluetoothd"));
    for (const char* candidate : {"/usr/libexec/bluetooth/bluetoothd", "/usr/lib/bluetooth/bluetoothd",
                                  "/usr/sbin/bluetoothd"}) {
        if (!program.isEmpty())
            break;
        if (QFileInfo(QString::fromLatin1(candidate)).isExecutable())
            program = QString::fromLatin1(candidate);
    }
    if (program.isEmpty())
        return {};
    QProcess process;
    process.start(program, {QStringLiteral("--version")});
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    static const QRegularExpression versionPattern(QStringLiteral("^\\s*(\\d+)\\.(\\d+)"));
    const QRegularExpressionMatch match = versionPattern.match(QString::fromLatin1(process.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1) + QLatin1Char('.') + match.captured(2) : QString();
}

bool atLeast542(const QString& version)
{
    const QStringList parts = version.split(QLatin1Char('.'));
    const int major = parts.value(0).toInt();
    const int minor = parts.value(1).toInt();
    return major > 5 || (major == 5 && minor >= 42);
}

}  // namespace

void prepareQtBluetoothEnvironment()
{
    if (qEnvironmentVariableIsSet(kForceVariable))
        return;
    QString version = installedBluetoothdVersion();
    if (version.isEmpty()) {
        version = QString::fromLatin1(kDefaultVersion);
    } else if (!atLeast542(version)) {
        log::warning("bluetoothd " + version.toStdString()
                     + " is older than 5.42: Qt Bluetooth will use kernel sockets, which need privileges");
        return;
    }
    qputenv(kForceVariable, version.toLatin1());
}

bool bluetoothAdapterPresent() { return !QBluetoothLocalDevice::allDevices().isEmpty(); }

CentralFactory qtBluetoothCentralFactory(QtCentralOptions options)
{
    return [options](CentralDelegate& delegate) -> std::unique_ptr<Central> {
        return std::make_unique<QtBluetoothCentral>(delegate, options.connectTimeout);
    };
}

}  // namespace lightdeck
