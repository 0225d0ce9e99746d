// The soak: a bounded run of random user actions on the real window against
// virtual lights with faults injected, every invariant checked after every
// step (see soak_driver.h). CTest runs the bounded run; scripts/soak runs it
// as long as asked:
//
//     LIGHTDECK_SOAK_STEPS   steps to run (default 3000)
//     LIGHTDECK_SOAK_SEED    seed of every random choice (default 1)
//
// A failure prints the seed and the last steps; a hang aborts with the same.

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_delegate.h"
#include "devices/group_store.h"
#include "devices/json_file_preferences.h"
#include "soak/frame_rules.h"
#include "soak/soak_driver.h"
#include "soak/soak_watchdog.h"
#include "support/simulated_app_fixture.h"
#include "support/ui_test_support.h"

namespace lightdeck::testing {
namespace {

long envNumber(const char* name, long fallback)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end && *end == '\0' && value >= 0 ? value : fallback;
}

class SoakTest : public SimulatedAppTest {};

TEST_F(SoakTest, RandomUserActionsUnderFaultsKeepEveryInvariant)
{
    const long steps = envNumber("LIGHTDECK_SOAK_STEPS", 3000);
    const auto seed = static_cast<std::uint32_t>(envNumber("LIGHTDECK_SOAK_SEED", 1));

    // Six lights, two of them with names that are trouble from the start.
    std::vector<VirtualLight*> lights;
    for (const char* name : {"Key Light", "Fill Light", "摄影主灯", "<b>Back</b>", "\xE2\x80\xAE" "evil", "Hair"})
        lights.push_back(&addLight(name));
    launchApp();
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return devices().rowCount() == static_cast<int>(lights.size());
    })) << "the scan screen did not list the lights";

    SoakDriver driver(*app(), processSimulator(), lights, preferencesFile(), seed);
    const bool held = [&] {
        SoakWatchdog watchdog(std::chrono::seconds(120), [&] { return driver.recentSteps(); });
        return driver.run(steps, [&] { watchdog.beat(); });
    }();
    std::cout << driver.summary();
    ASSERT_TRUE(held) << driver.failure();

    // A new start reads what the run left: nothing moved aside, every group
    // there with its members.
    JsonFilePreferences restarted(preferencesFile());
    EXPECT_TRUE(restarted.movedAsideTo().empty());
    GroupStore groups(restarted);
    const nlohmann::json onDisk = readPreferencesFile();
    EXPECT_EQ(groups.loadGroups().size(), onDisk.value("groupList", nlohmann::json::array()).size());
    for (std::size_t position = 0; position < groups.loadGroups().size(); ++position)
        EXPECT_EQ(groups.members(position).size(), onDisk["deviceInGroup"][position].size());
}

TEST(SoakFrameRulesTest, TellsWellFormedValuesFromMalformedOnes)
{
    struct Case {
        Bytes value;
        bool wellFormed;
    };
    const Case cases[] = {
        {{0xAA, 0x01, 50, 47, 0, 0, 0xBB}, true},
        {{0xAA, 0x01, 101, 47, 0, 0, 0xBB}, false},  // brightness over 100
        {{0xAA, 0x01, 50, 29, 0, 0, 0xBB}, false},   // below 3000 K
        {{0xAA, 0x02, 50, 0, 0x01, 0x68, 0xBB}, true},  // hue 360
        {{0xAA, 0x02, 50, 0, 0x01, 0x69, 0xBB}, false},
        {{0xAA, 0x03, 0, 4, 0, 2, 0xBB}, true},
        {{0xAA, 0x03, 0, 11, 0, 2, 0xBB}, false},
        {{0xAA, 0x04, 0, 7, 0, 0, 0xBB}, true},
        {{0xAA, 0x04, 0, 0, 0, 0, 0xBB}, false},  // no colour 0
        {{0xAA, 0x06, 0, 0, 0, 0, 0xBB}, true},
        {{0xAA, 0x06, 0, 0, 0, 0}, false},
        {{0xAA, 0x05, 0, 0, 0, 0, 0xBB}, false},
        {{0xAB, 0x01, 50, 47, 0, 0, 0xBB}, false},
        {{0xAA, 0x00}, true},                          // empty name
        {{0xAA, 0x00, 'K', 0xF0, 0x9F, 0x98, 0x80}, true},  // "K😀"
        {{0xAA, 0x00, 'K', 0xF0, 0x9F, 0x98}, false},       // emoji cut in half
        {{0xAA, 0x00, 0xFF}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(frameProblem(c.value).empty(), c.wellFormed) << frameProblem(c.value);
    Bytes longName = {0xAA, 0x00};
    longName.insert(longName.end(), 21, 'x');
    EXPECT_FALSE(frameProblem(longName).empty());
}

}  // namespace
}  // namespace lightdeck::testing
