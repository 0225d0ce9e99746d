#include "devices/view_gpm.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "controls/ox_slider_view.h"
#include "devices/group_screen_fixture.h"
#include "devices/shared_store.h"
#include "devices/view_connected_devices.h"
#include "devices/devices_controller.h"
#include "panels/setting_controller.h"
#include "panels/view_cct.h"
#include "ui/navigation_controller.h"
#include "support/log_capture.h"
#include "support/ui_test_support.h"
#include "ui/alert_controller.h"
#include "ui/application_window.h"
#include "ui/edit_view.h"
#include "ui/notification_center.h"
#include "ui/view_tag.h"

namespace lightdeck::testing {
namespace {

using nlohmann::json;

// A member the manager has never seen.
const std::string kUnseenLight = "0D3F2C1A-0000-4000-8000-0000000000FF";

json group(const std::string& title, bool selected = false)
{
    return json{{"title", title}, {"selected", selected}};
}

class ViewGPMTest : public GroupScreenTest {
protected:
    QPushButton* button(ViewGPM* panel, int position)
    {
        return findByTag<QPushButton>(panel, ViewGPM::kGroupButtonTagBase + position);
    }
    // The names of a group's members in the store's own order: the order
    // the member list must show them in.
    QStringList storedNames(std::size_t position) const
    {
        QStringList names;
        for (const auto& [id, name] : sharedGroupStore().members(position))
            names << QString::fromStdString(name);
        return names;
    }
    static QStringList sorted(QStringList names)
    {
        names.sort();
        return names;
    }
    static std::vector<std::string> sorted(std::vector<std::string> ids)
    {
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    int buttonCount(ViewGPM* panel)
    {
        int count = 0;
        for (auto* b : panel->buttonView()->findChildren<QPushButton*>())
            count += tag(b) >= ViewGPM::kGroupButtonTagBase ? 1 : 0;
        return count;
    }
    // Long press at `pos` of the member list, held until the panel has
    // recognised it (it logs the pressed row, -1 for none).
    void longPressMembers(ViewGPM* panel, QPoint pos, bool expectAlert)
    {
        LogCapture log;
        QWidget* viewport = panel->tableView()->viewport();
        press(viewport, pos);
        const int row = panel->tableView()->indexAt(pos).row();
        ASSERT_TRUE(waitUntil([&] {
            const auto lines = log.lines();
            return std::find(lines.begin(), lines.end(), std::to_string(row)) != lines.end();
        }));
        processEvents();
        release(viewport, pos);
        if (expectAlert)
            ASSERT_TRUE(waitUntil([] { return topAlert() != nullptr; }));
        else
            ASSERT_EQ(topAlert(), nullptr);
    }
};

// --- Creating groups and laying out their buttons ----------------------------

TEST_F(ViewGPMTest, FirstGroupOnAnEmptyStoreWritesBothKeys)
{
    ViewGPM* panel = openPanel();
    EXPECT_EQ(buttonCount(panel), 0);
    EXPECT_EQ(readPreferencesFile(), json::object());

    addGroupThroughPanel(panel, "客厅");

    EXPECT_EQ(groupList(), json::array({group("客厅")}));
    EXPECT_EQ(deviceInGroup(), json::parse("[{}]"));
    QPushButton* first = button(panel, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->geometry(), QRect(10, 10, ViewGPM::groupButtonWidth("客厅"), 30));
    EXPECT_EQ(first->text(), "客厅");
    EXPECT_FALSE(first->isChecked());
}

TEST_F(ViewGPMTest, ButtonWidthIsTextWidthPlusTwentyAtLeastThirty)
{
    ViewGPM* panel = openPanel();
    addGroupThroughPanel(panel, "A");
    addGroupThroughPanel(panel, "ABCDEF");
    addGroupThroughPanel(panel, "");
    const QFontMetricsF metrics(ViewGPM::panelFont());
    EXPECT_EQ(button(panel, 0)->width(), 30);
    EXPECT_EQ(button(panel, 1)->width(), qCeil(metrics.horizontalAdvance("ABCDEF")) + 20);
    EXPECT_GT(button(panel, 1)->width(), 30);
    EXPECT_EQ(button(panel, 1)->x(), 10 + 30 + 5);
    EXPECT_EQ(button(panel, 2)->width(), 30);  // empty titles are accepted
    EXPECT_EQ(groupList(), json::array({group("A"), group("ABCDEF"), group("")}));
}

// Every group gets its button, whatever the count (ten included), flowing in
// rows that wrap once the next button would end beyond the screen width - 30.
TEST_F(ViewGPMTest, AnyNumberOfGroupsShowsEveryButtonInWrappedRows)
{
    for (int count : {9, 10, 11, 25}) {
        SCOPED_TRACE(count);
        json titles = json::array();
        json members = json::array();
        for (int i = 0; i < count; ++i) {
            titles.push_back(group("组" + std::to_string(i)));
            members.push_back(json::object());
        }
        seedPreferences({{"groupList", titles}, {"deviceInGroup", members}});
        ViewGPM* panel = openPanel();
        ASSERT_EQ(buttonCount(panel), count);

        const int allWidth = mainScreenSize().width() - 30;
        EXPECT_EQ(panel->allWidth(), allWidth);
        int x = 10, y = 10;
        for (int i = 0; i < count; ++i) {
            const int w = ViewGPM::groupButtonWidth(QString::fromStdString("组" + std::to_string(i)));
            if (x + w > allWidth) {
                x = 10;
                y += 35;
            }
            EXPECT_EQ(button(panel, i)->geometry(), QRect(x, y, w, 30)) << "button " << i;
            x += w + 5;
        }
        EXPECT_GT(y, 10) << "the rows should have wrapped";
        // The holder grows so the last row can be scrolled to.
        EXPECT_GE(panel->buttonView()->height(), y + 30);
        delete panel;
    }
}

// --- Choosing a group ----------------------------------------------------------

TEST_F(ViewGPMTest, ChoosingControlsTheDiscoveredMembersAndUnchoosingControlsNone)
{
    auto lights = addLights({"Key A", "Fill B", "Other C"});
    connectLight(*lights[0]);
    connectLight(*lights[2]);  // connected but not a member
    seedPreferences({{"groupList", {group("Studio"), group("Hall")}},
                     {"deviceInGroup",
                      {json::object(),
                       {{lights[0]->identifier(), "Key A"},
                        {lights[1]->identifier(), "Fill B"},
                        {kUnseenLight, "Gone"}}}}});
    ViewGPM* panel = openPanel();
    LogCapture log;

    tapGroup(panel, 1);
    EXPECT_TRUE(button(panel, 1)->isChecked());
    EXPECT_FALSE(button(panel, 0)->isChecked());
    // Members the manager has not discovered are skipped.
    EXPECT_EQ(sorted(controlled()), sorted({lights[0]->identifier(), lights[1]->identifier()}));
    // The disconnected member is asked to connect.
    EXPECT_TRUE(waitUntil([&] {
        processSimulator().waitIdle();
        return lights[1]->isConnected();
    }));
    EXPECT_EQ(memberRows(panel), storedNames(1));
    EXPECT_EQ(sorted(memberRows(panel)), QStringList({"Fill B", "Gone", "Key A"}));
    EXPECT_TRUE(log.contains("当前控制的设备："));
    // A choice is kept in memory only.
    EXPECT_EQ(groupList(), json::array({group("Studio"), group("Hall")}));

    tapGroup(panel, 1);
    EXPECT_FALSE(button(panel, 1)->isChecked());
    EXPECT_TRUE(controlled().empty());
    EXPECT_EQ(memberRows(panel), storedNames(1));  // the rows stay
}

// The colour temperature panel's frame reaches the chosen group's members
// and no other light.
TEST_F(ViewGPMTest, ColourTemperatureFramesReachExactlyTheChosenGroup)
{
    auto lights = addLights({"In 1", "In 2", "Out"});
    for (auto* light : lights)
        connectLight(*light);
    seedPreferences({{"groupList", {group("G")}},
                     {"deviceInGroup",
                      {{{lights[0]->identifier(), "In 1"}, {lights[1]->identifier(), "In 2"}}}}});
    ViewGPM* panel = openPanel();
    tapGroup(panel, 0);

    auto* cct = new ViewCCT(QRect(0, 0, mainScreenSize().width(), 600), m_window.get());
    cct->show();
    auto* brightness = findByTag<OxSliderView>(cct, ViewCCT::kBrightnessSliderTag);
    ASSERT_TRUE(brightness);
    drag(brightness, centreOf(brightness), {brightness->width() - 2, brightness->height() / 2});
    const Bytes fullBrightness{0xAA, 0x01, 0x64, 0x2F, 0x00, 0x00, 0xBB};
    ASSERT_TRUE(waitUntil([&] {
        processSimulator().waitIdle();
        return lights[0]->lastFrame() == fullBrightness && lights[1]->lastFrame() == fullBrightness;
    }));
    EXPECT_TRUE(lights[2]->writes().empty());

    tapGroup(panel, 0);  // un-chosen: no light is controlled any more
    for (auto* light : lights)
        light->clearWrites();
    drag(brightness, centreOf(brightness), {2, brightness->height() / 2});
    processSimulator().waitIdle();
    for (auto* light : lights)
        EXPECT_TRUE(light->writes().empty());
}

TEST_F(ViewGPMTest, AStoredChoiceShowsSelectedAndTheFirstTapUnchooses)
{
    auto lights = addLights({"Stored"});
    seedPreferences({{"groupList", {group("A"), group("B", true)}},
                     {"deviceInGroup", {json::object(), {{lights[0]->identifier(), "Stored"}}}}});
    ViewGPM* panel = openPanel();
    EXPECT_TRUE(button(panel, 1)->isChecked());
    EXPECT_TRUE(memberRows(panel).isEmpty());  // nothing chosen yet

    tapGroup(panel, 1);
    EXPECT_FALSE(button(panel, 1)->isChecked());
    EXPECT_TRUE(controlled().empty());
    tapGroup(panel, 1);
    EXPECT_TRUE(button(panel, 1)->isChecked());
    EXPECT_EQ(controlled(), std::vector<std::string>{lights[0]->identifier()});
    EXPECT_EQ(memberRows(panel), QStringList({"Stored"}));
}

TEST_F(ViewGPMTest, ChoosingAnotherGroupReleasesTheFirst)
{
    auto lights = addLights({"L0", "L1"});
    seedPreferences({{"groupList", {group("A"), group("B")}},
                     {"deviceInGroup", {{{lights[0]->identifier(), "L0"}}, {{lights[1]->identifier(), "L1"}}}}});
    ViewGPM* panel = openPanel();
    tapGroup(panel, 0);
    tapGroup(panel, 1);
    EXPECT_FALSE(button(panel, 0)->isChecked());
    EXPECT_TRUE(button(panel, 1)->isChecked());
    EXPECT_EQ(controlled(), std::vector<std::string>{lights[1]->identifier()});
    EXPECT_EQ(memberRows(panel), QStringList({"L1"}));
}

// The scan screen refreshes the stored names of a light that connects; the
// panel then lists the light under its new name.
TEST_F(ViewGPMTest, AMemberReconnectingUnderANewNameIsListedUnderIt)
{
    auto lights = addLights({"Old name"});
    const std::string id = lights[0]->identifier();
    seedPreferences({{"groupList", {group("A"), group("B")}},
                     {"deviceInGroup", {{{id, "Old name"}}, {{id, "Old name"}, {kUnseenLight, "Other"}}}}});
    launchApp();  // the scan screen becomes the manager's delegate
    lights[0]->setName("New name");
    rescan();
    connectLight(*lights[0]);
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return deviceInGroup()[0][id] == "New name";
    }));
    EXPECT_EQ(deviceInGroup()[1][id], "New name");
    EXPECT_EQ(deviceInGroup()[1][kUnseenLight], "Other");

