#include "app/app_delegate.h"

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#include "devices/devices_controller.h"
#include "devices/shared_store.h"
#include "ui/application_window.h"
#include "ui/images.h"
#include "ui/navigation_controller.h"
#include "ui/notification_center.h"

namespace lightdeck {
namespace {

// Room for the window frame and a panel of the desktop.
constexpr int kScreenChrome = 80;
constexpr int kMinimumHeight = 568;

}  // namespace

AppDelegate::AppDelegate(QObject* parent) : QObject(parent) {}

AppDelegate::~AppDelegate()
{
    if (m_window) {
        if (applicationWindow() == m_window)
            setApplicationWindow(nullptr);
        delete m_window;
    }
}

QSize AppDelegate::windowSizeFor(QSize available)
{
    QSize size = kDefaultMainScreenSize;
    if (available.isValid() && available.height() - kScreenChrome < size.height())
        size.setHeight(qMax(kMinimumHeight, available.height() - kScreenChrome));
    return size;
}

bool AppDelegate::didFinishLaunchingWithOptions()
{
    if (m_window)
        return true;

    // Opens the preferences now: a damaged file is moved aside and logged at
    // start, not in the middle of a connection.
    sharedGroupStore().loadGroups();

    // 1. The window: white, phone-shaped, a fixed portrait size (it never
    //    rotates or stretches).
    auto* window = new QWidget;
    window->setObjectName(QStringLiteral("applicationWindow"));
    window->setWindowTitle(QStringLiteral("Lightdeck"));
    window->setWindowIcon(QIcon(imageNamed(QStringLiteral("ic_app_lightdeck"), {64, 64})));
    window->setAutoFillBackground(true);
    QPalette colours = window->palette();
    colours.setColor(QPalette::Window, Qt::white);
    window->setPalette(colours);
    // Fitted to a small desktop; a virtual screen (offscreen, minimal) gets
    // the phone size as it is.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QString platform = QGuiApplication::platformName();
    const bool virtualScreen = platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
    window->setFixedSize(virtualScreen || !screen ? kDefaultMainScreenSize : windowSizeFor(screen->availableSize()));
    m_window = window;
    setApplicationWindow(window);

    // 2. The status bar style has no counterpart on a desktop.
    // 3. The scan screen at the root of the navigation stack.
    m_devices = new DevicesController;
    m_navigation = new NavigationController(m_devices, window);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_navigation);

    // 4. Activation right after launch posts nothing.
    m_needRefresh = false;
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &AppDelegate::applicationStateChanged);

    window->show();
    window->activateWindow();
    return true;
}

void AppDelegate::applicationStateChanged(Qt::ApplicationState state)
{
    if (state == Qt::ApplicationActive)
        applicationDidBecomeActive();
    else
        applicationWillResignActive();
}

void AppDelegate::applicationDidBecomeActive()
{
    if (m_needRefresh)
        NotificationCenter::defaultCenter().post(QStringLiteral("appDidBecomeActive"));
}

void AppDelegate::applicationWillResignActive() { m_needRefresh = true; }

}  // namespace lightdeck
