#include "panels/cell_eff_mode.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

#include "ui/images.h"

namespace lightdeck {
namespace {

constexpr int kIconTop = 3;      // below the tile's top
constexpr int kCaptionGap = 3;   // between icon and caption
constexpr int kCaptionHeight = 14;
constexpr int kCaptionPixelSize = 12;  // system font size 12 (points = device-independent pixels)

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// `image` scaled to cover `target` and cropped to it, centred (aspect fill).
void paintAspectFill(QPainter& painter, const QRect& target, const QString& name)
{
    const QPixmap natural = imageNamed(name);
    if (natural.isNull() || target.isEmpty())
        return;
    QSizeF size = natural.deviceIndependentSize();
    size.scale(target.size(), Qt::KeepAspectRatioByExpanding);
    const QPixmap pixmap = imageNamed(name, size.toSize());
    const QSizeF drawn = pixmap.deviceIndependentSize();
    const QPointF origin(target.center().x() + 1 - drawn.width() / 2, target.center().y() + 1 - drawn.height() / 2);
    painter.drawPixmap(origin, pixmap);
}

}  // namespace

CellEFFMode::CellEFFMode(QWidget* parent)
    : QWidget(parent)
{
    createUI();
}

CellEFFMode::CellEFFMode(const QRect& frame, QWidget* parent)
    : QWidget(parent)
{
    setGeometry(frame);
    createUI();
}

void CellEFFMode::createUI()
{
    // Clicks go through to the grid, which owns selection and shielding.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void CellEFFMode::setDict(const EffectMode& dict)
{
    m_dict = dict;
    m_title = qs(dict.title);
    m_icon = imageNamed(qs(dict.imageName), QSize(kIconSize, kIconSize));
    update();
}

void CellEFFMode::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

void CellEFFMode::paintEvent(QPaintEvent*)
{
    // Fixed colours only: a disabled (shielded) tile must look the same.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.setClipPath(clip);
    painter.fillRect(rect(), Qt::white);

    if (m_selected)
        paintAspectFill(painter, rect(), QStringLiteral("bg_selectMode"));

    const QRect iconRect((width() - kIconSize) / 2, kIconTop, kIconSize, kIconSize);
    if (!m_icon.isNull()) {
        QSizeF drawn = m_icon.deviceIndependentSize();
        drawn.scale(iconRect.size(), Qt::KeepAspectRatio);
        const QRectF target(iconRect.x() + (iconRect.width() - drawn.width()) / 2,
                            iconRect.y() + (iconRect.height() - drawn.height()) / 2, drawn.width(), drawn.height());
        painter.drawPixmap(target, m_icon, QRectF(m_icon.rect()));
    }

    QFont font = this->font();
    font.setPixelSize(kCaptionPixelSize);
    painter.setFont(font);
    // The caption sits on its own white strip at its natural width.
    const int captionWidth = std::min(QFontMetrics(font).horizontalAdvance(m_title), width());
    const QRect captionRect((width() - captionWidth) / 2, iconRect.bottom() + 1 + kCaptionGap, captionWidth,
                            kCaptionHeight);
    painter.fillRect(captionRect, Qt::white);
    painter.setPen(Qt::black);
    painter.drawText(captionRect, Qt::AlignCenter | Qt::TextSingleLine, m_title);
}

}  // namespace lightdeck
