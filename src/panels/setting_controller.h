#pragma once
// SettingController, the control screen: six mode pages (colour temperature,
// hue, effects, preset colours, SOS, groups) behind six mode buttons, a title
// naming the current mode, and the way back to the device scan screen.
//
// A new one is built each time the scan screen opens it and deleted when it
// is popped, so every opening builds new panels, and each panel reads the
// light reports stored by then:
//
//   auto* screen = new SettingController;
//   screen->setIndex(0);                  // 0: colour temperature, 5: groups
//   navigationController->push(screen, true);
//
// The pages lie side by side on a strip one screen wide per page; only the
// mode buttons move it (no swiping, no animation). Switching pages sends
// nothing to the lights: a light changes mode only when the user operates a
// panel. Interactive pop (the back gesture) is off while this screen is on
// top. Main thread only.

#include <QSize>
#include <QString>
#include <QtGlobal>

#include <array>

#include "ui/view_controller.h"

class QAbstractButton;
class QLabel;
class QPushButton;

namespace lightdeck {

class GradientBackground;
class ViewCCT;
class ViewEFF;
class ViewGPM;
class ViewHSI;
class ViewSET;
class ViewSOS;

class SettingController : public ViewController {
    Q_OBJECT
public:
    // One row of the mode table, in page order.
    struct Mode {
        QString title;  // shown in the title label
        int tag;        // the mode button's view tag: page + 10
        QString order;  // command number of the panel's frames; "" for groups
        QString view;   // the panel's class name
    };
    static constexpr int kModeCount = 6;
    static constexpr int kFirstModeTag = 10;
    static const std::array<Mode, kModeCount>& arrayMode();

    explicit SettingController(QWidget* parent = nullptr);
    ~SettingController() override;

    // The mode shown first, 0 (colour temperature) to 5 (groups). Read when
    // the screen loads; out of range means 0.
    void setIndex(qint64 index) { m_index = index; }
    qint64 index() const { return m_index; }

    // The panels, created on the first call (in page order when the screen
    // loads) and owned by the screen.
    ViewCCT* viewCCT();
    ViewHSI* viewHSI();
    ViewEFF* viewEFF();
    ViewSET* viewSET();
    ViewSOS* viewSOS();
    ViewGPM* viewGPM();

    // The mode button with a tag 10..15 (nullptr for other tags).
    QAbstractButton* modeButton(int tag) const;
    // The page shown now, 0..5.
    int currentPage() const { return m_currentPage; }
    QLabel* titleLabel() const { return m_titleLabel; }

public slots:
    // Shows the page of the mode button (view tag 10..15); other buttons are
    // ignored.
    void modeButtonClicked(QAbstractButton* button);
    // Clears every stored group's "selected" flag (the shared group store),
    // then goes back.
    void backButtonClicked();
    // Goes back, changing nothing.
    void blueToothButtonClicked();

protected:
    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewWillDisappear() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The static part of the screen: navigation bar with back button, title
    // and Bluetooth button, the row of mode buttons, the bottom label.
    void createStaticLayout();
    void createPagingArea();
    void layoutAreas();
    void setContentOffset(int x);
    void setInteractivePop(bool enabled);

    qint64 m_index = 0;
    int m_currentPage = 0;

    GradientBackground* m_background = nullptr;
    QWidget* m_navView = nullptr;
    QLabel* m_titleLabel = nullptr;
    QPushButton* m_backButton = nullptr;
    QPushButton* m_blueToothButton = nullptr;
    std::array<QPushButton*, kModeCount> m_modeButtons{};
    QLabel* m_bottomLabel = nullptr;

    QWidget* m_scrollView = nullptr;  // the paging area (clips)
    QWidget* m_pageStrip = nullptr;   // six pages side by side, moved by offset
    QSize m_pageSize;                 // one page: screen width x area height

    ViewCCT* m_viewCCT = nullptr;
    ViewHSI* m_viewHSI = nullptr;
    ViewEFF* m_viewEFF = nullptr;
    ViewSET* m_viewSET = nullptr;
    ViewSOS* m_viewSOS = nullptr;
    ViewGPM* m_viewGPM = nullptr;
};

}  // namespace lightdeck
