// The soak: random gestures of a person (taps, drags, finger drags, long
// presses, text pasted, Return) on whatever is on top of the real
// window (an alert, the light picker, a popup list or the current screen)
// against virtual lights, with faults injected (dropped connections, failed
// connects and writes, the adapter off and on, lights renaming themselves
// with hostile names, floods of reports). After every step:
//  - every value a light received is a well-formed frame or rename message,
//    and frames reach only lights under control;
//  - lights come under control only as a screen chose them: one light, or
//    the members of a stored group;
//  - the preferences file parses, its two arrays are in step and at most one
//    group is stored as selected;
//  - no log line holds a raw control or bidi character.
// A hang (no step done for 120 s) aborts with the seed and the last steps.
//     LIGHTDECK_SOAK_STEPS (default 3000), LIGHTDECK_SOAK_SEED (default 1)
#include <QLineEdit>
#include <QPointer>

#include <deque>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "app/app_delegate.h"
#include "bluetooth/ox_blue_tooth.h"
#include "common/log.h"
#include "common/log_text.h"
#include "devices/devices_controller.h"
#include "devices/long_press_recognizer.h"
#include "devices/view_connected_devices.h"
#include "protocol/hex_text.h"
#include "protocol/text_limits.h"
#include "support/simulated_app_fixture.h"
#include "ui/alert_controller.h"
#include "ui/edit_view.h"
#include "ui/navigation_controller.h"
#include "ui/notification_center.h"

namespace lightdeck::testing {
namespace {

// True when a light may receive `v`: AA 00 and a name of well-formed UTF-8 of
// at most 20 UTF-16 units, or AA cmd b2 b3 b4 b5 BB with each byte in its
// command's range (hue, bytes 4-5 of command 02, at most 360).
bool wellFormed(const Bytes& v)
{
    if (v.size() >= 2 && v[0] == 0xAA && v[1] == 0x00) {
        const std::string_view name(reinterpret_cast<const char*>(v.data()) + 2, v.size() - 2);
        return cutToUtf16Units(name, name.size()) == name && utf16Length(name) <= kLightNameMaxUtf16Units;
    }
    static const std::map<int, std::vector<int>> ranges = {{1, {0, 100, 30, 65, 0, 0, 0, 0}},
        {2, {0, 100, 0, 100, 0, 1, 0, 255}}, {3, {0, 0, 0, 10, 0, 0, 0, 3}}, {4, {0, 100, 1, 7, 0, 0, 0, 0}},
        {6, {0, 0, 0, 0, 0, 0, 0, 0}}};
    const auto rule = v.size() == 7 && v[0] == 0xAA && v[6] == 0xBB ? ranges.find(v[1]) : ranges.end();
    bool ok = rule != ranges.end() && (v[1] != 2 || v[4] * 256 + v[5] <= 360);
    for (std::size_t i = 0; ok && i < 4; ++i)
        ok = v[2 + i] >= rule->second[2 * i] && v[2 + i] <= rule->second[2 * i + 1];
    return ok;
}

// Names a light may give itself or a person may paste.
const std::vector<std::string> kNastyNames = {"摄影主灯", "<img src=x onerror=alert(1)>", "\x1b[31mred\x1b[0m",
    "\xE2\x80\xAE" "evil.exe", "line\r\nbreak", std::string("nul\0in", 6), "\xFF\xFE bad \xC3", "", "Desk",
    std::string(300, 'W'), std::string(19, 'a') + "😀", std::string(31, 'b') + "👨‍👩‍👧" + std::string(40, 'c')};

std::set<std::string> underControl()
{
    std::set<std::string> ids;
    for (const auto& entry : OxBlueTooth::sharedInstance().controlDict())
        ids.insert(entry.first);
    return ids;
}

class SoakTest : public SimulatedAppTest {};

TEST_F(SoakTest, RandomUserActionsUnderFaultsKeepEveryInvariant)
{
    const auto env = [](const char* name, long fallback) { const char* v = std::getenv(name); return v && *v ? std::atol(v) : fallback; };
    const long steps = env("LIGHTDECK_SOAK_STEPS", 3000);
    const auto seed = std::uint32_t(env("LIGHTDECK_SOAK_SEED", 1));
    std::mt19937 random(seed);
    const auto uniform = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const auto pick = [&](std::vector<double> weights) { return std::discrete_distribution<int>(weights.begin(), weights.end())(random); };
    const auto anywhereIn = [&](const QWidget* w, int out) { return QPoint(uniform(-out, w->width() + out), uniform(-out, w->height() + out)); };
    const auto nastyName = [&] { return kNastyNames[std::size_t(uniform(0, int(kNastyNames.size()) - 1))]; };

    std::vector<VirtualLight*> lights;
    for (const char* name : {"Key Light", "Fill Light", "摄影主灯", "<b>Back</b>", "\xE2\x80\xAE" "evil", "Hair"})
        lights.push_back(&addLight(name));
    launchApp();
    ASSERT_TRUE(waitUntil([&] { return waitCentralIdle(), devices().rowCount() == int(lights.size()); }));

    std::mutex mutex;  // guards the two below (the watchdog's and the log's threads)
    std::deque<std::string> recent;
    std::string unsafeLogLine;
    std::atomic<long> step{0};
    const auto note = [&](const std::string& what) {
        std::lock_guard lock(mutex);
        recent.push_back("#" + std::to_string(step) + " " + what);
        if (recent.size() > 30)
            recent.pop_front();
    };
    const auto report = [&] {
        std::lock_guard lock(mutex);
        std::string text = "seed " + std::to_string(seed) + "; the last steps:\n";
        for (const std::string& line : recent)
            text += "  " + line + "\n";
        return text;
    };
    // Nothing may reach the log raw but the line breaks of the manager's map dumps.
    const log::Sink previousSink = log::setSink([&](log::Level, std::string_view line) {
        std::string text(line);
        std::erase(text, '\\');
        std::replace(text.begin(), text.end(), '\n', ' ');
        std::lock_guard lock(mutex);
        if (escapedForLog(text) != text && unsafeLogLine.empty())
            unsafeLogLine = line;
    });
    // The watchdog: no speed limit, a bound many times what any step takes.
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (long seen = -1, idle = 0; !done; std::this_thread::sleep_for(std::chrono::seconds(1))) {
            if (step != seen)
                seen = step, idle = 0;
            else if (++idle == 120)
                std::fprintf(stderr, "\nsoak: HANG, no step done for 120 s\n%s\n", report().c_str()), std::abort();
        }
    });

