#include "controls/ox_slider_view.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>
#include <QTouchEvent>

#include "controls/ox_slider_bar.h"
#include "controls/ox_slider_thumb.h"
#include "controls/ox_slider_view_delegate.h"
#include "ui/touch_tracking.h"

namespace lightdeck {

namespace {
const QColor kDefaultBarColor(0, 0, 255);
const QColor kDefaultChangeColor(153, 153, 153);
const QList<QColor> kDefaultBarColors{QColor(255, 140, 45), QColor(255, 90, 70)};

int startDragDistance()
{
    return QGuiApplication::styleHints()->startDragDistance();
}
}  // namespace

OxSliderView::OxSliderView(const QRect& frame, QWidget* parent)
    : QWidget(parent)
{
    setGeometry(frame);
    setAttribute(Qt::WA_NoSystemBackground);  // a clear control
    setAttribute(Qt::WA_AcceptTouchEvents);

    // Bottom to top: track, overlay, thumb.
    m_track = new OxSliderBar(this);
    m_overlay = new OxSliderBar(this);
    m_overlay->setBackgroundColor(changeSliderBarColor());
    layoutBars();

    m_thumb = new OxSliderThumb(this);
    syncThumbHost();
    placeThumb(QPointF(SliderGeometry::kHalfThumb, height() / 2.0));
}

OxSliderView::~OxSliderView()
{
    // A thumb living in the parent widget goes with the control.
    if (m_thumb && m_thumb->parent() != this)
        delete m_thumb.data();
}

OxSliderViewDelegate* OxSliderView::delegate() const
{
    if (m_delegateIsObject && !m_delegateObject)
        return nullptr;
    return m_delegate;
}

void OxSliderView::setDelegate(OxSliderViewDelegate* delegate)
{
    m_delegate = delegate;
    QObject* object = dynamic_cast<QObject*>(delegate);
    m_delegateObject = object;
    m_delegateIsObject = object != nullptr;
}

void OxSliderView::notifyValueChanged()
{
    if (OxSliderViewDelegate* receiver = delegate())
        receiver->sliderViewValueChanged(this);
}

void OxSliderView::notifyStopSlip()
{
    if (OxSliderViewDelegate* receiver = delegate())
        receiver->sliderViewStopSlip(this);
}

// --- assignments -----------------------------------------------------------

void OxSliderView::setDegrees(float degrees)
{
    placeThumb(QPointF(sliderGeometry().centreForDegrees(degrees), height() / 2.0));
    m_value = SliderGeometry::valueForDegrees(degrees);
    notifyValueChanged();
}

void OxSliderView::setSliderInCenter(bool center)
{
    if (!center)
        return;
    placeThumb(QPointF(sliderGeometry().centreForMiddle(), height() / 2.0));
    m_value = 0.5;
    notifyValueChanged();
}

void OxSliderView::setIsCornerRadius(bool rounded)
{
    if (!rounded)
        return;
    m_isCornerRadius = true;
    m_track->setRounded(true);
    m_overlay->setRounded(true);
}

QSizeF OxSliderView::defaultSliderBarSize()
{
    if (m_barSizeFollowsControl)
        m_barSize = QSizeF(size());
    return m_barSize;
}

void OxSliderView::setDefaultSliderBarSize(QSizeF barSize)
{
    m_barSizeFollowsControl = barSize.width() == 0.0 || barSize.height() == 0.0;
    m_barSize = barSize;
    layoutBars();
}

void OxSliderView::layoutBars()
{
    const QSizeF bar = defaultSliderBarSize();
    const QRectF frame((width() - bar.width()) / 2.0, (height() - bar.height()) / 2.0, bar.width(),
                       bar.height());
    m_track->setGeometry(frame.toRect());
    m_overlay->setGeometry(frame.toRect());
}

QColor OxSliderView::defaultSliderBarColor() const
{
    return m_barColor.isValid() ? m_barColor : kDefaultBarColor;
}

void OxSliderView::setDefaultSliderBarColor(const QColor& color)
{
    m_barColor = color.isValid() ? color : kDefaultBarColor;
    m_track->setBackgroundColor(m_barColor);
}

QList<QColor> OxSliderView::defaultSliderBarColors() const
{
    return m_barColors.isEmpty() ? kDefaultBarColors : m_barColors;
}

void OxSliderView::setDefaultSliderBarColors(const QList<QColor>& colors)
{
    m_barColors = colors.isEmpty() ? kDefaultBarColors : colors;
    m_track->addGradientLayer(m_barColors);
}

QColor OxSliderView::changeSliderBarColor() const
{
    return m_changeColor.isValid() ? m_changeColor : kDefaultChangeColor;
}

void OxSliderView::setChangeSliderBarColor(const QColor& color)
{
    m_changeColor = color.isValid() ? color : kDefaultChangeColor;
    m_overlay->setBackgroundColor(m_changeColor);
}

QWidget* OxSliderView::slider() const { return m_thumb; }
QWidget* OxSliderView::defaultSliderBarView() const { return m_track; }
QWidget* OxSliderView::changeSliderBarView() const { return m_overlay; }

// --- thumb -----------------------------------------------------------------

void OxSliderView::placeThumb(QPointF centre)
{
    m_thumbCentre = centre;
    if (!m_thumb)
        return;
    QPointF topLeft = centre - QPointF(SliderGeometry::kHalfThumb, SliderGeometry::kHalfThumb);
    if (m_thumb->parentWidget() != this)
        topLeft += QPointF(pos());
    m_thumb->move(topLeft.toPoint());
}

void OxSliderView::syncThumbHost()
{
    if (!m_thumb)
        return;
    QWidget* host = parentWidget() ? parentWidget() : this;
    if (m_thumb->parentWidget() != host) {
        m_thumb->setParent(host);
        m_thumb->setVisible(host == this || !isHidden());
    }
    placeThumb(m_thumbCentre);
    syncThumbStacking();
}

void OxSliderView::syncThumbStacking()
{
    if (!m_thumb || m_thumb->parentWidget() == this) {
        if (m_thumb)
            m_thumb->raise();
        return;
    }
    // Right above the control: under the sibling that follows it, if any.
    const QObjectList& siblings = parentWidget()->children();
    const qsizetype at = siblings.indexOf(this);
    for (qsizetype i = at + 1; i >= 1 && i < siblings.size(); ++i) {
        QObject* next = siblings.at(i);
        if (next != m_thumb && next->isWidgetType() && !static_cast<QWidget*>(next)->isWindow()) {
            m_thumb->stackUnder(static_cast<QWidget*>(next));
            return;
        }
    }
    m_thumb->raise();
}

// --- drags -------------------------------------------------------------------

void OxSliderView::dragStep(float x, Phase phase)
{
    const SliderGeometry::DragStep step = sliderGeometry().drag(x, m_pointX, m_value);
    if (step.moved) {
        m_pointX = step.pointX;
        placeThumb(QPointF(m_pointX, m_thumbCentre.y()));
        m_value = step.value;
    }
    // Sent whether or not the thumb moved; the stop comes after it, and only
    // for a drag that ended normally.
    notifyValueChanged();
    if (phase == Phase::Ended)
        notifyStopSlip();
}

void OxSliderView::pressAt(QPointF pos)
{
    m_pressed = true;
    m_dragging = false;
    m_pressPos = pos;
    m_lastPos = pos;
}

void OxSliderView::moveTo(QPointF pos)
{
    if (!m_pressed)
        return;
    m_lastPos = pos;
    if (!m_dragging) {
        // A press is a tap until it has moved far enough to be a drag.
        if ((pos - m_pressPos).manhattanLength() < startDragDistance())
            return;
        m_dragging = true;
        dragStep(static_cast<float>(pos.x()), Phase::Began);
        return;
    }
    dragStep(static_cast<float>(pos.x()), Phase::Changed);
}

void OxSliderView::releaseAt(QPointF pos)
{
    if (!m_pressed)
        return;
    const bool wasDragging = m_dragging;
    m_pressed = false;
    m_dragging = false;
    m_touchId = -1;
    if (wasDragging)
        dragStep(static_cast<float>(pos.x()), Phase::Ended);
}

void OxSliderView::cancelDrag()
{
    if (!m_pressed)
        return;
    const bool wasDragging = m_dragging;
    m_pressed = false;
    m_dragging = false;
    m_touchId = -1;
    if (wasDragging)
        dragStep(static_cast<float>(m_lastPos.x()), Phase::Cancelled);
}

void OxSliderView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_touchId >= 0) {
        event->ignore();
        return;
    }
    pressAt(event->position());
    event->accept();
}

