// The scan screen, its rename alert, the group editor and the device picker,
// driven through the window against virtual lights. Each test asserts what
// the lights received, which lights are under control and what the
// preferences file holds; the arithmetic of frames and of the group store is
// the core tests' business.

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <fstream>

#include <gtest/gtest.h>

#include "app/app_delegate.h"
#include "bluetooth/ox_blue_tooth.h"
#include "devices/cell_device.h"
#include "devices/devices_controller.h"
#include "devices/shared_store.h"
#include "devices/view_connected_devices.h"
#include "devices/view_gpm.h"
#include "panels/setting_controller.h"
#include "protocol/command_frames.h"
#include "support/simulated_app_fixture.h"
#include "support/ui_test_support.h"
#include "ui/alert_controller.h"
#include "ui/application_window.h"
#include "ui/display_name.h"
#include "ui/edit_view.h"
#include "ui/navigation_controller.h"
#include "ui/notification_center.h"

namespace lightdeck::testing {
namespace {

using nlohmann::json;
using Ids = std::vector<std::string>;

const QString kConnected = QStringLiteral("已连接\nCONNECTED");
const std::string kUnseen = "0D3F2C1A-0000-4000-8000-0000000000FF";  // a member the manager never heard

json group(const std::string& title, bool selected = false) { return {{"title", title}, {"selected", selected}}; }

class DevicesScreenTest : public SimulatedAppTest {
protected:
    void SetUp() override
    {
        SimulatedAppTest::SetUp();
        setApplicationWindow(m_window.get());
        ASSERT_TRUE(showWindow(m_window.get(), kDefaultMainScreenSize));
    }
    void TearDown() override
    {
        for (AlertController* alert : AlertController::openAlerts())
            alert->triggerAction(QStringLiteral("取消"));
        m_window.reset();
        setApplicationWindow(nullptr);
        waitCentralIdle();  // a choice asks members to connect: let that finish first
        SimulatedAppTest::TearDown();
    }

