// The Bluetooth manager against virtual lights: discovery filter, the four
// maps through connect and disconnect, frame dispatch, report lists, the
// shield scan, the rename follow-up, and the two threads it serves.

#include "bluetooth/ox_blue_tooth.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "bluetooth/simulated/light_simulator.h"
#include "support/log_capture.h"

namespace lightdeck {
namespace {

using namespace std::chrono_literals;
using testing::LogCapture;

std::string currentThreadName()
{
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
}

// Records every delegate event with the thread it arrived on.
class RecordingDelegate : public OxBlueToothDelegate {
public:
    struct Event {
        std::string name;
        std::string identifier;
        std::string thread;
    };

    void didConnnetPeripheralSuccess(const std::shared_ptr<Peripheral>& p) override { record("connected", p); }
    void didConnnetPeripheralFailure(const std::shared_ptr<Peripheral>& p) override { record("failed", p); }
    void disConnectPeripheral(const std::shared_ptr<Peripheral>& p) override { record("disconnecting", p); }
    void refreshDeviceList() override { record("refresh", nullptr); }
    void didDiscoverPeripheral(const std::shared_ptr<Peripheral>& p) override { record("discovered", p); }

    std::vector<Event> events() const
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (const auto& e : events())
            out.push_back(e.name);
        return out;
    }
    int count(const std::string& name) const
    {
        int n = 0;
        for (const auto& e : events())
            n += e.name == name;
        return n;
    }
    // Waits (bounded) until an event has arrived `times` times.
    bool waitFor(const std::string& name, int times = 1)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 10s, [&] {
            int n = 0;
            for (const auto& e : m_events)
                n += e.name == name;
            return n >= times;
        });
    }

private:
    void record(std::string name, const std::shared_ptr<Peripheral>& p)
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back({std::move(name), p ? p->identifier() : std::string(), currentThreadName()});
        m_changed.notify_all();
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Event> m_events;
};

const Bytes kCctFrame{0xAA, 0x01, 0x64, 0x2F, 0x00, 0x00, 0xBB};

class OxBlueToothTest : public ::testing::Test {
protected:
    OxBlueToothTest()
        : manager(simulator.centralFactory())
    {
        manager.setDelegate(delegate);
        manager.setRenameSettleDelay(1ms);
    }

    VirtualLight& addLight(const std::string& name, std::optional<Bytes> data = Bytes{0x4C, 0x4D, 0x01})
    {
        VirtualLightSpec spec;
        spec.name = name;
        spec.manufacturerData = std::move(data);
        return simulator.addLight(std::move(spec));
    }

    void scan()
    {
        manager.setCharacteristicID("FFF1");
        manager.setUuidString("FFF0");
        manager.startScannWithIdentifier("FFF0");
        simulator.waitIdle();
    }

    std::shared_ptr<Peripheral> discovered(const VirtualLight& light) const
    {
        for (const auto& [id, p] : manager.discoverDict())
            if (id == light.identifier())
                return p;
        return nullptr;
    }

    std::shared_ptr<Peripheral> connect(const VirtualLight& light)
    {
        auto p = discovered(light);
        EXPECT_TRUE(p) << "light not discovered: " << light.name();
        manager.connectToDevice(p);
        simulator.waitIdle();
        return p;
    }

    void control(std::initializer_list<std::shared_ptr<Peripheral>> lights)
    {
        OxBlueTooth::PeripheralMap map;
        for (const auto& p : lights)
            map.emplace_back(p->identifier(), p);
        manager.setControlDict(map);
    }

    static std::vector<std::string> keys(const auto& map)
    {
        std::vector<std::string> out;
        for (const auto& entry : map)
            out.push_back(entry.first);
        return out;
    }

    LightSimulator simulator;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    OxBlueTooth manager;
};

// --- discovery ------------------------------------------------------------

struct AdvertCase {
    const char* what;
    std::optional<Bytes> data;
    bool listed;
};

class DiscoveryFilterTest : public OxBlueToothTest, public ::testing::WithParamInterface<AdvertCase> {};

