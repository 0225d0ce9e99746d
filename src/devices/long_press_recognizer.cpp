#include "devices/long_press_recognizer.h"

#include <QAbstractButton>
#include <QEvent>
#include <QMouseEvent>
#include <QTouchEvent>

namespace lightdeck {

LongPressRecognizer::LongPressRecognizer(QWidget* target, int minimumPressMs)
    : QObject(target)
    , m_target(target)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(minimumPressMs);
    connect(&m_timer, &QTimer::timeout, this, &LongPressRecognizer::fire);
    if (target)
        target->installEventFilter(this);
}

bool LongPressRecognizer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_target)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            begin(mouse->position().toPoint());
        return false;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        return (mouse->buttons() & Qt::LeftButton) ? moveTo(mouse->position().toPoint()) : false;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            end();
        return false;
    case QEvent::TouchBegin: {
        auto* touch = static_cast<QTouchEvent*>(event);
        // A second finger is not a long press of one.
        if (touch->points().size() == 1)
            begin(touch->points().first().position().toPoint());
        else
            end();
        return false;
    }
    case QEvent::TouchUpdate: {
        auto* touch = static_cast<QTouchEvent*>(event);
        if (touch->points().size() != 1) {
            end();
            return false;
        }
        return moveTo(touch->points().first().position().toPoint());
    }
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::Hide:
    case QEvent::EnabledChange:
        end();
        return false;
    default:
        return false;
    }
}

void LongPressRecognizer::begin(QPoint pos)
{
    m_start = pos;
    m_tracking = true;
    m_fired = false;
    m_timer.start();
}

bool LongPressRecognizer::moveTo(QPoint pos)
{
    if (!m_tracking)
        return false;
    if (m_fired)
        return true;  // keeps a recognised press from pressing the button again
    if ((pos - m_start).manhattanLength() > kAllowableMovement)
        end();
    return false;
}

void LongPressRecognizer::end()
{
    m_timer.stop();
    m_tracking = false;
}

void LongPressRecognizer::fire()
{
    if (!m_tracking || !m_target)
        return;
    m_fired = true;
    // A recognised press is not a tap: the button leaves its pressed state,
    // so the release that follows does not click it.
    if (auto* button = qobject_cast<QAbstractButton*>(m_target.data()))
        button->setDown(false);
    emit recognized(m_start);
}

}  // namespace lightdeck
