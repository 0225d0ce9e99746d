#pragma once
// Start-up timing, on when LIGHTDECK_TRACE_STARTUP is set: prints to stderr
// how long the program took from main() to the first paint of the scan screen
//
//     startup: scan screen first painted 182.4 ms after main()
//
// With LIGHTDECK_TRACE_STARTUP=quit the program then quits (for measuring
// runs in a loop).

#include <QObject>

class QWidget;

namespace lightdeck {

class StartupTrace : public QObject {
    Q_OBJECT
public:
    // Starts the clock; call first thing in main().
    static void begin();
    static bool enabled();
    // Milliseconds since begin().
    static double elapsedMs();
    // Reports the first paint of `screen` (when enabled).
    static void watch(QWidget* screen);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
    bool m_reported = false;
};

}  // namespace lightdeck
