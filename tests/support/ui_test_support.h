#pragma once
// Helpers for screen and control tests on the offscreen platform: input as a
// person gives it (taps, double taps, drags, touches), finding widgets by
// view tag, waiting for a condition with a bound, and grabbing pixels.
//
// Positions are in the given widget's coordinates. Input goes through the
// window system as a platform delivers it, with a person's timing, so Qt's own
// double-click detection, implicit grab and touch-to-mouse synthesis apply:
// the widget's window must be shown.

#include <QApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QListWidget>
#include <QPointingDevice>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <vector>

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

// A touch screen device for touch events (created once).
QPointingDevice* touchDevice();

enum class Input { Mouse, Touch };

// One event through the window system, `afterMs` after the one before on the
// clock of QTest's own mouse events (touch events carry the real clock's time
// and follow at once).
inline void send(QWidget* widget, Input input, QEvent::Type type, QPoint at, int afterMs)
{
    QTest::lastMouseTimestamp += afterMs;
    if (input == Input::Touch) {
        auto touch = QTest::touchEvent(widget, touchDevice());
        type == QEvent::MouseButtonPress ? touch.press(0, at, widget)
                                         : type == QEvent::MouseMove ? touch.move(0, at, widget) : touch.release(0, at, widget);
        return;
    }
    qt_handleMouseEvent(widget->window()->windowHandle(), widget->mapTo(widget->window(), QPointF(at)),
                        widget->mapToGlobal(QPointF(at)), type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                        type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, type, {}, QTest::lastMouseTimestamp);
}

// The three parts of a drag, for tests that check what happens in between.
inline void press(QWidget* widget, QPoint pos) { send(widget, Input::Mouse, QEvent::MouseButtonPress, pos, 1000); }
inline void moveTo(QWidget* widget, QPoint pos) { send(widget, Input::Mouse, QEvent::MouseMove, pos, 10); }
inline void release(QWidget* widget, QPoint pos) { send(widget, Input::Mouse, QEvent::MouseButtonRelease, pos, 80); }

// Strokes as a person makes them: each goes down at its first point, through
// the others 10 ms apart, and up at its last, at least 80 ms after it went
// down; the next one goes down 120 ms later, inside the double-click
// interval, so Qt's own double-click detection applies.
using Stroke = std::vector<QPoint>;
inline void strokes(QWidget* widget, Input input, const std::vector<Stroke>& strokes)
{
    int gap = 1000;  // no double click with anything before
    for (const Stroke& stroke : strokes) {
        send(widget, input, QEvent::MouseButtonPress, stroke.front(), gap);
        for (std::size_t i = 1; i < stroke.size(); ++i)
            send(widget, input, QEvent::MouseMove, stroke[i], 10);
        send(widget, input, QEvent::MouseButtonRelease, stroke.back(), std::max(10, 90 - 10 * int(stroke.size())));
        gap = 120;
    }
}

// A tap at `pos` (default: the widget's centre).
inline void click(QWidget* widget, QPoint pos) { strokes(widget, Input::Mouse, {{pos}}); }
inline void click(QWidget* widget) { click(widget, centreOf(widget)); }

// Down at `from`, `steps` moves evenly spaced towards `to` (the last one at
// `to`), up at `to`.
inline void drag(QWidget* widget, QPoint from, QPoint to, int steps = 8, Input input = Input::Mouse)
{
    Stroke stroke{from};
    for (int i = 1; i <= steps; ++i)
        stroke.push_back(from + (to - from) * i / steps);
    strokes(widget, input, {stroke});
}

// A one-finger touch drag (see drag()), or one cancelled at `to` when `cancel` is true.
inline void touchDrag(QWidget* widget, QPoint from, QPoint to, int steps = 8, bool cancel = false)
{
    if (!cancel)
        return drag(widget, from, to, steps, Input::Touch);
    send(widget, Input::Touch, QEvent::MouseButtonPress, from, 0);
    send(widget, Input::Touch, QEvent::MouseMove, to, 0);
    QTouchEvent event(QEvent::TouchCancel, touchDevice(), Qt::NoModifier, QList<QEventPoint>{});
    QApplication::sendEvent(widget, &event);
}

// The centre of `row` of a list widget, in its viewport (where taps on it go).
inline QPoint rowCentre(QListWidget* list, int row) { return list->visualItemRect(list->item(row)).center(); }

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
