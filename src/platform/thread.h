#pragma once

#include <cstddef>
#include <functional>
#include <optional>

#include <pthread.h>

namespace platform {

using ThreadId = pthread_t;

// Starts body on a new detached thread whose stack holds stackSize bytes
// (see effectiveStackSize). The thread runs at once and is never joined.
// Returns its id, or nullopt when the thread could not be created.
std::optional<ThreadId> startThread(std::function<void()> body, std::size_t stackSize);

// The stack size a thread asked for with `requested` bytes actually gets:
// sixteen times as much in an instrumented build, because sanitizer code
// needs far more stack, never less than the system minimum, rounded up to
// whole pages.
std::size_t effectiveStackSize(std::size_t requested);

namespace testing {
// Makes the next n calls of startThread() fail without starting anything.
void failNextThreadStarts(int n);
} // namespace testing

} // namespace platform
