#pragma once
// Helpers for screen and control tests on the offscreen platform: input as a
// person gives it (clicks, drags, touches, long presses), finding widgets by
// view tag, waiting for a condition with a bound, and grabbing pixels.
//
// Positions are in the given widget's coordinates. Mouse helpers send the
// events to that widget through QTest (a press, the moves and the release all
// go to it, as with the implicit grab of a real press); events it ignores
// propagate to its parents as usual.

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <functional>

class QListWidget;
class QPointingDevice;

namespace lightdeck::testing {

// Shows `widget` (a window) at `size` (unless empty) and waits until it is
// exposed. False when it did not get exposed.
bool showWindow(QWidget* widget, QSize size = {});

// The centre of the widget's rect.
QPoint centreOf(const QWidget* widget);

// Left-button click (press and release without movement) at `pos`
// (default: the widget's centre).
void click(QWidget* widget, QPoint pos);
void click(QWidget* widget);

// Press at `from`, `steps` moves evenly spaced towards `to` (the last one at
// `to`), release at `to`. steps >= 1.
void drag(QWidget* widget, QPoint from, QPoint to, int steps = 8);
// The three parts of a drag, for tests that check what happens in between.
void press(QWidget* widget, QPoint pos);
void moveTo(QWidget* widget, QPoint pos);  // with the left button held
void release(QWidget* widget, QPoint pos);

// Presses at `pos`, keeps the button down for `holdMs` (the event loop runs
// meanwhile, so long-press timers fire), then releases.
void longPress(QWidget* widget, QPoint pos, int holdMs = 1100);

// A touch screen device for touch events (created once).
QPointingDevice* touchDevice();
// A one-finger touch drag: begin at `from`, `steps` updates towards `to`,
// then end at `to` (or cancel there when `cancel` is true).
void touchDrag(QWidget* widget, QPoint from, QPoint to, int steps = 8, bool cancel = false);

// Clicks the centre of `row` of a list widget (on its viewport). False when
// the row does not exist.
bool clickListRow(QListWidget* list, int row);

// The first descendant of `root` (or root) with view tag `tag`, as T, or
// nullptr (see ui/view_tag.h for the search order).
QWidget* findByTag(QWidget* root, int tag);
template <typename T>
T* findByTag(QWidget* root, int tag)
{
    return qobject_cast<T*>(findByTag(root, tag));
}

// Runs the event loop until `condition` holds or `timeoutMs` passes; returns
// the condition's last value. Never asserts on time: use it as
// ASSERT_TRUE(waitUntil([&] { return ...; })).
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Processes pending events, including deferred deletions.
void processEvents();

// The widget's pixels (with its children) as an ARGB32 image.
QImage grabImage(QWidget* widget);

}  // namespace lightdeck::testing
