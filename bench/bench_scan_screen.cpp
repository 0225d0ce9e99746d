// The scan screen while 500 virtual lights are discovered on the realistic
// radio timing (each heard once within the 100 ms advertising interval, so
// about five a millisecond): the longest time the main thread spent on one
// event (a list reload, a paint, a timer), how many events took longer than
// a 60 Hz frame (16 ms), and how many times the list was rebuilt. The
// longest is given in wall time (what the user sees) and in the main
// thread's CPU time (the work, apart from other processes on the machine).
//
// Every event the main thread handles goes through QApplication::notify;
// the outermost call is timed, nested ones (sendEvent inside a handler) are
// part of it.

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QListWidget>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <chrono>
#include <memory>

#include "app/app_delegate.h"
#include "bluetooth/ox_blue_tooth.h"
#include "bluetooth/simulated/light_simulator.h"
#include "bluetooth/simulated/neighbourhood.h"
#include "common/log.h"
#include "devices/cell_device.h"
#include "devices/devices_controller.h"
#include "devices/preferences.h"
#include "devices/shared_store.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLights = 500;

class TimingApplication final : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth > 0 || !m_recording)
            return nested(receiver, event);
        const auto start = Clock::now();
        const double cpuStart = threadCpuMs();
        const bool handled = nested(receiver, event);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const double cpuMs = threadCpuMs() - cpuStart;
        longestCpuMs = std::max(longestCpuMs, cpuMs);
        if (ms > longestMs) {
            longestMs = ms;
            longestWhat = QStringLiteral("%1 to %2").arg(int(event->type())).arg(
                QString::fromLatin1(receiver->metaObject()->className()));
        }
        if (ms > 16.0)
            ++over16;
        if (ms > 16.0 || cpuMs > 12.0) {
            QObject* parent = receiver->parent();
            std::fprintf(stderr, "stall: %.1f ms (%.1f ms CPU), event %d to %s (in %s)\n", ms, cpuMs, int(event->type()),
                         receiver->metaObject()->className(), parent ? parent->metaObject()->className() : "-");
        }
        if (event->type() == QEvent::MetaCall && receiver == watched)
            ++queuedCalls;
        return handled;
    }

    void record(bool on) { m_recording = on; }

    double longestMs = 0;
    // The same, in CPU time of the main thread: the work itself, without the
    // time other processes held the CPU (the machine may be shared).
    double longestCpuMs = 0;
    // The event type and receiver class of the longest.
    QString longestWhat;
    int over16 = 0;
    // Functions handed to the scan screen's thread: its list reloads.
    int queuedCalls = 0;
    QObject* watched = nullptr;

private:
    bool nested(QObject* receiver, QEvent* event)
    {
        ++m_depth;
        const bool handled = QApplication::notify(receiver, event);
        --m_depth;
        return handled;
    }

    static double threadCpuMs()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
    }

    int m_depth = 0;
    bool m_recording = false;
};

TimingApplication* g_app = nullptr;
lightdeck::LightSimulator* g_simulator = nullptr;

void BM_ScanScreenDiscovers500Lights(benchmark::State& state)
{
    using namespace lightdeck;
    for (auto _ : state) {
        // Once: the manager and its lights live for the whole process.
        AppDelegate delegate;
        delegate.didFinishLaunchingWithOptions();
        DevicesController* screen = delegate.devicesController();
        g_app->watched = screen;
        QElapsedTimer elapsed;
        elapsed.start();
        g_app->record(true);
        // The launch ran the first scan; the lights arrive from now on.
        while (screen->rowCount() < kLights && elapsed.elapsed() < 10'000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double arrivalMs = static_cast<double>(elapsed.elapsed());
        // A last turn, so the final reload and paint are counted too.
        QCoreApplication::processEvents();
        g_app->record(false);
        state.SetIterationTime(arrivalMs / 1000.0);
        state.counters["rows"] = screen->rowCount();
        state.counters["longest_stall_ms"] = g_app->longestMs;
        state.counters["longest_stall_cpu_ms"] = g_app->longestCpuMs;
        state.counters["events_over_16ms"] = g_app->over16;
        state.counters["list_reloads"] = g_app->queuedCalls;
        state.counters["arrival_ms"] = arrivalMs;
    }
}
BENCHMARK(BM_ScanScreenDiscovers500Lights)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// One row widget, built alone and then inside a shown list with the scan
// screen's style sheet (as reloadData adds it).
void BM_CreateCellDevice(benchmark::State& state)
{
    for (auto _ : state) {
        lightdeck::CellDevice cell;
        benchmark::DoNotOptimize(cell.sizeHint());
    }
}
BENCHMARK(BM_CreateCellDevice)->Unit(benchmark::kMicrosecond);

void BM_AddRowsToShownList(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        QListWidget list;
        list.setStyleSheet(QStringLiteral("QListWidget { background: white; border: none; }"
                                          "QListWidget::item { border: none; padding: 0px; }"
                                          "QListWidget::item:hover { background: transparent; }"));
        list.setUniformItemSizes(true);
        list.resize(390, 700);
        list.show();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        for (int i = 0; i < state.range(0); ++i) {
            auto* item = new QListWidgetItem(&list);
            item->setSizeHint({390, lightdeck::CellDevice::kRowHeight});
            list.setItemWidget(item, new lightdeck::CellDevice);
        }
        QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AddRowsToShownList)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimingApplication app(argc, argv);
    g_app = &app;
    lightdeck::log::setSink([](lightdeck::log::Level, std::string_view) {});
    lightdeck::log::setEnabled(lightdeck::log::Level::Info, false);
    lightdeck::setSharedPreferences(std::make_shared<lightdeck::InMemoryPreferences>());
    static lightdeck::LightSimulator simulator(
        lightdeck::SimulatorOptions{.seed = 1, .timing = lightdeck::TimingModel::realistic()});
    g_simulator = &simulator;
    lightdeck::addPlainLights(simulator, kLights);
    lightdeck::OxBlueTooth::setSharedCentralFactory(simulator.centralFactory());

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
