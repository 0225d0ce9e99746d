// Renaming a light from the scan screen: rename mode, the alert, the 20-unit
// cut of the text field, the message the light receives, and the list after
// the manager's follow-up.

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "app/app_delegate.h"
#include "bluetooth/ox_blue_tooth.h"
#include "devices/cell_device.h"
#include "devices/devices_controller.h"
#include "support/simulated_app_fixture.h"
#include "support/ui_test_support.h"
#include "ui/alert_controller.h"
#include "ui/navigation_controller.h"

namespace lightdeck {
namespace {

using testing::click;
using testing::waitUntil;

class RenameScreenTest : public testing::SimulatedAppTest {
protected:
    // Launches, connects the light through its row and opens the rename
    // alert on it.
    AlertController* openRenameAlert(VirtualLight& light)
    {
        launchApp();
        if (!waitUntil([&] {
                waitCentralIdle();
                return rowOf(light) >= 0;
            }))
            return nullptr;
        click(devices().cellAt(rowOf(light))->buttonConnect());
        if (!waitUntil([&] {
                waitCentralIdle();
                CellDevice* cell = devices().cellAt(rowOf(light));
                return light.isConnected() && cell && cell->buttonConnect()->text().startsWith(QStringLiteral("已连接"));
            }))
            return nullptr;
        click(devices().editButton());
        CellDevice* cell = devices().cellAt(rowOf(light));
        QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(60, cell->height() / 2));
        const auto alerts = AlertController::openAlerts();
        return alerts.isEmpty() ? nullptr : alerts.constLast();
    }

    static void confirm(AlertController* alert) { click(alert->buttonForAction(QStringLiteral("确定"))); }

    static Bytes renameBytes(const std::string& name)
    {
        Bytes bytes{0xAA, 0x00};
        bytes.insert(bytes.end(), name.begin(), name.end());
        return bytes;
    }
};

TEST_F(RenameScreenTest, RenamedLightTakesTheNameAndTheListShowsIt)
{
    VirtualLight& light = addLight("Key Light");
    AlertController* alert = openRenameAlert(light);
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), QStringLiteral("修改名称"));
    EXPECT_EQ(alert->message(), QString());
    ASSERT_NE(alert->textField(), nullptr);
    EXPECT_EQ(alert->textField()->text(), QString());
    ASSERT_EQ(alert->actionButtons().size(), 2);
    EXPECT_EQ(alert->actionButtons().at(0)->text(), QStringLiteral("取消"));
    EXPECT_EQ(alert->actionButtons().at(1)->text(), QStringLiteral("确定"));
    // Rename mode: the tap put the light under control and opened no screen.
    ASSERT_EQ(OxBlueTooth::sharedInstance().controlDict().size(), 1u);
    EXPECT_EQ(navigation().count(), 1);

    light.clearWrites();
    // Chinese comes through the input method, the rest from the keyboard.
    QInputMethodEvent typed;
    typed.setCommitString(QStringLiteral("摄影"));
    QApplication::sendEvent(alert->textField(), &typed);
    QTest::keyClicks(alert->textField(), QStringLiteral(" Key"));
    confirm(alert);

    const std::string name = "摄影 Key";
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return light.lastFrame() == renameBytes(name);
    }));
    EXPECT_EQ(light.writes().size(), 1u);
    EXPECT_EQ(light.name(), name);
    // After the settle delay the manager rescans and the list reloads.
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        const int row = rowOf(light);
        return row >= 0 && devices().cellAt(row)->labelName()->text() == QString::fromStdString(name);
    }));
}

TEST_F(RenameScreenTest, EmptyNameWritesTheTwoHeaderBytesAndCancelWritesNothing)
{
    VirtualLight& light = addLight("Unnamed soon");
    AlertController* alert = openRenameAlert(light);
    ASSERT_NE(alert, nullptr);
    light.clearWrites();
    click(alert->buttonForAction(QStringLiteral("取消")));
    waitCentralIdle();
    EXPECT_TRUE(light.writes().empty());

    CellDevice* cell = devices().cellAt(rowOf(light));
    QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(60, cell->height() / 2));
    ASSERT_FALSE(AlertController::openAlerts().isEmpty());
    confirm(AlertController::openAlerts().constLast());
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return light.lastFrame() == (Bytes{0xAA, 0x00});
    }));
}

TEST_F(RenameScreenTest, PastedTextIsCutToTwentyUnits)
{
    VirtualLight& light = addLight("Paste target");
    AlertController* alert = openRenameAlert(light);
    ASSERT_NE(alert, nullptr);
    QLineEdit* field = alert->textField();
    const QString pasted = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXY");  // 25 characters
    QApplication::clipboard()->setText(pasted);
    field->setFocus();
    field->paste();
    EXPECT_EQ(field->text(), pasted.left(20));

    // Typing on at the limit changes nothing.
    QTest::keyClicks(field, QStringLiteral("Z"));
    EXPECT_EQ(field->text().size(), 20);

    light.clearWrites();
    confirm(alert);
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return light.lastFrame() == renameBytes("ABCDEFGHIJKLMNOPQRST");
    }));
}

// Mended: cutting at 20 UTF-16 units must not keep half of a character that
// needs two (a surrogate pair): the light would get bytes that are not UTF-8.
TEST_F(RenameScreenTest, CutNeverSplitsACharacterOfTwoUnits)
{
    VirtualLight& light = addLight("Emoji target");
    AlertController* alert = openRenameAlert(light);
    ASSERT_NE(alert, nullptr);
    QLineEdit* field = alert->textField();
    // 19 letters, then a two-unit emoji that straddles the limit.
    const QString text = QStringLiteral("abcdefghijklmnopqrs") + QString::fromUtf8("😀") + QStringLiteral("tuv");
    field->setText(text);
    EXPECT_EQ(field->text(), QStringLiteral("abcdefghijklmnopqrs"));

    light.clearWrites();
    confirm(alert);
    ASSERT_TRUE(waitUntil([&] {
        waitCentralIdle();
        return light.lastFrame() == renameBytes("abcdefghijklmnopqrs");
    }));
}

TEST(LimitedNameTest, CutsAtTwentyUnitsKeepingPairsWhole)
{
    const QString emoji = QString::fromUtf8("😀");  // two UTF-16 units
    struct Case {
        QString text;
        QString expected;
    };
    const Case cases[] = {
        {QString(), QString()},
        {QString(20, QChar('a')), QString(20, QChar('a'))},
        {QString(21, QChar('a')), QString(20, QChar('a'))},
        {QString(25, QChar(0x5149)), QString(20, QChar(0x5149))},       // 光 x 25
        {QString(19, 'a') + emoji, QString(19, 'a')},                     // pair at units 19-20
        {QString(18, 'a') + emoji + "b", QString(18, 'a') + emoji},      // pair ends at 20
        {emoji.repeated(11), emoji.repeated(10)},                         // 22 units
        {QString(19, 'a') + emoji + emoji, QString(19, 'a')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const QString cut = DevicesController::limitedName(c.text);
        EXPECT_EQ(cut, c.expected);
        EXPECT_LE(cut.size(), 20);
        // Valid UTF-16 throughout: the UTF-8 round trip keeps every unit.
        EXPECT_EQ(QString::fromUtf8(cut.toUtf8()), cut);
    }
}

}  // namespace
}  // namespace lightdeck
