#pragma once
// The fixture of screen tests that run against virtual lights through the
// program's one Bluetooth manager (OxBlueTooth::sharedInstance()).
//
// The manager exists once per process and its central is chosen once, so
// ui_test_main installs ONE LightSimulator (zero radio delays) before any test:
// processSimulator(). Each test then
//   - adds its own lights, with fresh identifiers (addLight); at the end of
//     the test they are disconnected and stop advertising, so a later test
//     never hears them;
//   - gets a fresh preferences file in a temporary folder behind the shared
//     group store (devices/shared_store.h);
//   - finds the manager with no lights under control, no rename pending, a
//     rename settle delay of 20 ms, and no delegate.
//
//     class MyScreenTest : public lightdeck::testing::SimulatedAppTest {};
//     TEST_F(MyScreenTest, Something) {
//         VirtualLight& light = addLight("Key Light");
//         ASSERT_TRUE(connectThroughManager(light));
//         launchApp();                  // the window, scan screen at the root
//         ...
//         EXPECT_EQ(light.lastFrame(), (Bytes{0xAA, 0x01, ...}));
//     }

#include <QTemporaryDir>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bluetooth/central.h"
#include "bluetooth/simulated/light_simulator.h"
#include "support/ui_test_support.h"

namespace lightdeck {
class AppDelegate;
class DevicesController;
class NavigationController;
}  // namespace lightdeck

namespace lightdeck::testing {

// The simulator behind the shared manager; installProcessSimulator() must
// have run (ui_test_main does it).
LightSimulator& processSimulator();
// Gives the shared manager a central on processSimulator(). Once per process,
// before the first OxBlueTooth::sharedInstance().
void installProcessSimulator();

class SimulatedAppTest : public ::testing::Test {
protected:
    SimulatedAppTest();
    ~SimulatedAppTest() override;
    void SetUp() override;
    void TearDown() override;

    // A light of processSimulator() with a fresh identifier (unless `spec`
    // gives one), advertising as a light of ours.
    VirtualLight& addLight(const std::string& name, VirtualLightSpec spec = {});

    // Waits until the central queue has nothing left to run, then delivers
    // what it handed to the main thread (list reloads ...).
    void waitCentralIdle() { processSimulator().waitIdle(), processEvents(); }

    // Through the manager only (no screen): scans until the light is in
    // discoverDict; connects it and waits until its FFF1 is known.
    bool discover(const VirtualLight& light);
    bool connectThroughManager(const VirtualLight& light);
    // The manager's peripheral for the light (from discoverDict), or null.
    std::shared_ptr<Peripheral> peripheralOf(const VirtualLight& light) const;

    // The preferences file of this test (shared store), and its content
    // (an empty object while it does not exist).
    std::filesystem::path preferencesFile() const { return m_scratch.filePath("preferences.json").toStdString(); }
    nlohmann::json readPreferencesFile() const;

    // Starts the application as lightdeck does: AppDelegate::
    // didFinishLaunchingWithOptions(), the window shown and exposed, the
    // scan screen's first scan run. Deleted at TearDown.
    AppDelegate& launchApp();
    AppDelegate* app() const { return m_app.get(); }
    DevicesController& devices() const;
    NavigationController& navigation() const;
    // The scan screen's row showing the light, or -1.
    int rowOf(const VirtualLight& light) const;

private:
    QTemporaryDir m_scratch;
    std::unique_ptr<AppDelegate> m_app;
    std::vector<VirtualLight*> m_lights;
};

}  // namespace lightdeck::testing
