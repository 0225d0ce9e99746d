// QtBluetoothCentral through the Central interface, against the fake BlueZ:
// real Qt Bluetooth code (its BlueZ D-Bus backend) on a private bus.
#include <QCoreApplication>
#include <QLowEnergyService>
#include <QProcess>
#include <QString>
#include <QThread>

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "bluetooth/qt/central_outlives_application.h"
#include "bluetooth/qt/fake_bluez.h"
#include "bluetooth/qt/qt_bluetooth_backend.h"
#include "bluetooth/qt/qt_bluetooth_central.h"
#include "bluetooth/qt/qt_central_error.h"
#include "bluetooth/qt/recording_delegate.h"

namespace lightdeck {
namespace {

using namespace std::chrono_literals;
using testing::CentralEvent;
using testing::fakeBluez;
using testing::is;
using testing::waitUntil;
using Kind = CentralEvent::Kind;

const QString kLightA = QStringLiteral("AA:BB:CC:DD:EE:01");
const QString kLightB = QStringLiteral("AA:BB:CC:DD:EE:02");

std::string idOf(const QString& address)
{
    return "00000000-0000-0000-0000-" + QString(address).remove(QLatin1Char(':')).toUpper().toStdString();
}

std::shared_ptr<Characteristic> characteristicOf(const std::shared_ptr<Service>& service, const std::string& uuid)
{
    for (const auto& c : service->characteristics())
        if (c->uuid() == uuid)
            return c;
    return nullptr;
}

class QtCentralTest : public ::testing::Test {
protected:
    void SetUp() override { fakeBluez().reset(); }

    void TearDown() override
    {
        m_central.reset();
        EXPECT_EQ(m_delegate.threadViolations(), 0) << "callbacks off centralQueue or overlapping";
    }

    // Creates the central and waits until it reports powered on.
    void start(std::chrono::milliseconds connectTimeout = 10s)
    {
        m_central = std::make_unique<QtBluetoothCentral>(m_delegate, connectTimeout);
        ASSERT_TRUE(m_delegate.waitFor([](const CentralEvent& e) {
            return e.kind == Kind::State && e.state == CentralState::PoweredOn;
        })) << "no powered-on state";
    }

    std::shared_ptr<Peripheral> discover(const QString& address)
    {
        m_central->scanForPeripherals({"FFF0"}, {});
        auto event = m_delegate.waitFor(is(Kind::Discover, idOf(address)));
        EXPECT_TRUE(event) << "light " << address.toStdString() << " not discovered";
        return event ? event->peripheral : nullptr;
    }

    std::shared_ptr<Peripheral> connectLight(const QString& address)
    {
        auto peripheral = discover(address);
        if (!peripheral)
            return nullptr;
        m_central->stopScan();
        const std::size_t before = m_delegate.count(is(Kind::Connect, peripheral->identifier()));
        m_central->connect(peripheral);
        EXPECT_TRUE(m_delegate.waitForNth(before + 1, is(Kind::Connect, peripheral->identifier())))
            << "not connected";
        return peripheral;
    }

    struct Gatt {
        std::shared_ptr<Service> service;
        std::shared_ptr<Characteristic> write;
        std::shared_ptr<Characteristic> notify;
    };

    // Discovers FFF0 and its characteristics, as the manager does.
    Gatt discoverGatt(const std::shared_ptr<Peripheral>& peripheral)
    {
        Gatt gatt;
        const std::size_t servicesBefore = m_delegate.count(is(Kind::Services, peripheral->identifier()));
        peripheral->discoverServices();
        auto services = m_delegate.waitForNth(servicesBefore + 1, is(Kind::Services, peripheral->identifier()));
        EXPECT_TRUE(services && !services->error) << "service discovery";
        for (const auto& s : peripheral->services())
            if (s->uuid() == "FFF0")
                gatt.service = s;
        EXPECT_TRUE(gatt.service) << "no FFF0 service";
        if (!gatt.service)
            return gatt;
        const std::size_t charsBefore = m_delegate.count(is(Kind::Characteristics, peripheral->identifier()));
        peripheral->discoverCharacteristics(gatt.service);
        auto chars = m_delegate.waitForNth(charsBefore + 1, is(Kind::Characteristics, peripheral->identifier()));
        EXPECT_TRUE(chars && !chars->error) << "characteristic discovery";
        gatt.write = characteristicOf(gatt.service, "FFF1");
        gatt.notify = characteristicOf(gatt.service, "FFF2");
        EXPECT_TRUE(gatt.write && gatt.notify) << "FFF1/FFF2 missing";
        return gatt;
    }

