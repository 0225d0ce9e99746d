#pragma once
// Virtual lights for the panel tests: the process's simulated neighbourhood
// behind OxBlueTooth::sharedInstance(), lights connected and put under
// control through the shared manager, and fresh runs for tests that need
// the manager's report lists empty.
//
// Reports stay in the manager for the whole run, so a light that marks a
// control unavailable would shield it in every panel built later in the
// same process. Tests that add such lights are declared with
// LIGHTDECK_FRESH_RUN_TEST: the test starts this program again with only
// itself selected, and passes when that run passes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bluetooth/simulated/light_simulator.h"

namespace lightdeck::testing {

// The simulator behind the shared manager (the process simulator of
// support/simulated_app_fixture.h).
LightSimulator& panelSimulator();

// A new light with `profile`, found by a scan of the shared manager,
// connected, and made the only light under control. When it returns the
// light's command characteristic is known and its marker reports (if any)
// are stored. Fails the current test (and returns it anyway) when any step
// does not happen.
VirtualLight& addLightUnderControl(const std::string& name, const CapabilityProfile& profile = {});

// Takes the light off the air: no longer under control, disconnected, and
// not heard by later scans.
void retireLight(VirtualLight& light);

// Base of the panel tests: the run-long frames start as in a fresh run, and
// the test's lights are retired at its end.
class PanelTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // addLightUnderControl, named after the test.
    VirtualLight& addLight(const CapabilityProfile& profile = {});

private:
    std::vector<VirtualLight*> m_lights;
};

// Waits until the simulated central has delivered everything queued
// (writes included).
void waitForLights();

// The values the light received, as "AA 03 00 04 00 02 BB".
std::vector<std::string> framesOf(const VirtualLight& light);

// True inside a run started by runInFreshRun.
bool inFreshRun();
// Runs this test program again with only `testName` ("Suite.Name") selected
// and expects that run to pass.
void runInFreshRun(const std::string& testName);

}  // namespace lightdeck::testing

// A test whose body runs in a fresh run of the program (empty report
// lists, untouched run-long frames).
#define LIGHTDECK_FRESH_RUN_TEST(suite, name)                          \
    static void suite##_##name##_body();                               \
    TEST(suite, name)                                                  \
    {                                                                  \
        if (::lightdeck::testing::inFreshRun())                        \
            suite##_##name##_body();                                   \
        else                                                           \
            ::lightdeck::testing::runInFreshRun(#suite "." #name);     \
    }                                                                  \
    static void suite##_##name##_body()
