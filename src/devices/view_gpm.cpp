#include "devices/view_gpm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColor>
#include <QFontMetricsF>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>

#include <algorithm>
#include <cmath>

#include "bluetooth/ox_blue_tooth.h"
#include "common/log.h"
#include "common/log_text.h"
#include "controls/ox_toast.h"
#include "devices/long_press_recognizer.h"
#include "devices/shared_store.h"
#include "devices/view_connected_devices.h"
#include "protocol/text_limits.h"
#include "ui/alert_controller.h"
#include "ui/application_window.h"
#include "ui/display_name.h"
#include "ui/edit_view.h"
#include "ui/gradient_background.h"
#include "ui/gradient_painting.h"
#include "ui/images.h"
#include "ui/notification_center.h"
#include "ui/view_tag.h"
#include "ui_view_gpm.h"

namespace lightdeck {
namespace {

const QString kLongPressHint = QStringLiteral("请长按要删除或编辑的组合或序号进行操作");

// Group buttons: white title; the outlined image normally, the filled one
// when chosen. Only the left and right 10 pixels of each image are kept
// unstretched: the images are as high as the buttons, so nothing is scaled
// vertically, and a title measured at text width + 20 fits between them.
const char* const kButtonViewStyle =
    "QWidget#buttonView { background: transparent; }"
    "QPushButton { color: white; padding: 0px; border-width: 0px 10px;"
    "  border-image: url(:/images/bg_buttonGroup_white.svg) 0 10 0 10 stretch stretch; }"
    "QPushButton:checked {"
    "  border-image: url(:/images/bg_buttonGroup.svg) 0 10 0 10 stretch stretch; }";

const char* const kListStyle =
    "QListWidget { background: transparent; color: white; border: none; outline: none; }"
    "QListWidget::item { padding-left: %1px; color: white; background: transparent; border: none; }"
    "QScrollBar:vertical { width: 4px; background: transparent; }"
    "QScrollBar::handle:vertical { background: rgba(255,255,255,0.4); border-radius: 2px; }"
    "QScrollBar::add-line, QScrollBar::sub-line { height: 0px; }";

const char* const kScrollAreaStyle =
    "QScrollArea, QScrollArea > QWidget > QWidget#qt_scrollarea_viewport { background: transparent; }"
    "QScrollBar:vertical { width: 4px; background: transparent; }"
    "QScrollBar::handle:vertical { background: rgba(255,255,255,0.4); border-radius: 2px; }"
    "QScrollBar::add-line, QScrollBar::sub-line { height: 0px; }";

// A title as a button shows it: '&' would otherwise start a mnemonic and
// vanish from a name the user typed.
QString buttonText(const QString& title)
{
    QString text = title;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// The name field's limit: at most kGroupTitleMaxUtf16Units UTF-16 units,
// never splitting a character outside the Basic Multilingual Plane.
QString cutGroupTitle(const QString& text)
{
    if (static_cast<std::size_t>(text.size()) <= kGroupTitleMaxUtf16Units)
        return text;
    return QString::fromStdString(cutToUtf16Units(text.toStdString(), kGroupTitleMaxUtf16Units));
}

// Every edit of a group name field: a text of 7 or more units is cut to 6.
void textFieldEditingChanged(QLineEdit* field)
{
    const QString cut = cutGroupTitle(field->text());
    if (cut != field->text())
        field->setText(cut);
}

std::string describe(const OxBlueTooth::PeripheralMap& lights)
{
    std::string text = "{";
    for (const auto& [id, light] : lights)
        text += "\n    " + id + " = " + (light && !light->name().empty() ? escapedForLog(light->name()) : std::string("(no name)")) + ";";
    return text + (lights.empty() ? "}" : "\n}");
}

void setupArea(QWidget* area)
{
    auto* background = new GradientBackground(area);
    background->setStops(evenGradientStops({QColor::fromRgbF(0, 0, 0, 0), QColor::fromRgbF(0, 0, 0, 0.5)}));
    background->setCornerRadius(ViewGPM::kAreaRadius);
    background->setFillsParent(true);
    background->lower();
}

}  // namespace

ViewGPM::ViewGPM(QWidget* parent)
    : ViewGPM(nullptr, parent)
{
}

ViewGPM::ViewGPM(GroupStore& store, QWidget* parent)
    : ViewGPM(&store, parent)
{
}

ViewGPM::ViewGPM(GroupStore* ownStore, QWidget* parent)
    : QWidget(parent)
    , m_ownStore(ownStore)
    , m_ui(std::make_unique<Ui::ViewGPM>())
{
    m_ui->setupUi(this);
    setupArea(m_ui->groupView);
    setupArea(m_ui->deviceView);

    m_ui->buttonScrollArea->setStyleSheet(kScrollAreaStyle);
    m_ui->buttonScrollArea->viewport()->setAutoFillBackground(false);
    m_ui->buttonView->setStyleSheet(kButtonViewStyle);
    m_ui->buttonView->setAutoFillBackground(false);
    m_ui->tableView->setStyleSheet(QString::fromLatin1(kListStyle).arg(kRowIndent));
    m_ui->tableView->viewport()->setAutoFillBackground(false);
    m_ui->tableView->setFont(panelFont());

    const QString flatButton = "QPushButton { border: none; background: transparent; }";
    m_ui->addGroupButton->setStyleSheet(flatButton);
    m_ui->addGroupButton->setIcon(QIcon(imageNamed("ic_group_add", m_ui->addGroupButton->iconSize())));
    m_ui->editButton->setStyleSheet(flatButton);
    m_ui->editButton->setIcon(QIcon(imageNamed("ic_group_edit", m_ui->editButton->iconSize())));
    connect(m_ui->addGroupButton, &QPushButton::clicked, this, &ViewGPM::addGroupButtonClicked);
    connect(m_ui->editButton, &QPushButton::clicked, this, &ViewGPM::editButtonClick);

    m_allWidth = mainScreenSize().width() - 30;
    m_cursorX = kFlowStart;
    m_cursorY = kFlowStart;
    layoutAreas();

    m_arrayTitles = store().loadGroups();
    for (std::size_t position = 0; position < m_arrayTitles.size(); ++position)
        createButtonWithDictionary(m_arrayTitles[position], position);

    auto* memberPress = new LongPressRecognizer(m_ui->tableView->viewport());
    connect(memberPress, &LongPressRecognizer::recognized, this, &ViewGPM::pressAction);

    NotificationCenter::defaultCenter().observe(QStringLiteral("refreshDeviceList"), this,
                                                [this] { refreshTableView(); });
}

ViewGPM::~ViewGPM() = default;

GroupStore& ViewGPM::store() const
{
    return m_ownStore ? *m_ownStore : sharedGroupStore();
}

QWidget* ViewGPM::groupView() const { return m_ui->groupView; }
QWidget* ViewGPM::deviceView() const { return m_ui->deviceView; }
QWidget* ViewGPM::buttonView() const { return m_ui->buttonView; }
QListWidget* ViewGPM::tableView() const { return m_ui->tableView; }
QPushButton* ViewGPM::addGroupButton() const { return m_ui->addGroupButton; }
QPushButton* ViewGPM::editButton() const { return m_ui->editButton; }

QFont ViewGPM::panelFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(kButtonFontPixels);
    return font;
}

int ViewGPM::groupButtonWidth(const QString& title)
{
    const qreal textWidth = QFontMetricsF(panelFont()).horizontalAdvance(title);
    return std::max(static_cast<int>(std::ceil(textWidth)) + kButtonTextInset, kButtonMinWidth);
}

void ViewGPM::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutAreas();
}

