#include "soak/soak_driver.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "app/app_delegate.h"
#include "bluetooth/ox_blue_tooth.h"
#include "bluetooth/simulated/light_simulator.h"
#include "common/log_text.h"
#include "controls/ox_slider_view.h"
#include "devices/cell_device.h"
#include "devices/devices_controller.h"
#include "devices/view_connected_devices.h"
#include "devices/view_gpm.h"
#include "panels/setting_controller.h"
#include "panels/view_cct.h"
#include "panels/view_eff.h"
#include "panels/view_hsi.h"
#include "panels/view_set.h"
#include "panels/view_sos.h"
#include "protocol/utf8.h"
#include "soak/frame_rules.h"
#include "support/ui_test_support.h"
#include "ui/alert_controller.h"
#include "ui/edit_view.h"
#include "ui/navigation_controller.h"
#include "ui/notification_center.h"

namespace lightdeck::testing {
namespace {

using nlohmann::json;

constexpr std::size_t kRecentSteps = 30;
// Chance that a step is a fault rather than a user action.
constexpr double kFaultShare = 0.12;
// Long presses take a real second each (the recogniser's timer): a bound
// on waiting for one to be recognised, not a speed requirement.
constexpr int kLongPressWaitMs = 5000;

// Names a light may give itself or a user may paste: markup, terminal
// escapes, line breaks, bidirectional overrides, malformed UTF-8, very long
// names and emoji across every cut.
const std::vector<std::string>& nastyNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n = {
            "Key Light",
            "摄影主灯",
            "<b>x</b>",
            "<img src=x onerror=alert(1)>",
            "\x1b[31mred\x1b[0m",
            "\xE2\x80\xAE" "evil.exe",
            "\xE2\x81\xA6iso\xE2\x81\xA9 late",
            "line\r\nbreak",
            std::string("nul\0inside", 10),
            "\xFF\xFE bad UTF-8 \xC3",
            "back\\slash \\x1B",
            "&amp;&lt;%s%n",
            "",
            "\xC2\x85" "C1 NEL",
            std::string(300, 'W'),
        };
        std::string emojiAtCut(19, 'a');  // the rename cut falls inside the emoji
        emojiAtCut += "😀";
        n.push_back(emojiAtCut);
        std::string familyAtDisplayCut(31, 'b');  // a joined emoji across the display cut
        familyAtDisplayCut += "👨‍👩‍👧" + std::string(40, 'c');
        n.push_back(familyAtDisplayCut);
        std::string manyEmoji;
        for (int i = 0; i < 120; ++i)
            manyEmoji += i % 2 ? "😀" : "🇨🇳";
        n.push_back(manyEmoji);
        return n;
    }();
    return names;
}

// Text typed key by key (QTest types Latin-1 only; the rest is pasted).
const QStringList& typedTexts()
{
    static const QStringList texts = {"Desk", "Fill 2", "<b>", "a&b", "x", "", "Key Light 12345678901234", "\\n"};
    return texts;
}

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Resident memory of this process in KiB (0 where /proc is missing).
long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    if (!(statm >> size >> resident))
        return 0;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// A corner of `area` outside `avoid`.
QPoint pointOutside(const QRect& avoid, const QRect& area)
{
    const QPoint corners[] = {area.topLeft() + QPoint(2, 2), area.topRight() + QPoint(-2, 2),
                              area.bottomLeft() + QPoint(2, -2), area.bottomRight() + QPoint(-2, -2)};
    for (const QPoint& corner : corners) {
        if (!avoid.contains(corner))
            return corner;
    }
    return corners[0];
}

}  // namespace

SoakDriver::SoakDriver(AppDelegate& app, LightSimulator& simulator, std::vector<VirtualLight*> lights,
                       std::filesystem::path preferencesFile, std::uint32_t seed)
    : m_app(app)
    , m_simulator(simulator)
    , m_lights(std::move(lights))
    , m_preferencesFile(std::move(preferencesFile))
    , m_seed(seed)
    , m_random(seed)
{
    m_previousSink = log::setSink([this](log::Level level, std::string_view line) { logLine(level, line); });
}

