#include "app/screenshot_walker.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include "app/app_delegate.h"
#include "app/virtual_lights_window.h"
#include "bluetooth/ox_blue_tooth.h"
#include "bluetooth/simulated/light_simulator.h"
#include "controls/ox_toast.h"
#include "devices/cell_device.h"
#include "devices/devices_controller.h"
#include "devices/shared_store.h"
#include "devices/view_connected_devices.h"
#include "devices/view_gpm.h"
#include "panels/setting_controller.h"
#include "panels/view_eff.h"
#include "panels/view_set.h"
#include "ui/alert_controller.h"
#include "ui/navigation_controller.h"
#include "ui/view_tag.h"

namespace lightdeck {
namespace {

// Whether the scan screen lists this light (its advertisement passes the
// manager's filter).
bool listable(const VirtualLight& light)
{
    const auto data = light.manufacturerData();
    if (!light.advertisesService() || !data || data->size() < 2)
        return false;
    return ((*data)[0] == 0x4C && (*data)[1] == 0x4D) || ((*data)[0] == 0x4D && (*data)[1] == 0x4C);
}

// The names of the first listable lights, for a neighbourhood of any size.
QStringList listedNames(const LightSimulator& simulator, int count)
{
    QStringList names;
    for (VirtualLight* light : simulator.lights()) {
        if (names.size() < count && listable(*light))
            names << QString::fromStdString(light->name());
    }
    return names;
}

// Taps the first group button of the group page on show.
bool chooseFirstGroup(ScreenshotWalker& w)
{
    auto* setting = qobject_cast<SettingController*>(w.navigation().top());
    ViewGPM* panel = setting ? setting->findChild<ViewGPM*>() : nullptr;
    auto* first = panel ? qobject_cast<QAbstractButton*>(viewWithTag(panel, ViewGPM::kGroupButtonTagBase)) : nullptr;
    if (!first)
        return false;
    if (!first->isChecked())
        first->click();
    w.settle();
    return true;
}

// The demo frames of the virtual lights picture.
const Bytes kWarmWhite{0xAA, 0x01, 0x50, 0x20, 0x00, 0x00, 0xBB};   // 80 %, 3200 K
const Bytes kMagenta{0xAA, 0x02, 0x5A, 0x00, 0x01, 0x2C, 0xBB};     // 90 %, 300 degrees
const Bytes kColourPlay{0xAA, 0x03, 0x00, 0x08, 0x00, 0x02, 0xBB};  // effect 8, option 2

}  // namespace

std::vector<ScreenshotWalker::Step> ScreenshotWalker::standardSteps()
{
    std::vector<Step> steps;

    // The scan screen with every light listed, two of them connected.
    steps.push_back({"devices.png", [](ScreenshotWalker& w) {
                         const QStringList names = listedNames(w.simulator(), 3);
                         if (names.isEmpty())
                             return w.fail("no light to list");
                         if (!w.connectLight(names.first()))
                             return w.fail("could not connect " + names.first());
                         if (names.size() > 2 && !w.connectLight(names.at(2)))
                             return w.fail("could not connect " + names.at(2));
                         return w.grabWindow();
                     }});

    // Rename mode on, a connected light tapped: the rename alert with a name
    // typed in.
    steps.push_back({"rename.png", [](ScreenshotWalker& w) {
                         const QString name = listedNames(w.simulator(), 1).value(0);
                         const int row = w.rowOf(name);
                         if (row < 0)
                             return w.fail("no row for " + name);
                         w.devices().editButton()->click();
                         w.devices().tableViewDidSelectRowAtIndexPath(row);
                         if (!w.waitUntil([] { return !AlertController::openAlerts().isEmpty(); }))
                             return w.fail("the rename alert did not open");
                         AlertController* alert = AlertController::openAlerts().constLast();
                         if (alert->textField())
                             alert->textField()->setText(QStringLiteral("摄影主灯"));
                         // The hint of rename mode shows after half a second.
                         w.waitUntil([&w] {
                             const auto toasts = w.app().window()->findChildren<OxToast*>();
                             return std::any_of(toasts.begin(), toasts.end(), [](OxToast* t) { return t->isVisible(); });
                         });
                         QImage image = w.grabWindow();
                         alert->triggerAction(QStringLiteral("取消"));
                         w.devices().editButton()->click();
                         w.waitForToasts();
                         return image;
                     }});

    // The virtual lights window, three lights at work.
    steps.push_back({"lights.png", [](ScreenshotWalker& w) {
                         const QStringList names = listedNames(w.simulator(), 3);
                         for (const QString& name : names) {
                             if (!w.connectLight(name))
                                 return w.fail("could not connect " + name);
                         }
                         const Bytes* frames[] = {&kWarmWhite, &kMagenta, &kColourPlay};
                         for (int i = 0; i < names.size(); ++i) {
                             if (!w.controlLights({names.at(i)}) || !w.send(*frames[i]))
                                 return w.fail("could not drive " + names.at(i));
                         }
                         w.controlLights({});
                         w.lightsWindow().refresh();
                         return grabWidget(&w.lightsWindow());
                     }});

    // The control screen, one picture a page, driving the first light.
    const char* pages[] = {"control-cct.png", "control-hsi.png", "control-eff.png",
                           "control-set.png", "control-sos.png", "control-gpm.png"};
    for (int index = 0; index < 6; ++index) {
        steps.push_back({pages[index], [index](ScreenshotWalker& w) {
                             w.controlLights(listedNames(w.simulator(), 1));
                             SettingController* screen = w.openControlScreen(index);
                             if (!screen)
                                 return w.fail("the control screen did not open");
                             // Pages that show a choice show one in use.
                             if (index == 2) {
                                 screen->viewEFF()->didSelectItem(3);  // music
                                 if (auto* option = qobject_cast<QAbstractButton*>(viewWithTag(screen->viewEFF(), 11)))
                                     option->click();
                             } else if (index == 3) {
                                 if (auto* purple = qobject_cast<QAbstractButton*>(viewWithTag(screen->viewSET(), 16)))
                                     purple->click();
                             } else if (index == 5 && !chooseFirstGroup(w)) {  // members listed
                                 return w.fail("no group to choose");
                             }
                             w.settle();
                             QImage image = w.grabWindow();
                             w.backToDevices();
                             return image;
                         }});
    }
    // The device picker over the group page, the first connected light ticked.
    steps.push_back({"picker.png", [](ScreenshotWalker& w) {
                         for (const QString& name : listedNames(w.simulator(), 2)) {
                             if (!w.connectLight(name))
                                 return w.fail("could not connect " + name);
                         }
                         SettingController* screen = w.openControlScreen(5);
                         ViewGPM* panel = screen ? screen->findChild<ViewGPM*>() : nullptr;
                         if (!panel || !chooseFirstGroup(w))
                             return w.fail("the group page did not open");
                         OxBlueTooth& manager = OxBlueTooth::sharedInstance();
                         const auto connected = manager.connectDict();
                         if (connected.empty())
                             return w.fail("no light connected");
                         manager.setPickFlag(connected.front().first, 1);
                         ViewConnectedDevices* sheet = panel->openDevicePicker();
                         if (!sheet)
                             return w.fail("the picker did not open");
                         w.settle();
                         QImage image = w.grabWindow();
                         sheet->cancelButton()->click();
                         manager.setPickFlag(connected.front().first, 0);
                         w.backToDevices();
                         return image;
                     }});
    return steps;
}

ScreenshotWalker::ScreenshotWalker(LightSimulator& simulator, QString directory)
    : m_simulator(simulator), m_directory(std::move(directory))
{
}

ScreenshotWalker::~ScreenshotWalker()
{
    m_lightsWindow.reset();
    m_app.reset();
    // The scratch folder goes next: a late write must not bring it back.
    if (m_scratch)
        setSharedPreferences(std::make_shared<InMemoryPreferences>());
}

DevicesController& ScreenshotWalker::devices() { return *m_app->devicesController(); }

NavigationController& ScreenshotWalker::navigation() { return *m_app->navigationController(); }

int ScreenshotWalker::run(const std::vector<Step>& steps)
{
    if (!QDir().mkpath(m_directory)) {
        std::fprintf(stderr, "lightdeck: cannot create the folder %s\n", qPrintable(m_directory));
        return static_cast<int>(steps.size());
    }
    if (!launch()) {
        std::fprintf(stderr, "lightdeck: the screens did not come up: %s\n", qPrintable(m_failure));
        return static_cast<int>(steps.size());
    }
    int failures = 0;
    const QDir folder(m_directory);
    for (const Step& step : steps) {
        m_failure.clear();
        settle();
        const QImage image = step.take(*this);
        const QString path = folder.absoluteFilePath(step.fileName);
        if (image.isNull()) {
            ++failures;
            std::fprintf(stderr, "lightdeck: %s not taken: %s\n", qPrintable(step.fileName), qPrintable(m_failure));
        } else if (!image.save(path, "PNG")) {
            ++failures;
            std::fprintf(stderr, "lightdeck: cannot write %s\n", qPrintable(path));
        } else {
            std::printf("%s\n", qPrintable(path));
        }
    }
    std::fflush(stdout);
    return failures;
}

bool ScreenshotWalker::launch()
{
    m_scratch = std::make_unique<QTemporaryDir>();
    if (!m_scratch->isValid()) {
        m_failure = "no temporary folder";
        return false;
    }
    useSharedPreferencesFile(QDir(m_scratch->path()).filePath("preferences.json").toStdString());
    seedDemoGroups();

    m_app = std::make_unique<AppDelegate>();
    m_app->didFinishLaunchingWithOptions();

    m_lightsWindow = std::make_unique<VirtualLightsWindow>(m_simulator);
    m_lightsWindow->resize(m_lightsWindow->sizeHint());
    m_lightsWindow->show();

    if (!waitUntil([this] { return m_app->window()->isVisible() && m_lightsWindow->isVisible(); })) {
        m_failure = "the windows were not shown";
        return false;
    }
    // Every light the scan can hear is listed before the pictures start.
    int expected = 0;
    for (VirtualLight* light : m_simulator.lights())
        expected += listable(*light) ? 1 : 0;
    if (!waitUntil([this, expected] { return devices().rowCount() >= expected; })) {
        m_failure = QStringLiteral("%1 of %2 lights listed").arg(devices().rowCount()).arg(expected);
        return false;
    }
    return true;
}

void ScreenshotWalker::seedDemoGroups()
{
    GroupStore& store = sharedGroupStore();
    GroupList groups = store.loadGroups();
    const QStringList names = listedNames(m_simulator, 3);
    auto member = [this](const QString& name) {
        VirtualLight* l = light(name);
        return std::pair<std::string, std::string>(l ? l->identifier() : std::string(), name.toStdString());
    };
    store.addGroup(groups, "客厅");
    store.addGroup(groups, "工作室");
    std::vector<std::pair<std::string, std::string>> first;
    for (const QString& name : names.mid(0, 2))
        first.push_back(member(name));
    store.addDevices(0, first);
    if (names.size() > 2)
        store.addDevices(1, {member(names.at(2))});
}

VirtualLight* ScreenshotWalker::light(const QString& name) const
{
    // A light the scan can hear comes first: names need not be unique.
    VirtualLight* found = nullptr;
    for (VirtualLight* light : m_simulator.lights()) {
        if (QString::fromStdString(light->name()) != name)
            continue;
        if (listable(*light))
            return light;
        if (!found)
            found = light;
    }
    return found;
}

int ScreenshotWalker::rowOf(const QString& name) const
{
    DevicesController* screen = m_app->devicesController();
    for (int row = 0; row < screen->rowCount(); ++row) {
        CellDevice* cell = screen->cellAt(row);
        if (cell && cell->peripheral() && QString::fromStdString(cell->peripheral()->name()) == name)
            return row;
    }
    return -1;
}

bool ScreenshotWalker::waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void ScreenshotWalker::settle()
{
    if (m_app && m_app->navigationController())
        m_app->navigationController()->finishTransition();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

bool ScreenshotWalker::connectLight(const QString& name)
{
    VirtualLight* target = light(name);
    if (!target)
        return false;
    if (!target->isConnected()) {
        const int row = rowOf(name);
        CellDevice* cell = row >= 0 ? devices().cellAt(row) : nullptr;
        if (!cell)
            return false;
        cell->buttonConnect()->click();
    }
    const std::string identifier = target->identifier();
    return waitUntil([this, identifier, name] {
        bool writable = false;
        for (const auto& entry : OxBlueTooth::sharedInstance().characterDict())
            writable = writable || entry.first == identifier;
        const int row = rowOf(name);
        CellDevice* cell = row >= 0 ? devices().cellAt(row) : nullptr;
        return writable && cell && cell->buttonConnect()->text().startsWith(QStringLiteral("已连接"));
    });
}

bool ScreenshotWalker::controlLights(const QStringList& names)
{
    OxBlueTooth::PeripheralMap lights;
    for (const auto& [identifier, peripheral] : OxBlueTooth::sharedInstance().discoverDict()) {
        if (names.contains(QString::fromStdString(peripheral->name())))
            lights.emplace_back(identifier, peripheral);
    }
    OxBlueTooth::sharedInstance().setControlDict(lights);
    return static_cast<int>(lights.size()) == names.size();
}

bool ScreenshotWalker::send(const Bytes& frame)
{
    auto& manager = OxBlueTooth::sharedInstance();
    manager.writeDataWithData(frame);
    const auto controlled = manager.controlDict();
    return waitUntil([this, controlled, frame] {
        for (const auto& entry : controlled) {
            VirtualLight* l = m_simulator.light(entry.first);
            if (!l || l->lastFrame() != frame)
                return false;
        }
        return true;
    });
}

SettingController* ScreenshotWalker::openControlScreen(int index)
{
    backToDevices();
    auto* setting = new SettingController;
    setting->setIndex(index);
    navigation().push(setting, false);
    settle();
    waitUntil([setting] { return setting->isVisible(); }, 2000);
    settle();
    return setting;
}

void ScreenshotWalker::backToDevices()
{
    settle();
    while (navigation().count() > 1)
        navigation().pop(false);
    settle();
}

bool ScreenshotWalker::waitForToasts()
{
    return waitUntil(
        [this] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return m_app->window()->findChildren<OxToast*>().isEmpty();
        },
        6000);
}

QImage ScreenshotWalker::grabWidget(QWidget* widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage ScreenshotWalker::grabWindow()
{
    settle();
    QWidget* window = m_app->window();
    QImage image = grabWidget(window);
    // Alerts are windows of their own, laid over the application window.
    QPainter painter(&image);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(top);
        if (!dialog || !dialog->isVisible() || top == window)
            continue;
        if (dialog->parentWidget() && dialog->parentWidget()->window() != window)
            continue;
        const QPoint at = window->mapFromGlobal(dialog->mapToGlobal(QPoint(0, 0)));
        painter.drawImage(at, grabWidget(dialog));
    }
    return image;
}

QImage ScreenshotWalker::fail(const QString& reason)
{
    m_failure = reason;
    return {};
}

}  // namespace lightdeck
