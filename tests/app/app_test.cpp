// The program as a whole: its command line, start-up and life cycle, the
// virtual lights window, the screenshot walker, the executable without a
// display, and the main-thread relay and shared store its screens rely on.
#include <QDir>
#include <QImage>
#include <QProcess>

#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "app/app_delegate.h"
#include "app/launch_options.h"
#include "app/light_preview.h"
#include "app/screenshot_walker.h"
#include "app/virtual_lights_window.h"
#include "bluetooth/ox_blue_tooth.h"
#include "devices/main_thread_relay.h"
#include "devices/shared_store.h"
#include "support/simulated_app_fixture.h"
#include "ui/notification_center.h"

namespace lightdeck {
namespace {

using testing::waitUntil;

TEST(LaunchOptionsTest, CommandLines)
{
    const auto outcome = [](const std::vector<std::string>& args) {
        const auto [options, error] = parseLaunchOptions(args);
        return !error.empty() ? error : std::vector<std::string>{"automatic", "simulated", "bluetooth"}[int(options.backend)]
                   + " " + std::to_string(options.simulatedLights) + " [" + options.screenshotsDir + "]";
    };
    const std::pair<std::vector<std::string>, std::string> cases[] = {  // {arguments, outcome or a part of the error}
        {{}, "automatic 0 []"}, {{"--simulate"}, "simulated 0 []"}, {{"--simulate=3"}, "simulated 3 []"},
        {{"--simulate=64"}, "simulated 64 []"}, {{"--bluetooth"}, "bluetooth 0 []"},
        {{"--screenshots", "/tmp/a"}, "automatic 0 [/tmp/a]"}, {{"--screenshots=/b", "--simulate=2"}, "simulated 2 [/b]"},
        {{"--simulate", "--simulate"}, "simulated 0 []"}, {{"-style", "fusion", "--simulate"}, "simulated 0 []"},
        {{"--simulate=0"}, "1 to 64"}, {{"--simulate=65"}, "1 to 64"}, {{"--simulate="}, "1 to 64"},
        {{"--simulate=3k"}, "\"3k\""}, {{"--simulate", "--bluetooth"}, "cannot be used together"},
        {{"--screenshots"}, "--screenshots DIR"}, {{"--screenshots="}, "--screenshots DIR"},
        {{"--screenshots", "d", "--bluetooth"}, "virtual lights"}, {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"stray"}, "unexpected argument"}};
    for (const auto& [args, expected] : cases)
        EXPECT_NE(outcome(args).find(expected), std::string::npos) << ::testing::PrintToString(args) << ": " << outcome(args);
    EXPECT_TRUE(parseLaunchOptions({"-h"}).options.help);
    const std::tuple<const char*, const char*, bool> environments[] = {{"DISPLAY", nullptr, false}, {"DISPLAY", "", false},
        {"DISPLAY", ":0", true}, {"WAYLAND_DISPLAY", "wayland-0", true}, {"QT_QPA_PLATFORM", "offscreen", true}};
    for (const auto& [name, value, display] : environments)  // the one variable set
        EXPECT_EQ(hasDisplay({}, [&](const char* n) { return std::string(n) == name ? value : nullptr; }), display) << name;
    EXPECT_TRUE(hasDisplay(parseLaunchOptions({"-platform", "offscreen"}).options, [](const char*) { return nullptr; }));
}

TEST(LightdeckProgramTest, WithoutADisplayOrWithAWrongCommandLineItSaysWhyAndStops)
{
    const auto run = [](const char* argument, bool display) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            display ? void() : environment.remove(name);
        program.setProcessEnvironment(environment);
        program.start(LIGHTDECK_EXECUTABLE, {argument});
        EXPECT_TRUE(program.waitForFinished(30000));
        return QString::number(program.exitCode()) + ": " + QString::fromUtf8(program.readAllStandardError());
    };
    const QString noDisplay = run("--simulate", false), wrong = run("--simulate=0", true);
    EXPECT_TRUE(noDisplay.startsWith("3: ")) << noDisplay.toStdString();
    for (const char* hint : {"no display", "xvfb-run", "--screenshots", "QT_QPA_PLATFORM=offscreen"})
        EXPECT_TRUE(noDisplay.contains(hint)) << hint;
    EXPECT_TRUE(wrong.startsWith("2: ") && wrong.contains("Usage: lightdeck")) << wrong.toStdString();
}

