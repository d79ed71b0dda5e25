#include "links/j1708_serial_link.h"

#include <rp1210a/rp1210a.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <unistd.h>

namespace zt {
namespace {

// Start, 8 data and stop bit per byte.
Micros wireTime(size_t bytes) {
    return static_cast<Micros>(bytes) * 10 * j1708::kBitNanos / 1000;
}

int timeoutUntil(Micros deadline, Micros now) {
    if (deadline < 0)
        return -1;
    const Micros left = deadline - now;
    return left <= 0 ? 0 : static_cast<int>((left + kMicrosPerMs - 1) / kMicrosPerMs);
}

} // namespace

J1708SerialLink::J1708SerialLink(std::string devicePath, J1708SerialOptions options)
    : path_(std::move(devicePath)), options_(options), clock_(*options.clock),
      noEcho_(options.echo == J1708Echo::No) {}

J1708SerialLink::~J1708SerialLink() {
    close();
}

LinkError J1708SerialLink::open(MessageHandler onMessage) {
    if (open_.load())
        return {};
    LinkError error;
    fd_ = openSerialPort(path_, options_.baud, error);
    if (error)
        return error;
    if (!wake_.create()) {
        fd_.reset();
        return {ERR_NOT_ENOUGH_MEMORY, "cannot create an event for " + path_};
    }
    onMessage_ = std::move(onMessage);
    framer_ = {};
    gone_ = false;
    open_ = true;
    reader_ = std::thread([this] { readLoop(); });
    return {};
}

void J1708SerialLink::close() {
    if (!open_.exchange(false))
        return;
    wake_.signal();
    if (reader_.joinable())
        reader_.join();
    {
        std::lock_guard lock(echoMutex_);
        echoArrived_.notify_all();
    }
    std::lock_guard sending(sendMutex_); // a send in progress has finished
    onMessage_ = nullptr;
    fd_.reset();
}

void J1708SerialLink::deliver(std::vector<j1708::Framer::Message>& messages) {
    for (j1708::Framer::Message& m : messages) {
        {
            std::lock_guard lock(echoMutex_);
            if (!expectedEcho_.empty() && m.bytes == expectedEcho_) {
                expectedEcho_.clear();
                if (lateEchoUntil_ < 0)
                    echoMatched_ = true;
                else if (options_.echo == J1708Echo::Detect)
                    noEcho_ = false; // the line echoes after all, only late
                lateEchoUntil_ = -1;
                echoArrived_.notify_all();
                continue;
            }
        }
        if (onMessage_)
            onMessage_({std::move(m.bytes), m.timestamp});
    }
    messages.clear();
    dropped_ = framer_.droppedBytes();
}

void J1708SerialLink::readLoop() {
    std::vector<j1708::Framer::Message> messages;
    uint8_t buffer[1024];
    while (open_.load()) {
        pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {wake_.fd(), POLLIN, 0}};
        int timeout = timeoutUntil(framer_.nextDeadline(), clock_.now());
        {
            std::lock_guard lock(echoMutex_);
            if (lateEchoUntil_ >= 0) {
                const int lateTimeout = timeoutUntil(lateEchoUntil_, clock_.now());
                timeout = timeout < 0 ? lateTimeout : std::min(timeout, lateTimeout);
            }
        }
        const int r = ::poll(fds, 2, timeout);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || (fds[1].revents & POLLIN))
            return;
        const uint64_t burstsBefore = framer_.burstsEnded();
        if (r > 0) {
            const ssize_t n = ::read(fd_.get(), buffer, sizeof buffer);
            if (n == 0 || (n < 0 && (isDeviceGone(errno) || (fds[0].revents & (POLLHUP | POLLERR))))) {
                gone_ = true;
                std::lock_guard lock(echoMutex_);
                echoArrived_.notify_all();
                return;
            }
            if (n > 0) {
                const Micros now = clock_.now();
                lastByte_ = now;
                {
                    std::lock_guard lock(echoMutex_);
                    echoBytesSeen_ += static_cast<size_t>(n);
                }
                framer_.feed({buffer, static_cast<size_t>(n)}, now, messages);
            }
        }
        const Micros now = clock_.now();
        framer_.poll(now, messages);
        {
            std::lock_guard lock(echoMutex_);
            if (lateEchoUntil_ >= 0 && now >= lateEchoUntil_) {
                lateEchoUntil_ = -1;
                expectedEcho_.clear();
            }
        }
        deliver(messages);
        if (framer_.burstsEnded() != burstsBefore) {
            // The line went idle after at least as many bytes as we sent, none
            // of them our message intact: it collided.
            std::lock_guard lock(echoMutex_);
            if (!expectedEcho_.empty() && lateEchoUntil_ < 0 && !echoMatched_ &&
                echoBytesSeen_ >= expectedEcho_.size()) {
                echoFailed_ = true;
                echoArrived_.notify_all();
            }
        }
    }
}

