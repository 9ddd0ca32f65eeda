#include "util/gate.h"

#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

// A waiter on another thread learns whether the opener's scope opened the
// gate, whichever way the scope ends.
TEST(Gate, AWaiterLearnsHowTheOpenersScopeEnded) {
    struct Case {
        bool opens;
        bool throws;
        bool expected;
    };
    for (const Case c : {Case{true, false, true}, Case{true, true, true}, Case{false, false, false},
                         Case{false, true, false}}) {
        Gate gate;
        bool seen = !c.expected;
        std::thread waiter([&] { seen = gate.wait(); });
        try {
            Gate::Opener opener(gate);
            if (c.opens) opener.open();
            if (c.throws) throw std::runtime_error("cut short");
        } catch (const std::runtime_error&) {
        }
        waiter.join();
        EXPECT_EQ(seen, c.expected) << "opens " << c.opens << " throws " << c.throws;
        EXPECT_EQ(gate.wait(), c.expected);
    }
}
