#include "app/startup_trace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace lightdeck {
namespace {

QElapsedTimer& clock()
{
    static QElapsedTimer timer;
    return timer;
}

}  // namespace

void StartupTrace::begin() { clock().start(); }

bool StartupTrace::enabled() { return qEnvironmentVariableIsSet("LIGHTDECK_TRACE_STARTUP"); }

double StartupTrace::elapsedMs() { return clock().isValid() ? clock().nsecsElapsed() / 1e6 : 0.0; }

void StartupTrace::watch(QWidget* screen)
{
    if (!enabled() || !screen)
        return;
    screen->installEventFilter(new StartupTrace(screen));
}

bool StartupTrace::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && !m_reported) {
        m_reported = true;
        // Queued: runs once this paint has been done.
        QTimer::singleShot(0, this, [this, watched] {
            std::fprintf(stderr, "startup: scan screen first painted %.1f ms after main()\n", elapsedMs());
            std::fflush(stderr);
            watched->removeEventFilter(this);
            if (qgetenv("LIGHTDECK_TRACE_STARTUP") == "quit")
                QCoreApplication::quit();
        });
    }
    return false;
}

}  // namespace lightdeck
