// NotificationCenter: by-name delivery on the observer's thread, automatic
// removal with the context, and posts from other threads.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "support/ui_test_support.h"
#include "ui/notification_center.h"

namespace lightdeck {
namespace {

using lightdeck::testing::waitUntil;

TEST(NotificationCenterTest, SameThreadPostRunsObserversAtOnceInOrder)
{
    NotificationCenter center;
    QObject context;
    std::vector<int> calls;
    center.observe("refreshDeviceList", &context, [&] { calls.push_back(1); });
    center.observe("refreshDeviceList", &context, [&] { calls.push_back(2); });
    center.observe("appDidBecomeActive", &context, [&] { calls.push_back(3); });
    center.post("refreshDeviceList");
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));
    center.post("nobodyListens");
    EXPECT_EQ(calls.size(), 2u);
}

TEST(NotificationCenterTest, ObserverGoesWithItsContext)
{
    NotificationCenter center;
    int calls = 0;
    auto context = std::make_unique<QObject>();
    center.observe("appDidBecomeActive", context.get(), [&] { ++calls; });
    EXPECT_EQ(center.observerCount("appDidBecomeActive"), 1);
    context.reset();
    EXPECT_EQ(center.observerCount("appDidBecomeActive"), 0);
    center.post("appDidBecomeActive");
    EXPECT_EQ(calls, 0);
}

TEST(NotificationCenterTest, RemovalByIdAndByContext)
{
    NotificationCenter center;
    QObject a;
    QObject b;
    int calls = 0;
    const auto id = center.observe("n", &a, [&] { ++calls; });
    center.observe("n", &b, [&] { calls += 10; });
    center.observe("m", &b, [&] { calls += 100; });
    center.removeObserver(id);
    center.post("n");
    EXPECT_EQ(calls, 10);
    center.removeObservers(&b);
    center.post("n");
    center.post("m");
    EXPECT_EQ(calls, 10);
    EXPECT_EQ(center.observe("n", nullptr, [] {}), 0u);
}

TEST(NotificationCenterTest, ObserverRemovedDuringAPostIsNotCalled)
{
    NotificationCenter center;
    auto second = std::make_unique<QObject>();
    QObject first;
    bool secondCalled = false;
    center.observe("n", &first, [&] { second.reset(); });
    center.observe("n", second.get(), [&] { secondCalled = true; });
    center.post("n");
    EXPECT_FALSE(secondCalled);
}

TEST(NotificationCenterTest, PostFromAnotherThreadRunsOnTheObserversThread)
{
    NotificationCenter center;
    QObject context;  // lives on the main thread
    std::atomic<int> calls = 0;
    QThread* ranOn = nullptr;
    center.observe("appDidBecomeActive", &context, [&] {
        ranOn = QThread::currentThread();
        ++calls;
    });
    std::thread poster([&] { center.post("appDidBecomeActive"); });
    poster.join();
    // Queued, not run inside the poster.
    EXPECT_EQ(calls.load(), 0);
    ASSERT_TRUE(waitUntil([&] { return calls.load() == 1; }));
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());
}

TEST(NotificationCenterTest, QueuedDeliveryToADestroyedContextIsDropped)
{
    NotificationCenter center;
    auto context = std::make_unique<QObject>();
    std::atomic<int> calls = 0;
    center.observe("n", context.get(), [&] { ++calls; });
    std::thread poster([&] { center.post("n"); });
    poster.join();
    context.reset();
    lightdeck::testing::processEvents();
    EXPECT_EQ(calls.load(), 0);
}

TEST(NotificationCenterTest, ObserverOnAWorkerThreadRunsThere)
{
    NotificationCenter center;
    QThread worker;
    worker.start();
    QObject context;
    context.moveToThread(&worker);
    std::atomic<QThread*> ranOn = nullptr;
    center.observe("n", &context, [&] { ranOn = QThread::currentThread(); });
    center.post("n");
    EXPECT_TRUE(waitUntil([&] { return ranOn.load() != nullptr; }));
    EXPECT_EQ(ranOn.load(), &worker);
    worker.quit();
    worker.wait();
    context.moveToThread(QThread::currentThread());
}

TEST(NotificationCenterTest, ConcurrentPostsWhileObserversComeAndGo)
{
    NotificationCenter center;
    std::atomic<bool> stop = false;
    std::atomic<int> posts = 0;
    std::vector<std::thread> posters;
    for (int i = 0; i < 3; ++i) {
        posters.emplace_back([&] {
            while (!stop) {
                center.post("refreshDeviceList");
                ++posts;
            }
        });
    }
    std::atomic<int> calls = 0;
    // Enough rounds for the posters to have overlapped with them.
    for (int round = 0; round < 200 || posts.load() < 1000; ++round) {
        auto context = std::make_unique<QObject>();
        center.observe("refreshDeviceList", context.get(), [&] { ++calls; });
        QCoreApplication::processEvents();
    }
    stop = true;
    for (auto& poster : posters)
        poster.join();
    lightdeck::testing::processEvents();
    EXPECT_GT(posts.load(), 0);
    // Every context is gone, and so is every entry (no crash from deliveries
    // racing the destruction of their contexts).
    EXPECT_EQ(center.observerCount("refreshDeviceList"), 0);
}

TEST(NotificationCenterTest, DefaultCenterIsOneObject)
{
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
}

}  // namespace
}  // namespace lightdeck
