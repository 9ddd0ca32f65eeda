// Work shared by threads that come free at different times: each takes the
// next few items from a counter they share until none are left.
#pragma once

#include <atomic>
#include <cstddef>

// Visits the items of 0 .. count - 1 that this thread takes, `take` at a
// time and in order within each take, from the counter every thread sharing
// the items calls this with.
template <typename Visit>
void takeTurns(std::atomic<std::size_t>& next, std::size_t count, std::size_t take, Visit visit) {
    for (std::size_t first; (first = next.fetch_add(take, std::memory_order_relaxed)) < count;)
        for (std::size_t i = first; i < count && i < first + take; ++i) visit(i);
}
