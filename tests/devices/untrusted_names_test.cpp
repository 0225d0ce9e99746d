// Light names come from the radio and group titles and member names from the
// preferences file: markup, control characters, bidirectional overrides and
// very long names must show as plain, neutralised text, cut between
// characters, and reach the log escaped, while the stored names stay as the
// light gave them.

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "devices/cell_device.h"
#include "devices/devices_controller.h"
#include "devices/group_screen_fixture.h"
#include "devices/view_connected_devices.h"
#include "devices/view_gpm.h"
#include "support/log_capture.h"
#include "support/ui_test_support.h"
#include "ui/display_name.h"

namespace lightdeck::testing {
namespace {

using nlohmann::json;

const QString kBad(QChar(QChar::ReplacementCharacter));
const QString kEllipsis(QChar(0x2026));

struct HostileName {
    const char* what;
    std::string name;
    QString shown;
};

std::vector<HostileName> hostileNames()
{
    return {
        {"markup", "<b>x</b><img src=x>", "<b>x</b><img src=x>"},
        {"terminal escape", "\x1b[31mred", kBad + "[31mred"},
        {"right-to-left override", "\xE2\x80\xAE" "evil", "evil"},
        {"line break", "two\r\nlines", "two" + kBad + kBad + "lines"},
        {"300 characters", std::string(300, 'W'), QString(kDisplayNameMaxCharacters, 'W') + kEllipsis},
        {"emoji at the cut", std::string(kDisplayNameMaxCharacters - 1, 'a') + "😀😀",
         QString(kDisplayNameMaxCharacters - 1, 'a') + QString::fromUtf8("😀") + kEllipsis},
    };
}

// No raw control or bidi character in any line (the manager's map dumps
// break lines on purpose).
void expectCleanLog(const LogCapture& log)
{
    for (const std::string& line : log.lines()) {
        for (const char* raw : {"\x1b", "\r", "\xE2\x80\xAE"})
            EXPECT_EQ(line.find(raw), std::string::npos) << line;
    }
}

class UntrustedNamesScanTest : public SimulatedAppTest {};

TEST_F(UntrustedNamesScanTest, TheScanListShowsHostileNamesAsPlainTextAndTheLogEscapesThem)
{
    LogCapture log;
    const auto names = hostileNames();
    std::vector<VirtualLight*> lights;
    for (const auto& n : names)
        lights.push_back(&addLight(n.name));
    launchApp();
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return devices().rowCount() == static_cast<int>(lights.size());
    }));

    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i].what);
        const int row = rowOf(*lights[i]);
        ASSERT_GE(row, 0);
        QLabel* label = devices().cellAt(row)->labelName();
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(label->text(), names[i].shown);
        // The manager's peripheral keeps the name as the light gave it.
        EXPECT_EQ(devices().cellAt(row)->peripheral()->name(), names[i].name);
    }

    // A connection logs the maps with every name in them, escaped.
    click(devices().cellAt(rowOf(*lights[1]))->buttonConnect());
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return lights[1]->isConnected();
    }));
    EXPECT_TRUE(log.contains("\\x1B[31mred"));
    EXPECT_TRUE(log.contains("\\u{202E}evil"));
    EXPECT_TRUE(log.contains("two\\x0D\\x0Alines"));
    EXPECT_TRUE(log.contains(std::string(300, 'W')));  // logged whole
    expectCleanLog(log);
}

TEST_F(UntrustedNamesScanTest, ALightThatRenamesItselfIsShownNeutralisedAfterTheNextScan)
{
    VirtualLight& light = addLight("Key Light");
    launchApp();
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return rowOf(light) >= 0;
    }));
    light.setName("\xE2\x81\xA6<i>moved</i>\xE2\x81\xA9\x07");
    devices().appDidBecomeActive();  // a rescan, as on a return to the foreground
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return rowOf(light) >= 0 && devices().cellAt(rowOf(light))->labelName()->text() != "Key Light";
    }));
    EXPECT_EQ(devices().cellAt(rowOf(light))->labelName()->text(), "<i>moved</i>" + kBad);
}

class UntrustedNamesGroupTest : public GroupScreenTest {};

TEST_F(UntrustedNamesGroupTest, PickerAndMemberRowsShowNeutralisedNamesAndTheFileKeepsTheRealOnes)
{
    auto lights = addLights({"\xE2\x80\xAE" "evil", "\x1b[31mred", std::string(300, 'W')});
    for (VirtualLight* light : lights)
        connectLight(*light);
    // A tampered file: a title far beyond what the entry field allows, with
    // an override and a line break in it.
    const std::string longTitle = "\xE2\x80\xAE" + std::string(200, 'T') + "\n";
    seedPreferences({{"groupList", {{{"title", "A"}, {"selected", false}}, {{"title", longTitle}, {"selected", false}}}},
                     {"deviceInGroup", {json::object(), json::object()}}});
    ViewGPM* panel = openPanel();

    auto* tampered = findByTag<QPushButton>(panel, ViewGPM::kGroupButtonTagBase + 1);
    ASSERT_TRUE(tampered);
    EXPECT_EQ(tampered->text(), QString(kDisplayNameMaxCharacters, 'T') + kEllipsis);
    EXPECT_LE(tampered->width(), panel->allWidth());

    tapGroup(panel, 0);
    LogCapture log;
    ViewConnectedDevices* picker = panel->openDevicePicker();
    ASSERT_TRUE(picker);
    QStringList pickerRows;
    for (int row = 0; row < picker->tableView()->count(); ++row) {
        pickerRows << picker->tableView()->item(row)->text();
        ASSERT_TRUE(clickListRow(picker->tableView(), row));
    }
    const QStringList shown = {"evil", kBad + "[31mred", QString(kDisplayNameMaxCharacters, 'W') + kEllipsis};
    EXPECT_EQ(pickerRows, shown);
    click(picker->sureButton());
    processEvents();

    EXPECT_EQ(memberRows(panel), shown);
    const json members = deviceInGroup()[0];
    for (VirtualLight* light : lights)
        EXPECT_EQ(members.value(light->identifier(), ""), light->name());
    expectCleanLog(log);
}

}  // namespace
}  // namespace lightdeck::testing
