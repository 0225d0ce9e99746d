#include "panels/view_sos.h"

#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "bluetooth/ox_blue_tooth.h"
#include "protocol/command_frames.h"

namespace lightdeck {

ViewSOS::ViewSOS(QWidget* parent)
    : QWidget(parent)
{
    createUI();
}

ViewSOS::ViewSOS(const QRect& frame, QWidget* parent)
    : QWidget(parent)
{
    setGeometry(frame);
    createUI();
}

void ViewSOS::createUI()
{
    // Clear: the control screen's background shows through.
    setAutoFillBackground(false);

    auto* label = new QLabel(QStringLiteral("SOS"), this);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    QFont font = label->font();
    font.setPixelSize(kLetteringSize);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("QLabel { color: white; background: transparent; }"));
    label->installEventFilter(this);
    m_labelSOS = label;

    // The lettering covers the whole panel: the page is the tap area.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
}

bool ViewSOS::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_labelSOS)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:  // the second of two quick taps
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            m_pressed = true;
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && m_pressed) {
            m_pressed = false;
            // A tap ends inside the lettering; a press dragged out is no tap.
            if (m_labelSOS->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint()))
                sendData();
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void ViewSOS::sendData() { OxBlueTooth::sharedInstance().writeDataWithData(sosFrame().bytes()); }

}  // namespace lightdeck