SoakDriver::~SoakDriver()
{
    log::setSink(m_previousSink);
    if (!m_simulator.isPoweredOn())
        m_simulator.setPoweredOn(true);
}

// --- The run ------------------------------------------------------------------

bool SoakDriver::run(long steps, const std::function<void()>& beat)
{
    settle();
    if (!checkInvariants())
        return false;
    for (long i = 0; i < steps; ++i) {
        if (beat)
            beat();
        step();
        ++m_stepsDone;
        if (!checkInvariants())
            return false;
        if (m_stepsDone == steps / 10)
            m_residentAfterWarmUp = residentKiB();
    }
    m_residentAtEnd = residentKiB();
    // The adapter back on for whatever comes next.
    if (!m_simulator.isPoweredOn()) {
        recordFault("adapter on");
        m_simulator.setPoweredOn(true);
        settle();
    }
    return checkInvariants();
}

void SoakDriver::step()
{
    if (m_adapterOnInSteps > 0 && --m_adapterOnInSteps == 0) {
        recordFault("adapter on");
        m_simulator.setPoweredOn(true);
        settle();
    }
    if (chance(kFaultShare))
        fault();
    else
        userAction(context());
    settle();
}

SoakDriver::Context SoakDriver::context() const
{
    if (!AlertController::openAlerts().isEmpty())
        return Context::Alert;
    QWidget* window = m_app.window();
    for (ViewConnectedDevices* picker : window->findChildren<ViewConnectedDevices*>()) {
        if (picker->isVisible() && !picker->isClosed())
            return Context::Picker;
    }
    for (EditView* popup : window->findChildren<EditView*>()) {
        if (popup->isVisible())
            return Context::Popup;
    }
    if (qobject_cast<SettingController*>(m_app.navigationController()->top()))
        return Context::Control;
    return Context::Scan;
}

void SoakDriver::userAction(Context context)
{
    switch (context) {
    case Context::Alert:
        alertAction(AlertController::openAlerts().last());
        return;
    case Context::Picker:
        for (ViewConnectedDevices* picker : m_app.window()->findChildren<ViewConnectedDevices*>()) {
            if (picker->isVisible() && !picker->isClosed())
                return pickerAction(picker);
        }
        return;
    case Context::Popup:
        for (EditView* popup : m_app.window()->findChildren<EditView*>()) {
            if (popup->isVisible())
                return popupAction(popup);
        }
        return;
    case Context::Control:
        controlScreenAction(qobject_cast<SettingController*>(m_app.navigationController()->top()));
        return;
    case Context::Scan:
        scanScreenAction();
        return;
    }
}

// --- User actions --------------------------------------------------------------

void SoakDriver::scanScreenAction()
{
    DevicesController& screen = *m_app.devicesController();
    const int rows = screen.rowCount();
    switch (pick({5, 4, 0.5, 0.4, 1.2, 1})) {
    case 0: {
        if (rows == 0) {
            recordUser("scan: foreground (nothing listed)");
            NotificationCenter::defaultCenter().post(QStringLiteral("appDidBecomeActive"));
            return;
        }
        // People mostly tap the lights that show as connected.
        const int row = rowWhere(screen, chance(0.7), rows);
        CellDevice* cell = screen.cellAt(row);
        const std::string identifier = cell && cell->peripheral() ? cell->peripheral()->identifier() : "";
        recordUser(screen.isEditing() ? "scan: tap row (rename mode)" : "scan: tap row", identifier);
        clickListRow(screen.devicesList(), row);
        settle();
        if (!identifier.empty() && controlled() == std::set<std::string>{identifier})
            m_allowed = {identifier};
        return;
    }
    case 1: {
        if (rows == 0)
            return scanScreenAction();
        // ... and mostly press the button of one that is not.
        CellDevice* cell = screen.cellAt(rowWhere(screen, chance(0.3), rows));
        recordUser("scan: connect button", cell->peripheral() ? cell->peripheral()->identifier() : "");
        click(cell->buttonConnect());
        return;
    }
    case 2:
        recordUser("scan: scan button");
        click(screen.scanButton());
        return;
    case 3:
        recordUser("scan: rename mode button");
        click(screen.editButton());
        return;
    case 4:
        recordUser("scan: group button");
        click(screen.gpmButton());
        return;
    default:
        recordUser("scan: back to the foreground");
        NotificationCenter::defaultCenter().post(QStringLiteral("appDidBecomeActive"));
        return;
    }
}

