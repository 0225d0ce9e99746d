// The simulated central as the manager uses it: advertisements, the GATT
// sequence, writes and reports, injected faults, power, threads, lifetime, and
// what the seed and the timing model make deterministic.

#include <gtest/gtest.h>

#include <set>

#include "bluetooth/simulated/light_simulator.h"
#include "support/recording_central_delegate.h"

namespace lightdeck::testing {
namespace {

using Kind = CentralEvent::Kind;
using Code = SimulatedErrorCode;
using Kinds = std::vector<Kind>;
using Codes = std::vector<int>;

Bytes frame(std::uint8_t command, std::uint8_t b2 = 0, std::uint8_t b3 = 0)
{
    return {0xAA, command, b2, b3, 0, 0, 0xBB};
}

int code(Code c) { return static_cast<int>(c); }

struct Link {
    std::shared_ptr<Peripheral> peripheral;
    std::shared_ptr<Characteristic> command, report;  // FFF1, FFF2
};

// A simulator and a central on it, with the manager's steps as helpers. Every
// callback must come on centralQueue, one at a time.
struct Rig {
    explicit Rig(SimulatorOptions options = {}) : sim(options) {}
    ~Rig()
    {
        central.reset();
        EXPECT_EQ(rec.violations(), 0) << "a callback off centralQueue, or inside another";
    }
    void start()
    {
        central = sim.centralFactory()(rec);
        sim.waitIdle();  // powered on
    }
    std::shared_ptr<Peripheral> discover(const VirtualLight& light)
    {
        central->scanForPeripherals({"FFF0"}, {});
        sim.waitIdle();
        central->stopScan();
        return rec.discovered(light.identifier());
    }
    Link equip(const std::shared_ptr<Peripheral>& peripheral)
    {
        peripheral->discoverServices();
        sim.waitIdle();
        for (const auto& service : peripheral->services())
            peripheral->discoverCharacteristics(service);
        sim.waitIdle();
        Link link{peripheral, nullptr, nullptr};
        for (const auto& service : peripheral->services())
            for (const auto& c : service->characteristics())
                (c->uuid() == "FFF1" ? link.command : link.report) = c;
        EXPECT_TRUE(link.command && link.report);
        return link;
    }
    Link connect(const VirtualLight& light)
    {
        const auto peripheral = discover(light);
        central->connect(peripheral);
        sim.waitIdle();
        return equip(peripheral);
    }
    void write(const Link& link, const Bytes& value, WriteType type = WriteType::WithResponse)
    {
        link.peripheral->writeValue(value, link.command, type);
        sim.waitIdle();
    }
    // Error codes of the callbacks of that kind, 0 for none.
    Codes errors(Kind kind) const
    {
        Codes codes;
        for (const auto& e : rec.events(is(kind)))
            codes.push_back(e.error ? e.error->code : 0);
        return codes;
    }