    ViewGPM* panel = openPanel();
    tapGroup(panel, 0);
    EXPECT_EQ(memberRows(panel), QStringList({"New name"}));
}

// --- Rename and delete through a long press ----------------------------------------

TEST_F(ViewGPMTest, RenameCutsToSixUnitsKeepsTheWidthAndStoresTheChoice)
{
    seedPreferences({{"groupList", {group("A"), group("B")}}, {"deviceInGroup", {json::object(), json::object()}}});
    ViewGPM* panel = openPanel();
    tapGroup(panel, 1);
    const QRect before = button(panel, 0)->geometry();

    longPressGroup(panel, 0, 0);
    ASSERT_TRUE(waitUntil([] { return topAlert() != nullptr; }));
    EXPECT_EQ(topAlert()->title(), "修改组名");
    QTest::keyClicks(topAlert()->textField(), "Kitchen2");  // typed: cut as it grows
    EXPECT_EQ(topAlert()->textField()->text(), "Kitche");
    topAlert()->triggerAction("确定");
    processEvents();

    EXPECT_EQ(button(panel, 0)->text(), "Kitche");
    EXPECT_EQ(button(panel, 0)->geometry(), before);  // until the next rebuild
    EXPECT_EQ(groupList(), json::array({group("Kitche"), group("B", true)}));
}

