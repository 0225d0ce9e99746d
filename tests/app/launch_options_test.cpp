// The command line of lightdeck and the display check before start-up.

#include "app/launch_options.h"

#include <map>

#include <gtest/gtest.h>

namespace lightdeck {
namespace {

TEST(LaunchOptionsTest, AcceptedCommandLines)
{
    struct Case {
        std::vector<std::string> args;
        BackendChoice backend;
        int lights;
        std::string screenshots;
    };
    const Case cases[] = {
        {{}, BackendChoice::Automatic, 0, ""},
        {{"--simulate"}, BackendChoice::Simulated, 0, ""},
        {{"--simulate=3"}, BackendChoice::Simulated, 3, ""},
        {{"--simulate=64"}, BackendChoice::Simulated, 64, ""},
        {{"--bluetooth"}, BackendChoice::Bluetooth, 0, ""},
        {{"--screenshots", "/tmp/shots"}, BackendChoice::Automatic, 0, "/tmp/shots"},
        {{"--screenshots=/tmp/s", "--simulate=2"}, BackendChoice::Simulated, 2, "/tmp/s"},
        {{"--simulate", "--simulate"}, BackendChoice::Simulated, 0, ""},
        // Qt's own options are left to Qt.
        {{"-style", "fusion", "--simulate"}, BackendChoice::Simulated, 0, ""},
    };
    for (const Case& c : cases) {
        const LaunchParse parsed = parseLaunchOptions(c.args);
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(parsed.error, "");
        EXPECT_EQ(parsed.options.backend, c.backend);
        EXPECT_EQ(parsed.options.simulatedLights, c.lights);
        EXPECT_EQ(parsed.options.screenshotsDir, c.screenshots);
    }
}

TEST(LaunchOptionsTest, RejectedCommandLinesSayWhy)
{
    const std::map<std::vector<std::string>, std::string> cases = {
        {{"--simulate=0"}, "1 to 64"},
        {{"--simulate=65"}, "1 to 64"},
        {{"--simulate=x"}, "\"x\""},
        {{"--simulate="}, "1 to 64"},
        {{"--simulate=3k"}, "\"3k\""},
        {{"--simulate", "--bluetooth"}, "cannot be used together"},
        {{"--screenshots"}, "--screenshots DIR"},
        {{"--screenshots="}, "--screenshots DIR"},
        {{"--screenshots", "d", "--bluetooth"}, "virtual lights"},
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"stray"}, "unexpected argument"},
    };
    for (const auto& [args, reason] : cases) {
        const LaunchParse parsed = parseLaunchOptions(args);
        EXPECT_NE(parsed.error.find(reason), std::string::npos)
            << ::testing::PrintToString(args) << " gave \"" << parsed.error << "\"";
    }
}

TEST(LaunchOptionsTest, HelpAndPlatform)
{
    EXPECT_TRUE(parseLaunchOptions({"--help"}).options.help);
    EXPECT_TRUE(parseLaunchOptions({"-h"}).options.help);
    EXPECT_EQ(parseLaunchOptions({"-platform", "offscreen"}).options.qtPlatform, "offscreen");
    EXPECT_NE(usageText().find("--screenshots DIR"), std::string::npos);
}

TEST(LaunchOptionsTest, DisplayCheck)
{
    auto environment = [](std::map<std::string, std::string> values) {
        return [values](const char* name) -> const char* {
            auto it = values.find(name);
            return it == values.end() ? nullptr : it->second.c_str();
        };
    };
    const LaunchOptions plain;
    EXPECT_FALSE(hasDisplay(plain, environment({})));
    EXPECT_FALSE(hasDisplay(plain, environment({{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}})));
    EXPECT_TRUE(hasDisplay(plain, environment({{"DISPLAY", ":0"}})));
    EXPECT_TRUE(hasDisplay(plain, environment({{"WAYLAND_DISPLAY", "wayland-0"}})));
    EXPECT_TRUE(hasDisplay(plain, environment({{"QT_QPA_PLATFORM", "offscreen"}})));
    LaunchOptions withPlatform;
    withPlatform.qtPlatform = "offscreen";
    EXPECT_TRUE(hasDisplay(withPlatform, environment({})));

    const std::string message = noDisplayMessage();
    for (const char* hint : {"DISPLAY", "xvfb-run", "--screenshots", "QT_QPA_PLATFORM=offscreen"})
        EXPECT_NE(message.find(hint), std::string::npos) << hint;
}

}  // namespace
}  // namespace lightdeck