void OxSliderView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed || m_touchId >= 0) {
        event->ignore();
        return;
    }
    moveTo(event->position());
    event->accept();
}

void OxSliderView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressed || m_touchId >= 0) {
        event->ignore();
        return;
    }
    releaseAt(event->position());
    event->accept();
}

bool OxSliderView::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd: {
        // One finger drives the thumb: the first one down.
        const QEventPoint* point = trackedTouchPoint(event, m_touchId);
        if (!point) {
            event->accept();
            return true;
        }
        if (event->type() == QEvent::TouchBegin) {
            pressAt(point->position());
            m_touchId = point->id();
        } else if (point->state() == QEventPoint::Released || event->type() == QEvent::TouchEnd) {
            releaseAt(point->position());
        } else {
            moveTo(point->position());
        }
        event->accept();
        return true;
    }
    case QEvent::TouchCancel:
        cancelDrag();
        event->accept();
        return true;
    case QEvent::ParentChange:
        syncThumbHost();
        break;
    case QEvent::ZOrderChange:
        syncThumbStacking();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void OxSliderView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutBars();
    placeThumb(QPointF(m_thumbCentre.x(), height() / 2.0));
}

void OxSliderView::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    placeThumb(m_thumbCentre);
}

void OxSliderView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_thumb && m_thumb->parentWidget() != this) {
        syncThumbStacking();
        m_thumb->show();
    }
}

void OxSliderView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    cancelDrag();
    if (m_thumb && m_thumb->parentWidget() != this && isHidden())
        m_thumb->hide();
}

void OxSliderView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        cancelDrag();
}

}  // namespace lightdeck
