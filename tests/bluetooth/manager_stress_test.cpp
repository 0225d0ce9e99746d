// The manager under load from both of its threads at once. A scripted central
// delivers a fixed run of events (discoveries, connections, failed
// connections, disconnections, reports, name and state updates) from its own
// "centralQueue" thread and answers the main thread's requests (connect,
// cancel, write) in between, while the main thread reads every map, runs the
// shield scan on every list, replaces the lights under control, writes
// frames, connects and disconnects lights and, in the second case, toggles
// the rename follow-up. Run under ThreadSanitizer (scripts/tsan) this is
// where a data race or a lock-order problem shows; in every build the end
// state must match what the central did: no report lost, duplicated or
// misfiled, every write completed once, the rename follow-up run once per
// write completed during a rename, and the maps agreeing with the connections.
//
// The two sides hold each other back so that neither runs away from the
// other: every main round ends by waiting until the central has answered all
// it asked (the central answers while it waits, wherever it waits), and every
// checkpoint of the script (one per kEventsPerCheckpoint events) waits for a
// main round finished since the previous checkpoint. Every wait gives up
// after kPatience and fails the test with the reason instead of hanging.
//
// Only the manager's public API is used, so the test holds whatever the
// manager keeps its reports in.

#include "bluetooth/ox_blue_tooth.h"
#include "bluetooth/simulated/simulated_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <ranges>
#include <thread>
#include <utility>

namespace lightdeck {
namespace {

constexpr auto kPatience = std::chrono::seconds(120);
constexpr int kEventsPerCheckpoint = 200;
constexpr ReportList kLists[]{ReportList::ALL, ReportList::CCT, ReportList::HSI, ReportList::EFF,
                              ReportList::SET, ReportList::SOS, ReportList::GPM};
const Bytes kFrame{0xAA, 0x01, 0x32, 0x2F, 0x00, 0x00, 0xBB};

enum RequestKind { Connect, Cancel, Write };

struct Request {
    RequestKind kind;
    std::shared_ptr<Peripheral> light;
    Bytes value = {};
    std::shared_ptr<Characteristic> characteristic = nullptr;
};

// What passes between the two threads, under one lock.
struct Channel {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Request> requests;
    std::size_t asked = 0, answered = 0, rounds = 0, writesAsked = 0;  // the main thread alone writes writesAsked
    bool stop = false;
    std::atomic<bool> scriptDone{false};
    std::atomic<const char*> failure{""};  // why a side gave up waiting

    void set(const std::function<void()>& change)
    {
        std::lock_guard lock(mutex);
        change();
        wake.notify_all();
    }
    void push(Request request)
    {
        writesAsked += request.kind == Write;
        set([&] { ++asked; requests.push_back(std::move(request)); });
    }
    // Waits until `done` (looked at under the lock). The queue passes `serve`,
    // which answers the requests that come meanwhile, before `done` is asked.
    bool await(const std::function<bool()>& done, const char* what, const std::function<void()>& serve = nullptr)
    {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        std::unique_lock lock(mutex);
        while (!stop) {
            if (serve && !requests.empty()) {
                lock.unlock();
                serve();
                lock.lock();
            } else if (done()) {
                return true;
            } else if (wake.wait_until(lock, deadline) == std::cv_status::timeout && !done()) {
                failure = what;
                return false;
            }
        }
        return false;
    }
};

struct StressPeripheral final : Peripheral, std::enable_shared_from_this<StressPeripheral> {
    StressPeripheral(Channel& c, std::string id) : m_channel(c), m_id(std::move(id)) { service->setDiscovered(true); }
    std::string identifier() const override { return m_id; }
    std::string name() const override { return "Stress"; }
    PeripheralState state() const override { return linkState; }
    std::vector<std::shared_ptr<Service>> services() const override { return {service}; }
    void discoverServices() override {}
    void discoverCharacteristics(const std::shared_ptr<Service>&) override {}
    void setNotifyValue(bool, const std::shared_ptr<Characteristic>&) override {}
    void writeValue(const Bytes& value, const std::shared_ptr<Characteristic>& characteristic, WriteType type) override
    {
        if (type == WriteType::WithResponse)
            m_channel.push({Write, shared_from_this(), value, characteristic});
    }

