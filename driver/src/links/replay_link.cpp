#include "links/replay_link.h"

#include "links/candump_log.h"

#include <rp1210a/rp1210a.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zt {
namespace {

// Reads a file line by line through one buffer. A line longer than the buffer
// is dropped whole and reported once as too long.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd), buffer_(64 * 1024) {}

    // False at the end of the file (or on a read error, which ends it too).
    bool next(std::string_view& line, bool& tooLong) {
        tooLong = false;
        for (;;) {
            const char* begin = buffer_.data() + begin_;
            const void* newline = std::memchr(begin, '\n', end_ - begin_);
            if (newline != nullptr || (atEnd_ && begin_ < end_)) {
                const size_t length = newline != nullptr
                                          ? static_cast<size_t>(static_cast<const char*>(newline) - begin)
                                          : end_ - begin_;
                line = std::string_view(begin, length);
                begin_ += newline != nullptr ? length + 1 : length;
                if (discarding_) {
                    discarding_ = false;
                    tooLong = true;
                    line = {};
                }
                return true;
            }
            if (atEnd_) {
                if (discarding_) {
                    discarding_ = false;
                    tooLong = true;
                    line = {};
                    return true;
                }
                return false;
            }
            if (begin_ > 0) {
                std::memmove(buffer_.data(), begin, end_ - begin_);
                end_ -= begin_;
                begin_ = 0;
            }
            if (end_ == buffer_.size()) {
                discarding_ = true;
                end_ = 0;
            }
            const ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                atEnd_ = true;
            else
                end_ += static_cast<size_t>(n);
        }
    }

    bool rewind() {
        if (::lseek(fd_, 0, SEEK_SET) != 0)
            return false;
        begin_ = end_ = 0;
        atEnd_ = discarding_ = false;
        return true;
    }

private:
    int fd_;
    std::vector<char> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
    bool atEnd_ = false;
    bool discarding_ = false;
};

// How much of a log is looked at before it is played: a file with no
// candump line in it (a binary, a log of another format) is refused rather
// than played as a silent bus.
constexpr size_t kSniffBytes = 64 * 1024;

bool hasCandumpLine(int fd) {
    std::vector<char> head(kSniffBytes);
    ssize_t n;
    do
        n = ::pread(fd, head.data(), head.size(), 0);
    while (n < 0 && errno == EINTR);
    if (n <= 0)
        return false;
    std::string_view text(head.data(), static_cast<size_t>(n));
    // A line cut off at the end of a full buffer is not judged.
    if (static_cast<size_t>(n) == head.size())
        text = text.substr(0, text.rfind('\n') == std::string_view::npos ? 0 : text.rfind('\n'));
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const candump::LineKind kind = candump::parseLine(text.substr(0, end)).kind;
        if (kind == candump::LineKind::Frame || kind == candump::LineKind::CanFd ||
            kind == candump::LineKind::Remote)
            return true;
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return false;
}

LinkError refuse(const std::string& path, const std::string& why) {
    // The path last, so a text cut short for RP1210_GetErrorMsg keeps its end.
    return {ERR_HARDWARE_NOT_RESPONDING, "cannot play the CAN log (" + why + "): " + path};
}

} // namespace

ReplayLink::ReplayLink(ReplayOptions options)
    : options_(std::move(options)), clock_(options_.clock != nullptr ? *options_.clock : systemClock()) {}

ReplayLink::~ReplayLink() {
    close();
}

LinkError ReplayLink::open(FrameHandler onFrame, StateHandler) {
    if (player_.joinable())
        return refuse(options_.path, "the link is already open");
    if (!std::isfinite(options_.speed) || options_.speed < 0)
        return refuse(options_.path, "the speed factor must be 0 or more");
    const int fd = ::open(options_.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return refuse(options_.path, std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return refuse(options_.path, "not a regular file");
    }
    if (!hasCandumpLine(fd)) {
        ::close(fd);
        return {ERR_HARDWARE_NOT_RESPONDING, options_.path + ": no candump lines in its first 64 KiB"};
    }
    onFrame_ = std::move(onFrame);
    skippedLines_ = 0;
    framesPlayed_ = 0;
    finished_ = false;
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
        running_ = true;
        started_ = !options_.waitForStart;
    }
    player_ = std::thread([this, fd] {
        play(fd);
        ::close(fd);
    });
    return {};
}

