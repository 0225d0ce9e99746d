#pragma once
// One-finger touch handling shared by the controls that follow a finger.

class QEvent;
class QEventPoint;

namespace lightdeck {

// The point of a touch event that a control follows: on TouchBegin, when no
// finger is tracked yet (trackedId < 0), the first point down; afterwards the
// point whose id is trackedId. nullptr when the event carries no such point
// (another finger moved). `event` must be a QTouchEvent.
const QEventPoint* trackedTouchPoint(const QEvent* event, int trackedId);

}  // namespace lightdeck
