// Running work on a thread with a large stack. The walks recurse once per
// nesting level of the program (and once per level of a call chain), which
// the default stack of a process or thread cannot hold for deep programs.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

// The stack the checker runs on. Only the pages actually used become resident.
inline constexpr std::size_t kLargeStackBytes = std::size_t{1} << 30;

// Runs work on a new thread with a stack of the given size and waits for it.
// false when no such thread can be made; work has then not run.
bool runOnLargeStack(const std::function<void()>& work, std::size_t stackBytes = kLargeStackBytes);

// Work started on its own thread with a large stack, beside the caller;
// join() (or the destructor) waits for it. An exception that leaves the work
// is carried to join(). When no thread can be made, the work runs at once.
class LargeStackThread {
public:
    explicit LargeStackThread(std::function<void()> work, std::size_t stackBytes = kLargeStackBytes);
    ~LargeStackThread();
    LargeStackThread(const LargeStackThread&) = delete;
    LargeStackThread& operator=(const LargeStackThread&) = delete;
    void join();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Whether the caller is work that a LargeStackThread runs on a thread of its
// own; false outside such work, and in work that runs at once because no
// thread could be made (which must not wait for its starter).
bool runsOnOwnThread();