TEST_P(DiscoveryFilterTest, ListsOnlyLightsWithAcceptedManufacturerData)
{
    const auto& param = GetParam();
    VirtualLight& light = addLight("Light", param.data);
    scan();
    EXPECT_EQ(discovered(light) != nullptr, param.listed) << param.what;
    EXPECT_EQ(delegate->count("discovered"), param.listed ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Adverts, DiscoveryFilterTest,
    ::testing::Values(AdvertCase{"4C 4D", Bytes{0x4C, 0x4D, 0x10, 0x20}, true},
                      AdvertCase{"4D 4C", Bytes{0x4D, 0x4C}, true},
                      AdvertCase{"4C 4C", Bytes{0x4C, 0x4C, 0x01}, false},
                      AdvertCase{"4D 4D", Bytes{0x4D, 0x4D}, false},
                      AdvertCase{"other maker", Bytes{0x59, 0x00, 0x4C, 0x4D}, false},
                      AdvertCase{"one byte", Bytes{0x4C}, false},
                      AdvertCase{"empty", Bytes{}, false},
                      AdvertCase{"absent", std::nullopt, false}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST_F(OxBlueToothTest, LightSeenInTwoScansHasOneEntryHoldingTheLatestPeripheral)
{
    VirtualLight& light = addLight("Twice");
    scan();
    scan();
    const auto map = manager.discoverDict();
    ASSERT_EQ(map.size(), 1u);
    EXPECT_EQ(map[0].first, light.identifier());
    EXPECT_EQ(delegate->count("discovered"), 2);
}

TEST_F(OxBlueToothTest, DiscoverDictKeepsDiscoveryOrder)
{
    VirtualLight& a = addLight("A");
    VirtualLight& b = addLight("B");
    VirtualLight& c = addLight("C");
    scan();
    scan();
    EXPECT_EQ(keys(manager.discoverDict()),
              (std::vector<std::string>{a.identifier(), b.identifier(), c.identifier()}));
}

TEST_F(OxBlueToothTest, NoScanWithoutServiceFilter)
{
    addLight("Light");
    manager.startScannWithIdentifier("FFF0");  // uuidString never set
    simulator.waitIdle();
    EXPECT_TRUE(manager.discoverDict().empty());
}

TEST_F(OxBlueToothTest, ScanRequestedWhilePoweredOffStartsWhenPowerComesBack)
{
    simulator.setPoweredOn(false);
    simulator.waitIdle();
    VirtualLight& light = addLight("Later");
    scan();
    EXPECT_TRUE(manager.discoverDict().empty());
    EXPECT_NE(manager.centralState(), CentralState::PoweredOn);

    simulator.setPoweredOn(true);
    simulator.waitIdle();
    EXPECT_EQ(manager.centralState(), CentralState::PoweredOn);
    EXPECT_TRUE(discovered(light));
}

// --- connection and the maps ----------------------------------------------

TEST_F(OxBlueToothTest, ConnectionFillsConnectAndCharacterMaps)
{
    VirtualLight& light = addLight("Key");
    scan();
    auto p = connect(light);

    EXPECT_EQ(p->state(), PeripheralState::Connected);
    EXPECT_EQ(manager.connectDict(), (OxBlueTooth::ConnectMap{{light.identifier(), 0}}));
    ASSERT_EQ(keys(manager.characterDict()), std::vector<std::string>{light.identifier()});
    EXPECT_EQ(manager.characterDict()[0].second->uuid(), "FFF1");
    EXPECT_EQ(manager.peripheral(), p);
    EXPECT_EQ(delegate->count("connected"), 1);
}

TEST_F(OxBlueToothTest, ConnectStopsScanningEvenWhenTheConnectionFails)
{
    VirtualLight& light = addLight("Flaky");
    scan();
    light.failNextConnect();
    LogCapture log;
    connect(light);
    EXPECT_EQ(delegate->count("failed"), 1);
    EXPECT_TRUE(log.contains("连接外围设备失败！"));
    EXPECT_TRUE(manager.connectDict().empty());

    // A light that appears now is not heard: the scan stopped at the request.
    VirtualLight& late = addLight("Late");
    simulator.waitIdle();
    EXPECT_FALSE(discovered(late));
}

TEST_F(OxBlueToothTest, DisconnectNotifiesAtOnceThenRefreshesAfterTheCentralConfirms)
{
    VirtualLight& light = addLight("Key");
    scan();
    auto p = connect(light);
    control({p});

    const std::size_t before = delegate->events().size();
    manager.disConnectDevice(p);
    simulator.waitIdle();

    // Exactly the announcement, on the caller's thread, then the refresh
    // that follows the central's confirmation, on centralQueue.
    const auto events = delegate->events();
    ASSERT_EQ(events.size(), before + 2);
    EXPECT_EQ(events[before].name, "disconnecting");
    EXPECT_EQ(events[before].thread, currentThreadName());
    EXPECT_EQ(events[before + 1].name, "refresh");
    EXPECT_EQ(events[before + 1].thread, "centralQueue");
    EXPECT_TRUE(manager.discoverDict().empty());
    EXPECT_TRUE(manager.connectDict().empty());
    EXPECT_EQ(keys(manager.controlDict()), std::vector<std::string>{light.identifier()});
    EXPECT_EQ(keys(manager.characterDict()), std::vector<std::string>{light.identifier()});
}

TEST_F(OxBlueToothTest, DroppedLightLeavesTheMapsEvenWithoutDelegate)
{
    manager.setDelegate({});
    VirtualLight& light = addLight("Dropper");
    scan();
    connect(light);
    ASSERT_EQ(manager.connectDict().size(), 1u);

    light.dropConnection();
    simulator.waitIdle();
    EXPECT_TRUE(manager.discoverDict().empty());
    EXPECT_TRUE(manager.connectDict().empty());
}

TEST_F(OxBlueToothTest, AdapterOffDisconnectsEveryLight)
{
    VirtualLight& a = addLight("A");
    VirtualLight& b = addLight("B");
    scan();
    connect(a);
    connect(b);
    ASSERT_EQ(manager.connectDict().size(), 2u);

    simulator.setPoweredOn(false);
    simulator.waitIdle();
    EXPECT_TRUE(manager.connectDict().empty());
    EXPECT_EQ(delegate->count("refresh"), 2);
}

TEST_F(OxBlueToothTest, ReconnectResetsThePickFlag)
{
    VirtualLight& light = addLight("Picked");
    scan();
    auto p = connect(light);
    manager.setPickFlag(light.identifier(), 1);
    EXPECT_EQ(manager.connectDict()[0].second, 1);
    manager.setPickFlag("NOT-CONNECTED", 1);
    EXPECT_EQ(manager.connectDict().size(), 1u);

    manager.disConnectDevice(p);
    simulator.waitIdle();
    scan();
    connect(light);
    EXPECT_EQ(manager.connectDict(), (OxBlueTooth::ConnectMap{{light.identifier(), 0}}));
}

TEST_F(OxBlueToothTest, RemoveUnconnectedKeepsOnlyConnectedLights)
{
    VirtualLight& a = addLight("A");
    VirtualLight& b = addLight("B");
    VirtualLight& c = addLight("C");
    scan();
    connect(b);
    manager.removeUnconnectedFromDiscoverDict();
    EXPECT_EQ(keys(manager.discoverDict()), std::vector<std::string>{b.identifier()});
    (void)a;
    (void)c;
}

// --- writing frames -------------------------------------------------------

TEST_F(OxBlueToothTest, FrameReachesExactlyTheControlledLightsOnce)
{
    VirtualLight& a = addLight("A");
    VirtualLight& b = addLight("B");
    VirtualLight& c = addLight("C");
    scan();
    auto pa = connect(a);
    auto pb = connect(b);
    connect(c);
    control({pa, pb});

    LogCapture log;
    manager.writeDataWithData(kCctFrame);
    simulator.waitIdle();
    EXPECT_EQ(a.writes(), std::vector<Bytes>{kCctFrame});
    EXPECT_EQ(b.writes(), std::vector<Bytes>{kCctFrame});
    EXPECT_TRUE(c.writes().empty());
    EXPECT_EQ(log.count("写入成功"), 2u);
}

TEST_F(OxBlueToothTest, NothingControlledWritesNothingAndLogsConnectedLights)
{
    VirtualLight& a = addLight("A");
    scan();
    connect(a);
    LogCapture log;
    manager.writeDataWithData(kCctFrame);
    simulator.waitIdle();
    EXPECT_TRUE(a.writes().empty());
    EXPECT_TRUE(log.contains("已连接设备："));
    EXPECT_TRUE(log.contains(a.identifier()));
}

TEST_F(OxBlueToothTest, ControlledLightWithoutCharacteristicIsSkippedUntilFound)
{
    VirtualLight& a = addLight("A");
    scan();
    auto p = discovered(a);
    control({p});
    manager.writeDataWithData(kCctFrame);  // not connected, no FFF1 yet
    simulator.waitIdle();
    EXPECT_TRUE(a.writes().empty());

    connect(a);
    manager.writeDataWithData(kCctFrame);
    simulator.waitIdle();
    EXPECT_EQ(a.writes(), std::vector<Bytes>{kCctFrame});
}

// The targets of a frame are kept between frames: every change of the lights
// under control must be followed by the very next frame.
TEST_F(OxBlueToothTest, EachFrameGoesToTheLightsUnderControlAtThatMoment)
{
    VirtualLight& a = addLight("A");
    VirtualLight& b = addLight("B");
    VirtualLight& c = addLight("C");
    scan();
    auto pa = connect(a);
    auto pb = connect(b);
    auto pc = connect(c);
    const std::vector<std::pair<std::vector<std::shared_ptr<Peripheral>>, std::uint8_t>> steps{
        {{pa, pb}, 1}, {{pc}, 2}, {{}, 3}, {{pa}, 4}, {{pa}, 5}, {{pb, pc, pa}, 6}};
    for (const auto& [lights, brightness] : steps) {
        OxBlueTooth::PeripheralMap map;
        for (const auto& p : lights)
            map.emplace_back(p->identifier(), p);
        manager.setControlDict(map);
        manager.writeDataWithData(Bytes{0xAA, 0x01, brightness, 0x2F, 0x00, 0x00, 0xBB});
    }
    simulator.waitIdle();
    auto brightnesses = [](const VirtualLight& light) {
        std::vector<int> out;
        for (const Bytes& w : light.writes())
            out.push_back(w.at(2));
        return out;
    };
    EXPECT_EQ(brightnesses(a), (std::vector<int>{1, 4, 5, 6}));
    EXPECT_EQ(brightnesses(b), (std::vector<int>{1, 6}));
    EXPECT_EQ(brightnesses(c), (std::vector<int>{2, 6}));

    // A light that reconnects is found anew and keeps receiving frames.
    c.dropConnection();
    simulator.waitIdle();
    scan();
    connect(c);
    manager.writeDataWithData(Bytes{0xAA, 0x01, 7, 0x2F, 0x00, 0x00, 0xBB});
    simulator.waitIdle();
    EXPECT_EQ(brightnesses(c), (std::vector<int>{2, 6, 7}));
}

TEST_F(OxBlueToothTest, WriteErrorIsLoggedAsFailure)
{
    VirtualLight& a = addLight("A");
    scan();
    control({connect(a)});
    a.failNextWrite();
    LogCapture log;
    manager.writeDataWithData(kCctFrame);
    simulator.waitIdle();
    EXPECT_TRUE(log.contains("写入失败"));
    EXPECT_FALSE(log.contains("写入成功"));
    EXPECT_TRUE(a.writes().empty());
}

TEST_F(OxBlueToothTest, FramesToADroppedControlledLightFailVisibly)
{
    VirtualLight& a = addLight("A");
    scan();
    control({connect(a)});
    a.dropConnection();
    simulator.waitIdle();

    LogCapture log;
    manager.writeDataWithData(kCctFrame);
    simulator.waitIdle();
    EXPECT_TRUE(a.writes().empty());
    EXPECT_FALSE(log.contains("写入成功"));
}

TEST_F(OxBlueToothTest, HexTextFramesAreConvertedForEveryLight)
{
    VirtualLight& a = addLight("A");
    VirtualLight& b = addLight("B");
    scan();
    control({connect(a), connect(b)});
    LogCapture log;
    manager.writeDataWithHexStr("aa0400030000bb");
    simulator.waitIdle();
    const Bytes expected{0xAA, 0x04, 0x00, 0x03, 0x00, 0x00, 0xBB};
    EXPECT_EQ(a.writes(), std::vector<Bytes>{expected});
    EXPECT_EQ(b.writes(), std::vector<Bytes>{expected});
    EXPECT_EQ(log.count("hexData = "), 2u);

    manager.writeDataWithHexStr("");
    simulator.waitIdle();
    EXPECT_EQ(a.writes().size(), 1u);
}

TEST_F(OxBlueToothTest, RenameMessageIsWrittenWholeAndTheLightTakesTheName)
{
    VirtualLight& a = addLight("Old");
    scan();
    control({connect(a)});
    const std::string name = "客厅灯光一号";  // 18 bytes of UTF-8
    Bytes message{0xAA, 0x00};
    message.insert(message.end(), name.begin(), name.end());
    LogCapture log;
    manager.writeDataWithData(message);
    simulator.waitIdle();
    EXPECT_EQ(a.writes(), std::vector<Bytes>{message});
    EXPECT_EQ(a.name(), name);
    EXPECT_EQ(discovered(a)->name(), name);
    EXPECT_TRUE(log.contains("修改名字成功"));
}

// --- rename follow-up -----------------------------------------------------

TEST_F(OxBlueToothTest, AfterARenameEveryWriteCompletionRescansAndRefreshes)
{
    VirtualLight& a = addLight("A");
    scan();
    control({connect(a)});
    manager.setIsChangeName(true);

    manager.writeDataWithData(Bytes{0xAA, 0x00, 'N', 'e', 'w'});
    simulator.waitIdle();
    EXPECT_EQ(delegate->count("refresh"), 1);
    // The rescan hears a light that arrived since.
    VirtualLight& late = addLight("Late");
    simulator.waitIdle();
    EXPECT_TRUE(discovered(late));

    // Until the flag is cleared, every completion repeats the follow-up.
    manager.writeDataWithData(kCctFrame);
    simulator.waitIdle();
    EXPECT_EQ(delegate->count("refresh"), 2);

    manager.setIsChangeName(false);
    manager.writeDataWithData(kCctFrame);
    simulator.waitIdle();
    EXPECT_EQ(delegate->count("refresh"), 2);
}

TEST(OxBlueToothLifetime, DestroyingTheManagerDuringTheRenameWaitReturns)
{
    LightSimulator simulator;
    VirtualLightSpec spec;
    spec.name = "A";
    VirtualLight& light = simulator.addLight(spec);
    {
        OxBlueTooth manager(simulator.centralFactory());
        manager.setCharacteristicID("FFF1");
        manager.setUuidString("FFF0");
        manager.startScannWithIdentifier("FFF0");
        simulator.waitIdle();
        auto p = manager.discoverDict().at(0).second;
        manager.connectToDevice(p);
        simulator.waitIdle();
        manager.setControlDict({{p->identifier(), p}});
        manager.setIsChangeName(true);
        manager.setRenameSettleDelay(std::chrono::hours(1));
        manager.writeDataWithData(kCctFrame);
        // Leaving the scope must not wait for the hour: the destructor wakes
        // the follow-up (ctest's timeout catches a hang).
        while (light.writes().empty())
            std::this_thread::yield();
    }
    SUCCEED();
}

// --- reports ----------------------------------------------------------------

struct ReportCase {
    const char* what;
    Bytes report;
    std::optional<ReportList> modeList;
};

class ReportListTest : public OxBlueToothTest, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(ReportListTest, ReportLandsInAllAndAtMostOneModeList)
{
    VirtualLight& light = addLight("Reporter");
    scan();
    connect(light);
    const auto& param = GetParam();
    ASSERT_TRUE(light.sendReport(param.report));
    simulator.waitIdle();

    EXPECT_EQ(manager.reports(ReportList::ALL), std::vector<Bytes>{param.report}) << param.what;
    for (ReportList list : {ReportList::CCT, ReportList::HSI, ReportList::EFF, ReportList::SET, ReportList::SOS,
                            ReportList::GPM}) {
        const bool expected = param.modeList == list;
        EXPECT_EQ(manager.reports(list), expected ? std::vector<Bytes>{param.report} : std::vector<Bytes>{})
            << param.what << " list " << static_cast<int>(list);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reports, ReportListTest,
    ::testing::Values(ReportCase{"cct", {0xAA, 0x01, 0xFF, 0x32, 0, 0, 0xBB}, ReportList::CCT},
                      ReportCase{"hsi", {0xAA, 0x02, 0, 0, 0xFF, 0, 0xBB}, ReportList::HSI},
                      ReportCase{"eff", {0xAA, 0x03, 0, 0xF4, 0, 0, 0xBB}, ReportList::EFF},
                      ReportCase{"set", {0xAA, 0x04, 0, 0xF3, 0, 0, 0xBB}, ReportList::SET},
                      ReportCase{"sos", {0xAA, 0x05, 0, 0, 0, 0, 0xBB}, ReportList::SOS},
                      ReportCase{"gpm", {0xAA, 0x06, 0, 0, 0, 0, 0xBB}, ReportList::GPM},
                      ReportCase{"mode7", {0xAA, 0x07, 0, 0, 0, 0, 0xBB}, std::nullopt},
                      ReportCase{"mode0", {0xAA, 0x00, 0, 0, 0, 0, 0xBB}, std::nullopt},
                      ReportCase{"oneByte", {0xAA}, std::nullopt},
                      ReportCase{"empty", {}, std::nullopt},
                      ReportCase{"twoBytes", {0xAA, 0x02}, ReportList::HSI}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(OxBlueToothTest, CapabilityMarkersArriveWhenTheLightConnects)
{
    VirtualLightSpec spec;
    spec.name = "Limited";
    spec.capabilities.colourTemperature = false;
    spec.capabilities.unavailableEffects = {7};
    VirtualLight& light = simulator.addLight(spec);
    scan();
    connect(light);
    EXPECT_EQ(manager.reports(ReportList::CCT), (std::vector<Bytes>{{0xAA, 0x01, 0x00, 0xFF, 0x00, 0x00, 0xBB}}));
    EXPECT_EQ(manager.reports(ReportList::EFF), (std::vector<Bytes>{{0xAA, 0x03, 0x00, 0xF7, 0x00, 0x00, 0xBB}}));
}

TEST_F(OxBlueToothTest, ShieldScanPassesOnlyMarkersAboveF0InArrivalOrder)
{
    VirtualLight& light = addLight("Reporter");
    scan();
    connect(light);
    for (const Bytes& r : std::vector<Bytes>{{0xAA, 0x01, 0x00, 0xF0, 0, 0, 0xBB},
                                             {0xAA, 0x01, 0x00, 0xFF, 0, 0, 0xBB},
                                             {0xAA, 0x01, 0x00, 0x32, 0, 0, 0xBB},
                                             {0xAA, 0x01},  // too short for position 3
                                             {0xAA, 0x01, 0x00, 0xF1, 0, 0, 0xBB}})
        light.sendReport(r);
    simulator.waitIdle();

    std::vector<int> seen;
    manager.shieldModulesFromData(ReportList::CCT, 3, [&](std::uint8_t b) { seen.push_back(b); });
    EXPECT_EQ(seen, (std::vector<int>{0xFF, 0xF1}));

    seen.clear();
    manager.shieldModulesFromData(ReportList::CCT, 40, [&](std::uint8_t b) { seen.push_back(b); });
    EXPECT_TRUE(seen.empty());
}

// The log levels decide which lines are built, never what is kept or found:
// reports, frames and shield markers are the same with every level on or off.
struct LogLevelCase {
    const char* what;
    bool info;
    bool debug;
};

class LogLevelTest : public OxBlueToothTest, public ::testing::WithParamInterface<LogLevelCase> {};

TEST_P(LogLevelTest, LevelsChangeTheLinesOnly)
{
    const auto& param = GetParam();
    VirtualLight& light = addLight("Reporter");
    scan();
    auto p = connect(light);
    control({p});

    LogCapture log(param.debug);
    log::setEnabled(log::Level::Info, param.info);
    const std::vector<Bytes> reports{{0xAA, 0x01, 0xF3, 0xFF, 0, 0, 0xBB},
                                     {0xAA, 0x01, 0x10, 0x20, 0, 0, 0xBB},
                                     {0xAA, 0x01},
                                     {0xAA, 0x01, 0xF9, 0xF1, 0, 0, 0xBB}};
    for (const Bytes& r : reports)
        light.sendReport(r);
    manager.writeDataWithData(kCctFrame);
    simulator.waitIdle();
    std::vector<int> markers;
    manager.shieldModulesFromData(ReportList::CCT, 3, [&](std::uint8_t b) { markers.push_back(b); });
    log::setEnabled(log::Level::Info, true);

    EXPECT_EQ(manager.reports(ReportList::CCT), reports) << param.what;
    EXPECT_EQ(markers, (std::vector<int>{0xFF, 0xF1})) << param.what;
    EXPECT_EQ(light.writes(), std::vector<Bytes>{kCctFrame}) << param.what;
    EXPECT_EQ(log.count("特定的vale = <aa01f3ff0000bb>"), param.info ? 1u : 0u) << param.what;
    EXPECT_EQ(log.contains("已连接设备："), param.info) << param.what;
    // Per-byte lines: 23 bytes received, and the same 23 again in the scan.
    EXPECT_EQ(log.count("--byte: "), param.debug ? 46u : 0u) << param.what;
    EXPECT_EQ(log.contains("--byte: f1 "), param.debug) << param.what;
}

INSTANTIATE_TEST_SUITE_P(Levels, LogLevelTest,
                         ::testing::Values(LogLevelCase{"quiet", false, false}, LogLevelCase{"info", true, false},
                                           LogLevelCase{"debugOnly", false, true},
                                           LogLevelCase{"everything", true, true}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(OxBlueToothTest, ShieldCallbackMayCallBackIntoTheManager)
{
    VirtualLight& light = addLight("Reporter");
    scan();
    connect(light);
    light.sendReport({0xAA, 0x02, 0, 0, 0xFF, 0, 0xBB});
    simulator.waitIdle();
    int calls = 0;
    manager.shieldModulesFromData(ReportList::HSI, 4, [&](std::uint8_t) {
        ++calls;
        (void)manager.reports(ReportList::HSI);  // would deadlock with the lock held
    });
    EXPECT_EQ(calls, 1);
}

// --- threads ----------------------------------------------------------------

TEST_F(OxBlueToothTest, CentralEventsArriveOnTheCentralQueue)
{
    VirtualLight& light = addLight("Key");
    scan();
    connect(light);
    light.dropConnection();
    simulator.waitIdle();
    for (const auto& e : delegate->events())
        EXPECT_EQ(e.thread, "centralQueue") << e.name;
}

// Reports, connections and drops flow on centralQueue while the main thread
// reads every map and writes frames; run under TSan to see races.
TEST_F(OxBlueToothTest, MainThreadAndCentralQueueShareTheMapsSafely)
{
    std::vector<VirtualLight*> lights;
    for (int i = 0; i < 6; ++i)
        lights.push_back(&addLight("L" + std::to_string(i)));
    scan();
    for (auto* l : lights)
        manager.connectToDevice(discovered(*l));
    simulator.waitIdle();
    ASSERT_EQ(manager.connectDict().size(), lights.size());

    std::atomic<bool> done{false};
    std::thread radio([&] {
        for (int round = 0; round < 50; ++round) {
            for (auto* l : lights)
                l->sendReport({0xAA, static_cast<std::uint8_t>(1 + round % 6), 0, 0, 0, 0, 0xBB});
            if (round % 10 == 5)
                lights[round % lights.size()]->dropConnection();
        }
        done = true;
    });
    std::size_t reads = 0;
    // At least a few hundred rounds, and for as long as the radio is busy.
    for (int round = 0; round < 300 || !done; ++round) {
        OxBlueTooth::PeripheralMap control;
        for (const auto& [id, p] : manager.discoverDict())
            control.emplace_back(id, p);
        manager.setControlDict(control);
        manager.writeDataWithData(kCctFrame);
        reads += manager.connectDict().size() + manager.characterDict().size() + manager.reports(ReportList::ALL).size();
        manager.shieldModulesFromData(ReportList::CCT, 2, [](std::uint8_t) {});
    }
    radio.join();
    simulator.waitIdle();
    EXPECT_GT(reads, 0u);
    // Every report delivered while connected is in ALLData exactly once and in
    // exactly one mode list.
    std::size_t inModes = 0;
    for (ReportList list : {ReportList::CCT, ReportList::HSI, ReportList::EFF, ReportList::SET, ReportList::SOS,
                            ReportList::GPM})
        inModes += manager.reports(list).size();
    EXPECT_EQ(inModes, manager.reports(ReportList::ALL).size());
}

// A central whose first state report arrives before its factory has
// returned: the manager must not reach for a central it does not have yet.
TEST(OxBlueToothLifetime, StateReportDuringConstructionIsSafe)
{
    class EagerCentral final : public Central {
    public:
        CentralState state() const override { return CentralState::PoweredOn; }
        void scanForPeripherals(const std::vector<std::string>&, const ScanOptions&) override { ++scans; }
        void stopScan() override {}
        bool isScanning() const override { return scans > 0; }
        void connect(const std::shared_ptr<Peripheral>&) override {}
        void cancelPeripheralConnection(const std::shared_ptr<Peripheral>&) override {}
        std::atomic<int> scans{0};
    };
    EagerCentral* made = nullptr;
    OxBlueTooth manager([&made](CentralDelegate& delegate) {
        auto central = std::make_unique<EagerCentral>();
        made = central.get();
        std::thread queue([&delegate] { delegate.centralDidUpdateState(CentralState::PoweredOn); });
        queue.join();  // delivered while the manager is still being built
        return central;
    });
    EXPECT_EQ(manager.centralState(), CentralState::PoweredOn);
    manager.setUuidString("FFF0");
    manager.startScannWithIdentifier("FFF0");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->scans.load(), 1);
}

// --- conversions and the shared instance -----------------------------------

TEST(OxBlueToothConversions, HexTextRoundTrip)
{
    EXPECT_EQ(OxBlueTooth::convertHexStrToData("aa0400030000bb"),
              (Bytes{0xAA, 0x04, 0x00, 0x03, 0x00, 0x00, 0xBB}));
    EXPECT_EQ(OxBlueTooth::convertHexStrToData("abc"), (Bytes{0x0A, 0xBC}));
    EXPECT_EQ(OxBlueTooth::convertHexStrToData("F"), (Bytes{0x0F}));
    EXPECT_EQ(OxBlueTooth::convertHexStrToData(""), std::nullopt);
    EXPECT_EQ(OxBlueTooth::convertDataToHexStr({0xAA, 0x04, 0x0F}), "aa040f");
    EXPECT_EQ(OxBlueTooth::convertDataToHexStr({}), "");
    const Bytes all = [] {
        Bytes b;
        for (int i = 0; i < 256; ++i)
            b.push_back(static_cast<std::uint8_t>(i));
        return b;
    }();
    EXPECT_EQ(OxBlueTooth::convertHexStrToData(OxBlueTooth::convertDataToHexStr(all)), all);
}

TEST(OxBlueToothShared, OneInstanceForTheRunAndItsFactoryIsFixed)
{
    static LightSimulator* simulator = new LightSimulator();  // outlives the shared manager
    OxBlueTooth::setSharedCentralFactory(simulator->centralFactory());
    OxBlueTooth& first = OxBlueTooth::sharedInstance();
    LogCapture log;
    OxBlueTooth::setSharedCentralFactory({});  // too late: ignored
    EXPECT_EQ(&OxBlueTooth::sharedInstance(), &first);
    EXPECT_TRUE(log.contains("shared manager exists already"));
}

}  // namespace
}  // namespace lightdeck
