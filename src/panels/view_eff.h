#pragma once
// ViewEFF, the effects panel: ten effect tiles (five a row), the chosen
// effect's large icon and names, and three effect option buttons (tags 10,
// 11, 12). Every tap sends the effect frame (AA 03 00 effect 00 option BB)
// to the lights under control at once.
//
// Built from the form view_eff.ui. The frame buffer is the run-long
// effectFrame(): a tile sets byte 3, an option byte 5, and every frame sent
// carries the latest of both, across panels and control screens.
//
// While it is built the panel reads the effect reports stored so far:
// a marker 0xF1..0xFA at position 3 makes the tile of that effect stop
// taking touches, 0xFB..0xFD at position 4 the option button 10..12. A
// shielded control looks unchanged. Reports arriving later change nothing
// until the next panel is built.
//
// Main thread only.

#include <QList>
#include <QSet>
#include <QSize>
#include <QWidget>

#include <array>
#include <memory>

#include "panels/mode_tables.h"

class QAbstractButton;
class QLabel;
class QListWidget;
class QPushButton;

namespace Ui {
class ViewEFF;
}

namespace lightdeck {

class CellEFFMode;

class ViewEFF : public QWidget {
    Q_OBJECT
public:
    // Gap, in pixels, between tiles and between the outer tiles and the
    // panel's edges; with five tiles a row the gaps take 60 pixels.
    static constexpr int kTileSpacing = 10;
    static constexpr int kTilesPerRow = 5;
    static constexpr int kTileHeight = 55;
    // Side of the large icon, in pixels.
    static constexpr int kLargeIconSize = 90;

    explicit ViewEFF(QWidget* parent = nullptr);
    ~ViewEFF() override;

    // The grid (a list widget in icon mode, one CellEFFMode per row).
    QListWidget* collectionView() const;
    QLabel* imageView() const;
    QLabel* labelMode() const;
    QLabel* labelModeTitle() const;

    // The ten row records, in row order.
    const std::array<EffectMode, 10>& arrayData() const { return kEffectModes; }
    // Row of the effect chosen last; 0 when built.
    qint64 index() const { return m_index; }

    int numberOfItems() const { return int(kEffectModes.size()); }
    // The tile of `row`, nullptr for a row that does not exist.
    CellEFFMode* cellForItem(int row) const;
    // (grid width - 60) / 5 by 55.
    QSize sizeForItem() const;
    // Whether the effect of `row` takes touches (no light marked it).
    bool isItemAvailable(int row) const { return !m_unavailableRows.contains(row); }

public slots:
    // A tap on the tile of `row`: shows the effect, selects its tile, sends.
    void didSelectItem(int row);
    // A tap on an option button (tags 10 to 12).
    void buttonChangeClicked(QAbstractButton* button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void awakeFromNib();
    void scanReports();
    void buildTiles();
    void placeCollectionView();
    void updateTileSizes();
    void showMode(int row, bool optionLook);
    void setOptionButtonLook(QAbstractButton* button, bool pressed);

    std::unique_ptr<Ui::ViewEFF> m_ui;
    qint64 m_index = 0;
    // Rows whose effect a light marked unavailable; applied to every tile
    // whenever it is made.
    QSet<int> m_unavailableRows;
    QList<CellEFFMode*> m_cells;
};

}  // namespace lightdeck
