// The Bluetooth manager on the Qt central against the fake BlueZ: the radio
// path from scan to report, as the application runs it on a real adapter.
#include <gtest/gtest.h>

#include "bluetooth/ox_blue_tooth.h"
#include "bluetooth/qt/fake_bluez.h"
#include "bluetooth/qt/qt_bluetooth_backend.h"

namespace lightdeck::testing {
namespace {

template <typename Map>
auto find(const Map& map, const QString& address) -> typename Map::value_type::second_type
{
    for (const auto& [id, value] : map)
        if (id == idOf(address))
            return value;
    return nullptr;
}

TEST(OxBlueToothOnQt, OnlyTheLightsAreListedAndAFrameAndItsReportsMakeTheRoundTrip)
{
    fakeBluez("Reset");
    const QString a = "AA:BB:CC:DD:EE:0A", b = "AA:BB:CC:DD:EE:0B";
    // Known devices come in address order: once b is listed, every other was judged.
    fakeBluez("AddLight", {"AA:BB:CC:DD:EE:01", "Other maker", "4C4C01", QStringList{"fff0"}});
    fakeBluez("AddLight", {"AA:BB:CC:DD:EE:02", "Apple", "4C000215", QStringList{"fff0"}});
    fakeBluez("AddLight", {a, "Light A", "4C4D0102", QStringList{"fff0"}});
    fakeBluez("AddLight", {b, "Light B", "4D4C0102", QStringList{"fff0"}});
    OxBlueTooth manager(qtBluetoothCentralFactory({}));
    manager.setCharacteristicID("FFF1");
    manager.setUuidString("FFF0");
    ASSERT_TRUE(waitUntil([&] { return manager.centralState() == CentralState::PoweredOn; }));
    manager.startScannWithIdentifier("FFF0");
    ASSERT_TRUE(waitUntil([&] { return find(manager.discoverDict(), b) != nullptr; }));
    EXPECT_EQ(manager.discoverDict().size(), 2u);

    const auto light = find(manager.discoverDict(), a);
    manager.connectToDevice(light);
    ASSERT_TRUE(waitUntil([&] { return find(manager.characterDict(), a) && fakeLight(a).at(1) == "notifying"; }));
    EXPECT_TRUE(waitUntil([] { return !fakeBluez("IsDiscovering").toBool(); })) << "connecting stops the scan";
    manager.setControlDict({{light->identifier(), light}});
    manager.writeDataWithData({0xAA, 0x01, 0x32, 0x38, 0x00, 0x00, 0xBB});
    EXPECT_TRUE(waitUntil([&] { return fakeLight(a).mid(3) == QStringList{"aa0132380000bb"}; }));

    ASSERT_TRUE(fakeBluez("Notify", {a, "aa05f1000000bb"}).toBool());
    ASSERT_TRUE(fakeBluez("Notify", {a, "aa01f2f30000bb"}).toBool());
    ASSERT_TRUE(waitUntil([&] { return manager.reports(ReportList::ALL).size() == 2; }));
    EXPECT_EQ(manager.reports(ReportList::SOS), (std::vector<Bytes>{{0xAA, 0x05, 0xF1, 0x00, 0x00, 0x00, 0xBB}}));
    EXPECT_EQ(manager.reports(ReportList::CCT), (std::vector<Bytes>{{0xAA, 0x01, 0xF2, 0xF3, 0x00, 0x00, 0xBB}}));
}

}  // namespace
}  // namespace lightdeck::testing
