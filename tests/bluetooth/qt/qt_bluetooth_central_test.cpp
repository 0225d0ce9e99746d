// QtBluetoothCentral through the Central interface, against the fake BlueZ:
// real Qt Bluetooth code (its BlueZ D-Bus backend) on a private bus.
#include <QString>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "bluetooth/qt/fake_bluez.h"
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

}  // namespace
}  // namespace lightdeck
