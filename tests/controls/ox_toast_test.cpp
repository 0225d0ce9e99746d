// OxToast: where the box goes for short, long and empty texts, and its life
// in the application window from appearing to removal.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPointer>
#include <QTest>

#include <memory>

#include "controls/ox_toast.h"
#include "support/log_capture.h"
#include "support/ui_test_support.h"
#include "ui/application_window.h"

namespace lightdeck {
namespace {

using lightdeck::testing::waitUntil;

const QSize kScreen(390, 844);

QList<OxToast*> toastsIn(QWidget* window)
{
    return window->findChildren<OxToast*>(Qt::FindDirectChildrenOnly);
}

TEST(OxToastGeometryTest, ShortTextGivesACentredBoxOfItsWidth)
{
    const QString text = "退出编辑模式";
    const QSize measured = OxToast::measureText(text, kScreen);
    const QFontMetrics metrics(OxToast::toastFont());
    EXPECT_NEAR(measured.width(), metrics.horizontalAdvance(text), 1);
    EXPECT_GT(measured.height(), 0);

    const QRect box = OxToast::boxFrame(text, kScreen);
    EXPECT_EQ(box.width(), measured.width() + 10);
    EXPECT_EQ(box.height(), 40);
    EXPECT_EQ(box.y(), 844 - 100);
    EXPECT_NEAR(box.center().x() + 0.5, 195.0, 1.0);  // centred on the screen

    const QRect label = OxToast::labelFrame(text, kScreen);
    EXPECT_EQ(label.x(), 5);
    EXPECT_EQ(label.size(), measured);
    EXPECT_NEAR(label.y() + label.height() / 2.0, 20.0, 1.0);
}

TEST(OxToastGeometryTest, LongTextWrapsWithinTheScreenAndKeepsTheBoxHeight)
{
    const QString text = QString("连接设备后才可进行控制或编辑操作").repeated(3);
    const QSize measured = OxToast::measureText(text, kScreen);
    EXPECT_LE(measured.width(), 390 - 40);
    EXPECT_GT(measured.height(), QFontMetrics(OxToast::toastFont()).height());  // several lines
    const QRect box = OxToast::boxFrame(text, kScreen);
    EXPECT_EQ(box.height(), 40);
    EXPECT_EQ(box.y(), 744);
    EXPECT_LE(box.width(), 360);
    EXPECT_GE(box.x(), 15);
    // The label stays centred on the box even when taller than it.
    const QRect label = OxToast::labelFrame(text, kScreen);
    EXPECT_NEAR(label.y() + label.height() / 2.0, 20.0, 1.0);

    // One unbroken word longer than a line is broken inside, not overflowing.
    const QString word(200, QChar('W'));
    EXPECT_LE(OxToast::measureText(word, kScreen).width(), 350);
}

TEST(OxToastGeometryTest, EmptyTextGivesATenPixelBox)
{
    const QRect box = OxToast::boxFrame("", kScreen);
    EXPECT_EQ(box.width(), 10);
    EXPECT_EQ(box.height(), 40);
    EXPECT_EQ(box.x(), 190);
    EXPECT_EQ(box.y(), 744);
}

class OxToastTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        new QWidget(window.get());  // some screen content underneath
        ASSERT_TRUE(lightdeck::testing::showWindow(window.get(), kScreen));
        setApplicationWindow(window.get());
    }
    void TearDown() override { setApplicationWindow(nullptr); }

    std::unique_ptr<QWidget> window;
};

TEST_F(OxToastTest, AppearsThenFadesAndIsRemoved)
{
    OxToast::showToastWithMessage("请选择添加设备的组");
    // Built at once but not on screen until the first animation has run.
    ASSERT_EQ(toastsIn(window.get()).size(), 1);
    QPointer<OxToast> toast = toastsIn(window.get()).front();
    EXPECT_FALSE(toast->isVisible());

    ASSERT_TRUE(waitUntil([&] { return toast && toast->isVisible(); }));
    EXPECT_EQ(toast->geometry(), OxToast::boxFrame("请选择添加设备的组", kScreen));
    EXPECT_EQ(toast->label()->text(), "请选择添加设备的组");
    // Above everything else in the window.
    EXPECT_EQ(window->children().back(), toast.data());
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(toast->graphicsEffect());
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->opacity(), 1.0);

    // Shown at full opacity, then fading, then gone.
    ASSERT_TRUE(waitUntil([&] { return !toast || effect->opacity() < 1.0; }));
    ASSERT_TRUE(waitUntil([&] { return toast.isNull(); }));
    EXPECT_TRUE(toastsIn(window.get()).isEmpty());
}

TEST_F(OxToastTest, SecondToastStacksOnTheFirst)
{
    OxToast::showToastWithMessage("first");
    OxToast::showToastWithMessage("a second, longer message");
    const auto toasts = toastsIn(window.get());
    ASSERT_EQ(toasts.size(), 2);
    QPointer<OxToast> first = toasts[0];
    QPointer<OxToast> second = toasts[1];
    ASSERT_TRUE(waitUntil([&] { return first && second && first->isVisible() && second->isVisible(); }));
    // Same place, the later one on top.
    EXPECT_EQ(first->y(), second->y());
    EXPECT_LT(window->children().indexOf(first.data()), window->children().indexOf(second.data()));
    ASSERT_TRUE(waitUntil([&] { return first.isNull() && second.isNull(); }));
}

TEST_F(OxToastTest, TextIsPlain)
{
    const QString markup = "<b>Light</b> &amp; <i>A</i>";
    OxToast::showToastWithMessage(markup);
    const auto toasts = toastsIn(window.get());
    ASSERT_EQ(toasts.size(), 1);
    EXPECT_EQ(toasts.front()->label()->textFormat(), Qt::PlainText);
    EXPECT_EQ(toasts.front()->label()->text(), markup);
    EXPECT_EQ(toasts.front()->label()->palette().color(QPalette::WindowText), QColor(Qt::white));
}

TEST_F(OxToastTest, ToastDoesNotTakeClicks)
{
    OxToast::showToastWithMessage("hint");
    QPointer<OxToast> toast = toastsIn(window.get()).front();
    ASSERT_TRUE(waitUntil([&] { return toast && toast->isVisible(); }));
    EXPECT_NE(window->childAt(toast->geometry().center()), toast.data());
}

TEST_F(OxToastTest, ClosingTheWindowTakesPendingToastsAlong)
{
    OxToast::showToastWithMessage("pending");
    window.reset();
    QTest::qWait(600);  // the first animation's time has passed: nothing left to run
    EXPECT_EQ(applicationWindow(), nullptr);
}

TEST(OxToastWithoutWindowTest, ShowsNothing)
{
    lightdeck::testing::LogCapture log;
    setApplicationWindow(nullptr);
    OxToast::showToastWithMessage("nowhere");
    for (QWidget* widget : QApplication::allWidgets())
        EXPECT_EQ(qobject_cast<OxToast*>(widget), nullptr);
}

}  // namespace
}  // namespace lightdeck