// Names are cut to 6 UTF-16 units, never inside a character that needs two.
TEST_F(ViewGPMTest, GroupNamesAreCutWithoutSplittingACharacter)
{
    struct Case {
        QString typed;
        std::string stored;
    };
    const std::vector<Case> cases = {
        {"ABCDEFG", "ABCDEF"},
        {"ABCDEF", "ABCDEF"},
        {"客厅一二三四五六", "客厅一二三四"},
        {QString::fromUtf8("ABCDE😀"), "ABCDE"},          // 7 units: the emoji does not fit
        {QString::fromUtf8("ABCD😀Z"), "ABCD😀"},         // exactly 6 units after the cut
        {QString::fromUtf8("😀😀😀😀"), "😀😀😀"},
    };
    ViewGPM* panel = openPanel();
    json expected = json::array();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        addGroupThroughPanel(panel, c.typed);
        expected.push_back(group(c.stored));
    }
    EXPECT_EQ(groupList(), expected);
}

TEST_F(ViewGPMTest, DeletingAnEarlierGroupKeepsTheLaterChoiceAndItsMembers)
{
    auto lights = addLights({"M0", "M2", "Picked"});
    connectLight(*lights[2]);
    seedPreferences({{"groupList", {group("G0"), group("G1"), group("G2")}},
                     {"deviceInGroup",
                      {{{lights[0]->identifier(), "M0"}}, json::object(), {{lights[1]->identifier(), "M2"}}}}});
    ViewGPM* panel = openPanel();
    tapGroup(panel, 2);

    longPressGroup(panel, 0, 1);
    ASSERT_TRUE(waitUntil([] { return topAlert() != nullptr; }));
    EXPECT_TRUE(topAlert()->title().isEmpty());
    EXPECT_EQ(topAlert()->message(), "确定删除该组合吗");
    topAlert()->triggerAction("确定");
    processEvents();

    EXPECT_EQ(buttonCount(panel), 2);
    EXPECT_EQ(button(panel, 0)->text(), "G1");
    EXPECT_EQ(button(panel, 1)->text(), "G2");
    EXPECT_TRUE(button(panel, 1)->isChecked());
    EXPECT_EQ(button(panel, 0)->geometry().topLeft(), QPoint(10, 10));  // rebuilt from the start
    EXPECT_EQ(memberRows(panel), QStringList({"M2"}));
    EXPECT_EQ(groupList(), json::array({group("G1"), group("G2")}));
    EXPECT_EQ(deviceInGroup(), json::parse(R"([{}, {")" + lights[1]->identifier() + R"(": "M2"}])"));

    // The picker now targets the chosen group at its new position.
    click(panel->editButton());
    ASSERT_TRUE(tapPopupRow(panel, 0));
    ASSERT_TRUE(waitUntil([&] { return openSheet() != nullptr; }));
    EXPECT_EQ(openSheet()->groupIndex(), 1);
    ASSERT_TRUE(clickListRow(openSheet()->tableView(), 0));
    click(openSheet()->sureButton());
    processEvents();
    EXPECT_EQ(deviceInGroup()[1][lights[2]->identifier()], "Picked");
    EXPECT_EQ(deviceInGroup()[0], json::object());
    EXPECT_EQ(sorted(memberRows(panel)), QStringList({"M2", "Picked"}));
}