bool J1708SerialLink::waitForIdleLine(Micros idle) {
    const Micros giveUp = clock_.now() + options_.busyTimeout;
    for (;;) {
        const Micros now = clock_.now();
        const Micros last = std::max(lastByte_.load(), ownBytesUntil_.load());
        if (last < 0 || now - last >= idle)
            return true;
        if (now >= giveUp || !open_.load() || gone_.load())
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(idle - (now - last)));
    }
}

int J1708SerialLink::send(std::span<const uint8_t> message, int priority) {
    if (message.size() > j1708::kMaxMessage)
        return ERR_MESSAGE_TOO_LONG;
    if (message.size() < j1708::kMinMessage)
        return ERR_INVALID_COMMAND;
    std::lock_guard sending(sendMutex_);
    if (!open_.load() || gone_.load())
        return ERR_HARDWARE_NOT_RESPONDING;
    priority = std::clamp(priority, 1, 8);
    if (noEcho_.load())
        return sendWithoutEcho(message, priority);
    for (int attempt = 0; attempt < options_.maxAttempts; ++attempt) {
        if (!waitForIdleLine(j1708::idleBeforeSend(priority)))
            return gone_.load() ? ERR_HARDWARE_NOT_RESPONDING : ERR_TX_QUEUE_FULL;
        {
            std::lock_guard lock(echoMutex_);
            expectedEcho_.assign(message.begin(), message.end());
            echoMatched_ = false;
            echoFailed_ = false;
            echoBytesSeen_ = 0;
            lateEchoUntil_ = -1;
        }
        const Micros writeDeadline = systemClock().now() + wireTime(message.size()) + options_.echoMargin;
        const WriteResult written = writeAll(fd_.get(), message.data(), message.size(), writeDeadline);
        if (written == WriteResult::Gone) {
            gone_ = true;
            return ERR_HARDWARE_NOT_RESPONDING;
        }
        std::unique_lock lock(echoMutex_);
        const auto wait = std::chrono::microseconds(wireTime(message.size()) + options_.echoMargin);
        echoArrived_.wait_for(lock, wait,
                              [&] { return echoMatched_ || echoFailed_ || gone_.load() || !open_.load(); });
        if (echoMatched_)
            return 0;
        if (gone_.load() || !open_.load())
            return ERR_HARDWARE_NOT_RESPONDING;
        // A late intact echo is still recognised for a while, not delivered.
        lateEchoUntil_ = clock_.now() + options_.echoMargin;
        if (echoBytesSeen_ == 0 && options_.echo == J1708Echo::Detect) {
            // Nothing at all came back on an idle line: the adapter does not
            // hear its own sends. The message went out; from now on sends go
            // without collision detection.
            noEcho_ = true;
            return 0;
        }
        // The line did not give our bytes back intact: a collision.
        ++collisions_;
    }
    return ERR_TX_QUEUE_FULL;
}

int J1708SerialLink::sendWithoutEcho(std::span<const uint8_t> message, int priority) {
    if (!waitForIdleLine(j1708::idleBeforeSend(priority)))
        return gone_.load() ? ERR_HARDWARE_NOT_RESPONDING : ERR_TX_QUEUE_FULL;
    const Micros onLine = wireTime(message.size());
    {
        // Should the line give the message back after all, it is recognised
        // (not delivered) and collision detection resumes.
        std::lock_guard lock(echoMutex_);
        expectedEcho_.assign(message.begin(), message.end());
        echoMatched_ = false;
        lateEchoUntil_ = clock_.now() + onLine + options_.echoMargin;
    }
    const WriteResult written = writeAll(fd_.get(), message.data(), message.size(),
                                         systemClock().now() + onLine + options_.echoMargin);
    if (written == WriteResult::Gone) {
        gone_ = true;
        return ERR_HARDWARE_NOT_RESPONDING;
    }
    // Our bytes keep the line busy for their wire time: the next message
    // waits for its idle time after them.
    ownBytesUntil_ = clock_.now() + onLine;
    return written == WriteResult::Done ? 0 : ERR_TX_QUEUE_FULL;
}

} // namespace zt