int SoakDriver::rowWhere(DevicesController& screen, bool connected, int rows)
{
    std::vector<int> matching;
    for (int row = 0; row < rows; ++row) {
        CellDevice* cell = screen.cellAt(row);
        const bool isConnected = cell && cell->peripheral() && cell->peripheral()->state() == PeripheralState::Connected;
        if (isConnected == connected)
            matching.push_back(row);
    }
    if (matching.empty())
        return uniform(0, rows - 1);
    return matching[static_cast<std::size_t>(uniform(0, int(matching.size()) - 1))];
}

void SoakDriver::alertAction(AlertController* alert)
{
    const std::string which = (alert->title().isEmpty() ? alert->message() : alert->title()).toStdString();
    if (chance(0.6)) {
        if (QLineEdit* field = alert->textField()) {
            if (chance(0.5)) {
                const QString text = typedText();
                recordUser("alert: type", text.toStdString());
                field->setFocus();
                field->selectAll();
                QTest::keyClick(field, Qt::Key_Backspace);
                QTest::keyClicks(field, text);
            } else {
                const std::string name = nastyName();
                recordUser("alert: paste", escapedForLog(name));
                field->setText(fromUtf8(name));
            }
        }
        recordUser("alert: confirm " + which);
        if (chance(0.8)) {
            if (QPushButton* ok = alert->buttonForAction(QStringLiteral("确定")))
                click(ok);
        } else {
            QTest::keyClick(alert, Qt::Key_Return);
        }
        return;
    }
    recordUser("alert: cancel " + which);
    if (QPushButton* cancel = alert->buttonForAction(QStringLiteral("取消")); cancel && chance(0.7))
        click(cancel);
    else
        QTest::keyClick(alert, Qt::Key_Escape);
}

void SoakDriver::popupAction(EditView* popup)
{
    const QStringList titles = popup->arrayTitle();
    const int choice = pick({3, 1, 1});
    if (choice < 2 && choice < titles.size()) {
        recordUser("popup: " + titles.at(choice).toStdString());
        clickListRow(popup->tableView(), choice);
        return;
    }
    recordUser("popup: tap beside it");
    click(popup, pointOutside(popup->tableView()->geometry(), popup->rect()));
}

void SoakDriver::pickerAction(ViewConnectedDevices* picker)
{
    QListWidget* list = picker->tableView();
    switch (pick({3, 2, 0.6, 0.4})) {
    case 0:
        if (list->count() > 0) {
            const int row = uniform(0, list->count() - 1);
            recordUser("picker: tick", list->item(row)->data(Qt::UserRole).toString().toStdString());
            clickListRow(list, row);
            return;
        }
        [[fallthrough]];
    case 1: {
        // The user confirms the ticks on show.
        std::set<std::string> ticked;
        for (int row = 0; row < list->count(); ++row) {
            const QListWidgetItem* item = list->item(row);
            if (item->data(Qt::CheckStateRole).toInt() == Qt::Checked)
                ticked.insert(item->data(Qt::UserRole).toString().toStdString());
        }
        recordUser("picker: confirm", std::to_string(ticked.size()) + " ticked");
        click(picker->sureButton());
        settle();
        m_allowed = ticked;
        return;
    }
    case 2:
        recordUser("picker: cancel");
        click(picker->cancelButton());
        return;
    default:
        recordUser("picker: tap beside it");
        click(picker, QPoint(3, 3));
        return;
    }
}

void SoakDriver::controlScreenAction(SettingController* screen)
{
    switch (pick({2.5, 0.5, 0.3, 6})) {
    case 0: {
        const int tag = uniform(SettingController::kFirstModeTag,
                                SettingController::kFirstModeTag + SettingController::kModeCount - 1);
        recordUser("control: mode button " + std::to_string(tag));
        click(screen->modeButton(tag));
        return;
    }
    case 1:
        recordUser("control: back");
        click(screen->findChild<QPushButton*>(QStringLiteral("backButton")));
        return;
    case 2:
        recordUser("control: Bluetooth button");
        click(screen->findChild<QPushButton*>(QStringLiteral("blueToothButton")));
        return;
    default:
        pageAction(screen);
        return;
    }
}

