#include "util/large_stack.h"

#include <cstdint>

#include <gtest/gtest.h>

// Work knows whether it runs on a thread of its own, nested or not, and work
// that no thread could be made for (a stack no machine has) knows it runs at
// once, inside work on a thread of its own too.
TEST(LargeStackThread, WorkKnowsWhetherItRunsOnItsOwnThread) {
    EXPECT_FALSE(runsOnOwnThread());
    bool outer = false, nested = false, atOnce = true, afterAtOnce = false;
    LargeStackThread([&] {
        outer = runsOnOwnThread();
        LargeStackThread([&] { nested = runsOnOwnThread(); }).join();
        LargeStackThread([&] { atOnce = runsOnOwnThread(); }, SIZE_MAX).join();
        afterAtOnce = runsOnOwnThread();
    }).join();
    EXPECT_TRUE(outer);
    EXPECT_TRUE(nested);
    EXPECT_FALSE(atOnce);
    EXPECT_TRUE(afterAtOnce);
    EXPECT_FALSE(runsOnOwnThread());
}