void ReplayLink::start() {
    {
        std::lock_guard lock(mutex_);
        if (started_)
            return;
        started_ = true;
    }
    wake_.notify_all();
}

bool ReplayLink::awaitStart() {
    std::unique_lock lock(mutex_);
    while (!started_ && !stopping_) {
        acknowledgeRequests(requests_);
        wake_.wait(lock, [&] { return started_ || stopping_ || requests_ != handled_; });
    }
    return !stopping_;
}

void ReplayLink::close() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        running_ = false;
    }
    wake_.notify_all();
    acknowledged_.notify_all();
    if (player_.joinable())
        player_.join();
    onFrame_ = nullptr;
}

int ReplayLink::send(const CanFrame&) {
    framesSent_.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void ReplayLink::catchUp() {
    std::unique_lock lock(mutex_);
    if (!running_)
        return;
    const uint64_t request = ++requests_;
    wake_.notify_all();
    acknowledged_.wait(lock, [&] { return handled_ >= request || !running_; });
}

void ReplayLink::acknowledgeRequests(uint64_t seen) {
    handled_ = seen;
    acknowledged_.notify_all();
}

bool ReplayLink::sleepUntil(Micros due) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stopping_)
            return false;
        const uint64_t seen = requests_;
        const Micros now = clock_.now();
        if (now >= due)
            return true;
        // Everything due by `now` has been played: answer the requests seen.
        acknowledgeRequests(seen);
        wake_.wait_for(lock, std::chrono::microseconds(due - now),
                       [&] { return stopping_ || requests_ != seen; });
    }
}

void ReplayLink::play(int fd) {
    constexpr Micros kMinLoopGap = 1 * kMicrosPerMs;
    if (!awaitStart())
        return;
    const Micros start = clock_.now();
    const bool paced = options_.speed > 0;
    LineReader reader(fd);
    bool anchored = false;
    Micros logBase = 0;   // log time of the anchor frame
    Micros clockBase = 0; // when the anchor frame is due
    Micros passStart = start;
    Micros firstDue = 0;
    Micros lastDue = start;
    Micros lastLogTime = 0;
    uint64_t passFrames = 0;
    uint32_t unpacedFrames = 0;

    for (;;) {
        std::string_view line;
        bool tooLong = false;
        if (!reader.next(line, tooLong)) {
            if (options_.loop && passFrames > 0 && reader.rewind()) {
                // The next pass starts one mean frame interval after the last frame.
                const Micros gap =
                    passFrames > 1 ? (lastDue - firstDue) / static_cast<Micros>(passFrames - 1) : 0;
                passStart = lastDue + std::max(gap, kMinLoopGap);
                anchored = false;
                passFrames = 0;
                continue;
            }
            break;
        }
        if (tooLong) {
            skippedLines_.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        const candump::ParsedLine parsed = candump::parseLine(line);
        if (parsed.kind == candump::LineKind::Empty)
            continue;
        if (parsed.kind != candump::LineKind::Frame) {
            skippedLines_.fetch_add(1, std::memory_order_relaxed);
            continue;
        }

        CanFrame frame = parsed.frame;
        if (paced) {
            // A log whose time goes backwards (logs run together) goes on
            // from the last frame rather than waiting for nothing.
            if (!anchored || parsed.time < lastLogTime) {
                logBase = parsed.time;
                clockBase = anchored ? lastDue : passStart;
                anchored = true;
            }
            const Micros due =
                clockBase + static_cast<Micros>(static_cast<double>(parsed.time - logBase) / options_.speed);
            if (passFrames == 0)
                firstDue = due;
            lastLogTime = parsed.time;
            lastDue = due;
            if (!sleepUntil(due))
                return;
            frame.timestamp = due;
        } else {
            if (++unpacedFrames % 1024 == 0) {
                std::lock_guard lock(mutex_);
                if (stopping_)
                    return;
            }
            frame.timestamp = clock_.now();
        }
        ++passFrames;
        onFrame_(frame);
        framesPlayed_.fetch_add(1, std::memory_order_relaxed);
    }

    // The log has ended: wait for close(), answering catchUp() meanwhile.
    finished_.store(true, std::memory_order_release);
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        acknowledgeRequests(requests_);
        wake_.wait(lock, [&] { return stopping_ || requests_ != handled_; });
    }
}

} // namespace zt
