#pragma once
// Fixture of the group editor and device picker tests: a phone-sized
// application window, a group store over a fresh preferences file, and the
// process's virtual lights behind OxBlueTooth::sharedInstance().
//
// The shared manager lives for the whole process, so every test adds lights
// of its own and SetUp/TearDown leave the manager with nothing connected,
// nothing under control and only connected lights discovered.

#include <QList>
#include <QString>
#include <QWidget>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bluetooth/ox_blue_tooth.h"
#include "bluetooth/simulated/light_simulator.h"
#include "devices/group_store.h"
#include "devices/preferences.h"
#include "devices/temp_folder.h"

namespace lightdeck {

class AlertController;
class EditView;
class ViewGPM;
class ViewConnectedDevices;

namespace testing {

// The process's simulator; made, and set as the shared manager's central
// factory, on the first call (before the first sharedInstance()).
LightSimulator& sharedSimulator();

class GroupScreenTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static OxBlueTooth& manager();

    // Adds lights with these names and scans until the manager has found them.
    std::vector<VirtualLight*> addLights(const std::vector<std::string>& names);
    // Scans again (the manager forgets a light when it disconnects).
    void rescan();
    // Connects a discovered light and waits until it is writable.
    void connectLight(const VirtualLight& light);
    void disconnectLight(const VirtualLight& light);
    std::shared_ptr<Peripheral> discovered(const VirtualLight& light) const;
    // Identifiers of the manager's controlDict, in order.
    static std::vector<std::string> controlled();
    static int pickFlag(const VirtualLight& light);

    // Replaces the preferences file (before the panel is made) and reopens
    // the store on it, as a new run of the program would.
    void seedPreferences(const nlohmann::json& root);
    // The file as it is on disk now ({} when absent).
    nlohmann::json preferencesFile() const;
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
    // The picker on show in the window (nullptr when none).
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
    TempFolder m_folder;
    std::filesystem::path m_file;
    std::unique_ptr<JsonFilePreferences> m_preferences;
    std::unique_ptr<GroupStore> m_store;
};

}  // namespace testing
}  // namespace lightdeck
