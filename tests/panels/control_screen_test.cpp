// The control screen and its panels, against two virtual lights connected
// through the shared manager and both under control: the page the index and
// the mode buttons show, the way back (with the group choice in the
// preferences file), the frame each gesture makes the lights receive (one,
// on release, or none), what the panel shows afterwards, and the controls a
// light marks unavailable.
//
// The manager keeps every report for the rest of the process, so a light
// that marks a control unavailable would shield it in every panel built
// later. A test that sends such reports starts with LIGHTDECK_IN_FRESH_RUN():
// its body runs in a new run of this program with only that test selected.
// A test that finds reports stored by earlier tests moves there the same way.
#include <QAbstractButton>
#include <QLabel>
#include <QProcess>
#include <QTest>

#include <functional>

#include "bluetooth/ox_blue_tooth.h"
#include "controls/ox_slider_view.h"
#include "devices/shared_store.h"
#include "devices/view_gpm.h"
#include "panels/cell_eff_mode.h"
#include "panels/setting_controller.h"
#include "panels/view_cct.h"
#include "panels/view_eff.h"
#include "panels/view_hsi.h"
#include "panels/view_set.h"
#include "panels/view_sos.h"
#include "protocol/command_frames.h"
#include "support/simulated_app_fixture.h"
#include "support/ui_test_support.h"
#include "ui/navigation_controller.h"

