// The Bluetooth manager's own cost, on a central that does nothing but
// record: what the program pays per frame, per report and per advertisement,
// apart from the radio.
//
// Log: every figure is taken twice. "log off" is the application's quiet
// setting (info lines disabled: one relaxed atomic load each); "log on" keeps
// info lines enabled into a sink that drops them, so the lines are still
// built and serialised.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bluetooth/ox_blue_tooth.h"
#include "common/log.h"
#include "counting_allocator.h"

namespace lightdeck {
namespace {

class RecordingCharacteristic final : public Characteristic {
public:
    explicit RecordingCharacteristic(std::string uuid) : m_uuid(std::move(uuid)) {}
    std::string uuid() const override { return m_uuid; }
    std::optional<Bytes> value() const override { return m_value; }
    void setValue(Bytes value) { m_value = std::move(value); }

private:
    std::string m_uuid;
    Bytes m_value;
};

class RecordingService final : public Service {
public:
    std::string uuid() const override { return "FFF0"; }
    std::vector<std::shared_ptr<Characteristic>> characteristics() const override { return m_characteristics; }
    std::vector<std::shared_ptr<Characteristic>> m_characteristics{
        std::make_shared<RecordingCharacteristic>("FFF1"), std::make_shared<RecordingCharacteristic>("FFF2")};
};

// A connected light whose writes only record: a count and the last frame.
class RecordingPeripheral final : public Peripheral {
public:
    explicit RecordingPeripheral(std::string identifier) : m_identifier(std::move(identifier)) {}
    std::string identifier() const override { return m_identifier; }
    std::string name() const override { return "Bench light"; }
    PeripheralState state() const override { return PeripheralState::Connected; }
    std::vector<std::shared_ptr<Service>> services() const override { return {m_service}; }
    void discoverServices() override {}
    void discoverCharacteristics(const std::shared_ptr<Service>&) override {}
    void writeValue(const Bytes& value, const std::shared_ptr<Characteristic>&, WriteType) override
    {
        ++writes;
        std::memcpy(last, value.data(), std::min(value.size(), sizeof last));
    }
    void setNotifyValue(bool, const std::shared_ptr<Characteristic>&) override {}

    std::shared_ptr<RecordingService> m_service = std::make_shared<RecordingService>();
    std::uint64_t writes = 0;
    std::uint8_t last[7] = {};

private:
    std::string m_identifier;
};

class RecordingCentral final : public Central {
public:
    CentralState state() const override { return CentralState::PoweredOn; }
    void scanForPeripherals(const std::vector<std::string>&, const ScanOptions&) override {}
    void stopScan() override {}
    bool isScanning() const override { return false; }
    void connect(const std::shared_ptr<Peripheral>&) override {}
    void cancelPeripheralConnection(const std::shared_ptr<Peripheral>&) override {}
};

std::string benchIdentifier(int i)
{
    char text[40];
    std::snprintf(text, sizeof text, "0D3F2C1A-5B6E-4F70-8192-%012d", i);
    return text;
}

// A manager on a recording central, driven through the central's callbacks
// as the radio would drive it (here on the benchmark's thread).
struct Rig {
    Rig()
        : manager([this](CentralDelegate& d) {
            delegate = &d;
            return std::make_unique<RecordingCentral>();
        })
    {
        manager.setCharacteristicID("FFF1");
        manager.setUuidString("FFF0");
    }

    // n connected lights with their FFF1 found, all under control.
    void controlLights(int n)
    {
        OxBlueTooth::PeripheralMap control;
        for (int i = 0; i < n; ++i) {
            auto light = std::make_shared<RecordingPeripheral>(benchIdentifier(i));
            delegate->didConnectPeripheral(light);
            delegate->didDiscoverCharacteristics(light, light->m_service, std::nullopt);
            control.emplace_back(light->identifier(), light);
            lights.push_back(light);
        }
        manager.setControlDict(std::move(control));
    }

