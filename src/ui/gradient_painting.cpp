#include "ui/gradient_painting.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace lightdeck {

QGradientStops evenGradientStops(const QList<QColor>& colors)
{
    QGradientStops stops;
    if (colors.isEmpty())
        return stops;
    if (colors.size() == 1) {
        stops.append({0.0, colors.front()});
        stops.append({1.0, colors.front()});
        return stops;
    }
    const qsizetype last = colors.size() - 1;
    for (qsizetype i = 0; i <= last; ++i)
        stops.append({static_cast<qreal>(i) / static_cast<qreal>(last), colors[i]});
    return stops;
}

void paintLinearGradient(QPainter& painter, const QRectF& rect, const QGradientStops& stops,
                         QPointF start, QPointF end, qreal cornerRadius)
{
    if (stops.isEmpty() || rect.isEmpty())
        return;
    const auto at = [&rect](QPointF unit) {
        return QPointF(rect.left() + unit.x() * rect.width(), rect.top() + unit.y() * rect.height());
    };
    QLinearGradient gradient(at(start), at(end));
    gradient.setStops(stops);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    if (cornerRadius > 0.0) {
        const qreal radius = std::min({cornerRadius, rect.width() / 2.0, rect.height() / 2.0});
        painter.drawRoundedRect(rect, radius, radius);
    } else {
        painter.drawRect(rect);
    }
    painter.restore();
}

}  // namespace lightdeck
