#include "devices/devices_controller.h"

#include <QElapsedTimer>
#include <QGraphicsDropShadowEffect>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTransform>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <utility>

#include "bluetooth/ox_blue_tooth.h"
#include "common/log.h"
#include "controls/ox_toast.h"
#include "devices/cell_device.h"
#include "devices/main_thread_relay.h"
#include "devices/shared_store.h"
#include "panels/setting_controller.h"
#include "protocol/command_frames.h"
#include "protocol/hex_text.h"
#include "ui/alert_controller.h"
#include "ui/double_click_press.h"
#include "ui/images.h"
#include "ui/navigation_controller.h"
#include "ui/notification_center.h"
#include "ui_devices_controller.h"

namespace lightdeck {
namespace {

constexpr const char* kServiceUuid = "FFF0";
constexpr const char* kCommandCharacteristic = "FFF1";
constexpr QSize kScanIconSize{44, 44};
constexpr QColor kBlue{42, 135, 255};

// The manager's events for one scan screen. The manager holds it weakly; the
// screen owns it. Runs on centralQueue (disConnectPeripheral on the main
// thread): everything but the name refresh goes to the screen's thread.
class DevicesControllerEvents final : public OxBlueToothDelegate {
public:
    DevicesControllerEvents(std::shared_ptr<MainThreadRelay> relay, DevicesController* screen)
        : m_relay(std::move(relay)), m_screen(screen)
    {
    }

    void didConnnetPeripheralSuccess(const std::shared_ptr<Peripheral>& peripheral) override
    {
        // Group members keep the name a light had when it last connected.
        // Done here, on the manager's queue: the store is safe from any thread.
        if (peripheral)
            sharedGroupStoreHandle()->refreshNames(peripheral->identifier(), peripheral->name());
        reload();
    }
    void didConnnetPeripheralFailure(const std::shared_ptr<Peripheral>&) override { reload(); }
    void disConnectPeripheral(const std::shared_ptr<Peripheral>&) override { reload(); }
    void refreshDeviceList() override { reload(); }
    void didDiscoverPeripheral(const std::shared_ptr<Peripheral>&) override { reload(); }

private:
    void reload()
    {
        // One reload per turn of the main loop: while one is queued, later
        // events ride on it (it reads the map when it runs). A burst of
        // discoveries thus costs one rebuild, not one each.
        if (m_reloadQueued.exchange(true))
            return;
        // The relay runs the function only while the screen exists.
        m_relay->post([this, screen = m_screen] {
            // Cleared before the map is read: an event after this point
            // queues a reload of its own.
            m_reloadQueued.store(false);
            screen->reloadData();
        });
    }

    std::shared_ptr<MainThreadRelay> m_relay;
    DevicesController* m_screen = nullptr;
    std::atomic<bool> m_reloadQueued{false};
};

std::string identifierList(const OxBlueTooth::PeripheralMap& devices)
{
    std::string text = "(";
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (i > 0)
            text += ", ";
        text += devices[i].first;
    }
    return text + ")";
}

QString roundButtonStyle(int diameter, const QColor& normal, const QColor& checked)
{
    return QStringLiteral("QPushButton { background-color: %1; border: none; border-radius: %2px; }"
                          "QPushButton:pressed { background-color: %3; }"
                          "QPushButton:checked { background-color: %4; }")
        .arg(normal.name())
        .arg(diameter / 2)
        .arg(normal.darker(112).name())
        .arg(checked.name());
}

}  // namespace

DevicesController::DevicesController(QWidget* parent)
    : ViewController(parent), m_ui(std::make_unique<Ui::DevicesController>())
{
    m_ui->setupUi(this);
    m_relay = std::make_shared<MainThreadRelay>(this);
    // Builds the rows a reload had no time for, on the next turn.
    m_rowBuilder.setSingleShot(true);
    m_rowBuilder.setInterval(0);
    connect(&m_rowBuilder, &QTimer::timeout, this, &DevicesController::reloadData);
    m_bluetoothEvents = std::make_shared<DevicesControllerEvents>(m_relay, this);
    styleControls();

    connect(m_ui->scanButton, &QPushButton::clicked, this, &DevicesController::scannerButtonClick);
    connect(m_ui->editButton, &QPushButton::clicked, this, &DevicesController::editButtonClicked);
    connect(m_ui->gpmButton, &QPushButton::clicked, this, &DevicesController::GPMButtonClicked);
    connect(m_ui->devicesList, &QListWidget::clicked, this,
            [this](const QModelIndex& index) { tableViewDidSelectRowAtIndexPath(index.row()); });
    treatDoubleClicksAsPresses(m_ui->devicesList->viewport());
}

