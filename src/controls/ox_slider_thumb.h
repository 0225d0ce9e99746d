#pragma once
// The thumb of an OxSliderView: a 30 x 30 white disc with a 2-pixel ring of
// RGB(43,135,255). Takes no mouse events (the slider tracks the drag) and
// ignores the enabled state when painting.

#include <QWidget>

namespace lightdeck {

class OxSliderThumb : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSize = 30;
    static constexpr int kRingWidth = 2;
    static const QColor& ringColor();

    explicit OxSliderThumb(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace lightdeck