void SoakDriver::pageAction(SettingController* screen)
{
    // A drag (mouse or finger) or a tap somewhere on and around a slider.
    const auto operateSlider = [this](OxSliderView* slider, const std::string& what) {
        const QPoint from = slider->thumbCentre().toPoint();
        const QPoint to(uniform(-20, slider->width() + 20), slider->height() / 2);
        switch (pick({6, 2, 1.5})) {
        case 0:
            recordUser(what + ": drag");
            drag(slider, from, to, uniform(1, 6));
            return;
        case 1:
            recordUser(what + ": tap");
            click(slider, to);
            return;
        default:
            recordUser(what + ": finger drag");
            touchDrag(slider, from, to, uniform(1, 6), chance(0.2));
            return;
        }
    };

    switch (screen->currentPage()) {
    case 0: {
        ViewCCT* panel = screen->viewCCT();
        operateSlider(chance(0.5) ? panel->temperatureSlider() : panel->brightnessSlider(), "colour temperature");
        return;
    }
    case 1: {
        ViewHSI* panel = screen->viewHSI();
        QLabel* wheel = panel->imageView();
        switch (pick({3.5, 2.5, 1, 3})) {
        case 0:
            recordUser("hue wheel: drag");
            drag(wheel, anywhereIn(wheel), anywhereIn(wheel, 20), uniform(1, 8));
            return;
        case 1:
            recordUser("hue wheel: tap");
            click(wheel, anywhereIn(wheel));
            return;
        case 2:
            recordUser("hue wheel: finger drag");
            touchDrag(wheel, anywhereIn(wheel), anywhereIn(wheel, 20), uniform(1, 8), chance(0.25));
            return;
        default:
            operateSlider(chance(0.5) ? panel->sliderViewHUE() : panel->brightnessSlider(), "hue slider");
            return;
        }
    }
    case 2: {
        ViewEFF* panel = screen->viewEFF();
        if (chance(0.6)) {
            const int row = uniform(0, panel->numberOfItems() - 1);
            recordUser("effects: tile " + std::to_string(row));
            clickListRow(panel->collectionView(), row);
        } else {
            const int tag = uniform(10, 12);
            recordUser("effects: option " + std::to_string(tag));
            if (QWidget* option = findByTag(panel, tag))
                click(option);
        }
        return;
    }
    case 3: {
        const int tag = uniform(10, 16);
        recordUser("preset colours: colour " + std::to_string(tag));
        if (QWidget* colour = findByTag(screen->viewSET(), tag))
            click(colour);
        return;
    }
    case 4:
        recordUser("SOS: tap");
        click(screen->viewSOS()->labelSOS());
        return;
    default:
        groupPageAction(screen->viewGPM());
        return;
    }
}

void SoakDriver::groupPageAction(ViewGPM* panel)
{
    int groups = 0;
    while (findByTag(panel->buttonView(), ViewGPM::kGroupButtonTagBase + groups))
        ++groups;
    const auto visiblePopup = [panel] {
        for (EditView* popup : panel->findChildren<EditView*>()) {
            if (popup->isVisible())
                return true;
        }
        return false;
    };

    int choice = pick({4, 0.4, 1.5, 1.2, 0.15});
    if (groups == 0 && (choice == 0 || choice == 1))
        choice = 2;
    QListWidget* members = panel->tableView();
    if (choice == 4 && members->count() == 0)
        choice = 0;
    if (groups == 0 && choice == 0)
        choice = 2;

    switch (choice) {
    case 0: {
        const int position = uniform(0, groups - 1);
        recordUser("groups: tap group", std::to_string(position));
        // The group's members as stored now: choosing it may put no other
        // light under control.
        const std::set<std::string> stored = groupMembers(position);
        click(findByTag(panel->buttonView(), ViewGPM::kGroupButtonTagBase + position));
        settle();
        m_allowed = stored;
        return;
    }
    case 1: {
        const int position = uniform(0, groups - 1);
        QWidget* button = findByTag(panel->buttonView(), ViewGPM::kGroupButtonTagBase + position);
        const bool recognised = longPressUntil(button, centreOf(button), visiblePopup);
        recordUser(recognised ? "groups: long press group" : "groups: long press group (not recognised)",
                   std::to_string(position));
        return;
    }
    case 2:
        recordUser("groups: add button");
        click(panel->addGroupButton());
        return;
    case 3:
        recordUser("groups: edit button");
        click(panel->editButton());
        return;
    default: {
        const int row = uniform(0, members->count() - 1);
        members->scrollToItem(members->item(row));
        const QPoint at = members->visualItemRect(members->item(row)).center();
        const bool recognised = longPressUntil(members->viewport(), at,
                                               [] { return !AlertController::openAlerts().isEmpty(); });
        recordUser(recognised ? "groups: long press member" : "groups: long press member (not recognised)",
                   std::to_string(row));
        return;
    }
    }
}