void ViewGPM::layoutAreas()
{
    const int areaWidth = std::max(width() - 30, 60);
    m_ui->groupView->setGeometry(15, 10, areaWidth, kAreaHeight);
    m_ui->deviceView->setGeometry(15, 20 + kAreaHeight, areaWidth, kAreaHeight);
    m_ui->addGroupButton->move(areaWidth - 40, 5);
    m_ui->editButton->move(areaWidth - 40, 5);
    m_ui->buttonScrollArea->setGeometry(0, 40, areaWidth, kAreaHeight - 40);
    m_ui->tableView->setGeometry(0, 40, areaWidth, kAreaHeight - 40);
    fitButtonView();
}

void ViewGPM::fitButtonView()
{
    const QSize viewport = m_ui->buttonScrollArea->viewport()->size();
    const int rowsHeight = m_cursorY + kButtonHeight + kFlowStart;
    m_ui->buttonView->resize(std::max(viewport.width(), m_allWidth), std::max(viewport.height(), rowsHeight));
}

// --- Group buttons ---------------------------------------------------------

void ViewGPM::createButtonWithDictionary(const GroupRecord& record, std::size_t position)
{
    // A title from the preferences file is untrusted like a light's name.
    const QString title = displayName(record.title);
    const int w = groupButtonWidth(title);
    if (m_cursorX + w > m_allWidth) {
        m_cursorX = kFlowStart;
        m_cursorY += kButtonHeight + kButtonGap;
    }

    auto* button = new QPushButton(m_ui->buttonView);
    button->setGeometry(m_cursorX, m_cursorY, w, kButtonHeight);
    button->setCheckable(true);
    button->setChecked(record.selected);
    button->setFont(panelFont());
    button->setText(buttonText(title));
    button->setFocusPolicy(Qt::NoFocus);
    setTag(button, kGroupButtonTagBase + static_cast<int>(position));
    connect(button, &QPushButton::clicked, this, [this, button] { groupButtonClicked(button); });
    auto* longPress = new LongPressRecognizer(button);
    connect(longPress, &LongPressRecognizer::recognized, this, [this, button] { groupButtonLongPressed(button); });
    button->show();

    m_cursorX += w + kButtonGap;
    fitButtonView();
}

