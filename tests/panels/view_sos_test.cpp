// ViewSOS against virtual lights: one SOS frame per tap anywhere on the page.

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "panels/panel_test_fixture.h"
#include "panels/view_sos.h"
#include "support/ui_test_support.h"

namespace lightdeck {
namespace {

using Frames = std::vector<std::string>;
using testing::framesOf;
using testing::waitForLights;

const QSize kPageSize(390, 600);

class ViewSOSTest : public testing::PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        light = &addLight();
        panel = std::make_unique<ViewSOS>(QRect(QPoint(0, 0), kPageSize));
        ASSERT_TRUE(testing::showWindow(panel.get(), kPageSize));
    }

    void TearDown() override
    {
        panel.reset();
        PanelTest::TearDown();
    }

    VirtualLight* light = nullptr;
    std::unique_ptr<ViewSOS> panel;
};

TEST_F(ViewSOSTest, EachTapAnywhereOnThePageSendsOneSosFrame)
{
    QLabel* lettering = panel->labelSOS();
    ASSERT_TRUE(lettering);
    EXPECT_EQ(lettering->geometry(), panel->rect());

    testing::click(lettering);
    waitForLights();
    EXPECT_EQ(framesOf(*light), Frames{"AA 06 00 00 00 00 BB"});

    // Corners of the page count as much as the letters.
    for (QPoint corner : {QPoint(2, 2), QPoint(kPageSize.width() - 3, kPageSize.height() - 3)})
        testing::click(lettering, corner);
    waitForLights();
    EXPECT_EQ(framesOf(*light).size(), 3u);
}

TEST_F(ViewSOSTest, TwoQuickTapsSendTwoFrames)
{
    // The second of two quick clicks comes as press and double-click (the
    // window system's order) or as a double-click alone; either is one tap.
    QLabel* lettering = panel->labelSOS();
    const QPoint centre = testing::centreOf(lettering);
    for (bool withSecondPress : {true, false}) {
        light->clearWrites();
        QTest::mousePress(lettering, Qt::LeftButton, {}, centre);
        QTest::mouseRelease(lettering, Qt::LeftButton, {}, centre);
        if (withSecondPress)
            QTest::mousePress(lettering, Qt::LeftButton, {}, centre);
        QTest::mouseDClick(lettering, Qt::LeftButton, {}, centre);
        QTest::mouseRelease(lettering, Qt::LeftButton, {}, centre);
        waitForLights();
        EXPECT_EQ(framesOf(*light), (Frames{"AA 06 00 00 00 00 BB", "AA 06 00 00 00 00 BB"}))
            << (withSecondPress ? "press + double-click" : "double-click alone");
    }
}

TEST_F(ViewSOSTest, PressDraggedOffThePageIsNoTap)
{
    QLabel* lettering = panel->labelSOS();
    testing::press(lettering, testing::centreOf(lettering));
    testing::release(lettering, QPoint(kPageSize.width() + 40, 10));
    waitForLights();
    EXPECT_TRUE(light->writes().empty());
}

TEST_F(ViewSOSTest, ShowsLargeWhiteLettering)
{
    QLabel* lettering = panel->labelSOS();
    EXPECT_EQ(lettering->text(), "SOS");
    EXPECT_EQ(lettering->font().pixelSize(), 150);
    const QImage pixels = testing::grabImage(panel.get());
    int white = 0;
    for (int x = 0; x < pixels.width(); ++x)
        white += pixels.pixelColor(x, pixels.height() / 2) == QColor(Qt::white);
    EXPECT_GT(white, 30);  // the letters' strokes across the middle row
    waitForLights();
    EXPECT_TRUE(light->writes().empty());  // showing sends nothing
}

}  // namespace
}  // namespace lightdeck