namespace lightdeck::testing {
namespace {

using Frames = std::vector<std::string>;  // "AA 01 64 2F 00 00 BB"

bool inFreshRun() { return qEnvironmentVariableIsSet("LIGHTDECK_FRESH_RUN"); }

// Runs this program again with only the current test selected; passes when
// that run passes.
void runInFreshRun()
{
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess child;
    qputenv("LIGHTDECK_FRESH_RUN", "1");  // inherited by the child
    child.start(QCoreApplication::applicationFilePath(),
                {QString("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name())});
    qunsetenv("LIGHTDECK_FRESH_RUN");
    child.waitForFinished(120000);  // against a hang only
    const std::string output = child.readAll().toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;  // a filter matching none exits 0
}

#define LIGHTDECK_IN_FRESH_RUN() \
    if (!inFreshRun())           \
        return runInFreshRun()

// One gesture and what it makes the lights receive.
struct Step {
    const char* what;
    std::function<void()> gesture;
    Frames frames;
    QString shown;  // the panel's read-outs (and crosshair) afterwards
};

class ControlScreenTest : public SimulatedAppTest {
protected:
    void SetUp() override
    {
        SimulatedAppTest::SetUp();
        if (!inFreshRun() && OxBlueTooth::sharedInstance().reportCount(ReportList::ALL) > 0) {
            runInFreshRun();
            GTEST_SKIP() << "ran in a fresh run: earlier tests of this process stored reports";
        }
        resetRunLongFrames();  // the effect frame lives for the run
        for (VirtualLight** light : {&m_light, &m_other}) {
            *light = &addLight("Light");
            ASSERT_TRUE(connectThroughManager(**light));
        }
        OxBlueTooth::sharedInstance().setControlDict(
            {{m_light->identifier(), peripheralOf(*m_light)}, {m_other->identifier(), peripheralOf(*m_other)}});
        launchApp();
    }

    // A new control screen at `index`, pushed (over the scan screen) without
    // animation; an open one is popped first.
    SettingController* openScreen(qint64 index)
    {
        while (navigation().count() > 1)
            navigation().pop(false);
        m_screen = new SettingController;
        m_screen->setIndex(index);
        navigation().push(m_screen, false);
        navigation().finishTransition();
        processEvents();
        return m_screen;
    }

    // The frames both lights received since the last call.
    Frames sent()
    {
        waitCentralIdle();
        waitCentralIdle();
        Frames frames;
        for (const Bytes& value : m_light->writes())
            frames.push_back(toSpacedHex(value));
        EXPECT_EQ(m_other->writes(), m_light->writes()) << "every light under control gets every frame";
        m_light->clearWrites();
        m_other->clearWrites();
        return frames;
    }

    // The first light reports `report`; waits until the manager stored it.
    void sendReport(const Bytes& report)
    {
        const std::size_t before = OxBlueTooth::sharedInstance().reportCount(ReportList::ALL);
        ASSERT_TRUE(m_light->sendReport(report));
        ASSERT_TRUE(waitUntil([&] {
            return processSimulator().waitIdle(), OxBlueTooth::sharedInstance().reportCount(ReportList::ALL) > before;
        }));
    }

    void run(const std::vector<Step>& steps, const std::function<QString()>& shown)
    {
        EXPECT_EQ(sent(), Frames{}) << "opening sends nothing";
        for (const Step& step : steps) {
            step.gesture();
            EXPECT_EQ(sent(), step.frames) << step.what;
            EXPECT_EQ(shown(), step.shown) << step.what;
        }
    }

    QPointer<SettingController> m_screen;
    VirtualLight* m_light = nullptr;
    VirtualLight* m_other = nullptr;
};

// What a person sees of the page: its title, its panel at the left edge
// (the only one), and its mode button the only one filled blue.
void expectPage(SettingController* screen, int page)
{
    const char* const titles[] = {"CCT色温模式", "HSI RGB彩色模式", "EFF视频光效", "SET 七彩颜色模式",
                                  "SOS 国际救援灯光", "GMP 组合编辑"};
    EXPECT_EQ(screen->titleLabel()->text(), QString::fromUtf8(titles[page]));
    QWidget* const panels[] = {screen->viewCCT(), screen->viewHSI(), screen->viewEFF(),
                               screen->viewSET(), screen->viewSOS(), screen->viewGPM()};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(panels[i]->mapTo(screen, QPoint(0, 0)).x() == 0, i == page) << "panel " << i;
        EXPECT_EQ(grabImage(screen->modeButton(10 + i)).pixelColor(30, 4) == QColor(42, 135, 255), i == page) << i;
    }
}

// Opening clears a pending rename and blocks the back gesture; switching
// pages (by button only, not by swiping) sends nothing.
TEST_F(ControlScreenTest, IndexAndModeButtonsChooseThePage)
{
    OxBlueTooth::sharedInstance().setIsChangeName(true);
    for (const auto& [index, page] : {std::pair{5, 5}, {1, 1}, {-1, 0}, {6, 0}, {0, 0}}) {
        SCOPED_TRACE(index);
        expectPage(openScreen(index), page);
    }
    EXPECT_FALSE(OxBlueTooth::sharedInstance().isChangeName());
    QTest::keyClick(&navigation(), Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(navigation().count(), 2);
    for (int page : {3, 1, 5, 2, 4, 0, 0}) {
        OxBlueTooth::sharedInstance().setCharacteristicID("FFF9");
        click(m_screen->modeButton(page + 10));
        expectPage(m_screen, page);
        EXPECT_EQ(OxBlueTooth::sharedInstance().characteristicID(), "FFF1") << "set again on every switch";
    }
    drag(m_screen->viewCCT(), QPoint(350, 100), QPoint(20, 100));
    expectPage(m_screen, 0);
    EXPECT_EQ(sent(), Frames{});
}

// Back forgets the chosen group; the Bluetooth button keeps it.
TEST_F(ControlScreenTest, BackClearsTheGroupChoiceTheBluetoothButtonKeepsIt)
{
    const nlohmann::json groups = {
        {"groupList", {{{"title", "客厅"}, {"selected", true}, {"colour", "warm"}}, {{"title", "B"}, {"selected", 1}}}},
        {"other", 7}};
    nlohmann::json cleared = groups;
    for (auto& group : cleared["groupList"])
        group["selected"] = false;
    for (const auto& [button, expected] : {std::pair{"blueToothButton", groups}, {"backButton", cleared}}) {
        for (const auto& [key, value] : groups.items())
            sharedPreferences().setObject(key, value);
        click(openScreen(5)->findChild<QAbstractButton*>(button));
        ASSERT_TRUE(waitUntil([&] { return m_screen.isNull() && !navigation().isTransitioning(); })) << button;
        EXPECT_EQ(readPreferencesFile(), expected) << button;
        EXPECT_TRUE(navigation().isInteractivePopEnabled()) << "the back gesture is given back";
    }
}

// Taps as a person makes them, with a mouse and on a touch screen: the second
// of two quick taps (a double click to Qt) is a tap like the first, a drag
// may start right after a tap, and a tap on a label is a tap on its panel.
// The SOS page sends on release, so a press dragged off it sends nothing.
TEST_F(ControlScreenTest, QuickTapsDragsRightAfterATapAndTapsOnLabels)
{
    const std::string hue = "AA 02 32 00 00 B4 BB", sos = "AA 06 00 00 00 00 BB", tile = "AA 03 00 04 00 00 BB";
    struct Row { int page; std::function<QWidget*(SettingController*)> control; int taps; QPoint dragTo; Frames frames; };
    const Row table[] = {  // quick taps on the control's centre, then a drag from there (when dragTo is set)
        {2, [](SettingController* s) { return s->viewEFF()->cellForItem(3); }, 2, {}, {tile, tile}},
        {2, [](SettingController* s) { return findByTag(s->viewEFF(), 12); }, 2, {}, {"AA 03 00 00 00 03 BB", "AA 03 00 00 00 03 BB"}},
        {3, [](SettingController* s) { return findByTag(s->viewSET(), 13); }, 2, {}, {"AA 04 00 04 00 00 BB", "AA 04 00 04 00 00 BB"}},
        {4, [](SettingController* s) { return s->viewSOS()->labelSOS(); }, 2, {}, {sos, sos}},
        {4, [](SettingController* s) { return s->viewSOS()->labelSOS(); }, 0, {300, 0}, {}},
        {1, [](SettingController* s) { return s->viewHSI()->imageView(); }, 1, {40, -40}, {hue, "AA 02 32 00 00 2D BB"}},
        {1, [](SettingController* s) { return s->viewHSI()->findChild<QWidget*>("labelHUE"); }, 1, {}, {hue}},
        {1, [](SettingController* s) { return s->viewHSI()->findChild<QWidget*>("labelBright"); }, 1, {}, {hue}},
        {0, [](SettingController* s) { return findByTag(s->viewCCT(), ViewCCT::kBrightnessSliderTag); }, 1, {163, 0},
         {"AA 01 64 2F 00 00 BB"}}};
    for (Input input : {Input::Mouse, Input::Touch}) {
        for (const Row& row : table) {
            resetRunLongFrames();
            QWidget* control = row.control(openScreen(row.page));
            const QPoint c(control->width() / 2, control->height() / 2);
            std::vector<Stroke> gesture(std::size_t(row.taps), {c});
            if (!row.dragTo.isNull())
                gesture.push_back({c, c + row.dragTo / 2, c + row.dragTo});
            strokes(control, input, gesture);
            EXPECT_EQ(sent(), row.frames) << (input == Input::Touch ? "touch, " : "mouse, ") << control->metaObject()->className();
        }
    }
}

QString text(QWidget* panel, const char* label) { return panel->findChild<QLabel*>(label)->text(); }
QPoint at(QWidget* slider, int x) { return {x, slider->height() / 2}; }
void dragTo(QWidget* slider, int x) { drag(slider, centreOf(slider), at(slider, x)); }
void tapTile(ViewEFF* panel, int row) { click(panel->cellForItem(row)); }
void tap(QWidget* panel, int tag) { click(findByTag(panel, tag)); }
bool looksChosen(CellEFFMode* tile) { return grabImage(tile).pixelColor(tile->width() / 2, tile->height() - 6) != Qt::white; }

// Each release sends both values: the one just set and the other as it is.
TEST_F(ControlScreenTest, ColourTemperature)
{
    ViewCCT* panel = openScreen(0)->viewCCT();
    auto* temperature = findByTag<OxSliderView>(panel, ViewCCT::kTemperatureSliderTag);
    auto* brightness = findByTag<OxSliderView>(panel, ViewCCT::kBrightnessSliderTag);
    const int w = temperature->width();  // 330: the thumb travels 300
    const auto shown = [&] { return text(panel, "labelCCTKValue") + " " + text(panel, "labelLightValue"); };
    EXPECT_EQ(shown(), "4700k 50%");
    run({{"brightness right end", [&] { dragTo(brightness, w - 2); }, {"AA 01 64 2F 00 00 BB"}, "4700k 100%"},
         {"temperature held", [&] { press(temperature, centreOf(temperature)), moveTo(temperature, at(temperature, 30)); },
          {}, "3100k 100%"},
         {"... and released", [&] { release(temperature, at(temperature, 30)); }, {"AA 01 64 1F 00 00 BB"}, "3100k 100%"},
         {"temperature left end", [&] { dragTo(temperature, 2); }, {"AA 01 64 1E 00 00 BB"}, "3000k 100%"},
         {"temperature right end", [&] { dragTo(temperature, w - 2); }, {"AA 01 64 41 00 00 BB"}, "6500k 100%"},
         {"a pixel short of the end", [&] { dragTo(temperature, w - 16); }, {"AA 01 64 40 00 00 BB"}, "6400k 100%"},
         {"brightness left end", [&] { dragTo(brightness, 2); }, {"AA 01 00 40 00 00 BB"}, "6400k 0%"},
         {"taps", [&] { click(brightness, at(brightness, w - 5)), click(temperature), click(panel, QPoint(200, 40)); },
          {}, "6400k 0%"}},
        shown);
}

TEST_F(ControlScreenTest, Hue)
{
    ViewHSI* panel = openScreen(1)->viewHSI();
    QLabel* wheel = panel->imageView();  // 210 x 210, crosshair circle radius 95
    auto* hue = findByTag<OxSliderView>(panel, ViewHSI::kHueSliderTag);
    auto* brightness = findByTag<OxSliderView>(panel, ViewHSI::kBrightnessSliderTag);
    const QPoint c(wheel->width() / 2, wheel->height() / 2);
    const auto shown = [&] {
        const QPoint at = panel->imageViewSelecter()->pos();  // the crosshair
        return QString("%1 %2 (%3, %4)").arg(text(panel, "labelHUEValue"), text(panel, "labelBrightValue")).arg(at.x()).arg(at.y());
    };
    EXPECT_EQ(shown(), "180° 50% (95, 190)");
    run({{"held level with the centre", [&] { press(wheel, c + QPoint(10, 20)), moveTo(wheel, c + QPoint(60, 0)); }, {},
          "90° 50% (190, 95)"},
         {"... moved to the other side", [&] { moveTo(wheel, c + QPoint(-60, 0)); }, {}, "270° 50% (0, 95)"},
         {"... released: not past a full turn", [&] { release(wheel, c + QPoint(-60, 0)); }, {"AA 02 32 00 01 0E BB"},
          "270° 50% (0, 95)"},
         {"hue slider right end: one frame", [&] { dragTo(hue, hue->width() - 2); }, {"AA 02 32 00 01 68 BB"},
          "360° 50% (95, 0)"},
         {"brightness right end", [&] { dragTo(brightness, brightness->width() - 2); }, {"AA 02 64 00 01 68 BB"},
          "360° 100% (95, 0)"},
         {"cancelled touch drag", [&] { touchDrag(wheel, c + QPoint(10, -10), c + QPoint(-50, -50), 8, true); }, {},
          "315° 100% (28, 28)"},
         {"touch drag", [&] { touchDrag(wheel, c + QPoint(10, -10), c + QPoint(50, 50)); }, {"AA 02 64 00 00 87 BB"},
          "135° 100% (162, 162)"}},
        shown);
}

// Each tap sends the latest effect and option together; both outlive the
// screen.
TEST_F(ControlScreenTest, Effects)
{
    ViewEFF* panel = openScreen(2)->viewEFF();
    tap(panel, 11);  // an option before any effect: effect 0, the first effect named
    EXPECT_EQ(sent(), Frames{"AA 03 00 00 00 02 BB"});
    EXPECT_EQ(panel->labelMode()->text(), "警灯模式");
    for (int row = 0; row < 10; ++row) {
        tapTile(panel, row);
        EXPECT_EQ(sent(), Frames{toSpacedHex({0xAA, 0x03, 0x00, std::uint8_t(row + 1), 0x00, 0x02, 0xBB})}) << row;
        EXPECT_EQ(panel->labelMode()->text().toStdString(), kEffectModes[std::size_t(row)].mode) << row;
    }
    tapTile(panel, 3);
    tap(panel, 12);
    EXPECT_EQ(sent(), (Frames{"AA 03 00 04 00 02 BB", "AA 03 00 04 00 03 BB"}));
    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(looksChosen(panel->cellForItem(row)), row == 3) << row;

    tapTile(openScreen(2)->viewEFF(), 9);
    EXPECT_EQ(sent(), Frames{"AA 03 00 0A 00 03 BB"});
    tap(openScreen(2)->viewEFF(), 10);
    EXPECT_EQ(sent(), Frames{"AA 03 00 0A 00 01 BB"});
}

TEST_F(ControlScreenTest, PresetColours)
{
    ViewSET* panel = openScreen(3)->viewSET();
    for (int chosen : {10, 11, 12, 13, 14, 15, 16, 16}) {
        tap(panel, chosen);
        EXPECT_EQ(sent(), Frames{toSpacedHex({0xAA, 0x04, 0x00, std::uint8_t(chosen - 9), 0x00, 0x00, 0xBB})});
        for (int tag = 10; tag <= 16; ++tag)
            EXPECT_EQ(findByTag<QAbstractButton>(panel, tag)->isChecked(), tag == chosen) << chosen << ", " << tag;
    }
}

// Reports of an unavailable control (a byte above F0 that names it), and
// bytes that name none:
//   colour temperature  FF at byte 3 (temperature); FE at byte 2 is none
//   hue                 FF at byte 4: both sliders, whose drags then count
//                       as taps on the panel; the wheel still sends
//   effects             byte 3: F1 and FA the first and last tiles; F0, FB none
//                       byte 4: FD the third option; F1 (the panel's own
//                       tag 0), FA and FE none
//   preset colours      F1 orange and F6 purple; F0 (red has none) and F7 none
TEST_F(ControlScreenTest, MarkedControlsNoLongerChange)
{
    LIGHTDECK_IN_FRESH_RUN();
    // {mode, byte, marker}: AA mode 00 00 00 00 BB with the marker at that byte.
    const int marks[][3] = {{1, 2, 0xFE}, {1, 3, 0xFF}, {2, 4, 0xFF}, {3, 3, 0xF1}, {3, 3, 0xFA}, {3, 3, 0xF0},
                            {3, 3, 0xFB}, {3, 4, 0xFD}, {3, 4, 0xF1}, {3, 4, 0xFA}, {3, 4, 0xFE}, {4, 3, 0xF1},
                            {4, 3, 0xF6}, {4, 3, 0xF0}, {4, 3, 0xF7}};
    for (const auto& [mode, byte, marker] : marks) {
        Bytes report{0xAA, std::uint8_t(mode), 0x00, 0x00, 0x00, 0x00, 0xBB};
        report[std::size_t(byte)] = std::uint8_t(marker);
        sendReport(report);
    }
    SettingController* screen = openScreen(0);

    ViewCCT* cct = screen->viewCCT();
    dragTo(findByTag(cct, ViewCCT::kTemperatureSliderTag), 2);
    EXPECT_EQ(sent(), Frames{});
    dragTo(findByTag(cct, ViewCCT::kBrightnessSliderTag), 328);
    EXPECT_EQ(sent(), Frames{"AA 01 64 2F 00 00 BB"});

    ViewHSI* hsi = screen->viewHSI();
    click(screen->modeButton(11));
    dragTo(findByTag(hsi, ViewHSI::kHueSliderTag), 300);
    dragTo(findByTag(hsi, ViewHSI::kBrightnessSliderTag), 300);
    EXPECT_EQ(sent(), (Frames{"AA 02 32 00 00 B4 BB", "AA 02 32 00 00 B4 BB"}));
    const QPoint c(hsi->imageView()->width() / 2, hsi->imageView()->height() / 2);
    drag(hsi->imageView(), c + QPoint(10, -10), c + QPoint(50, -50));
    EXPECT_EQ(sent(), Frames{"AA 02 32 00 00 2D BB"});

    ViewEFF* effects = screen->viewEFF();
    click(screen->modeButton(12));
    tapTile(effects, 0);
    tapTile(effects, 9);
    click(effects->cellForItem(9));
    tap(effects, 12);
    EXPECT_EQ(sent(), Frames{});
    EXPECT_FALSE(looksChosen(effects->cellForItem(9)));
    tapTile(effects, 1);
    tapTile(effects, 8);
    tap(effects, 10);
    tap(effects, 11);
    EXPECT_EQ(sent(), (Frames{"AA 03 00 02 00 00 BB", "AA 03 00 09 00 00 BB", "AA 03 00 09 00 01 BB",
                              "AA 03 00 09 00 02 BB"}));

    ViewSET* colours = screen->viewSET();
    click(screen->modeButton(13));
    for (int tag = 10; tag <= 16; ++tag)
        tap(colours, tag);
    EXPECT_EQ(sent(), (Frames{"AA 04 00 01 00 00 BB", "AA 04 00 03 00 00 BB", "AA 04 00 04 00 00 BB",
                              "AA 04 00 05 00 00 BB", "AA 04 00 06 00 00 BB"}));
    EXPECT_EQ(grabImage(findByTag(colours, 11)).pixelColor(30, 17), ViewSET::shieldedColor());
}

}  // namespace
}  // namespace lightdeck::testing
