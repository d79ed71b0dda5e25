#include "platform/thread.h"

#include <atomic>
#include <climits>
#include <memory>

#include <unistd.h>

namespace platform {

namespace {
std::atomic<int> threadFailuresPending{0};

bool takeInjectedFailure() {
    int pending = threadFailuresPending.load();
    while (pending > 0) {
        if (threadFailuresPending.compare_exchange_weak(pending, pending - 1)) {
            return true;
        }
    }
    return false;
}

#ifdef TARVIK_SANITIZED_BUILD
constexpr std::size_t kStackFactor = 16;
#else
constexpr std::size_t kStackFactor = 1;
#endif

void* runBody(void* argument) noexcept {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    (*body)();
    return nullptr;
}

class ThreadAttributes {
public:
    ThreadAttributes() { ok_ = pthread_attr_init(&attr_) == 0; }
    ~ThreadAttributes() {
        if (ok_) {
            pthread_attr_destroy(&attr_);
        }
    }
    ThreadAttributes(const ThreadAttributes&) = delete;
    ThreadAttributes& operator=(const ThreadAttributes&) = delete;

    bool ok() const { return ok_; }
    pthread_attr_t* get() { return &attr_; }

private:
    pthread_attr_t attr_;
    bool ok_ = false;
};
} // namespace

std::size_t effectiveStackSize(std::size_t requested) {
    std::size_t size = requested * kStackFactor;
    const std::size_t minimum = PTHREAD_STACK_MIN;
    if (size < minimum) {
        size = minimum;
    }
    const long page = sysconf(_SC_PAGESIZE);
    if (page > 0) {
        const auto pageSize = static_cast<std::size_t>(page);
        size = (size + pageSize - 1) / pageSize * pageSize;
    }
    return size;
}

std::optional<ThreadId> startThread(std::function<void()> body, std::size_t stackSize) {
    if (!body || takeInjectedFailure()) {
        return std::nullopt;
    }
    ThreadAttributes attributes;
    if (!attributes.ok() || pthread_attr_setdetachstate(attributes.get(), PTHREAD_CREATE_DETACHED) != 0 ||
        pthread_attr_setstacksize(attributes.get(), effectiveStackSize(stackSize)) != 0) {
        return std::nullopt;
    }
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    pthread_t id;
    if (pthread_create(&id, attributes.get(), runBody, owned.get()) != 0) {
        return std::nullopt;
    }
    // The new thread owns the body from here on.
    owned.release();
    return id;
}

namespace testing {
void failNextThreadStarts(int n) {
    threadFailuresPending.store(n > 0 ? n : 0);
}
} // namespace testing

} // namespace platform
