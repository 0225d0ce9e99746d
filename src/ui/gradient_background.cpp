#include "ui/gradient_background.h"

#include <QEvent>
#include <QPainter>

#include "ui/gradient_painting.h"

namespace lightdeck {

GradientBackground::GradientBackground(QWidget* parent)
    : QWidget(parent)
{
    // A background only: clicks go to whatever lies beneath or beside it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void GradientBackground::setStops(const QGradientStops& stops)
{
    m_stops = stops;
    update();
}

void GradientBackground::setDirection(QPointF start, QPointF end)
{
    m_start = start;
    m_end = end;
    update();
}

void GradientBackground::setCornerRadius(qreal radius)
{
    m_cornerRadius = radius;
    update();
}

void GradientBackground::setFillsParent(bool fills)
{
    if (fills == m_fillsParent)
        return;
    m_fillsParent = fills;
    if (QWidget* parent = parentWidget()) {
        if (fills)
            parent->installEventFilter(this);
        else
            parent->removeEventFilter(this);
    }
    followParent();
}

void GradientBackground::followParent()
{
    if (!m_fillsParent || !parentWidget())
        return;
    setGeometry(parentWidget()->rect());
    lower();
}

bool GradientBackground::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        followParent();
    return QWidget::eventFilter(watched, event);
}

void GradientBackground::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintLinearGradient(painter, QRectF(rect()), m_stops, m_start, m_end, m_cornerRadius);
}

}  // namespace lightdeck
