#pragma once
// Fixture of the group editor and device picker tests: the process's virtual
// lights behind OxBlueTooth::sharedInstance() and a fresh preferences file
// behind the shared group store (both from SimulatedAppTest), plus a
// phone-sized application window to put the panel and the sheet in.

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bluetooth/ox_blue_tooth.h"
#include "support/simulated_app_fixture.h"

namespace lightdeck {

class AlertController;
class EditView;
class ViewGPM;
class ViewConnectedDevices;

namespace testing {

class GroupScreenTest : public SimulatedAppTest {
protected:
    void SetUp() override;
    void TearDown() override;

    static OxBlueTooth& manager() { return OxBlueTooth::sharedInstance(); }

    // Adds lights with these names and scans until the manager has found them.
    std::vector<VirtualLight*> addLights(const std::vector<std::string>& names);
    // Connects a discovered light and waits until it is writable.
    void connectLight(const VirtualLight& light);
    void disconnectLight(const VirtualLight& light);
    // Scans again (the manager forgets a light when it disconnects).
    void rescan();
    // Identifiers of the manager's controlDict, in order.
    static std::vector<std::string> controlled();
    // The light's pick flag in connectDict; -1 when it is not there.
    static int pickFlag(const VirtualLight& light);

    // Replaces the preferences file and reopens the shared store on it, as a
    // new run of the program would (before the panel is made).
    void seedPreferences(const nlohmann::json& root);
    nlohmann::json groupList() const;
    nlohmann::json deviceInGroup() const;

    // A panel in the window, as the control screen places it.
    ViewGPM* openPanel();
    // The popup list over `parent` now on show (nullptr when none).
    static EditView* visiblePopup(QWidget* parent);
    // Waits for the popup and taps its row.
    static bool tapPopupRow(QWidget* parent, int row);
    // The newest alert still open (nullptr when none).
    static AlertController* topAlert();
    // True when a toast with exactly this message is in the window.
    bool toastShown(const QString& message) const;
    // The picker open in the window (nullptr when none).
    ViewConnectedDevices* openSheet() const;

    // Through the panel's own controls: the add-group popup, its alert with
    // `title` typed, then "确定".
    void addGroupThroughPanel(ViewGPM* panel, const QString& title);
    // A long press (held until recognised) on a group button, then a popup row.
    void longPressGroup(ViewGPM* panel, int position, int popupRow);
    // Taps the group button at `position`.
    void tapGroup(ViewGPM* panel, int position);
    // The names the member list shows, in order.
    static QStringList memberRows(ViewGPM* panel);

    std::unique_ptr<QWidget> m_window;
};

}  // namespace testing
}  // namespace lightdeck