// --- Faults --------------------------------------------------------------------

void SoakDriver::fault()
{
    VirtualLight* light = anyLight();
    const std::string id = light->identifier();
    switch (pick({2, 1.5, 2, 0.5, 1.5, 1.5})) {
    case 0:
        recordFault("dropped connection", id);
        light->dropConnection();
        return;
    case 1:
        recordFault("failed connect", id);
        light->failNextConnect(uniform(1, 2));
        return;
    case 2:
        recordFault("write error", id);
        light->failNextWrite(uniform(1, 3));
        return;
    case 3:
        if (m_adapterOnInSteps > 0)
            return fault();
        recordFault("adapter off");
        m_simulator.setPoweredOn(false);
        m_adapterOnInSteps = uniform(1, 5);
        return;
    case 4: {
        const std::string name = nastyName();
        recordFault("light renames itself", id + " -> " + escapedForLog(name));
        light->setName(name);
        return;
    }
    default: {
        // Reports of every shape; a marker byte (which shields a control
        // for the rest of the run) only now and then.
        const int count = uniform(20, 150);
        const bool withMarker = chance(0.05);
        long sent = 0;
        for (int i = 0; i < count; ++i) {
            Bytes report;
            switch (pick({6, 1, 1})) {
            case 0:
                report = {0xAA, static_cast<std::uint8_t>(uniform(1, 6))};
                for (int p = 0; p < 4; ++p)
                    report.push_back(static_cast<std::uint8_t>(uniform(0, 100)));
                report.push_back(0xBB);
                break;
            case 1:
                for (int b = uniform(0, 24); b > 0; --b)
                    report.push_back(static_cast<std::uint8_t>(uniform(0, 255)));
                break;
            default:
                report = {0xAA, static_cast<std::uint8_t>(chance(0.5) ? 0 : uniform(7, 255)), 1, 2, 3, 4, 0xBB};
                break;
            }
            if (withMarker && i == count / 2) {
                report = {0xAA, static_cast<std::uint8_t>(uniform(1, 6)), 0, 0, 0, 0, 0xBB};
                report[static_cast<std::size_t>(uniform(2, 5))] = static_cast<std::uint8_t>(uniform(0xF1, 0xFF));
            }
            sent += light->sendReport(report) ? 1 : 0;
        }
        m_reportsSent += sent;
        recordFault(withMarker ? "report flood (with a marker)" : "report flood",
                    id + ": " + std::to_string(sent) + " of " + std::to_string(count) + " delivered");
        return;
    }
    }
}

// --- Invariants ----------------------------------------------------------------

void SoakDriver::settle()
{
    NavigationController* navigation = m_app.navigationController();
    for (int round = 0; round < 3; ++round) {
        if (navigation && navigation->isTransitioning())
            navigation->finishTransition();
        processEvents();
        m_simulator.waitIdle();
    }
    processEvents();
}