    testing::RecordingDelegate m_delegate;
    std::unique_ptr<QtBluetoothCentral> m_central;
};

TEST_F(QtCentralTest, ConnectWriteAndNotifyEndToEnd)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start();
    auto light = connectLight(kLightA);
    ASSERT_TRUE(light);
    EXPECT_EQ(light->state(), PeripheralState::Connected);
    EXPECT_TRUE(fakeBluez().isConnected(kLightA));

    const Gatt gatt = discoverGatt(light);
    ASSERT_TRUE(gatt.write && gatt.notify);

    const Bytes frame{0xAA, 0x01, 0x32, 0x32, 0x00, 0x00, 0xBB};
    light->writeValue(frame, gatt.write, WriteType::WithResponse);
    auto written = m_delegate.waitFor(is(Kind::Write, light->identifier()));
    ASSERT_TRUE(written);
    EXPECT_FALSE(written->error);
    EXPECT_EQ(written->characteristic, gatt.write);
    EXPECT_EQ(fakeBluez().writtenValues(kLightA, QStringLiteral("fff1")),
              QList<QByteArray>{QByteArray::fromHex("AA01323200 00BB")});

    light->setNotifyValue(true, gatt.notify);
    ASSERT_TRUE(waitUntil([] { return fakeBluez().isNotifying(kLightA, QStringLiteral("fff2")); }));
    ASSERT_TRUE(fakeBluez().notify(kLightA, QStringLiteral("fff2"), QByteArray::fromHex("AA05F1000000BB")));
    auto report = m_delegate.waitFor(is(Kind::Value, light->identifier()));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->characteristic->uuid(), "FFF2");
    EXPECT_EQ(report->value, (Bytes{0xAA, 0x05, 0xF1, 0x00, 0x00, 0x00, 0xBB}));
}


TEST_F(QtCentralTest, ReportsPoweredOnFirstOnCentralQueue)
{
    start();
    const auto events = m_delegate.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().kind, Kind::State);
    EXPECT_EQ(events.front().state, CentralState::PoweredOn);
    EXPECT_EQ(m_central->state(), CentralState::PoweredOn);
}