DevicesController::~DevicesController()
{
    // No manager event may reach this screen from now on.
    m_relay->detach();
}

void DevicesController::styleControls()
{
    setAutoFillBackground(true);
    QPalette screenPalette = palette();
    screenPalette.setColor(QPalette::Window, Qt::white);
    setPalette(screenPalette);

    QFont titleFont = m_ui->titleLabel->font();
    titleFont.setPixelSize(28);
    titleFont.setBold(true);
    m_ui->titleLabel->setFont(titleFont);
    m_ui->titleLabel->setStyleSheet(QStringLiteral("color: rgb(32,32,36);"));
    QFont countFont = m_ui->countLabel->font();
    countFont.setPixelSize(13);
    m_ui->countLabel->setFont(countFont);
    m_ui->countLabel->setStyleSheet(QStringLiteral("color: rgb(140,140,146);"));

    const QColor grey(236, 236, 236);
    QIcon editIcon;
    editIcon.addPixmap(imageNamed(QStringLiteral("ic_devices_rename"), {24, 24}), QIcon::Normal, QIcon::Off);
    editIcon.addPixmap(imageNamed(QStringLiteral("ic_devices_rename_on"), {24, 24}), QIcon::Normal, QIcon::On);
    m_ui->editButton->setIcon(editIcon);
    m_ui->editButton->setIconSize({24, 24});
    m_ui->editButton->setStyleSheet(roundButtonStyle(46, grey, kBlue));
    m_ui->editButton->setToolTip(QStringLiteral("修改名称"));
    m_ui->editButton->setAccessibleName(QStringLiteral("修改名称"));
    m_ui->editButton->setCursor(Qt::PointingHandCursor);

    m_ui->gpmButton->setIcon(QIcon(imageNamed(QStringLiteral("ic_devices_groups"), {24, 24})));
    m_ui->gpmButton->setIconSize({24, 24});
    m_ui->gpmButton->setStyleSheet(roundButtonStyle(46, grey, grey));
    m_ui->gpmButton->setToolTip(QStringLiteral("GMP 组合编辑"));
    m_ui->gpmButton->setAccessibleName(QStringLiteral("GMP 组合编辑"));
    m_ui->gpmButton->setCursor(Qt::PointingHandCursor);

    // The scan button looks the same while it is disabled: the turning icon
    // says that a scan runs.
    m_ui->scanButton->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; border: none; border-radius: 40px; }"
                       "QPushButton:pressed { background-color: %2; }")
            .arg(kBlue.name(), kBlue.darker(115).name()));
    m_ui->scanButton->setCursor(Qt::PointingHandCursor);
    m_ui->scanButton->setAccessibleName(QStringLiteral("scan"));
    auto* shadow = new QGraphicsDropShadowEffect(m_ui->scanButton);
    shadow->setBlurRadius(24);
    shadow->setOffset(0, 6);
    shadow->setColor(QColor(42, 135, 255, 110));
    m_ui->scanButton->setGraphicsEffect(shadow);
    m_ui->imageView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_ui->imageView->setStyleSheet(QStringLiteral("background: transparent;"));
    showScanIcon(0.0);

    m_ui->devicesList->setStyleSheet(QStringLiteral("QListWidget { background: white; border: none; }"
                                                    "QListWidget::item { border: none; padding: 0px; }"
                                                    "QListWidget::item:hover { background: transparent; }"));
    m_ui->devicesList->setUniformItemSizes(true);
    m_ui->countLabel->setText(QStringLiteral("设备 0 · 已连接 0"));
}

void DevicesController::viewDidLoad()
{
    // The list has no separators (a QListWidget draws none). The screen
    // rescans on every return to the foreground, for its whole life.
    NotificationCenter::defaultCenter().observe(QStringLiteral("appDidBecomeActive"), this,
                                                [this] { appDidBecomeActive(); });
    m_degree = 0.5f;
}

void DevicesController::viewWillAppear()
{
    // There is no navigation bar to hide: every screen draws its own.
    runScan();
}

void DevicesController::scannerButtonClick() { runScan(); }

