#pragma once
// LongPressRecognizer: tells its owner when a press on one widget has been
// held still for a minimum time (1.0 s by default), with the mouse or with
// one finger, as a touch platform's long-press gesture recogniser does.
//
//     auto* recognizer = new LongPressRecognizer(button);
//     connect(recognizer, &LongPressRecognizer::recognized, this,
//             [this](QPoint pos) { ... });
//
// The recogniser watches the target's events through an event filter and
// never consumes a press or a release. A press that moves more than
// kAllowableMovement pixels from where it began, or ends, before the time is
// up is not a long press. Once recognised, a button target is released from
// its pressed look and further moves of that press are swallowed, so lifting
// the finger does not also count as a tap. Main thread only.

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace lightdeck {

class LongPressRecognizer : public QObject {
    Q_OBJECT
public:
    // Minimum press, in milliseconds.
    static constexpr int kMinimumPressMs = 1000;
    // Movement a press may make and still count, in pixels (Manhattan length).
    static constexpr int kAllowableMovement = 10;

    // Watches `target`, and is deleted with it.
    explicit LongPressRecognizer(QWidget* target, int minimumPressMs = kMinimumPressMs);

    QWidget* target() const { return m_target; }

signals:
    // Once per press, when it has lasted the minimum time; `pos` is where the
    // press began, in the target's coordinates.
    void recognized(QPoint pos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void begin(QPoint pos);
    // Returns true when the event should be swallowed.
    bool moveTo(QPoint pos);
    void end();
    void fire();

    QPointer<QWidget> m_target;
    QTimer m_timer;
    QPoint m_start;
    bool m_tracking = false;
    bool m_fired = false;
};

}  // namespace lightdeck
