#pragma once
// The one place that chooses the central behind OxBlueTooth::sharedInstance():
// the Qt Bluetooth central (BlueZ) or the built-in virtual lights. Nothing
// else in the program knows which one runs.
//
//   QApplication app(argc, argv);
//   prepareBackendEnvironment(options);      // before Qt Bluetooth is first used
//   auto backend = installBackend(options);  // before the first sharedInstance()
//
// The virtual lights' LightSimulator is made here and lives until the process
// ends (it is never destroyed: the manager's central, the virtual lights
// window and the screenshot walker use it to the last moment).

#include <string>

#include "app/launch_options.h"

namespace lightdeck {

class LightSimulator;

struct InstalledBackend {
    BackendChoice kind = BackendChoice::Simulated;  // Simulated or Bluetooth
    // The virtual lights; null for Qt Bluetooth.
    LightSimulator* simulator = nullptr;
    // For the log: "virtual lights (5)", "Bluetooth adapter".
    std::string description;
    // Not empty when the chosen backend cannot run; then nothing was installed.
    std::string error;

    bool ok() const { return error.empty(); }
};

// Whether this build has the Qt Bluetooth central.
bool qtBluetoothAvailable();

// Sets what the Qt Bluetooth stack reads from the environment when it first
// starts (after the QApplication exists, before Qt Bluetooth is used). Does
// nothing for a simulated run.
void prepareBackendEnvironment(const LaunchOptions& options);

// Chooses the central (an adapter is looked for only in the automatic choice),
// gives its factory to OxBlueTooth::setSharedCentralFactory and, for virtual
// lights, fills the neighbourhood. Needs the QApplication. Realistic radio
// timing unless `zeroDelays` (the screenshot walker).
InstalledBackend installBackend(const LaunchOptions& options, bool zeroDelays = false);

}  // namespace lightdeck
