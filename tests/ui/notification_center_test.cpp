// NotificationCenter across threads: a post is delivered on the observer's
// thread, never to a context destroyed meanwhile, and no entry outlives its
// context.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "support/ui_test_support.h"
#include "ui/notification_center.h"

namespace lightdeck::testing {
namespace {

// Posted from another thread: queued to each observer's thread, and dropped
// for a context destroyed meanwhile.
TEST(NotificationCenterTest, APostFromAnotherThreadRunsOnTheObserversThread)
{
    NotificationCenter center;
    QObject onMain;
    auto dropped = std::make_unique<QObject>();
    QThread worker;
    auto* onWorker = new QObject;  // deleted on its thread as it finishes
    onWorker->moveToThread(&worker);
    QObject::connect(&worker, &QThread::finished, onWorker, &QObject::deleteLater);
    worker.start();
    std::atomic<QThread*> mainRanOn = nullptr, workerRanOn = nullptr;
    center.observe("n", &onMain, [&] { mainRanOn = QThread::currentThread(); });
    center.observe("n", onWorker, [&] { workerRanOn = QThread::currentThread(); });
    center.observe("n", dropped.get(), [&] { ADD_FAILURE() << "delivered to a destroyed context"; });
    std::thread([&] { center.post("n"); }).join();
    EXPECT_EQ(mainRanOn.load(), nullptr) << "not run inside the poster";
    dropped.reset();
    ASSERT_TRUE(waitUntil([&] { return mainRanOn && workerRanOn; }));
    EXPECT_EQ(mainRanOn.load(), QCoreApplication::instance()->thread());
    EXPECT_EQ(workerRanOn.load(), &worker);
    worker.quit();
    worker.wait();
}

// Three threads post while contexts come and go: no crash, and no entry
// outlives its context.
TEST(NotificationCenterTest, ConcurrentPostsWhileObserversComeAndGo)
{
    NotificationCenter center;
    std::atomic<bool> stop = false;
    std::atomic<int> posts = 0;
    std::vector<std::thread> posters;
    for (int i = 0; i < 3; ++i)
        posters.emplace_back([&] {
            for (; !stop; ++posts)
                center.post("n");
        });
    for (int round = 0; round < 200 || posts < 1000; ++round) {
        auto context = std::make_unique<QObject>();
        center.observe("n", context.get(), [] {});
        QCoreApplication::processEvents();
    }
    stop = true;
    for (auto& poster : posters)
        poster.join();
    processEvents();
    EXPECT_EQ(center.observerCount("n"), 0);
}

// On the poster's thread: an observer removed by an earlier one of the same
// post is not called.
TEST(NotificationCenterTest, AnObserverRemovedDuringAPostIsNotCalled)
{
    NotificationCenter center;
    QObject context;
    NotificationCenter::ObserverId second = 0;
    center.observe("n", &context, [&] { center.removeObserver(second); });
    second = center.observe("n", &context, [] { ADD_FAILURE() << "called after its removal"; });
    center.post("n");
}

}  // namespace
}  // namespace lightdeck::testing
