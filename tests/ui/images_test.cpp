// imageNamed: resources rendered at the asked size; a missing image shows a
// placeholder and is logged once.
#include <gtest/gtest.h>

#include <QImage>

#include "support/log_capture.h"
#include "ui/images.h"

namespace lightdeck {
namespace {

TEST(ImagesTest, RendersAnSvgAtTheAskedSize)
{
    ASSERT_TRUE(hasImage("lightdeck_test_square"));
    const QPixmap pixmap = imageNamed("lightdeck_test_square", QSize(20, 20));
    EXPECT_EQ(pixmap.deviceIndependentSize(), QSizeF(20, 20));
    EXPECT_EQ(pixmap.toImage().pixelColor(pixmap.width() / 2, pixmap.height() / 2), QColor(255, 0, 0));
    EXPECT_EQ(imageNamed("lightdeck_test_square").deviceIndependentSize(), QSizeF(10, 10));
}

TEST(ImagesTest, MissingImageIsAVisiblePlaceholderLoggedOnce)
{
    lightdeck::testing::LogCapture log;
    // A fresh name each run: the warning is once per name and process.
    static int run = 0;
    const QString name = QString("no_such_image_%1").arg(++run);
    EXPECT_FALSE(hasImage(name));
    const QPixmap first = imageNamed(name, QSize(30, 20));
    const QPixmap again = imageNamed(name, QSize(30, 20));
    EXPECT_EQ(first.deviceIndependentSize(), QSizeF(30, 20));
    EXPECT_EQ(first.toImage().pixelColor(3, 10), QColor(255, 0, 255));
    EXPECT_EQ(log.count(name.toStdString()), 1u);
    EXPECT_FALSE(imageNamed("", QSize(8, 8)).isNull());
}

}  // namespace
}  // namespace lightdeck
