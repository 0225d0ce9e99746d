// The serial queue behind the simulated central: order, delays, idleness,
// destruction with work pending.

#include "bluetooth/serial_queue.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <vector>

namespace lightdeck {
namespace {

using namespace std::chrono_literals;

TEST(SerialQueue, RunsTasksOneAtATimeInOrderOnItsNamedThread)
{
    SerialQueue queue("centralQueue");
    std::vector<int> order;  // touched only on the queue
    std::atomic<int> concurrent{0};
    std::atomic<int> maxConcurrent{0};
    std::string threadName;
    for (int i = 0; i < 100; ++i) {
        queue.async([&, i] {
            int now = ++concurrent;
            maxConcurrent = std::max(maxConcurrent.load(), now);
            order.push_back(i);
            if (i == 0) {
                char name[32] = {};
                pthread_getname_np(pthread_self(), name, sizeof name);
                threadName = name;
            }
            --concurrent;
        });
    }
    queue.waitIdle();
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_EQ(maxConcurrent.load(), 1);
    EXPECT_EQ(threadName, "centralQueue");
}

TEST(SerialQueue, DelayedTasksRunByDueTimeAndWaitIdleWaitsForThem)
{
    SerialQueue queue("q");
    std::vector<int> order;
    queue.asyncAfter(30ms, [&] { order.push_back(3); });
    queue.asyncAfter(10ms, [&] { order.push_back(2); });
    queue.async([&] { order.push_back(1); });
    queue.waitIdle();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

// Tasks given one absolute time run in the order they were given, whatever
// time passed between the calls; an earlier time still goes first.
TEST(SerialQueue, TasksAtTheSameTimeKeepSubmissionOrder)
{
    SerialQueue queue("centralQueue");
    std::vector<int> order;  // touched only on the queue
    const auto due = SerialQueue::Clock::now() + 20ms;
    for (int i = 0; i < 50; ++i)
        queue.asyncAt(due, [&, i] { order.push_back(i); });
    queue.asyncAt(due - 5ms, [&] { order.push_back(-1); });
    queue.waitIdle();
    ASSERT_EQ(order.size(), 51u);
    EXPECT_EQ(order.front(), -1);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i) + 1], i);
}

TEST(SerialQueue, SyncFromTheQueueRunsInline)
{
    SerialQueue queue("q");
    bool ran = false;
    queue.sync([&] { queue.sync([&] { ran = queue.isCurrent(); }); });
    EXPECT_TRUE(ran);
    EXPECT_FALSE(queue.isCurrent());
}

TEST(SerialQueue, DestructionDropsPendingWorkAndWakesABlockedTask)
{
    std::atomic<int> ran{0};
    std::atomic<bool> blockedWokeEarly{false};
    {
        SerialQueue queue("q");
        std::atomic<bool> started{false};
        queue.async([&] {
            started = true;
            blockedWokeEarly = !queue.blockFor(std::chrono::hours(1));
        });
        for (int i = 0; i < 10; ++i)
            queue.asyncAfter(1h, [&] { ++ran; });
        while (!started)
            std::this_thread::yield();
    }
    EXPECT_TRUE(blockedWokeEarly);
    EXPECT_EQ(ran.load(), 0);
}

}  // namespace
}  // namespace lightdeck
