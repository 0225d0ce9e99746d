// AlertController: buttons carry exactly the action titles, the alert closes
// before its handler runs, the edit callback can cut the text, and every
// text is plain text.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <vector>

#include "support/ui_test_support.h"
#include "ui/alert_controller.h"
#include "ui/application_window.h"

namespace lightdeck {
namespace {

using lightdeck::testing::processEvents;

class AlertControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        ASSERT_TRUE(lightdeck::testing::showWindow(window.get(), QSize(390, 844)));
    }
    void TearDown() override
    {
        for (AlertController* alert : AlertController::openAlerts())
            delete alert;
        processEvents();
    }

    // The rename alert as the device list builds it.
    AlertController* renameAlert(QString* confirmed)
    {
        auto* alert = new AlertController("修改名称", "", window.get());
        alert->addTextField([](QLineEdit* field) {
            if (field->text().size() >= 21)
                field->setText(field->text().left(20));
        });
        alert->addAction("取消", AlertController::ActionStyle::Cancel);
        alert->addAction("确定", AlertController::ActionStyle::Default,
                         [alert, confirmed] { *confirmed = alert->textField()->text(); });
        alert->present();
        return alert;
    }

    std::unique_ptr<QWidget> window;
};

TEST_F(AlertControllerTest, PresentsWindowModalWithoutBlocking)
{
    QString confirmed;
    AlertController* alert = renameAlert(&confirmed);
    // present() has returned while the alert is open.
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
    EXPECT_EQ(alert->parentWidget(), window.get());
    EXPECT_EQ(AlertController::openAlerts(), QList<AlertController*>{alert});
    QStringList texts;
    for (QPushButton* button : alert->actionButtons())
        texts << button->text();
    EXPECT_EQ(texts, (QStringList{"取消", "确定"}));
}

TEST_F(AlertControllerTest, ConfirmClosesThenRunsTheHandlerWithTheText)
{
    QString confirmed = "unset";
    QPointer<AlertController> alert = renameAlert(&confirmed);
    QTest::keyClicks(alert->textField(), "abc");
    QTest::mouseClick(alert->buttonForAction("确定"), Qt::LeftButton);
    EXPECT_EQ(confirmed, "abc");
    EXPECT_FALSE(alert->isVisible());
    EXPECT_TRUE(AlertController::openAlerts().isEmpty());
    processEvents();
    EXPECT_TRUE(alert.isNull());

    QPointer<AlertController> second = renameAlert(&confirmed);
    bool visibleInHandler = true;
    second->addAction("check", AlertController::ActionStyle::Default,
                      [&] { visibleInHandler = second->isVisible(); });
    second->triggerAction("check");
    EXPECT_FALSE(visibleInHandler);  // closed before the handler ran
    EXPECT_FALSE(second->triggerAction("确定"));  // already dismissed
}

TEST_F(AlertControllerTest, EditCallbackCutsTypedAndPastedText)
{
    QString confirmed;
    AlertController* alert = renameAlert(&confirmed);
    QTest::keyClicks(alert->textField(), QString(25, QChar('x')));
    EXPECT_EQ(alert->textField()->text().size(), 20);

    alert->textField()->clear();
    alert->textField()->insert(QString("灯").repeated(25));  // as a paste does
    EXPECT_EQ(alert->textField()->text(), QString("灯").repeated(20));
    alert->triggerAction("确定");
    EXPECT_EQ(confirmed, QString("灯").repeated(20));
}

TEST_F(AlertControllerTest, CancelAndEscapeRunTheCancelAction)
{
    int cancels = 0;
    int confirms = 0;
    auto make = [&] {
        auto* alert = new AlertController("", "确定删除该组合吗", window.get());
        alert->addAction("取消", AlertController::ActionStyle::Cancel, [&] { ++cancels; });
        alert->addAction("确定", AlertController::ActionStyle::Default, [&] { ++confirms; });
        alert->present();
        return alert;
    };
    AlertController* alert = make();
    QTest::mouseClick(alert->buttonForAction("取消"), Qt::LeftButton);
    alert = make();
    QTest::keyClick(alert, Qt::Key_Escape);
    alert = make();
    alert->close();  // the window's close button
    EXPECT_EQ(cancels, 3);
    EXPECT_EQ(confirms, 0);
    alert = make();
    QTest::keyClick(alert, Qt::Key_Return);
    EXPECT_EQ(confirms, 1);
}

TEST_F(AlertControllerTest, TextsArePlain)
{
    const QString name = "<img src=x><b>Light</b>";
    auto* alert = new AlertController(name, name, window.get());
    alert->present();
    const auto labels = alert->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 2);
    for (QLabel* label : labels) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(label->text(), name);
    }
    // An empty title or message shows no label.
    auto* untitled = new AlertController("", "是否删除", window.get());
    untitled->present();
    int shown = 0;
    for (QLabel* label : untitled->findChildren<QLabel*>())
        shown += label->isVisible() ? 1 : 0;
    EXPECT_EQ(shown, 1);
}

TEST_F(AlertControllerTest, HandlerMayPresentTheNextAlert)
{
    auto* first = new AlertController("修改组名", "", window.get());
    AlertController* second = nullptr;
    first->addAction("确定", AlertController::ActionStyle::Default, [&] {
        second = new AlertController("", "是否删除", window.get());
        second->addAction("取消", AlertController::ActionStyle::Cancel);
        second->present();
    });
    first->present();
    first->triggerAction("确定");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(AlertController::openAlerts(), QList<AlertController*>{second});
    EXPECT_TRUE(second->isVisible());
}

TEST_F(AlertControllerTest, NoParentMeansTheApplicationWindow)
{
    setApplicationWindow(window.get());
    auto* alert = new AlertController("提示", "是否删除");
    EXPECT_EQ(alert->parentWidget(), window.get());
    setApplicationWindow(nullptr);
    delete alert;
}

}  // namespace
}  // namespace lightdeck
