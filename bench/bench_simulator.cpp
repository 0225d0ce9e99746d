// The simulated central with zero delays: what a test or a screen pays for
// discovery, connection and writes through the virtual lights.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bluetooth/ox_blue_tooth.h"
#include "bluetooth/simulated/light_simulator.h"
#include "bluetooth/simulated/neighbourhood.h"
#include "common/log.h"

namespace lightdeck {
namespace {

// Keeps what the manager would keep: the peripherals and the FFF1 of each.
class KeepingDelegate : public CentralDelegate {
public:
    void centralDidUpdateState(CentralState) override {}
    void didDiscoverPeripheral(const std::shared_ptr<Peripheral>& peripheral, const AdvertisementData&, int) override
    {
        std::lock_guard lock(m_mutex);
        m_discovered.push_back(peripheral);
    }
    void didConnectPeripheral(const std::shared_ptr<Peripheral>& peripheral) override { peripheral->discoverServices(); }
    void didFailToConnectPeripheral(const std::shared_ptr<Peripheral>&, const std::optional<CentralError>&) override {}
    void didDisconnectPeripheral(const std::shared_ptr<Peripheral>&, const std::optional<CentralError>&) override {}
    void didDiscoverServices(const std::shared_ptr<Peripheral>& peripheral, const std::optional<CentralError>&) override
    {
        for (const auto& service : peripheral->services())
            peripheral->discoverCharacteristics(service);
    }
    void didDiscoverCharacteristics(const std::shared_ptr<Peripheral>& peripheral, const std::shared_ptr<Service>& service,
                                    const std::optional<CentralError>&) override
    {
        for (const auto& characteristic : service->characteristics()) {
            if (characteristic->uuid() == "FFF1") {
                std::lock_guard lock(m_mutex);
                m_writable.emplace_back(peripheral, characteristic);
            }
        }
    }
    void didUpdateValue(const std::shared_ptr<Peripheral>&, const std::shared_ptr<Characteristic>&,
                        const std::optional<CentralError>&) override
    {
    }
    void didWriteValue(const std::shared_ptr<Peripheral>&, const std::shared_ptr<Characteristic>&,
                       const std::optional<CentralError>&) override
    {
        std::lock_guard lock(m_mutex);
        ++m_writes;
    }
    void didUpdateName(const std::shared_ptr<Peripheral>&) override {}

