#include "app/backend.h"

#include "bluetooth/ox_blue_tooth.h"
#include "bluetooth/simulated/light_simulator.h"
#include "bluetooth/simulated/neighbourhood.h"
#include "common/log.h"

// The Qt Bluetooth central comes with bluetooth/qt/qt_bluetooth_backend.h;
// a build without it runs on virtual lights only.
#if __has_include("bluetooth/qt/qt_bluetooth_backend.h")
#include "bluetooth/qt/qt_bluetooth_backend.h"
#define LIGHTDECK_HAS_QT_BLUETOOTH 1
#else
#define LIGHTDECK_HAS_QT_BLUETOOTH 0
#endif

namespace lightdeck {
namespace {

// The Qt Bluetooth entry points, in one place.
#if LIGHTDECK_HAS_QT_BLUETOOTH
bool adapterPresent() { return bluetoothAdapterPresent(); }
void prepareQtEnvironment() { prepareQtBluetoothEnvironment(); }
CentralFactory qtFactory() { return qtBluetoothCentralFactory(); }
#else
bool adapterPresent() { return false; }
void prepareQtEnvironment() {}
CentralFactory qtFactory() { return {}; }
#endif

InstalledBackend installSimulated(const LaunchOptions& options, bool zeroDelays)
{
    SimulatorOptions simulatorOptions;
    simulatorOptions.timing = zeroDelays ? TimingModel::zero() : TimingModel::realistic();
    // Never destroyed: see backend.h.
    auto* simulator = new LightSimulator(simulatorOptions);
    if (options.simulatedLights > 0)
        addPlainLights(*simulator, options.simulatedLights);
    else
        addDefaultNeighbourhood(*simulator);
    OxBlueTooth::setSharedCentralFactory(simulator->centralFactory());

    InstalledBackend backend;
    backend.kind = BackendChoice::Simulated;
    backend.simulator = simulator;
    backend.description = "virtual lights (" + std::to_string(simulator->lightCount()) + ")";
    return backend;
}

}  // namespace

bool qtBluetoothAvailable() { return LIGHTDECK_HAS_QT_BLUETOOTH != 0; }

void prepareBackendEnvironment(const LaunchOptions& options)
{
    if (options.backend == BackendChoice::Simulated || !options.screenshotsDir.empty())
        return;
    prepareQtEnvironment();
}

InstalledBackend installBackend(const LaunchOptions& options, bool zeroDelays)
{
    if (options.backend == BackendChoice::Simulated || !options.screenshotsDir.empty())
        return installSimulated(options, zeroDelays);

    if (options.backend == BackendChoice::Bluetooth) {
        if (!qtBluetoothAvailable()) {
            InstalledBackend failed;
            failed.kind = BackendChoice::Bluetooth;
            failed.error = "lightdeck: --bluetooth: the Qt Bluetooth backend is not available in this "
                           "build yet.\nRun with --simulate to use the virtual lights.";
            return failed;
        }
    } else if (!qtBluetoothAvailable() || !adapterPresent()) {
        log::info(qtBluetoothAvailable() ? "No Bluetooth adapter found: using the virtual lights"
                                         : "This build has no Bluetooth backend: using the virtual lights");
        return installSimulated(options, zeroDelays);
    }

    OxBlueTooth::setSharedCentralFactory(qtFactory());
    InstalledBackend backend;
    backend.kind = BackendChoice::Bluetooth;
    backend.description = "Bluetooth adapter";
    return backend;
}

}  // namespace lightdeck
