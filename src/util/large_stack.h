// Running work on a thread with a large stack. The walks recurse once per
// nesting level of the program (and once per level of a call chain), which
// the default stack of a process or thread cannot hold for deep programs.
#pragma once

#include <cstddef>
#include <functional>

// The stack the checker runs on. Only the pages actually used become resident.
inline constexpr std::size_t kLargeStackBytes = std::size_t{1} << 30;

// Runs work on a new thread with a stack of the given size and waits for it.
// false when no such thread can be made; work has then not run.
bool runOnLargeStack(const std::function<void()>& work, std::size_t stackBytes = kLargeStackBytes);