TEST_F(QtCentralTest, ScanFiltersOnTheAdvertisedServiceAndRebuildsManufacturerBytes)
{
    struct Light {
        QString address;
        QString name;
        QString manufacturer;
        QStringList uuids;
        bool reported;
        std::optional<Bytes> bytes;
    };
    const Light lights[] = {
        {kLightA, "Light A", "4C4D0102", {"fff0"}, true, Bytes{0x4C, 0x4D, 0x01, 0x02}},
        {kLightB, "Light B", "4D4C0304", {"0000fff0-0000-1000-8000-00805f9b34fb"}, true, Bytes{0x4D, 0x4C, 0x03, 0x04}},
        // The central passes foreign data on; the manager ignores it.
        {"AA:BB:CC:DD:EE:03", "Other maker", "4C4C05", {"fff0"}, true, Bytes{0x4C, 0x4C, 0x05}},
        {"AA:BB:CC:DD:EE:04", "No data", "", {"fff0"}, true, std::nullopt},
        {"AA:BB:CC:DD:EE:05", "Two records", "0600AA,4D4C09", {"fff0", "180f"}, true, Bytes{0x4D, 0x4C, 0x09}},
        {"AA:BB:CC:DD:EE:06", "Wrong service", "4C4D0102", {"180f"}, false, std::nullopt},
        {"AA:BB:CC:DD:EE:07", "No service", "4C4D0102", {}, false, std::nullopt},
        // Known lights are reported in address order: once this last one has
        // come, every other has been judged.
        {"AA:BB:CC:DD:EE:FF", "Sentinel", "4C4D", {"fff0"}, true, Bytes{0x4C, 0x4D}},
    };
    for (const auto& l : lights)
        fakeBluez().addLight(l.address, l.name, l.manufacturer, l.uuids);
    start();
    m_central->scanForPeripherals({"fff0"}, {});
    EXPECT_TRUE(m_central->isScanning());
    EXPECT_TRUE(waitUntil([] { return fakeBluez().isDiscovering(); }));

    for (const auto& l : lights) {
        if (!l.reported)
            continue;
        auto event = m_delegate.waitFor(is(Kind::Discover, idOf(l.address)));
        ASSERT_TRUE(event) << l.name.toStdString();
        EXPECT_EQ(event->advertisement.manufacturerData, l.bytes) << l.name.toStdString();
        EXPECT_EQ(event->advertisement.localName, l.name.toStdString());
        EXPECT_NE(std::find(event->advertisement.serviceUuids.begin(), event->advertisement.serviceUuids.end(),
                            "FFF0"),
                  event->advertisement.serviceUuids.end());
        EXPECT_EQ(event->peripheral->identifier(), idOf(l.address));
        EXPECT_EQ(event->peripheral->name(), l.name.toStdString());
        EXPECT_EQ(event->peripheral->state(), PeripheralState::Disconnected);
    }
    for (const auto& l : lights) {
        if (!l.reported) {
            EXPECT_EQ(m_delegate.count(is(Kind::Discover, idOf(l.address))), 0u) << l.name.toStdString();
        }
    }

    m_central->stopScan();
    EXPECT_FALSE(m_central->isScanning());
    EXPECT_TRUE(waitUntil([] { return !fakeBluez().isDiscovering(); }));
}

TEST_F(QtCentralTest, AChangedAdvertisementIsReportedAgainOnTheSamePeripheral)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start();
    auto first = discover(kLightA);
    ASSERT_TRUE(first);
    fakeBluez().setManufacturerData(kLightA, QStringLiteral("4C4D0103"));
    auto second = m_delegate.waitForNth(2, is(Kind::Discover, idOf(kLightA)));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->peripheral, first);
    EXPECT_EQ(second->advertisement.manufacturerData, (Bytes{0x4C, 0x4D, 0x01, 0x03}));
    // Advertisements that repeat themselves are not reported again.
    fakeBluez().setManufacturerData(kLightA, QStringLiteral("4C4D0104"));
    ASSERT_TRUE(m_delegate.waitForNth(3, is(Kind::Discover, idOf(kLightA))));
    EXPECT_EQ(m_delegate.count(is(Kind::Discover, idOf(kLightA))), 3u);
}

TEST_F(QtCentralTest, EveryNewScanReportsTheLightsInRangeAgain)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start();
    auto first = discover(kLightA);
    ASSERT_TRUE(first);
    m_central->scanForPeripherals({"FFF0"}, {});
    auto again = m_delegate.waitForNth(2, is(Kind::Discover, idOf(kLightA)));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->peripheral, first);
}

TEST_F(QtCentralTest, LightsAppearingDuringTheScanAreReported)
{
    start();
    m_central->scanForPeripherals({"FFF0"}, {});
    ASSERT_TRUE(waitUntil([] { return fakeBluez().isDiscovering(); }));
    fakeBluez().addLight(kLightB, QStringLiteral("Light B"), QStringLiteral("4D4C01"));
    auto event = m_delegate.waitFor(is(Kind::Discover, idOf(kLightB)));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->advertisement.manufacturerData, (Bytes{0x4D, 0x4C, 0x01}));
}