void ViewGPM::rebuildButtons()
{
    const auto buttons = m_ui->buttonView->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly);
    for (QAbstractButton* button : buttons)
        delete button;
    m_cursorX = kFlowStart;
    m_cursorY = kFlowStart;
    for (std::size_t position = 0; position < m_arrayTitles.size(); ++position)
        createButtonWithDictionary(m_arrayTitles[position], position);
    fitButtonView();
}

QAbstractButton* ViewGPM::groupButton(std::size_t position) const
{
    return qobject_cast<QAbstractButton*>(
        viewWithTag(m_ui->buttonView, kGroupButtonTagBase + static_cast<int>(position)));
}

// Choose group: a tap chooses an unchosen group and un-chooses the chosen one.
void ViewGPM::groupButtonClicked(QAbstractButton* tapped)
{
    const int position = tag(tapped) - kGroupButtonTagBase;
    if (position < 0 || static_cast<std::size_t>(position) >= m_arrayTitles.size())
        return;
    const auto tappedPosition = static_cast<std::size_t>(position);
    // The button has toggled itself already (it is checkable).
    const bool chosen = tapped->isChecked();

    for (std::size_t p = 0; p < m_arrayTitles.size(); ++p) {
        if (p == tappedPosition)
            continue;
        if (QAbstractButton* other = groupButton(p))
            other->setChecked(false);
    }
    // Rows on show always belong to the group at m_index: un-choosing some
    // other group (one shown chosen since it was stored so) drops them.
    if (!chosen && tappedPosition != m_index)
        clearMemberList();
    m_hasButtonSelected = chosen;
    m_index = tappedPosition;
    refreshTableView();

    GroupStore::chooseGroup(m_arrayTitles, tappedPosition, chosen);

    OxBlueTooth& manager = OxBlueTooth::sharedInstance();
    OxBlueTooth::PeripheralMap control;
    std::vector<std::shared_ptr<Peripheral>> toConnect;
    if (chosen) {
        const auto discovered = manager.discoverDict();
        for (const auto& [identifier, name] : m_deviceDict) {
            auto it = std::find_if(discovered.begin(), discovered.end(),
                                   [&](const auto& entry) { return entry.first == identifier; });
            if (it == discovered.end() || !it->second)
                continue;
            control.emplace_back(identifier, it->second);
            if (it->second->state() == PeripheralState::Disconnected)
                toConnect.push_back(it->second);
        }
    }
    manager.setControlDict(control);
    for (const auto& light : toConnect)
        manager.connectToDevice(light);
    log::info("当前控制的设备：" + describe(control));
}

