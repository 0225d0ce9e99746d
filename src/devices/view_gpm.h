#pragma once
// ViewGPM, the group editor: the group page of the control screen. It shows
// one button per stored group (tag 1000 + the group's position), lets the
// user add, rename and delete groups, choose one group for control, list the
// chosen group's lights, remove a light from it and open the device picker
// (ViewConnectedDevices) to add connected lights.
//
// Choosing a group decides which lights every other panel's frames reach: the
// manager's controlDict becomes the group's members that the manager has
// discovered (disconnected ones are asked to connect); un-choosing empties it.
// The choice lives in the in-memory group list and reaches the preferences
// with the next add or rename; every change goes through the GroupStore.
//
// The static layout (group area with its add button and button holder,
// member area with its edit button and list) comes from the "ViewGPM" form.
// Main thread only.

#include <QFont>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <cstddef>
#include <memory>
#include <string>

#include "devices/group_store.h"

class QAbstractButton;
class QListWidget;
class QPushButton;

// The form's generated class (uic, global Ui namespace like every form here).
namespace Ui {
class ViewGPM;
}

namespace lightdeck {

class ViewConnectedDevices;

class ViewGPM : public QWidget {
    Q_OBJECT
public:
    // Group buttons carry the tag kGroupButtonTagBase + the group's position.
    static constexpr int kGroupButtonTagBase = 1000;
    // Flow layout of the group buttons, in pixels.
    static constexpr int kFlowStart = 10;         // first button's x and y; left margin
    static constexpr int kButtonGap = 5;          // between buttons and between rows
    static constexpr int kButtonHeight = 30;
    static constexpr int kButtonMinWidth = 30;
    static constexpr int kButtonTextInset = 20;   // text width + this = button width
    static constexpr int kButtonFontPixels = 13;
    // Member list rows.
    static constexpr int kRowHeight = 60;
    static constexpr int kRowIndent = 30;
    // Both areas' gradient: height and corner radius.
    static constexpr int kAreaHeight = 200;
    static constexpr int kAreaRadius = 15;

    // The panel over the application's group store (devices/shared_store.h);
    // loads the stored groups and builds their buttons.
    explicit ViewGPM(QWidget* parent = nullptr);
    // The same over another store, which must outlive the panel.
    explicit ViewGPM(GroupStore& store, QWidget* parent = nullptr);
    ~ViewGPM() override;

    // Parts of the form, for the owner and for tests.
    QWidget* groupView() const;
    QWidget* deviceView() const;
    QWidget* buttonView() const;
    QListWidget* tableView() const;
    QPushButton* addGroupButton() const;
    QPushButton* editButton() const;

    // The width the group buttons flow in: the main screen's width - 30.
    int allWidth() const { return m_allWidth; }
    // Width of the button for a group titled `title`.
    static int groupButtonWidth(const QString& title);
    // The font of the group buttons and of the member rows.
    static QFont panelFont();

    // Re-reads the chosen group's members and shows them; does nothing while
    // no group is chosen. Runs on every "refreshDeviceList" notification.
    void refreshTableView();

    // The edit popup's "添加": opens the device picker over the application
    // window for the chosen group and returns it; with no group chosen shows
    // the toast "请选择添加设备的组" and returns nullptr.
    ViewConnectedDevices* openDevicePicker();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    ViewGPM(GroupStore* store, QWidget* parent);

    // The form's actions.
    void addGroupButtonClicked();
    void editButtonClick();
    // Actions of the group buttons and of the member list.
    void groupButtonClicked(QAbstractButton* button);
    void groupButtonLongPressed(QAbstractButton* button);
    void pressAction(QPoint pos);

    void addGroup();
    void renameGroup(std::size_t position);
    void deleteGroup(std::size_t position);
    void removeMember(const std::string& identifier, std::size_t position);

    // Builds the button of the record at `position` at the flow cursor.
    void createButtonWithDictionary(const GroupRecord& record, std::size_t position);
    // Removes every group button and builds them again from the list.
    void rebuildButtons();
    QAbstractButton* groupButton(std::size_t position) const;
    // Grows the button holder so every row of buttons can be scrolled to.
    void fitButtonView();
    void layoutAreas();
    // Shows m_deviceDict in the member list.
    void reloadMemberList();
    void clearMemberList();

    // The store to use now: the shared one is asked for at each use, since
    // the program may swap it (tests do).
    GroupStore& store() const;

    GroupStore* m_ownStore = nullptr;  // null: the shared store
    std::unique_ptr<Ui::ViewGPM> m_ui;

    // The in-memory group list (selected flags included).
    GroupList m_arrayTitles;
    // The shown group's members (identifier -> stored name), in stored order;
    // row i of the member list shows entry i.
    MemberList m_deviceDict;
    // Position of the group last tapped (the chosen group while one is chosen).
    // While the member list shows rows they are this group's.
    std::size_t m_index = 0;
    bool m_hasButtonSelected = false;
    int m_allWidth = 0;
    // Flow cursor: where the next group button goes, in the holder's pixels.
    int m_cursorX = kFlowStart;
    int m_cursorY = kFlowStart;
};

}  // namespace lightdeck
