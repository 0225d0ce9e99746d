#pragma once
// Fixture of the control screen tests, on the application fixture: the
// program's window with the scan screen at the root, one virtual light
// connected through OxBlueTooth::sharedInstance() and put under control, and
// a control screen pushed on top.
//
// The shared manager keeps every report for the whole process, so a test that
// makes a light report a marker shields the sliders of every later panel in
// the same process. CTest runs each test in a process of its own; run all in
// one process, the panel tests that need unshielded sliders skip (saying
// why) after a shielding test of their own panel.

#include <QPointer>

#include <optional>

#include "bluetooth/ox_blue_tooth.h"
#include "protocol/bytes.h"
#include "support/simulated_app_fixture.h"

namespace lightdeck {
class SettingController;
}  // namespace lightdeck

namespace lightdeck::testing {

// True when a stored report of `list` carries the slider marker FF at a
// position the colour temperature (CCT) or hue (HSI) panel scans.
bool sliderMarkersStored(ReportList list);

class ControlScreenTest : public SimulatedAppTest {
protected:
    void SetUp() override;

    // A new control screen opened at `index`, pushed without animation on
    // the application's stack (over the scan screen; a control screen
    // already open is popped first), shown and laid out.
    SettingController* openScreen(qint64 index = 0);
    // Pops the control screen (as the scan screen's return does) and lets
    // the deletion happen.
    void closeScreen();

    // Makes `light` send `report` and waits until the manager has stored it.
    bool sendStoredReport(VirtualLight& light, const Bytes& report);
    // Waits for the central queue to drain, then compares the number of
    // frames the light received with `count` (never sleeps a fixed time).
    bool waitForWrites(const VirtualLight& light, std::size_t count);

    // The report list whose sliders the test needs unshielded (the panel
    // tests), or nothing.
    virtual std::optional<ReportList> unshieldedList() const { return std::nullopt; }

    QPointer<SettingController> m_screen;
    VirtualLight* m_light = nullptr;
};

}  // namespace lightdeck::testing