TEST_F(ViewGPMTest, TheGroupUnderControlCannotBeDeleted)
{
    for (bool chosenByTap : {true, false}) {
        SCOPED_TRACE(chosenByTap ? "chosen by a tap" : "stored as chosen");
        const json stored = {{"groupList", {group("A"), group("B", !chosenByTap)}},
                             {"deviceInGroup", {json::object(), {{kUnseenLight, "x"}}}}};
        seedPreferences(stored);
        ViewGPM* panel = openPanel();
        if (chosenByTap)
            tapGroup(panel, 1);

        longPressGroup(panel, 1, 1);
        ASSERT_TRUE(waitUntil([] { return topAlert() != nullptr; }));
        topAlert()->triggerAction("确定");
        EXPECT_TRUE(waitUntil([&] { return toastShown("不可删除正在控制中的组合"); }));
        EXPECT_EQ(buttonCount(panel), 2);
        EXPECT_TRUE(button(panel, 1)->isChecked());
        EXPECT_EQ(readPreferencesFile(), stored);
        delete panel;
    }
}

// After the shown group is un-chosen and deleted, its rows go with it and no
// later action reads a position past the end of the group list.
TEST_F(ViewGPMTest, DeletingTheShownUnchosenGroupEmptiesTheMemberList)
{
    auto lights = addLights({"Only"});
    seedPreferences({{"groupList", {group("A"), group("B")}},
                     {"deviceInGroup", {{{kUnseenLight, "Keep"}}, {{lights[0]->identifier(), "Only"}}}}});
    ViewGPM* panel = openPanel();
    tapGroup(panel, 1);
    tapGroup(panel, 1);
    ASSERT_EQ(memberRows(panel), QStringList({"Only"}));

    longPressGroup(panel, 1, 1);
    ASSERT_TRUE(waitUntil([] { return topAlert() != nullptr; }));
    topAlert()->triggerAction("确定");
    processEvents();

    EXPECT_TRUE(memberRows(panel).isEmpty());
    EXPECT_EQ(buttonCount(panel), 1);
    // Neither a press on the (empty) list nor a refresh touches anything.
    const json before = readPreferencesFile();
    longPressMembers(panel, QPoint(40, 10), false);
    NotificationCenter::defaultCenter().post("refreshDeviceList");
    processEvents();
    EXPECT_TRUE(memberRows(panel).isEmpty());
    EXPECT_EQ(readPreferencesFile(), before);
    EXPECT_EQ(before, json({{"groupList", {group("A")}}, {"deviceInGroup", {{{kUnseenLight, "Keep"}}}}}));

    // No group is chosen any more: the picker is refused.
    click(panel->editButton());
    ASSERT_TRUE(tapPopupRow(panel, 0));
    EXPECT_TRUE(waitUntil([&] { return toastShown("请选择添加设备的组"); }));
    EXPECT_EQ(openSheet(), nullptr);
}

