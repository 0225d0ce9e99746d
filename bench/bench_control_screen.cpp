// Time to build the control screen as the scan screen opens it: construct,
// load (all six panels, the shield scans of the stored reports) and lay out.
// Runs on the offscreen platform with no light under control.
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>

#include <benchmark/benchmark.h>

#include "bluetooth/ox_blue_tooth.h"
#include "bluetooth/simulated/light_simulator.h"
#include "panels/setting_controller.h"
#include "panels/view_cct.h"
#include "panels/view_hsi.h"
#include "ui/images.h"
#include "ui/application_window.h"

namespace {

using lightdeck::SettingController;

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

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The manager on virtual lights, as in a simulated run; none is in
    // range, so the panels scan empty report lists.
    static lightdeck::LightSimulator simulator;
    lightdeck::OxBlueTooth::setSharedCentralFactory(simulator.centralFactory());

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
