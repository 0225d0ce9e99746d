#pragma once
// Fixture of the control screen tests: the process's virtual lights behind
// OxBlueTooth::sharedInstance(), a light connected and put under control, and
// the control screen shown in a navigation stack on the offscreen platform.
//
// The shared manager keeps every report for the whole process, so a test that
// makes a light report a marker shields the sliders of every later panel in
// the same process. CTest runs each test in a process of its own; run all in
// one process, the panel tests that need unshielded sliders skip (saying
// why) after a shielding test of their own panel.

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "bluetooth/ox_blue_tooth.h"
#include "bluetooth/simulated/light_simulator.h"
#include "protocol/bytes.h"
#include "ui/navigation_controller.h"

namespace lightdeck {
class SettingController;
}  // namespace lightdeck

namespace lightdeck::testing {

// The process's simulator, made the shared manager's central on first use.
LightSimulator& processSimulator();

// Adds a light, connects it through the shared manager and makes it the one
// light under control (as a tap in the device list does). Fails the test
// (returns nullptr) when the light does not become writable.
VirtualLight* addControlledLight(const std::string& name);

// Makes `light` send `report` and waits until the manager has stored it.
bool sendStoredReport(VirtualLight& light, const Bytes& report);

// Waits until the light's writes settle at `count` and no more arrive
// (waits for the central queue to drain; never sleeps a fixed time).
bool waitForWrites(const VirtualLight& light, std::size_t count);

// True when a stored report of `list` carries the slider marker FF at a
// position the colour temperature (CCT) or hue (HSI) panel scans.
bool sliderMarkersStored(ReportList list);

class ControlScreenTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds and shows a control screen opened at `index`, pushed without
    // animation onto a stack whose root is an empty scan screen stand-in.
    SettingController* openScreen(qint64 index = 0);
    // The report list whose sliders the test needs unshielded (the panel
    // tests), or nothing.
    virtual std::optional<ReportList> unshieldedList() const { return std::nullopt; }

    std::unique_ptr<NavigationController> m_navigation;
    QPointer<SettingController> m_screen;
    VirtualLight* m_light = nullptr;
};

}  // namespace lightdeck::testing
