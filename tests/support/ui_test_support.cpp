#include "support/ui_test_support.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QListWidget>
#include <QPointingDevice>
#include <QTest>

#include "ui/view_tag.h"

namespace lightdeck::testing {

bool showWindow(QWidget* widget, QSize size)
{
    if (!size.isEmpty())
        widget->resize(size);
    widget->show();
    return QTest::qWaitForWindowExposed(widget);
}

QPoint centreOf(const QWidget* widget) { return widget->rect().center(); }

void click(QWidget* widget, QPoint pos) { QTest::mouseClick(widget, Qt::LeftButton, {}, pos); }

void click(QWidget* widget) { click(widget, centreOf(widget)); }

void press(QWidget* widget, QPoint pos) { QTest::mousePress(widget, Qt::LeftButton, {}, pos); }

void moveTo(QWidget* widget, QPoint pos)
{
    // QTest::mouseMove() may warp the cursor instead of sending an event on
    // some platforms: send the move with the button held ourselves.
    QMouseEvent event(QEvent::MouseMove, QPointF(pos), widget->mapToGlobal(QPointF(pos)),
                      Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void release(QWidget* widget, QPoint pos) { QTest::mouseRelease(widget, Qt::LeftButton, {}, pos); }

void drag(QWidget* widget, QPoint from, QPoint to, int steps)
{
    steps = std::max(steps, 1);
    press(widget, from);
    for (int i = 1; i <= steps; ++i) {
        const QPoint at = from + (to - from) * i / steps;
        moveTo(widget, at);
    }
    release(widget, to);
}

void longPress(QWidget* widget, QPoint pos, int holdMs)
{
    press(widget, pos);
    QTest::qWait(holdMs);
    release(widget, pos);
}

QPointingDevice* touchDevice()
{
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
}

void touchDrag(QWidget* widget, QPoint from, QPoint to, int steps, bool cancel)
{
    steps = std::max(steps, 1);
    QTest::touchEvent(widget, touchDevice()).press(0, from, widget);
    for (int i = 1; i <= steps; ++i)
        QTest::touchEvent(widget, touchDevice()).move(0, from + (to - from) * i / steps, widget);
    if (cancel) {
        QList<QEventPoint> points;
        QTouchEvent event(QEvent::TouchCancel, touchDevice(), Qt::NoModifier, points);
        QApplication::sendEvent(widget, &event);
    } else {
        QTest::touchEvent(widget, touchDevice()).release(0, to, widget);
    }
}

bool clickListRow(QListWidget* list, int row)
{
    QListWidgetItem* item = list->item(row);
    if (!item)
        return false;
    list->scrollToItem(item);
    const QRect rect = list->visualItemRect(item);
    click(list->viewport(), rect.center());
    return true;
}

QWidget* findByTag(QWidget* root, int tag) { return viewWithTag(root, tag); }

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QTest::qWait(5);
    }
    return true;
}

void processEvents()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QImage grabImage(QWidget* widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

}  // namespace lightdeck::testing
