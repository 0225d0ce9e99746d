// The slider and the toast through mouse and touch events: whether a slider
// gesture ends with the stop that makes a panel send, slider values inside
// 0..1, and the toast's life in the application window.
#include <gtest/gtest.h>

#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QStyleHints>

#include <functional>
#include <string>

#include "controls/ox_slider_view.h"
#include "controls/ox_slider_view_delegate.h"
#include "controls/ox_toast.h"
#include "support/ui_test_support.h"
#include "ui/application_window.h"

namespace lightdeck::testing {
namespace {

// "V" for a value change, "S" for the stop.
class Recorder : public QObject, public OxSliderViewDelegate {
public:
    void sliderViewValueChanged(OxSliderView* slider) override { events += "V", values.push_back(slider->value()); }
    void sliderViewStopSlip(OxSliderView*) override { events += "S"; }
    std::string events;
    std::vector<double> values;
};

QPoint at(int x) { return {x, 11}; }

TEST(OxSliderViewTest, OnlyADragThatEndsNormallyStops)
{
    QWidget window;
    auto* slider = new OxSliderView(QRect(30, 100, 330, 22), &window);
    Recorder recorder;
    slider->setDelegate(&recorder);
    ASSERT_TRUE(showWindow(&window, QSize(390, 844)));
    const int wobble = QGuiApplication::styleHints()->startDragDistance() - 1;
    const std::pair<const char*, std::function<void()>> noStop[] = {
        {"tap", [&] { click(slider, at(250)); }},
        {"wobble", [&] { press(slider, at(100)), moveTo(slider, at(100 + wobble)), release(slider, at(100 + wobble)); }},
        {"cancelled touch", [&] { touchDrag(slider, at(50), at(250), 4, true); }},
        {"hidden mid-drag", [&] { press(slider, at(100)), moveTo(slider, at(150)), slider->hide(), release(slider, at(200)); }},
        {"disabled mid-drag", [&] { slider->show(), press(slider, at(100)), moveTo(slider, at(150));
                                    slider->setEnabled(false), release(slider, at(200)); }},
        {"disabled", [&] { drag(slider, at(100), at(250)); }},
    };
    drag(slider, at(20), at(300), 8);
    EXPECT_EQ(recorder.events, "VVVVVVVVVS") << "8 moves and the release, then the stop";
    recorder.events.clear();
    touchDrag(slider, at(50), at(250), 4);
    EXPECT_EQ(recorder.events, "VVVVVS");
    for (const auto& [what, gesture] : noStop) {
        recorder.events.clear();
        gesture();
        EXPECT_EQ(recorder.events.find('S'), std::string::npos) << what;
        EXPECT_FALSE(slider->isDragging()) << what;
    }
}

// A deleted delegate is never called; a size given after construction counts
// at once; a slider narrower than its thumb has no travel and still reports
// values inside 0..1.
TEST(OxSliderViewTest, DeletedDelegateLateAndNarrowSizes)
{
    QWidget window;
    auto* late = new OxSliderView(QRect(), &window);
    auto* owner = new Recorder;
    late->setDelegate(owner);
    delete owner;
    late->setGeometry(14, 500, 362, 30);
    late->setSliderInCenter(true);
    ASSERT_TRUE(showWindow(&window, QSize(390, 844)));
    EXPECT_EQ(late->thumbCentre(), QPointF(181, 15));

    auto* narrow = new OxSliderView(QRect(10, 300, 24, 30), &window);
    narrow->show();
    Recorder recorder;
    narrow->setDelegate(&recorder);
    drag(narrow, QPoint(2, 15), QPoint(22, 15), 4);
    drag(narrow, QPoint(22, 15), QPoint(1, 15), 4);
    ASSERT_FALSE(recorder.values.empty());
    for (double value : recorder.values)
        EXPECT_TRUE(value >= 0.0 && value <= 1.0) << value;  // NaN fails too
}

QPointer<OxToast> toastIn(QWidget* window, const QString& text)
{
    setApplicationWindow(window);
    OxToast::showToastWithMessage(text);
    const auto toasts = window->findChildren<OxToast*>(Qt::FindDirectChildrenOnly);
    return toasts.isEmpty() ? nullptr : toasts.back();
}

// A toast still waiting to appear goes with its window (and nothing of it
// runs later: by the time the next toast is gone, its timers are past). The
// next one appears after a while on top of everything, in plain text wrapped
// inside the screen, lets clicks through, fades and is removed.
TEST(OxToastTest, AppearsOnTopFadesAndIsRemoved)
{
    auto closed = std::make_unique<QWidget>();
    QPointer<OxToast> pending = toastIn(closed.get(), "pending");
    closed.reset();
    EXPECT_TRUE(pending.isNull());
    QWidget window;
    auto* underneath = new QPushButton(&window);  // screen content
    ASSERT_TRUE(showWindow(&window, QSize(390, 844)));
    underneath->setGeometry(window.rect());
    const QString markup = QString("<b>连接设备后</b> &amp; ").repeated(4);
    QPointer<OxToast> toast = toastIn(&window, markup);
    ASSERT_TRUE(toast && !toast->isVisible());
    ASSERT_TRUE(waitUntil([&] { return toast && toast->isVisible(); }));
    EXPECT_EQ(toast->label()->text(), markup);
    EXPECT_EQ(toast->label()->textFormat(), Qt::PlainText);
    EXPECT_TRUE(window.rect().contains(toast->geometry()));
    EXPECT_EQ(window.children().back(), toast.data());
    int clicks = 0;
    QObject::connect(underneath, &QPushButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, toast->geometry().center());
    EXPECT_EQ(clicks, 1) << "a tap under the toast reaches the screen";
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(toast->graphicsEffect());
    ASSERT_TRUE(waitUntil([&] { return !toast || effect->opacity() < 1.0; }));
    ASSERT_TRUE(waitUntil([&] { return toast.isNull(); }));
    setApplicationWindow(nullptr);
}

}  // namespace
}  // namespace lightdeck::testing
