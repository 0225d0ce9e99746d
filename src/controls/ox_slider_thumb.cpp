#include "controls/ox_slider_thumb.h"

#include <QPainter>

namespace lightdeck {

const QColor& OxSliderThumb::ringColor()
{
    static const QColor color(43, 135, 255);
    return color;
}

OxSliderThumb::OxSliderThumb(QWidget* parent)
    : QWidget(parent)
{
    resize(kSize, kSize);
    // The slider follows the finger; the thumb is only drawn.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void OxSliderThumb::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    // The ring sits inside the 30 x 30 square (a widget cannot draw beyond
    // its rect), on a circle half a ring width in from the edge.
    const qreal inset = kRingWidth / 2.0;
    const QRectF circle = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    QPen pen(ringColor(), kRingWidth);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(circle);
}

}  // namespace lightdeck