    std::atomic<PeripheralState> linkState{PeripheralState::Disconnected};
    const std::shared_ptr<SimulatedCharacteristic> command = std::make_shared<SimulatedCharacteristic>("FFF1");
    const std::shared_ptr<SimulatedCharacteristic> report = std::make_shared<SimulatedCharacteristic>("FFF2");
    const std::shared_ptr<SimulatedService> service =
        std::make_shared<SimulatedService>("FFF0", std::vector{command, report});
    Channel& m_channel;
    const std::string m_id;
};

struct StressCentral final : Central {
    StressCentral(CentralDelegate& delegate, int eventCount) : m_delegate(delegate), m_eventCount(eventCount)
    {
        for (int i = 0; i < 8; ++i)
            m_lights.push_back(std::make_shared<StressPeripheral>(channel, "5A5A5A5A-" + std::to_string(i)));
    }
    ~StressCentral() override
    {
        channel.set([&] { channel.stop = true; });
        m_thread.join();
    }
    // Once the manager holds this central (it publishes it after the factory returns).
    void start() { m_thread = std::thread([this] { run(); }); }

    CentralState state() const override { return CentralState::PoweredOn; }
    void scanForPeripherals(const std::vector<std::string>&, const ScanOptions&) override {}
    void stopScan() override {}
    bool isScanning() const override { return false; }
    void connect(const std::shared_ptr<Peripheral>& p) override { channel.push({Connect, p}); }
    void cancelPeripheralConnection(const std::shared_ptr<Peripheral>& p) override { channel.push({Cancel, p}); }

    Channel channel;
    // What the central did, kept on its queue: read by the main thread once the
    // script is done and its last round answered.
    std::vector<Bytes> reports;                                           // in order of delivery
    std::vector<std::string> connectOrder;                                // connectDict's order
    std::map<std::string, std::shared_ptr<Characteristic>> everConnected; // with its FFF1
    std::size_t disconnections = 0, writesCompleted = 0, writesWithWrongValue = 0;

    // The queue's side.
    // Connects the way a stack does (connected, then the manager asks for
    // services and characteristics and gets them), or disconnects.
    void link(const std::shared_ptr<StressPeripheral>& light, bool up, bool asked = false)
    {
        const auto state = up ? PeripheralState::Connected : PeripheralState::Disconnected;
        if (light->linkState.exchange(state) == state)
            return;
        std::erase(connectOrder, light->identifier());
        if (up) {
            m_delegate.didConnectPeripheral(light);
            m_delegate.didDiscoverServices(light, std::nullopt);
            m_delegate.didDiscoverCharacteristics(light, light->service, std::nullopt);
            connectOrder.push_back(light->identifier());
            everConnected[light->identifier()] = light->command;
        } else {
            m_delegate.didDisconnectPeripheral(light, asked ? std::nullopt : std::optional(CentralError{19, "lost"}));
            ++disconnections;
        }
    }

    void answerRequests()
    {
        std::deque<Request> pending;
        channel.set([&] { pending.swap(channel.requests); });
        for (const Request& r : pending) {
            const auto light = std::dynamic_pointer_cast<StressPeripheral>(r.light);
            if (r.kind != Write) {
                link(light, r.kind == Connect, true);
            } else {
                ++writesCompleted;
                writesWithWrongValue += r.value != kFrame || r.characteristic != light->command;
                m_delegate.didWriteValue(light, r.characteristic, std::nullopt);
            }
        }
        channel.set([&] { channel.answered += pending.size(); });
    }

