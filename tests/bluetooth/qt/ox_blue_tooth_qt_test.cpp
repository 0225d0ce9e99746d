// The Bluetooth manager on the Qt Bluetooth central, against the fake BlueZ:
// what the application does with a real adapter, from scan to report.
#include <QString>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bluetooth/ox_blue_tooth.h"
#include "bluetooth/qt/fake_bluez.h"
#include "bluetooth/qt/qt_bluetooth_backend.h"
#include "bluetooth/qt/recording_delegate.h"
#include "protocol/command_frames.h"
#include "support/log_capture.h"

namespace lightdeck {
namespace {

using namespace std::chrono_literals;
using testing::fakeBluez;
using testing::waitUntil;

std::string idOf(const QString& address)
{
    return "00000000-0000-0000-0000-" + QString(address).remove(QLatin1Char(':')).toUpper().toStdString();
}

template <typename Map>
bool holds(const Map& map, const std::string& id)
{
    return std::any_of(map.begin(), map.end(), [&](const auto& entry) { return entry.first == id; });
}

template <typename Map>
auto valueOf(const Map& map, const std::string& id) -> typename Map::value_type::second_type
{
    for (const auto& [key, value] : map)
        if (key == id)
            return value;
    return {};
}

// The scan screen's side of the manager: counts its events.
class ScreenDelegate final : public OxBlueToothDelegate {
public:
    void didConnnetPeripheralSuccess(const std::shared_ptr<Peripheral>&) override { bump(m_connected); }
    void didConnnetPeripheralFailure(const std::shared_ptr<Peripheral>&) override { bump(m_failed); }
    void refreshDeviceList() override { bump(m_refreshed); }
    void didDiscoverPeripheral(const std::shared_ptr<Peripheral>& p) override
    {
        std::lock_guard lock(m_mutex);
        m_discovered.push_back(p->identifier());
    }

    int connected() const { return read(m_connected); }
    int failed() const { return read(m_failed); }
    int refreshed() const { return read(m_refreshed); }
    std::size_t discovered(const std::string& id) const
    {
        std::lock_guard lock(m_mutex);
        return static_cast<std::size_t>(std::count(m_discovered.begin(), m_discovered.end(), id));
    }

private:
    void bump(int& counter)
    {
        std::lock_guard lock(m_mutex);
        ++counter;
    }
    int read(const int& counter) const
    {
        std::lock_guard lock(m_mutex);
        return counter;
    }

    mutable std::mutex m_mutex;
    int m_connected = 0;
    int m_failed = 0;
    int m_refreshed = 0;
    std::vector<std::string> m_discovered;
};

const QString kLightA = QStringLiteral("AA:BB:CC:DD:EE:0A");
const QString kLightB = QStringLiteral("AA:BB:CC:DD:EE:0B");

class OxBlueToothOnQtTest : public ::testing::Test {
protected:
    void SetUp() override { fakeBluez().reset(); }
    void TearDown() override { m_manager.reset(); }

    // The manager as the scan screen sets it up, scanning.
    void start(std::chrono::milliseconds connectTimeout = 10s)
    {
        QtCentralOptions options;
        options.connectTimeout = connectTimeout;
        m_manager = std::make_unique<OxBlueTooth>(qtBluetoothCentralFactory(options));
        m_manager->setRenameSettleDelay(0ms);
        m_manager->setDelegate(m_screen);
        m_manager->setCharacteristicID("FFF1");
        m_manager->setUuidString("FFF0");
        ASSERT_TRUE(waitUntil([this] { return m_manager->centralState() == CentralState::PoweredOn; }));
        m_manager->startScannWithIdentifier("FFF0");
    }

    std::shared_ptr<Peripheral> discovered(const QString& address)
    {
        const std::string id = idOf(address);
        if (!waitUntil([&] { return holds(m_manager->discoverDict(), id); }))
            return nullptr;
        return valueOf(m_manager->discoverDict(), id);
    }

    // Connects the light and waits until its command characteristic is known
    // and its reports are switched on.
    std::shared_ptr<Peripheral> connectAndEquip(const QString& address)
    {
        auto light = discovered(address);
        EXPECT_TRUE(light) << "not discovered";
        if (!light)
            return nullptr;
        m_manager->connectToDevice(light);
        EXPECT_TRUE(waitUntil([&] { return holds(m_manager->characterDict(), light->identifier()); }))
            << "FFF1 never found";
        EXPECT_TRUE(waitUntil([&] { return fakeBluez().isNotifying(address, QStringLiteral("fff2")); }))
            << "reports never switched on";
        return light;
    }