TEST_F(QtCentralTest, AWriteTheLightRefusesCompletesWithAnError)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start();
    auto light = connectLight(kLightA);
    ASSERT_TRUE(light);
    const Gatt gatt = discoverGatt(light);
    ASSERT_TRUE(gatt.write);

    fakeBluez().failNextWrite(kLightA, QStringLiteral("fff1"));
    light->writeValue({0xAA, 0x01}, gatt.write, WriteType::WithResponse);
    light->writeValue({0xAA, 0x02}, gatt.write, WriteType::WithResponse);
    auto failed = m_delegate.waitForNth(1, is(Kind::Write, light->identifier()));
    auto ok = m_delegate.waitForNth(2, is(Kind::Write, light->identifier()));
    ASSERT_TRUE(failed && ok);
    ASSERT_TRUE(failed->error.has_value());
    EXPECT_EQ(failed->error->code, static_cast<int>(QtCentralErrorCode::ServiceErrorBase)
                                       + static_cast<int>(QLowEnergyService::CharacteristicWriteError));
    EXPECT_FALSE(ok->error);
    EXPECT_EQ(fakeBluez().writtenValues(kLightA, QStringLiteral("fff1")),
              QList<QByteArray>{QByteArray::fromHex("AA02")});
}

TEST_F(QtCentralTest, WritesWithoutResponseReachTheLightWithoutACompletion)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start();
    auto light = connectLight(kLightA);
    ASSERT_TRUE(light);
    const Gatt gatt = discoverGatt(light);
    ASSERT_TRUE(gatt.write);
    light->writeValue({0xAA, 0x03}, gatt.write, WriteType::WithoutResponse);
    light->writeValue({0xAA, 0x04}, gatt.write, WriteType::WithResponse);
    ASSERT_TRUE(m_delegate.waitFor(is(Kind::Write, light->identifier())));
    EXPECT_TRUE(waitUntil([] { return fakeBluez().writtenValues(kLightA, QStringLiteral("fff1")).size() == 2; }));
    EXPECT_EQ(m_delegate.count(is(Kind::Write, light->identifier())), 1u);
}

TEST_F(QtCentralTest, AWriteToALightNotConnectedFailsAtOnce)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start();
    auto light = connectLight(kLightA);
    ASSERT_TRUE(light);
    const Gatt gatt = discoverGatt(light);
    m_central->cancelPeripheralConnection(light);
    ASSERT_TRUE(m_delegate.waitFor(is(Kind::Disconnect, light->identifier())));

    light->writeValue({0xAA, 0x01}, gatt.write, WriteType::WithResponse);
    auto written = m_delegate.waitFor(is(Kind::Write, light->identifier()));
    ASSERT_TRUE(written);
    ASSERT_TRUE(written->error.has_value());
    EXPECT_EQ(written->error->code, static_cast<int>(QtCentralErrorCode::NotConnected));
    EXPECT_TRUE(fakeBluez().writtenValues(kLightA, QStringLiteral("fff1")).isEmpty());
}

TEST_F(QtCentralTest, AFailedConnectIsReportedWithItsErrorAndTheLightCanTryAgain)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start();
    auto light = discover(kLightA);
    ASSERT_TRUE(light);
    fakeBluez().failNextConnect(kLightA);
    m_central->connect(light);
    auto failed = m_delegate.waitFor(is(Kind::FailConnect, light->identifier()));
    ASSERT_TRUE(failed);
    ASSERT_TRUE(failed->error.has_value());
    EXPECT_FALSE(failed->error->message.empty());
    EXPECT_EQ(light->state(), PeripheralState::Disconnected);
    EXPECT_EQ(m_delegate.count(is(Kind::Connect, light->identifier())), 0u);

    m_central->connect(light);
    ASSERT_TRUE(m_delegate.waitFor(is(Kind::Connect, light->identifier())));
    EXPECT_EQ(light->state(), PeripheralState::Connected);
}