    LightSimulator sim;
    RecordingDelegate rec;
    std::unique_ptr<Central> central;
};

class SimulatedCentralTest : public ::testing::Test, protected Rig {};

TEST_F(SimulatedCentralTest, ScanHearsLightsWithTheFilteredServiceAndTheirAdvertisementAsIsOncePerScan)
{
    VirtualLight& a = sim.addLight({.name = "A", .manufacturerData = Bytes{0x4C, 0x4D, 0x01}});
    for (const auto& data : std::vector<std::optional<Bytes>>{Bytes{0x59, 0x00}, Bytes{0x4C}, Bytes{}, std::nullopt})
        sim.addLight({.name = "L" + std::to_string(sim.lightCount()), .manufacturerData = data});
    VirtualLight& hidden = sim.addLight({.name = "No FFF0", .advertisesService = false});
    start();
    const std::size_t all = sim.lightCount();
    const std::vector<std::pair<std::vector<std::string>, std::size_t>> filters = {
        {{"180D"}, 0}, {{}, all}, {{"fff0"}, all - 1}, {{"0000fff0-0000-1000-8000-00805f9b34fb"}, all - 1},
        {{"180D", "FFF0"}, all - 1}, {{"FFF0"}, all - 1},  // the last one keeps running
    };
    for (const auto& [filter, expected] : filters) {
        rec.clear();
        central->scanForPeripherals(filter, {});
        sim.waitIdle();
        const auto found = rec.events(is(Kind::Discover));
        EXPECT_EQ(found.size(), expected) << (filter.empty() ? "no filter" : filter.back());
        for (const auto& e : found) {
            const VirtualLight* light = sim.light(e.id);
            EXPECT_EQ(e.advertisement.manufacturerData, light->manufacturerData()) << light->name();
            EXPECT_EQ(e.advertisement.localName + e.name, light->name() + light->name());
            EXPECT_EQ(e.advertisement.serviceUuids.size(), light == &hidden ? 0u : 1u);
            EXPECT_EQ(e.rssi, sim.options().rssi);
        }
    }
    // While scanning: a changed advertisement comes again on the same
    // peripheral, an unchanged one does not, a new light is heard; then none.
    const auto first = rec.discovered(a.identifier());
    rec.clear();
    a.setName("A");
    a.setManufacturerData(Bytes{0x4C, 0x4D, 0x09});
    VirtualLight& late = sim.addLight({.name = "Late"});
    sim.waitIdle();
    const auto found = rec.events(is(Kind::Discover));
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].peripheral, first);
    EXPECT_EQ(found[0].advertisement.manufacturerData, (Bytes{0x4C, 0x4D, 0x09}));
    EXPECT_EQ(found[1].id, late.identifier());
    central->stopScan();
    a.setName("A2");
    sim.waitIdle();
    EXPECT_EQ(rec.count(is(Kind::Discover)), 2u);
}

TEST_F(SimulatedCentralTest, ConnectDiscoverWriteAndNotifyInTheManagersOrderAndWritesReportTheirErrors)
{
    CapabilityProfile noKelvin;
    noKelvin.colourTemperature = false;  // one marker report when subscribing
    VirtualLight& light = sim.addLight({.name = "Key", .capabilities = noKelvin});
    start();
    const auto peripheral = discover(light);
    rec.clear();
    central->connect(peripheral);
    // Connecting at once; the queue may already have finished the link.
    EXPECT_NE(peripheral->state(), PeripheralState::Disconnected);
    sim.waitIdle();
    EXPECT_EQ(peripheral->state(), PeripheralState::Connected);
    EXPECT_TRUE(peripheral->services().empty());  // until discovered
    const Link link = equip(peripheral);
    const auto service = peripheral->services().at(0);
    EXPECT_EQ(service->uuid(), "FFF0");
    EXPECT_EQ(service->characteristics(), (std::vector{link.command, link.report}));
    link.peripheral->setNotifyValue(true, link.report);
    link.peripheral->setNotifyValue(true, link.report);  // already on: no second marker
    link.peripheral->setNotifyValue(true, link.command);  // FFF1 does not notify
    write(link, frame(0x01, 0x50, 0x28));
    EXPECT_TRUE(light.sendReport(frame(0x05, 1, 2)));
    sim.waitIdle();
    Kinds kinds;
    std::ranges::transform(rec.events(), std::back_inserter(kinds), &CentralEvent::kind);
    EXPECT_EQ(kinds, (Kinds{Kind::Connect, Kind::Services, Kind::Characteristics, Kind::Value, Kind::Write,
                                  Kind::Value}));
    EXPECT_EQ(rec.events(is(Kind::Write))[0].characteristic, link.command);
    EXPECT_EQ(rec.events(is(Kind::Value))[0].characteristic, link.report);
    EXPECT_EQ(rec.events(is(Kind::Value))[0].value, frame(0x01, 0, 0xFF));  // each read in its own callback
    EXPECT_EQ(rec.events(is(Kind::Value))[1].value, frame(0x05, 1, 2));
    EXPECT_EQ(light.output().brightness, 0x50);

    // FFF2, another light's FFF1, none: refused. Injected failures: reported
    // with response, silent without; neither applied. Odd values are kept.
    VirtualLight& other = sim.addLight({.name = "Other"});
    const Link otherLink = connect(other);
    light.failNextWrite(2);
    rec.clear();
    for (const auto& refused : {link.report, otherLink.command, std::shared_ptr<Characteristic>()})
        link.peripheral->writeValue(frame(0x06), refused, WriteType::WithResponse);
    write(link, frame(0x06));
    write(link, frame(0x06), WriteType::WithoutResponse);
    write(link, frame(0x01, 10, 40));
    write(link, Bytes{0x01, 0x02}, WriteType::WithoutResponse);
    EXPECT_EQ(errors(Kind::Write), (Codes{code(Code::WriteNotPermitted), code(Code::InvalidAttribute),
                                          code(Code::InvalidAttribute), code(Code::WriteFailed), 0}));
    EXPECT_EQ(light.writes(), (std::vector<Bytes>{frame(0x01, 0x50, 0x28), frame(0x01, 10, 40), Bytes{0x01, 0x02}}));
    EXPECT_EQ(light.output().brightness, 10);
    EXPECT_TRUE(other.writes().empty());
    central->cancelPeripheralConnection(peripheral);
    write(link, frame(0x06));
    EXPECT_EQ(errors(Kind::Write).back(), code(Code::NotConnected));
}

