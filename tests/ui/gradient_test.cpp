// Gradient backgrounds: direction, rounded corners, following the parent,
// and staying out of the way of clicks.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPushButton>

#include "support/ui_test_support.h"
#include "ui/gradient_background.h"
#include "ui/gradient_painting.h"

namespace lightdeck {
namespace {

TEST(GradientTest, EvenStopsSpreadInOrder)
{
    const auto stops = evenGradientStops({Qt::red, Qt::green, Qt::blue});
    ASSERT_EQ(stops.size(), 3);
    EXPECT_EQ(stops[1].first, 0.5);
    EXPECT_EQ(stops[2].second, QColor(Qt::blue));
    EXPECT_EQ(evenGradientStops({Qt::red}).size(), 2);  // one colour: a solid fill
    EXPECT_TRUE(evenGradientStops({}).isEmpty());
}

TEST(GradientTest, PaintsTopToBottomByDefaultAndLeftToRightWhenAsked)
{
    QImage image(100, 100, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintLinearGradient(painter, QRectF(0, 0, 100, 100), evenGradientStops({Qt::black, Qt::white}));
    painter.end();
    EXPECT_LT(image.pixelColor(50, 2).lightness(), 20);
    EXPECT_GT(image.pixelColor(50, 97).lightness(), 235);
    EXPECT_EQ(image.pixelColor(2, 50), image.pixelColor(97, 50));

    image.fill(Qt::transparent);
    QPainter across(&image);
    paintLinearGradient(across, QRectF(0, 0, 100, 100), evenGradientStops({Qt::black, Qt::white}),
                        QPointF(0, 1), QPointF(1, 1), 15);
    across.end();
    EXPECT_LT(image.pixelColor(5, 50).lightness(), 20);
    EXPECT_GT(image.pixelColor(95, 50).lightness(), 235);
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);  // rounded corner left clear
}

TEST(GradientTest, BackgroundFillsItsParentAndLetsClicksThrough)
{
    QWidget screen;
    auto* button = new QPushButton("back", &screen);
    button->setGeometry(10, 10, 80, 30);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, &screen, [&] { ++clicks; });
    auto* background = new GradientBackground(&screen);
    background->setStops(evenGradientStops({QColor(0, 0, 0, 128), QColor(0, 0, 0, 204)}));
    background->setFillsParent(true);
    ASSERT_TRUE(lightdeck::testing::showWindow(&screen, QSize(390, 844)));
    EXPECT_EQ(background->geometry(), screen.rect());
    // Beneath the content: the button still takes the click.
    EXPECT_EQ(screen.childAt(20, 20), button);
    screen.resize(300, 500);
    EXPECT_EQ(background->geometry(), QRect(0, 0, 300, 500));
}

}  // namespace
}  // namespace lightdeck