void DevicesController::appDidBecomeActive() { runScan(); }

void DevicesController::runScan()
{
    auto& manager = OxBlueTooth::sharedInstance();
    log::info("已发现设备 = " + identifierList(manager.discoverDict()));
    // Lights that are not connected disappear until they are heard again.
    manager.removeUnconnectedFromDiscoverDict();
    reloadData();
    scanPeripheral();

    // A turn already running is neither restarted nor extended.
    if (m_rotateTimer)
        return;
    m_ui->scanButton->setEnabled(false);
    m_rotateTimer = new QTimer(this);
    m_rotateTimer->setInterval(kRotateIntervalMs);
    connect(m_rotateTimer, &QTimer::timeout, this, &DevicesController::rotateImage);
    m_rotateTimer->start();
    m_stopTimer = new QTimer(this);
    m_stopTimer->setSingleShot(true);
    m_stopTimer->setInterval(kStopRotateMs);
    connect(m_stopTimer, &QTimer::timeout, this, &DevicesController::stopRotate);
    m_stopTimer->start();
}

void DevicesController::scanPeripheral()
{
    auto& manager = OxBlueTooth::sharedInstance();
    manager.setDelegate(m_bluetoothEvents);
    manager.setCharacteristicID(kCommandCharacteristic);
    manager.setUuidString(kServiceUuid);
    manager.startScannWithIdentifier(kServiceUuid);
}

void DevicesController::rotateImage()
{
    // degree counts half-turns: the icon jumps a quarter turn each tick.
    showScanIcon(static_cast<double>(m_degree) * 180.0);
    m_degree += 0.5f;
}

void DevicesController::stopRotate()
{
    // Deleted later: this may run inside the stop timer's own signal.
    if (m_rotateTimer) {
        m_rotateTimer->stop();
        m_rotateTimer->deleteLater();
    }
    if (m_stopTimer) {
        m_stopTimer->stop();
        m_stopTimer->deleteLater();
    }
    m_rotateTimer.clear();
    m_stopTimer.clear();
    m_ui->scanButton->setEnabled(true);
    // The image is set afresh; the last rotation stays.
    showScanIcon(m_iconRotation);
}

void DevicesController::showScanIcon(double degrees)
{
    m_iconRotation = degrees;
    QPixmap icon = imageNamed(QStringLiteral("ic_scan"), kScanIconSize);
    const double turn = std::fmod(degrees, 360.0);
    if (turn != 0.0) {
        const qreal ratio = icon.devicePixelRatio();
        icon = icon.transformed(QTransform().rotate(turn), Qt::SmoothTransformation);
        icon.setDevicePixelRatio(ratio);
    }
    m_ui->imageView->setPixmap(icon);
}

void DevicesController::reloadData()
{
    const auto devices = OxBlueTooth::sharedInstance().discoverDict();
    QListWidget* list = m_ui->devicesList;
    const int wanted = static_cast<int>(devices.size());
    // Rows are reused; only the difference is added or removed. Removing is
    // cheap and done at once. A new row costs about a millisecond (widgets,
    // style sheets), so new rows are added for at most kRowBuildBudgetMs per
    // turn of the event loop and the rest on the next turns: a crowd of
    // lights arriving never freezes the screen.
    while (list->count() > wanted)
        delete list->takeItem(list->count() - 1);
    QElapsedTimer budget;
    budget.start();
    while (list->count() < wanted) {
        // Rows are inserted a few at a time: the view lays out every row
        // widget it has at each insertion, so one at a time would cost the
        // square of the row count.
        const int first = list->count();
        const int batch = std::min(kRowBatch, wanted - first);
        list->insertItems(first, QStringList(batch, QString()));
        for (int row = first; row < first + batch; ++row) {
            QListWidgetItem* item = list->item(row);
            item->setFlags(Qt::ItemIsEnabled);
            item->setSizeHint({list->viewport()->width(), CellDevice::kRowHeight});
            list->setItemWidget(item, new CellDevice);
        }
        if (budget.elapsed() >= kRowBuildBudgetMs)
            break;
    }
    if (list->count() < wanted)
        m_rowBuilder.start();
    int connected = 0;
    for (int row = 0; row < wanted; ++row) {
        const auto& device = devices[static_cast<std::size_t>(row)].second;
        if (device->state() == PeripheralState::Connected)
            ++connected;
        if (CellDevice* cell = cellAt(row)) {
            cell->setPeripheral(device);
            cell->setIndexPath(row);
        }
    }
    m_ui->countLabel->setText(QStringLiteral("设备 %1 · 已连接 %2").arg(wanted).arg(connected));
}