    VirtualLight& connectedLight(const std::string& name)
    {
        VirtualLight& light = addLight(name);
        EXPECT_TRUE(connectThroughManager(light)) << name;
        return light;
    }
    static Ids controlled()
    {
        Ids ids;
        for (const auto& entry : OxBlueTooth::sharedInstance().controlDict())
            ids.push_back(entry.first);
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    // Presses at `pos` and holds until the long press shows `shown`, then releases.
    static void holdUntil(QWidget* widget, QPoint pos, const std::function<bool()>& shown)
    {
        press(widget, pos);
        ASSERT_TRUE(waitUntil(shown));
        release(widget, pos);
        processEvents();
    }
    static bool alertOpen() { return !AlertController::openAlerts().isEmpty(); }
    static void answer(const char* action, const QString& text = {})
    {
        ASSERT_TRUE(waitUntil(alertOpen));
        AlertController* alert = AlertController::openAlerts().last();
        if (!text.isEmpty())
            alert->textField()->setText(text);
        alert->triggerAction(QString::fromUtf8(action));
        processEvents();
    }
    static QStringList rows(QListWidget* list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    }

    // Runs the lights and the event loop until `condition` holds.
    bool settles(const std::function<bool()>& condition)
    {
        return waitUntil([&] {
            waitCentralIdle();
            return condition();
        });
    }

    // Scan screen.
    bool waitForRow(const VirtualLight& light) { return settles([&] { return rowOf(light) >= 0; }); }
    CellDevice* cellOf(const VirtualLight& light) const { return devices().cellAt(rowOf(light)); }
    void tapRow(int row)  // on the row's panel, left of its button
    {
        ASSERT_TRUE(devices().cellAt(row));
        click(devices().cellAt(row), QPoint(60, CellDevice::kRowHeight / 2));
    }

    // Group editor and picker.
    void seed(const json& groupList, const json& deviceInGroup)  // as a new run of the program finds it
    {
        std::ofstream(preferencesFile()) << json{{"groupList", groupList}, {"deviceInGroup", deviceInGroup}}.dump();
        useSharedPreferencesFile(preferencesFile());
    }
    ViewGPM* panelOver(const json& groupList, const json& deviceInGroup)
    {
        seed(groupList, deviceInGroup);
        auto* panel = new ViewGPM(m_window.get());
        panel->setGeometry(0, 0, mainScreenSize().width(), 600);
        panel->show();
        processEvents();
        return panel;
    }
    json stored(const char* key) const { return readPreferencesFile().value(key, json()); }
    static QPushButton* groupButton(ViewGPM* panel, int i) { return findByTag<QPushButton>(panel, ViewGPM::kGroupButtonTagBase + i); }
    static void tapGroup(ViewGPM* panel, int position, Input input = Input::Mouse, int taps = 1)
    {
        ASSERT_TRUE(groupButton(panel, position)) << position;
        strokes(groupButton(panel, position), input, std::vector<Stroke>(taps, {centreOf(groupButton(panel, position))}));
        processEvents();
    }
    static EditView* popup(QWidget* panel)  // the one on show, if any
    {
        const auto views = panel->findChildren<EditView*>();
        const auto shown = std::find_if(views.begin(), views.end(), [](EditView* view) { return view->isVisible(); });
        return shown == views.end() ? nullptr : *shown;
    }
    static void popupRow(ViewGPM* panel, int row)
    {
        ASSERT_TRUE(waitUntil([&] { return popup(panel) != nullptr; }));
        click(popup(panel)->tableView()->viewport(), rowCentre(popup(panel)->tableView(), row));
        processEvents();
    }
    static void longPressGroup(ViewGPM* panel, int position, int popupRowToTap)
    {
        QPushButton* button = groupButton(panel, position);
        holdUntil(button, centreOf(button), [&] { return popup(panel) != nullptr; });
        popupRow(panel, popupRowToTap);
    }
    static void tick(ViewConnectedDevices* sheet, const VirtualLight& light, Input input = Input::Mouse, int taps = 1)
    {
        QListWidget* list = sheet->tableView();
        strokes(list->viewport(), input, std::vector<Stroke>(taps, {rowCentre(list, rows(list).indexOf(light.name().c_str()))}));
        processEvents();
    }

    std::unique_ptr<QWidget> m_window = std::make_unique<QWidget>();
};

// --- Scan screen ---------------------------------------------------------------------

TEST_F(DevicesScreenTest, ScanScreenConnectsRefreshesStoredNamesRenamesAndRescans)
{
    VirtualLight& key = addLight("Key Light");
    VirtualLight& tube = addLight("Tube");
    const std::string id = key.identifier();
    seed({group("A"), group("B")}, {{{id, "Old"}, {kUnseen, "Other"}}, {{id, "Old"}}});
    launchApp();
    ASSERT_TRUE(waitForRow(key) && waitForRow(tube));
    EXPECT_EQ(cellOf(key)->buttonConnect()->text(), QStringLiteral("未连接\nDISCONNECTED"));
    click(cellOf(key)->buttonConnect());
    ASSERT_TRUE(settles([&] { return key.isConnected() && cellOf(key)->buttonConnect()->text() == kConnected; }));
    EXPECT_FALSE(tube.isConnected());
    // On connection the light's name is refreshed in every group that holds it.
    const json refreshed = {{{id, "Key Light"}, {kUnseen, "Other"}}, {{id, "Key Light"}}};
    EXPECT_TRUE(settles([&] { return stored("deviceInGroup") == refreshed; }));

    // Rename mode: a tap on the row opens the alert.
    click(devices().editButton());
    tapRow(rowOf(key));
    ASSERT_TRUE(waitUntil(alertOpen));
    QApplication::clipboard()->setText(QStringLiteral("摄影ABCDEFGHIJKLMNOPQRSTUVW"));  // 25 units
    AlertController::openAlerts().last()->textField()->paste();
    key.clearWrites();
    answer("确定");
    const std::string name = "摄影ABCDEFGHIJKLMNOPQR";
    ASSERT_TRUE(settles([&] { return key.lastFrame() == renameMessage(name); }));  // its bytes: the protocol tests
    // After the settle delay the manager scans again and the list shows the name.
    const QString shown = QString::fromStdString(name);
    EXPECT_TRUE(settles([&] { return cellOf(key) && cellOf(key)->labelName()->text() == shown; }));

    // Back in the foreground: the lights not connected go at once, then are heard again.
    NotificationCenter::defaultCenter().post(QStringLiteral("appDidBecomeActive"));
    EXPECT_EQ(devices().rowCount(), 1);
    ASSERT_TRUE(waitForRow(tube));
    // The button of a connected light lets it go; the row leaves until it is heard again.
    click(cellOf(key)->buttonConnect());
    EXPECT_TRUE(settles([&] { return !key.isConnected() && rowOf(key) < 0; }));
}

// Mended: the manager changes its map on its own queue, so a row can show a
// light that has gone by the time it is tapped: the tap goes to the light the
// row showed, or nowhere, never to whichever light now sits at that position.
TEST_F(DevicesScreenTest, ATapOnARowControlsThatConnectedLightAlone)
{
    VirtualLight& lonely = addLight("Lonely");
    VirtualLight& leaving = connectedLight("Leaving");
    VirtualLight& staying = connectedLight("Staying");
    VirtualLight& before = connectedLight("Controlled before");
    OxBlueTooth::sharedInstance().setControlDict({{before.identifier(), peripheralOf(before)}});
    launchApp();
    ASSERT_TRUE(waitForRow(lonely) && waitForRow(leaving) && waitForRow(staying));
    tapRow(rowOf(lonely));  // not connected: only a notice

    const int leavingRow = rowOf(leaving);
    const int stayingRow = rowOf(staying);
    ASSERT_TRUE(leaving.dropConnection());
    processSimulator().waitIdle();
    tapRow(leavingRow);  // the list has not been reloaded yet
    EXPECT_EQ(controlled(), Ids{before.identifier()});
    EXPECT_EQ(navigation().count(), 1);

    tapRow(stayingRow);
    EXPECT_EQ(controlled(), Ids{staying.identifier()});
    ASSERT_EQ(navigation().count(), 2);
    EXPECT_EQ(qobject_cast<SettingController*>(navigation().top())->index(), 0);
}

// Mended: the cut kept half of a character that needs two units, and the
// light got bytes that are not UTF-8.
TEST(LimitedNameTest, CutsAtTwentyUnitsKeepingPairsWhole)
{
    const QString emoji = QString::fromUtf8("😀"), a18(18, 'a');
    for (const auto& [text, cut] :
         {std::pair{a18 + "b" + emoji, a18 + "b"}, {a18 + emoji + "b", a18 + emoji}, {emoji.repeated(11), emoji.repeated(10)}})
        EXPECT_EQ(DevicesController::limitedName(text), cut) << text.toStdString();
}

// --- Names from the radio and from the file -----------------------------------------

TEST_F(DevicesScreenTest, HostileNamesShowNeutralisedOnEveryScreen)
{
    const std::string names[] = {"\xE2\x80\xAE" "evil", "<b>\x1b[31m\r\n", std::string(300, 'W')};
    const QString bad(QChar::ReplacementCharacter);
    const QString cut = QString(kDisplayNameMaxCharacters, 'W') + QChar(0x2026);
    const QStringList shown = {"evil", "<b>" + bad + "[31m" + bad + bad, cut};
    json members = json::object();
    std::vector<VirtualLight*> lights;
    for (const auto& name : names) {
        lights.push_back(&connectedLight(name));
        members[lights.back()->identifier()] = name;
    }
    launchApp();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(waitForRow(*lights[i]));
        EXPECT_EQ(cellOf(*lights[i])->labelName()->text(), shown[i]);
        EXPECT_EQ(cellOf(*lights[i])->labelName()->textFormat(), Qt::PlainText);
    }
    // A tampered file: a title far beyond what the entry field allows.
    ViewGPM* panel = panelOver(json::array({group("\xE2\x80\xAE" + std::string(200, 'W') + "\n")}), json::array({members}));
    EXPECT_EQ(groupButton(panel, 0)->text(), cut);
    tapGroup(panel, 0);
    EXPECT_EQ(rows(panel->tableView()), shown);
    EXPECT_EQ(rows(panel->openDevicePicker()->tableView()), shown);
}

// --- Group editor -------------------------------------------------------------------------

TEST_F(DevicesScreenTest, GroupsAreAddedAndRenamedThroughThePanelWithTitlesCutToSixUnits)
{
    ViewGPM* panel = panelOver(json::array(), json::array());
    for (const QString& title : {QStringLiteral("客厅"), QString::fromUtf8("ABCDE😀")}) {  // 7 units
        click(panel->addGroupButton());
        popupRow(panel, 0);
        answer("确定", title);
    }
    EXPECT_EQ(stored("deviceInGroup"), json::parse("[{},{}]"));
    tapGroup(panel, 1);
    longPressGroup(panel, 0, 0);
    answer("确定", "Kitchen2");  // cut as it is set
    EXPECT_FALSE(groupButton(panel, 0)->isChecked()) << "a long press is not also a tap";
    // The rename stores the choice made meanwhile.
    EXPECT_EQ(stored("groupList"), json({group("Kitche"), group("ABCDE", true)}));
}

TEST_F(DevicesScreenTest, ChoosingAGroupControlsItsHeardMembersAndNothingElse)
{
    VirtualLight& in1 = connectedLight("In 1");
    VirtualLight& in2 = addLight("In 2");
    connectedLight("Not a member");
    ASSERT_TRUE(discover(in2));
    const json members = {{in1.identifier(), "In 1"}, {in2.identifier(), "In 2"}, {kUnseen, "Gone"}};
    ViewGPM* panel = panelOver({group("Other"), group("Studio")}, {json::object(), members});
    tapGroup(panel, 1);
    EXPECT_EQ(controlled(), (Ids{in1.identifier(), in2.identifier()}));
    EXPECT_TRUE(settles([&] { return in2.isConnected(); })) << "a member not connected is asked to connect";
    EXPECT_EQ(rows(panel->tableView()), QStringList({"Gone", "In 1", "In 2"}));  // in the stored order
    EXPECT_EQ(stored("groupList"), json({group("Other"), group("Studio")})) << "a choice alone is not stored";
    // Quick taps count one each: two leave the choice as it was, three flip it
    // (un-chosen: no light at all).
    for (const auto& [input, taps, chosen] : {std::tuple{Input::Mouse, 2, true}, {Input::Mouse, 3, false},
                                              {Input::Touch, 2, false}, {Input::Touch, 3, true}}) {
        tapGroup(panel, 1, input, taps);
        EXPECT_EQ(controlled().size(), chosen ? 2u : 0u) << taps;
    }
}

TEST_F(DevicesScreenTest, DeletingAnEarlierGroupKeepsTheLaterChoiceItsMembersAndThePickersTarget)
{
    VirtualLight& picked = connectedLight("Picked");
    ViewGPM* panel = panelOver({group("G0"), group("G1"), group("G2")},
                               {{{kUnseen, "M0"}}, json::object(), {{kUnseen, "M2"}}});
    tapGroup(panel, 2);
    longPressGroup(panel, 0, 1);
    answer("确定");
    EXPECT_TRUE(groupButton(panel, 1)->isChecked());
    EXPECT_EQ(rows(panel->tableView()), QStringList({"M2"}));
    EXPECT_EQ(stored("groupList"), json({group("G1"), group("G2")}));

    click(panel->editButton());
    popupRow(panel, 0);
    auto* picker = m_window->findChild<ViewConnectedDevices*>();
    ASSERT_TRUE(picker);
    tick(picker, picked);
    click(picker->sureButton());
    EXPECT_EQ(stored("deviceInGroup"), json({json::object(), {{kUnseen, "M2"}, {picked.identifier(), "Picked"}}}));
}

// Mended: the alert names a light, not a row; when the rows move while it is
// open, confirming removes the light that was pressed.
TEST_F(DevicesScreenTest, ALongPressOnAMemberRemovesThatLightFromTheGroupButNotFromControl)
{
    VirtualLight& first = connectedLight("First");
    VirtualLight& second = connectedLight("Second");
    ViewGPM* panel = panelOver(json::array({group("A")}),
                               json::array({{{first.identifier(), "First"}, {second.identifier(), "Second"}}}));
    tapGroup(panel, 0);
    QListWidget* list = panel->tableView();
    const QPoint secondRow = list->visualItemRect(list->item(rows(list).indexOf("Second"))).center();
    holdUntil(list->viewport(), secondRow, alertOpen);
    sharedGroupStore().addDevices(0, {{"0D3F2C1A-0000-4000-8000-000000000000", "Added meanwhile"}});
    NotificationCenter::defaultCenter().post("refreshDeviceList");
    processEvents();
    answer("确定");
    EXPECT_EQ(rows(list), QStringList({"Added meanwhile", "First"}));
    EXPECT_FALSE(stored("deviceInGroup")[0].contains(second.identifier()));
    EXPECT_EQ(controlled().size(), 2u);
}

// --- Device picker ----------------------------------------------------------------------------

TEST_F(DevicesScreenTest, ThePickerAddsTheTickedLightsAndControlsExactlyThem)
{
    VirtualLight& alpha = connectedLight("Alpha");
    VirtualLight& beta = connectedLight("Beta");
    ASSERT_TRUE(discover(addLight("Seen only")));
    ViewGPM* panel = panelOver({group("A"), group("B")}, {json::object(), {{alpha.identifier(), "Alpha (old)"}}});
    tapGroup(panel, 1);
    ViewConnectedDevices* sheet = panel->openDevicePicker();
    EXPECT_EQ(rows(sheet->tableView()), QStringList({"Alpha", "Beta"})) << "connected lights only";

    // Quick taps count one each, the tick flips on every tap. The ticks are
    // the manager's: they outlive a cancel, which stores nothing.
    for (const auto& [input, taps, ticked] : {std::tuple{Input::Mouse, 2, false}, {Input::Mouse, 3, true},
                                              {Input::Touch, 2, true}, {Input::Touch, 3, false}, {Input::Touch, 1, true}}) {
        tick(sheet, beta, input, taps);
        EXPECT_EQ(sheet->tableView()->item(1)->checkState() == Qt::Checked, ticked) << taps;
    }
    const json before = readPreferencesFile();
    click(sheet->cancelButton());
    EXPECT_EQ(readPreferencesFile(), before);

    sheet = panel->openDevicePicker();
    tick(sheet, alpha);
    click(sheet->sureButton());
    EXPECT_EQ(stored("deviceInGroup"), json({json::object(), {{alpha.identifier(), "Alpha"}, {beta.identifier(), "Beta"}}}));
    EXPECT_EQ(controlled(), (Ids{alpha.identifier(), beta.identifier()}));

    // Mended: the manager drops a light from its map on its own thread; a tap
    // on the row still showing it ticks nothing.
    sheet = panel->openDevicePicker();
    tick(sheet, alpha);  // un-ticked
    const int betaRow = rows(sheet->tableView()).indexOf("Beta");
    OxBlueTooth::sharedInstance().disConnectDevice(peripheralOf(beta));
    waitCentralIdle();
    click(sheet->tableView()->viewport(), rowCentre(sheet->tableView(), betaRow));
    processEvents();
    EXPECT_EQ(rows(sheet->tableView()), QStringList({"Alpha"}));
    click(sheet->sureButton());  // nothing ticked: nothing under control, nothing stored
    EXPECT_TRUE(controlled().empty());
    EXPECT_EQ(stored("deviceInGroup")[1].size(), 2u);
}

}  // namespace
}  // namespace lightdeck::testing
