#pragma once
// Pieces shared by the slider panels (colour temperature, hue): the two-line
// titles, the value read-outs and the look of a shielded slider.

#include <QColor>
#include <QPixmap>
#include <QRect>
#include <QString>

class QLabel;
class QWidget;

namespace lightdeck {

class OxSliderView;

namespace panel_widgets {

// A white, centred title of two lines: `first` (the Chinese name, 17 px
// system font) over `second` (the English name, 13 px), at `frame`.
QLabel* createTitleLabel(QWidget* parent, const QRect& frame, const QString& first,
                         const QString& second);

// A white bold 20 px read-out, right-aligned, whose right edge lies 35 px
// inside the panel's right edge and whose bottom is the title's bottom.
QLabel* createReadoutLabel(QWidget* parent, int panelWidth, const QRect& titleFrame,
                           const QString& text);

// imageNamed() through the application's pixmap cache: the hue wheel is
// built with every control screen, and rendering its SVG is most of the
// time that takes.
QPixmap cachedImage(const QString& name, QSize size);

// The grey of a control a light does not support (0.5 in each channel).
QColor shieldGrey();

// Shields a slider: it stops taking drags, its overlay turns grey and its
// track shows `stopCount` grey stops (the same count as its normal colours).
void shieldSlider(OxSliderView* slider, int stopCount);

// The marker byte that shields a slider; the other markers (F1..FE) name
// controls the slider panels do not have.
inline constexpr unsigned kShieldMarker = 0xFF;

}  // namespace panel_widgets
}  // namespace lightdeck