void DevicesController::tableViewDidSelectRowAtIndexPath(int row)
{
    CellDevice* cell = cellAt(row);
    if (!cell || !cell->peripheral())
        return;
    // The light the user saw in the row. The manager may have dropped it
    // since the list was drawn (it changes the map on its own queue): then
    // the tap means nothing any more.
    const std::string identifier = cell->peripheral()->identifier();
    auto& manager = OxBlueTooth::sharedInstance();
    std::shared_ptr<Peripheral> device;
    for (const auto& [key, peripheral] : manager.discoverDict()) {
        if (key == identifier) {
            device = peripheral;
            break;
        }
    }
    if (!device) {
        // The list reload the manager's event queued is on its way.
        log::info("---row " + std::to_string(row) + " is gone: " + identifier);
        return;
    }
    if (device->state() != PeripheralState::Connected) {
        OxToast::showToastWithMessage(QStringLiteral("连接设备后才可进行控制或编辑操作"));
        return;
    }
    // From now on commands go to this light only.
    manager.setControlDict({{identifier, device}});
    if (!m_isEditing) {
        manager.stopScann();
        openSettingController(0);
    } else {
        showChangeNameAlertAtIndexPath(row);
    }
}

void DevicesController::editButtonClicked()
{
    // The toggle has flipped its checked state by itself.
    m_isEditing = m_ui->editButton->isChecked();
    OxToast::showToastWithMessage(m_isEditing ? QStringLiteral("进入编辑模式，请选择已连接的设备改名")
                                              : QStringLiteral("退出编辑模式"));
}

void DevicesController::GPMButtonClicked() { openSettingController(5); }

void DevicesController::openSettingController(qint64 index)
{
    auto* setting = new SettingController;
    setting->setIndex(index);
    if (NavigationController* navigation = navigationController()) {
        navigation->push(setting, true);
    } else {
        log::warning("DevicesController: no navigation stack to open the control screen in");
        delete setting;
    }
}

void DevicesController::showChangeNameAlertAtIndexPath(int)
{
    // The row is not needed: the new name goes to the light now in controlDict.
    auto* alert = new AlertController(QStringLiteral("修改名称"), QString(), this);
    alert->addTextField([this](QLineEdit* field) { textFieldEditingChanged(field); });
    alert->addAction(QStringLiteral("取消"), AlertController::ActionStyle::Cancel);
    alert->addAction(QStringLiteral("确定"), AlertController::ActionStyle::Default,
                     [this, alert] { renameControlledLight(alert->textField()->text()); });
    alert->present();
}

void DevicesController::textFieldEditingChanged(QLineEdit* field)
{
    if (field && field->text().size() > kNameLimit)
        field->setText(limitedName(field->text()));
}

QString DevicesController::limitedName(const QString& text)
{
    if (text.size() <= kNameLimit)
        return text;
    qsizetype cut = kNameLimit;
    // Never keep the first half of a pair without its second.
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut);
}

void DevicesController::renameControlledLight(const QString& name)
{
    auto& manager = OxBlueTooth::sharedInstance();
    manager.setIsChangeName(true);
    manager.setCharacteristicID(kCommandCharacteristic);
    const QByteArray utf8 = limitedName(name).toUtf8();
    const Bytes data = renameMessage(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    manager.writeDataWithData(data);
    log::info("---data = <" + hexTextFromBytes(data) + ">");
}

QListWidget* DevicesController::devicesList() const { return m_ui->devicesList; }
QPushButton* DevicesController::scanButton() const { return m_ui->scanButton; }
QPushButton* DevicesController::editButton() const { return m_ui->editButton; }
QPushButton* DevicesController::gpmButton() const { return m_ui->gpmButton; }
QLabel* DevicesController::imageView() const { return m_ui->imageView; }

CellDevice* DevicesController::cellAt(int row) const
{
    QListWidgetItem* item = m_ui->devicesList->item(row);
    return item ? qobject_cast<CellDevice*>(m_ui->devicesList->itemWidget(item)) : nullptr;
}

int DevicesController::rowCount() const { return m_ui->devicesList->count(); }

}  // namespace lightdeck