    void scripted(std::mt19937& random)
    {
        const auto& light = m_lights[random() % m_lights.size()];
        const unsigned kind = random() % 100;
        if (kind < 30) {
            const auto data = kind < 24 ? Bytes{0x4C, 0x4D, 0x01} : Bytes{0x4C, 0x4C};  // accepted, refused
            m_delegate.didDiscoverPeripheral(light, AdvertisementData{data, {"FFF0"}, ""}, -60);
        } else if (kind < 40) {
            link(light, true);
        } else if (kind < 43) {
            m_delegate.didFailToConnectPeripheral(light, CentralError{8, "timeout"});
        } else if (kind < 50) {
            link(light, false);
        } else if (kind < 93) {
            // Reports of every length up to 12, every mode byte 0..7, with
            // marker bytes (above F0) here and there.
            Bytes value(random() % 13);
            for (std::size_t i = 0; i < value.size(); ++i)
                value[i] = static_cast<std::uint8_t>(i == 1 ? random() % 8 : 0xE8 + random() % 24);
            light->report->setValue(value);
            m_delegate.didUpdateValue(light, light->report, std::nullopt);
            reports.push_back(std::move(value));
        } else if (kind < 97) {
            m_delegate.didUpdateName(light);
        } else {
            m_delegate.centralDidUpdateState(CentralState::PoweredOn);
        }
    }

    void run()
    {
        pthread_setname_np(pthread_self(), "centralQueue");
        const auto serve = [this] { answerRequests(); };
        // A main round finished since the last checkpoint (looked at under the lock).
        std::size_t roundsSeen = 0;
        const auto freshRound = [&] { return std::exchange(roundsSeen, channel.rounds) < channel.rounds; };
        m_delegate.centralDidUpdateState(CentralState::PoweredOn);
        std::mt19937 random(20261206);
        for (int i = 0; i < m_eventCount; ++i) {
            if (i % kEventsPerCheckpoint == 0 && !channel.await(freshRound, "no main round came in time", serve))
                break;
            scripted(random);
            answerRequests();
        }
        channel.scriptDone = true;
        channel.await([] { return false; }, "the test ran on too long after the script", serve);  // until stopped
    }

    CentralDelegate& m_delegate;
    const int m_eventCount;
    std::vector<std::shared_ptr<StressPeripheral>> m_lights;
    std::thread m_thread;
};

// Like the scan screen, reads the maps from inside the manager's events;
// counts the refreshes.
struct StressDelegate final : OxBlueToothDelegate {
    explicit StressDelegate(OxBlueTooth& watched) : manager(watched) {}
    void refreshDeviceList() override { ++refreshes; (void)manager.connectDict(); }
    void didDiscoverPeripheral(const std::shared_ptr<Peripheral>&) override { (void)manager.discoverDict(); }