class AppTest : public testing::SimulatedAppTest {};

TEST_F(AppTest, AFixedWindowAndEachReturnToTheForegroundRescansOnce)
{
    for (const auto& [available, expected] : std::vector<std::pair<QSize, QSize>>{{{1920, 1080}, {390, 844}},
             {{1366, 924}, {390, 844}}, {{1366, 768}, {390, 688}}, {{800, 600}, {390, 568}}, {{}, {390, 844}}})
        EXPECT_EQ(AppDelegate::windowSizeFor(available), expected) << available.width() << "x" << available.height();
    VirtualLight& connected = addLight("Stays");
    VirtualLight& stale = addLight("Stale");
    ASSERT_TRUE(connectThroughManager(connected));
    launchApp();
    EXPECT_EQ(app()->window()->minimumSize(), app()->window()->maximumSize());  // never stretched nor turned
    const auto listed = [&] { return waitUntil([&] { return waitCentralIdle(), rowOf(stale) >= 0; }); };
    ASSERT_TRUE(listed());
    QObject observer;
    int posts = 0;
    NotificationCenter::defaultCenter().observe("appDidBecomeActive", &observer, [&] { ++posts; });
    const auto become = [](Qt::ApplicationState state) { emit qGuiApp->applicationStateChanged(state); };
    become(Qt::ApplicationActive);  // the first activation is the launch's
    for (Qt::ApplicationState away : {Qt::ApplicationInactive, Qt::ApplicationHidden, Qt::ApplicationSuspended})
        become(away);
    become(Qt::ApplicationActive);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(rowOf(stale), -1);  // the light that is not connected is dropped at once, and heard again
    EXPECT_GE(rowOf(connected), 0);
    EXPECT_TRUE(listed());
}

TEST_F(AppTest, VirtualLightsWindowFollowsConnectionFramesAndNames)
{
    VirtualLight& light = addLight("<i>not markup</i>");
    VirtualLightsWindow window(testing::processSimulator());
    ASSERT_TRUE(testing::showWindow(&window));
    const auto card = [&]() -> const VirtualLightsWindow::Card& {
        return *std::find_if(window.cards().begin(), window.cards().end(), [&](const auto& c) { return c.identifier == light.identifier(); });
    };
    EXPECT_EQ(card().name, QStringLiteral("<i>not markup</i>"));
    ASSERT_TRUE(connectThroughManager(light));
    OxBlueTooth::sharedInstance().setControlDict({{light.identifier(), peripheralOf(light)}});
    OxBlueTooth::sharedInstance().writeDataWithData({0xAA, 0x01, 0x50, 0x20, 0x00, 0x00, 0xBB});  // 80 %, 3200 K
    ASSERT_TRUE(waitUntil([&] { return waitCentralIdle(), card().connected && card().lastFrame == "AA 01 50 20 00 00 BB"; }));
    EXPECT_EQ(window.shownColour(light.identifier()), light.output().colour());
    EXPECT_FALSE(isAnimated(card().output));
    OxBlueTooth::sharedInstance().writeDataWithData({0xAA, 0x06, 0x00, 0x00, 0x00, 0x00, 0xBB});  // SOS blinks
    EXPECT_TRUE(waitUntil([&] { return waitCentralIdle(), window.isAnimating() && isAnimated(card().output); }));
    light.setName("Renamed at the light");
    EXPECT_TRUE(waitUntil([&] { return card().name == QStringLiteral("Renamed at the light"); }));
}