TEST_F(QtCentralTest, AConnectThatNeverResolvesTimesOut)
{
    // "reply": BlueZ never answers Connect (light out of range);
    // "resolve": the link comes up but the services never resolve.
    for (const char* stage : {"reply", "resolve"}) {
        SCOPED_TRACE(stage);
        fakeBluez().reset();
        m_central.reset();
        fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
        testing::RecordingDelegate delegate;
        auto central = std::make_unique<QtBluetoothCentral>(delegate, 300ms);
        ASSERT_TRUE(delegate.waitFor(is(Kind::State)));
        central->scanForPeripherals({"FFF0"}, {});
        auto found = delegate.waitFor(is(Kind::Discover, idOf(kLightA)));
        ASSERT_TRUE(found);
        central->stopScan();

        fakeBluez().hangNextConnect(kLightA, QString::fromLatin1(stage));
        central->connect(found->peripheral);
        auto failed = delegate.waitFor(is(Kind::FailConnect, idOf(kLightA)));
        ASSERT_TRUE(failed);
        ASSERT_TRUE(failed->error.has_value());
        EXPECT_EQ(failed->error->code, static_cast<int>(QtCentralErrorCode::ConnectTimeout));
        EXPECT_EQ(found->peripheral->state(), PeripheralState::Disconnected);
        // The attempt was given up at BlueZ too, and the light can connect now.
        EXPECT_TRUE(waitUntil([] { return !fakeBluez().isConnected(kLightA); }));
        central->connect(found->peripheral);
        ASSERT_TRUE(delegate.waitFor(is(Kind::Connect, idOf(kLightA))));
        central.reset();
        EXPECT_EQ(delegate.threadViolations(), 0);
    }
}

TEST_F(QtCentralTest, ConnectsAreSerialisedBecauseBluezRunsOneAtATime)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    fakeBluez().addLight(kLightB, QStringLiteral("Light B"), QStringLiteral("4D4C0102"));
    start();
    m_central->scanForPeripherals({"FFF0"}, {});
    auto a = m_delegate.waitFor(is(Kind::Discover, idOf(kLightA)));
    auto b = m_delegate.waitFor(is(Kind::Discover, idOf(kLightB)));
    ASSERT_TRUE(a && b);
    m_central->stopScan();
    m_central->connect(a->peripheral);
    m_central->connect(b->peripheral);
    // A second request for a light already connecting joins the first.
    m_central->connect(a->peripheral);
    ASSERT_TRUE(m_delegate.waitFor(is(Kind::Connect, idOf(kLightA))));
    ASSERT_TRUE(m_delegate.waitFor(is(Kind::Connect, idOf(kLightB))));
    EXPECT_EQ(m_delegate.count(is(Kind::FailConnect)), 0u);
    EXPECT_EQ(fakeBluez().connectCalls(kLightA), 1u);
    EXPECT_EQ(fakeBluez().connectCalls(kLightB), 1u);
    EXPECT_EQ(m_delegate.count(is(Kind::Connect, idOf(kLightA))), 1u);
}

TEST_F(QtCentralTest, CancellingAConnectionDisconnectsWithoutError)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start();
    auto light = connectLight(kLightA);
    ASSERT_TRUE(light);
    m_central->cancelPeripheralConnection(light);
    auto gone = m_delegate.waitFor(is(Kind::Disconnect, light->identifier()));
    ASSERT_TRUE(gone);
    EXPECT_FALSE(gone->error);
    EXPECT_EQ(light->state(), PeripheralState::Disconnected);
    EXPECT_FALSE(fakeBluez().isConnected(kLightA));
    EXPECT_TRUE(light->services().empty());
}

TEST_F(QtCentralTest, CancellingWhileConnectingEndsTheAttemptWithADisconnection)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start();
    auto light = discover(kLightA);
    ASSERT_TRUE(light);
    m_central->stopScan();
    fakeBluez().hangNextConnect(kLightA, QStringLiteral("reply"));
    m_central->connect(light);
    ASSERT_TRUE(waitUntil([] { return fakeBluez().connectCalls(kLightA) == 1; }));
    m_central->cancelPeripheralConnection(light);
    auto gone = m_delegate.waitFor(is(Kind::Disconnect, light->identifier()));
    ASSERT_TRUE(gone);
    EXPECT_FALSE(gone->error);
    EXPECT_EQ(m_delegate.count(is(Kind::FailConnect)), 0u);
    // The next attempt is not blocked by the abandoned one.
    m_central->connect(light);
    ASSERT_TRUE(m_delegate.waitFor(is(Kind::Connect, light->identifier())));
}

