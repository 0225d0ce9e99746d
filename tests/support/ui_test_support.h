#pragma once
// Helpers for screen and control tests on the offscreen platform: input as a
// person gives it (clicks, drags, touches, long presses), finding widgets by
// view tag, waiting for a condition with a bound, and grabbing pixels.
//
// Positions are in the given widget's coordinates. Mouse helpers send the
// events to that widget through QTest (a press, the moves and the release all
// go to it, as with the implicit grab of a real press); events it ignores
// propagate to its parents as usual.

#include <QApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QListWidget>
#include <QPointingDevice>
#include <QTest>
#include <QWidget>

#include <functional>

#include "ui/view_tag.h"

namespace lightdeck::testing {

// Shows `widget` (a window) at `size` (unless empty) and waits until it is
// exposed. False when it did not get exposed.
inline bool showWindow(QWidget* widget, QSize size = {})
{
    if (!size.isEmpty())
        widget->resize(size);
    widget->show();
    return QTest::qWaitForWindowExposed(widget);
}

inline QPoint centreOf(const QWidget* widget) { return widget->rect().center(); }

// Left-button click (press and release without movement) at `pos`
// (default: the widget's centre).
inline void click(QWidget* widget, QPoint pos) { QTest::mouseClick(widget, Qt::LeftButton, {}, pos); }
inline void click(QWidget* widget) { click(widget, centreOf(widget)); }

// The three parts of a drag, for tests that check what happens in between.
inline void press(QWidget* widget, QPoint pos) { QTest::mousePress(widget, Qt::LeftButton, {}, pos); }
inline void release(QWidget* widget, QPoint pos) { QTest::mouseRelease(widget, Qt::LeftButton, {}, pos); }
// A move with the left button held (QTest::mouseMove() may warp the cursor
// instead of sending an event).
inline void moveTo(QWidget* widget, QPoint pos)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(pos), widget->mapToGlobal(QPointF(pos)), Qt::NoButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Press at `from`, `steps` moves evenly spaced towards `to` (the last one at
// `to`), release at `to`.
inline void drag(QWidget* widget, QPoint from, QPoint to, int steps = 8)
{
    press(widget, from);
    for (int i = 1; i <= std::max(steps, 1); ++i)
        moveTo(widget, from + (to - from) * i / std::max(steps, 1));
    release(widget, to);
}

// Presses at `pos`, keeps the button down for `holdMs` (the event loop runs
// meanwhile, so long-press timers fire), then releases.
inline void longPress(QWidget* widget, QPoint pos, int holdMs = 1100)
{
    press(widget, pos);
    QTest::qWait(holdMs);
    release(widget, pos);
}

// A touch screen device for touch events (created once).
QPointingDevice* touchDevice();

// A one-finger touch drag: begin at `from`, `steps` updates towards `to`,
// then end at `to` (or cancel there when `cancel` is true).
inline void touchDrag(QWidget* widget, QPoint from, QPoint to, int steps = 8, bool cancel = false)
{
    QTest::touchEvent(widget, touchDevice()).press(0, from, widget);
    for (int i = 1; i <= std::max(steps, 1); ++i)
        QTest::touchEvent(widget, touchDevice()).move(0, from + (to - from) * i / std::max(steps, 1), widget);
    if (!cancel)
        return void(QTest::touchEvent(widget, touchDevice()).release(0, to, widget));
    QTouchEvent event(QEvent::TouchCancel, touchDevice(), Qt::NoModifier, QList<QEventPoint>{});
    QApplication::sendEvent(widget, &event);
}

// Clicks the centre of `row` of a list widget (on its viewport). False when
// the row does not exist.
inline bool clickListRow(QListWidget* list, int row)
{
    if (!list->item(row))
        return false;
    list->scrollToItem(list->item(row));
    click(list->viewport(), list->visualItemRect(list->item(row)).center());
    return true;
}

// The first descendant of `root` (or root) with view tag `tag`, as T, or
// nullptr (see ui/view_tag.h for the search order).
inline QWidget* findByTag(QWidget* root, int tag) { return viewWithTag(root, tag); }
template <typename T>
T* findByTag(QWidget* root, int tag)
{
    return qobject_cast<T*>(findByTag(root, tag));
}

// Runs the event loop until `condition` holds or `timeoutMs` passes; returns
// the condition's last value. Never asserts on time: use it as
// ASSERT_TRUE(waitUntil([&] { return ...; })).
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    for (QDeadlineTimer deadline(timeoutMs); !condition(); QTest::qWait(5)) {
        if (deadline.hasExpired())
            return condition();
    }
    return true;
}

// Processes pending events, including deferred deletions.
void processEvents();

// The widget's pixels (with its children) as an ARGB32 image.
inline QImage grabImage(QWidget* widget) { return widget->grab().toImage().convertToFormat(QImage::Format_ARGB32); }

}  // namespace lightdeck::testing
