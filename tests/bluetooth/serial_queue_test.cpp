// The serial queue behind the simulated central: order, due times, inline
// sync, destruction with work pending.
#include "bluetooth/serial_queue.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <vector>

namespace lightdeck {
namespace {

using namespace std::chrono_literals;

// Each task's number is its place in due order, then submission order.
TEST(SerialQueue, RunsTasksByDueTimeThenSubmissionOrderOnItsNamedThread)
{
    SerialQueue queue("centralQueue");
    std::promise<void> gate;  // holds the queue until every task is in
    queue.async([opened = gate.get_future().share()] { opened.wait(); });
    std::vector<int> order;  // touched only on the queue
    const auto now = SerialQueue::Clock::now();
    queue.asyncAt(now + 30ms, [&] { order.push_back(1000); });
    for (int i = 0; i < 50; ++i) {
        queue.asyncAt(now + 20ms, [&, i] { order.push_back(100 + i); });
        queue.async([&, i] { order.push_back(i); });
    }
    queue.asyncAt(now + 10ms, [&] { order.push_back(99); });
    gate.set_value();
    queue.waitIdle();  // waits for the tasks not yet due too
    EXPECT_EQ(order.size(), 102u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    // sync from the queue itself runs inline instead of waiting for itself.
    char name[32] = {};
    bool current = false;
    queue.sync([&] { queue.sync([&] { current = queue.isCurrent(); }); });
    queue.sync([&] { pthread_getname_np(pthread_self(), name, sizeof name); });
    EXPECT_TRUE(current);
    EXPECT_FALSE(queue.isCurrent());
    EXPECT_STREQ(name, "centralQueue");
}

TEST(SerialQueue, DestructionDropsPendingWorkAndWakesABlockedTask)
{
    std::atomic<int> ran{0};
    std::atomic<bool> started{false}, wokeEarly{false};
    {
        SerialQueue queue("q");
        queue.async([&] {
            started = true;
            wokeEarly = !queue.blockFor(1h);
        });
        queue.asyncAfter(1h, [&] { ++ran; });
        while (!started)
            std::this_thread::yield();
    }
    EXPECT_TRUE(wokeEarly);
    EXPECT_EQ(ran.load(), 0);
}

}  // namespace
}  // namespace lightdeck