    // What a person sees on top: an alert, the picker, a popup list or the current screen.
    const auto topLayer = [&]() -> QWidget* {
        if (!AlertController::openAlerts().isEmpty())
            return AlertController::openAlerts().last();
        for (ViewConnectedDevices* picker : app()->window()->findChildren<ViewConnectedDevices*>())
            if (picker->isVisible() && !picker->isClosed())
                return picker;
        for (EditView* popup : app()->window()->findChildren<EditView*>())
            if (popup->isVisible())
                return popup;
        return navigation().top();
    };
    const auto userAction = [&] {
        QWidget* const top = topLayer();
        // Where a finger can land: visible widgets without visible children; the program's own
        // controls (sliders, wheel, tiles) and unnamed buttons (rows, colours) more often than labels
        // and the named buttons around them (modes, back).
        std::vector<QWidget*> targets{top};
        std::vector<double> weights{0.1};
        for (QWidget* w : top->findChildren<QWidget*>()) {
            const auto children = w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            if (w->isVisible() && w->isEnabled() && !w->visibleRegion().isEmpty()
                && std::none_of(children.begin(), children.end(), [](QWidget* c) { return c->isVisible(); }))
                targets.push_back(w), weights.push_back(w->objectName().endsWith("Button") || w->inherits("QLabel") ? 1 : 4);
        }
        QWidget* target = targets[std::size_t(pick(weights))];
        const std::string what = std::string(top->metaObject()->className()) + " > "
                                 + target->metaObject()->className() + " " + target->objectName().toStdString();
        const QPoint from = anywhereIn(target, 0);
        const QPoint to = anywhereIn(target, 20);
        auto* field = qobject_cast<QLineEdit*>(target);
        const double onScreen = top == navigation().top() ? 1 : 0;  // drags only where nothing closes under the finger
        const double holds = target->findChild<LongPressRecognizer*>() ? 4 : 0.1;
        switch (pick({10, 3 * onScreen, 1.5 * onScreen, holds, field ? 4.0 : 0.0, 0.3, 0.3})) {
        case 0: return note("tap " + what), click(target, from);
        case 1: return note("drag " + what), drag(target, from, to, uniform(1, 6));
        case 2: return note("finger drag " + what), touchDrag(target, from, to, uniform(1, 6), uniform(0, 4) == 0);
        case 3: {
            const QPointer<QWidget> held = target;
            press(target, from);  // held until what it opens shows, or for 1.5 s
            const bool opened = waitUntil([&] { return topLayer() != top; }, 1500);
            return held ? release(held, from) : void(), note("long press " + what + (opened ? "" : " (nothing opened)"));
        }
        case 4:
            return note("paste into " + what), field->setText(QString::fromStdString(nastyName()));
        case 5: return note("Return on " + what), QTest::keyClick(top, Qt::Key_Return);
        default: return note("back to the foreground"), NotificationCenter::defaultCenter().post("appDidBecomeActive");
        }
    };
    int adapterOnIn = 0;  // > 0: the adapter is off, back on after that many steps
    const auto fault = [&] {
        VirtualLight* light = lights[std::size_t(uniform(0, int(lights.size()) - 1))];
        const std::string id = light->identifier();
        switch (pick({2, 1.5, 2, adapterOnIn > 0 ? 0.0 : 0.5, 1.5, 1.5})) {
        case 0: return note("FAULT dropped connection " + id), void(light->dropConnection());
        case 1: return note("FAULT failed connect " + id), light->failNextConnect(uniform(1, 2));
        case 2: return note("FAULT write error " + id), light->failNextWrite(uniform(1, 3));
        case 3: return note("FAULT adapter off"), processSimulator().setPoweredOn(false), void(adapterOnIn = uniform(1, 5));
        case 4: {
            const std::string name = nastyName();
            return note("FAULT light renames itself " + id + " -> " + escapedForLog(name)), light->setName(name);
        }
        }
        // Reports of every shape; a marker byte (which shields a control for
        // the rest of the run) now and then.
        note("FAULT report flood " + id);
        for (int i = uniform(20, 150); i > 0; --i) {
            Bytes report(uniform(0, 6) ? 7 : std::size_t(uniform(0, 24)), 0xAA);
            for (std::size_t p = 1; p < report.size(); ++p)
                report[p] = std::uint8_t(uniform(0, 2000) ? uniform(0, p == 1 ? 9 : 100) : uniform(0xF1, 0xFF));
            light->sendReport(report.size() == 7 ? (report[6] = 0xBB, report) : report);
        }
    };
    long frames = 0;
    // What is wrong after a step, or empty.
    const auto broken = [&](const std::set<std::string>& controlledBefore) -> std::string {
        const std::set<std::string> controlledAfter = underControl();
        for (VirtualLight* light : lights) {
            const std::vector<Bytes> writes = light->writes();
            light->clearWrites();
            const std::string& id = light->identifier();
            for (const Bytes& value : writes) {
                if (!wellFormed(value))
                    return "light " + id + " received <" + hexTextFromBytes(value) + ">";
                if (value[1] != 0x00 && !controlledBefore.count(id) && !controlledAfter.count(id))
                    return "light " + id + ", not under control, received <" + hexTextFromBytes(value) + ">";
                frames += value[1] != 0x00;
            }
        }
        const nlohmann::json stored = readPreferencesFile();
        const nlohmann::json groups = stored.is_object() ? stored.value("groupList", nlohmann::json::array()) : nullptr;
        if (!groups.is_array() || groups.size() != stored.value("deviceInGroup", nlohmann::json::array()).size())
            return "the preferences file does not parse, or its arrays are out of step: " + stored.dump();
        if (std::count_if(groups.begin(), groups.end(), [](const auto& g) { return g.is_object() && g.value("selected", false); }) > 1)
            return "more than one group stored as selected: " + groups.dump();
        // A screen puts one light under control, or the members of a group; anything else only leaves.
        bool chosen = controlledAfter.size() <= 1 || std::includes(controlledBefore.begin(), controlledBefore.end(), controlledAfter.begin(), controlledAfter.end());
        for (const auto& members : stored.value("deviceInGroup", nlohmann::json::array()))
            chosen = chosen || std::all_of(controlledAfter.begin(), controlledAfter.end(), [&](const auto& id) { return members.contains(id); });
        if (!chosen)
            return "lights under control that no screen chose: " + std::to_string(controlledAfter.size());
        std::lock_guard lock(mutex);
        return unsafeLogLine.empty() ? "" : "a raw control or bidi character in the log: " + escapedForLog(unsafeLogLine);
    };

    std::string failure;
    for (step = 1; step <= steps && failure.empty(); ++step) {
        if (adapterOnIn > 0 && --adapterOnIn == 0)
            note("FAULT adapter on"), processSimulator().setPoweredOn(true);
        const std::set<std::string> controlledBefore = underControl();
        uniform(0, 99) < 12 ? fault() : userAction();
        for (int round = 0; round < 3; ++round, processSimulator().waitIdle(), processEvents())  // let all settle
            navigation().isTransitioning() ? navigation().finishTransition() : processEvents();
        failure = broken(controlledBefore);
    }
    done = true;
    watchdog.join();
    log::setSink(previousSink);
    processSimulator().setPoweredOn(true);
    EXPECT_EQ(failure, "") << "at step " << step - 1 << "\n" << report();
    std::printf("soak: seed %u, %ld steps, %ld frames received\n", seed, step - 1, frames);
    EXPECT_GT(frames, 0) << "the run never reached the control screen";
}

}  // namespace
}  // namespace lightdeck::testing
