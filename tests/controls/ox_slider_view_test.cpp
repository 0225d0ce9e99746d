// OxSliderView through real mouse and touch events: what the delegate hears
// and in which order, where the thumb goes, and how the bars look.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPointer>
#include <QStyleHints>
#include <QTest>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "controls/ox_slider_bar.h"
#include "controls/ox_slider_view.h"
#include "controls/ox_slider_view_delegate.h"
#include "support/ui_test_support.h"

namespace lightdeck {
namespace {

using lightdeck::testing::drag;
using lightdeck::testing::grabImage;
using lightdeck::testing::moveTo;
using lightdeck::testing::press;
using lightdeck::testing::release;

// Records "V<value>" for every value change and "S" for every stop.
class Recorder : public QObject, public OxSliderViewDelegate {
public:
    void sliderViewValueChanged(OxSliderView* slider) override
    {
        events.push_back("V");
        values.push_back(slider->value());
    }
    void sliderViewStopSlip(OxSliderView*) override { events.push_back("S"); }

    int count(const std::string& kind) const
    {
        return static_cast<int>(std::count(events.begin(), events.end(), kind));
    }
    std::vector<std::string> events;
    std::vector<double> values;
};

// A delegate that only wants the stop (the other event is optional).
class StopOnly : public OxSliderViewDelegate {
public:
    void sliderViewStopSlip(OxSliderView*) override { ++stops; }
    int stops = 0;
};

class OxSliderViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        window->setStyleSheet("background: rgb(10, 200, 10);");
        window->setAutoFillBackground(true);
        slider = new OxSliderView(QRect(30, 100, 330, 22), window.get());
        slider->setDelegate(&recorder);
        ASSERT_TRUE(lightdeck::testing::showWindow(window.get(), QSize(390, 844)));
    }

    int threshold() const { return QGuiApplication::styleHints()->startDragDistance(); }
    int y() const { return slider->height() / 2; }

    std::unique_ptr<QWidget> window;
    OxSliderView* slider = nullptr;
    Recorder recorder;
};

TEST_F(OxSliderViewTest, NewSliderSitsAtTheLeftEndAndSendsNothing)
{
    EXPECT_EQ(slider->value(), 0.0);
    EXPECT_EQ(slider->thumbCentre(), QPointF(15, 11));
    EXPECT_FLOAT_EQ(slider->sliderInstance(), 300.0f);
    EXPECT_EQ(slider->slider()->size(), QSize(30, 30));
    EXPECT_EQ(slider->defaultSliderBarView()->geometry(), QRect(0, 0, 330, 22));
    EXPECT_EQ(slider->changeSliderBarView()->geometry(), slider->defaultSliderBarView()->geometry());
    EXPECT_EQ(slider->changeSliderBarColor(), QColor(153, 153, 153));
    EXPECT_EQ(slider->defaultSliderBarColor(), QColor(0, 0, 255));
    EXPECT_EQ(slider->defaultSliderBarColors(),
              (QList<QColor>{QColor(255, 140, 45), QColor(255, 90, 70)}));
    EXPECT_TRUE(recorder.events.empty());
}

TEST_F(OxSliderViewTest, DragReportsEveryMoveThenTheStopLast)
{
    drag(slider, QPoint(20, y()), QPoint(300, y()), 8);
    ASSERT_FALSE(recorder.events.empty());
    // 8 moves beyond the threshold and the release each give one change; the
    // stop comes once, after the release's change.
    EXPECT_EQ(recorder.count("V"), 9);
    EXPECT_EQ(recorder.count("S"), 1);
    EXPECT_EQ(recorder.events.back(), "S");
    EXPECT_EQ(recorder.events[recorder.events.size() - 2], "V");
    EXPECT_DOUBLE_EQ(slider->value(), (300.0 - 15.0) / 300.0);
    EXPECT_EQ(slider->thumbCentre().x(), 300.0);
    EXPECT_FLOAT_EQ(slider->pointX(), 300.0f);
    // Values followed the finger.
    for (size_t i = 1; i < recorder.values.size(); ++i)
        EXPECT_GE(recorder.values[i], recorder.values[i - 1]);
}

TEST_F(OxSliderViewTest, DragStartingAnywhereMakesTheThumbJump)
{
    drag(slider, QPoint(200, y()), QPoint(200 + threshold() + 2, y()), 1);
    EXPECT_EQ(slider->thumbCentre().x(), 200 + threshold() + 2);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"V", "V", "S"}));
}