void ViewGPM::groupButtonLongPressed(QAbstractButton* button)
{
    const int position = tag(button) - kGroupButtonTagBase;
    if (position < 0 || static_cast<std::size_t>(position) >= m_arrayTitles.size())
        return;
    auto* popup = new EditView(rect(), this);
    popup->setArrayTitle({QStringLiteral("修改组名"), QStringLiteral("删除该组")});
    // Just below the pressed button, wherever its row has scrolled to.
    popup->setTablePoint(button->mapTo(this, QPoint(0, button->height() + kButtonGap)));
    QPointer<ViewGPM> self(this);
    popup->setGetIndex([self, position](int row) {
        if (!self)
            return;
        if (row == 0)
            self->renameGroup(static_cast<std::size_t>(position));
        else if (row == 1)
            self->deleteGroup(static_cast<std::size_t>(position));
    });
    popup->show();
    popup->raise();
}

// --- Add, rename, delete ----------------------------------------------------

void ViewGPM::addGroupButtonClicked()
{
    auto* popup = new EditView(rect(), this);
    popup->setArrayTitle({QStringLiteral("添加"), QStringLiteral("长按进行操作")});
    const QWidget* sender = m_ui->addGroupButton;
    popup->setTablePoint({width() / 2, sender->mapTo(this, QPoint(0, sender->height())).y() + 5});
    QPointer<ViewGPM> self(this);
    popup->setGetIndex([self](int row) {
        if (!self)
            return;
        if (row == 0)
            self->addGroup();
        else if (row == 1)
            OxToast::showToastWithMessage(kLongPressHint);
    });
    popup->show();
    popup->raise();
}

void ViewGPM::addGroup()
{
    auto* alert = new AlertController(QStringLiteral("添加组"), QString(), this);
    alert->addTextField(&textFieldEditingChanged);
    alert->addAction(QStringLiteral("取消"), AlertController::ActionStyle::Cancel);
    QPointer<ViewGPM> self(this);
    alert->addAction(QStringLiteral("确定"), AlertController::ActionStyle::Default, [self, alert] {
        if (!self)
            return;
        const QString title = cutGroupTitle(alert->textField()->text());
        self->store().addGroup(self->m_arrayTitles, title.toStdString());
        self->createButtonWithDictionary(self->m_arrayTitles.back(), self->m_arrayTitles.size() - 1);
    });
    alert->present();
}

void ViewGPM::renameGroup(std::size_t position)
{
    auto* alert = new AlertController(QStringLiteral("修改组名"), QString(), this);
    alert->addTextField(&textFieldEditingChanged);
    alert->addAction(QStringLiteral("取消"), AlertController::ActionStyle::Cancel);
    QPointer<ViewGPM> self(this);
    alert->addAction(QStringLiteral("确定"), AlertController::ActionStyle::Default, [self, alert, position] {
        if (!self || position >= self->m_arrayTitles.size())
            return;
        const QString title = cutGroupTitle(alert->textField()->text());
        self->store().renameGroup(self->m_arrayTitles, position, title.toStdString());
        // The button keeps its width and place until the buttons are rebuilt.
        if (QAbstractButton* button = self->groupButton(position))
            button->setText(buttonText(displayName(title)));
    });
    alert->present();
}

void ViewGPM::deleteGroup(std::size_t position)
{
    auto* alert = new AlertController(QString(), QStringLiteral("确定删除该组合吗"), this);
    alert->addAction(QStringLiteral("取消"), AlertController::ActionStyle::Cancel);
    QPointer<ViewGPM> self(this);
    alert->addAction(QStringLiteral("确定"), AlertController::ActionStyle::Default, [self, position] {
        if (!self || position >= self->m_arrayTitles.size())
            return;
        const auto result = self->store().deleteGroup(self->m_arrayTitles, position);
        if (result == GroupStore::DeleteResult::RefusedUnderControl) {
            OxToast::showToastWithMessage(QStringLiteral("不可删除正在控制中的组合"));
            return;
        }
        if (result != GroupStore::DeleteResult::Deleted)
            return;
        // Keep m_index on the same group: the rows shown (and the chosen
        // group, which cannot be the deleted one) move down with it; rows of
        // the deleted group go with it.
        if (position == self->m_index) {
            self->clearMemberList();
            self->m_hasButtonSelected = false;
            self->m_index = 0;
        } else if (position < self->m_index) {
            --self->m_index;
        }
        self->rebuildButtons();
        self->refreshTableView();
    });
    alert->present();
}