// --- Members ---------------------------------------------------------------------

TEST_F(ViewGPMTest, MemberRowsShowStoredNames)
{
    seedPreferences({{"groupList", {group("A")}},
                     {"deviceInGroup", {{{kUnseenLight, "<b>Desk</b> & co"}}}}});
    ViewGPM* panel = openPanel();
    tapGroup(panel, 0);
    ASSERT_EQ(panel->tableView()->count(), 1);
    QListWidgetItem* row = panel->tableView()->item(0);
    EXPECT_EQ(row->text(), "<b>Desk</b> & co");  // shown as typed, never as markup
    EXPECT_EQ(row->sizeHint().height(), ViewGPM::kRowHeight);
    EXPECT_EQ(row->font().pixelSize(), 13);
}

TEST_F(ViewGPMTest, LongPressOnAMemberRemovesItButNotFromControl)
{
    auto lights = addLights({"First", "Second"});
    seedPreferences({{"groupList", {group("A")}},
                     {"deviceInGroup",
                      {{{lights[0]->identifier(), "First"}, {lights[1]->identifier(), "Second"}}}}});
    ViewGPM* panel = openPanel();
    tapGroup(panel, 0);
    processSimulator().waitIdle();
    ASSERT_EQ(sorted(memberRows(panel)), QStringList({"First", "Second"}));
    const QStringList rowsBefore = memberRows(panel);

    // Below the last row: no row, so nothing is asked and nothing removed.
    const json before = readPreferencesFile();
    longPressMembers(panel, QPoint(60, 2 * ViewGPM::kRowHeight + 20), false);
    EXPECT_EQ(readPreferencesFile(), before);
    EXPECT_EQ(memberRows(panel), rowsBefore);

    // On the row of "Second", cancelled: nothing changes.
    const int row = rowsBefore.indexOf("Second");
    const QPoint secondRow = panel->tableView()->visualItemRect(panel->tableView()->item(row)).center();
    longPressMembers(panel, secondRow, true);
    EXPECT_EQ(topAlert()->title(), "提示");
    EXPECT_EQ(topAlert()->message(), "是否删除");
    topAlert()->triggerAction("取消");
    processEvents();
    EXPECT_EQ(readPreferencesFile(), before);

    // Confirmed: "Second" leaves the group, not the control.
    longPressMembers(panel, secondRow, true);
    topAlert()->triggerAction("确定");
    processEvents();
    EXPECT_EQ(memberRows(panel), QStringList({"First"}));
    EXPECT_EQ(deviceInGroup(), json::array({{{lights[0]->identifier(), "First"}}}));
    EXPECT_EQ(sorted(controlled()), sorted({lights[0]->identifier(), lights[1]->identifier()}));
}

