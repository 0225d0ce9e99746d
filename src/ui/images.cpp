#include "ui/images.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMutex>
#include <QPainter>
#include <QSet>
#include <QSvgRenderer>

#include "common/log.h"

namespace lightdeck {

namespace {

QString svgPath(const QString& name) { return QStringLiteral(":/images/%1.svg").arg(name); }
QString pngPath(const QString& name) { return QStringLiteral(":/images/%1.png").arg(name); }

// Warns once per missing name: a screen may ask for the same image often.
void warnMissing(const QString& name)
{
    static QMutex mutex;
    static QSet<QString> reported;
    QMutexLocker lock(&mutex);
    if (reported.contains(name))
        return;
    reported.insert(name);
    log::warning(("图片缺失: " + name).toStdString());
}

qreal pixelRatio()
{
    return qApp ? qApp->devicePixelRatio() : 1.0;
}

QPixmap placeholder(QSize size)
{
    if (size.isEmpty())
        size = QSize(24, 24);
    const qreal ratio = pixelRatio();
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(QColor(255, 0, 255));
    QPainter painter(&pixmap);
    painter.setPen(QPen(Qt::black, 2));
    const QRectF r(QPointF(0, 0), QSizeF(size));
    painter.drawRect(r.adjusted(1, 1, -1, -1));
    painter.drawLine(r.topLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomLeft());
    return pixmap;
}

}  // namespace

bool hasImage(const QString& name)
{
    return !name.isEmpty() && (QFile::exists(svgPath(name)) || QFile::exists(pngPath(name)));
}

QPixmap imageNamed(const QString& name, QSize size)
{
    const qreal ratio = pixelRatio();
    if (!name.isEmpty() && QFile::exists(svgPath(name))) {
        QSvgRenderer renderer(svgPath(name));
        if (renderer.isValid()) {
            const QSize logical = size.isEmpty() ? renderer.defaultSize() : size;
            QImage image(logical * ratio, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            renderer.render(&painter);
            painter.end();
            QPixmap pixmap = QPixmap::fromImage(image);
            pixmap.setDevicePixelRatio(ratio);
            return pixmap;
        }
    }
    if (!name.isEmpty() && QFile::exists(pngPath(name))) {
        QPixmap pixmap(pngPath(name));
        if (!pixmap.isNull()) {
            if (size.isEmpty())
                return pixmap;
            pixmap = pixmap.scaled(size * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            pixmap.setDevicePixelRatio(ratio);
            return pixmap;
        }
    }
    warnMissing(name);
    return placeholder(size);
}

}  // namespace lightdeck