TEST_F(QtCentralTest, ADroppedLinkIsReportedWithAnErrorAndTheLightWorksAgainOnceReconnected)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start();
    auto light = connectLight(kLightA);
    ASSERT_TRUE(light);
    const Gatt gatt = discoverGatt(light);
    fakeBluez().drop(kLightA);
    auto gone = m_delegate.waitFor(is(Kind::Disconnect, light->identifier()));
    ASSERT_TRUE(gone);
    EXPECT_TRUE(gone->error.has_value());
    EXPECT_EQ(light->state(), PeripheralState::Disconnected);

    // Reconnecting gives a working link again.
    m_central->connect(light);
    ASSERT_TRUE(m_delegate.waitForNth(2, is(Kind::Connect, light->identifier())));
    const Gatt again = discoverGatt(light);
    ASSERT_TRUE(again.write);
    // The characteristic found before the drop still addresses the light.
    light->writeValue({0xAA, 0x07}, gatt.write, WriteType::WithResponse);
    auto written = m_delegate.waitFor(is(Kind::Write, light->identifier()));
    ASSERT_TRUE(written);
    EXPECT_FALSE(written->error);
    EXPECT_EQ(fakeBluez().writtenValues(kLightA, QStringLiteral("fff1")),
              QList<QByteArray>{QByteArray::fromHex("AA07")});
}

TEST_F(QtCentralTest, PoweringTheAdapterOffStopsTheScanAndDropsEveryLink)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    fakeBluez().addLight(kLightB, QStringLiteral("Light B"), QStringLiteral("4C4D0304"));
    start();
    auto a = connectLight(kLightA);
    ASSERT_TRUE(a);
    m_central->scanForPeripherals({"FFF0"}, {});
    ASSERT_TRUE(m_delegate.waitForNth(2, is(Kind::Discover, idOf(kLightA))));
    ASSERT_TRUE(waitUntil([] { return fakeBluez().isDiscovering(); }));

    fakeBluez().setPowered(false);
    ASSERT_TRUE(m_delegate.waitFor([](const CentralEvent& e) {
        return e.kind == Kind::State && e.state == CentralState::PoweredOff;
    }));
    auto gone = m_delegate.waitFor(is(Kind::Disconnect, a->identifier()));
    ASSERT_TRUE(gone);
    EXPECT_TRUE(gone->error.has_value());
    EXPECT_EQ(m_central->state(), CentralState::PoweredOff);
    EXPECT_TRUE(waitUntil([this] { return !m_central->isScanning(); }));

    // Scanning and connecting are refused while off.
    m_central->scanForPeripherals({"FFF0"}, {});
    EXPECT_FALSE(m_central->isScanning());
    m_central->connect(a);
    auto refused = m_delegate.waitFor(is(Kind::FailConnect, a->identifier()));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->error->code, static_cast<int>(QtCentralErrorCode::PoweredOff));

    fakeBluez().setPowered(true);
    ASSERT_TRUE(m_delegate.waitForNth(2, [](const CentralEvent& e) {
        return e.kind == Kind::State && e.state == CentralState::PoweredOn;
    }));
    const std::size_t seen = m_delegate.count(is(Kind::Discover, idOf(kLightB)));
    m_central->scanForPeripherals({"FFF0"}, {});
    EXPECT_TRUE(m_delegate.waitForNth(seen + 1, is(Kind::Discover, idOf(kLightB))));
}

