#include "panels/panel_widgets.h"

#include <QFont>
#include <QGuiApplication>
#include <QPixmapCache>
#include <QLabel>
#include <QList>

#include "controls/ox_slider_view.h"
#include "ui/images.h"

namespace lightdeck::panel_widgets {

QLabel* createTitleLabel(QWidget* parent, const QRect& frame, const QString& first,
                         const QString& second)
{
    auto* label = new QLabel(parent);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);  // a tap on a label is a tap on the panel
    label->setGeometry(frame);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    // Two sizes in one label need rich text; the texts are this program's
    // own and escaped all the same.
    label->setTextFormat(Qt::RichText);
    label->setText(QStringLiteral("<div style=\"font-size:17px\">%1</div>"
                                  "<div style=\"font-size:13px\">%2</div>")
                       .arg(first.toHtmlEscaped(), second.toHtmlEscaped()));
    label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    // The plain text, for accessibility and for anyone reading the tree.
    label->setAccessibleName(first + QLatin1Char('\n') + second);
    return label;
}

QLabel* createReadoutLabel(QWidget* parent, int panelWidth, const QRect& titleFrame,
                           const QString& text)
{
    constexpr int kWidth = 140;
    constexpr int kHeight = 20;
    constexpr int kRightInset = 35;
    auto* label = new QLabel(parent);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);  // a tap on a label is a tap on the panel
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPixelSize(20);
    font.setBold(true);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(panelWidth - kRightInset - kWidth, titleFrame.y() + titleFrame.height() - kHeight,
                       kWidth, kHeight);
    label->setText(text);
    return label;
}

QPixmap cachedImage(const QString& name, QSize size)
{
    const QString key = QStringLiteral("lightdeck/panels/%1@%2x%3x%4")
                            .arg(name)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(qApp ? qApp->devicePixelRatio() : 1.0);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = imageNamed(name, size);
    if (hasImage(name))  // a missing image's placeholder is not kept
        QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QColor shieldGrey() { return QColor::fromRgbF(0.5f, 0.5f, 0.5f); }

void shieldSlider(OxSliderView* slider, int stopCount)
{
    slider->setEnabled(false);
    slider->setChangeSliderBarColor(shieldGrey());
    slider->setDefaultSliderBarColors(QList<QColor>(stopCount, shieldGrey()));
}

}  // namespace lightdeck::panel_widgets
