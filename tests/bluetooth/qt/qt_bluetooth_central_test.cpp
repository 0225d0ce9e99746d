// QtBluetoothCentral through the Central interface: Qt Bluetooth's real BlueZ
// backend against the fake BlueZ on a private bus.
#include <QCoreApplication>
#include <QLowEnergyService>
#include <QProcess>

#include <gtest/gtest.h>

#include "bluetooth/qt/fake_bluez.h"
#include "bluetooth/qt/qt_bluetooth_central.h"
#include "bluetooth/qt/qt_central_error.h"
#include "support/recording_central_delegate.h"

namespace lightdeck::testing {
namespace {

using namespace std::chrono_literals;
using Kind = CentralEvent::Kind;
using Err = QtCentralErrorCode;

const QString kA = QStringLiteral("AA:BB:CC:DD:EE:01");
const QString kB = QStringLiteral("AA:BB:CC:DD:EE:02");
const QString kC = QStringLiteral("AA:BB:CC:DD:EE:03");

int code(Err e) { return static_cast<int>(e); }

bool poweredOn(const CentralEvent& e) { return e.kind == Kind::State && e.state == CentralState::PoweredOn; }

struct Link {
    std::shared_ptr<Peripheral> peripheral;
    std::shared_ptr<Characteristic> write, notify;  // FFF1, FFF2
};

class QtCentralTest : public ::testing::Test {
protected:
    void SetUp() override { fakeBluez(QStringLiteral("Reset")); }
    void TearDown() override
    {
        central.reset();
        EXPECT_EQ(rec.violations(), 0) << "a callback off centralQueue, or inside another";
    }

    static void add(const QString& address, const QString& data = QStringLiteral("4C4D0102"),
                    const QStringList& uuids = {QStringLiteral("fff0")})
    {
        fakeBluez(QStringLiteral("AddLight"), {address, QStringLiteral("Light ") + address.right(2), data, uuids});
    }
    void start(std::chrono::milliseconds connectTimeout = 10s)
    {
        central = std::make_unique<QtBluetoothCentral>(rec, connectTimeout);
        ASSERT_TRUE(rec.waitFor(poweredOn));
    }
    // The n-th callback of that kind for the light, counting from now.
    std::function<std::optional<CentralEvent>()> expect(Kind kind, const QString& address)
    {
        const std::size_t n = rec.count(is(kind, idOf(address))) + 1;
        return [this, kind, address, n] { return rec.waitFor(is(kind, idOf(address)), n); };
    }
    std::shared_ptr<Peripheral> discover(const QString& address)
    {
        auto found = expect(Kind::Discover, address);
        central->scanForPeripherals({"FFF0"}, {});
        const auto event = found();
        central->stopScan();
        return event ? event->peripheral : nullptr;
    }
    // Connects and discovers the characteristics, as the manager does.
    Link connect(const QString& address, std::shared_ptr<Peripheral> peripheral = nullptr)
    {
        Link link{peripheral ? peripheral : discover(address), nullptr, nullptr};
        auto connected = expect(Kind::Connect, address);
        auto services = expect(Kind::Services, address);
        auto characteristics = expect(Kind::Characteristics, address);
        central->connect(link.peripheral);
        EXPECT_TRUE(connected());
        link.peripheral->discoverServices();
        EXPECT_TRUE(services());
        for (const auto& service : link.peripheral->services())
            link.peripheral->discoverCharacteristics(service);
        EXPECT_TRUE(characteristics());
        for (const auto& service : link.peripheral->services())
            for (const auto& c : service->characteristics())
                (c->uuid() == "FFF1" ? link.write : link.notify) = c;
        EXPECT_TRUE(link.write && link.notify);
        return link;
    }

