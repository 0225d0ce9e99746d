#include "panels/panel_test_support.h"

#include <QApplication>

#include <algorithm>

#include "bluetooth/ox_blue_tooth.h"
#include "panels/setting_controller.h"
#include "protocol/command_frames.h"
#include "support/ui_test_support.h"
#include "ui/navigation_controller.h"

namespace lightdeck::testing {
namespace {

bool hasIdentifier(const auto& map, const std::string& identifier)
{
    return std::any_of(map.begin(), map.end(), [&](const auto& entry) { return entry.first == identifier; });
}

std::shared_ptr<Peripheral> discovered(const std::string& identifier)
{
    for (const auto& [key, peripheral] : OxBlueTooth::sharedInstance().discoverDict())
        if (key == identifier)
            return peripheral;
    return nullptr;
}

}  // namespace

LightSimulator& processSimulator()
{
    static LightSimulator* simulator = [] {
        auto* made = new LightSimulator();  // lives for the process, like the manager
        OxBlueTooth::setSharedCentralFactory(made->centralFactory());
        OxBlueTooth& manager = OxBlueTooth::sharedInstance();
        manager.setUuidString("FFF0");
        manager.setCharacteristicID("FFF1");
        return made;
    }();
    return *simulator;
}

VirtualLight* addControlledLight(const std::string& name)
{
    LightSimulator& simulator = processSimulator();
    OxBlueTooth& manager = OxBlueTooth::sharedInstance();
    VirtualLightSpec spec;
    spec.name = name;
    VirtualLight& light = simulator.addLight(spec);
    const std::string id = light.identifier();

    manager.startScannWithIdentifier("");
    const bool found = waitUntil([&] {
        simulator.waitIdle();
        return discovered(id) != nullptr;
    });
    EXPECT_TRUE(found) << "light " << name << " was not discovered";
    if (!found)
        return nullptr;
    std::shared_ptr<Peripheral> peripheral = discovered(id);
    manager.connectToDevice(peripheral);
    const bool writable = waitUntil([&] {
        simulator.waitIdle();
        return hasIdentifier(manager.characterDict(), id);
    });
    EXPECT_TRUE(writable) << "light " << name << " has no command characteristic";
    if (!writable)
        return nullptr;
    manager.setControlDict({{id, peripheral}});
    return &light;
}

bool sendStoredReport(VirtualLight& light, const Bytes& report)
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

bool waitForWrites(const VirtualLight& light, std::size_t count)
{
    processSimulator().waitIdle();
    processEvents();
    processSimulator().waitIdle();
    return light.writes().size() == count;
}

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
    processSimulator();
    if (const auto list = unshieldedList(); list && sliderMarkersStored(*list))
        GTEST_SKIP() << "an earlier test of this process stored marker reports that shield the sliders; "
                        "run this test in a process of its own (ctest does)";
    resetRunLongFrames();
    m_light = addControlledLight("Key Light");
    ASSERT_NE(m_light, nullptr);
}

void ControlScreenTest::TearDown()
{
    m_navigation.reset();
    processEvents();
    // No light stays under control for the next test.
    OxBlueTooth::sharedInstance().setControlDict({});
}

SettingController* ControlScreenTest::openScreen(qint64 index)
{
    auto* root = new QWidget;
    m_navigation = std::make_unique<NavigationController>(root);
    EXPECT_TRUE(showWindow(m_navigation.get(), QSize(390, 844)));
    auto* screen = new SettingController;
    screen->setIndex(index);
    m_navigation->push(screen, false);
    processEvents();
    m_screen = screen;
    return screen;
}


}  // namespace lightdeck::testing