    CentralDelegate* delegate = nullptr;
    OxBlueTooth manager;
    std::vector<std::shared_ptr<RecordingPeripheral>> lights;
};

void setInfoLog(bool on) { log::setEnabled(log::Level::Info, on); }

const Bytes kFrame{0xAA, 0x01, 0x32, 0x32, 0x00, 0x00, 0xBB};

// writeDataWithData to a group of N lights: app-side cost of one frame.
void dispatch(benchmark::State& state, bool logOn)
{
    setInfoLog(logOn);
    Rig rig;
    rig.controlLights(static_cast<int>(state.range(0)));
    for (auto _ : state)
        rig.manager.writeDataWithData(kFrame);
    if (rig.lights.front()->writes != static_cast<std::uint64_t>(state.iterations()))
        state.SkipWithError("a light missed a frame");
    state.SetItemsProcessed(state.iterations() * state.range(0));
    setInfoLog(false);
}
void BM_Dispatch(benchmark::State& state) { dispatch(state, false); }
void BM_DispatchLogOn(benchmark::State& state) { dispatch(state, true); }
BENCHMARK(BM_Dispatch)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DispatchLogOn)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

// A status report of mode 1..6, as lights send them.
Bytes statusReport(std::size_t i)
{
    return Bytes{0xAA, static_cast<std::uint8_t>(1 + i % 6), static_cast<std::uint8_t>(i % 100), 0x32, 0x10, 0x00,
                 0xBB};
}

// Value updates of FFF2 through the manager, values set in advance on 64
// characteristics taken in turn. Memory per stored report is the growth of
// the live heap over one million reports (counting allocator), taken in a
// fresh manager; the transient copy of each value is freed by then. The
// store's own count (by capacity) is given beside it.
void ingestBatch(benchmark::State& state, bool logOn)
{
    setInfoLog(logOn);
    auto light = std::make_shared<RecordingPeripheral>(benchIdentifier(0));
    std::vector<std::shared_ptr<RecordingCharacteristic>> reports;
    for (std::size_t i = 0; i < 64; ++i) {
        reports.push_back(std::make_shared<RecordingCharacteristic>("FFF2"));
        reports.back()->setValue(statusReport(i));
    }
    double bytesPerReport = 0;
    double storeBytesPerReport = 0;
    {
        constexpr std::size_t kReports = 1'000'000;
        Rig rig;
        const std::size_t empty = bench::liveHeapBytes();
        for (std::size_t i = 0; i < kReports; ++i)
            rig.delegate->didUpdateValue(light, reports[i % reports.size()], std::nullopt);
        bytesPerReport = static_cast<double>(bench::liveHeapBytes() - empty) / kReports;
        storeBytesPerReport = static_cast<double>(rig.manager.reportMemoryBytes()) / kReports;
    }
    Rig rig;
    std::size_t i = 0;
    for (auto _ : state)
        rig.delegate->didUpdateValue(light, reports[i++ % reports.size()], std::nullopt);
    state.SetItemsProcessed(state.iterations());
    state.counters["heap_bytes_per_report"] = bytesPerReport;
    state.counters["store_bytes_per_report"] = storeBytesPerReport;
    setInfoLog(false);
}
void BM_IngestReports(benchmark::State& state) { ingestBatch(state, false); }
void BM_IngestReportsLogOn(benchmark::State& state) { ingestBatch(state, true); }
BENCHMARK(BM_IngestReports)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_IngestReportsLogOn)->Unit(benchmark::kNanosecond);

// The layout the store replaced, for comparison: ALL and the mode lists as
// vectors of whole reports, each report copied into two of them.
void BM_PlainListsMemory(benchmark::State& state)
{
    constexpr std::size_t kReports = 1'000'000;
    double bytesPerReport = 0;
    for (auto _ : state) {
        const std::size_t before = bench::liveHeapBytes();
        {
            std::vector<Bytes> lists[7];
            for (std::size_t i = 0; i < kReports; ++i) {
                Bytes r = statusReport(i);
                lists[0].push_back(r);
                lists[r[1]].push_back(std::move(r));
            }
            bytesPerReport = static_cast<double>(bench::liveHeapBytes() - before) / kReports;
        }
    }
    state.counters["heap_bytes_per_report"] = bytesPerReport;
}
BENCHMARK(BM_PlainListsMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// One panel's shield scan (one list, one position) with N stored reports,
// spread over the six modes, one in a thousand carrying a marker.
void BM_ShieldScan(benchmark::State& state)
{
    setInfoLog(false);
    Rig rig;
    auto light = std::make_shared<RecordingPeripheral>(benchIdentifier(0));
    auto report = std::make_shared<RecordingCharacteristic>("FFF2");
    const auto n = static_cast<std::size_t>(state.range(0));
    for (std::size_t i = 0; i < n; ++i) {
        Bytes r = statusReport(i);
        if (i % 1000 == 0)
            r[3] = 0xFF;
        report->setValue(std::move(r));
        rig.delegate->didUpdateValue(light, report, std::nullopt);
    }
    std::size_t markers = 0;
    for (auto _ : state)
        rig.manager.shieldModulesFromData(ReportList::CCT, 3, [&](std::uint8_t) { ++markers; });
    benchmark::DoNotOptimize(markers);
    state.counters["reports"] = static_cast<double>(n);
}
BENCHMARK(BM_ShieldScan)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

// Advertisements through the manager's filter and discoverDict: 500 lights
// heard over and over (a later discovery replaces the entry), one in four
// advertisements from a foreign maker (rejected by the filter).
void discovery(benchmark::State& state, bool logOn)
{
    setInfoLog(logOn);
    Rig rig;
    constexpr int kLights = 500;
    std::vector<std::shared_ptr<Peripheral>> lights;
    for (int i = 0; i < kLights; ++i)
        lights.push_back(std::make_shared<RecordingPeripheral>(benchIdentifier(i)));
    AdvertisementData ours;
    ours.manufacturerData = Bytes{0x4C, 0x4D, 0x01, 0x02};
    ours.serviceUuids = {"FFF0"};
    AdvertisementData foreign = ours;
    foreign.manufacturerData = Bytes{0x4C, 0x00, 0x02, 0x15};
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& light = lights[i % kLights];
        rig.delegate->didDiscoverPeripheral(light, i % 4 == 3 ? foreign : ours, -60);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
    setInfoLog(false);
}
void BM_DiscoveryFilter(benchmark::State& state) { discovery(state, false); }
void BM_DiscoveryFilterLogOn(benchmark::State& state) { discovery(state, true); }
BENCHMARK(BM_DiscoveryFilter)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_DiscoveryFilterLogOn)->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace lightdeck

int main(int argc, char** argv)
{
    // Lines are dropped; whether they are built is up to each benchmark.
    lightdeck::log::setSink([](lightdeck::log::Level, std::string_view) {});
    lightdeck::log::setEnabled(lightdeck::log::Level::Info, false);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