    RecordingDelegate rec;
    std::unique_ptr<QtBluetoothCentral> central;
};

TEST_F(QtCentralTest, ScanFiltersOnTheServiceAndRebuildsTheManufacturerBytes)
{
    struct Row {
        QString address, data;
        QStringList uuids;
        bool heard;
        std::optional<Bytes> bytes;
    };
    const Row rows[] = {
        {kA, "4C4D0102", {"fff0"}, true, Bytes{0x4C, 0x4D, 0x01, 0x02}},
        {kB, "4D4C0304", {"0000fff0-0000-1000-8000-00805f9b34fb"}, true, Bytes{0x4D, 0x4C, 0x03, 0x04}},
        {"AA:BB:CC:DD:EE:05", "0600AA,4D4C09", {"fff0", "180f"}, true, Bytes{0x4D, 0x4C, 0x09}},  // the light's
        {"AA:BB:CC:DD:EE:06", "4C4D0102", {"180f"}, false, std::nullopt},
        // BlueZ's known lights come in address order: when this one has, every other was judged.
        {"AA:BB:CC:DD:EE:FF", "4C4D", {"fff0"}, true, Bytes{0x4C, 0x4D}},
    };
    for (const auto& row : rows)
        add(row.address, row.data, row.uuids);
    start();
    central->scanForPeripherals({"fff0"}, {});
    ASSERT_TRUE(rec.waitFor(is(Kind::Discover, idOf(rows[4].address))));
    for (const auto& row : rows) {
        const auto found = rec.events(is(Kind::Discover, idOf(row.address)));
        ASSERT_EQ(found.size(), row.heard ? 1u : 0u) << row.address.toStdString();
        if (!row.heard)
            continue;
        EXPECT_EQ(found[0].advertisement.manufacturerData, row.bytes) << row.address.toStdString();
        EXPECT_EQ(found[0].advertisement.localName, "Light " + row.address.right(2).toStdString());
        EXPECT_EQ(found[0].name, found[0].advertisement.localName);
    }
    EXPECT_TRUE(waitUntil([] { return fakeBluez("IsDiscovering").toBool(); }));

    // A changed advertisement comes again on the same peripheral; a new
    // scan hears everyone again, and a light heard without a name (BlueZ's
    // made-up alias) keeps the one it had.
    fakeBluez("SetManufacturerData", {kA, "4C4D0103"});
    const auto changed = rec.waitFor(is(Kind::Discover, idOf(kA)), 2).value();
    EXPECT_EQ(changed.peripheral, rec.events(is(Kind::Discover, idOf(kA)))[0].peripheral);
    EXPECT_EQ(changed.advertisement.manufacturerData, (Bytes{0x4C, 0x4D, 0x01, 0x03}));
    central->stopScan();
    EXPECT_TRUE(waitUntil([] { return !fakeBluez("IsDiscovering").toBool(); }));
    fakeBluez("SetName", {kA, "AA-BB-CC-DD-EE-01"});
    central->scanForPeripherals({"FFF0"}, {});
    const auto nameless = rec.waitFor(is(Kind::Discover, idOf(kA)), 3).value();
    EXPECT_EQ(nameless.advertisement.localName, "");
    EXPECT_EQ(nameless.peripheral->name(), "Light 01");
}

TEST_F(QtCentralTest, WritesCompleteWithTheirErrorAndNotificationsArriveAsValues)
{
    add(kA);
    start();
    const Link link = connect(kA);
    fakeBluez("FailNextWrite", {kA});
    link.peripheral->writeValue({0xAA, 0x01}, link.write, WriteType::WithResponse);
    link.peripheral->writeValue({0xAA, 0x02}, link.write, WriteType::WithoutResponse);  // no completion
    link.peripheral->writeValue({0xAA, 0x01, 0x32, 0xBB}, link.write, WriteType::WithResponse);
    ASSERT_TRUE(rec.waitFor(is(Kind::Write), 2));
    const auto writes = rec.events(is(Kind::Write));
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].error.value_or(CentralError{}).code,
              code(Err::ServiceErrorBase) + static_cast<int>(QLowEnergyService::CharacteristicWriteError));
    EXPECT_FALSE(writes[1].error);
    EXPECT_EQ(writes[1].characteristic, link.write);
    EXPECT_EQ(fakeLight(kA).mid(3), (QStringList{"aa02", "aa0132bb"}));

    link.peripheral->setNotifyValue(true, link.notify);
    ASSERT_TRUE(waitUntil([] { return fakeLight(kA).at(1) == "notifying"; }));
    ASSERT_TRUE(fakeBluez("Notify", {kA, "aa05f1000000bb"}).toBool());
    const auto report = rec.waitFor(is(Kind::Value)).value();
    EXPECT_EQ(report.characteristic, link.notify);
    EXPECT_EQ(report.value, (Bytes{0xAA, 0x05, 0xF1, 0x00, 0x00, 0x00, 0xBB}));
}