    OxBlueTooth& manager;
    std::atomic<std::size_t> refreshes{0};
};

std::vector<std::string> keys(const auto& map)
{
    const auto ids = std::views::keys(map);
    return {ids.begin(), ids.end()};
}

// renameEvery: main rounds between toggles of the rename follow-up (0: never).
struct StressCase { const char* name; int events; int renameEvery; };

class BothThreads : public ::testing::TestWithParam<StressCase> {};

TEST_P(BothThreads, AtFullSpeedLoseNothing)
{
    const StressCase param = GetParam();
    StressCentral* central = nullptr;
    OxBlueTooth manager([&](CentralDelegate& delegate) {
        auto made = std::make_unique<StressCentral>(delegate, param.events);
        central = made.get();
        return made;
    });
    auto delegate = std::make_shared<StressDelegate>(manager);
    manager.setDelegate(delegate);
    manager.setUuidString("FFF0");
    manager.setCharacteristicID("FFF1");
    manager.setRenameSettleDelay(std::chrono::milliseconds(0));
    central->start();

    Channel& channel = central->channel;
    std::size_t rounds = 0, lastAll = 0, writesWhileRenaming = 0;
    bool renaming = false;
    while (!channel.scriptDone) {
        ++rounds;
        // Toggled first: every write of the round completes before the next
        // toggle, since the round waits for its answers.
        if (param.renameEvery && rounds % param.renameEvery == 0)
            manager.setIsChangeName(renaming = !renaming);
        const auto discovered = manager.discoverDict();
        const auto connected = manager.connectDict();
        (void)manager.characterDict();

        // Reports only ever grow, and the scan hands back markers only.
        const std::size_t all = manager.reports(ReportList::ALL).size();
        ASSERT_GE(all, std::exchange(lastAll, all));
        for (ReportList list : kLists)
            manager.shieldModulesFromData(list, rounds % 12, [](std::uint8_t b) { ASSERT_GT(b, 0xF0); });

        // The panels' way: control every connected light, write a frame.
        OxBlueTooth::PeripheralMap control = discovered;
        std::erase_if(control, [&](const auto& e) { return std::ranges::count(keys(connected), e.first) == 0; });
        for (const auto& [id, flag] : connected)
            manager.setPickFlag(id, static_cast<int>(rounds % 2));
        manager.setControlDict(control);
        const std::size_t writesBefore = channel.writesAsked;
        manager.writeDataWithData(kFrame);
        writesWhileRenaming += renaming ? channel.writesAsked - writesBefore : 0;

        if (rounds % 7 == 0 && !control.empty())
            manager.disConnectDevice(control[rounds % control.size()].second);
        if (rounds % 5 == 0 && !discovered.empty())
            manager.connectToDevice(discovered[rounds % discovered.size()].second);
        if (rounds % 11 == 0)
            manager.removeUnconnectedFromDiscoverDict();
        // The end of the round: wait until the central has answered it all.
        channel.set([&] { ++channel.rounds; });
        const auto answered = [&] { return channel.answered == channel.asked; };
        ASSERT_TRUE(channel.await(answered, "the central did not answer a round in time")) << channel.failure.load();
    }
    ASSERT_STREQ(channel.failure.load(), "");

    // Enough of both sides ran at once for the test to mean something.
    EXPECT_GE(rounds, static_cast<std::size_t>(param.events / kEventsPerCheckpoint));
    EXPECT_GT(central->writesCompleted, 0u);
    EXPECT_EQ(writesWhileRenaming > 0, param.renameEvery > 0);

    // No report lost, duplicated, reordered or misfiled (a report too short
    // for its mode byte is in ALL only).
    for (ReportList list : kLists) {
        auto expected = central->reports;
        if (list != ReportList::ALL)
            std::erase_if(expected, [&](const Bytes& r) { return r.size() < 2 || r[1] != static_cast<int>(list); });
        EXPECT_EQ(manager.reports(list), expected) << static_cast<int>(list);
    }
    // Every write the manager made was completed once, with the frame, on
    // the command characteristic; each one completed during a rename (and no
    // other) refreshed the list, as did every disconnection.
    EXPECT_EQ(central->writesCompleted, channel.writesAsked);
    EXPECT_EQ(central->writesWithWrongValue, 0u);
    EXPECT_EQ(delegate->refreshes.load(), central->disconnections + writesWhileRenaming);

    // The maps agree with the connections the central made.
    EXPECT_EQ(keys(manager.connectDict()), central->connectOrder);
    manager.removeUnconnectedFromDiscoverDict();
    EXPECT_THAT(keys(manager.discoverDict()), ::testing::UnorderedElementsAreArray(central->connectOrder));
    const auto characteristics = manager.characterDict();
    EXPECT_EQ(std::map(characteristics.begin(), characteristics.end()), central->everConnected);
}

INSTANTIATE_TEST_SUITE_P(ManagerStress, BothThreads,
                         ::testing::Values(StressCase{"Events20000", 20000, 0},
                                           StressCase{"Events5000WithRenames", 5000, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lightdeck
