#pragma once
// DevicesController, the device scan screen: the first screen of the program
// and the root of its navigation stack. It scans for lights, lists every light
// the Bluetooth manager has discovered (one CellDevice a row, in the
// manager's discoverDict order), connects and disconnects them from the rows'
// buttons, renames a connected light, and opens the control screen for the
// light tapped (first tab) or on its group tab.
//
// A scan runs each time the screen is about to appear, on the scan button and
// on the "appDidBecomeActive" notification. While a scan's icon turns
// (8 s from the first scan; later scans do not extend it) the scan button
// takes no taps.
//
// The screen makes itself the manager's delegate at every scan, through an
// adapter it owns: events arrive on centralQueue, the group members' names
// are refreshed there, and every list reload is handed to the main thread. An
// event that arrives after the screen is gone is dropped.

#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

#include "ui/view_controller.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;


namespace Ui {
class DevicesController;
}

namespace lightdeck {

class CellDevice;
class MainThreadRelay;
class OxBlueToothDelegate;

class DevicesController : public ViewController {
    Q_OBJECT
public:
    // The longest new name, in UTF-16 code units.
    static constexpr int kNameLimit = 20;
    // The icon turns a quarter turn each tick, for this long after a scan.
    static constexpr int kRotateIntervalMs = 100;
    static constexpr int kStopRotateMs = 8000;
    // Time a reload may spend building new rows before it leaves the rest to
    // the next turn of the event loop. With the rest of a reload (every row
    // shown again, the view's layout) a turn stays well within a 60 Hz frame.
    static constexpr int kRowBuildBudgetMs = 4;
    // New rows are inserted this many at a time (a row takes about 0.5 ms).
    static constexpr int kRowBatch = 4;

    explicit DevicesController(QWidget* parent = nullptr);
    ~DevicesController() override;

    // User actions.
    void scannerButtonClick();
    void editButtonClicked();
    void GPMButtonClicked();
    // A tap on row `row` (outside its connect button).
    void tableViewDidSelectRowAtIndexPath(int row);
    // The "appDidBecomeActive" notification: a scan, as the scan button runs.
    void appDidBecomeActive();

    // Brings the rows in line with the manager's discoverDict: removed rows
    // go and every row shows its light at once; new rows are built within a
    // time budget, the rest on the following turns of the event loop.
    // Main thread.
    void reloadData();
    // Ends the icon's turn: both timers go, the scan button takes taps again.
    void stopRotate();

    // The text cut to kNameLimit UTF-16 code units; a character that needs two
    // units (a surrogate pair) is never split: the cut then falls before it.
    static QString limitedName(const QString& text);

    bool isEditing() const { return m_isEditing; }
    // Half-turns of the scan icon applied so far plus 0.5 (the next turn).
    float degree() const { return m_degree; }
    // True while the scan icon turns (rotateTimer exists).
    bool isTurning() const { return !m_rotateTimer.isNull(); }
    QTimer* rotateTimer() const { return m_rotateTimer; }
    QTimer* stopTimer() const { return m_stopTimer; }

    QListWidget* devicesList() const;
    QPushButton* scanButton() const;
    QPushButton* editButton() const;
    QPushButton* gpmButton() const;
    QLabel* imageView() const;
    // The row widget of `row`, or nullptr.
    CellDevice* cellAt(int row) const;
    int rowCount() const;

protected:
    void viewDidLoad() override;
    void viewWillAppear() override;

private:
    void styleControls();
    // The scan: drop the lights that are not connected, reload, then ask the
    // manager to scan and start the icon's turn.
    void runScan();
    void scanPeripheral();
    void rotateImage();
    // Shows ic_scan turned by degrees (multiples of 90 in practice).
    void showScanIcon(double degrees);
    void showChangeNameAlertAtIndexPath(int row);
    void textFieldEditingChanged(QLineEdit* field);
    void renameControlledLight(const QString& name);
    void openSettingController(qint64 index);

    std::unique_ptr<Ui::DevicesController> m_ui;
    std::shared_ptr<MainThreadRelay> m_relay;
    std::shared_ptr<OxBlueToothDelegate> m_bluetoothEvents;
    bool m_isEditing = false;
    float m_degree = 0.5f;
    // The rotation last applied to the icon, in degrees.
    double m_iconRotation = 0.0;
    QPointer<QTimer> m_rotateTimer;
    QPointer<QTimer> m_stopTimer;
    // Zero-time single shot that resumes a reload's row building.
    QTimer m_rowBuilder;
};

}  // namespace lightdeck