TEST_F(QtCentralTest, AFailedOrHangingConnectIsReportedAndTheLightCanConnectAfterwards)
{
    add(kA);
    start(1s);
    const auto light = discover(kA);
    // "fail": BlueZ refuses; "reply": Connect never answers (out of range);
    // "resolve": linked, but the services never resolve.
    for (const char* plan : {"fail", "reply", "resolve"}) {
        SCOPED_TRACE(plan);
        auto failed = expect(Kind::FailConnect, kA);
        fakeBluez("NextConnect", {kA, plan});
        central->connect(light);
        const auto failure = failed();
        ASSERT_TRUE(failure && failure->error);
        if (plan != std::string("fail")) {
            EXPECT_EQ(failure->error->code, code(Err::ConnectTimeout));
        }
        EXPECT_EQ(light->state(), PeripheralState::Disconnected);
        EXPECT_TRUE(waitUntil([] { return fakeLight(kA).at(0) == "-"; })) << "given up at BlueZ too";
    }
    EXPECT_EQ(rec.count(is(Kind::Connect)), 0u);
    connect(kA, light);
}

TEST_F(QtCentralTest, ACancelledLinkEndsWithoutErrorADroppedOneWithAndBothReconnect)
{
    add(kA);
    start();
    Link link = connect(kA);
    auto gone = expect(Kind::Disconnect, kA);
    central->cancelPeripheralConnection(link.peripheral);
    auto disconnection = gone();
    EXPECT_TRUE(disconnection && !disconnection->error);
    EXPECT_TRUE(link.peripheral->services().empty());
    link.peripheral->writeValue({0xAA}, link.write, WriteType::WithResponse);
    EXPECT_EQ(rec.waitFor(is(Kind::Write)).value().error.value().code, code(Err::NotConnected));

    // Dropped by the light: an error; the characteristic found before the
    // drop addresses the light again once reconnected.
    connect(kA, link.peripheral);
    gone = expect(Kind::Disconnect, kA);
    fakeBluez("Drop", {kA});
    disconnection = gone();
    EXPECT_TRUE(disconnection && disconnection->error);
    EXPECT_EQ(link.peripheral->state(), PeripheralState::Disconnected);
    connect(kA, link.peripheral);
    link.peripheral->writeValue({0xAA, 0x07}, link.write, WriteType::WithResponse);
    ASSERT_TRUE(rec.waitFor(is(Kind::Write), 2));
    EXPECT_FALSE(rec.events(is(Kind::Write)).back().error);
    EXPECT_EQ(fakeLight(kA).last(), "aa07");
}

TEST_F(QtCentralTest, AdapterOffDropsTheLinksAndRefusesUntilOn)
{
    add(kA), add(kB), add(kC);
    start();
    const Link a = connect(kA);
    // B's connect hangs at BlueZ and C's waits behind it: both fail with the adapter.
    const auto b = discover(kB), c = discover(kC);
    fakeBluez("NextConnect", {kB, "reply"});
    central->connect(b);
    central->connect(c);
    ASSERT_TRUE(waitUntil([] { return fakeLight(kB).at(2) == "1"; })) << "B's attempt reached BlueZ";
    central->scanForPeripherals({"FFF0"}, {});
    ASSERT_TRUE(waitUntil([] { return fakeBluez("IsDiscovering").toBool(); }));
    fakeBluez("SetPowered", {false});
    ASSERT_TRUE(rec.waitFor([](const CentralEvent& e) { return e.state == CentralState::PoweredOff; }));
    const auto gone = rec.waitFor(is(Kind::Disconnect, idOf(kA)));
    EXPECT_TRUE(gone && gone->error);
    for (const QString& waiting : {kB, kC}) {
        const auto failed = rec.waitFor(is(Kind::FailConnect, idOf(waiting)));
        EXPECT_TRUE(failed && failed->error) << waiting.toStdString();
    }
    EXPECT_EQ(rec.events(is(Kind::FailConnect, idOf(kC)))[0].error->code, code(Err::PoweredOff));
    EXPECT_EQ(fakeLight(kC).at(2), "0") << "C, queued, was never asked of BlueZ";
    EXPECT_TRUE(waitUntil([this] { return !central->isScanning(); }));
    central->scanForPeripherals({"FFF0"}, {});
    EXPECT_FALSE(central->isScanning());
    central->connect(a.peripheral);
    EXPECT_EQ(rec.waitFor(is(Kind::FailConnect, idOf(kA))).value().error->code, code(Err::PoweredOff));

    fakeBluez("SetPowered", {true});
    ASSERT_TRUE(rec.waitFor(poweredOn, 2));
    EXPECT_TRUE(discover(kA));
}

TEST_F(QtCentralTest, ACentralThatOutlivesTheApplicationStopsCleanlyAndReleasesItsLights)
{
    add(kA);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--central-outlives-application"), kA});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_EQ(fakeLight(kA).at(2), "1");
    EXPECT_TRUE(waitUntil([] { return fakeLight(kA).at(0) == "-"; }));
}

}  // namespace
}  // namespace lightdeck::testing
