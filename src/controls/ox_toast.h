#pragma once
// A short notice near the bottom of the application window: a grey box with
// rounded ends holding one white line (or a few) of text. It shows up 0.5 s
// after it is asked for (at full opacity, above everything in the window),
// stays 1.5 s, fades out over 0.5 s and removes itself. It takes no input and
// cannot be cancelled. Every message gets its own box at the same place; a
// later box covers an earlier one until it fades.
//
// Geometry (S = mainScreenSize(), pixels): the text is measured in the
// 14-pixel system font, wrapped within S.width - 40 (at word boundaries, or
// anywhere inside a word too long for a line), giving w x h; the box is
// (S.width / 2 - (w + 10) / 2, S.height - 100, w + 10, 40), radius 20,
// RGB(144,144,144); the label is (5, 20 - h / 2, w, h), centred. h is not
// limited: text taller than the box is clipped by it, its middle showing.
// The text is plain text. Main thread only.

#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

class QLabel;

namespace lightdeck {

class OxToast : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBoxHeight = 40;
    static constexpr int kBottomOffset = 100;
    static constexpr int kFadeMs = 500;
    static constexpr int kShowMs = 1500;

    // Builds a box for `message` in the application window (see
    // application_window.h) and starts its showing sequence; returns at once.
    // With no application window nothing is shown (logged once).
    static void showToastWithMessage(const QString& message);

    // Starts the hiding sequence (fade out, then removal). Called by the
    // box's own timer.
    void showToast();

    // The measured text size (w x h) and the box and label frames for a
    // message on a screen of size `screen`.
    static QSize measureText(const QString& message, QSize screen);
    static QRect boxFrame(const QString& message, QSize screen);
    static QRect labelFrame(const QString& message, QSize screen);
    // The font of measuring and display.
    static QFont toastFont();

    QString message() const { return m_message; }
    QLabel* label() const { return m_label; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    OxToast(const QString& message, QSize screen, QWidget* window);
    void appear();

    QString m_message;
    QLabel* m_label = nullptr;
};

}  // namespace lightdeck
