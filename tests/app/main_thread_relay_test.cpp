// MainThreadRelay: work from another thread runs on the target's thread while
// the target lives, and never after.

#include "devices/main_thread_relay.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "support/ui_test_support.h"

namespace lightdeck {
namespace {

TEST(MainThreadRelayTest, RunsPostsFromAnotherThreadOnTheTargetsThread)
{
    QObject target;
    auto relay = std::make_shared<MainThreadRelay>(&target);
    std::atomic<int> ran{0};
    std::atomic<bool> onMainThread{true};
    std::thread worker([&] {
        for (int i = 0; i < 10; ++i) {
            relay->post([&] {
                onMainThread = onMainThread && QThread::currentThread() == target.thread();
                ++ran;
            });
        }
    });
    worker.join();
    EXPECT_EQ(ran, 0);  // queued, not run on the worker
    ASSERT_TRUE(testing::waitUntil([&] { return ran == 10; }));
    EXPECT_TRUE(onMainThread);
}

TEST(MainThreadRelayTest, NothingRunsOnceTheTargetHasGone)
{
    auto target = std::make_unique<QObject>();
    auto relay = std::make_shared<MainThreadRelay>(target.get());
    bool ran = false;
    relay->post([&] { ran = true; });  // queued while the target lives
    relay->detach();
    relay->post([&] { ran = true; });  // dropped at once
    EXPECT_FALSE(relay->isAttached());
    target.reset();                    // takes the queued call with it
    testing::processEvents();
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace lightdeck
