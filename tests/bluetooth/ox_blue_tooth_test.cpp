// The Bluetooth manager against virtual lights: which lights are listed, the
// maps through connect and disconnect, which lights receive a frame, where
// reports are filed, the shield scan, and the rename follow-up.
#include "bluetooth/ox_blue_tooth.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <mutex>
#include <ranges>
#include <thread>

#include "bluetooth/simulated/light_simulator.h"
#include "protocol/command_frames.h"
#include "support/log_capture.h"

namespace lightdeck {
namespace {

using Ids = std::vector<std::string>;
using Event = std::pair<std::string, std::string>;  // name, thread it arrived on

std::string currentThreadName()
{
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
}

struct RecordingDelegate : OxBlueToothDelegate {
    void didConnnetPeripheralSuccess(const std::shared_ptr<Peripheral>&) override { add("connected"); }
    void didConnnetPeripheralFailure(const std::shared_ptr<Peripheral>&) override { add("failed"); }
    void disConnectPeripheral(const std::shared_ptr<Peripheral>&) override { add("disconnecting"); }
    void refreshDeviceList() override { add("refresh"); }
    void didDiscoverPeripheral(const std::shared_ptr<Peripheral>&) override { add("discovered"); }
    void add(const char* name) { std::lock_guard lock(mutex); events.emplace_back(name, currentThreadName()); }
    // Events are read once the simulator is idle.
    std::size_t count(const std::string& name) const { return std::ranges::count(events, name, &Event::first); }
    std::mutex mutex;
    std::vector<Event> events;
};

Bytes cctFrame(int brightness = 100) { return {0xAA, 0x01, std::uint8_t(brightness), 0x2F, 0x00, 0x00, 0xBB}; }

class OxBlueToothTest : public ::testing::Test {
protected:
    OxBlueToothTest()
    {
        manager.setDelegate(delegate);
        manager.setRenameSettleDelay(std::chrono::milliseconds(1));
        manager.setCharacteristicID("FFF1");
        manager.setUuidString("FFF0");
    }
    VirtualLight& addLight(std::optional<Bytes> data = Bytes{0x4C, 0x4D, 0x01}, VirtualLightSpec spec = {})
    {
        spec.manufacturerData = std::move(data);
        return simulator.addLight(std::move(spec));
    }
    void settle() { simulator.waitIdle(); }
    void scan() { manager.startScannWithIdentifier("FFF0"), settle(); }
    void write(const Bytes& frame) { manager.writeDataWithData(frame), settle(); }
    std::shared_ptr<Peripheral> discovered(const VirtualLight& light) const
    {
        for (const auto& [id, p] : manager.discoverDict())
            if (id == light.identifier())
                return p;
        return nullptr;
    }
    std::shared_ptr<Peripheral> connect(const VirtualLight& light)
    {
        manager.connectToDevice(discovered(light));
        settle();
        return discovered(light);
    }
    void control(const std::vector<std::shared_ptr<Peripheral>>& lights)
    {
        OxBlueTooth::PeripheralMap map;
        for (const auto& p : lights)
            map.emplace_back(p->identifier(), p);
        manager.setControlDict(map);
    }
    static Ids keys(const auto& map) { return Ids(std::views::keys(map).begin(), std::views::keys(map).end()); }

