#pragma once
// ViewConnectedDevices, the device picker: a sheet over the whole window that
// lists the connected lights, lets the user tick some, and on "确定" adds the
// ticked ones to a group (through the GroupStore) and makes exactly them the
// lights under control.
//
// The ticks are not the sheet's: they are the manager's pick flags in
// connectDict (1 ticked, 0 not), so they survive cancelling and show again at
// the next opening, until the light reconnects (which resets its flag to 0).
// "取消", or a press on the sheet outside the list and buttons, closes it
// and stores nothing. Main thread only.

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <string>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace lightdeck {

class GroupStore;

class ViewConnectedDevices : public QWidget {
    Q_OBJECT
public:
    // Layout, in pixels.
    static constexpr int kSideInset = 10;       // panel to the sheet's left and right edges
    static constexpr int kButtonHeight = 50;
    static constexpr int kButtonRadius = 25;
    static constexpr int kTitlePixels = 14;

    // The sheet at `frame` (the main screen's bounds) in `parent` (the
    // application window), over the application's group store.
    explicit ViewConnectedDevices(const QRect& frame, QWidget* parent = nullptr);
    // The same over another store, which must outlive the sheet.
    ViewConnectedDevices(GroupStore& store, const QRect& frame, QWidget* parent = nullptr);
    ~ViewConnectedDevices() override;

    // The group the ticked lights join: its position in the group list. Set by
    // the opener before the sheet is shown.
    void setGroupIndex(qint64 groupIndex) { m_groupIndex = groupIndex; }
    qint64 groupIndex() const { return m_groupIndex; }

    QWidget* panel() const { return m_panel; }
    QLabel* titleLabel() const { return m_titleLabel; }
    QListWidget* tableView() const { return m_tableView; }
    QPushButton* cancelButton() const { return m_buttonCancle; }
    QPushButton* sureButton() const { return m_buttonSure; }

    // True once the sheet has been closed (it is then deleted later).
    bool isClosed() const { return m_closed; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // A press that reaches the sheet itself (outside the list and buttons).
    void mousePressEvent(QMouseEvent* event) override;

private:
    ViewConnectedDevices(GroupStore* store, const QRect& frame, QWidget* parent);
    // The store to use now (the shared one is asked for at each use).
    GroupStore& store() const;
    void createUI();
    void layoutPanel();
    // Builds every row from connectDict; logs "已连接设备：".
    void reloadData();
    // Shows the identifier's light and its tick in `item`.
    void configureRow(QListWidgetItem* item, const std::string& identifier, int flag);
    void rowTapped(QListWidgetItem* item);
    void buttonCancleClicked();
    void buttonSureClicked();
    void dismiss();

    GroupStore* m_ownStore = nullptr;  // null: the shared store
    qint64 m_groupIndex = 0;
    QWidget* m_panel = nullptr;
    QLabel* m_titleLabel = nullptr;
    QListWidget* m_tableView = nullptr;
    QPushButton* m_buttonCancle = nullptr;
    QPushButton* m_buttonSure = nullptr;
    bool m_closed = false;
};

}  // namespace lightdeck
