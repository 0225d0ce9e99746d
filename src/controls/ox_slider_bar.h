#pragma once
// The track and the overlay of an OxSliderView: a rectangle with an optional
// background colour, any number of left-to-right gradient layers painted in
// the order added (each at the size the bar had when it was added), and
// optionally fully rounded ends that clip all of it. Painting ignores the
// enabled state. Takes no mouse events.

#include <QColor>
#include <QList>
#include <QRectF>
#include <QWidget>

namespace lightdeck {

class OxSliderBar : public QWidget {
    Q_OBJECT
public:
    explicit OxSliderBar(QWidget* parent = nullptr);

    // An invalid colour paints no background.
    void setBackgroundColor(const QColor& color);
    QColor backgroundColor() const { return m_background; }

    // Adds a gradient layer on top of the others, with the bar's current
    // size. Layers fully hidden by an opaque newer one are dropped.
    void addGradientLayer(const QList<QColor>& colors);
    int gradientLayerCount() const { return static_cast<int>(m_layers.size()); }

    // Radius half the bar's height, contents clipped.
    void setRounded(bool rounded);
    bool isRounded() const { return m_rounded; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Layer {
        QRectF rect;
        QList<QColor> colors;
    };
    QColor m_background;
    QList<Layer> m_layers;
    bool m_rounded = false;
};

}  // namespace lightdeck
