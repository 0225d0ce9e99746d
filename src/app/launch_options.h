#pragma once
// The command line of `lightdeck`, and the display check made before any Qt
// object exists. Qt-free, so it can be checked without an application.
//
//   lightdeck                    Qt Bluetooth when an adapter is present,
//                                virtual lights otherwise
//   lightdeck --simulate         the default neighbourhood of virtual lights
//   lightdeck --simulate=N       N plain virtual lights (1 to 64)
//   lightdeck --bluetooth        the Qt Bluetooth central, adapter or not
//   lightdeck --screenshots DIR  saves a PNG of each screen into DIR and
//                                exits (offscreen, virtual lights)
//
// Arguments with one dash (-platform offscreen, -style ...) belong to Qt and
// are left to QApplication.

#include <functional>
#include <string>
#include <vector>

namespace lightdeck {

enum class BackendChoice {
    Automatic,  // Qt Bluetooth with an adapter, virtual lights without
    Simulated,
    Bluetooth,
};

struct LaunchOptions {
    BackendChoice backend = BackendChoice::Automatic;
    // Virtual lights: 0 for the default neighbourhood, else that many plain
    // lights.
    int simulatedLights = 0;
    // Not empty: take screenshots into this folder and exit.
    std::string screenshotsDir;
    // "-platform X" was given to Qt.
    std::string qtPlatform;
    bool help = false;
};

struct LaunchParse {
    LaunchOptions options;
    // Not empty when the command line is wrong; says why.
    std::string error;
};

inline constexpr int kMaxSimulatedLights = 64;

// Exit codes of `lightdeck`.
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoDisplay = 3;
inline constexpr int kExitBackendUnavailable = 4;

// `arguments` without the program name.
LaunchParse parseLaunchOptions(const std::vector<std::string>& arguments);
std::string usageText();

// Whether a window can be shown: a display server named by DISPLAY or
// WAYLAND_DISPLAY, or a Qt platform chosen explicitly (QT_QPA_PLATFORM or
// -platform, e.g. offscreen). `environment` returns a variable's value, or
// nullptr when it is unset.
bool hasDisplay(const LaunchOptions& options, const std::function<const char*(const char*)>& environment);
// What to tell a user who started lightdeck without a display.
std::string noDisplayMessage();

}  // namespace lightdeck
