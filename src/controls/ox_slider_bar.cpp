#include "controls/ox_slider_bar.h"

#include <QPainter>
#include <QPainterPath>

#include "ui/gradient_painting.h"

namespace lightdeck {

namespace {
bool allOpaque(const QList<QColor>& colors)
{
    if (colors.isEmpty())
        return false;
    for (const QColor& color : colors)
        if (color.alpha() != 255)
            return false;
    return true;
}
}  // namespace

OxSliderBar::OxSliderBar(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void OxSliderBar::setBackgroundColor(const QColor& color)
{
    m_background = color;
    update();
}

void OxSliderBar::addGradientLayer(const QList<QColor>& colors)
{
    const QRectF layerRect(QPointF(0, 0), QSizeF(size()));
    // Owners re-colour a slider when they grey it out; a layer entirely
    // covered by an opaque newer one can never show again.
    if (allOpaque(colors)) {
        m_layers.removeIf([&layerRect](const Layer& layer) { return layerRect.contains(layer.rect); });
    }
    m_layers.append({layerRect, colors});
    update();
}

void OxSliderBar::setRounded(bool rounded)
{
    m_rounded = rounded;
    update();
}

void OxSliderBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (m_rounded) {
        const qreal radius = height() / 2.0;
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), radius, radius);
        painter.setClipPath(clip);
    }
    if (m_background.isValid())
        painter.fillRect(rect(), m_background);
    for (const Layer& layer : m_layers) {
        // Left edge to right edge along the middle.
        paintLinearGradient(painter, layer.rect, evenGradientStops(layer.colors), QPointF(0.0, 1.0),
                            QPointF(1.0, 1.0));
    }
}

}  // namespace lightdeck
