#include "app/virtual_lights_window.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QScrollBar>
#include <QTimer>

#include <chrono>

#include "app/light_preview.h"
#include "bluetooth/simulated/light_simulator.h"
#include "devices/main_thread_relay.h"
#include "ui/display_name.h"
#include "ui/images.h"

namespace lightdeck {
namespace {

constexpr int kMargin = 14;
constexpr int kLampSize = 64;
constexpr QColor kBackground{24, 24, 28};
constexpr QColor kCard{38, 38, 44};
constexpr QColor kText{236, 236, 240};
constexpr QColor kDim{150, 150, 160};
constexpr QColor kBlue{42, 135, 255};

QColor toQColor(Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

}  // namespace

VirtualLightsWindow::VirtualLightsWindow(LightSimulator& simulator, QWidget* parent)
    : QAbstractScrollArea(parent), m_simulator(simulator), m_refreshQueued(std::make_shared<std::atomic<bool>>(false))
{
    setWindowTitle(QStringLiteral("Lightdeck — virtual lights"));
    setWindowIcon(QIcon(imageNamed(QStringLiteral("ic_app_lightdeck"), {64, 64})));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(true);
    QPalette colours = viewport()->palette();
    colours.setColor(QPalette::Window, kBackground);
    viewport()->setPalette(colours);
    verticalScrollBar()->setSingleStep(24);

    m_clock.start();
    m_relay = std::make_shared<MainThreadRelay>(this);
    m_animation = new QTimer(this);
    m_animation->setInterval(kAnimationIntervalMs);
    connect(m_animation, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));

    // The observer may run on any thread, several at once: it only queues one
    // refresh on this window's thread.
    m_simulator.setChangeObserver([relay = m_relay, queued = m_refreshQueued, this](const std::string&) {
        if (queued->exchange(true))
            return;
        relay->post([this] { changed(); });
    });
    refresh();
}

VirtualLightsWindow::~VirtualLightsWindow()
{
    m_relay->detach();
    m_simulator.setChangeObserver({});
}

void VirtualLightsWindow::changed()
{
    m_refreshQueued->store(false);
    refresh();
}

void VirtualLightsWindow::refresh()
{
    std::vector<Card> cards;
    const qint64 now = m_clock.elapsed();
    for (VirtualLight* light : m_simulator.lights()) {
        Card card;
        card.identifier = light->identifier();
        card.name = displayName(light->name());
        card.connected = light->isConnected();
        card.output = light->output();
        card.mode = QString::fromStdString(card.output.describe());
        if (auto frame = light->lastFrame())
            card.lastFrame = QString::fromStdString(toSpacedHex(*frame));
        card.modeSince = now;
        // An animation carries on while the light stays in the same mode.
        for (const Card& old : m_cards) {
            if (old.identifier == card.identifier && old.output.mode == card.output.mode &&
                old.output.effect == card.output.effect) {
                card.modeSince = old.modeSince;
                break;
            }
        }
        cards.push_back(std::move(card));
    }
    m_cards = std::move(cards);
    if (isAnimating())
        m_animation->start();
    else
        m_animation->stop();
    updateScrollRange();
    viewport()->update();
}

bool VirtualLightsWindow::isAnimating() const
{
    for (const Card& card : m_cards) {
        if (lightdeck::isAnimated(card.output))
            return true;
    }
    return false;
}

Rgb VirtualLightsWindow::colourOf(const Card& card) const
{
    return previewColour(card.output, std::chrono::milliseconds(m_clock.elapsed() - card.modeSince));
}

Rgb VirtualLightsWindow::shownColour(const std::string& identifier) const
{
    for (const Card& card : m_cards) {
        if (card.identifier == identifier)
            return colourOf(card);
    }
    return {};
}

QSize VirtualLightsWindow::sizeHint() const
{
    const int rows = qBound(1, static_cast<int>(m_cards.size()), 7);
    return {420, kMargin + rows * (kCardHeight + kMargin)};
}

void VirtualLightsWindow::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void VirtualLightsWindow::updateScrollRange()
{
    const int content = kMargin + static_cast<int>(m_cards.size()) * (kCardHeight + kMargin);
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, qMax(0, content - viewport()->height()));
}

void VirtualLightsWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    const int top = -verticalScrollBar()->value();
    const int width = viewport()->width();
    if (m_cards.empty()) {
        painter.setPen(kDim);
        painter.drawText(viewport()->rect(), Qt::AlignCenter, QStringLiteral("No virtual lights"));
        return;
    }
    for (std::size_t i = 0; i < m_cards.size(); ++i) {
        const QRect rect(kMargin, top + kMargin + static_cast<int>(i) * (kCardHeight + kMargin), width - 2 * kMargin,
                         kCardHeight);
        if (rect.bottom() < 0 || rect.top() > viewport()->height())
            continue;
        paintCard(painter, m_cards[i], rect);
    }
}

void VirtualLightsWindow::paintCard(QPainter& painter, const Card& card, const QRect& rect) const
{
    QPainterPath panel;
    panel.addRoundedRect(rect, 18, 18);
    painter.fillPath(panel, kCard);

    // The lamp: its colour with a glow as strong as it is bright.
    const QColor colour = toQColor(colourOf(card));
    const QPointF centre(rect.left() + 18 + kLampSize / 2.0, rect.center().y() + 0.5);
    const double glow = colour.valueF();
    QRadialGradient halo(centre, kLampSize * 0.8);
    QColor haloColour = colour;
    haloColour.setAlphaF(0.55 * glow);
    halo.setColorAt(0.55, haloColour);
    halo.setColorAt(1.0, QColor(0, 0, 0, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(halo);
    painter.drawEllipse(centre, kLampSize * 0.8, kLampSize * 0.8);
    painter.setBrush(colour);
    painter.setPen(QPen(QColor(70, 70, 78), 2));
    painter.drawEllipse(centre, kLampSize / 2.0 - 4, kLampSize / 2.0 - 4);

    const int textLeft = rect.left() + 18 + kLampSize + 16;
    const int textWidth = rect.right() - 14 - textLeft;
    QFont nameFont = font();
    nameFont.setPixelSize(16);
    nameFont.setBold(true);
    QFont small = font();
    small.setPixelSize(12);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(12);

    // Names come from the radio: drawn as plain text, elided to fit.
    const QString state = card.connected ? QStringLiteral("已连接 CONNECTED") : QStringLiteral("未连接 DISCONNECTED");
    painter.setFont(small);
    const int stateWidth = painter.fontMetrics().horizontalAdvance(state);
    painter.setPen(card.connected ? kBlue : kDim);
    painter.drawText(QRect(rect.right() - 14 - stateWidth, rect.top() + 14, stateWidth, 20),
                     Qt::AlignRight | Qt::AlignVCenter, state);

    painter.setFont(nameFont);
    painter.setPen(kText);
    const QString name = card.name.isEmpty() ? QStringLiteral("(no name)") : card.name;
    painter.drawText(QRect(textLeft, rect.top() + 12, textWidth - stateWidth - 8, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(name, Qt::ElideRight, textWidth - stateWidth - 8));

    painter.setFont(small);
    painter.setPen(kDim);
    painter.drawText(QRect(textLeft, rect.top() + 36, textWidth, 18), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromStdString(card.identifier));
    painter.setPen(kText);
    painter.drawText(QRect(textLeft, rect.top() + 55, textWidth, 18), Qt::AlignLeft | Qt::AlignVCenter, card.mode);
    painter.setFont(mono);
    painter.setPen(kDim);
    const QString frame = card.lastFrame.isEmpty() ? QStringLiteral("—") : card.lastFrame;
    painter.drawText(QRect(textLeft, rect.top() + 74, textWidth, 18), Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(QStringLiteral("last frame  ") + frame, Qt::ElideRight, textWidth));
}

}  // namespace lightdeck