    std::vector<std::shared_ptr<Peripheral>> discovered()
    {
        std::lock_guard lock(m_mutex);
        return m_discovered;
    }
    std::vector<std::pair<std::shared_ptr<Peripheral>, std::shared_ptr<Characteristic>>> writable()
    {
        std::lock_guard lock(m_mutex);
        return m_writable;
    }

private:
    std::mutex m_mutex;
    std::vector<std::shared_ptr<Peripheral>> m_discovered;
    std::vector<std::pair<std::shared_ptr<Peripheral>, std::shared_ptr<Characteristic>>> m_writable;
    int m_writes = 0;
};

const Bytes kFrame{0xAA, 0x01, 0x32, 0x32, 0x00, 0x00, 0xBB};

// Scan, connect one light, write 1000 frames with response, all from scratch.
void BM_DiscoverConnectAnd1000Writes(benchmark::State& state)
{
    for (auto _ : state) {
        LightSimulator simulator;
        addPlainLights(simulator, 1);
        KeepingDelegate delegate;
        auto central = simulator.centralFactory()(delegate);
        simulator.waitIdle();
        central->scanForPeripherals({"FFF0"}, {});
        simulator.waitIdle();
        central->stopScan();
        central->connect(delegate.discovered().at(0));
        simulator.waitIdle();
        const auto [peripheral, command] = delegate.writable().at(0);
        for (int i = 0; i < 1000; ++i)
            peripheral->writeValue(kFrame, command, WriteType::WithResponse);
        simulator.waitIdle();
        benchmark::DoNotOptimize(simulator.lights().front()->writes().size());
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_DiscoverConnectAnd1000Writes)->Unit(benchmark::kMillisecond);

// One write and its completion, waited for: the latency a screen test sees.
void BM_WriteRoundTrip(benchmark::State& state)
{
    LightSimulator simulator;
    addPlainLights(simulator, 1);
    KeepingDelegate delegate;
    auto central = simulator.centralFactory()(delegate);
    simulator.waitIdle();
    central->scanForPeripherals({"FFF0"}, {});
    simulator.waitIdle();
    central->connect(delegate.discovered().at(0));
    simulator.waitIdle();
    const auto [peripheral, command] = delegate.writable().at(0);
    for (auto _ : state) {
        peripheral->writeValue(kFrame, command, WriteType::WithResponse);
        simulator.waitIdle();
    }
}
BENCHMARK(BM_WriteRoundTrip)->Unit(benchmark::kMicrosecond);

// A scan over a neighbourhood of N lights.
void BM_ScanLights(benchmark::State& state)
{
    LightSimulator simulator;
    addPlainLights(simulator, static_cast<int>(state.range(0)));
    KeepingDelegate delegate;
    auto central = simulator.centralFactory()(delegate);
    simulator.waitIdle();
    for (auto _ : state) {
        central->scanForPeripherals({"FFF0"}, {});
        simulator.waitIdle();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ScanLights)->Arg(4)->Arg(64)->Unit(benchmark::kMicrosecond);

// A group of 20 lights on the realistic radio timing (7.5 ms connection
// interval, each link at its own phase), driven through the manager as a
// panel drives it: from the slider's release (writeDataWithData) to every
// light having applied the frame. Reports the first-to-last spread and the
// total, in milliseconds: median, 90th percentile and worst of the frames.
void BM_GroupSkew(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    constexpr int kLights = 20;
    LightSimulator simulator(SimulatorOptions{.seed = 1, .timing = TimingModel::realistic()});
    addPlainLights(simulator, kLights);
    OxBlueTooth manager(simulator.centralFactory());
    manager.setCharacteristicID("FFF1");
    manager.setUuidString("FFF0");
    auto waitFor = [](auto condition) {
        for (int i = 0; i < 2000 && !condition(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return condition();
    };
    if (!waitFor([&] { return manager.centralState() == CentralState::PoweredOn; })) {
        state.SkipWithError("the simulated central never powered on");
        return;
    }
    manager.startScannWithIdentifier("FFF0");
    if (!waitFor([&] { return manager.discoverDict().size() == kLights; })) {
        state.SkipWithError("not every light was discovered");
        return;
    }
    for (const auto& [id, light] : manager.discoverDict())
        manager.connectToDevice(light);
    if (!waitFor([&] { return manager.characterDict().size() == kLights; })) {
        state.SkipWithError("not every light was connected");
        return;
    }
    manager.setControlDict(manager.discoverDict());
    simulator.waitIdle();

    std::mutex mutex;
    std::map<std::string, Clock::time_point> applied;
    simulator.setChangeObserver([&](const std::string& id) {
        const auto now = Clock::now();
        std::lock_guard lock(mutex);
        applied.emplace(id, now);
    });
    std::vector<double> spreads, totals;
    double dispatchSum = 0;
    std::uint8_t brightness = 0;
    for (auto _ : state) {
        {
            std::lock_guard lock(mutex);
            applied.clear();
        }
        const Bytes frame{0xAA, 0x01, static_cast<std::uint8_t>(brightness++ % 100), 0x32, 0x00, 0x00, 0xBB};
        const auto released = Clock::now();
        manager.writeDataWithData(frame);
        dispatchSum += std::chrono::duration<double, std::micro>(Clock::now() - released).count();
        simulator.waitIdle();
        std::lock_guard lock(mutex);
        if (applied.size() != kLights) {
            state.SkipWithError("a light did not apply the frame");
            break;
        }
        auto [first, last] = std::minmax_element(applied.begin(), applied.end(),
                                                 [](const auto& a, const auto& b) { return a.second < b.second; });
        const double spread = std::chrono::duration<double, std::milli>(last->second - first->second).count();
        const double total = std::chrono::duration<double, std::milli>(last->second - released).count();
        spreads.push_back(spread);
        totals.push_back(total);
        state.SetIterationTime(total / 1000.0);
    }
    simulator.setChangeObserver(nullptr);
    const auto n = static_cast<double>(state.iterations());
    if (spreads.empty())
        return;
    // Median and 90th percentile of the frames, and the worst: on a shared
    // machine the worst frame is often one where the central's thread was
    // not scheduled for a while.
    auto quantile = [](std::vector<double> values, double q) {
        std::sort(values.begin(), values.end());
        return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
    };
    state.counters["spread_ms"] = quantile(spreads, 0.5);
    state.counters["spread_p90_ms"] = quantile(spreads, 0.9);
    state.counters["spread_worst_ms"] = quantile(spreads, 1.0);
    state.counters["total_ms"] = quantile(totals, 0.5);
    state.counters["total_p90_ms"] = quantile(totals, 0.9);
    state.counters["total_worst_ms"] = quantile(totals, 1.0);
    state.counters["lights"] = kLights;
    // The app's own part: writeDataWithData returning, all 20 writes queued
    // on their links. The rest of the spread is where each link's next
    // connection event falls.
    state.counters["dispatch_us"] = dispatchSum / n;
}
BENCHMARK(BM_GroupSkew)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lightdeck

int main(int argc, char** argv)
{
    // The manager logs each frame and each write completion: a quiet run
    // (info lines off, as in bench_manager's "log off" figures), so the
    // figures are the radio's and the dispatch's, not the log's.
    lightdeck::log::setSink([](lightdeck::log::Level, std::string_view) {});
    lightdeck::log::setEnabled(lightdeck::log::Level::Info, false);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
