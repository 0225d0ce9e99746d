#include "controls/ox_toast.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPropertyAnimation>
#include <QTextLayout>
#include <QTimer>

#include <cmath>

#include "common/log.h"
#include "ui/application_window.h"

namespace lightdeck {

namespace {
const QColor kBoxColor(144, 144, 144);
constexpr int kSideMargin = 40;   // measuring width: screen width minus this
constexpr int kMeasureHeight = 30;
constexpr int kPadding = 10;      // box width: text width plus this
}  // namespace

QFont OxToast::toastFont()
{
    QFont font = QApplication::font();
    // Sizes here are in device-independent pixels, like every other length.
    font.setPixelSize(14);
    return font;
}

QSize OxToast::measureText(const QString& message, QSize screen)
{
    if (message.isEmpty())
        return {0, 0};
    const qreal limit = std::max(0, screen.width() - kSideMargin);
    const QFont font = toastFont();
    const QFontMetricsF metrics(font);
    // Lay out line by line within the width limit, breaking at word
    // boundaries, or inside a word too long for a line; explicit line
    // breaks start new lines.
    qreal width = 0.0;
    qreal height = 0.0;
    const QStringList paragraphs = message.split(QLatin1Char('\n'));
    for (const QString& paragraph : paragraphs) {
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(limit);
            width = std::max(width, line.naturalTextWidth());
            height += metrics.height();
        }
        layout.endLayout();
    }
    // The measuring height (30) bounds nothing here: a taller text keeps its
    // height and the box clips it (see the header).
    (void)kMeasureHeight;
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

QRect OxToast::boxFrame(const QString& message, QSize screen)
{
    const QSize text = measureText(message, screen);
    const int boxWidth = text.width() + kPadding;
    const int x = static_cast<int>(std::lround(screen.width() / 2.0 - boxWidth / 2.0));
    return {x, screen.height() - kBottomOffset, boxWidth, kBoxHeight};
}

QRect OxToast::labelFrame(const QString& message, QSize screen)
{
    const QSize text = measureText(message, screen);
    const int y = static_cast<int>(std::lround(kBoxHeight / 2.0 - text.height() / 2.0));
    return {kPadding / 2, y, text.width(), text.height()};
}

void OxToast::showToastWithMessage(const QString& message)
{
    QWidget* window = applicationWindow();
    if (!window) {
        static bool reported = false;
        if (!reported) {
            reported = true;
            log::warning("toast without an application window: " + message.toStdString());
        }
        return;
    }
    // Owned by the window from the start (so it goes with the window), but
    // not on screen until its first animation has run.
    new OxToast(message, mainScreenSize(), window);
}

OxToast::OxToast(const QString& message, QSize screen, QWidget* window)
    : QWidget(window)
    , m_message(message)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);  // never in the user's way
    setGeometry(boxFrame(message, screen));
    hide();

    m_label = new QLabel(this);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setFont(toastFont());
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    m_label->setPalette(palette);
    m_label->setGeometry(labelFrame(message, screen));
    m_label->setText(message);
    if (m_label->geometry().top() < 0) {
        // Text taller than the box: keep it inside the rounded shape.
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), kBoxHeight / 2.0, kBoxHeight / 2.0);
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }

    auto* effect = new QGraphicsOpacityEffect(this);
    effect->setOpacity(1.0);
    setGraphicsEffect(effect);

    // The box is already opaque: this first animation only delays its
    // appearance by its duration.
    auto* fadeIn = new QPropertyAnimation(effect, "opacity", this);
    fadeIn->setDuration(kFadeMs);
    fadeIn->setStartValue(1.0);
    fadeIn->setEndValue(1.0);
    connect(fadeIn, &QPropertyAnimation::finished, this, &OxToast::appear);
    fadeIn->start(QAbstractAnimation::DeleteWhenStopped);
}

void OxToast::appear()
{
    show();
    raise();
    QTimer::singleShot(kShowMs, this, &OxToast::showToast);
}

void OxToast::showToast()
{
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(graphicsEffect());
    if (!effect) {
        deleteLater();
        return;
    }
    auto* fadeOut = new QPropertyAnimation(effect, "opacity", this);
    fadeOut->setDuration(kFadeMs);
    fadeOut->setStartValue(effect->opacity());
    fadeOut->setEndValue(0.0);
    connect(fadeOut, &QPropertyAnimation::finished, this, [this] {
        hide();
        deleteLater();
    });
    fadeOut->start(QAbstractAnimation::DeleteWhenStopped);
}

void OxToast::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const qreal radius = kBoxHeight / 2.0;
    QPainterPath box;
    box.addRoundedRect(QRectF(rect()), radius, radius);
    painter.fillPath(box, kBoxColor);
}

}  // namespace lightdeck