TEST_F(QtCentralTest, ARenamedLightReportsItsNameWhenConnectedAndInTheNextScan)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    fakeBluez().addLight(kLightB, QStringLiteral("Light B"), QStringLiteral("4C4D0102"));
    start();
    auto a = connectLight(kLightA);
    ASSERT_TRUE(a);
    fakeBluez().setName(kLightA, QStringLiteral("客厅灯"));
    fakeBluez().setName(kLightB, QStringLiteral("Desk"));
    m_central->scanForPeripherals({"FFF0"}, {});
    auto renamed = m_delegate.waitFor(is(Kind::Name, a->identifier()));
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->name, "客厅灯");
    EXPECT_EQ(a->name(), "客厅灯");
    auto seen = m_delegate.waitFor([](const CentralEvent& e) {
        return e.kind == Kind::Discover && e.id() == idOf(kLightA) && e.advertisement.localName == "客厅灯";
    });
    EXPECT_TRUE(seen);
    // A light that is not connected gets its new name without a name event.
    auto b = m_delegate.waitFor([](const CentralEvent& e) {
        return e.kind == Kind::Discover && e.id() == idOf(kLightB) && e.advertisement.localName == "Desk";
    });
    ASSERT_TRUE(b);
    EXPECT_EQ(b->peripheral->name(), "Desk");
    EXPECT_EQ(m_delegate.count(is(Kind::Name, idOf(kLightB))), 0u);
}

TEST_F(QtCentralTest, AForeignPeripheralFailsToConnect)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start();
    testing::RecordingDelegate otherDelegate;
    QtBluetoothCentral other(otherDelegate, 10s);
    ASSERT_TRUE(otherDelegate.waitFor(is(Kind::State)));
    other.scanForPeripherals({"FFF0"}, {});
    auto foreign = otherDelegate.waitFor(is(Kind::Discover, idOf(kLightA)));
    ASSERT_TRUE(foreign);
    other.stopScan();
    // Not one of m_central's: it neither connects it nor touches its state.
    m_central->connect(foreign->peripheral);
    EXPECT_EQ(foreign->peripheral->state(), PeripheralState::Disconnected);
    auto failed = m_delegate.waitFor(is(Kind::FailConnect, idOf(kLightA)));
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->error->code, static_cast<int>(QtCentralErrorCode::UnknownPeripheral));
    EXPECT_EQ(foreign->peripheral->state(), PeripheralState::Disconnected);
    // The same, once m_central has seen the light itself.
    auto own = discover(kLightA);
    ASSERT_TRUE(own);
    EXPECT_NE(own, foreign->peripheral);
    m_central->connect(foreign->peripheral);
    ASSERT_TRUE(m_delegate.waitForNth(2, is(Kind::FailConnect, idOf(kLightA))));
    EXPECT_FALSE(fakeBluez().isConnected(kLightA));
}

TEST_F(QtCentralTest, DestroyingTheCentralReleasesTheLightsAndLeavesPeripheralsInert)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start();
    auto light = connectLight(kLightA);
    ASSERT_TRUE(light);
    const Gatt gatt = discoverGatt(light);
    m_central->scanForPeripherals({"FFF0"}, {});
    m_central.reset();
    const std::size_t events = m_delegate.events().size();
    EXPECT_TRUE(waitUntil([] { return !fakeBluez().isConnected(kLightA); }));
    EXPECT_EQ(light->state(), PeripheralState::Disconnected);
    // Calls on a peripheral whose central is gone do nothing.
    light->writeValue({0xAA}, gatt.write, WriteType::WithResponse);
    light->discoverServices();
    light->setNotifyValue(true, gatt.notify);
    EXPECT_EQ(m_delegate.events().size(), events);
}