TEST(SimulatedCentralSeed, RandomConnectionFailuresFollowTheSeed)
{
    auto outcomes = [](double probability) {
        Rig rig(SimulatorOptions{.seed = 7, .connectFailureProbability = probability});
        const VirtualLight& light = rig.sim.addLight({.name = "Key"});
        rig.start();
        const auto peripheral = rig.discover(light);
        std::string pattern;
        for (int i = 0; i < 24; ++i) {
            rig.central->connect(peripheral);
            rig.sim.waitIdle();
            pattern += light.isConnected() ? 'C' : 'F';
            rig.central->cancelPeripheralConnection(peripheral);
            rig.sim.waitIdle();
        }
        return pattern;
    };
    EXPECT_EQ(outcomes(1.0) + outcomes(0.0), std::string(24, 'F') + std::string(24, 'C'));
    const std::string half = outcomes(0.5);
    EXPECT_EQ(outcomes(0.5), half);
    EXPECT_TRUE(half.find('C') != std::string::npos && half.find('F') != std::string::npos) << half;
}

TEST(SimulatedCentralSeed, SameSeedGivesSameIdentifiersAndDiscoveryOrder)
{
    auto run = [](std::uint32_t seed) {
        Rig rig(SimulatorOptions{.seed = seed, .timing = TimingModel::realistic()});
        std::vector<std::string> ids, order;
        for (int i = 0; i < 8; ++i)
            ids.push_back(rig.sim.addLight({.name = "L" + std::to_string(i)}).identifier());
        rig.start();
        rig.discover(*rig.sim.lights().at(0));
        for (const auto& e : rig.rec.events(is(Kind::Discover)))
            order.push_back(e.id);
        return std::make_pair(ids, order);
    };
    const auto [ids, order] = run(11);
    EXPECT_EQ(run(11), std::make_pair(ids, order));
    EXPECT_EQ(std::set(order.begin(), order.end()), std::set(ids.begin(), ids.end()));
    EXPECT_EQ(std::set(ids.begin(), ids.end()).size(), ids.size());
    EXPECT_NE(order, ids) << "the advertising delays are random";
    LightSimulator sim;  // given identifiers are upper-cased
    EXPECT_EQ(sim.addLight({.identifier = "0d3f2c1a-5b6e-4f70-8192-a3b4c5d6e79e"}).identifier(),
              "0D3F2C1A-5B6E-4F70-8192-A3B4C5D6E79E");
}

}  // namespace
}  // namespace lightdeck::testing
