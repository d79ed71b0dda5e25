#include "clients/empty_read_wait.h"

#include <atomic>

namespace zt {

ReaderMark markRead() {
    static std::atomic<uint64_t> nextThread{1};
    thread_local const uint64_t thread = nextThread.fetch_add(1, std::memory_order_relaxed);
    thread_local uint64_t reads = 0;
    return {thread, ++reads};
}

} // namespace zt