// The alert names a light, not a row: when the rows change while it is open
// (another screen added a member), confirming removes the light pressed.
TEST_F(ViewGPMTest, RemovingAMemberRemovesThePressedLightEvenWhenTheRowsMoved)
{
    const std::string first = "0D3F2C1A-0000-4000-8000-000000000000";  // sorts before kUnseenLight
    seedPreferences({{"groupList", {group("A")}}, {"deviceInGroup", {{{kUnseenLight, "Pressed"}}}}});
    ViewGPM* panel = openPanel();
    tapGroup(panel, 0);
    const QPoint row0 = panel->tableView()->visualItemRect(panel->tableView()->item(0)).center();
    longPressMembers(panel, row0, true);

    sharedGroupStore().addDevices(0, {{first, "Added meanwhile"}});
    NotificationCenter::defaultCenter().post("refreshDeviceList");
    processEvents();
    ASSERT_EQ(memberRows(panel), QStringList({"Added meanwhile", "Pressed"}));

    topAlert()->triggerAction("确定");
    processEvents();
    EXPECT_EQ(memberRows(panel), QStringList({"Added meanwhile"}));
    EXPECT_EQ(deviceInGroup(), json::array({{{first, "Added meanwhile"}}}));
}

TEST_F(ViewGPMTest, RefreshDeviceListRereadsTheChosenGroup)
{
    seedPreferences({{"groupList", {group("A"), group("B")}}, {"deviceInGroup", {json::object(), json::object()}}});
    ViewGPM* panel = openPanel();
    sharedGroupStore().addDevices(1, {{kUnseenLight, "Late"}});
    NotificationCenter::defaultCenter().post("refreshDeviceList");
    processEvents();
    EXPECT_TRUE(memberRows(panel).isEmpty());  // nothing chosen: nothing read

    tapGroup(panel, 1);
    sharedGroupStore().addDevices(1, {{"0D3F2C1A-0000-4000-8000-0000000000EE", "Later"}});
    NotificationCenter::defaultCenter().post("refreshDeviceList");
    processEvents();
    EXPECT_EQ(sorted(memberRows(panel)), QStringList({"Late", "Later"}));
    EXPECT_EQ(memberRows(panel), storedNames(1));
}

// --- Popups and notices --------------------------------------------------------------

TEST_F(ViewGPMTest, PopupEntriesAndTheirNotices)
{
    ViewGPM* panel = openPanel();

    click(panel->addGroupButton());
    ASSERT_TRUE(waitUntil([&] { return visiblePopup(panel) != nullptr; }));
    EXPECT_EQ(visiblePopup(panel)->arrayTitle(), QStringList({"添加", "长按进行操作"}));
    ASSERT_TRUE(tapPopupRow(panel, 1));
    EXPECT_TRUE(waitUntil([&] { return toastShown("请长按要删除或编辑的组合或序号进行操作"); }));
    EXPECT_TRUE(waitUntil([&] { return visiblePopup(panel) == nullptr; }));
    EXPECT_EQ(topAlert(), nullptr);

    click(panel->editButton());
    ASSERT_TRUE(waitUntil([&] { return visiblePopup(panel) != nullptr; }));
    EXPECT_EQ(visiblePopup(panel)->arrayTitle(), QStringList({"添加", "长按进行操作"}));
    ASSERT_TRUE(tapPopupRow(panel, 0));
    EXPECT_TRUE(waitUntil([&] { return toastShown("请选择添加设备的组"); }));
    EXPECT_EQ(openSheet(), nullptr);
}

TEST_F(ViewGPMTest, AReleasedLongPressIsNotAlsoATap)
{
    seedPreferences({{"groupList", {group("A")}}, {"deviceInGroup", {json::object()}}});
    ViewGPM* panel = openPanel();
    longPressGroup(panel, 0, 0);
    ASSERT_TRUE(waitUntil([] { return topAlert() != nullptr; }));
    topAlert()->triggerAction("取消");
    processEvents();
    EXPECT_FALSE(button(panel, 0)->isChecked());
    EXPECT_TRUE(controlled().empty());
}