bool SoakDriver::checkInvariants()
{
    // The preferences file: whole, private, the two arrays in step.
    if (std::filesystem::exists(m_preferencesFile)) {
        ++m_preferencesChecks;
        std::ifstream in(m_preferencesFile, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const json root = json::parse(text, nullptr, false);
        if (root.is_discarded() || !root.is_object())
            return fail("the preferences file does not parse: " + escapedForLog(text.substr(0, 200)));
        const json groups = root.value("groupList", json::array());
        const json members = root.value("deviceInGroup", json::array());
        if (!groups.is_array() || !members.is_array())
            return fail("groupList or deviceInGroup is not an array");
        if (groups.size() != members.size())
            return fail("groupList has " + std::to_string(groups.size()) + " groups, deviceInGroup "
                        + std::to_string(members.size()));
        int selected = 0;
        for (const json& group : groups) {
            if (!group.is_object() || !group.value("title", json()).is_string()
                || !group.value("selected", json()).is_boolean())
                return fail("a malformed group record: " + group.dump());
            selected += group["selected"].get<bool>() ? 1 : 0;
        }
        // One group at most is the one chosen for control.
        if (selected > 1)
            return fail(std::to_string(selected) + " groups are stored as selected: " + groups.dump());
        for (const json& map : members) {
            if (!map.is_object())
                return fail("a membership map that is not an object: " + map.dump());
            for (const auto& [identifier, name] : map.items()) {
                if (!name.is_string())
                    return fail("member " + identifier + " has no name string");
            }
        }
        struct stat info {};
        if (::stat(m_preferencesFile.c_str(), &info) == 0 && (info.st_mode & 0777) != 0600)
            return fail("the preferences file has mode " + std::to_string(info.st_mode & 0777) + " (octal 600 expected)");
    }

    // What the lights received since the last check.
    for (VirtualLight* light : m_lights) {
        const std::vector<Bytes> writes = light->writes();
        light->clearWrites();
        for (const Bytes& value : writes) {
            const std::string problem = frameProblem(value);
            if (!problem.empty())
                return fail("light " + light->identifier() + " received a malformed value: " + problem);
            if (value.size() >= 2 && value[1] == 0x00)
                ++m_renamesReceived;
            else
                ++m_framesReceived;
        }
    }

    // The lights under control: only what a screen put there.
    const std::set<std::string> underControl = controlled();
    m_stepsWithControl += underControl.empty() ? 0 : 1;
    for (const std::string& identifier : underControl) {
        if (!m_allowed.count(identifier)) {
            std::string allowed;
            for (const std::string& a : m_allowed)
                allowed += " " + a;
            return fail("light " + identifier + " is under control; the screens chose only {" + allowed + " }");
        }
    }

    std::string unsafe;
    {
        std::lock_guard lock(m_mutex);
        unsafe = m_unsafeLogLine;
    }
    if (!unsafe.empty())
        return fail("a log line with a raw control or bidi character: " + escapedForLog(unsafe));
    return true;
}

bool SoakDriver::fail(const std::string& what)
{
    m_failure = "after step " + std::to_string(m_stepsDone) + ": " + what + "\n" + recentSteps();
    return false;
}

void SoakDriver::logLine(log::Level level, std::string_view line)
{
    // The manager's map dumps break lines on purpose; nothing else may
    // reach the log raw.
    bool unsafe = false;
    for (std::size_t offset = 0; offset < line.size() && !unsafe;) {
        const auto decoded = utf8::decodeAt(line, offset);
        const bool malformed = decoded.codePoint == utf8::kReplacementCharacter
                               && line.substr(offset, decoded.length) != "\xEF\xBF\xBD";
        unsafe = malformed || (decoded.codePoint != U'\n' && isUnsafeForLog(decoded.codePoint));
        offset += decoded.length;
    }
    std::lock_guard lock(m_mutex);
    ++m_logLines;
    if (level == log::Level::Warning)
        ++m_logWarnings;
    if (unsafe && m_unsafeLogLine.empty())
        m_unsafeLogLine = std::string(line);
}

// --- Bookkeeping -----------------------------------------------------------------

void SoakDriver::recordUser(const std::string& kind, const std::string& detail)
{
    ++m_userCounts[kind];
    remember(kind + (detail.empty() ? "" : " (" + detail + ")"));
}

void SoakDriver::recordFault(const std::string& kind, const std::string& detail)
{
    ++m_faultCounts[kind];
    remember("FAULT " + kind + (detail.empty() ? "" : " (" + detail + ")"));
}

void SoakDriver::remember(const std::string& line)
{
    std::lock_guard lock(m_mutex);
    m_recent.push_back("#" + std::to_string(m_stepsDone + 1) + " " + line);
    while (m_recent.size() > kRecentSteps)
        m_recent.pop_front();
}

std::string SoakDriver::recentSteps() const
{
    std::lock_guard lock(m_mutex);
    std::string text = "seed " + std::to_string(m_seed) + "; the last steps:\n";
    for (const std::string& line : m_recent)
        text += "  " + line + "\n";
    return text;
}

std::string SoakDriver::summary() const
{
    long user = 0;
    long faults = 0;
    for (const auto& [kind, count] : m_userCounts)
        user += count;
    for (const auto& [kind, count] : m_faultCounts)
        faults += count;
    std::ostringstream out;
    out << "soak: seed " << m_seed << ", " << m_stepsDone << " steps: " << user << " user actions, " << faults
        << " faults\n";
    out << "  user actions:\n";
    for (const auto& [kind, count] : m_userCounts)
        out << "    " << count << "\t" << kind << "\n";
    out << "  faults:\n";
    for (const auto& [kind, count] : m_faultCounts)
        out << "    " << count << "\t" << kind << "\n";
    std::lock_guard lock(m_mutex);
    out << "  the lights received " << m_framesReceived << " frames and " << m_renamesReceived
        << " rename messages, all well-formed; " << m_reportsSent << " reports delivered\n"
        << "  a light was under control after " << m_stepsWithControl << " steps\n"
        << "  resident memory: " << m_residentAfterWarmUp << " KiB after a tenth of the steps, " << m_residentAtEnd
        << " KiB at the end\n"
        << "  preferences file checked " << m_preferencesChecks << " times; log: " << m_logLines << " lines, "
        << m_logWarnings << " warnings\n";
    return out.str();
}

// --- Helpers -----------------------------------------------------------------------

int SoakDriver::pick(const std::vector<double>& weights)
{
    std::discrete_distribution<int> choose(weights.begin(), weights.end());
    return choose(m_random);
}

int SoakDriver::uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

bool SoakDriver::chance(double probability) { return std::bernoulli_distribution(probability)(m_random); }

VirtualLight* SoakDriver::anyLight() { return m_lights[static_cast<std::size_t>(uniform(0, int(m_lights.size()) - 1))]; }

std::string SoakDriver::nastyName()
{
    const auto& names = nastyNames();
    return names[static_cast<std::size_t>(uniform(0, int(names.size()) - 1))];
}

QString SoakDriver::typedText()
{
    return typedTexts().at(uniform(0, int(typedTexts().size()) - 1));
}

QPoint SoakDriver::anywhereIn(const QWidget* widget, int overhang)
{
    return {uniform(-overhang, widget->width() - 1 + overhang), uniform(-overhang, widget->height() - 1 + overhang)};
}

bool SoakDriver::longPressUntil(QWidget* target, QPoint pos, const std::function<bool()>& recognised)
{
    press(target, pos);
    const bool ok = waitUntil(recognised, kLongPressWaitMs);
    release(target, pos);
    return ok;
}

std::set<std::string> SoakDriver::controlled() const
{
    std::set<std::string> identifiers;
    for (const auto& [identifier, peripheral] : OxBlueTooth::sharedInstance().controlDict())
        identifiers.insert(identifier);
    return identifiers;
}

std::set<std::string> SoakDriver::groupMembers(int position) const
{
    std::set<std::string> identifiers;
    std::ifstream in(m_preferencesFile, std::ios::binary);
    const json root = json::parse(in, nullptr, false);
    if (root.is_discarded() || !root.is_object())
        return identifiers;
    const json members = root.value("deviceInGroup", json::array());
    if (members.is_array() && position >= 0 && static_cast<std::size_t>(position) < members.size()
        && members[static_cast<std::size_t>(position)].is_object()) {
        for (const auto& [identifier, name] : members[static_cast<std::size_t>(position)].items())
            identifiers.insert(identifier);
    }
    return identifiers;
}

}  // namespace lightdeck::testing