    LightSimulator simulator;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    OxBlueTooth manager{simulator.centralFactory()};
};

// No scan while the adapter is off; the scan starts when power comes back.
TEST_F(OxBlueToothTest, ScanListsAcceptedLightsOnlyOnceEachInDiscoveryOrder)
{
    const std::pair<std::optional<Bytes>, bool> adverts[] = {
        {Bytes{0x4C, 0x4D, 0x10}, true}, {Bytes{0x4C, 0x4C, 0x01}, false}, {Bytes{0x4D, 0x4C}, true}, {Bytes{0x4C, 0x4E}, false},
        {Bytes{0x4D, 0x4D}, false},      {Bytes{0x59, 0x00, 0x4C, 0x4D}, false},  // another maker
        {Bytes{0x4C}, false},            {Bytes{}, false}, {std::nullopt, false}, {Bytes{0x4C, 0x4D}, true}};
    // Off before any light advertises: the manager's first state report
    // (powered on) may otherwise start a scan that hears them.
    simulator.setPoweredOn(false);
    settle();
    Ids listed;
    for (const auto& [data, accepted] : adverts)
        if (const VirtualLight& light = addLight(data); accepted)
            listed.push_back(light.identifier());
    scan();
    EXPECT_TRUE(manager.discoverDict().empty());
    simulator.setPoweredOn(true);
    settle();
    scan();  // heard twice: still one entry each
    EXPECT_EQ(keys(manager.discoverDict()), listed);
    EXPECT_EQ(delegate->count("discovered"), 2 * listed.size());
}

// A connection request stops the scan; only a connection that succeeds fills
// the maps. A light that leaves, asked or not, leaves the lists of seen and
// connected lights but stays under control with its characteristic, so
// frames resume when it comes back.
TEST_F(OxBlueToothTest, ConnectionsFillTheMapsAndLightsThatLeaveClearThem)
{
    VirtualLight& a = addLight();
    VirtualLight& b = addLight();
    VirtualLight& flaky = addLight();
    scan();
    flaky.failNextConnect();
    connect(flaky);
    EXPECT_EQ(delegate->count("failed"), 1u);
    EXPECT_TRUE(manager.connectDict().empty());
    VirtualLight& late = addLight();  // not heard: the scan stopped at the request
    settle();
    EXPECT_FALSE(discovered(late));
    const auto pa = connect(a);
    connect(b);
    EXPECT_EQ(delegate->count("connected"), 2u);
    ASSERT_EQ(keys(manager.characterDict()), (Ids{a.identifier(), b.identifier()}));
    manager.removeUnconnectedFromDiscoverDict();
    EXPECT_EQ(keys(manager.discoverDict()), (Ids{a.identifier(), b.identifier()}));
    control({pa});
    manager.setPickFlag(a.identifier(), 1);
    manager.setPickFlag("NOT-CONNECTED", 1);  // ignored
    EXPECT_EQ(manager.connectDict(), (OxBlueTooth::ConnectMap{{a.identifier(), 1}, {b.identifier(), 0}}));

    const std::size_t before = delegate->events.size();
    manager.disConnectDevice(pa);
    settle();
    // Announced at once on the caller's thread; the refresh follows the
    // central's confirmation; every other event arrives on centralQueue.
    const auto& events = delegate->events;
    ASSERT_EQ(events.size(), before + 2);
    EXPECT_EQ(events[before], Event("disconnecting", currentThreadName()));
    EXPECT_EQ(events[before + 1].first, "refresh");
    for (std::size_t i = 0; i < events.size(); ++i)
        EXPECT_TRUE(i == before || events[i].second == "centralQueue") << events[i].first;
    EXPECT_EQ(keys(manager.discoverDict()), Ids{b.identifier()});
    EXPECT_EQ(keys(manager.connectDict()), Ids{b.identifier()});
    EXPECT_EQ(keys(manager.controlDict()), Ids{a.identifier()});
    EXPECT_EQ(keys(manager.characterDict()), (Ids{a.identifier(), b.identifier()}));

    manager.setDelegate({});  // the maps do not depend on a delegate
    b.dropConnection();
    settle();
    EXPECT_TRUE(manager.discoverDict().empty() && manager.connectDict().empty());
    scan();
    connect(a);
    EXPECT_EQ(manager.connectDict(), (OxBlueTooth::ConnectMap{{a.identifier(), 0}}));  // tick reset
}

// The targets of a frame are kept between frames: every change of the lights
// under control, and every characteristic found, must count for the next one.
// A write that fails, or goes to a light that dropped, is reported.
TEST_F(OxBlueToothTest, EachFrameReachesTheLightsUnderControlAtThatMomentOnce)
{
    VirtualLight& a = addLight();
    VirtualLight& b = addLight();
    VirtualLight& c = addLight();
    VirtualLight& d = addLight();
    scan();
    auto pa = connect(a), pb = connect(b), pc = connect(c);
    auto pd = discovered(d);  // under control before it has a characteristic
    control({pa, pb}), write(cctFrame(1));
    control({pc}), write(cctFrame(2));
    control({}), write(cctFrame(3));
    control({pa, pd}), write(cctFrame(4)), write(cctFrame(5));
    control({pb, pc, pa, pd}), write(cctFrame(6));
    connect(d);
    c.dropConnection();
    scan();
    connect(c);  // found anew
    write(cctFrame(7));
    manager.writeDataWithHexStr("aa0400030000bb");
    manager.writeDataWithHexStr("");  // no bytes: nothing written
    settle();
    const Bytes preset{0xAA, 0x04, 0x00, 0x03, 0x00, 0x00, 0xBB};
    EXPECT_EQ(a.writes(), (std::vector<Bytes>{cctFrame(1), cctFrame(4), cctFrame(5), cctFrame(6), cctFrame(7), preset}));
    EXPECT_EQ(b.writes(), (std::vector<Bytes>{cctFrame(1), cctFrame(6), cctFrame(7), preset}));
    EXPECT_EQ(c.writes(), (std::vector<Bytes>{cctFrame(2), cctFrame(6), cctFrame(7), preset}));
    EXPECT_EQ(d.writes(), (std::vector<Bytes>{cctFrame(7), preset}));

    a.failNextWrite();
    d.failNextWrite();
    b.dropConnection();
    testing::LogCapture log;
    write(cctFrame(8));
    EXPECT_EQ(log.count("写入失败"), 3u);
    EXPECT_EQ(log.count("写入成功"), 1u);
    EXPECT_EQ(a.writes().back(), preset);
    EXPECT_EQ(c.writes().back(), cctFrame(8));
}

// After a rename every write completion waits, rescans and refreshes until
// the flag is cleared; a manager destroyed during that wait returns at once.
TEST_F(OxBlueToothTest, RenameIsWrittenWholeThenEveryCompletionRescansUntilCleared)
{
    VirtualLight& a = addLight();
    scan();
    control({connect(a)});
    manager.setIsChangeName(true);
    const std::string name = "客厅灯光一号";  // 18 bytes
    write(renameMessage(name));
    EXPECT_EQ(a.writes(), std::vector<Bytes>{renameMessage(name)});
    EXPECT_EQ(delegate->count("refresh"), 1u);
    VirtualLight& late = addLight();  // heard by the rescan
    settle();
    EXPECT_TRUE(discovered(late));
    write(cctFrame());
    EXPECT_EQ(delegate->count("refresh"), 2u);
    manager.setIsChangeName(false);
    write(cctFrame());
    EXPECT_EQ(delegate->count("refresh"), 2u);

    manager.setIsChangeName(true);
    manager.setRenameSettleDelay(std::chrono::hours(1));
    manager.writeDataWithData(cctFrame());
    while (a.writes().size() < 4)
        std::this_thread::yield();
    // The fixture destroys the manager now (ctest's timeout catches a hang).
}

// Log levels decide which lines are built, never what is kept, written or
// found; a shield callback may call back into the manager.
TEST_F(OxBlueToothTest, ReportsAreFiledByModeAndShieldScansFindMarkersAboveF0AtEveryLogLevel)
{
    VirtualLightSpec spec;
    spec.capabilities.colourTemperature = false;  // reported when the manager subscribes
    VirtualLight& light = addLight(Bytes{0x4C, 0x4D}, spec);
    scan();
    control({connect(light)});
    std::vector<Bytes> all{{0xAA, 0x01, 0x00, 0xFF, 0x00, 0x00, 0xBB}};
    const std::vector<Bytes> odd{{0xAA, 0x02, 0, 0, 0xFF, 0, 0xBB}, {0xAA, 0x06, 0, 0, 0, 0, 0xBB},
                                 {0xAA, 0x07, 0, 0, 0, 0, 0xBB}, {}, {0xAA}, {0xAA, 0x02}};
    for (const Bytes& r : odd)
        ASSERT_TRUE(light.sendReport(r));
    settle();
    all.insert(all.end(), odd.begin(), odd.end());
    EXPECT_EQ(manager.reports(ReportList::ALL), all);
    EXPECT_EQ(manager.reports(ReportList::HSI), (std::vector<Bytes>{odd[0], odd[5]}));
    EXPECT_EQ(manager.reports(ReportList::GPM), std::vector<Bytes>{odd[1]});

    const std::vector<Bytes> cct{{0xAA, 0x01, 0x00, 0xF0, 0, 0, 0xBB}, {0xAA, 0x01, 0x00, 0x32, 0, 0, 0xBB},
                                 {0xAA, 0x01}, {0xAA, 0x01, 0xF5, 0xF1, 0, 0, 0xBB}};
    std::vector<int> expected{0xFF};
    for (int levels = 0; levels < 4; ++levels) {
        testing::LogCapture log(levels & 1);
        log::setEnabled(log::Level::Info, levels & 2);
        for (const Bytes& r : cct)
            light.sendReport(r);
        write(cctFrame());
        expected.push_back(0xF1);
        std::vector<int> seen;
        manager.shieldModulesFromData(ReportList::CCT, 3, [&](std::uint8_t b) {
            seen.push_back(b);
            (void)manager.reports(ReportList::CCT);  // would deadlock under the lock
        });
        manager.shieldModulesFromData(ReportList::CCT, 40, [&](std::uint8_t b) { seen.push_back(b); });
        EXPECT_EQ(seen, expected) << "levels " << levels;
        EXPECT_EQ(manager.reportCount(ReportList::CCT), 1 + (levels + 1) * cct.size());
        EXPECT_EQ(light.writes().size(), levels + 1u);
    }
}

// A central whose first state report arrives before its factory has
// returned: the manager must not reach for a central it does not have yet.
TEST(OxBlueToothLifetime, StateReportDuringConstructionIsSafe)
{
    int scans = 0;
    struct EagerCentral final : Central {
        explicit EagerCentral(int& count) : scans(count) {}
        CentralState state() const override { return CentralState::PoweredOn; }
        void scanForPeripherals(const std::vector<std::string>&, const ScanOptions&) override { ++scans; }
        void stopScan() override {}
        bool isScanning() const override { return scans > 0; }
        void connect(const std::shared_ptr<Peripheral>&) override {}
        void cancelPeripheralConnection(const std::shared_ptr<Peripheral>&) override {}
        int& scans;
    };
    OxBlueTooth manager([&scans](CentralDelegate& delegate) {
        std::thread([&delegate] { delegate.centralDidUpdateState(CentralState::PoweredOn); }).join();
        return std::make_unique<EagerCentral>(scans);
    });
    EXPECT_EQ(manager.centralState(), CentralState::PoweredOn);
    manager.setUuidString("FFF0");
    manager.startScannWithIdentifier("FFF0");
    EXPECT_EQ(scans, 1);
}

}  // namespace
}  // namespace lightdeck