TEST_F(OxSliderViewTest, TapIsNotADrag)
{
    lightdeck::testing::click(slider, QPoint(250, y()));
    // A press that wobbles less than the drag distance is still a tap.
    press(slider, QPoint(100, y()));
    moveTo(slider, QPoint(100 + threshold() - 1, y()));
    release(slider, QPoint(100 + threshold() - 1, y()));
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_EQ(slider->value(), 0.0);
    EXPECT_EQ(slider->thumbCentre().x(), 15.0);
}

TEST_F(OxSliderViewTest, EndsAreExactlyZeroAndOne)
{
    drag(slider, QPoint(150, y()), QPoint(5, y()));
    EXPECT_EQ(slider->value(), 0.0);
    EXPECT_EQ(slider->thumbCentre().x(), 15.0);
    drag(slider, QPoint(150, y()), QPoint(325, y()));
    EXPECT_EQ(slider->value(), 1.0);
    EXPECT_EQ(slider->thumbCentre().x(), 315.0);
}

TEST_F(OxSliderViewTest, FingerLeavingSidewaysKeepsTheThumb)
{
    press(slider, QPoint(100, y()));
    moveTo(slider, QPoint(200, y()));
    const double inRange = slider->value();
    const auto changesBefore = recorder.count("V");
    moveTo(slider, QPoint(400, y()));   // beyond the right edge
    moveTo(slider, QPoint(330, y()));   // on the edge: not inside either
    release(slider, QPoint(420, y()));
    EXPECT_EQ(slider->thumbCentre().x(), 200.0);
    EXPECT_EQ(slider->value(), inRange);
    // Still told on every move and at the release, with the unchanged value.
    EXPECT_EQ(recorder.count("V"), changesBefore + 3);
    EXPECT_EQ(recorder.events.back(), "S");
    EXPECT_EQ(recorder.values.back(), inRange);

    press(slider, QPoint(100, y()));
    moveTo(slider, QPoint(100, y() + 200));  // vertical position plays no part...
    moveTo(slider, QPoint(-20, y()));        // ...the horizontal one does
    release(slider, QPoint(-20, y()));
    EXPECT_EQ(slider->thumbCentre().x(), 100.0);
}

TEST_F(OxSliderViewTest, DegreesPlaceByShareOfTheWidth)
{
    drag(slider, QPoint(100, y()), QPoint(120, y()));
    recorder.events.clear();
    slider->setDegrees(90.0f);
    EXPECT_EQ(recorder.events, std::vector<std::string>{"V"});
    EXPECT_DOUBLE_EQ(slider->value(), 0.25);
    EXPECT_DOUBLE_EQ(slider->thumbCentre().x(), 330.0 / 4);
    EXPECT_FLOAT_EQ(slider->pointX(), 120.0f);  // only drags set it

    slider->setDegrees(180.0f);
    const QPointF byDegrees = slider->thumbCentre();
    slider->setDegrees(0.0f);
    EXPECT_EQ(slider->thumbCentre().x(), 0.0);  // half the thumb outside
    slider->setSliderInCenter(true);
    EXPECT_EQ(slider->thumbCentre(), byDegrees);
    EXPECT_EQ(slider->value(), 0.5);

    slider->setDegrees(720.0f);  // not clamped
    EXPECT_DOUBLE_EQ(slider->value(), 2.0);
    EXPECT_DOUBLE_EQ(slider->thumbCentre().x(), 660.0);
    EXPECT_EQ(recorder.count("S"), 0);
}

TEST_F(OxSliderViewTest, CentringNotifiesOnlyAnExistingDelegate)
{
    OxSliderView fresh(QRect(0, 0, 200, 30));
    fresh.setSliderInCenter(true);  // nobody to tell yet
    Recorder later;
    fresh.setDelegate(&later);
    EXPECT_TRUE(later.events.empty());
    EXPECT_EQ(fresh.value(), 0.5);
    EXPECT_EQ(fresh.thumbCentre(), QPointF(100, 15));

    fresh.setSliderInCenter(false);  // changes nothing, undoes nothing
    EXPECT_TRUE(later.events.empty());
    EXPECT_EQ(fresh.value(), 0.5);
    fresh.setSliderInCenter(true);
    EXPECT_EQ(later.values, std::vector<double>{0.5});
}

TEST_F(OxSliderViewTest, AssignedValueAndRangeOnlyStore)
{
    slider->setValue(0.8);
    slider->setMinValue(6500);
    slider->setMaxValue(3000);  // reversed: the control never reads them
    EXPECT_EQ(slider->value(), 0.8);
    EXPECT_EQ(slider->thumbCentre().x(), 15.0);
    EXPECT_TRUE(recorder.events.empty());
    drag(slider, QPoint(100, y()), QPoint(165, y()));
    EXPECT_DOUBLE_EQ(slider->value(), 0.5);
    EXPECT_EQ(slider->minValue(), 6500.0);
    EXPECT_EQ(slider->maxValue(), 3000.0);
}

