// The yardstick of start-up: the least a Qt Widgets program does before its
// first frame (application, one window, one label, shown). Prints the same
// line as `lightdeck` with LIGHTDECK_TRACE_STARTUP set, on its first paint,
// and quits. scripts/bench times both from their launch.

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

namespace {

QElapsedTimer g_clock;

class FirstPaint final : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, [] {
                std::fprintf(stderr, "startup: bare window first painted %.1f ms after main()\n",
                             g_clock.nsecsElapsed() / 1e6);
                std::fflush(stderr);
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    bool m_seen = false;
};

}  // namespace

int main(int argc, char** argv)
{
    g_clock.start();
    QApplication app(argc, argv);
    QWidget window;
    window.resize(390, 844);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("设备")));
    FirstPaint watcher;
    window.installEventFilter(&watcher);
    window.show();
    return app.exec();
}
