#include "panels/panel_test_support.h"

#include "panels/setting_controller.h"
#include "protocol/command_frames.h"
#include "support/ui_test_support.h"
#include "ui/navigation_controller.h"

namespace lightdeck::testing {

bool sliderMarkersStored(ReportList list)
{
    bool marked = false;
    const auto mark = [&](std::uint8_t marker) { marked = marked || marker == 0xFF; };
    const OxBlueTooth& manager = OxBlueTooth::sharedInstance();
    if (list == ReportList::CCT) {
        manager.shieldModulesFromData(list, frame_byte::kBrightness, mark);
        manager.shieldModulesFromData(list, frame_byte::kColourTemperature, mark);
    } else if (list == ReportList::HSI) {
        manager.shieldModulesFromData(list, frame_byte::kHueHigh, mark);
    }
    return marked;
}

void ControlScreenTest::SetUp()
{
    SimulatedAppTest::SetUp();
    if (HasFatalFailure())
        return;
    if (const auto list = unshieldedList(); list && sliderMarkersStored(*list))
        GTEST_SKIP() << "an earlier test of this process stored marker reports that shield the sliders; "
                        "run this test in a process of its own (ctest does)";
    resetRunLongFrames();
    VirtualLight& light = addLight("Key Light");
    ASSERT_TRUE(connectThroughManager(light));
    OxBlueTooth::sharedInstance().setControlDict({{light.identifier(), peripheralOf(light)}});
    m_light = &light;
}

SettingController* ControlScreenTest::openScreen(qint64 index)
{
    if (!app())
        launchApp();
    closeScreen();
    auto* screen = new SettingController;
    screen->setIndex(index);
    navigation().push(screen, false);
    navigation().finishTransition();
    processEvents();
    m_screen = screen;
    return screen;
}

void ControlScreenTest::closeScreen()
{
    if (!app())
        return;
    while (navigation().count() > 1)
        navigation().pop(false);
    navigation().finishTransition();
    processEvents();
}

bool ControlScreenTest::sendStoredReport(VirtualLight& light, const Bytes& report)
{
    OxBlueTooth& manager = OxBlueTooth::sharedInstance();
    const std::size_t before = manager.reports(ReportList::ALL).size();
    if (!light.sendReport(report))
        return false;
    return waitUntil([&] {
        processSimulator().waitIdle();
        return manager.reports(ReportList::ALL).size() > before;
    });
}

bool ControlScreenTest::waitForWrites(const VirtualLight& light, std::size_t count)
{
    waitCentralIdle();
    waitCentralIdle();
    return light.writes().size() == count;
}

}  // namespace lightdeck::testing
