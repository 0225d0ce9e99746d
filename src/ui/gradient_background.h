#pragma once
// A widget that only paints a linear gradient: used as the background layer
// of a screen or an area. It takes no mouse events (they reach the widgets
// beneath it), so it can lie under the content of its parent.

#include <QGradientStops>
#include <QPointF>
#include <QWidget>

namespace lightdeck {

class GradientBackground : public QWidget {
    Q_OBJECT
public:
    explicit GradientBackground(QWidget* parent = nullptr);

    // The gradient's colour stops (see evenGradientStops()).
    void setStops(const QGradientStops& stops);
    QGradientStops stops() const { return m_stops; }

    // Direction in unit coordinates of the widget; top to bottom by default.
    void setDirection(QPointF start, QPointF end);
    QPointF start() const { return m_start; }
    QPointF end() const { return m_end; }

    // Corner radius in pixels; 0 (the default) gives square corners.
    void setCornerRadius(qreal radius);
    qreal cornerRadius() const { return m_cornerRadius; }

    // When on, the widget keeps its parent's full rect (following resizes) and
    // stays beneath its siblings. Off by default: the owner sets the geometry.
    void setFillsParent(bool fills);
    bool fillsParent() const { return m_fillsParent; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followParent();

    QGradientStops m_stops;
    QPointF m_start{0.5, 0.0};
    QPointF m_end{0.5, 1.0};
    qreal m_cornerRadius = 0.0;
    bool m_fillsParent = false;
};

}  // namespace lightdeck