// The preview's clock: SOS in Morse (dot one unit, dash three, gaps of one,
// three and seven), and an effect's option runs it one to three times as fast.
TEST(LightPreviewTest, SosSpellsItsWordAndTheOptionSetsTheSpeed)
{
    using namespace std::chrono_literals;
    const std::string sos = std::string("10101") + "000" + "11101110111" + "000" + "10101" + "0000000";
    for (int unit = 0; unit < 2 * kSosUnitsPerWord; ++unit)
        EXPECT_EQ(sosLampOn(unit * kSosUnit + 100ms), sos[unit % sos.size()] == '1') << unit;
    for (int effect = 1; effect <= 10; ++effect)
        for (int option = 2; option <= 3; ++option)
            for (auto t : {130ms, 777ms, 2100ms}) {
                LightOutput fast{.mode = LightMode::Effect, .effect = effect, .effectOption = option}, slow = fast;
                slow.effectOption = 1;
                EXPECT_EQ(previewColour(fast, t), previewColour(slow, option * t)) << effect << " option " << option;
            }
}

TEST_F(AppTest, ScreenshotWalkerSavesTheScreens)
{
    addLight("Shot A");
    QTemporaryDir folder;
    std::vector<ScreenshotWalker::Step> steps;
    for (const auto& step : ScreenshotWalker::standardSteps())
        if (step.fileName == "devices.png" || step.fileName == "lights.png")
            steps.push_back(step);
    ASSERT_EQ(ScreenshotWalker(testing::processSimulator(), folder.path()).run(steps), 0);
    EXPECT_EQ(QImage(QDir(folder.path()).filePath("devices.png")).size(), QSize(390, 844));
    EXPECT_FALSE(QImage(QDir(folder.path()).filePath("lights.png")).isNull());
}

TEST(MainThreadRelayTest, RunsOnTheTargetsThreadWhileItLivesAndNeverAfter)
{
    auto target = std::make_unique<QObject>();
    auto relay = std::make_shared<MainThreadRelay>(target.get());
    std::atomic<int> ran{0}, onTargetThread{0};
    std::thread([&] {
        for (int i = 0; i < 10; ++i)
            relay->post([&] { ++ran, onTargetThread += QThread::currentThread() == target->thread(); });
    }).join();
    EXPECT_EQ(ran, 0);  // queued, not run on the worker
    ASSERT_TRUE(waitUntil([&] { return ran == 10; }));
    EXPECT_EQ(onTargetThread, 10);
    relay->post([&] { ++ran; });  // queued while the target lives
    relay->detach();
    relay->post([&] { ++ran; });  // dropped at once
    target.reset();               // takes the queued call with it
    testing::processEvents();
    EXPECT_EQ(ran, 10);
}

TEST(SharedStoreTest, OneStoreForAllAHandleKeepsItsStoreAcrossSwapsAlsoFromAnotherThread)
{
    QTemporaryDir folder;
    const std::string oldFile = folder.filePath("old.json").toStdString(), light = "0D3F2C1A-0000-4000-8000-000000000001";
    useSharedPreferencesFile(oldFile);
    GroupList groups;
    sharedGroupStore().addGroup(groups, "客厅");
    const auto handle = sharedGroupStoreHandle();
    handle->addDevices(0, {{light, "Old"}});
    EXPECT_EQ(sharedPreferences().objectForKey("groupList")->size(), 1u);
    useSharedPreferencesFile(folder.filePath("new.json").toStdString());
    handle->refreshNames(light, "Late");  // a late writer still reaches the store it started with
    std::ifstream in(oldFile);
    EXPECT_EQ(nlohmann::json::parse(in, nullptr, false)["deviceInGroup"][0][light], "Late");
    EXPECT_TRUE(sharedGroupStore().loadGroups().empty());
    EXPECT_FALSE(std::filesystem::exists(folder.filePath("new.json").toStdString()));

    std::atomic<bool> stop{false};
    std::thread refresher([&] {
        for (GroupList none; !stop; none.clear()) {
            if (sharedGroupStoreHandle()->loadGroups().empty())
                sharedGroupStoreHandle()->addGroup(none, "g");
            sharedGroupStoreHandle()->addDevices(0, {{light, "x"}});
            sharedGroupStoreHandle()->refreshNames(light, "y");
        }
    });
    for (int i = 0; i < 200; ++i)
        setSharedPreferences(std::make_shared<InMemoryPreferences>());
    stop = true;
    refresher.join();
}

}  // namespace
}  // namespace lightdeck