// --- Member list --------------------------------------------------------------

void ViewGPM::refreshTableView()
{
    if (!m_hasButtonSelected)
        return;
    if (m_index >= m_arrayTitles.size()) {
        clearMemberList();
        return;
    }
    m_deviceDict = store().members(m_index);
    reloadMemberList();
}

void ViewGPM::reloadMemberList()
{
    QListWidget* list = m_ui->tableView;
    list->clear();
    for (const auto& [identifier, name] : m_deviceDict) {
        auto* item = new QListWidgetItem(displayName(name));
        item->setData(Qt::UserRole, QString::fromStdString(identifier));
        item->setSizeHint(QSize(0, kRowHeight));
        item->setFont(panelFont());
        item->setForeground(Qt::white);
        item->setFlags(Qt::ItemIsEnabled);
        list->addItem(item);
    }
}

void ViewGPM::clearMemberList()
{
    m_deviceDict.clear();
    m_ui->tableView->clear();
}

// Remove a member: a long press on a row asks, then removes that light from
// the group the rows belong to. controlDict is left as it is.
void ViewGPM::pressAction(QPoint pos)
{
    QListWidget* list = m_ui->tableView;
    QListWidgetItem* item = list->itemAt(pos);
    const int row = item ? list->row(item) : -1;
    log::info(std::to_string(row));
    // A press below the last row names no member: there is nothing to ask.
    if (row < 0 || static_cast<std::size_t>(row) >= m_deviceDict.size())
        return;
    const std::string identifier = m_deviceDict[static_cast<std::size_t>(row)].first;
    const std::size_t position = m_index;

    auto* alert = new AlertController(QStringLiteral("提示"), QStringLiteral("是否删除"), this);
    alert->addAction(QStringLiteral("取消"), AlertController::ActionStyle::Cancel);
    QPointer<ViewGPM> self(this);
    alert->addAction(QStringLiteral("确定"), AlertController::ActionStyle::Default, [self, identifier, position] {
        if (self)
            self->removeMember(identifier, position);
    });
    alert->present();
}

void ViewGPM::removeMember(const std::string& identifier, std::size_t position)
{
    // The rows may have changed group or been emptied meanwhile: remove
    // only what the press named, from the group it was shown for.
    if (position != m_index || position >= m_arrayTitles.size())
        return;
    store().removeDevice(position, identifier);
    m_deviceDict = store().members(position);
    reloadMemberList();
}

// --- Edit button ----------------------------------------------------------------

void ViewGPM::editButtonClick()
{
    auto* popup = new EditView(rect(), this);
    popup->setArrayTitle({QStringLiteral("添加"), QStringLiteral("长按进行操作")});
    popup->setTablePoint({width() / 2, m_ui->deviceView->y() + 50});
    QPointer<ViewGPM> self(this);
    popup->setGetIndex([self](int row) {
        if (!self)
            return;
        if (row == 0) {
            self->openDevicePicker();
        } else if (row == 1) {
            OxToast::showToastWithMessage(kLongPressHint);
        }
    });
    popup->show();
    popup->raise();
}

ViewConnectedDevices* ViewGPM::openDevicePicker()
{
    if (!m_hasButtonSelected || m_index >= m_arrayTitles.size()) {
        OxToast::showToastWithMessage(QStringLiteral("请选择添加设备的组"));
        return nullptr;
    }
    QWidget* host = applicationWindow();
    if (!host)
        host = window();
    auto* sheet = m_ownStore ? new ViewConnectedDevices(*m_ownStore, QRect(QPoint(0, 0), mainScreenSize()), host)
                             : new ViewConnectedDevices(QRect(QPoint(0, 0), mainScreenSize()), host);
    sheet->setGroupIndex(static_cast<qint64>(m_index));
    sheet->show();
    sheet->raise();
    return sheet;
}

}  // namespace lightdeck
