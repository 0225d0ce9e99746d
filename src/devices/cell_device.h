#pragma once
// CellDevice, one row of the device list: a grey rounded panel with the
// Bluetooth icon, the light's name and the connect button.
//
// Setting the peripheral renders the row: the name (plain text: it comes from
// the radio) and the button by the light's state:
//   0 disconnected   "未连接\nDISCONNECTED"  RGB 48,48,48    enabled
//   1 connecting     "连接中\nCONNECTING"    RGB 48,48,48    disabled
//   2 connected      "已连接\nCONNECTED"     RGB 42,135,255  enabled
//   3 disconnecting  the look it had before
// A new row shows the disconnected look before any light is set.
//
// The connect button asks the Bluetooth manager to disconnect a connected
// light and to connect any other. A press elsewhere on the row is not taken
// by the row: it reaches the list, which reports the row as tapped.
//
// Geometry (pixels): panel inset 15 left and right and 5 top and bottom,
// radius 25, RGB 236,236,236; icon "ic_ble_item" 20 x 20, 20 from the
// panel's left edge, centred; name label 3 right of the icon, font 15,
// RGB 32,32,36, reaching to 8 short of the button; button 110 x 42,
// radius 21, 15 from the panel's right edge, centred, white font 11.

#include <QWidget>

#include <memory>
#include <optional>

#include "bluetooth/central.h"

class QLabel;
class QPushButton;

namespace lightdeck {

class CellDevice : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 72;

    explicit CellDevice(QWidget* parent = nullptr);

    void setPeripheral(std::shared_ptr<Peripheral> peripheral);
    std::shared_ptr<Peripheral> peripheral() const { return m_peripheral; }

    // The row's position in the list, set by the list.
    void setIndexPath(int row) { m_indexPath = row; }
    int indexPath() const { return m_indexPath; }

    QLabel* labelName() const { return m_labelName; }
    QPushButton* buttonConnect() const { return m_buttonConnect; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createUI();
    void connectPeripheral();
    // Title, colour and enabled state of the connect button for a state.
    void showState(PeripheralState state);
    void layoutChildren();

    std::shared_ptr<Peripheral> m_peripheral;
    // The state whose look the button shows; none before the first.
    std::optional<PeripheralState> m_shownState;
    int m_indexPath = -1;
    QLabel* m_imageView = nullptr;
    QLabel* m_labelName = nullptr;
    QPushButton* m_buttonConnect = nullptr;
};

}  // namespace lightdeck
