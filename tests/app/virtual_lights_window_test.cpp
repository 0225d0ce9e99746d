// The virtual lights window follows what the lights do: connection, the last
// frame they received, and the colour they emit (animated for SOS).

#include "app/virtual_lights_window.h"

#include <gtest/gtest.h>

#include "app/light_preview.h"
#include "bluetooth/ox_blue_tooth.h"
#include "support/simulated_app_fixture.h"
#include "support/ui_test_support.h"

namespace lightdeck {
namespace {

using testing::waitUntil;

class VirtualLightsWindowTest : public testing::SimulatedAppTest {
protected:
    const VirtualLightsWindow::Card* card(const VirtualLightsWindow& window, const VirtualLight& light)
    {
        for (const auto& c : window.cards()) {
            if (c.identifier == light.identifier())
                return &c;
        }
        return nullptr;
    }
};

TEST_F(VirtualLightsWindowTest, FollowsConnectionFramesAndColour)
{
    VirtualLight& light = addLight("Window light");
    VirtualLightsWindow window(testing::processSimulator());
    ASSERT_TRUE(testing::showWindow(&window));
    ASSERT_NE(card(window, light), nullptr);
    EXPECT_EQ(card(window, light)->name, QStringLiteral("Window light"));
    EXPECT_FALSE(card(window, light)->connected);
    EXPECT_EQ(card(window, light)->lastFrame, QString());

    ASSERT_TRUE(connectThroughManager(light));
    auto& manager = OxBlueTooth::sharedInstance();
    manager.setControlDict({{light.identifier(), peripheralOf(light)}});
    manager.writeDataWithData({0xAA, 0x01, 0x50, 0x20, 0x00, 0x00, 0xBB});  // 80 %, 3200 K
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        const auto* c = card(window, light);
        return c && c->connected && c->lastFrame == QStringLiteral("AA 01 50 20 00 00 BB");
    }));
    EXPECT_EQ(window.shownColour(light.identifier()), light.output().colour());
    EXPECT_FALSE(isAnimated(card(window, light)->output));
    const QImage picture = testing::grabImage(&window);
    EXPECT_FALSE(picture.isNull());

    // SOS blinks: the window animates and shows both lit and dark moments.
    manager.writeDataWithData({0xAA, 0x06, 0x00, 0x00, 0x00, 0x00, 0xBB});
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return window.isAnimating() && isAnimated(card(window, light)->output);
    }));
    bool lit = false;
    bool dark = false;
    ASSERT_TRUE(waitUntil(
        [&] {
            const Rgb c = window.shownColour(light.identifier());
            lit = lit || c == Rgb{255, 255, 255};
            dark = dark || c == Rgb{0, 0, 0};
            return lit && dark;
        },
        10000));
}

TEST_F(VirtualLightsWindowTest, NamesAreKeptAsGiven)
{
    VirtualLight& light = addLight("<i>not markup</i>");
    VirtualLightsWindow window(testing::processSimulator());
    ASSERT_NE(card(window, light), nullptr);
    EXPECT_EQ(card(window, light)->name, QStringLiteral("<i>not markup</i>"));
    light.setName("Renamed at the light");
    ASSERT_TRUE(waitUntil([&] { return card(window, light)->name == QStringLiteral("Renamed at the light"); }));
}

}  // namespace
}  // namespace lightdeck
