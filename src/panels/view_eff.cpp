#include "panels/view_eff.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QListWidgetItem>
#include <QPushButton>

#include <algorithm>
#include <string>

#include "bluetooth/ox_blue_tooth.h"
#include "common/log.h"
#include "panels/cell_eff_mode.h"
#include "protocol/command_frames.h"
#include "protocol/hex_text.h"
#include "ui/double_click_press.h"
#include "ui/images.h"
#include "ui/view_tag.h"
#include "ui_view_eff.h"

namespace lightdeck {
namespace {

// Report positions the panel scans: the effect number and the option byte.
constexpr std::size_t kEffectMarkerIndex = 3;
constexpr std::size_t kOptionMarkerIndex = 4;
// Half the option buttons' height: fully rounded ends.
constexpr int kOptionCornerRadius = 17;

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// Sends the run-long effect frame to the lights under control, after the log
// line `label` followed by the frame.
void sendEffectFrame(std::string_view label)
{
    const Bytes bytes = effectFrame().bytes();
    log::info(std::string(label) + "<" + hexTextFromBytes(bytes) + ">");
    OxBlueTooth::sharedInstance().writeDataWithData(bytes);
}

}  // namespace

ViewEFF::ViewEFF(QWidget* parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::ViewEFF>())
{
    awakeFromNib();
}

ViewEFF::~ViewEFF() = default;

QListWidget* ViewEFF::collectionView() const { return m_ui->collectionView; }
QLabel* ViewEFF::imageView() const { return m_ui->imageView; }
QLabel* ViewEFF::labelMode() const { return m_ui->labelMode; }
QLabel* ViewEFF::labelModeTitle() const { return m_ui->labelModeTitle; }

void ViewEFF::awakeFromNib()
{
    m_ui->setupUi(this);
    m_index = 0;

    for (int tag = kFirstOptionTag; tag <= kLastOptionTag; ++tag) {
        auto* button = qobject_cast<QAbstractButton*>(viewWithTag(this, tag));
        if (!button)
            continue;
        setOptionButtonLook(button, false);
        connect(button, &QAbstractButton::clicked, this, [this, button] { buttonChangeClicked(button); });
    }

    // The shields are read before any tile exists and applied to each tile
    // as it is made, so no tile of an unavailable effect ever takes touches.
    scanReports();
    buildTiles();

    connect(m_ui->collectionView, &QListWidget::clicked, this,
            [this](const QModelIndex& index) { didSelectItem(index.row()); });
    treatDoubleClicksAsPresses(m_ui->collectionView->viewport());
    for (QLabel* label : {m_ui->imageView, m_ui->labelMode, m_ui->labelModeTitle})
        label->setAttribute(Qt::WA_TransparentForMouseEvents);  // taps go to the panel
    m_ui->collectionView->installEventFilter(this);
    m_ui->gridArea->installEventFilter(this);
}

void ViewEFF::scanReports()
{
    const OxBlueTooth& manager = OxBlueTooth::sharedInstance();
    manager.shieldModulesFromData(ReportList::EFF, kEffectMarkerIndex, [this](std::uint8_t marker) {
        if (const auto row = unavailableEffectRow(marker))
            m_unavailableRows.insert(*row);
    });
    manager.shieldModulesFromData(ReportList::EFF, kOptionMarkerIndex, [this](std::uint8_t marker) {
        // Only the three option buttons can be named; other bytes (which
        // would name the panel itself or nothing) are ignored.
        const auto tag = unavailableOptionTag(marker);
        if (!tag)
            return;
        if (QWidget* button = viewWithTag(this, *tag))
            button->setEnabled(false);
    });
}

void ViewEFF::buildTiles()
{
    QListWidget* list = m_ui->collectionView;
    for (int row = 0; row < numberOfItems(); ++row) {
        auto* item = new QListWidgetItem(list);
        item->setSizeHint(sizeForItem());
        const bool available = isItemAvailable(row);
        item->setFlags(available ? Qt::ItemIsEnabled : Qt::NoItemFlags);

        auto* cell = new CellEFFMode;
        cell->setDict(kEffectModes[std::size_t(row)]);
        // Shielded: no touches, same look (the tile ignores its state).
        cell->setEnabled(available);
        list->setItemWidget(item, cell);
        m_cells.append(cell);
    }
}

CellEFFMode* ViewEFF::cellForItem(int row) const
{
    if (row < 0 || row >= m_cells.size())
        return nullptr;
    return m_cells[row];
}

QSize ViewEFF::sizeForItem() const
{
    const int width = (m_ui->collectionView->width() - 6 * kTileSpacing) / kTilesPerRow;
    return {std::max(width, 0), kTileHeight};
}

void ViewEFF::updateTileSizes()
{
    QListWidget* list = m_ui->collectionView;
    const QSize size = sizeForItem();
    for (int row = 0; row < list->count(); ++row)
        list->item(row)->setSizeHint(size);
    list->doItemsLayout();
}

void ViewEFF::placeCollectionView()
{
    // The list view puts `spacing` before the first tile and twice that
    // between tiles, and wraps a row whose last tile would reach its right
    // edge. Shifted right by half a gap inside its clipping area, and as wide
    // as the panel, it shows 10 around and between five tiles of
    // (width - 60) / 5; the 5 pixels it overhangs on the right stay empty.
    const QRect area = m_ui->gridArea->rect();
    const int inset = kTileSpacing / 2;
    m_ui->collectionView->setGeometry(inset, inset, area.width(), std::max(area.height() - inset, 0));
}

bool ViewEFF::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == m_ui->gridArea)
            placeCollectionView();
        else if (watched == m_ui->collectionView)
            updateTileSizes();
    }
    return QWidget::eventFilter(watched, event);
}

