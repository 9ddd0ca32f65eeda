// Lets a thread wait until another has set something up, or has given up on
// it: an Opener that ends unopened (its scope left by an exception, the run
// being cut short) settles the gate closed, so that no waiter is left behind.
#pragma once

#include <atomic>

class Gate {
public:
    class Opener {
    public:
        explicit Opener(Gate& gate) : gate_(gate) {}
        ~Opener() { gate_.settle(kClosed); }
        Opener(const Opener&) = delete;
        Opener& operator=(const Opener&) = delete;
        void open() { gate_.settle(kOpen); }

    private:
        Gate& gate_;
    };

    // Waits until the gate is settled: true when opened, false when closed.
    bool wait() {
        state_.wait(kUnsettled);
        return state_.load() == kOpen;
    }

private:
    static constexpr int kUnsettled = 0, kOpen = 1, kClosed = -1;
    // Settled once: what comes later changes nothing.
    void settle(int to) {
        int expected = kUnsettled;
        if (state_.compare_exchange_strong(expected, to)) state_.notify_all();
    }
    std::atomic<int> state_{kUnsettled};
};
