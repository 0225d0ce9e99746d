#pragma once
// Painting of linear gradient backgrounds, shared by every widget that shows
// one (screen backgrounds, group areas, slider tracks).

#include <QColor>
#include <QGradientStops>
#include <QList>
#include <QPointF>
#include <QRectF>

class QPainter;

namespace lightdeck {

// Stops spread evenly from 0 to 1 in list order. One colour gives a solid
// fill (the colour at both ends); an empty list gives no stops.
QGradientStops evenGradientStops(const QList<QColor>& colors);

// Fills `rect` with a linear gradient. `start` and `end` are in the rect's
// unit coordinates ((0,0) top left, (1,1) bottom right); the defaults run
// from the top edge to the bottom edge. `cornerRadius` (pixels, 0 for square
// corners) rounds the filled shape. Antialiased; the painter's state is
// restored afterwards. Empty stops paint nothing.
void paintLinearGradient(QPainter& painter, const QRectF& rect, const QGradientStops& stops,
                         QPointF start = {0.5, 0.0}, QPointF end = {0.5, 1.0},
                         qreal cornerRadius = 0.0);

}  // namespace lightdeck