TEST_F(OxSliderViewTest, DisabledSliderTakesNoDragsButObeysAssignments)
{
    const QImage before = grabImage(window.get());
    slider->setEnabled(false);
    QTest::qWait(20);
    // The disabled state alone does not change the look.
    EXPECT_EQ(grabImage(window.get()), before);

    drag(slider, QPoint(100, y()), QPoint(250, y()));
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_EQ(slider->thumbCentre().x(), 15.0);

    slider->setSliderInCenter(true);
    EXPECT_EQ(recorder.events, std::vector<std::string>{"V"});
    EXPECT_EQ(slider->value(), 0.5);
}

TEST_F(OxSliderViewTest, DisablingMidDragCancelsWithoutStop)
{
    press(slider, QPoint(100, y()));
    moveTo(slider, QPoint(150, y()));
    slider->setEnabled(false);
    release(slider, QPoint(200, y()));
    EXPECT_GE(recorder.count("V"), 2);  // began, then the cancel
    EXPECT_EQ(recorder.count("S"), 0);
    EXPECT_FALSE(slider->isDragging());
}

TEST_F(OxSliderViewTest, TouchDragReportsLikeTheMouse)
{
    lightdeck::testing::touchDrag(slider, QPoint(50, y()), QPoint(250, y()), 4);
    EXPECT_EQ(recorder.count("S"), 1);
    EXPECT_EQ(recorder.events.back(), "S");
    EXPECT_DOUBLE_EQ(slider->value(), (250.0 - 15.0) / 300.0);
}

TEST_F(OxSliderViewTest, CancelledTouchSendsNoStop)
{
    lightdeck::testing::touchDrag(slider, QPoint(50, y()), QPoint(250, y()), 4, /*cancel=*/true);
    EXPECT_GE(recorder.count("V"), 1);
    EXPECT_EQ(recorder.count("S"), 0);
    EXPECT_FALSE(slider->isDragging());
    // The next gesture works normally.
    drag(slider, QPoint(100, y()), QPoint(160, y()));
    EXPECT_EQ(recorder.count("S"), 1);
}

TEST_F(OxSliderViewTest, HidingMidDragCancelsWithoutStop)
{
    press(slider, QPoint(100, y()));
    moveTo(slider, QPoint(150, y()));
    slider->hide();
    release(slider, QPoint(200, y()));
    EXPECT_EQ(recorder.count("S"), 0);
}

TEST_F(OxSliderViewTest, DelegateIsHeldWeakly)
{
    auto* owner = new Recorder;
    slider->setDelegate(owner);
    delete owner;
    EXPECT_EQ(slider->delegate(), nullptr);
    drag(slider, QPoint(100, y()), QPoint(200, y()));  // must not reach the dead owner
    slider->setSliderInCenter(true);

    StopOnly stopOnly;  // a delegate that is not a QObject, with one event
    slider->setDelegate(&stopOnly);
    drag(slider, QPoint(100, y()), QPoint(200, y()));
    EXPECT_EQ(stopOnly.stops, 1);
    slider->setDelegate(nullptr);
}

TEST_F(OxSliderViewTest, NarrowSliderHasNoTravelAndStaysInRange)
{
    auto* narrow = new OxSliderView(QRect(10, 300, 24, 30), window.get());
    narrow->show();
    Recorder narrowRecorder;
    narrow->setDelegate(&narrowRecorder);
    drag(narrow, QPoint(2, 15), QPoint(22, 15), 4);
    drag(narrow, QPoint(22, 15), QPoint(1, 15), 4);
    ASSERT_FALSE(narrowRecorder.values.empty());
    for (double value : narrowRecorder.values) {
        EXPECT_FALSE(std::isnan(value));
        EXPECT_GE(value, 0.0);
        EXPECT_LE(value, 1.0);
    }
}

TEST_F(OxSliderViewTest, BarSizeZeroMeansTheControlsSize)
{
    slider->setDefaultSliderBarSize(QSizeF(0, 5));
    EXPECT_EQ(slider->defaultSliderBarSize(), QSizeF(330, 22));
    EXPECT_EQ(slider->defaultSliderBarView()->geometry(), QRect(0, 0, 330, 22));

    auto* hue = new OxSliderView(QRect(14, 400, 362, 30), window.get());
    hue->setDefaultSliderBarSize(QSizeF(362, 5));
    EXPECT_EQ(hue->defaultSliderBarView()->geometry(), QRectF(0, 12.5, 362, 5).toRect());
    EXPECT_EQ(hue->changeSliderBarView()->geometry(), hue->defaultSliderBarView()->geometry());
}