TEST_F(ViewGPMTest, ALongTouchOpensTheGroupPopup)
{
    seedPreferences({{"groupList", {group("A")}}, {"deviceInGroup", {json::object()}}});
    ViewGPM* panel = openPanel();
    QPushButton* target = button(panel, 0);
    const QPoint at = target->mapTo(m_window.get(), centreOf(target));
    QTest::touchEvent(m_window.get(), touchDevice()).press(0, at, m_window.get());
    ASSERT_TRUE(waitUntil([&] { return visiblePopup(panel) != nullptr; }));
    QTest::touchEvent(m_window.get(), touchDevice()).release(0, at, m_window.get());
    processEvents();
    EXPECT_EQ(visiblePopup(panel)->arrayTitle(), QStringList({"修改组名", "删除该组"}));
    EXPECT_FALSE(target->isChecked());
}

// --- With the picker ------------------------------------------------------------------

TEST_F(ViewGPMTest, ConfirmingThePickerListsTheTickedLightAtOnce)
{
    auto lights = addLights({"Ticked", "Left"});
    connectLight(*lights[0]);
    connectLight(*lights[1]);
    seedPreferences({{"groupList", {group("A")}}, {"deviceInGroup", {json::object()}}});
    ViewGPM* panel = openPanel();
    tapGroup(panel, 0);

    click(panel->editButton());
    ASSERT_TRUE(tapPopupRow(panel, 0));
    ASSERT_TRUE(waitUntil([&] { return openSheet() != nullptr; }));
    ViewConnectedDevices* sheet = openSheet();
    EXPECT_EQ(sheet->parentWidget(), applicationWindow());
    EXPECT_EQ(sheet->geometry(), QRect(QPoint(0, 0), mainScreenSize()));
    EXPECT_EQ(sheet->groupIndex(), 0);
    const QString tickedName = QString::fromStdString(lights[0]->name());
    int row = -1;
    for (int i = 0; i < sheet->tableView()->count(); ++i)
        if (sheet->tableView()->item(i)->text() == tickedName)
            row = i;
    ASSERT_GE(row, 0);
    ASSERT_TRUE(clickListRow(sheet->tableView(), row));
    click(sheet->sureButton());
    processEvents();

    EXPECT_EQ(memberRows(panel), QStringList({"Ticked"}));
    EXPECT_EQ(deviceInGroup(), json::array({{{lights[0]->identifier(), "Ticked"}}}));
    EXPECT_EQ(controlled(), std::vector<std::string>{lights[0]->identifier()});
}

// From the scan screen's group button to a controlled group and the picker,
// with the panel hosted by the control screen on its group page.
TEST_F(ViewGPMTest, TheScanScreensGroupButtonOpensThePanelInTheControlScreen)
{
    auto lights = addLights({"Member", "Extra"});
    connectLight(*lights[0]);
    connectLight(*lights[1]);
    seedPreferences({{"groupList", {group("客厅")}}, {"deviceInGroup", {{{lights[0]->identifier(), "Member"}}}}});
    launchApp();
    click(devices().gpmButton());
    ASSERT_EQ(navigation().count(), 2);
    auto* setting = qobject_cast<SettingController*>(navigation().top());
    ASSERT_TRUE(setting);
    ViewGPM* panel = setting->viewGPM();
    ASSERT_TRUE(waitUntil([&] { return panel->isVisible(); }));
    EXPECT_EQ(panel->geometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(panel->width(), mainScreenSize().width());
    ASSERT_EQ(buttonCount(panel), 1);

    tapGroup(panel, 0);
    EXPECT_EQ(controlled(), std::vector<std::string>{lights[0]->identifier()});
    click(panel->editButton());
    ASSERT_TRUE(tapPopupRow(panel, 0));
    ViewConnectedDevices* sheet = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        const auto sheets = applicationWindow()->findChildren<ViewConnectedDevices*>();
        sheet = sheets.isEmpty() ? nullptr : sheets.first();
        return sheet != nullptr;
    }));
    EXPECT_EQ(sheet->tableView()->count(), 2);
}

}  // namespace
}  // namespace lightdeck::testing