    testing::LogCapture m_log;
    std::shared_ptr<ScreenDelegate> m_screen = std::make_shared<ScreenDelegate>();
    std::unique_ptr<OxBlueTooth> m_manager;
};

TEST_F(OxBlueToothOnQtTest, OnlyLightsWithTheLightsManufacturerDataAreListed)
{
    // Known devices are reported in address order, so once the last light
    // (accepted) is listed every other has been judged.
    fakeBluez().addLight(QStringLiteral("AA:BB:CC:DD:EE:01"), QStringLiteral("Other maker"), QStringLiteral("4C4C01"));
    fakeBluez().addLight(QStringLiteral("AA:BB:CC:DD:EE:02"), QStringLiteral("No data"), QString());
    fakeBluez().addLight(QStringLiteral("AA:BB:CC:DD:EE:03"), QStringLiteral("Apple"), QStringLiteral("4C000215"));
    fakeBluez().addLight(QStringLiteral("AA:BB:CC:DD:EE:04"), QStringLiteral("No FFF0"), QStringLiteral("4C4D01"),
                         {QStringLiteral("180f")});
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    fakeBluez().addLight(kLightB, QStringLiteral("Light B"), QStringLiteral("4D4C0102"));
    start();
    ASSERT_TRUE(discovered(kLightA));
    ASSERT_TRUE(discovered(kLightB));
    const auto dict = m_manager->discoverDict();
    EXPECT_EQ(dict.size(), 2u);
    EXPECT_EQ(valueOf(dict, idOf(kLightB))->name(), "Light B");
    EXPECT_EQ(m_screen->discovered(idOf(kLightA)), 1u);
}

TEST_F(OxBlueToothOnQtTest, AFrameReachesTheLightAndItsReportsLandInTheLists)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    fakeBluez().addLight(kLightB, QStringLiteral("Light B"), QStringLiteral("4D4C0102"));
    start();
    auto a = connectAndEquip(kLightA);
    ASSERT_TRUE(a);
    EXPECT_TRUE(holds(m_manager->connectDict(), a->identifier()));
    EXPECT_EQ(m_screen->connected(), 1);
    // Connecting stopped the scan.
    EXPECT_TRUE(waitUntil([] { return !fakeBluez().isDiscovering(); }));

    m_manager->setControlDict({{a->identifier(), a}});
    const Bytes frame{0xAA, 0x01, 0x32, 0x38, 0x00, 0x00, 0xBB};
    m_manager->writeDataWithData(frame);
    ASSERT_TRUE(waitUntil([] { return !fakeBluez().writtenValues(kLightA, QStringLiteral("fff1")).isEmpty(); }));
    EXPECT_EQ(fakeBluez().writtenValues(kLightA, QStringLiteral("fff1")),
              QList<QByteArray>{QByteArray::fromHex("AA01323800 00BB")});
    EXPECT_TRUE(waitUntil([this] { return m_log.contains("写入成功"); }));
    // The light not under control received nothing.
    EXPECT_TRUE(fakeBluez().writtenValues(kLightB, QStringLiteral("fff1")).isEmpty());

    ASSERT_TRUE(fakeBluez().notify(kLightA, QStringLiteral("fff2"), QByteArray::fromHex("AA05F1000000BB")));
    ASSERT_TRUE(fakeBluez().notify(kLightA, QStringLiteral("fff2"), QByteArray::fromHex("AA01F2F30000BB")));
    ASSERT_TRUE(waitUntil([this] { return m_manager->reports(ReportList::ALL).size() == 2; }));
    EXPECT_EQ(m_manager->reports(ReportList::SOS), (std::vector<Bytes>{{0xAA, 0x05, 0xF1, 0x00, 0x00, 0x00, 0xBB}}));
    EXPECT_EQ(m_manager->reports(ReportList::CCT), (std::vector<Bytes>{{0xAA, 0x01, 0xF2, 0xF3, 0x00, 0x00, 0xBB}}));
    std::vector<std::uint8_t> markers;
    m_manager->shieldModulesFromData(ReportList::CCT, 3, [&](std::uint8_t b) { markers.push_back(b); });
    EXPECT_EQ(markers, std::vector<std::uint8_t>{0xF3});
}

TEST_F(OxBlueToothOnQtTest, AFailedOrHangingConnectTellsTheScreen)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start(300ms);
    auto a = discovered(kLightA);
    ASSERT_TRUE(a);

    fakeBluez().failNextConnect(kLightA);
    m_manager->connectToDevice(a);
    ASSERT_TRUE(waitUntil([this] { return m_screen->failed() == 1; }));
    EXPECT_TRUE(m_log.contains("连接外围设备失败！"));
    EXPECT_FALSE(holds(m_manager->connectDict(), a->identifier()));

