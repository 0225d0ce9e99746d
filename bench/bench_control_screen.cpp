// Time to build the control screen as the scan screen opens it: construct,
// load (all six panels, the shield scans of the stored reports) and lay out.
// Runs on the offscreen platform with no light under control.
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <string>

#include "bluetooth/ox_blue_tooth.h"
#include "common/log.h"
#include "bluetooth/simulated/light_simulator.h"
#include "panels/setting_controller.h"
#include "panels/view_cct.h"
#include "panels/view_hsi.h"
#include "ui/images.h"
#include "ui/application_window.h"

namespace {

using lightdeck::SettingController;

// The manager's side of its central, to hand it reports as the radio would.
lightdeck::CentralDelegate* g_central = nullptr;

class ReportCharacteristic final : public lightdeck::Characteristic {
public:
    std::string uuid() const override { return "FFF2"; }
    std::optional<lightdeck::Bytes> value() const override { return m_value; }
    lightdeck::Bytes m_value;
};

void buildScreen(benchmark::State& state, qint64 index)
{
    for (auto _ : state) {
        auto* screen = new SettingController;
        screen->setIndex(index);
        screen->loadViewIfNeeded();
        screen->resize(lightdeck::mainScreenSize());
        screen->ensurePolished();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        benchmark::DoNotOptimize(screen->currentPage());
        state.PauseTiming();
        delete screen;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}

void BM_BuildControlScreen(benchmark::State& state) { buildScreen(state, 0); }
BENCHMARK(BM_BuildControlScreen)->Unit(benchmark::kMillisecond);

void BM_BuildControlScreenOnGroupPage(benchmark::State& state) { buildScreen(state, 5); }
BENCHMARK(BM_BuildControlScreenOnGroupPage)->Unit(benchmark::kMillisecond);

// Build and first paint of the whole screen into an image.
void BM_BuildAndPaintControlScreen(benchmark::State& state)
{
    for (auto _ : state) {
        auto* screen = new SettingController;
        screen->loadViewIfNeeded();
        screen->resize(lightdeck::mainScreenSize());
        benchmark::DoNotOptimize(screen->grab());
        state.PauseTiming();
        delete screen;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildAndPaintControlScreen)->Unit(benchmark::kMillisecond);

// The parts: each slider panel alone, and the hue wheel's image rendered
// from its SVG at the size the panel shows it.
void BM_BuildViewCCT(benchmark::State& state)
{
    for (auto _ : state) {
        lightdeck::ViewCCT panel(QRect(0, 0, 390, 700));
        benchmark::DoNotOptimize(panel.cctValue());
    }
}
BENCHMARK(BM_BuildViewCCT)->Unit(benchmark::kMillisecond);

void BM_BuildViewHSI(benchmark::State& state)
{
    for (auto _ : state) {
        lightdeck::ViewHSI panel(QRect(0, 0, 390, 700));
        benchmark::DoNotOptimize(panel.hueValue());
    }
}
BENCHMARK(BM_BuildViewHSI)->Unit(benchmark::kMillisecond);

void BM_RenderHueWheelImage(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(lightdeck::imageNamed(QStringLiteral("color-picker-hue"), QSize(210, 210)));
}
BENCHMARK(BM_RenderHueWheelImage)->Unit(benchmark::kMillisecond);

// Last: the reports stay for the rest of the run.
// The control screen opened with N reports stored (the lists only grow, so
// the sizes run in increasing order): status reports spread over the six
// modes, one in a thousand carrying a marker at every parameter position.
void BM_BuildControlScreenWithReports(benchmark::State& state)
{
    auto& manager = lightdeck::OxBlueTooth::sharedInstance();
    const auto wanted = static_cast<std::size_t>(state.range(0));
    auto report = std::make_shared<ReportCharacteristic>();
    for (std::size_t i = manager.reportCount(lightdeck::ReportList::ALL); i < wanted; ++i) {
        const auto p = static_cast<std::uint8_t>(i % 1000 == 0 ? 0xF5 : i % 100);
        report->m_value = {0xAA, static_cast<std::uint8_t>(1 + i % 6), p, p, p, p, 0xBB};
        g_central->didUpdateValue(nullptr, report, std::nullopt);
    }
    state.counters["reports"] = static_cast<double>(manager.reportCount(lightdeck::ReportList::ALL));
    buildScreen(state, 0);
}
BENCHMARK(BM_BuildControlScreenWithReports)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The manager on virtual lights, as in a simulated run; none is in
    // range, so the panels scan empty report lists.
    static lightdeck::LightSimulator simulator;
    lightdeck::OxBlueTooth::setSharedCentralFactory(
        [factory = simulator.centralFactory()](lightdeck::CentralDelegate& delegate) {
            g_central = &delegate;
            return factory(delegate);
        });
    (void)lightdeck::OxBlueTooth::sharedInstance();
    // The lines of a quiet run: info lines are neither built nor written.
    lightdeck::log::setEnabled(lightdeck::log::Level::Info, false);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
