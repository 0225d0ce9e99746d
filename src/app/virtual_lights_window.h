#pragma once
// The window that shows every virtual light of a LightSimulator, one card a
// light: a lamp painted in the colour it emits now (effects and SOS animated),
// its name, whether a central is connected to it, its mode in words, and the
// last value written to it in hex.
//
// The simulator reports changes on its own threads; they are gathered and
// handed to this window's thread, where the cards are read afresh. The
// simulator must outlive the window.

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "bluetooth/simulated/light_output.h"

class QPainter;
class QTimer;

namespace lightdeck {

class LightSimulator;
class MainThreadRelay;

class VirtualLightsWindow : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kCardHeight = 104;
    static constexpr int kAnimationIntervalMs = 40;

    explicit VirtualLightsWindow(LightSimulator& simulator, QWidget* parent = nullptr);
    ~VirtualLightsWindow() override;

    // What one card shows (read from the light on the last refresh).
    struct Card {
        std::string identifier;
        QString name;
        bool connected = false;
        LightOutput output;
        QString mode;       // LightOutput::describe()
        QString lastFrame;  // "AA 01 32 32 00 00 BB", or empty before any
        // When the light entered its current mode (this window's clock, ms).
        qint64 modeSince = 0;
    };
    const std::vector<Card>& cards() const { return m_cards; }
    // The colour the card of `identifier` paints now; black when unknown.
    Rgb shownColour(const std::string& identifier) const;
    // True while some light's colour changes over time.
    bool isAnimating() const;

    // Reads every light again (done by itself after each change).
    void refresh();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void changed();
    void updateScrollRange();
    void paintCard(QPainter& painter, const Card& card, const QRect& rect) const;
    Rgb colourOf(const Card& card) const;

    LightSimulator& m_simulator;
    std::shared_ptr<MainThreadRelay> m_relay;
    // True while a refresh is queued: a burst of changes costs one refresh.
    std::shared_ptr<std::atomic<bool>> m_refreshQueued;
    std::vector<Card> m_cards;
    QElapsedTimer m_clock;
    QTimer* m_animation = nullptr;
};

}  // namespace lightdeck
