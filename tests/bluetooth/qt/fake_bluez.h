#pragma once
// Starts the fake BlueZ (tests/fakebluez/fake_bluez.py) on a private system
// bus and drives it through its control interface, org.lightdeck.FakeBluez1.
// Addresses are "AA:BB:CC:DD:EE:01"; characteristic UUIDs short ("fff1").
// A control call the fake refuses fails the running test.

#include <QByteArray>
#include <QDBusMessage>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>

namespace lightdeck::testing {

class FakeBluez {
public:
    FakeBluez() = default;
    ~FakeBluez();

    FakeBluez(const FakeBluez&) = delete;
    FakeBluez& operator=(const FakeBluez&) = delete;

    // Starts dbus-daemon with a system-bus configuration and the fake on it,
    // and waits until org.bluez answers GetManagedObjects. Returns an empty
    // text on success, otherwise what went wrong.
    QString start();
    // Stops the fake and the bus daemon (by PID).
    void stop();
    QString busAddress() const { return m_address; }

    // Removes every light and powers the adapter on.
    void reset();
    // manufacturer: raw records as hex, company id low byte first, comma
    // separated ("4C4D0102"); empty for none.
    void addLight(const QString& address, const QString& name, const QString& manufacturer,
                  const QStringList& uuids = {QStringLiteral("fff0")});
    void removeLight(const QString& address);
    void setManufacturerData(const QString& address, const QString& manufacturer);
    void setName(const QString& address, const QString& name);
    // False when notifications are off (or the light is not connected).
    bool notify(const QString& address, const QString& uuid, const QByteArray& value);
    bool isNotifying(const QString& address, const QString& uuid);
    QList<QByteArray> writtenValues(const QString& address, const QString& uuid);
    void failNextConnect(const QString& address, const QString& errorName = QStringLiteral("Failed"),
                         const QString& message = QStringLiteral("Software caused connection abort"));
    // stage "reply": Connect never answers; "resolve": linked, services never
    // resolve.
    void hangNextConnect(const QString& address, const QString& stage);
    void failNextWrite(const QString& address, const QString& uuid,
                       const QString& errorName = QStringLiteral("Failed"));
    void drop(const QString& address);
    bool isConnected(const QString& address);
    unsigned connectCalls(const QString& address);
    void setPowered(bool on);
    // Unplugs (false) or plugs in the adapter; its lights go and come with it.
    void setAdapterPresent(bool present);
    bool isDiscovering();

private:
    QDBusMessage call(const QString& method, const QVariantList& args = {});
    QString waitUntilReady();

    QTemporaryDir m_dir;
    QString m_address;
    qint64 m_busPid = 0;
    QProcess m_fake;
    QString m_connectionName;
};

// The fake every test of this binary talks to; started by the test
// environment before the first test.
FakeBluez& fakeBluez();

}  // namespace lightdeck::testing
