#include "devices/view_connected_devices.h"

#include <QApplication>
#include <QColor>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <utility>
#include <vector>

#include "bluetooth/ox_blue_tooth.h"
#include "common/log.h"
#include "devices/group_store.h"
#include "devices/shared_store.h"
#include "ui/display_name.h"
#include "ui/double_click_press.h"
#include "ui/notification_center.h"

namespace lightdeck {
namespace {

// Rows as a plain list shows them: black names on white, no separators, no
// selection highlight; a ticked row carries a check mark.
const char* const kListStyle =
    "QListWidget { background: white; color: black; border: none; outline: none; }"
    "QListWidget::item { color: black; background: white; border: none; padding-left: 10px; }"
    "QListWidget::indicator { width: 20px; height: 20px; }"
    "QListWidget::indicator:checked { image: url(:/images/ic_check.svg); }"
    "QListWidget::indicator:unchecked { image: none; border: none; }";

const char* const kButtonStyle =
    "QPushButton { background: white; color: black; border: none; border-radius: 25px; }"
    "QPushButton:pressed { background: rgb(220,220,220); }";

constexpr int kRowHeight = 44;

std::string describe(const OxBlueTooth::ConnectMap& connected)
{
    std::string text = "{";
    for (const auto& [id, flag] : connected)
        text += "\n    " + id + " = " + std::to_string(flag) + ";";
    return text + (connected.empty() ? "}" : "\n}");
}

const int* flagOf(const OxBlueTooth::ConnectMap& connected, const std::string& identifier)
{
    auto it = std::find_if(connected.begin(), connected.end(),
                           [&](const auto& entry) { return entry.first == identifier; });
    return it == connected.end() ? nullptr : &it->second;
}

std::shared_ptr<Peripheral> deviceOf(const OxBlueTooth::PeripheralMap& discovered, const std::string& identifier)
{
    auto it = std::find_if(discovered.begin(), discovered.end(),
                           [&](const auto& entry) { return entry.first == identifier; });
    return it == discovered.end() ? nullptr : it->second;
}

}  // namespace

ViewConnectedDevices::ViewConnectedDevices(const QRect& frame, QWidget* parent)
    : ViewConnectedDevices(nullptr, frame, parent)
{
}

ViewConnectedDevices::ViewConnectedDevices(GroupStore& store, const QRect& frame, QWidget* parent)
    : ViewConnectedDevices(&store, frame, parent)
{
}

ViewConnectedDevices::ViewConnectedDevices(GroupStore* ownStore, const QRect& frame, QWidget* parent)
    : QWidget(parent)
    , m_ownStore(ownStore)
{
    setGeometry(frame);
    createUI();
    reloadData();
}

ViewConnectedDevices::~ViewConnectedDevices() = default;

GroupStore& ViewConnectedDevices::store() const
{
    return m_ownStore ? *m_ownStore : sharedGroupStore();
}

void ViewConnectedDevices::createUI()
{
    m_panel = new QWidget(this);
    m_panel->setObjectName("pickerPanel");
    m_panel->setAttribute(Qt::WA_StyledBackground, true);
    m_panel->setStyleSheet("QWidget#pickerPanel { background: rgb(85,85,85); }");

    m_titleLabel = new QLabel(QStringLiteral("请选择要添加的设备"), m_panel);
    m_titleLabel->setTextFormat(Qt::PlainText);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    QFont titleFont = QApplication::font();
    titleFont.setPixelSize(kTitlePixels);
    m_titleLabel->setFont(titleFont);
    m_titleLabel->setStyleSheet("QLabel { color: white; background: transparent; }");

    m_tableView = new QListWidget(m_panel);
    m_tableView->setStyleSheet(kListStyle);
    m_tableView->setFrameShape(QFrame::NoFrame);
    m_tableView->setSelectionMode(QAbstractItemView::NoSelection);
    m_tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tableView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_tableView->setFocusPolicy(Qt::NoFocus);
    connect(m_tableView, &QListWidget::itemClicked, this, &ViewConnectedDevices::rowTapped);
    treatDoubleClicksAsPresses(m_tableView->viewport());

    m_buttonCancle = new QPushButton(QStringLiteral("取消"), m_panel);
    m_buttonSure = new QPushButton(QStringLiteral("确定"), m_panel);
    for (QPushButton* button : {m_buttonCancle, m_buttonSure}) {
        button->setStyleSheet(kButtonStyle);
        button->setFocusPolicy(Qt::NoFocus);
    }
    connect(m_buttonCancle, &QPushButton::clicked, this, &ViewConnectedDevices::buttonCancleClicked);
    connect(m_buttonSure, &QPushButton::clicked, this, &ViewConnectedDevices::buttonSureClicked);

    layoutPanel();
}

void ViewConnectedDevices::layoutPanel()
{
    const int panelWidth = std::max(width() - 2 * kSideInset, 40);
    const int panelHeight = height() / 2;
    m_panel->setGeometry(kSideInset, (height() - panelHeight) / 2, panelWidth, panelHeight);

    m_titleLabel->setGeometry(0, 8, panelWidth, kTitlePixels);
    const int buttonTop = panelHeight - 8 - kButtonHeight;
    const qreal centre = panelWidth / 2.0;
    m_buttonCancle->setGeometry(5, buttonTop, static_cast<int>(centre - 2.5) - 5, kButtonHeight);
    const int sureLeft = static_cast<int>(centre + 2.5);
    m_buttonSure->setGeometry(sureLeft, buttonTop, panelWidth - 5 - sureLeft, kButtonHeight);
    const int listTop = 8 + kTitlePixels + 8;
    m_tableView->setGeometry(5, listTop, panelWidth - 10, std::max(buttonTop - 8 - listTop, 0));
}

void ViewConnectedDevices::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutPanel();
}

