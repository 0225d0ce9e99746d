// NotificationCenter: delivery by name in order, removal with the context
// (also during a post), and posts from other threads delivered on the
// observer's thread.
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

TEST(NotificationCenterTest, DeliversByNameInOrderUntilTheObserverGoes)
{
    NotificationCenter center;
    QObject context;
    auto gone = std::make_unique<QObject>();
    std::vector<int> calls;
    center.observe("n", &context, [&] { calls.push_back(1), gone.reset(); });
    center.observe("n", gone.get(), [&] { calls.push_back(9); });  // removed before its turn
    const auto id = center.observe("n", &context, [&] { calls.push_back(2); });
    center.observe("m", &context, [&] { calls.push_back(3); });
    center.post("n");
    center.removeObserver(id);
    center.post("n");
    EXPECT_EQ(calls, (std::vector<int>{1, 2, 1}));
}

// Posted from another thread: queued to each observer's thread, and dropped
// for a context destroyed meanwhile.
TEST(NotificationCenterTest, APostFromAnotherThreadRunsOnTheObserversThread)
{
    NotificationCenter center;
    QObject onMain, onWorker;
    auto dropped = std::make_unique<QObject>();
    QThread worker;
    worker.start();
    onWorker.moveToThread(&worker);
    std::atomic<QThread*> mainRanOn = nullptr, workerRanOn = nullptr;
    center.observe("n", &onMain, [&] { mainRanOn = QThread::currentThread(); });
    center.observe("n", &onWorker, [&] { workerRanOn = QThread::currentThread(); });
    center.observe("n", dropped.get(), [&] { ADD_FAILURE() << "delivered to a destroyed context"; });
    std::thread([&] { center.post("n"); }).join();
    EXPECT_EQ(mainRanOn.load(), nullptr) << "not run inside the poster";
    dropped.reset();
    ASSERT_TRUE(waitUntil([&] { return mainRanOn && workerRanOn; }));
    EXPECT_EQ(mainRanOn.load(), QCoreApplication::instance()->thread());
    EXPECT_EQ(workerRanOn.load(), &worker);
    worker.quit();
    worker.wait();
    onWorker.moveToThread(QThread::currentThread());
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

}  // namespace
}  // namespace lightdeck::testing
