#include "ui/double_click_press.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

namespace lightdeck {
namespace {

class DoubleClickAsPress : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::MouseButtonDblClick)
            return false;
        const auto* click = static_cast<QMouseEvent*>(event);
        QMouseEvent press(QEvent::MouseButtonPress, click->position(), click->scenePosition(),
                          click->globalPosition(), click->button(), click->buttons(), click->modifiers(),
                          click->pointingDevice());
        QCoreApplication::sendEvent(watched, &press);
        return true;
    }
};

}  // namespace

void treatDoubleClicksAsPresses(QWidget* widget) { widget->installEventFilter(new DoubleClickAsPress(widget)); }

}  // namespace lightdeck
