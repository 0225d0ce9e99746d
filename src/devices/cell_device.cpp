#include "devices/cell_device.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include "bluetooth/ox_blue_tooth.h"
#include "ui/display_name.h"
#include "ui/images.h"

namespace lightdeck {
namespace {

constexpr int kInsetX = 15;
constexpr int kInsetY = 5;
constexpr int kPanelRadius = 25;
constexpr QColor kPanelColour{236, 236, 236};
constexpr int kIconLeft = 20;
constexpr int kIconSize = 20;
constexpr int kLabelGap = 3;
constexpr int kLabelHeight = 20;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 42;
constexpr int kButtonRight = 15;

QString buttonStyle(const QColor& colour)
{
    // The same look when disabled: a light that is connecting keeps the
    // grey button, only it takes no taps.
    return QStringLiteral("QPushButton { background-color: %1; border: none; border-radius: %2px;"
                          " color: white; font-size: 11px; padding: 0px; }")
        .arg(colour.name())
        .arg(kButtonHeight / 2);
}

}  // namespace

CellDevice::CellDevice(QWidget* parent) : QWidget(parent)
{
    createUI();
}

void CellDevice::createUI()
{
    setAttribute(Qt::WA_OpaquePaintEvent);

    m_imageView = new QLabel(this);
    m_imageView->setPixmap(imageNamed(QStringLiteral("ic_ble_item"), {kIconSize, kIconSize}));
    m_imageView->setFixedSize(kIconSize, kIconSize);
    m_imageView->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_labelName = new QLabel(this);
    // A light's name comes from the radio: never interpret it as markup.
    m_labelName->setTextFormat(Qt::PlainText);
    m_labelName->setWordWrap(false);
    QFont nameFont = m_labelName->font();
    nameFont.setPixelSize(15);
    m_labelName->setFont(nameFont);
    m_labelName->setStyleSheet(QStringLiteral("QLabel { color: rgb(32,32,36); background: transparent; }"));
    m_labelName->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_buttonConnect = new QPushButton(this);
    m_buttonConnect->setFixedSize(kButtonWidth, kButtonHeight);
    m_buttonConnect->setFocusPolicy(Qt::NoFocus);
    m_buttonConnect->setCursor(Qt::PointingHandCursor);
    connect(m_buttonConnect, &QPushButton::clicked, this, &CellDevice::connectPeripheral);

    showState(PeripheralState::Disconnected);
    layoutChildren();
}

void CellDevice::setPeripheral(std::shared_ptr<Peripheral> peripheral)
{
    m_peripheral = std::move(peripheral);
    if (!m_peripheral) {
        m_labelName->clear();
        showState(PeripheralState::Disconnected);
        return;
    }
    m_labelName->setText(displayName(m_peripheral->name()));
    showState(m_peripheral->state());
}

void CellDevice::showState(PeripheralState state)
{
    // A list reload sets every row again; a style sheet is parsed and the
    // button re-polished on each set, so only a change is applied.
    if (state == m_shownState)
        return;
    if (state != PeripheralState::Disconnecting)
        m_shownState = state;
    switch (state) {
    case PeripheralState::Disconnected:
        m_buttonConnect->setText(QStringLiteral("未连接\nDISCONNECTED"));
        m_buttonConnect->setStyleSheet(buttonStyle(QColor(48, 48, 48)));
        m_buttonConnect->setEnabled(true);
        break;
    case PeripheralState::Connecting:
        m_buttonConnect->setText(QStringLiteral("连接中\nCONNECTING"));
        m_buttonConnect->setStyleSheet(buttonStyle(QColor(48, 48, 48)));
        m_buttonConnect->setEnabled(false);
        break;
    case PeripheralState::Connected:
        m_buttonConnect->setText(QStringLiteral("已连接\nCONNECTED"));
        m_buttonConnect->setStyleSheet(buttonStyle(QColor(42, 135, 255)));
        m_buttonConnect->setEnabled(true);
        break;
    case PeripheralState::Disconnecting:
        // Keeps the look it had: the light is on its way out.
        break;
    }
}

void CellDevice::connectPeripheral()
{
    if (!m_peripheral)
        return;
    auto& manager = OxBlueTooth::sharedInstance();
    if (m_peripheral->state() == PeripheralState::Connected)
        manager.disConnectDevice(m_peripheral);
    else
        manager.connectToDevice(m_peripheral);
    // Shows "连接中" at once where the stack already reports the attempt;
    // the manager's events bring the final state.
    showState(m_peripheral->state());
}

QSize CellDevice::sizeHint() const { return {390, kRowHeight}; }

void CellDevice::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF panel = QRectF(rect()).adjusted(kInsetX, kInsetY, -kInsetX, -kInsetY);
    QPainterPath path;
    path.addRoundedRect(panel, kPanelRadius, kPanelRadius);
    painter.fillPath(path, kPanelColour);
}

void CellDevice::resizeEvent(QResizeEvent*)
{
    layoutChildren();
}

void CellDevice::layoutChildren()
{
    // Everything is centred vertically on the panel, which is centred on the row.
    const int panelLeft = kInsetX;
    const int panelRight = width() - kInsetX;
    const int h = height();
    m_imageView->move(panelLeft + kIconLeft, (h - kIconSize) / 2);
    const int buttonLeft = panelRight - kButtonRight - kButtonWidth;
    m_buttonConnect->move(buttonLeft, (h - kButtonHeight) / 2);
    const int labelLeft = panelLeft + kIconLeft + kIconSize + kLabelGap;
    m_labelName->setGeometry(labelLeft, (h - kLabelHeight) / 2, qMax(100, buttonLeft - 8 - labelLeft), kLabelHeight);
}

}  // namespace lightdeck
