// lightdeck: controls Bluetooth LE photo and video lights.
// See app/launch_options.h for the command line.

#include <QApplication>
#include <QByteArray>
#include <QIcon>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_delegate.h"
#include "app/backend.h"
#include "app/launch_options.h"
#include "app/screenshot_walker.h"
#include "app/startup_trace.h"
#include "app/virtual_lights_window.h"
#include "common/log.h"
#include "ui/images.h"

namespace {

Q_LOGGING_CATEGORY(lcCore, "lightdeck.core")

// The core's log goes to Qt's, under "lightdeck.core" (QT_LOGGING_RULES
// filters it). `quiet` keeps warnings only.
void routeCoreLog(bool quiet)
{
    // Info lines nobody will see are not even built (the manager logs every
    // report and every frame at this level).
    lightdeck::log::setEnabled(lightdeck::log::Level::Info, !quiet && lcCore().isInfoEnabled());
    lightdeck::log::setSink([quiet](lightdeck::log::Level level, std::string_view line) {
        const QString text = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
        switch (level) {
        case lightdeck::log::Level::Debug:
            qCDebug(lcCore).noquote() << text;
            break;
        case lightdeck::log::Level::Info:
            if (!quiet)
                qCInfo(lcCore).noquote() << text;
            break;
        case lightdeck::log::Level::Warning:
            qCWarning(lcCore).noquote() << text;
            break;
        }
    });
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace lightdeck;
    StartupTrace::begin();

    const LaunchParse parsed = parseLaunchOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "lightdeck: %s\n\n%s", parsed.error.c_str(), usageText().c_str());
        return kExitUsage;
    }
    const LaunchOptions& options = parsed.options;
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return EXIT_SUCCESS;
    }

    const bool screenshots = !options.screenshotsDir.empty();
    if (screenshots) {
        // Pictures need no display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else if (!hasDisplay(options, [](const char* name) { return std::getenv(name); })) {
        std::fputs(noDisplayMessage().c_str(), stderr);
        return kExitNoDisplay;
    }

    QApplication app(argc, argv);
    prepareBackendEnvironment(options);
    QApplication::setApplicationName(QStringLiteral("Lightdeck"));
    QApplication::setOrganizationName(QStringLiteral("lightdeck"));
    QApplication::setWindowIcon(QIcon(imageNamed(QStringLiteral("ic_app_lightdeck"), {64, 64})));
    routeCoreLog(screenshots);

    const InstalledBackend backend = installBackend(options, screenshots);
    if (!backend.ok()) {
        std::fprintf(stderr, "%s\n", backend.error.c_str());
        return kExitBackendUnavailable;
    }
    log::info("Lightdeck on " + backend.description);

    if (screenshots) {
        ScreenshotWalker walker(*backend.simulator, QString::fromStdString(options.screenshotsDir));
        return walker.run(ScreenshotWalker::standardSteps()) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
    }

    AppDelegate delegate;
    delegate.didFinishLaunchingWithOptions();
    StartupTrace::watch(delegate.devicesController());

    std::unique_ptr<VirtualLightsWindow> lightsWindow;
    if (backend.simulator) {
        // Built on the loop's first turn, after the application window's
        // first paint (already queued by its show()): the scan screen is on
        // screen sooner.
        QTimer::singleShot(0, &app, [&lightsWindow, &delegate, simulator = backend.simulator] {
            lightsWindow = std::make_unique<VirtualLightsWindow>(*simulator);
            lightsWindow->resize(lightsWindow->sizeHint());
            // Beside the application window, which keeps the focus.
            QWidget* window = delegate.window();
            lightsWindow->move(window->frameGeometry().topRight() + QPoint(24, 0));
            lightsWindow->show();
            window->raise();
            window->activateWindow();
        });
    }
    return app.exec();
}