void ViewEFF::showMode(int row, bool optionLook)
{
    const EffectMode& record = kEffectModes[std::size_t(row)];
    const std::string_view image = optionLook ? record.optionImage : record.modeImage;
    m_ui->imageView->setPixmap(imageNamed(qs(image), QSize(kLargeIconSize, kLargeIconSize)));
    m_ui->labelMode->setText(qs(record.mode));
    m_ui->labelModeTitle->setText(qs(record.modeTitle));
}

void ViewEFF::didSelectItem(int row)
{
    if (row < 0 || row >= numberOfItems() || !isItemAvailable(row))
        return;
    showMode(row, false);
    // The tapped tile alone shows the selection look.
    for (int i = 0; i < m_cells.size(); ++i)
        m_cells[i]->setSelected(i == row);
    m_index = row;

    effectFrame().setParameter(frame_byte::kEffectNumber,
                               static_cast<std::uint8_t>(kEffectModes[std::size_t(row)].effectNumber));
    sendEffectFrame("collectionviewData：");
}

void ViewEFF::buttonChangeClicked(QAbstractButton* button)
{
    const int pressedTag = tag(button);
    if (pressedTag < kFirstOptionTag || pressedTag > kLastOptionTag || !button->isEnabled())
        return;
    showMode(int(m_index), true);
    for (int t = kFirstOptionTag; t <= kLastOptionTag; ++t) {
        if (auto* other = qobject_cast<QAbstractButton*>(viewWithTag(this, t)))
            setOptionButtonLook(other, t == pressedTag);
    }

    effectFrame().setParameter(frame_byte::kEffectOption, static_cast<std::uint8_t>(pressedTag - 9));
    sendEffectFrame("按钮数据：");
}

void ViewEFF::setOptionButtonLook(QAbstractButton* button, bool pressed)
{
    // One rule for every state: a shielded (disabled) button keeps its look.
    const QString background = pressed ? QStringLiteral("rgb(255, 0, 0)") : QStringLiteral("white");
    const QString text = pressed ? QStringLiteral("white") : QStringLiteral("black");
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: %2; border: none;"
                                         " border-radius: %3px; font-size: 14px; padding: 0 8px; }")
                              .arg(background, text)
                              .arg(kOptionCornerRadius));
}

}  // namespace lightdeck
