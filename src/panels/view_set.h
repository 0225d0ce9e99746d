#pragma once
// ViewSET, the preset colour panel: a column of seven colour buttons (tags
// 10 red, 11 orange, 12 yellow, 13 green, 14 cyan, 15 blue, 16 purple). A
// tap sends the colour to the lights under control as the frame
// AA 04 00 <colour 01..07> 00 00 BB and marks that button as the chosen one
// (it alone shows the "ic_light" symbol).
//
// While it is built the panel reads the preset colour reports stored so far:
// a marker 0xF1..0xF6 at position 3 greys out the button of tag marker - 230
// (orange .. purple) and makes it stop taking touches. Red has no marker.
//
// The panel is 294 pixels high: seven rows 42 apart, each button 34 high,
// 50 in from either side. Main thread only.

#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

class QAbstractButton;

namespace lightdeck {

class ViewSET : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowPitch = 42;
    static constexpr int kButtonHeight = 34;
    static constexpr int kSideMargin = 50;
    // Height of the seven rows, the height the control screen gives the panel.
    static constexpr int kPanelHeight = 294;

    explicit ViewSET(QWidget* parent = nullptr);
    // initWithFrame: geometry in the parent's coordinates.
    ViewSET(const QRect& frame, QWidget* parent = nullptr);

    // Red, orange, yellow, green, cyan, blue, purple.
    static QList<QColor> arrayColors();
    // The grey of a shielded button.
    static QColor shieldedColor();

    // Colour number of the last tap as two digits ("01" .. "07"); empty
    // before the first tap.
    QString colorStr() const { return m_colorStr; }
    // Byte 2 of the frame (brightness, percent). No control changes it: 0.
    int brightValue() const { return m_brightValue; }

public slots:
    // A tap on a colour button: sends its colour and selects it.
    void colorButtonClicked(QAbstractButton* button);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void createUI();
    void layoutButtons();

    QList<QAbstractButton*> m_buttons;
    QString m_colorStr;
    int m_brightValue = 0;
};

}  // namespace lightdeck