TEST_F(OxSliderViewTest, NewestGradientIsTheOneSeen)
{
    slider->setChangeSliderBarColor(Qt::transparent);
    slider->setDefaultSliderBarColors({Qt::yellow, Qt::white});
    slider->setDefaultSliderBarColors({QColor(128, 128, 128), QColor(128, 128, 128)});
    EXPECT_EQ(slider->defaultSliderBarColors().front(), QColor(128, 128, 128));
    QTest::qWait(20);
    const QImage track = grabImage(slider->defaultSliderBarView());
    EXPECT_EQ(track.pixelColor(5, 11), QColor(128, 128, 128));
    EXPECT_EQ(track.pixelColor(320, 11), QColor(128, 128, 128));
    // The hidden layer is not kept.
    EXPECT_EQ(static_cast<OxSliderBar*>(slider->defaultSliderBarView())->gradientLayerCount(), 1);

    // A default (no colours) assignment is the orange pair; the overlay tints.
    slider->setDefaultSliderBarColors({});
    slider->setChangeSliderBarColor(QColor());
    EXPECT_EQ(slider->changeSliderBarColor(), QColor(153, 153, 153));
    QTest::qWait(20);
    EXPECT_EQ(grabImage(slider->changeSliderBarView()).pixelColor(100, 11), QColor(153, 153, 153));
}

TEST_F(OxSliderViewTest, RoundedEndsClipTheTrack)
{
    slider->setChangeSliderBarColor(Qt::transparent);
    slider->setDefaultSliderBarColor(Qt::black);
    slider->setIsCornerRadius(true);
    EXPECT_TRUE(slider->isCornerRadius());
    slider->setIsCornerRadius(false);  // does nothing
    EXPECT_TRUE(slider->isCornerRadius());
    QTest::qWait(20);
    const QImage image = grabImage(window.get());
    // The window shows through the rounded corner; the middle is the track.
    EXPECT_EQ(image.pixelColor(30, 100), QColor(10, 200, 10));
    EXPECT_EQ(image.pixelColor(200, 111), QColor(Qt::black));
}

TEST_F(OxSliderViewTest, ThumbStandsOutOfALowControl)
{
    slider->setDegrees(180.0f);  // thumb centre (165, 11): rows -4..25 of the control
    QTest::qWait(20);
    const QImage image = grabImage(window.get());
    // Just above the control, on the thumb's vertical axis: the white disc
    // (inside its ring), not the window.
    const QColor above = image.pixelColor(30 + 165, 100 - 1);
    EXPECT_EQ(above, QColor(Qt::white));
    // The thumb is stacked right above its control and moves with it.
    slider->move(30, 200);
    EXPECT_EQ(slider->slider()->geometry().center().y(), 200 + 11 - 1);
    delete slider;
    slider = nullptr;
    QTest::qWait(20);
    EXPECT_EQ(grabImage(window.get()).pixelColor(30 + 165, 200), QColor(10, 200, 10));
}

TEST_F(OxSliderViewTest, SizeSetAfterConstructionCountsAtOnce)
{
    // Placed by its owner after construction, configured before it is shown.
    auto* late = new OxSliderView(QRect(), window.get());
    late->setGeometry(14, 500, 362, 30);
    late->setSliderInCenter(true);
    EXPECT_FLOAT_EQ(late->sliderInstance(), 332.0f);
    late->show();
    QTest::qWait(10);
    EXPECT_EQ(late->thumbCentre(), QPointF(181, 15));
    EXPECT_EQ(late->defaultSliderBarView()->geometry(), QRect(0, 0, 362, 30));
    Recorder lateRecorder;
    late->setDelegate(&lateRecorder);
    drag(late, QPoint(100, 15), QPoint(360, 15));
    EXPECT_EQ(late->value(), 1.0);
}

TEST_F(OxSliderViewTest, RingIsBlue)
{
    QTest::qWait(20);
    const QImage thumb = grabImage(slider->slider());
    EXPECT_EQ(thumb.pixelColor(15, 1), QColor(43, 135, 255));
    EXPECT_EQ(thumb.pixelColor(15, 15), QColor(Qt::white));
}

}  // namespace
}  // namespace lightdeck
