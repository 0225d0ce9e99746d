#pragma once
// ViewSOS, the rescue signal panel: one large white "SOS" lettering filling
// the page. Every tap on it sends the SOS frame AA 06 00 00 00 00 BB once to
// the lights under control; the panel has no state, timer or pattern of its
// own (the light runs the signal). Main thread only.

#include <QWidget>

class QLabel;

namespace lightdeck {

class ViewSOS : public QWidget {
    Q_OBJECT
public:
    // Size of the lettering in device-independent pixels (the system font
    // at 150 points).
    static constexpr int kLetteringSize = 150;

    explicit ViewSOS(QWidget* parent = nullptr);
    // initWithFrame: geometry in the parent's coordinates.
    ViewSOS(const QRect& frame, QWidget* parent = nullptr);

    QLabel* labelSOS() const { return m_labelSOS; }

public slots:
    // Sends the SOS frame (a tap on the lettering).
    void sendData();

protected:
    // The tap recognizer on the lettering: a press and a release inside it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createUI();

    // Owned by the view tree (a child of the panel).
    QLabel* m_labelSOS = nullptr;
    bool m_pressed = false;
};

}  // namespace lightdeck
