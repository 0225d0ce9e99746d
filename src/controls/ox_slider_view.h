#pragma once
// The horizontal value control of the mode panels: a track, an overlay
// tinting the whole track, and a round thumb that follows a drag. It reports
// a normalised value (0 at the left end, 1 at the right end) to its delegate
// on every movement of a drag and once more when the drag ends; it emits no
// signals of its own. Owners map the value to their own ranges (minValue and
// maxValue are only stored for them) and tell several sliders apart by their
// view tag (ui/view_tag.h).
//
// Drags: a press anywhere on the control starts a drag once it has moved
// further than the platform's drag distance (QStyleHints::startDragDistance,
// 10 pixels by default); a press released before that is a tap and sends
// nothing. From the start of the drag, every move and the release run one
// drag step (slider_geometry.h): the thumb jumps to the finger, the delegate
// gets sliderViewValueChanged(), and after the release also
// sliderViewStopSlip(). A cancelled drag (touch cancel, or the control hidden
// or disabled mid-drag) sends sliderViewValueChanged() for its last position
// and no stop. Mouse and single-finger touch input both work.
//
// A disabled slider (setEnabled(false)) takes no drags but obeys every
// assignment. Its look is unchanged by the disabled state: owners show an
// unavailable slider by assigning grey colours.
//
// Geometry is in pixels in the control's coordinates. The travel (W - 30)
// follows the control's width; owners create sliders at their final size.
// The thumb (30 x 30) may stand out above and below a control lower than 30:
// it is then drawn by the control's parent widget, still outside the
// control's mouse area. Main thread only.

#include <QColor>
#include <QList>
#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QSizeF>
#include <QWidget>

#include "controls/slider_geometry.h"

namespace lightdeck {

class OxSliderBar;
class OxSliderThumb;
class OxSliderViewDelegate;

class OxSliderView : public QWidget {
    Q_OBJECT
public:
    // Builds the track (the control's size), the overlay over it, and the
    // thumb centred at (15, H/2). `frame` is in `parent`'s coordinates.
    explicit OxSliderView(const QRect& frame, QWidget* parent = nullptr);
    ~OxSliderView() override;

    // The normalised position, 0 when created. setValue() only stores the
    // number: the thumb does not move and the delegate is not told.
    double value() const { return m_value; }
    void setValue(double value) { m_value = value; }

    // Stored for the owner; never read by the control.
    double minValue() const { return m_minValue; }
    void setMinValue(double value) { m_minValue = value; }
    double maxValue() const { return m_maxValue; }
    void setMaxValue(double value) { m_maxValue = value; }

    // Thumb centre x as last set by a drag (after clamping); 0 before any drag.
    float pointX() const { return m_pointX; }
    // The thumb's travel: W - 30.
    float sliderInstance() const { return sliderGeometry().travel(); }
    // Thumb centre in the control's coordinates.
    QPointF thumbCentre() const { return m_thumbCentre; }

    OxSliderViewDelegate* delegate() const;
    void setDelegate(OxSliderViewDelegate* delegate);

    // Centre at W * degrees / 360 (not clamped), value degrees / 360, then
    // sliderViewValueChanged(). pointX is untouched.
    void setDegrees(float degrees);
    // true: centre at W / 2, value 0.5, sliderViewValueChanged().
    // false: nothing (it does not undo an earlier true).
    void setSliderInCenter(bool center);
    // true: the track and the overlay get fully rounded ends (radius half
    // their height, contents clipped). false: nothing.
    void setIsCornerRadius(bool rounded);
    bool isCornerRadius() const { return m_isCornerRadius; }

    // Size of the track, centred in the control; a zero width or height
    // stands for the control's size. Reading it resolves that (and stores
    // the resolved size). The overlay takes the same frame. Gradients already
    // on the track keep their size: set the size before the colours.
    QSizeF defaultSliderBarSize();
    void setDefaultSliderBarSize(QSizeF size);

    // The track's background colour, beneath any gradient. An invalid colour
    // means none given: opaque blue. Not painted until assigned.
    QColor defaultSliderBarColor() const;
    void setDefaultSliderBarColor(const QColor& color);

    // Lays a new left-to-right gradient of these colours (evenly spread) over
    // the track at its current size, above the earlier ones: the newest
    // assignment is the one seen. An empty list means the default pair
    // RGB(255,140,45), RGB(255,90,70).
    QList<QColor> defaultSliderBarColors() const;
    void setDefaultSliderBarColors(const QList<QColor>& colors);

    // The overlay's colour, a tint over the whole track. An invalid colour
    // means none given: grey RGB(153,153,153), which is also the colour of a
    // new control. Owners that want the track's gradient to show assign
    // Qt::transparent.
    QColor changeSliderBarColor() const;
    void setChangeSliderBarColor(const QColor& color);

    // The thumb, the track and the overlay.
    QWidget* slider() const;
    QWidget* defaultSliderBarView() const;
    QWidget* changeSliderBarView() const;

    // True while a drag is in progress (after the start threshold).
    bool isDragging() const { return m_dragging; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    enum class Phase { Began, Changed, Ended, Cancelled };

    void pressAt(QPointF pos);
    void moveTo(QPointF pos);
    void releaseAt(QPointF pos);
    void cancelDrag();
    // One call of the drag action at touch x.
    void dragStep(float x, Phase phase);
    void notifyValueChanged();
    void notifyStopSlip();
    void placeThumb(QPointF centre);
    void layoutBars();
    // The thumb lives in the parent widget (so it may stand out of a low
    // control) when there is one, in the control otherwise.
    void syncThumbHost();
    void syncThumbStacking();

    // The arithmetic at the control's current width (a width set while the
    // control is hidden counts at once, before any resize event).
    SliderGeometry sliderGeometry() const { return SliderGeometry(static_cast<float>(width())); }

    double m_value = 0.0;
    double m_minValue = 0.0;
    double m_maxValue = 0.0;
    float m_pointX = 0.0f;
    QPointF m_thumbCentre;

    OxSliderViewDelegate* m_delegate = nullptr;
    // Set when the delegate is a QObject: its destruction clears the delegate.
    QPointer<QObject> m_delegateObject;
    bool m_delegateIsObject = false;

    QSizeF m_barSize;  // as assigned, when not following the control
    // True while the track has the control's size (nothing, or a size with a
    // zero component, assigned): it then follows the control's resizes.
    bool m_barSizeFollowsControl = true;
    QColor m_barColor;                 // invalid until assigned
    QList<QColor> m_barColors;         // empty until assigned
    QColor m_changeColor;              // invalid until assigned
    bool m_isCornerRadius = false;

    OxSliderBar* m_track = nullptr;
    OxSliderBar* m_overlay = nullptr;
    QPointer<OxSliderThumb> m_thumb;

    bool m_pressed = false;
    bool m_dragging = false;
    int m_touchId = -1;  // the tracked touch point, -1 for the mouse
    QPointF m_pressPos;
    QPointF m_lastPos;
};

}  // namespace lightdeck