    fakeBluez().hangNextConnect(kLightA, QStringLiteral("reply"));
    m_manager->connectToDevice(a);
    ASSERT_TRUE(waitUntil([this] { return m_screen->failed() == 2; }));
    EXPECT_EQ(m_screen->connected(), 0);

    // The light is still reachable afterwards.
    m_manager->connectToDevice(a);
    ASSERT_TRUE(waitUntil([this] { return m_screen->connected() == 1; }));
}

TEST_F(OxBlueToothOnQtTest, ADroppedLightLeavesTheListsAndGetsFramesAgainOnceReconnected)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start();
    auto a = connectAndEquip(kLightA);
    ASSERT_TRUE(a);
    m_manager->setControlDict({{a->identifier(), a}});

    fakeBluez().drop(kLightA);
    ASSERT_TRUE(waitUntil([this] { return m_screen->refreshed() == 1; }));
    EXPECT_FALSE(holds(m_manager->discoverDict(), a->identifier()));
    EXPECT_FALSE(holds(m_manager->connectDict(), a->identifier()));
    EXPECT_TRUE(holds(m_manager->controlDict(), a->identifier()));
    EXPECT_TRUE(holds(m_manager->characterDict(), a->identifier()));

    // A frame to the dropped light fails quietly (logged), nothing arrives.
    m_manager->writeDataWithData({0xAA, 0x05, 0x00, 0x00, 0x00, 0x00, 0xBB});
    EXPECT_TRUE(waitUntil([this] { return m_log.contains("写入失败"); }));
    EXPECT_TRUE(fakeBluez().writtenValues(kLightA, QStringLiteral("fff1")).isEmpty());

    m_manager->connectToDevice(a);
    ASSERT_TRUE(waitUntil([this] { return m_screen->connected() == 2; }));
    ASSERT_TRUE(waitUntil([] { return fakeBluez().isNotifying(kLightA, QStringLiteral("fff2")); }));
    m_manager->writeDataWithData({0xAA, 0x05, 0x01, 0x00, 0x00, 0x00, 0xBB});
    EXPECT_TRUE(waitUntil([] { return fakeBluez().writtenValues(kLightA, QStringLiteral("fff1")).size() == 1; }));
}

TEST_F(OxBlueToothOnQtTest, AnAdapterSwitchedOffWhileScanningDropsTheLightsAndScansAgainWhenBack)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    fakeBluez().addLight(kLightB, QStringLiteral("Light B"), QStringLiteral("4C4D0102"));
    start();
    auto a = connectAndEquip(kLightA);
    ASSERT_TRUE(a);
    m_manager->startScannWithIdentifier("FFF0");
    ASSERT_TRUE(waitUntil([] { return fakeBluez().isDiscovering(); }));

    fakeBluez().setPowered(false);
    ASSERT_TRUE(waitUntil([this] { return m_manager->centralState() == CentralState::PoweredOff; }));
    ASSERT_TRUE(waitUntil([this] { return m_screen->refreshed() == 1; }));
    EXPECT_FALSE(holds(m_manager->connectDict(), a->identifier()));

    const std::size_t seenB = m_screen->discovered(idOf(kLightB));
    fakeBluez().setPowered(true);
    // The manager's state handler scans again by itself.
    EXPECT_TRUE(waitUntil([&] { return m_screen->discovered(idOf(kLightB)) > seenB; }));
}

TEST_F(OxBlueToothOnQtTest, ARenameMessageRenamesTheLightAndTheNameUpdateIsLogged)
{
    fakeBluez().addLight(kLightA, QStringLiteral("Light A"), QStringLiteral("4C4D0102"));
    start();
    auto a = connectAndEquip(kLightA);
    ASSERT_TRUE(a);
    m_manager->setControlDict({{a->identifier(), a}});

    m_manager->setIsChangeName(true);
    m_manager->writeDataWithData(renameMessage("书房灯"));
    // Write completion, settle, rescan, the new name seen, refresh.
    ASSERT_TRUE(waitUntil([this] { return m_log.contains("修改名字成功"); }));
    EXPECT_EQ(a->name(), "书房灯");
    EXPECT_TRUE(m_log.contains("修改名字成功：书房灯"));
    EXPECT_TRUE(waitUntil([this] { return m_screen->refreshed() >= 1; }));
    EXPECT_EQ(fakeBluez().writtenValues(kLightA, QStringLiteral("fff1")),
              QList<QByteArray>{QByteArray::fromHex("AA00") + QByteArray("书房灯")});
}

}  // namespace
}  // namespace lightdeck
