#pragma once
// `lightdeck --screenshots DIR`: walks the screens against the virtual lights
// and saves a PNG of each into DIR, with no display (offscreen platform).
//
// A screenshot is a Step: a file name and a function that brings the screens
// into shape and returns the picture. Adding a screen is one entry in
// standardSteps() (screenshot_walker.cpp), for example
//
//     {"control-cct.png", [](ScreenshotWalker& w) {
//          w.controlLights({"Key Light"});
//          w.openControlScreen(0);
//          return w.grabWindow();
//      }},
//
// The walk uses its own preferences file in a temporary folder (seeded with
// two demo groups), never the user's.

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "protocol/bytes.h"

class QTemporaryDir;
class QWidget;

namespace lightdeck {

class AppDelegate;
class DevicesController;
class LightSimulator;
class NavigationController;
class SettingController;
class VirtualLight;
class VirtualLightsWindow;

class ScreenshotWalker {
public:
    struct Step {
        QString fileName;
        // Returns the picture; a null image fails the step (see fail()).
        std::function<QImage(ScreenshotWalker&)> take;
    };

    ScreenshotWalker(LightSimulator& simulator, QString directory);
    ~ScreenshotWalker();

    ScreenshotWalker(const ScreenshotWalker&) = delete;
    ScreenshotWalker& operator=(const ScreenshotWalker&) = delete;

    // Every screenshot, in the order they are taken.
    static std::vector<Step> standardSteps();

    // Launches the application, runs the steps and writes the PNGs. Returns
    // the number of steps that failed (each is reported on stderr).
    int run(const std::vector<Step>& steps);

    // ---- For the steps ----
    AppDelegate& app() { return *m_app; }
    DevicesController& devices();
    NavigationController& navigation();
    VirtualLightsWindow& lightsWindow() { return *m_lightsWindow; }
    LightSimulator& simulator() { return m_simulator; }

    // The virtual light called `name` (one a scan can hear first), or nullptr.
    VirtualLight* light(const QString& name) const;
    // The list row showing the light called `name`, or -1.
    int rowOf(const QString& name) const;

    // Runs the event loop until `condition` holds; false after timeoutMs.
    bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
    // Lets pending events, transitions and deletions finish.
    void settle();

    // Taps the connect button of the light's row and waits until the light
    // is connected and writable.
    bool connectLight(const QString& name);
    // Puts exactly these lights under control.
    bool controlLights(const QStringList& names);
    // Writes a frame to the lights under control and waits until they have it.
    bool send(const Bytes& frame);
    // Back to the scan screen, then a new control screen on page `index`.
    SettingController* openControlScreen(int index);
    void backToDevices();
    // Waits until no toast is on screen.
    bool waitForToasts();

    // The application window as the user sees it, alerts included.
    QImage grabWindow();
    static QImage grabWidget(QWidget* widget);

    // Marks the running step as failed, with the reason; returns a null image.
    QImage fail(const QString& reason);

private:
    bool launch();
    void seedDemoGroups();

    LightSimulator& m_simulator;
    QString m_directory;
    std::unique_ptr<QTemporaryDir> m_scratch;
    std::unique_ptr<AppDelegate> m_app;
    std::unique_ptr<VirtualLightsWindow> m_lightsWindow;
    QString m_failure;
};

}  // namespace lightdeck
