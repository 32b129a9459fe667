// The helper thread: its work is done when join() returns, and the object
// may go at once, while the thread itself may still be ending.
#include "framework/helperthread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace sf;

TEST(HelperThread, WorkIsDoneWhenJoinReturnsAndTheObjectMayGoAtOnce) {
    // Quick bodies end within the moment join() watches, slow ones after it;
    // each helper is destroyed right after its join, or by its destructor
    // alone.
    for (int i = 0; i < 400; ++i) {
        int seen = -1;
        const bool slow = i % 50 == 0;
        auto helper = std::make_unique<HelperThread>([&seen, i, slow] {
            if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            seen = i;
        });
        if (i % 2 == 0) helper->join();
        helper.reset();
        ASSERT_EQ(seen, i);
    }
}

TEST(HelperThread, JoinTwiceAndBodiesThatRunAlongside) {
    std::atomic<int> runs{0};
    HelperThread a([&] { ++runs; });
    HelperThread b([&] { ++runs; });
    a.join();
    a.join();
    b.join();
    EXPECT_EQ(runs.load(), 2);
}
