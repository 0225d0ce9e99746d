// The simulated central with zero delays: what a test or a screen pays for
// discovery, connection and writes through the virtual lights.

#include <benchmark/benchmark.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bluetooth/simulated/light_simulator.h"
#include "bluetooth/simulated/neighbourhood.h"

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

}  // namespace
}  // namespace lightdeck

BENCHMARK_MAIN();