TEST_F(QtCentralTest, CallbacksMayCallBackIntoTheCentral)
{
    // The manager connects, discovers and subscribes from inside callbacks;
    // none of that may deadlock or re-enter.
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start();
    m_delegate.setHook([this](const CentralEvent& e) {
        switch (e.kind) {
        case Kind::Discover:
            m_central->stopScan();
            m_central->connect(e.peripheral);
            break;
        case Kind::Connect:
            e.peripheral->discoverServices();
            break;
        case Kind::Services:
            for (const auto& s : e.peripheral->services())
                e.peripheral->discoverCharacteristics(s);
            break;
        case Kind::Characteristics:
            if (auto c = characteristicOf(e.service, "FFF2"))
                e.peripheral->setNotifyValue(true, c);
            break;
        default:
            break;
        }
    });
    m_central->scanForPeripherals({"FFF0"}, {});
    ASSERT_TRUE(waitUntil([] { return fakeBluez().isNotifying(kLightA, QStringLiteral("fff2")); }));
    m_delegate.setHook({});
    EXPECT_EQ(m_delegate.count(is(Kind::Connect)), 1u);
}


TEST_F(QtCentralTest, CallbacksRunOnAThreadNamedCentralQueue)
{
    std::string nativeName;
    m_delegate.setHook([&](const CentralEvent&) {
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        nativeName = name;
    });
    start();
    m_delegate.setHook({});
    EXPECT_EQ(nativeName, "centralQueue");
}

TEST_F(QtCentralTest, WithoutAnAdapterTheCentralIsOffUntilOneAppears)
{
    fakeBluez().setAdapterPresent(false);
    EXPECT_FALSE(bluetoothAdapterPresent());
    m_central = std::make_unique<QtBluetoothCentral>(m_delegate, 10s);
    auto off = m_delegate.waitFor(is(Kind::State));
    ASSERT_TRUE(off);
    EXPECT_EQ(off->state, CentralState::PoweredOff);
    m_central->scanForPeripherals({"FFF0"}, {});
    EXPECT_FALSE(m_central->isScanning());

    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    fakeBluez().setAdapterPresent(true);
    EXPECT_TRUE(bluetoothAdapterPresent());
    ASSERT_TRUE(m_delegate.waitFor([](const CentralEvent& e) {
        return e.kind == Kind::State && e.state == CentralState::PoweredOn;
    }));
    EXPECT_TRUE(discover(kLightA));
}

TEST_F(QtCentralTest, ACentralThatOutlivesTheApplicationStopsCleanlyAndReleasesItsLights)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(testing::kCentralOutlivesApplicationFlag), kLightA});
    ASSERT_TRUE(child.waitForFinished(60000)) << "the child did not end";
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_EQ(fakeBluez().connectCalls(kLightA), 1u);
    EXPECT_TRUE(waitUntil([] { return !fakeBluez().isConnected(kLightA); }));
}

TEST(QtBluetoothBackend, PrepareForcesTheDbusBackendUnlessAlreadyChosen)
{
    const QByteArray before = qgetenv("BLUETOOTH_FORCE_DBUS_LE_VERSION");
    qputenv("BLUETOOTH_FORCE_DBUS_LE_VERSION", "5.50");
    prepareQtBluetoothEnvironment();
    EXPECT_EQ(qgetenv("BLUETOOTH_FORCE_DBUS_LE_VERSION"), "5.50");

    qunsetenv("BLUETOOTH_FORCE_DBUS_LE_VERSION");
    prepareQtBluetoothEnvironment();
    const QList<QByteArray> parts = qgetenv("BLUETOOTH_FORCE_DBUS_LE_VERSION").split('.');
    ASSERT_EQ(parts.size(), 2);
    EXPECT_TRUE(parts[0].toInt() > 5 || (parts[0].toInt() == 5 && parts[1].toInt() >= 42));
    qputenv("BLUETOOTH_FORCE_DBUS_LE_VERSION", before);
}

TEST(QtBluetoothBackend, TheFactoryMakesAQtCentral)
{
    testing::RecordingDelegate delegate;
    QtCentralOptions options;
    options.connectTimeout = 5s;
    auto central = qtBluetoothCentralFactory(options)(delegate);
    ASSERT_TRUE(dynamic_cast<QtBluetoothCentral*>(central.get()));
    EXPECT_TRUE(delegate.waitFor(is(Kind::State)));
}

}  // namespace
}  // namespace lightdeck