void ViewConnectedDevices::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgbF(0, 0, 0, 0.5));
}

void ViewConnectedDevices::mousePressEvent(QMouseEvent* event)
{
    // Presses on the list and the buttons never get here: they take them.
    event->accept();
    dismiss();
}

// --- Rows -----------------------------------------------------------------------

void ViewConnectedDevices::reloadData()
{
    auto& manager = OxBlueTooth::sharedInstance();
    const auto connected = manager.connectDict();
    log::info("已连接设备：" + describe(connected));
    m_tableView->clear();
    for (const auto& [identifier, flag] : connected) {
        auto* item = new QListWidgetItem;
        configureRow(item, identifier, flag);
        m_tableView->addItem(item);
    }
}

void ViewConnectedDevices::configureRow(QListWidgetItem* item, const std::string& identifier, int flag)
{
    const auto device = deviceOf(OxBlueTooth::sharedInstance().discoverDict(), identifier);
    item->setText(device ? displayName(device->name()) : QString());
    item->setData(Qt::UserRole, QString::fromStdString(identifier));
    // The check mark only when ticked; an unticked row keeps the mark's room
    // empty, so the names stay aligned.
    item->setData(Qt::CheckStateRole, flag == 1 ? Qt::Checked : Qt::Unchecked);
    item->setFlags(Qt::ItemIsEnabled);
    item->setSizeHint(QSize(0, kRowHeight));
}

// A tap toggles the tick of the light the row shows. The manager changes
// connectDict on its own thread; a light that has left it since the rows
// were built is not ticked (its row goes at the reload).
void ViewConnectedDevices::rowTapped(QListWidgetItem* item)
{
    if (m_closed || !item)
        return;
    const std::string identifier = item->data(Qt::UserRole).toString().toStdString();
    auto& manager = OxBlueTooth::sharedInstance();
    const auto connected = manager.connectDict();
    const int* flag = flagOf(connected, identifier);
    if (!flag) {
        reloadData();
        return;
    }
    const int newFlag = *flag == 0 ? 1 : 0;
    manager.setPickFlag(identifier, newFlag);
    configureRow(item, identifier, newFlag);
}

// --- Buttons ----------------------------------------------------------------

void ViewConnectedDevices::buttonCancleClicked()
{
    dismiss();
}

void ViewConnectedDevices::buttonSureClicked()
{
    if (m_closed)
        return;
    auto& manager = OxBlueTooth::sharedInstance();
    manager.setControlDict({});

    const auto connected = manager.connectDict();
    const auto discovered = manager.discoverDict();
    std::vector<std::pair<std::string, std::string>> members;
    OxBlueTooth::PeripheralMap control;
    for (const auto& [identifier, flag] : connected) {
        if (flag != 1)
            continue;
        auto device = deviceOf(discovered, identifier);
        if (!device)
            continue;
        members.emplace_back(identifier, device->name());
        control.emplace_back(identifier, device);
    }
    manager.setControlDict(control);
    log::info("当前连接设备 = " + describe(connected));

    // Only a group that exists takes members: writing past the end of the
    // list would put the two stored arrays out of step.
    const bool groupExists =
        m_groupIndex >= 0 && static_cast<std::size_t>(m_groupIndex) < store().loadGroups().size();
    if (groupExists && !members.empty())
        store().addDevices(static_cast<std::size_t>(m_groupIndex), members);
    else if (!groupExists)
        log::warning("ViewConnectedDevices: no group at position " + std::to_string(m_groupIndex));

    NotificationCenter::defaultCenter().post(QStringLiteral("refreshDeviceList"));
    dismiss();
}

void ViewConnectedDevices::dismiss()
{
    if (m_closed)
        return;
    m_closed = true;
    hide();
    deleteLater();
}

}  // namespace lightdeck
