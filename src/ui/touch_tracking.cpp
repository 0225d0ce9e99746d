#include "ui/touch_tracking.h"

#include <QTouchEvent>

namespace lightdeck {

const QEventPoint* trackedTouchPoint(const QEvent* event, int trackedId)
{
    const auto* touch = static_cast<const QTouchEvent*>(event);
    for (const QEventPoint& p : touch->points()) {
        if ((trackedId < 0 && event->type() == QEvent::TouchBegin) || p.id() == trackedId)
            return &p;
    }
    return nullptr;
}

}  // namespace lightdeck
