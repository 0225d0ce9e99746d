#pragma once
// AppDelegate: builds the one window with its navigation stack (the device
// scan screen at the root) and turns the application's life-cycle changes
// into the "appDidBecomeActive" notification on which that screen rescans.
//
//     AppDelegate delegate;
//     delegate.didFinishLaunchingWithOptions();   // window shown
//     return app.exec();
//
// Life cycle: the first activation after launch posts nothing; from the
// first time the application stops being active (Qt's Inactive, Suspended or
// Hidden state: another program's window took the focus, the window was
// minimised) every return to the active state posts "appDidBecomeActive"
// once, with no object, on NotificationCenter::defaultCenter().
//
// The Bluetooth manager is not touched here: the scan screen creates it on
// first use, with the central given to OxBlueTooth::setSharedCentralFactory.
// The groups live in the shared store (devices/shared_store.h), opened at
// launch so that a damaged preferences file is reported at once.

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QWidget>

#include "devices/devices_controller.h"
#include "ui/navigation_controller.h"

namespace lightdeck {

class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(QObject* parent = nullptr);
    // Closes and deletes the window.
    ~AppDelegate() override;

    // Creates the window (phone-shaped, white, portrait, not resizable), the
    // scan screen and the navigation stack, shows the window and starts
    // following the application state. Returns true. A second call does
    // nothing and returns true.
    bool didFinishLaunchingWithOptions();

    QWidget* window() const { return m_window; }
    NavigationController* navigationController() const { return m_navigation; }
    DevicesController* devicesController() const { return m_devices; }

    // Posts "appDidBecomeActive" when the application has left the active
    // state since launch.
    void applicationDidBecomeActive();
    void applicationWillResignActive();
    bool needRefresh() const { return m_needRefresh; }

    // The window's size on a screen whose free area is `available`: 390 x 844
    // where that fits, otherwise as tall as fits (at least 568), same width.
    static QSize windowSizeFor(QSize available);

private:
    void applicationStateChanged(Qt::ApplicationState state);

    QPointer<QWidget> m_window;
    QPointer<NavigationController> m_navigation;
    QPointer<DevicesController> m_devices;
    bool m_needRefresh = false;
};

}  // namespace lightdeck
