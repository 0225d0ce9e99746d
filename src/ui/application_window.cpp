#include "ui/application_window.h"

#include <QPointer>
#include <QWidget>

namespace lightdeck {

namespace {
QPointer<QWidget>& windowSlot()
{
    static QPointer<QWidget> window;
    return window;
}
}  // namespace

void setApplicationWindow(QWidget* window) { windowSlot() = window; }

QWidget* applicationWindow() { return windowSlot().data(); }

QSize mainScreenSize()
{
    const QWidget* window = applicationWindow();
    if (window && !window->size().isEmpty())
        return window->size();
    return kDefaultMainScreenSize;
}

}  // namespace lightdeck
