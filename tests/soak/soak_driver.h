#pragma once
// SoakDriver: a long run of random user actions on the program's real window
// (taps, drags, long presses, text typed into alerts, alerts confirmed or
// cancelled, group edits, screens opened and left) against virtual lights,
// interleaved with faults injected on the simulator (dropped connections,
// failed connects, write errors, the adapter off and on, lights renaming
// themselves, floods of reports).
//
// Every step acts on whatever is on top: an open alert, the device picker,
// a popup list, the control screen's current page, or the scan screen. After
// every step the driver lets the central queue and the event loop settle and
// checks the invariants:
//  - the preferences file parses, is mode 0600, its two arrays (groupList,
//    deviceInGroup) have the same length, and at most one group is stored
//    as selected;
//  - every value a light received is a well-formed frame or rename message;
//  - the lights under control are a subset of what the last screen action
//    that chose them put there (the tapped light, the chosen group's
//    members, the picker's ticked lights);
//  - no log line holds a raw control character (other than the line breaks
//    of the manager's map dumps) or a bidirectional override.
// A crash ends the process; a hang is caught by SoakWatchdog.
//
//     SoakDriver driver(app, simulator, lights, preferencesFile, seed);
//     EXPECT_TRUE(driver.run(3000)) << driver.failure();
//     std::cout << driver.summary();
//
// Main thread only, except recentSteps(), which the watchdog calls.

#include <QPoint>
#include <QString>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/log.h"

class QWidget;

namespace lightdeck {

class AlertController;
class AppDelegate;
class DevicesController;
class EditView;
class LightSimulator;
class SettingController;
class ViewConnectedDevices;
class ViewGPM;
class VirtualLight;

namespace testing {

class SoakDriver {
public:
    SoakDriver(AppDelegate& app, LightSimulator& simulator, std::vector<VirtualLight*> lights,
               std::filesystem::path preferencesFile, std::uint32_t seed);
    ~SoakDriver();

    SoakDriver(const SoakDriver&) = delete;
    SoakDriver& operator=(const SoakDriver&) = delete;

    // Runs `steps` steps; false at the first broken invariant (see failure()).
    // `beat` is called before every step (the watchdog's).
    bool run(long steps, const std::function<void()>& beat = {});

    const std::string& failure() const { return m_failure; }
    // Seed, steps, every kind of action and fault with its count, what the
    // lights received and what the log saw.
    std::string summary() const;
    // The seed and the last steps, oldest first. Any thread.
    std::string recentSteps() const;

private:
    enum class Context { Alert, Picker, Popup, Control, Scan };

    // --- steps
    void step();
    Context context() const;
    void userAction(Context context);
    void fault();
    void scanScreenAction();
    // A random row whose light is (or is not) connected; any row when none is.
    int rowWhere(DevicesController& screen, bool connected, int rows);
    void alertAction(AlertController* alert);
    void popupAction(EditView* popup);
    void pickerAction(ViewConnectedDevices* picker);
    void controlScreenAction(SettingController* screen);
    void pageAction(SettingController* screen);
    void groupPageAction(ViewGPM* panel);

    // --- helpers
    void recordUser(const std::string& kind, const std::string& detail = {});
    void recordFault(const std::string& kind, const std::string& detail = {});
    void remember(const std::string& line);
    void settle();
    bool checkInvariants();
    bool fail(const std::string& what);
    // The log sink: counts lines, remembers the first unsafe one.
    void logLine(log::Level level, std::string_view line);

    int pick(const std::vector<double>& weights);
    int uniform(int low, int high);  // both included
    bool chance(double probability);
    VirtualLight* anyLight();
    std::string nastyName();
    QString typedText();
    QPoint anywhereIn(const QWidget* widget, int overhang = 0);
    bool longPressUntil(QWidget* target, QPoint pos, const std::function<bool()>& recognised);
    std::set<std::string> controlled() const;
    std::set<std::string> groupMembers(int position) const;

    AppDelegate& m_app;
    LightSimulator& m_simulator;
    std::vector<VirtualLight*> m_lights;
    std::filesystem::path m_preferencesFile;
    std::uint32_t m_seed = 0;
    std::mt19937 m_random;

    long m_stepsDone = 0;
    int m_adapterOnInSteps = 0;  // > 0: the adapter is off, back on after that many steps
    // What the last screen action that chose the lights under control put
    // there: controlDict must stay within it.
    std::set<std::string> m_allowed;
    std::string m_failure;

    std::map<std::string, long> m_userCounts;
    std::map<std::string, long> m_faultCounts;
    long m_framesReceived = 0;
    long m_renamesReceived = 0;
    long m_reportsSent = 0;
    long m_preferencesChecks = 0;
    long m_stepsWithControl = 0;
    long m_residentAfterWarmUp = 0;  // KiB
    long m_residentAtEnd = 0;        // KiB

    mutable std::mutex m_mutex;  // guards the members below (watchdog, log threads)
    std::deque<std::string> m_recent;
    long m_logLines = 0;
    long m_logWarnings = 0;
    std::string m_unsafeLogLine;
    log::Sink m_previousSink;
};

}  // namespace testing
}  // namespace lightdeck
